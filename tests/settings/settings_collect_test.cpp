#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "settings/settings_values.h"
#include "settings_test_record.h"
#include "tests/support/field_places.h"

namespace {

using protocol::ParameterPacket;
using settings::collectSettings;
using settings::SettingsValues;
using settings_test::putText;
namespace offset = protocol::offset;

class CollectSettings : public ::testing::Test {
protected:
    protocol::CameraRecord record = settings_test::sampleRecord();
    SettingsValues values = settings::decodeCameraRecord(record);
    ParameterPacket packet;

    std::optional<std::string> collect() { return collectSettings(values, record, packet); }

    // The length byte and the first `width` bytes of a counted text.
    std::string field(std::size_t at, std::size_t width) const
    {
        return std::string(packet.bytes.begin() + at, packet.bytes.begin() + at + 1 + width);
    }
    static std::string counted(int length, const std::string& text, std::size_t width)
    {
        std::string expected(1, static_cast<char>(length));
        return expected + text + std::string(width - text.size(), '\0');
    }
};

TEST_F(CollectSettings, EachCheckReportsItsLabel)
{
    struct Case {
        std::string SettingsValues::*edit;
        std::string text;
        const char* label;
    };
    const Case cases[] = {
        {&SettingsValues::ipAddress, "10.0.0", "IP Address"},
        {&SettingsValues::subnetMask, "", "Subnet Mask"},
        {&SettingsValues::gateway, "gw.example", "Gateway"},
        {&SettingsValues::dnsServer, "10 .0.0.1", "DNS Server"},
        {&SettingsValues::smtpIpAddress, "10.1", "SMTP IP Address"},
        {&SettingsValues::smtpIpAddress, "10.1.2.", "SMTP IP Address"},
        {&SettingsValues::hour, "24", "Time e-mail: Hour"},
        {&SettingsValues::hour, "-1", "Time e-mail: Hour"},
        {&SettingsValues::hour, "99999999999", "Time e-mail: Hour"},
        {&SettingsValues::minute, "60", "Time e-mail: Minute"},
        {&SettingsValues::minute, "-1", "Time e-mail: Minute"},
        {&SettingsValues::triggerCount, "100", "E-mail Trigger Count"},
        {&SettingsValues::triggerCount, "-1", "E-mail Trigger Count"},
    };
    const SettingsValues shown = values;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label + std::string(" <- \"") + c.text + "\"");
        values = shown;
        values.*c.edit = c.text;
        EXPECT_EQ(collect(), std::optional<std::string>(c.label));
    }
    values = shown;
    values.hour = "0";
    for (const char* minute : {"0", "1", "2", ""}) {
        values.minute = minute;
        EXPECT_EQ(collect(), "Time e-mail: 23:59 ~ 00:03") << "minute " << minute;
    }
    values.hour = "";
    values.minute = "";
    values.timeEmail = 0;
    EXPECT_EQ(collect(), "Time e-mail: 23:59 ~ 00:03");
}

TEST_F(CollectSettings, OnlyTheFirstFailureIsReported)
{
    values.ipAddress = "10.0.0";
    values.hour = "24";
    EXPECT_EQ(collect(), "IP Address");
    values.ipAddress = "10.0.0.1";
    values.smtpIpAddress = "1";
    values.triggerCount = "100";
    EXPECT_EQ(collect(), "SMTP IP Address");
    values.smtpIpAddress = "";
    EXPECT_EQ(collect(), "Time e-mail: Hour");
    values.hour = "23";
    values.minute = "60";
    EXPECT_EQ(collect(), "Time e-mail: Minute");
}

