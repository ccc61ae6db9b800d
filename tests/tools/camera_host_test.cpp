#include <gtest/gtest.h>

#include "protocol/packets.h"
#include "tests/support/field_places.h"
#include "tools/virtual-cameras/camera_host.h"

using camsim::AckMode;
using camsim::Camera;
using camsim::CameraHost;
using camsim::Outcome;

namespace {

Outcome search(CameraHost& host, std::uint64_t nowMs)
{
    const auto request = protocol::searchRequestBytes();
    return host.onSearchPort(request.data(), request.size(), nowMs);
}

// Descriptions of the cameras that answered, in sending order.
std::vector<std::string> answeredBy(const Outcome& outcome)
{
    std::vector<std::string> names;
    for (const auto& reply : outcome.replies) {
        protocol::CameraRecord record;
        protocol::storeRespondPacket(reply.bytes.data(), reply.bytes.size(), record);
        names.push_back(protocol::countedTextValue(record, answerAt("cameraDescription")));
    }
    return names;
}

Camera cameraWith(int index, void (*tweak)(camsim::Behaviour&))
{
    Camera camera = camsim::generatedCamera(index);
    tweak(camera.behaviour);
    return camera;
}

protocol::ParameterPacket describing(const Camera& camera, const std::string& description)
{
    protocol::ParameterPacket packet;
    protocol::beginParameterPacket(packet, camera.record);
    protocol::encodeText(packet, packetAt("cameraDescription"),
                         settings::field("cameraDescription").areaWidth, 40, description,
                         camera.record);
    return packet;
}

std::vector<std::uint8_t> joined(const Outcome& outcome)
{
    std::vector<std::uint8_t> all;
    for (const auto& reply : outcome.replies)
        all.insert(all.end(), reply.bytes.begin(), reply.bytes.end());
    return all;
}

} // namespace

TEST(CameraHostSearch, CountsThePassesOfAFindAndStartsOverAfterAPause)
{
    CameraHost host({
        camsim::generatedCamera(0),
        cameraWith(1, [](camsim::Behaviour& b) { b.silentPasses = {1}; }),
        cameraWith(2, [](camsim::Behaviour& b) { b.twice = true; }),
        cameraWith(3,
                   [](camsim::Behaviour& b) {
                       b.silentPasses = {1, 2};
                   }),
    });
    using Names = std::vector<std::string>;
    EXPECT_EQ(answeredBy(search(host, 10000)), (Names{"Camera 1", "Camera 3", "Camera 3"}));
    EXPECT_EQ(answeredBy(search(host, 11000)),
              (Names{"Camera 1", "Camera 2", "Camera 3", "Camera 3"}));
    EXPECT_EQ(answeredBy(search(host, 12500)).size(), 5u) << "1.5 s apart is still the same Find";
    // A pause of more than 1.5 s ends the Find; the next search is a first pass again.
    EXPECT_EQ(answeredBy(search(host, 14001)), (Names{"Camera 1", "Camera 3", "Camera 3"}));
}

TEST(CameraHostSearch, AnswersOnlyTheSearchRequestWithWholeRespondPackets)
{
    CameraHost host({camsim::generatedCamera(0), camsim::generatedCamera(5)});
    const auto request = protocol::searchRequestBytes();
    EXPECT_TRUE(host.onSearchPort(request.data(), request.size() - 1, 0).replies.empty());
    std::vector<std::uint8_t> longer(request.begin(), request.end());
    longer.push_back(' ');
    EXPECT_TRUE(host.onSearchPort(longer.data(), longer.size(), 0).replies.empty());
    const auto answer = camsim::respondPacket(host.cameras()[0]);
    EXPECT_TRUE(host.onSearchPort(answer.data(), answer.size(), 0).replies.empty())
        << "another camera's answer is no search";

    const Outcome outcome = search(host, 0);
    ASSERT_EQ(outcome.replies.size(), 2u);
    EXPECT_EQ(outcome.replies[0].bytes, camsim::respondPacket(host.cameras()[0]));
    EXPECT_EQ(outcome.replies[1].bytes.size(), 523u);
}

TEST(CameraHostSearch, DelaysAndSpacingPostponeAnswers)
{
    CameraHost host({camsim::generatedCamera(0),
                     cameraWith(1, [](camsim::Behaviour& b) { b.silentPasses = {1}; }),
                     cameraWith(2, [](camsim::Behaviour& b) { b.delayMs = 1200; }),
                     camsim::generatedCamera(3)},
                    20);
    const Outcome outcome = search(host, 0);
    ASSERT_EQ(outcome.replies.size(), 3u);
    EXPECT_EQ(outcome.replies[0].delayMs, 0u);
    EXPECT_EQ(outcome.replies[1].delayMs, 1220u);
    EXPECT_EQ(outcome.replies[2].delayMs, 40u) << "a silent camera takes no turn";
}

