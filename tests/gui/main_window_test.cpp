// SPDX-License-Identifier: GPL-3.0-or-later
// The windows: start-up, modes, the selected file, rename, batch runs, failures, lists, keys, the menus, catalogues;
// the About window's look, links and scroller; every text fitting its place.
#include "analysis/header_decoding.h"
#include "common/number_text.h"
#include "common/system_calls.h"
#include "common/windows1252.h"
#include "database_tools/content_digest.h"
#include "database_tools/database_check.h"
#include "fixtures/rom_builder.h"
#include "naming/name_database.h"
#include "operations/batch_run.h"
#include "operations/file_mode.h"
#include "operations/identification.h"
#include "test_services.h"
#include "tests/archive_builder.h"
#include "ui/about_window.h"
#include "ui/first_start_hint.h"
#include "ui/form_table.h"
#include "ui/main_window.h"
#include "ui/startup.h"
#include "ui/text_conversion.h"
#include "ui/widgets.h"
#include "ui/window_settings.h"

using namespace cartonym;
using namespace Qt::StringLiterals;
using namespace cartonym::fixtures;
using cartonym::test::find;
using cartonym::ui::Form1;
using cartonym::ui::frmAbout;

namespace {

const QString known_name = u"Starlight Racer (USA).smc"_s;
const QString not_an_image = u"This is no SNES ROM Image or a bad dump !"_s;
const QStringList start_files{u"mystery.smc"_s, u"readme.txt"_s, u"starlight.smc"_s};

// An error box with Ok only.
void verify_error_box(const test::ShownMessage& shown)
{
    QCOMPARE(std::tie(shown.message.title, shown.message.symbol, shown.buttons),
        std::tuple(std::string("Error !"), MessageIcon::exclamation, ui::MessageButtons::Ok));
}

// The texts of a list's entries, or of a folder entry's sub-folders.
QStringList entries(const QListWidget* list, const QTreeWidgetItem* folder = nullptr)
{
    QStringList texts;
    for (int i = 0; i < (folder ? folder->childCount() : list->count()); ++i)
        texts << (folder ? folder->child(i)->text(0) : list->item(i)->text());
    return texts;
}
QStringList child_names(const QTreeWidgetItem* folder) { return entries(nullptr, folder); }

// The first row of the frame that holds a pixel of the credits' yellow, or -1.
int first_yellow_row(const QPixmap& frame)
{
    const QImage image = frame.toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QColor c = image.pixelColor(x, y); c.red() > 200 && c.green() > 200 && c.blue() < 100)
                return y;
    return -1;
}

const QString about_database = u"/home/someone/.local/share/cartonym/snes.dat"_s;

// Why text does not fit in the control, or "" when it does.
QString misfit(const QWidget* widget, const QString& text)
{
    const QFontMetrics metrics(widget->font());
    QRect room, needed(0, 0, metrics.horizontalAdvance(text), metrics.height()); // one line, as on boxes and buttons
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        room = label->contentsRect();
        if (label->wordWrap()) {
            needed = metrics.boundingRect(
                QRect(0, 0, room.width(), 100000), static_cast<int>(label->alignment()) | Qt::TextWordWrap, text);
        } else {
            needed = QRect(0, 0, 0, metrics.lineSpacing() * static_cast<int>(text.count(u'\n') + 1));
            for (const QString& line : text.split(u'\n'))
                needed.setWidth(qMax(needed.width(), metrics.horizontalAdvance(line)));
        }
    } else if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
        room = QRect(0, 0, box->width() - 2 * 8, box->height()); // the title sits on the frame, a small gap each side
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = text;
        const QStyle::SubElement contents = qobject_cast<const QRadioButton*>(button) ? QStyle::SE_RadioButtonContents
            : qobject_cast<const QCheckBox*>(button)                                  ? QStyle::SE_CheckBoxContents
                                                                                      : QStyle::SE_PushButtonContents;
        room = button->style()->subElementRect(contents, &option, button);
    }
    if (needed.width() <= room.width() && needed.height() <= room.height())
        return {};
    const auto size = [](const QRect& r) { return u"%1x%2"_s.arg(r.width()).arg(r.height()); };
    return u"%1 \"%2\": needs %3, has %4"_s.arg(widget->objectName(), text, size(needed), size(room));
}

// The text the control shows of itself.
QString caption(const QWidget* widget)
{
    if (const auto* elided = qobject_cast<const ui::ElidedLabel*>(widget))
        return elided->shown_text();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* box = qobject_cast<const QGroupBox*>(widget))
        return box->title();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return QString(button->text()).remove(u'&'); // a mnemonic's mark is not shown
    return {};
}

// Why the texts given for a control's name, and its caption, do not fit in it; counts the texts checked.
QStringList misfits(const QWidget* root, std::map<QString, QStringList> texts, int& checked)
{
    QStringList why;
    for (const QWidget* control : root->findChildren<QWidget*>()) {
        for (const QString& text : texts[control->objectName()] << caption(control)) {
            checked += text.isEmpty() ? 0 : 1;
            if (const QString reason = text.isEmpty() ? QString() : misfit(control, text); !reason.isEmpty())
                why << reason;
        }
    }
    return why;
}

QStringList from_table(std::string (*text)(std::uint8_t))
{
    QStringList texts;
    for (int value = 0; value < 256; ++value)
        texts << ui::from_cp1252(text(static_cast<std::uint8_t>(value)));
    texts.removeDuplicates();
    return texts;
}

// The file types of every copier header and memory map the analysis accepts.
QStringList file_types()
{
    using namespace fixtures;
    QTemporaryDir folder;
    QStringList texts{QString::fromLatin1(no_image_text)};
    for (const CopierHeader header :
        {CopierHeader::None, CopierHeader::SWC, CopierHeader::GDR, CopierHeader::FIG, CopierHeader::COS}) {
        for (const MemoryMap map : {MemoryMap::LoRom, MemoryMap::HiRom}) {
            const std::string path = ui::to_file_system(folder.filePath(u"image"_s));
            write_rom(path, {.header = header, .map = map});
            const RomAnalysis analysis = Analysiere_rom(path);
            if (analysis.Rom_ok)
                texts << ui::from_cp1252(analysis.Dateityp_text);
        }
    }
    texts.removeDuplicates();
    return texts;
}

// 21 of the widest printable ASCII character, the longest internal name of
// real cartridges; rarer bytes are elided with the whole name as tooltip.
QString widest_internal_name(const QFont& font)
{
    const QFontMetrics metrics(font);
    QString widest;
    for (int byte = 0x20; byte < 0x7F; ++byte) {
        const QString character = ui::from_cp1252(std::string(1, static_cast<char>(byte)));
        if (widest.isEmpty() || metrics.horizontalAdvance(character) > metrics.horizontalAdvance(widest))
            widest = character;
    }
    return widest.repeated(21);
}

