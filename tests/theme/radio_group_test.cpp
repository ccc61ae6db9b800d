#include <climits>
#include <gtest/gtest.h>

#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "theme/radio_group.h"

namespace {

class RadioGroupTest : public testing::Test {
protected:
    void SetUp() override
    {
        group = new theme::RadioGroup(&host);
        group->setTitle(QStringLiteral("Network Type"));
        group->setItems(
            {QStringLiteral("Fixed IP"), QStringLiteral("PPPoE"), QStringLiteral("DHCP")});
        group->setGeometry(8, 11, 209, 86);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    }

    int checkedCount() const
    {
        int count = 0;
        for (int i = 0; i < group->items().size(); ++i)
            count += group->itemButton(i)->isChecked() ? 1 : 0;
        return count;
    }

    QWidget host;
    theme::RadioGroup* group = nullptr;
};

TEST_F(RadioGroupTest, EveryClickEmitsEvenOnTheChosenItem)
{
    QSignalSpy spy(group, &theme::RadioGroup::itemClicked);
    QTest::mouseClick(group->itemButton(1), Qt::LeftButton);
    QTest::mouseClick(group->itemButton(1), Qt::LeftButton);
    QRadioButton* focused = group->itemButton(2);
    focused->setFocus();
    QTest::keyClick(focused, Qt::Key_Space);
    QTest::keyClick(focused, Qt::Key_Return);
    QTest::keyClick(focused, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(focused, Qt::Key_Return, Qt::ControlModifier);

    QList<int> emitted;
    for (const QList<QVariant>& arguments : spy)
        emitted << arguments.at(0).toInt();
    EXPECT_EQ(emitted, QList<int>({1, 1, 2, 2, 2}));
    EXPECT_EQ(group->itemIndex(), 2);
    EXPECT_EQ(checkedCount(), 1);
}

TEST_F(RadioGroupTest, IndexFromCodeEmitsNothingAndIgnoresIndexesWithoutItems)
{
    QSignalSpy spy(group, &theme::RadioGroup::itemClicked);
    EXPECT_EQ(group->itemIndex(), -1);
    EXPECT_EQ(checkedCount(), 0);

    group->setItemIndex(1);
    for (const int index : {3, 255, INT_MAX, -2, INT_MIN})
        group->setItemIndex(index);
    EXPECT_EQ(group->itemIndex(), 1);

    group->setItemIndex(-1);
    EXPECT_EQ(group->itemIndex(), -1);
    EXPECT_EQ(checkedCount(), 0);

    // Still exclusive after being cleared.
    group->setItemIndex(0);
    group->setItemIndex(2);
    EXPECT_EQ(checkedCount(), 1);
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(RadioGroupTest, NewItemsKeepAChoiceThatStillHasAnItem)
{
    group->setItemIndex(1);
    group->setItems({QStringLiteral("Off"), QStringLiteral("On")});
    EXPECT_EQ(group->itemIndex(), 1);
    EXPECT_EQ(group->itemButton(1)->text(), QStringLiteral("On"));
    group->setItems({QStringLiteral("Only")});
    EXPECT_EQ(group->itemIndex(), -1);
}

} // namespace
