#include "cli/text_encoding.h"

#include <cstdint>

#include "protocol/code_page.h"

namespace cli {

std::string printable(const std::string& bytes)
{
    std::string out = bytes;
    for (char& c : out) {
        const char32_t character = protocol::codePageCharacter(static_cast<std::uint8_t>(c));
        if (character < 0x20 || (character >= 0x7F && character < 0xA0)) {
            c = '?';
        }
    }
    return out;
}

} // namespace cli
