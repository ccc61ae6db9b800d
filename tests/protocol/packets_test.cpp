#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "protocol/code_page.h"
#include "protocol/packets.h"

using namespace protocol;

namespace {

std::vector<std::uint8_t> withTag(const char* tag, std::size_t size)
{
    std::vector<std::uint8_t> bytes(size, 0);
    std::memcpy(bytes.data(), tag, std::min(size, std::strlen(tag)));
    return bytes;
}

void putText(CameraRecord& record, std::size_t at, std::uint8_t length, const std::string& text)
{
    record.bytes[at] = length;
    std::memcpy(record.bytes.data() + at + 1, text.data(), text.size());
}

std::string areaText(const ParameterPacket& packet, std::size_t at, std::size_t width)
{
    return std::string(packet.bytes.begin() + at + 1, packet.bytes.begin() + at + 1 + width);
}

bool allZero(const ParameterPacket& packet, std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to; ++i) {
        if (packet.bytes[i] != 0)
            return false;
    }
    return true;
}

} // namespace

TEST(RespondPacket, AcceptsOnlyTaggedAnswersLongerThanTwentyBytes)
{
    auto twenty = withTag("MORVAK INFO RESPOND", 20);
    auto twentyOne = withTag("MORVAK INFO RESPOND", 21);
    EXPECT_FALSE(isRespondPacket(twenty.data(), twenty.size()));
    EXPECT_TRUE(isRespondPacket(twentyOne.data(), twentyOne.size()));

    // Byte 19 is never looked at.
    twentyOne[19] = 'X';
    EXPECT_TRUE(isRespondPacket(twentyOne.data(), twentyOne.size()));

    auto otherTag = withTag("MORVAK INFO RESPONX", 600);
    EXPECT_FALSE(isRespondPacket(otherTag.data(), otherTag.size()));
    auto lowerCase = withTag("morvak info respond", 600);
    EXPECT_FALSE(isRespondPacket(lowerCase.data(), lowerCase.size()));

    auto search = searchRequestBytes();
    EXPECT_EQ(std::string(search.begin(), search.end()), "MORVAK INFO SEARCH");
    EXPECT_FALSE(isRespondPacket(search.data(), search.size()));
}

TEST(RespondPacket, ShortAnswerReadsAsZeroLengthTextsAndZeroAddresses)
{
    CameraRecord record;
    record.bytes.fill(0xEE); // what an earlier search left in the slot
    auto answer = withTag("MORVAK INFO RESPOND", 21);
    answer[20] = 0x42;
    storeRespondPacket(answer.data(), answer.size(), record);

    EXPECT_EQ(net::formatMac(macAddress(record)), "42-00-00-00-00-00");
    for (std::size_t at = 21; at < kRecordSize; ++at)
        ASSERT_EQ(record.bytes[at], 0) << "at " << at;
    EXPECT_EQ(record.bytes[304], 0); // length 0, not the 255 of "no text"
    EXPECT_EQ(countedTextValue(record, 304), "");
}

TEST(RespondPacket, LongAnswerKeepsItsFirst528Bytes)
{
    auto answer = withTag("MORVAK INFO RESPOND", 1056);
    for (std::size_t i = 19; i < answer.size(); ++i)
        answer[i] = static_cast<std::uint8_t>(i * 7 + 1);
    CameraRecord record;
    storeRespondPacket(answer.data(), answer.size(), record);
    EXPECT_TRUE(std::equal(record.bytes.begin(), record.bytes.end(), answer.begin()));
}

TEST(CountedText, LengthByteRules)
{
    CameraRecord record;
    putText(record, 304, 255, "left over");
    EXPECT_EQ(countedTextValue(record, 304), "");
    putText(record, 304, 0, "left over");
    EXPECT_EQ(countedTextValue(record, 304), "");
    putText(record, 304, 4, "left over");
    EXPECT_EQ(countedTextValue(record, 304), "left");

    // A zero inside the first n bytes ends the text.
    putText(record, 80, 9, std::string("mail\0host", 9));
    EXPECT_EQ(countedTextValue(record, 80), "mail");
}

TEST(CountedText, LengthPastTheAreaReadsOnButStopsAtTheRecordEnd)
{
    CameraRecord record;
    // The description's length runs over into the DDNS user name's length byte and text.
    putText(record, 304, 50, std::string(47, 'd'));
    putText(record, 352, 'u', "ser");
    EXPECT_EQ(countedTextValue(record, 304), std::string(47, 'd') + "use");

    // Only 143 bytes follow the DDNS domain's length byte.
    std::fill(record.bytes.begin() + 384 + 1, record.bytes.end(), 'x');
    record.bytes[384] = 200;
    EXPECT_EQ(countedTextValue(record, 384), std::string(143, 'x'));
}

