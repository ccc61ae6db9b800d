#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The one code page of camera texts, used both ways by the window and the command line.
//
// A camera keeps its texts as single-byte characters of the platform's ANSI code page, which on
// the Western Windows systems the cameras were set up from is Windows-1252 (a "€" typed there is
// byte 0x80). The mapping is a bijection of the 256 bytes: 0x00-0x7F and 0xA0-0xFF are the same
// code point, 0x80-0x9F follow Windows-1252's table, and the five bytes Windows-1252 leaves
// unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for U+0081, U+008D, U+008F, U+0090 and U+009D.
// So every byte a camera reports has a character, and a text left alone goes back byte for byte.
namespace protocol {

inline constexpr std::string_view kCodePageName = "Windows-1252";

// The character of a camera byte.
char32_t codePageCharacter(std::uint8_t byte);

// A control character: C0, DEL or C1. Cameras may report them in their texts; none can be typed
// into the window's boxes, and none may reach a terminal raw.
constexpr bool isControlCharacter(char32_t character)
{
    return character < 0x20 || (character >= 0x7F && character < 0xA0);
}

// A camera's bytes with the control characters among them replaced by '?', as the list and
// every text output show them. Still camera bytes, one per character.
std::string printable(const std::string& bytes);

// The camera byte of a character; nothing for a character outside the code page.
std::optional<std::uint8_t> codePageByte(char32_t character);

// A camera's bytes as UTF-8; every byte has its character.
std::string cameraTextToUtf8(std::string_view bytes);

// UTF-8 as camera bytes; nothing when the text is not valid UTF-8 or holds a character outside
// the code page.
std::optional<std::string> utf8ToCameraText(std::string_view text);

// The UTF-8 sequence of a code point, appended to out.
void appendUtf8(std::string& out, char32_t code);

// Whether the text is well-formed UTF-8: no stray or missing continuation bytes, no overlong
// forms, no surrogates, nothing beyond U+10FFFF.
bool isValidUtf8(std::string_view text);

} // namespace protocol
