#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/address_text.h"

// The camera's datagrams as fixed-offset byte layouts. All multi-byte values are byte arrays in
// display order; every number is one byte; texts are single-byte characters of the cameras' code
// page (protocol/code_page.h).
namespace protocol {

using net::Ipv4Bytes;
using net::MacBytes;

inline constexpr std::size_t kSearchRequestSize = 18;
inline constexpr std::size_t kRecordSize = 528;
inline constexpr std::size_t kParameterPacketSize = 656;
inline constexpr std::size_t kAckSize = 22;

inline constexpr std::uint16_t kSearchPort = 15500;
inline constexpr std::uint16_t kParameterPort = 15600;

// A counted text's length byte says "no text" when read and "keep your value" when written.
inline constexpr std::uint8_t kKeepMarker = 255;

// Where a datagram names its camera. Every other field's place is in settings/camera_fields.h.
namespace offset {
inline constexpr std::size_t respondMac = 20;
inline constexpr std::size_t parameterMac = 22;
} // namespace offset

// One camera's respond packet as received, zero-filled past its end.
struct CameraRecord {
    std::array<std::uint8_t, kRecordSize> bytes{};
};

struct ParameterPacket {
    std::array<std::uint8_t, kParameterPacketSize> bytes{};
};

using AckBytes = std::array<std::uint8_t, kAckSize>;

std::array<std::uint8_t, kSearchRequestSize> searchRequestBytes();

// A camera's answer: more than 20 bytes, starting "MORVAK INFO RESPOND".
bool isRespondPacket(const std::uint8_t* data, std::size_t count);

// Zero-fills the record, then copies the datagram in from offset 0 (at most kRecordSize bytes).
void storeRespondPacket(const std::uint8_t* data, std::size_t count, CameraRecord& record);

// The text of the counted text at fieldOffset: empty for length 255, otherwise at most `length`
// bytes, ending early at a zero byte and never reaching past the record's end.
std::string countedTextValue(const CameraRecord& record, std::size_t fieldOffset);

MacBytes macAddress(const CameraRecord& record);

// Starts a parameter packet: zero-filled, tag "MORVAK INFO PARAMETER " and the record's MAC.
void beginParameterPacket(ParameterPacket& packet, const CameraRecord& selected);

// A counted text is a length byte at fieldOffset followed by an area of areaWidth bytes; a text
// is written cut to maxChars (less than areaWidth, so a zero always follows it).

// Whether the text is the selected camera's own text at fieldOffset, which encodeText sends as
// "keep": its area's text read as a zero-terminated string, or, for a text longer than maxChars,
// also its counted text as the pages show it, so that a long text left alone is never sent cut.
bool isCameraText(const CameraRecord& selected, std::size_t fieldOffset, std::size_t areaWidth,
                  std::size_t maxChars, const std::string& text);

// The plain text rule: the text cut to maxChars, sent as 255 ("keep") when what is sent equals
// the selected record's text at the same offset (both read as zero-terminated strings) or the
// text is the camera's own (isCameraText).
void encodeText(ParameterPacket& packet, std::size_t fieldOffset, std::size_t areaWidth,
                std::size_t maxChars, const std::string& text, const CameraRecord& selected);

// The password rule: the text cut to maxChars; an empty text is sent as 255 ("keep").
void encodePassword(ParameterPacket& packet, std::size_t fieldOffset, std::size_t areaWidth,
                    std::size_t maxChars, const std::string& text);

// "MORVAK INFO ACK " followed by the MAC the parameter packet carried at offset 22.
AckBytes expectedAck(const MacBytes& mac);
MacBytes parameterPacketMac(const ParameterPacket& packet);

} // namespace protocol
