// The main window: start-up, modes, the selected file, rename, batch runs, failures, lists, keys and the menus.
#include "fixtures/rom_builder.h"
#include "database_tools/database_check.h"
#include "common/system_calls.h"
#include "common/windows1252.h"
#include "test_services.h"
#include "ui/about_window.h"
#include "ui/form_table.h"
#include "ui/main_window.h"
#include "ui/startup.h"
#include "ui/text_conversion.h"
#include "ui/widgets.h"

#include <QtGui/QAction>
#include <QtCore/QMimeData>
#include <QtCore/QThread>
#include <QtTest/QtTest>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QCompleter>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QScrollBar>

#include <algorithm>
#include <memory>
#include <tuple>

using namespace cartonym;
using namespace cartonym::fixtures;
using cartonym::test::find;
using cartonym::ui::Form1;

namespace {

const QString known_name = QStringLiteral("Starlight Racer (USA).smc");
const QString not_an_image = QStringLiteral("This is no SNES ROM Image or a bad dump !");

QStringList entries(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

QStringList child_names(const QTreeWidgetItem* item)
{
    QStringList names;
    for (int i = 0; i < item->childCount(); ++i)
        names << item->child(i)->text(0);
    return names;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { form_.reset(), folder_.reset(), data_home_.reset(); }

    void start_without_with_and_with_unreadable_database();
    void modes_and_timer();
    void three_states_in_both_styles();
    void rename_onto_taken_name_then_free();
    void batch_run_from_window();
    void undo_takes_back_a_run_of_the_shown_folder();
    void the_shown_folder_is_the_one_acted_on_and_remembered();
    void rename_stays_in_the_files_folder_and_the_same_name_is_no_error();
    void preview_names_the_folder_says_what_would_stop_and_starts();
    void cancel_stops_a_run_between_two_files();
    void errors_name_the_database_and_the_file_list_follows_the_disk();
    void batch_run_shows_an_empty_panel_before_the_first_file();
    void failure_message_escapes_what_windows_1252_lacks();
    void a_run_without_its_journal_says_so();
    void drive_retry_cancel_and_folder_lists();
    void folder_tree_expands_lists_siblings_and_follows_the_disk();
    void keyboard_and_menus();
    void database_check_shows_every_finding();
    void a_conflict_blocks_adding_then_learnt_records_are_previewed_and_added();
    void about_twice_each_time_fresh();

private:
    template <typename Control> Control* c(const char* name) const { return find<Control>(form_.get(), name); }
    QLabel* label(const char* name) const { return c<QLabel>(name); }
    bool hidden(std::initializer_list<const char*> names, bool yes = true) const
    {
        return std::ranges::all_of(names, [&](const char* name) { return c<QWidget>(name)->isHidden() == yes; });
    }
    QString path(const QString& name) const { return folder_->filePath(name); }
    std::string file_system_path(const QString& name) const { return ui::to_file_system(path(name)); }
    void select(const QString& name);
    void tick() { form_->Timer1_Timer(); }
    void batch_mode() { c<QRadioButton>("Batchmodus")->click(), tick(); }

    std::unique_ptr<QTemporaryDir> folder_, data_home_;
    std::string database_;
    test::Services s_;
    std::unique_ptr<Form1> form_;
};

// A folder with a known image, an unknown one and a file that is no image; the user's own database, with two findings.
void MainWindowTest::init()
{
    folder_ = std::make_unique<QTemporaryDir>();
    data_home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid() && data_home_->isValid() && QDir(data_home_->path()).mkdir(QStringLiteral("cartonym")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data_home_->path()));
    database_ = ui::to_file_system(data_home_->filePath(QStringLiteral("cartonym/snes.dat")));
    write_file(database_,
        database_line("OTHER GAME", "Other Game") + database_line("STARLIGHT RACER", "Starlight Racer")
            + database_line("OTHER GAME", "Other Again") + database_line("EMPTY", ""));
    write_rom(file_system_path(QStringLiteral("starlight.smc")), {.name = "STARLIGHT RACER"});
    write_rom(file_system_path(QStringLiteral("mystery.smc")), {.name = "NOBODY KNOWS ME", .checksum = 0xBEEF});
    write_file(file_system_path(QStringLiteral("readme.txt")), "no image here\r\n");
    s_ = {};
    form_ = std::make_unique<Form1>(database_, s_.messages, s_.shell, s_.clock);
    form_->show();
    c<ui::FolderTree>("Ordner")->set_path(folder_->path());
}

void MainWindowTest::select(const QString& name)
{
    auto* files = c<QListWidget>("Dateien");
    const QList<QListWidgetItem*> match = files->findItems(name, Qt::MatchExactly);
    QCOMPARE(match.size(), 1);
    files->setCurrentItem(match.front());
}

// Without the database no window; a database that cannot be opened is named and the window starts.
void MainWindowTest::start_without_with_and_with_unreadable_database()
{
    for (const std::string_view case_ : {"missing", "present", "a folder"}) {
        QTemporaryDir folder;
        const std::string database = ui::to_file_system(folder.filePath(QStringLiteral("snes.dat")));
        if (case_ == "present")
            write_file(database, database_line("A GAME", "A Game"));
        if (case_ == "a folder")
            QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("snes.dat")));
        test::Services s;
        const auto window = ui::start_main_window(database, s.messages, s.shell, s.clock);
        QCOMPARE(!window, case_ == "missing");
        QCOMPARE(s.messages.shown.size(), case_ == "present" ? 0 : 1);
        if (case_ == "present")
            QVERIFY(find<QRadioButton>(window.get(), "Dateimodus")->isChecked() && window->database_path() == database);
        if (s.messages.shown.isEmpty())
            continue;
        const Message& message = s.messages.shown.front().message;
        QCOMPARE(std::tie(message.title, message.symbol), std::tuple(std::string("Error !"), MessageIcon::exclamation));
        QCOMPARE(s.messages.shown.front().buttons, ui::MessageButtons::Ok);
        QVERIFY2(message.text.starts_with(
                     case_ == "missing" ? "The file SNES.DAT is missing ! Download " : "Error Nr.  75 happened:\n"),
            message.text.c_str());
    }
}