// What an X tool says about a window (the root window for none), or about one property of it.
QString x_tool(const char* tool, const QWidget* window, const char* property = nullptr)
{
    QStringList arguments{window ? u"-id"_s : u"-root"_s};
    if (window)
        arguments << QString::number(window->winId());
    if (property)
        arguments << QString::fromLatin1(property);
    QProcess process;
    process.start(QString::fromLatin1(tool), arguments);
    process.waitForFinished(5000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The window's frame in the root window's device pixels, or none while the window manager has not framed it.
QRect frame_on_screen(const QWidget* window)
{
    // left, right, top, bottom
    const QStringList extents = x_tool("xprop", window, "_NET_FRAME_EXTENTS").section(u'=', 1).split(u',');
    const QString info = x_tool("xwininfo", window);
    const auto field = [&info](const char* name) {
        return QRegularExpression(QLatin1String(name) + u":\\s+(-?\\d+)"_s).match(info).captured(1).toInt();
    };
    if (extents.size() != 4)
        return {};
    const auto extent = [&extents](int i) { return extents[i].trimmed().toInt(); };
    const int x = field("Absolute upper-left X"), y = field("Absolute upper-left Y");
    return QRect(QPoint(x - extent(0), y - extent(2)),
        QPoint(x + field("Width") + extent(1) - 1, y + field("Height") + extent(3) - 1));
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { about_.reset(), form_.reset(), folder_.reset(), data_home_.reset(); }

    void start_without_with_and_with_unreadable_database();
    void modes_timer_and_three_states_in_both_styles();
    void rename_refuses_a_taken_name_stays_in_its_folder_and_skips_the_same_name();
    void batch_run_its_panel_and_undo_of_the_shown_folder();
    void preview_says_what_would_stop_and_cancel_stops_between_files();
    void failures_are_named_escaped_and_the_file_list_follows_the_disk();
    void drives_folder_tree_and_path_field_choose_the_folder_acted_on();
    void database_check_and_learnt_records_blocked_by_a_conflict_then_added();
    void a_database_larger_than_one_read_whole_is_checked_and_grown();
    void about_twice_fresh_then_keyboard_and_menus();
    void catalogues_listed_verify_names_report_and_count_in_runs();
    void catalogue_twice_refused_removal_asked_and_report_summed_up_first();
    void messages_name_the_holder_damaged_archives_and_files_put_back();
    void learnt_names_leave_out_only_unusable_ones_and_keep_status_in_sight();
    void another_folder_leaves_nothing_stale_and_choosers_start_there();
    void keys_reach_every_control_visibly_and_enter_closes_the_preview();
    void window_scrolls_only_up_and_down_and_box_titles_fit();
    void catalogues_and_user_database_made_while_open_are_followed();
    void report_format_follows_the_filter_chosen_and_never_replaces();
    void first_start_hint_and_status_hint_until_a_catalogue_is_registered();
    void settings_live_in_the_config_folder_the_environment_names();
    void cancel_shows_the_folder_total_and_files_done_and_undo_says_interrupted();
    void progress_counts_files_with_time_left_and_the_mode_frame_stays_readable();
    void companions_are_named_renamed_with_the_file_and_previewed_unless_turned_off();
    void export_is_previewed_copied_with_progress_and_undone();
    // The About window itself; the texts of both windows.
    void fixed_dialog_links_database_line_and_frames_after_40_ms_wrapping_below_minus_h();
    void ok_and_close_box_end_the_scroller();
    void texts_fit_and_long_names_are_elided();
    // Under a real X server and window manager: the main window lies wholly on the screen, title bar included, and
    // the About window offers neither minimise nor maximise.
    void main_window_lies_on_the_screen_and_about_has_only_close();

private:
    template <typename Control> Control* c(const char* name) const { return find<Control>(form_.get(), name); }
    QLabel* label(const char* name) const { return c<QLabel>(name); }
    QString text(const char* name) const { return label(name)->text(); }
    ui::FolderTree* tree() const { return c<ui::FolderTree>("Ordner"); }
    std::string said(qsizetype at = 0) const { return s_.messages.shown.at(at).message.text; } // a message's text
    std::string last_said() const { return s_.messages.shown.back().message.text; }
    QStringList texts(std::initializer_list<const char*> names) const
    {
        QStringList all;
        for (const char* name : names)
            all << text(name);
        return all;
    }
    void click(const char* name) const { c<QAbstractButton>(name)->click(); }
    void trigger(const char* name) const { c<QAction>(name)->trigger(); }
    QStringList files() const { return entries(c<QListWidget>("Dateien")); }
    // Undoes the newest run of the shown folder from the File menu.
    void undo_newest() const
    {
        test::when_open("undo_chooser", [](QDialog* dialog) { find<QPushButton>(dialog, "undo")->click(); });
        trigger("undo_batch_run");
    }
    bool hidden(std::initializer_list<const char*> names, bool yes = true) const
    {
        return std::ranges::all_of(names, [&](const char* name) { return c<QWidget>(name)->isHidden() == yes; });
    }
    QString path(const QString& name) const { return folder_->filePath(name); }
    std::string file_system_path(const QString& name) const { return ui::to_file_system(path(name)); }
    void select(const QString& name);
    void restart() { cleanup(), init(); }
    // A catalogue "Test Set" (not registered) that lists starlight.smc; its path.
    std::string write_catalogue() const
    {
        const ContentDigest data = digest_of_file(file_system_path(u"starlight.smc"_s), 0);
        const std::string catalogue = ui::to_file_system(data_home_->filePath(u"set.dat"_s));
        write_file(catalogue,
            "<?xml version=\"1.0\"?>\n<datafile><header><name>Test Set</name><version>7</version></header>\n"
            "<game name=\"Starlight Racer\"><rom name=\"Starlight Racer (World).sfc\" size=\""
                + std::to_string(data.size) + "\" crc=\"" + hex_text(data.crc32) + "\"/></game>\n</datafile>\n");
        return catalogue;
    }
    void tick() { form_->Timer1_Timer(); }
    void batch_mode() { click("Batchmodus"), tick(); }

    std::unique_ptr<QTemporaryDir> folder_, data_home_;
    std::string database_;
    test::Services s_;
    std::unique_ptr<Form1> form_;
    // A fresh About window of its own, and how often it handed the main window back.
    frmAbout& fresh()
    {
        about_.reset(), s_ = {}, s_.clock.now = 5000, releases_ = 0;
        about_ = std::make_unique<frmAbout>(
            nullptr, s_.messages, s_.shell, s_.clock, about_database, [this] { ++releases_; });
        return *about_;
    }
    ui::ScrollArea* scroll_area() const { return find<ui::ScrollArea>(about_.get(), "picScroll"); }
    int releases_ = 0;
    std::unique_ptr<frmAbout> about_;
};

// A folder with a known image, an unknown one and a file that is no image; the user's own database, with two findings.
void MainWindowTest::init()
{
    folder_ = std::make_unique<QTemporaryDir>();
    data_home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid() && data_home_->isValid() && QDir(data_home_->path()).mkdir(u"cartonym"_s));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data_home_->path()));
    database_ = ui::to_file_system(data_home_->filePath(u"cartonym/snes.dat"_s));
    write_file(database_,
        database_line("OTHER GAME", "Other Game") + database_line("STARLIGHT RACER", "Starlight Racer")
            + database_line("OTHER GAME", "Other Again") + database_line("EMPTY", ""));
    write_rom(file_system_path(u"starlight.smc"_s), {.name = "STARLIGHT RACER"});
    write_rom(file_system_path(u"mystery.smc"_s), {.name = "NOBODY KNOWS ME", .checksum = 0xBEEF});
    write_file(file_system_path(u"readme.txt"_s), "no image here\r\n");
    s_ = {};
    form_ = std::make_unique<Form1>(database_, s_.messages, s_.shell, s_.clock);
    form_->show(), tree()->set_path(folder_->path());
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
    // The database, and how the message starts ("" for none).
    const std::pair<std::string_view, std::string> cases[] = {{"missing", "The file SNES.DAT is missing ! Download "},
        {"present", ""}, {"a folder", "Error Nr.  75 happened:\n"}};
    for (const auto& [case_, message_start] : cases) {
        QTemporaryDir folder;
        const std::string database = ui::to_file_system(folder.filePath(u"snes.dat"_s));
        if (case_ == "present")
            write_file(database, database_line("A GAME", "A Game"));
        QVERIFY(case_ != "a folder" || QDir(folder.path()).mkdir(u"snes.dat"_s));
        test::Services s;
        const auto window = ui::start_main_window(database, s.messages, s.shell, s.clock);
        QCOMPARE(std::tuple(!window, s.messages.shown.size()),
            std::tuple(case_ == "missing", qsizetype(message_start.empty() ? 0 : 1)));
        if (message_start.empty()) {
            QVERIFY(find<QRadioButton>(window.get(), "Dateimodus")->isChecked() && window->database_path() == database);
        } else {
            verify_error_box(s.messages.shown.front());
            const std::string& text = s.messages.shown.front().message.text;
            QVERIFY2(text.starts_with(message_start), text.c_str());
        }
    }
}

void MainWindowTest::modes_timer_and_three_states_in_both_styles()
{
    QVERIFY(c<QRadioButton>("Dateimodus")->isChecked() && c<QRadioButton>("Optiondateinamennormal")->isChecked());
    QVERIFY(!c<QCheckBox>("Checkgamelist")->isEnabled() && hidden({"Command2", "Batchrun"}));
    // The tick undoes changes to the controls it governs.
    c<QWidget>("Batchrun")->show(), c<QWidget>("Dateien")->setEnabled(false);
    label("Modusbeschreibung")->setText(u"changed"_s), tick();
    QCOMPARE(texts({"Modusbeschreibung", "Namenmodus"}),
        (QStringList{u"Use this mode to rename single ROM-Images"_s,
            u"Normal long filenames that also can contain spaces will be used"_s}));
    QVERIFY(c<QWidget>("Dateien")->isEnabled()
        && hidden({"Batchrun", "Labelschonrichtig", "Listeunbekannt", "ProgressBar", "Label17"}));
    select(u"starlight.smc"_s);
    QVERIFY(hidden({"Romname", "Command2"}, false));
    // Batchmodus_Click itself shows the counters and empties them; the tick does the rest.
    click("Batchmodus");
    QVERIFY(hidden({"Labelschonrichtig", "Listeunbekannt"}, false) && hidden({"Command2"})
        && c<QCheckBox>("Checkgamelist")->isEnabled());
    tick();
    QCOMPARE(text("Modusbeschreibung"), u"Use this mode to rename all ROM-Images in a directory"_s);
    QVERIFY(!c<QWidget>("Dateien")->isEnabled() && hidden({"Batchrun", "ProgressBar"}, false)
        && hidden({"Nameneu", "Romname", "Label8"}));
    click("Optiondateinamenultrahle"), tick();
    QCOMPARE(text("Namenmodus"), u"Long filenames will be used, spaces will be replaced by underscores\n( _ )"_s);
    click("Dateimodus");
    QVERIFY(!c<QCheckBox>("Checkgamelist")->isEnabled());
    tick();
    QVERIFY(c<QWidget>("Dateien")->isEnabled() && hidden({"Batchrun", "Listeunbekannt"}) && hidden({"Nameneu"}, false));
    QVERIFY(text("Nameneu").isEmpty() && text("Dateiname").isEmpty());
    restart();
    QCOMPARE(files(), start_files);
    const QString lo = u"SNES LoRom, no Header"_s, full = u"Starlight Racer"_s;
    const std::tuple<QString, QString, QString, QString, QString> cases[] = {
        // file, type, Nameneu in the normal style and without spaces, Namevoll
        {u"starlight.smc"_s, lo, known_name, u"Starlight_Racer_(USA).smc"_s, full},
        {u"mystery.smc"_s, lo, u"ROM unknown !"_s, u"ROM_unknown_!"_s, {}},
        {u"readme.txt"_s, not_an_image, {}, {}, {}},
    };
    for (const bool no_spaces : {false, true}) {
        for (const auto& [file, type, normal, without_spaces, namevoll] : cases) {
            click(no_spaces ? "Optiondateinamenultrahle" : "Optiondateinamennormal"), select(file);
            QCOMPARE(texts({"Dateiname", "Dateityp", "Nameneu", "Namevoll"}),
                (QStringList{file, type, no_spaces ? without_spaces : normal, namevoll}));
            QCOMPARE(
                (QList<bool>{text("Romname").isEmpty(), text("Land").isEmpty(), c<QWidget>("Command2")->isHidden()}),
                (QList<bool>{type == not_an_image, type == not_an_image, namevoll.isEmpty()}));
        }
    }
    QVERIFY(s_.messages.shown.isEmpty());
    // Switching the style of a shown image renames it at once; for an unknown
    // image the name changes, the label does not.
    select(u"starlight.smc"_s), click("Optiondateinamennormal");
    QCOMPARE(text("Nameneu"), known_name);
    select(u"mystery.smc"_s), click("Optiondateinamenultrahle");
    QCOMPARE(
        std::tuple(form_->Neuer_name, text("Nameneu")), std::tuple(std::string("ROM_unknown_!"), u"ROM unknown !"_s));

    // An archive of one image is that image, named as an archive, while "Look inside archives" is ticked.
    const auto starlight = fixtures::build_rom({.name = "STARLIGHT RACER"});
    write_file(
        file_system_path(u"pack.zip"_s), test::make_archive(test::ArchiveFormat::zip_deflated, {{"s", starlight}}));
    form_->Ordner_Change(), click("Optiondateinamennormal"), select(u"pack.zip"_s);
    QCOMPARE(text("Nameneu"), u"Starlight Racer (USA).zip"_s);
    QCOMPARE(text("tier_status"), u"in the archive: s; named by the name database"_s);
    trigger("look_inside_archives"), select(u"starlight.smc"_s), select(u"pack.zip"_s), trigger("look_inside_archives");
    QCOMPARE(text("Dateityp"), not_an_image);
}

