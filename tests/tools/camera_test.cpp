#include <algorithm>
#include <gtest/gtest.h>
#include <set>

#include "protocol/packets.h"
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
        EXPECT_EQ(protocol::countedTextValue(record, off::cameraDescription),
                  "Camera " + std::to_string(i + 1));
        const auto used = protocol::usedIPAddress(record);
        const bool documentation = (used[0] == 203 && used[1] == 0 && used[2] == 113) ||
                                   (used[0] == 198 && used[1] == 51 && used[2] == 100);
        EXPECT_TRUE(documentation) << protocol::formatIpv4(used);
        EXPECT_FALSE(protocol::firmwareVersion(record).empty());
        EXPECT_LE(protocol::networkType(record), 2);
        EXPECT_LE(protocol::imageBrightness(record), 2);
        EXPECT_LE(protocol::imageQuality(record), 2);
        EXPECT_LE(protocol::hour(record), 23);
        EXPECT_GT(protocol::hour(record), 0) << "Save refuses 00:00 to 00:02 unedited";
        EXPECT_LE(protocol::minute(record), 59);
        networkTypes.insert(protocol::networkType(record));
        resolutions.insert(protocol::imageResolution(record));
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
    b[off::networkType] = 1;
    b[off::imageFlags] = protocol::packImageFlags(0, 1, 1, 2, 1);
    b[off::optionFlags] = protocol::packOptionFlags(1, 1, 0, 1, 0);
    const std::uint8_t ip[4] = {203, 0, 113, 77};
    std::copy(std::begin(ip), std::end(ip), b.begin() + off::ipAddress);
    protocol::encodeText(packet, off::cameraDescription, 40, "Loading bay", before);
    protocol::encodeText(packet, off::ddnsDomainName, 81, "", before);
    const std::uint8_t smtp[4] = {198, 51, 100, 25};
    std::copy(std::begin(smtp), std::end(smtp), b.begin() + off::packetSmtpIpAddress);
    b[off::packetHour] = 23;
    b[off::packetMinute] = 59;
    b[off::packetTriggerCount] = 99;

    camsim::applyParameterPacket(camera, packet.bytes.data());
    const protocol::CameraRecord after = heard(camera);

    EXPECT_EQ(protocol::networkType(after), 1);
    EXPECT_EQ(protocol::imageFlags(after), 0x6A);
    EXPECT_EQ(protocol::formatIpv4(protocol::ipAddress(after)), "203.0.113.77");
    EXPECT_EQ(protocol::countedTextValue(after, off::cameraDescription), "Loading bay");
    EXPECT_EQ(after.bytes[off::ddnsDomainName], 0) << "a cleared text is empty, not missing";
    EXPECT_EQ(protocol::formatIpv4(protocol::smtpIpAddress(after)), "198.51.100.25");
    EXPECT_EQ(protocol::hour(after), 23);
    EXPECT_EQ(protocol::minute(after), 59);
    EXPECT_EQ(protocol::triggerCount(after), 99);
    EXPECT_EQ(protocol::smtpServerType(after), 1);
    EXPECT_EQ(protocol::timeEmail(after), 1);
    EXPECT_EQ(protocol::motionImage(after), 1);
    EXPECT_EQ(protocol::userPasswordOn(after), 0);
    // What the utility never writes stays the camera's own.
    EXPECT_EQ(protocol::macAddress(after), protocol::macAddress(before));
    EXPECT_EQ(protocol::usedIPAddress(after), protocol::usedIPAddress(before));
    EXPECT_EQ(protocol::firmwareVersion(after), protocol::firmwareVersion(before));
}

TEST(ApplyParameterPacket, KeepMarkersAndUnwrittenOptionBitsLeaveTheCameraAsItWas)
{
    Camera camera = camsim::generatedCamera(1); // reports no copy address (length 255)
    camera.record.bytes[off::optionFlags] = 0xFF;
    const protocol::CameraRecord before = heard(camera);
    ASSERT_EQ(before.bytes[off::emailCopy], 255);

    protocol::ParameterPacket packet = unchangedPacket(before);
    packet.bytes[off::optionFlags] = 0x00;
    camsim::applyParameterPacket(camera, packet.bytes.data());
    const protocol::CameraRecord after = heard(camera);

    EXPECT_EQ(protocol::optionFlags(after), 0x2C) << "bits 2, 3 and 5 are not the utility's";
    for (const auto& field : camsim::textFields()) {
        SCOPED_TRACE(field.name);
        EXPECT_TRUE(std::equal(before.bytes.begin() + field.fieldOffset,
                               before.bytes.begin() + field.fieldOffset + 1 + field.width,
                               after.bytes.begin() + field.fieldOffset));
    }
}

TEST(ApplyParameterPacket, KeepsPasswordsToItselfAndSurvivesBrokenLengths)
{
    Camera camera = camsim::generatedCamera(0);
    protocol::ParameterPacket packet = unchangedPacket(heard(camera));
    protocol::encodePassword(packet, off::newAdminPassword, 10, "S3cr3tAdm");
    protocol::encodePassword(packet, off::emailPassword, 20, "mailpass77");
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
    packet.bytes[off::cameraDescription] = 200;
    std::fill_n(packet.bytes.begin() + off::cameraDescription + 1, 47, 'x');
    packet.bytes[off::newUserPassword] = 254;
    camsim::applyParameterPacket(camera, packet.bytes.data());
    const auto after = heard(camera);
    EXPECT_EQ(after.bytes[off::cameraDescription], 47);
    EXPECT_EQ(protocol::countedTextValue(after, off::cameraDescription), std::string(47, 'x'));
    EXPECT_EQ(camera.passwords.user.size(), 15u);
}
