#include <gtest/gtest.h>

#include "settings/settings_values.h"
#include "settings_test_record.h"

namespace {

using settings::decodeCameraRecord;
using settings::SettingsValues;
using settings_test::sampleRecord;
namespace offset = protocol::offset;

TEST(DecodeCameraRecord, FormatsEveryEditFromTheRecord)
{
    const SettingsValues v = decodeCameraRecord(sampleRecord());
    EXPECT_EQ(v.txtMacAddress2, "00-1A-2B-C3-D4-EF");
    EXPECT_EQ(v.txtUsedIPAddress, "203.0.113.77");
    EXPECT_EQ(v.txtFirmwareVersion2, "V1.6.0-2041");
    EXPECT_EQ(v.txtCameraDescription2, "Loading Bay");
    EXPECT_EQ(v.txtIpAddress2, "203.0.113.20");
    EXPECT_EQ(v.txtSubnetMask2, "255.255.255.0");
    EXPECT_EQ(v.txtGateway2, "203.0.113.1");
    EXPECT_EQ(v.txtDnsServer2, "198.51.100.53");
    EXPECT_EQ(v.txtAdslUserName, "adsl-user");
    EXPECT_EQ(v.txtDdnsUserName, "");
    EXPECT_EQ(v.txtDdnsDomainName, "bay.ddns.example.net");
    EXPECT_EQ(v.txtSmtpDomain, "smtp.example.net");
    EXPECT_EQ(v.txtEmailSender, "cam@example.net");
    EXPECT_EQ(v.txtEmailReceiver, "ops@example.net");
    EXPECT_EQ(v.txtEmailCopy, "");
    EXPECT_EQ(v.txtEmailAccount, "cam");
    EXPECT_EQ(v.txtSmtpIpAddress, "198.51.100.25");
    EXPECT_EQ(v.txtHour, "7");
    EXPECT_EQ(v.txtMinute, "30");
    EXPECT_EQ(v.txtTriggerCount, "5");
    for (const std::string* password :
         {&v.txtAdslPassword, &v.txtDdnsPassword, &v.txtEmailPassword, &v.txtAdminPassword,
          &v.txtNewAdminPassword, &v.txtUserPassword, &v.txtNewUserPassword}) {
        EXPECT_EQ(*password, "");
    }
}

TEST(DecodeCameraRecord, ShowsValuesWithoutCheckingThem)
{
    protocol::CameraRecord r = sampleRecord();
    r.bytes[offset::networkType] = 3;
    r.bytes[offset::imageFlags] = 0x06; // brightness 3
    r.bytes[offset::optionFlags] = 0;   // time e-mail off
    r.bytes[offset::hour] = 200;
    r.bytes[offset::minute] = 255;
    r.bytes[offset::cameraDescription] = protocol::kKeepMarker;
    settings_test::putBytes(r, offset::respondMac, {0xAB, 0x0C, 0xFF, 0x01, 0x10, 0x00});
    settings_test::putBytes(r, offset::ipAddress, {0, 0, 0, 0});
    const SettingsValues v = decodeCameraRecord(r);
    EXPECT_EQ(v.optNetworkType, 3);
    EXPECT_EQ(v.optImageBrightness, 3);
    EXPECT_EQ(v.optTimeEmail, 0);
    EXPECT_EQ(v.txtHour, "200");
    EXPECT_EQ(v.txtMinute, "255");
    EXPECT_EQ(v.txtCameraDescription2, "");
    EXPECT_EQ(v.txtMacAddress2, "AB-0C-FF-01-10-00");
    EXPECT_EQ(v.txtIpAddress2, "0.0.0.0");

    r.bytes[offset::networkType] = 255;
    EXPECT_EQ(decodeCameraRecord(r).optNetworkType, 255);
}

TEST(DecodeCameraRecord, ImageFlagsPickTheirItems)
{
    protocol::CameraRecord r = sampleRecord();
    r.bytes[offset::imageFlags] = 0x6A;
    const SettingsValues v = decodeCameraRecord(r);
    EXPECT_EQ(v.optImageResolution, 1); // QVGA
    EXPECT_EQ(v.optImageQuality, 2);    // Low
    EXPECT_EQ(v.optImageBrightness, 1); // Middle
    EXPECT_EQ(v.optAntiFlicker, 1);     // 50 Hz
    EXPECT_EQ(v.optUpsideDown, 0);      // Normal
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
        r.bytes[offset::imageFlags] = static_cast<std::uint8_t>(v << 4 | 0x0F);
        const SettingsValues values = decodeCameraRecord(r);
        EXPECT_EQ(values.optImageResolution, table[v].resolution);
        EXPECT_EQ(values.optImageQuality, table[v].quality);
    }
}

} // namespace
