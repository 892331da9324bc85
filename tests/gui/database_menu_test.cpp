// The Database menu: the check's findings in a table; learnt records previewed, then appended (or refused on a conflict).
#include "fixtures/rom_builder.h"
#include "naming/database_check.h"
#include "test_services.h"
#include "ui/main_window.h"
#include "ui/text_conversion.h"

#include <QtGui/QAction>
#include <QtTest/QtTest>
#include <QtWidgets/QPushButton>

#include <memory>

using namespace cartonym;
using namespace cartonym::fixtures;
using cartonym::test::find;

class DatabaseMenuTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { form_.reset(), home_.reset(), images_.reset(); }

    void check_shows_every_finding();
    void a_conflict_blocks_adding_then_learnt_records_are_previewed_and_added();

private:
    std::string write_image(const char* name, const char* internal_name)
    {
        const std::string file = ui::to_file_system(images_->filePath(QLatin1String(name)));
        write_rom(file, {.name = internal_name});
        return file;
    }

    std::unique_ptr<QTemporaryDir> home_, images_;
    std::string database_;
    test::Services s_;
    std::unique_ptr<ui::Form1> form_;
};

// The user's own database, in a data folder of the test's own.
void DatabaseMenuTest::init()
{
    home_ = std::make_unique<QTemporaryDir>();
    images_ = std::make_unique<QTemporaryDir>();
    qputenv("XDG_DATA_HOME", QFile::encodeName(home_->path()));
    QVERIFY(QDir(home_->path()).mkdir(QStringLiteral("cartonym")));
    database_ = ui::to_file_system(home_->filePath(QStringLiteral("cartonym/snes.dat")));
    write_file(database_,
        database_line("KNOWN GAME", "Known Game") + database_line("KNOWN GAME", "Known Again")
            + database_line("EMPTY", ""));
    s_ = {};
    s_.shell.folder = images_->path();
    form_ = std::make_unique<ui::Form1>(database_, s_.messages, s_.shell, s_.clock);
}

void DatabaseMenuTest::check_shows_every_finding()
{
    const QList<QStringList> shown =
        test::table_rows("database_check", [&] { find<QAction>(form_.get(), "check_database")->trigger(); });
    const DatabaseCheck check = check_database(read_file(database_));
    QVERIFY(check.findings.size() >= 2);
    QCOMPARE(shown.size(), static_cast<qsizetype>(check.findings.size()));
    for (std::size_t i = 0; i < check.findings.size(); ++i) {
        const DatabaseFinding& finding = check.findings[i];
        QCOMPARE(shown[static_cast<qsizetype>(i)],
            (QStringList{QString::number(finding.line),
                finding.severity == FindingSeverity::error ? QStringLiteral("error") : QStringLiteral("warning"),
                QString::fromStdString(finding.child), ui::from_cp1252(finding.message)}));
    }
}

void DatabaseMenuTest::a_conflict_blocks_adding_then_learnt_records_are_previewed_and_added()
{
    write_image("Moon Walker (USA).smc", "MOON WALKER");
    write_image("known.smc", "KNOWN GAME");
    write_file(ui::to_file_system(images_->filePath(QStringLiteral("notes.txt"))), "no image");
    const std::string sun_runner = write_image("Sun Runner (USA).smc", "MOON WALKER");
    const std::string before = read_file(database_);
    QList<QStringList> shown;
    bool could_add = true;
    test::when_open("record_preview", [&](QDialog* dialog) {
        could_add = find<QPushButton>(dialog, "add_to_database")->isEnabled();
        dialog->reject();
    });
    find<QAction>(form_.get(), "learn_names")->trigger();
    QVERIFY(!could_add);
    QCOMPARE(read_file(database_), before);

    // Without the conflicting file the records can be added.
    QVERIFY(QFile::remove(QString::fromStdString(sun_runner)));
    test::when_open("record_preview", [&](QDialog* dialog) {
        shown = test::rows(find<QTableWidget>(dialog, "table"));
        auto* add = find<QPushButton>(dialog, "add_to_database");
        could_add = add->isEnabled();
        add->click();
    });
    find<QAction>(form_.get(), "learn_names")->trigger();
    QCOMPARE(shown.size(), 3);
    QCOMPARE(shown[0][1], QStringLiteral("known"));
    QCOMPARE(shown[1].mid(1, 3),
        (QStringList{QStringLiteral("new"), QStringLiteral("MOON WALKER          "), QStringLiteral("Moon Walker")}));
    QCOMPARE(shown[2][1], QStringLiteral("not_image"));
    QVERIFY(could_add);
    // Appended as the command line appends, the previous file kept beside it.
    QCOMPARE(read_file(database_), before + database_record("MOON WALKER          ", "Moon Walker"));
    QCOMPARE(read_file(database_ + ".bak"), before);
    QCOMPARE(s_.messages.shown.size(), 1);
    QVERIFY(s_.messages.shown.front().message.text.starts_with("1 record appended to "));
}

QTEST_MAIN(DatabaseMenuTest)
#include "database_menu_test.moc"
