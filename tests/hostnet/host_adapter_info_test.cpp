#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "hostnet/debug_trace.h"
#include "hostnet/host_adapter_info.h"

using namespace hostnet;

namespace {

AdapterEntry adapter(int type, std::string description, std::string ip)
{
    return {type, description,     {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E},
            ip,   "255.255.255.0", "198.51.100.1"};
}

AdapterEntry ethernet(std::string description, std::string ip)
{
    return adapter(kEthernetType, description, ip);
}

class FakeSource : public AdapterSource {
public:
    bool listWorks = true;
    std::vector<AdapterEntry> adapters;
    bool parametersWork = true;
    NetworkParameters parameters{"pc1", "office.example", "203.0.113.53"};
    int parameterReads = 0;

    bool listAdapters(std::vector<AdapterEntry>& out) override
    {
        out = adapters;
        return listWorks;
    }
    bool readNetworkParameters(NetworkParameters& out) override
    {
        ++parameterReads;
        out = parameters;
        return parametersWork;
    }
};

// The seven texts in one line, so a whole group is compared at once.
std::string shown(const HostAdapterInfo& info)
{
    const PcGroupTexts t = pcGroupTexts(info);
    return t.hostName + "|" + t.macAddress + "|" + t.adapterName + "|" + t.ipAddress + "|" +
           t.subnetMask + "|" + t.gateway + "|" + t.dnsServer;
}

std::string hostText(const std::string& host, const std::string& domain)
{
    HostAdapterInfo info;
    info.networkParameters =
        std::make_unique<NetworkParameters>(NetworkParameters{host, domain, ""});
    return pcGroupTexts(info).hostName;
}

} // namespace

TEST(LoadHostAdapterInfo, KeepsOnlyOnlineEthernetInListOrder)
{
    FakeSource source;
    source.adapters = {adapter(24, "lo", "127.0.0.1"),   adapter(23, "ppp0", "203.0.113.9"),
                       ethernet("unplugged", "0.0.0.0"), ethernet("no address", ""),
                       ethernet("eth1", "198.51.100.7"), adapter(131, "tun0", "203.0.113.77"),
                       ethernet("eth2", "203.0.113.5")};
    HostAdapterInfo info;
    EXPECT_TRUE(LoadHostAdapterInfo(info, source));
    ASSERT_EQ(info.adapterCount, 2);
    EXPECT_EQ(info.adapters[1].description, "eth2");
    EXPECT_EQ(shown(info), "pc1.office.example|00-1A-2B-3C-4D-5E|eth1|198.51.100.7|"
                           "255.255.255.0|198.51.100.1|203.0.113.53");

    // Loopback and dial-up alone never count, yet the network parameters are still read.
    source.adapters = {adapter(24, "lo", "127.0.0.1"), adapter(23, "ppp0", "203.0.113.9")};
    HostAdapterInfo none;
    EXPECT_FALSE(LoadHostAdapterInfo(none, source));
    EXPECT_EQ(none.adapterCount, 0);
    EXPECT_NE(none.networkParameters, nullptr);
}

TEST(LoadHostAdapterInfo, StoresAtMostFourAndShowsTheFirst)
{
    FakeSource source;
    for (int i = 0; i < 5; ++i)
        source.adapters.push_back(
            ethernet("eth" + std::to_string(i), "198.51.100.1" + std::to_string(i)));
    HostAdapterInfo info;
    EXPECT_TRUE(LoadHostAdapterInfo(info, source));
    ASSERT_EQ(info.adapterCount, kMaxAdapters);
    EXPECT_EQ(info.adapters[3].description, "eth3");
    EXPECT_EQ(pcGroupTexts(info).ipAddress, "198.51.100.10");
}

TEST(LoadHostAdapterInfo, FailedOrEmptyListChangesNothing)
{
    FakeSource source;
    source.adapters = {ethernet("eth0", "198.51.100.7")};
    HostAdapterInfo info;
    ASSERT_TRUE(LoadHostAdapterInfo(info, source));
    const NetworkParameters* before = info.networkParameters.get();

    std::vector<std::string> lines;
    for (bool listWorks : {false, true}) {
        source.listWorks = listWorks;
        source.adapters.clear();
        testing::internal::CaptureStderr();
        EXPECT_FALSE(LoadHostAdapterInfo(info, source));
        lines.push_back(testing::internal::GetCapturedStderr());
        EXPECT_FALSE(lines.back().empty());
        EXPECT_EQ(lines.back().find('\n'), lines.back().size() - 1) << lines.back();
    }
    EXPECT_NE(lines[0], lines[1]);
    EXPECT_EQ(source.parameterReads, 1);
    EXPECT_EQ(info.adapterCount, 1);
    EXPECT_EQ(info.adapters[0].description, "eth0");
    EXPECT_EQ(info.networkParameters.get(), before);
}

