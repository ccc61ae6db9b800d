#include <cmath>
#include <set>

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>

#include "tests/support/ink.h"
#include "theme/radio_group.h"
#include "window_fixture.h"

namespace {

QString captionOf(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    return qobject_cast<const QGroupBox*>(widget)->title();
}

// The focused control as the form names it: a radio item by its group, the tab strip by its
// page control.
std::string focusName()
{
    QWidget* focus = QApplication::focusWidget();
    if (qobject_cast<QTabBar*>(focus) || qobject_cast<QRadioButton*>(focus))
        focus = focus->parentWidget();
    return focus ? focus->objectName().toStdString() : "<none>";
}

// A caption as a screen reader should say it.
QString spoken(QString caption)
{
    return caption.remove(QLatin1Char('&')).remove(QLatin1Char(':')).trimmed();
}

QRect placeInWindow(const QWidget* widget)
{
    return QRect(widget->mapTo(widget->window(), QPoint()), widget->size());
}

// How far apart two rectangles are; 0 when they touch or overlap.
double gapBetween(const QRect& a, const QRect& b)
{
    const int dx = qMax(0, qMax(a.left() - b.right(), b.left() - a.right()) - 1);
    const int dy = qMax(0, qMax(a.top() - b.bottom(), b.top() - a.bottom()) - 1);
    return std::hypot(dx, dy);
}

// The caption a sighted user reads for an edit: the label that is its buddy, or else the radio
// item nearest to its left on its row.
QString captionOfEdit(const QLineEdit* edit, const QWidget* form)
{
    for (const QLabel* label : form->findChildren<QLabel*>())
        if (label->buddy() == edit)
            return label->text();
    const QRect place = placeInWindow(edit);
    const QRadioButton* nearest = nullptr;
    for (const QRadioButton* item : form->findChildren<QRadioButton*>()) {
        const QRect itemPlace = placeInWindow(item);
        if (itemPlace.right() < place.left() && itemPlace.bottom() >= place.top() &&
            itemPlace.top() <= place.bottom() &&
            (!nearest || itemPlace.right() > placeInWindow(nearest).right()))
            nearest = item;
    }
    return nearest ? nearest->text() : QString();
}

QScreen* screenOfRatio(qreal ratio)
{
    for (QScreen* screen : QGuiApplication::screens())
        if (qFuzzyCompare(screen->devicePixelRatio(), ratio))
            return screen;
    return nullptr;
}

} // namespace

TEST_F(WindowTest, CreationLeavesNoCameraShownWithTheAdapterFacts)
{
    build();
    EXPECT_EQ(searchListenSeconds, 1u);
    EXPECT_EQ(ackWaitSeconds, 10);
    EXPECT_FALSE(control("IpCameraInfoPage")->isVisible());
    EXPECT_FALSE(control("cmdSave")->isEnabled());
    EXPECT_EQ(control<QTabWidget>("IpCameraInfoPage")->currentWidget(), control("pageMain"));
    EXPECT_EQ(captionOf(control("groupIpCameraInfo")), "Camera Information");
    const std::vector<std::pair<const char*, const char*>> pcGroup = {
        {"txtHostName", "pc1.example.test"},    {"txtAdapterName", "eth0"},
        {"txtMacAddress", "00-1A-2B-3C-4D-5E"}, {"txtIpAddress", "198.51.100.7"},
        {"txtSubnetMask", "255.255.255.0"},     {"txtGateway", "198.51.100.1"},
        {"txtDnsServer", "198.51.100.53"}};
    for (const auto& [name, text] : pcGroup)
        EXPECT_EQ(control<QLineEdit>(name)->text(), text) << name;
    for (auto* group : form->findChildren<theme::RadioGroup*>())
        EXPECT_EQ(group->itemIndex(), -1) << group->objectName().toStdString();
}

