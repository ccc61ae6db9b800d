#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// IPv4 and MAC addresses as bytes and as the texts people read and type. The program's one
// formatter and one strict reader of each; the window's lenient reading of an edited address is
// settings::readLenientIpv4.
namespace net {

using Ipv4Bytes = std::array<std::uint8_t, 4>; // first number of the dotted text first
using MacBytes = std::array<std::uint8_t, 6>;

// "%u.%u.%u.%u"
std::string formatIpv4(const Ipv4Bytes& address);
// "%02X-%02X-%02X-%02X-%02X-%02X"
std::string formatMac(const MacBytes& mac);

enum class LeadingZeros { refused, allowed };

// Four numbers from 0 to 255 in decimal digits, joined by single full stops, with nothing before,
// between or after them. A leading zero is refused unless allowed: "010" is 10 to some readers
// and 8 to inet_aton and ping, and a script should not get an address that depends on which
// reading it meets.
std::optional<Ipv4Bytes> readStrictIpv4(std::string_view text,
                                        LeadingZeros leadingZeros = LeadingZeros::refused);

// Six pairs of hexadecimal digits in either case, joined all by "-" or all by ":".
std::optional<MacBytes> readMac(std::string_view text);

// The address as one number, first byte highest, and back.
std::uint32_t ipv4Word(const Ipv4Bytes& address);
Ipv4Bytes ipv4FromWord(std::uint32_t word);

// Whether the mask is one run of ones from the top (0.0.0.0 and 255.255.255.255 included).
bool isContiguousMask(const Ipv4Bytes& mask);

// An IPv4 subnet: an address with its mask.
struct Ipv4Subnet {
    Ipv4Bytes network{}; // host bits may be set; only the bits under the mask count
    Ipv4Bytes mask{};

    // Whether a host with this address sits in the subnet. The subnet's own network and
    // broadcast addresses are no host's, except in a 31-bit subnet, whose two addresses are both
    // hosts; a 32-bit subnet holds no host.
    bool holdsHost(const Ipv4Bytes& address) const;
    // "198.51.100.0/24"; a mask that is not one run of ones is written out
    // ("10.0.0.0/255.0.255.0").
    std::string text() const;
};

} // namespace net
