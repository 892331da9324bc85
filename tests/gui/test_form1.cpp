// The main window: the timer refresh of both modes, the three states of a
// selected file, the file-name styles, the rename, a batch run, the drive
// list's Retry/Cancel, the menus and the About window opened from them.
#include "fixtures/rombau.h"
#include "naming/dateiname.h"
#include "operations/dateimodus.h"
#include "testdienste.h"
#include "ui/anzeige.h"
#include "ui/form1.h"
#include "ui/frmabout.h"
#include "ui/steuerelemente.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMenu>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>

#include <memory>

using namespace cartonym;
using namespace cartonym::fixtures;
using cartonym::ui::Form1;

namespace {

const char* const Bekannt_name = "Starlight Racer (USA).smc";

Rombauplan Bekannter_plan()
{
    Rombauplan plan;
    plan.name = "STARLIGHT RACER";
    plan.land = 1; // USA
    return plan;
}

Rombauplan Unbekannter_plan()
{
    Rombauplan plan;
    plan.name = "NOBODY KNOWS ME";
    plan.pruefsumme = 0xBEEF;
    return plan;
}

QStringList Eintraege(const QListWidget* liste)
{
    QStringList texte;
    for (int i = 0; i < liste->count(); ++i)
        texte << liste->item(i)->text();
    return texte;
}

} // namespace

class Form1_test : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void Anfangszustand();
    void Titel_menues_und_kurztasten();
    void Timer_macht_aenderungen_rueckgaengig();
    void Wechsel_in_den_batchmodus_und_zurueck();
    void Batchmodus_blendet_gezeigte_datei_aus();
    void Unterstrichstil_zweizeilig();
    void Auswahl_bekanntes_bild();
    void Auswahl_unbekanntes_bild();
    void Auswahl_kein_bild();
    void Unterstrichstil_fuer_alle_drei_zustaende();
    void Stilwechsel_bei_gezeigtem_bild();
    void Umbenennen();
    void Umbenennen_auf_bestehenden_namen();
    void Batchlauf_aus_dem_fenster();
    void Batchlauf_leerer_ordner();
    void Fehlende_datenbank_bei_auswahl_und_batchlauf();
    void Laufwerk_wiederholen_abbrechen();
    void Ordner_folgt_und_dateien_folgen();
    void About_zweimal_mit_ok_und_schliessfeld();

private:
    QString Pfad(const QString& name) const { return ordner_->filePath(name); }
    std::string Systempfad(const QString& name) const { return ui::Systempfad(Pfad(name)); }
    void Waehle(const QString& name);
    void Lege_bilder_an();

    std::unique_ptr<QTemporaryDir> ordner_;
    std::unique_ptr<QTemporaryDir> dbordner_;
    std::string datenbank_;
    test::Testmeldungen meldungen_;
    test::Testschale schale_;
    test::Testuhr uhr_;
    std::unique_ptr<Form1> form_;
};

void Form1_test::init()
{
    ordner_ = std::make_unique<QTemporaryDir>();
    dbordner_ = std::make_unique<QTemporaryDir>();
    QVERIFY(ordner_->isValid() && dbordner_->isValid());
    datenbank_ = ui::Systempfad(dbordner_->filePath(QStringLiteral("snes.dat")));
    Schreibe_datei(datenbank_, Datenbankzeile(Interner_name("OTHER GAME"), "Other Game")
                                   + Datenbankzeile(Interner_name("STARLIGHT RACER"), "Starlight Racer"));
    meldungen_.gezeigt.clear();
    meldungen_.antworten.clear();
    schale_.geoeffnet.clear();
    form_ = std::make_unique<Form1>(datenbank_, meldungen_, schale_, uhr_);
    form_->Programmende = [] {};
    form_->show();
    form_->Ordner->setze_pfad(ordner_->path());
}

void Form1_test::cleanup()
{
    form_.reset();
    ordner_.reset();
    dbordner_.reset();
}

void Form1_test::Lege_bilder_an()
{
    Schreibe_rom(Systempfad(QStringLiteral("starlight.smc")), Bekannter_plan());
    Schreibe_rom(Systempfad(QStringLiteral("mystery.smc")), Unbekannter_plan());
    Schreibe_datei(Systempfad(QStringLiteral("readme.txt")), "no image here\r\n");
    form_->Ordner_Change();
}

