// The commands on a make-believe clock and network: the ten-second wait passes at once.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/commands.h"
#include "cli/text_encoding.h"
#include "net/exceptions.h"
#include "settings/address_plan.h"
#include "settings/camera_fields.h"
#include "settings/field_changes.h"
#include "settings/settings_file.h"
#include "settings/settings_values.h"
#include "telviq_version.h"
#include "tests/protocol/scripted_endpoint.h"
#include "tests/support/field_places.h"
#include "tools/virtual-cameras/camera.h"

namespace off = protocol::offset;

namespace {

class FailingEndpoint : public ScriptedEndpoint {
public:
    void SendDatagram(const void*, std::int32_t) override { throw net::EIdSocketError(10051); }
};

class Commands : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (passwordInput > 0) {
            close(passwordInput);
        }
        for (const std::string& path : files_) {
            std::remove(path.c_str());
        }
    }

    int run(std::vector<std::string> args) { return runOn(endpoint, std::move(args)); }

    int runOn(ScriptedEndpoint& on, std::vector<std::string> args)
    {
        cli::Environment env{[&on] { return std::make_unique<EndpointView>(on); }, out, err,
                             on.ticks()};
        env.passwordInput = passwordInput;
        env.mostCameras = mostCameras;
        env.listAdapters = [this](std::vector<hostnet::AdapterEntry>& list) {
            list = adapters;
            return true;
        };
        return cli::run(args, env);
    }

    // What the command reads as its standard input: a pipe holding `text`, then its end.
    void standardInput(const std::string& text)
    {
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        ASSERT_EQ(write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
        close(ends[1]);
        if (passwordInput > 0) {
            close(passwordInput);
        }
        passwordInput = ends[0];
    }

    // The camera answers the three searches of one discovery, starting with send `first`.
    void answersFind(const camsim::Camera& camera, std::size_t first = 1)
    {
        for (std::size_t send = first; send < first + 3; ++send) {
            endpoint.schedule(send, 20, camsim::respondPacket(camera));
        }
    }

    void acknowledges(const camsim::Camera& camera, std::size_t send)
    {
        for (auto& datagram : camsim::ackDatagrams(camera)) {
            endpoint.schedule(send, 5, datagram);
        }
    }

    std::vector<ScriptedEndpoint::Send> packetsSent() const
    {
        std::vector<ScriptedEndpoint::Send> packets;
        for (const auto& send : endpoint.sends) {
            if (send.settings.port == protocol::kParameterPort) {
                packets.push_back(send);
            }
        }
        return packets;
    }

    std::string settingsFile(const std::string& text)
    {
        char path[] = "/tmp/tvq-cli-settings-XXXXXX";
        const int fd = mkstemp(path);
        close(fd);
        files_.push_back(path);
        std::ofstream(path) << text;
        return path;
    }

    static std::string macOf(const camsim::Camera& camera)
    {
        return net::formatMac(protocol::macAddress(camera.record));
    }

    ScriptedEndpoint endpoint;
    std::ostringstream out;
    std::ostringstream err;
    std::vector<std::string> files_;
    int passwordInput = -1; // none: reading it fails
    std::size_t mostCameras = protocol::kMostCameras;
    // The PC: one adapter in the cameras' new subnet.
    std::vector<hostnet::AdapterEntry> adapters = {{6,
                                                    "eth0",
                                                    {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E},
                                                    "198.18.0.2",
                                                    "255.255.254.0",
                                                    "198.18.0.1"}};
};

// Cameras fresh from the box: the generated ones, all at one factory address.
std::vector<camsim::Camera> factoryCameras(std::size_t count)
{
    std::vector<camsim::Camera> cameras;
    for (std::size_t i = 0; i < count; ++i) {
        camsim::Camera camera = camsim::generatedCamera(static_cast<int>(i));
        for (const char* field : {"ipAddress", "usedIPAddress"})
            camsim::putField(camera.record, settings::field(field), "192.168.1.100");
        cameras.push_back(camera);
    }
    return cameras;
}

std::string countedText(const Bytes& packet, std::size_t at)
{
    return std::string(reinterpret_cast<const char*>(&packet[at + 1]), packet[at]);
}

} // namespace

TEST_F(Commands, SetSendsWhatSaveWouldAndSaysItWasAcknowledged)
{
    const camsim::Camera camera = camsim::generatedCamera(2);
    answersFind(camera);
    acknowledges(camera, 4);

    EXPECT_EQ(run({"set", macOf(camera), "cameraDescription=Lobby", "networkType=DHCP",
                   "adminPassword=secret", "timeEmail=On"}),
              cli::kExitOk);
    EXPECT_EQ(out.str(), "Settings write ok!\n");
    EXPECT_EQ(err.str(), "");

    // The same edits made on the window's pages.
    settings::SettingsValues pages = settings::decodeCameraRecord(camera.record);
    pages.cameraDescription = "Lobby";
    pages.networkType = 2;
    pages.adminPassword = "secret";
    pages.timeEmail = 1;
    protocol::ParameterPacket expected;
    ASSERT_FALSE(settings::collectSettings(pages, camera.record, expected));

    const auto packets = packetsSent();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].settings.host, "255.255.255.255");
    EXPECT_EQ(packets[0].bytes, Bytes(expected.bytes.begin(), expected.bytes.end()));
    EXPECT_EQ(countedText(packets[0].bytes, answerAt("cameraDescription")), "Lobby");
    EXPECT_EQ(packets[0].bytes[answerAt("emailSender")], protocol::kKeepMarker);
    EXPECT_EQ(packets[0].bytes[packetAt("newAdminPassword")], protocol::kKeepMarker);
}