void MainWindowTest::modes_and_timer()
{
    QVERIFY(c<QRadioButton>("Dateimodus")->isChecked() && c<QRadioButton>("Optiondateinamennormal")->isChecked());
    QVERIFY(!c<QCheckBox>("Checkgamelist")->isEnabled() && hidden({"Command2", "Batchrun"}));

    // The tick undoes changes to the controls it governs.
    c<QWidget>("Batchrun")->show();
    c<QWidget>("Dateien")->setEnabled(false);
    label("Modusbeschreibung")->setText(QStringLiteral("changed"));
    tick();
    QCOMPARE(label("Modusbeschreibung")->text(), QStringLiteral("Use this mode to rename single ROM-Images"));
    QCOMPARE(
        label("Namenmodus")->text(), QStringLiteral("Normal long filenames that also can contain spaces will be used"));
    QVERIFY(c<QWidget>("Dateien")->isEnabled());
    QVERIFY(hidden({"Batchrun", "Labelschonrichtig", "Listeunbekannt", "ProgressBar", "Label17"}));

    select(QStringLiteral("starlight.smc"));
    QVERIFY(hidden({"Romname", "Command2"}, false));
    // Batchmodus_Click itself shows the counters and empties them; the tick does the rest.
    c<QRadioButton>("Batchmodus")->click();
    QVERIFY(hidden({"Labelschonrichtig", "Listeunbekannt"}, false) && hidden({"Command2"}));
    QVERIFY(c<QCheckBox>("Checkgamelist")->isEnabled());
    tick();
    QCOMPARE(
        label("Modusbeschreibung")->text(), QStringLiteral("Use this mode to rename all ROM-Images in a directory"));
    QVERIFY(!c<QWidget>("Dateien")->isEnabled() && hidden({"Batchrun", "ProgressBar"}, false));
    QVERIFY(hidden({"Nameneu", "Romname", "Label8"}));

    c<QRadioButton>("Optiondateinamenultrahle")->click();
    tick();
    QCOMPARE(label("Namenmodus")->text(),
        QStringLiteral("Long filenames will be used, spaces will be replaced by underscores\n( _ )"));

    c<QRadioButton>("Dateimodus")->click();
    QVERIFY(!c<QCheckBox>("Checkgamelist")->isEnabled());
    tick();
    QVERIFY(c<QWidget>("Dateien")->isEnabled() && hidden({"Batchrun", "Listeunbekannt"}) && hidden({"Nameneu"}, false));
    QVERIFY(label("Nameneu")->text().isEmpty() && label("Dateiname")->text().isEmpty());
}

void MainWindowTest::three_states_in_both_styles()
{
    QCOMPARE(entries(c<QListWidget>("Dateien")),
        (QStringList{QStringLiteral("mystery.smc"), QStringLiteral("readme.txt"), QStringLiteral("starlight.smc")}));
    const QString lo = QStringLiteral("SNES LoRom, no Header"), full = QStringLiteral("Starlight Racer");
    const struct {
        const char* file;
        bool without_spaces;
        QString file_type_text, nameneu, namevoll;
    } cases[] = {
        {"starlight.smc", false, lo, known_name, full},
        {"mystery.smc", false, lo, QStringLiteral("ROM unknown !"), {}},
        {"readme.txt", false, not_an_image, {}, {}},
        {"starlight.smc", true, lo, QStringLiteral("Starlight_Racer_(USA).smc"), full},
        {"mystery.smc", true, lo, QStringLiteral("ROM_unknown_!"), {}},
        {"readme.txt", true, not_an_image, {}, {}},
    };
    for (const auto& case_ : cases) {
        const QString file = QString::fromLatin1(case_.file);
        c<QRadioButton>(case_.without_spaces ? "Optiondateinamenultrahle" : "Optiondateinamennormal")->click();
        select(file);
        const QStringList shown = {
            label("Dateiname")->text(), label("Dateityp")->text(), label("Nameneu")->text(), label("Namevoll")->text()};
        QCOMPARE(shown, (QStringList{file, case_.file_type_text, case_.nameneu, case_.namevoll}));
        QCOMPARE((QList<bool>{label("Romname")->text().isEmpty(), label("Land")->text().isEmpty()}),
            QList<bool>(2, case_.file_type_text == not_an_image));
        QCOMPARE(c<QWidget>("Command2")->isHidden(), case_.namevoll.isEmpty());
    }
    QVERIFY(s_.messages.shown.isEmpty());

    // Switching the style of a shown image renames it at once; for an unknown
    // image the name changes, the label does not.
    select(QStringLiteral("starlight.smc"));
    c<QRadioButton>("Optiondateinamennormal")->click();
    QCOMPARE(label("Nameneu")->text(), known_name);
    select(QStringLiteral("mystery.smc"));
    c<QRadioButton>("Optiondateinamenultrahle")->click();
    QCOMPARE(form_->Neuer_name, std::string("ROM_unknown_!"));
    QCOMPARE(label("Nameneu")->text(), QStringLiteral("ROM unknown !"));
}