void MainWindowTest::rename_refuses_a_taken_name_stays_in_its_folder_and_skips_the_same_name()
{
    write_file(file_system_path(known_name), "already here"), form_->Ordner_Change();
    select(u"starlight.smc"_s), click("Command2");
    QCOMPARE(s_.messages.shown.size(), 1);
    verify_error_box(s_.messages.shown.front());
    QCOMPARE(said(), file_error_text(Error(ErrorNumber::file_already_exists), file_system_path(u"starlight.smc"_s)));
    // The labels and the button stay (that the files stay is the core rename test's).
    QVERIFY(text("Nameneu") == known_name && !c<QWidget>("Command2")->isHidden());

    // With the name free the same button renames the file, which is then selected and shown under its new name.
    QVERIFY(QFile::remove(path(known_name)));
    click("Command2");
    QCOMPARE(s_.messages.shown.size(), 1);
    QCOMPARE(files(), (QStringList{u"mystery.smc"_s, u"readme.txt"_s, known_name}));
    QCOMPARE(c<QListWidget>("Dateien")->currentItem()->text(), known_name);
    QCOMPARE(texts({"Dateiname", "Nameneu", "Namevoll", "tier_status"}),
        (QStringList{known_name, known_name, u"Starlight Racer"_s,
            u"starlight.smc renamed to "_s + known_name + u"; named by the name database"_s}));
    restart();
    // A file that already has its name is left as it is, without a word.
    select(u"starlight.smc"_s), click("Command2");
    QVERIFY(QFile::exists(path(known_name)));
    select(known_name);
    QVERIFY(!c<QWidget>("Command2")->isHidden());
    click("Command2");
    QVERIFY(s_.messages.shown.isEmpty() && QFile::exists(path(known_name)));
    QCOMPARE(text("tier_status"), known_name + u" has its name already; named by the name database"_s);
    // Another image moved onto the selected file's name between the look and the rename: the file is looked at again,
    // its new game shown, and nothing is renamed.
    write_rom(file_system_path(u"starlight.smc"_s), {.name = "STARLIGHT RACER"}), form_->Ordner_Change();
    select(u"starlight.smc"_s);
    write_rom(file_system_path(u"other.tmp"_s), {.name = "OTHER GAME"});
    QVERIFY(QFile::remove(path(u"starlight.smc"_s)) && QFile::rename(path(u"other.tmp"_s), path(u"starlight.smc"_s)));
    click("Command2");
    QVERIFY(said().starts_with("The file changed after it was looked at, so it was not renamed:\n\n"));
    QVERIFY(QFile::exists(path(u"starlight.smc"_s)) && !QFile::exists(path(u"Other Game (USA).smc"_s)));
    QCOMPARE(texts({"Dateiname", "Nameneu"}), (QStringList{u"starlight.smc"_s, u"Other Game (USA).smc"_s}));
    click("Command2"); // now as shown
    QVERIFY(QFile::exists(path(u"Other Game (USA).smc"_s)) && s_.messages.shown.size() == 1);
}

// The save and the patch of the selected image are named in the status bar and renamed with it (one whose new name
// is taken stays); the preview lists the companions under their image; turned off, a save is a file like any other.
void MainWindowTest::companions_are_named_renamed_with_the_file_and_previewed_unless_turned_off()
{
    const QString known_save = u"Starlight Racer (USA).srm"_s;
    write_file(file_system_path(u"starlight.srm"_s), "save"), write_file(file_system_path(u"starlight.bps"_s), "patch");
    write_file(file_system_path(u"Starlight Racer (USA).bps"_s), "earlier patch"), form_->Ordner_Change();
    QVERIFY(c<QAction>("move_companions")->isChecked());
    select(u"starlight.smc"_s);
    QCOMPARE(text("tier_status"), u"named by the name database; renamed with it: starlight.bps, starlight.srm"_s);
    click("Command2");
    QVERIFY(QFile::exists(path(known_save)) && QFile::exists(path(u"starlight.bps"_s)));
    QCOMPARE(text("tier_status"),
        u"starlight.smc renamed to "_s + known_name
            + u"; named by the name database; companions renamed: 1, starlight.bps stays (its new name is taken)"_s);
    QVERIFY(
        QFile::rename(path(known_name), path(u"starlight.smc"_s)) && QFile::rename(path(known_save), path(u"s.srm"_s)));
    QVERIFY(QFile::rename(path(u"s.srm"_s), path(u"starlight.srm"_s)));
    form_->Ordner_Change(), batch_mode();
    QStringList rows;
    for (const QStringList& row : test::table_rows("batch_preview", [&] { click("preview_button"); }))
        rows << row.join(u'|');
    QVERIFY(rows.contains(u"starlight.srm|companion of starlight.smc|Renamed_SNES_ROMs/Starlight Racer (USA).srm|"_s));
    trigger("move_companions");
    rows.clear();
    for (const QStringList& row : test::table_rows("batch_preview", [&] { click("preview_button"); }))
        rows << row[0] + u' ' + row[1];
    QVERIFY(rows.contains(u"starlight.srm not an image"_s));
}

void MainWindowTest::batch_run_its_panel_and_undo_of_the_shown_folder()
{
    write_rom(file_system_path(known_name), {.name = "STARLIGHT RACER"}); // already correct
    form_->Ordner_Change(), batch_mode(), c<QCheckBox>("Checkgamelist")->setChecked(true);
    // The preview shows what the run will do, and changes nothing.
    QStringList outcomes;
    for (const QStringList& row : test::table_rows("batch_preview", [&] { click("preview_button"); }))
        outcomes << row[0] + u' ' + row[1];
    QCOMPARE(outcomes,
        (QStringList{u"mystery.smc unknown"_s, u"readme.txt not an image"_s,
            u"Starlight Racer (USA).smc already correct"_s, u"starlight.smc duplicate"_s}));
    QVERIFY(!QFile::exists(path(u"Renamed_SNES_ROMs"_s)));
    click("Batchrun");
    QCOMPARE(s_.messages.shown.size(), 1);
    QCOMPARE(s_.messages.shown.front().message.title, std::string("Cartonym Message:"));
    QVERIFY(said().starts_with("Batchrun finished !\n\nThere have been some unkown ROMs."));
    QCOMPARE(text("Label17"), u"Batchmode finished successfull !"_s);
    QCOMPARE(c<QProgressBar>("ProgressBar")->value(), 100);
    // Four files: one already correct, one a duplicate of it, one unknown, one no image.
    QCOMPARE(texts({"Labelinsgesamt", "Labelanzahlroms", "Labelschonrichtig", "Labelumbenannt", "Labelduplikate"}),
        (QStringList{u" 4"_s, u" 3"_s, u" 1"_s, u" 0"_s, u" 1"_s}));
    QCOMPARE(entries(c<QListWidget>("Listeunbekannt")), QStringList{u"mystery.smc"_s});
    QCOMPARE(files(), QStringList{u"readme.txt"_s});
    for (const char* file : {"Renamed_SNES_ROMs/games.htm", "Unknown_ROMs/mystery.smc", "Duplicates/starlight.smc"})
        QVERIFY2(QFile::exists(path(QString::fromLatin1(file))), file);
    // The folder list shows the output folders at once.
    QVERIFY(child_names(tree()->currentItem()).contains(u"Renamed_SNES_ROMs"_s));
    // A second Batchmodus click empties the counters, keeps the unknown list.
    click("Batchmodus");
    QVERIFY(text("Labelinsgesamt").isEmpty() && c<QListWidget>("Listeunbekannt")->count() == 1);
    restart();
    // A second run that stops before its first file, the database gone: while its
    // message is open the panel, the unknown list and the status of the first run are gone.
    batch_mode(), click("Batchrun");
    QVERIFY(!text("Labelinsgesamt").isEmpty() && c<QListWidget>("Listeunbekannt")->count() == 1);

    write_rom(file_system_path(u"another.smc"_s), {.name = "ANOTHER"});
    QVERIFY(QFile::remove(ui::from_file_system(database_)));
    QStringList seen;
    s_.messages.on_show = [&](const Message&) {
        seen = texts({"Labelinsgesamt", "Labelduplikate", "Label17"})
            << QString::number(c<QListWidget>("Listeunbekannt")->count());
    };
    click("Batchrun");
    // The run names the missing database before it moves anything, and sets no panel values.
    QCOMPARE(last_said(), file_error_text(Error(ErrorNumber::file_not_found), database_));
    QCOMPARE(seen, (QStringList{QString(), QString(), u"Batchmode Status:"_s, u"0"_s}));
    QVERIFY(text("Labelinsgesamt").isEmpty());
    restart();
    // File > Undo batch run... lists the runs of the folder shown only, in the user's
    // time, undoes the chosen one and empties the panel.
    QVERIFY(QDir(folder_->path()).mkdir(u"other"_s));
    write_rom(file_system_path(u"other/elsewhere.smc"_s), {.name = "STARLIGHT RACER"}), batch_mode();
    click("Batchrun"); // this folder: 2 of its 3 files move
    tree()->set_path(path(u"other"_s));
    click("Batchrun"); // another folder's run, newer
    tree()->set_path(folder_->path());
    QList<QStringList> runs = test::table_rows("undo_chooser", [&] { trigger("undo_batch_run"); });
    QCOMPARE(runs.size(), 1); // closed: nothing changes
    QCOMPARE(runs[0][1], u"2"_s);
    QVERIFY2(!runs[0][0].contains(QRegularExpression(u"\\dT\\d"_s)) && !runs[0][0].isEmpty(),
        qPrintable(runs[0][0])); // in words, not a raw time stamp
    QVERIFY(QFile::exists(path(u"Renamed_SNES_ROMs"_s)));
    const qsizetype shown_before = s_.messages.shown.size();
    undo_newest();
    QCOMPARE(s_.messages.shown.size(), shown_before + 1);
    QCOMPARE(last_said(), std::string("2 files went back."));
    QCOMPARE(files(), start_files);
    QVERIFY(!QFile::exists(path(u"Renamed_SNES_ROMs"_s)) && QFile::exists(path(u"other/Renamed_SNES_ROMs"_s)));
    QVERIFY(text("Labelinsgesamt").isEmpty() && c<QListWidget>("Listeunbekannt")->count() == 0);
    QCOMPARE(
        std::tuple(text("Label17"), c<QProgressBar>("ProgressBar")->value()), std::tuple(u"Batchmode Status:"_s, 0));
    // Nothing left to undo here: said so.
    trigger("undo_batch_run");
    QVERIFY(last_said().starts_with("There is no batch run of this folder to undo"));
}

