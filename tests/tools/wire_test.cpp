// The utility's discovery and settings write against virtual cameras, over a real veth link
// between two network namespaces. Needs root; skips otherwise.

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <set>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "net/udp_endpoint.h"
#include "protocol/discovery.h"
#include "protocol/settings_write.h"
#include "settings/camera_list.h"
#include "tests/support/field_places.h"
#include "tests/support/netns_lab.h"
#include "tests/tools/unchanged_packet.h"

using namespace std::chrono_literals;
namespace off = protocol::offset;

namespace {

constexpr const char* kVirtualCameras = TELVIQ_VIRTUAL_CAMERAS;

long long msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

std::vector<std::string> descriptions(const protocol::CameraTable& table)
{
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < table.count; ++i)
        texts.push_back(protocol::countedTextValue(table.slots[i], answerAt("cameraDescription")));
    return texts;
}

// Whether a UDP socket of the calling thread's namespace can take this local address.
bool canBind(const char* address)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, address, &local.sin_addr);
    const bool ok = bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    close(fd);
    return ok;
}

// The packet Save sends when only the description was edited.
protocol::ParameterPacket renaming(const protocol::CameraRecord& record, const std::string& name)
{
    protocol::ParameterPacket packet = unchangedPacket(record);
    protocol::encodeText(packet, packetAt("cameraDescription"),
                         settings::field("cameraDescription").areaWidth,
                         settings::field("cameraDescription").maxLength, name, record);
    return packet;
}

class Wire : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!NetnsLab::available(why))
            GTEST_SKIP() << why;
        lab_ = std::make_unique<NetnsLab>();
        ASSERT_EQ(lab_->error(), "");
    }

    void TearDown() override
    {
        if (HasFailure() && lab_ && cameras_ > 0)
            std::cerr << "virtual cameras said:\n" << lab_->logOf(cameras_);
        lab_.reset();
        if (!cameraFile_.empty())
            std::remove(cameraFile_.c_str());
    }

    // Starts the virtual cameras in the camera namespace and waits until they listen.
    void startCameras(std::vector<std::string> args)
    {
        args.insert(args.begin(), kVirtualCameras);
        args.push_back("--log");
        cameras_ = lab_->spawnInCam(args);
        ASSERT_GT(cameras_, 0);
        ASSERT_TRUE(lab_->waitForLog(cameras_, "ready", 5s)) << lab_->logOf(cameras_);
    }

    void startCamerasFromText(const std::string& text)
    {
        char path[] = "/tmp/tvq-cameras-XXXXXX";
        const int fd = mkstemp(path);
        ASSERT_GE(fd, 0);
        close(fd);
        cameraFile_ = path;
        std::ofstream(cameraFile_) << text;
        startCameras({"--file", cameraFile_});
    }

    std::unique_ptr<NetnsLab> lab_;
    pid_t cameras_ = -1;
    std::string cameraFile_;
};

} // namespace

TEST_F(Wire, FindListsEachCameraOnceExceptTwiceInTheFirstPass)
{
    startCamerasFromText("[camera]\n"
                         "[camera]\nsilent = 1\n"
                         "[camera]\ntwice = 1\n");
    lab_->enterPc();
    net::UdpEndpoint endpoint;
    protocol::CameraTable table;

    const auto start = std::chrono::steady_clock::now();
    protocol::discoverCameras(endpoint, table, 1);
    const long long elapsed = msSince(start);
    lab_->leave();

    const auto rows = settings::cameraRows(table);
    ASSERT_EQ(rows.size(), 4u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"1", "Camera 1"}, {"2", "Camera 3"}, {"3", "Camera 3"}, {"4", "Camera 2"}};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].number, expected[i].first);
        EXPECT_EQ(rows[i].description, expected[i].second);
    }
    std::cout << "discovery of 3 cameras took " << elapsed << " ms\n";
    RecordProperty("discovery_ms", static_cast<int>(elapsed));
    EXPECT_GE(elapsed, 3000);
    EXPECT_LT(elapsed, 4600);
}

TEST_F(Wire, AHundredAndTwentyEightCamerasAnsweringAtOnceAllLandInTheFirstPass)
{
    startCameras({"--count", "128", "--burst"});
    lab_->enterPc();
    net::UdpEndpoint endpoint;
    std::set<std::string> all;
    for (int i = 1; i <= 128; ++i)
        all.insert("Camera " + std::to_string(i));

    for (int run = 1; run <= 5; ++run) {
        protocol::CameraTable table;
        const auto start = std::chrono::steady_clock::now();
        protocol::discoverCameras(endpoint, table, 1);
        const long long elapsed = msSince(start);
        std::cout << "run " << run << ": " << int{table.count} << " cameras in " << elapsed
                  << " ms\n";
        const auto found = descriptions(table);
        EXPECT_EQ(std::set<std::string>(found.begin(), found.end()), all) << "run " << run;
        // A full first pass skips the other two: about one second instead of three.
        EXPECT_LT(elapsed, 2000) << "run " << run;
    }
}

