#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <unistd.h>

#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyleOptionViewItem>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include "cli/commands.h"
#include "net/exceptions.h"
#include "tests/protocol/scripted_endpoint.h"
#include "tests/support/field_places.h"
#include "theme/radio_group.h"
#include "window_fixture.h"

namespace {

namespace offset = protocol::offset;

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

void writeFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(text), text.size());
}

// A small tmpfs with no room left, in a mount namespace of the test process's own, so that
// nothing outside sees it; it goes with the namespace when the process ends. Needs root (or
// CAP_SYS_ADMIN); `why` says why not otherwise.
struct FullFileSystem {
    static constexpr const char* kKept = "{\"hour\": 8}\n";
    QString folder;
    std::string why;

    FullFileSystem()
    {
        char path[] = "/tmp/tvq-full-XXXXXX";
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mkdtemp(path) == nullptr) {
            why = std::string("no file system of the test's own: ") + std::strerror(errno);
            return;
        }
        folder = QString::fromLatin1(path);
        if (mount("tmpfs", path, "tmpfs", 0, "size=16k") != 0) {
            why = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
            return;
        }
        const std::string kept = std::string(path) + "/keep.json";
        const std::string filler = std::string(path) + "/filler";
        std::ofstream(kept) << kKept;
        const int fd = open(filler.c_str(), O_WRONLY | O_CREAT, 0644);
        const std::string block(4096, 'x');
        while (write(fd, block.data(), block.size()) > 0) {
        }
        close(fd);
    }

    ~FullFileSystem()
    {
        if (!folder.isEmpty()) {
            umount2(folder.toLocal8Bit().constData(), MNT_DETACH);
            rmdir(folder.toLocal8Bit().constData());
        }
    }
};

std::string countedText(const std::vector<std::uint8_t>& packet, std::size_t at)
{
    return std::string(packet.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                       packet.begin() + static_cast<std::ptrdiff_t>(at) + 1 + packet[at]);
}

} // namespace

