#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include "theme/themed_frame.h"

namespace {

class ThemedFrameTest : public testing::Test {
protected:
    void SetUp() override
    {
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        window.setFixedSize(741, 419);
        window.move(100, 80);
        frame = new theme::ThemedFrame(&window);
        frame->setGeometry(1, 0, 739, 418);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        start = window.geometry();
        origin = frame->mapToGlobal(QPoint(0, 0));
    }

    void click(const char* name)
    {
        auto* button = window.findChild<QAbstractButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }

    void drag(Qt::MouseButton button, QPoint from, QPoint to)
    {
        // The mouse's screen position stays put while the window moves under it.
        const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton b,
                              Qt::MouseButtons held) {
            QMouseEvent event(type, QPointF(at), QPointF(origin + at), b, held, Qt::NoModifier);
            QApplication::sendEvent(frame, &event);
        };
        send(QEvent::MouseButtonPress, from, button, button);
        send(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, button);
        send(QEvent::MouseMove, to, Qt::NoButton, button);
        send(QEvent::MouseButtonRelease, to, button, Qt::NoButton);
    }

    QWidget window;
    theme::ThemedFrame* frame = nullptr;
    QRect start;
    QPoint origin;
};

TEST_F(ThemedFrameTest, ButtonsAreSeventeenSquareInTheTitleBarAndNamed)
{
    QAbstractButton* buttons[] = {frame->controlBoxButton(), frame->closeButton(),
                                  frame->minimiseButton()};
    const char* names[] = {"System menu", "Close", "Minimise"};
    for (int i = 0; i < 3; ++i) {
        const QAbstractButton* b = buttons[i];
        EXPECT_EQ(b->geometry().size(), QSize(17, 17)) << qPrintable(b->objectName());
        EXPECT_EQ(b->y(), 4);
        EXPECT_TRUE(frame->rect().contains(b->geometry()));
        // What a screen reader announces; the buttons show no text.
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(buttons[i]);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Name), names[i]);
        EXPECT_EQ(accessible->role(), QAccessible::Button);
    }
    // From the right edge leftwards, without overlapping.
    EXPECT_GT(buttons[0]->x(), buttons[1]->geometry().right());
    EXPECT_GT(buttons[1]->x(), buttons[2]->geometry().right());
}

TEST_F(ThemedFrameTest, CloseButtonClosesTheWindow)
{
    click("titleClose");
    EXPECT_FALSE(window.isVisible());
}

TEST_F(ThemedFrameTest, MinimiseButtonMinimisesTheWindow)
{
    click("titleMinimise");
    EXPECT_TRUE(window.isMinimized());
    EXPECT_TRUE(window.isVisible());
}

TEST_F(ThemedFrameTest, ControlBoxOpensTheSystemMenu)
{
    QStringList items;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr)
            return;
        for (QAction* action : menu->actions())
            items << action->text();
        menu->setActiveAction(menu->actions().value(1));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    click("titleControlBox");
    EXPECT_EQ(items, QStringList({"Minimise", "Close"}));
    EXPECT_FALSE(window.isVisible());
}

TEST_F(ThemedFrameTest, TitleDoubleClickChangesNothing)
{
    QTest::mouseDClick(frame, Qt::LeftButton, Qt::NoModifier, QPoint(300, 10));
    QTest::qWait(20);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowState(), Qt::WindowNoState);
    EXPECT_EQ(window.geometry(), start);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(ThemedFrameTest, OnlyALeftDragOnTheTitleBarMovesTheWindow)
{
    drag(Qt::LeftButton, {300, 60}, {340, 90});
    drag(Qt::RightButton, {300, 10}, {340, 30});
    EXPECT_EQ(window.geometry(), start);

    drag(Qt::LeftButton, {300, 10}, {340, 35});
    EXPECT_EQ(window.pos(), start.topLeft() + QPoint(40, 25));
}

} // namespace
