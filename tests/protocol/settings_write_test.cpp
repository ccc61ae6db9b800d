#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "protocol/settings_write.h"
#include "scripted_endpoint.h"

using namespace protocol;

namespace {

const MacBytes kCamera = {0x00, 0x0e, 0x53, 0x12, 0x34, 0x56};

Bytes ack(const MacBytes& mac)
{
    Bytes bytes(16);
    std::memcpy(bytes.data(), "MORVAK INFO ACK ", 16);
    bytes.insert(bytes.end(), mac.begin(), mac.end());
    return bytes;
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

    bool write() { return writeSettings(endpoint, packet, 10, endpoint.ticks()); }

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
    EXPECT_FALSE(write());
    EXPECT_GT(waited(), 10000);
    EXPECT_LE(waited(), 10100);
    for (const auto& receive : endpoint.receives) {
        EXPECT_EQ(receive.timeoutMs, 100);
        EXPECT_EQ(receive.size, 256);
    }
}

TEST_F(SettingsWrite, ImmediateAckEndsTheWait)
{
    endpoint.schedule(1, 0, ack(kCamera));
    EXPECT_TRUE(write());
    EXPECT_EQ(endpoint.receives.size(), 1u);

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
    EXPECT_TRUE(write());
}

TEST_F(SettingsWrite, SplitAckIsJoinedAndTheRoomShrinks)
{
    Bytes whole = ack(kCamera);
    endpoint.schedule(1, 300, Bytes(whole.begin(), whole.begin() + 16));
    endpoint.schedule(1, 2500, Bytes(whole.begin() + 16, whole.end()));
    EXPECT_TRUE(write());
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
        EXPECT_FALSE(writeSettings(other, packet, 10, other.ticks()));
    }
    {
        SCOPED_TRACE("stray datagram first: the ack is never read");
        ScriptedEndpoint stray;
        stray.schedule(1, 10, Bytes(30, 0xA5));
        stray.schedule(1, 20, ack(kCamera));
        EXPECT_FALSE(writeSettings(stray, packet, 10, stray.ticks()));
        EXPECT_EQ(stray.receives.size(), 1u);
    }
    {
        SCOPED_TRACE("ten bytes, then silence");
        ScriptedEndpoint shortAnswer;
        Bytes start = ack(kCamera);
        start.resize(10);
        shortAnswer.schedule(1, 10, start);
        EXPECT_FALSE(writeSettings(shortAnswer, packet, 10, shortAnswer.ticks()));
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
    EXPECT_TRUE(write());
}