TEST_F(WindowTest, FindListsTheCamerasAndDropsTheCameraOnShow)
{
    fakes::CameraImage nameless(3);
    nameless.put(answerAt("cameraDescription"), {255});
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
    lobby.put(answerAt("networkType"), {2})
        .put(imageFlagsAt(), {0x6A})
        .put(optionFlagsAt(), {0x01}) // SMTP by address, time e-mail off
        .put(answerAt("usedIPAddress"), {203, 0, 113, 21})
        .put(answerAt("hour"), {200})
        .text(answerAt("smtpDomain"), "smtp.example.test");
    auto yard = validCamera(2, "A&B Yard");
    yard.put(answerAt("networkType"), {3}).put(imageFlagsAt(), {0x76}); // v = 7, brightness 3
    build();
    camerasAnswer({lobby, yard});
    click("cmdFind");
    auto* pages = control<QTabWidget>("IpCameraInfoPage");
    pages->setCurrentWidget(control("pageNetwork"));
    selectRow(0);

    EXPECT_EQ(form->state().selectedCameraIndex, 0);
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
    EXPECT_EQ(form->state().selectedCameraIndex, 1);
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
    one.text(answerAt("emailSender"), "cam@example.test");
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
    std::size_t menusShown = 0;
    endpoint->onReceive = [&] {
        const QCursor* cursor = QApplication::overrideCursor();
        waitCursor = cursor && cursor->shape() == Qt::WaitCursor;
        if (!interrupted)
            QTimer::singleShot(0, [&] {
                for (const char* button : {"cmdExit", "cmdFind", "cmdSave"})
                    QTest::mouseClick(control(button), Qt::LeftButton);
                // During Save the row is there, and its menu must not open either.
                auto* list = control<QTreeWidget>("listIpCamera");
                if (list->topLevelItemCount() > 0) {
                    menusShown += answerMenu([&] { rightClickRow(0); }).size();
                    menusShown += answerMenu([&] {
                                      QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
                                  }).size();
                }
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
    EXPECT_EQ(menusShown, 0u);

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
    EXPECT_EQ(countedText(packet, packetAt("newAdminPassword")), "pass\x80\xE9");
    EXPECT_EQ(countedText(packet, answerAt("cameraDescription")), "Caf\xE9 \x80"
                                                                  "5");
}

TEST_F(WindowTest, ACameraTextLongerThanItsBoxIsShownWholeAndNeverSentCut)
{
    const std::string description = "Warehouse north gate, loading bay 4 (47 chars).";
    ASSERT_EQ(description.size(), 47u);
    auto camera = validCamera(1, description);
    camera.text(answerAt("ddnsDomainName"), std::string(91, 'd') + ".net");
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
    EXPECT_EQ(endpoint->sent.back().bytes[answerAt("cameraDescription")], 255);
    EXPECT_EQ(endpoint->sent.back().bytes[answerAt("ddnsDomainName")], 255);

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
    EXPECT_EQ(endpoint->sent.back().bytes[answerAt("ddnsDomainName")], 81);
    EXPECT_EQ(endpoint->sent.back().bytes[answerAt("cameraDescription")], 255);
}

TEST_F(WindowTest, RowsWarnInTheirToolTipsAndMenusAndTheMenuActsOnItsRow)
{
    build();
    // The PC is 198.51.100.7/24: the second camera is on another subnet, the first and third
    // clash, and the fourth uses the PC's own address.
    camerasAnswer({cameraAt(1, "Front door", {198, 51, 100, 20}),
                   cameraAt(2, "Yard", {203, 0, 113, 9}), cameraAt(3, "Gate", {198, 51, 100, 20}),
                   cameraAt(4, "Hall", {198, 51, 100, 7})});
    click("cmdFind");
    selectRow(0);
    auto* list = control<QTreeWidget>("listIpCamera");
    ASSERT_EQ(list->topLevelItemCount(), 4);
    EXPECT_EQ(list->columnCount(), 2);

    const QString yard = list->topLevelItem(1)->toolTip(1);
    EXPECT_EQ(list->topLevelItem(1)->toolTip(0), yard);
    for (const char* line : {"MAC address: 00-11-22-33-44-02", "IP address in use: 203.0.113.9",
                             "Not reachable from this PC", "198.51.100.0/24 (eth0)"})
        EXPECT_TRUE(yard.contains(QLatin1String(line))) << line << " in " << yard.toStdString();
    EXPECT_FALSE(yard.contains(QLatin1String("Same IP")));
    EXPECT_TRUE(
        list->topLevelItem(2)->toolTip(0).contains(QLatin1String("Same IP address as camera 1")));
    const QString hall = list->topLevelItem(3)->toolTip(0);
    EXPECT_FALSE(hall.contains(QLatin1String("reachable")));
    EXPECT_FALSE(hall.contains(QLatin1String("camera 1")));
    EXPECT_TRUE(hall.contains(QLatin1String("Same IP address as this PC"))) << hall.toStdString();
    const auto hallMenu = answerMenu([&] { rightClickRow(3); });
    ASSERT_FALSE(hallMenu.empty());
    EXPECT_EQ(hallMenu[0].text, "Same IP address as this PC");
    EXPECT_FALSE(hallMenu[0].enabled);

    // The right button opens the menu of its row without putting that camera on show.
    const auto items = answerMenu([&] { rightClickRow(1); }, "Copy IP Address");
    ASSERT_GE(items.size(), 3u);
    EXPECT_EQ(items[0].text, "Not reachable from this PC: another subnet");
    EXPECT_FALSE(items[0].enabled);
    EXPECT_TRUE(items[1].text.isEmpty());
    EXPECT_TRUE(items[2].enabled);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "203.0.113.9");
    EXPECT_EQ(list->selectedItems().value(0), list->topLevelItem(0));
    EXPECT_EQ(caption(control("groupIpCameraInfo")), "Front door");

    answerMenu([&] { rightClickRow(2); }, "Open Web Page");
    ASSERT_EQ(urls.opened.size(), 1u);
    EXPECT_EQ(urls.opened[0], QUrl("http://198.51.100.20/"));

    // From the keyboard the menu is the selected row's.
    std::vector<MenuItem> front = answerMenu(
        [&] { QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier); }, "Copy MAC Address");
    ASSERT_FALSE(front.empty());
    EXPECT_EQ(front[0].text, "Same IP address as camera 3");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "00-11-22-33-44-01");
    front = answerMenu([&] { QTest::keyClick(list, Qt::Key_Menu); });
    ASSERT_FALSE(front.empty());
    EXPECT_EQ(front[0].text, "Same IP address as camera 3");

    // The last three items act on the whole list. Below the last row, with no row to act on,
    // they are the menu; until a Find has listed a camera, they have nothing to act on.
    const QStringList forTheList = {QString::fromUtf8("Assign Addresses\u2026"),
                                    QString::fromUtf8("Set Passwords\u2026"),
                                    QString::fromUtf8("Export Camera List\u2026")};
    const auto textsOf = [](const std::vector<MenuItem>& items, bool enabled) {
        QStringList texts;
        for (const MenuItem& item : items)
            if (item.enabled == enabled && !item.text.isEmpty())
                texts << item.text;
        return texts;
    };
    const QStringList rowMenu = textsOf(front, true);
    EXPECT_EQ(rowMenu.mid(rowMenu.size() - 3), forTheList);
    const QPoint below(10, list->visualItemRect(list->topLevelItem(3)).bottom() + 3);
    ASSERT_TRUE(list->viewport()->rect().contains(below));
    const std::vector<MenuItem> belowRows =
        answerMenu([&] { rightClick(list->viewport(), below); });
    EXPECT_EQ(textsOf(belowRows, true), forTheList);
    EXPECT_EQ(belowRows.size(), 3u);
    EXPECT_EQ(endpoint->sent.size(), 3u) << "the Find's searches only";

    endpoint->respond = nullptr;
    click("cmdFind");
    ASSERT_EQ(list->topLevelItemCount(), 0);
    const std::vector<MenuItem> empty =
        answerMenu([&] { QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier); });
    EXPECT_EQ(textsOf(empty, false), forTheList);
    EXPECT_EQ(empty.size(), 3u);
}

