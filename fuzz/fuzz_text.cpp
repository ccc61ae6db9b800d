// The two readings of what the user typed, held against the C library's own scanners.
#include <array>
#include <cctype>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_input.h"
#include "settings/settings_values.h"

using fuzz::check;

namespace {

// sscanf's "%d" has no defined result for a number too large for an int, so the comparison
// with it is only made for texts whose runs of digits are short.
bool shortNumbersOnly(const std::string& text)
{
    std::size_t run = 0;
    for (char c : text) {
        run = std::isdigit(static_cast<unsigned char>(c)) ? run + 1 : 0;
        if (run > 9)
            return false;
    }
    return true;
}

void checkDottedQuad(const std::string& text)
{
    // Two different fillings show every byte the reading writes, whatever its value.
    std::array<protocol::Ipv4Bytes, 2> out{};
    out[0].fill(0xA5);
    out[1].fill(0x5A);
    const int count = settings::readLenientIpv4(text, out[0]);
    check(settings::readLenientIpv4(text, out[1]) == count, "two readings disagree");
    check(count >= 0 && count <= 4, "count outside 0 to 4", count);
    for (std::size_t i = static_cast<std::size_t>(count); i < 4; ++i)
        check(out[0][i] == 0xA5 && out[1][i] == 0x5A, "a byte written for no number",
              static_cast<long long>(i));
    for (int i = 0; i < count; ++i)
        check(out[0][i] == out[1][i], "a number read depends on the old bytes", i);

    if (!shortNumbersOnly(text))
        return;
    int n[4] = {};
    int scanned = std::sscanf(text.c_str(), "%d.%d.%d.%d", &n[0], &n[1], &n[2], &n[3]);
    if (scanned < 0)
        scanned = 0; // the text ended before the first number
    check(count == scanned, "count differs from sscanf's", count);
    for (int i = 0; i < count; ++i)
        check(out[0][i] == static_cast<std::uint8_t>(n[i] & 0xFF), "number differs from sscanf's",
              n[i]);
}

void checkInteger(const std::string& text)
{
    const long long wide = std::strtoll(text.c_str(), nullptr, 10);
    const long long clamped = wide > INT_MAX ? INT_MAX : wide < INT_MIN ? INT_MIN : wide;
    const int value = settings::readInteger(text);
    check(value == clamped, "integer differs from strtoll's", value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkDottedQuad(text);
    checkInteger(text);
    return 0;
}
