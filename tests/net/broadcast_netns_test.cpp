#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <set>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "net/exceptions.h"
#include "net/posix_socket_stack.h"
#include "net/udp_endpoint.h"
#include "tests/support/netns_lab.h"

// A PC with two adapters, each leading to a camera namespace of its own. Every datagram here
// stays inside namespaces the test makes and removes.

using namespace net;

namespace {

std::vector<NetnsLab::Link> twoLinks(bool defaultRouteOnA)
{
    return {{"203.0.113.1", "203.0.113.2", 24, defaultRouteOnA},
            {"198.51.100.1", "198.51.100.2", 24, false}};
}

// A camera's socket: made inside the camera's namespace, bound to 0.0.0.0:15500 there, and
// answering whoever asked. A socket stays in its namespace, so the thread need not.
class Camera {
public:
    explicit Camera(const std::string& ns)
    {
        const int home = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        const int there = ::open(("/var/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
        if (home >= 0 && there >= 0 && ::setns(there, CLONE_NEWNET) == 0) {
            fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            sockaddr_in any{AF_INET, htons(15500), {htonl(INADDR_ANY)}, {}};
            if (::bind(fd_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
                ::close(fd_);
                fd_ = -1;
            }
            if (::setns(home, CLONE_NEWNET) != 0) {
                std::abort(); // later tests must not run inside the lab
            }
        }
        for (int fd : {home, there}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    ~Camera()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    bool ready() const { return fd_ >= 0; }

    // Waits up to a second for a request and answers it with `reply`. The sender, or a zero
    // address when nothing came.
    sockaddr_in answer(const std::string& reply)
    {
        sockaddr_in sender{};
        socklen_t length = sizeof sender;
        pollfd entry{fd_, POLLIN, 0};
        char buffer[64];
        if (::poll(&entry, 1, 1000) == 1 &&
            ::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender),
                       &length) > 0) {
            ::sendto(fd_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&sender),
                     length);
        }
        return sender;
    }

    // The senders of every request that comes within `ms`, answering none.
    std::vector<sockaddr_in> heard(int ms)
    {
        std::vector<sockaddr_in> senders;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        char buffer[64];
        while (true) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd entry{fd_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) != 1)
                return senders;
            sockaddr_in sender{};
            socklen_t length = sizeof sender;
            if (::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender),
                           &length) > 0)
                senders.push_back(sender);
        }
    }

private:
    int fd_ = -1;
};

std::string text(const sockaddr_in& address)
{
    char buffer[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, buffer, sizeof buffer);
    return buffer;
}

// A link is listed only once the system has seen its carrier, which it notes a moment after the
// link comes up or goes down.
std::vector<BroadcastInterface> adaptersOnceSettled(PosixSocketStack& stack, std::size_t expected)
{
    std::vector<BroadcastInterface> adapters;
    for (int i = 0; i < 200; ++i) {
        adapters = stack.broadcastInterfaces();
        if (adapters.size() == expected) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return adapters;
}

// How many of the named adapters of the calling thread's namespace are up with a carrier.
int running(const std::vector<std::string>& names)
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return 0;
    std::set<std::string> up;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if ((entry->ifa_flags & (IFF_UP | IFF_RUNNING)) == (IFF_UP | IFF_RUNNING))
            up.insert(entry->ifa_name);
    }
    ::freeifaddrs(list);
    int n = 0;
    for (const std::string& name : names)
        n += up.count(name) ? 1 : 0;
    return n;
}

