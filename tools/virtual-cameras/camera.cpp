#include "tools/virtual-cameras/camera.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace camsim {

namespace off = protocol::offset;

namespace {

constexpr std::string_view kSearchTag = "MORVAK INFO SEARCH";
constexpr std::string_view kRespondTag = "MORVAK INFO RESPOND";
constexpr std::string_view kParameterTag = "MORVAK INFO PARAMETER ";
constexpr std::string_view kAckTag = "MORVAK INFO ACK ";

// The option bits the utility writes; a camera keeps the others as they were.
constexpr std::uint8_t kWrittenOptionBits = 0x01 | 0x02 | 0x10 | 0x40 | 0x80;

// Password areas of the parameter packet, with the camera state each one sets.
struct PasswordField {
    const char* name;
    std::size_t fieldOffset;
    std::size_t width;
    std::string Passwords::*target;
};

constexpr PasswordField kPasswordFields[] = {
    {"adsl", off::adslPassword, 31, &Passwords::adsl},
    {"ddns", off::ddnsPassword, 31, &Passwords::ddns},
    {"email", off::emailPassword, 31, &Passwords::email},
    {"admin", off::newAdminPassword, 15, &Passwords::admin},
    {"user", off::newUserPassword, 15, &Passwords::user},
};

void putIpv4(protocol::CameraRecord& record, std::size_t at, std::uint8_t a, std::uint8_t b,
             std::uint8_t c, std::uint8_t d)
{
    record.bytes[at] = a;
    record.bytes[at + 1] = b;
    record.bytes[at + 2] = c;
    record.bytes[at + 3] = d;
}

const TextField& textField(std::size_t fieldOffset)
{
    for (const TextField& field : textFields()) {
        if (field.fieldOffset == fieldOffset)
            return field;
    }
    return textFields().front();
}

bool hasPrefix(const std::uint8_t* data, std::size_t count, std::string_view tag)
{
    return count >= tag.size() && std::memcmp(data, tag.data(), tag.size()) == 0;
}

} // namespace

const std::vector<TextField>& textFields()
{
    static const std::vector<TextField> fields = {
        {"adslUserName", off::adslUserName, 31},
        {"smtpDomain", off::smtpDomain, 31},
        {"emailSender", off::emailSender, 47},
        {"emailReceiver", off::emailReceiver, 47},
        {"emailCopy", off::emailCopy, 47},
        {"emailAccount", off::emailAccount, 47},
        {"cameraDescription", off::cameraDescription, 47},
        {"ddnsUserName", off::ddnsUserName, 31},
        {"ddnsDomainName", off::ddnsDomainName, 95},
    };
    return fields;
}

void setCountedText(protocol::CameraRecord& record, const TextField& field, const std::string& text)
{
    std::uint8_t* area = record.bytes.data() + field.fieldOffset + 1;
    std::fill_n(area, field.width, std::uint8_t{0});
    const std::size_t n = std::min(text.size(), field.width);
    std::memcpy(area, text.data(), n);
    record.bytes[field.fieldOffset] = static_cast<std::uint8_t>(n);
}

