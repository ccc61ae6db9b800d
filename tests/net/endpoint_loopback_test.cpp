#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "net/exceptions.h"
#include "net/posix_socket_stack.h"
#include "net/udp_endpoint.h"

// Real sockets, on 127.0.0.1 only.

using namespace net;
using Clock = std::chrono::steady_clock;

namespace {

long msSince(Clock::time_point start)
{
    using std::chrono::milliseconds;
    return static_cast<long>(
        std::chrono::duration_cast<milliseconds>(Clock::now() - start).count());
}

// The other end: bound to 127.0.0.1 on a port of the system's choosing. It learns the
// endpoint's address from the endpoint's first datagram, since the endpoint itself never binds.
class EndpointOnLoopback : public ::testing::Test {
protected:
    void SetUp() override
    {
        peer_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t length = sizeof address;
        ASSERT_EQ(::bind(peer_, reinterpret_cast<sockaddr*>(&address), length), 0);
        ASSERT_EQ(::getsockname(peer_, reinterpret_cast<sockaddr*>(&address), &length), 0);
        endpoint.setHost("127.0.0.1");
        endpoint.setPort(ntohs(address.sin_port));
        endpoint.SendDatagram("hello", 5);
        ASSERT_EQ(peerReceive(), "hello");
        endpointAddress = lastSender;
    }
    void TearDown() override { ::close(peer_); }

    std::string peerReceive()
    {
        pollfd entry{peer_, POLLIN, 0};
        char buffer[64];
        socklen_t length = sizeof lastSender;
        if (::poll(&entry, 1, 1000) != 1) {
            return "(nothing)";
        }
        const ssize_t n = ::recvfrom(peer_, buffer, sizeof buffer, 0,
                                     reinterpret_cast<sockaddr*>(&lastSender), &length);
        return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    // A loopback datagram is queued at the endpoint by the time this returns.
    void peerSend(const std::string& bytes)
    {
        ASSERT_EQ(::sendto(peer_, bytes.data(), bytes.size(), 0,
                           reinterpret_cast<sockaddr*>(&endpointAddress), sizeof endpointAddress),
                  static_cast<ssize_t>(bytes.size()));
    }

    UdpEndpoint endpoint;
    sockaddr_in endpointAddress{};
    sockaddr_in lastSender{};

private:
    int peer_ = -1;
};

} // namespace

TEST_F(EndpointOnLoopback, Timeouts)
{
    std::vector<char> buffer(32, '\xAB');
    const std::vector<char> untouched = buffer;
    auto start = Clock::now();
    EXPECT_EQ(endpoint.ReceiveDatagram(buffer.data(), 32, 0), 0);
    EXPECT_LT(msSince(start), 200);

    start = Clock::now();
    EXPECT_EQ(endpoint.ReceiveDatagram(buffer.data(), 32, 150), 0);
    EXPECT_GE(msSince(start), 145);
    EXPECT_LT(msSince(start), 1000);
    EXPECT_EQ(buffer, untouched);

    peerSend("answer");
    EXPECT_EQ(endpoint.ReceiveDatagram(buffer.data(), 32, 0), 6);
    EXPECT_EQ(std::string(buffer.data(), 6), "answer");
}

TEST_F(EndpointOnLoopback, OversizedAndEmptyDatagramsRaiseAndAreGone)
{
    for (const char* bytes : {"12345678", "123456789", "", "abc"}) {
        peerSend(bytes);
    }
    char buffer[8];
    EXPECT_EQ(endpoint.ReceiveDatagram(buffer, 8, 1000), 8);
    try {
        endpoint.ReceiveDatagram(buffer, 8, 1000);
        ADD_FAILURE() << "an oversized datagram must not pass for a whole one";
    } catch (const EIdSocketError& error) {
        EXPECT_EQ(error.ErrorCode, 10040);
        EXPECT_STREQ(error.what(), "Socket Error # 10040\r\nMessage too long.");
    }
    EXPECT_THROW(endpoint.ReceiveDatagram(buffer, 8, 1000), EIdUDPReceiveErrorZeroBytes);
    EXPECT_EQ(endpoint.ReceiveDatagram(buffer, 8, 1000), 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
}

TEST_F(EndpointOnLoopback, EverySendLeavesFromOneLocalPort)
{
    const std::vector<char> tooBig(70000, 'z');
    EXPECT_THROW(endpoint.SendDatagram(tooBig.data(), 70000), EIdPackageSizeTooBig);
    for (const char* host : {"LOCALHOST", "localhost", "LocalHost", "127.000.000.001"}) {
        endpoint.setActive(true);
        endpoint.setBroadcastEnabled(true);
        endpoint.setHost(host);
        endpoint.SendDatagram("x", 1);
        EXPECT_EQ(peerReceive(), "x") << host;
        EXPECT_EQ(lastSender.sin_port, endpointAddress.sin_port) << host;
    }
}

TEST(EndpointLifetime, SharedLayerLivesAsLongAsItsEndpoints)
{
    ASSERT_EQ(processStack(), nullptr);
    {
        UdpEndpoint first;
        SocketStack* shared = processStack();
        ASSERT_NE(shared, nullptr);
        {
            UdpEndpoint second;
        }
        EXPECT_EQ(processStack(), shared);
    }
    EXPECT_EQ(processStack(), nullptr);
}

TEST(PosixLayer, SocketSettingsAndUnsafeArguments)
{
    PosixSocketStack stack;
    const SocketId socket = stack.newSocket();
    ASSERT_NE(socket, kInvalidSocket);
    EXPECT_NE(::fcntl(socket, F_GETFD) & FD_CLOEXEC, 0);
    int bytes = 0;
    socklen_t length = sizeof bytes;
    ASSERT_EQ(::getsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, &length), 0);
    if (::geteuid() == 0) {
        EXPECT_GE(bytes, 1 << 20) << "room for a burst of answers";
    }

    // Negative sizes must never reach the kernel as huge unsigned lengths.
    char buffer[4];
    SocketAddress from;
    EXPECT_EQ(stack.receiveFrom(socket, buffer, -1, from), -1);
    EXPECT_EQ(stack.sendTo(socket, buffer, -1, {{127, 0, 0, 1}, 9}), -1);
    EXPECT_EQ(stack.lastError(), 10022);
    EXPECT_EQ(stack.waitForReadable(socket, -5), -1) << "only -2 waits without limit";
    stack.closeSocket(socket);
}