void MainWindowTest::rename_onto_taken_name_then_free()
{
    write_file(file_system_path(known_name), "already here");
    form_->Ordner_Change();
    select(QStringLiteral("starlight.smc"));
    c<QPushButton>("Command2")->click();
    QCOMPARE(s_.messages.shown.size(), 1);
    const Message& message = s_.messages.shown.front().message;
    QCOMPARE(std::tie(message.title, message.symbol), std::tuple(std::string("Error !"), MessageIcon::exclamation));
    QCOMPARE(s_.messages.shown.front().buttons, ui::MessageButtons::Ok);
    QCOMPARE(message.text,
        file_error_text(Error(ErrorNumber::file_already_exists), file_system_path(QStringLiteral("starlight.smc"))));
    // The labels and the button stay (that the files stay is the core rename test's).
    QVERIFY(label("Nameneu")->text() == known_name && !c<QWidget>("Command2")->isHidden());

    // With the name free the same button renames the file and empties the labels.
    QVERIFY(QFile::remove(path(known_name)));
    c<QPushButton>("Command2")->click();
    QCOMPARE(s_.messages.shown.size(), 1);
    QCOMPARE(entries(c<QListWidget>("Dateien")),
        (QStringList{QStringLiteral("mystery.smc"), QStringLiteral("readme.txt"), known_name}));
    for (const char* value : {"Dateiname", "Dateityp", "Romname", "Namevoll", "Nameneu", "sizelabel"})
        QVERIFY2(label(value)->text().isEmpty(), value);
    QVERIFY(c<QWidget>("Command2")->isHidden());
}

void MainWindowTest::batch_run_from_window()
{
    write_rom(file_system_path(known_name), {.name = "STARLIGHT RACER"}); // already correct
    form_->Ordner_Change();
    batch_mode();
    c<QCheckBox>("Checkgamelist")->setChecked(true);
    // The preview shows what the run will do, and changes nothing.
    QStringList outcomes;
    for (const QStringList& row : test::table_rows("batch_preview", [&] { c<QPushButton>("preview_button")->click(); }))
        outcomes << row[0] + QLatin1Char(' ') + row[1];
    QCOMPARE(outcomes,
        (QStringList{QStringLiteral("mystery.smc unknown"), QStringLiteral("readme.txt not an image"),
            QStringLiteral("Starlight Racer (USA).smc already correct"), QStringLiteral("starlight.smc duplicate")}));
    QVERIFY(!QFile::exists(path(QStringLiteral("Renamed_SNES_ROMs"))));
    c<QPushButton>("Batchrun")->click();
    QCOMPARE(s_.messages.shown.size(), 1);
    QCOMPARE(s_.messages.shown.front().message.title, std::string("Cartonym Message:"));
    QVERIFY(
        s_.messages.shown.front().message.text.starts_with("Batchrun finished !\n\nThere have been some unkown ROMs."));
    QCOMPARE(label("Label17")->text(), QStringLiteral("Batchmode finished successfull !"));
    QCOMPARE(c<QProgressBar>("ProgressBar")->value(), 100);
    // Four files: one already correct, one a duplicate of it, one unknown, one no image.
    QStringList panel;
    for (const char* counter :
        {"Labelinsgesamt", "Labelanzahlroms", "Labelschonrichtig", "Labelumbenannt", "Labelduplikate"})
        panel << label(counter)->text();
    QCOMPARE(panel.join(QLatin1Char('|')), QStringLiteral(" 4| 3| 1| 0| 1"));
    QCOMPARE(entries(c<QListWidget>("Listeunbekannt")), QStringList{QStringLiteral("mystery.smc")});
    QCOMPARE(entries(c<QListWidget>("Dateien")), QStringList{QStringLiteral("readme.txt")});
    for (const char* file : {"Renamed_SNES_ROMs/games.htm", "Unknown_ROMs/mystery.smc", "Duplicates/starlight.smc"})
        QVERIFY2(QFile::exists(path(QString::fromLatin1(file))), file);
    // The folder list shows the output folders at once.
    QVERIFY(child_names(c<ui::FolderTree>("Ordner")->currentItem()).contains(QStringLiteral("Renamed_SNES_ROMs")));
    // A second Batchmodus click empties the counters, keeps the unknown list.
    c<QRadioButton>("Batchmodus")->click();
    QVERIFY(label("Labelinsgesamt")->text().isEmpty() && c<QListWidget>("Listeunbekannt")->count() == 1);
}

// File > Undo batch run... lists the runs of the folder shown only, in the user's
// time, undoes the chosen one and empties the panel.
void MainWindowTest::undo_takes_back_a_run_of_the_shown_folder()
{
    QVERIFY(QDir(folder_->path()).mkdir(QStringLiteral("other")));
    write_rom(file_system_path(QStringLiteral("other/elsewhere.smc")), {.name = "STARLIGHT RACER"});
    batch_mode();
    c<QPushButton>("Batchrun")->click(); // this folder: 2 of its 3 files move
    c<ui::FolderTree>("Ordner")->set_path(path(QStringLiteral("other")));
    c<QPushButton>("Batchrun")->click(); // another folder's run, newer
    c<ui::FolderTree>("Ordner")->set_path(folder_->path());
    QList<QStringList> runs = test::table_rows("undo_chooser", [&] { c<QAction>("undo_batch_run")->trigger(); });
    QCOMPARE(runs.size(), 1); // closed: nothing changes
    QCOMPARE(runs[0][1], QStringLiteral("2"));
    QVERIFY2(!runs[0][0].contains(QRegularExpression(QStringLiteral("\\dT\\d"))) && !runs[0][0].isEmpty(),
        qPrintable(runs[0][0])); // in words, not a raw time stamp
    QVERIFY(QFile::exists(path(QStringLiteral("Renamed_SNES_ROMs"))));
    test::when_open("undo_chooser", [](QDialog* dialog) { find<QPushButton>(dialog, "undo")->click(); });
    const qsizetype shown_before = s_.messages.shown.size();
    c<QAction>("undo_batch_run")->trigger();
    QCOMPARE(s_.messages.shown.size(), shown_before + 1);
    QCOMPARE(s_.messages.shown.back().message.text, std::string("2 files went back."));
    QCOMPARE(entries(c<QListWidget>("Dateien")),
        (QStringList{QStringLiteral("mystery.smc"), QStringLiteral("readme.txt"), QStringLiteral("starlight.smc")}));
    QVERIFY(!QFile::exists(path(QStringLiteral("Renamed_SNES_ROMs"))));
    QVERIFY(QFile::exists(path(QStringLiteral("other/Renamed_SNES_ROMs"))));
    QVERIFY(label("Labelinsgesamt")->text().isEmpty() && c<QListWidget>("Listeunbekannt")->count() == 0);
    QCOMPARE(std::tuple(label("Label17")->text(), c<QProgressBar>("ProgressBar")->value()),
        std::tuple(QStringLiteral("Batchmode Status:"), 0));
    // Nothing left to undo here: said so.
    c<QAction>("undo_batch_run")->trigger();
    QVERIFY(s_.messages.shown.back().message.text.starts_with("There is no batch run of this folder to undo"));
}