// A name Windows-1252 cannot write reads in the window's message exactly as
// in the batch run's message: escaped, never as mojibake.
void MainWindowTest::failures_are_named_escaped_and_the_file_list_follows_the_disk()
{
    QVERIFY(QDir(folder_->path()).mkdir(u"k"_s));
    const QString name = u"k/\u30B9\u30BF\u30FC.smc"_s; // three katakana
    write_rom(file_system_path(name), {.name = "STARLIGHT RACER"});
    // The image cannot be read: the selection and the run both stop on it.
    const std::string image = file_system_path(name);
    const FaultHook previous = set_fault_hook([image](SystemOperation operation, const std::string& path) {
        return operation == SystemOperation::open && path == image ? EIO : 0;
    });
    tree()->set_path(path(u"k"_s)), select(QFileInfo(name).fileName()), batch_mode();
    click("Batchrun");
    QCOMPARE(s_.messages.shown.size(), 2);
    const std::string escaped = escaped_file_name(file_system_path(name));
    QVERIFY(escaped.ends_with("\\u{30B9}\\u{30BF}\\u{30FC}.smc"));
    set_fault_hook(previous);
    QCOMPARE(said(0), file_error_text(Error(ErrorNumber::device_io_error), escaped));
    QCOMPARE(said(0), said(1));
    // The window shows the name as the lists do; only bytes that are no UTF-8 stay escaped.
    QVERIFY(ui::message_text(said(0)).contains(QFileInfo(name).fileName() + '\n'));
    QCOMPARE(ui::message_text(escaped_file_name("a\\u{41}\xFF\xE3\x82\xB9\\")), u"a\\u{41}\\xFF\u30B9\\"_s);
    restart();
    // A run whose journal cannot be kept goes on, and the window says it cannot be undone.
    const QByteArray state = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", QFile::encodeName(path(u"readme.txt"_s))); // a file, not a folder
    batch_mode(), click("Batchrun");
    qputenv("XDG_STATE_HOME", state);
    QCOMPARE(s_.messages.shown.size(), 2);
    const std::string journal = said();
    QVERIFY2(
        journal.starts_with("The run's journal cannot be kept (") && journal.ends_with("the run goes on without undo."),
        journal.c_str());
    QCOMPARE(text("Label17"), u"Batchmode finished successfull !"_s);
    restart();
    // A database that goes while the window runs is named in file mode; the start-up
    // message says where it looked. Files that come and go appear and vanish.
    // On a read-only file system the rename's and the run's messages say so.
    select(u"starlight.smc"_s);
    set_fault_hook([](SystemOperation operation, const std::string& path) {
        return operation == SystemOperation::move || path.find(".cartonym-check-") != std::string::npos ? EROFS : 0;
    });
    click("Command2"), batch_mode(), click("Batchrun");
    set_fault_hook(previous);
    QCOMPARE(s_.messages.shown.size(), 2);
    for (const test::ShownMessage& shown : s_.messages.shown)
        QVERIFY2(shown.message.text.find("happened:\nRead-only file system (Permission denied)\n") != std::string::npos,
            shown.message.text.c_str());
    s_.messages.shown.clear();
    click("Dateimodus"), tick(), select(u"starlight.smc"_s);
    QVERIFY(!text("CRC1label").isEmpty() && QFile::remove(ui::from_file_system(database_)));
    select(u"mystery.smc"_s);
    QCOMPARE(s_.messages.shown.size(), 1);
    QCOMPARE(said(0), file_error_text(Error(ErrorNumber::file_not_found), database_));
    QVERIFY(text("CRC1label").isEmpty());
    test::Services s;
    QVERIFY(!ui::start_main_window(database_, s.messages, s.shell, s.clock));
    QVERIFY(s.messages.shown[0].message.text.ends_with("\n\nThe program looked for it at: " + database_));

    write_file(file_system_path(u"arrived.smc"_s), "new");
    QTRY_VERIFY(files().contains(u"arrived.smc"_s));
    QVERIFY(QFile::remove(path(u"mystery.smc"_s)));
    QTRY_VERIFY(!files().contains(u"mystery.smc"_s));
}

void MainWindowTest::drives_folder_tree_and_path_field_choose_the_folder_acted_on()
{
    auto* drives = c<QComboBox>("Laufwerk");
    auto* folders = tree();
    const QString before = folders->path();
    s_.messages.answers = {ui::MessageAnswer::Retry, ui::MessageAnswer::Cancel};
    drives->addItem(u"gone"_s, path(u"no-such-drive"_s)), drives->setCurrentIndex(drives->count() - 1);
    QCOMPARE(s_.messages.shown.size(), 2);
    for (const auto& shown : s_.messages.shown)
        QVERIFY(shown.message.text == "Path not found" && shown.buttons == ui::MessageButtons::RetryCancel);
    QCOMPARE(folders->path(), before);

    // A drive that opens moves the folder list to its root.
    drives->addItem(u"here"_s, data_home_->filePath(u"cartonym"_s));
    drives->setCurrentIndex(drives->count() - 1);
    QCOMPARE(folders->path(), QDir::cleanPath(data_home_->filePath(u"cartonym"_s)));
    QCOMPARE(files(), QStringList{u"snes.dat"_s});

    // Activating an entry of the folder list opens that folder.
    folders->set_path(folder_->path());
    QTreeWidgetItem* parent = folders->currentItem()->parent();
    QVERIFY(parent);
    emit folders->itemActivated(parent, 0);
    QCoreApplication::processEvents(); // the folder list opens it from the event loop
    QCOMPARE(folders->path(), QDir::cleanPath(QFileInfo(folder_->path()).dir().path()));

    // The drive list follows the folder list.
    QDir(folder_->path()).mkdir(u"inner"_s);
    drives->blockSignals(true), drives->addItem(u"test drive"_s, folder_->path()), drives->blockSignals(false);
    folders->set_path(path(u"inner"_s));
    QCOMPARE(drives->currentText(), u"test drive"_s);
    folders->set_path(data_home_->path());
    QVERIFY(drives->currentText() != u"test drive"_s);
    QVERIFY(QDir::cleanPath(data_home_->path()).startsWith(QDir::cleanPath(drives->currentData().toString())));
    restart();
    QDir here(folder_->path());
    QVERIFY(here.mkpath(u"games/Renamed_SNES_ROMs/deep"_s) && here.mkdir(u"sister"_s));
    (folders = tree())->set_path(here.filePath(u"games"_s));
    QTreeWidgetItem* games = folders->currentItem();

    // The current folder's siblings are listed beside it.
    QCOMPARE(child_names(games->parent()), (QStringList{u"games"_s, u"sister"_s}));
    // A folder not yet read shows an arrow; expanding it reads its sub-folders.
    QTreeWidgetItem* renamed = games->child(0);
    QCOMPARE(std::tuple(renamed->text(0), renamed->childCount(), renamed->childIndicatorPolicy()),
        std::tuple(u"Renamed_SNES_ROMs"_s, 0, QTreeWidgetItem::ShowIndicator));
    renamed->setExpanded(true);
    QCOMPARE(child_names(renamed), QStringList{u"deep"_s});

    // The whole name is readable: the column is as wide as it needs, and the list scrolls sideways.
    const QRect shown = folders->visualItemRect(renamed);
    const int needed =
        shown.left() + folders->iconSize().width() + 8 + folders->fontMetrics().horizontalAdvance(renamed->text(0));
    QVERIFY2(folders->header()->sectionSize(0) >= needed - folders->horizontalScrollBar()->value(),
        qPrintable(u"%1 < %2"_s.arg(folders->header()->sectionSize(0)).arg(needed)));

    // Folders made meanwhile appear; removed ones vanish.
    QVERIFY(here.mkpath(u"games/Unknown_ROMs"_s));
    QTRY_COMPARE(child_names(games), (QStringList{u"Renamed_SNES_ROMs"_s, u"Unknown_ROMs"_s}));
    QVERIFY(here.rmdir(u"sister"_s));
    folders->refresh();
    QCOMPARE(child_names(games->parent()), QStringList{u"games"_s});
    QVERIFY(renamed->isExpanded()); // what was open stays open
    // Folders that come or go above the current folder do not move its row.
    for (int i = 0; i < 40; ++i)
        QVERIFY(here.mkdir(u"z%1"_s.arg(i, 2, 10, QChar(u'0'))));
    folders->set_path(here.filePath(u"games"_s));
    games = folders->currentItem();
    const int row_top = folders->visualItemRect(games).top();
    for (const bool make : {true, false}) {
        for (const char* name : {"a1", "a2", "a3"})
            QVERIFY(make ? here.mkdir(QLatin1String(name)) : here.rmdir(QLatin1String(name)));
        folders->refresh();
        QCOMPARE(std::tuple(folders->currentItem(), folders->visualItemRect(games).top()), std::tuple(games, row_top));
    }
    // Nor those that the watch finds between the current folder and the row under the pointer.
    const QPoint at(5, folders->viewport()->height() - 5);
    QTreeWidgetItem* hovered = folders->itemAt(at);
    QVERIFY(hovered && hovered->text(0).startsWith(u'z'));
    QCursor::setPos(folders->viewport()->mapToGlobal(at));
    QTRY_VERIFY(folders->underMouse());
    for (const bool make : {true, false}) {
        for (const char* name : {"m1", "m2", "m3"})
            QVERIFY(make ? here.mkdir(QLatin1String(name)) : here.rmdir(QLatin1String(name)));
        QTRY_COMPARE(child_names(games->parent()).contains(u"m2"_s), make);
        QCOMPARE(folders->itemAt(at), hovered);
    }
    QCursor::setPos(-100, -100);
    restart();
    // The path field shows the folder; a single click or a typed path opens one;
    // the next window starts on the folder shown last.
    auto* field = c<QLineEdit>("folder_path");
    folders = tree();
    QCOMPARE(field->text(), QDir::cleanPath(folder_->path()));
    QVERIFY(QDir(folder_->path()).mkpath(u"lib/deeper"_s));
    write_rom(file_system_path(u"lib/inner.smc"_s), {.name = "STARLIGHT RACER"}), folders->refresh();
    QTreeWidgetItem* lib = folders->find_item(path(u"lib"_s));
    QVERIFY(lib);
    const int top = folders->visualItemRect(lib).top();
    const QRect row = folders->visualItemRect(lib);
    QTest::mouseClick(folders->viewport(), Qt::LeftButton, {}, QPoint(std::max(row.left(), 0) + 30, row.center().y()));
    QTRY_COMPARE(folders->path(), path(u"lib"_s));
    QCOMPARE(field->text(), path(u"lib"_s));
    QCOMPARE(files(), QStringList{u"inner.smc"_s});
    QCOMPARE(folders->visualItemRect(folders->currentItem()).top(), top); // the row stayed under the pointer
    // Batch and Preview act on it.
    batch_mode();
    const QList<QStringList> planned = test::table_rows("batch_preview", [&] { click("preview_button"); });
    QCOMPARE(planned.size(), 1);
    QCOMPARE(planned[0][0], u"inner.smc"_s);
    // A typed path (completed from the sub-folders) and Enter open a folder.
    field->clear(), QTest::keyClicks(field, path(u"lib/de"_s));
    QVERIFY(field->completer()->model()->rowCount() >= 1);
    field->setText(path(u"lib/deeper"_s)), QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(folders->path(), path(u"lib/deeper"_s));
    field->setText(path(u"nowhere"_s)), QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(std::tuple(folders->path(), field->text(), s_.messages.shown.size()),
        std::tuple(path(u"lib/deeper"_s), path(u"lib/deeper"_s), qsizetype(1)));
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
    QVERIFY(!drop(QUrl::fromLocalFile(path(u"lib/inner.smc"_s)).toString()) && !drop(u"https://example.org/lib"_s));
    QVERIFY(drop(QUrl::fromLocalFile(path(u"lib"_s)).toString()));
    QCOMPARE(std::tuple(folders->path(), field->text()), std::tuple(path(u"lib"_s), path(u"lib"_s)));
    QCOMPARE(files(), QStringList{u"inner.smc"_s});
    QVERIFY(drop(QUrl::fromLocalFile(path(u"lib/deeper"_s)).toString()));
    // Remembered for the next window.
    test::Services s;
    Form1 next(database_, s.messages, s.shell, s.clock);
    QCOMPARE(find<ui::FolderTree>(&next, "Ordner")->path(), path(u"lib/deeper"_s));
}

