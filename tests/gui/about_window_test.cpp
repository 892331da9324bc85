// The About window: its look, links and database line, and the scroller's frames, wrap and end.
#include "test_services.h"
#include "ui/about_window.h"
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

} // namespace

class AboutWindowTest : public QObject {
    Q_OBJECT

private slots:
    void fixed_dialog_links_database_line_and_frames_after_40_ms_wrapping_below_minus_h();
    void ok_and_close_box_end_the_scroller();

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

QTEST_MAIN(AboutWindowTest)
#include "about_window_test.moc"