TEST_F(CollectSettings, AcceptedReadingsGoIntoThePacket)
{
    values.ipAddress = "192.168.1.300";
    values.hour = "7abc";
    values.minute = "0";
    values.triggerCount = "";
    ASSERT_EQ(collect(), std::nullopt);
    auto bytesAt = [&](std::size_t at) {
        return std::vector<int>(packet.bytes.begin() + at, packet.bytes.begin() + at + 4);
    };
    EXPECT_EQ(bytesAt(answerAt("ipAddress")), (std::vector<int>{192, 168, 1, 44}));
    EXPECT_EQ(packet.bytes[packetAt("hour")], 7);
    EXPECT_EQ(packet.bytes[packetAt("minute")], 0);
    EXPECT_EQ(packet.bytes[packetAt("triggerCount")], 0);

    for (const char* smtp : {"", "   ", "mail.example.net"}) {
        values.smtpIpAddress = smtp;
        ASSERT_EQ(collect(), std::nullopt) << smtp;
        EXPECT_EQ(bytesAt(packetAt("smtpIpAddress")), (std::vector<int>{0, 0, 0, 0})) << smtp;
    }
    for (auto [hour, minute] :
         {std::pair{"0", "3"}, std::pair{"23", "59"}, std::pair{"00", "03"}}) {
        values.hour = hour;
        values.minute = minute;
        EXPECT_EQ(collect(), std::nullopt) << hour << ":" << minute;
    }
    values.triggerCount = "99";
    ASSERT_EQ(collect(), std::nullopt);
    EXPECT_EQ(packet.bytes[packetAt("triggerCount")], 99);
}

TEST_F(CollectSettings, RefusalLeavesNoPasswordBehind)
{
    values.adminPassword = "s3cret";
    values.triggerCount = "100";
    ASSERT_TRUE(collect().has_value());
    EXPECT_TRUE(
        std::all_of(packet.bytes.begin(), packet.bytes.end(), [](auto b) { return b == 0; }));
}

TEST_F(CollectSettings, WipingPasswordsEmptiesAllSevenAndNothingElse)
{
    const std::vector<std::string SettingsValues::*> passwords = {
        &SettingsValues::adslPassword,     &SettingsValues::ddnsPassword,
        &SettingsValues::emailPassword,    &SettingsValues::adminPassword,
        &SettingsValues::newAdminPassword, &SettingsValues::userPassword,
        &SettingsValues::newUserPassword};
    for (auto password : passwords)
        values.*password = std::string(21, 'p');
    const SettingsValues before = values;
    settings::wipePasswords(values);
    for (auto password : passwords)
        EXPECT_EQ(values.*password, "");
    EXPECT_EQ(values.cameraDescription, before.cameraDescription);
    EXPECT_EQ(values.ddnsDomainName, before.ddnsDomainName);
    EXPECT_EQ(values.emailAccount, before.emailAccount);
    EXPECT_EQ(values.hour, before.hour);
}

TEST_F(CollectSettings, TextsGoOutOnlyWhenChanged)
{
    values.smtpDomain = "SMTP.example.net";             // case change
    values.emailSender = "";                            // cleared
    values.emailCopy = "";                              // camera's is empty too (length 0)
    values.ddnsUserName = "";                           // camera's is missing (length 255)
    values.emailAccount = "cam" + std::string(37, 'x'); // as long as it may be
    ASSERT_EQ(collect(), std::nullopt);
    EXPECT_EQ(field(answerAt("adslUserName"), 30), counted(255, "", 30));
    EXPECT_EQ(field(answerAt("cameraDescription"), 40), counted(255, "", 40));
    EXPECT_EQ(field(answerAt("smtpDomain"), 31), counted(16, "SMTP.example.net", 31));
    EXPECT_EQ(field(answerAt("emailSender"), 47), counted(0, "", 47));
    EXPECT_EQ(field(answerAt("emailCopy"), 40), counted(255, "", 40));
    EXPECT_EQ(field(answerAt("ddnsUserName"), 30), counted(255, "", 30));
    EXPECT_EQ(field(answerAt("emailAccount"), 47), counted(40, "cam" + std::string(37, 'x'), 47));
}