TEST_F(Commands, AddressesAndNumbersAreReadStrictlyAndATypoSendsNothing)
{
    // Each value alone: refused (no canonical form) before any search, or taken as the value
    // it is, after which the search finds no camera.
    const std::pair<std::string, const char*> rows[] = {
        {"ipAddress=203.0.113.300", nullptr},
        {"ipAddress=1.2.3.4.5", nullptr},
        {"subnetMask=1.2.3", nullptr},
        {"gateway= 1.2.3.4", nullptr},
        {"dnsServer=1.2.3.4x", nullptr},
        {"smtpIpAddress=-1.2.3.4", nullptr},
        {"ipAddress=+1.2.3.4", nullptr},
        {"ipAddress=1..2.3", nullptr},
        {"ipAddress=1.2.3.4 ", nullptr},
        {"ipAddress=010.0.0.1", nullptr}, // 10 to the window, 8 to inet_aton
        {"ipAddress=1.2.3.0004", nullptr},
        {"smtpIpAddress=", nullptr},
        {"hour=7x", nullptr},
        {"hour=24", nullptr},
        {"hour=-1", nullptr},
        {"hour= 7", nullptr},
        {"hour=", nullptr},
        {"minute=60", nullptr},
        {"triggerCount=100", nullptr},
        {"triggerCount=1e2", nullptr},
        {"triggerCount=99999999999999999999", nullptr},
        {"ipAddress=0.0.0.0", "0.0.0.0"},
        {"subnetMask=255.255.255.255", "255.255.255.255"},
        {"smtpIpAddress=10.0.100.9", "10.0.100.9"},
        {"hour=07", "7"},
        {"hour=23", "23"},
        {"minute=0", "0"},
        {"triggerCount=099", "99"},
    };
    for (const auto& [argument, canonical] : rows) {
        const std::string name = argument.substr(0, argument.find('='));
        const std::string value = argument.substr(argument.find('=') + 1);
        const settings::CameraField& field = *settings::findField(name);
        const std::size_t sendsBefore = endpoint.sends.size();
        err.str("");
        const int status = run({"set", "02-00-5E-10-00-01", "cameraDescription=Lobby", argument});
        if (canonical == nullptr) {
            EXPECT_EQ(status, cli::kExitInvalidInput) << argument;
            EXPECT_EQ(err.str(), "telviq-cli: " + name + ": \"" + value + "\" is not " +
                                     (field.kind == settings::FieldKind::address
                                          ? std::string("an address: ") + settings::addressForm
                                          : settings::numberForm(field)) +
                                     "\n");
            EXPECT_EQ(endpoint.sends.size(), sendsBefore) << argument;
            continue;
        }
        EXPECT_EQ(status, cli::kExitNotFound) << argument << ": " << err.str();
        settings::FieldChange change;
        std::string error;
        EXPECT_TRUE(settings::parseAssignment(argument, change, error)) << error;
        EXPECT_EQ(change.text, canonical);
    }
    EXPECT_TRUE(packetsSent().empty());

    // A settings file is read the same way.
    const std::string path = settingsFile(R"({"cameraDescription": "Lobby",
                                              "ipAddress": "203.0.113.300"})");
    err.str("");
    const std::size_t sendsBefore = endpoint.sends.size();
    EXPECT_EQ(run({"apply", path, "--all"}), cli::kExitInvalidInput);
    const std::string refusal = "ipAddress: \"203.0.113.300\" is not an address: ";
    EXPECT_EQ(err.str(), "telviq-cli: " + path + ": line 2, column 47: " + refusal +
                             settings::addressForm + "\n");
    EXPECT_EQ(endpoint.sends.size(), sendsBefore);
}

TEST_F(Commands, TheWindowsChecksStillApplyAfterTheStrictReading)
{
    EXPECT_EQ(run({"set", "02-00-5E-10-00-01", "hour=0", "minute=2"}), cli::kExitInvalidInput);
    EXPECT_EQ(err.str(), settings::invalidInputMessage("Time e-mail: 23:59 ~ 00:03"));
    EXPECT_TRUE(endpoint.sends.empty());
}

TEST_F(Commands, TheCamerasOwnValuesTakePartInTheChecksAfterTheSearch)
{
    camsim::Camera camera = camsim::generatedCamera(1);
    camera.record.bytes[answerAt("minute")] = 1;
    answersFind(camera);
    // Hour 0 passes on its own; with the camera's minute 1 it is 00:01.
    EXPECT_EQ(run({"set", macOf(camera), "hour=0"}), cli::kExitInvalidInput);
    EXPECT_EQ(err.str(), settings::invalidInputMessage("Time e-mail: 23:59 ~ 00:03"));
    EXPECT_EQ(endpoint.sends.size(), 3u);
    EXPECT_TRUE(packetsSent().empty());
}

TEST_F(Commands, ALongTextIsKeptAsTheCamerasOwnAndRefusedOtherwise)
{
    camsim::Camera camera = camsim::generatedCamera(1);
    const std::string domain(95, 'd');
    camsim::setCountedText(camera.record, settings::field("ddnsDomainName"), domain);
    answersFind(camera);
    answersFind(camera, 4);
    // The camera's own text, given back (as a settings file from show --json would): kept.
    EXPECT_EQ(run({"set", "--dry-run", macOf(camera), "ddnsDomainName=" + domain}), cli::kExitOk);
    EXPECT_NE(out.str().find("ddnsDomainName       keep\n"), std::string::npos) << out.str();

    // Any other text longer than the field would go out cut: refused, as Save refuses it.
    EXPECT_EQ(run({"set", macOf(camera), "ddnsDomainName=" + domain.substr(1)}),
              cli::kExitInvalidInput);
    EXPECT_EQ(err.str(), settings::invalidInputMessage("DDNS Domain Name"));
    EXPECT_TRUE(packetsSent().empty());
}

