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

#include "settings/camera_fields.h"
#include "telviq_version.h"
#include "tests/support/field_places.h"
#include "tests/support/form_file.h"
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
    EXPECT_EQ(form->state().searchListenSeconds, 1u);
    EXPECT_EQ(form->state().ackWaitSeconds, 10);
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

// Built and filled, the window still stands as its form file has it: every control in its place
// and parent, with its caption, items and tool tip.
TEST_F(WindowTest, ControlsSitWhereTheFormPutsThem)
{
    build();
    EXPECT_TRUE(form->windowFlags().testFlag(Qt::FramelessWindowHint));
    const std::vector<FormWidget> file = readFormFile();
    ASSERT_EQ(file.front().name, form->objectName());
    EXPECT_EQ(form->minimumSize(), file.front().geometry.size());
    EXPECT_EQ(form->maximumSize(), file.front().geometry.size());
    EXPECT_EQ(form->windowTitle(),
              file.front().strings.at("windowTitle").arg(QLatin1String(version::kMajorMinor)));

    auto* pages = control<QTabWidget>("IpCameraInfoPage");
    for (const FormWidget& expected : file) {
        if (expected.parent.isEmpty())
            continue;
        SCOPED_TRACE(expected.name.toStdString());
        const QWidget* widget = control(expected.name.toLatin1().constData());
        EXPECT_EQ(widget->metaObject()->className(), expected.className);
        if (expected.parent == pages->objectName()) {
            // A page, placed by its page control: its tab says its caption.
            EXPECT_EQ(pages->tabText(pages->indexOf(const_cast<QWidget*>(widget))),
                      expected.strings.at("tab"));
            continue;
        }
        EXPECT_EQ(widget->parentWidget()->objectName(), expected.parent);
        EXPECT_EQ(widget->geometry(), expected.geometry);
        EXPECT_EQ(widget->toolTip(),
                  expected.strings.count("toolTip") ? expected.strings.at("toolTip") : QString());
        // A caption the form leaves empty is the program's to set.
        for (const char* caption : {"text", "title"}) {
            if (expected.strings.count(caption) && !expected.strings.at(caption).isEmpty() &&
                !qobject_cast<const QLineEdit*>(widget)) {
                EXPECT_EQ(captionOf(widget), expected.strings.at(caption));
            }
        }
        if (const auto* group = qobject_cast<const theme::RadioGroup*>(widget)) {
            EXPECT_EQ(group->items(), expected.items);
        }
    }
    EXPECT_EQ(pages->count(), 5);

    auto* list = control<QTreeWidget>("listIpCamera");
    EXPECT_EQ(list->headerItem()->text(1), "Camera Description");
    EXPECT_EQ(list->columnWidth(0) + list->columnWidth(1), 200);
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

// The edits keep the states the form gives them, and the camera's take no more characters than
// their fields hold.
TEST_F(WindowTest, EditStatesAndInputLimits)
{
    build();
    for (const FormWidget& expected : readFormFile()) {
        if (expected.className != QLatin1String("QLineEdit"))
            continue;
        const auto* edit = control<QLineEdit>(expected.name.toLatin1().constData());
        EXPECT_EQ(edit->isEnabled(), expected.enabled) << expected.name.toStdString();
        EXPECT_EQ(edit->echoMode() == QLineEdit::Password, expected.password)
            << expected.name.toStdString();
    }

    // Typing stops at the limit; edits without one take a long text, disabled ones nothing.
    for (const settings::CameraField& field : settings::cameraFields()) {
        if (field.kind == settings::FieldKind::choice)
            continue;
        auto* edit = control<QLineEdit>(field.control);
        const int accepted = field.kind == settings::FieldKind::shown ? 0
                             : field.maxLength > 0 ? static_cast<int>(field.maxLength)
                                                   : 100;
        const qsizetype before = edit->text().size();
        QTest::keyClicks(edit, QString(accepted == 100 ? 100 : accepted + 1, QLatin1Char('k')));
        EXPECT_EQ(edit->text().size() - before, accepted) << field.name;
    }
    auto* hostName = control<QLineEdit>("txtHostName");
    const QString shown = hostName->text();
    QTest::keyClicks(hostName, QStringLiteral("kk"));
    EXPECT_EQ(hostName->text(), shown);
}

TEST_F(WindowTest, TabVisitsFindThePageOnTopSaveAndExit)
{
    fakes::CameraImage camera(1, "cam");
    camera.put(optionFlagsAt(), {0x02}); // time e-mail on, SMTP by domain name
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
