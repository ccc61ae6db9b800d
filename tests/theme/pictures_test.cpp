#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QTemporaryDir>

#include "theme/pictures.h"
#include "theme/theme.h"
#include "theme/themed_frame.h"

namespace {

int countPixels(const QImage& image, bool (*test)(QColor))
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += test(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}

bool isRed(QColor c)
{
    return c.alpha() == 255 && c.red() > 150 && c.green() < 80 && c.blue() < 80;
}

bool isGrey(QColor c)
{
    return c.alpha() == 255 && c.hsvSaturation() < 20 && c.value() > 80 && c.value() < 215;
}

void expectClearCorners(const QImage& image)
{
    const int r = image.width() - 1;
    const int b = image.height() - 1;
    for (const QPoint corner : {QPoint(0, 0), QPoint(r, 0), QPoint(0, b), QPoint(r, b)})
        EXPECT_EQ(image.pixelColor(corner).alpha(), 0) << corner.x() << "," << corner.y();
}

TEST(Icon, RedHandledHammerOnGreyWrenchAt32And16)
{
    const QIcon icon = theme::applicationIcon();
    EXPECT_TRUE(icon.availableSizes().contains(QSize(32, 32)));
    for (const int size : {32, 16}) {
        SCOPED_TRACE(size);
        const QImage image = icon.pixmap(size, size).toImage();
        ASSERT_EQ(image.size(), QSize(size, size));
        expectClearCorners(image);
        EXPECT_GE(countPixels(image, isRed), size / 2);
        EXPECT_GE(countPixels(image, isGrey), size / 2);
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("telviq.png"));
    ASSERT_TRUE(theme::writeIconPng(path, 48));
    EXPECT_EQ(QImage(path).size(), QSize(48, 48));
    EXPECT_FALSE(theme::writeIconPng(dir.filePath(QStringLiteral("zero.png")), 0));
    EXPECT_FALSE(theme::writeIconPng(dir.filePath(QStringLiteral("no/such/folder.png")), 32));
}

TEST(TitleButtonPictures, RoundInTheirColourWithTheirSymbol)
{
    using Kind = theme::TitleButtonKind;
    using State = theme::TitleButtonState;
    // Hue of the ball: purple, red, amber.
    const std::pair<Kind, int> kinds[] = {
        {Kind::ControlBox, 280}, {Kind::Close, 3}, {Kind::Minimise, 37}};
    for (const auto& [kind, hue] : kinds) {
        QImage pictures[3];
        for (const State state : {State::Normal, State::Hover, State::Pressed}) {
            SCOPED_TRACE(testing::Message() << int(kind) << "/" << int(state));
            const QImage image = theme::titleButtonPicture(kind, state).toImage();
            ASSERT_EQ(image.size(), QSize(17, 17));
            expectClearCorners(image);
            EXPECT_NEAR(image.pixelColor(8, 3).hsvHue(), hue, 15);

            // Symbol pixels: far darker than the ball. The control box shows its arrow only
            // under the mouse.
            int symbol = 0;
            for (int y = 4; y <= 12; ++y)
                for (int x = 4; x <= 12; ++x)
                    symbol += qGray(image.pixel(x, y)) < 90 ? 1 : 0;
            EXPECT_EQ(symbol > 4, kind != Kind::ControlBox || state != State::Normal) << symbol;
            pictures[int(state)] = image;
        }
        EXPECT_NE(pictures[0], pictures[1]);
        EXPECT_NE(pictures[1], pictures[2]);
    }
}

// The button as it paints itself on a transparent image of the given device pixel ratio.
QImage renderedAt(QAbstractButton* button, int ratio)
{
    QImage image(button->size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    button->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

bool isSoft(QColor c)
{
    return c.alpha() > 0 && c.alpha() < 255;
}

// Clearly neither clear nor solid: a sliver of cover that the rasteriser rounds to nothing at 1x
// can show as a faint pixel at 2x.
bool isHalfTone(QRgb pixel)
{
    return qAlpha(pixel) >= 48 && qAlpha(pixel) <= 207;
}

// At a ratio of 2 the buttons are drawn anew, not enlarged: an enlarged picture is blurred (half
// tones spill onto pixels that were clear or solid) or blocky (each soft edge pixel becomes
// four, where a drawn edge stays one device pixel wide and so only doubles with its length).
TEST(TitleButtonPictures, SharpAtTwiceTheDevicePixels)
{
    theme::ThemedFrame frame;
    frame.resize(300, 100);
    for (QAbstractButton* button :
         {frame.controlBoxButton(), frame.closeButton(), frame.minimiseButton()}) {
        SCOPED_TRACE(button->objectName().toStdString());
        const QImage single = renderedAt(button, 1);
        const QImage twice = renderedAt(button, 2);
        ASSERT_EQ(twice.size(), single.size() * 2);
        int spilt = 0;
        for (int y = 0; y < twice.height(); ++y)
            for (int x = 0; x < twice.width(); ++x)
                spilt += isHalfTone(twice.pixel(x, y)) && !isSoft(single.pixelColor(x / 2, y / 2));
        EXPECT_EQ(spilt, 0);
        const int soft = countPixels(single, isSoft);
        EXPECT_GT(soft, 0);
        EXPECT_LT(countPixels(twice, isSoft), 3 * soft) << soft << " soft edge pixels at 1x";
    }
}

} // namespace