TEST_F(Commands, DryRunPrintsThePacketAndMasksPasswords)
{
    const camsim::Camera camera = camsim::generatedCamera(3);
    answersFind(camera);
    EXPECT_EQ(run({"set", "--dry-run", macOf(camera), "cameraDescription=Lobby",
                   "newAdminPassword=hunter2"}),
              cli::kExitOk);
    EXPECT_TRUE(packetsSent().empty());
    const std::string text = out.str();
    EXPECT_EQ(text.find("hunter2"), std::string::npos);
    EXPECT_NE(text.find("newAdminPassword     ********\n"), std::string::npos) << text;
    EXPECT_NE(text.find("adminPassword        keep\n"), std::string::npos) << text;
    EXPECT_NE(text.find("cameraDescription    \"Lobby\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("networkType          0 (Fixed IP)\n"), std::string::npos) << text;
}

TEST_F(Commands, VerifyTellsWhetherTheCameraShowsTheNewValues)
{
    const camsim::Camera camera = camsim::generatedCamera(3);
    camsim::Camera renamed = camera;
    camsim::setCountedText(renamed.record, settings::field("cameraDescription"), "Lobby");
    renamed.record.bytes[answerAt("hour")] = 1;
    answersFind(camera);
    acknowledges(camera, 4);
    answersFind(renamed, 5);
    // "01" is the hour 1 the camera shows.
    EXPECT_EQ(run({"set", "--verify", macOf(camera), "cameraDescription=Lobby", "hour=01"}),
              cli::kExitOk);
    EXPECT_EQ(out.str(), "Settings write ok!\nVerified: the camera shows the new values.\n");

    // A camera that acknowledges and keeps its old settings.
    ScriptedEndpoint second;
    for (std::size_t send : {1, 2, 3, 5, 6, 7}) {
        second.schedule(send, 20, camsim::respondPacket(camera));
    }
    second.schedule(4, 5, camsim::ackDatagrams(camera)[0]);
    out.str("");
    EXPECT_EQ(runOn(second, {"set", macOf(camera), "--verify", "cameraDescription=Lobby"}),
              cli::kExitNotAcknowledged);
    EXPECT_EQ(out.str(), "Settings write ok!\nNot taken:\n"
                         "  cameraDescription: sent \"Lobby\", the camera shows \"Camera 4\"\n");
}

TEST_F(Commands, FindListsEachCameraOnceInTableCsvAndJson)
{
    camsim::Camera first = camsim::generatedCamera(0);
    camsim::setCountedText(first.record, settings::field("cameraDescription"), "Gate, \"north\"");
    const camsim::Camera second = camsim::generatedCamera(1);
    for (std::size_t send = 1; send <= 9; ++send) {
        endpoint.schedule(send, 20, camsim::respondPacket(first));
        endpoint.schedule(send, 30, camsim::respondPacket(second));
    }
    // The first camera answers the first search twice.
    endpoint.schedule(1, 40, camsim::respondPacket(first));

    ASSERT_EQ(run({"find", "--csv"}), cli::kExitOk);
    EXPECT_EQ(out.str(), "macAddress,usedIPAddress,cameraDescription,firmwareVersion\r\n"
                         "02-00-5E-10-00-01,203.0.113.10,\"Gate, \"\"north\"\"\",V1.0.21\r\n"
                         "02-00-5E-10-00-02,203.0.113.11,Camera 2,V1.1.22\r\n");

    out.str("");
    ASSERT_EQ(run({"find"}), cli::kExitOk);
    EXPECT_EQ(out.str(), "#  MAC address        Address in use  Firmware  Description\n"
                         "1  02-00-5E-10-00-01  203.0.113.10    V1.0.21   Gate, \"north\"\n"
                         "2  02-00-5E-10-00-02  203.0.113.11    V1.1.22   Camera 2\n");

    out.str("");
    ASSERT_EQ(run({"find", "--json"}), cli::kExitOk);
    const auto list = nlohmann::ordered_json::parse(out.str());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].at("cameraDescription"), "Gate, \"north\"");
}

// A site larger than the window's table of 128: find lists, and apply --all writes and verifies,
// every camera that answers, each once.
TEST_F(Commands, FindAndApplyAllReachEveryCameraPastTheWindowsLimit)
{
    constexpr int kCameras = 300;
    std::vector<camsim::Camera> cameras, renamed;
    for (int i = 0; i < kCameras; ++i) {
        cameras.push_back(camsim::generatedCamera(i));
        renamed.push_back(cameras.back());
        camsim::setCountedText(renamed.back().record, settings::field("cameraDescription"),
                               "Fleet");
    }
    // 200 answer the first search (one of them twice), 250 the second, all the third; `after`
    // is the first send of the search.
    const auto answerFind = [](ScriptedEndpoint& network, const std::vector<camsim::Camera>& set,
                               std::size_t after) {
        for (std::size_t pass = 0; pass < 3; ++pass) {
            for (std::size_t i = 0; i < (pass == 0 ? 200 : pass == 1 ? 250 : set.size()); ++i) {
                network.schedule(after + pass, 20 + 2 * static_cast<std::int64_t>(i),
                                 camsim::respondPacket(set[i]));
            }
        }
        network.schedule(after, 600, camsim::respondPacket(set[7]));
    };
    std::string expected = "macAddress,usedIPAddress,cameraDescription,firmwareVersion\r\n";
    for (const camsim::Camera& camera : cameras) {
        const settings::SettingsValues v = settings::valuesOf(camera.record);
        expected += v.macAddress + "," + v.usedIPAddress + "," + v.cameraDescription + "," +
                    v.firmwareVersion + "\r\n";
    }
    ScriptedEndpoint finding;
    answerFind(finding, cameras, 1);
    ASSERT_EQ(runOn(finding, {"find", "--csv"}), cli::kExitOk);
    EXPECT_EQ(out.str(), expected);
    EXPECT_EQ(err.str(), "");

    ScriptedEndpoint& writing = endpoint;
    answerFind(writing, cameras, 1);
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        acknowledges(cameras[i], 4 + i);
    }
    answerFind(writing, renamed, 4 + cameras.size());
    out.str("");
    const std::string path = settingsFile(R"({"cameraDescription": "Fleet"})");
    EXPECT_EQ(runOn(writing, {"apply", path, "--all", "--verify"}), cli::kExitOk) << out.str();
    const auto packets = packetsSent();
    ASSERT_EQ(packets.size(), cameras.size());
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        EXPECT_TRUE(std::equal(packets[i].bytes.begin() + protocol::offset::parameterMac,
                               packets[i].bytes.begin() + protocol::offset::parameterMac + 6,
                               cameras[i].record.bytes.begin() + protocol::offset::respondMac))
            << "write " << i;
    }
    const std::string report = out.str();
    const auto count = [&report](const std::string& text) {
        std::size_t n = 0;
        for (std::size_t at = report.find(text); at != std::string::npos;
             at = report.find(text, at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(count("  acknowledged\n"), cameras.size());
    EXPECT_EQ(count("shows the new values\n"), cameras.size());

    // Past the most a search lists, the rest are left out, and that is said.
    mostCameras = kCameras - 1;
    ScriptedEndpoint flooded;
    answerFind(flooded, cameras, 1);
    out.str("");
    ASSERT_EQ(runOn(flooded, {"find", "--csv"}), cli::kExitOk);
    EXPECT_EQ(out.str(), expected.substr(0, expected.rfind("02-00-5E")));
    EXPECT_EQ(err.str(), "telviq-cli: more than 299 cameras answered; the rest are not listed\n");
}

TEST_F(Commands, ApplyWritesEachCameraNamedAndReportsARowForEach)
{
    const camsim::Camera taking = camsim::generatedCamera(2);
    camsim::Camera silent = camsim::generatedCamera(1);
    silent.behaviour.ack = camsim::AckMode::none;
    for (std::size_t send = 1; send <= 3; ++send) {
        endpoint.schedule(send, 20, camsim::respondPacket(taking));
        endpoint.schedule(send, 30, camsim::respondPacket(silent));
    }
    acknowledges(taking, 4);
    const std::string path = settingsFile(R"({"emailReceiver": "noc@example.net",
                                              "macAddress": "02-00-5E-10-00-07"})");

    EXPECT_EQ(run({"apply", path, "--mac", macOf(taking), "02-00-5E-10-00-09", macOf(silent),
                   "--mac", macOf(taking)}),
              cli::kExitNotFound);
    EXPECT_EQ(out.str(), "MAC address        Description  Result\n"
                         "02-00-5E-10-00-03  Camera 3     acknowledged\n"
                         "02-00-5E-10-00-09               not found\n"
                         "02-00-5E-10-00-02  Camera 2     no acknowledgement\n"
                         "1 of 2 cameras acknowledged.\n");
    const auto packets = packetsSent();
    ASSERT_EQ(packets.size(), 2u) << "one write per camera, the repeated MAC included";
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(countedText(packets[i].bytes, answerAt("emailReceiver")), "noc@example.net");
        EXPECT_EQ(packets[i].bytes[answerAt("cameraDescription")], protocol::kKeepMarker);
    }
    EXPECT_EQ(packets[0].bytes[protocol::offset::parameterMac + 5], 0x03);
    EXPECT_EQ(packets[1].bytes[protocol::offset::parameterMac + 5], 0x02);
}