TEST_F(WindowTest, ControlsSitWhereTheFormPutsThem)
{
    build();
    EXPECT_EQ(form->objectName(), "Form1");
    EXPECT_EQ(form->windowTitle(), "TELVIQ Utility v1.6");
    EXPECT_TRUE(form->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(form->minimumSize(), QSize(741, 419));
    EXPECT_EQ(form->maximumSize(), QSize(741, 419));

    struct Place {
        const char* name;
        const char* parent;
        QRect geometry;
        const char* caption;
    };
    const std::vector<Place> places = {
        {"suiForm1", "Form1", {1, 0, 739, 418}, nullptr},
        {"groupPcNetwork", "suiForm1", {8, 32, 233, 209}, "PC Network Adapter Information"},
        {"lblMacAddress", "groupPcNetwork", {8, 67, 73, 17}, "Mac Address:"},
        {"groupCameraList", "suiForm1", {8, 248, 235, 145}, "TELVIQ on LAN"},
        {"listIpCamera", "groupCameraList", {8, 24, 217, 105}, nullptr},
        {"groupIpCameraInfo", "suiForm1", {248, 32, 473, 345}, nullptr},
        {"cmdFind", "suiForm1", {337, 384, 96, 23}, "&Find"},
        {"cmdSave", "suiForm1", {472, 384, 80, 23}, "&Save"},
        {"cmdExit", "suiForm1", {600, 384, 80, 23}, "E&xit"},
        {"IpCameraInfoPage", "groupIpCameraInfo", {8, 16, 449, 321}, nullptr},
        {"txtCameraDescription2", "pageMain", {169, 113, 261, 19}, nullptr},
        {"optImageQuality", "pageImage", {56, 108, 121, 89}, "Image Quality"},
        {"txtGateway2", "suiGroupBox1", {80, 102, 121, 19}, nullptr},
        {"Label8", "suiGroupBox3", {4, 69, 75, 17}, "Domain Name:"},
        {"txtSmtpIpAddress", "pageEmail", {152, 45, 217, 19}, nullptr},
        {"Label15", "pageEmail", {48, 179, 97, 17}, "E-mail Password"},
        {"txtHour", "optTimeEmail", {102, 25, 49, 19}, nullptr},
        {"Label17", "pagePassword", {40, 41, 145, 17}, "New Administrator Password:"},
    };
    for (const Place& place : places) {
        const QWidget* widget = control(place.name);
        EXPECT_EQ(widget->parentWidget()->objectName(), place.parent) << place.name;
        EXPECT_EQ(widget->geometry(), place.geometry) << place.name;
        if (place.caption) {
            EXPECT_EQ(captionOf(widget), place.caption) << place.name;
        }
    }
    EXPECT_EQ(control("cmdFind")->toolTip(), "Find all available TELVIQ on LAN");
    EXPECT_EQ(control("cmdSave")->toolTip(), "Save settings to current TELVIQ");
    EXPECT_TRUE(control("cmdExit")->toolTip().isEmpty());

    // Five pages, each below a tab strip 34 high.
    auto* pages = control<QTabWidget>("IpCameraInfoPage");
    const QStringList tabs = {"Main", "Image Parameter", "Network Config", "E-mail Config",
                              "Password"};
    ASSERT_EQ(pages->count(), 5);
    pages->show();
    for (int i = 0; i < 5; ++i) {
        pages->setCurrentIndex(i);
        EXPECT_EQ(pages->tabText(i), tabs[i]);
        EXPECT_EQ(QRect(pages->widget(i)->mapTo(pages, QPoint()), pages->widget(i)->size()),
                  QRect(0, 34, 449, 287));
    }

    const std::vector<std::pair<const char*, QStringList>> radioItems = {
        {"optMotionImage", {"Off", "On"}},
        {"optAntiFlicker", {"60 Hz", "50 Hz"}},
        {"optImageResolution", {"VGA (640x480)", "QVGA (320x240)"}},
        {"optImageQuality", {"High", "Middle", "Low"}},
        {"optImageBrightness", {"High", "Middle", "Low"}},
        {"optUpsideDown", {"Normal", "Upside-down"}},
        {"optNetworkType", {"Fixed IP", "PPPoE", "DHCP"}},
        {"optSmtpServerType", {"SMTP Domain Name:", "SMTP IP Address:"}},
        {"optTimeEmail", {"Off", "On"}},
        {"optEmailAuthentication", {"Off", "On"}},
        {"optUserPassword", {"Off", "On"}}};
    EXPECT_EQ(form->findChildren<theme::RadioGroup*>().size(), qsizetype(radioItems.size()));
    for (const auto& [name, items] : radioItems)
        EXPECT_EQ(control<theme::RadioGroup>(name)->items(), items) << name;

    auto* list = control<QTreeWidget>("listIpCamera");
    EXPECT_EQ(list->headerItem()->text(1), "Camera Description");
    EXPECT_EQ(list->columnWidth(0), 20);
    EXPECT_EQ(list->columnWidth(1), 180);
}

// Each label is the buddy of the edit beside it (the nearest of its group or page on its right or
// below it), and every control
// says to a screen reader the caption beside it: an edit its label's, the list its group's.
TEST_F(WindowTest, ControlsAreNamedByTheirCaptions)
{
    build();
    const auto edits = form->findChildren<QLineEdit*>();
    for (const QLabel* label : form->findChildren<QLabel*>()) {
        const QRect place = placeInWindow(label);
        const QLineEdit* nearest = nullptr;
        double nearestGap = 0;
        for (const QLineEdit* edit : edits) {
            const QRect editPlace = placeInWindow(edit);
            if (edit->parentWidget() != label->parentWidget() ||
                (editPlace.left() <= place.left() && editPlace.top() <= place.top()))
                continue;
            const double gap = gapBetween(place, editPlace);
            if (!nearest || gap < nearestGap) {
                nearest = edit;
                nearestGap = gap;
            }
        }
        EXPECT_EQ(label->buddy(), nearest) << label->objectName().toStdString();
    }

    for (QWidget* widget : form->findChildren<QWidget*>()) {
        QString caption;
        if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
            caption = captionOfEdit(edit, form.get());
        else if (const auto* group = qobject_cast<const theme::RadioGroup*>(widget))
            caption = group->title();
        else if (qobject_cast<const QTreeWidget*>(widget))
            caption = qobject_cast<const QGroupBox*>(widget->parentWidget())->title();
        else if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
            caption = button->text();
        else
            continue;
        const std::string name = widget->objectName().toStdString();
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr) << name;
        const std::string said = accessible->text(QAccessible::Name).toStdString();
        // Buttons that show pictures (the title bar's, the tab strip's arrows) are named all
        // the same.
        if (caption.isEmpty())
            EXPECT_FALSE(said.empty()) << name;
        else
            EXPECT_EQ(said, spoken(caption).toStdString()) << name;
    }
}

