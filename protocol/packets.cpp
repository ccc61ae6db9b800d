#include "protocol/packets.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace protocol {

namespace {

constexpr std::string_view kSearchTag = "MORVAK INFO SEARCH";
constexpr std::string_view kRespondTag = "MORVAK INFO RESPOND";
constexpr std::string_view kParameterTag = "MORVAK INFO PARAMETER ";
constexpr std::string_view kAckTag = "MORVAK INFO ACK ";

static_assert(kSearchTag.size() == kSearchRequestSize);
static_assert(kParameterTag.size() == offset::parameterMac);
static_assert(kAckTag.size() + MacBytes{}.size() == kAckSize);

// Text area widths of the counted texts, by the offset of their length byte. The parameter
// packet's password fields only exist there, so their offsets never clash with record fields.
struct TextArea {
    std::size_t fieldOffset;
    std::size_t width;
};

constexpr TextArea kTextAreas[] = {
    {offset::adslUserName, 31},      {offset::smtpDomain, 31},       {offset::emailSender, 47},
    {offset::emailReceiver, 47},     {offset::emailCopy, 47},        {offset::emailAccount, 47},
    {offset::cameraDescription, 47}, {offset::ddnsUserName, 31},     {offset::ddnsDomainName, 95},
    {offset::adslPassword, 31},      {offset::ddnsPassword, 31},     {offset::emailPassword, 31},
    {offset::adminPassword, 15},     {offset::newAdminPassword, 15}, {offset::userPassword, 15},
    {offset::newUserPassword, 15},
};

// Room for text after the length byte at fieldOffset in a buffer of bufferSize bytes: the
// field's own area when it is a known field, and never more than the buffer holds.
std::size_t textRoom(std::size_t fieldOffset, std::size_t bufferSize)
{
    if (fieldOffset + 1 >= bufferSize)
        return 0;
    std::size_t room = bufferSize - fieldOffset - 1;
    for (const TextArea& area : kTextAreas) {
        if (area.fieldOffset == fieldOffset)
            return std::min(room, area.width);
    }
    return room;
}

// Bytes from `from` up to the first zero, looking at no more than `limit` bytes.
std::string zeroTerminated(const std::uint8_t* from, std::size_t limit)
{
    const std::uint8_t* end = std::find(from, from + limit, std::uint8_t{0});
    return std::string(from, end);
}

Ipv4Bytes readIpv4(const CameraRecord& record, std::size_t at)
{
    Ipv4Bytes address{};
    std::copy_n(record.bytes.begin() + at, address.size(), address.begin());
    return address;
}

void writeCountedText(ParameterPacket& packet, std::size_t fieldOffset, std::size_t maxChars,
                      const std::string& text)
{
    if (fieldOffset >= packet.bytes.size())
        return;
    std::size_t width = std::min(maxChars, textRoom(fieldOffset, packet.bytes.size()));
    std::uint8_t* area = packet.bytes.data() + fieldOffset + 1;
    std::fill_n(area, width, std::uint8_t{0});
    std::size_t n = std::min(text.size(), width);
    std::memcpy(area, text.data(), n);
    packet.bytes[fieldOffset] = static_cast<std::uint8_t>(n);
}

void markKeep(ParameterPacket& packet, std::size_t fieldOffset, std::size_t maxChars)
{
    if (fieldOffset >= packet.bytes.size())
        return;
    std::size_t clear = std::min(maxChars, textRoom(fieldOffset, packet.bytes.size()));
    std::fill_n(packet.bytes.data() + fieldOffset + 1, clear, std::uint8_t{0});
    packet.bytes[fieldOffset] = kKeepMarker;
}

int bits(std::uint8_t value, int shift, int width)
{
    return (value >> shift) & ((1 << width) - 1);
}

} // namespace

std::array<std::uint8_t, kSearchRequestSize> searchRequestBytes()
{
    std::array<std::uint8_t, kSearchRequestSize> bytes{};
    std::copy(kSearchTag.begin(), kSearchTag.end(), bytes.begin());
    return bytes;
}

