#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <vector>

#include "net/error_text.h"
#include "net/exceptions.h"
#include "net/udp_endpoint.h"

using namespace net;
using Calls = std::vector<std::string>;

namespace {

// Writes every platform call down as a line and answers as the test sets it up.
class FakeStack : public SocketStack {
public:
    Calls calls;
    std::map<std::string, Ipv4Bytes> hosts;
    bool refuseSocket = false;
    int optionFailures = 0; // this many option calls fail before they work again
    int sendResult = -2;    // -2: every byte
    int waitResult = 1;
    int receiveResult = 5; // the datagram length receiveFrom reports
    std::int32_t failure = 0;
    std::vector<BroadcastInterface> adapters;
    int adapterQueries = 0;
    // Per adapter index: what its send answers (-2: every byte) and, after -1, the error.
    std::map<unsigned, std::pair<int, std::int32_t>> viaOutcome;

    int count(const std::string& prefix) const
    {
        int n = 0;
        for (const auto& call : calls) {
            n += call.rfind(prefix, 0) == 0 ? 1 : 0;
        }
        return n;
    }

    int closeSocket(SocketId s) override { return note(0, "close", s); }
    bool lookupHost(const std::string& name, Ipv4Bytes& address) override
    {
        note(0, "lookup", name);
        failure = kErrorTryAgain;
        auto it = hosts.find(name);
        if (it == hosts.end()) {
            return false;
        }
        address = it->second;
        return true;
    }
    int receiveFrom(SocketId, void*, std::int32_t size, SocketAddress&) override
    {
        return note(receiveResult, "recv", size);
    }
    int waitForReadable(SocketId, std::int32_t ms) override { return note(waitResult, "wait", ms); }
    int sendTo(SocketId s, const void*, std::int32_t n, const SocketAddress& to) override
    {
        const std::string target = formatIpv4(to.address) + ":" + std::to_string(to.port);
        return note(sendResult == -2 ? n : sendResult, "send", s, target, n);
    }
    std::vector<BroadcastInterface> broadcastInterfaces() override
    {
        ++adapterQueries;
        return adapters;
    }
    int sendToVia(SocketId s, const void*, std::int32_t n, const SocketAddress& to,
                  const BroadcastInterface& via) override
    {
        const std::string target = formatIpv4(to.address) + ":" + std::to_string(to.port);
        auto [result, error] = viaOutcome.count(via.index) ? viaOutcome[via.index]
                                                           : std::pair<int, std::int32_t>{-2, 0};
        if (result == -1) {
            failure = error;
        }
        return note(result == -2 ? n : result, "via", via.index, formatIpv4(via.address), s, target,
                    n);
    }
    int setSocketOption(SocketId s, int level, int option, const void* value, int length) override
    {
        int flag = 0;
        std::memcpy(&flag, value, sizeof flag);
        failure = kErrorAccessDenied;
        return note(optionFailures-- > 0 ? -1 : 0, "option", s, level, option, flag, length);
    }
    SocketId newSocket() override { return note(refuseSocket ? kInvalidSocket : 7, "socket"); }
    int shutdownSocket(SocketId s, int how) override { return note(0, "shutdown", s, how); }
    std::int32_t lastError() const override { return failure; }

private:
    template <typename... Args> int note(int result, const std::string& call, const Args&... args)
    {
        std::ostringstream line;
        line << call;
        ((line << ' ' << args), ...);
        calls.push_back(line.str());
        return result;
    }
};

std::string broadcast(int value)
{
    std::ostringstream line;
    line << "option 7 " << SOL_SOCKET << ' ' << SO_BROADCAST << ' ' << value << " 4";
    return line.str();
}

const char kBlock[18] = {};

} // namespace

