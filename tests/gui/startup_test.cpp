// Start-up: without the database no window; a database that cannot be opened is named and the window starts.
#include "fixtures/rom_builder.h"
#include "test_services.h"
#include "ui/main_window.h"
#include "ui/startup.h"
#include "ui/text_conversion.h"

#include <QtTest/QtTest>
#include <QtWidgets/QRadioButton>

using namespace cartonym;

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void with_without_and_with_unreadable_database();
};

void StartupTest::with_without_and_with_unreadable_database()
{
    for (const char* case_ : {"missing", "present", "a folder"}) {
        QTemporaryDir folder;
        const std::string database = ui::to_file_system(folder.filePath(QStringLiteral("snes.dat")));
        if (case_ == std::string("present"))
            fixtures::write_file(database, fixtures::database_line("A GAME", "A Game"));
        if (case_ == std::string("a folder"))
            QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("snes.dat")));
        test::Services s;
        const auto window = ui::start_main_window(database, s.messages, s.shell, s.clock);
        QCOMPARE(!window, case_ == std::string("missing"));
        QCOMPARE(s.messages.shown.size(), case_ == std::string("present") ? 0 : 1);
        if (case_ == std::string("present"))
            QVERIFY(test::find<QRadioButton>(window.get(), "Dateimodus")->isChecked()
                && window->database_path() == database);
        if (s.messages.shown.isEmpty())
            continue;
        const Message& message = s.messages.shown.front().message;
        QCOMPARE(message.title, std::string("Error !"));
        QCOMPARE(message.symbol, MessageIcon::Exclamation);
        QCOMPARE(s.messages.shown.front().buttons, ui::MessageButtons::Ok);
        QVERIFY2(message.text.starts_with(case_ == std::string("missing") ? "The file SNES.DAT is missing ! Download "
                                                                          : "Error Nr.  75 happened:\n"),
            message.text.c_str());
    }
}

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