bool isRespondPacket(const std::uint8_t* data, std::size_t count)
{
    return count > 20 && std::memcmp(data, kRespondTag.data(), kRespondTag.size()) == 0;
}

void storeRespondPacket(const std::uint8_t* data, std::size_t count, CameraRecord& record)
{
    record.bytes.fill(0);
    std::copy_n(data, std::min(count, kRecordSize), record.bytes.begin());
}

std::string countedTextValue(const CameraRecord& record, std::size_t fieldOffset)
{
    if (fieldOffset >= kRecordSize)
        return {};
    std::uint8_t length = record.bytes[fieldOffset];
    if (length == kKeepMarker)
        return {};
    // The length byte is not checked against the area: a long one reads on into the following
    // fields, but it stops at the record's end.
    std::size_t limit = std::min<std::size_t>(length, kRecordSize - fieldOffset - 1);
    return zeroTerminated(record.bytes.data() + fieldOffset + 1, limit);
}

MacBytes macAddress(const CameraRecord& record)
{
    MacBytes mac{};
    std::copy_n(record.bytes.begin() + offset::respondMac, mac.size(), mac.begin());
    return mac;
}

std::uint8_t networkType(const CameraRecord& record)
{
    return record.bytes[offset::networkType];
}

std::uint8_t imageFlags(const CameraRecord& record)
{
    return record.bytes[offset::imageFlags];
}

std::uint8_t optionFlags(const CameraRecord& record)
{
    return record.bytes[offset::optionFlags];
}

int upsideDown(const CameraRecord& record)
{
    return bits(imageFlags(record), 0, 1);
}

int imageBrightness(const CameraRecord& record)
{
    return bits(imageFlags(record), 1, 2);
}

int antiFlicker(const CameraRecord& record)
{
    return bits(imageFlags(record), 3, 1);
}

int imageQuality(const CameraRecord& record)
{
    return bits(imageFlags(record), 4, 2);
}

int imageResolution(const CameraRecord& record)
{
    return bits(imageFlags(record), 6, 2);
}

int smtpServerType(const CameraRecord& record)
{
    return bits(optionFlags(record), 0, 1);
}

int timeEmail(const CameraRecord& record)
{
    return bits(optionFlags(record), 1, 1);
}

int emailAuthentication(const CameraRecord& record)
{
    return bits(optionFlags(record), 4, 1);
}

int motionImage(const CameraRecord& record)
{
    return bits(optionFlags(record), 6, 1);
}

int userPasswordOn(const CameraRecord& record)
{
    return bits(optionFlags(record), 7, 1);
}

Ipv4Bytes ipAddress(const CameraRecord& record)
{
    return readIpv4(record, offset::ipAddress);
}

Ipv4Bytes gateway(const CameraRecord& record)
{
    return readIpv4(record, offset::gateway);
}

Ipv4Bytes subnetMask(const CameraRecord& record)
{
    return readIpv4(record, offset::subnetMask);
}

Ipv4Bytes dnsServer(const CameraRecord& record)
{
    return readIpv4(record, offset::dnsServer);
}

Ipv4Bytes smtpIpAddress(const CameraRecord& record)
{
    return readIpv4(record, offset::recordSmtpIpAddress);
}

Ipv4Bytes usedIPAddress(const CameraRecord& record)
{
    return readIpv4(record, offset::usedIPAddress);
}

std::string firmwareVersion(const CameraRecord& record)
{
    return zeroTerminated(record.bytes.data() + offset::firmwareVersion,
                          offset::firmwareVersionWidth);
}

std::uint8_t hour(const CameraRecord& record)
{
    return record.bytes[offset::hour];
}

std::uint8_t minute(const CameraRecord& record)
{
    return record.bytes[offset::minute];
}

std::uint8_t triggerCount(const CameraRecord& record)
{
    return record.bytes[offset::triggerCount];
}

std::string formatIpv4(const Ipv4Bytes& address)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned{address[0]}, unsigned{address[1]},
                  unsigned{address[2]}, unsigned{address[3]});
    return text;
}

