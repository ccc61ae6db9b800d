#include "tools/junk-sender/junk.h"

#include <algorithm>
#include <cstring>

#include "protocol/packets.h"
#include "settings/camera_fields.h"

namespace junk {

namespace {

constexpr std::string_view kSearchTag = "MORVAK INFO SEARCH";
constexpr std::string_view kRespondTag = "MORVAK INFO RESPOND";
constexpr std::string_view kParameterTag = "MORVAK INFO PARAMETER ";
constexpr std::string_view kAckTag = "MORVAK INFO ACK ";

constexpr std::size_t kDiscoveryBuffer = 1056;

constexpr const char* kNames[kKindCount] = {"random", "tagged", "overlong",
                                            "acks",   "empty",  "oversize"};

void putTag(Bytes& bytes, std::string_view tag)
{
    std::copy_n(tag.begin(), std::min(tag.size(), bytes.size()), bytes.begin());
}

} // namespace

const char* nameOf(Kind kind)
{
    return kNames[static_cast<std::size_t>(kind)];
}

std::optional<Kind> kindNamed(std::string_view name)
{
    for (std::size_t i = 0; i < kKindCount; ++i)
        if (name == kNames[i])
            return static_cast<Kind>(i);
    return std::nullopt;
}

std::optional<std::vector<Kind>> parseKinds(std::string_view list)
{
    std::vector<Kind> kinds;
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::optional<Kind> kind = kindNamed(list.substr(0, comma));
        if (!kind)
            return std::nullopt;
        kinds.push_back(*kind);
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
    if (kinds.empty())
        return std::nullopt;
    return kinds;
}

bool passesForAnswer(const Bytes& datagram)
{
    return datagram.size() <= kDiscoveryBuffer &&
           protocol::isRespondPacket(datagram.data(), datagram.size());
}

Bytes ackForAnotherMac(const std::uint8_t* data, std::size_t count)
{
    if (count != protocol::kParameterPacketSize ||
        std::memcmp(data, kParameterTag.data(), kParameterTag.size()) != 0)
        return {};
    Bytes ack(protocol::kAckSize);
    putTag(ack, kAckTag);
    std::copy_n(data + protocol::offset::parameterMac, 6, ack.begin() + kAckTag.size());
    ack.back() ^= 0xFF;
    return ack;
}

bool mayTarget(const std::array<std::uint8_t, 4>& a)
{
    return a[0] == 127 || (a[0] == 198 && a[1] == 51 && a[2] == 100) ||
           (a[0] == 203 && a[1] == 0 && a[2] == 113);
}

Maker::Maker(std::vector<Kind> kinds, std::uint32_t seed, long mostAnswers)
    : kinds_(std::move(kinds)), random_(seed), mostAnswers_(mostAnswers)
{
    if (kinds_.empty())
        kinds_.push_back(Kind::random);
}

std::size_t Maker::below(std::size_t n)
{
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
}

std::size_t Maker::between(std::size_t low, std::size_t high)
{
    return std::uniform_int_distribution<std::size_t>(low, high)(random_);
}

// Locally administered, and never a virtual camera's 02-00-5E-...
std::array<std::uint8_t, 6> Maker::junkMac()
{
    std::array<std::uint8_t, 6> mac{0x0A, 0x4A, 0x55, 0, 0, 0};
    for (std::size_t i = 3; i < 6; ++i)
        mac[i] = static_cast<std::uint8_t>(between(1, 255));
    return mac;
}

Bytes Maker::next(Kind& kind)
{
    kind = kinds_[below(kinds_.size())];
    Bytes datagram;
    switch (kind) {
    case Kind::random:
        datagram = randomBytes();
        break;
    case Kind::tagged:
        datagram = tagged();
        break;
    case Kind::overlong:
        datagram = overlong();
        break;
    case Kind::acks:
        datagram = ack();
        break;
    case Kind::empty:
        break;
    case Kind::oversize:
        datagram = oversize();
        break;
    }
    if (passesForAnswer(datagram))
        ++answersMade_;
    return datagram;
}

Bytes Maker::randomBytes()
{
    Bytes bytes(below(kMostBytes + 1));
    for (std::uint8_t& b : bytes)
        b = static_cast<std::uint8_t>(below(256));
    // Random bytes all but never start with the respond tag; should they, they count.
    if (passesForAnswer(bytes) && !mayPassForAnswer())
        bytes[0] ^= 0xFF;
    return bytes;
}

Bytes Maker::tagged()
{
    Bytes bytes;
    std::string_view tag;
    std::size_t macAt = 0;
    switch (below(4)) {
    case 0: {
        // A respond packet is 523 to 528 bytes long; shorter ones down to 21 bytes are still
        // taken, which is the point, as long as the cap allows.
        const bool answer = mayPassForAnswer() && below(2) == 0;
        bytes.resize(answer          ? between(21, 522)
                     : below(2) == 0 ? between(1, 20)
                                     : between(kLeastOversize, kMostBytes));
        tag = kRespondTag;
        macAt = protocol::offset::respondMac;
        break;
    }
    case 1:
        bytes.resize(below(2) == 0 ? between(1, 21) : between(23, 300));
        tag = kAckTag;
        macAt = kAckTag.size();
        break;
    case 2:
        bytes.resize(below(2) == 0 ? between(1, 655) : between(657, kMostBytes));
        tag = kParameterTag;
        macAt = protocol::offset::parameterMac;
        break;
    default:
        bytes.resize(below(2) == 0 ? between(1, 17) : between(19, 600));
        tag = kSearchTag;
        macAt = kSearchTag.size();
        break;
    }
    putTag(bytes, tag);
    // Past the tag: a MAC that is nobody's, then noise.
    for (std::size_t i = tag.size(); i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(below(256));
    const auto mac = junkMac();
    for (std::size_t i = 0; i < mac.size() && macAt + i < bytes.size(); ++i)
        bytes[macAt + i] = mac[i];
    return bytes;
}

Bytes Maker::overlong()
{
    // Sent too large to be received once no more answers may pass.
    Bytes bytes(mayPassForAnswer() ? protocol::kRecordSize : between(kLeastOversize, kMostBytes));
    for (std::uint8_t& b : bytes)
        b = static_cast<std::uint8_t>(between(1, 255)); // no terminator anywhere
    putTag(bytes, kRespondTag);
    const auto mac = junkMac();
    std::copy(mac.begin(), mac.end(), bytes.begin() + protocol::offset::respondMac);
    // Every counted text's length byte past its area.
    for (const settings::CameraField& field : settings::cameraFields())
        if (field.kind == settings::FieldKind::text)
            bytes[field.answerAt] = static_cast<std::uint8_t>(between(96, 254));
    return bytes;
}

Bytes Maker::ack()
{
    Bytes bytes(protocol::kAckSize);
    putTag(bytes, kAckTag);
    const auto mac = junkMac();
    std::copy(mac.begin(), mac.end(), bytes.begin() + kAckTag.size());
    return bytes;
}

Bytes Maker::oversize()
{
    Bytes bytes(between(kLeastOversize, kMostBytes));
    for (std::uint8_t& b : bytes)
        b = static_cast<std::uint8_t>(below(256));
    // Half of them start like a camera's answer, which only a cut receive would ever see.
    if (below(2) == 0)
        putTag(bytes, kRespondTag);
    return bytes;
}

} // namespace junk
