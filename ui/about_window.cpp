// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/about_window.h"

#include "common/program_info.h"
#include "ui/clock.h"
#include "ui/form_table.h"
#include "ui/message_service.h"
#include "ui/text_conversion.h"
#include "ui/widgets.h"

#include <QtCore/QDir>
#include <QtCore/QTimer>
#include <QtGui/QCursor>
#include <QtGui/QPainter>
#include <QtGui/QWindow>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include <algorithm>

namespace cartonym::ui {
namespace {

constexpr std::int64_t frame_gap_ms = 40; // a frame only when more than this has passed

using K = ControlKind;
using F = FontChoice;

// The window's controls: name, kind, container, left, top, width, height in
// twips, caption, font, alignment. Captions the program sets at load are "".
constexpr ControlRow about_controls[] = {
    {"picScroll", K::ScrollArea, "", 120, 120, 3855, 1815, ""},
    {"Label1", K::Label, "", 4440, 120, 2775, 420, "", F::Inherit, Qt::AlignRight},
    {"Label5", K::Label, "", 4320, 960, 2415, 600,
        "Errors, suggestions, unknown Roms ? Feel free to email me:", F::Dialog, Qt::AlignHCenter},
    {"Label6", K::LinkLabel, "", 4560, 1560, 1935, 255, "", F::Link},
    {"Frame1", K::Frame, "", 120, 2280, 7095, 1095, "[ Links: ]"},
    {"Label3", K::Label, "Frame1", 240, 360, 3495, 255, "The Cartonym Homepage:"},
    {"Label4", K::LinkLabel, "Frame1", 3840, 360, 2535, 255, "", F::Link},
    {"Label8", K::Label, "Frame1", 240, 720, 2895, 255, "The Game Boy edition:"},
    {"Label9", K::LinkLabel, "Frame1", 3840, 720, 2055, 255, "", F::Link},
    {"Picture1", K::LinkLabel, "", 2400, 3480, 2775, 960, ""},
    {"Label10", K::LinkLabel, "", 120, 4440, 7095, 255, "Get the Cartonym News: new names, new versions, once a month.",
        F::Link, Qt::AlignHCenter},
    {"Label11", K::Label, "", 120, 4800, 7095, 975, "", F::Dialog, Qt::AlignHCenter},
    {"database_in_use", K::ElidedLabel, "", 120, 5820, 5400, 255, "", F::Dialog},
    {"Command1", K::Button, "", 5640, 5760, 1575, 375, "Ok"},
};

QString utf8(const char* text) { return QString::fromUtf8(text); }

} // namespace

const char* const frmAbout::credits =
    "Cartonym v0.91 (c) 2026\r\n"
    "by the Cartonym team\r\n"
    "\r\n"
    "Attention:\r\n"
    "You use this program at your own risk. Its authors are not responsible for any damage "
    "it may do to your files, your computer or your collection.\r\n"
    "\r\n"
    "Greetings go to:\r\n"
    "Mara, Jonas, Ilka, Tobi, Ruth and Finn, and to everybody who sent in the names of unknown ROMs.\r\n"
    "\r\n"
    "Cartonym is free software under the\r\n"
    "GNU General Public License v3 or later\r\n"
    "(GPL-3.0-or-later), without any warranty.\r\n";

frmAbout::frmAbout(QWidget* parent, MessageService& messages, Shell& shell, Clock& clock, const QString& database_path,
    std::function<void()> release_main_window)
    : QDialog(parent)
    , messages_(messages)
    , shell_(shell)
    , clock_(clock)
    , release_main_window_(std::move(release_main_window))
{
    load_images();
    setObjectName(QStringLiteral("frmAbout"));
    background_ = QPixmap(QStringLiteral(":/images/scroll-background.png"));
    set_up_window();
    build_controls(this, about_controls);
    picScroll = control<ScrollArea>(this, "picScroll");
    auto* Label1 = control<QLabel>(this, "Label1");
    auto* Label4 = control<LinkLabel>(this, "Label4");
    auto* Label6 = control<LinkLabel>(this, "Label6");
    auto* Label9 = control<LinkLabel>(this, "Label9");
    auto* Label11 = control<QLabel>(this, "Label11");
    auto* Picture1 = control<LinkLabel>(this, "Picture1");
    auto* Command1 = control<QPushButton>(this, "Command1");
    auto* database_in_use = control<ElidedLabel>(this, "database_in_use");

    Label1->setText(QStringLiteral("%1 v%2.%3 (c) 2026 by %4")
                        .arg(utf8(program_info::Name))
                        .arg(program_info::version_major)
                        .arg(program_info::version_minor)
                        .arg(utf8(program_info::author)));
    set_text_colour(Label1, QColor(0, 0, 128));
    const QColor dark_grey(64, 64, 64);
    for (const char* name : {"Frame1", "Label3", "Label8"})
        set_text_colour(control<QWidget>(this, name), dark_grey);
    Label4->setText(utf8(program_info::homepage_address));
    Label6->setText(utf8(program_info::contact_address));
    Label9->setText(utf8(program_info::sister_program_address));
    Label11->setText(QStringLiteral("Sign up for the free newsletter and be the first to hear when the name "
                                    "database grows. Every unknown ROM you report makes the next version better.")
        + QLatin1Char('\n') + QStringLiteral("Thank you !"));
    Picture1->setPixmap(QPixmap(QStringLiteral(":/images/banner.png")));
    Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture1->setLineWidth(ScrollArea::border_width);
    database_in_use->setText(QStringLiteral("Name database: ") + QDir::toNativeSeparators(database_path));
    Command1->setDefault(true);

    // The scroll area's own look: yellow text, 8 pt bold, in the window's font.
    scroll_font_ = font();
    scroll_font_.setPointSizeF(8);
    scroll_font_.setBold(true);
    picScroll->setFont(scroll_font_);
    credits_ = QString::fromLatin1(credits).remove(QLatin1Char('\r'));

    scroll_timer = new QTimer(this);
    scroll_timer->setObjectName(QStringLiteral("scroll_timer"));
    scroll_timer->setSingleShot(true);
    scroll_timer->setTimerType(Qt::PreciseTimer);
    connect(scroll_timer, &QTimer::timeout, this, &frmAbout::scroll_pass);

    wire_links();
}

// A fixed-size tool window with only a title and the close box: no icon, no
// minimise or maximise button.
void frmAbout::set_up_window()
{
    setWindowTitle(QStringLiteral("About the Cartonym..."));
    setWindowFlags(Qt::Tool | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint);
    offer_only_close();
    QPixmap no_icon(16, 16);
    no_icon.fill(Qt::transparent);
    setWindowIcon(QIcon(no_icon));
    setModal(true);
    setFixedSize(pixels(7350), pixels(6195));
    set_background(this, QColor(192, 192, 192));
    setFont(bold_font());
}

// Under X the window says it is a toolbar first and a utility window second.
// openbox gives a utility window the minimise button whatever else it asks,
// and a toolbar only the close button; window managers that know no toolbar
// take the utility type. Qt's X platform reads the extra type from the native
// window's "_q_xcb_wm_window_type" property whenever it sets the window's
// flags, so the flags are set once more after the property.
void frmAbout::offer_only_close()
{
    constexpr int toolbar_type = 0x8; // the toolbar bit of Qt's X window types
    winId();
    QWindow* native = windowHandle();
    native->setProperty("_q_xcb_wm_window_type", toolbar_type);
    const Qt::WindowFlags flags = native->flags();
    native->setFlags(flags | Qt::WindowDoesNotAcceptFocus);
    native->setFlags(flags);
}

// The links: the pointer over them, their whole addresses, what a click opens.
void frmAbout::wire_links()
{
    auto* Label4 = control<LinkLabel>(this, "Label4");
    auto* Label6 = control<LinkLabel>(this, "Label6");
    auto* Label9 = control<LinkLabel>(this, "Label9");
    auto* Label10 = control<LinkLabel>(this, "Label10");
    auto* Picture1 = control<LinkLabel>(this, "Picture1");
    auto* Command1 = control<QPushButton>(this, "Command1");
    const QCursor pointer(QPixmap(QStringLiteral(":/images/pointer.png")), 1, 1);
    for (QWidget* link : std::initializer_list<QWidget*>{picScroll, Picture1, Label4, Label6, Label9, Label10})
        link->setCursor(pointer);
    // An address longer than its place widens the label to the right, so
    // that it is never cut off.
    for (LinkLabel* link : {Label4, Label6, Label9})
        link->resize(qMax(link->width(), link->sizeHint().width()), link->height());

    const QUrl homepage(utf8(program_info::homepage_address));
    const QUrl news_page(utf8(program_info::news_page));
    connect(Command1, &QPushButton::clicked, this, &frmAbout::Command1_Click);
    connect(Label4, &LinkLabel::clicked, this, [this, homepage] { shell_.open(homepage); });
    connect(picScroll, &ScrollArea::clicked, this, [this, homepage] { shell_.open(homepage); });
    connect(Label6, &LinkLabel::clicked, this,
        [this] { shell_.open(QUrl(QStringLiteral("mailto:") + utf8(program_info::contact_address))); });
    connect(
        Label9, &LinkLabel::clicked, this, [this] { shell_.open(QUrl(utf8(program_info::sister_program_address))); });
    connect(Label10, &LinkLabel::clicked, this, [this, news_page] { shell_.open(news_page); });
    connect(Picture1, &LinkLabel::clicked, this, [this, news_page] { shell_.open(news_page); });
}

frmAbout::~frmAbout() = default;

void frmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!started_) {
        started_ = true;
        Scrolle_text();
    }
}