TEST_F(Commands, ApplyRefusesABadSettingsFileBeforeSearching)
{
    std::string path = settingsFile("{\"hour\": 0,\n \"minute\": 1}");
    EXPECT_EQ(run({"apply", path, "--all"}), cli::kExitInvalidInput);
    EXPECT_EQ(err.str(), settings::invalidInputMessage("Time e-mail: 23:59 ~ 00:03"));

    err.str("");
    path = settingsFile("{\"hour\": 7,\n \"minute\": 70,}");
    EXPECT_EQ(run({"apply", path, "--all"}), cli::kExitInvalidInput);
    EXPECT_EQ(err.str(), "telviq-cli: " + path +
                             ": line 2, column 15: syntax error while parsing object key - "
                             "unexpected '}'; expected string literal\n");

    EXPECT_TRUE(endpoint.sends.empty());
}

TEST_F(Commands, ApplyReadsNoMoreThanASettingsFileCanBe)
{
    // The JSON reader would stop at a zero byte as at the end of the text.
    const char withZero[] = "{\"hour\": 5}\0 garbage";
    std::string path = settingsFile(std::string(withZero, sizeof withZero - 1));
    EXPECT_EQ(run({"apply", path, "--all"}), cli::kExitInvalidInput);
    EXPECT_EQ(err.str(), "telviq-cli: " + path +
                             ": line 1, column 12: a zero byte, which JSON "
                             "does not allow\n");

    // Read up to the limit and no further: endless devices and a file of blanks around a good
    // object alike.
    path = settingsFile(std::string(2 << 20, ' ') + "{\"hour\": 5}");
    for (const std::string& big : {std::string("/dev/zero"), std::string("/dev/urandom"), path}) {
        err.str("");
        EXPECT_EQ(run({"apply", big, "--all"}), cli::kExitInvalidInput) << big;
        EXPECT_EQ(err.str(), "telviq-cli: " + big +
                                 ": larger than 1 MiB, which no settings file "
                                 "is\n");
    }
    err.str("");
    EXPECT_EQ(run({"address", "--plan", "/dev/zero"}), cli::kExitInvalidInput);
    EXPECT_EQ(err.str(), "telviq-cli: /dev/zero: larger than 8 MiB, which no plan file is\n");
    err.str("");
    EXPECT_EQ(run({"apply", "/tmp", "--all"}), cli::kExitInvalidInput);
    EXPECT_EQ(err.str(), "telviq-cli: /tmp: Is a directory\n");
    err.str("");
    EXPECT_EQ(run({"apply", "/nonexistent/settings.json", "--all"}), cli::kExitInvalidInput);
    EXPECT_EQ(err.str(), "telviq-cli: /nonexistent/settings.json: No such file or directory\n");
    EXPECT_TRUE(endpoint.sends.empty());
}

// Texts from cameras, files and arguments may hold a terminal's control sequences: nothing
// telviq-cli writes carries one raw, whatever the format.
TEST_F(Commands, NoOutputCarriesAControlCharacterRaw)
{
    camsim::Camera camera = camsim::generatedCamera(2);
    camsim::setCountedText(camera.record, settings::field("cameraDescription"),
                           "\x1B[31mred\x1B]0;title\x07\x9D\x0D\x0A");
    ASSERT_EQ(camsim::putField(camera.record, settings::field("firmwareVersion"), "\x1B[2J"), "");
    // What a terminal acts on: a C0 control but a line's end (LF, and CR LF in CSV), DEL, and a
    // C1 control in UTF-8.
    const std::regex raw(R"(\r(?!\n)|[\x00-\x09\x0B-\x0C\x0E-\x1F\x7F]|\xC2[\x80-\x9F])");
    const std::vector<std::vector<std::string>> listings = {{"find"},
                                                            {"find", "--csv"},
                                                            {"find", "--json"},
                                                            {"show", macOf(camera)},
                                                            {"show", macOf(camera), "--json"}};
    std::size_t send = 1;
    for (const auto& args : listings) {
        answersFind(camera, send);
        send += 3;
        out.str("");
        EXPECT_EQ(run(args), cli::kExitOk) << err.str();
        EXPECT_FALSE(std::regex_search(out.str(), raw))
            << ::testing::PrintToString(args) << out.str();
    }
    EXPECT_NE(out.str().find(R"("\u001b[31mred\u001b]0;title\u0007\u009d\r\n")"), std::string::npos)
        << "JSON escapes them";

    // Messages that echo a name or value from an argument or a file.
    const std::vector<std::vector<std::string>> refused = {
        {"set", macOf(camera), "hour=\x1B[2J"},
        {"apply", settingsFile(R"({"\u0000": 1})"), "--all"},
        {"apply", "/tmp/no such \x1B[2J file", "--all"},
        {"set", macOf(camera), "\x1B]0;pwned\x07=1"},
    };
    for (const auto& args : refused) {
        err.str("");
        EXPECT_EQ(run(args), cli::kExitInvalidInput) << ::testing::PrintToString(args);
        EXPECT_FALSE(std::regex_search(err.str(), raw)) << err.str();
    }
    EXPECT_EQ(err.str(), "telviq-cli: unknown field \"?]0;pwned?\"\n");
}

