#include "ui/frmabout.h"

#include "common/program_info.h"
#include "ui/anzeige.h"
#include "ui/meldungsdienst.h"
#include "ui/steuerelemente.h"
#include "ui/uhr.h"

#include <QtCore/QTimer>
#include <QtGui/QCursor>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStyle>
#include <QtWidgets/QStyleOptionFrame>

#include <algorithm>

namespace cartonym::ui {
namespace {

constexpr int Rahmenbreite = 2;       // the scroll area's sunken border
constexpr std::int64_t Bildabstand = 40; // a frame only when more than this has passed

template <typename Steuerelement>
Steuerelement* set(Steuerelement* item, const char* name, int left, int oben, int breite, int hoehe)
{
    item->setObjectName(QLatin1String(name));
    item->setGeometry(Pixel(left), Pixel(oben), Pixel(breite), Pixel(hoehe));
    return item;
}

void Faerbe_text(QWidget* item, const QColor& farbe)
{
    QPalette palette = item->palette();
    palette.setColor(QPalette::WindowText, farbe);
    item->setPalette(palette);
}

QCursor Eigener_zeiger()
{
    return QCursor(QPixmap(QStringLiteral(":/bilder/zeiger.png")), 1, 1);
}

QString Adresse(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

const char* const frmAbout::Abspann =
    "Cartonym v0.91 (c) 2026\r\n"
    "by the Cartonym team\r\n"
    "\r\n"
    "Attention:\r\n"
    "You use this program at your own risk. Its authors are not responsible for any damage "
    "it may do to your files, your computer or your collection.\r\n"
    "\r\n"
    "Greetings go to:\r\n"
    "Mara, Jonas, Ilka, Tobi, Ruth and Finn, and to everybody who sent in the names of unknown ROMs.\r\n";

Rollbild::Rollbild(QWidget* eltern)
    : QWidget(eltern)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QRect Rollbild::innen() const
{
    return rect().adjusted(Rahmenbreite, Rahmenbreite, -Rahmenbreite, -Rahmenbreite);
}

void Rollbild::zeige(const QPixmap& image)
{
    bild_ = image;
    repaint(innen());
}

void Rollbild::paintEvent(QPaintEvent*)
{
    QPainter maler(this);
    QStyleOptionFrame option;
    option.initFrom(this);
    option.frameShape = QFrame::Panel;
    option.state |= QStyle::State_Sunken;
    option.lineWidth = Rahmenbreite;
    option.midLineWidth = 0;
    maler.fillRect(rect(), QColor(50, 49, 51));
    if (!bild_.isNull())
        maler.drawPixmap(innen().topLeft(), bild_);
    style()->drawPrimitive(QStyle::PE_Frame, &option, &maler, this);
}

void Rollbild::mouseReleaseEvent(QMouseEvent* ereignis)
{
    if (ereignis->button() == Qt::LeftButton && rect().contains(ereignis->position().toPoint()))
        emit geklickt();
}

frmAbout::frmAbout(QWidget* eltern, Meldungsdienst& messages, Schale& schale, Uhr& clock_,
                   std::function<void()> Hauptfenster_freigeben)
    : QDialog(eltern)
    , meldungen_(messages)
    , schale_(schale)
    , uhr_(clock_)
    , Hauptfenster_freigeben_(std::move(Hauptfenster_freigeben))
{
    Lade_bilder();
    setObjectName(QStringLiteral("frmAbout"));
    grund_ = QPixmap(QStringLiteral(":/bilder/rollgrund.png"));
    setWindowTitle(QStringLiteral("About the Cartonym..."));
    // A tool window: small title bar, no icon, only the close box.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(Pixel(7350), Pixel(6195));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(palette);
    setAutoFillBackground(true);
    setFont(Fette_schrift());

    const QColor dunkelgrau(64, 64, 64);
    const QCursor zeiger = Eigener_zeiger();

    picScroll = set(new Rollbild(this), "picScroll", 120, 120, 3855, 1815);
    picScroll->setCursor(zeiger);

    Label1 = set(new QLabel(this), "Label1", 4560, 120, 2775, 375);
    Label1->setText(QStringLiteral("%1 v%2.%3 (c) 2026 by %4")
                        .arg(Adresse(program_info::Name))
                        .arg(program_info::version_major)
                        .arg(program_info::version_minor)
                        .arg(Adresse(program_info::author)));
    Label1->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label1->setWordWrap(true);
    Faerbe_text(Label1, QColor(0, 0, 128));

    Label5 = set(new QLabel(QStringLiteral("Errors, suggestions, unknown Roms ? Feel free to email me:"), this),
                   "Label5", 4320, 960, 2415, 495);
    Label5->setFont(Dialogschrift());
    Label5->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label5->setWordWrap(true);

    auto link_target = [&zeiger](QWidget* behaelter, const char* name, const QString& text, int left, int oben, int breite,
                             int hoehe) {
        auto* label = set(new Verweislabel(behaelter), name, left, oben, breite, hoehe);
        label->setText(text);
        QFont schrift = Dialogschrift();
        schrift.setUnderline(true);
        label->setFont(schrift);
        Faerbe_text(label, QColor(0, 0, 255));
        label->setCursor(zeiger);
        // An address longer than its place widens the label to the right,
        // so that it is never cut off.
        label->resize(qMax(label->width(), label->sizeHint().width()), label->height());
        return label;
    };

    Label6 = link_target(this, "Label6", Adresse(program_info::contact_address), 4560, 1560, 1935, 255);

    Frame1 = set(new QGroupBox(QStringLiteral("[ Links: ]"), this), "Frame1", 120, 2280, 7095, 1095);
    Faerbe_text(Frame1, dunkelgrau);
    Label3 = set(new QLabel(QStringLiteral("The Cartonym Homepage:"), Frame1), "Label3", 240, 360, 3495, 255);
    Faerbe_text(Label3, dunkelgrau);
    Label4 = link_target(Frame1, "Label4", Adresse(program_info::homepage_address), 3840, 360, 2535, 255);
    Label8 = set(new QLabel(QStringLiteral("The Game Boy edition:"), Frame1), "Label8",
                   240, 720, 2895, 255);
    Faerbe_text(Label8, dunkelgrau);
    Label9 = link_target(Frame1, "Label9", Adresse(program_info::sister_program_address), 3840, 720, 2055, 255);

    Picture1 = set(new Verweislabel(this), "Picture1", 2400, 3480, 2775, 960);
    Picture1->setPixmap(QPixmap(QStringLiteral(":/bilder/banner.png")));
    Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture1->setLineWidth(Rahmenbreite);
    Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Picture1->setCursor(zeiger);

    Label10 = link_target(this, "Label10", QStringLiteral("Get the Cartonym News: new names, new versions, once a month."),
                      120, 4440, 7095, 255);
    Label10->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    Label11 = set(new QLabel(this), "Label11", 120, 4800, 7095, 975);
    Label11->setFont(Dialogschrift());
    Label11->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label11->setWordWrap(true);
    Label11->setText(QStringLiteral("Sign up for the free newsletter and be the first to hear when the name "
                                    "database grows. Every unknown ROM you report makes the next version better.")
                     + QLatin1Char('\n') + QStringLiteral("Thank you !"));

    Command1 = set(new QPushButton(QStringLiteral("Ok"), this), "Command1", 5640, 5760, 1575, 375);
    Command1->setDefault(true);

    // The scroll area's own look: yellow text, 8 pt bold, in the window's font.
    rollschrift_ = font();
    rollschrift_.setPointSizeF(8);
    rollschrift_.setBold(true);
    picScroll->setFont(rollschrift_);
    abspann_ = QString::fromLatin1(Abspann).remove(QLatin1Char('\r'));

    Rolltakt = new QTimer(this);
    Rolltakt->setObjectName(QStringLiteral("Rolltakt"));
    Rolltakt->setSingleShot(true);
    Rolltakt->setTimerType(Qt::PreciseTimer);
    connect(Rolltakt, &QTimer::timeout, this, &frmAbout::Rolldurchgang);

    const QUrl homepage(Adresse(program_info::homepage_address));
    const QUrl werbeseite(Adresse(program_info::news_page));
    connect(Command1, &QPushButton::clicked, this, &frmAbout::Command1_Click);
    connect(Label4, &Verweislabel::geklickt, this, [this, homepage] { schale_.oeffne(homepage); });
    connect(picScroll, &Rollbild::geklickt, this, [this, homepage] { schale_.oeffne(homepage); });
    connect(Label6, &Verweislabel::geklickt, this,
            [this] { schale_.oeffne(QUrl(QStringLiteral("mailto:") + Adresse(program_info::contact_address))); });
    connect(Label9, &Verweislabel::geklickt, this,
            [this] { schale_.oeffne(QUrl(Adresse(program_info::sister_program_address))); });
    connect(Label10, &Verweislabel::geklickt, this, [this, werbeseite] { schale_.oeffne(werbeseite); });
    connect(Picture1, &Verweislabel::geklickt, this, [this, werbeseite] { schale_.oeffne(werbeseite); });
}

frmAbout::~frmAbout() = default;

void frmAbout::showEvent(QShowEvent* ereignis)
{
    QDialog::showEvent(ereignis);
    if (!gestartet_) {
        gestartet_ = true;
        Scrolle_text();
    }
}

void frmAbout::Scrolle_text()
{
    // The block's height, measured line by line without wrapping.
    const QFontMetrics masse(rollschrift_);
    H = masse.boundingRect(QRect(0, 0, 0, 0), Qt::AlignLeft, abspann_).height();
    if (H <= 0) {
        Scroll_ende = true;
        meldungen_.zeige(this, {program_info::Name, "Error scrolling text", MessageIcon::Exclamation});
        QTimer::singleShot(0, this, &QDialog::reject);
        return;
    }
    const QRect innen = picScroll->innen();
    Links = 0;
    Rechts = innen.width();
    Oben = innen.height();
    Unten = innen.height() + H;
    Letztes_bild = 0;
    image_count = 0;
    Rolldurchgang();
}

void frmAbout::Rolldurchgang()
{
    if (Scroll_ende)
        return;
    if (uhr_.millisekunden() - Letztes_bild > Bildabstand) {
        Zeichne_bild();
        Letztes_bild = uhr_.millisekunden();
    }
    Plane_naechstes_bild();
}

// Instead of polling the clock, sleep in the event loop until the next
// frame is due; clicks and the close box are handled meanwhile as before.
void frmAbout::Plane_naechstes_bild()
{
    if (Scroll_ende)
        return;
    const std::int64_t warten = Letztes_bild + Bildabstand + 1 - uhr_.millisekunden();
    Rolltakt->start(static_cast<int>(std::clamp<std::int64_t>(warten, 0, Bildabstand + 1)));
}

void frmAbout::Zeichne_bild()
{
    const QRect innen = picScroll->innen();
    const qreal dichte = picScroll->devicePixelRatioF();
    QPixmap image(innen.size() * dichte);
    image.setDevicePixelRatio(dichte);
    {
        QPainter maler(&image);
        maler.fillRect(QRect(QPoint(0, 0), innen.size()), QColor(50, 49, 51));
        maler.drawPixmap(0, 0, grund_);
        maler.setFont(rollschrift_);
        maler.setPen(QColor(255, 255, 0));
        maler.drawText(QRect(Links, Oben, Rechts - Links, Unten - Oben), Qt::AlignHCenter | Qt::TextWordWrap, abspann_);
    }
    --Oben;
    --Unten;
    if (Oben < -H) {
        Oben = innen.height();
        Unten = innen.height() + H;
    }
    ++image_count;
    picScroll->zeige(image);
}

void frmAbout::Beende_scroller()
{
    Scroll_ende = true;
    Rolltakt->stop();
    if (Hauptfenster_freigeben_)
        Hauptfenster_freigeben_();
}

void frmAbout::Command1_Click()
{
    Beende_scroller();
    accept();
}

// Every way of closing comes here: "Ok", the close box and Escape.
void frmAbout::done(int result)
{
    Beende_scroller();
    QDialog::done(result);
}

} // namespace cartonym::ui
