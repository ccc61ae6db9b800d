#include <algorithm>
#include <gtest/gtest.h>
#include <stdexcept>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "app/busy_state.h"
#include "app/camera_batch.h"
#include "app/message_boxes.h"
#include "app/responsive_endpoint.h"
#include "camera_image.h"
#include "fake_adapter_source.h"
#include "fake_endpoint.h"

TEST(StandardErrorBox, AppendsAFullStopOnlyAfterACharacterThatSortsAfterIt)
{
    const std::vector<std::pair<std::string, QString>> cases = {
        {"Socket Error # 10051\r\nNetwork is unreachable.",
         "Socket Error # 10051\r\nNetwork is unreachable."},
        {"Cannot allocate socket", "Cannot allocate socket."},
        {"Path /", "Path /."},
        {"Failed!", "Failed!"},
        {"Size -", "Size -"},
        {"caf\xC3\xA9", QString::fromUtf8("caf\xC3\xA9.")},
        {"", ""}};
    for (const auto& [message, shown] : cases)
        EXPECT_EQ(app::standardErrorText(message), shown) << message;

    app::MessageBoxHook hook;
    app::setMessageBoxHook(&hook);
    QWidget owner;
    app::showStandardError(&owner, std::runtime_error("UDP Receive Error = 0"));
    app::setMessageBoxHook(nullptr);
    ASSERT_EQ(hook.shown.size(), 1u);
    EXPECT_EQ(hook.shown[0].text, "UDP Receive Error = 0.");
    EXPECT_EQ(hook.shown[0].icon, QMessageBox::Critical);
    EXPECT_EQ(hook.shown[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(hook.shown[0].caption, "app_tests");
    EXPECT_EQ(hook.shown[0].owner, &owner);
}

TEST(ApplicationTitle, IsTheFileNameUpToItsFirstFullStopInCapitalisedLowerCase)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"/usr/bin/telviq-utility", "telviq-utility"},
        {"/opt/TELVIQ/TelviqUtility.exe", "Telviqutility"},
        {"/tmp/APP.tar.gz", "App"},
        {"/tmp/.hidden", ""}};
    for (const auto& [path, title] : cases)
        EXPECT_EQ(app::applicationTitleFromPath(path), title) << path.toStdString();
}

TEST(ResponsiveEndpoint, WaitsInShortSlicesAndHandlesEventsBetweenThem)
{
    fakes::FakeEndpoint inner;
    inner.respond = [](const fakes::SentDatagram&) {
        return std::vector<fakes::Arrival>{{300, {1, 2, 3}}};
    };
    app::ResponsiveEndpoint endpoint(inner, inner.ticks());
    endpoint.setPort(15500);
    endpoint.SendDatagram("x", 1);
    ASSERT_EQ(inner.sent.size(), 1u);
    EXPECT_EQ(inner.sent[0].port, 15500);

    int timerRuns = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++timerRuns; });
    timer.start(0);

    std::uint8_t buffer[8] = {};
    EXPECT_EQ(endpoint.ReceiveDatagram(buffer, sizeof buffer, 500), 3);
    EXPECT_EQ(buffer[2], 3);
    EXPECT_EQ(inner.now, 300u);
    EXPECT_GT(timerRuns, 0);
    EXPECT_TRUE(std::all_of(inner.receiveTimeouts.begin(), inner.receiveTimeouts.end(),
                            [](std::int32_t t) { return t > 0 && t <= 20; }));

    // Nothing more comes: 0 after the whole wait, not after one slice.
    const std::uint32_t start = inner.now;
    EXPECT_EQ(endpoint.ReceiveDatagram(buffer, sizeof buffer, 500), 0);
    EXPECT_EQ(inner.now - start, 500u);

    // A look without waiting goes straight through.
    inner.receiveTimeouts.clear();
    EXPECT_EQ(endpoint.ReceiveDatagram(buffer, sizeof buffer, 0), 0);
    EXPECT_EQ(inner.receiveTimeouts, std::vector<std::int32_t>{0});
}

// A box shown while the window is busy must still take its answer.
TEST(BusyState, RefusesInputToItsWindowOnly)
{
    QWidget window;
    auto* inside = new QPushButton(&window);
    QPushButton other;
    window.show();
    other.show();
    int insideClicks = 0, otherClicks = 0;
    QObject::connect(inside, &QPushButton::clicked, [&] { ++insideClicks; });
    QObject::connect(&other, &QPushButton::clicked, [&] { ++otherClicks; });
    {
        app::BusyState busy(&window);
        EXPECT_TRUE(app::BusyState::active());
        QTest::mouseClick(inside, Qt::LeftButton);
        QTest::mouseClick(&other, Qt::LeftButton);
        EXPECT_FALSE(window.close());
    }
    EXPECT_FALSE(app::BusyState::active());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(insideClicks, 0);
    EXPECT_EQ(otherClicks, 1);
    QTest::mouseClick(inside, Qt::LeftButton);
    EXPECT_EQ(insideClicks, 1);
}