TEST(LoadHostAdapterInfo, RetryShowsOnlyTheLatestQuery)
{
    FakeSource source;
    source.adapters = {ethernet("eth0", "198.51.100.7"), ethernet("eth1", "198.51.100.8")};
    HostAdapterInfo info;
    ASSERT_TRUE(LoadHostAdapterInfo(info, source));

    source.adapters = {ethernet("usb0", "203.0.113.5")};
    source.parameters = {"pc2", "lab.example", "198.51.100.53"};
    ASSERT_TRUE(LoadHostAdapterInfo(info, source));
    EXPECT_EQ(info.adapterCount, 1);
    EXPECT_TRUE(info.adapters[1].description.empty());
    EXPECT_EQ(shown(info), "pc2.lab.example|00-1A-2B-3C-4D-5E|usb0|203.0.113.5|255.255.255.0|"
                           "198.51.100.1|198.51.100.53");

    // Parameters that cannot be read leave none rather than the previous try's.
    source.parametersWork = false;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(LoadHostAdapterInfo(info, source));
    EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
    EXPECT_EQ(info.networkParameters, nullptr);
    EXPECT_EQ(shown(info), "|00-1A-2B-3C-4D-5E|usb0|203.0.113.5|255.255.255.0|198.51.100.1|");
}

TEST(PcGroupTexts, HostTextJoinsWithADotAndFitsTheEdit)
{
    EXPECT_EQ(hostText("pc1", ""), "pc1.");
    const std::string host(25, 'h'), domain = "department.example.test";
    EXPECT_EQ(hostText(host, domain), (host + "." + domain).substr(0, kHostTextRoom));
    // A two-byte character across the limit is dropped whole.
    EXPECT_EQ(hostText(std::string(30, 'h') + "\xC3\xA9", "x"), std::string(30, 'h'));
}

TEST(PcGroupTexts, MacAlwaysSixPairsAndNoGatewayShownAsZeros)
{
    HostAdapterInfo info;
    info.adapterCount = 1;
    info.adapters[0] = {kEthernetType,  "eth0",      {0x0A, 0x0B, 0xC0, 0xFF},
                        "198.51.100.7", "255.0.0.0", ""};
    EXPECT_EQ(shown(info), "|0A-0B-C0-FF-00-00|eth0|198.51.100.7|255.0.0.0|0.0.0.0|");
    info.adapters[0].address = {0x01, 0x02, 0x03, 0x04, 0x05, 0xab, 0x07, 0x08};
    EXPECT_EQ(pcGroupTexts(info).macAddress, "01-02-03-04-05-AB");
}

TEST(AdapterSubnets, HoldOnlyTheirHostsAndNameThemselves)
{
    HostAdapterInfo info;
    info.adapterCount = 4;
    info.adapters[0] = adapter(kEthernetType, "eth0", "198.51.100.77");
    info.adapters[0].ipMask = "255.255.254.0"; // 198.51.100.0 to 198.51.101.255
    info.adapters[1] = adapter(kEthernetType, "wlan0", "203.0.113.130");
    info.adapters[1].ipMask = "255.255.255.252"; // hosts .129 and .130
    info.adapters[2] = adapter(kEthernetType, "broken", "not an address");
    info.adapters[3] = adapter(kEthernetType, "p2p", "203.0.113.9");
    info.adapters[3].ipMask = "255.255.255.254";
    const std::vector<AdapterSubnet> subnets = adapterSubnets(info);
    ASSERT_EQ(subnets.size(), 3u) << "an adapter without a readable address has no subnet";
    EXPECT_EQ(subnets[0].adapter, "eth0");
    EXPECT_EQ(subnets[0].text(), "198.51.100.0/23");
    EXPECT_EQ(subnets[1].text(), "203.0.113.128/30");
    EXPECT_EQ(subnets[2].text(), "203.0.113.8/31");

    struct Case {
        net::Ipv4Bytes address;
        bool eth0, wlan0, p2p;
    };
    const Case cases[] = {
        {{198, 51, 100, 0}, false, false, false},  // eth0's network address
        {{198, 51, 100, 255}, true, false, false}, // inside a /23, an ordinary host
        {{198, 51, 101, 254}, true, false, false},
        {{198, 51, 101, 255}, false, false, false}, // eth0's broadcast address
        {{198, 51, 102, 1}, false, false, false},
        {{203, 0, 113, 128}, false, false, false},
        {{203, 0, 113, 129}, false, true, false},
        {{203, 0, 113, 131}, false, false, false},
        {{203, 0, 113, 8}, false, false, true}, // both addresses of a /31 are hosts
        {{203, 0, 113, 9}, false, false, true},
        {{0, 0, 0, 0}, false, false, false},
        {{255, 255, 255, 255}, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.address[2]) + "." + std::to_string(c.address[3]));
        EXPECT_EQ(subnets[0].holdsHost(c.address), c.eth0);
        EXPECT_EQ(subnets[1].holdsHost(c.address), c.wlan0);
        EXPECT_EQ(subnets[2].holdsHost(c.address), c.p2p);
    }

    const net::Ipv4Subnet single{{198, 51, 100, 7}, {255, 255, 255, 255}};
    EXPECT_FALSE(single.holdsHost({198, 51, 100, 7}));
    EXPECT_EQ(single.text(), "198.51.100.7/32");
    const net::Ipv4Subnet odd{{10, 0, 0, 0}, {255, 0, 255, 0}};
    EXPECT_EQ(odd.text(), "10.0.0.0/255.0.255.0");
    EXPECT_TRUE(odd.holdsHost({10, 7, 0, 1}));
}

TEST(DebugTrace, WritesTheFormattedTextAndCutsItToTheBuffer)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(DebugTrace("%s = %d\n", "buff_size", 42), 15);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "buff_size = 42\n");

    const std::string longText(600, 'x');
    testing::internal::CaptureStderr();
    EXPECT_EQ(DebugTrace("%s", longText.c_str()), kDebugTraceBufferSize - 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              longText.substr(0, kDebugTraceBufferSize - 1));
}