TEST(EndpointOverFakeStack, BroadcastOptionOnlyOnChangeAndOnlyWhenActive)
{
    FakeStack stack;
    UdpEndpoint endpoint(stack);
    endpoint.setBroadcastEnabled(true);
    endpoint.setBroadcastEnabled(false);
    EXPECT_TRUE(stack.calls.empty()) << "an inactive endpoint only stores the value";

    // The exchanges' order: Active, then BroadcastEnabled, then the send; three times over.
    for (int exchange = 0; exchange < 3; ++exchange) {
        endpoint.setActive(true);
        endpoint.setBroadcastEnabled(true);
        endpoint.setHost("255.255.255.255");
        endpoint.setPort(15500);
        endpoint.SendDatagram(kBlock, sizeof kBlock);
    }
    const std::string send = "send 7 255.255.255.255:15500 18";
    EXPECT_EQ(stack.calls, (Calls{"socket", broadcast(0), broadcast(-1), send, send, send}));
}

TEST(EndpointOverFakeStack, RefusedBroadcastOptionIsTriedAgain)
{
    FakeStack stack;
    UdpEndpoint endpoint(stack);
    endpoint.setActive(true);
    stack.optionFailures = 1;
    EXPECT_THROW(endpoint.setBroadcastEnabled(true), EIdSocketError);
    endpoint.setBroadcastEnabled(true);
    EXPECT_EQ(stack.count(broadcast(-1)), 2);

    // Refused while activating: no socket is left open without its option.
    endpoint.setActive(false);
    stack.calls.clear();
    stack.optionFailures = 1;
    EXPECT_THROW(endpoint.setActive(true), EIdSocketError);
    EXPECT_FALSE(endpoint.active());
    endpoint.setActive(true);
    EXPECT_EQ(stack.calls,
              (Calls{"socket", broadcast(-1), "shutdown 7 1", "close 7", "socket", broadcast(-1)}));
}

TEST(EndpointOverFakeStack, SocketLifecycle)
{
    FakeStack stack;
    stack.refuseSocket = true;
    {
        UdpEndpoint endpoint(stack);
        EXPECT_THROW(endpoint.setActive(true), EIdInvalidSocket);
        EXPECT_FALSE(endpoint.active());
        stack.refuseSocket = false;
        endpoint.setActive(true);
        endpoint.setActive(true);
        EXPECT_TRUE(endpoint.active());
    }
    EXPECT_EQ(stack.calls, (Calls{"socket", "socket", broadcast(0), "shutdown 7 1", "close 7"}));
}

TEST(EndpointOverFakeStack, SendFailuresLeaveTheEndpointWorking)
{
    FakeStack stack;
    UdpEndpoint endpoint(stack);
    endpoint.setHost("198.51.100.20");

    stack.sendResult = 17;
    EXPECT_THROW(endpoint.SendDatagram(kBlock, 18), EIdNotAllBytesSent);
    stack.sendResult = -1;
    stack.failure = kErrorMessageTooLong;
    EXPECT_THROW(endpoint.SendDatagram(kBlock, 18), EIdPackageSizeTooBig);
    for (std::int32_t error : {10051, 12345}) {
        stack.failure = error;
        try {
            endpoint.SendDatagram(kBlock, 18);
            ADD_FAILURE() << "no exception for " << error;
        } catch (const EIdSocketError& e) {
            EXPECT_EQ(e.ErrorCode, error);
            EXPECT_EQ(std::string(e.what()), error == 10051
                                                 ? "Socket Error # 10051\r\nNetwork is unreachable."
                                                 : "Socket Error # 12345\r\n");
        }
    }
    stack.sendResult = -2;
    endpoint.SendDatagram(kBlock, 18);
    EXPECT_EQ(stack.count("socket"), 1);
    EXPECT_EQ(stack.count("send"), 5);
}

