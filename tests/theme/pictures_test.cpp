#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QTemporaryDir>

#include "theme/pictures.h"
#include "theme/theme.h"

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

} // namespace