TEST(Ack, ExpectedImageCarriesTheMac)
{
    AckBytes ack = expectedAck({0x00, 0x11, 0x22, 0x33, 0x44, 0x55});
    const std::uint8_t expected[] = {'M', 'O', 'R', 'V', 'A', 'K',  ' ',  'I',  'N',  'F',  'O',
                                     ' ', 'A', 'C', 'K', ' ', 0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    EXPECT_TRUE(std::equal(ack.begin(), ack.end(), std::begin(expected), std::end(expected)));
}

class TextRule : public ::testing::Test {
protected:
    void SetUp() override
    {
        record.bytes[20] = 0x00;
        record.bytes[21] = 0x11;
        record.bytes[25] = 0x55;
        putText(record, 304, 10, "Front door");
        beginParameterPacket(packet, record);
    }

    CameraRecord record;
    ParameterPacket packet;
};

TEST_F(TextRule, UnchangedTextIsSentAsKeep)
{
    encodeText(packet, 304, 47, 40, "Front door", record);
    EXPECT_EQ(packet.bytes[304], 255);
    EXPECT_TRUE(allZero(packet, 305, 352));
}

TEST_F(TextRule, ChangedTextIsSentWithItsLength)
{
    encodeText(packet, 304, 47, 40, "Gate", record);
    EXPECT_EQ(packet.bytes[304], 4);
    EXPECT_EQ(areaText(packet, 304, 4), "Gate");
    EXPECT_TRUE(allZero(packet, 309, 352));

    // Only the case differs: still a change.
    encodeText(packet, 304, 47, 40, "front door", record);
    EXPECT_EQ(packet.bytes[304], 10);
    EXPECT_EQ(areaText(packet, 304, 10), "front door");
}

TEST_F(TextRule, ClearedTextIsZeroUnlessTheCamerasWasEmptyToo)
{
    encodeText(packet, 304, 47, 40, "", record);
    EXPECT_EQ(packet.bytes[304], 0);
    EXPECT_TRUE(allZero(packet, 305, 352));

    // The camera reported no text (255, empty area): an empty box changes nothing.
    record.bytes[80] = 255;
    encodeText(packet, 80, 31, 30, "", record);
    EXPECT_EQ(packet.bytes[80], 255);
}

TEST_F(TextRule, RecordLengthBytePlaysNoPart)
{
    putText(record, 112, 2, "cam@example.org");
    encodeText(packet, 112, 47, 40, "cam@example.org", record);
    EXPECT_EQ(packet.bytes[112], 255);
    encodeText(packet, 112, 47, 40, "ca", record);
    EXPECT_EQ(packet.bytes[112], 2);
}

TEST_F(TextRule, LongTextIsCutThenCompared)
{
    std::string long45(45, 'a');
    long45 += "bcdef";
    encodeText(packet, 304, 47, 40, long45, record);
    EXPECT_EQ(packet.bytes[304], 40);
    EXPECT_EQ(areaText(packet, 304, 40), long45.substr(0, 40));
    EXPECT_TRUE(allZero(packet, 345, 352));

    // The camera holds exactly the first 40 characters: the cut text equals it.
    putText(record, 304, 40, long45.substr(0, 40));
    encodeText(packet, 304, 47, 40, long45, record);
    EXPECT_EQ(packet.bytes[304], 255);
    EXPECT_TRUE(allZero(packet, 305, 352));

    std::string domain(90, 'q');
    encodeText(packet, 384, 95, 81, domain, record);
    EXPECT_EQ(packet.bytes[384], 81);
    EXPECT_TRUE(allZero(packet, 466, 480));
}

TEST_F(TextRule, CameraTextLongerThanTheMaximumIsAChange)
{
    // The camera's text fills its whole area; the box can only hold the first 30 of it.
    putText(record, 48, 31, std::string(31, 'n'));
    encodeText(packet, 48, 31, 30, std::string(30, 'n'), record);
    EXPECT_EQ(packet.bytes[48], 30);

    // Handed back whole, the camera's long text is kept rather than sent cut short.
    const std::string domain(95, 'd');
    putText(record, 384, 95, domain);
    encodeText(packet, 384, 95, 81, domain, record);
    EXPECT_EQ(packet.bytes[384], 255);
    EXPECT_TRUE(allZero(packet, 385, 480));

    // So is a long text as the pages show it, read by a length byte that ends it early.
    putText(record, 304, 45, std::string(47, 'e'));
    EXPECT_TRUE(isCameraText(record, 304, 47, 40, std::string(45, 'e')));
    EXPECT_FALSE(isCameraText(record, 304, 47, 40, std::string(44, 'e')));
    encodeText(packet, 304, 47, 40, std::string(45, 'e'), record);
    EXPECT_EQ(packet.bytes[304], 255);
}

TEST(PasswordRule, EmptyMeansKeepOtherwiseCut)
{
    ParameterPacket packet;
    encodePassword(packet, 592, 15, 10, "");
    EXPECT_EQ(packet.bytes[592], 255);
    EXPECT_TRUE(allZero(packet, 593, 608));

    encodePassword(packet, 576, 15, 10, "0123456789");
    EXPECT_EQ(packet.bytes[576], 10);
    EXPECT_EQ(areaText(packet, 576, 10), "0123456789");

    encodePassword(packet, 512, 31, 21, std::string(25, 'p'));
    EXPECT_EQ(packet.bytes[512], 21);
    EXPECT_TRUE(allZero(packet, 534, 544));
}

TEST(ParameterPacketImage, MatchesByteForByte)
{
    CameraRecord record;
    const std::uint8_t mac[] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    std::memcpy(record.bytes.data() + 20, mac, 6);
    record.bytes[30] = 0xFF; // the camera's own bits are not carried over
    putText(record, 48, 5, "alice");
    putText(record, 304, 4, "Door");

    ParameterPacket packet;
    packet.bytes.fill(0xCC);
    beginParameterPacket(packet, record);
    packet.bytes[28] = 1;
    packet.bytes[29] = 0x6A;
    packet.bytes[30] = 0x91;
    encodeText(packet, 48, 31, 30, "alice", record);
    encodeText(packet, 304, 47, 40, "Gate", record);
    encodePassword(packet, 576, 15, 10, "secret");
    encodePassword(packet, 592, 15, 10, "");

    std::array<std::uint8_t, 656> expected{};
    std::memcpy(expected.data(), "MORVAK INFO PARAMETER ", 22);
    std::memcpy(expected.data() + 22, mac, 6);
    expected[28] = 1;
    expected[29] = 0x6A;
    expected[30] = 0x91;
    expected[48] = 255;
    expected[304] = 4;
    std::memcpy(expected.data() + 305, "Gate", 4);
    expected[576] = 6;
    std::memcpy(expected.data() + 577, "secret", 6);
    expected[592] = 255;

    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(packet.bytes[i], expected[i]) << "at offset " << i;
    EXPECT_EQ(net::formatMac(parameterPacketMac(packet)), "00-11-22-33-44-55");
}

TEST(CodePage, EveryByteHasItsOwnCharacterAndComesBackAsItself)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = cameraTextToUtf8(all);
    EXPECT_EQ(utf8ToCameraText(utf8), all);
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        ASSERT_EQ(codePageByte(codePageCharacter(byte)), byte) << "byte " << b;
    }
    // Windows-1252's own bytes, and one it leaves unassigned.
    EXPECT_EQ(utf8ToCameraText("\xE2\x82\xAC caf\xC3\xA9"), "\x80 caf\xE9");
    EXPECT_EQ(cameraTextToUtf8("\x80\x81\x9F"), "\xE2\x82\xAC\xC2\x81\xC5\xB8");
}

TEST(CodePage, RefusesCharactersOutsideItAndTextThatIsNotUtf8)
{
    for (const char* text : {
             "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C", // Cyrillic
             "\xC5\x91",                                         // U+0151, o with double acute
             "\xC2\x80",         // U+0080, whose byte is the euro sign's
             "\xF0\x9F\x98\x80", // beyond the Basic Multilingual Plane
             "\xE9",             // a camera byte, not UTF-8
             "\xC1\x81",         // an overlong 'A'
             "\xED\xA0\x80",     // a surrogate
             "\xE2\x82",         // cut short
         }) {
        EXPECT_FALSE(utf8ToCameraText(std::string("ok ") + text)) << text;
    }
    EXPECT_FALSE(codePageByte(U'\u0151'));
    EXPECT_FALSE(isValidUtf8("\xE2\x82"));
    EXPECT_TRUE(isValidUtf8("\xF0\x9F\x98\x80"));
}
