#include "tools/telviq-cli/text_encoding.h"

#include <cstddef>

namespace cli {

namespace {

// The code point of the UTF-8 sequence at pos, moving pos past it; nothing for a malformed,
// overlong or surrogate sequence.
std::optional<std::uint32_t> decodeAt(const std::string& text, std::size_t& pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    int extra = 0;
    std::uint32_t code = 0;
    std::uint32_t least = 0;
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

void appendUtf8(std::string& out, std::uint32_t code)
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

bool isValidUtf8(const std::string& text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (!decodeAt(text, pos)) {
            return false;
        }
    }
    return true;
}

std::string latin1ToUtf8(const std::string& bytes)
{
    std::string out;
    for (const char c : bytes) {
        appendUtf8(out, static_cast<unsigned char>(c));
    }
    return out;
}

std::optional<std::string> utf8ToLatin1(const std::string& text)
{
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto code = decodeAt(text, pos);
        if (!code || *code > 0xFF) {
            return std::nullopt;
        }
        out += static_cast<char>(*code);
    }
    return out;
}

std::string printable(const std::string& latin1)
{
    std::string out = latin1;
    for (char& c : out) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || (b >= 0x80 && b < 0xA0)) {
            c = '?';
        }
    }
    return out;
}

} // namespace cli
