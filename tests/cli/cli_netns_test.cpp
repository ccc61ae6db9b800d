// telviq-cli run as a user runs it, as a program in the pc namespace of a lab, against virtual
// cameras behind a veth link. Needs root; skips otherwise.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/support/netns_lab.h"

extern char** environ;

using namespace std::chrono_literals;

namespace {

constexpr const char* kCli = TELVIQ_CLI;
constexpr const char* kVirtualCameras = TELVIQ_VIRTUAL_CAMERAS;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
    long long ms = 0;
};

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string tempPath(const char* stem)
{
    std::string path = std::string("/tmp/") + stem + "-XXXXXX";
    const int fd = mkstemp(path.data());
    close(fd);
    return path;
}

using Json = nlohmann::ordered_json;

Json parsedJson(const std::string& text)
{
    Json value = Json::parse(text, nullptr, false);
    EXPECT_FALSE(value.is_discarded()) << text;
    return value;
}

const Json* cameraWithMac(const Json& list, const std::string& mac)
{
    for (const Json& camera : list) {
        if (camera.value("macAddress", "") == mac) {
            return &camera;
        }
    }
    return nullptr;
}

std::string textOf(const Json* camera, const char* name)
{
    return camera && camera->contains(name) && camera->at(name).is_string()
               ? camera->at(name).get<std::string>()
               : "(missing)";
}

class CliLab : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!NetnsLab::available(why)) {
            GTEST_SKIP() << why;
        }
        lab_ = std::make_unique<NetnsLab>();
        ASSERT_EQ(lab_->error(), "");
    }

    void TearDown() override
    {
        if (HasFailure() && lab_ && cameras_ > 0) {
            std::cerr << "virtual cameras said:\n" << lab_->logOf(cameras_);
        }
        lab_.reset();
        for (const std::string& path : files_) {
            std::remove(path.c_str());
        }
    }

    std::string file(const std::string& text)
    {
        files_.push_back(tempPath("tvq-cli-test"));
        std::ofstream(files_.back()) << text;
        return files_.back();
    }

    void startCameras(const std::string& cameraFile)
    {
        cameras_ = lab_->spawnInCam({kVirtualCameras, "--file", file(cameraFile), "--log"});
        ASSERT_GT(cameras_, 0);
        ASSERT_TRUE(lab_->waitForLog(cameras_, "ready", 5s)) << lab_->logOf(cameras_);
    }

    std::string cameraLog() const { return lab_->logOf(cameras_); }

    // Runs telviq-cli in the pc namespace and waits for it, a minute at most.
    Outcome cli(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv = {"ip", "netns", "exec", lab_->pcName(), kCli};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> raw;
        for (std::string& arg : argv) {
            raw.push_back(arg.data());
        }
        raw.push_back(nullptr);
        const std::string outPath = tempPath("tvq-cli-out");
        const std::string errPath = tempPath("tvq-cli-err");

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_TRUNC, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_TRUNC, 0);
        Outcome outcome;
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = -1;
        const int failed = posix_spawnp(&pid, "ip", &actions, nullptr, raw.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed == 0) {
            int status = 0;
            while (waitpid(pid, &status, WNOHANG) == 0) {
                if (std::chrono::steady_clock::now() - start > 60s) {
                    kill(pid, SIGKILL);
                    waitpid(pid, &status, 0);
                    ADD_FAILURE() << "telviq-cli did not end within a minute";
                    break;
                }
                std::this_thread::sleep_for(10ms);
            }
            outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        outcome.ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - start)
                         .count();
        outcome.out = readFile(outPath);
        outcome.err = readFile(errPath);
        std::remove(outPath.c_str());
        std::remove(errPath.c_str());
        return outcome;
    }

    std::unique_ptr<NetnsLab> lab_;
    pid_t cameras_ = -1;
    std::vector<std::string> files_;
};

