#include <climits>
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "tests/support/ink.h"
#include "theme/radio_group.h"
#include "theme/themed_frame.h"
#include "ui_Unit1.h"

namespace {

// A text fits its box when its ink spans as far as in a far larger box. (Its span, not its count
// of pixels: smoothed edges blend with a button's gradient a little differently at another height.)
template <typename Widget> void expectFits(const QString& text, QSize box, QSize room = {80, 20})
{
    Widget tight(text);
    Widget roomy(text);
    if constexpr (std::is_same_v<Widget, QLabel>) {
        tight.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        roomy.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    tight.resize(box);
    roomy.resize(box + room);
    const QRect shown = inkBox(tight);
    EXPECT_FALSE(shown.isEmpty()) << qPrintable(text);
    EXPECT_EQ(shown.size(), inkBox(roomy).size()) << qPrintable(text) << " in " << box.width();
}

// Every caption of the window's form fits the box the form gives it.
class FormCaptions : public testing::Test {
protected:
    void SetUp() override { ui.setupUi(&window); }

    QWidget window;
    Ui::TForm1 ui;
};

TEST_F(FormCaptions, LabelsButtonsAndAddressesFitTheirBoxes)
{
    for (const QLabel* label : window.findChildren<QLabel*>())
        expectFits<QLabel>(label->text(), label->size());
    for (const QPushButton* button : window.findChildren<QPushButton*>())
        expectFits<QPushButton>(button->text(), button->size());
    expectFits<QLineEdit>(QStringLiteral("255.255.255.255"), ui.txtIpAddress->size(), {100, 0});
    expectFits<QLineEdit>(QStringLiteral("00-1A-2B-3C-4D-5E"), ui.txtMacAddress->size(), {100, 0});
}

// A group's caption sits on its top border and must end before the right-hand one.
TEST_F(FormCaptions, GroupTitlesEndInsideTheirGroups)
{
    for (const QGroupBox* group : window.findChildren<QGroupBox*>()) {
        const QString title = group->title();
        if (title.isEmpty())
            continue;
        const int width = group->width();
        QGroupBox tight(title);
        QGroupBox roomy(title);
        tight.resize(width, 60);
        roomy.resize(width + 120, 60);
        const int band = tight.fontMetrics().height() + 2;
        const QRect shown = inkBox(tight, width - 2, band);
        EXPECT_FALSE(shown.isEmpty()) << qPrintable(title);
        EXPECT_EQ(shown.size(), inkBox(roomy, INT_MAX, band).size()) << qPrintable(title);
    }
}

// The form test covers the items with fields beside them; every other item ends inside its group.
TEST_F(FormCaptions, RadioItemsFitTheirGroups)
{
    window.show();
    for (theme::RadioGroup* group : window.findChildren<theme::RadioGroup*>()) {
        if (!group->findChildren<QLineEdit*>().isEmpty())
            continue;
        QWidget* page = group->parentWidget();
        ui.IpCameraInfoPage->setCurrentWidget(page);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        for (int i = 0; i < group->items().size(); ++i) {
            const QRadioButton* item = group->itemButton(i);
            EXPECT_GE(item->width(), item->sizeHint().width()) << qPrintable(group->items()[i]);
            EXPECT_LT(item->geometry().right(), group->width() - 1)
                << qPrintable(group->items()[i]);
        }
    }
}

TEST_F(FormCaptions, TabsStartTenInAndPagesFillTheRest)
{
    QTabWidget& pages = *ui.IpCameraInfoPage;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    for (int i = 0; i < pages.count(); ++i) {
        pages.setCurrentIndex(i);
        const QWidget* page = pages.widget(i);
        EXPECT_EQ(QRect(page->mapTo(&pages, QPoint(0, 0)), page->size()), QRect(0, 34, 449, 287))
            << "page " << i;
    }
    const QTabBar* bar = pages.tabBar();
    EXPECT_EQ(bar->mapTo(&pages, bar->tabRect(0).topLeft()).x(), 10);
    for (int i = 0; i < bar->count(); ++i) {
        const QRect tab = bar->tabRect(i);
        EXPECT_GE(tab.width(), bar->fontMetrics().horizontalAdvance(bar->tabText(i)) + 8) << i;
        EXPECT_LE(bar->mapTo(&pages, tab.bottomRight()).x(), 448) << i;
    }
}

TEST(Look, PasswordsShowStarsAndTheListKeepsItsSelectionVisible)
{
    QLineEdit password;
    password.setEchoMode(QLineEdit::Password);
    password.setText(QStringLiteral("s3cret"));
    password.ensurePolished();
    EXPECT_EQ(password.displayText(), QStringLiteral("******"));

    QTreeWidget list;
    list.ensurePolished();
    const QPalette palette = list.palette();
    const QColor active = palette.color(QPalette::Active, QPalette::Highlight);
    EXPECT_EQ(palette.color(QPalette::Inactive, QPalette::Highlight), active);
    EXPECT_NE(palette.color(QPalette::Inactive, QPalette::Base), active);
}

} // namespace
