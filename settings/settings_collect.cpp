#include <climits>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

#include "protocol/packets.h"
#include "protocol/wipe.h"
#include "settings/settings_values.h"

namespace settings {

namespace {

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

std::optional<std::string> readAddress(const std::string& text, const char* label,
                                       protocol::ParameterPacket& packet, std::size_t fieldOffset)
{
    protocol::Ipv4Bytes address{};
    if (readDottedQuad(text, address) != 4) {
        return label;
    }
    for (std::size_t i = 0; i < address.size(); ++i) {
        packet.bytes[fieldOffset + i] = address[i];
    }
    return std::nullopt;
}

std::optional<std::string> packSettings(const SettingsValues& values,
                                        const protocol::CameraRecord& selected,
                                        protocol::ParameterPacket& packet)
{
    namespace offset = protocol::offset;
    namespace maxLength = protocol::maxLength;
    auto& bytes = packet.bytes;

    protocol::beginParameterPacket(packet, selected);

    // A group with no chosen item has index -1: the network type then goes out as 255, and the
    // brightness and quality bits as 3, which is what masking -1 to two bits gives. Any
    // resolution but VGA, none included, is QVGA.
    bytes[offset::networkType] = static_cast<std::uint8_t>(values.optNetworkType);
    const int resolution = values.optImageResolution == 0 ? 0 : 1;
    bytes[offset::imageFlags] =
        protocol::packImageFlags(values.optUpsideDown, values.optImageBrightness,
                                 values.optAntiFlicker, values.optImageQuality, resolution);

    if (auto failed = readAddress(values.txtIpAddress2, "IP Address", packet, offset::ipAddress)) {
        return failed;
    }
    if (auto failed =
            readAddress(values.txtSubnetMask2, "Subnet Mask", packet, offset::subnetMask)) {
        return failed;
    }
    if (auto failed = readAddress(values.txtGateway2, "Gateway", packet, offset::gateway)) {
        return failed;
    }
    if (auto failed = readAddress(values.txtDnsServer2, "DNS Server", packet, offset::dnsServer)) {
        return failed;
    }

    // A text longer than its field goes out only as the camera's own, which is then kept; any
    // other would be cut, so it is refused instead.
    struct Text {
        const char* label;
        std::size_t fieldOffset;
        std::size_t maxChars;
        const std::string& value;
    };
    const Text texts[] = {
        {"PPPoE User Name", offset::adslUserName, maxLength::adslUserName, values.txtAdslUserName},
        {"SMTP Domain Name", offset::smtpDomain, maxLength::smtpDomain, values.txtSmtpDomain},
        {"E-mail Sender", offset::emailSender, maxLength::emailSender, values.txtEmailSender},
        {"E-mail Receiver", offset::emailReceiver, maxLength::emailReceiver,
         values.txtEmailReceiver},
        {"E-mail Copy", offset::emailCopy, maxLength::emailCopy, values.txtEmailCopy},
        {"E-mail Account", offset::emailAccount, maxLength::emailAccount, values.txtEmailAccount},
        {"Camera Description", offset::cameraDescription, maxLength::cameraDescription,
         values.txtCameraDescription2},
        {"DDNS User Name", offset::ddnsUserName, maxLength::ddnsUserName, values.txtDdnsUserName},
        {"DDNS Domain Name", offset::ddnsDomainName, maxLength::ddnsDomainName,
         values.txtDdnsDomainName},
    };
    for (const Text& text : texts) {
        if (text.value.size() > text.maxChars &&
            !protocol::isCameraText(selected, text.fieldOffset, text.maxChars, text.value)) {
            return text.label;
        }
        protocol::encodeText(packet, text.fieldOffset, text.maxChars, text.value, selected);
    }

    auto password = [&](std::size_t fieldOffset, std::size_t maxChars, const std::string& value) {
        protocol::encodePassword(packet, fieldOffset, maxChars, value);
    };
    password(offset::adslPassword, maxLength::adslPassword, values.txtAdslPassword);
    password(offset::ddnsPassword, maxLength::ddnsPassword, values.txtDdnsPassword);
    password(offset::emailPassword, maxLength::emailPassword, values.txtEmailPassword);
    password(offset::adminPassword, maxLength::adminPassword, values.txtAdminPassword);
    password(offset::newAdminPassword, maxLength::newAdminPassword, values.txtNewAdminPassword);
    password(offset::userPassword, maxLength::userPassword, values.txtUserPassword);
    password(offset::newUserPassword, maxLength::newUserPassword, values.txtNewUserPassword);

    // An SMTP server given by name leaves the address box empty (or holding the name): no number
    // at all means "no address", only a half-typed address is an error.
    protocol::Ipv4Bytes smtp{};
    const int smtpCount = readDottedQuad(values.txtSmtpIpAddress, smtp);
    if (smtpCount != 0 && smtpCount != 4) {
        return "SMTP IP Address";
    }
    for (std::size_t i = 0; i < smtp.size(); ++i) {
        bytes[offset::packetSmtpIpAddress + i] = smtp[i];
    }

    // Checked whether or not the time e-mail is on: the camera stores the time either way.
    const int hour = readInteger(values.txtHour);
    const int minute = readInteger(values.txtMinute);
    if (hour < 0 || hour > 23) {
        return "Time e-mail: Hour";
    }
    if (minute < 0 || minute > 59) {
        return "Time e-mail: Minute";
    }
    if (hour == 0 && minute < 3) {
        return "Time e-mail: 23:59 ~ 00:03";
    }
    bytes[offset::packetHour] = static_cast<std::uint8_t>(hour);
    bytes[offset::packetMinute] = static_cast<std::uint8_t>(minute);

    const int triggerCount = readInteger(values.txtTriggerCount);
    if (triggerCount < 0 || triggerCount > 99) {
        return "E-mail Trigger Count";
    }
    bytes[offset::packetTriggerCount] = static_cast<std::uint8_t>(triggerCount);

    bytes[offset::optionFlags] = protocol::packOptionFlags(
        values.optSmtpServerType, values.optTimeEmail, values.optEmailAuthentication,
        values.optMotionImage, values.optUserPassword);
    return std::nullopt;
}

} // namespace

int readDottedQuad(const std::string& text, protocol::Ipv4Bytes& out)
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
    auto failed = packSettings(values, selected, packet);
    if (failed) {
        // The half-built packet may already hold passwords; it must not outlive the refusal.
        protocol::wipe(packet);
    }
    return failed;
}

void wipePasswords(SettingsValues& values)
{
    for (std::string* password :
         {&values.txtAdslPassword, &values.txtDdnsPassword, &values.txtEmailPassword,
          &values.txtAdminPassword, &values.txtNewAdminPassword, &values.txtUserPassword,
          &values.txtNewUserPassword})
        protocol::wipe(*password);
}

std::string invalidInputMessage(const std::string& label)
{
    return "Invalid input in " + label + " field.\n\nPlease check again.\n";
}

} // namespace settings
