#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "protocol/packets.h"
#include "tests/support/field_places.h"
#include "tools/junk-sender/junk.h"

using namespace junk;

namespace {

std::vector<Bytes> make(Maker& maker, int count, std::vector<Kind>* kinds = nullptr)
{
    std::vector<Bytes> made;
    for (int i = 0; i < count; ++i) {
        Kind kind{};
        made.push_back(maker.next(kind));
        if (kinds)
            kinds->push_back(kind);
    }
    return made;
}

bool startsWith(const Bytes& bytes, const char* tag)
{
    const std::size_t n = std::strlen(tag);
    return bytes.size() >= n && std::memcmp(bytes.data(), tag, n) == 0;
}

} // namespace

// The hostile test relies on the cap to keep junk rows below the camera table's limit.
TEST(Junk, DatagramsPassingForAnswersStopAtTheCap)
{
    Maker capped({Kind::tagged, Kind::overlong, Kind::random}, 7, 5);
    const auto made = make(capped, 3000);
    const auto passing = std::count_if(made.begin(), made.end(), passesForAnswer);
    EXPECT_EQ(passing, 5);
    EXPECT_EQ(capped.answersMade(), 5);

    Maker uncapped({Kind::tagged, Kind::overlong}, 7);
    const auto free = make(uncapped, 3000);
    EXPECT_GT(std::count_if(free.begin(), free.end(), passesForAnswer), 500);
}

TEST(Junk, EachKindIsWhatItSays)
{
    for (std::size_t k = 0; k < kKindCount; ++k) {
        const Kind kind = static_cast<Kind>(k);
        SCOPED_TRACE(nameOf(kind));
        Maker maker({kind}, 11);
        std::vector<Kind> kinds;
        for (const Bytes& d : make(maker, 400, &kinds)) {
            ASSERT_LE(d.size(), kMostBytes);
            switch (kind) {
            case Kind::empty:
                ASSERT_TRUE(d.empty());
                break;
            case Kind::oversize:
                // Too large for the acknowledgement's 256 bytes and discovery's 1056 alike.
                ASSERT_GE(d.size(), kLeastOversize);
                break;
            case Kind::acks:
                ASSERT_EQ(d.size(), protocol::kAckSize);
                ASSERT_TRUE(startsWith(d, "MORVAK INFO ACK "));
                ASSERT_EQ(d[16], 0x0A); // nobody's MAC
                break;
            case Kind::tagged:
                if (startsWith(d, "MORVAK INFO RESPOND"))
                    ASSERT_TRUE(d.size() < 523 || d.size() > 528);
                else if (startsWith(d, "MORVAK INFO ACK "))
                    ASSERT_NE(d.size(), protocol::kAckSize);
                else if (startsWith(d, "MORVAK INFO PARAMETER "))
                    ASSERT_NE(d.size(), protocol::kParameterPacketSize);
                else if (startsWith(d, "MORVAK INFO SEARCH"))
                    ASSERT_NE(d.size(), protocol::kSearchRequestSize);
                else
                    ASSERT_LE(d.size(), 21u); // too short for the whole tag
                break;
            case Kind::overlong:
                ASSERT_TRUE(passesForAnswer(d));
                ASSERT_GT(d[answerAt("ddnsDomainName")], 95); // the widest area
                ASSERT_EQ(std::count(d.begin(), d.end(), 0), 0);
                break;
            case Kind::random:
                break;
            }
        }
        EXPECT_TRUE(std::all_of(kinds.begin(), kinds.end(), [&](Kind k) { return k == kind; }));
    }
}

TEST(Junk, AckForAnotherMacNamesAnotherCamera)
{
    protocol::CameraRecord camera;
    const protocol::MacBytes mac = {0x02, 0x00, 0x5E, 0x00, 0x00, 0x03};
    std::copy(mac.begin(), mac.end(), camera.bytes.begin() + protocol::offset::respondMac);
    protocol::ParameterPacket packet;
    protocol::beginParameterPacket(packet, camera);

    const Bytes ack = ackForAnotherMac(packet.bytes.data(), packet.bytes.size());
    const protocol::AckBytes real = protocol::expectedAck(mac);
    ASSERT_EQ(ack.size(), real.size());
    EXPECT_TRUE(std::equal(real.begin(), real.end() - 1, ack.begin()));
    EXPECT_NE(ack.back(), real.back());

    EXPECT_TRUE(ackForAnotherMac(packet.bytes.data(), 655).empty());
    packet.bytes[0] = 'X';
    EXPECT_TRUE(ackForAnotherMac(packet.bytes.data(), packet.bytes.size()).empty());
}

TEST(Junk, TargetsOnlyLoopbackAndTheTestNetworks)
{
    EXPECT_TRUE(mayTarget({203, 0, 113, 1}));
    EXPECT_TRUE(mayTarget({198, 51, 100, 200}));
    EXPECT_TRUE(mayTarget({127, 0, 0, 1}));
    EXPECT_FALSE(mayTarget({192, 0, 2, 1}));
    EXPECT_FALSE(mayTarget({255, 255, 255, 255}));
    EXPECT_FALSE(mayTarget({10, 0, 0, 1}));
    EXPECT_FALSE(mayTarget({203, 0, 114, 1}));
    EXPECT_FALSE(mayTarget({198, 51, 101, 1}));
}

TEST(Junk, KindLists)
{
    ASSERT_TRUE(parseKinds("empty,oversize").has_value());
    EXPECT_EQ(*parseKinds("empty,oversize"), (std::vector<Kind>{Kind::empty, Kind::oversize}));
    EXPECT_FALSE(parseKinds("").has_value());
    EXPECT_FALSE(parseKinds("empty,,oversize").has_value());
    EXPECT_FALSE(parseKinds("empty,bogus").has_value());
}