// A second run that stops before its first file, the database gone: while its
// message is open the panel, the unknown list and the status of the first run are gone.
void MainWindowTest::batch_run_shows_an_empty_panel_before_the_first_file()
{
    batch_mode();
    c<QPushButton>("Batchrun")->click();
    QVERIFY(!label("Labelinsgesamt")->text().isEmpty() && c<QListWidget>("Listeunbekannt")->count() == 1);

    write_rom(file_system_path(QStringLiteral("another.smc")), {.name = "ANOTHER"});
    QVERIFY(QFile::remove(ui::from_file_system(database_)));
    QStringList seen;
    s_.messages.on_show = [&](const Message&) {
        seen = {label("Labelinsgesamt")->text(), label("Labelduplikate")->text(),
            QString::number(c<QListWidget>("Listeunbekannt")->count()), label("Label17")->text()};
    };
    c<QPushButton>("Batchrun")->click();
    // The run names the missing database before it moves anything, and sets no panel values.
    QCOMPARE(s_.messages.shown.back().message.text, file_error_text(Error(ErrorNumber::file_not_found), database_));
    QCOMPARE(seen, (QStringList{QString(), QString(), QStringLiteral("0"), QStringLiteral("Batchmode Status:")}));
    QVERIFY(label("Labelinsgesamt")->text().isEmpty());
}

// A name Windows-1252 cannot write reads in the window's message exactly as
// in the batch run's message: escaped, never as mojibake.
void MainWindowTest::failure_message_escapes_what_windows_1252_lacks()
{
    QVERIFY(QDir(folder_->path()).mkdir(QStringLiteral("k")));
    const QString name = QStringLiteral("k/\u30B9\u30BF\u30FC.smc"); // three katakana
    write_rom(file_system_path(name), {.name = "STARLIGHT RACER"});
    // The image cannot be read: the selection and the run both stop on it.
    const std::string image = file_system_path(name);
    const FaultHook previous = set_fault_hook([image](SystemOperation operation, const std::string& path) {
        return operation == SystemOperation::open && path == image ? EIO : 0;
    });
    c<ui::FolderTree>("Ordner")->set_path(path(QStringLiteral("k")));
    select(QFileInfo(name).fileName());
    batch_mode();
    c<QPushButton>("Batchrun")->click();
    QCOMPARE(s_.messages.shown.size(), 2);
    const std::string escaped = escaped_file_name(file_system_path(name));
    QVERIFY(escaped.ends_with("\\u{30B9}\\u{30BF}\\u{30FC}.smc"));
    set_fault_hook(previous);
    QCOMPARE(s_.messages.shown[0].message.text, file_error_text(Error(ErrorNumber::device_io_error), escaped));
    QCOMPARE(s_.messages.shown[0].message.text, s_.messages.shown[1].message.text);
    // The window shows the name as the lists do; only bytes that are no UTF-8 stay escaped.
    QVERIFY(ui::message_text(s_.messages.shown[0].message.text).contains(QFileInfo(name).fileName() + '\n'));
    QCOMPARE(
        ui::message_text(escaped_file_name("a\\u{41}\xFF\xE3\x82\xB9\\")), QStringLiteral("a\\u{41}\\xFF\u30B9\\"));
}

// A run whose journal cannot be kept goes on, and the window says it cannot be undone.
void MainWindowTest::a_run_without_its_journal_says_so()
{
    const QByteArray state = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", QFile::encodeName(path(QStringLiteral("readme.txt")))); // a file, not a folder
    batch_mode();
    c<QPushButton>("Batchrun")->click();
    qputenv("XDG_STATE_HOME", state);
    QCOMPARE(s_.messages.shown.size(), 2);
    const std::string text = s_.messages.shown.front().message.text;
    QVERIFY2(text.starts_with("The run's journal cannot be kept (") && text.ends_with("the run goes on without undo."),
        text.c_str());
    QCOMPARE(label("Label17")->text(), QStringLiteral("Batchmode finished successfull !"));
}