std::string formatMac(const MacBytes& mac)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", unsigned{mac[0]},
                  unsigned{mac[1]}, unsigned{mac[2]}, unsigned{mac[3]}, unsigned{mac[4]},
                  unsigned{mac[5]});
    return text;
}

void beginParameterPacket(ParameterPacket& packet, const CameraRecord& selected)
{
    packet.bytes.fill(0);
    std::copy(kParameterTag.begin(), kParameterTag.end(), packet.bytes.begin());
    MacBytes mac = macAddress(selected);
    std::copy(mac.begin(), mac.end(), packet.bytes.begin() + offset::parameterMac);
}

bool isCameraText(const CameraRecord& selected, std::size_t fieldOffset, std::size_t maxChars,
                  const std::string& text)
{
    if (fieldOffset >= kRecordSize)
        return text.empty();
    if (text ==
        zeroTerminated(selected.bytes.data() + fieldOffset + 1, textRoom(fieldOffset, kRecordSize)))
        return true;
    // A camera may hold a text longer than the most the utility writes (a 95-byte DDNS domain
    // against 81), and its length byte may end it before its area does or let it run on. Shown
    // as the pages show it and left as it was, that text must not go back cut short either.
    return text.size() > maxChars && text == countedTextValue(selected, fieldOffset);
}

void encodeText(ParameterPacket& packet, std::size_t fieldOffset, std::size_t maxChars,
                const std::string& text, const CameraRecord& selected)
{
    writeCountedText(packet, fieldOffset, maxChars, text);
    if (fieldOffset >= packet.bytes.size())
        return;

    // What was written (cut to the maximum) is compared with the camera's text as a plain string;
    // the camera's length byte plays no part but for a text too long to write (isCameraText).
    std::string sent = zeroTerminated(packet.bytes.data() + fieldOffset + 1,
                                      textRoom(fieldOffset, packet.bytes.size()));
    std::string current;
    if (fieldOffset < kRecordSize) {
        current = zeroTerminated(selected.bytes.data() + fieldOffset + 1,
                                 textRoom(fieldOffset, kRecordSize));
    }
    if (sent == current || isCameraText(selected, fieldOffset, maxChars, text))
        markKeep(packet, fieldOffset, maxChars);
}

void encodePassword(ParameterPacket& packet, std::size_t fieldOffset, std::size_t maxChars,
                    const std::string& text)
{
    writeCountedText(packet, fieldOffset, maxChars, text);
    if (fieldOffset < packet.bytes.size() && packet.bytes[fieldOffset] == 0)
        markKeep(packet, fieldOffset, maxChars);
}

std::uint8_t packImageFlags(int upsideDown, int imageBrightness, int antiFlicker, int imageQuality,
                            int imageResolution)
{
    return static_cast<std::uint8_t>((upsideDown & 0x1) | (imageBrightness & 0x3) << 1 |
                                     (antiFlicker & 0x1) << 3 | (imageQuality & 0x3) << 4 |
                                     (imageResolution & 0x3) << 6);
}

std::uint8_t packOptionFlags(int smtpServerType, int timeEmail, int emailAuthentication,
                             int motionImage, int userPasswordOn)
{
    return static_cast<std::uint8_t>((smtpServerType & 0x1) | (timeEmail & 0x1) << 1 |
                                     (emailAuthentication & 0x1) << 4 | (motionImage & 0x1) << 6 |
                                     (userPasswordOn & 0x1) << 7);
}

AckBytes expectedAck(const MacBytes& mac)
{
    AckBytes ack{};
    auto next = std::copy(kAckTag.begin(), kAckTag.end(), ack.begin());
    std::copy(mac.begin(), mac.end(), next);
    return ack;
}

MacBytes parameterPacketMac(const ParameterPacket& packet)
{
    MacBytes mac{};
    std::copy_n(packet.bytes.begin() + offset::parameterMac, mac.size(), mac.begin());
    return mac;
}

} // namespace protocol