void Form1_test::Waehle(const QString& name)
{
    const QList<QListWidgetItem*> treffer = form_->Dateien->findItems(name, Qt::MatchExactly);
    QCOMPARE(treffer.size(), 1);
    form_->Dateien->setCurrentItem(treffer.front());
    QVERIFY(treffer.front()->isSelected());
}

void Form1_test::Anfangszustand()
{
    Form1& f = *form_;
    QCOMPARE(f.objectName(), QStringLiteral("Form1"));
    QVERIFY(f.Dateimodus->isChecked());
    QVERIFY(f.Optiondateinamennormal->isChecked());
    QVERIFY(!f.Checkgamelist->isEnabled());
    QVERIFY(f.Command2->isHidden());
    QVERIFY(f.Batchrun->isHidden());
    QCOMPARE(f.ProgressBar->minimum(), 0);
    QCOMPARE(f.ProgressBar->maximum(), 100);

    // Names, captions and places as laid out (twips / 15).
    const auto* dateien = f.findChild<QListWidget*>(QStringLiteral("Dateien"));
    QVERIFY(dateien);
    QCOMPARE(dateien->geometry(), QRect(376, 16, 185, 240));
    QCOMPARE(f.findChild<QPushButton*>(QStringLiteral("Command2"))->geometry(), QRect(200, 488, 153, 25));
    QCOMPARE(f.Command2->geometry(), f.Batchrun->geometry());
    QCOMPARE(f.findChild<QGroupBox*>(QStringLiteral("Frame1"))->title(), QStringLiteral("Mode:"));
    QCOMPARE(f.findChild<QLabel*>(QStringLiteral("Label10"))->text(),
             QStringLiteral("ROMs that had alredy the correct filename:"));
    QCOMPARE(f.findChild<QLabel*>(QStringLiteral("Label17"))->text(), QStringLiteral("Batchmode Status:"));
    QCOMPARE(f.Label8->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    QVERIFY(f.Nameneu->autoFillBackground());
    QCOMPARE(f.Nameneu->palette().color(QPalette::Window), QColor(224, 224, 224));
    QVERIFY(!f.Label3->autoFillBackground());
    QVERIFY(f.Label3->font().bold());
    QVERIFY(!f.Label17->font().bold());
    QVERIFY(!f.Dateiname->font().bold());
    QCOMPARE(f.centralWidget()->size(), QSize(569, 518));
    QVERIFY(!(f.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(f.windowFlags() & Qt::WindowMinimizeButtonHint);
    for (const QLabel* wert : {f.Dateiname, f.Dateityp, f.Romname, f.Hersteller, f.Cardid, f.Land, f.Namevoll,
                               f.CRC1label, f.sizelabel, f.Nameneu, f.Labelinsgesamt, f.Labelanzahlroms})
        QVERIFY(wert->text().isEmpty());

    // The first tick hides the batch group and names the mode.
    f.Timer1_Timer();
    QCOMPARE(f.Modusbeschreibung->text(), QStringLiteral("Use this mode to rename single ROM-Images"));
    QCOMPARE(f.Namenmodus->text(), QStringLiteral("Normal long filenames that also can contain spaces will be used"));
    for (const QWidget* w : {static_cast<QWidget*>(f.Labelschonrichtig), static_cast<QWidget*>(f.Listeunbekannt),
                             static_cast<QWidget*>(f.Label11), static_cast<QWidget*>(f.ProgressBar),
                             static_cast<QWidget*>(f.Label17), static_cast<QWidget*>(f.Label18)})
        QVERIFY(w->isHidden());
    QVERIFY(!f.Label8->isHidden());
    QVERIFY(!f.Nameneu->isHidden());
}

void Form1_test::Titel_menues_und_kurztasten()
{
    Form1& f = *form_;
    QVERIFY(f.windowTitle().startsWith(QStringLiteral("The Cartonym v0.91 by ")));
    QVERIFY(f.windowTitle().contains(QStringLiteral(" - https://")));
    QCOMPARE(f.dateimenu->title(), QStringLiteral("File"));
    QCOMPARE(f.beenden->text(), QStringLiteral("Exit"));
    QCOMPARE(f.beenden->shortcut(), QKeySequence(QStringLiteral("Ctrl+X")));
    QCOMPARE(f.hilfemenu->title(), QStringLiteral("Help"));
    QCOMPARE(f.homepage->text(), QStringLiteral("The Cartonym Homepage"));
    QVERIFY(f.homepage->shortcut().isEmpty());
    QCOMPARE(f.about->text(), QStringLiteral("About..."));
    QCOMPARE(f.about->shortcut(), QKeySequence(Qt::Key_F1));

    bool beendet = false;
    f.Programmende = [&beendet] { beendet = true; };
    f.beenden->trigger();
    QVERIFY(beendet);

    f.homepage->trigger();
    QCOMPARE(schale_.geoeffnet.size(), 1);
    QVERIFY(schale_.geoeffnet.front().toString().startsWith(QStringLiteral("https://")));
    QVERIFY(meldungen_.gezeigt.isEmpty());
}

void Form1_test::Timer_macht_aenderungen_rueckgaengig()
{
    Form1& f = *form_;
    f.Batchrun->show();
    f.Dateien->setEnabled(false);
    f.Modusbeschreibung->setText(QStringLiteral("changed"));
    f.ProgressBar->show();
    // The real timer undoes it by itself.
    QTRY_VERIFY(f.Batchrun->isHidden());
    QVERIFY(f.Dateien->isEnabled());
    QVERIFY(f.ProgressBar->isHidden());
    QCOMPARE(f.Modusbeschreibung->text(), QStringLiteral("Use this mode to rename single ROM-Images"));
}

void Form1_test::Wechsel_in_den_batchmodus_und_zurueck()
{
    Form1& f = *form_;
    f.Timer1_Timer();
    f.Batchmodus->click();
    // Batchmodus_Click itself shows the counters and empties them.
    QVERIFY(f.Batchmodus->isChecked());
    QVERIFY(!f.Labelschonrichtig->isHidden());
    QVERIFY(!f.Listeunbekannt->isHidden());
    QVERIFY(!f.Label11->isHidden());
    QVERIFY(f.Labelinsgesamt->text().isEmpty());
    QVERIFY(f.Checkgamelist->isEnabled());
    QCOMPARE(f.Label17->text(), QStringLiteral("Batchmode Status:"));
    QCOMPARE(f.ProgressBar->value(), 0);

    f.Timer1_Timer();
    QCOMPARE(f.Modusbeschreibung->text(), QStringLiteral("Use this mode to rename all ROM-Images in a directory"));
    QVERIFY(!f.Dateien->isEnabled());
    QVERIFY(!f.Batchrun->isHidden());
    QVERIFY(f.Command2->isHidden());
    QVERIFY(!f.ProgressBar->isHidden());
    QVERIFY(!f.Label17->isHidden());
    QVERIFY(f.Label2->isHidden());
    QVERIFY(f.Nameneu->isHidden());
    QVERIFY(f.Label8->isHidden());
    QVERIFY(!f.Labelduplikate->isHidden());

    f.Dateimodus->click();
    QVERIFY(!f.Checkgamelist->isEnabled());
    f.Timer1_Timer();
    QVERIFY(f.Dateien->isEnabled());
    QVERIFY(f.Batchrun->isHidden());
    QVERIFY(f.Labelduplikate->isHidden());
    QVERIFY(f.Listeunbekannt->isHidden());
    QVERIFY(f.ProgressBar->isHidden());
    QVERIFY(f.Label17->isHidden());
    QVERIFY(!f.Nameneu->isHidden());
    QVERIFY(f.Nameneu->text().isEmpty());
    QVERIFY(f.Dateiname->text().isEmpty());
}

void Form1_test::Batchmodus_blendet_gezeigte_datei_aus()
{
    Lege_bilder_an();
    Form1& f = *form_;
    f.Timer1_Timer();
    Waehle(QStringLiteral("starlight.smc"));
    QVERIFY(!f.Romname->isHidden());
    f.Batchmodus->click();
    QVERIFY(f.Command2->isHidden());
    f.Timer1_Timer();
    QVERIFY(f.Romname->isHidden());
    QVERIFY(f.Dateityp->isHidden());
    QVERIFY(f.Nameneu->isHidden());
}

void Form1_test::Unterstrichstil_zweizeilig()
{
    Form1& f = *form_;
    f.Optiondateinamenultrahle->click();
    f.Timer1_Timer();
    const QStringList zeilen = f.Namenmodus->text().split(QLatin1Char('\n'));
    QCOMPARE(zeilen.size(), 2);
    QCOMPARE(zeilen[0], QStringLiteral("Long filenames will be used, spaces will be replaced by underscores"));
    QCOMPARE(zeilen[1], QStringLiteral("( _ )"));
    f.Optiondateinamennormal->click();
    f.Timer1_Timer();
    QCOMPARE(f.Namenmodus->text(), QStringLiteral("Normal long filenames that also can contain spaces will be used"));
}

void Form1_test::Auswahl_bekanntes_bild()
{
    Lege_bilder_an();
    Form1& f = *form_;
    QCOMPARE(Eintraege(f.Dateien), (QStringList{QStringLiteral("mystery.smc"), QStringLiteral("readme.txt"),
                                                QStringLiteral("starlight.smc")}));
    Waehle(QStringLiteral("starlight.smc"));
    QCOMPARE(f.Dateiname->text(), QStringLiteral("starlight.smc"));
    QCOMPARE(f.Dateityp->text(), QStringLiteral("SNES LoRom, no Header"));
    QCOMPARE(f.Romname->text(), QStringLiteral("STARLIGHT RACER      "));
    QVERIFY(!f.Hersteller->text().isEmpty());
    QVERIFY(!f.Cardid->text().isEmpty());
    QCOMPARE(f.Land->text(), QStringLiteral("1 = USA (NTSC)"));
    QVERIFY(!f.CRC1label->text().isEmpty());
    QVERIFY(!f.sizelabel->text().isEmpty());
    QCOMPARE(f.Namevoll->text(), QStringLiteral("Starlight Racer"));
    QCOMPARE(f.Nameneu->text(), QString::fromLatin1(Bekannt_name));
    QCOMPARE(f.Neuer_name, std::string(Bekannt_name));
    QVERIFY(!f.Command2->isHidden());
    QVERIFY(meldungen_.gezeigt.isEmpty());
}

void Form1_test::Auswahl_unbekanntes_bild()
{
    Lege_bilder_an();
    Form1& f = *form_;
    Waehle(QStringLiteral("starlight.smc"));
    Waehle(QStringLiteral("mystery.smc"));
    QCOMPARE(f.Dateiname->text(), QStringLiteral("mystery.smc"));
    QCOMPARE(f.Romname->text(), QStringLiteral("NOBODY KNOWS ME      "));
    QVERIFY(!f.Dateityp->text().isEmpty());
    QVERIFY(!f.Land->text().isEmpty());
    QVERIFY(f.Namevoll->text().isEmpty());
    QCOMPARE(f.Nameneu->text(), QStringLiteral("ROM unknown !"));
    QVERIFY(f.Command2->isHidden());
}

void Form1_test::Auswahl_kein_bild()
{
    Lege_bilder_an();
    Form1& f = *form_;
    Waehle(QStringLiteral("starlight.smc"));
    Waehle(QStringLiteral("readme.txt"));
    QCOMPARE(f.Dateiname->text(), QStringLiteral("readme.txt"));
    QCOMPARE(f.Dateityp->text(), QStringLiteral("This is no SNES ROM Image or a bad dump !"));
    for (const QLabel* wert : {f.Romname, f.Hersteller, f.Cardid, f.Land, f.CRC1label, f.sizelabel, f.Namevoll,
                               f.Nameneu})
        QVERIFY2(wert->text().isEmpty(), qPrintable(wert->objectName()));
    QVERIFY(f.Command2->isHidden());
}

void Form1_test::Unterstrichstil_fuer_alle_drei_zustaende()
{
    Lege_bilder_an();
    Form1& f = *form_;
    f.Optiondateinamenultrahle->click();
    Waehle(QStringLiteral("starlight.smc"));
    QCOMPARE(f.Nameneu->text(), QStringLiteral("Starlight_Racer_(USA).smc"));
    QVERIFY(!f.Command2->isHidden());
    Waehle(QStringLiteral("mystery.smc"));
    QCOMPARE(f.Nameneu->text(), QStringLiteral("ROM_unknown_!"));
    QVERIFY(f.Command2->isHidden());
    Waehle(QStringLiteral("readme.txt"));
    QCOMPARE(f.Dateityp->text(), QStringLiteral("This is no SNES ROM Image or a bad dump !"));
    QVERIFY(f.Nameneu->text().isEmpty());
    QVERIFY(f.Command2->isHidden());
}

void Form1_test::Stilwechsel_bei_gezeigtem_bild()
{
    Lege_bilder_an();
    Form1& f = *form_;
    Waehle(QStringLiteral("starlight.smc"));
    f.Optiondateinamenultrahle->click();
    QCOMPARE(f.Nameneu->text(), QStringLiteral("Starlight_Racer_(USA).smc"));
    f.Optiondateinamenultrahle->click();
    QCOMPARE(f.Nameneu->text(), QStringLiteral("Starlight_Racer_(USA).smc"));
    f.Optiondateinamennormal->click();
    QCOMPARE(f.Nameneu->text(), QString::fromLatin1(Bekannt_name));

    // An unknown image: the name changes, the label does not.
    Waehle(QStringLiteral("mystery.smc"));
    f.Optiondateinamenultrahle->click();
    QCOMPARE(f.Neuer_name, std::string("ROM_unknown_!"));
    QCOMPARE(f.Nameneu->text(), QStringLiteral("ROM unknown !"));
}

void Form1_test::Umbenennen()
{
    Lege_bilder_an();
    Form1& f = *form_;
    Waehle(QStringLiteral("starlight.smc"));
    const std::string inhalt = Lies_datei(Systempfad(QStringLiteral("starlight.smc")));
    f.Command2->click();
    QVERIFY(meldungen_.gezeigt.isEmpty());
    QVERIFY(!QFile::exists(Pfad(QStringLiteral("starlight.smc"))));
    QCOMPARE(Lies_datei(Systempfad(QString::fromLatin1(Bekannt_name))), inhalt);
    QCOMPARE(Eintraege(f.Dateien), (QStringList{QStringLiteral("mystery.smc"), QStringLiteral("readme.txt"),
                                                QString::fromLatin1(Bekannt_name)}));
    for (const QLabel* wert : {f.Dateiname, f.Dateityp, f.Romname, f.Hersteller, f.Cardid, f.Land, f.Namevoll,
                               f.Nameneu, f.CRC1label, f.sizelabel})
        QVERIFY2(wert->text().isEmpty(), qPrintable(wert->objectName()));
    QVERIFY(f.Command2->isHidden());
}

void Form1_test::Umbenennen_auf_bestehenden_namen()
{
    Lege_bilder_an();
    Schreibe_datei(Systempfad(QString::fromLatin1(Bekannt_name)), "already here");
    Form1& f = *form_;
    f.Ordner_Change();
    Waehle(QStringLiteral("starlight.smc"));
    const std::string inhalt = Lies_datei(Systempfad(QStringLiteral("starlight.smc")));
    f.Command2->click();

    QCOMPARE(meldungen_.gezeigt.size(), 1);
    const Meldung& meldung = meldungen_.gezeigt.front().meldung;
    QCOMPARE(meldung.titel, std::string("Error !"));
    QCOMPARE(meldung.symbol, Meldungssymbol::Ausrufezeichen);
    QCOMPARE(meldungen_.gezeigt.front().knoepfe, ui::Meldungsknoepfe::Ok);
    const std::string erwartet = "Error Nr.  58 happened:\nFile already exists\n"
                                 "This error happend while processing the following file: \n\n"
        + Systempfad(QStringLiteral("starlight.smc")) + "\n\nProgress aborted !";
    QCOMPARE(meldung.text, erwartet);

    // Nothing changed: both files, the labels and the button.
    QCOMPARE(Lies_datei(Systempfad(QStringLiteral("starlight.smc"))), inhalt);
    QCOMPARE(Lies_datei(Systempfad(QString::fromLatin1(Bekannt_name))), std::string("already here"));
    QCOMPARE(f.Nameneu->text(), QString::fromLatin1(Bekannt_name));
    QCOMPARE(f.Dateiname->text(), QStringLiteral("starlight.smc"));
    QVERIFY(!f.Command2->isHidden());
}

void Form1_test::Batchlauf_aus_dem_fenster()
{
    Lege_bilder_an();
    Schreibe_rom(Systempfad(QString::fromLatin1(Bekannt_name)), Bekannter_plan()); // already correct
    Form1& f = *form_;
    f.Ordner_Change();
    f.Batchmodus->click();
    f.Timer1_Timer();
    f.Checkgamelist->setChecked(true);
    f.Batchrun->click();

    QCOMPARE(meldungen_.gezeigt.size(), 1);
    const Meldung& meldung = meldungen_.gezeigt.front().meldung;
    QCOMPARE(meldung.titel, std::string("Cartonym Message:"));
    QCOMPARE(meldung.symbol, Meldungssymbol::Ausrufezeichen);
    QVERIFY(meldung.text.starts_with("Batchrun finished !\n\nThere have been some unkown ROMs."));

    QCOMPARE(f.Label17->text(), QStringLiteral("Batchmode finished successfull !"));
    QCOMPARE(f.ProgressBar->value(), 100);
    // Four files: one already correct, one renamed onto a taken name (a
    // duplicate), one unknown, one no image.
    QCOMPARE(f.Labelinsgesamt->text(), QStringLiteral(" 4"));
    QCOMPARE(f.Labelanzahlroms->text(), QStringLiteral(" 3"));
    QCOMPARE(f.Labelschonrichtig->text(), QStringLiteral(" 1"));
    QCOMPARE(f.Labelumbenannt->text(), QStringLiteral(" 0"));
    QCOMPARE(f.Labelduplikate->text(), QStringLiteral(" 1"));
    QCOMPARE(Eintraege(f.Listeunbekannt), QStringList{QStringLiteral("mystery.smc")});
    QCOMPARE(Eintraege(f.Dateien), QStringList{QStringLiteral("readme.txt")});
    QVERIFY(QFile::exists(Pfad(QStringLiteral("Renamed_SNES_ROMs/") + QString::fromLatin1(Bekannt_name))));
    QVERIFY(QFile::exists(Pfad(QStringLiteral("Renamed_SNES_ROMs/games.htm"))));
    QVERIFY(QFile::exists(Pfad(QStringLiteral("Unknown_ROMs/mystery.smc"))));
    QVERIFY(QFile::exists(Pfad(QStringLiteral("Duplicates/starlight.smc"))));

    // A second Batchmodus click empties the counters, keeps the unknown list.
    f.Batchmodus->click();
    QVERIFY(f.Labelinsgesamt->text().isEmpty());
    QCOMPARE(f.Listeunbekannt->count(), 1);
}

void Form1_test::Batchlauf_leerer_ordner()
{
    Form1& f = *form_;
    QDir(ordner_->path()).mkdir(QStringLiteral("sub"));
    f.Batchmodus->click();
    f.Timer1_Timer();
    f.Batchrun->click();
    QCOMPARE(meldungen_.gezeigt.size(), 1);
    QCOMPARE(meldungen_.gezeigt.front().meldung.titel, std::string("Attention !"));
    QCOMPARE(meldungen_.gezeigt.front().meldung.text, std::string("There are no files in this directory !"));
    QCOMPARE(meldungen_.gezeigt.front().meldung.symbol, Meldungssymbol::Information);
    QCOMPARE(f.Label17->text(), QStringLiteral("There are no files in this directory !"));
    QVERIFY(f.Labelinsgesamt->text().isEmpty());
    QVERIFY(!QFile::exists(Pfad(QStringLiteral("Renamed_SNES_ROMs"))));
}

void Form1_test::Fehlende_datenbank_bei_auswahl_und_batchlauf()
{
    Lege_bilder_an();
    Form1& f = *form_;
    QVERIFY(QFile::remove(dbordner_->filePath(QStringLiteral("snes.dat"))));
    Waehle(QStringLiteral("starlight.smc"));
    QCOMPARE(meldungen_.gezeigt.size(), 1);
    QCOMPARE(meldungen_.gezeigt[0].meldung.titel, std::string("Error !"));
    QCOMPARE(meldungen_.gezeigt[0].meldung.symbol, Meldungssymbol::Ausrufezeichen);
    QCOMPARE(meldungen_.gezeigt[0].meldung.text,
             "Error Nr.  53 happened:\nFile not found\nThis error happend while processing the following file: \n\n"
                 + Systempfad(QStringLiteral("starlight.smc")) + "\n\nProgress aborted !");
    QVERIFY(f.Command2->isHidden());

    f.Batchmodus->click();
    f.Timer1_Timer();
    f.Batchrun->click();
    QCOMPARE(meldungen_.gezeigt.size(), 2);
    QCOMPARE(meldungen_.gezeigt[1].meldung.titel, std::string("Error !"));
    QVERIFY(meldungen_.gezeigt[1].meldung.text.starts_with("Error Nr.  53 happened:\nFile not found\n"));
    QVERIFY(meldungen_.gezeigt[1].meldung.text.ends_with("\n\nProgress aborted !"));
    // A stopped run sets no panel values.
    QVERIFY(f.Labelinsgesamt->text().isEmpty());
    QVERIFY(f.Label17->text() != QStringLiteral("Batchmode finished successfull !"));
}

void Form1_test::Laufwerk_wiederholen_abbrechen()
{
    Form1& f = *form_;
    const QString vorher = f.Ordner->pfad();
    meldungen_.antworten = {ui::Meldungsantwort::Wiederholen, ui::Meldungsantwort::Abbrechen};
    f.Laufwerk->addItem(QStringLiteral("gone"), Pfad(QStringLiteral("no-such-drive")));
    f.Laufwerk->setCurrentIndex(f.Laufwerk->count() - 1);
    QCOMPARE(meldungen_.gezeigt.size(), 2);
    for (const auto& gezeigt : meldungen_.gezeigt) {
        QCOMPARE(gezeigt.meldung.titel, std::string("Error !"));
        QCOMPARE(gezeigt.meldung.text, std::string("Path not found"));
        QCOMPARE(gezeigt.meldung.symbol, Meldungssymbol::Keines);
        QCOMPARE(gezeigt.knoepfe, ui::Meldungsknoepfe::Wiederholen_abbrechen);
    }
    QCOMPARE(f.Ordner->pfad(), vorher);

    // A drive that opens moves the folder list to its root.
    f.Laufwerk->addItem(QStringLiteral("here"), dbordner_->path());
    f.Laufwerk->setCurrentIndex(f.Laufwerk->count() - 1);
    QCOMPARE(f.Ordner->pfad(), QDir::cleanPath(dbordner_->path()));
    QCOMPARE(Eintraege(f.Dateien), QStringList{QStringLiteral("snes.dat")});
}

void Form1_test::Ordner_folgt_und_dateien_folgen()
{
    QVERIFY(QDir(ordner_->path()).mkdir(QStringLiteral("unten")));
    Schreibe_datei(Systempfad(QStringLiteral("unten/b.bin")), "b");
    Schreibe_datei(Systempfad(QStringLiteral("unten/A.bin")), "a");
    Form1& f = *form_;
    f.Ordner->setze_pfad(Pfad(QStringLiteral("unten")));
    QCOMPARE(Eintraege(f.Dateien), (QStringList{QStringLiteral("A.bin"), QStringLiteral("b.bin")}));
    // Activating an entry of the folder list opens that folder.
    QTreeWidgetItem* oben = f.Ordner->currentItem()->parent();
    QVERIFY(oben);
    emit f.Ordner->itemActivated(oben, 0);
    QTRY_COMPARE(f.Ordner->pfad(), QDir::cleanPath(ordner_->path()));
    QVERIFY(Eintraege(f.Dateien).isEmpty());
}

void Form1_test::About_zweimal_mit_ok_und_schliessfeld()
{
    Form1& f = *form_;
    QList<int> rollstand;
    bool modal = false;

    auto schliesse = [&](bool mit_ok) {
        QTimer::singleShot(0, &f, [&, mit_ok] {
            QTRY_VERIFY(qobject_cast<ui::frmAbout*>(QApplication::activeModalWidget()));
            auto* fenster = qobject_cast<ui::frmAbout*>(QApplication::activeModalWidget());
            modal = fenster->isModal() && fenster->parentWidget() == &f;
            rollstand << fenster->Oben - fenster->picScroll->innen().height();
            QCOMPARE(fenster->windowTitle(), QStringLiteral("About the Cartonym..."));
            QVERIFY(!fenster->Scroll_ende);
            if (mit_ok)
                fenster->Command1->click();
            else
                fenster->close();
        });
    };

    schliesse(true);
    f.about->trigger();
    QVERIFY(modal);
    QVERIFY(!QApplication::activeModalWidget());
    // The About command leaves the window switched off until the next tick.
    QVERIFY(!f.isEnabled());
    QTRY_VERIFY(f.isEnabled());

    modal = false;
    schliesse(false);
    f.about->trigger();
    QVERIFY(modal);
    QTRY_VERIFY(f.isEnabled());
    // Both times the credits started from below the area: fresh state.
    QCOMPARE(rollstand.size(), 2);
    for (const int stand : rollstand)
        QVERIFY2(stand > -10 && stand <= 0, qPrintable(QString::number(stand)));
    QVERIFY(meldungen_.gezeigt.isEmpty());
}

QTEST_MAIN(Form1_test)
#include "test_form1.moc"
