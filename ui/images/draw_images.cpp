// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the program's own images into a folder: the window background, the
// icon in several sizes, the About window's banner, the scroll area's
// background and the link pointer. The PNGs it writes are kept in ui/images.
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QRadialGradient>

#include <cstdio>
#include <random>

namespace {

QFont make_font(int pixel, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixel);
    font.setBold(bold);
    return font;
}

// A cartridge seen from the front: body, grip ridges, label and a name tag.
void draw_cartridge(QPainter& painter, const QRectF& area, const QColor& body, const QColor& label, qreal alpha)
{
    painter.save();
    painter.setOpacity(alpha);
    const qreal b = area.width();
    const qreal h = area.height();
    QPainterPath outline;
    outline.moveTo(area.left() + b * 0.06, area.top());
    outline.lineTo(area.right() - b * 0.06, area.top());
    outline.quadTo(area.right(), area.top(), area.right(), area.top() + h * 0.06);
    outline.lineTo(area.right(), area.bottom() - h * 0.16);
    outline.lineTo(area.right() - b * 0.08, area.bottom() - h * 0.16);
    outline.lineTo(area.right() - b * 0.08, area.bottom());
    outline.lineTo(area.left() + b * 0.08, area.bottom());
    outline.lineTo(area.left() + b * 0.08, area.bottom() - h * 0.16);
    outline.lineTo(area.left(), area.bottom() - h * 0.16);
    outline.lineTo(area.left(), area.top() + h * 0.06);
    outline.quadTo(area.left(), area.top(), area.left() + b * 0.06, area.top());
    QLinearGradient gradient(area.topLeft(), area.bottomRight());
    gradient.setColorAt(0, body.lighter(125));
    gradient.setColorAt(1, body.darker(125));
    painter.setPen(QPen(body.darker(200), qMax<qreal>(1.0, b / 40.0)));
    painter.setBrush(gradient);
    painter.drawPath(outline);

    // Grip ridges at the top.
    painter.setPen(QPen(body.darker(150), qMax<qreal>(1.0, b / 60.0)));
    for (int i = 0; i < 4; ++i) {
        const qreal y = area.top() + h * (0.07 + 0.045 * i);
        painter.drawLine(QPointF(area.left() + b * 0.2, y), QPointF(area.right() - b * 0.2, y));
    }
    // The label.
    const QRectF tag_area(area.left() + b * 0.14, area.top() + h * 0.28, b * 0.72, h * 0.46);
    QLinearGradient tag_gradient(tag_area.topLeft(), tag_area.bottomLeft());
    tag_gradient.setColorAt(0, label.lighter(130));
    tag_gradient.setColorAt(1, label);
    painter.setPen(QPen(label.darker(180), qMax<qreal>(1.0, b / 60.0)));
    painter.setBrush(tag_gradient);
    painter.drawRoundedRect(tag_area, b * 0.04, b * 0.04);
    painter.restore();
}

void draw_icon(QImage& image)
{
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = image.width();
    draw_cartridge(
        painter, QRectF(s * 0.12, s * 0.04, s * 0.76, s * 0.9), QColor(150, 150, 162), QColor(92, 60, 170), 1.0);
    // A name tag leaning on the cartridge: the program gives names.
    painter.save();
    painter.translate(s * 0.62, s * 0.62);
    painter.rotate(-18);
    const QRectF tag(-s * 0.34, -s * 0.14, s * 0.62, s * 0.3);
    painter.setPen(QPen(QColor(120, 80, 0), qMax<qreal>(1.0, s / 48.0)));
    painter.setBrush(QColor(255, 214, 64));
    painter.drawRoundedRect(tag, s * 0.05, s * 0.05);
    painter.setBrush(QColor(120, 80, 0));
    painter.drawEllipse(QPointF(tag.left() + s * 0.08, tag.center().y()), s * 0.035, s * 0.035);
    if (s >= 32) {
        painter.setPen(QColor(60, 40, 0));
        painter.setFont(make_font(qMax(6, static_cast<int>(s * 0.2)), true));
        painter.drawText(tag.adjusted(s * 0.14, 0, 0, 0), Qt::AlignCenter, QStringLiteral("ROM"));
    }
    painter.restore();
}

// Fills the image from top to bottom with a gradient through three colours.
void fill_top_to_bottom(QPainter& painter, const QImage& image, const QColor& top, qreal middle_at,
    const QColor& middle, const QColor& bottom)
{
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, 0, image.height());
    gradient.setColorAt(0.0, top);
    gradient.setColorAt(middle_at, middle);
    gradient.setColorAt(1.0, bottom);
    painter.fillRect(image.rect(), gradient);
}

