#include "cli/packet_listing.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "cli/text_encoding.h"
#include "protocol/code_page.h"
#include "settings/camera_fields.h"

namespace cli {

namespace {

namespace offset = protocol::offset;

std::string choiceText(const char* name, int value)
{
    const settings::CameraField* field = settings::findField(name);
    std::string text = std::to_string(value);
    if (field != nullptr && value < static_cast<int>(field->items.size())) {
        return text + " (" + field->items[static_cast<std::size_t>(value)] + ")";
    }
    return text + " (no choice)";
}

std::string ipv4At(const protocol::ParameterPacket& packet, std::size_t at)
{
    return protocol::formatIpv4(
        {packet.bytes[at], packet.bytes[at + 1], packet.bytes[at + 2], packet.bytes[at + 3]});
}

std::string countedText(const protocol::ParameterPacket& packet, std::size_t at, bool secret)
{
    const std::uint8_t length = packet.bytes[at];
    if (length == protocol::kKeepMarker) {
        return "keep";
    }
    if (secret) {
        return "********";
    }
    // Lengths the program writes never reach past the area; stay inside the packet regardless.
    const std::size_t n = std::min<std::size_t>(length, packet.bytes.size() - at - 1);
    const std::string bytes(reinterpret_cast<const char*>(packet.bytes.data() + at + 1), n);
    return "\"" + protocol::cameraTextToUtf8(printable(bytes)) + "\"";
}

} // namespace

std::vector<std::pair<std::string, std::string>>
describePacket(const protocol::ParameterPacket& packet)
{
    const auto& b = packet.bytes;
    const int image = b[offset::imageFlags];
    const int option = b[offset::optionFlags];
    std::vector<std::pair<std::string, std::string>> lines = {
        {"macAddress", protocol::formatMac(protocol::parameterPacketMac(packet))},
        {"networkType", choiceText("networkType", b[offset::networkType])},
        {"upsideDown", choiceText("upsideDown", image & 1)},
        {"imageBrightness", choiceText("imageBrightness", (image >> 1) & 3)},
        {"antiFlicker", choiceText("antiFlicker", (image >> 3) & 1)},
        {"imageQuality", choiceText("imageQuality", (image >> 4) & 3)},
        {"imageResolution", choiceText("imageResolution", (image >> 6) & 3)},
        {"smtpServerType", choiceText("smtpServerType", option & 1)},
        {"timeEmail", choiceText("timeEmail", (option >> 1) & 1)},
        {"emailAuthentication", choiceText("emailAuthentication", (option >> 4) & 1)},
        {"motionImage", choiceText("motionImage", (option >> 6) & 1)},
        {"userPasswordOn", choiceText("userPasswordOn", (option >> 7) & 1)},
        {"ipAddress", ipv4At(packet, offset::ipAddress)},
        {"gateway", ipv4At(packet, offset::gateway)},
        {"subnetMask", ipv4At(packet, offset::subnetMask)},
        {"dnsServer", ipv4At(packet, offset::dnsServer)},
    };
    const std::pair<const char*, std::size_t> texts[] = {
        {"adslUserName", offset::adslUserName},
        {"smtpDomain", offset::smtpDomain},
        {"emailSender", offset::emailSender},
        {"emailReceiver", offset::emailReceiver},
        {"emailCopy", offset::emailCopy},
        {"emailAccount", offset::emailAccount},
        {"cameraDescription", offset::cameraDescription},
        {"ddnsUserName", offset::ddnsUserName},
        {"ddnsDomainName", offset::ddnsDomainName},
    };
    for (const auto& [name, at] : texts) {
        lines.emplace_back(name, countedText(packet, at, false));
    }
    const std::pair<const char*, std::size_t> passwords[] = {
        {"adslPassword", offset::adslPassword},         {"ddnsPassword", offset::ddnsPassword},
        {"emailPassword", offset::emailPassword},       {"adminPassword", offset::adminPassword},
        {"newAdminPassword", offset::newAdminPassword}, {"userPassword", offset::userPassword},
        {"newUserPassword", offset::newUserPassword},
    };
    for (const auto& [name, at] : passwords) {
        lines.emplace_back(name, countedText(packet, at, true));
    }
    lines.emplace_back("smtpIpAddress", ipv4At(packet, offset::packetSmtpIpAddress));
    lines.emplace_back("hour", std::to_string(b[offset::packetHour]));
    lines.emplace_back("minute", std::to_string(b[offset::packetMinute]));
    lines.emplace_back("triggerCount", std::to_string(b[offset::packetTriggerCount]));
    return lines;
}

} // namespace cli
