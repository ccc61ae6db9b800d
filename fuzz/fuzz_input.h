#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

// Takes the fuzzer's bytes from the front; once they run out every read gives zeros, so a short
// input still makes a complete (if dull) scenario.
class InputReader {
public:
    InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t left() const { return size_ - pos_; }

    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

    std::uint16_t u16()
    {
        std::uint16_t low = byte();
        return static_cast<std::uint16_t>(low | byte() << 8);
    }

    std::uint32_t u32()
    {
        std::uint32_t low = u16();
        return low | std::uint32_t{u16()} << 16;
    }

    // Exactly n bytes, zero-padded past the input's end.
    std::vector<std::uint8_t> bytes(std::size_t n)
    {
        std::vector<std::uint8_t> out(n, 0);
        for (std::size_t i = 0; i < n && pos_ < size_; ++i)
            out[i] = data_[pos_++];
        return out;
    }

    std::vector<std::uint8_t> rest() { return bytes(left()); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A broken property: say which, then stop the way a sanitizer would, so libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* what, long long detail = 0)
{
    std::fprintf(stderr, "property broken: %s (%lld)\n", what, detail);
    std::abort();
}

inline void check(bool holds, const char* what, long long detail = 0)
{
    if (!holds)
        fail(what, detail);
}

} // namespace fuzz