TEST_F(Commands, PasswordsGivenAsDashAreReadFromStandardInputALineEach)
{
    const camsim::Camera camera = camsim::generatedCamera(2);
    answersFind(camera);
    acknowledges(camera, 4);
    standardInput("s3cret pw\nnew\xC3\xA9\n");
    EXPECT_EQ(
        run({"set", macOf(camera), "adminPassword=-", "cameraDescription=-", "newAdminPassword=-"}),
        cli::kExitOk)
        << err.str();
    EXPECT_EQ(err.str(), "") << "no prompt when standard input is no terminal";
    const auto packets = packetsSent();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(countedText(packets[0].bytes, packetAt("adminPassword")), "s3cret pw");
    EXPECT_EQ(countedText(packets[0].bytes, packetAt("newAdminPassword")), "new\xE9");
    EXPECT_EQ(countedText(packets[0].bytes, answerAt("cameraDescription")), "-")
        << "not a password";

    // Input that ends before the second line: nothing is searched for or sent.
    const std::size_t sendsBefore = endpoint.sends.size();
    standardInput("only one");
    err.str("");
    EXPECT_EQ(run({"set", macOf(camera), "emailPassword=-", "adslPassword=-"}),
              cli::kExitInvalidInput);
    EXPECT_EQ(err.str(), "telviq-cli: adslPassword: standard input ended before its line "
                         "(adslPassword=- reads one)\n");
    standardInput("");
    err.str("");
    EXPECT_EQ(run({"set", macOf(camera), "userPassword=-"}), cli::kExitInvalidInput);
    EXPECT_NE(err.str().find("userPassword: standard input ended"), std::string::npos);
    EXPECT_EQ(endpoint.sends.size(), sendsBefore);

    // Lines pasted from Windows end in CR LF: the CR is no part of the password.
    answersFind(camera, 5);
    acknowledges(camera, 8);
    standardInput("old\r\nNew1\r\n");
    EXPECT_EQ(run({"set", macOf(camera), "adminPassword=-", "newAdminPassword=-"}), cli::kExitOk)
        << err.str();
    ASSERT_EQ(packetsSent().size(), 2u);
    EXPECT_EQ(countedText(packetsSent()[1].bytes, packetAt("adminPassword")), "old");
    EXPECT_EQ(countedText(packetsSent()[1].bytes, packetAt("newAdminPassword")), "New1");

    // No one can type any other control character into the window's boxes: however given,
    // such a password is refused before the search.
    const std::size_t sendsNow = endpoint.sends.size();
    for (const char* line : {"pw\r\r\n", "p\tw\n", "pw\x7F\n", "p\xC2\x81w\n"}) {
        standardInput(line);
        err.str("");
        EXPECT_EQ(run({"set", macOf(camera), "emailPassword=-"}), cli::kExitInvalidInput)
            << ::testing::PrintToString(line);
        EXPECT_EQ(err.str(), "telviq-cli: emailPassword: a password cannot hold a control "
                             "character\n");
    }
    EXPECT_EQ(run({"set", macOf(camera), "userPassword=a\rb"}), cli::kExitInvalidInput);
    EXPECT_EQ(run({"apply", settingsFile(R"({"ddnsPassword": "pw\r"})"), "--all"}),
              cli::kExitInvalidInput);
    EXPECT_NE(err.str().find("ddnsPassword: a password cannot hold a control character"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(endpoint.sends.size(), sendsNow);
}

TEST_F(Commands, ShowJsonFedToApplyWritesBackExactlyTheCamerasSettings)
{
    camsim::Camera camera = camsim::generatedCamera(4);
    camsim::setCountedText(camera.record, settings::field("cameraDescription"),
                           "Caf\xE9 \"A\\B\"\b\x7F\xFF");
    camsim::setCountedTextNone(camera.record, settings::field("ddnsUserName"));
    camsim::setCountedText(camera.record, settings::field("ddnsDomainName"), std::string(95, 'd'));
    camera.record.bytes[answerAt("networkType")] =
        3; // no item: null, and left as the window leaves it
    answersFind(camera);
    ASSERT_EQ(run({"show", "--json", "--", macOf(camera)}), cli::kExitOk) << err.str();
    const std::string path = settingsFile(out.str());

    answersFind(camera, 4);
    acknowledges(camera, 7);
    answersFind(camera, 8);
    out.str("");
    // FILE between --mac's list and another option ends the list.
    EXPECT_EQ(run({"apply", "--mac", macOf(camera), path, "--verify"}), cli::kExitOk)
        << err.str() << out.str();
    EXPECT_NE(out.str().find("shows the new values"), std::string::npos) << out.str();

    protocol::ParameterPacket unchanged;
    ASSERT_FALSE(
        settings::collectSettings(settings::valuesOf(camera.record), camera.record, unchanged));
    const auto packets = packetsSent();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].bytes, Bytes(unchanged.bytes.begin(), unchanged.bytes.end()));
}

TEST_F(Commands, ApplyWarnsWhenOthersCanReadAFileWithPasswords)
{
    const camsim::Camera camera = camsim::generatedCamera(2);
    const std::string withPassword = settingsFile(R"({"emailPassword": "secret"})");
    const std::string without = settingsFile(R"({"emailPassword": null, "hour": 6})");
    const std::string warning = "telviq-cli: warning: " + withPassword +
                                " holds passwords and other users can read it (chmod 600 " +
                                withPassword + ")\n";
    const std::pair<std::string, mode_t> files[] = {
        {withPassword, 0640}, {withPassword, 0604}, {withPassword, 0600}, {without, 0644}};
    std::size_t send = 1;
    for (const auto& [path, mode] : files) {
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
        answersFind(camera, send);
        send += 3;
        err.str("");
        out.str("");
        // The settings are still written (here, shown as they would be).
        EXPECT_EQ(run({"apply", path, "--mac", macOf(camera), "--dry-run"}), cli::kExitOk)
            << err.str();
        EXPECT_NE(out.str().find("not sent"), std::string::npos) << out.str();
        const bool othersRead = path == withPassword && (mode & 044) != 0;
        EXPECT_EQ(err.str(), othersRead ? warning : "") << std::oct << mode;
    }
}

