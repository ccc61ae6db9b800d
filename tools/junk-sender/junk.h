#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace junk {

using Bytes = std::vector<std::uint8_t>;

enum class Kind {
    random,   // random bytes, 0 to 2000 of them
    tagged,   // a camera datagram's tag at a length that datagram never has
    overlong, // respond packets whose text length bytes reach past their areas
    acks,     // acknowledgements for MACs no camera has
    empty,    // zero bytes
    oversize, // more bytes than any receive of the utility takes
};

inline constexpr std::size_t kKindCount = 6;
inline constexpr std::size_t kMostBytes = 2000;
// Larger than the biggest buffer the utility receives into.
inline constexpr std::size_t kLeastOversize = 1057;

const char* nameOf(Kind kind);
std::optional<Kind> kindNamed(std::string_view name);
// "random,empty" and the like; nothing when a name is unknown or the list is empty.
std::optional<std::vector<Kind>> parseKinds(std::string_view list);

// Whether the utility would list the datagram as a camera: a respond tag, more than 20 bytes,
// and no more than its receive buffer holds.
bool passesForAnswer(const Bytes& datagram);

// The answer to a parameter packet that names another camera: the acknowledgement for its MAC
// with the last byte changed. Empty when the datagram is no parameter packet.
Bytes ackForAnotherMac(const std::uint8_t* data, std::size_t count);

// Junk may go to loopback and to the two documentation networks the tests use, nowhere else.
bool mayTarget(const std::array<std::uint8_t, 4>& address);

// Makes datagrams of the given kinds, each chosen at random. At most mostAnswers of them in all
// pass for a camera's answer (negative: no limit), so that a test knows how many rows junk can
// add to the camera list at most; past that, tagged junk keeps to lengths no Find accepts and
// overlong packets are sent too large to be received.
class Maker {
public:
    Maker(std::vector<Kind> kinds, std::uint32_t seed, long mostAnswers = -1);

    Bytes next(Kind& kind);
    long answersMade() const { return answersMade_; }

private:
    std::size_t below(std::size_t n); // 0 to n-1
    std::size_t between(std::size_t low, std::size_t high);
    std::array<std::uint8_t, 6> junkMac();
    bool mayPassForAnswer() const { return mostAnswers_ < 0 || answersMade_ < mostAnswers_; }

    Bytes randomBytes();
    Bytes tagged();
    Bytes overlong();
    Bytes ack();
    Bytes oversize();

    std::vector<Kind> kinds_;
    std::mt19937 random_;
    long mostAnswers_;
    long answersMade_ = 0;
};

} // namespace junk
