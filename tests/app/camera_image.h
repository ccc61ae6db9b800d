#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "protocol/packets.h"
#include "tests/support/field_places.h"

namespace fakes {

// A camera's respond packet, written field by field at the camera's offsets.
struct CameraImage {
    std::array<std::uint8_t, protocol::kRecordSize> bytes{};

    explicit CameraImage(std::uint8_t lastMacByte, const std::string& description = "")
    {
        std::memcpy(bytes.data(), "MORVAK INFO RESPOND", 19);
        put(protocol::offset::respondMac, {0x00, 0x11, 0x22, 0x33, 0x44, lastMacByte});
        text(answerAt("cameraDescription"), description);
    }

    CameraImage& put(std::size_t at, std::initializer_list<std::uint8_t> values)
    {
        std::copy(values.begin(), values.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        return *this;
    }

    CameraImage& text(std::size_t at, const std::string& value)
    {
        bytes[at] = static_cast<std::uint8_t>(value.size());
        std::memcpy(bytes.data() + at + 1, value.data(), value.size());
        return *this;
    }

    std::vector<std::uint8_t> datagram() const { return {bytes.begin(), bytes.end()}; }
};

} // namespace fakes
