#include <gtest/gtest.h>

#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "settings/camera_fields.h"
#include "theme/radio_group.h"
#include "theme/themed_frame.h"
#include "ui_Unit1.h"

namespace {

// The window's form with the theme's widgets promoted in it, on its E-mail page.
class PromotedFormTest : public testing::Test {
protected:
    void SetUp() override
    {
        ui.setupUi(&window);
        ui.IpCameraInfoPage->setCurrentWidget(ui.pageEmail);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QWidget window;
    Ui::TForm1 ui;
};

// The window finds each field's control by the name the field table gives it: the form must
// have it, of the field's kind, and a radio group must offer the field's items.
TEST_F(PromotedFormTest, EveryCameraFieldHasItsControl)
{
    for (const settings::CameraField& field : settings::cameraFields()) {
        SCOPED_TRACE(field.name);
        const QString name = QString::fromLatin1(field.control);
        if (field.kind == settings::FieldKind::choice) {
            const auto* group = window.findChild<theme::RadioGroup*>(name);
            ASSERT_NE(group, nullptr) << field.control;
            QStringList items;
            for (const std::string& item : field.items)
                items << QString::fromStdString(item);
            EXPECT_EQ(group->items(), items);
            continue;
        }
        const auto* edit = window.findChild<QLineEdit*>(name);
        ASSERT_NE(edit, nullptr) << field.control;
        EXPECT_EQ(edit->echoMode() == QLineEdit::Password,
                  field.kind == settings::FieldKind::password);
        EXPECT_EQ(edit->isEnabled(), field.kind != settings::FieldKind::shown);
    }
}

TEST_F(PromotedFormTest, FormSetsTitleAndItems)
{
    EXPECT_EQ(ui.optSmtpServerType->title(), QStringLiteral("SMTP Server Type"));
    EXPECT_EQ(ui.optSmtpServerType->items().size(), 2);
    EXPECT_EQ(ui.optSmtpServerType->itemButton(1)->text(), QStringLiteral("SMTP IP Address:"));
    EXPECT_EQ(ui.optSmtpServerType->itemIndex(), -1);
}

TEST_F(PromotedFormTest, ItemsLabelTheFieldsBesideThem)
{
    const std::tuple<theme::RadioGroup*, int, QWidget*> rows[] = {
        {ui.optSmtpServerType, 0, ui.txtSmtpDomain},
        {ui.optSmtpServerType, 1, ui.txtSmtpIpAddress},
        {ui.optTimeEmail, 0, ui.lblHour},
        {ui.optTimeEmail, 1, ui.lblMinute},
        {ui.optTimeEmail, 0, ui.txtHour},
        {ui.optTimeEmail, 1, ui.txtMinute}};
    for (const auto& [group, index, field] : rows) {
        SCOPED_TRACE(field->objectName().toStdString());
        const QRadioButton* item = group->itemButton(index);
        const QRect itemRect(item->mapTo(ui.pageEmail, QPoint(0, 0)), item->size());
        const QRect fieldRect(field->mapTo(ui.pageEmail, QPoint(0, 0)), field->size());
        EXPECT_LE(qAbs(itemRect.center().y() - fieldRect.center().y()), 4);
        EXPECT_LT(itemRect.right(), fieldRect.left());
    }
    // Fields inside a group stay above its items, also when the items are replaced.
    ui.optTimeEmail->setItems({QStringLiteral("Off"), QStringLiteral("On")});
    const QWidget* fields[] = {ui.lblHour, ui.txtHour, ui.lblMinute, ui.txtMinute};
    for (const QWidget* field : fields)
        EXPECT_EQ(ui.optTimeEmail->childAt(field->geometry().center()), field);
}

} // namespace