void MainWindowTest::drive_retry_cancel_and_folder_lists()
{
    auto* drives = c<QComboBox>("Laufwerk");
    auto* folders = c<ui::FolderTree>("Ordner");
    const QString before = folders->path();
    s_.messages.answers = {ui::MessageAnswer::Retry, ui::MessageAnswer::Cancel};
    drives->addItem(QStringLiteral("gone"), path(QStringLiteral("no-such-drive")));
    drives->setCurrentIndex(drives->count() - 1);
    QCOMPARE(s_.messages.shown.size(), 2);
    for (const auto& shown : s_.messages.shown)
        QVERIFY(shown.message.text == "Path not found" && shown.buttons == ui::MessageButtons::RetryCancel);
    QCOMPARE(folders->path(), before);

    // A drive that opens moves the folder list to its root.
    drives->addItem(QStringLiteral("here"), data_home_->filePath(QStringLiteral("cartonym")));
    drives->setCurrentIndex(drives->count() - 1);
    QCOMPARE(folders->path(), QDir::cleanPath(data_home_->filePath(QStringLiteral("cartonym"))));
    QCOMPARE(entries(c<QListWidget>("Dateien")), QStringList{QStringLiteral("snes.dat")});

    // Activating an entry of the folder list opens that folder.
    folders->set_path(folder_->path());
    QTreeWidgetItem* parent = folders->currentItem()->parent();
    QVERIFY(parent);
    emit folders->itemActivated(parent, 0);
    QCoreApplication::processEvents(); // the folder list opens it from the event loop
    QCOMPARE(folders->path(), QDir::cleanPath(QFileInfo(folder_->path()).dir().path()));

    // The drive list follows the folder list.
    QDir(folder_->path()).mkdir(QStringLiteral("inner"));
    {
        const QSignalBlocker quiet(drives);
        drives->addItem(QStringLiteral("test drive"), folder_->path());
    }
    folders->set_path(path(QStringLiteral("inner")));
    QCOMPARE(drives->currentText(), QStringLiteral("test drive"));
    folders->set_path(data_home_->path());
    QVERIFY(drives->currentText() != QStringLiteral("test drive"));
    QVERIFY(QDir::cleanPath(data_home_->path()).startsWith(QDir::cleanPath(drives->currentData().toString())));
}

void MainWindowTest::folder_tree_expands_lists_siblings_and_follows_the_disk()
{
    QDir here(folder_->path());
    QVERIFY(here.mkpath(QStringLiteral("games/Renamed_SNES_ROMs/deep")) && here.mkdir(QStringLiteral("sister")));
    auto* folders = c<ui::FolderTree>("Ordner");
    folders->set_path(here.filePath(QStringLiteral("games")));
    QTreeWidgetItem* games = folders->currentItem();

    // The current folder's siblings are listed beside it.
    QCOMPARE(child_names(games->parent()), (QStringList{QStringLiteral("games"), QStringLiteral("sister")}));
    // A folder not yet read shows an arrow; expanding it reads its sub-folders.
    QTreeWidgetItem* renamed = games->child(0);
    QCOMPARE(renamed->text(0), QStringLiteral("Renamed_SNES_ROMs"));
    QCOMPARE(std::tuple(renamed->childCount(), renamed->childIndicatorPolicy()),
        std::tuple(0, QTreeWidgetItem::ShowIndicator));
    renamed->setExpanded(true);
    QCOMPARE(child_names(renamed), QStringList{QStringLiteral("deep")});

    // The whole name is readable: the column is as wide as it needs, and the list scrolls sideways.
    const QRect shown = folders->visualItemRect(renamed);
    const int needed =
        shown.left() + folders->iconSize().width() + 8 + folders->fontMetrics().horizontalAdvance(renamed->text(0));
    QVERIFY2(folders->header()->sectionSize(0) >= needed - folders->horizontalScrollBar()->value(),
        qPrintable(QStringLiteral("%1 < %2").arg(folders->header()->sectionSize(0)).arg(needed)));

    // Folders made meanwhile appear; removed ones vanish.
    QVERIFY(here.mkpath(QStringLiteral("games/Unknown_ROMs")));
    QTRY_COMPARE(
        child_names(games), (QStringList{QStringLiteral("Renamed_SNES_ROMs"), QStringLiteral("Unknown_ROMs")}));
    QVERIFY(here.rmdir(QStringLiteral("sister")));
    folders->refresh();
    QCOMPARE(child_names(games->parent()), QStringList{QStringLiteral("games")});
    QVERIFY(renamed->isExpanded()); // what was open stays open
    // Folders that come or go above the current folder do not move its row.
    for (int i = 0; i < 40; ++i)
        QVERIFY(here.mkdir(QStringLiteral("z%1").arg(i, 2, 10, QLatin1Char('0'))));
    folders->set_path(here.filePath(QStringLiteral("games")));
    games = folders->currentItem();
    const int row_top = folders->visualItemRect(games).top();
    for (const bool make : {true, false}) {
        for (const char* name : {"a1", "a2", "a3"})
            QVERIFY(make ? here.mkdir(QLatin1String(name)) : here.rmdir(QLatin1String(name)));
        folders->refresh();
        QCOMPARE(std::tuple(folders->currentItem(), folders->visualItemRect(games).top()), std::tuple(games, row_top));
    }
}

