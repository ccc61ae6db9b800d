#include <climits>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "protocol/packets.h"
#include "protocol/wipe.h"
#include "settings/camera_fields.h"
#include "settings/settings_values.h"

namespace settings {

namespace {

// Hour 0 with a minute below 3 is refused: the camera cannot send its time e-mail then.
const char* const kEarlyTimeLabel = "Time e-mail: 23:59 ~ 00:03";

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Moves pos past leading blanks and one optional sign; true when that sign was '-'.
bool skipBlanksAndSign(const std::string& text, std::size_t& pos)
{
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        return text[pos++] == '-';
    return false;
}

// One "%d" of a scan starting at pos: blanks, an optional sign, at least one digit. The value is
// kept modulo 2^32, which is all a byte of it needs and cannot overflow however long the digits.
bool scanNumber(const std::string& text, std::size_t& pos, std::uint32_t& value)
{
    const bool negative = skipBlanksAndSign(text, pos);
    if (pos >= text.size() || !isDigit(text[pos])) {
        return false;
    }
    std::uint32_t magnitude = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        magnitude = magnitude * 10u + static_cast<std::uint32_t>(text[pos] - '0');
        ++pos;
    }
    value = negative ? 0u - magnitude : magnitude;
    return true;
}

// Whether the field's value passes its check.
bool passes(const CameraField& field, const SettingsValues& values,
            const protocol::CameraRecord& selected)
{
    const std::string& value = values.*field.text;
    net::Ipv4Bytes address{};
    switch (field.check) {
    case Check::fourNumbers:
        return readLenientIpv4(value, address) == 4;
    case Check::noneOrFour: {
        const int count = readLenientIpv4(value, address);
        return count == 0 || count == 4;
    }
    case Check::inRange: {
        const int number = readInteger(value);
        return number >= 0 && number <= field.maxNumber;
    }
    case Check::fitsOrCameraOwn:
        return value.size() <= field.maxLength ||
               protocol::isCameraText(selected, field.answerAt, field.areaWidth, field.maxLength,
                                      value);
    case Check::none:
        break;
    }
    return true;
}

std::optional<std::string> firstRefusal(const SettingsValues& values,
                                        const protocol::CameraRecord& selected)
{
    for (const CameraField* field : checkedFields()) {
        if (!passes(*field, values, selected)) {
            return field->label;
        }
        if (field->text == &SettingsValues::minute && readInteger(values.hour) == 0 &&
            readInteger(values.minute) < 3) {
            return kEarlyTimeLabel;
        }
    }
    return std::nullopt;
}

// The item index into its bits. A group with no chosen item has index -1, which masking makes
// all ones: the network type goes out as 255, the brightness and quality bits as 3. The
// resolution is the exception: any item but VGA, none included, is QVGA.
std::uint8_t choiceBits(const CameraField& field, int index)
{
    if (field.choice == &SettingsValues::imageResolution) {
        index = index == 0 ? 0 : 1;
    }
    const unsigned mask = (1u << field.bits.width) - 1;
    return static_cast<std::uint8_t>((static_cast<unsigned>(index) & mask) << field.bits.shift);
}

void pack(const CameraField& field, const SettingsValues& values,
          const protocol::CameraRecord& selected, protocol::ParameterPacket& packet)
{
    auto& bytes = packet.bytes;
    const std::size_t at = field.packetAt;
    switch (field.kind) {
    case FieldKind::choice:
        bytes[at] |= choiceBits(field, values.*field.choice);
        break;
    case FieldKind::address: {
        // No number at all leaves 0.0.0.0, where the check allows it.
        net::Ipv4Bytes address{};
        readLenientIpv4(values.*field.text, address);
        std::copy(address.begin(), address.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        break;
    }
    case FieldKind::number:
        bytes[at] = static_cast<std::uint8_t>(readInteger(values.*field.text));
        break;
    case FieldKind::text:
        protocol::encodeText(packet, at, field.areaWidth, field.maxLength, values.*field.text,
                             selected);
        break;
    case FieldKind::password:
        protocol::encodePassword(packet, at, field.areaWidth, field.maxLength, values.*field.text);
        break;
    case FieldKind::shown:
        break;
    }
}

} // namespace

int readLenientIpv4(const std::string& text, net::Ipv4Bytes& out)
{
    std::size_t pos = 0;
    int count = 0;
    while (count < 4) {
        if (count > 0) {
            if (pos >= text.size() || text[pos] != '.') {
                break;
            }
            ++pos;
        }
        std::uint32_t value = 0;
        if (!scanNumber(text, pos, value)) {
            break;
        }
        out[static_cast<std::size_t>(count)] = static_cast<std::uint8_t>(value & 0xFFu);
        ++count;
    }
    return count;
}

int readInteger(const std::string& text)
{
    std::size_t pos = 0;
    const bool negative = skipBlanksAndSign(text, pos);
    // Work with the magnitude beyond int's range and clamp it, so a long run of digits ends up
    // as INT_MAX or INT_MIN and fails every range check.
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        if (magnitude < limit) {
            magnitude = magnitude * 10 + (text[pos] - '0');
            if (magnitude > limit) {
                magnitude = limit;
            }
        }
        ++pos;
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

std::optional<std::string> collectSettings(const SettingsValues& values,
                                           const protocol::CameraRecord& selected,
                                           protocol::ParameterPacket& packet)
{
    // Every check before any byte: a refused Save leaves no password in the packet.
    protocol::wipe(packet);
    if (auto refused = firstRefusal(values, selected)) {
        return refused;
    }
    protocol::beginParameterPacket(packet, selected);
    for (const CameraField& field : cameraFields()) {
        if (field.packetAt != kNowhere) {
            pack(field, values, selected, packet);
        }
    }
    return std::nullopt;
}

void wipePasswords(SettingsValues& values)
{
    for (const CameraField& field : cameraFields()) {
        if (field.kind == FieldKind::password) {
            protocol::wipe(values.*field.text);
        }
    }
}

std::string invalidInputMessage(const std::string& label)
{
    return "Invalid input in " + label + " field.\n\nPlease check again.\n";
}

} // namespace settings
