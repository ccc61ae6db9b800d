#include <QClipboard>
#include <QCursor>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

#include "net/exceptions.h"
#include "theme/radio_group.h"
#include "window_fixture.h"

namespace {

namespace offset = protocol::offset;

// A camera whose reported values pass every check of Save.
fakes::CameraImage validCamera(std::uint8_t lastMacByte, const std::string& description)
{
    fakes::CameraImage camera(lastMacByte, description);
    camera.put(offset::hour, {8}).put(offset::minute, {30});
    return camera;
}

// The camera's acknowledgement of a parameter packet: the tag, then the packet's MAC.
std::vector<fakes::Arrival> acknowledge(const fakes::SentDatagram& sent)
{
    if (sent.port != protocol::kParameterPort)
        return {};
    const std::string tag = "MORVAK INFO ACK ";
    std::vector<std::uint8_t> ack(tag.begin(), tag.end());
    ack.insert(ack.end(), sent.bytes.begin() + 22, sent.bytes.begin() + 28);
    return {{30, ack}};
}

// Types the text key by key, as a keyboard whose keys give these characters would (QTest's own
// keyClicks knows only the keys of ASCII).
void type(QWidget* edit, const QString& text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

QString caption(const QWidget* group)
{
    return static_cast<const QGroupBox*>(group)->title();
}

} // namespace

TEST_F(WindowTest, FindListsTheCamerasAndDropsTheCameraOnShow)
{
    fakes::CameraImage nameless(3);
    nameless.put(offset::cameraDescription, {255});
    build();
    camerasAnswer({validCamera(1, "Front door"), validCamera(2, "Garage"), nameless});
    auto* list = control<QTreeWidget>("listIpCamera");
    click("cmdFind");
    selectRow(1);
    ASSERT_TRUE(control("IpCameraInfoPage")->isVisible());

    click("cmdFind");
    EXPECT_FALSE(control("IpCameraInfoPage")->isVisible());
    EXPECT_FALSE(control("cmdSave")->isEnabled());
    EXPECT_EQ(caption(control("groupIpCameraInfo")), "Camera Information");
    EXPECT_TRUE(list->selectedItems().isEmpty());
    const QStringList rows = {"1", "Front door", "2", "Garage", "3", ""};
    ASSERT_EQ(list->topLevelItemCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list->topLevelItem(i)->text(0), rows[2 * i]);
        EXPECT_EQ(list->topLevelItem(i)->text(1), rows[2 * i + 1]);
        EXPECT_FALSE(list->topLevelItem(i)->flags().testFlag(Qt::ItemIsEditable));
    }
    ASSERT_EQ(endpoint->sent.size(), 6u);
    EXPECT_EQ(endpoint->sent[5].host, "255.255.255.255");
    EXPECT_EQ(endpoint->sent[5].port, protocol::kSearchPort);
}

