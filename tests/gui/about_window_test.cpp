// The About window: its look, links and database line, and the scroller's frames, wrap and end; and the texts of
// both windows, which fit their places.
#include "analysis/rom_analysis.h"
#include "common/number_text.h"
#include "fixtures/rom_builder.h"
#include "operations/batch_run.h"
#include "operations/file_mode.h"
#include "test_services.h"
#include "ui/about_window.h"
#include "ui/main_window.h"
#include "ui/text_conversion.h"
#include "ui/widgets.h"

using namespace cartonym;
using namespace Qt::StringLiterals;
using cartonym::test::find;
using cartonym::ui::frmAbout;

namespace {

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

const QString database_path = u"/home/someone/.local/share/cartonym/snes.dat"_s;

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
        return button->text();
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

} // namespace

class AboutWindowTest : public QObject {
    Q_OBJECT

private slots:
    void fixed_dialog_links_database_line_and_frames_after_40_ms_wrapping_below_minus_h();
    void ok_and_close_box_end_the_scroller();
    void texts_fit_and_long_names_are_elided();

private:
    frmAbout& fresh()
    {
        window_.reset(), s_ = {}, s_.clock.now = 5000, releases_ = 0;
        window_ = std::make_unique<frmAbout>(
            nullptr, s_.messages, s_.shell, s_.clock, database_path, [this] { ++releases_; });
        return *window_;
    }
    ui::ScrollArea* scroll_area() const { return find<ui::ScrollArea>(window_.get(), "picScroll"); }
    test::Services s_;
    int releases_ = 0;
    std::unique_ptr<frmAbout> window_;
};

void AboutWindowTest::fixed_dialog_links_database_line_and_frames_after_40_ms_wrapping_below_minus_h()
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
    QCOMPARE(find<QLabel>(&window, "database_in_use")->text(), u"Name database: "_s + database_path);
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

void AboutWindowTest::ok_and_close_box_end_the_scroller()
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
void AboutWindowTest::texts_fit_and_long_names_are_elided()
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

QTEST_MAIN(AboutWindowTest)
#include "about_window_test.moc"
