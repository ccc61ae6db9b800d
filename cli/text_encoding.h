#pragma once

#include <string>

namespace cli {

// For a terminal: a camera's bytes with the control characters it may report (the C0 and C1
// controls and DEL, as the code page reads them) replaced by '?'. Still camera bytes, one per
// character.
std::string printable(const std::string& bytes);

} // namespace cli