// The preview names its folder, speaks of the future, says what would stop the
// run (a read-only folder here) and starts the run from its button.
void MainWindowTest::preview_says_what_would_stop_and_cancel_stops_between_files()
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
    click("preview_button");
    set_fault_hook(previous);
    QVERIFY2(summary.contains(QDir::cleanPath(folder_->path())) && summary.contains(u"would stop"_s)
            && summary.contains(u"Read-only file system"_s) && !can_start,
        qPrintable(summary));
    test::when_open("batch_preview", [&](QDialog* dialog) {
        summary = find<QLabel>(dialog, "summary")->text();
        find<QPushButton>(dialog, "start_batch")->click();
    });
    click("preview_button");
    QVERIFY2(summary.contains(u"would be renamed: 1"_s) && !summary.contains(u"finished"_s), qPrintable(summary));
    QCOMPARE(text("Label17"), u"Batchmode finished successfull !"_s);
    QVERIFY(QFile::exists(path(u"Renamed_SNES_ROMs/"_s + known_name)));
    restart();
    // Cancel, the one control on during a run, stops it between two files.
    batch_mode();
    // Each image takes a while to open, so that the window's events come between two files.
    set_fault_hook([](SystemOperation operation, const std::string&) {
        if (operation == SystemOperation::open)
            QThread::msleep(30);
        return 0;
    });
    QList<bool> enabled;
    QTimer::singleShot(0, form_.get(), [&] {
        enabled = {c<QWidget>("Batchrun")->isEnabled(), c<QWidget>("Checkgamelist")->isEnabled(),
            form_->menuBar()->isEnabled(), c<QWidget>("cancel_button")->isEnabled()};
        click("cancel_button");
    });
    click("Batchrun");
    set_fault_hook(previous);
    QCOMPARE(enabled, (QList<bool>{false, false, false, true}));
    QVERIFY2(text("Label17").startsWith(u"Batchmode interrupted ! "_s), qPrintable(text("Label17")));
    QCOMPARE(text("Labelinsgesamt"), u" 3"_s); // the folder's files; the status says how many were done
    QVERIFY(c<QWidget>("Checkgamelist")->isEnabled() && form_->menuBar()->isEnabled());
    QVERIFY(!tree()->isHidden() && c<QWidget>("cancel_button")->isHidden());
}

void MainWindowTest::database_check_and_learnt_records_blocked_by_a_conflict_then_added()
{
    QList<QStringList> shown = test::table_rows("database_check", [&] { trigger("check_database"); });
    const DatabaseCheck check = check_database(read_file(database_));
    QVERIFY(check.findings.size() >= 2);
    QCOMPARE(shown.size(), static_cast<qsizetype>(check.findings.size()));
    for (std::size_t i = 0; i < check.findings.size(); ++i) {
        const DatabaseFinding& finding = check.findings[i];
        QCOMPARE(shown[static_cast<qsizetype>(i)],
            (QStringList{QString::number(finding.line),
                finding.severity == FindingSeverity::error ? u"error"_s : u"warning"_s,
                QString::fromStdString(kind_name(finding.kind)), ui::from_cp1252(finding.message)}));
    }
    restart();
    // Learnt from the window's folder: a known image, two new ones, a file that is no image, a twin of one new image.
    write_rom(file_system_path(u"zeta.smc"_s), {.name = "ZETA RUNNER"});
    write_rom(file_system_path(u"twin.smc"_s), {.name = "NOBODY KNOWS ME"});
    s_.shell.folder = folder_->path();
    const std::string before = read_file(database_);
    bool could_add = true;
    test::when_open("record_preview", [&](QDialog* dialog) {
        could_add = find<QPushButton>(dialog, "add_to_database")->isEnabled();
        dialog->reject();
    });
    trigger("learn_names");
    QVERIFY(!could_add);
    QCOMPARE(read_file(database_), before);

    // Without the conflicting file the records can be added.
    QVERIFY(QFile::remove(path(u"twin.smc"_s)));
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
    trigger("learn_names");
    QCOMPARE(shown.size(), 4);
    QCOMPARE(shown[0].mid(1, 3), (QStringList{u"new record"_s, u"NOBODY KNOWS ME      "_s, u"mystery"_s}));
    QCOMPARE((QStringList{shown[1][1], shown[2][1], shown[3][1]}),
        (QStringList{u"no SNES image"_s, u"already known"_s, u"new record"_s}));
    QCOMPARE(visible_rows, 2); // filtered to the new records
    QVERIFY2(summary.contains(u"writes them to "_s + ui::from_file_system(database_)), qPrintable(summary));
    QVERIFY(could_add);
    // Appended as the command line appends, the previous file kept beside it.
    QCOMPARE(read_file(database_),
        before + database_record("NOBODY KNOWS ME      ", "mystery")
            + database_record("ZETA RUNNER          ", "zeta"));
    QCOMPARE(read_file(database_ + ".bak"), before);
    QCOMPARE(s_.messages.shown.size(), 1);
    QVERIFY(said().starts_with("2 records appended to "));
}

// Opened from the menu (its Ok and close box are the About window test's).
void MainWindowTest::about_twice_fresh_then_keyboard_and_menus()
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
        trigger("about");
        QVERIFY(modal && !QApplication::activeModalWidget());
        // Fresh state each time: the credits start from below the area.
        QVERIFY2(scroll_offset > -10 && scroll_offset <= 0, qPrintable(QString::number(scroll_offset)));
        // The About command leaves the window switched off until the next tick.
        QVERIFY(!form.isEnabled());
        tick();
        QVERIFY(form.isEnabled());
    }
    QVERIFY(s_.messages.shown.isEmpty());
    restart();
    QCOMPARE(c<QAction>("beenden")->shortcut(), QKeySequence(u"Ctrl+X"_s));
    QCOMPARE(c<QAction>("about")->shortcut(), QKeySequence(Qt::Key_F1));
    QStringList titles;
    for (QAction* menu : form_->menuBar()->actions())
        titles << menu->text();
    QCOMPARE(titles, (QStringList{u"&File"_s, u"&Database"_s, u"&Help"_s}));
    trigger("homepage");
    QVERIFY(s_.shell.opened.size() == 1 && s_.messages.shown.isEmpty());
    QVERIFY(s_.shell.opened.front().toString().startsWith(u"https://"_s));

    // Enter presses a focused button, as Space does.
    select(u"starlight.smc"_s);
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
    QCOMPARE(file_menu->menuAction()->iconText(), u"File"_s);
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    QTest::keyClick(form_.get(), Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(file_menu->isVisible());
    file_menu->close();

    // Tab goes down the left column first; menu items have mnemonics.
    QCOMPARE(c<QWidget>("Dateimodus")->nextInFocusChain()->objectName(), u"Batchmodus"_s);
    QCOMPARE(c<QWidget>("Laufwerk")->nextInFocusChain()->objectName(), u"folder_path"_s);
    QVERIFY(c<QAction>("undo_batch_run")->text().contains(u'&'));
    // The window lies whole on its screen.
    QVERIFY(form_->screen()->availableGeometry().contains(form_->frameGeometry()));

    // Exit closes the window (the program ends with its last window).
    trigger("beenden");
    QVERIFY(!form_->isVisible());
    // A control the code needs but the window lacks is a failure that says so.
    QVERIFY_THROWS_EXCEPTION(ui::MissingControl, ui::control<QLabel>(form_.get(), "no_such_control"));
}

// A registered catalogue names the image whose data it lists; the status bar says which tier named a file.
void MainWindowTest::catalogues_listed_verify_names_report_and_count_in_runs()
{
    const std::string catalogue = write_catalogue();
    write_rom(file_system_path(u"twin.smc"_s), {.name = "STARLIGHT RACER", .checksum = 0x4321}), form_->Ordner_Change();
    // Database > Catalogues... adds one (listed with its name, version and rom count) and removes it.
    const auto catalogues = [&](const char* button) {
        QString listed;
        test::when_open("catalogues", [&](QDialog* dialog) {
            auto* table = find<QTableWidget>(dialog, "table");
            table->setCurrentCell(0, 0), find<QPushButton>(dialog, button)->click();
            for (const QStringList& row : test::rows(table))
                listed += row.join(u'|');
            dialog->reject();
        });
        trigger("catalogue_list");
        return listed;
    };
    s_.shell.file = ui::from_file_system(catalogue);
    const QString added = catalogues("add_catalogue");
    QVERIFY2(added.startsWith(u"Test Set|7|1|"_s) && added.endsWith(u"set.dat"_s), qPrintable(added));
    const std::tuple<QString, QString, QString, QString> cases[] = {
        // file, status, Nameneu, Namevoll
        {u"starlight.smc"_s, u"verified by Test Set"_s, u"Starlight Racer (World).sfc"_s, u"Starlight Racer"_s},
        {u"twin.smc"_s, u"named by the name database"_s, known_name, u"Starlight Racer"_s},
        {u"mystery.smc"_s, {}, u"ROM unknown !"_s, {}},
    };
    for (const auto& [file, status, nameneu, namevoll] : cases) {
        select(file);
        QCOMPARE(texts({"tier_status", "Nameneu", "Namevoll"}), (QStringList{status, nameneu, namevoll}));
    }
    select(u"starlight.smc"_s), click("Optiondateinamenultrahle");
    QCOMPARE(text("Nameneu"), u"Starlight_Racer_(World).sfc"_s);
    // Database > Report... writes the folder's report, CSV or HTML by the name chosen.
    for (const QString& report : {data_home_->filePath(u"r.csv"_s), data_home_->filePath(u"r.htm"_s)}) {
        s_.shell.file = report;
        trigger("catalogue_report");
        const std::string written = read_file(ui::to_file_system(report));
        QVERIFY2(
            written.find(report.endsWith(u"csv"_s) ? "\"have\",\"Test Set\",\"Starlight Racer\"," : "<td>have</td>")
                != std::string::npos,
            written.c_str());
    }
    click("Command2");
    QVERIFY(QFile::exists(path(u"Starlight_Racer_(World).sfc"_s)));
    batch_mode(), click("Batchrun");
    QCOMPARE(text("tier_status"), u"1 verified by catalogues"_s);
    s_.messages.answers = {ui::MessageAnswer::Ok};
    QCOMPARE(catalogues("remove_catalogue"), QString());
    trigger("catalogue_report");
    QVERIFY(last_said().starts_with("No catalogue is registered."));
}