TEST_F(WindowTest, ASettingsFileFillsThePagesOfItsRowAndNothingIsSentUntilSave)
{
    auto yard = validCamera(2, "Yard");
    yard.text(answerAt("emailSender"), "yard@example.test").put(imageFlagsAt(), {0x10});
    build();
    camerasAnswer({validCamera(1, "Front door"), yard});
    click("cmdFind");
    selectRow(0);
    auto* sender = control<QLineEdit>("txtEmailSender");
    sender->setText("typed@example.test");
    QTemporaryDir folder;
    const QString path = folder.filePath("settings.json");
    const QString apply = QString::fromUtf8("Apply Settings from File\u2026");

    // A refused file: a box names the line, and neither the row nor the pages change.
    writeFile(path, "{\n  \"hour\": 9,\n  \"minute\": 75\n}\n");
    fileDialogs.answers = {path};
    answerMenu([&] { rightClickRow(1); }, apply);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(path));
    EXPECT_TRUE(boxes.shown[0].text.contains(QLatin1String("line 3, column 3: minute: ")))
        << boxes.shown[0].text.toStdString();
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
    EXPECT_EQ(form->state().selectedCameraIndex, 0);
    EXPECT_EQ(sender->text(), "typed@example.test");
    EXPECT_EQ(control<QLineEdit>("txtHour")->text(), "8");

    // A good one selects its row, which shows that camera, and then changes only its fields.
    writeFile(path, R"({"cameraDescription": "Yard east", "hour": 9, "imageQuality": "Low",
                        "timeEmail": "On", "adminPassword": "pw", "networkType": null})");
    fileDialogs.answers = {path};
    answerMenu([&] { rightClickRow(1); }, apply);
    ASSERT_EQ(boxes.shown.size(), 1u) << boxes.shown.back().text.toStdString();
    ASSERT_EQ(fileDialogs.shown.size(), 2u);
    EXPECT_FALSE(fileDialogs.shown[1].saving);
    EXPECT_EQ(form->state().selectedCameraIndex, 1);
    EXPECT_EQ(caption(control("groupIpCameraInfo")), "Yard");
    EXPECT_EQ(control<QLineEdit>("txtCameraDescription2")->text(), "Yard east");
    EXPECT_EQ(control<QLineEdit>("txtHour")->text(), "9");
    EXPECT_TRUE(control("txtHour")->isEnabled());
    EXPECT_EQ(control<theme::RadioGroup>("optImageQuality")->itemIndex(), 2);
    EXPECT_EQ(control<QLineEdit>("txtAdminPassword")->text(), "pw");
    EXPECT_EQ(sender->text(), "yard@example.test");
    EXPECT_EQ(endpoint->sent.size(), 3u) << "the Find's searches only";

    endpoint->respond = acknowledge;
    click("cmdSave");
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, "Settings write ok!\n");
    const std::vector<std::uint8_t>& packet = endpoint->sent.back().bytes;
    EXPECT_EQ(packet[protocol::offset::parameterMac + 5], 0x02);
    EXPECT_EQ(countedText(packet, answerAt("cameraDescription")), "Yard east");
    EXPECT_EQ(countedText(packet, packetAt("adminPassword")), "pw");
    EXPECT_EQ(packet[answerAt("emailSender")], protocol::kKeepMarker);
    EXPECT_EQ(packet[packetAt("hour")], 9);

    // The command line's bounds: past 1 MiB a file is refused before it is read as JSON.
    writeFile(path, QByteArray(2 << 20, ' ') + "{\"hour\": 10}");
    fileDialogs.answers = {path};
    answerMenu([&] { rightClickRow(1); }, apply);
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[2].text, QStringLiteral("Cannot read %1:\nlarger than 1 MiB, which no "
                                                  "settings file is.")
                                       .arg(path));
    EXPECT_EQ(control<QLineEdit>("txtHour")->text(), "9");
}

