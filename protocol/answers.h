#pragma once

#include <cstdint>

#include "net/datagram_endpoint.h"
#include "protocol/ticks.h"

namespace protocol {

// What receiveAnswer returns for a datagram it passed over.
inline constexpr std::int32_t kPassedOver = -1;

// Before a request goes out, what is queued is read off with time-out 0 and dropped: late
// answers to an earlier exchange, or anyone's datagrams, cannot answer a request not yet sent.
// At most this many, or for about this long, so that a flood cannot hold the request back.
inline constexpr int kMostDropped = 4096;
inline constexpr std::uint32_t kDropLimitMs = 100;

// One receive of an exchange that waits for answers. A datagram that can be no camera's answer
// because it is empty or larger than the room offered is read off and passed over
// (kPassedOver), instead of ending the exchange and losing what it gathered; the room, into which
// a cut datagram may have been written, is zeroed again. Otherwise as endpoint.ReceiveDatagram:
// the datagram's length, or 0 when none came; every other failure propagates.
std::int32_t receiveAnswer(net::DatagramEndpoint& endpoint, std::uint8_t* room, std::int32_t size,
                           std::int32_t timeoutMs);

// Drops the datagrams queued on the endpoint (see kMostDropped), reading them into buffer, which
// is left zeroed.
void dropQueuedDatagrams(net::DatagramEndpoint& endpoint, std::uint8_t* buffer, std::int32_t size,
                         const TickSource& ticks);

} // namespace protocol
