#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <sched.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "hostnet/linux_adapter_source.h"

using namespace hostnet;

namespace {

// A route table word as the kernel prints it: the address's in-memory 32 bits in hexadecimal.
std::string routeWord(const char* dotted)
{
    in_addr address{};
    EXPECT_EQ(inet_pton(AF_INET, dotted, &address), 1);
    char text[9];
    std::snprintf(text, sizeof text, "%08X", address.s_addr);
    return text;
}

std::string routeLine(const std::string& iface, const char* destination, const char* gateway,
                      const char* flags, int metric, const char* mask)
{
    return iface + "\t" + routeWord(destination) + "\t" + routeWord(gateway) + "\t" + flags +
           "\t0\t0\t" + std::to_string(metric) + "\t" + routeWord(mask) + "\t0\t0\t0\n";
}

std::string writeTempFile(const std::string& name, const std::string& text)
{
    const std::string path =
        testing::TempDir() + "hostnet_" + std::to_string(getpid()) + "_" + name;
    std::ofstream(path) << text;
    return path;
}

InterfaceFacts interface(unsigned index, std::string name, unsigned short type, bool running,
                         std::string ip)
{
    const std::uint8_t last = static_cast<std::uint8_t>(index);
    return {index, name, type, {0x02, 0x00, 0x5E, 0x00, 0x00, last}, running, ip, "255.255.255.0"};
}

} // namespace

TEST(AdapterType, OnlyEthernetHardwareCountsAsEthernet)
{
    EXPECT_EQ(adapterTypeFromHardwareType(ARPHRD_ETHER), kEthernetType);
    for (unsigned short other : {ARPHRD_LOOPBACK, ARPHRD_PPP, ARPHRD_TUNNEL, ARPHRD_SIT,
                                 ARPHRD_NONE, ARPHRD_IEEE80211_RADIOTAP, ARPHRD_INFINIBAND})
        EXPECT_NE(adapterTypeFromHardwareType(other), kEthernetType) << other;
}

TEST(DefaultGatewayFromRoutes, PicksThisInterfacesDefaultRouteWithTheLowestMetric)
{
    const std::string table =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n" +
        routeLine("wlan0", "0.0.0.0", "203.0.113.254", "0003", 50, "0.0.0.0") +
        routeLine("eth0", "0.0.0.0", "198.51.100.1", "0003", 200, "0.0.0.0") +
        routeLine("eth0", "0.0.0.0", "198.51.100.2", "0003", 100, "0.0.0.0") +
        routeLine("eth0", "198.51.100.0", "0.0.0.0", "0001", 0, "255.255.255.0") +
        routeLine("eth1", "198.51.100.0", "198.51.100.5", "0003", 0, "255.255.255.0") +
        routeLine("eth2", "0.0.0.0", "0.0.0.0", "0001", 0, "0.0.0.0") + "eth3\t00000000\tzz\n";

    EXPECT_EQ(defaultGatewayFromRoutes(table, "eth0"), "198.51.100.2");
    EXPECT_EQ(defaultGatewayFromRoutes(table, "wlan0"), "203.0.113.254");
    EXPECT_EQ(defaultGatewayFromRoutes(table, "eth1"), ""); // a gateway, but not the default
    EXPECT_EQ(defaultGatewayFromRoutes(table, "eth2"), ""); // default route without a gateway
    EXPECT_EQ(defaultGatewayFromRoutes(table, "eth3"), "");
    EXPECT_EQ(defaultGatewayFromRoutes(table, "eth"), "");
    EXPECT_EQ(defaultGatewayFromRoutes("", "eth0"), "");
}

TEST(ParseResolvConf, FirstIpv4NameserverAndTheLastDomainOrSearchLine)
{
    const ResolverFacts facts = parseResolvConf("# written by hand\n"
                                                "; nameserver 198.51.100.99\n"
                                                "#nameserver 198.51.100.98\n"
                                                "nameserver fe80::1\n"
                                                "nameserver 1.2.3\n"
                                                "nameserver\n"
                                                "  nameserver\t203.0.113.53  \r\n"
                                                "nameserver 198.51.100.53\n"
                                                "domain old.example\n"
                                                "search lan.example other.example\n"
                                                "options ndots:2");
    EXPECT_EQ(facts.nameserver, "203.0.113.53");
    EXPECT_EQ(facts.domain, "lan.example");

    EXPECT_EQ(parseResolvConf("search a.example b.example\ndomain b.example\n").domain,
              "b.example");
    const ResolverFacts none = parseResolvConf("nameserver 2001:db8::53\n");
    EXPECT_EQ(none.nameserver, "");
    EXPECT_EQ(none.domain, "");
}