bool ip(const std::string& arguments)
{
    return std::system(("ip " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

TEST(LimitedBroadcastInNamespaces, EveryAdapterIsListedOnceWithItsFirstAddress)
{
    std::string why;
    if (!NetnsLab::available(why)) {
        GTEST_SKIP() << why;
    }
    NetnsLab lab(twoLinks(false));
    ASSERT_EQ(lab.error(), "");
    ASSERT_TRUE(ip("-n " + lab.pcName() + " addr add 203.0.113.9/24 dev veth-pc0"));
    lab.enterPc();
    ASSERT_EQ(lab.error(), "");

    PosixSocketStack stack;
    std::vector<BroadcastInterface> adapters = adaptersOnceSettled(stack, 2);
    ASSERT_EQ(adapters.size(), 2u) << "loopback is no adapter to broadcast by";
    EXPECT_EQ(adapters[0].index, ::if_nametoindex("veth-pc0"));
    EXPECT_EQ(formatIpv4(adapters[0].address), "203.0.113.1");
    EXPECT_EQ(adapters[1].index, ::if_nametoindex("veth-pc1"));
    EXPECT_EQ(formatIpv4(adapters[1].address), "198.51.100.1");

    // The far end going down takes the carrier with it.
    ASSERT_TRUE(ip("-n " + lab.camName(1) + " link set veth-cam1 down"));
    adapters = adaptersOnceSettled(stack, 1);
    ASSERT_EQ(adapters.size(), 1u);
    EXPECT_EQ(adapters[0].index, ::if_nametoindex("veth-pc0"));
    lab.leave();
}

TEST(LimitedBroadcastInNamespaces, CamerasBehindEveryAdapterAnswerOnTheOneSocket)
{
    std::string why;
    if (!NetnsLab::available(why)) {
        GTEST_SKIP() << why;
    }
    // Without any default route the system refuses the limited broadcast outright; with one it
    // sends it by that route's adapter only.
    for (bool defaultRouteOnA : {false, true}) {
        SCOPED_TRACE(defaultRouteOnA ? "default route via link a" : "no default route");
        NetnsLab lab(twoLinks(defaultRouteOnA));
        ASSERT_EQ(lab.error(), "");
        Camera a(lab.camName(0));
        Camera b(lab.camName(1));
        ASSERT_TRUE(a.ready() && b.ready());
        lab.enterPc();
        ASSERT_EQ(lab.error(), "");
        PosixSocketStack layer;
        ASSERT_EQ(adaptersOnceSettled(layer, 2).size(), 2u);

        UdpEndpoint endpoint(layer);
        endpoint.setActive(true);
        endpoint.setHost("255.255.255.255");
        endpoint.setPort(15500);
        // Broadcast not allowed: every adapter refuses, and the message is the usual one.
        try {
            endpoint.SendDatagram("search", 6);
            ADD_FAILURE() << "a broadcast went out without permission";
        } catch (const EIdSocketError& e) {
            EXPECT_EQ(e.ErrorCode, 10013);
        }

        endpoint.setBroadcastEnabled(true);
        ASSERT_NO_THROW(endpoint.SendDatagram("search", 6));
        const sockaddr_in askedA = a.answer("camera a");
        const sockaddr_in askedB = b.answer("camera b");
        EXPECT_EQ(text(askedA), "203.0.113.1") << "a copy leaves from its adapter's address";
        EXPECT_EQ(text(askedB), "198.51.100.1");
        EXPECT_NE(askedA.sin_port, 0);
        EXPECT_EQ(askedA.sin_port, askedB.sin_port) << "every copy from the one local port";

        std::set<std::string> answers;
        char buffer[64];
        for (int i = 0; i < 2; ++i) {
            const std::int32_t length = endpoint.ReceiveDatagram(buffer, sizeof buffer, 1000);
            answers.insert(std::string(buffer, static_cast<std::size_t>(length)));
        }
        EXPECT_EQ(answers, (std::set<std::string>{"camera a", "camera b"}));
        lab.leave();
    }
}

// A docked laptop's cable and Wi-Fi in one network: two adapters on one subnet, both ports of one
// bridge on the cameras' side. A copy from each would reach the camera twice; the subnet gets one,
// by the first adapter, also when the second holds the default route or none does.
TEST(LimitedBroadcastInNamespaces, TwoAdaptersOnOneSubnetSendOneCopy)
{
    std::string why;
    if (!NetnsLab::available(why)) {
        GTEST_SKIP() << why;
    }
    for (bool defaultRouteOnSecond : {false, true}) {
        SCOPED_TRACE(defaultRouteOnSecond ? "default route via the second adapter"
                                          : "no default route");
        NetnsLab::Link first{"203.0.113.1", "203.0.113.2", 24, false};
        NetnsLab::Link second{"203.0.113.3", "", 24, defaultRouteOnSecond};
        second.sharesCamOfLink = 0;
        second.bridged = true;
        NetnsLab lab({first, second});
        ASSERT_EQ(lab.error(), "");
        Camera camera(lab.camName(0));
        ASSERT_TRUE(camera.ready());
        lab.enterPc();
        ASSERT_EQ(lab.error(), "");
        for (int i = 0; i < 200 && running({"veth-pc0", "veth-pc1"}) < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(running({"veth-pc0", "veth-pc1"}), 2);

        PosixSocketStack layer;
        const std::vector<BroadcastInterface> adapters = layer.broadcastInterfaces();
        ASSERT_EQ(adapters.size(), 1u);
        EXPECT_EQ(adapters[0].index, ::if_nametoindex("veth-pc0"));

        UdpEndpoint endpoint(layer);
        endpoint.setActive(true);
        endpoint.setBroadcastEnabled(true);
        endpoint.setHost("255.255.255.255");
        endpoint.setPort(15500);
        ASSERT_NO_THROW(endpoint.SendDatagram("search", 6));
        const std::vector<sockaddr_in> senders = camera.heard(300);
        ASSERT_EQ(senders.size(), 1u) << "the camera heard the search once";
        EXPECT_EQ(text(senders[0]), "203.0.113.1");
        lab.leave();
    }
}
