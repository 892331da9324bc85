// Draws the program's own images into a folder: the window background, the
// icon in several sizes, the About window's banner, the scroll area's
// background and the link pointer. The PNGs it writes are kept in ui/bilder.
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QRadialGradient>

#include <cstdio>
#include <random>

namespace {

QFont Schrift(int pixel, bool fett)
{
    QFont schrift;
    schrift.setFamilies({QStringLiteral("DejaVu Sans")});
    schrift.setPixelSize(pixel);
    schrift.setBold(fett);
    return schrift;
}

// A cartridge seen from the front: body, grip ridges, label and a name tag.
void Zeichne_modul(QPainter& maler, const QRectF& feld, const QColor& koerper, const QColor& etikett, qreal alpha)
{
    maler.save();
    maler.setOpacity(alpha);
    const qreal b = feld.width();
    const qreal h = feld.height();
    QPainterPath umriss;
    umriss.moveTo(feld.left() + b * 0.06, feld.top());
    umriss.lineTo(feld.right() - b * 0.06, feld.top());
    umriss.quadTo(feld.right(), feld.top(), feld.right(), feld.top() + h * 0.06);
    umriss.lineTo(feld.right(), feld.bottom() - h * 0.16);
    umriss.lineTo(feld.right() - b * 0.08, feld.bottom() - h * 0.16);
    umriss.lineTo(feld.right() - b * 0.08, feld.bottom());
    umriss.lineTo(feld.left() + b * 0.08, feld.bottom());
    umriss.lineTo(feld.left() + b * 0.08, feld.bottom() - h * 0.16);
    umriss.lineTo(feld.left(), feld.bottom() - h * 0.16);
    umriss.lineTo(feld.left(), feld.top() + h * 0.06);
    umriss.quadTo(feld.left(), feld.top(), feld.left() + b * 0.06, feld.top());
    QLinearGradient verlauf(feld.topLeft(), feld.bottomRight());
    verlauf.setColorAt(0, koerper.lighter(125));
    verlauf.setColorAt(1, koerper.darker(125));
    maler.setPen(QPen(koerper.darker(200), qMax<qreal>(1.0, b / 40.0)));
    maler.setBrush(verlauf);
    maler.drawPath(umriss);

    // Grip ridges at the top.
    maler.setPen(QPen(koerper.darker(150), qMax<qreal>(1.0, b / 60.0)));
    for (int i = 0; i < 4; ++i) {
        const qreal y = feld.top() + h * (0.07 + 0.045 * i);
        maler.drawLine(QPointF(feld.left() + b * 0.2, y), QPointF(feld.right() - b * 0.2, y));
    }
    // The label.
    const QRectF schild(feld.left() + b * 0.14, feld.top() + h * 0.28, b * 0.72, h * 0.46);
    QLinearGradient schildverlauf(schild.topLeft(), schild.bottomLeft());
    schildverlauf.setColorAt(0, etikett.lighter(130));
    schildverlauf.setColorAt(1, etikett);
    maler.setPen(QPen(etikett.darker(180), qMax<qreal>(1.0, b / 60.0)));
    maler.setBrush(schildverlauf);
    maler.drawRoundedRect(schild, b * 0.04, b * 0.04);
    maler.restore();
}

void Zeichne_symbol(QImage& bild)
{
    bild.fill(Qt::transparent);
    QPainter maler(&bild);
    maler.setRenderHint(QPainter::Antialiasing);
    const qreal s = bild.width();
    Zeichne_modul(maler, QRectF(s * 0.12, s * 0.04, s * 0.76, s * 0.9), QColor(150, 150, 162), QColor(92, 60, 170), 1.0);
    // A name tag leaning on the cartridge: the program gives names.
    maler.save();
    maler.translate(s * 0.62, s * 0.62);
    maler.rotate(-18);
    const QRectF tag(-s * 0.34, -s * 0.14, s * 0.62, s * 0.3);
    maler.setPen(QPen(QColor(120, 80, 0), qMax<qreal>(1.0, s / 48.0)));
    maler.setBrush(QColor(255, 214, 64));
    maler.drawRoundedRect(tag, s * 0.05, s * 0.05);
    maler.setBrush(QColor(120, 80, 0));
    maler.drawEllipse(QPointF(tag.left() + s * 0.08, tag.center().y()), s * 0.035, s * 0.035);
    if (s >= 32) {
        maler.setPen(QColor(60, 40, 0));
        maler.setFont(Schrift(qMax(6, static_cast<int>(s * 0.2)), true));
        maler.drawText(tag.adjusted(s * 0.14, 0, 0, 0), Qt::AlignCenter, QStringLiteral("ROM"));
    }
    maler.restore();
}

void Zeichne_hintergrund(QImage& bild)
{
    QPainter maler(&bild);
    maler.setRenderHint(QPainter::Antialiasing);
    QLinearGradient verlauf(0, 0, 0, bild.height());
    verlauf.setColorAt(0.0, QColor(236, 238, 246));
    verlauf.setColorAt(0.55, QColor(218, 222, 238));
    verlauf.setColorAt(1.0, QColor(196, 202, 226));
    maler.fillRect(bild.rect(), verlauf);

    // A faint diamond pattern, like the ridges of a cartridge shell.
    maler.setPen(QPen(QColor(255, 255, 255, 70), 1));
    for (int x = -bild.height(); x < bild.width(); x += 18)
        maler.drawLine(x, 0, x + bild.height(), bild.height());
    maler.setPen(QPen(QColor(120, 110, 170, 26), 1));
    for (int x = 0; x < bild.width() + bild.height(); x += 18)
        maler.drawLine(x, 0, x - bild.height(), bild.height());

    // Two large, pale cartridges in the lower half.
    Zeichne_modul(maler, QRectF(360, 250, 250, 290), QColor(160, 160, 176), QColor(120, 96, 200), 0.16);
    Zeichne_modul(maler, QRectF(-60, 300, 200, 232), QColor(160, 160, 176), QColor(200, 96, 120), 0.10);

    // A soft light from the upper left.
    QRadialGradient licht(QPointF(120, 60), 380);
    licht.setColorAt(0, QColor(255, 255, 255, 90));
    licht.setColorAt(1, QColor(255, 255, 255, 0));
    maler.fillRect(bild.rect(), licht);
}

void Zeichne_rollgrund(QImage& bild)
{
    bild.fill(QColor(50, 49, 51));
    QPainter maler(&bild);
    maler.setRenderHint(QPainter::Antialiasing);
    QLinearGradient verlauf(0, 0, 0, bild.height());
    verlauf.setColorAt(0, QColor(30, 28, 48));
    verlauf.setColorAt(0.5, QColor(50, 49, 51));
    verlauf.setColorAt(1, QColor(34, 30, 56));
    maler.fillRect(bild.rect(), verlauf);
    std::mt19937 zufall(1991);
    std::uniform_int_distribution<int> x(0, bild.width() - 1);
    std::uniform_int_distribution<int> y(0, bild.height() - 1);
    std::uniform_int_distribution<int> hell(70, 200);
    for (int i = 0; i < 90; ++i) {
        const int h = hell(zufall);
        maler.setPen(QColor(h, h, qMin(255, h + 40)));
        maler.drawPoint(x(zufall), y(zufall));
    }
    maler.setPen(QPen(QColor(120, 100, 200, 40), 1));
    for (int gy = 100; gy < bild.height(); gy += 7)
        maler.drawLine(0, gy, bild.width(), gy);
}

void Zeichne_banner(QImage& bild)
{
    QPainter maler(&bild);
    maler.setRenderHint(QPainter::Antialiasing);
    QLinearGradient verlauf(0, 0, bild.width(), bild.height());
    verlauf.setColorAt(0, QColor(70, 40, 150));
    verlauf.setColorAt(1, QColor(190, 60, 110));
    maler.fillRect(bild.rect(), verlauf);
    Zeichne_modul(maler, QRectF(6, 8, 38, 44), QColor(170, 170, 185), QColor(255, 210, 70), 1.0);
    maler.setPen(QColor(255, 236, 120));
    maler.setFont(Schrift(13, true));
    maler.drawText(QRect(50, 6, 126, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Cartonym News"));
    maler.setPen(Qt::white);
    maler.setFont(Schrift(10, false));
    maler.drawText(QRect(50, 30, 126, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Sign up - it's free!"));
    maler.setPen(QPen(QColor(255, 255, 255, 120), 1));
    maler.setBrush(Qt::NoBrush);
    maler.drawRect(bild.rect().adjusted(0, 0, -1, -1));
}

// The link pointer: a pointing arrow with a small cartridge tag.
void Zeichne_zeiger(QImage& bild)
{
    bild.fill(Qt::transparent);
    QPainter maler(&bild);
    maler.setRenderHint(QPainter::Antialiasing);
    QPainterPath pfeil;
    pfeil.moveTo(1, 1);
    pfeil.lineTo(1, 21);
    pfeil.lineTo(6, 16);
    pfeil.lineTo(10, 25);
    pfeil.lineTo(13, 24);
    pfeil.lineTo(9, 15);
    pfeil.lineTo(16, 15);
    pfeil.closeSubpath();
    maler.setPen(QPen(Qt::black, 1.2));
    maler.setBrush(QColor(255, 230, 60));
    maler.drawPath(pfeil);
    maler.setBrush(QColor(92, 60, 170));
    maler.setPen(QPen(Qt::black, 1));
    maler.drawRoundedRect(QRectF(17, 19, 12, 10), 2, 2);
    maler.setBrush(QColor(230, 230, 240));
    maler.drawRect(QRectF(19.5, 21.5, 7, 4));
}

bool Speichere(const QImage& bild, const QString& ordner, const char* name)
{
    const QString pfad = ordner + QLatin1Char('/') + QLatin1String(name);
    if (!bild.save(pfad, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(pfad));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication anwendung(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: cartonym-bilder FOLDER\n");
        return 2;
    }
    const QString ordner = QString::fromLocal8Bit(argv[1]);
    bool ok = true;

    QImage hintergrund(571, 545, QImage::Format_RGB32);
    Zeichne_hintergrund(hintergrund);
    ok &= Speichere(hintergrund, ordner, "hintergrund.png");

    for (const int groesse : {16, 32, 48, 64, 128, 256}) {
        QImage symbol(groesse, groesse, QImage::Format_ARGB32_Premultiplied);
        Zeichne_symbol(symbol);
        ok &= Speichere(symbol, ordner, qPrintable(QStringLiteral("symbol-%1.png").arg(groesse)));
    }

    QImage rollgrund(253, 128, QImage::Format_RGB32);
    Zeichne_rollgrund(rollgrund);
    ok &= Speichere(rollgrund, ordner, "rollgrund.png");

    QImage banner(180, 60, QImage::Format_RGB32);
    Zeichne_banner(banner);
    ok &= Speichere(banner, ordner, "banner.png");

    QImage zeiger(32, 32, QImage::Format_ARGB32_Premultiplied);
    Zeichne_zeiger(zeiger);
    ok &= Speichere(zeiger, ordner, "zeiger.png");
    return ok ? 0 : 1;
}