void frmAbout::Scrolle_text()
{
    // The block's height, measured line by line without wrapping.
    const QFontMetrics metrics(scroll_font_);
    H = metrics.boundingRect(QRect(0, 0, 0, 0), Qt::AlignLeft, credits_).height();
    if (H <= 0) {
        Scroll_ende = true;
        messages_.show(this, {program_info::Name, "Error scrolling text", MessageIcon::exclamation});
        QTimer::singleShot(0, this, &QDialog::reject);
        return;
    }
    const QRect inner = picScroll->inner();
    left = 0;
    right = inner.width();
    top = inner.height();
    bottom = inner.height() + H;
    last_frame = 0;
    frame_count = 0;
    scroll_pass();
}

void frmAbout::scroll_pass()
{
    if (Scroll_ende)
        return;
    if (clock_.milliseconds() - last_frame > frame_gap_ms) {
        draw_frame();
        last_frame = clock_.milliseconds();
    }
    plan_next_frame();
}

// Instead of polling the clock, sleep in the event loop until the next
// frame is due; clicks and the close box are handled meanwhile as before.
void frmAbout::plan_next_frame()
{
    if (Scroll_ende)
        return;
    const std::int64_t wait = last_frame + frame_gap_ms + 1 - clock_.milliseconds();
    scroll_timer->start(static_cast<int>(std::clamp<std::int64_t>(wait, 0, frame_gap_ms + 1)));
}

