#pragma once

#include <cstdint>

#include "net/datagram_endpoint.h"
#include "protocol/packets.h"
#include "protocol/ticks.h"

namespace protocol {

// The longest wait for a camera's acknowledgement, in seconds.
inline constexpr std::int32_t kAckWaitSeconds = 10;
inline constexpr std::int32_t kAckBufferSize = 256;
inline constexpr std::int32_t kAckReceiveTimeoutMs = 100;

enum class WriteOutcome {
    acknowledged, // the first 22 bytes were the camera's acknowledgement
    otherAnswer,  // something else came first (another camera's, anyone's bytes)
    noAnswer,     // nothing came within the wait
};

// Broadcasts the packet on port 15600 and gathers answers for up to ackWaitSeconds until 22
// bytes have arrived; acknowledged when those first 22 bytes are the expected acknowledgement.
// Datagrams queued before the send are dropped, and empty or oversized ones are passed over
// (see answers.h); every other endpoint exception propagates.
WriteOutcome writeSettings(net::DatagramEndpoint& endpoint, const ParameterPacket& packet,
                           std::int32_t ackWaitSeconds, const TickSource& ticks = systemTicks);

} // namespace protocol
