#pragma once

#include <cstdint>
#include <functional>

namespace protocol {

// A 32-bit millisecond tick counter; elapsed time is the difference of two readings.
using TickSource = std::function<std::uint32_t()>;

// The system's monotonic clock in milliseconds, cut to 32 bits.
std::uint32_t systemTicks();

} // namespace protocol
