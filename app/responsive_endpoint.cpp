#include "app/responsive_endpoint.h"

#include <algorithm>

#include <QCoreApplication>

#include "net/socket_stack.h"

namespace app {

ResponsiveEndpoint::ResponsiveEndpoint(net::DatagramEndpoint& inner, protocol::TickSource ticks)
    : inner_(inner), ticks_(std::move(ticks))
{}

std::int32_t ResponsiveEndpoint::ReceiveDatagram(void* buffer, std::int32_t size,
                                                 std::int32_t timeoutMs)
{
    // A look without waiting, or the endpoint's own time-out, which only the endpoint knows.
    if (timeoutMs >= 0 ? timeoutMs <= kSliceMs : timeoutMs != net::kWaitForever)
        return inner_.ReceiveDatagram(buffer, size, timeoutMs);

    const std::uint32_t start = ticks_();
    for (;;) {
        std::int32_t slice = kSliceMs;
        if (timeoutMs > 0) {
            const std::uint32_t elapsed = ticks_() - start;
            if (elapsed >= static_cast<std::uint32_t>(timeoutMs))
                return 0;
            slice = std::min<std::int32_t>(slice, timeoutMs - static_cast<std::int32_t>(elapsed));
        }
        const std::int32_t received = inner_.ReceiveDatagram(buffer, size, slice);
        if (received > 0)
            return received;
        QCoreApplication::processEvents();
    }
}

} // namespace app
