#include "tools/virtual-cameras/camera.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

namespace camsim {

namespace off = protocol::offset;

namespace {

constexpr std::string_view kSearchTag = "MORVAK INFO SEARCH";
constexpr std::string_view kRespondTag = "MORVAK INFO RESPOND";
constexpr std::string_view kParameterTag = "MORVAK INFO PARAMETER ";
constexpr std::string_view kAckTag = "MORVAK INFO ACK ";

// The passwords a parameter packet may set, with the camera state each one sets: a camera takes
// its new administrator and user passwords, not the old ones that go with them.
struct PasswordField {
    const char* name;
    const char* field;
    std::string Passwords::*target;
};

constexpr PasswordField kPasswordFields[] = {
    {"adsl", "adslPassword", &Passwords::adsl},    {"ddns", "ddnsPassword", &Passwords::ddns},
    {"email", "emailPassword", &Passwords::email}, {"admin", "newAdminPassword", &Passwords::admin},
    {"user", "newUserPassword", &Passwords::user},
};

std::uint8_t bitMask(const settings::CameraField& field)
{
    return static_cast<std::uint8_t>(((1u << field.bits.width) - 1) << field.bits.shift);
}

std::string unquoted(std::string_view value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

void put(protocol::CameraRecord& record, const char* name, const std::string& value)
{
    putField(record, settings::field(name), value);
}

bool hasPrefix(const std::uint8_t* data, std::size_t count, std::string_view tag)
{
    return count >= tag.size() && std::memcmp(data, tag.data(), tag.size()) == 0;
}

} // namespace

std::optional<unsigned> parseNumber(std::string_view s, unsigned max)
{
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        base = 16;
    }
    unsigned value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (s.empty() || ec != std::errc{} || end != s.data() + s.size() || value > max)
        return std::nullopt;
    return value;
}

void setCountedText(protocol::CameraRecord& record, const settings::CameraField& field,
                    const std::string& text)
{
    std::uint8_t* area = record.bytes.data() + field.answerAt + 1;
    std::fill_n(area, field.areaWidth, std::uint8_t{0});
    const std::size_t n = std::min(text.size(), field.areaWidth);
    std::memcpy(area, text.data(), n);
    record.bytes[field.answerAt] = static_cast<std::uint8_t>(n);
}

void setCountedTextNone(protocol::CameraRecord& record, const settings::CameraField& field)
{
    std::fill_n(record.bytes.data() + field.answerAt + 1, field.areaWidth, std::uint8_t{0});
    record.bytes[field.answerAt] = protocol::kKeepMarker;
}

std::string putField(protocol::CameraRecord& record, const settings::CameraField& field,
                     std::string_view value)
{
    using settings::FieldKind;
    auto& b = record.bytes;
    const std::size_t at = field.answerAt;
    const bool address =
        field.kind == FieldKind::address ||
        (field.kind == FieldKind::shown && field.shownAs == settings::Shown::address);
    if (address) {
        const auto bytes = net::readStrictIpv4(value);
        if (!bytes)
            return "expected an address like 203.0.113.7";
        std::copy(bytes->begin(), bytes->end(), b.begin() + static_cast<std::ptrdiff_t>(at));
        return "";
    }
    switch (field.kind) {
    case FieldKind::choice: {
        const auto number = parseNumber(value, (1u << field.bits.width) - 1);
        if (!number)
            return "expected a number from 0 to " + std::to_string((1u << field.bits.width) - 1);
        b[at] =
            static_cast<std::uint8_t>((b[at] & ~bitMask(field)) | (*number << field.bits.shift));
        return "";
    }
    case FieldKind::number: {
        const auto number = parseNumber(value, 255);
        if (!number)
            return "expected a number from 0 to 255";
        b[at] = static_cast<std::uint8_t>(*number);
        return "";
    }
    case FieldKind::text: {
        if (value == "none") {
            setCountedTextNone(record, field);
            return "";
        }
        const std::string text = unquoted(value);
        if (text.size() > field.areaWidth)
            return "longer than the field's " + std::to_string(field.areaWidth) + " characters";
        setCountedText(record, field, text);
        return "";
    }
    case FieldKind::password:
        return "a camera never reports its passwords";
    default:
        break;
    }
    if (field.shownAs == settings::Shown::mac) {
        const auto mac = net::readMac(value);
        if (!mac)
            return "a MAC address is XX-XX-XX-XX-XX-XX";
        std::copy(mac->begin(), mac->end(), b.begin() + static_cast<std::ptrdiff_t>(at));
        return "";
    }
    const std::string text = unquoted(value);
    if (text.size() > field.areaWidth)
        return "longer than " + std::to_string(field.areaWidth) + " characters";
    std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(at), field.areaWidth, std::uint8_t{0});
    std::copy(text.begin(), text.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
    return "";
}

Camera generatedCamera(int index)
{
    Camera camera;
    auto& b = camera.record.bytes;
    const int n = index + 1;
    std::memcpy(b.data(), kRespondTag.data(), kRespondTag.size());

    // Locally administered MACs, so they can never be a real device's.
    const std::uint8_t mac[6] = {
        0x02, 0x00, 0x5E, 0x10, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
    std::copy(std::begin(mac), std::end(mac), b.begin() + off::respondMac);

    auto& r = camera.record;
    const auto number = [](int value) { return std::to_string(value); };
    put(r, "networkType", number(index % 3));
    put(r, "upsideDown", number(index & 1));
    put(r, "imageBrightness", number(index % 3));
    put(r, "antiFlicker", number((index >> 1) & 1));
    put(r, "imageQuality", number((index / 3) % 3));
    put(r, "imageResolution", number((index >> 2) & 1));
    put(r, "smtpServerType", number(index & 1));
    put(r, "timeEmail", number((index >> 1) & 1));
    put(r, "emailAuthentication", number((index >> 2) & 1));
    put(r, "motionImage", number((index >> 3) & 1));
    put(r, "userPasswordOn", number((index >> 4) & 1));

    // Addresses from the documentation ranges only.
    const bool firstRange = index < 240;
    const std::string subnet = firstRange ? "203.0.113." : "198.51.100.";
    const std::string host = subnet + number(10 + (firstRange ? index : index - 240));
    put(r, "ipAddress", host);
    put(r, "gateway", subnet + "1");
    put(r, "subnetMask", "255.255.255.0");
    put(r, "dnsServer", subnet + "53");
    put(r, "smtpIpAddress", subnet + "25");
    put(r, "usedIPAddress", host);

    const std::string id = std::to_string(n);
    put(r, "adslUserName", "adsl" + id);
    put(r, "smtpDomain", "mail.example.net");
    put(r, "emailSender", "camera" + id + "@example.net");
    put(r, "emailReceiver", "alerts@example.net");
    // Some cameras report no copy address at all, some an empty one.
    put(r, "emailCopy", index % 4 == 1 ? "none" : index % 4 == 2 ? "" : "archive@example.net");
    put(r, "emailAccount", "camera" + id);
    put(r, "cameraDescription", "Camera " + id);
    put(r, "ddnsUserName", "ddns" + id);
    put(r, "ddnsDomainName", "camera" + id + ".example.org");
    put(r, "firmwareVersion", "V1." + std::to_string(index % 7) + "." + std::to_string(20 + n % 9));

    // A time the window's Save accepts as it stands (00:00 to 00:02 it refuses).
    put(r, "hour", number(6 + index % 18));
    put(r, "minute", number((index * 7) % 60));
    put(r, "triggerCount", number(index % 100));

    camera.respondLength = protocol::kRecordSize - static_cast<std::size_t>(index % 6);
    camera.passwords.admin = "admin";
    return camera;
}

std::vector<std::uint8_t> respondPacket(const Camera& camera)
{
    const std::size_t length =
        std::clamp(camera.respondLength, kMinRespondLength, protocol::kRecordSize);
    return {camera.record.bytes.begin(), camera.record.bytes.begin() + length};
}

bool isSearchRequest(const std::uint8_t* data, std::size_t count)
{
    return count == kSearchTag.size() && hasPrefix(data, count, kSearchTag);
}

bool isParameterPacket(const std::uint8_t* data, std::size_t count)
{
    return count >= protocol::kParameterPacketSize && hasPrefix(data, count, kParameterTag);
}

protocol::MacBytes parameterMac(const std::uint8_t* packet)
{
    protocol::MacBytes mac{};
    std::copy_n(packet + off::parameterMac, mac.size(), mac.begin());
    return mac;
}

void applyParameterPacket(Camera& camera, const std::uint8_t* packet)
{
    using settings::FieldKind;
    auto& b = camera.record.bytes;
    for (const settings::CameraField& field : settings::cameraFields()) {
        if (field.packetAt == settings::kNowhere || field.answerAt == settings::kNowhere)
            continue;
        const std::uint8_t* from = packet + field.packetAt;
        switch (field.kind) {
        case FieldKind::choice:
            // Only the bits the utility writes; a camera keeps the others as they were.
            b[field.answerAt] = static_cast<std::uint8_t>((b[field.answerAt] & ~bitMask(field)) |
                                                          (*from & bitMask(field)));
            break;
        case FieldKind::address:
            std::copy_n(from, 4, b.begin() + static_cast<std::ptrdiff_t>(field.answerAt));
            break;
        case FieldKind::number:
            b[field.answerAt] = *from;
            break;
        case FieldKind::text:
            if (*from != protocol::kKeepMarker) {
                // A length past the area would be a broken packet; take what fits.
                const char* text = reinterpret_cast<const char*>(from + 1);
                setCountedText(camera.record, field,
                               std::string(text, std::min<std::size_t>(*from, field.areaWidth)));
            }
            break;
        default:
            break;
        }
    }
    // A camera with a fixed address uses it from then on; one that gets its address by DHCP or
    // PPPoE keeps the one it has until it is given another.
    if (b[settings::field("networkType").answerAt] == 0) {
        const std::size_t fixed = settings::field("ipAddress").answerAt;
        std::copy_n(b.begin() + static_cast<std::ptrdiff_t>(fixed), 4,
                    b.begin() +
                        static_cast<std::ptrdiff_t>(settings::field("usedIPAddress").answerAt));
    }
    for (const PasswordField& password : kPasswordFields) {
        const settings::CameraField& field = settings::field(password.field);
        const std::uint8_t length = packet[field.packetAt];
        if (length == protocol::kKeepMarker)
            continue;
        const char* text = reinterpret_cast<const char*>(packet + field.packetAt + 1);
        camera.passwords.*password.target =
            std::string(text, std::min<std::size_t>(length, field.areaWidth));
    }
}

std::vector<std::string> passwordsSetBy(const std::uint8_t* packet)
{
    std::vector<std::string> names;
    for (const PasswordField& password : kPasswordFields) {
        if (packet[settings::field(password.field).packetAt] != protocol::kKeepMarker)
            names.push_back(password.name);
    }
    return names;
}

std::vector<std::vector<std::uint8_t>> ackDatagrams(const Camera& camera)
{
    std::vector<std::uint8_t> ack(kAckTag.begin(), kAckTag.end());
    const auto mac = protocol::macAddress(camera.record);
    ack.insert(ack.end(), mac.begin(), mac.end());

    switch (camera.behaviour.ack) {
    case AckMode::ok:
        return {ack};
    case AckMode::none:
        return {};
    case AckMode::otherMac:
        ack.back() ^= 0x01;
        return {ack};
    case AckMode::split:
        return {std::vector<std::uint8_t>(ack.begin(), ack.begin() + 16),
                std::vector<std::uint8_t>(ack.begin() + 16, ack.end())};
    case AckMode::stray: {
        std::vector<std::uint8_t> junk(30);
        for (std::size_t i = 0; i < junk.size(); ++i)
            junk[i] = static_cast<std::uint8_t>(0xA5 ^ (i * 37));
        return {junk, ack};
    }
    }
    return {};
}

} // namespace camsim
