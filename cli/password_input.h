#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace cli {

enum class LineRead {
    line,       // a line, without its end
    endOfInput, // the input ended before a line began
    tooLong,    // longer than `limit` bytes; read to its end and dropped
    failed,     // a read error; errno tells which
};

// One line from `fd` for the password field `name`, without its end: LF, or CR LF as a line
// pasted from Windows ends. When `fd` is a terminal, "NAME: " goes to `prompt` first and what is
// typed is not echoed (the terminal's settings are restored after, also when an interrupt ends
// the program); otherwise nothing is written. A last line without a newline counts. What `line`
// held is wiped first, and it never reallocates, so no copy of the password is left behind in
// freed memory; the caller wipes it (protocol::wipe) once used.
LineRead readPasswordLine(int fd, const std::string& name, std::ostream& prompt, std::string& line,
                          std::size_t limit = 255);

} // namespace cli
