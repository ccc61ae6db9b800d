#include "theme/pictures.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include "theme/colours.h"

namespace theme {

namespace {

// An empty picture of the given logical size with room for every device pixel at the ratio.
QImage canvas(int width, int height, qreal ratio)
{
    QImage image(qCeil(width * ratio), qCeil(height * ratio), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    return image;
}

// Light grey pin-stripes with a bright top edge and a dark bottom line towards the body. Each
// stripe is one logical pixel high, so as many device rows as the ratio gives it.
QImage stripes(int width, qreal ratio)
{
    QImage image = canvas(width, kTitleBarHeight, ratio);
    for (int row = 0; row < image.height(); ++row) {
        const int y = qMin(kTitleBarHeight - 1, int(row / ratio));
        QRgb colour = y % 2 ? qRgb(0xB9, 0xB9, 0xB9) : qRgb(0xD0, 0xD0, 0xD0);
        if (y == 0)
            colour = qRgb(0xF2, 0xF2, 0xF2);
        else if (y == kTitleBarHeight - 2)
            colour = qRgb(0xA6, 0xA6, 0xA6);
        else if (y == kTitleBarHeight - 1)
            colour = kBorderColour;
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, row, colour);
    }
    return image;
}

// The caps shade towards the window's edges so the bar reads as a raised strip.
QPixmap cap(bool left, qreal ratio)
{
    QImage image = stripes(kTitleCapWidth, ratio);
    QPainter p(&image);
    QLinearGradient shade(0, 0, kTitleCapWidth, 0);
    const QColor edge = left ? QColor(255, 255, 255, 110) : QColor(0, 0, 0, 50);
    shade.setColorAt(left ? 0.0 : 1.0, edge);
    shade.setColorAt(left ? 0.25 : 0.75, QColor(0, 0, 0, 0));
    p.fillRect(QRect(0, 1, kTitleCapWidth, kTitleBarHeight - 3), shade);
    return QPixmap::fromImage(image);
}

struct ButtonColours {
    QColor base;
    QColor glyph;
};

ButtonColours coloursOf(TitleButtonKind kind)
{
    switch (kind) {
    case TitleButtonKind::ControlBox:
        return {QColor(0x9B, 0x59, 0xB6), QColor(0x4A, 0x1E, 0x63)};
    case TitleButtonKind::Close:
        return {QColor(0xE5, 0x46, 0x3F), QColor(0x6E, 0x10, 0x0C)};
    case TitleButtonKind::Minimise:
        break;
    }
    return {QColor(0xF0, 0xA8, 0x30), QColor(0x7A, 0x4A, 0x05)};
}

void paintIcon(QPainter& p)
{
    const QPen outline(QColor(0x3C, 0x3C, 0x3C), 1.0);

    // The wrench: head up and to the right, its jaw open towards the corner.
    p.save();
    p.translate(16, 16);
    p.rotate(45);
    QPainterPath wrench;
    wrench.addRoundedRect(QRectF(-2.3, -8, 4.6, 21), 2, 2);
    wrench.addEllipse(QPointF(0, -11), 6.2, 6.2);
    wrench.addEllipse(QPointF(0, 13), 3.6, 3.6);
    wrench.setFillRule(Qt::WindingFill);
    wrench = wrench.simplified();
    QPainterPath cuts;
    cuts.addRect(QRectF(-2.3, -18.5, 4.6, 8.5));
    cuts.addEllipse(QPointF(0, 13), 1.4, 1.4);
    wrench = wrench.subtracted(cuts);
    QLinearGradient steel(-6, 0, 6, 0);
    steel.setColorAt(0, QColor(0xC8, 0xC8, 0xC8));
    steel.setColorAt(1, QColor(0x80, 0x80, 0x80));
    p.setPen(outline);
    p.setBrush(steel);
    p.drawPath(wrench);
    p.restore();

    // The hammer across it: head up and to the left, red handle down to the right.
    p.save();
    p.translate(16, 16);
    p.rotate(-45);
    p.setPen(QPen(QColor(0x6A, 0x0A, 0x0A), 1.0));
    p.setBrush(QColor(0xD4, 0x1E, 0x1E));
    p.drawRoundedRect(QRectF(-2.4, -10, 4.8, 24), 2, 2);
    p.setPen(outline);
    QLinearGradient iron(0, -14, 0, -8);
    iron.setColorAt(0, QColor(0xA8, 0xA8, 0xA8));
    iron.setColorAt(1, QColor(0x5A, 0x5A, 0x5A));
    p.setBrush(iron);
    QPainterPath head;
    head.moveTo(-7, -14);
    head.lineTo(5, -14);
    head.lineTo(7, -12);
    head.lineTo(7, -9);
    head.lineTo(-7, -9);
    head.closeSubpath();
    p.drawPath(head);
    p.restore();
}

} // namespace

QPixmap titleBarLeftCap(qreal ratio)
{
    return cap(true, ratio);
}

QPixmap titleBarRightCap(qreal ratio)
{
    return cap(false, ratio);
}

QPixmap titleBarMiddle(qreal ratio)
{
    return QPixmap::fromImage(stripes(8, ratio));
}

QPixmap titleButtonPicture(TitleButtonKind kind, TitleButtonState state, qreal ratio)
{
    QImage image = canvas(kTitleButtonSize, kTitleButtonSize, ratio);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    const ButtonColours colours = coloursOf(kind);
    QColor base = colours.base;
    QColor glyph = colours.glyph;
    if (state == TitleButtonState::Hover)
        base = base.lighter(118);
    else if (state == TitleButtonState::Pressed) {
        base = base.darker(130);
        glyph = glyph.darker(140);
    }

    QRadialGradient ball(QPointF(6.5, 5.5), 11);
    ball.setColorAt(0, base.lighter(150));
    ball.setColorAt(0.6, base);
    ball.setColorAt(1, base.darker(115));
    p.setPen(QPen(base.darker(190), 1.0));
    p.setBrush(ball);
    p.drawEllipse(QRectF(0.5, 0.5, kTitleButtonSize - 1, kTitleButtonSize - 1));

    p.setBrush(Qt::NoBrush);
    switch (kind) {
    case TitleButtonKind::ControlBox:
        if (state != TitleButtonState::Normal) {
            p.setPen(Qt::NoPen);
            p.setBrush(glyph);
            const QPointF arrow[] = {{4.5, 6.5}, {12.5, 6.5}, {8.5, 11.5}};
            p.drawPolygon(arrow, 3);
        }
        break;
    case TitleButtonKind::Close:
        p.setPen(QPen(glyph, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5.5, 5.5), QPointF(11.5, 11.5));
        p.drawLine(QPointF(11.5, 5.5), QPointF(5.5, 11.5));
        break;
    case TitleButtonKind::Minimise:
        p.setPen(QPen(glyph, 2.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 8.5), QPointF(12, 8.5));
        break;
    }
    p.end();
    return QPixmap::fromImage(image);
}

QPixmap iconPicture(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    paintIcon(p);
    p.end();
    return QPixmap::fromImage(image);
}

} // namespace theme