// The Catalogues dialog shows whole names, refuses a catalogue registered already (as the command line does) and
// removes only a row shown selected, once the user agrees; the report's page sums up first, with folder and date.
void MainWindowTest::catalogue_twice_refused_removal_asked_and_report_summed_up_first()
{
    const ContentDigest data = digest_of_file(file_system_path(u"starlight.smc"_s), 0);
    const std::string catalogue = ui::to_file_system(data_home_->filePath(u"set.dat.gz"_s)); // packed, as offered
    write_file(catalogue,
        test::make_archive(test::ArchiveFormat::gzip,
            {{"set.dat",
                "<?xml version=\"1.0\"?>\n<datafile><header><name>A Set Whose Name Is Too Long For A Column</name>"
                "</header>\n<game name=\"S\"><rom name=\"S.sfc\" size=\""
                    + std::to_string(data.size) + "\" crc=\"" + hex_text(data.crc32) + "\"/></game>\n</datafile>\n"}}));
    s_.shell.file = ui::from_file_system(catalogue);
    const auto in_dialog = [&](const std::function<void(QDialog*, QTableWidget*)>& act) {
        test::when_open(
            "catalogues", [&](QDialog* dialog) { act(dialog, find<QTableWidget>(dialog, "table")), dialog->reject(); });
        trigger("catalogue_list");
    };
    in_dialog([&](QDialog* dialog, QTableWidget* table) {
        auto* add = find<QPushButton>(dialog, "add_catalogue");
        add->click(), add->click();
        QVERIFY(last_said().find("registered already") != std::string::npos);
        QVERIFY_THROWS_EXCEPTION(Error, add_catalogues({catalogue}));
        QVERIFY(table->columnWidth(0) > table->fontMetrics().horizontalAdvance(table->item(0, 0)->text()));
        QTest::keyClick(dialog, Qt::Key_R, Qt::AltModifier);
        s_.messages.answers = {ui::MessageAnswer::Cancel};
        table->selectRow(0), find<QPushButton>(dialog, "remove_catalogue")->click();
        QCOMPARE(std::tuple(table->rowCount(), s_.messages.shown.back().buttons),
            std::tuple(1, ui::MessageButtons::OkCancel));
    });
    s_.shell.file = data_home_->filePath(u"r.htm"_s);
    trigger("catalogue_report");
    const std::string page = read_file(ui::to_file_system(s_.shell.file));
    const std::size_t rows_start = page.find("<table");
    QVERIFY2(
        page.find("Folder: " + ui::to_file_system(QDir::cleanPath(folder_->path())) + "<br>\nMade: 20") < rows_start
            && page.find("Unknown images and archives: 1<br>\nOther files (no image): 1") < rows_start,
        page.c_str());
    in_dialog([&](QDialog* dialog, QTableWidget* table) {
        s_.messages.answers = {ui::MessageAnswer::Ok};
        table->selectRow(0), find<QPushButton>(dialog, "remove_catalogue")->click();
        QCOMPARE(table->rowCount(), 0);
    });
}

// A taken name names the file that has it; an archive says why it is no image, in the form and the preview; undo
// takes back a file put back by hand and says which one could not go back.
void MainWindowTest::messages_name_the_holder_damaged_archives_and_files_put_back()
{
    write_file(file_system_path(known_name), "already here"), form_->Ordner_Change();
    select(u"starlight.smc"_s), click("Command2");
    QCOMPARE(text("tier_status"), u"Not renamed: the name is taken by "_s + path(known_name));
    QVERIFY(QFile::remove(path(known_name)));
    const std::string image = build_rom({.name = "STARLIGHT RACER"});
    std::string damaged = test::make_archive(test::ArchiveFormat::zip_deflated, {{"s.smc", image}});
    std::fill_n(damaged.begin() + 60, 64, '\xFF');
    write_file(file_system_path(u"damaged.zip"_s), damaged);
    write_file(file_system_path(u"two.zip"_s),
        test::make_archive(test::ArchiveFormat::zip_deflated, {{"a.smc", image}, {"b.smc", build_rom({})}}));
    form_->Ordner_Change();
    const QString cannot = u"The archive cannot be read: damaged"_s, two = u"The archive holds 2 images"_s;
    select(u"damaged.zip"_s);
    QCOMPARE(text("Dateityp"), cannot);
    select(u"two.zip"_s);
    QCOMPARE(text("Dateityp"), two);
    batch_mode();
    QStringList reasons;
    for (const QStringList& row : test::table_rows("batch_preview", [&] { click("preview_button"); }))
        reasons << row[3];
    QCOMPARE(reasons, (QStringList{cannot, {}, {}, {}, two}));
    click("Batchrun");
    const QString renamed = path(u"Renamed_SNES_ROMs/"_s + known_name);
    QVERIFY(QFile::rename(renamed, path(u"away"_s)) && QFile::rename(path(u"away"_s), renamed));
    QVERIFY(QFile::remove(path(u"Unknown_ROMs/mystery.smc"_s)));
    undo_newest();
    QCOMPARE(last_said(),
        "1 file went back.\n" + file_system_path(u"Unknown_ROMs/mystery.smc"_s) + " cannot go back to "
            + file_system_path(u"mystery.smc"_s) + ": the file is no longer there");
    QVERIFY(QFile::exists(path(u"starlight.smc"_s)));
}

// The database tools read the database as the lookup does: one beyond what is ever read whole is checked and
// grown like a small one.
void MainWindowTest::a_database_larger_than_one_read_whole_is_checked_and_grown()
{
    std::string large = read_file(database_);
    for (int i = 0; large.size() <= largest_database_text; ++i)
        large +=
            "\"FILLER " + std::string(14 - std::to_string(i).size(), '0') + std::to_string(i) + "\",\"Filler\"\r\n";
    write_file(database_, large);
    const DatabaseCheck check = check_database(large);
    QString summary;
    qsizetype rows = -1;
    test::when_open("database_check", [&](QDialog* dialog) {
        summary = find<QLabel>(dialog, "summary")->text(), rows = find<QTableWidget>(dialog, "table")->rowCount();
        dialog->reject();
    });
    trigger("check_database");
    QVERIFY2(summary.endsWith(
                 u"\n%1 records, %2 errors, %3 warnings"_s.arg(check.records).arg(check.errors).arg(check.warnings)),
        qPrintable(summary));
    QCOMPARE(rows, static_cast<qsizetype>(check.findings.size()));
    write_rom(file_system_path(u"zeta.smc"_s), {.name = "ZETA RUNNER"});
    s_.shell.folder = folder_->path();
    test::when_open("record_preview", [](QDialog* dialog) { find<QPushButton>(dialog, "add_to_database")->click(); });
    trigger("learn_names");
    QVERIFY2(said().starts_with("2 records appended to "), said().c_str()); // mystery.smc and zeta.smc
    QVERIFY(read_file(database_).ends_with("\"ZETA RUNNER          \",\"zeta\"\r\n"));
}

// A name Windows-1252 lacks leaves out its own record only; the table keeps Status and Note in sight.
void MainWindowTest::learnt_names_leave_out_only_unusable_ones_and_keep_status_in_sight()
{
    const QString images = path(QString(u'f').repeated(120));
    QVERIFY(QDir().mkdir(images));
    write_rom(ui::to_file_system(images + u"/Zeta Runner.smc"_s), {.name = "ZETA RUNNER"});
    write_rom(ui::to_file_system(images + u"/\u30B9\u30BF\u30FC.smc"_s), {.name = "KATAKANA"});
    s_.shell.folder = images;
    const std::string before = read_file(database_);
    QList<QStringList> shown;
    bool could_add = false, in_sight = false;
    test::when_open("record_preview", [&](QDialog* dialog) {
        auto* table = find<QTableWidget>(dialog, "table");
        shown = test::rows(table);
        in_sight = table->columnViewportPosition(4) < table->viewport()->width();
        auto* add = find<QPushButton>(dialog, "add_to_database");
        could_add = add->isEnabled();
        add->click(), dialog->reject();
    });
    trigger("learn_names");
    QVERIFY(could_add);
    QVERIFY(in_sight);
    QCOMPARE(shown[1].mid(0, 2), (QStringList{u"\u30B9\u30BF\u30FC.smc"_s, u"unusable name"_s}));
    QVERIFY(shown[1][4].contains(u"Windows-1252"_s));
    QCOMPARE(read_file(database_), before + database_record("ZETA RUNNER          ", "Zeta Runner"));
}

// Another folder empties what spoke of the last one; the choosers open at the folder shown; the folder and its
// game list open from the File menu; a home page that cannot be opened is named.
void MainWindowTest::another_folder_leaves_nothing_stale_and_choosers_start_there()
{
    QVERIFY(QDir(folder_->path()).mkdir(u"sub"_s));
    select(u"starlight.smc"_s), tree()->set_path(path(u"sub"_s));
    QVERIFY(texts({"Dateiname", "Dateityp", "Nameneu"}) == QStringList(3) && c<QWidget>("Command2")->isHidden());
    tree()->set_path(folder_->path()), batch_mode(), c<QCheckBox>("Checkgamelist")->setChecked(true);
    click("Batchrun"), trigger("open_game_list"), tree()->set_path(path(u"sub"_s));
    QCOMPARE(texts({"Labelinsgesamt", "Labelduplikate", "Label17"}), (QStringList{{}, {}, u"Batchmode Status:"_s}));
    QCOMPARE(c<QListWidget>("Listeunbekannt")->count(), 0);
    trigger("open_folder"), trigger("open_game_list");
    QCOMPARE(s_.shell.opened,
        (QList<QUrl>{
            QUrl::fromLocalFile(path(u"Renamed_SNES_ROMs/games.htm"_s)), QUrl::fromLocalFile(path(u"sub"_s))}));
    QVERIFY(last_said().starts_with("There is no game list in this folder yet"));
    trigger("learn_names"), trigger("import_catalogue");
    QCOMPARE(s_.shell.asked.size(), 2);
    for (const QString& asked : s_.shell.asked)
        QVERIFY2(asked.startsWith(path(u"sub|"_s)), qPrintable(asked));
    QVERIFY(s_.shell.asked[1].contains(u"*.gz *.zip *.7z"_s)); // packed catalogues too
    s_.shell.opens = false, trigger("homepage");
    QVERIFY(last_said().starts_with("No web browser could be opened. The homepage is at:\n\nhttps://"));
}

// Every button and option has a mnemonic of its own; Tab after Rename reaches a control that shows its focus, the
// folder list shows its focus; Enter in the preview closes it without a run.
void MainWindowTest::keys_reach_every_control_visibly_and_enter_closes_the_preview()
{
    QSet<QChar> keys{u'f', u'd', u'h'}; // the menus'
    for (const char* name : {"Dateimodus", "Batchmodus", "Optiondateinamennormal", "Optiondateinamenultrahle",
             "Checkgamelist", "Command2", "Batchrun", "preview_button", "cancel_button"}) {
        const QString caption = c<QAbstractButton>(name)->text();
        const qsizetype at = caption.indexOf(u'&');
        QVERIFY2(at >= 0 && !keys.contains(caption[at + 1].toLower()), name);
        keys.insert(caption[at + 1].toLower());
    }
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    tick(), select(u"starlight.smc"_s), c<QWidget>("Command2")->setFocus();
    QTest::keyClick(c<QWidget>("Command2"), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), u"Dateimodus"_s);
    const QImage unfocused = tree()->grab().toImage();
    tree()->setFocus();
    QVERIFY(tree()->grab().toImage() != unfocused);
    batch_mode();
    test::when_open("batch_preview", [](QDialog* dialog) {
        QTest::keyClick(dialog, Qt::Key_Return);
        QTimer::singleShot(100, dialog, &QDialog::reject);
    });
    click("preview_button");
    QVERIFY(!QFile::exists(path(u"Renamed_SNES_ROMs"_s)));
}