TEST_F(WindowTest, EditStatesAndInputLimits)
{
    build();
    const std::set<std::string> disabled = {
        "txtHostName",      "txtAdapterName",     "txtMacAddress", "txtIpAddress",
        "txtSubnetMask",    "txtGateway",         "txtDnsServer",  "txtMacAddress2",
        "txtUsedIPAddress", "txtFirmwareVersion2"};
    const std::set<std::string> masked = {
        "txtAdslPassword",     "txtDdnsPassword", "txtEmailPassword",  "txtAdminPassword",
        "txtNewAdminPassword", "txtUserPassword", "txtNewUserPassword"};
    const auto edits = form->findChildren<QLineEdit*>(QRegularExpression("^txt"));
    EXPECT_EQ(edits.size(), 34);
    for (QLineEdit* edit : edits) {
        const std::string name = edit->objectName().toStdString();
        EXPECT_EQ(edit->isEnabled(), disabled.count(name) == 0) << name;
        EXPECT_EQ(edit->echoMode() == QLineEdit::Password, masked.count(name) == 1) << name;
    }

    // Typing stops at the limit; edits without one take a long text, disabled ones nothing.
    const std::vector<std::pair<const char*, int>> typed = {
        {"txtCameraDescription2", 40}, {"txtDdnsDomainName", 81},  {"txtDdnsPassword", 21},
        {"txtAdslUserName", 30},       {"txtEmailCopy", 40},       {"txtEmailPassword", 20},
        {"txtAdminPassword", 10},      {"txtNewUserPassword", 10}, {"txtHour", 100},
        {"txtIpAddress2", 100},        {"txtMacAddress2", 0},      {"txtHostName", 0}};
    for (const auto& [name, accepted] : typed) {
        auto* edit = control<QLineEdit>(name);
        const qsizetype before = edit->text().size();
        QTest::keyClicks(edit, QString(accepted == 100 ? 100 : accepted + 1, QLatin1Char('k')));
        EXPECT_EQ(edit->text().size() - before, accepted) << name;
    }
}

