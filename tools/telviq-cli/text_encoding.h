#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cli {

// Cameras keep texts as single bytes; this program takes them as ISO 8859-1, so that every byte
// has a character and every character typed in that range has a byte.

void appendUtf8(std::string& out, std::uint32_t code);
bool isValidUtf8(const std::string& text);

std::string latin1ToUtf8(const std::string& bytes);
// Nothing when the text is not UTF-8 or holds a character beyond U+00FF.
std::optional<std::string> utf8ToLatin1(const std::string& text);

// For a terminal: control characters (which a camera may report) shown as '?'.
std::string printable(const std::string& latin1);

} // namespace cli