TEST(EndpointOverFakeStack, HostAndPortResolution)
{
    FakeStack stack;
    stack.hosts = {{"1.2.3", {203, 0, 113, 3}},
                   {"1.2.3.4.5", {203, 0, 113, 5}},
                   {"1.2.3.256", {203, 0, 113, 6}},
                   {"camera-7", {198, 51, 100, 7}}};
    const std::map<std::string, std::string> sentTo = {
        {"LOCALHOST", "127.0.0.1"},      {"localhost", "127.0.0.1"},
        {"LocalHost", "127.0.0.1"},      {"255.255.255.255", "255.255.255.255"},
        {"010.000.000.001", "10.0.0.1"}, {"1.2.3", "203.0.113.3"},
        {"1.2.3.4.5", "203.0.113.5"},    {"1.2.3.256", "203.0.113.6"},
        {"camera-7", "198.51.100.7"},
    };
    UdpEndpoint endpoint(stack);
    endpoint.setPort(0x10000 + 15500); // only the low 16 bits go out
    for (const auto& [host, address] : sentTo) {
        stack.calls.clear();
        endpoint.setHost(host);
        endpoint.SendDatagram(kBlock, 18);
        EXPECT_EQ(stack.calls.back(), "send 7 " + address + ":15500 18") << host;
        EXPECT_EQ(stack.count("lookup " + host), int(stack.hosts.count(host))) << host;
        endpoint.SendDatagram(kBlock, 18);
        EXPECT_EQ(stack.count("lookup"), 2 * int(stack.hosts.count(host))) << "nothing is cached";
    }

    endpoint.setActive(false);
    stack.calls.clear();
    endpoint.setHost("no-such-camera");
    try {
        endpoint.SendDatagram(kBlock, 18);
        ADD_FAILURE() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.ErrorCode, kErrorTryAgain);
    }
    EXPECT_EQ(stack.calls, (Calls{"lookup no-such-camera"})) << "looked up before activating";
}

TEST(EndpointOverFakeStack, ReceiveTimeoutsAndOutcomes)
{
    FakeStack stack;
    UdpEndpoint endpoint(stack);
    char buffer[16];
    EXPECT_EQ(endpoint.ReceiveDatagram(buffer, sizeof buffer, -1), 5);
    endpoint.setReceiveTimeout(250);
    EXPECT_EQ(endpoint.ReceiveDatagram(buffer, sizeof buffer, -1), 5);
    EXPECT_EQ(endpoint.ReceiveDatagram(buffer, sizeof buffer, 1500), 5);
    EXPECT_EQ(stack.calls, (Calls{"socket", broadcast(0), "wait -2", "recv 16", "wait 250",
                                  "recv 16", "wait 1500", "recv 16"}));

    // Only exactly one ready socket counts, and a wait cut short by a signal means nothing came;
    // any other failed wait is the transport's error.
    stack.failure = 10004;
    for (int waitResult : {0, -1, 2}) {
        stack.waitResult = waitResult;
        EXPECT_EQ(endpoint.ReceiveDatagram(buffer, sizeof buffer, 10), 0);
    }
    EXPECT_EQ(stack.count("recv"), 3);
    stack.waitResult = -1;
    stack.failure = 10009;
    try {
        endpoint.ReceiveDatagram(buffer, sizeof buffer, 10);
        ADD_FAILURE() << "a failed wait passed for no answer";
    } catch (const EIdSocketError& error) {
        EXPECT_EQ(error.ErrorCode, 10009);
    }

    stack.waitResult = 1;
    stack.receiveResult = -1;
    stack.failure = 10054;
    EXPECT_THROW(endpoint.ReceiveDatagram(buffer, sizeof buffer, 10), EIdSocketError);

    // A datagram dropped between the wait and the read (bad checksum) is nothing, not a hang
    // and not an error.
    stack.failure = 10035;
    EXPECT_EQ(endpoint.ReceiveDatagram(buffer, sizeof buffer, 10), 0);
}

namespace {

// Two adapters that can broadcast, as the layer lists them: in index order.
FakeStack twoAdapterStack()
{
    FakeStack stack;
    stack.adapters = {{3, {203, 0, 113, 1}}, {5, {198, 51, 100, 1}}};
    stack.hosts = {{"all-cameras", {255, 255, 255, 255}}};
    return stack;
}

} // namespace