TEST_F(WindowTest, TabVisitsFindThePageOnTopSaveAndExit)
{
    fakes::CameraImage camera(1, "cam");
    camera.put(protocol::offset::optionFlags, {0x02}); // time e-mail on, SMTP by domain name
    build();
    camerasAnswer({camera});
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    auto tabRound = [&](int presses) {
        control("cmdFind")->setFocus(Qt::TabFocusReason);
        std::vector<std::string> seen = {focusName()};
        for (int i = 0; i < presses; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen.push_back(focusName());
        }
        return seen;
    };
    using Names = std::vector<std::string>;

    // Nothing shown: the list, the PC edits and the disabled Save are passed by.
    EXPECT_EQ(tabRound(2), (Names{"cmdFind", "cmdExit", "cmdFind"}));

    click("cmdFind");
    selectRow(0);
    // A radio group is one stop; the SMTP address edit is disabled with SMTP by domain name.
    control<QTabWidget>("IpCameraInfoPage")->setCurrentWidget(control("pageEmail"));
    EXPECT_EQ(
        tabRound(17),
        (Names{"cmdFind", "IpCameraInfoPage", "optSmtpServerType", "txtSmtpDomain",
               "txtEmailSender", "txtEmailReceiver", "txtEmailCopy", "txtEmailAccount",
               "txtEmailPassword", "optTimeEmail", "txtHour", "txtMinute", "txtTriggerCount",
               "optEmailAuthentication", "cmdSave", "cmdExit", "cmdFind", "IpCameraInfoPage"}));
    control<QTabWidget>("IpCameraInfoPage")->setCurrentWidget(control("pageMain"));
    EXPECT_EQ(tabRound(5), (Names{"cmdFind", "IpCameraInfoPage", "txtCameraDescription2",
                                  "optMotionImage", "cmdSave", "cmdExit"}));
}

// A button pressed by its access key clicks a moment later, as a mouse click would look.
TEST_F(WindowTest, AccessKeysPressTheButtons)
{
    build();
    camerasAnswer({fakes::CameraImage(1, "cam")});
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));

    QTest::keyClick(form.get(), Qt::Key_S, Qt::AltModifier);
    QTest::qWait(300);
    EXPECT_TRUE(endpoint->sent.empty());
    EXPECT_TRUE(boxes.shown.empty());

    QTest::keyClick(form.get(), Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return endpoint->sent.size() == 3; }));
    EXPECT_EQ(control<QTreeWidget>("listIpCamera")->topLevelItemCount(), 1);

    QTest::keyClick(form.get(), Qt::Key_X, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }));
}