const char kTwoCameras[] = "[camera]\n"
                           "macAddress = 02-00-5E-00-00-01\n"
                           "cameraDescription = Front door\n"
                           "networkType = 2\n"
                           "ipAddress = 203.0.113.21\n"
                           "usedIPAddress = 203.0.113.121\n"
                           "firmwareVersion = V2.4.1\n"
                           "hour = 6\n"
                           "[camera]\n"
                           "macAddress = 02-00-5E-00-00-02\n"
                           "cameraDescription = Yard\n";

} // namespace

TEST_F(CliLab, FindJsonListsEveryCameraAndRefusedWritesSendNoPacket)
{
    startCameras(kTwoCameras);
    // Refused before any search: the cameras hear nothing at all.
    const Outcome invalid = cli({"set", "02-00-5E-00-00-01", "gateway=203.0.113"});
    EXPECT_EQ(invalid.status, 2);
    EXPECT_EQ(invalid.err, "telviq-cli: gateway: \"203.0.113\" is not an address: four numbers "
                           "from 0 to 255 joined by full stops, without leading zeros, such as "
                           "192.168.0.20\n");
    EXPECT_LT(invalid.ms, 1000);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(cameraLog().find("from "), std::string::npos) << cameraLog();

    const Outcome found = cli({"find", "--json"});
    ASSERT_EQ(found.status, 0) << found.err;
    const Json list = parsedJson(found.out);
    ASSERT_EQ(list.size(), 2u) << found.out;

    const Json* front = cameraWithMac(list, "02-00-5E-00-00-01");
    ASSERT_NE(front, nullptr) << found.out;
    EXPECT_EQ(textOf(front, "cameraDescription"), "Front door");
    EXPECT_EQ(textOf(front, "networkType"), "DHCP");
    EXPECT_EQ(textOf(front, "ipAddress"), "203.0.113.21");
    EXPECT_EQ(textOf(front, "usedIPAddress"), "203.0.113.121");
    EXPECT_EQ(textOf(front, "firmwareVersion"), "V2.4.1");
    EXPECT_EQ(front->at("hour"), 6);
    EXPECT_EQ(textOf(cameraWithMac(list, "02-00-5E-00-00-02"), "cameraDescription"), "Yard");

    std::string names;
    for (const auto& [name, value] : front->items()) {
        names += name + " ";
    }
    EXPECT_EQ(names, "macAddress usedIPAddress firmwareVersion cameraDescription motionImage "
                     "antiFlicker imageResolution imageQuality imageBrightness upsideDown "
                     "networkType ipAddress subnetMask gateway dnsServer adslUserName "
                     "ddnsUserName ddnsDomainName smtpServerType smtpDomain smtpIpAddress "
                     "emailSender emailReceiver emailCopy emailAccount timeEmail hour minute "
                     "triggerCount emailAuthentication userPasswordOn ");

    const Outcome unknown = cli({"set", "02-00-5E-00-00-09", "cameraDescription=Gate"});
    EXPECT_EQ(unknown.status, 3);
    EXPECT_EQ(unknown.err,
              "telviq-cli: no camera with MAC 02-00-5E-00-00-09 answered the search\n");
    EXPECT_EQ(cameraLog().find("parameters for"), std::string::npos);
}

TEST_F(CliLab, SetDescriptionAndAddressIsAcknowledgedAndTheNextFindShowsIt)
{
    startCameras(kTwoCameras);
    const Outcome set =
        cli({"set", "02-00-5e-00-00-02", "cameraDescription=Gate 7", "ipAddress=203.0.113.77"});
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "Settings write ok!\n");
    EXPECT_NE(cameraLog().find("parameters for"), std::string::npos);

    const Outcome found = cli({"find", "--json"});
    ASSERT_EQ(found.status, 0) << found.err;
    const Json list = parsedJson(found.out);
    const Json* gate = cameraWithMac(list, "02-00-5E-00-00-02");
    EXPECT_EQ(textOf(gate, "cameraDescription"), "Gate 7");
    EXPECT_EQ(textOf(gate, "ipAddress"), "203.0.113.77");
    // The other camera was not named and kept its values.
    EXPECT_EQ(textOf(cameraWithMac(list, "02-00-5E-00-00-01"), "cameraDescription"), "Front door");
}

