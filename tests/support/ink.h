#pragma once

#include <climits>

#include <QImage>
#include <QRect>
#include <QWidget>

// The box around a widget's ink, the dark pixels of its text (black text is far darker than any
// border or body colour of the theme), in device pixels: drawn at the device pixel ratio of the
// widget's screen. Ink right of beforeX or below aboveY, in the widget's own pixels, is left out.
inline QRect inkBox(QWidget& widget, int beforeX = INT_MAX, int aboveY = INT_MAX)
{
    const qreal ratio = widget.devicePixelRatioF();
    QImage image((QSizeF(widget.size()) * ratio).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    widget.render(&image);
    const double right = qMin(double(image.width()), beforeX * ratio);
    const double bottom = qMin(double(image.height()), aboveY * ratio);
    QRect box;
    for (int y = 0; y < bottom; ++y)
        for (int x = 0; x < right; ++x)
            if (qGray(image.pixel(x, y)) < 100)
                box |= QRect(x, y, 1, 1);
    return box;
}