TEST_F(WindowTest, SelectionShowsTheRecordOfItsRow)
{
    auto lobby = validCamera(1, "Lobby");
    lobby.put(offset::networkType, {2})
        .put(offset::imageFlags, {0x6A})
        .put(offset::optionFlags, {0x01}) // SMTP by address, time e-mail off
        .put(offset::usedIPAddress, {203, 0, 113, 21})
        .put(offset::hour, {200})
        .text(offset::smtpDomain, "smtp.example.test");
    auto yard = validCamera(2, "A&B Yard");
    yard.put(offset::networkType, {3}).put(offset::imageFlags, {0x76}); // v = 7, brightness 3
    build();
    camerasAnswer({lobby, yard});
    click("cmdFind");
    auto* pages = control<QTabWidget>("IpCameraInfoPage");
    pages->setCurrentWidget(control("pageNetwork"));
    selectRow(0);

    EXPECT_EQ(selectedCameraIndex, 0);
    EXPECT_TRUE(control("cmdSave")->isEnabled());
    EXPECT_TRUE(pages->isVisible());
    EXPECT_EQ(pages->currentWidget(), control("pageNetwork"));
    EXPECT_EQ(caption(control("groupIpCameraInfo")), "Lobby");
    EXPECT_EQ(control<QLineEdit>("txtMacAddress2")->text(), "00-11-22-33-44-01");
    EXPECT_EQ(control<QLineEdit>("txtUsedIPAddress")->text(), "203.0.113.21");
    EXPECT_EQ(control<QLineEdit>("txtHour")->text(), "200");
    EXPECT_EQ(control<QLineEdit>("txtSmtpDomain")->text(), "smtp.example.test");
    auto index = [&](const char* name) { return control<theme::RadioGroup>(name)->itemIndex(); };
    const std::vector<std::pair<const char*, int>> lobbyItems = {
        {"optImageResolution", 1}, {"optImageQuality", 2}, {"optImageBrightness", 1},
        {"optAntiFlicker", 1},     {"optUpsideDown", 0},   {"optNetworkType", 2}};
    for (const auto& [name, item] : lobbyItems)
        EXPECT_EQ(index(name), item) << name;
    EXPECT_FALSE(control("txtHour")->isEnabled());
    EXPECT_FALSE(control("lblMinute")->isEnabled());
    EXPECT_TRUE(control("txtSmtpIpAddress")->isEnabled());
    EXPECT_FALSE(control("txtSmtpDomain")->isEnabled());

    // Values without an item leave the previous camera's choice.
    selectRow(1);
    EXPECT_EQ(selectedCameraIndex, 1);
    EXPECT_EQ(caption(control("groupIpCameraInfo")), "A&&B Yard"); // shown, not an access key
    const std::vector<std::pair<const char*, int>> yardItems = {{"optNetworkType", 2},
                                                                {"optImageBrightness", 1},
                                                                {"optImageResolution", 0},
                                                                {"optImageQuality", 0}};
    for (const auto& [name, item] : yardItems)
        EXPECT_EQ(index(name), item) << name;
    EXPECT_TRUE(control("txtSmtpDomain")->isEnabled());
}

TEST_F(WindowTest, ReselectionRefillsAndDeselectionKeepsEdits)
{
    auto one = validCamera(1, "One");
    one.text(offset::emailSender, "cam@example.test");
    build();
    camerasAnswer({one, validCamera(2, "Two")});
    click("cmdFind");
    selectRow(0);
    auto* password = control<QLineEdit>("txtAdminPassword");
    auto* sender = control<QLineEdit>("txtEmailSender");
    QTest::keyClicks(password, "secret");
    sender->setText("changed@example.test");

    control<QTreeWidget>("listIpCamera")->clearSelection();
    EXPECT_FALSE(control("IpCameraInfoPage")->isVisible());
    EXPECT_FALSE(control("cmdSave")->isEnabled());
    EXPECT_EQ(caption(control("groupIpCameraInfo")), "Camera Information");
    EXPECT_EQ(sender->text(), "changed@example.test");
    EXPECT_EQ(password->text(), "secret");

    selectRow(1);
    selectRow(0);
    EXPECT_TRUE(password->text().isEmpty());
    EXPECT_EQ(sender->text(), "cam@example.test");
}