void draw_background(QImage& image)
{
    QPainter painter(&image);
    fill_top_to_bottom(painter, image, QColor(236, 238, 246), 0.55, QColor(218, 222, 238), QColor(196, 202, 226));

    // A faint diamond pattern, like the ridges of a cartridge shell.
    painter.setPen(QPen(QColor(255, 255, 255, 70), 1));
    for (int x = -image.height(); x < image.width(); x += 18)
        painter.drawLine(x, 0, x + image.height(), image.height());
    painter.setPen(QPen(QColor(120, 110, 170, 26), 1));
    for (int x = 0; x < image.width() + image.height(); x += 18)
        painter.drawLine(x, 0, x - image.height(), image.height());

    // Two large, pale cartridges in the lower half.
    draw_cartridge(painter, QRectF(360, 250, 250, 290), QColor(160, 160, 176), QColor(120, 96, 200), 0.16);
    draw_cartridge(painter, QRectF(-60, 300, 200, 232), QColor(160, 160, 176), QColor(200, 96, 120), 0.10);

    // A soft light from the upper left.
    QRadialGradient light(QPointF(120, 60), 380);
    light.setColorAt(0, QColor(255, 255, 255, 90));
    light.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(image.rect(), light);
}

void draw_scroll_background(QImage& image)
{
    image.fill(QColor(50, 49, 51));
    QPainter painter(&image);
    fill_top_to_bottom(painter, image, QColor(30, 28, 48), 0.5, QColor(50, 49, 51), QColor(34, 30, 56));
    std::mt19937 random(1991);
    std::uniform_int_distribution<int> x(0, image.width() - 1);
    std::uniform_int_distribution<int> y(0, image.height() - 1);
    std::uniform_int_distribution<int> brightness(70, 200);
    for (int i = 0; i < 90; ++i) {
        const int h = brightness(random);
        painter.setPen(QColor(h, h, qMin(255, h + 40)));
        painter.drawPoint(x(random), y(random));
    }
    painter.setPen(QPen(QColor(120, 100, 200, 40), 1));
    for (int gy = 100; gy < image.height(); gy += 7)
        painter.drawLine(0, gy, image.width(), gy);
}

void draw_banner(QImage& image)
{
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, image.width(), image.height());
    gradient.setColorAt(0, QColor(70, 40, 150));
    gradient.setColorAt(1, QColor(190, 60, 110));
    painter.fillRect(image.rect(), gradient);
    draw_cartridge(painter, QRectF(6, 8, 38, 44), QColor(170, 170, 185), QColor(255, 210, 70), 1.0);
    painter.setPen(QColor(255, 236, 120));
    painter.setFont(make_font(13, true));
    painter.drawText(QRect(50, 6, 126, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Cartonym News"));
    painter.setPen(Qt::white);
    painter.setFont(make_font(10, false));
    painter.drawText(QRect(50, 30, 126, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Sign up - it's free!"));
    painter.setPen(QPen(QColor(255, 255, 255, 120), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
}

// The link pointer: a pointing arrow with a small cartridge tag.
void draw_pointer(QImage& image)
{
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    arrow.moveTo(1, 1);
    arrow.lineTo(1, 21);
    arrow.lineTo(6, 16);
    arrow.lineTo(10, 25);
    arrow.lineTo(13, 24);
    arrow.lineTo(9, 15);
    arrow.lineTo(16, 15);
    arrow.closeSubpath();
    painter.setPen(QPen(Qt::black, 1.2));
    painter.setBrush(QColor(255, 230, 60));
    painter.drawPath(arrow);
    painter.setBrush(QColor(92, 60, 170));
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRoundedRect(QRectF(17, 19, 12, 10), 2, 2);
    painter.setBrush(QColor(230, 230, 240));
    painter.drawRect(QRectF(19.5, 21.5, 7, 4));
}

bool save_png(const QImage& image, const QString& folder, const char* name)
{
    const QString path = folder + QLatin1Char('/') + QLatin1String(name);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: cartonym-draw-images FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    bool ok = true;

    QImage background(571, 545, QImage::Format_RGB32);
    draw_background(background);
    ok &= save_png(background, folder, "background.png");

    for (const int size : {16, 32, 48, 64, 128, 256}) {
        QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
        draw_icon(icon);
        ok &= save_png(icon, folder, qPrintable(QStringLiteral("icon-%1.png").arg(size)));
    }

    QImage scroll_background(253, 128, QImage::Format_RGB32);
    draw_scroll_background(scroll_background);
    ok &= save_png(scroll_background, folder, "scroll-background.png");

    QImage banner(180, 60, QImage::Format_RGB32);
    draw_banner(banner);
    ok &= save_png(banner, folder, "banner.png");

    QImage pointer(32, 32, QImage::Format_ARGB32_Premultiplied);
    draw_pointer(pointer);
    ok &= save_png(pointer, folder, "pointer.png");
    return ok ? 0 : 1;
}
