#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "net/exceptions.h"
#include "protocol/settings_write.h"
#include "scripted_endpoint.h"

using namespace protocol;

namespace {

const MacBytes kCamera = {0x00, 0x0e, 0x53, 0x12, 0x34, 0x56};

Bytes ack(const MacBytes& mac)
{
    Bytes bytes(22);
    std::memcpy(bytes.data(), "MORVAK INFO ACK ", 16);
    std::copy(mac.begin(), mac.end(), bytes.begin() + 16);
    return bytes;
}

// Receives made after the packet went out; those before it only drop what was queued.
std::vector<ScriptedEndpoint::Receive> waitReceives(const ScriptedEndpoint& endpoint)
{
    std::vector<ScriptedEndpoint::Receive> after;
    for (const auto& receive : endpoint.receives)
        if (receive.sendsBefore > 0)
            after.push_back(receive);
    return after;
}

class SettingsWrite : public ::testing::Test {
protected:
    void SetUp() override
    {
        CameraRecord record;
        std::copy(kCamera.begin(), kCamera.end(), record.bytes.begin() + 20);
        beginParameterPacket(packet, record);
        packet.bytes[304] = 4;
        std::memcpy(packet.bytes.data() + 305, "Gate", 4);
    }

    WriteOutcome write() { return writeSettings(endpoint, packet, 10, endpoint.ticks()); }

    // Time from the send to the end of the last receive.
    std::int64_t waited() const
    {
        return endpoint.receives.back().endedAt - endpoint.sends.front().at;
    }

    ScriptedEndpoint endpoint;
    ParameterPacket packet;
};

} // namespace

TEST_F(SettingsWrite, NoAnswerFailsAfterTenSeconds)
{
    EXPECT_EQ(write(), WriteOutcome::noAnswer);
    EXPECT_GT(waited(), 10000);
    EXPECT_LE(waited(), 10100);
    for (const auto& receive : waitReceives(endpoint)) {
        EXPECT_EQ(receive.timeoutMs, 100);
        EXPECT_EQ(receive.size, 256);
    }
}

TEST_F(SettingsWrite, ImmediateAckEndsTheWait)
{
    endpoint.schedule(1, 0, ack(kCamera));
    EXPECT_EQ(write(), WriteOutcome::acknowledged);
    EXPECT_EQ(waitReceives(endpoint).size(), 1u);

    ASSERT_EQ(endpoint.sends.size(), 1u);
    const auto& send = endpoint.sends[0];
    EXPECT_TRUE(send.settings.active && send.settings.broadcast);
    EXPECT_EQ(send.settings.host, "255.255.255.255");
    EXPECT_EQ(send.settings.port, 15600);
    EXPECT_TRUE(
        std::equal(send.bytes.begin(), send.bytes.end(), packet.bytes.begin(), packet.bytes.end()));
}

TEST_F(SettingsWrite, BytesAfterTheAckAreIgnored)
{
    Bytes longer = ack(kCamera);
    longer.insert(longer.end(), 9, 0x7F);
    endpoint.schedule(1, 40, longer);
    EXPECT_EQ(write(), WriteOutcome::acknowledged);
}

TEST_F(SettingsWrite, SplitAckIsJoinedAndTheRoomShrinks)
{
    Bytes whole = ack(kCamera);
    endpoint.schedule(1, 300, Bytes(whole.begin(), whole.begin() + 16));
    endpoint.schedule(1, 2500, Bytes(whole.begin() + 16, whole.end()));
    EXPECT_EQ(write(), WriteOutcome::acknowledged);
    std::int32_t before = 0;
    for (const auto& receive : endpoint.receives) {
        EXPECT_EQ(receive.size, 256 - before);
        before += receive.length;
    }
    EXPECT_EQ(before, 22);
    EXPECT_EQ(endpoint.receives.back().size, 240);
}