TEST(CameraHostWrite, OnlyTheNamedCameraTakesTheWriteAndAcknowledges)
{
    CameraHost host({camsim::generatedCamera(0), camsim::generatedCamera(1)});
    const Camera second = host.cameras()[1];
    const auto packet = describing(second, "Back yard");

    const Outcome outcome = host.onParameterPort(packet.bytes.data(), packet.bytes.size());
    ASSERT_EQ(outcome.replies.size(), 1u);
    const auto expected = protocol::expectedAck(protocol::macAddress(second.record));
    EXPECT_EQ(outcome.replies[0].bytes,
              std::vector<std::uint8_t>(expected.begin(), expected.end()));
    EXPECT_EQ(protocol::countedTextValue(host.cameras()[1].record, answerAt("cameraDescription")),
              "Back yard");
    EXPECT_EQ(host.cameras()[0].record.bytes, camsim::generatedCamera(0).record.bytes);

    auto stranger = packet;
    stranger.bytes[protocol::offset::parameterMac + 5] ^= 0x80;
    EXPECT_TRUE(host.onParameterPort(stranger.bytes.data(), stranger.bytes.size()).replies.empty());
    EXPECT_TRUE(host.onParameterPort(packet.bytes.data(), packet.bytes.size() - 1).replies.empty())
        << "a short packet is no write";
}

TEST(CameraHostWrite, AcknowledgesAsEachBehaviourSays)
{
    auto withAck = [](AckMode mode) {
        Camera camera = camsim::generatedCamera(2);
        camera.behaviour.ack = mode;
        return camera;
    };
    const Camera plain = camsim::generatedCamera(2);
    const auto packet = describing(plain, "Changed");
    const auto ack = protocol::expectedAck(protocol::macAddress(plain.record));
    const std::vector<std::uint8_t> expected(ack.begin(), ack.end());

    auto write = [&packet](CameraHost& host) {
        return host.onParameterPort(packet.bytes.data(), packet.bytes.size());
    };
    {
        CameraHost host({withAck(AckMode::none)});
        EXPECT_TRUE(write(host).replies.empty());
        EXPECT_EQ(
            protocol::countedTextValue(host.cameras()[0].record, answerAt("cameraDescription")),
            "Changed")
            << "a silent camera still applies";
    }
    {
        CameraHost host({withAck(AckMode::split)});
        const Outcome outcome = write(host);
        ASSERT_EQ(outcome.replies.size(), 2u);
        EXPECT_EQ(outcome.replies[0].bytes.size(), 16u);
        EXPECT_EQ(joined(outcome), expected);
    }
    {
        CameraHost host({withAck(AckMode::stray)});
        const Outcome outcome = write(host);
        ASSERT_EQ(outcome.replies.size(), 2u);
        EXPECT_EQ(outcome.replies[0].bytes.size(), 30u);
        EXPECT_EQ(outcome.replies[1].bytes, expected);
    }
}

TEST(CameraHostWrite, LogLineNamesTheCameraButNoPassword)
{
    CameraHost host({camsim::generatedCamera(0)});
    auto packet = describing(host.cameras()[0], "Gate");
    protocol::encodePassword(packet, packetAt("newAdminPassword"),
                             settings::field("newAdminPassword").areaWidth, 10, "Hunter22");
    protocol::encodePassword(packet, packetAt("adslPassword"),
                             settings::field("adslPassword").areaWidth, 20, "dsl-pass");
    for (const std::size_t kept :
         {packetAt("ddnsPassword"), packetAt("emailPassword"), packetAt("newUserPassword")})
        protocol::encodePassword(packet, kept, 31, 10, "");
    const Outcome outcome = host.onParameterPort(packet.bytes.data(), packet.bytes.size());
    EXPECT_NE(outcome.note.find("02-00-5E-10-00-01"), std::string::npos) << outcome.note;
    EXPECT_EQ(outcome.note.find("Hunter22"), std::string::npos);
    EXPECT_EQ(outcome.note.find("dsl-pass"), std::string::npos);
    EXPECT_NE(outcome.note.find("passwords set: adsl, admin"), std::string::npos) << outcome.note;
    EXPECT_EQ(host.cameras()[0].passwords.admin, "Hunter22");
}