TEST_F(CliLab, ACameraThatDoesNotAcknowledgeExitsOneAfterTheTenSecondWait)
{
    startCameras("[camera]\nmacAddress = 02-00-5E-00-00-05\nhour = 8\nack = none\n");
    const Outcome set = cli({"set", "02-00-5E-00-00-05", "triggerCount=12"});
    EXPECT_EQ(set.status, 1) << set.err;
    EXPECT_EQ(set.out, "Settings write fail!\n");
    EXPECT_EQ(set.err, "telviq-cli: no answer within 10 seconds\n");
    EXPECT_NE(cameraLog().find("parameters for"), std::string::npos);
    // A search of three to four and a half seconds, then the whole wait.
    std::cout << "set against a silent camera took " << set.ms << " ms\n";
    EXPECT_GE(set.ms, 12900);
    EXPECT_LT(set.ms, 16000);
}

TEST_F(CliLab, ACameraThatAnswersLateIsStillWrittenAndVerified)
{
    // Its answer to the last search comes after the search has ended, while the write waits.
    startCameras("[camera]\nmacAddress = 02-00-5E-00-00-06\nhour = 8\ndelay = 1300\n");
    const Outcome set = cli({"set", "--verify", "02-00-5E-00-00-06", "cameraDescription=Slow"});
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "Settings write ok!\nVerified: the camera shows the new values.\n");
}

TEST_F(CliLab, ApplyAllWritesEveryCameraAndReportsEach)
{
    startCameras("[camera]\nmacAddress = 02-00-5E-00-00-01\n"
                 "[camera]\nmacAddress = 02-00-5E-00-00-02\nack = split\n"
                 "[camera]\nmacAddress = 02-00-5E-00-00-03\ntwice = 1\n");
    const std::string path = file(R"({
  "smtpServerType": "SMTP IP Address:",
  "smtpIpAddress": "198.51.100.25",
  "emailReceiver": "noc@example.net",
  "timeEmail": "On",
  "hour": 6,
  "minute": 15
})");
    const Outcome applied = cli({"apply", path, "--all", "--verify"});
    EXPECT_EQ(applied.status, 0) << applied.err << applied.out;
    std::istringstream rows(applied.out);
    std::string line;
    std::getline(rows, line);
    EXPECT_EQ(line.rfind("MAC address", 0), 0u) << applied.out;
    for (const char* mac : {"02-00-5E-00-00-01", "02-00-5E-00-00-02", "02-00-5E-00-00-03"}) {
        ASSERT_TRUE(std::getline(rows, line)) << applied.out;
        EXPECT_EQ(line.rfind(mac, 0), 0u) << line;
        EXPECT_NE(line.find("Settings write ok!"), std::string::npos) << line;
    }
    for (const char* mac : {"02-00-5E-00-00-01", "02-00-5E-00-00-02", "02-00-5E-00-00-03"}) {
        EXPECT_NE(applied.out.find(std::string(mac) + "  shows the new values"), std::string::npos)
            << applied.out;
    }

    const Outcome found = cli({"find", "--json"});
    const Json list = parsedJson(found.out);
    ASSERT_EQ(list.size(), 3u) << "a camera that answers twice is listed once";
    for (const Json& camera : list) {
        EXPECT_EQ(textOf(&camera, "emailReceiver"), "noc@example.net");
        EXPECT_EQ(textOf(&camera, "smtpIpAddress"), "198.51.100.25");
        EXPECT_EQ(textOf(&camera, "smtpServerType"), "SMTP IP Address:");
        EXPECT_EQ(camera.at("minute"), 15);
    }
}
