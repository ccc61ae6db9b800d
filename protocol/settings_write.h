#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

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

// Writing many cameras at once: what became of each packet of a batch.
enum class BatchOutcome {
    acknowledged,      // the camera's acknowledgement came
    noAcknowledgement, // none came within the wait after the last packet
    notSent,           // the batch was cancelled before its turn
};

// How far a batch is, for a progress bar, and a way to stop it before the rest are sent.
struct BatchHooks {
    std::function<void(std::size_t sent, std::size_t acknowledged)> progress;
    std::function<bool()> cancelled; // asked before each send
};

// The pause after each packet of a batch: the cameras on a switch all take every broadcast, and
// a burst of hundreds at once could overrun the small buffers of some.
inline constexpr std::int32_t kBatchSendGapMs = 1;

// Broadcasts every packet on port 15600 one after the other, without waiting for each
// acknowledgement, then waits up to ackWaitSeconds after the last for those still missing, or
// less once every one has come. An acknowledgement is a datagram whose first 22 bytes are
// "MORVAK INFO ACK " and the MAC of a packet of the batch, or datagrams shorter than that which
// come one after the other and end in those 22 bytes together (a camera that sends its
// acknowledgement in two pieces); it counts for every packet with that MAC that has been sent, in
// whatever order it comes and however often. Any other datagram is passed over, as is what was
// queued before the first send. Endpoint exceptions propagate as in writeSettings.
std::vector<BatchOutcome> writeSettingsToMany(net::DatagramEndpoint& endpoint,
                                              const std::vector<ParameterPacket>& packets,
                                              std::int32_t ackWaitSeconds,
                                              const TickSource& ticks = systemTicks,
                                              const BatchHooks& hooks = {});

// The packets of the batch that the datagrams read so far acknowledge, datagram by datagram:
// none when a datagram acknowledges no camera of the batch. Pieces shorter than an
// acknowledgement are joined with the pieces before them.
class AckMatcher {
public:
    explicit AckMatcher(const std::vector<ParameterPacket>& packets);
    std::vector<std::size_t> acknowledged(const std::uint8_t* datagram, std::size_t length);

private:
    std::vector<std::size_t> packetsFor(const std::uint8_t* ack) const;

    std::vector<std::pair<MacBytes, std::size_t>> byMac_; // sorted by MAC
    std::array<std::uint8_t, kAckSize> pieces_{};         // the last bytes of short datagrams
    std::size_t piecesLength_ = 0;
};

} // namespace protocol
