// The main window: the timer refresh of both modes, the three states of a
// selected file in both name styles, the rename, a batch run, the drive
// list's Retry/Cancel, the menus and the About window opened from them.
#include "common/error.h"
#include "fixtures/rom_builder.h"
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
#include <QtWidgets/QLabel>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>

#include <algorithm>
#include <memory>
#include <tuple>

using namespace cartonym;
using namespace cartonym::fixtures;
using cartonym::ui::Form1;

namespace {

const QString Bekannt_name = QStringLiteral("Starlight Racer (USA).smc");
const QString NotAnImage = QStringLiteral("This is no SNES ROM Image or a bad dump !");

QStringList Eintraege(const QListWidget* list)
{
    QStringList texte;
    for (int i = 0; i < list->count(); ++i)
        texte << list->item(i)->text();
    return texte;
}

// Whether each of the controls is hidden as asked.
bool Versteckt(std::initializer_list<const QWidget*> steuerelemente, bool versteckt = true)
{
    return std::ranges::all_of(steuerelemente, [&](const QWidget* w) { return w->isHidden() == versteckt; });
}

} // namespace

class Form1_test : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { form_.reset(), ordner_.reset(), dbordner_.reset(); }

    void Modi_und_timer();
    void Drei_zustaende_in_beiden_namensstilen();
    void Umbenennen_auf_bestehenden_namen_dann_frei();
    void Batchlauf_aus_dem_fenster();
    void Fehlende_datenbank_bei_auswahl_und_batchlauf();
    void Laufwerk_wiederholen_abbrechen_und_ordner();
    void Menues();
    void About_zweimal_mit_ok_und_schliessfeld();

private:
    QString Pfad(const QString& name) const { return ordner_->filePath(name); }
    std::string Systempfad(const QString& name) const { return ui::Systempfad(Pfad(name)); }
    void Waehle(const QString& name);

    std::unique_ptr<QTemporaryDir> ordner_, dbordner_;
    test::Testmeldungen meldungen_;
    test::Testschale schale_;
    test::Testuhr uhr_;
    std::unique_ptr<Form1> form_;
};

// A folder with a known image, an unknown one and a file that is no image.
void Form1_test::init()
{
    ordner_ = std::make_unique<QTemporaryDir>();
    dbordner_ = std::make_unique<QTemporaryDir>();
    QVERIFY(ordner_->isValid() && dbordner_->isValid());
    const std::string database = ui::Systempfad(dbordner_->filePath(QStringLiteral("snes.dat")));
    write_file(database, database_line("OTHER GAME", "Other Game") + database_line("STARLIGHT RACER", "Starlight Racer"));
    write_rom(Systempfad(QStringLiteral("starlight.smc")), {.name = "STARLIGHT RACER"});
    write_rom(Systempfad(QStringLiteral("mystery.smc")), {.name = "NOBODY KNOWS ME", .checksum = 0xBEEF});
    write_file(Systempfad(QStringLiteral("readme.txt")), "no image here\r\n");
    meldungen_ = {};
    schale_.geoeffnet.clear();
    form_ = std::make_unique<Form1>(database, meldungen_, schale_, uhr_);
    form_->Programmende = [] {};
    form_->show();
    form_->Ordner->setze_pfad(ordner_->path());
}

void Form1_test::Waehle(const QString& name)
{
    const QList<QListWidgetItem*> match = form_->Dateien->findItems(name, Qt::MatchExactly);
    QCOMPARE(match.size(), 1);
    form_->Dateien->setCurrentItem(match.front());
}