TEST_F(SettingsWrite, WrongOrShortAnswersFail)
{
    {
        SCOPED_TRACE("another camera's MAC");
        ScriptedEndpoint other;
        other.schedule(1, 0, ack({0x00, 0x0e, 0x53, 0x12, 0x34, 0x57}));
        EXPECT_EQ(writeSettings(other, packet, 10, other.ticks()), WriteOutcome::otherAnswer);
    }
    {
        SCOPED_TRACE("stray datagram first: the ack is never read");
        ScriptedEndpoint stray;
        stray.schedule(1, 10, Bytes(30, 0xA5));
        stray.schedule(1, 20, ack(kCamera));
        EXPECT_EQ(writeSettings(stray, packet, 10, stray.ticks()), WriteOutcome::otherAnswer);
        EXPECT_EQ(waitReceives(stray).size(), 1u);
    }
    {
        SCOPED_TRACE("ten bytes, then silence");
        ScriptedEndpoint shortAnswer;
        Bytes start = ack(kCamera);
        start.resize(10);
        shortAnswer.schedule(1, 10, start);
        EXPECT_EQ(writeSettings(shortAnswer, packet, 10, shortAnswer.ticks()),
                  WriteOutcome::otherAnswer);
        EXPECT_GT(shortAnswer.receives.back().endedAt, 10000);
        EXPECT_EQ(shortAnswer.receives.back().size, 246);
    }
}

TEST_F(SettingsWrite, ReceiveFailurePropagates)
{
    endpoint.failReceiveAfterSend(1);
    EXPECT_THROW(write(), ScriptedFailure);
}

TEST_F(SettingsWrite, ClockSteppingBackDoesNotEndTheWait)
{
    endpoint.stepClockAtReceive(1, -3000);
    endpoint.schedule(1, 700, ack(kCamera));
    EXPECT_EQ(write(), WriteOutcome::acknowledged);
}

// An empty datagram, or one too large for the room left, cannot be the acknowledgement: the wait
// goes on past it, and nothing of a cut datagram stays in the answer.
TEST_F(SettingsWrite, EmptyAndOversizedDatagramsArePassedOver)
{
    Bytes whole = ack(kCamera);
    Bytes ackFirst = whole;
    ackFirst.resize(300, 0x41);
    {
        SCOPED_TRACE("joined around the junk");
        endpoint.schedule(1, 100, Bytes(whole.begin(), whole.begin() + 16));
        endpoint.schedule(1, 200, Bytes{});
        endpoint.schedule(1, 300, Bytes(241, 0x42));
        endpoint.schedule(1, 400, Bytes(whole.begin() + 16, whole.end()));
        EXPECT_EQ(write(), WriteOutcome::acknowledged);
        EXPECT_LT(waited(), 1000);
    }
    {
        SCOPED_TRACE("a cut datagram that starts like the ack");
        ScriptedEndpoint cut;
        cut.schedule(1, 10, ackFirst);
        EXPECT_EQ(writeSettings(cut, packet, 10, cut.ticks()), WriteOutcome::noAnswer);
        EXPECT_GT(cut.receives.back().endedAt, 10000);
    }
    {
        SCOPED_TRACE("a cut datagram after the first bytes of the ack");
        ScriptedEndpoint cut;
        cut.schedule(1, 10, Bytes(whole.begin(), whole.begin() + 16));
        Bytes rest(whole.begin() + 16, whole.end());
        rest.resize(300, 0);
        cut.schedule(1, 20, rest);
        EXPECT_EQ(writeSettings(cut, packet, 10, cut.ticks()), WriteOutcome::otherAnswer);
    }
}

TEST_F(SettingsWrite, OtherReceiveErrorsStillEndTheWrite)
{
    endpoint.scheduleSocketError(1, 50, 10054);
    endpoint.schedule(1, 60, ack(kCamera));
    try {
        write();
        FAIL() << "no exception";
    } catch (const net::EIdSocketError& error) {
        EXPECT_EQ(error.ErrorCode, 10054);
    }
}

