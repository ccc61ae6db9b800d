#include <algorithm>
#include <gtest/gtest.h>
#include <set>

#include "protocol/packets.h"
#include "settings/camera_list.h"
#include "settings/settings_values.h"
#include "tests/support/field_places.h"
#include "tests/tools/unchanged_packet.h"
#include "tools/virtual-cameras/camera.h"

namespace off = protocol::offset;
using camsim::Camera;

namespace {

// What the utility would store from the camera's answer to a search.
protocol::CameraRecord heard(const Camera& camera)
{
    const auto packet = camsim::respondPacket(camera);
    protocol::CameraRecord record;
    protocol::storeRespondPacket(packet.data(), packet.size(), record);
    return record;
}

bool contains(const std::vector<std::uint8_t>& bytes, const std::string& text)
{
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

} // namespace

TEST(GeneratedCameras, AreDistinctPlausibleCamerasFromTheDocumentationRanges)
{
    std::set<protocol::MacBytes> macs;
    std::set<int> networkTypes, resolutions, lengths;
    for (int i = 0; i < camsim::kMaxGeneratedCameras; ++i) {
        const Camera camera = camsim::generatedCamera(i);
        const auto packet = camsim::respondPacket(camera);
        SCOPED_TRACE(i);
        ASSERT_TRUE(protocol::isRespondPacket(packet.data(), packet.size()));
        ASSERT_GE(packet.size(), 523u);
        ASSERT_LE(packet.size(), 528u);

        const protocol::CameraRecord record = heard(camera);
        const auto mac = protocol::macAddress(record);
        EXPECT_EQ(mac[0] & 0x03, 0x02) << "locally administered unicast";
        macs.insert(mac);
        EXPECT_EQ(protocol::countedTextValue(record, answerAt("cameraDescription")),
                  "Camera " + std::to_string(i + 1));
        const auto used = settings::usedAddress(record);
        const bool documentation = (used[0] == 203 && used[1] == 0 && used[2] == 113) ||
                                   (used[0] == 198 && used[1] == 51 && used[2] == 100);
        EXPECT_TRUE(documentation) << net::formatIpv4(used);
        EXPECT_FALSE(settings::decodeCameraRecord(record).firmwareVersion.empty());
        EXPECT_LE(settings::decodeCameraRecord(record).networkType, 2);
        EXPECT_LE(settings::decodeCameraRecord(record).imageBrightness, 2);
        EXPECT_LE(settings::decodeCameraRecord(record).imageQuality, 2);
        EXPECT_LE(record.bytes[answerAt("hour")], 23);
        EXPECT_GT(record.bytes[answerAt("hour")], 0) << "Save refuses 00:00 to 00:02 unedited";
        EXPECT_LE(record.bytes[answerAt("minute")], 59);
        networkTypes.insert(settings::decodeCameraRecord(record).networkType);
        resolutions.insert(settings::decodeCameraRecord(record).imageResolution);
        lengths.insert(static_cast<int>(packet.size()));
    }
    EXPECT_EQ(macs.size(), static_cast<std::size_t>(camsim::kMaxGeneratedCameras));
    EXPECT_EQ(networkTypes.size(), 3u);
    EXPECT_EQ(resolutions.size(), 2u);
    EXPECT_EQ(lengths.size(), 6u);
}

TEST(ApplyParameterPacket, TakesEveryWrittenFieldAndTheNextAnswerShowsIt)
{
    Camera camera = camsim::generatedCamera(4);
    const protocol::CameraRecord before = heard(camera);
    protocol::ParameterPacket packet = unchangedPacket(before);
    auto& b = packet.bytes;
    b[answerAt("networkType")] = 1;
    b[imageFlagsAt()] = 0x6A;
    b[optionFlagsAt()] = 0x43; // SMTP by address, time e-mail and motion image on
    const std::uint8_t ip[4] = {203, 0, 113, 77};
    std::copy(std::begin(ip), std::end(ip), b.begin() + answerAt("ipAddress"));
    protocol::encodeText(packet, packetAt("cameraDescription"),
                         settings::field("cameraDescription").areaWidth, 40, "Loading bay", before);
    protocol::encodeText(packet, packetAt("ddnsDomainName"),
                         settings::field("ddnsDomainName").areaWidth, 81, "", before);
    const std::uint8_t smtp[4] = {198, 51, 100, 25};
    std::copy(std::begin(smtp), std::end(smtp), b.begin() + packetAt("smtpIpAddress"));
    b[packetAt("hour")] = 23;
    b[packetAt("minute")] = 59;
    b[packetAt("triggerCount")] = 99;

    camsim::applyParameterPacket(camera, packet.bytes.data());
    const protocol::CameraRecord after = heard(camera);

    EXPECT_EQ(settings::decodeCameraRecord(after).networkType, 1);
    EXPECT_EQ(after.bytes[imageFlagsAt()], 0x6A);
    EXPECT_EQ(settings::decodeCameraRecord(after).ipAddress, "203.0.113.77");
    EXPECT_EQ(protocol::countedTextValue(after, answerAt("cameraDescription")), "Loading bay");
    EXPECT_EQ(after.bytes[answerAt("ddnsDomainName")], 0) << "a cleared text is empty, not missing";
    EXPECT_EQ(settings::decodeCameraRecord(after).smtpIpAddress, "198.51.100.25");
    EXPECT_EQ(after.bytes[answerAt("hour")], 23);
    EXPECT_EQ(after.bytes[answerAt("minute")], 59);
    EXPECT_EQ(after.bytes[answerAt("triggerCount")], 99);
    EXPECT_EQ(settings::decodeCameraRecord(after).smtpServerType, 1);
    EXPECT_EQ(settings::decodeCameraRecord(after).timeEmail, 1);
    EXPECT_EQ(settings::decodeCameraRecord(after).motionImage, 1);
    EXPECT_EQ(settings::decodeCameraRecord(after).userPasswordOn, 0);
    // What the utility never writes stays the camera's own.
    EXPECT_EQ(protocol::macAddress(after), protocol::macAddress(before));
    EXPECT_EQ(settings::usedAddress(after), settings::usedAddress(before));
    EXPECT_EQ(settings::decodeCameraRecord(after).firmwareVersion,
              settings::decodeCameraRecord(before).firmwareVersion);
}

TEST(ApplyParameterPacket, KeepMarkersAndUnwrittenOptionBitsLeaveTheCameraAsItWas)
{
    Camera camera = camsim::generatedCamera(1); // reports no copy address (length 255)
    camera.record.bytes[optionFlagsAt()] = 0xFF;
    const protocol::CameraRecord before = heard(camera);
    ASSERT_EQ(before.bytes[answerAt("emailCopy")], 255);

    protocol::ParameterPacket packet = unchangedPacket(before);
    packet.bytes[optionFlagsAt()] = 0x00;
    camsim::applyParameterPacket(camera, packet.bytes.data());
    const protocol::CameraRecord after = heard(camera);

    EXPECT_EQ(after.bytes[optionFlagsAt()], 0x2C) << "bits 2, 3 and 5 are not the utility's";
    for (const settings::CameraField& field : settings::cameraFields()) {
        if (field.kind != settings::FieldKind::text)
            continue;
        SCOPED_TRACE(field.name);
        const auto at = static_cast<std::ptrdiff_t>(field.answerAt);
        const auto width = static_cast<std::ptrdiff_t>(field.areaWidth);
        EXPECT_TRUE(std::equal(before.bytes.begin() + at, before.bytes.begin() + at + 1 + width,
                               after.bytes.begin() + at));
    }
}

TEST(ApplyParameterPacket, KeepsPasswordsToItselfAndSurvivesBrokenLengths)
{
    Camera camera = camsim::generatedCamera(0);
    protocol::ParameterPacket packet = unchangedPacket(heard(camera));
    protocol::encodePassword(packet, packetAt("newAdminPassword"),
                             settings::field("newAdminPassword").areaWidth, 10, "S3cr3tAdm");
    protocol::encodePassword(packet, packetAt("emailPassword"),
                             settings::field("emailPassword").areaWidth, 20, "mailpass77");
    camsim::applyParameterPacket(camera, packet.bytes.data());
    EXPECT_EQ(camera.passwords.admin, "S3cr3tAdm");
    EXPECT_EQ(camera.passwords.email, "mailpass77");
    const auto answer = camsim::respondPacket(camera);
    EXPECT_FALSE(contains(answer, "S3cr3tAdm"));
    EXPECT_FALSE(contains(answer, "mailpass77"));

    // An empty box is sent as "keep": the password stays.
    packet = unchangedPacket(heard(camera));
    camsim::applyParameterPacket(camera, packet.bytes.data());
    EXPECT_EQ(camera.passwords.admin, "S3cr3tAdm");

    // Length bytes that reach past their areas take only what fits.
    packet.bytes[answerAt("cameraDescription")] = 200;
    std::fill_n(packet.bytes.begin() + answerAt("cameraDescription") + 1, 47, 'x');
    packet.bytes[packetAt("newUserPassword")] = 254;
    camsim::applyParameterPacket(camera, packet.bytes.data());
    const auto after = heard(camera);
    EXPECT_EQ(after.bytes[answerAt("cameraDescription")], 47);
    EXPECT_EQ(protocol::countedTextValue(after, answerAt("cameraDescription")),
              std::string(47, 'x'));
    EXPECT_EQ(camera.passwords.user.size(), 15u);
}
