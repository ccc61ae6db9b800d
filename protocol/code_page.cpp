#include "protocol/code_page.h"

#include <array>
#include <cstddef>

namespace protocol {

namespace {

// The characters of bytes 0x80-0x9F. The five Windows-1252 leaves unassigned keep their own
// code point (a C1 control), so that the table stays a bijection.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 0x98
};

// The code point of the UTF-8 sequence at pos, moving pos past it; nothing for a malformed,
// overlong or surrogate sequence.
std::optional<char32_t> decodeAt(std::string_view text, std::size_t& pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    int extra = 0;
    char32_t code = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        code = lead & 0x1Fu;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        code = lead & 0x0Fu;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        code = lead & 0x07u;
        least = 0x10000;
    } else {
        return std::nullopt;
    }
    if (pos + static_cast<std::size_t>(extra) >= text.size()) {
        return std::nullopt;
    }
    for (int i = 1; i <= extra; ++i) {
        const unsigned char next = byte(pos + static_cast<std::size_t>(i));
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        code = (code << 6) | (next & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return std::nullopt;
    }
    pos += static_cast<std::size_t>(extra) + 1;
    return code;
}

} // namespace

char32_t codePageCharacter(std::uint8_t byte)
{
    if (byte >= 0x80 && byte < 0xA0) {
        return kHighControls[byte - 0x80u];
    }
    return byte;
}

std::optional<std::uint8_t> codePageByte(char32_t character)
{
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
        return static_cast<std::uint8_t>(character);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == character) {
            return static_cast<std::uint8_t>(0x80 + i);
        }
    }
    return std::nullopt;
}

std::string cameraTextToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        appendUtf8(out, codePageCharacter(static_cast<std::uint8_t>(c)));
    }
    return out;
}

std::optional<std::string> utf8ToCameraText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::optional<char32_t> code = decodeAt(text, pos);
        const std::optional<std::uint8_t> byte = code ? codePageByte(*code) : std::nullopt;
        if (!byte) {
            return std::nullopt;
        }
        out += static_cast<char>(*byte);
    }
    return out;
}

void appendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool isValidUtf8(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (!decodeAt(text, pos)) {
            return false;
        }
    }
    return true;
}

std::string printable(const std::string& bytes)
{
    std::string out = bytes;
    for (char& c : out) {
        if (isControlCharacter(codePageCharacter(static_cast<std::uint8_t>(c)))) {
            c = '?';
        }
    }
    return out;
}

} // namespace protocol
