#include <algorithm>
#include <cstdint>
#include <string>

#include "net/address_text.h"
#include "protocol/packets.h"
#include "settings/camera_fields.h"
#include "settings/settings_values.h"

namespace settings {

namespace {

net::Ipv4Bytes ipv4At(const protocol::CameraRecord& record, std::size_t at)
{
    net::Ipv4Bytes address{};
    std::copy_n(record.bytes.begin() + static_cast<std::ptrdiff_t>(at), address.size(),
                address.begin());
    return address;
}

std::string shownText(const CameraField& field, const protocol::CameraRecord& record)
{
    const auto* from = record.bytes.data() + field.answerAt;
    switch (field.shownAs) {
    case Shown::mac:
        return net::formatMac(protocol::macAddress(record));
    case Shown::address:
        return net::formatIpv4(ipv4At(record, field.answerAt));
    case Shown::text:
        break;
    }
    return std::string(from, std::find(from, from + field.areaWidth, std::uint8_t{0}));
}

int bitsOf(std::uint8_t byte, Bits bits)
{
    return (byte >> bits.shift) & ((1 << bits.width) - 1);
}

} // namespace

SettingsValues decodeCameraRecord(const protocol::CameraRecord& record)
{
    SettingsValues values;
    for (const CameraField& field : cameraFields()) {
        const std::size_t at = field.answerAt;
        switch (field.kind) {
        case FieldKind::shown:
            values.*field.text = shownText(field, record);
            break;
        case FieldKind::text:
            values.*field.text = protocol::countedTextValue(record, at);
            break;
        case FieldKind::address:
            values.*field.text = net::formatIpv4(ipv4At(record, at));
            break;
        case FieldKind::number:
            values.*field.text = std::to_string(record.bytes[at]);
            break;
        case FieldKind::choice:
            values.*field.choice = bitsOf(record.bytes[at], field.bits);
            break;
        case FieldKind::password:
            // Cameras never report passwords: an untouched box tells the camera to keep its own.
            break;
        }
    }
    // The resolution and the quality share the upper four bits: a value without a pair of
    // items of its own (a quality of 3, or a resolution past QVGA) shows as VGA, High, so that
    // both groups always end up with a choice.
    if (values.imageQuality > 2 || values.imageResolution > 1) {
        values.imageResolution = 0;
        values.imageQuality = 0;
    }
    return values;
}

} // namespace settings