TEST(SplitHostName, DomainFromTheNameOrElseFromTheResolver)
{
    const ResolverFacts resolver{"lan.example", "203.0.113.53"};
    const NetworkParameters full = splitHostName("pc1.office.example", resolver);
    EXPECT_EQ(full.hostName + "|" + full.domainName + "|" + full.dnsServer,
              "pc1|office.example|203.0.113.53");
    const NetworkParameters bare = splitHostName("pc1", resolver);
    EXPECT_EQ(bare.hostName + "|" + bare.domainName, "pc1|lan.example");
    EXPECT_EQ(splitHostName("pc1", ResolverFacts{}).domainName, "");
}

// systemd-resolved puts its stub, 127.0.0.53, in /etc/resolv.conf and the servers it forwards to
// in /run/systemd/resolve/resolv.conf. The PC group shows the first of those a camera could use.
TEST(LinuxAdapterSource, DnsServerBehindALocalStub)
{
    const auto dnsServer = [](const std::string& resolvConf, const std::string& upstream) {
        LinuxAdapterSource source("/nonexistent/route", resolvConf, upstream);
        NetworkParameters parameters;
        EXPECT_TRUE(source.readNetworkParameters(parameters));
        return parameters.dnsServer;
    };
    const std::string stub =
        writeTempFile("stub.conf", "# This is /run/systemd/resolve/stub-resolv.conf\n"
                                   "nameserver 127.0.0.53\n"
                                   "options edns0 trust-ad\n"
                                   "search lan.example\n");
    const std::string upstream =
        writeTempFile("upstream.conf", "# This is /run/systemd/resolve/resolv.conf\n"
                                       "nameserver 2001:db8::53\n"
                                       "nameserver 127.0.0.1\n"
                                       "nameserver 192.0.2.53\n"
                                       "nameserver 198.51.100.53\n"
                                       "search lan.example\n");
    const std::string missing = "/nonexistent/upstream.conf";

    // The stub with its upstream file: the first IPv4 server there that is not loopback.
    EXPECT_EQ(dnsServer(stub, upstream), "192.0.2.53");

    // The stub without the file, or with nothing a camera could use in it: resolv.conf's.
    EXPECT_EQ(dnsServer(stub, missing), "127.0.0.53");
    const std::string onlyLoopback =
        writeTempFile("loopback.conf", "nameserver 127.0.0.1\nnameserver ::1\n");
    EXPECT_EQ(dnsServer(stub, onlyLoopback), "127.0.0.53");
    // Any loopback server is a local stub (dnsmasq or unbound on 127.0.0.1 too).
    const std::string dnsmasq = writeTempFile("dnsmasq.conf", "nameserver 127.0.0.1\n");
    EXPECT_EQ(dnsServer(dnsmasq, upstream), "192.0.2.53");

    // A resolv.conf naming a real server first: that one, whatever the upstream file says.
    const std::string plain =
        writeTempFile("plain.conf", "nameserver 203.0.113.53\nnameserver 127.0.0.53\n");
    EXPECT_EQ(dnsServer(plain, upstream), "203.0.113.53");
    EXPECT_EQ(dnsServer(plain, missing), "203.0.113.53");

    EXPECT_TRUE(isLoopbackAddress("127.0.0.53"));
    EXPECT_TRUE(isLoopbackAddress("127.255.255.255"));
    EXPECT_FALSE(isLoopbackAddress("128.0.0.1"));
    EXPECT_FALSE(isLoopbackAddress("126.255.255.255"));
    EXPECT_FALSE(isLoopbackAddress(""));
    EXPECT_EQ(firstRemoteNameserver("#nameserver 192.0.2.1\nnameserver 127.0.0.53\n"), "");

    for (const std::string& path : {stub, upstream, onlyLoopback, dnsmasq, plain})
        std::remove(path.c_str());
}

