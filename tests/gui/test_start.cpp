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
    test::Testuhr clock_;
    for (const char* case_ : {"missing", "present", "a folder"}) {
        QTemporaryDir folder;
        const std::string database = ui::Systempfad(folder.filePath(QStringLiteral("snes.dat")));
        if (case_ == std::string("present"))
            fixtures::write_file(database, fixtures::database_line("A GAME", "A Game"));
        if (case_ == std::string("a folder"))
            QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("snes.dat")));
        test::Testmeldungen messages;
        const auto fenster = ui::Starte_form1(database, messages, schale, clock_);
        QCOMPARE(!fenster, case_ == std::string("missing"));
        QCOMPARE(messages.shown.size(), case_ == std::string("present") ? 0 : 1);
        if (case_ == std::string("present"))
            QVERIFY(fenster->Dateimodus->isChecked());
        if (messages.shown.isEmpty())
            continue;
        const Message& message = messages.shown.front().message;
        QCOMPARE(message.title, std::string("Error !"));
        QCOMPARE(message.symbol, MessageIcon::Exclamation);
        QCOMPARE(messages.shown.front().knoepfe, ui::Meldungsknoepfe::Ok);
        QVERIFY2(message.text.starts_with(case_ == std::string("missing") ? "The file SNES.DAT is missing ! Download "
                                                                         : "Error Nr.  75 happened:\n"),
                 message.text.c_str());
    }
}

QTEST_MAIN(Start_test)
#include "test_start.moc"
