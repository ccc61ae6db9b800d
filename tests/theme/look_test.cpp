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

namespace {

// A text fits its box when its ink spans as far as in a far larger box. (Its span, not its count
// of pixels: smoothed edges blend with a button's gradient a little differently at another height.)
template <typename Widget> void expectFits(const char* text, QSize box, QSize room = {80, 20})
{
    Widget tight(QString::fromLatin1(text));
    Widget roomy(QString::fromLatin1(text));
    if constexpr (std::is_same_v<Widget, QLabel>) {
        tight.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        roomy.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    tight.resize(box);
    roomy.resize(box + room);
    const QRect shown = inkBox(tight);
    EXPECT_FALSE(shown.isEmpty()) << text;
    EXPECT_EQ(shown.size(), inkBox(roomy).size()) << text << " in " << box.width();
}

TEST(Captions, LabelsButtonsAndAddressesFitTheirBoxes)
{
    const std::pair<const char*, int> labels[] = {
        {"Adapter Name:", 77},
        {"Subnet Mask:", 73},
        {"DNS Server:", 73},
        {"Firmware Version:", 113},
        {"Camera Description:", 113},
        {"User Name:", 65},
        {"Subnet Mask:", 69},
        {"DNS Server:", 65},
        {"Password:", 57},
        {"Domain Name:", 75},
        {"E-mail Receiver:", 97},
        {"E-mail Account:", 97},
        {"E-mail Password", 97},
        {"Minute:", 47},
        {"Trigger Count:", 72},
        {"Administrator Password:", 145},
        {"New Administrator Password:", 145},
    };
    for (const auto& [text, width] : labels)
        expectFits<QLabel>(text, QSize(width, 17));
    expectFits<QPushButton>("&Find", QSize(96, 23));
    expectFits<QPushButton>("&Save", QSize(80, 23));
    expectFits<QPushButton>("E&xit", QSize(80, 23));
    expectFits<QLineEdit>("255.255.255.255", QSize(121, 19), QSize(100, 0));
    expectFits<QLineEdit>("00-1A-2B-3C-4D-5E", QSize(121, 19), QSize(100, 0));
}

// A group's caption sits on its top border and must end before the right-hand one.
TEST(Captions, GroupTitlesEndInsideTheirGroups)
{
    const std::pair<const char*, int> groups[] = {
        {"PC Network Adapter Information", 233},
        {"DDNS Configuration", 209},
        {"E-mail Trigger Count", 121},
        {"Anti-Flicker Setting", 121},
        {"Image Orientation", 121},
        {"E-mail Authentication", 120},
    };
    for (const auto& [title, width] : groups) {
        QGroupBox tight(QString::fromLatin1(title));
        QGroupBox roomy(QString::fromLatin1(title));
        tight.resize(width, 60);
        roomy.resize(width + 120, 60);
        const int band = tight.fontMetrics().height() + 2;
        const QRect shown = inkBox(tight, width - 2, band);
        EXPECT_FALSE(shown.isEmpty()) << title;
        EXPECT_EQ(shown.size(), inkBox(roomy, INT_MAX, band).size()) << title;
    }
}

// The widest items stand in groups 121 wide; the form test covers items with fields beside them.
TEST(Captions, RadioItemsFitNarrowGroups)
{
    for (const QStringList& items :
         {QStringList{"VGA (640x480)", "QVGA (320x240)"}, QStringList{"Normal", "Upside-down"}}) {
        theme::RadioGroup group;
        group.setItems(items);
        group.resize(121, 69);
        group.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&group));
        for (int i = 0; i < items.size(); ++i) {
            const QRadioButton* item = group.itemButton(i);
            EXPECT_GE(item->width(), item->sizeHint().width()) << qPrintable(items[i]);
            EXPECT_LT(item->geometry().right(), 120) << qPrintable(items[i]);
        }
    }
}

TEST(PageControl, TabsStartTenInAndPagesFillTheRest)
{
    QTabWidget pages;
    for (const char* caption :
         {"Main", "Image Parameter", "Network Config", "E-mail Config", "Password"})
        pages.addTab(new QWidget, QString::fromLatin1(caption));
    pages.resize(449, 321);
    pages.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pages));

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
