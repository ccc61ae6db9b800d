#include "cli/text_encoding.h"

#include <cstdint>

#include "protocol/code_page.h"

namespace cli {

PrintableOutput::PrintableOutput(std::ostream& stream) : stream_(stream), target_(stream.rdbuf())
{
    stream.rdbuf(this);
}

PrintableOutput::~PrintableOutput()
{
    if (heldCount_ > 0) {
        passHeldAsUnprintable();
    }
    sync();
    const std::ios_base::iostate state = stream_.rdstate();
    stream_.rdbuf(target_);
    stream_.setstate(state);
}

PrintableOutput::int_type PrintableOutput::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    take(static_cast<unsigned char>(traits_type::to_char_type(c)));
    return failed_ ? traits_type::eof() : c;
}

std::streamsize PrintableOutput::xsputn(const char* text, std::streamsize count)
{
    std::streamsize taken = 0;
    for (; taken < count && !failed_; ++taken) {
        take(static_cast<unsigned char>(text[taken]));
    }
    return failed_ ? 0 : taken;
}

int PrintableOutput::sync()
{
    return !failed_ && target_->pubsync() == 0 ? 0 : -1;
}

void PrintableOutput::pass(const char* bytes, std::size_t count)
{
    if (target_->sputn(bytes, static_cast<std::streamsize>(count)) !=
        static_cast<std::streamsize>(count)) {
        failed_ = true;
    }
}

void PrintableOutput::passHeldAsUnprintable()
{
    heldCount_ = 0;
    pass("?", 1);
}

void PrintableOutput::take(unsigned char c)
{
    if (heldCount_ > 0 && held_[0] == '\r') {
        heldCount_ = 0;
        pass(c == '\n' ? "\r" : "?", 1);
    } else if (heldCount_ > 0) {
        if (c >= 0x80 && c < 0xC0) {
            held_[heldCount_++] = static_cast<char>(c);
            if (heldCount_ == heldLength_) {
                // U+0080 to U+009F, the C1 controls, are 0xC2 0x80 to 0xC2 0x9F.
                const bool c1 = static_cast<unsigned char>(held_[0]) == 0xC2 && c < 0xA0;
                pass(c1 ? "?" : held_, c1 ? 1 : heldCount_);
                heldCount_ = 0;
            }
            return;
        }
        passHeldAsUnprintable();
    }
    if (c == '\n' || (c >= 0x20 && c < 0x7F)) {
        const char byte = static_cast<char>(c);
        pass(&byte, 1);
    } else if (c == '\r' || (c >= 0xC2 && c <= 0xF4)) {
        held_[0] = static_cast<char>(c);
        heldCount_ = 1;
        heldLength_ = c == '\r' ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    } else {
        pass("?", 1);
    }
}

} // namespace cli
