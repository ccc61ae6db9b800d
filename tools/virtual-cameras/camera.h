#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/packets.h"
#include "settings/camera_fields.h"

namespace camsim {

enum class AckMode {
    ok,       // the 22-byte acknowledgement
    none,     // no answer at all
    otherMac, // an acknowledgement naming another camera
    split,    // the acknowledgement in two datagrams, 16 bytes then 6
    stray,    // 30 bytes of junk first, then the acknowledgement
};

// How a camera misbehaves on purpose, to exercise the utility's edge cases.
struct Behaviour {
    std::vector<int> silentPasses; // search passes of a Find (1 = its first request) not answered
    bool twice = false;            // every search answered twice
    AckMode ack = AckMode::ok;
    bool apply = true;         // false: acknowledges a write but keeps its settings
    std::uint32_t delayMs = 0; // before every answer
};

// A camera keeps its passwords but never reports them.
struct Passwords {
    std::string adsl;
    std::string ddns;
    std::string email;
    std::string admin;
    std::string user;
};

struct Camera {
    // The camera's settings, kept in the layout of its respond packet.
    protocol::CameraRecord record;
    // Real cameras answer with 523 to 528 bytes; the fields end at byte 522.
    std::size_t respondLength = protocol::kRecordSize;
    Passwords passwords;
    Behaviour behaviour;
};

inline constexpr std::size_t kMinRespondLength = 523;

// The index-th camera (from 0) of a generated set, named "Camera <index + 1>". Neighbours differ
// in network type, image and option settings and respond length.
Camera generatedCamera(int index);
inline constexpr int kMaxGeneratedCameras = 480;

std::vector<std::uint8_t> respondPacket(const Camera& camera);

bool isSearchRequest(const std::uint8_t* data, std::size_t count);
// Tag and length of a parameter packet; says nothing about which camera it names.
bool isParameterPacket(const std::uint8_t* data, std::size_t count);
protocol::MacBytes parameterMac(const std::uint8_t* packet);

// Takes the settings of a parameter packet (kParameterPacketSize bytes) as a camera does:
// counted texts with length 255 keep the camera's value, and only the option bits the utility
// writes are replaced. With a fixed address (network type 0) the camera uses that address from
// then on, as the address it reports in use.
void applyParameterPacket(Camera& camera, const std::uint8_t* packet);

// The passwords a parameter packet sets, by name (adsl, ddns, email, admin, user): those not
// marked to be kept. For the log, which names them but never shows one.
std::vector<std::string> passwordsSetBy(const std::uint8_t* packet);

// The datagrams a camera sends after a parameter packet, in order, as its behaviour says.
std::vector<std::vector<std::uint8_t>> ackDatagrams(const Camera& camera);

// A counted text of the record: the text, cut to its area, or none at all (length 255).
void setCountedText(protocol::CameraRecord& record, const settings::CameraField& field,
                    const std::string& text);
void setCountedTextNone(protocol::CameraRecord& record, const settings::CameraField& field);

// Puts a value, written as a camera file writes it, at the field's place in the camera's answer:
// a choice by its number, a number from 0 to 255, an address, a MAC address, a text (in double
// quotes or not; "none" for no text at all). Returns the reason when it cannot.
std::string putField(protocol::CameraRecord& record, const settings::CameraField& field,
                     std::string_view value);

// A number as a camera file writes it: decimal, or hexadecimal after "0x".
std::optional<unsigned> parseNumber(std::string_view text, unsigned max);

} // namespace camsim
