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
        {&SettingsValues::txtIpAddress2, "10.0.0", "IP Address"},
        {&SettingsValues::txtSubnetMask2, "", "Subnet Mask"},
        {&SettingsValues::txtGateway2, "gw.example", "Gateway"},
        {&SettingsValues::txtDnsServer2, "10 .0.0.1", "DNS Server"},
        {&SettingsValues::txtSmtpIpAddress, "10.1", "SMTP IP Address"},
        {&SettingsValues::txtSmtpIpAddress, "10.1.2.", "SMTP IP Address"},
        {&SettingsValues::txtHour, "24", "Time e-mail: Hour"},
        {&SettingsValues::txtHour, "-1", "Time e-mail: Hour"},
        {&SettingsValues::txtHour, "99999999999", "Time e-mail: Hour"},
        {&SettingsValues::txtMinute, "60", "Time e-mail: Minute"},
        {&SettingsValues::txtMinute, "-1", "Time e-mail: Minute"},
        {&SettingsValues::txtTriggerCount, "100", "E-mail Trigger Count"},
        {&SettingsValues::txtTriggerCount, "-1", "E-mail Trigger Count"},
    };
    const SettingsValues shown = values;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label + std::string(" <- \"") + c.text + "\"");
        values = shown;
        values.*c.edit = c.text;
        EXPECT_EQ(collect(), std::optional<std::string>(c.label));
    }
    values = shown;
    values.txtHour = "0";
    for (const char* minute : {"0", "1", "2", ""}) {
        values.txtMinute = minute;
        EXPECT_EQ(collect(), "Time e-mail: 23:59 ~ 00:03") << "minute " << minute;
    }
    values.txtHour = "";
    values.txtMinute = "";
    values.optTimeEmail = 0;
    EXPECT_EQ(collect(), "Time e-mail: 23:59 ~ 00:03");
}

TEST_F(CollectSettings, OnlyTheFirstFailureIsReported)
{
    values.txtIpAddress2 = "10.0.0";
    values.txtHour = "24";
    EXPECT_EQ(collect(), "IP Address");
    values.txtIpAddress2 = "10.0.0.1";
    values.txtSmtpIpAddress = "1";
    values.txtTriggerCount = "100";
    EXPECT_EQ(collect(), "SMTP IP Address");
    values.txtSmtpIpAddress = "";
    EXPECT_EQ(collect(), "Time e-mail: Hour");
    values.txtHour = "23";
    values.txtMinute = "60";
    EXPECT_EQ(collect(), "Time e-mail: Minute");
}

TEST_F(CollectSettings, AcceptedReadingsGoIntoThePacket)
{
    values.txtIpAddress2 = "192.168.1.300";
    values.txtHour = "7abc";
    values.txtMinute = "0";
    values.txtTriggerCount = "";
    ASSERT_EQ(collect(), std::nullopt);
    auto bytesAt = [&](std::size_t at) {
        return std::vector<int>(packet.bytes.begin() + at, packet.bytes.begin() + at + 4);
    };
    EXPECT_EQ(bytesAt(offset::ipAddress), (std::vector<int>{192, 168, 1, 44}));
    EXPECT_EQ(packet.bytes[offset::packetHour], 7);
    EXPECT_EQ(packet.bytes[offset::packetMinute], 0);
    EXPECT_EQ(packet.bytes[offset::packetTriggerCount], 0);

    for (const char* smtp : {"", "   ", "mail.example.net"}) {
        values.txtSmtpIpAddress = smtp;
        ASSERT_EQ(collect(), std::nullopt) << smtp;
        EXPECT_EQ(bytesAt(offset::packetSmtpIpAddress), (std::vector<int>{0, 0, 0, 0})) << smtp;
    }
    for (auto [hour, minute] :
         {std::pair{"0", "3"}, std::pair{"23", "59"}, std::pair{"00", "03"}}) {
        values.txtHour = hour;
        values.txtMinute = minute;
        EXPECT_EQ(collect(), std::nullopt) << hour << ":" << minute;
    }
    values.txtTriggerCount = "99";
    ASSERT_EQ(collect(), std::nullopt);
    EXPECT_EQ(packet.bytes[offset::packetTriggerCount], 99);
}