void Form1_test::Modi_und_timer()
{
    Form1& f = *form_;
    QVERIFY(f.Dateimodus->isChecked() && f.Optiondateinamennormal->isChecked() && !f.Checkgamelist->isEnabled());
    QVERIFY(Versteckt({f.Command2, f.Batchrun}));

    // The tick undoes changes to the controls it governs.
    f.Batchrun->show();
    f.Dateien->setEnabled(false);
    f.Modusbeschreibung->setText(QStringLiteral("changed"));
    f.Timer1_Timer();
    QCOMPARE(f.Modusbeschreibung->text(), QStringLiteral("Use this mode to rename single ROM-Images"));
    QCOMPARE(f.Namenmodus->text(), QStringLiteral("Normal long filenames that also can contain spaces will be used"));
    QVERIFY(f.Dateien->isEnabled() && Versteckt({f.Batchrun, f.Labelschonrichtig, f.Listeunbekannt, f.ProgressBar, f.Label17}));

    Waehle(QStringLiteral("starlight.smc"));
    QVERIFY(Versteckt({f.Romname, f.Command2}, false));
    // Batchmodus_Click itself shows the counters and empties them; the tick does the rest.
    f.Batchmodus->click();
    QVERIFY(Versteckt({f.Labelschonrichtig, f.Listeunbekannt}, false) && f.Checkgamelist->isEnabled() && f.Command2->isHidden());
    f.Timer1_Timer();
    QCOMPARE(f.Modusbeschreibung->text(), QStringLiteral("Use this mode to rename all ROM-Images in a directory"));
    QVERIFY(!f.Dateien->isEnabled() && Versteckt({f.Batchrun, f.ProgressBar}, false) && Versteckt({f.Nameneu, f.Romname, f.Label8}));

    f.Optiondateinamenultrahle->click();
    f.Timer1_Timer();
    QCOMPARE(f.Namenmodus->text(), QStringLiteral("Long filenames will be used, spaces will be replaced by underscores\n( _ )"));

    f.Dateimodus->click();
    QVERIFY(!f.Checkgamelist->isEnabled());
    f.Timer1_Timer();
    QVERIFY(f.Dateien->isEnabled() && Versteckt({f.Batchrun, f.Listeunbekannt}) && !f.Nameneu->isHidden());
    QVERIFY(f.Nameneu->text().isEmpty() && f.Dateiname->text().isEmpty());
}

void Form1_test::Drei_zustaende_in_beiden_namensstilen()
{
    Form1& f = *form_;
    QCOMPARE(Eintraege(f.Dateien), (QStringList{QStringLiteral("mystery.smc"), QStringLiteral("readme.txt"), QStringLiteral("starlight.smc")}));
    const QString lo = QStringLiteral("SNES LoRom, no Header"), full = QStringLiteral("Starlight Racer");
    const struct {
        const char* file;
        bool without_spaces;
        QString file_type_text, nameneu, namevoll;
    } cases[] = {
        {"starlight.smc", false, lo, Bekannt_name, full}, {"mystery.smc", false, lo, QStringLiteral("ROM unknown !"), {}},
        {"readme.txt", false, NotAnImage, {}, {}},         {"starlight.smc", true, lo, QStringLiteral("Starlight_Racer_(USA).smc"), full},
        {"mystery.smc", true, lo, QStringLiteral("ROM_unknown_!"), {}}, {"readme.txt", true, NotAnImage, {}, {}},
    };
    for (const auto& case_ : cases) {
        const QString file = QString::fromLatin1(case_.file);
        (case_.without_spaces ? f.Optiondateinamenultrahle : f.Optiondateinamennormal)->click();
        Waehle(file);
        const QStringList shown = {f.Dateiname->text(), f.Dateityp->text(), f.Nameneu->text(), f.Namevoll->text()};
        QCOMPARE(shown, (QStringList{file, case_.file_type_text, case_.nameneu, case_.namevoll}));
        QCOMPARE((QList<bool>{f.Romname->text().isEmpty(), f.Land->text().isEmpty()}), QList<bool>(2, case_.file_type_text == NotAnImage));
        QCOMPARE(f.Command2->isHidden(), case_.namevoll.isEmpty());
    }
    QVERIFY(meldungen_.shown.isEmpty());

    // Switching the style of a shown image renames it at once; for an unknown
    // image the name changes, the label does not.
    Waehle(QStringLiteral("starlight.smc"));
    f.Optiondateinamennormal->click();
    QCOMPARE(f.Nameneu->text(), Bekannt_name);
    Waehle(QStringLiteral("mystery.smc"));
    f.Optiondateinamenultrahle->click();
    QCOMPARE(f.Neuer_name, std::string("ROM_unknown_!"));
    QCOMPARE(f.Nameneu->text(), QStringLiteral("ROM unknown !"));
}