TEST_F(SettingsWrite, DatagramsQueuedBeforeTheSendAreDropped)
{
    {
        SCOPED_TRACE("a stale acknowledgement does not answer the new packet");
        endpoint.schedule(0, 0, ack(kCamera));
        EXPECT_EQ(write(), WriteOutcome::noAnswer);
        EXPECT_GT(waited(), 10000);
    }
    {
        SCOPED_TRACE("stray datagrams queued before the send do not hide the camera's ack");
        ScriptedEndpoint queued;
        queued.schedule(0, 0, Bytes(30, 0xA5));
        queued.schedule(0, 0, Bytes{});
        queued.schedule(0, 0, Bytes(2000, 0x5A));
        queued.schedule(0, 0, Bytes(10, 0x11));
        queued.schedule(1, 50, ack(kCamera));
        EXPECT_EQ(writeSettings(queued, packet, 10, queued.ticks()), WriteOutcome::acknowledged);
        ASSERT_EQ(queued.receives.size(), 6u);
        for (std::size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(queued.receives[i].sendsBefore, 0u);
            EXPECT_EQ(queued.receives[i].timeoutMs, 0);
        }
    }
}

// A flood must not hold the packet back: dropping stops after 4096 datagrams or about 100 ms.
TEST_F(SettingsWrite, DroppingIsBounded)
{
    auto receivesBeforeSend = [](const ScriptedEndpoint& e) {
        return e.receives.size() - waitReceives(e).size();
    };
    {
        SCOPED_TRACE("by count");
        for (int i = 0; i < 4100; ++i)
            endpoint.schedule(0, 0, Bytes{});
        endpoint.schedule(1, 50, ack(kCamera));
        EXPECT_EQ(write(), WriteOutcome::acknowledged);
        EXPECT_EQ(receivesBeforeSend(endpoint), 4096u);
    }
    {
        SCOPED_TRACE("by time");
        ScriptedEndpoint slow;
        for (int i = 0; i < 300; ++i)
            slow.schedule(0, 0, Bytes(30, 0xA5));
        slow.stepClockAtReceive(50, 101);
        EXPECT_EQ(writeSettings(slow, packet, 10, slow.ticks()), WriteOutcome::otherAnswer);
        EXPECT_EQ(receivesBeforeSend(slow), 50u);
    }
}

namespace {

// Packets for cameras whose MACs end in 0 to count-1.
std::vector<ParameterPacket> batchOf(std::size_t count)
{
    std::vector<ParameterPacket> packets(count);
    for (std::size_t i = 0; i < count; ++i) {
        CameraRecord record;
        MacBytes mac = kCamera;
        mac[5] = static_cast<std::uint8_t>(i);
        std::copy(mac.begin(), mac.end(), record.bytes.begin() + 20);
        beginParameterPacket(packets[i], record);
    }
    return packets;
}

MacBytes macOf(std::size_t i)
{
    MacBytes mac = kCamera;
    mac[5] = static_cast<std::uint8_t>(i);
    return mac;
}

} // namespace

