// Under a real X server and window manager: the main window lies wholly on
// the screen, title bar included, and the About window offers neither
// minimise nor maximise. Run by window_manager_test.sh, which starts both.
#include "fixtures/rom_builder.h"
#include "test_services.h"
#include "ui/about_window.h"
#include "ui/main_window.h"
#include "ui/text_conversion.h"

using namespace cartonym;
using namespace Qt::StringLiterals;

namespace {

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

class WindowManagerTest : public QObject {
    Q_OBJECT

private slots:
    void main_window_lies_on_the_screen_and_about_has_only_close();
};

void WindowManagerTest::main_window_lies_on_the_screen_and_about_has_only_close()
{
    QTemporaryDir data;
    const std::string database = ui::to_file_system(data.filePath(u"snes.dat"_s));
    fixtures::write_file(database, fixtures::database_line("STARLIGHT RACER", "Starlight Racer"));
    test::Services s;
    ui::Form1 form(database, s.messages, s.shell, s.clock);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY_WITH_TIMEOUT(frame_on_screen(&form).isValid(), 5000);
    const auto screen_size = QRegularExpression(u"-geometry (\\d+)x(\\d+)"_s).match(x_tool("xwininfo", nullptr));
    const QRect screen(0, 0, screen_size.captured(1).toInt(), screen_size.captured(2).toInt());
    // The window manager places the window after it maps it, later on a busy machine.
    QTRY_VERIFY_WITH_TIMEOUT(screen.contains(frame_on_screen(&form)), 3000);
    const QRect frame = frame_on_screen(&form);
    qInfo("screen %dx%d, window frame %d,%d %dx%d", screen.width(), screen.height(), frame.x(), frame.y(),
        frame.width(), frame.height());
    QVERIFY(!screen.isEmpty() && frame.height() > form.height());

    ui::frmAbout about(&form, s.messages, s.shell, s.clock, u"snes.dat"_s, [] {});
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTRY_VERIFY_WITH_TIMEOUT(x_tool("xprop", &about, "_NET_WM_ALLOWED_ACTIONS").contains(u"CLOSE"_s), 5000);
    const QString actions = x_tool("xprop", &about, "_NET_WM_ALLOWED_ACTIONS");
    qInfo("%s", qPrintable(actions.trimmed()));
    QVERIFY2(!actions.contains(u"MINIMIZE"_s) && !actions.contains(u"MAXIMIZE"_s), qPrintable(actions));
}

QTEST_MAIN(WindowManagerTest)
#include "window_manager_test.moc"