// The path field shows the folder; a single click or a typed path opens one;
// the next window starts on the folder shown last.
void MainWindowTest::the_shown_folder_is_the_one_acted_on_and_remembered()
{
    auto* field = c<QLineEdit>("folder_path");
    auto* folders = c<ui::FolderTree>("Ordner");
    QCOMPARE(field->text(), QDir::cleanPath(folder_->path()));
    QVERIFY(QDir(folder_->path()).mkpath(QStringLiteral("lib/deeper")));
    write_rom(file_system_path(QStringLiteral("lib/inner.smc")), {.name = "STARLIGHT RACER"});
    folders->refresh();
    QTreeWidgetItem* lib = folders->find_item(path(QStringLiteral("lib")));
    QVERIFY(lib);
    const int top = folders->visualItemRect(lib).top();
    const QRect row = folders->visualItemRect(lib);
    QTest::mouseClick(folders->viewport(), Qt::LeftButton, {}, QPoint(std::max(row.left(), 0) + 30, row.center().y()));
    QTRY_COMPARE(folders->path(), path(QStringLiteral("lib")));
    QCOMPARE(field->text(), path(QStringLiteral("lib")));
    QCOMPARE(entries(c<QListWidget>("Dateien")), QStringList{QStringLiteral("inner.smc")});
    QCOMPARE(folders->visualItemRect(folders->currentItem()).top(), top); // the row stayed under the pointer
    // Batch and Preview act on it.
    batch_mode();
    const QList<QStringList> planned =
        test::table_rows("batch_preview", [&] { c<QPushButton>("preview_button")->click(); });
    QCOMPARE(planned.size(), 1);
    QCOMPARE(planned[0][0], QStringLiteral("inner.smc"));
    // A typed path (completed from the sub-folders) and Enter open a folder.
    field->clear();
    QTest::keyClicks(field, path(QStringLiteral("lib/de")));
    QVERIFY(field->completer()->model()->rowCount() >= 1);
    field->setText(path(QStringLiteral("lib/deeper")));
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(folders->path(), path(QStringLiteral("lib/deeper")));
    field->setText(path(QStringLiteral("nowhere")));
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(std::tuple(folders->path(), field->text(), s_.messages.shown.size()),
        std::tuple(path(QStringLiteral("lib/deeper")), path(QStringLiteral("lib/deeper")), qsizetype(1)));
    // A folder dropped on the window opens it; a file or another address does not.
    const auto drop = [&](const QString& address) {
        QMimeData data;
        data.setUrls({QUrl(address)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(form_.get(), &enter);
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(form_.get(), &dropped);
        return enter.isAccepted() && dropped.isAccepted() && form_->acceptDrops();
    };
    QVERIFY(!drop(QUrl::fromLocalFile(path(QStringLiteral("lib/inner.smc"))).toString()));
    QVERIFY(!drop(QStringLiteral("https://example.org/lib")));
    QVERIFY(drop(QUrl::fromLocalFile(path(QStringLiteral("lib"))).toString()));
    QCOMPARE(std::tuple(folders->path(), field->text()),
        std::tuple(path(QStringLiteral("lib")), path(QStringLiteral("lib"))));
    QCOMPARE(entries(c<QListWidget>("Dateien")), QStringList{QStringLiteral("inner.smc")});
    QVERIFY(drop(QUrl::fromLocalFile(path(QStringLiteral("lib/deeper"))).toString()));
    // Remembered for the next window.
    test::Services s;
    Form1 next(database_, s.messages, s.shell, s.clock);
    QCOMPARE(find<ui::FolderTree>(&next, "Ordner")->path(), path(QStringLiteral("lib/deeper")));
}

// The rename takes place in the selected file's own folder, whatever folder is
// shown now; a file that already has its name is left as it is, without a word.
void MainWindowTest::rename_stays_in_the_files_folder_and_the_same_name_is_no_error()
{
    QVERIFY(QDir(folder_->path()).mkdir(QStringLiteral("sub")));
    select(QStringLiteral("starlight.smc"));
    c<ui::FolderTree>("Ordner")->set_path(path(QStringLiteral("sub")));
    c<QPushButton>("Command2")->click();
    QVERIFY(QFile::exists(path(known_name)) && !QFile::exists(path(QStringLiteral("sub/") + known_name)));
    c<ui::FolderTree>("Ordner")->set_path(folder_->path());
    select(known_name);
    QVERIFY(!c<QWidget>("Command2")->isHidden());
    c<QPushButton>("Command2")->click();
    QVERIFY(s_.messages.shown.isEmpty() && QFile::exists(path(known_name)));
    QVERIFY(c<QWidget>("Command2")->isHidden() && label("Nameneu")->text().isEmpty());
}

// The preview names its folder, speaks of the future, says what would stop the
// run (a read-only folder here) and starts the run from its button.
void MainWindowTest::preview_names_the_folder_says_what_would_stop_and_starts()
{
    batch_mode();
    const std::string folder = ui::to_file_system(QDir::cleanPath(folder_->path()));
    const FaultHook previous = set_fault_hook([folder](SystemOperation operation, const std::string& path) {
        return operation == SystemOperation::open && path.starts_with(folder + "/.cartonym-check") ? EROFS : 0;
    });
    QString summary;
    bool can_start = true;
    test::when_open("batch_preview", [&](QDialog* dialog) {
        summary = find<QLabel>(dialog, "summary")->text();
        can_start = find<QPushButton>(dialog, "start_batch")->isEnabled();
        QVERIFY(!(dialog->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        dialog->reject();
    });
    c<QPushButton>("preview_button")->click();
    set_fault_hook(previous);
    QVERIFY2(summary.contains(QDir::cleanPath(folder_->path())) && summary.contains(QStringLiteral("would stop"))
            && summary.contains(QStringLiteral("Read-only file system")) && !can_start,
        qPrintable(summary));
    test::when_open("batch_preview", [&](QDialog* dialog) {
        summary = find<QLabel>(dialog, "summary")->text();
        find<QPushButton>(dialog, "start_batch")->click();
    });
    c<QPushButton>("preview_button")->click();
    QVERIFY2(summary.contains(QStringLiteral("would be renamed: 1")) && !summary.contains(QStringLiteral("finished")),
        qPrintable(summary));
    QCOMPARE(label("Label17")->text(), QStringLiteral("Batchmode finished successfull !"));
    QVERIFY(QFile::exists(path(QStringLiteral("Renamed_SNES_ROMs/") + known_name)));
}

// Cancel, the one control on during a run, stops it between two files; the
// counts reached stay and undo takes back what was done.
void MainWindowTest::cancel_stops_a_run_between_two_files()
{
    batch_mode();
    // Each image takes a while to open, so that the window's events come between two files.
    const FaultHook previous = set_fault_hook([](SystemOperation operation, const std::string&) {
        if (operation == SystemOperation::open)
            QThread::msleep(30);
        return 0;
    });
    QList<bool> enabled;
    QTimer::singleShot(0, form_.get(), [&] {
        enabled = {c<QWidget>("Batchrun")->isEnabled(), c<QWidget>("Checkgamelist")->isEnabled(),
            form_->menuBar()->isEnabled(), c<QWidget>("cancel_button")->isEnabled()};
        c<QPushButton>("cancel_button")->click();
    });
    c<QPushButton>("Batchrun")->click();
    set_fault_hook(previous);
    QCOMPARE(enabled, (QList<bool>{false, false, false, true}));
    QCOMPARE(label("Label17")->text(), QStringLiteral("Batchmode interrupted !"));
    QVERIFY(!label("Labelinsgesamt")->text().isEmpty() && label("Labelinsgesamt")->text() != QStringLiteral(" 3"));
    QVERIFY(c<QWidget>("Checkgamelist")->isEnabled() && form_->menuBar()->isEnabled());
    QVERIFY(!c<ui::FolderTree>("Ordner")->isHidden() && c<QWidget>("cancel_button")->isHidden());
    test::when_open("undo_chooser", [](QDialog* dialog) { find<QPushButton>(dialog, "undo")->click(); });
    c<QAction>("undo_batch_run")->trigger();
    QCOMPARE(entries(c<QListWidget>("Dateien")),
        (QStringList{QStringLiteral("mystery.smc"), QStringLiteral("readme.txt"), QStringLiteral("starlight.smc")}));
}

// A database that goes while the window runs is named in file mode; the start-up
// message says where it looked. Files that come and go appear and vanish.
void MainWindowTest::errors_name_the_database_and_the_file_list_follows_the_disk()
{
    // On a read-only file system the rename's and the run's messages say so.
    select(QStringLiteral("starlight.smc"));
    const FaultHook previous = set_fault_hook([](SystemOperation operation, const std::string& path) {
        return operation == SystemOperation::move || path.find(".cartonym-check-") != std::string::npos ? EROFS : 0;
    });
    c<QPushButton>("Command2")->click();
    batch_mode();
    c<QPushButton>("Batchrun")->click();
    set_fault_hook(previous);
    QCOMPARE(s_.messages.shown.size(), 2);
    for (const test::ShownMessage& shown : s_.messages.shown)
        QVERIFY2(shown.message.text.find("happened:\nRead-only file system (Permission denied)\n") != std::string::npos,
            shown.message.text.c_str());
    s_.messages.shown.clear();
    c<QRadioButton>("Dateimodus")->click(), tick();
    select(QStringLiteral("starlight.smc"));
    QVERIFY(!label("CRC1label")->text().isEmpty());
    QVERIFY(QFile::remove(ui::from_file_system(database_)));
    select(QStringLiteral("mystery.smc"));
    QCOMPARE(s_.messages.shown.size(), 1);
    QCOMPARE(s_.messages.shown[0].message.text, file_error_text(Error(ErrorNumber::file_not_found), database_));
    QVERIFY(label("CRC1label")->text().isEmpty());
    test::Services s;
    QVERIFY(!ui::start_main_window(database_, s.messages, s.shell, s.clock));
    QVERIFY(s.messages.shown[0].message.text.ends_with("\n\nThe program looked for it at: " + database_));

    write_file(file_system_path(QStringLiteral("arrived.smc")), "new");
    QTRY_VERIFY(entries(c<QListWidget>("Dateien")).contains(QStringLiteral("arrived.smc")));
    QVERIFY(QFile::remove(path(QStringLiteral("mystery.smc"))));
    QTRY_VERIFY(!entries(c<QListWidget>("Dateien")).contains(QStringLiteral("mystery.smc")));
}

void MainWindowTest::keyboard_and_menus()
{
    QCOMPARE(c<QAction>("beenden")->shortcut(), QKeySequence(QStringLiteral("Ctrl+X")));
    QCOMPARE(c<QAction>("about")->shortcut(), QKeySequence(Qt::Key_F1));
    QStringList titles;
    for (QAction* menu : form_->menuBar()->actions())
        titles << menu->text();
    QCOMPARE(titles, (QStringList{QStringLiteral("&File"), QStringLiteral("&Database"), QStringLiteral("&Help")}));
    c<QAction>("homepage")->trigger();
    QVERIFY(s_.shell.opened.size() == 1 && s_.messages.shown.isEmpty());
    QVERIFY(s_.shell.opened.front().toString().startsWith(QStringLiteral("https://")));

    // Enter presses a focused button, as Space does.
    select(QStringLiteral("starlight.smc"));
    auto* rename = c<QPushButton>("Command2");
    QSignalSpy renames(rename, &QPushButton::clicked);
    QTest::keyClick(rename, Qt::Key_Return);
    QCOMPARE(renames.size(), 1);
    batch_mode();
    auto* batch = c<QPushButton>("Batchrun");
    QSignalSpy runs(batch, &QPushButton::clicked);
    QTest::keyClick(batch, Qt::Key_Enter);
    QCOMPARE(runs.size(), 1);

    // Alt+F opens the File menu; its caption still reads "File".
    auto* file_menu = c<QMenu>("dateimenu");
    QCOMPARE(file_menu->menuAction()->iconText(), QStringLiteral("File"));
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    QTest::keyClick(form_.get(), Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(file_menu->isVisible());
    file_menu->close();

    // Tab goes down the left column first; menu items have mnemonics.
    QCOMPARE(c<QWidget>("Dateimodus")->nextInFocusChain()->objectName(), QStringLiteral("Batchmodus"));
    QCOMPARE(c<QWidget>("Laufwerk")->nextInFocusChain()->objectName(), QStringLiteral("folder_path"));
    QVERIFY(c<QAction>("undo_batch_run")->text().contains(QLatin1Char('&')));
    // The window lies whole on its screen.
    QVERIFY(form_->screen()->availableGeometry().contains(form_->frameGeometry()));

    // Exit closes the window (the program ends with its last window).
    c<QAction>("beenden")->trigger();
    QVERIFY(!form_->isVisible());
    // A control the code needs but the window lacks is a failure that says so.
    QVERIFY_THROWS_EXCEPTION(ui::MissingControl, ui::control<QLabel>(form_.get(), "no_such_control"));
}

void MainWindowTest::database_check_shows_every_finding()
{
    const QList<QStringList> shown =
        test::table_rows("database_check", [&] { c<QAction>("check_database")->trigger(); });
    const DatabaseCheck check = check_database(read_file(database_));
    QVERIFY(check.findings.size() >= 2);
    QCOMPARE(shown.size(), static_cast<qsizetype>(check.findings.size()));
    for (std::size_t i = 0; i < check.findings.size(); ++i) {
        const DatabaseFinding& finding = check.findings[i];
        QCOMPARE(shown[static_cast<qsizetype>(i)],
            (QStringList{QString::number(finding.line),
                finding.severity == FindingSeverity::error ? QStringLiteral("error") : QStringLiteral("warning"),
                QString::fromStdString(kind_name(finding.kind)), ui::from_cp1252(finding.message)}));
    }
}

void MainWindowTest::a_conflict_blocks_adding_then_learnt_records_are_previewed_and_added()
{
    // Learnt from the window's folder: a known image, two new ones, a file that is no image, a twin of one new image.
    write_rom(file_system_path(QStringLiteral("zeta.smc")), {.name = "ZETA RUNNER"});
    write_rom(file_system_path(QStringLiteral("twin.smc")), {.name = "NOBODY KNOWS ME"});
    s_.shell.folder = folder_->path();
    const std::string before = read_file(database_);
    QList<QStringList> shown;
    bool could_add = true;
    test::when_open("record_preview", [&](QDialog* dialog) {
        could_add = find<QPushButton>(dialog, "add_to_database")->isEnabled();
        dialog->reject();
    });
    c<QAction>("learn_names")->trigger();
    QVERIFY(!could_add);
    QCOMPARE(read_file(database_), before);

    // Without the conflicting file the records can be added.
    QVERIFY(QFile::remove(path(QStringLiteral("twin.smc"))));
    int visible_rows = 0;
    QString summary;
    test::when_open("record_preview", [&](QDialog* dialog) {
        auto* table = find<QTableWidget>(dialog, "table");
        shown = test::rows(table);
        summary = find<QLabel>(dialog, "summary")->text();
        find<QComboBox>(dialog, "filter")->setCurrentIndex(1);
        for (int row = 0; row < table->rowCount(); ++row)
            visible_rows += table->isRowHidden(row) ? 0 : 1;
        auto* add = find<QPushButton>(dialog, "add_to_database");
        could_add = add->isEnabled();
        add->click();
    });
    c<QAction>("learn_names")->trigger();
    QCOMPARE(shown.size(), 4);
    QCOMPARE(shown[0].mid(1, 3),
        (QStringList{
            QStringLiteral("new record"), QStringLiteral("NOBODY KNOWS ME      "), QStringLiteral("mystery")}));
    QCOMPARE(shown[1][1], QStringLiteral("no SNES image"));
    QCOMPARE(shown[2][1], QStringLiteral("already known"));
    QCOMPARE(shown[3][1], QStringLiteral("new record"));
    QCOMPARE(visible_rows, 2); // filtered to the new records
    QVERIFY2(
        summary.contains(QStringLiteral("writes them to ") + ui::from_file_system(database_)), qPrintable(summary));
    QVERIFY(could_add);
    // Appended as the command line appends, the previous file kept beside it.
    QCOMPARE(read_file(database_),
        before + database_record("NOBODY KNOWS ME      ", "mystery")
            + database_record("ZETA RUNNER          ", "zeta"));
    QCOMPARE(read_file(database_ + ".bak"), before);
    QCOMPARE(s_.messages.shown.size(), 1);
    QVERIFY(s_.messages.shown.front().message.text.starts_with("2 records appended to "));
}

// Opened from the menu (its Ok and close box are the About window test's).
void MainWindowTest::about_twice_each_time_fresh()
{
    Form1& form = *form_;
    for (int time = 0; time < 2; ++time) {
        bool modal = false;
        int scroll_offset = 1;
        QTimer::singleShot(0, &form, [&] {
            auto* window = qobject_cast<ui::frmAbout*>(QApplication::activeModalWidget());
            QVERIFY(window);
            modal = window->isModal() && window->parentWidget() == &form && !window->Scroll_ende;
            scroll_offset = window->top - find<ui::ScrollArea>(window, "picScroll")->inner().height();
            window->close();
        });
        c<QAction>("about")->trigger();
        QVERIFY(modal);
        QVERIFY(!QApplication::activeModalWidget());
        // Fresh state each time: the credits start from below the area.
        QVERIFY2(scroll_offset > -10 && scroll_offset <= 0, qPrintable(QString::number(scroll_offset)));
        // The About command leaves the window switched off until the next tick.
        QVERIFY(!form.isEnabled());
        tick();
        QVERIFY(form.isEnabled());
    }
    QVERIFY(s_.messages.shown.isEmpty());
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
