#include <map>
#include <sstream>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTemporaryDir>

#include "app/camera_batch_dialog.h"
#include "cli/commands.h"
#include "settings/field_changes.h"
#include "tests/protocol/scripted_endpoint.h"
#include "theme/radio_group.h"
#include "window_fixture.h"

namespace {

const QString kAssignAddresses = QString::fromUtf8("Assign Addresses\u2026");
const QString kSetPasswords = QString::fromUtf8("Set Passwords\u2026");
const QString kExportCameraList = QString::fromUtf8("Export Camera List\u2026");

template <typename T = QWidget> T* in(QDialog& dialog, const char* name)
{
    if (T* widget = dialog.findChild<T*>(QString::fromLatin1(name)))
        return widget;
    throw std::runtime_error(std::string("no control ") + name + " in the dialog");
}

QStringList column(QDialog& dialog, int column)
{
    auto* list = in<QTreeWidget>(dialog, "listCameras");
    QStringList texts;
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        texts << list->topLevelItem(row)->text(column < 0 ? list->columnCount() + column : column);
    return texts;
}

// The New Address column and the Result column.
constexpr int kNewAddress = 4;
constexpr int kResult = -1;

void retype(QLineEdit* edit, const char* text)
{
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromLatin1(text));
}

fakes::CameraImage factoryCamera(std::uint8_t lastMacByte, const std::string& description)
{
    return cameraAt(lastMacByte, description, {192, 168, 1, 100});
}

// What Save packs for the camera with the changes given as the command line writes them.
Bytes packetSaveMakes(const fakes::CameraImage& camera, const std::vector<std::string>& changes)
{
    std::vector<settings::FieldChange> made;
    for (const std::string& assignment : changes) {
        std::string error;
        EXPECT_TRUE(settings::parseAssignment(assignment, made.emplace_back(), error)) << error;
    }
    protocol::CameraRecord record;
    record.bytes = camera.bytes;
    settings::SettingsValues values;
    protocol::ParameterPacket packet;
    EXPECT_FALSE(settings::collectChanges(record, made, values, packet));
    return {packet.bytes.begin(), packet.bytes.end()};
}

std::vector<std::string> addressedAs(const char* address)
{
    return {"networkType=Fixed IP", std::string("ipAddress=") + address, "subnetMask=255.255.255.0",
            "gateway=198.51.100.1"};
}

// The parameter packets sent from the index-th datagram on, by the MAC they name.
std::map<std::uint8_t, Bytes> parameterPackets(const std::vector<fakes::SentDatagram>& sent,
                                               std::size_t from = 0)
{
    std::map<std::uint8_t, Bytes> packets;
    for (std::size_t i = from; i < sent.size(); ++i)
        if (sent[i].port == protocol::kParameterPort)
            packets[sent[i].bytes[protocol::offset::parameterMac + 5]] = sent[i].bytes;
    return packets;
}

std::size_t searches(const std::vector<fakes::SentDatagram>& sent)
{
    return static_cast<std::size_t>(std::count_if(
        sent.begin(), sent.end(), [](const auto& s) { return s.port == protocol::kSearchPort; }));
}

// Counts the paint events of one window's widgets while a condition holds.
class PaintCounter : public QObject {
public:
    PaintCounter(QWidget* window, std::function<bool()> counting)
        : window_(window), counting_(std::move(counting))
    {
        qApp->installEventFilter(this);
    }
    ~PaintCounter() override { qApp->removeEventFilter(this); }
    int paints = 0;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == window_ && counting_())
            ++paints;
        return false;
    }

private:
    QWidget* window_;
    std::function<bool()> counting_;
};

} // namespace

