#include <algorithm>
#include <array>
#include <gtest/gtest.h>

#include "settings/camera_list.h"
#include "settings/settings_values.h"
#include "settings_test_record.h"
#include "tests/support/field_places.h"

namespace {

using settings::decodeCameraRecord;
using settings::SettingsValues;
using settings_test::sampleRecord;
namespace offset = protocol::offset;

TEST(DecodeCameraRecord, FormatsEveryEditFromTheRecord)
{
    const SettingsValues v = decodeCameraRecord(sampleRecord());
    EXPECT_EQ(v.macAddress, "00-1A-2B-C3-D4-EF");
    EXPECT_EQ(v.usedIPAddress, "203.0.113.77");
    EXPECT_EQ(v.firmwareVersion, "V1.6.0-2041");
    EXPECT_EQ(v.cameraDescription, "Loading Bay");
    EXPECT_EQ(v.ipAddress, "203.0.113.20");
    EXPECT_EQ(v.subnetMask, "255.255.255.0");
    EXPECT_EQ(v.gateway, "203.0.113.1");
    EXPECT_EQ(v.dnsServer, "198.51.100.53");
    EXPECT_EQ(v.adslUserName, "adsl-user");
    EXPECT_EQ(v.ddnsUserName, "");
    EXPECT_EQ(v.ddnsDomainName, "bay.ddns.example.net");
    EXPECT_EQ(v.smtpDomain, "smtp.example.net");
    EXPECT_EQ(v.emailSender, "cam@example.net");
    EXPECT_EQ(v.emailReceiver, "ops@example.net");
    EXPECT_EQ(v.emailCopy, "");
    EXPECT_EQ(v.emailAccount, "cam");
    EXPECT_EQ(v.smtpIpAddress, "198.51.100.25");
    EXPECT_EQ(v.hour, "7");
    EXPECT_EQ(v.minute, "30");
    EXPECT_EQ(v.triggerCount, "5");
    for (const std::string* password :
         {&v.adslPassword, &v.ddnsPassword, &v.emailPassword, &v.adminPassword, &v.newAdminPassword,
          &v.userPassword, &v.newUserPassword}) {
        EXPECT_EQ(*password, "");
    }
}

TEST(DecodeCameraRecord, ShowsValuesWithoutCheckingThem)
{
    protocol::CameraRecord r = sampleRecord();
    r.bytes[answerAt("networkType")] = 3;
    r.bytes[imageFlagsAt()] = 0x06; // brightness 3
    r.bytes[optionFlagsAt()] = 0;   // time e-mail off
    r.bytes[answerAt("hour")] = 200;
    r.bytes[answerAt("minute")] = 255;
    r.bytes[answerAt("cameraDescription")] = protocol::kKeepMarker;
    settings_test::putBytes(r, protocol::offset::respondMac, {0xAB, 0x0C, 0xFF, 0x01, 0x10, 0x00});
    settings_test::putBytes(r, answerAt("ipAddress"), {0, 0, 0, 0});
    const SettingsValues v = decodeCameraRecord(r);
    EXPECT_EQ(v.networkType, 3);
    EXPECT_EQ(v.imageBrightness, 3);
    EXPECT_EQ(v.timeEmail, 0);
    EXPECT_EQ(v.hour, "200");
    EXPECT_EQ(v.minute, "255");
    EXPECT_EQ(v.cameraDescription, "");
    EXPECT_EQ(v.macAddress, "AB-0C-FF-01-10-00");
    EXPECT_EQ(v.ipAddress, "0.0.0.0");

    r.bytes[answerAt("networkType")] = 255;
    EXPECT_EQ(decodeCameraRecord(r).networkType, 255);
}

TEST(DecodeCameraRecord, ImageFlagsPickTheirItems)
{
    protocol::CameraRecord r = sampleRecord();
    r.bytes[imageFlagsAt()] = 0x6A;
    const SettingsValues v = decodeCameraRecord(r);
    EXPECT_EQ(v.imageResolution, 1); // QVGA
    EXPECT_EQ(v.imageQuality, 2);    // Low
    EXPECT_EQ(v.imageBrightness, 1); // Middle
    EXPECT_EQ(v.antiFlicker, 1);     // 50 Hz
    EXPECT_EQ(v.upsideDown, 0);      // Normal
}

TEST(DecodeCameraRecord, UpperImageBitsFollowTheResolutionQualityTable)
{
    struct Row {
        int resolution;
        int quality;
    };
    const Row table[16] = {{0, 0}, {0, 1}, {0, 2}, {0, 0}, {1, 0}, {1, 1}, {1, 2}, {0, 0},
                           {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}};
    protocol::CameraRecord r = sampleRecord();
    for (int v = 0; v < 16; ++v) {
        SCOPED_TRACE(v);
        // The lower bits must not leak into the decoding.
        r.bytes[imageFlagsAt()] = static_cast<std::uint8_t>(v << 4 | 0x0F);
        const SettingsValues values = decodeCameraRecord(r);
        EXPECT_EQ(values.imageResolution, table[v].resolution);
        EXPECT_EQ(values.imageQuality, table[v].quality);
    }
}

TEST(DecodeCameraRecord, ReadsEachFieldAtItsPlaceInTheAnswer)
{
    protocol::CameraRecord record;
    settings_test::putBytes(record, 20, {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0xfe});
    settings_test::putBytes(record, 32, {192, 168, 1, 20});
    settings_test::putBytes(record, 519, {10, 0, 0, 255});
    settings_test::putBytes(record, 512, {203, 0, 113, 9});
    settings_test::putBytes(record, 516, {23, 59, 99});
    record.bytes[28] = 2;
    // Firmware fills all 18 bytes; the next byte must not be read.
    const std::string firmware = "V1.06.0412-BUILD77Z";
    std::copy(firmware.begin(), firmware.end(), record.bytes.begin() + 480);

    SettingsValues v = decodeCameraRecord(record);
    EXPECT_EQ(v.macAddress, "00-1A-2B-3C-4D-FE");
    EXPECT_EQ(v.ipAddress, "192.168.1.20");
    EXPECT_EQ(v.usedIPAddress, "10.0.0.255");
    EXPECT_EQ(v.smtpIpAddress, "203.0.113.9");
    EXPECT_EQ(v.networkType, 2);
    EXPECT_EQ(v.hour, "23");
    EXPECT_EQ(v.minute, "59");
    EXPECT_EQ(v.triggerCount, "99");
    EXPECT_EQ(v.firmwareVersion, "V1.06.0412-BUILD77");
    record.bytes[486] = 0;
    EXPECT_EQ(decodeCameraRecord(record).firmwareVersion, "V1.06.");

    // The choices' bits: byte 29 the image settings, byte 30 the option switches, whose bits 2,
    // 3 and 5 mean nothing.
    record.bytes[29] = 0x6A;
    record.bytes[30] = 0x2C;
    v = decodeCameraRecord(record);
    EXPECT_EQ((std::array{v.upsideDown, v.imageBrightness, v.antiFlicker, v.imageQuality,
                          v.imageResolution}),
              (std::array{0, 1, 1, 2, 1}));
    EXPECT_EQ((std::array{v.smtpServerType, v.timeEmail, v.emailAuthentication, v.motionImage,
                          v.userPasswordOn}),
              (std::array{0, 0, 0, 0, 0}));
    record.bytes[30] = 0xD3;
    v = decodeCameraRecord(record);
    EXPECT_EQ((std::array{v.smtpServerType, v.timeEmail, v.emailAuthentication, v.motionImage,
                          v.userPasswordOn}),
              (std::array{1, 1, 1, 1, 1}));
}

TEST(CameraList, NumberedFromOneWithTheDescription)
{
    protocol::CameraTable table;
    table.slots[0] = table.slots[2] = settings_test::sampleRecord();
    settings_test::putText(table.slots[0], 304, "Front door");
    settings_test::putText(table.slots[1], 304, "left over");
    table.slots[1].bytes[304] = 255;
    table.count = 2; // slot 2 lies past the count and must not show

    auto rows = settings::cameraRows(table);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].number, "1");
    EXPECT_EQ(rows[0].description, "Front door");
    EXPECT_EQ(rows[1].number, "2");
    EXPECT_EQ(rows[1].description, "");

    table.count = 12;
    EXPECT_EQ(settings::cameraRows(table)[11].number, "12");
}

TEST(CameraList, SharedAddressesInUseAreClashesBetweenDifferentCameras)
{
    protocol::CameraTable table;
    // Rows 0 and 3 are one camera reached by two adapters; row 4 takes its address too.
    const std::pair<std::uint8_t, std::array<std::uint8_t, 4>> cameras[] = {
        {1, {203, 0, 113, 60}}, {2, {203, 0, 113, 61}}, {3, {0, 0, 0, 0}},
        {1, {203, 0, 113, 60}}, {5, {203, 0, 113, 60}}, {6, {0, 0, 0, 0}},
        {7, {203, 0, 113, 61}},
    };
    for (const auto& [id, address] : cameras) {
        protocol::CameraRecord& record = table.slots[table.count++];
        record.bytes[25] = id;
        std::copy(address.begin(), address.end(), record.bytes.begin() + 519);
    }
    // Past the count: never compared.
    table.slots[table.count] = table.slots[4];

    const std::vector<std::vector<std::size_t>> expected = {{4}, {6}, {}, {4}, {0, 3}, {}, {1}};
    EXPECT_EQ(settings::rowsSharingAddress(table), expected);
}

} // namespace
