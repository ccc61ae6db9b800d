#pragma once

#include <string>

#include "protocol/code_page.h"

namespace cli {

// Camera texts are bytes of the cameras' one code page (protocol/code_page.h), turned into
// UTF-8 and back only there. These are the terminal's and the JSON reader's helpers around it.

using protocol::appendUtf8;
using protocol::isValidUtf8;

// For a terminal: a camera's bytes with the control characters it may report (the C0 and C1
// controls and DEL, as the code page reads them) replaced by '?'. Still camera bytes, one per
// character.
std::string printable(const std::string& bytes);

} // namespace cli
