#include "cli/packet_listing.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "cli/text_encoding.h"
#include "protocol/code_page.h"
#include "settings/camera_fields.h"

namespace cli {

namespace {

std::string choiceText(const settings::CameraField& field, std::uint8_t byte)
{
    const int value = (byte >> field.bits.shift) & ((1 << field.bits.width) - 1);
    std::string text = std::to_string(value);
    if (value < static_cast<int>(field.items.size())) {
        return text + " (" + field.items[static_cast<std::size_t>(value)] + ")";
    }
    return text + " (no choice)";
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

std::string valueText(const settings::CameraField& field, const protocol::ParameterPacket& packet)
{
    const auto& b = packet.bytes;
    const std::size_t at = field.packetAt;
    switch (field.kind) {
    case settings::FieldKind::choice:
        return choiceText(field, b[at]);
    case settings::FieldKind::address:
        return net::formatIpv4({b[at], b[at + 1], b[at + 2], b[at + 3]});
    case settings::FieldKind::number:
        return std::to_string(b[at]);
    case settings::FieldKind::text:
    case settings::FieldKind::password:
        return countedText(packet, at, field.kind == settings::FieldKind::password);
    case settings::FieldKind::shown:
        break;
    }
    return {};
}

} // namespace

std::vector<std::pair<std::string, std::string>>
describePacket(const protocol::ParameterPacket& packet)
{
    // In the packet's order: by offset, and the bits of one byte from the lowest.
    std::vector<const settings::CameraField*> written;
    for (const settings::CameraField& field : settings::cameraFields()) {
        if (field.packetAt != settings::kNowhere) {
            written.push_back(&field);
        }
    }
    std::sort(written.begin(), written.end(), [](const auto* a, const auto* b) {
        return a->packetAt != b->packetAt ? a->packetAt < b->packetAt
                                          : a->bits.shift < b->bits.shift;
    });
    std::vector<std::pair<std::string, std::string>> lines = {
        {"macAddress", net::formatMac(protocol::parameterPacketMac(packet))}};
    for (const settings::CameraField* field : written) {
        lines.emplace_back(field->name, valueText(*field, packet));
    }
    return lines;
}

} // namespace cli
