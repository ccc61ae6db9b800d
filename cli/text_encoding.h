#pragma once

#include <ostream>
#include <streambuf>
#include <string>

#include "protocol/code_page.h"

namespace cli {

using protocol::printable;

// Everything telviq-cli writes leaves through this, whatever the text came from (a camera, a
// settings file, an argument): while it stands, what is written to `stream` reaches it as UTF-8
// with every control character shown as '?', as `printable` shows a camera's, and so does each
// byte that begins no UTF-8 character. Only the line ends pass: LF, and CR LF as CSV ends its
// records. Its end passes the stream's state on, a failed write included.
class PrintableOutput : public std::streambuf {
public:
    explicit PrintableOutput(std::ostream& stream);
    ~PrintableOutput() override;

    PrintableOutput(const PrintableOutput&) = delete;
    PrintableOutput& operator=(const PrintableOutput&) = delete;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    void take(unsigned char c);
    void pass(const char* bytes, std::size_t count);
    // What is held back: a UTF-8 character still short of bytes, or a CR before its LF.
    void passHeldAsUnprintable();

    std::ostream& stream_;
    std::streambuf* const target_;
    char held_[4] = {};
    std::size_t heldCount_ = 0;
    std::size_t heldLength_ = 0; // of the UTF-8 character begun in held_; 1 for a CR
    bool failed_ = false;
};

} // namespace cli