TEST_F(WindowTest, SaveRefusesTheFirstInvalidFieldAndSendsNothing)
{
    build();
    camerasAnswer({validCamera(1, "One")});
    click("cmdFind");
    selectRow(0);
    control<QLineEdit>("txtIpAddress2")->setText("10.0.0");
    control<QLineEdit>("txtHour")->setText("24");

    click("cmdSave");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Invalid input in IP Address field.\n\nPlease check again.\n");
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes.shown[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(boxes.shown[0].caption, app::applicationTitle());
    EXPECT_EQ(boxes.shown[0].owner, form.get());
    EXPECT_EQ(endpoint->sent.size(), 3u); // the Find's only
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(control<QLineEdit>("txtIpAddress2")->text(), "10.0.0");
}

TEST_F(WindowTest, SaveReportsWhetherTheCameraAcknowledged)
{
    build();
    camerasAnswer({validCamera(1, "One"), validCamera(2, "Two")});
    click("cmdFind");
    selectRow(1);

    endpoint->respond = acknowledge;
    std::uint32_t start = endpoint->now;
    click("cmdSave");
    const fakes::SentDatagram& packet = endpoint->sent.back();
    EXPECT_EQ(packet.host, "255.255.255.255");
    EXPECT_EQ(packet.port, protocol::kParameterPort);
    ASSERT_EQ(packet.bytes.size(), protocol::kParameterPacketSize);
    EXPECT_EQ(packet.bytes[27], 0x02); // the selected camera's MAC
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Settings write ok!\n");
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Information);
    EXPECT_EQ(boxes.shown[0].caption, "TELVIQ");
    EXPECT_EQ(boxes.shown[0].owner, form.get());
    EXPECT_LT(endpoint->now - start, 1000u);

    endpoint->respond = nullptr;
    start = endpoint->now;
    click("cmdSave");
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, "Settings write fail!\n");
    EXPECT_EQ(boxes.shown[1].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes.shown[1].caption, "TELVIQ");
    EXPECT_GE(endpoint->now - start, 10000u);
}

TEST_F(WindowTest, EndpointErrorDuringSaveIsShownAndTheWindowGoesOn)
{
    build();
    camerasAnswer({validCamera(1, "One")});
    click("cmdFind");
    selectRow(0);

    endpoint->onSend = [] { throw net::EIdSocketError(10051); };
    click("cmdSave");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Socket Error # 10051\r\nNetwork is unreachable.");
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes.shown[0].caption, app::applicationTitle());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(control("IpCameraInfoPage")->isVisible());

    endpoint->onSend = nullptr;
    endpoint->respond = acknowledge;
    click("cmdSave");
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, "Settings write ok!\n");
}