TEST_F(CollectSettings, ALongerTextPassesOnlyAsTheCamerasOwnAndIsKept)
{
    putText(record, answerAt("cameraDescription"), std::string(47, 'd'));
    putText(record, answerAt("ddnsDomainName"), std::string(95, 'q'));
    values = settings::decodeCameraRecord(record);
    ASSERT_EQ(collect(), std::nullopt);
    EXPECT_EQ(field(answerAt("cameraDescription"), 47), counted(255, "", 47));
    EXPECT_EQ(field(answerAt("ddnsDomainName"), 95), counted(255, "", 95));

    // Changed, or typed longer than the field where the camera's text is short, it would go out
    // cut: refused instead, in the order the texts are written, and nothing goes out.
    values.ddnsDomainName = std::string(94, 'q');
    values.cameraDescription = std::string(45, 'd');
    values.adminPassword = "s3cret";
    EXPECT_EQ(collect(), "Camera Description");
    EXPECT_TRUE(
        std::all_of(packet.bytes.begin(), packet.bytes.end(), [](auto b) { return b == 0; }));
    values.cameraDescription = std::string(40, 'd');
    EXPECT_EQ(collect(), "DDNS Domain Name");
    values.ddnsDomainName = std::string(81, 'q');
    ASSERT_EQ(collect(), std::nullopt);
    EXPECT_EQ(field(answerAt("ddnsDomainName"), 95), counted(81, std::string(81, 'q'), 95));

    const std::pair<std::string SettingsValues::*, const char*> labels[] = {
        {&SettingsValues::adslUserName, "PPPoE User Name"},
        {&SettingsValues::smtpDomain, "SMTP Domain Name"},
        {&SettingsValues::emailSender, "E-mail Sender"},
        {&SettingsValues::emailReceiver, "E-mail Receiver"},
        {&SettingsValues::emailCopy, "E-mail Copy"},
        {&SettingsValues::emailAccount, "E-mail Account"},
        {&SettingsValues::ddnsUserName, "DDNS User Name"},
    };
    const SettingsValues fitting = values;
    for (const auto& [edit, label] : labels) {
        values = fitting;
        values.*edit = std::string(41, 'x');
        EXPECT_EQ(collect(), std::optional<std::string>(label));
    }
}

TEST_F(CollectSettings, PasswordsGoOutWhenTyped)
{
    values.newAdminPassword = "0123456789";
    values.userPassword = "0123456789AB";
    values.ddnsPassword = std::string(21, 'p');
    ASSERT_EQ(collect(), std::nullopt);
    EXPECT_EQ(field(packetAt("adminPassword"), 15), counted(255, "", 15));
    EXPECT_EQ(field(packetAt("newAdminPassword"), 15), counted(10, "0123456789", 15));
    EXPECT_EQ(field(packetAt("userPassword"), 15), counted(10, "0123456789", 15));
    EXPECT_EQ(field(packetAt("ddnsPassword"), 31), counted(21, std::string(21, 'p'), 31));
    EXPECT_EQ(field(packetAt("emailPassword"), 31), counted(255, "", 31));
}

TEST_F(CollectSettings, EachEditFillsItsOwnFieldUpToItsMaximum)
{
    struct Field {
        std::string SettingsValues::*edit;
        std::size_t at;
        std::size_t maxChars;
    };
    const Field fields[] = {
        {&SettingsValues::adslUserName, 48, 30},       {&SettingsValues::smtpDomain, 80, 30},
        {&SettingsValues::emailSender, 112, 40},       {&SettingsValues::emailReceiver, 160, 40},
        {&SettingsValues::emailCopy, 208, 40},         {&SettingsValues::emailAccount, 256, 40},
        {&SettingsValues::cameraDescription, 304, 40}, {&SettingsValues::ddnsUserName, 352, 30},
        {&SettingsValues::ddnsDomainName, 384, 81},    {&SettingsValues::adslPassword, 480, 20},
        {&SettingsValues::ddnsPassword, 512, 21},      {&SettingsValues::emailPassword, 544, 20},
        {&SettingsValues::adminPassword, 576, 10},     {&SettingsValues::newAdminPassword, 592, 10},
        {&SettingsValues::userPassword, 608, 10},      {&SettingsValues::newUserPassword, 624, 10},
    };
    // Texts as long as they may be; passwords are cut.
    char letter = 'A';
    for (const Field& f : fields) {
        values.*f.edit = std::string(f.at < packetAt("adslPassword") ? f.maxChars : 100, letter++);
    }
    ASSERT_EQ(collect(), std::nullopt);
    letter = 'A';
    for (const Field& f : fields) {
        SCOPED_TRACE(f.at);
        EXPECT_EQ(field(f.at, f.maxChars + 1),
                  counted(static_cast<int>(f.maxChars), std::string(f.maxChars, letter++),
                          f.maxChars + 1));
    }
}