// The window lies on its screen and scrolls at most up and down; a message box leaves its title room.
// CTest runs this at scale 1 and at QT_SCALE_FACTOR=2 on a 1600x1000 screen.
void MainWindowTest::window_scrolls_only_up_and_down_and_box_titles_fit()
{
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    auto* scroll = c<QScrollArea>("form_scroll");
    QVERIFY(form_->screen()->availableGeometry().contains(form_->frameGeometry()));
    QCOMPARE(scroll->horizontalScrollBar()->maximum(), 0);
    for (const char* name : {"ProgressBar", "Listeunbekannt"}) {
        const QRect place(c<QWidget>(name)->mapTo(scroll->widget(), QPoint()), c<QWidget>(name)->size());
        QVERIFY2(scroll->widget()->rect().contains(place) && place.right() < scroll->viewport()->width(), name);
    }
    int width = 0;
    test::when_open("message_box", [&](QDialog* box) { width = box->width(), box->accept(); });
    ui::MessageService real;
    real.show(form_.get(), {"Cartonym Message:", "Done.", MessageIcon::information});
    QFont bold = form_->font();
    bold.setBold(true);
    QVERIFY2(width >= QFontMetrics(bold).horizontalAdvance(u"Cartonym Message:"_s) + 150,
        qPrintable(QString::number(width)));
}

// What cartonym-cli registers and writes while the window is open is used at the next look and run: the window was
// started on the database beside the program, and the user's own database appears.
void MainWindowTest::catalogues_and_user_database_made_while_open_are_followed()
{
    const std::string beside = ui::to_file_system(data_home_->filePath(u"beside.dat"_s));
    write_file(beside, read_file(database_));
    QVERIFY(QFile::remove(ui::from_file_system(database_)));
    form_ = std::make_unique<Form1>(beside, s_.messages, s_.shell, s_.clock);
    form_->show(), tree()->set_path(folder_->path()), select(u"mystery.smc"_s);
    QCOMPARE(text("Nameneu"), u"ROM unknown !"_s);
    write_file(database_, read_file(beside) + database_line("NOBODY KNOWS ME", "Nobody Knows"));
    select(u"starlight.smc"_s), select(u"mystery.smc"_s);
    QCOMPARE(std::tuple(text("Nameneu"), form_->database_path()), std::tuple(u"Nobody Knows (USA).smc"_s, database_));
    add_catalogues({write_catalogue()});
    select(u"starlight.smc"_s);
    QCOMPARE(text("tier_status"), u"verified by Test Set"_s);
    QVERIFY(remove_catalogue(list_catalogues().at(0).file));
    select(u"mystery.smc"_s), select(u"starlight.smc"_s);
    QCOMPARE(text("tier_status"), u"named by the name database"_s);
    add_catalogues({write_catalogue()});
    batch_mode(), click("Batchrun");
    QCOMPARE(text("tier_status"), u"1 verified by catalogues"_s);
}

// Database > Report...: the filter chosen decides the format and adds its extension; a name that is taken is
// said, and the file there stays.
void MainWindowTest::report_format_follows_the_filter_chosen_and_never_replaces()
{
    add_catalogues({write_catalogue()});
    const QString csv = u"CSV table (*.csv)"_s, html = u"HTML page (*.htm *.html)"_s;
    const std::tuple<QString, QString, QString, const char*> cases[] = {
        // typed, filter, written, content
        {u"r"_s, csv, u"r.csv"_s, "\"have\",\"Test Set\",\"Starlight Racer\","},
        {u"r.csv"_s, html, u"r.csv.htm"_s, "<td>have</td>"},
        {u"r.HTML"_s, html, u"r.HTML"_s, "<td>have</td>"},
    };
    for (const auto& [typed, filter, written, content] : cases) {
        s_.shell.file = data_home_->filePath(typed), s_.shell.filter = filter;
        trigger("catalogue_report");
        QVERIFY2(read_file(ui::to_file_system(data_home_->filePath(written))).find(content) != std::string::npos,
            qPrintable(written));
    }
    write_file(ui::to_file_system(data_home_->filePath(u"taken.csv"_s)), "mine");
    s_.shell.file = data_home_->filePath(u"taken"_s), s_.shell.filter = csv;
    trigger("catalogue_report");
    QVERIFY(
        last_said().starts_with("There is a file of that name already; it stays as it is and no report was written"));
    QCOMPARE(read_file(ui::to_file_system(data_home_->filePath(u"taken.csv"_s))), std::string("mine"));
}

// A first start says where names come from and how to get verified ones, until dismissed; the status bar says
// it in file mode while no catalogue is registered.
void MainWindowTest::first_start_hint_and_status_hint_until_a_catalogue_is_registered()
{
    ui::window_settings().remove(QLatin1String(ui::first_start_hint_key));
    int opened = 0;
    QDialog* hint = ui::show_first_start_hint(form_.get(), [&] { ++opened; });
    QVERIFY(hint && hint->isVisible() && !hint->isModal());
    const QString said = find<QLabel>(hint, "hint")->text();
    QVERIFY2(said.contains(u"knows only a few demo games"_s) && said.contains(u"No-Intro"_s)
            && said.contains(u"Database > Catalogues... > Add"_s),
        qPrintable(said));
    find<QCheckBox>(hint, "show_again")->setChecked(true), hint->reject(); // shown again at the next start
    hint = ui::show_first_start_hint(form_.get(), [&] { ++opened; });
    QVERIFY(hint);
    find<QPushButton>(hint, "open_catalogues")->click();
    QTRY_COMPARE(opened, 1);
    QVERIFY(!ui::show_first_start_hint(form_.get(), {})); // dismissed for good
    tick();
    QVERIFY(!c<QWidget>("catalogue_hint")->isHidden());
    QCOMPARE(text("catalogue_hint"), u"No catalogue: Database > Catalogues... > Add"_s);
    batch_mode();
    QVERIFY(c<QWidget>("catalogue_hint")->isHidden());
    click("Dateimodus"), add_catalogues({write_catalogue()}), select(u"starlight.smc"_s), tick();
    QVERIFY(c<QWidget>("catalogue_hint")->isHidden());
    ui::window_settings().remove(QLatin1String(ui::first_start_hint_key));
    QVERIFY(!ui::show_first_start_hint(form_.get(), {})); // a catalogue is registered
}

// The window's settings are kept in cartonym.conf of the config folder XDG_CONFIG_HOME names, and read from there.
void MainWindowTest::settings_live_in_the_config_folder_the_environment_names()
{
    const QTemporaryDir config;
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QVERIFY(c<QAction>("look_inside_archives")->isChecked());
    trigger("look_inside_archives"); // off, and remembered
    const std::string kept = read_file(ui::to_file_system(config.filePath(u"cartonym/cartonym.conf"_s)));
    restart();
    const bool checked_again = c<QAction>("look_inside_archives")->isChecked();
    qputenv("XDG_CONFIG_HOME", previous);
    QVERIFY2(kept.find("look_inside_archives=false") != std::string::npos, kept.c_str());
    QVERIFY(!checked_again);
}

// Cancel pressed while the first file is read: the run stops before the second; the panel gives the folder's
// total, the status the files done, and the undo list calls the run interrupted.
void MainWindowTest::cancel_shows_the_folder_total_and_files_done_and_undo_says_interrupted()
{
    batch_mode();
    const FaultHook previous = set_fault_hook([this](SystemOperation operation, const std::string& path) {
        if (operation == SystemOperation::open && path.ends_with("/mystery.smc"))
            form_->cancel_Click();
        return 0;
    });
    click("Batchrun");
    set_fault_hook(previous);
    QCOMPARE(texts({"Label17", "Labelinsgesamt", "Labelanzahlroms"}),
        (QStringList{u"Batchmode interrupted ! 1 of 3 files done."_s, u" 3"_s, u" 1"_s}));
    const QList<QStringList> runs = test::table_rows("undo_chooser", [&] { trigger("undo_batch_run"); });
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs[0][2], u"interrupted"_s);
    undo_newest();
    QCOMPARE(files(), start_files);
}

// During a run the status line gives the files done of the run's, the time left (a minute a file opened on the
// test's clock) and the file in hand; the Mode frame keeps its texts readable while switched off.
void MainWindowTest::progress_counts_files_with_time_left_and_the_mode_frame_stays_readable()
{
    batch_mode();
    QString seen;
    QList<bool> enabled;
    const FaultHook previous = set_fault_hook([&](SystemOperation operation, const std::string& path) {
        s_.clock.now += operation == SystemOperation::open ? 60000 : 0;
        if (operation == SystemOperation::open && path.ends_with("/starlight.smc") && seen.isEmpty()) {
            seen = text("Label17");
            enabled = {label("Label17")->isEnabled(), c<QWidget>("Dateimodus")->isEnabled()};
        }
        return 0;
    });
    click("Batchrun");
    set_fault_hook(previous);
    QVERIFY2(QRegularExpression(u"^2 of 3 files done, about \\d+ min left - starlight\\.smc$"_s).match(seen).hasMatch(),
        qPrintable(seen));
    QCOMPARE(enabled, (QList<bool>{true, false}));
    for (const char* name : {"Dateimodus", "Batchmodus", "Modusbeschreibung"})
        QVERIFY2(c<QWidget>(name)->palette().color(QPalette::Disabled, QPalette::WindowText).lightness() < 100, name);
    QCOMPARE(text("Modusbeschreibung"), u"Use this mode to rename all ROM-Images in a directory"_s);
}

