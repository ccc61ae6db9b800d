#include "protocol/ticks.h"

#include <chrono>

namespace protocol {

std::uint32_t systemTicks()
{
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    // Cut to 32 bits on purpose: callers take differences, which survive the wrap.
    return static_cast<std::uint32_t>(ms);
}

} // namespace protocol