void Form1_test::Umbenennen_auf_bestehenden_namen_dann_frei()
{
    write_file(Systempfad(Bekannt_name), "already here");
    Form1& f = *form_;
    f.Ordner_Change();
    Waehle(QStringLiteral("starlight.smc"));
    const std::string content = read_file(Systempfad(QStringLiteral("starlight.smc")));
    f.Command2->click();
    QCOMPARE(meldungen_.shown.size(), 1);
    const Message& message = meldungen_.shown.front().message;
    QCOMPARE(std::tie(message.title, message.symbol), std::tuple(std::string("Error !"), MessageIcon::Exclamation));
    QCOMPARE(meldungen_.shown.front().knoepfe, ui::Meldungsknoepfe::Ok);
    QCOMPARE(message.text, file_error_text(Error(ErrorNumber::FileAlreadyExists), Systempfad(QStringLiteral("starlight.smc"))));
    // Nothing changed: both files, the labels and the button.
    QCOMPARE(read_file(Systempfad(QStringLiteral("starlight.smc"))), content);
    QCOMPARE(read_file(Systempfad(Bekannt_name)), std::string("already here"));
    QVERIFY(f.Nameneu->text() == Bekannt_name && !f.Command2->isHidden());

    // With the name free the same button renames the file and empties the labels.
    QVERIFY(QFile::remove(Pfad(Bekannt_name)));
    f.Command2->click();
    QCOMPARE(meldungen_.shown.size(), 1);
    QVERIFY(!QFile::exists(Pfad(QStringLiteral("starlight.smc"))));
    QCOMPARE(read_file(Systempfad(Bekannt_name)), content);
    QCOMPARE(Eintraege(f.Dateien), (QStringList{QStringLiteral("mystery.smc"), QStringLiteral("readme.txt"), Bekannt_name}));
    for (const QLabel* value : {f.Dateiname, f.Dateityp, f.Romname, f.Namevoll, f.Nameneu, f.sizelabel})
        QVERIFY2(value->text().isEmpty(), qPrintable(value->objectName()));
    QVERIFY(f.Command2->isHidden());
}

void Form1_test::Batchlauf_aus_dem_fenster()
{
    write_rom(Systempfad(Bekannt_name), {.name = "STARLIGHT RACER"}); // already correct
    Form1& f = *form_;
    f.Ordner_Change();
    f.Batchmodus->click();
    f.Timer1_Timer();
    f.Checkgamelist->setChecked(true);
    f.Batchrun->click();
    QCOMPARE(meldungen_.shown.size(), 1);
    QCOMPARE(meldungen_.shown.front().message.title, std::string("Cartonym Message:"));
    QVERIFY(meldungen_.shown.front().message.text.starts_with("Batchrun finished !\n\nThere have been some unkown ROMs."));
    QCOMPARE(f.Label17->text(), QStringLiteral("Batchmode finished successfull !"));
    QCOMPARE(f.ProgressBar->value(), 100);
    // Four files: one already correct, one a duplicate of it, one unknown, one no image.
    const QStringList panel = {f.Labelinsgesamt->text(), f.Labelanzahlroms->text(), f.Labelschonrichtig->text(),
                               f.Labelumbenannt->text(), f.Labelduplikate->text()};
    QCOMPARE(panel.join(QLatin1Char('|')), QStringLiteral(" 4| 3| 1| 0| 1"));
    QCOMPARE(Eintraege(f.Listeunbekannt), QStringList{QStringLiteral("mystery.smc")});
    QCOMPARE(Eintraege(f.Dateien), QStringList{QStringLiteral("readme.txt")});
    for (const char* file : {"Renamed_SNES_ROMs/games.htm", "Unknown_ROMs/mystery.smc", "Duplicates/starlight.smc"})
        QVERIFY2(QFile::exists(Pfad(QString::fromLatin1(file))), file);
    // A second Batchmodus click empties the counters, keeps the unknown list.
    f.Batchmodus->click();
    QVERIFY(f.Labelinsgesamt->text().isEmpty() && f.Listeunbekannt->count() == 1);
}

