#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "protocol/packets.h"
#include "settings/camera_fields.h"
#include "settings/settings_file.h"
#include "settings/settings_values.h"
#include "tests/support/field_places.h"
#include "tools/virtual-cameras/camera.h"

namespace off = protocol::offset;
using settings::FieldChange;

namespace {

settings::FieldChange assigned(const std::string& argument)
{
    settings::FieldChange change;
    std::string error;
    EXPECT_TRUE(settings::parseAssignment(argument, change, error)) << argument << ": " << error;
    return change;
}

std::string refusal(const std::string& argument)
{
    settings::FieldChange change;
    std::string error;
    EXPECT_FALSE(settings::parseAssignment(argument, change, error)) << "accepted: " << argument;
    return error;
}

// The packet Save builds for the record with the changes typed in.
protocol::ParameterPacket packed(const protocol::CameraRecord& record,
                                 const std::vector<settings::FieldChange>& changes)
{
    settings::SettingsValues values = settings::valuesOf(record);
    for (const settings::FieldChange& change : changes) {
        settings::applyChange(values, change);
    }
    protocol::ParameterPacket packet;
    const auto refused = settings::collectSettings(values, record, packet);
    EXPECT_FALSE(refused) << *refused;
    return packet;
}

} // namespace

TEST(CameraFields, EachNameLandsInItsOwnPlaceOfThePacket)
{
    // Each place written out as a number, so that a wrong place in the program's field table
    // shows here.
    const std::pair<const char*, std::size_t> texts[] = {
        {"cameraDescription", 304}, {"adslUserName", 48},      {"ddnsUserName", 352},
        {"ddnsDomainName", 384},    {"smtpDomain", 80},        {"emailSender", 112},
        {"emailReceiver", 160},     {"emailCopy", 208},        {"emailAccount", 256},
        {"adslPassword", 480},      {"ddnsPassword", 512},     {"emailPassword", 544},
        {"adminPassword", 576},     {"newAdminPassword", 592}, {"userPassword", 608},
        {"newUserPassword", 624},   {"ipAddress", 32},         {"gateway", 36},
        {"subnetMask", 40},         {"dnsServer", 44},         {"smtpIpAddress", 640},
    };
    // The first 16 are texts and get their name's first letters; the rest are addresses and get
    // 198.51.100.<their offset's low byte>.
    std::vector<settings::FieldChange> changes;
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        const auto& [name, at] = texts[i];
        changes.push_back(assigned(std::string(name) + "=" +
                                   (i >= 16 ? "198.51.100." + std::to_string(at & 0xFF)
                                            : std::string(name).substr(0, 4))));
    }
    for (const char* choice :
         {"networkType=DHCP", "upsideDown=Upside-down", "imageBrightness=Low", "antiFlicker=50 Hz",
          "imageQuality=Middle", "imageResolution=QVGA (320x240)", "smtpServerType=1",
          "timeEmail=On", "emailAuthentication=On", "motionImage=On", "userPasswordOn=On",
          "hour=21", "minute=45", "triggerCount=99"}) {
        changes.push_back(assigned(choice));
    }

    const auto b = packed(camsim::generatedCamera(1).record, changes).bytes;
    for (std::size_t i = 0; i < 16; ++i) {
        const std::size_t at = texts[i].second;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[at + 1]), b[at]),
                  std::string(texts[i].first).substr(0, 4))
            << texts[i].first;
    }
    for (std::size_t i = 16; i < std::size(texts); ++i) {
        const std::size_t at = texts[i].second;
        EXPECT_EQ(net::formatIpv4({b[at], b[at + 1], b[at + 2], b[at + 3]}),
                  "198.51.100." + std::to_string(at & 0xFF))
            << texts[i].first;
    }
    EXPECT_EQ(b[28], 2);
    // Upside-down bit 0, brightness Low bits 1-2, 50 Hz bit 3, quality Middle bits 4-5, QVGA
    // bits 6-7; the SMTP type, time e-mail, authentication, motion image and user password
    // switches are bits 0, 1, 4, 6 and 7.
    EXPECT_EQ(b[29], 0x5D);
    EXPECT_EQ(b[30], 0xD3);
    EXPECT_EQ(b[644], 21);
    EXPECT_EQ(b[645], 45);
    EXPECT_EQ(b[646], 99);
}

