#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

#include "settings/address_plan.h"
#include "settings/camera_list.h"
#include "tools/virtual-cameras/camera.h"

namespace {

using net::Ipv4Bytes;
using settings::AddressPlan;
using settings::AddressRules;

// Cameras whose MACs end in the given bytes, each using the given address.
std::vector<protocol::CameraRecord> cameras(const std::vector<int>& lastMacBytes,
                                            const std::string& inUse = "192.168.1.100")
{
    std::vector<protocol::CameraRecord> made;
    for (int last : lastMacBytes) {
        camsim::Camera camera = camsim::generatedCamera(0);
        camera.record.bytes[25] = static_cast<std::uint8_t>(last);
        camsim::putField(camera.record, settings::field("usedIPAddress"), inUse);
        made.push_back(camera.record);
    }
    return made;
}

std::vector<const protocol::CameraRecord*> pointers(const std::vector<protocol::CameraRecord>& all)
{
    std::vector<const protocol::CameraRecord*> list;
    for (const auto& record : all)
        list.push_back(&record);
    return list;
}

Ipv4Bytes ip(const char* text)
{
    return *net::readStrictIpv4(text);
}

AddressRules rules(const char* mask, const char* gateway)
{
    AddressRules made;
    made.mask = ip(mask);
    made.gateway = ip(gateway);
    return made;
}

// "last MAC byte=address" for each planned camera, in the plan's order.
std::vector<std::string> shown(const AddressPlan& plan)
{
    std::vector<std::string> lines;
    for (const auto& planned : plan.cameras)
        lines.push_back(std::to_string(protocol::macAddress(*planned.camera)[5]) + "=" +
                        net::formatIpv4(planned.address));
    return lines;
}

TEST(AddressPlan, HandsOutUpwardInMacOrderSkippingWhatIsTaken)
{
    const auto all = cameras({7, 3, 9, 5, 3});
    std::vector<const protocol::CameraRecord*> chosen = pointers(all);
    // A camera outside the plan that answered keeps its address in use.
    const auto outside = cameras({200}, "198.51.100.15");
    std::vector<const protocol::CameraRecord*> answered = chosen;
    answered.push_back(&outside[0]);

    AddressRules r = rules("255.255.255.0", "198.51.100.1");
    r.pcAddresses = {ip("198.51.100.11")};
    r.dnsServer = ip("198.51.100.13");
    AddressPlan plan;
    std::string error;
    ASSERT_TRUE(settings::planAddresses(chosen, answered, ip("198.51.100.10"), r, plan, error))
        << error;
    // One camera heard twice gets one address; 11 is the PC's, 13 the DNS server, 15 in use.
    EXPECT_EQ(shown(plan), (std::vector<std::string>{"3=198.51.100.10", "5=198.51.100.12",
                                                     "7=198.51.100.14", "9=198.51.100.16"}));
    // The same whatever order the search heard them in.
    std::reverse(chosen.begin(), chosen.end());
    AddressPlan again;
    ASSERT_TRUE(settings::planAddresses(chosen, answered, ip("198.51.100.10"), r, again, error));
    EXPECT_EQ(shown(again), shown(plan));

    // The gateway is skipped like any other taken address, and the subnet's network and
    // broadcast addresses are no hosts.
    const auto pair = cameras({1, 2});
    ASSERT_TRUE(settings::planAddresses(pointers(pair), {}, ip("198.51.100.1"),
                                        rules("255.255.255.0", "198.51.100.2"), plan, error));
    EXPECT_EQ(shown(plan), (std::vector<std::string>{"1=198.51.100.1", "2=198.51.100.3"}));
}

TEST(AddressPlan, RefusesWhatCannotBePlannedAndSaysWhy)
{
    const auto two = cameras({1, 2});
    AddressPlan plan;
    std::string error;
    const auto refused = [&](const char* first, const AddressRules& r,
                             const std::vector<protocol::CameraRecord>& planned) {
        EXPECT_FALSE(settings::planAddresses(pointers(planned), {}, ip(first), r, plan, error))
            << first;
        return error;
    };
    // Past the end of a /24: .254, then the broadcast address.
    EXPECT_EQ(refused("203.0.113.254", rules("255.255.255.0", "203.0.113.1"), two),
              "camera 02-00-5E-10-00-02 (Camera 1) gets no address: the plan runs past the end "
              "of 203.0.113.0/24 (1 of 2 cameras left without one)");
    // A /30 has two hosts, one of them the gateway.
    refused("203.0.113.5", rules("255.255.255.252", "203.0.113.6"), two);
    EXPECT_EQ(refused("0.0.0.0", rules("255.255.255.0", "0.0.0.1"), two),
              "the first address 0.0.0.0 is not a host of 0.0.0.0/24");
    EXPECT_EQ(refused("203.0.113.255", rules("255.255.255.0", "203.0.113.1"), two),
              "the first address 203.0.113.255 is not a host of 203.0.113.0/24");
    EXPECT_EQ(refused("203.0.113.10", rules("255.255.255.0", "198.51.100.1"), two),
              "the gateway 198.51.100.1 is not a host of 203.0.113.0/24");
    EXPECT_EQ(refused("203.0.113.10", rules("255.0.255.0", "203.0.113.1"), two),
              "the subnet mask 255.0.255.0 is not one run of ones");

    // Both addresses of a /31 are hosts: one for the gateway, one for a camera.
    const auto one = cameras({1});
    ASSERT_TRUE(settings::planAddresses(pointers(one), {}, ip("203.0.113.8"),
                                        rules("255.255.255.254", "203.0.113.9"), plan, error))
        << error;
    EXPECT_EQ(shown(plan), std::vector<std::string>{"1=203.0.113.8"});
    refused("203.0.113.8", rules("255.255.255.254", "203.0.113.9"), two);
}

TEST(AddressPlan, NoTwoCamerasEverShareAnAddress)
{
    std::vector<int> macs;
    for (int i = 0; i < 250; ++i)
        macs.push_back((i * 37) % 256);
    const auto all = cameras(macs);
    AddressRules r = rules("255.255.254.0", "198.18.0.1");
    r.pcAddresses = {ip("198.18.0.2"), ip("198.18.1.0")};
    AddressPlan plan;
    std::string error;
    ASSERT_TRUE(
        settings::planAddresses(pointers(all), pointers(all), ip("198.18.0.250"), r, plan, error))
        << error;
    std::set<Ipv4Bytes> given;
    for (const auto& planned : plan.cameras) {
        EXPECT_TRUE(given.insert(planned.address).second) << net::formatIpv4(planned.address);
        EXPECT_NE(planned.address, ip("198.18.1.0")) << "the PC's";
    }
    EXPECT_EQ(given.size(), 250u);
}

TEST(PlanFile, ReadsRfc4180WithOrWithoutAByteOrderMarkAndSaysWhereItIsWrong)
{
    std::vector<settings::PlanRow> rows;
    std::string error;
    ASSERT_TRUE(settings::readPlanFile("\xEF\xBB\xBFmacAddress,ipAddress,cameraDescription\r\n"
                                       "02-00-5E-10-00-01,198.18.0.10,\"Gate, \"\"north\"\"\"\r\n"
                                       "\r\n"
                                       "02:00:5e:10:00:02,198.18.0.11,\"two\nlines\"\r\n",
                                       rows, error))
        << error;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].line, 2);
    EXPECT_EQ(net::formatMac(rows[1].mac), "02-00-5E-10-00-02");
    EXPECT_EQ(net::formatIpv4(rows[1].address), "198.18.0.11");
    // Lines that end in a CR alone are lines too.
    ASSERT_TRUE(settings::readPlanFile("macAddress,ipAddress\r02-00-5E-10-00-01,198.18.0.10\r"
                                       "02-00-5E-10-00-02,198.18.0.11",
                                       rows, error));
    EXPECT_EQ(rows[1].line, 3);

    const std::string header = "macAddress,ipAddress\n";
    const std::pair<std::string, std::string> refused[] = {
        {"", "the file is empty: it needs the header macAddress,ipAddress"},
        {"mac,ip\n", "line 1: the header must be macAddress,ipAddress or "
                     "macAddress,ipAddress,cameraDescription"},
        {"macAddress,ipAddress,firmwareVersion\n", "line 1: the header must be macAddress,"
                                                   "ipAddress or macAddress,ipAddress,"
                                                   "cameraDescription"},
        {header, "the file plans no camera"},
        {header + "02-00-5E-10-00-01\n", "line 2: 1 columns where the header has 2"},
        {header + "02-00-5E-10-00-01,198.18.0.10,x\n", "line 2: 3 columns where the header has 2"},
        {header + "02-00-5E-10-00-01,198.18.0.010\n",
         "line 2: \"198.18.0.010\" is not an address: " + std::string(settings::addressForm)},
        {header + "02-00-5E-10-00-01, 198.18.0.10\n",
         "line 2: \" 198.18.0.10\" is not an address: " + std::string(settings::addressForm)},
        {header + "02-00-5E-10-00-1,198.18.0.10\n",
         "line 2: \"02-00-5E-10-00-1\" is not a MAC address"},
        {header + "02-00-5E-10-00-01,198.18.0.10\n02-00-5e-10-00-01,198.18.0.11\n",
         "line 3: camera 02-00-5E-10-00-01 is planned on line 2 already"},
        {header + "02-00-5E-10-00-01,198.18.0.10\n02-00-5E-10-00-02,198.18.0.10\n",
         "line 3: 198.18.0.10 is planned on line 2 already"},
        {header + "02-00-5E-10-00-01,\"198.18.0.10\n",
         "line 2: a quote that does not open or close a field"},
        {header + "02-00-5E-10-00-01,198.18\"0.10\n",
         "line 2: a quote that does not open or close a field"},
    };
    for (const auto& [text, message] : refused) {
        EXPECT_FALSE(settings::readPlanFile(text, rows, error)) << text;
        EXPECT_EQ(error, message) << text;
    }
}