TEST(LinuxAdapterSource, FedInterfacesBecomeAdaptersInIndexOrder)
{
    const std::string routes =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n" +
        routeLine("eth1", "0.0.0.0", "203.0.113.1", "0003", 0, "0.0.0.0");
    const std::vector<InterfaceFacts> interfaces = {
        interface(3, "eth1", ARPHRD_ETHER, true, "203.0.113.5"),
        interface(1, "lo", ARPHRD_LOOPBACK, true, "127.0.0.1"),
        interface(4, "wlan0", ARPHRD_ETHER, false, "198.51.100.20"), // no carrier
        interface(2, "eth0", ARPHRD_ETHER, true, ""),                // no IPv4 address
    };
    const struct RemovedAtEnd {
        std::string path;
        ~RemovedAtEnd() { std::remove(path.c_str()); }
    } routeFile{writeTempFile("route", routes)};
    LinuxAdapterSource source(routeFile.path, "/nonexistent/resolv.conf",
                              "/nonexistent/upstream.conf", [&](std::vector<InterfaceFacts>& out) {
                                  out = interfaces;
                                  return true;
                              });
    std::vector<AdapterEntry> adapters;
    ASSERT_TRUE(source.listAdapters(adapters));
    ASSERT_EQ(adapters.size(), 4u);
    const char* expected[][2] = {
        {"lo", "127.0.0.1"}, {"eth0", "0.0.0.0"}, {"eth1", "203.0.113.5"}, {"wlan0", "0.0.0.0"}};
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        EXPECT_EQ(adapters[i].description, expected[i][0]);
        EXPECT_EQ(adapters[i].ipAddress, expected[i][1]);
    }
    EXPECT_EQ(adapters[2].gateway, "203.0.113.1");
    EXPECT_EQ(adapters[3].gateway, "");

    HostAdapterInfo info;
    EXPECT_TRUE(LoadHostAdapterInfo(info, source));
    EXPECT_EQ(info.adapterCount, 1);
    EXPECT_EQ(pcGroupTexts(info).macAddress, "02-00-5E-00-00-03");

    LinuxAdapterSource failing("/proc/net/route", "/etc/resolv.conf",
                               "/run/systemd/resolve/resolv.conf",
                               [](std::vector<InterfaceFacts>&) { return false; });
    EXPECT_FALSE(failing.listAdapters(adapters));
}

// Reads a veth adapter from inside a namespace of its own: the kernel's interface list and route
// table, not fed ones. Nothing leaves the two namespaces the test makes.
class NamespacedVeth : public testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "creating network namespaces needs root";
        const std::string tag = std::to_string(getpid());
        inner_ = "telviq-hn-a" + tag;
        outer_ = "telviq-hn-b" + tag;
        if (!run("ip netns add " + inner_) || !run("ip netns add " + outer_))
            GTEST_SKIP() << "ip netns is not available here";
        const std::string in = "ip -n " + inner_ + " ", out = "ip -n " + outer_ + " ";
        for (const std::string& command :
             {in + "link add tv0 address 02:00:5e:10:20:30 type veth peer name tv1 netns " + outer_,
              in + "addr add 198.51.100.2/24 dev tv0", in + "link set lo up",
              in + "link set tv0 up", out + "addr add 198.51.100.1/24 dev tv1",
              out + "link set tv1 up", in + "route add default via 198.51.100.1 dev tv0 onlink"})
            ASSERT_TRUE(run(command)) << command;
    }

    void TearDown() override
    {
        if (!inner_.empty()) {
            run("ip netns del " + inner_ + " 2>/dev/null");
            run("ip netns del " + outer_ + " 2>/dev/null");
        }
    }

    static bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

    // Loads from inside the inner namespace, polling briefly because the kernel settles a
    // carrier change asynchronously.
    bool loadInside(HostAdapterInfo& info, bool expectOnline)
    {
        const int home = open("/proc/self/ns/net", O_RDONLY);
        const int inside = open(("/run/netns/" + inner_).c_str(), O_RDONLY);
        EXPECT_GE(home, 0);
        EXPECT_GE(inside, 0);
        bool online = !expectOnline;
        if (home >= 0 && inside >= 0 && setns(inside, CLONE_NEWNET) == 0) {
            LinuxAdapterSource source("/proc/self/net/route", "/nonexistent/resolv.conf");
            for (int attempt = 0; attempt < 30 && online != expectOnline; ++attempt) {
                if (attempt > 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                online = LoadHostAdapterInfo(info, source);
            }
            EXPECT_EQ(setns(home, CLONE_NEWNET), 0);
        }
        close(inside);
        close(home);
        return online;
    }

    std::string inner_;
    std::string outer_;
};

TEST_F(NamespacedVeth, UpVethIsOnlineWithItsGatewayAndLosesItWithTheCarrier)
{
    HostAdapterInfo info;
    ASSERT_TRUE(loadInside(info, true));
    ASSERT_EQ(info.adapterCount, 1);
    const PcGroupTexts t = pcGroupTexts(info);
    EXPECT_EQ(t.adapterName + "|" + t.macAddress + "|" + t.ipAddress + "|" + t.subnetMask + "|" +
                  t.gateway,
              "tv0|02-00-5E-10-20-30|198.51.100.2|255.255.255.0|198.51.100.1");

    // The peer going down takes the carrier away, like an unplugged cable.
    ASSERT_TRUE(run("ip -n " + outer_ + " link set tv1 down"));
    EXPECT_FALSE(loadInside(info, false));
    EXPECT_EQ(info.adapterCount, 0);
}