TEST_F(Commands, UsageMistakesExitTwoWithoutTouchingTheNetwork)
{
    const std::vector<std::vector<std::string>> mistakes = {
        {},
        {"discover"},
        {"find", "--json", "--csv"},
        {"show", "02-00-5E-10-00-0G"},
        {"set", "02-00-5E-10-00-01"},
        {"set", "02-00-5E-10-00-01", "hour=1", "hour=2"},
        {"set", "02-00-5E-10-00-01", "--dry-run", "--verify", "hour=1"},
        {"apply", "settings.json"},
        {"apply", "settings.json", "--all", "--mac", "02-00-5E-10-00-01"},
        {"apply", "settings.json", "--mac", "nonsense"},
    };
    for (const auto& args : mistakes) {
        err.str("");
        EXPECT_EQ(run(args), cli::kExitInvalidInput) << ::testing::PrintToString(args);
        EXPECT_FALSE(err.str().empty()) << ::testing::PrintToString(args);
    }
    EXPECT_TRUE(endpoint.sends.empty());
    for (const char* command : {"find", "show", "set", "apply"}) {
        for (const char* help : {"--help", "-h"}) {
            out.str("");
            EXPECT_EQ(run({command, help}), cli::kExitOk) << command << " " << help;
            EXPECT_EQ(out.str().rfind(std::string("Usage: telviq-cli ") + command, 0), 0u);
        }
    }
    out.str("");
    EXPECT_EQ(run({"--version"}), cli::kExitOk);
    EXPECT_EQ(out.str(), std::string("telviq-cli ") + version::kVersion + "\n");
}

TEST_F(Commands, TransportFailuresExitFourWithTheTransportsMessage)
{
    FailingEndpoint failing;
    EXPECT_EQ(runOn(failing, {"find"}), cli::kExitNetworkError);
    EXPECT_EQ(err.str(), std::string("telviq-cli: ") + net::EIdSocketError(10051).what() + "\n");
}

// Output that could not be written is no success, also when only the last flush finds out.
TEST(Program, AFailedWriteOfTheOutputIsAnError)
{
    const std::string errPath = "/tmp/tvq-cli-err-" + std::to_string(getpid());
    const int status =
        std::system((std::string(TELVIQ_CLI) + " --version >/dev/full 2>" + errPath).c_str());
    std::ifstream errFile(errPath);
    const std::string err((std::istreambuf_iterator<char>(errFile)), {});
    std::remove(errPath.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), cli::kExitOutputError);
    EXPECT_EQ(err, "telviq-cli: cannot write the output: No space left on device\n");
}

TEST(MacAddress, TakesHyphensOrColonsInEitherCase)
{
    const protocol::MacBytes mac{0x00, 0x1A, 0x2B, 0xC3, 0xD4, 0xEF};
    EXPECT_EQ(net::readMac("00-1A-2B-C3-D4-EF"), mac);
    EXPECT_EQ(net::readMac("00:1a:2b:c3:d4:ef"), mac);
    for (const char* bad : {"00-1A-2B-C3-D4", "00-1A-2B-C3-D4-EF-", "00:1A-2B-C3-D4-EF",
                            "001A2BC3D4EF", "00-1A-2B-C3-D4-EG", " 0-1A-2B-C3-D4-EF"}) {
        EXPECT_FALSE(net::readMac(bad)) << bad;
    }
}

TEST(TextEncoding, ShowsOnlyTheRealControlCharactersAsQuestionMarks)
{
    // 0x80-0x9F are Windows-1252 characters ("\x9B" is a quotation mark, not a terminal's CSI)
    // but for the five it leaves unassigned.
    EXPECT_EQ(cli::printable("a\x1B[2Jb\x9B\x7F\xE9\x80\x81\x8D\x8F\x90\x9D\x9F"),
              "a?[2Jb\x9B?\xE9\x80?????\x9F");
}

TEST_F(Commands, AddressGivesEachCameraTheNextFreeAddressAsSaveWouldAllAtOnce)
{
    std::vector<camsim::Camera> cameras = factoryCameras(4);
    // Camera 4 is not in the plan, and its address in use is taken.
    camsim::putField(cameras[3].record, settings::field("usedIPAddress"), "198.18.0.11");
    for (const camsim::Camera& camera : cameras)
        answersFind(camera);
    acknowledges(cameras[2], 4);
    acknowledges(cameras[0], 6);
    EXPECT_EQ(run({"address", "198.18.0.10", "--mac", macOf(cameras[2]), macOf(cameras[0]),
                   macOf(cameras[1])}),
              cli::kExitNotAcknowledged);
    EXPECT_EQ(
        out.str(),
        "MAC address        Description  In use           New address      Result\n"
        "02-00-5E-10-00-01  Camera 1     192.168.1.100    198.18.0.10      acknowledged\n"
        "02-00-5E-10-00-02  Camera 2     192.168.1.100    198.18.0.12      no acknowledgement\n"
        "02-00-5E-10-00-03  Camera 3     192.168.1.100    198.18.0.13      acknowledged\n"
        "2 of 3 cameras acknowledged.\n");

    // Each is sent what Save sends after four edits on its pages, and nothing else changes.
    const auto packets = packetsSent();
    ASSERT_EQ(packets.size(), 3u);
    const char* given[] = {"198.18.0.10", "198.18.0.12", "198.18.0.13"};
    for (std::size_t i = 0; i < 3; ++i) {
        settings::SettingsValues pages = settings::valuesOf(cameras[i].record);
        pages.networkType = 0;
        pages.ipAddress = given[i];
        pages.subnetMask = "255.255.254.0";
        pages.gateway = "198.18.0.1";
        protocol::ParameterPacket saved;
        ASSERT_FALSE(settings::collectSettings(pages, cameras[i].record, saved));
        EXPECT_EQ(packets[i].bytes, Bytes(saved.bytes.begin(), saved.bytes.end())) << i;
    }
    EXPECT_LT(packets.back().at - packets.front().at, 100) << "sent at once";
}

