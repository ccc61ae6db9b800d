#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "net/datagram_endpoint.h"
#include "protocol/packets.h"
#include "protocol/ticks.h"

namespace protocol {

inline constexpr std::size_t kTableSlots = 128;
// How long each of a search's three passes listens for answers, in seconds.
inline constexpr std::uint32_t kSearchListenSeconds = 1;
inline constexpr std::int32_t kDiscoveryReceiveBufferSize = 1056;
inline constexpr std::int32_t kDiscoveryReceiveTimeoutMs = 500;

// The discovered cameras: slots 0 to count-1 in discovery order. Slots at and past the count
// keep what an earlier search left there and are never read.
struct CameraTable {
    std::array<CameraRecord, kTableSlots> slots{};
    std::uint8_t count = 0;
};

// Drops what is already queued on the endpoint (see dropQueuedDatagrams: nothing that came before
// the search answers it), then three search passes on port 15500, each listening
// searchListenSeconds; pass 1 fills the table directly, passes 2 and 3 are merged in afterwards
// by MAC. An empty datagram, or one too large for the receive buffer, is passed over (see
// receiveAnswer); every other endpoint exception propagates and ends the search at once, leaving
// the table as it was at that moment. Returns whether a camera the full table could not hold
// answered (a MAC not in the table), so that the window can say its list is not the whole site.
bool discoverCameras(net::DatagramEndpoint& endpoint, CameraTable& table,
                     std::uint32_t searchListenSeconds, const TickSource& ticks = systemTicks);

// The most cameras the command line's search lists: far more than any site has, and still only
// about 35 MB of records when a flood of made-up answers with ever new MACs reaches it.
inline constexpr std::size_t kMostCameras = 65536;

struct AllCameras {
    std::vector<CameraRecord> cameras;
    // A camera past the first `most` answered and is not listed.
    bool moreAnswered = false;
};

// For the command line, where a site may have more cameras than the window's table holds: the
// same dropping and three passes as discoverCameras (all three always run), but every camera that
// answers is kept, once per MAC with its first answer, in the order first heard: pass 1's, then
// those new in pass 2, then in pass 3; at most `most` of them. Exceptions as in discoverCameras,
// with nothing returned.
AllCameras discoverAllCameras(net::DatagramEndpoint& endpoint, std::uint32_t searchListenSeconds,
                              const TickSource& ticks = systemTicks,
                              std::size_t most = kMostCameras);

} // namespace protocol