TEST_F(CollectSettings, RefusalLeavesNoPasswordBehind)
{
    values.txtAdminPassword = "s3cret";
    values.txtTriggerCount = "100";
    ASSERT_TRUE(collect().has_value());
    EXPECT_TRUE(
        std::all_of(packet.bytes.begin(), packet.bytes.end(), [](auto b) { return b == 0; }));
}

TEST_F(CollectSettings, WipingPasswordsEmptiesAllSevenAndNothingElse)
{
    const std::vector<std::string SettingsValues::*> passwords = {
        &SettingsValues::txtAdslPassword,     &SettingsValues::txtDdnsPassword,
        &SettingsValues::txtEmailPassword,    &SettingsValues::txtAdminPassword,
        &SettingsValues::txtNewAdminPassword, &SettingsValues::txtUserPassword,
        &SettingsValues::txtNewUserPassword};
    for (auto password : passwords)
        values.*password = std::string(21, 'p');
    const SettingsValues before = values;
    settings::wipePasswords(values);
    for (auto password : passwords)
        EXPECT_EQ(values.*password, "");
    EXPECT_EQ(values.txtCameraDescription2, before.txtCameraDescription2);
    EXPECT_EQ(values.txtDdnsDomainName, before.txtDdnsDomainName);
    EXPECT_EQ(values.txtEmailAccount, before.txtEmailAccount);
    EXPECT_EQ(values.txtHour, before.txtHour);
}

TEST_F(CollectSettings, TextsGoOutOnlyWhenChanged)
{
    values.txtSmtpDomain = "SMTP.example.net";             // case change
    values.txtEmailSender = "";                            // cleared
    values.txtEmailCopy = "";                              // camera's is empty too (length 0)
    values.txtDdnsUserName = "";                           // camera's is missing (length 255)
    values.txtEmailAccount = "cam" + std::string(37, 'x'); // as long as it may be
    ASSERT_EQ(collect(), std::nullopt);
    EXPECT_EQ(field(offset::adslUserName, 30), counted(255, "", 30));
    EXPECT_EQ(field(offset::cameraDescription, 40), counted(255, "", 40));
    EXPECT_EQ(field(offset::smtpDomain, 31), counted(16, "SMTP.example.net", 31));
    EXPECT_EQ(field(offset::emailSender, 47), counted(0, "", 47));
    EXPECT_EQ(field(offset::emailCopy, 40), counted(255, "", 40));
    EXPECT_EQ(field(offset::ddnsUserName, 30), counted(255, "", 30));
    EXPECT_EQ(field(offset::emailAccount, 47), counted(40, "cam" + std::string(37, 'x'), 47));
}