// A list of 128 cameras, the most the window's table holds, with more answering.
TEST_F(WindowTest, AFullListShowsEveryNumberWholeAndPointsToTheCommandLine)
{
    build();
    std::vector<fakes::CameraImage> cameras;
    for (int i = 1; i <= 130; ++i)
        cameras.push_back(validCamera(static_cast<std::uint8_t>(i), "Camera " + std::to_string(i)));
    // All within the first search's second.
    camerasAnswer(cameras, 2);
    click("cmdFind");
    auto* list = control<QTreeWidget>("listIpCamera");
    ASSERT_EQ(list->topLevelItemCount(), 128);
    EXPECT_EQ(list->topLevelItem(99)->text(0), "100");
    EXPECT_EQ(list->topLevelItem(127)->text(0), "128");
    QStyleOptionViewItem option;
    option.initFrom(list);
    for (int row = 99; row < 128; ++row) {
        const QModelIndex number = list->model()->index(row, 0);
        EXPECT_LE(list->itemDelegate()->sizeHint(option, number).width(), list->columnWidth(0))
            << "number " << row + 1 << " is cut short";
    }
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Information);
    EXPECT_TRUE(boxes.shown[0].text.contains(QLatin1String("128")));
    EXPECT_TRUE(boxes.shown[0].text.contains(QLatin1String("telviq-cli find")))
        << boxes.shown[0].text.toStdString();
}

