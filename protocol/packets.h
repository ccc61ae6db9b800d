#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The camera's datagrams as fixed-offset byte layouts. All multi-byte values are byte arrays in
// display order; every number is one byte; texts are single-byte characters of the cameras' code
// page (protocol/code_page.h).
namespace protocol {

using Ipv4Bytes = std::array<std::uint8_t, 4>;
using MacBytes = std::array<std::uint8_t, 6>;

inline constexpr std::size_t kSearchRequestSize = 18;
inline constexpr std::size_t kRecordSize = 528;
inline constexpr std::size_t kParameterPacketSize = 656;
inline constexpr std::size_t kAckSize = 22;

inline constexpr std::uint16_t kSearchPort = 15500;
inline constexpr std::uint16_t kParameterPort = 15600;

// A counted text's length byte says "no text" when read and "keep your value" when written.
inline constexpr std::uint8_t kKeepMarker = 255;

// Offsets shared by the respond packet, the camera record and (up to byte 479) the parameter packet.
namespace offset {
inline constexpr std::size_t tag = 0;
inline constexpr std::size_t respondMac = 20;
inline constexpr std::size_t networkType = 28;
inline constexpr std::size_t imageFlags = 29;
inline constexpr std::size_t optionFlags = 30;
inline constexpr std::size_t ipAddress = 32;
inline constexpr std::size_t gateway = 36;
inline constexpr std::size_t subnetMask = 40;
inline constexpr std::size_t dnsServer = 44;
inline constexpr std::size_t adslUserName = 48;
inline constexpr std::size_t smtpDomain = 80;
inline constexpr std::size_t emailSender = 112;
inline constexpr std::size_t emailReceiver = 160;
inline constexpr std::size_t emailCopy = 208;
inline constexpr std::size_t emailAccount = 256;
inline constexpr std::size_t cameraDescription = 304;
inline constexpr std::size_t ddnsUserName = 352;
inline constexpr std::size_t ddnsDomainName = 384;

// Respond packet / camera record only.
inline constexpr std::size_t firmwareVersion = 480;
inline constexpr std::size_t firmwareVersionWidth = 18;
inline constexpr std::size_t recordSmtpIpAddress = 512;
inline constexpr std::size_t hour = 516;
inline constexpr std::size_t minute = 517;
inline constexpr std::size_t triggerCount = 518;
inline constexpr std::size_t usedIPAddress = 519;

// Parameter packet only.
inline constexpr std::size_t parameterMac = 22;
inline constexpr std::size_t adslPassword = 480;
inline constexpr std::size_t ddnsPassword = 512;
inline constexpr std::size_t emailPassword = 544;
inline constexpr std::size_t adminPassword = 576;
inline constexpr std::size_t newAdminPassword = 592;
inline constexpr std::size_t userPassword = 608;
inline constexpr std::size_t newUserPassword = 624;
inline constexpr std::size_t packetSmtpIpAddress = 640;
inline constexpr std::size_t packetHour = 644;
inline constexpr std::size_t packetMinute = 645;
inline constexpr std::size_t packetTriggerCount = 646;
} // namespace offset

// Most characters the utility writes into each counted text of a parameter packet.
namespace maxLength {
inline constexpr std::size_t adslUserName = 30;
inline constexpr std::size_t smtpDomain = 30;
inline constexpr std::size_t emailSender = 40;
inline constexpr std::size_t emailReceiver = 40;
inline constexpr std::size_t emailCopy = 40;
inline constexpr std::size_t emailAccount = 40;
inline constexpr std::size_t cameraDescription = 40;
inline constexpr std::size_t ddnsUserName = 30;
inline constexpr std::size_t ddnsDomainName = 81;
inline constexpr std::size_t adslPassword = 20;
inline constexpr std::size_t ddnsPassword = 21;
inline constexpr std::size_t emailPassword = 20;
inline constexpr std::size_t adminPassword = 10;
inline constexpr std::size_t newAdminPassword = 10;
inline constexpr std::size_t userPassword = 10;
inline constexpr std::size_t newUserPassword = 10;
} // namespace maxLength

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

// Field readers.
MacBytes macAddress(const CameraRecord& record);
std::uint8_t networkType(const CameraRecord& record);
std::uint8_t imageFlags(const CameraRecord& record);
std::uint8_t optionFlags(const CameraRecord& record);
int upsideDown(const CameraRecord& record);      // imageFlags bit 0
int imageBrightness(const CameraRecord& record); // imageFlags bits 1-2
int antiFlicker(const CameraRecord& record);     // imageFlags bit 3
int imageQuality(const CameraRecord& record);    // imageFlags bits 4-5
int imageResolution(const CameraRecord& record); // imageFlags bits 6-7
int smtpServerType(const CameraRecord& record);  // optionFlags bit 0
int timeEmail(const CameraRecord& record);       // optionFlags bit 1
int emailAuthentication(const CameraRecord& record); // optionFlags bit 4
int motionImage(const CameraRecord& record);     // optionFlags bit 6
int userPasswordOn(const CameraRecord& record);  // optionFlags bit 7
Ipv4Bytes ipAddress(const CameraRecord& record);
Ipv4Bytes gateway(const CameraRecord& record);
Ipv4Bytes subnetMask(const CameraRecord& record);
Ipv4Bytes dnsServer(const CameraRecord& record);
Ipv4Bytes smtpIpAddress(const CameraRecord& record);
Ipv4Bytes usedIPAddress(const CameraRecord& record);
std::string firmwareVersion(const CameraRecord& record);
std::uint8_t hour(const CameraRecord& record);
std::uint8_t minute(const CameraRecord& record);
std::uint8_t triggerCount(const CameraRecord& record);

std::string formatIpv4(const Ipv4Bytes& address); // "%u.%u.%u.%u"
std::string formatMac(const MacBytes& mac);       // "%02X-%02X-%02X-%02X-%02X-%02X"

// Starts a parameter packet: zero-filled, tag "MORVAK INFO PARAMETER " and the record's MAC.
void beginParameterPacket(ParameterPacket& packet, const CameraRecord& selected);

// Whether the text is the selected camera's own text at fieldOffset, which encodeText sends as
// "keep": its area's text read as a zero-terminated string, or, for a text longer than maxChars,
// also its counted text as the pages show it, so that a long text left alone is never sent cut.
bool isCameraText(const CameraRecord& selected, std::size_t fieldOffset, std::size_t maxChars,
                  const std::string& text);

// The plain text rule: the text cut to maxChars, sent as 255 ("keep") when what is sent equals
// the selected record's text at the same offset (both read as zero-terminated strings) or the
// text is the camera's own (isCameraText).
void encodeText(ParameterPacket& packet, std::size_t fieldOffset, std::size_t maxChars,
                const std::string& text, const CameraRecord& selected);

// The password rule: the text cut to maxChars; an empty text is sent as 255 ("keep").
void encodePassword(ParameterPacket& packet, std::size_t fieldOffset, std::size_t maxChars,
                    const std::string& text);

std::uint8_t packImageFlags(int upsideDown, int imageBrightness, int antiFlicker, int imageQuality,
                            int imageResolution);
std::uint8_t packOptionFlags(int smtpServerType, int timeEmail, int emailAuthentication,
                             int motionImage, int userPasswordOn);

// "MORVAK INFO ACK " followed by the MAC the parameter packet carried at offset 22.
AckBytes expectedAck(const MacBytes& mac);
MacBytes parameterPacketMac(const ParameterPacket& packet);

} // namespace protocol