TEST_F(WindowTest, AssignAddressesPlansAsTypedAndWritesEachCheckedCameraOnce)
{
    // Three new cameras at one factory address, one of them heard through two adapters, and an
    // office camera in the PC's subnet (198.51.100.0/24, gateway .1). Camera 12 never
    // acknowledges, but takes the write.
    const std::vector<fakes::CameraImage> cameras = {
        factoryCamera(0x13, "IP Camera"), factoryCamera(0x11, "IP Camera"),
        cameraAt(0x30, "Office", {198, 51, 100, 20}), factoryCamera(0x12, "IP Camera"),
        factoryCamera(0x11, "IP Camera")};
    build();
    camerasTakeWrites(cameras);
    fleet[3].behaviour.ack = camsim::AckMode::none;
    click("cmdFind");
    ASSERT_EQ(control<QTreeWidget>("listIpCamera")->topLevelItemCount(), 5);
    const std::size_t sendsBefore = endpoint->sent.size();
    int mainWindowPaints = 0, dialogPaints = 0;
    bool findClickedWhileWriting = false;

    ASSERT_TRUE(withDialogOfMenu(kAssignAddresses, "AssignAddresses", [&](QDialog& dialog) {
        auto* first = in<QLineEdit>(dialog, "txtFirstAddress");
        auto* write = in<QPushButton>(dialog, "cmdWrite");
        auto* list = in<QTreeWidget>(dialog, "listCameras");
        EXPECT_EQ(column(dialog, 0), (QStringList{"1", "2", "3", "4"}));
        EXPECT_EQ(column(dialog, 2), (QStringList{"00-11-22-33-44-13", "00-11-22-33-44-11",
                                                  "00-11-22-33-44-30", "00-11-22-33-44-12"}));

        // The cameras at the factory address start checked; the office, alone at its address in
        // the PC's subnet, has its address already and does not.
        QStringList checks;
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            checks << (list->topLevelItem(row)->checkState(0) == Qt::Checked ? "x" : "");
        EXPECT_EQ(checks, (QStringList{"x", "x", "", "x"}));

        // Each key plans again: the cameras in MAC order, from the first address up, round the
        // office's, which no other camera may get.
        retype(first, "198.51.100.19");
        const QStringList officeKept{"198.51.100.22", "198.51.100.19", "", "198.51.100.21"};
        EXPECT_EQ(column(dialog, kNewAddress), officeKept);
        // Checked (Space, wherever the cursor is in the row), the office gets one too.
        list->setCurrentItem(list->topLevelItem(2), 1);
        QTest::keyClick(list, Qt::Key_Space);
        EXPECT_EQ(column(dialog, kNewAddress), (QStringList{"198.51.100.21", "198.51.100.19",
                                                            "198.51.100.22", "198.51.100.20"}));
        QTest::keyClick(list, Qt::Key_Space);
        EXPECT_EQ(column(dialog, kNewAddress), officeKept);
        EXPECT_TRUE(write->isEnabled());

        // A plan that cannot be written says why, beside the fields.
        retype(first, "198.51.100.255");
        EXPECT_FALSE(write->isEnabled());
        EXPECT_EQ(in<QLabel>(dialog, "lblProblem")->text(),
                  "The first address 198.51.100.255 is not a host of 198.51.100.0/24.");
        EXPECT_EQ(column(dialog, kNewAddress), (QStringList{"", "", "", ""}));
        retype(in<QLineEdit>(dialog, "txtGateway"), "198.51.100.1x");
        retype(first, "198.51.100.19");
        EXPECT_FALSE(write->isEnabled());
        EXPECT_TRUE(in<QLabel>(dialog, "lblProblem")->text().startsWith("Gateway: "));
        retype(in<QLineEdit>(dialog, "txtGateway"), "198.51.100.1");
        ASSERT_TRUE(write->isEnabled());

        // While the write runs, both windows paint and the main window refuses Find.
        auto* batch = static_cast<app::CameraBatchDialog*>(&dialog);
        PaintCounter mainWindow(form.get(), [batch] { return batch->writing(); });
        PaintCounter itself(&dialog, [batch] { return batch->writing(); });
        endpoint->onSend = [&] {
            if (endpoint->port == protocol::kParameterPort && !findClickedWhileWriting)
                QTimer::singleShot(0, [&] {
                    findClickedWhileWriting = batch->writing();
                    QTest::mouseClick(control("cmdFind"), Qt::LeftButton);
                    form->update();
                });
        };
        QTest::mouseClick(write, Qt::LeftButton);
        endpoint->onSend = nullptr;
        mainWindowPaints = mainWindow.paints;
        dialogPaints = itself.paints;

        EXPECT_EQ(column(dialog, kResult),
                  (QStringList{"Acknowledged, shows its new address",
                               "Acknowledged, shows its new address", "",
                               "No acknowledgement, shows its new address"}));
        EXPECT_EQ(in<QLabel>(dialog, "lblStatus")->text(),
                  "2 of 3 cameras acknowledged; 1 did not. 3 show the new address.");
        EXPECT_EQ(in<QProgressBar>(dialog, "barProgress")->value(), 2);
        EXPECT_FALSE(write->isEnabled());
        EXPECT_EQ(in<QPushButton>(dialog, "cmdCancel")->text(), "Close");
    }));

    // Each checked camera once, with what Save sends after the four edits; then one Find.
    const std::map<std::uint8_t, Bytes> written = parameterPackets(endpoint->sent, sendsBefore);
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(written.at(0x11), packetSaveMakes(cameras[1], addressedAs("198.51.100.19")));
    EXPECT_EQ(written.at(0x12), packetSaveMakes(cameras[3], addressedAs("198.51.100.21")));
    EXPECT_EQ(written.at(0x13), packetSaveMakes(cameras[0], addressedAs("198.51.100.22")));
    EXPECT_EQ(endpoint->sent.size() - sendsBefore, 3u + 3u);
    EXPECT_EQ(searches(endpoint->sent), 6u) << "the refused Find searched";
    EXPECT_TRUE(findClickedWhileWriting);
    EXPECT_GT(mainWindowPaints, 0);
    EXPECT_GT(dialogPaints, 0);
    EXPECT_EQ(control<QTreeWidget>("listIpCamera")->topLevelItemCount(), 5);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The Cancel button, and Escape, which would otherwise close the dialog under the write.
TEST_F(WindowTest, CancelStopsTheWriteBeforeTheRestAreSent)
{
    build();
    for (const bool byEscape : {false, true}) {
        SCOPED_TRACE(byEscape ? "Escape" : "Cancel");
        fleet.clear();
        camerasTakeWrites({factoryCamera(0x11, "A"), factoryCamera(0x12, "B"),
                           factoryCamera(0x13, "C"), factoryCamera(0x14, "D")});
        click("cmdFind");
        const std::size_t sendsBefore = endpoint->sent.size();
        ASSERT_TRUE(withDialogOfMenu(kAssignAddresses, "AssignAddresses", [&](QDialog& dialog) {
            endpoint->onSend = [&] {
                if (parameterPackets(endpoint->sent, sendsBefore).empty())
                    QTimer::singleShot(0, [&] {
                        if (byEscape)
                            QTest::keyClick(&dialog, Qt::Key_Escape);
                        else
                            QTest::mouseClick(in<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
                    });
            };
            QTest::mouseClick(in<QPushButton>(dialog, "cmdWrite"), Qt::LeftButton);
            endpoint->onSend = nullptr;
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(column(dialog, kResult), (QStringList{"Acknowledged, shows its new address",
                                                            "Not sent", "Not sent", "Not sent"}));
            EXPECT_EQ(in<QLabel>(dialog, "lblStatus")->text(),
                      "1 of 4 cameras acknowledged; cancelled before 3 were sent. 1 shows the "
                      "new address.");
        }));
        EXPECT_EQ(parameterPackets(endpoint->sent, sendsBefore).size(), 1u);
    }
}

TEST_F(WindowTest, SetPasswordsSendsEachCameraItsOwnPacketAndForgetsThePasswords)
{
    const std::vector<fakes::CameraImage> cameras = {validCamera(0x21, "Gate"),
                                                     validCamera(0x22, "Yard")};
    build();
    camerasTakeWrites(cameras);
    click("cmdFind");
    const std::size_t sendsBefore = endpoint->sent.size();
    ASSERT_TRUE(withDialogOfMenu(kSetPasswords, "SetPasswords", [&](QDialog& dialog) {
        auto* write = in<QPushButton>(dialog, "cmdWrite");
        EXPECT_FALSE(write->isEnabled());
        EXPECT_EQ(in<QLabel>(dialog, "lblProblem")->text(),
                  "Type a password, or choose whether the user password is on.");
        QTest::keyClicks(in<QLineEdit>(dialog, "txtAdminPassword"), "admin");
        // Typed as on the Password page: a character cameras cannot store is refused.
        for (const QString text : {QString::fromUtf8("n3w\u20AC"), QString::fromUtf8("\u0416")})
            QTest::sendKeyEvent(QTest::Click, in<QLineEdit>(dialog, "txtNewAdminPassword"),
                                Qt::Key_unknown, text, Qt::NoModifier);
        QTest::mouseClick(in<theme::RadioGroup>(dialog, "optUserPassword")->itemButton(2),
                          Qt::LeftButton);
        ASSERT_TRUE(write->isEnabled());
        QTest::mouseClick(write, Qt::LeftButton);

        EXPECT_EQ(column(dialog, kResult), (QStringList{"Acknowledged", "Acknowledged"}));
        for (const char* box : {"txtAdminPassword", "txtNewAdminPassword"})
            EXPECT_TRUE(in<QLineEdit>(dialog, box)->text().isEmpty()) << box;
    }));

    const std::map<std::uint8_t, Bytes> written = parameterPackets(endpoint->sent, sendsBefore);
    ASSERT_EQ(written.size(), 2u);
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        EXPECT_EQ(
            written.at(static_cast<std::uint8_t>(0x21 + i)),
            packetSaveMakes(cameras[i], {"adminPassword=admin", "newAdminPassword=n3w\xE2\x82\xAC",
                                         "userPasswordOn=On"}));
        EXPECT_EQ(fleet[i].passwords.admin, "n3w\x80");
    }
    EXPECT_EQ(searches(endpoint->sent), 3u) << "no Find after passwords, which nothing shows";
}

// A list the window exports, made into a plan by hand, sends through `telviq-cli address --plan`
// what the dialog sends with the same plan, and what Save sends after the four edits.
TEST_F(WindowTest, AnExportedListMadeIntoAPlanWritesTheSameThroughTelviqCliAndTheDialog)
{
    const std::vector<fakes::CameraImage> cameras = {factoryCamera(0x41, "Gate \"A\", north"),
                                                     factoryCamera(0x42, "Yard"),
                                                     factoryCamera(0x43, "")};
    const char* const planned[] = {"198.51.100.33", "198.51.100.32", "198.51.100.31"};
    build();
    camerasTakeWrites(cameras);
    click("cmdFind");
    ScriptedEndpoint network;
    const auto cameraNetwork = [&](std::size_t afterSend) {
        for (std::size_t send = afterSend; send < afterSend + 3; ++send)
            for (const fakes::CameraImage& camera : cameras)
                network.schedule(send, 20, camera.datagram());
    };
    std::ostringstream out, err;
    cli::Environment env{[&network] { return std::make_unique<EndpointView>(network); }, out, err,
                         network.ticks()};

    // The export is what `telviq-cli find --csv` prints.
    QTemporaryDir folder;
    const QString listPath = folder.filePath("cameras.csv");
    fileDialogs.answers = {listPath};
    answerMenu([&] { rightClickRow(0); }, kExportCameraList);
    QFile list(listPath);
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    const QByteArray exported = list.readAll();
    cameraNetwork(1);
    ASSERT_EQ(cli::run({"find", "--csv"}, env), cli::kExitOk) << err.str();
    EXPECT_EQ(exported.toStdString(), out.str());

    // Each row's address in use becomes its new address, and the firmware column goes.
    QList<QByteArray> lines = exported.split('\n');
    QByteArray plan = "macAddress,ipAddress,cameraDescription\r\n";
    for (int i = 1; i <= 3; ++i) {
        const QByteArray& line = lines[i];
        plan += line.left(17) + ',' + planned[i - 1] +
                line.mid(line.indexOf(',', 18), line.lastIndexOf(',') - line.indexOf(',', 18)) +
                "\r\n";
    }
    const QString planPath = folder.filePath("plan.csv");
    QFile planFile(planPath);
    ASSERT_TRUE(planFile.open(QIODevice::WriteOnly));
    ASSERT_EQ(planFile.write(plan), plan.size());
    planFile.close();

    const std::size_t cliSends = network.sends.size();
    cameraNetwork(cliSends + 1);
    for (const std::uint8_t mac : {0x41, 0x42, 0x43}) {
        const std::string tag = "MORVAK INFO ACK ";
        Bytes ack(tag.begin(), tag.end());
        ack.insert(ack.end(), {0x00, 0x11, 0x22, 0x33, 0x44, mac});
        network.schedule(cliSends + 3 + cameras.size(), 5, ack);
    }
    out.str("");
    ASSERT_EQ(cli::run({"address", "--plan", planPath.toStdString(), "--mask", "255.255.255.0",
                        "--gateway", "198.51.100.1"},
                       env),
              cli::kExitOk)
        << err.str() << out.str();
    std::map<std::uint8_t, Bytes> fromCli;
    for (std::size_t i = cliSends; i < network.sends.size(); ++i)
        if (network.sends[i].settings.port == protocol::kParameterPort)
            fromCli[network.sends[i].bytes[protocol::offset::parameterMac + 5]] =
                network.sends[i].bytes;

    const std::size_t sendsBefore = endpoint->sent.size();
    fileDialogs.answers = {planPath};
    ASSERT_TRUE(withDialogOfMenu(kAssignAddresses, "AssignAddresses", [&](QDialog& dialog) {
        QTest::mouseClick(in<QPushButton>(dialog, "cmdLoadPlan"), Qt::LeftButton);
        EXPECT_EQ(column(dialog, kNewAddress), (QStringList{planned[0], planned[1], planned[2]}));
        QTest::mouseClick(in<QPushButton>(dialog, "cmdWrite"), Qt::LeftButton);
    }));
    ASSERT_TRUE(boxes.shown.empty()) << boxes.shown[0].text.toStdString();
    const std::map<std::uint8_t, Bytes> fromDialog = parameterPackets(endpoint->sent, sendsBefore);
    ASSERT_EQ(fromCli.size(), 3u);
    EXPECT_EQ(fromDialog, fromCli);

    // Save, after the four edits on the pages of the camera as the search found it first.
    fleet[2].record.bytes = cameras[2].bytes;
    click("cmdFind");
    selectRow(2);
    control<theme::RadioGroup>("optNetworkType")->setItemIndex(0);
    const std::pair<const char*, const char*> edits[] = {
        {"ipAddress", planned[2]}, {"subnetMask", "255.255.255.0"}, {"gateway", "198.51.100.1"}};
    for (const auto& [field, value] : edits)
        control<QLineEdit>(settings::field(field).control)->setText(QString::fromLatin1(value));
    click("cmdSave");
    EXPECT_EQ(endpoint->sent.back().bytes, fromCli.at(0x43));
}