// A file system with no room left, of the test's own: the old file stays whole, and nothing
// else is left behind.
TEST_F(WindowTest, SavingSettingsOnAFullDiskKeepsTheOldFileAndSaysWhy)
{
    const FullFileSystem full;
    if (!full.why.empty())
        GTEST_SKIP() << full.why;
    build();
    camerasAnswer({validCamera(5, "Loading bay")});
    click("cmdFind");
    const QString keep = full.folder + "/keep.json";
    const QString added = full.folder + "/new.json";
    for (const QString& path : {keep, added}) {
        fileDialogs.answers = {path};
        answerMenu([&] { rightClickRow(0); }, QString::fromUtf8("Save Settings to File\u2026"));
    }
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("Cannot write %1:\nNo space left on device.").arg(keep));
    EXPECT_EQ(boxes.shown[1].text,
              QStringLiteral("Cannot write %1:\nNo space left on device.").arg(added));
    EXPECT_EQ(QDir(full.folder).entryList(QDir::Files | QDir::Hidden),
              QStringList({"filler", "keep.json"}));
    QFile kept(keep);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), FullFileSystem::kKept);
}

TEST_F(WindowTest, ASettingsFileTheWindowSavesMakesTelviqCliSendWhatSaveSends)
{
    const fakes::CameraImage camera = validCamera(5, "Loading bay");
    build();
    camerasAnswer({camera});
    click("cmdFind");
    selectRow(0);
    control<QLineEdit>("txtCameraDescription2")->setText(QString::fromUtf8("Loading bay \u20AC"));
    control<QLineEdit>("txtHour")->setText("21");
    control<QLineEdit>("txtNewAdminPassword")->setText("secret");
    control<theme::RadioGroup>("optImageResolution")->setItemIndex(1);

    QTemporaryDir folder;
    const QString path = folder.filePath("bay.json");
    fileDialogs.answers = {path};
    answerMenu([&] { rightClickRow(0); }, QString::fromUtf8("Save Settings to File\u2026"));
    ASSERT_TRUE(boxes.shown.empty()) << boxes.shown[0].text.toStdString();
    ASSERT_EQ(fileDialogs.shown.size(), 1u);
    EXPECT_TRUE(fileDialogs.shown[0].saving);
    EXPECT_TRUE(fileDialogs.shown[0].start.endsWith("00-11-22-33-44-05.json"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    EXPECT_FALSE(written.contains("secret"));
    EXPECT_FALSE(written.contains("Password\""));

    // The new admin password is no setting the file carries: both sides send "keep" for it.
    control<QLineEdit>("txtNewAdminPassword")->clear();
    endpoint->respond = acknowledge;
    click("cmdSave");
    ASSERT_EQ(endpoint->sent.back().port, protocol::kParameterPort);
    const Bytes saved = endpoint->sent.back().bytes;

    ScriptedEndpoint network;
    for (std::size_t send = 1; send <= 3; ++send)
        network.schedule(send, 20, camera.datagram());
    const std::string tag = "MORVAK INFO ACK ";
    Bytes ack(tag.begin(), tag.end());
    ack.insert(ack.end(), saved.begin() + 22, saved.begin() + 28);
    network.schedule(4, 5, ack);
    std::ostringstream out, err;
    cli::Environment env{[&network] { return std::make_unique<EndpointView>(network); }, out, err,
                         network.ticks()};
    EXPECT_EQ(
        cli::run({"apply", path.toStdString(), "--mac", "00-11-22-33-44-05", "--dry-run"}, env),
        cli::kExitOk)
        << err.str();
    EXPECT_EQ(network.sends.size(), 3u) << "a dry run sends no packet";
    for (std::size_t send = 4; send <= 6; ++send)
        network.schedule(send, 20, camera.datagram());
    network.schedule(7, 5, ack);
    EXPECT_EQ(cli::run({"apply", path.toStdString(), "--mac", "00-11-22-33-44-05"}, env),
              cli::kExitOk)
        << err.str() << out.str();
    ASSERT_EQ(network.sends.size(), 7u);
    EXPECT_EQ(network.sends.back().bytes, saved);
}