TEST(PlanFile, RowsMustNameCamerasThatAnsweredAndAddressesThePlanMayGive)
{
    const auto all = cameras({1, 2, 3}, "198.18.0.30");
    std::vector<const protocol::CameraRecord*> answered = pointers(all);
    const auto plan = [&](const std::string& text, AddressPlan& out, std::string& error) {
        std::vector<settings::PlanRow> rows;
        EXPECT_TRUE(settings::readPlanFile("macAddress,ipAddress\n" + text, rows, error)) << error;
        AddressRules r = rules("255.255.254.0", "198.18.0.1");
        r.pcAddresses = {ip("198.18.0.2")};
        // Camera 3 is not in the plans below: its address in use is taken.
        return settings::planFromRows(rows, {answered[0], answered[1], answered[2]}, r, out, error);
    };
    AddressPlan out;
    std::string error;
    ASSERT_TRUE(plan("02-00-5E-10-00-02,198.18.1.7\n02-00-5E-10-00-01,198.18.0.9\n", out, error))
        << error;
    EXPECT_EQ(shown(out), (std::vector<std::string>{"2=198.18.1.7", "1=198.18.0.9"}));
    const std::pair<std::string, std::string> refused[] = {
        {"02-00-5E-10-00-01,198.18.0.9\n02-00-5E-10-00-09,198.18.0.8\n",
         "line 3: no camera with MAC 02-00-5E-10-00-09 answered the search"},
        {"02-00-5E-10-00-01,198.18.0.1\n", "line 2: 198.18.0.1 is the gateway"},
        {"02-00-5E-10-00-01,198.18.0.9\n02-00-5E-10-00-02,198.18.0.2\n",
         "line 3: 198.18.0.2 is the PC's own address"},
        {"02-00-5E-10-00-01,198.18.0.30\n",
         "line 2: 198.18.0.30 is in use by camera 02-00-5E-10-00-02 (Camera 1), which is not in "
         "the plan"},
        {"02-00-5E-10-00-01,198.18.0.9\n02-00-5E-10-00-02,198.18.1.255\n",
         "line 3: 198.18.1.255 is not a host of 198.18.0.0/23"},
        {"02-00-5E-10-00-01,198.18.2.9\n", "the gateway 198.18.0.1 is not a host of "
                                           "198.18.2.0/23"},
    };
    for (const auto& [text, message] : refused) {
        EXPECT_FALSE(plan(text, out, error)) << text;
        EXPECT_EQ(error, message) << text;
    }

    // Ten thousand rows are read at once, and the first camera that did not answer is named.
    std::string many = "macAddress,ipAddress\n";
    for (int i = 0; i < 10000; ++i) {
        many += "02-00-5E-11-" +
                [](int v) {
                    const char* hex = "0123456789ABCDEF";
                    return std::string{hex[v / 16], hex[v % 16]};
                }(i / 256) +
                "-" +
                [](int v) {
                    const char* hex = "0123456789ABCDEF";
                    return std::string{hex[v / 16], hex[v % 16]};
                }(i % 256) +
                ",10." + std::to_string(i / 256) + "." + std::to_string(i % 256) + ".1\n";
    }
    std::vector<settings::PlanRow> rows;
    ASSERT_TRUE(settings::readPlanFile(many, rows, error)) << error;
    EXPECT_EQ(rows.size(), 10000u);
    EXPECT_FALSE(
        settings::planFromRows(rows, answered, rules("255.0.0.0", "10.0.0.2"), out, error));
    EXPECT_EQ(error, "line 2: no camera with MAC 02-00-5E-11-00-00 answered the search");
}

} // namespace
