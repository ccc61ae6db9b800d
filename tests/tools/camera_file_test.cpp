#include <gtest/gtest.h>

#include "protocol/packets.h"
#include "settings/camera_list.h"
#include "settings/settings_values.h"
#include "tests/support/field_places.h"
#include "tools/virtual-cameras/camera_file.h"

namespace off = protocol::offset;
using camsim::AckMode;

TEST(CameraFile, ReadsFieldsAndBehavioursOverTheGeneratedDefaults)
{
    const std::string text = R"(# two cameras
[camera]
macAddress = 02-00-5e-aa-bb-01
cameraDescription = Front door
networkType = 2
imageFlags = 0x6A
ipAddress = 198.51.100.9
emailCopy = none
ddnsUserName = "none"
firmwareVersion = FW-2.0
respondLength = 523
silent = 1,3
twice = 1
ack = split
apply = 0
delay = 250

[camera]
  cameraDescription =   spaced out
ack=othermac
)";
    std::vector<camsim::Camera> cameras;
    std::string error;
    ASSERT_TRUE(camsim::parseCameraFile(text, cameras, error)) << error;
    ASSERT_EQ(cameras.size(), 2u);

    const auto& first = cameras[0];
    EXPECT_EQ(net::formatMac(protocol::macAddress(first.record)), "02-00-5E-AA-BB-01");
    EXPECT_EQ(protocol::countedTextValue(first.record, answerAt("cameraDescription")),
              "Front door");
    EXPECT_EQ(settings::decodeCameraRecord(first.record).networkType, 2);
    EXPECT_EQ(first.record.bytes[imageFlagsAt()], 0x6A);
    EXPECT_EQ(settings::decodeCameraRecord(first.record).ipAddress, "198.51.100.9");
    EXPECT_EQ(first.record.bytes[answerAt("emailCopy")], 255);
    EXPECT_EQ(protocol::countedTextValue(first.record, answerAt("ddnsUserName")), "none");
    EXPECT_EQ(settings::decodeCameraRecord(first.record).firmwareVersion, "FW-2.0");
    EXPECT_EQ(first.respondLength, 523u);
    EXPECT_EQ(first.behaviour.silentPasses, (std::vector<int>{1, 3}));
    EXPECT_TRUE(first.behaviour.twice);
    EXPECT_EQ(first.behaviour.ack, AckMode::split);
    EXPECT_FALSE(first.behaviour.apply);
    EXPECT_EQ(first.behaviour.delayMs, 250u);
    // Fields not given are the generated camera's.
    EXPECT_EQ(settings::usedAddress(first.record),
              settings::usedAddress(camsim::generatedCamera(0).record));

    const auto& second = cameras[1];
    EXPECT_EQ(protocol::countedTextValue(second.record, answerAt("cameraDescription")),
              "spaced out");
    EXPECT_EQ(second.behaviour.ack, AckMode::otherMac);
    EXPECT_EQ(protocol::macAddress(second.record),
              protocol::macAddress(camsim::generatedCamera(1).record));
}

TEST(CameraFile, RejectsBadInputNamingTheLine)
{
    const std::pair<const char*, const char*> cases[] = {
        {"[camera]\ncolour = red\n", "line 2: colour: unknown key"},
        {"[camera]\n\nmacAddress = 02-00-5E-00-01\n", "line 3: macAddress"},
        {"[camera]\nipAddress = 203.0.113.256\n", "line 2: ipAddress"},
        {"[camera]\nnetworkType = 256\n", "line 2: networkType"},
        {"[camera]\nhour = -1\n", "line 2: hour"},
        {"[camera]\nadslUserName = 0123456789012345678901234567890X\n", "line 2: adslUserName"},
        {"[camera]\nfirmwareVersion = 0123456789012345678\n", "line 2: firmwareVersion"},
        {"[camera]\nrespondLength = 522\n", "line 2: respondLength"},
        {"[camera]\nsilent = 0\n", "line 2: silent"},
        {"[camera]\nsilent = 1,,2\n", "line 2: silent"},
        {"[camera]\nack = maybe\n", "line 2: ack"},
        {"[camera]\ntwice = 2\n", "line 2: twice"},
        {"[camera]\ndelay = 5s\n", "line 2: delay"},
        {"cameraDescription = x\n", "line 1: a field before the first [camera]"},
        {"[camera]\njust words\n", "line 2: expected key = value"},
    };
    for (const auto& [text, message] : cases) {
        std::vector<camsim::Camera> cameras;
        std::string error;
        EXPECT_FALSE(camsim::parseCameraFile(text, cameras, error)) << text;
        EXPECT_EQ(error.rfind(message, 0), 0u) << "got: " << error;
    }

    // The longest texts that fit are taken.
    std::vector<camsim::Camera> cameras;
    std::string error;
    ASSERT_TRUE(camsim::parseCameraFile(
        "[camera]\nadslUserName = 0123456789012345678901234567890\nfirmwareVersion = "
        "012345678901234567\n",
        cameras, error))
        << error;
    EXPECT_EQ(protocol::countedTextValue(cameras[0].record, answerAt("adslUserName")).size(), 31u);
    EXPECT_EQ(settings::decodeCameraRecord(cameras[0].record).firmwareVersion,
              "012345678901234567");
}