void MainWindowTest::fixed_dialog_links_database_line_and_frames_after_40_ms_wrapping_below_minus_h()
{
    frmAbout& window = fresh();
    const Qt::WindowFlags flags = window.windowFlags();
    const Qt::WindowFlags wanted = Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    QCOMPARE(flags & (Qt::WindowType_Mask | wanted | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
        wanted | Qt::Tool);
    QVERIFY(window.minimumSize() == window.maximumSize() && window.isModal());
    // Every control keeps the margin of the frames from the right edge (the credit line touched it).
    for (const QWidget* control : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        QVERIFY2(control->geometry().right() <= window.width() - 9, qPrintable(control->objectName()));
    // The icon is there only to keep the application's from showing: it is clear.
    QImage clear(16, 16, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    QCOMPARE(window.windowIcon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32), clear);

    const auto link = [&](const char* name) { return find<ui::LinkLabel>(&window, name); };
    emit link("Label4")->clicked(), scroll_area()->clicked(), link("Label6")->clicked();
    emit link("Label9")->clicked(), link("Label10")->clicked(), link("Picture1")->clicked();
    const QList<QUrl>& opened = s_.shell.opened;
    QCOMPARE(opened.size(), 6);
    QCOMPARE((QStringList{opened[0].toString(), opened[1].toString(), opened[2].scheme(), opened[2].path(),
                 opened[3].toString()}),
        (QStringList{link("Label4")->text(), link("Label4")->text(), u"mailto"_s, link("Label6")->text(),
            link("Label9")->text()}));
    QVERIFY(opened[4] == opened[5] && opened[4] != opened[0]);
    // One more line names the database in use; the rest of the window is as before.
    QCOMPARE(find<QLabel>(&window, "database_in_use")->text(), u"Name database: "_s + about_database);
    QVERIFY(find<QLabel>(&window, "Label11")->text().endsWith(u"\nThank you !"_s));

    // The scroller, in a fresh window shown.
    frmAbout& shown = fresh();
    shown.show();
    const int height = scroll_area()->inner().height(), top = height - 1;
    // Opening drew the first frame at once: the text just below the area.
    QCOMPARE(std::tuple(shown.frame_count, shown.top, shown.bottom), std::tuple(1, top, top + shown.H));
    QVERIFY(first_yellow_row(scroll_area()->frame()) == -1);
    const auto pass = [&](int ms) { s_.clock.now += ms, shown.scroll_pass(); };
    const std::tuple<int, int, int> steps[] = {
        // ms, frames, top
        {40, 1, top},      // exactly 40 ms is not enough
        {1, 2, top - 1},   // 41 ms since the last frame
        {0, 2, top - 1},   // no time: no frame
        {500, 3, top - 2}, // a late pass still draws only one frame
    };
    for (const auto& [ms, frames, top_then] : steps) {
        pass(ms);
        QCOMPARE(std::tuple(shown.frame_count, shown.top), std::tuple(frames, top_then));
    }
    // The next frame is planned for the moment it falls due.
    auto* timer = find<QTimer>(&shown, "scroll_timer");
    QVERIFY(shown.last_frame == s_.clock.now && timer->isActive() && timer->interval() == 41);
    // One pixel a frame; after a few frames the first line shows at the bottom.
    for (int i = 0; i < 10; ++i)
        pass(41);
    QCOMPARE(shown.top, height - 13);
    QVERIFY(first_yellow_row(scroll_area()->frame()) >= height - 12);

    shown.top = -shown.H + 1;
    shown.bottom = shown.top + shown.H;
    pass(41);
    QCOMPARE(shown.top, -shown.H); // top = -H: no wrap yet
    pass(41);
    // top < -H: back below the area
    QCOMPARE(std::tuple(shown.top, shown.bottom), std::tuple(height, height + shown.H));
}

void MainWindowTest::ok_and_close_box_end_the_scroller()
{
    for (const bool with_ok : {true, false}) {
        frmAbout& window = fresh();
        window.show();
        QVERIFY(!window.Scroll_ende);
        with_ok ? find<QPushButton>(&window, "Command1")->click() : void(window.close());
        QVERIFY(window.Scroll_ende && !find<QTimer>(&window, "scroll_timer")->isActive());
        QVERIFY(!window.isVisible() && releases_ >= 1);
        const int frames = window.frame_count;
        s_.clock.now += 100, window.scroll_pass();
        QCOMPARE(window.frame_count, frames);
    }
}

// Every text the windows can put into a control fits its contents rectangle, word wrap considered; names longer
// than any window are elided with their whole text as tooltip. CTest runs this at scale 1 and QT_SCALE_FACTOR=2.
void MainWindowTest::texts_fit_and_long_names_are_elided()
{
    test::Services services;
    ui::Form1 form("snes.dat", services.messages, services.shell, services.clock);
    form.show();

    std::map<QString, QStringList> texts;
    const QString count = ui::from_cp1252(decimal_text(999999));
    for (const char* counter :
        {"Labelinsgesamt", "Labelanzahlroms", "Labelschonrichtig", "Labelumbenannt", "Labelduplikate"})
        texts[QLatin1String(counter)] = {count};
    texts[u"Modusbeschreibung"_s] = {
        u"Use this mode to rename single ROM-Images"_s, u"Use this mode to rename all ROM-Images in a directory"_s};
    texts[u"Namenmodus"_s] = {u"Normal long filenames that also can contain spaces will be used"_s,
        u"Long filenames will be used, spaces will be replaced by underscores\n( _ )"_s};
    texts[u"Label17"_s] = {
        u"Batchmode Status:"_s, QString::fromLatin1(no_files_text), QString::fromLatin1(batch_succeeded_text)};
    texts[u"Dateityp"_s] = file_types();
    texts[u"Hersteller"_s] = from_table(licensee_text);
    texts[u"Cardid"_s] = from_table(rom_type_text);
    texts[u"Land"_s] = from_table(country_text);
    QStringList& sizes = texts[u"sizelabel"_s];
    for (const std::uint64_t length : {0x0ull, 0x20000ull, 0x600000ull, 0xFFFFFFFFull, 0xFFFFFFFFFFFFull})
        for (int value = 0; value < 256; ++value)
            sizes << ui::from_cp1252(rom_size_text(static_cast<std::uint8_t>(value), length));
    sizes.removeDuplicates();
    RomAnalysis checksum;
    decode_header({.checksum_lo = 0xFF, .checksum_hi = 0xFF}, 0, checksum);
    texts[u"CRC1label"_s] = {ui::from_cp1252(checksum.CRC1_text)};
    texts[u"Romname"_s] = {widest_internal_name(find<QWidget>(&form, "Romname")->font())};
    texts[u"Nameneu"_s] = {QString::fromLatin1(unknown_text), u"ROM_unknown_!"_s};

    int checked = 0;
    QStringList why = misfits(form.centralWidget(), texts, checked);
    QVERIFY(checked > 700);
    ui::frmAbout about(nullptr, services.messages, services.shell, services.clock, u"/usr/lib/cartonym/snes.dat"_s, {});
    why += misfits(&about, {}, checked);
    QVERIFY2(why.isEmpty(), qPrintable(why.join(u'\n')));

    const QString long_name = u"The Very Long Adventures of a Cartridge With a Name Far Too Long "
                              "For Any Label (Europe) (En,Fr,De,Es,It,Nl,Sv) (Rev 2).smc"_s;
    for (const char* name : {"Dateiname", "Namevoll", "Nameneu"}) {
        auto* label = find<ui::ElidedLabel>(&form, name);
        label->setText(long_name);
        QCOMPARE(label->toolTip(), long_name);
        QVERIFY2(misfit(label, label->shown_text()).isEmpty(), name);
        QVERIFY(label->shown_text().contains(QChar(0x2026)));
        label->setText(u"Short.smc"_s);
        QVERIFY(label->toolTip().isEmpty() && label->shown_text() == u"Short.smc"_s);
    }
}

void MainWindowTest::main_window_lies_on_the_screen_and_about_has_only_close()
{
    if (QGuiApplication::platformName() != u"xcb"_s)
        QSKIP("window_manager_test.sh runs this under Xvfb with a window manager");
    QTemporaryDir data;
    const std::string database = ui::to_file_system(data.filePath(u"snes.dat"_s));
    fixtures::write_file(database, fixtures::database_line("STARLIGHT RACER", "Starlight Racer"));
    test::Services s;
    ui::Form1 form(database, s.messages, s.shell, s.clock);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY_WITH_TIMEOUT(frame_on_screen(&form).isValid(), 20000);
    const auto screen_size = QRegularExpression(u"-geometry (\\d+)x(\\d+)"_s).match(x_tool("xwininfo", nullptr));
    const QRect screen(0, 0, screen_size.captured(1).toInt(), screen_size.captured(2).toInt());
    // The window manager places the window after it maps it, later on a busy machine.
    QTRY_VERIFY_WITH_TIMEOUT(screen.contains(frame_on_screen(&form)), 20000);
    const QRect frame = frame_on_screen(&form);
    qInfo("screen %dx%d, window frame %d,%d %dx%d", screen.width(), screen.height(), frame.x(), frame.y(),
        frame.width(), frame.height());
    QVERIFY(!screen.isEmpty() && frame.height() > form.height());

    ui::frmAbout about(&form, s.messages, s.shell, s.clock, u"snes.dat"_s, [] {});
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTRY_VERIFY_WITH_TIMEOUT(x_tool("xprop", &about, "_NET_WM_ALLOWED_ACTIONS").contains(u"CLOSE"_s), 20000);
    const QString actions = x_tool("xprop", &about, "_NET_WM_ALLOWED_ACTIONS");
    qInfo("%s", qPrintable(actions.trimmed()));
    QVERIFY2(!actions.contains(u"MINIMIZE"_s) && !actions.contains(u"MAXIMIZE"_s), qPrintable(actions));
}

// File > Export a set...: the preview lists each image with what would become of it, its Export button copies (the
// progress names the time left), the source stays as it was, and Undo an export takes exactly the copy back.
void MainWindowTest::export_is_previewed_copied_with_progress_and_undone()
{
    const QTemporaryDir target;
    const QString copy = target.filePath(known_name);
    QList<QStringList> planned;
    QString progress_label;
    QString dialog_from;
    bool copied = false, undone = false;
    test::when_open("export_set", [&](QDialog* dialog) {
        dialog_from = find<QLineEdit>(dialog, "export_from")->text();
        find<QLineEdit>(dialog, "export_to")->setText(target.path());
        test::when_open("export_preview_table", [&](QDialog* preview) {
            planned = test::rows(find<QTableWidget>(preview, "table"));
            s_.messages.on_show = [&](const Message&) {
                if (auto* bar = qobject_cast<QProgressDialog*>(dialog->findChild<QProgressDialog*>("export_progress")))
                    progress_label = bar->labelText();
            };
            find<QPushButton>(preview, "export_preview_start")->click();
        });
        find<QPushButton>(dialog, "export_preview")->click();
        copied = QFile::exists(copy);
        s_.messages.on_show = {};
        test::when_open("undo_chooser", [](QDialog* chooser) { find<QPushButton>(chooser, "undo")->click(); });
        find<QPushButton>(dialog, "export_undo")->click();
        undone = !QFile::exists(copy);
        dialog->reject();
    });
    trigger("export_a_set");
    QCOMPARE(dialog_from, QDir::toNativeSeparators(folder_->path()));
    QVERIFY2(planned.contains(QStringList{u"starlight.smc"_s, u"copy"_s, known_name}),
        qPrintable(planned.value(0).join(u'|')));
    QVERIFY(std::ranges::any_of(planned,
        [](const QStringList& row) { return row.at(0) == u"mystery.smc"_s && row.at(1).startsWith(u"unknown"_s); }));
    QVERIFY2(copied, qPrintable(s_.messages.shown.isEmpty() ? QString() : ui::message_text(said())));
    QVERIFY2(progress_label.contains(u"1 of 1 files done"_s), qPrintable(progress_label));
    QVERIFY2(said().find("Copied: 1\n") != std::string::npos, said().c_str());
    QVERIFY(undone && QFile::exists(path(u"starlight.smc"_s)));
    QVERIFY2(last_said().find("removed") != std::string::npos, last_said().c_str());
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