TEST_F(WindowTest, OptionHandlersFollowTheSendersItem)
{
    build();
    auto* timeEmail = control<theme::RadioGroup>("optTimeEmail");
    auto* smtpType = control<theme::RadioGroup>("optSmtpServerType");
    for (const int index : {1, 0, -1}) {
        timeEmail->setItemIndex(index);
        form->optTimeEmailClick(timeEmail);
        for (const char* name : {"lblHour", "txtHour", "lblMinute", "txtMinute"})
            EXPECT_EQ(control(name)->isEnabled(), index == 1) << name << " at " << index;
        smtpType->setItemIndex(index);
        form->optSmtpServerTypeClick(smtpType);
        EXPECT_EQ(control("txtSmtpIpAddress")->isEnabled(), index == 1) << index;
        EXPECT_EQ(control("txtSmtpDomain")->isEnabled(), index != 1) << index;
    }

    // The sender's item decides, not the group the handler is named after.
    auto* motion = control<theme::RadioGroup>("optMotionImage");
    motion->setItemIndex(1);
    form->optTimeEmailClick(motion);
    EXPECT_TRUE(control("txtHour")->isEnabled());

    // A click on an item runs the handler, also on the item already chosen.
    timeEmail->setItemIndex(0);
    form->optTimeEmailClick(timeEmail);
    QTest::mouseClick(timeEmail->itemButton(1), Qt::LeftButton);
    EXPECT_TRUE(control("txtMinute")->isEnabled());
    smtpType->setItemIndex(1);
    control("txtSmtpDomain")->setEnabled(true);
    QTest::mouseClick(smtpType->itemButton(1), Qt::LeftButton);
    EXPECT_FALSE(control("txtSmtpDomain")->isEnabled());
}

// Run with three screens of ratio 1, 1.5 and 2 (see CMakeLists.txt). The text grows with the
// ratio of the screen the window moves to, as the rest of the window does, and keeps its shape
// (the scaled face runs some 15 % wider for its height than the classic one; letters drawn at
// 100 % and spaced at 200 % run twice as wide).
TEST_F(WindowTest, TextScalesWithTheScreenItIsOn)
{
    const qreal ratios[] = {1.0, 1.5, 2.0};
    for (const qreal ratio : ratios)
        if (!screenOfRatio(ratio))
            GTEST_SKIP() << "no screen of ratio " << ratio;
    build();
    QWindow* window = form->windowHandle();
    auto* label = control<QLabel>("lblHostName");
    auto inkOn = [&](qreal ratio) {
        window->setScreen(screenOfRatio(ratio));
        QCoreApplication::processEvents();
        EXPECT_EQ(label->devicePixelRatioF(), ratio);
        return inkBox(*label);
    };

    const QRect classic = inkOn(1.0);
    ASSERT_GT(classic.height(), 0);
    const double shape = double(classic.width()) / classic.height();
    for (const qreal ratio : ratios) {
        const QRect ink = inkOn(ratio);
        SCOPED_TRACE(testing::Message()
                     << "ink " << ink.width() << " x " << ink.height() << " at " << ratio << ", "
                     << classic.width() << " x " << classic.height() << " at 1");
        EXPECT_NEAR(double(ink.height()) / classic.height(), ratio, 0.15 * ratio);
        EXPECT_NEAR(double(ink.width()) / ink.height(), shape, 0.2 * shape);
        // Radio items are arranged for the new face, on hidden pages too.
        for (const QRadioButton* item : form->findChildren<QRadioButton*>())
            EXPECT_GE(item->width(), item->sizeHint().width()) << item->text().toStdString();
    }

    // A dialog opened from the window on that screen draws its text the same way.
    QMessageBox box(QMessageBox::Information, QStringLiteral("Scale"), label->text(),
                    QMessageBox::Ok, form.get());
    box.show();
    auto* boxText = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(boxText, nullptr);
    EXPECT_EQ(inkBox(*boxText).height(), inkBox(*label).height());
    box.close();

    // Back on a screen of ratio 1, the window looks as it first did.
    EXPECT_EQ(inkOn(1.0), classic);
}