TEST_F(Commands, AddressPlansFromAFileOrRefusesTheWholePlanAndSendsNothing)
{
    const std::vector<camsim::Camera> cameras = factoryCameras(3);
    for (const camsim::Camera& camera : cameras)
        answersFind(camera);
    acknowledges(cameras[1], 4);
    acknowledges(cameras[0], 5);
    const std::string plan = settingsFile("\xEF\xBB\xBFmacAddress,ipAddress,cameraDescription\r\n" +
                                          macOf(cameras[1]) + ",198.18.1.20,\"Gate, north\"\r\n" +
                                          macOf(cameras[0]) + ",198.18.1.7,Yard\r\n");
    EXPECT_EQ(run({"address", "--plan", plan, "--dns", "198.18.0.53", "--json"}), cli::kExitOk)
        << err.str();
    const auto rows = nlohmann::json::parse(out.str());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["macAddress"], macOf(cameras[1]));
    EXPECT_EQ(rows[0]["ipAddress"], "198.18.1.20");
    EXPECT_EQ(rows[0]["result"], "acknowledged");
    const auto packets = packetsSent();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(net::formatIpv4({packets[1].bytes[32], packets[1].bytes[33], packets[1].bytes[34],
                               packets[1].bytes[35]}),
              "198.18.1.7");
    EXPECT_EQ(net::formatIpv4({packets[1].bytes[44], packets[1].bytes[45], packets[1].bytes[46],
                               packets[1].bytes[47]}),
              "198.18.0.53");

    // Refused before anything is sent: a plan past the subnet's end, a camera that did not
    // answer, an address the plan must skip, a camera whose own settings Save refuses.
    camsim::Camera early = cameras[2];
    early.record.bytes[answerAt("hour")] = 0;
    early.record.bytes[answerAt("minute")] = 1;
    const std::size_t sent = packetsSent().size();
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"address", "198.18.1.253", "--all"},
         "telviq-cli: camera 02-00-5E-10-00-03 (Camera 3) gets no address: the plan runs past the "
         "end of 198.18.0.0/23 (1 of 3 cameras left without one); nothing was sent\n"},
        {{"address", "--plan",
          settingsFile("macAddress,ipAddress\n02-00-5E-10-00-09,198.18.0.9\n")},
         "telviq-cli: " + files_.back() +
             ": line 2: no camera with MAC 02-00-5E-10-00-09 answered the search; nothing was "
             "sent\n"},
        {{"address", "--plan",
          settingsFile("macAddress,ipAddress\n" + macOf(cameras[0]) + ",198.18.0.2\n")},
         "telviq-cli: " + files_.back() +
             ": line 2: 198.18.0.2 is the PC's own address; nothing was sent\n"},
    };
    for (const auto& [args, message] : refused) {
        ScriptedEndpoint network;
        for (const camsim::Camera& camera : cameras)
            for (std::size_t send = 1; send <= 3; ++send)
                network.schedule(send, 20, camsim::respondPacket(camera));
        err.str("");
        EXPECT_NE(runOn(network, args), cli::kExitOk);
        EXPECT_EQ(err.str(), message);
        EXPECT_EQ(network.sends.size(), 3u) << "only the search";
    }
    ScriptedEndpoint network;
    for (const camsim::Camera& camera : {cameras[0], early})
        for (std::size_t send = 1; send <= 3; ++send)
            network.schedule(send, 20, camsim::respondPacket(camera));
    err.str("");
    EXPECT_EQ(runOn(network, {"address", "198.18.0.10", "--all"}), cli::kExitInvalidInput);
    EXPECT_EQ(err.str(), "telviq-cli: camera 02-00-5E-10-00-03: Invalid input in Time e-mail: "
                         "23:59 ~ 00:03 field. Nothing was sent.\n");
    EXPECT_EQ(network.sends.size(), 3u);
    // Without an adapter in FIRST's subnet the mask and gateway must be given.
    err.str("");
    EXPECT_EQ(run({"address", "203.0.113.10", "--all"}), cli::kExitInvalidInput);
    EXPECT_EQ(err.str(), "telviq-cli: no adapter of this PC with a subnet holds 203.0.113.10: "
                         "give --mask and --gateway\n");
    EXPECT_EQ(packetsSent().size(), sent);
}

TEST_F(Commands, SetToAllReadsPasswordsOnceAndWritesEveryCamera)
{
    const std::vector<camsim::Camera> cameras = factoryCameras(3);
    for (const camsim::Camera& camera : cameras)
        answersFind(camera);
    acknowledges(cameras[0], 4);
    acknowledges(cameras[2], 6);
    standardInput("old\r\nNew1\n");
    EXPECT_EQ(run({"set", "--all", "adminPassword=-", "newAdminPassword=-"}),
              cli::kExitNotAcknowledged);
    const auto packets = packetsSent();
    ASSERT_EQ(packets.size(), 3u);
    for (const auto& packet : packets) {
        EXPECT_EQ(countedText(packet.bytes, packetAt("newAdminPassword")), "New1");
        EXPECT_EQ(packet.bytes[answerAt("cameraDescription")], protocol::kKeepMarker);
    }
    EXPECT_NE(out.str().find("02-00-5E-10-00-02  Camera 2     no acknowledgement\n"),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("2 of 3 cameras acknowledged.\n"), std::string::npos);
}

TEST_F(Commands, OneFixedAddressForManyCamerasIsRefusedAndPasswordsAreNeverVerified)
{
    const std::vector<camsim::Camera> cameras = factoryCameras(2);
    for (const camsim::Camera& camera : cameras)
        answersFind(camera);
    const std::string shared =
        settingsFile(R"({"networkType": "Fixed IP", "ipAddress": "198.18.0.50"})");
    EXPECT_EQ(run({"apply", shared, "--all"}), cli::kExitInvalidInput);
    EXPECT_EQ(err.str(), "telviq-cli: these settings would give 2 cameras the fixed address "
                         "198.18.0.50; 'telviq-cli address' gives each camera an address of its "
                         "own\n");
    EXPECT_TRUE(packetsSent().empty());

    // One camera may take it; its passwords are sent, and said not to be checked.
    ScriptedEndpoint network;
    for (std::size_t send : {1, 2, 3, 5, 6, 7})
        network.schedule(send, 20, camsim::respondPacket(cameras[0]));
    network.schedule(4, 5, camsim::ackDatagrams(cameras[0])[0]);
    out.str("");
    EXPECT_EQ(runOn(network, {"set", macOf(cameras[0]), "adminPassword=old", "newAdminPassword=new",
                              "--verify"}),
              cli::kExitOk);
    EXPECT_EQ(out.str(), "Settings write ok!\nNot verified: passwords cannot be read back from a "
                         "camera (adminPassword and newAdminPassword).\n");
    camsim::Camera taken = cameras[0];
    taken.record.bytes[answerAt("triggerCount")] = 12;
    ScriptedEndpoint second;
    for (std::size_t send : {1, 2, 3})
        second.schedule(send, 20, camsim::respondPacket(cameras[0]));
    for (std::size_t send : {5, 6, 7})
        second.schedule(send, 20, camsim::respondPacket(taken));
    second.schedule(4, 5, camsim::ackDatagrams(cameras[0])[0]);
    out.str("");
    EXPECT_EQ(runOn(second,
                    {"set", macOf(cameras[0]), "triggerCount=12", "adminPassword=old", "--verify"}),
              cli::kExitOk);
    EXPECT_EQ(out.str(), "Settings write ok!\nVerified: the camera shows the new values.\n"
                         "Passwords cannot be read back from a camera: adminPassword not "
                         "checked.\n");
}

