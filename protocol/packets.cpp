#include "protocol/packets.h"

#include <algorithm>
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

// Room for text after the length byte at fieldOffset in a buffer of bufferSize bytes: the
// field's area, and never more than the buffer holds.
std::size_t textRoom(std::size_t fieldOffset, std::size_t areaWidth, std::size_t bufferSize)
{
    if (fieldOffset + 1 >= bufferSize)
        return 0;
    return std::min(bufferSize - fieldOffset - 1, areaWidth);
}

// Bytes from `from` up to the first zero, looking at no more than `limit` bytes.
std::string zeroTerminated(const std::uint8_t* from, std::size_t limit)
{
    const std::uint8_t* end = std::find(from, from + limit, std::uint8_t{0});
    return std::string(from, end);
}

void writeCountedText(ParameterPacket& packet, std::size_t fieldOffset, std::size_t areaWidth,
                      std::size_t maxChars, const std::string& text)
{
    if (fieldOffset >= packet.bytes.size())
        return;
    std::size_t width = std::min(maxChars, textRoom(fieldOffset, areaWidth, packet.bytes.size()));
    std::uint8_t* area = packet.bytes.data() + fieldOffset + 1;
    std::fill_n(area, width, std::uint8_t{0});
    std::size_t n = std::min(text.size(), width);
    std::memcpy(area, text.data(), n);
    packet.bytes[fieldOffset] = static_cast<std::uint8_t>(n);
}

void markKeep(ParameterPacket& packet, std::size_t fieldOffset, std::size_t areaWidth,
              std::size_t maxChars)
{
    if (fieldOffset >= packet.bytes.size())
        return;
    std::size_t clear = std::min(maxChars, textRoom(fieldOffset, areaWidth, packet.bytes.size()));
    std::fill_n(packet.bytes.data() + fieldOffset + 1, clear, std::uint8_t{0});
    packet.bytes[fieldOffset] = kKeepMarker;
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

void beginParameterPacket(ParameterPacket& packet, const CameraRecord& selected)
{
    packet.bytes.fill(0);
    std::copy(kParameterTag.begin(), kParameterTag.end(), packet.bytes.begin());
    MacBytes mac = macAddress(selected);
    std::copy(mac.begin(), mac.end(), packet.bytes.begin() + offset::parameterMac);
}

bool isCameraText(const CameraRecord& selected, std::size_t fieldOffset, std::size_t areaWidth,
                  std::size_t maxChars, const std::string& text)
{
    if (fieldOffset >= kRecordSize)
        return text.empty();
    if (text == zeroTerminated(selected.bytes.data() + fieldOffset + 1,
                               textRoom(fieldOffset, areaWidth, kRecordSize)))
        return true;
    // A camera may hold a text longer than the most the utility writes (a 95-byte DDNS domain
    // against 81), and its length byte may end it before its area does or let it run on. Shown
    // as the pages show it and left as it was, that text must not go back cut short either.
    return text.size() > maxChars && text == countedTextValue(selected, fieldOffset);
}

void encodeText(ParameterPacket& packet, std::size_t fieldOffset, std::size_t areaWidth,
                std::size_t maxChars, const std::string& text, const CameraRecord& selected)
{
    writeCountedText(packet, fieldOffset, areaWidth, maxChars, text);
    if (fieldOffset >= packet.bytes.size())
        return;

    // What was written (cut to the maximum) is compared with the camera's text as a plain string;
    // the camera's length byte plays no part but for a text too long to write (isCameraText).
    std::string sent = zeroTerminated(packet.bytes.data() + fieldOffset + 1,
                                      textRoom(fieldOffset, areaWidth, packet.bytes.size()));
    std::string current;
    if (fieldOffset < kRecordSize) {
        current = zeroTerminated(selected.bytes.data() + fieldOffset + 1,
                                 textRoom(fieldOffset, areaWidth, kRecordSize));
    }
    if (sent == current || isCameraText(selected, fieldOffset, areaWidth, maxChars, text))
        markKeep(packet, fieldOffset, areaWidth, maxChars);
}

void encodePassword(ParameterPacket& packet, std::size_t fieldOffset, std::size_t areaWidth,
                    std::size_t maxChars, const std::string& text)
{
    writeCountedText(packet, fieldOffset, areaWidth, maxChars, text);
    if (fieldOffset < packet.bytes.size() && packet.bytes[fieldOffset] == 0)
        markKeep(packet, fieldOffset, areaWidth, maxChars);
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