TEST(EndpointOverFakeStack, LimitedBroadcastLeavesByEveryAdapter)
{
    FakeStack stack = twoAdapterStack();
    UdpEndpoint endpoint(stack);
    endpoint.setActive(true);
    endpoint.setBroadcastEnabled(true);
    endpoint.setPort(15500);
    // Whatever the text, what counts is the address it resolves to.
    for (const char* host : {"255.255.255.255", "0255.255.255.255", "all-cameras"}) {
        stack.calls.clear();
        endpoint.setHost(host);
        endpoint.SendDatagram(kBlock, 18);
        stack.calls.erase(
            std::remove_if(stack.calls.begin(), stack.calls.end(),
                           [](const std::string& c) { return c.rfind("lookup", 0) == 0; }),
            stack.calls.end());
        EXPECT_EQ(stack.calls, (Calls{"via 3 203.0.113.1 7 255.255.255.255:15500 18",
                                      "via 5 198.51.100.1 7 255.255.255.255:15500 18"}))
            << host;
    }
    EXPECT_EQ(stack.adapterQueries, 3) << "an adapter plugged in between exchanges is used";

    // No adapter to name: the one plain send, with its usual failure.
    stack.adapters.clear();
    stack.calls.clear();
    endpoint.setHost("255.255.255.255");
    stack.sendResult = -1;
    stack.failure = kErrorNetworkUnreachable;
    EXPECT_THROW(endpoint.SendDatagram(kBlock, 18), EIdSocketError);
    EXPECT_EQ(stack.calls, (Calls{"send 7 255.255.255.255:15500 18"}));
}

TEST(EndpointOverFakeStack, OtherTargetsAreSentOnceAsBefore)
{
    FakeStack stack = twoAdapterStack();
    UdpEndpoint endpoint(stack);
    endpoint.setBroadcastEnabled(true);
    endpoint.setPort(15600);
    for (const char* host : {"198.51.100.255", "203.0.113.2", "localhost", "255.255.255.254"}) {
        endpoint.setHost(host);
        endpoint.SendDatagram(kBlock, 18);
    }
    EXPECT_EQ(stack.count("via"), 0);
    EXPECT_EQ(stack.count("send"), 4);
}

TEST(EndpointOverFakeStack, OneAdapterTakingTheBroadcastIsEnough)
{
    using Outcomes = std::map<unsigned, std::pair<int, std::int32_t>>;
    const Outcomes refused = {{3, {-1, kErrorNetworkUnreachable}}};
    const Outcomes refusedLast = {{5, {-1, 10065}}};
    const Outcomes cutFirst = {{3, {17, 0}}};
    for (const Outcomes& outcome : {refused, refusedLast, cutFirst}) {
        FakeStack stack = twoAdapterStack();
        stack.viaOutcome = outcome;
        UdpEndpoint endpoint(stack);
        endpoint.setHost("255.255.255.255");
        EXPECT_NO_THROW(endpoint.SendDatagram(kBlock, 18));
        EXPECT_EQ(stack.count("via"), 2) << "every adapter gets its copy";
    }
}

TEST(EndpointOverFakeStack, NoAdapterTakingTheBroadcastRaisesTheLastFailure)
{
    FakeStack stack = twoAdapterStack();
    UdpEndpoint endpoint(stack);
    endpoint.setHost("255.255.255.255");

    stack.viaOutcome = {{3, {-1, 10065}}, {5, {-1, kErrorNetworkUnreachable}}};
    try {
        endpoint.SendDatagram(kBlock, 18);
        ADD_FAILURE() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.ErrorCode, 10051);
        EXPECT_STREQ(e.what(), "Socket Error # 10051\r\nNetwork is unreachable.");
    }
    stack.viaOutcome = {{3, {-1, 10051}}, {5, {-1, kErrorMessageTooLong}}};
    EXPECT_THROW(endpoint.SendDatagram(kBlock, 18), EIdPackageSizeTooBig);
    stack.viaOutcome = {{3, {-1, kErrorMessageTooLong}}, {5, {17, 0}}};
    EXPECT_THROW(endpoint.SendDatagram(kBlock, 18), EIdNotAllBytesSent);
    stack.viaOutcome = {{3, {17, 0}}, {5, {-1, kErrorAccessDenied}}};
    try {
        endpoint.SendDatagram(kBlock, 18);
        ADD_FAILURE() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.ErrorCode, kErrorAccessDenied);
    }
    // A failure on -1 bytes is no whole send of -1 bytes.
    stack.viaOutcome = {{3, {-1, kErrorInvalidArgument}}, {5, {-1, kErrorInvalidArgument}}};
    EXPECT_THROW(endpoint.SendDatagram(kBlock, -1), EIdSocketError);

    EXPECT_EQ(stack.count("via"), 10);
    EXPECT_EQ(stack.count("socket"), 1) << "the socket stays open after a failed broadcast";
}