TEST_F(Commands, ShowNamesSeveralCamerasFromOneSearchAndSaysWhichDidNotAnswer)
{
    const std::vector<camsim::Camera> cameras = factoryCameras(2);
    for (const camsim::Camera& camera : cameras)
        answersFind(camera);
    EXPECT_EQ(
        run({"show", "--mac", macOf(cameras[1]), "02-00-5E-10-00-09", macOf(cameras[0]), "--json"}),
        cli::kExitNotFound);
    EXPECT_EQ(err.str(), "telviq-cli: no camera with MAC 02-00-5E-10-00-09 answered the search\n");
    const auto list = nlohmann::ordered_json::parse(out.str());
    ASSERT_EQ(list.size(), 2u) << out.str();
    EXPECT_EQ(list[0], settings::settingsJson(settings::valuesOf(cameras[1].record)));
    EXPECT_EQ(list[1], settings::settingsJson(settings::valuesOf(cameras[0].record)));
    EXPECT_EQ(endpoint.sends.size(), 3u) << "one search";

    // --all, in the order found; the listing for people has each camera's pages.
    for (const camsim::Camera& camera : cameras)
        answersFind(camera, 4);
    out.str("");
    ASSERT_EQ(run({"show", "--all"}), cli::kExitOk);
    EXPECT_NE(out.str().find("macAddress           " + macOf(cameras[0])), std::string::npos);
    EXPECT_LT(out.str().find(macOf(cameras[0])), out.str().find(macOf(cameras[1])));
    err.str("");
    EXPECT_EQ(run({"show", macOf(cameras[0]), "--all"}), cli::kExitInvalidInput);
    EXPECT_EQ(endpoint.sends.size(), 6u);
}

// What the Ansible collection runs: the settings on standard input, cameras that hold them left
// alone, and for each camera the fields that differ, compared after the CLI's own reading.
TEST_F(Commands, ApplyFromStandardInputWritesOnlyTheCamerasThatDifferAndSaysWhatDiffers)
{
    std::vector<camsim::Camera> cameras = factoryCameras(2);
    for (camsim::Camera& camera : cameras) {
        camera.record.bytes[answerAt("hour")] = 6;
        camsim::putField(camera.record, settings::field("networkType"), "2");
    }
    camsim::setCountedText(cameras[0].record, settings::field("cameraDescription"), "Dock");
    cameras[0].record.bytes[answerAt("hour")] = 7;
    // Written as people write them: "07" for 7, "dhcp" for DHCP.
    const std::string wanted = R"({"cameraDescription": "Dock", "hour": "07",
                                   "networkType": "dhcp"})";
    for (const camsim::Camera& camera : cameras)
        answersFind(camera);
    acknowledges(cameras[1], 4);
    standardInput(wanted);
    EXPECT_EQ(run({"apply", "-", "--all", "--changed-only", "--json"}), cli::kExitOk) << err.str();
    auto rows = nlohmann::ordered_json::parse(out.str());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["result"], "unchanged");
    EXPECT_EQ(rows[0]["differences"], nlohmann::ordered_json::object());
    EXPECT_EQ(rows[1]["result"], "acknowledged");
    EXPECT_EQ(rows[1]["differences"], nlohmann::ordered_json::parse(R"({
        "cameraDescription": {"before": "Camera 2", "after": "Dock"},
        "hour": {"before": 6, "after": 7}})"));
    auto packets = packetsSent();
    ASSERT_EQ(packets.size(), 1u) << "only the camera that differs";
    EXPECT_EQ(packets[0].bytes[protocol::offset::parameterMac + 5], 0x02);

    // A password cannot be compared: every camera is written, and it is never printed.
    for (const camsim::Camera& camera : cameras)
        answersFind(camera, 5);
    acknowledges(cameras[0], 8);
    acknowledges(cameras[1], 9);
    standardInput(R"({"cameraDescription": "Dock", "emailPassword": "s3cret"})");
    out.str("");
    EXPECT_EQ(run({"apply", "-", "--all", "--changed-only", "--json"}), cli::kExitOk) << err.str();
    EXPECT_EQ(out.str().find("s3cret"), std::string::npos);
    rows = nlohmann::ordered_json::parse(out.str());
    EXPECT_EQ(rows[0]["result"], "acknowledged");
    EXPECT_EQ(rows[0]["differences"], nlohmann::ordered_json::object());
    packets = packetsSent();
    ASSERT_EQ(packets.size(), 3u);
    EXPECT_EQ(countedText(packets[1].bytes, packetAt("emailPassword")), "s3cret");
    EXPECT_EQ(err.str(), "") << "no warning about who may read standard input";

    // Check mode: nothing sent, the same rows. Cameras that did not answer or acknowledge
    // say why in telviq-cli's words.
    for (const camsim::Camera& camera : cameras)
        answersFind(camera, 10);
    standardInput(wanted);
    out.str("");
    EXPECT_EQ(run({"apply", "-", "--all", "--changed-only", "--json", "--dry-run"}), cli::kExitOk);
    rows = nlohmann::ordered_json::parse(out.str());
    EXPECT_EQ(rows[0]["result"], "unchanged");
    EXPECT_EQ(rows[1]["result"], "not sent");
    EXPECT_EQ(rows[1]["differences"].size(), 2u);
    EXPECT_EQ(packetsSent().size(), 3u);

    answersFind(cameras[1], 13);
    standardInput(R"({"hour": 8})");
    out.str("");
    EXPECT_EQ(run({"apply", "-", "--mac", macOf(cameras[1]), "02-00-5E-10-00-09", "--json"}),
              cli::kExitNotFound);
    rows = nlohmann::ordered_json::parse(out.str());
    EXPECT_EQ(rows[0]["message"], "no acknowledgement within 10 seconds");
    EXPECT_EQ(rows[1]["message"], "no camera with MAC 02-00-5E-10-00-09 answered the search");
    EXPECT_EQ(packetsSent().size(), 4u);

    // Settings that standard input does not hold whole are refused, by line and column.
    standardInput("{\"hour\": 7,");
    err.str("");
    EXPECT_EQ(run({"apply", "-", "--all"}), cli::kExitInvalidInput);
    EXPECT_EQ(err.str().rfind("telviq-cli: standard input: line 1, column ", 0), 0u) << err.str();
    EXPECT_EQ(endpoint.sends.size(), 16u);
}