namespace {

app::ListedCamera listed(std::uint8_t lastMacByte, std::initializer_list<std::uint8_t> inUse)
{
    fakes::CameraImage image(lastMacByte);
    image.put(answerAt("usedIPAddress"), inUse);
    app::ListedCamera camera;
    camera.record.bytes = image.bytes;
    return camera;
}

hostnet::HostAdapterInfo adaptersOf(std::vector<hostnet::AdapterEntry> entries,
                                    const std::string& dns = "")
{
    fakes::FakeAdapterSource source;
    source.answers = {std::move(entries)};
    source.parameters.dnsServer = dns;
    hostnet::HostAdapterInfo info;
    hostnet::LoadHostAdapterInfo(info, source);
    return info;
}

} // namespace

// The fields start from the adapter most cameras' addresses lie behind, with the first address
// after the PC's own that nothing known uses.
TEST(AddressDefaults, FaceTheCamerasAndStartPastWhatIsTaken)
{
    hostnet::AdapterEntry office = fakes::ethernetAdapter("eth0", "198.51.100.7");
    hostnet::AdapterEntry cameraLan = fakes::ethernetAdapter("eth1", "203.0.113.5");
    cameraLan.ipMask = "255.255.255.240";
    cameraLan.gateway = "203.0.113.6";
    const auto info = adaptersOf({office, cameraLan}, "203.0.113.8");
    const std::vector<app::ListedCamera> cameras = {
        listed(1, {203, 0, 113, 7}), listed(2, {203, 0, 113, 9}), listed(3, {198, 51, 100, 9})};
    app::AddressFields fields = app::addressDefaults(info, cameras);
    EXPECT_EQ(fields.first, "203.0.113.10"); // past the gateway, a camera and the DNS server
    EXPECT_EQ(fields.mask, "255.255.255.240");
    EXPECT_EQ(fields.gateway, "203.0.113.6");
    EXPECT_EQ(fields.dns, "");

    // Behind no adapter, the cameras get the PC group's; past the subnet's end, its start.
    office.ipAddress = "198.51.100.254";
    fields = app::addressDefaults(adaptersOf({office, cameraLan}), {listed(1, {192, 168, 1, 100})});
    EXPECT_EQ(fields.first, "198.51.100.2");
    EXPECT_EQ(fields.gateway, "198.51.100.1");
}

TEST(AddressPlanOfFields, SaysWhichFieldIsWrongAndFollowsTheChecksAndThePlanFile)
{
    const std::vector<app::ListedCamera> cameras = {listed(2, {192, 168, 1, 100}),
                                                    listed(1, {192, 168, 1, 100})};
    const app::AddressFields fields{"198.51.100.10", "255.255.255.0", "198.51.100.1", ""};
    const std::vector<net::Ipv4Bytes> pc = {{198, 51, 100, 11}};
    using Addresses = std::vector<std::optional<net::Ipv4Bytes>>;
    app::AddressPlanView view = app::planOfFields(fields, cameras, {true, true}, pc);
    EXPECT_EQ(view.problem, "");
    EXPECT_EQ(view.addresses,
              (Addresses{net::Ipv4Bytes{198, 51, 100, 12}, net::Ipv4Bytes{198, 51, 100, 10}}));
    EXPECT_FALSE(view.rules.dnsServer);

    const std::vector<std::pair<app::AddressFields, std::string>> refused = {
        {{"198.51.100.300", "255.255.255.0", "198.51.100.1", ""},
         "First address: \"198.51.100.300\" is not an address"},
        {{"198.51.100.10", "", "198.51.100.1", ""}, "Subnet mask: type an address"},
        {{"198.51.100.10", "255.255.255.0", "198.51.100.1", "dns"},
         "DNS server: \"dns\" is not an address"},
        {{"198.51.100.10", "255.0.255.0", "198.51.100.1", ""},
         "The subnet mask 255.0.255.0 is not one run of ones"}};
    for (const auto& [typed, problem] : refused)
        EXPECT_EQ(app::planOfFields(typed, cameras, {true, true}, pc).problem.rfind(problem, 0), 0u)
            << problem;
    EXPECT_EQ(app::planOfFields(fields, cameras, {false, false}, pc).problem,
              "No camera is checked.");

    // A plan file's rows for the checked cameras only; a checked camera it leaves out is named.
    const std::vector<settings::PlanRow> rows = {
        {2, {0x00, 0x11, 0x22, 0x33, 0x44, 0x01}, {198, 51, 100, 40}},
        {3, {0x00, 0x11, 0x22, 0x33, 0x44, 0x02}, {198, 51, 100, 41}}};
    view = app::planOfFields(fields, cameras, {false, true}, pc, &rows);
    EXPECT_EQ(view.addresses, (Addresses{std::nullopt, net::Ipv4Bytes{198, 51, 100, 40}}));
    view = app::planOfFields(fields, cameras, {true, true}, pc, &rows);
    EXPECT_EQ(view.addresses,
              (Addresses{net::Ipv4Bytes{198, 51, 100, 41}, net::Ipv4Bytes{198, 51, 100, 40}}));
    const std::vector<settings::PlanRow> one(rows.begin(), rows.begin() + 1);
    EXPECT_EQ(app::planOfFields(fields, cameras, {true, true}, pc, &one).problem,
              "Camera 00-11-22-33-44-02 is checked, but the plan file gives it no address.");
}