TEST_F(CollectSettings, RadioGroupsWithoutChoiceAndUnsetOptionBits)
{
    record.bytes[optionFlagsAt()] = 0xFF;
    values = settings::decodeCameraRecord(record);
    ASSERT_EQ(collect(), std::nullopt);
    EXPECT_EQ(packet.bytes[optionFlagsAt()], 0xD3); // bits 2, 3 and 5 dropped

    values.networkType = -1;
    values.imageBrightness = -1;
    values.imageResolution = -1;
    values.imageQuality = -1;
    values.upsideDown = 0;
    values.antiFlicker = 0;
    ASSERT_EQ(collect(), std::nullopt);
    EXPECT_EQ(packet.bytes[answerAt("networkType")], 255);
    EXPECT_EQ(packet.bytes[imageFlagsAt()], 1 << 6 | 3 << 4 | 3 << 1);

    values.imageResolution = 0;
    ASSERT_EQ(collect(), std::nullopt);
    EXPECT_EQ(packet.bytes[imageFlagsAt()] >> 6, 0);

    // An index too wide for its bits keeps to them and leaves its neighbours alone.
    values.upsideDown = 2;
    values.imageBrightness = 4;
    values.antiFlicker = 2;
    values.imageQuality = 4;
    values.timeEmail = 3;
    values.smtpServerType = values.emailAuthentication = values.motionImage = 0;
    values.userPasswordOn = 2;
    ASSERT_EQ(collect(), std::nullopt);
    EXPECT_EQ(packet.bytes[imageFlagsAt()], 0x00);
    EXPECT_EQ(packet.bytes[optionFlagsAt()], 0x02);
}

TEST_F(CollectSettings, UneditedRecordGivesTheKeepPacket)
{
    ASSERT_EQ(collect(), std::nullopt);
    ParameterPacket expected;
    const std::string tag = "MORVAK INFO PARAMETER ";
    std::copy(tag.begin(), tag.end(), expected.bytes.begin());
    auto put = [&](std::size_t at, std::initializer_list<int> bytes) {
        for (int b : bytes) {
            expected.bytes[at++] = static_cast<std::uint8_t>(b);
        }
    };
    put(22, {0x00, 0x1A, 0x2B, 0xC3, 0xD4, 0xEF});
    put(28, {0, 0x6A, 0x53});
    put(32, {203, 0, 113, 20, 203, 0, 113, 1, 255, 255, 255, 0, 198, 51, 100, 53});
    for (std::size_t at :
         {48, 80, 112, 160, 208, 256, 304, 352, 384, 480, 512, 544, 576, 592, 608, 624}) {
        expected.bytes[at] = 255;
    }
    put(640, {198, 51, 100, 25, 7, 30, 5});
    for (std::size_t i = 0; i < expected.bytes.size(); ++i) {
        EXPECT_EQ(packet.bytes[i], expected.bytes[i]) << "byte " << i;
    }
}

TEST_F(CollectSettings, RadioValuesSurviveDecodeAndCollect)
{
    for (int image = 0; image < 256; ++image) {
        const int v = image >> 4;
        if (v == 3 || v > 6 || (image >> 1 & 3) == 3) {
            continue; // values without an item of their own
        }
        for (int option = 0; option < 256; ++option) {
            if (option & 0x2C) {
                continue;
            }
            record.bytes[answerAt("networkType")] = static_cast<std::uint8_t>(option % 3);
            record.bytes[imageFlagsAt()] = static_cast<std::uint8_t>(image);
            record.bytes[optionFlagsAt()] = static_cast<std::uint8_t>(option);
            values = settings::decodeCameraRecord(record);
            ASSERT_EQ(collect(), std::nullopt);
            ASSERT_EQ(packet.bytes[answerAt("networkType")], option % 3);
            ASSERT_EQ(packet.bytes[imageFlagsAt()], image);
            ASSERT_EQ(packet.bytes[optionFlagsAt()], option);
        }
    }
}

TEST(InvalidInputMessage, PutsTheLabelIn)
{
    EXPECT_EQ(settings::invalidInputMessage("Time e-mail: 23:59 ~ 00:03"),
              "Invalid input in Time e-mail: 23:59 ~ 00:03 field.\n\nPlease check again.\n");
}

} // namespace