// While Find or Save waits, the window handles its events but refuses the user's input.
TEST_F(WindowTest, InputDuringFindAndSaveIsRefused)
{
    build();
    camerasAnswer({validCamera(1, "One")});
    bool interrupted = false, waitCursor = false, closeRefused = false;
    endpoint->onReceive = [&] {
        const QCursor* cursor = QApplication::overrideCursor();
        waitCursor = cursor && cursor->shape() == Qt::WaitCursor;
        if (!interrupted)
            QTimer::singleShot(0, [&] {
                for (const char* button : {"cmdExit", "cmdFind", "cmdSave"})
                    QTest::mouseClick(control(button), Qt::LeftButton);
                closeRefused = !form->close();
            });
        interrupted = true;
    };

    click("cmdFind");
    EXPECT_TRUE(waitCursor);
    EXPECT_TRUE(closeRefused);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(endpoint->sent.size(), 3u);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    selectRow(0);
    interrupted = waitCursor = closeRefused = false;
    click("cmdSave");
    EXPECT_TRUE(waitCursor);
    EXPECT_TRUE(closeRefused);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(endpoint->sent.size(), 4u);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Settings write fail!\n");

    // Once the work is done, the same input gets through.
    QTest::mouseClick(control("cmdExit"), Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(WindowTest, EditsTakeOnlyCharactersACameraCanStore)
{
    build();
    camerasAnswer({validCamera(1, "One")});
    click("cmdFind");
    selectRow(0);
    auto* password = control<QLineEdit>("txtNewAdminPassword");
    auto* description = control<QLineEdit>("txtCameraDescription2");
    auto* address = control<QLineEdit>("txtIpAddress2");
    const QString cyrillic = QString::fromUtf8("пароль");
    const QString outside = QString::fromUtf8("aőb"); // U+0151, which Windows-1252 lacks
    auto paste = [](QLineEdit* edit, const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        QTest::keySequence(edit, QKeySequence::Paste);
    };

    type(password, cyrillic);
    paste(password, cyrillic);
    EXPECT_EQ(password->text(), "");
    QTest::keyClicks(password, "pass");
    paste(password, QString::fromUtf8("€é"));
    type(password, QString::fromUtf8("Ж"));
    paste(password, outside);
    EXPECT_EQ(password->text(), QString::fromUtf8("pass€é"));

    description->selectAll();
    type(description, QString::fromUtf8("Café"));
    paste(description, QString::fromUtf8(" €5"));
    paste(description, outside);
    type(description, QString::fromUtf8("ő"));
    EXPECT_EQ(description->text(), QString::fromUtf8("Café €5"));
    const QString before = address->text();
    type(address, QString::fromUtf8("Ж"));
    EXPECT_EQ(address->text(), before);

    endpoint->respond = acknowledge;
    click("cmdSave");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Settings write ok!\n");
    const std::vector<std::uint8_t>& packet = endpoint->sent.back().bytes;
    auto counted = [&](std::size_t at) {
        return std::string(packet.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                           packet.begin() + static_cast<std::ptrdiff_t>(at) + 1 + packet[at]);
    };
    EXPECT_EQ(counted(offset::newAdminPassword), "pass\x80\xE9");
    EXPECT_EQ(counted(offset::cameraDescription), "Caf\xE9 \x80"
                                                  "5");
}

TEST_F(WindowTest, ACameraTextLongerThanItsBoxIsShownWholeAndNeverSentCut)
{
    const std::string description = "Warehouse north gate, loading bay 4 (47 chars).";
    ASSERT_EQ(description.size(), 47u);
    auto camera = validCamera(1, description);
    camera.text(offset::ddnsDomainName, std::string(91, 'd') + ".net");
    build();
    camerasAnswer({camera});
    click("cmdFind");
    selectRow(0);
    auto* shown = control<QLineEdit>("txtCameraDescription2");
    auto* domain = control<QLineEdit>("txtDdnsDomainName");
    EXPECT_EQ(shown->text().toStdString(), description);
    EXPECT_EQ(domain->text().size(), 95);
    EXPECT_EQ(domain->cursorPosition(), 0); // from its beginning

    // Left alone, both are kept.
    endpoint->respond = acknowledge;
    click("cmdSave");
    ASSERT_EQ(endpoint->sent.back().port, protocol::kParameterPort);
    EXPECT_EQ(endpoint->sent.back().bytes[offset::cameraDescription], 255);
    EXPECT_EQ(endpoint->sent.back().bytes[offset::ddnsDomainName], 255);

    // Typing cannot make them longer; shortened but still too long, Save refuses and sends
    // nothing.
    domain->end(false);
    QTest::keyClicks(domain, "x");
    EXPECT_EQ(domain->text().size(), 95);
    domain->setCursorPosition(10);
    QTest::keyClick(domain, Qt::Key_Backspace);
    QTest::keyClicks(domain, "t");
    EXPECT_EQ(domain->text().toStdString(), std::string(90, 'd') + ".net");
    EXPECT_EQ(domain->cursorPosition(), 9); // where the user left it
    EXPECT_TRUE(domain->isModified());
    const std::size_t sends = endpoint->sent.size();
    click("cmdSave");
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text,
              "Invalid input in DDNS Domain Name field.\n\nPlease check again.\n");
    EXPECT_EQ(endpoint->sent.size(), sends);

    // At the box's maximum again, typing stops there, and what is typed goes out.
    domain->selectAll();
    QTest::keyClicks(domain, QString(90, QLatin1Char('e')));
    EXPECT_EQ(domain->text(), QString(81, QLatin1Char('e')));
    EXPECT_EQ(domain->maxLength(), 81);
    click("cmdSave");
    EXPECT_EQ(endpoint->sent.back().bytes[offset::ddnsDomainName], 81);
    EXPECT_EQ(endpoint->sent.back().bytes[offset::cameraDescription], 255);
}
