#include "net/address_text.h"

#include <cstdio>

namespace net {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

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

std::optional<Ipv4Bytes> readStrictIpv4(std::string_view text, LeadingZeros leadingZeros)
{
    Ipv4Bytes address{};
    std::size_t pos = 0;
    for (std::size_t part = 0; part < address.size(); ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return std::nullopt;
            ++pos;
        }
        const std::size_t start = pos;
        unsigned value = 0;
        while (pos < text.size() && isDigit(text[pos])) {
            value = value * 10 + static_cast<unsigned>(text[pos] - '0');
            if (value > 255)
                return std::nullopt;
            ++pos;
        }
        if (pos == start ||
            (leadingZeros == LeadingZeros::refused && pos - start > 1 && text[start] == '0'))
            return std::nullopt;
        address[part] = static_cast<std::uint8_t>(value);
    }
    if (pos != text.size())
        return std::nullopt;
    return address;
}

std::optional<MacBytes> readMac(std::string_view text)
{
    MacBytes mac{};
    if (text.size() != 17 || (text[2] != '-' && text[2] != ':'))
        return std::nullopt;
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const std::size_t at = i * 3;
        if (i > 0 && text[at - 1] != text[2])
            return std::nullopt;
        const int high = hexValue(text[at]);
        const int low = hexValue(text[at + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        mac[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return mac;
}

std::uint32_t ipv4Word(const Ipv4Bytes& address)
{
    return std::uint32_t{address[0]} << 24 | std::uint32_t{address[1]} << 16 |
           std::uint32_t{address[2]} << 8 | std::uint32_t{address[3]};
}

Ipv4Bytes ipv4FromWord(std::uint32_t word)
{
    return {static_cast<std::uint8_t>(word >> 24), static_cast<std::uint8_t>(word >> 16),
            static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word)};
}

bool isContiguousMask(const Ipv4Bytes& mask)
{
    const std::uint32_t hostBits = ~ipv4Word(mask);
    return (hostBits & (hostBits + 1)) == 0;
}

bool Ipv4Subnet::holdsHost(const Ipv4Bytes& address) const
{
    const std::uint32_t value = ipv4Word(address);
    const std::uint32_t hostBits = ~ipv4Word(mask);
    const std::uint32_t first = ipv4Word(network) & ~hostBits;
    if ((value & ~hostBits) != first)
        return false;
    if (hostBits <= 1)
        return hostBits == 1;
    return value != first && value != (first | hostBits);
}

std::string Ipv4Subnet::text() const
{
    const std::uint32_t bits = ipv4Word(mask);
    const Ipv4Bytes base = ipv4FromWord(ipv4Word(network) & bits);
    if (!isContiguousMask(mask))
        return formatIpv4(base) + "/" + formatIpv4(mask);
    int prefix = 0;
    while (prefix < 32 && (bits & (0x80000000u >> prefix)) != 0)
        ++prefix;
    return formatIpv4(base) + "/" + std::to_string(prefix);
}

} // namespace net
