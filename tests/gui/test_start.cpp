// The start-up: without snes.dat the program ends before its window appears;
// with a database that cannot be opened it says so and starts all the same.
#include "fixtures/rom_builder.h"
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
    void Mit_ohne_und_mit_unlesbarer_datenbank();
};

void Start_test::Mit_ohne_und_mit_unlesbarer_datenbank()
{
    test::Testschale schale;
    test::Testuhr uhr;
    for (const char* fall : {"missing", "present", "a folder"}) {
        QTemporaryDir ordner;
        const std::string datenbank = ui::Systempfad(ordner.filePath(QStringLiteral("snes.dat")));
        if (fall == std::string("present"))
            fixtures::Schreibe_datei(datenbank, fixtures::Datenbankzeile("A GAME", "A Game"));
        if (fall == std::string("a folder"))
            QVERIFY(QDir(ordner.path()).mkdir(QStringLiteral("snes.dat")));
        test::Testmeldungen meldungen;
        const auto fenster = ui::Starte_form1(datenbank, meldungen, schale, uhr);
        QCOMPARE(!fenster, fall == std::string("missing"));
        QCOMPARE(meldungen.gezeigt.size(), fall == std::string("present") ? 0 : 1);
        if (fall == std::string("present"))
            QVERIFY(fenster->Dateimodus->isChecked());
        if (meldungen.gezeigt.isEmpty())
            continue;
        const Meldung& meldung = meldungen.gezeigt.front().meldung;
        QCOMPARE(meldung.titel, std::string("Error !"));
        QCOMPARE(meldung.symbol, Meldungssymbol::Ausrufezeichen);
        QCOMPARE(meldungen.gezeigt.front().knoepfe, ui::Meldungsknoepfe::Ok);
        QVERIFY2(meldung.text.starts_with(fall == std::string("missing") ? "The file SNES.DAT is missing ! Download "
                                                                         : "Error Nr.  75 happened:\n"),
                 meldung.text.c_str());
    }
}

QTEST_MAIN(Start_test)
#include "test_start.moc"