void setCountedTextNone(protocol::CameraRecord& record, const TextField& field)
{
    std::fill_n(record.bytes.data() + field.fieldOffset + 1, field.width, std::uint8_t{0});
    record.bytes[field.fieldOffset] = protocol::kKeepMarker;
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

    b[off::networkType] = static_cast<std::uint8_t>(index % 3);
    b[off::imageFlags] = protocol::packImageFlags(index & 1, index % 3, (index >> 1) & 1,
                                                  (index / 3) % 3, (index >> 2) & 1);
    b[off::optionFlags] = protocol::packOptionFlags(index & 1, (index >> 1) & 1, (index >> 2) & 1,
                                                    (index >> 3) & 1, (index >> 4) & 1);

    // Addresses from the documentation ranges only.
    const bool firstRange = index < 240;
    const std::uint8_t host = static_cast<std::uint8_t>(10 + (firstRange ? index : index - 240));
    const std::uint8_t net[3] = {static_cast<std::uint8_t>(firstRange ? 203 : 198),
                                 static_cast<std::uint8_t>(firstRange ? 0 : 51),
                                 static_cast<std::uint8_t>(firstRange ? 113 : 100)};
    putIpv4(camera.record, off::ipAddress, net[0], net[1], net[2], host);
    putIpv4(camera.record, off::gateway, net[0], net[1], net[2], 1);
    putIpv4(camera.record, off::subnetMask, 255, 255, 255, 0);
    putIpv4(camera.record, off::dnsServer, net[0], net[1], net[2], 53);
    putIpv4(camera.record, off::recordSmtpIpAddress, net[0], net[1], net[2], 25);
    putIpv4(camera.record, off::usedIPAddress, net[0], net[1], net[2], host);

    const std::string id = std::to_string(n);
    setCountedText(camera.record, textField(off::adslUserName), "adsl" + id);
    setCountedText(camera.record, textField(off::smtpDomain), "mail.example.net");
    setCountedText(camera.record, textField(off::emailSender), "camera" + id + "@example.net");
    setCountedText(camera.record, textField(off::emailReceiver), "alerts@example.net");
    // Some cameras report no copy address at all, some an empty one.
    if (index % 4 == 1)
        setCountedTextNone(camera.record, textField(off::emailCopy));
    else if (index % 4 == 2)
        setCountedText(camera.record, textField(off::emailCopy), "");
    else
        setCountedText(camera.record, textField(off::emailCopy), "archive@example.net");
    setCountedText(camera.record, textField(off::emailAccount), "camera" + id);
    setCountedText(camera.record, textField(off::cameraDescription), "Camera " + id);
    setCountedText(camera.record, textField(off::ddnsUserName), "ddns" + id);
    setCountedText(camera.record, textField(off::ddnsDomainName), "camera" + id + ".example.org");

    const std::string firmware =
        "V1." + std::to_string(index % 7) + "." + std::to_string(20 + n % 9);
    std::memcpy(b.data() + off::firmwareVersion, firmware.data(), firmware.size());

    // A time the window's Save accepts as it stands (00:00 to 00:02 it refuses).
    b[off::hour] = static_cast<std::uint8_t>(6 + index % 18);
    b[off::minute] = static_cast<std::uint8_t>((index * 7) % 60);
    b[off::triggerCount] = static_cast<std::uint8_t>(index % 100);

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
    auto& b = camera.record.bytes;
    b[off::networkType] = packet[off::networkType];
    b[off::imageFlags] = packet[off::imageFlags];
    b[off::optionFlags] =
        static_cast<std::uint8_t>((b[off::optionFlags] & ~kWrittenOptionBits) |
                                  (packet[off::optionFlags] & kWrittenOptionBits));
    for (std::size_t at : {off::ipAddress, off::gateway, off::subnetMask, off::dnsServer})
        std::copy_n(packet + at, 4, b.begin() + at);

    for (const TextField& field : textFields()) {
        const std::uint8_t length = packet[field.fieldOffset];
        if (length == protocol::kKeepMarker)
            continue;
        // A length past the area would be a broken packet; take what fits.
        const char* text = reinterpret_cast<const char*>(packet + field.fieldOffset + 1);
        setCountedText(camera.record, field,
                       std::string(text, std::min<std::size_t>(length, field.width)));
    }
    for (const PasswordField& field : kPasswordFields) {
        const std::uint8_t length = packet[field.fieldOffset];
        if (length == protocol::kKeepMarker)
            continue;
        const char* text = reinterpret_cast<const char*>(packet + field.fieldOffset + 1);
        camera.passwords.*field.target =
            std::string(text, std::min<std::size_t>(length, field.width));
    }

    std::copy_n(packet + off::packetSmtpIpAddress, 4, b.begin() + off::recordSmtpIpAddress);
    b[off::hour] = packet[off::packetHour];
    b[off::minute] = packet[off::packetMinute];
    b[off::triggerCount] = packet[off::packetTriggerCount];
}

std::vector<std::string> passwordsSetBy(const std::uint8_t* packet)
{
    std::vector<std::string> names;
    for (const PasswordField& field : kPasswordFields) {
        if (packet[field.fieldOffset] != protocol::kKeepMarker)
            names.push_back(field.name);
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
