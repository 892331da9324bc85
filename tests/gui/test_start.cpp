// The start-up: without snes.dat the program ends before its window appears;
// with a database that cannot be opened it says so and starts all the same.
#include "fixtures/rombau.h"
#include "testdienste.h"
#include "ui/anzeige.h"
#include "ui/form1.h"
#include "ui/start.h"

#include <QtCore/QDir>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>
#include <QtWidgets/QRadioButton>

using namespace cartonym;

class Start_test : public QObject {
    Q_OBJECT

private slots:
    void Ohne_datenbank_endet_das_programm();
    void Mit_datenbank_erscheint_das_fenster();
    void Unlesbare_datenbank_meldet_und_startet();

private:
    test::Testmeldungen meldungen_;
    test::Testschale schale_;
    test::Testuhr uhr_;
};

void Start_test::Ohne_datenbank_endet_das_programm()
{
    QTemporaryDir ordner;
    meldungen_.gezeigt.clear();
    const auto fenster = ui::Starte_form1(ui::Systempfad(ordner.filePath(QStringLiteral("snes.dat"))), meldungen_,
                                          schale_, uhr_);
    QVERIFY(!fenster);
    QCOMPARE(meldungen_.gezeigt.size(), 1);
    const Meldung& meldung = meldungen_.gezeigt.front().meldung;
    QCOMPARE(meldung.titel, std::string("Error !"));
    QCOMPARE(meldung.symbol, Meldungssymbol::Ausrufezeichen);
    QVERIFY(meldung.text.starts_with(
        "The file SNES.DAT is missing ! Download the complete version of the Cartonym from "));
    QVERIFY(meldung.text.ends_with(" !\n\nProgram will close now."));
    QCOMPARE(meldungen_.gezeigt.front().knoepfe, ui::Meldungsknoepfe::Ok);
}

void Start_test::Mit_datenbank_erscheint_das_fenster()
{
    QTemporaryDir ordner;
    meldungen_.gezeigt.clear();
    const std::string datenbank = ui::Systempfad(ordner.filePath(QStringLiteral("snes.dat")));
    fixtures::Schreibe_datei(datenbank, fixtures::Datenbankzeile(fixtures::Interner_name("A GAME"), "A Game"));
    const auto fenster = ui::Starte_form1(datenbank, meldungen_, schale_, uhr_);
    QVERIFY(fenster);
    QVERIFY(meldungen_.gezeigt.isEmpty());
    QVERIFY(fenster->Dateimodus->isChecked());
    QVERIFY(fenster->Optiondateinamennormal->isChecked());
}

void Start_test::Unlesbare_datenbank_meldet_und_startet()
{
    QTemporaryDir ordner;
    meldungen_.gezeigt.clear();
    // A folder where the file should be cannot be opened as the database.
    QVERIFY(QDir(ordner.path()).mkdir(QStringLiteral("snes.dat")));
    const auto fenster = ui::Starte_form1(ui::Systempfad(ordner.filePath(QStringLiteral("snes.dat"))), meldungen_,
                                          schale_, uhr_);
    QVERIFY(fenster);
    QCOMPARE(meldungen_.gezeigt.size(), 1);
    const Meldung& meldung = meldungen_.gezeigt.front().meldung;
    QCOMPARE(meldung.titel, std::string("Error !"));
    QCOMPARE(meldung.symbol, Meldungssymbol::Ausrufezeichen);
    QVERIFY(meldung.text.starts_with("Error Nr.  "));
    QVERIFY(meldung.text.find(" happened:\n") != std::string::npos);
}

QTEST_MAIN(Start_test)
#include "test_start.moc"