TEST(CameraFields, ValuesAreCheckedForTheirKindOfField)
{
    EXPECT_EQ(assigned("networkType=pppoe").index, 1);
    EXPECT_EQ(assigned("networkType=2").index, 2);
    EXPECT_EQ(assigned("smtpServerType=SMTP IP Address").index, 1);
    EXPECT_EQ(refusal("networkType=3"),
              "networkType: \"3\" is not one of \"Fixed IP\", \"PPPoE\", \"DHCP\" (or 0 to 2)");
    for (const char* bad : {"networkType=-1", "networkType=Fixed", "motionImage=", "upsideDown=01",
                            "antiFlicker=50"}) {
        refusal(bad);
    }

    // Longer than its field only as the camera's own text, which then stays as it is; the
    // window's check judges that, with the camera's text at hand.
    const settings::FieldChange longer = assigned("ddnsDomainName=" + std::string(82, 'd'));
    protocol::CameraRecord record = camsim::generatedCamera(1).record;
    settings::SettingsValues values = settings::valuesOf(record);
    settings::applyChange(values, longer);
    protocol::ParameterPacket packet;
    EXPECT_EQ(settings::collectSettings(values, record, packet), "DDNS Domain Name");
    camsim::setCountedText(record, settings::field("ddnsDomainName"), std::string(82, 'd'));
    EXPECT_EQ(packed(record, {longer}).bytes[answerAt("ddnsDomainName")], protocol::kKeepMarker);
    // One character is one camera byte of Windows-1252, however many bytes UTF-8 gives it.
    std::string accents;
    for (int i = 0; i < 10; ++i) {
        accents += "\xC3\xA9";
    }
    EXPECT_EQ(assigned("adminPassword=" + accents).text, std::string(10, '\xE9'));
    refusal("adminPassword=" + accents + "e");
    EXPECT_EQ(assigned("cameraDescription=Price \xE2\x82\xAC").text, "Price \x80");
    EXPECT_EQ(refusal("cameraDescription=\xD0\x96"),
              "cameraDescription: only characters of Windows-1252 can be sent to a camera");
    refusal(std::string("cameraDescription=a\0b", 21));
    EXPECT_EQ(assigned("emailAccount=a=b").text, "a=b");

    EXPECT_EQ(refusal("macAddress=00-11-22-33-44-55"),
              "macAddress is reported by the camera and cannot be set");
    EXPECT_EQ(refusal("CameraDescription=Lobby"), "unknown field \"CameraDescription\"");
    EXPECT_EQ(refusal("cameraDescription"), "\"cameraDescription\" is not FIELD=VALUE");
}

TEST(CameraFields, SettingsFileTakesWhatShowPrintsAndSkipsWhatCannotBeWritten)
{
    settings::SettingsFile file;
    settings::SettingsFileError error;
    ASSERT_TRUE(
        settings::readSettingsFile(R"({"macAddress": "00-11-22-33-44-55", "networkType": null,
        "hour": 7, "minute": "30", "motionImage": 1, "adminPassword": "secret"})",
                                   file, error));
    const std::vector<settings::FieldChange>& changes = file.changes;
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_EQ(changes[0].field->name, std::string("hour"));
    EXPECT_EQ(changes[0].text, "7");
    EXPECT_EQ(changes[2].index, 1);
    EXPECT_EQ(changes[3].text, "secret");

    // Each named where the member at fault begins.
    const char* refused[][2] = {
        {R"({"hour": 7.5})", "line 1, column 2: hour: a string or a whole number was expected"},
        {"{\"motionImage\": \"On\",\n  \"ipAddress\": 10}",
         "line 2, column 3: ipAddress: a string was expected"},
        {"{\"hour\": 7, \"x\": {\"hour\": 1},\r\n \"nickname\": \"x\"}",
         "line 1, column 13: unknown field \"x\""},
        {"{\"hour\": 7,\n\"minute\": {\"hour\": 1}, \"hour2\": 1}",
         "line 2, column 1: minute: a string or a whole number was expected"},
        {"\xEF\xBB\xBF\n [{\"hour\": 7}]",
         "line 2, column 2: the settings must be one JSON object of fields"},
    };
    for (const auto& [text, expected] : refused) {
        EXPECT_FALSE(settings::readSettingsFile(text, file, error)) << text;
        EXPECT_EQ(error.text(), expected);
    }
}

TEST(CameraFields, ShowJsonAppliedUnchangedSendsAPacketThatChangesNothing)
{
    camsim::Camera camera = camsim::generatedCamera(5);
    camsim::setCountedText(camera.record, settings::field("cameraDescription"),
                           "Caf\xE9 \"A\\B\"\t\x01 \xFF");
    camsim::setCountedTextNone(camera.record, settings::field("ddnsUserName"));
    camsim::setCountedText(camera.record, settings::field("ddnsDomainName"), std::string(95, 'd'));
    const std::string text = settings::writeSettingsFile(settings::valuesOf(camera.record));
    EXPECT_EQ(text.find("Password\""), std::string::npos) << "no password is ever printed";

    settings::SettingsFile back;
    settings::SettingsFileError error;
    ASSERT_TRUE(settings::readSettingsFile(text, back, error)) << error.text();
    const protocol::ParameterPacket viaJson = packed(camera.record, back.changes);
    EXPECT_EQ(viaJson.bytes, packed(camera.record, {}).bytes);
    EXPECT_EQ(viaJson.bytes[answerAt("cameraDescription")], protocol::kKeepMarker);
    EXPECT_EQ(viaJson.bytes[answerAt("ddnsDomainName")], protocol::kKeepMarker);
}

TEST(CameraFields, RadioValuesWithoutAnItemShowAsNoChoice)
{
    protocol::CameraRecord record = camsim::generatedCamera(1).record;
    record.bytes[answerAt("networkType")] = 3;
    record.bytes[imageFlagsAt()] = 0x06; // brightness 3
    const nlohmann::ordered_json json = settings::settingsJson(settings::valuesOf(record));
    EXPECT_TRUE(json.at("networkType").is_null());
    EXPECT_TRUE(json.at("imageBrightness").is_null());
    EXPECT_TRUE(json.at("hour").is_number());

    // As in a window that shows this camera first: no network type chosen goes out as 255.
    const protocol::ParameterPacket packet = packed(record, {});
    EXPECT_EQ(packet.bytes[answerAt("networkType")], 255);
    EXPECT_EQ((packet.bytes[imageFlagsAt()] >> 1) & 3, 3);
}