TEST_F(Wire, WritesAreJudgedByTheirAcknowledgementAndShowOnTheNextFind)
{
    startCamerasFromText("[camera]\n"
                         "[camera]\nack = split\n"
                         "[camera]\nack = othermac\n"
                         "[camera]\napply = 0\n"
                         "[camera]\nack = stray\n");
    lab_->enterPc();
    net::UdpEndpoint endpoint;
    protocol::CameraTable before;
    protocol::discoverCameras(endpoint, before, 1);
    ASSERT_EQ(before.count, 5);

    const bool expected[] = {true, true, false, true, false};
    for (std::size_t i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const bool ok = protocol::writeSettings(
                            endpoint, renaming(before.slots[i], "Lobby " + std::to_string(i + 1)),
                            10) == protocol::WriteOutcome::acknowledged;
        EXPECT_EQ(ok, expected[i]) << "camera " << i + 1;
        EXPECT_LT(msSince(start), 1000) << "an answer ends the wait at once";
    }

    protocol::CameraTable after;
    protocol::discoverCameras(endpoint, after, 1);
    lab_->leave();

    EXPECT_EQ(descriptions(after),
              (std::vector<std::string>{"Lobby 1", "Lobby 2", "Lobby 3", "Camera 4", "Lobby 5"}));
    // Nothing but the description changed.
    ASSERT_EQ(after.count, 5);
    for (std::size_t i = 0; i < 528; ++i) {
        if (i < answerAt("cameraDescription") || i > answerAt("cameraDescription") + 47) {
            ASSERT_EQ(after.slots[0].bytes[i], before.slots[0].bytes[i]) << "byte " << i;
        }
    }
}

TEST_F(Wire, AnUnansweredWriteFailsAfterTenSeconds)
{
    startCamerasFromText("[camera]\nack = none\n");
    lab_->enterPc();
    net::UdpEndpoint endpoint;
    protocol::CameraTable table;
    protocol::discoverCameras(endpoint, table, 1);
    ASSERT_EQ(table.count, 1);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(protocol::writeSettings(endpoint, renaming(table.slots[0], "Quiet"), 10),
              protocol::WriteOutcome::noAnswer);
    const long long elapsed = msSince(start);
    lab_->leave();
    std::cout << "unanswered write gave up after " << elapsed << " ms\n";
    EXPECT_GE(elapsed, 10000);
    EXPECT_LT(elapsed, 10600);
}

TEST(NetnsLabTest, BuildsItsLinksAndLeavesNothingBehind)
{
    std::string why;
    if (!NetnsLab::available(why))
        GTEST_SKIP() << why;
    std::vector<std::string> names;
    {
        NetnsLab::Link second;
        second.pcAddress = "198.51.100.1";
        second.camAddress = "198.51.100.2";
        second.defaultRoute = false;
        NetnsLab lab({NetnsLab::Link{}, second});
        ASSERT_EQ(lab.error(), "");
        names = {lab.pcName(), lab.camName(0), lab.camName(1)};
        for (const std::string& name : names)
            EXPECT_EQ(access(("/var/run/netns/" + name).c_str(), F_OK), 0) << name;

        ASSERT_FALSE(canBind("203.0.113.1")) << "the machine itself must not hold lab addresses";
        lab.enterPc();
        EXPECT_TRUE(canBind("203.0.113.1"));
        EXPECT_TRUE(canBind("198.51.100.1"));

        // A camera behind the second link answers a search sent straight to it, to the port
        // the search left from.
        const pid_t cameras = lab.spawnInCam({kVirtualCameras, "--count", "2"}, 1);
        ASSERT_TRUE(lab.waitForLog(cameras, "ready", 5s)) << lab.logOf(cameras);
        net::UdpEndpoint endpoint;
        endpoint.setHost("198.51.100.2");
        endpoint.setPort(protocol::kSearchPort);
        const auto request = protocol::searchRequestBytes();
        endpoint.SendDatagram(request.data(), static_cast<std::int32_t>(request.size()));
        std::vector<std::uint8_t> answer(1056);
        const std::int32_t got = endpoint.ReceiveDatagram(answer.data(), 1056, 2000);
        EXPECT_TRUE(protocol::isRespondPacket(answer.data(), static_cast<std::size_t>(got)));
        lab.leave();
        EXPECT_FALSE(canBind("203.0.113.1"));

        lab.stopAll();
        EXPECT_NE(kill(cameras, 0), 0) << "stopped children are reaped";
    }
    for (const std::string& name : names)
        EXPECT_NE(access(("/var/run/netns/" + name).c_str(), F_OK), 0) << name;
}

TEST(VirtualCamerasCommandLine, HelpListsEveryOptionAndBadUseExitsWithTwo)
{
    auto run = [](const std::string& args, std::string* output = nullptr) {
        FILE* pipe = popen((std::string(kVirtualCameras) + " " + args + " 2>&1").c_str(), "r");
        std::string text;
        char chunk[512];
        while (std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe))
            text.append(chunk, n);
        const int status = pclose(pipe);
        if (output)
            *output = text;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string help;
    EXPECT_EQ(run("--help", &help), 0);
    for (const char* word : {"--count", "--file", "--burst", "--spacing", "--log", "silent",
                             "twice", "ack", "apply", "delay", "othermac", "split", "stray"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
    // None of these gets as far as opening a socket.
    EXPECT_EQ(run(""), 2);
    EXPECT_EQ(run("--count 0"), 2);
    EXPECT_EQ(run("--count 481"), 2);
    EXPECT_EQ(run("--count 3 --file /dev/null"), 2);
    EXPECT_EQ(run("--count 3 --spacing"), 2);
    EXPECT_EQ(run("--file /nonexistent/cameras"), 2);
}