TEST(WriteToMany, EachAcknowledgementCountsForItsCameraWhateverComesAroundIt)
{
    ScriptedEndpoint network;
    const std::vector<ParameterPacket> packets = batchOf(6);
    network.schedule(0, 0, ack(macOf(4))); // queued before the batch: answers nothing of it
    network.schedule(3, 2, ack(macOf(3)));
    network.schedule(2, 1, ack(macOf(1)));
    network.schedule(6, 900, ack(macOf(1))); // again
    network.schedule(6, 40, ack(macOf(0)));  // long after its packet, out of order
    Bytes longer = ack(macOf(5));
    longer.resize(40, 0x7F);
    network.schedule(6, 60, longer);
    network.schedule(1, 3, ack({0x00, 0x0e, 0x53, 0x12, 0x34, 0x99})); // no camera of the batch
    network.schedule(1, 4, Bytes(30, 0xA5));
    // In two pieces, with a whole acknowledgement of another camera and junk between them.
    Bytes whole = ack(macOf(2));
    network.schedule(2, 5, Bytes(whole.begin(), whole.begin() + 16));
    network.schedule(3, 10, Bytes(whole.begin() + 16, whole.end()));
    network.schedule(4, 3, Bytes{});
    // The first piece of one that never ends.
    network.schedule(5, 1, Bytes(whole.begin(), whole.begin() + 12));

    std::vector<std::pair<std::size_t, std::size_t>> progress;
    BatchHooks hooks;
    hooks.progress = [&](std::size_t sent, std::size_t acknowledged) {
        progress.emplace_back(sent, acknowledged);
    };
    const std::vector<BatchOutcome> outcomes =
        writeSettingsToMany(network, packets, 10, network.ticks(), hooks);
    EXPECT_EQ(outcomes, (std::vector<BatchOutcome>{
                            BatchOutcome::acknowledged, BatchOutcome::acknowledged,
                            BatchOutcome::acknowledged, BatchOutcome::acknowledged,
                            BatchOutcome::noAcknowledgement, BatchOutcome::acknowledged}));

    // Every packet went out at once, in order, whole, to the parameter port.
    ASSERT_EQ(network.sends.size(), packets.size());
    for (std::size_t i = 0; i < packets.size(); ++i) {
        EXPECT_EQ(network.sends[i].settings.port, 15600);
        EXPECT_EQ(network.sends[i].settings.host, "255.255.255.255");
        EXPECT_TRUE(std::equal(packets[i].bytes.begin(), packets[i].bytes.end(),
                               network.sends[i].bytes.begin()));
    }
    EXPECT_LE(network.sends.back().at - network.sends.front().at, 6 * kBatchSendGapMs + 10);
    // One never came: the wait is the whole ten seconds after the last packet.
    const std::int64_t waited = network.receives.back().endedAt - network.sends.back().at;
    EXPECT_GT(waited, 10000);
    EXPECT_LE(waited, 10100);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(std::size_t{6}, std::size_t{5}));
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
}

TEST(WriteToMany, EndsOnceAllHaveAcknowledgedAndStopsSendingWhenCancelled)
{
    {
        SCOPED_TRACE("every camera acknowledges");
        ScriptedEndpoint network;
        for (std::size_t i = 0; i < 4; ++i)
            network.schedule(i + 1, 30, ack(macOf(i)));
        EXPECT_EQ(writeSettingsToMany(network, batchOf(4), 10, network.ticks()),
                  std::vector<BatchOutcome>(4, BatchOutcome::acknowledged));
        EXPECT_LT(network.receives.back().endedAt, 200);
    }
    {
        SCOPED_TRACE("cancelled after two packets");
        ScriptedEndpoint network;
        network.schedule(1, 5, ack(macOf(0)));
        BatchHooks hooks;
        std::size_t sent = 0;
        hooks.progress = [&](std::size_t n, std::size_t) { sent = n; };
        hooks.cancelled = [&] { return sent == 2; };
        EXPECT_EQ(
            writeSettingsToMany(network, batchOf(4), 10, network.ticks(), hooks),
            (std::vector<BatchOutcome>{BatchOutcome::acknowledged, BatchOutcome::noAcknowledgement,
                                       BatchOutcome::notSent, BatchOutcome::notSent}));
        EXPECT_EQ(network.sends.size(), 2u);
    }
}

// A flood between the packets is read a little at a time, so that the packets still go out
// together; the acknowledgements in it are found in the wait after the last.
TEST(WriteToMany, AFloodOfJunkHoldsNoPacketBackAndHidesNoAcknowledgement)
{
    ScriptedEndpoint network;
    const std::size_t cameras = 20;
    for (std::size_t i = 0; i < 3000; ++i)
        network.schedule(1, 0, i % 3 == 0 ? Bytes{} : Bytes(20 + i % 500, 0x5A));
    for (std::size_t i = 0; i < cameras; ++i)
        network.schedule(i + 1, 1, ack(macOf(i)));
    EXPECT_EQ(writeSettingsToMany(network, batchOf(cameras), 10, network.ticks()),
              std::vector<BatchOutcome>(cameras, BatchOutcome::acknowledged));
    const auto beforeLast = std::count_if(network.receives.begin(), network.receives.end(),
                                          [&](const auto& r) { return r.sendsBefore < cameras; });
    EXPECT_LT(beforeLast, 2000) << "the flood (3000) was read before the packets went out";
}
