#include <climits>
#include <gtest/gtest.h>
#include <string>

#include "settings/settings_values.h"

namespace {

using settings::readInteger;
using settings::readLenientIpv4;

TEST(ReadDottedQuad, ScansLikeFormattedInput)
{
    struct Case {
        std::string text;
        int count;
        protocol::Ipv4Bytes bytes; // only the first `count` are compared
    };
    const Case cases[] = {
        {"192.168.1.20", 4, {192, 168, 1, 20}},
        {"192.168.1.300", 4, {192, 168, 1, 44}},
        {"-1.0.0.0", 4, {255, 0, 0, 0}},
        {"+5.-0.7.8", 4, {5, 0, 7, 8}},
        {"10.0.0.1.7", 4, {10, 0, 0, 1}},
        {"10.0.0.1abc", 4, {10, 0, 0, 1}},
        {"10. 0. 0. 1", 4, {10, 0, 0, 1}},
        {" \t10.\n0.\v0.\f1\r", 4, {10, 0, 0, 1}},
        {"10.0.0", 3, {10, 0, 0}},
        {"10.1", 2, {10, 1}},
        {"10 .0.0.1", 1, {10}},
        {"10.+.0.1", 1, {10}},
        {"10..0.1", 1, {10}},
        {"10,0,0,1", 1, {10}},
        {"", 0, {}},
        {"   ", 0, {}},
        {"-", 0, {}},
        {"host.example", 0, {}},
        // 10^29 + 300: its value modulo 2^32 still ends in the byte of the whole number.
        {"100000000000000000000000000300.1.2.3", 4, {0x2C, 1, 2, 3}},
        {"-100000000000000000000000000001.1.2.3", 4, {0xFF, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.text + "\"");
        protocol::Ipv4Bytes out{};
        ASSERT_EQ(readLenientIpv4(c.text, out), c.count);
        for (int i = 0; i < c.count; ++i) {
            EXPECT_EQ(out[i], c.bytes[i]) << "number " << i;
        }
    }
}

TEST(ReadInteger, TakesSignAndDigitsAfterBlanks)
{
    struct Case {
        std::string text;
        int value;
    };
    const Case cases[] = {
        {"7", 7},
        {"7abc", 7},
        {"", 0},
        {"+", 0},
        {"  -3", -3},
        {"\t+12", 12},
        {"- 3", 0},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
        {"2147483648", INT_MAX},
        {"000000000000000000000059", 59},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.text + "\"");
        EXPECT_EQ(readInteger(c.text), c.value);
    }
}

} // namespace
