#pragma once

#include <cstdint>

#include "net/datagram_endpoint.h"
#include "protocol/packets.h"
#include "protocol/ticks.h"

namespace protocol {

inline constexpr std::int32_t kAckBufferSize = 256;
inline constexpr std::int32_t kAckReceiveTimeoutMs = 100;

// Broadcasts the packet on port 15600 and gathers answers for up to ackWaitSeconds until 22
// bytes have arrived. True when those first 22 bytes are the expected acknowledgement.
// Datagrams queued before the send are dropped, and empty or oversized ones are passed over
// (see answers.h); every other endpoint exception propagates.
bool writeSettings(net::DatagramEndpoint& endpoint, const ParameterPacket& packet,
                   std::int32_t ackWaitSeconds, const TickSource& ticks = systemTicks);

} // namespace protocol