void Form1_test::Fehlende_datenbank_bei_auswahl_und_batchlauf()
{
    Form1& f = *form_;
    QVERIFY(QFile::remove(dbordner_->filePath(QStringLiteral("snes.dat"))));
    Waehle(QStringLiteral("starlight.smc"));
    f.Batchmodus->click();
    f.Timer1_Timer();
    f.Batchrun->click();
    // The selection names the selected image, the run the missing database
    // before it moves anything.
    QCOMPARE(meldungen_.shown.size(), 2);
    QCOMPARE(meldungen_.shown[0].message.title, std::string("Error !"));
    for (const int i : {0, 1})
        QCOMPARE(meldungen_.shown[i].message.text,
                 file_error_text(Error(ErrorNumber::FileNotFound),
                                 i ? ui::Systempfad(dbordner_->filePath(QStringLiteral("snes.dat")))
                                   : Systempfad(QStringLiteral("starlight.smc"))));
    // A stopped run sets no panel values.
    QVERIFY(f.Labelinsgesamt->text().isEmpty() && f.Label17->text() != QStringLiteral("Batchmode finished successfull !"));
}

void Form1_test::Laufwerk_wiederholen_abbrechen_und_ordner()
{
    Form1& f = *form_;
    const QString before = f.Ordner->path();
    meldungen_.antworten = {ui::Meldungsantwort::Wiederholen, ui::Meldungsantwort::Abbrechen};
    f.Laufwerk->addItem(QStringLiteral("gone"), Pfad(QStringLiteral("no-such-drive")));
    f.Laufwerk->setCurrentIndex(f.Laufwerk->count() - 1);
    QCOMPARE(meldungen_.shown.size(), 2);
    for (const auto& shown : meldungen_.shown)
        QVERIFY(shown.message.text == "Path not found" && shown.knoepfe == ui::Meldungsknoepfe::Wiederholen_abbrechen);
    QCOMPARE(f.Ordner->path(), before);

    // A drive that opens moves the folder list to its root.
    f.Laufwerk->addItem(QStringLiteral("here"), dbordner_->path());
    f.Laufwerk->setCurrentIndex(f.Laufwerk->count() - 1);
    QCOMPARE(f.Ordner->path(), QDir::cleanPath(dbordner_->path()));
    QCOMPARE(Eintraege(f.Dateien), QStringList{QStringLiteral("snes.dat")});

    // Activating an entry of the folder list opens that folder.
    f.Ordner->setze_pfad(ordner_->path());
    QTreeWidgetItem* oben = f.Ordner->currentItem()->parent();
    QVERIFY(oben);
    emit f.Ordner->itemActivated(oben, 0);
    QCoreApplication::processEvents(); // the folder list opens it from the event loop
    QCOMPARE(f.Ordner->path(), QDir::cleanPath(QFileInfo(ordner_->path()).dir().path()));
}

void Form1_test::Menues()
{
    Form1& f = *form_;
    QCOMPARE(f.beenden->shortcut(), QKeySequence(QStringLiteral("Ctrl+X")));
    QCOMPARE(f.about->shortcut(), QKeySequence(Qt::Key_F1));
    bool beendet = false;
    f.Programmende = [&beendet] { beendet = true; };
    f.beenden->trigger();
    f.homepage->trigger();
    QVERIFY(beendet && schale_.geoeffnet.size() == 1 && meldungen_.shown.isEmpty());
    QVERIFY(schale_.geoeffnet.front().toString().startsWith(QStringLiteral("https://")));
}

void Form1_test::About_zweimal_mit_ok_und_schliessfeld()
{
    Form1& f = *form_;
    for (const bool mit_ok : {true, false}) {
        bool modal = false;
        int rollstand = 1;
        QTimer::singleShot(0, &f, [&] {
            auto* fenster = qobject_cast<ui::frmAbout*>(QApplication::activeModalWidget());
            QVERIFY(fenster);
            modal = fenster->isModal() && fenster->parentWidget() == &f && !fenster->Scroll_ende;
            rollstand = fenster->Oben - fenster->picScroll->innen().height();
            if (mit_ok)
                fenster->Command1->click();
            else
                fenster->close();
        });
        f.about->trigger();
        QVERIFY(modal);
        QVERIFY(!QApplication::activeModalWidget());
        // Fresh state each time: the credits start from below the area.
        QVERIFY2(rollstand > -10 && rollstand <= 0, qPrintable(QString::number(rollstand)));
        // The About command leaves the window switched off until the next tick.
        QVERIFY(!f.isEnabled());
        f.Timer1_Timer();
        QVERIFY(f.isEnabled());
    }
    QVERIFY(meldungen_.shown.isEmpty());
}

QTEST_MAIN(Form1_test)
#include "test_form1.moc"
