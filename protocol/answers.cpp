#include "protocol/answers.h"

#include <algorithm>

#include "net/error_text.h"
#include "net/exceptions.h"

namespace protocol {

std::int32_t receiveAnswer(net::DatagramEndpoint& endpoint, std::uint8_t* room, std::int32_t size,
                           std::int32_t timeoutMs)
{
    try {
        return endpoint.ReceiveDatagram(room, size, timeoutMs);
    } catch (const net::EIdSocketError& error) {
        if (error.ErrorCode != net::kErrorMessageTooLong)
            throw;
    } catch (const net::EIdUDPReceiveErrorZeroBytes&) {
    }
    std::fill_n(room, std::max<std::int32_t>(size, 0), std::uint8_t{0});
    return kPassedOver;
}

void dropQueuedDatagrams(net::DatagramEndpoint& endpoint, std::uint8_t* buffer, std::int32_t size,
                         const TickSource& ticks)
{
    const std::uint32_t start = ticks();
    int dropped = 0;
    while (dropped < kMostDropped && ticks() - start <= kDropLimitMs) {
        if (receiveAnswer(endpoint, buffer, size, 0) == 0)
            break;
        ++dropped;
    }
    std::fill_n(buffer, std::max<std::int32_t>(size, 0), std::uint8_t{0});
}

} // namespace protocol