void frmAbout::draw_frame()
{
    const QRect inner = picScroll->inner();
    const qreal ratio = picScroll->devicePixelRatioF();
    QPixmap image(inner.size() * ratio);
    image.setDevicePixelRatio(ratio);
    {
        QPainter painter(&image);
        painter.fillRect(QRect(QPoint(0, 0), inner.size()), QColor(50, 49, 51));
        painter.drawPixmap(0, 0, background_);
        painter.setFont(scroll_font_);
        painter.setPen(QColor(255, 255, 0));
        painter.drawText(QRect(left, top, right - left, bottom - top), Qt::AlignHCenter | Qt::TextWordWrap, credits_);
    }
    --top;
    --bottom;
    if (top < -H) {
        top = inner.height();
        bottom = inner.height() + H;
    }
    ++frame_count;
    picScroll->show_frame(image);
}

void frmAbout::stop_scroller()
{
    Scroll_ende = true;
    scroll_timer->stop();
    if (release_main_window_)
        release_main_window_();
}

void frmAbout::Command1_Click()
{
    stop_scroller();
    accept();
}

// Every way of closing comes here: "Ok", the close box and Escape.
void frmAbout::done(int result)
{
    stop_scroller();
    QDialog::done(result);
}

} // namespace cartonym::ui