TEST_F(CollectSettings, ALongerTextPassesOnlyAsTheCamerasOwnAndIsKept)
{
    putText(record, offset::cameraDescription, std::string(47, 'd'));
    putText(record, offset::ddnsDomainName, std::string(95, 'q'));
    values = settings::decodeCameraRecord(record);
    ASSERT_EQ(collect(), std::nullopt);
    EXPECT_EQ(field(offset::cameraDescription, 47), counted(255, "", 47));
    EXPECT_EQ(field(offset::ddnsDomainName, 95), counted(255, "", 95));

    // Changed, or typed longer than the field where the camera's text is short, it would go out
    // cut: refused instead, in the order the texts are written, and nothing goes out.
    values.txtDdnsDomainName = std::string(94, 'q');
    values.txtCameraDescription2 = std::string(45, 'd');
    values.txtAdminPassword = "s3cret";
    EXPECT_EQ(collect(), "Camera Description");
    EXPECT_TRUE(
        std::all_of(packet.bytes.begin(), packet.bytes.end(), [](auto b) { return b == 0; }));
    values.txtCameraDescription2 = std::string(40, 'd');
    EXPECT_EQ(collect(), "DDNS Domain Name");
    values.txtDdnsDomainName = std::string(81, 'q');
    ASSERT_EQ(collect(), std::nullopt);
    EXPECT_EQ(field(offset::ddnsDomainName, 95), counted(81, std::string(81, 'q'), 95));

    const std::pair<std::string SettingsValues::*, const char*> labels[] = {
        {&SettingsValues::txtAdslUserName, "PPPoE User Name"},
        {&SettingsValues::txtSmtpDomain, "SMTP Domain Name"},
        {&SettingsValues::txtEmailSender, "E-mail Sender"},
        {&SettingsValues::txtEmailReceiver, "E-mail Receiver"},
        {&SettingsValues::txtEmailCopy, "E-mail Copy"},
        {&SettingsValues::txtEmailAccount, "E-mail Account"},
        {&SettingsValues::txtDdnsUserName, "DDNS User Name"},
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
    values.txtNewAdminPassword = "0123456789";
    values.txtUserPassword = "0123456789AB";
    values.txtDdnsPassword = std::string(21, 'p');
    ASSERT_EQ(collect(), std::nullopt);
    EXPECT_EQ(field(offset::adminPassword, 15), counted(255, "", 15));
    EXPECT_EQ(field(offset::newAdminPassword, 15), counted(10, "0123456789", 15));
    EXPECT_EQ(field(offset::userPassword, 15), counted(10, "0123456789", 15));
    EXPECT_EQ(field(offset::ddnsPassword, 31), counted(21, std::string(21, 'p'), 31));
    EXPECT_EQ(field(offset::emailPassword, 31), counted(255, "", 31));
}

TEST_F(CollectSettings, EachEditFillsItsOwnFieldUpToItsMaximum)
{
    struct Field {
        std::string SettingsValues::*edit;
        std::size_t at;
        std::size_t maxChars;
    };
    const Field fields[] = {
        {&SettingsValues::txtAdslUserName, 48, 30},
        {&SettingsValues::txtSmtpDomain, 80, 30},
        {&SettingsValues::txtEmailSender, 112, 40},
        {&SettingsValues::txtEmailReceiver, 160, 40},
        {&SettingsValues::txtEmailCopy, 208, 40},
        {&SettingsValues::txtEmailAccount, 256, 40},
        {&SettingsValues::txtCameraDescription2, 304, 40},
        {&SettingsValues::txtDdnsUserName, 352, 30},
        {&SettingsValues::txtDdnsDomainName, 384, 81},
        {&SettingsValues::txtAdslPassword, 480, 20},
        {&SettingsValues::txtDdnsPassword, 512, 21},
        {&SettingsValues::txtEmailPassword, 544, 20},
        {&SettingsValues::txtAdminPassword, 576, 10},
        {&SettingsValues::txtNewAdminPassword, 592, 10},
        {&SettingsValues::txtUserPassword, 608, 10},
        {&SettingsValues::txtNewUserPassword, 624, 10},
    };
    // Texts as long as they may be; passwords are cut.
    char letter = 'A';
    for (const Field& f : fields) {
        values.*f.edit = std::string(f.at < offset::adslPassword ? f.maxChars : 100, letter++);
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
    record.bytes[offset::optionFlags] = 0xFF;
    values = settings::decodeCameraRecord(record);
    ASSERT_EQ(collect(), std::nullopt);
    EXPECT_EQ(packet.bytes[offset::optionFlags], 0xD3); // bits 2, 3 and 5 dropped

    values.optNetworkType = -1;
    values.optImageBrightness = -1;
    values.optImageResolution = -1;
    values.optImageQuality = -1;
    values.optUpsideDown = 0;
    values.optAntiFlicker = 0;
    ASSERT_EQ(collect(), std::nullopt);
    EXPECT_EQ(packet.bytes[offset::networkType], 255);
    EXPECT_EQ(packet.bytes[offset::imageFlags], 1 << 6 | 3 << 4 | 3 << 1);

    values.optImageResolution = 0;
    ASSERT_EQ(collect(), std::nullopt);
    EXPECT_EQ(packet.bytes[offset::imageFlags] >> 6, 0);
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
            record.bytes[offset::networkType] = static_cast<std::uint8_t>(option % 3);
            record.bytes[offset::imageFlags] = static_cast<std::uint8_t>(image);
            record.bytes[offset::optionFlags] = static_cast<std::uint8_t>(option);
            values = settings::decodeCameraRecord(record);
            ASSERT_EQ(collect(), std::nullopt);
            ASSERT_EQ(packet.bytes[offset::networkType], option % 3);
            ASSERT_EQ(packet.bytes[offset::imageFlags], image);
            ASSERT_EQ(packet.bytes[offset::optionFlags], option);
        }
    }
}

TEST(InvalidInputMessage, PutsTheLabelIn)
{
    EXPECT_EQ(settings::invalidInputMessage("Time e-mail: 23:59 ~ 00:03"),
              "Invalid input in Time e-mail: 23:59 ~ 00:03 field.\n\nPlease check again.\n");
}

} // namespace
