#include "protocol/discovery.h"

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "protocol/answers.h"

namespace protocol {

namespace {

constexpr const char* kBroadcastHost = "255.255.255.255";

// Answers of pass 2 or 3, kept aside until all passes are done.
struct PassCollection {
    std::array<CameraRecord, kTableSlots> entries{};
    std::uint8_t count = 0;
};

void sendSearch(net::DatagramEndpoint& endpoint)
{
    endpoint.setActive(true);
    endpoint.setBroadcastEnabled(true);
    endpoint.setHost(kBroadcastHost);
    endpoint.setPort(kSearchPort);
    auto request = searchRequestBytes();
    endpoint.SendDatagram(request.data(), static_cast<std::int32_t>(request.size()));
}

// Receives for one pass window and hands every camera answer to `keep`. The window is measured
// as an unsigned difference so that a wrap of the tick counter does not cut it short.
template <typename Keep>
void listen(net::DatagramEndpoint& endpoint, std::uint32_t searchListenSeconds,
            const TickSource& ticks, std::uint8_t* buffer, Keep keep)
{
    const std::uint64_t windowMs = std::uint64_t{searchListenSeconds} * 1000;
    const std::uint32_t start = ticks();
    std::uint32_t elapsed = 0;
    do {
        // No wait reaches past the window's end: a wait begun just before it would otherwise
        // hold the search up by up to half a second for answers that belong to the next pass.
        const auto timeoutMs = static_cast<std::int32_t>(
            std::min<std::uint64_t>(kDiscoveryReceiveTimeoutMs, windowMs - elapsed + 1));
        std::int32_t received =
            receiveAnswer(endpoint, buffer, kDiscoveryReceiveBufferSize, timeoutMs);
        if (received > 0) {
            std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(received),
                                                      kDiscoveryReceiveBufferSize);
            if (isRespondPacket(buffer, count))
                keep(buffer, count);
        }
        elapsed = ticks() - start;
    } while (elapsed <= windowMs);
}

void listenInto(net::DatagramEndpoint& endpoint, std::uint32_t searchListenSeconds,
                const TickSource& ticks, std::uint8_t* buffer, PassCollection& pass)
{
    pass.count = 0;
    listen(endpoint, searchListenSeconds, ticks, buffer,
           [&pass](const std::uint8_t* data, std::size_t count) {
               if (pass.count < kTableSlots)
                   storeRespondPacket(data, count, pass.entries[pass.count++]);
           });
}

bool tableHasMac(const CameraTable& table, const MacBytes& mac)
{
    for (std::size_t i = 0; i < table.count; ++i) {
        if (macAddress(table.slots[i]) == mac)
            return true;
    }
    return false;
}

std::uint64_t macKey(const MacBytes& mac)
{
    std::uint64_t key = 0;
    for (std::uint8_t byte : mac)
        key = key << 8 | byte;
    return key;
}

// Returns whether a camera the full table could not hold answered.
bool merge(CameraTable& table, const PassCollection& pass)
{
    bool more = false;
    for (std::size_t i = 0; i < pass.count && !more; ++i) {
        const CameraRecord& entry = pass.entries[i];
        if (tableHasMac(table, macAddress(entry)))
            continue;
        if (table.count < kTableSlots)
            table.slots[table.count++] = entry;
        else
            more = true;
    }
    return more;
}

} // namespace

bool discoverCameras(net::DatagramEndpoint& endpoint, CameraTable& table,
                     std::uint32_t searchListenSeconds, const TickSource& ticks)
{
    std::array<std::uint8_t, kDiscoveryReceiveBufferSize> buffer{};

    // What is queued now (an answer that came after the last Find's final pass had ended, a
    // stale acknowledgement, anyone's datagrams) answers no search of this Find: pass 1 would
    // otherwise list it as a camera heard now. Dropped as Save drops it, within the same bounds.
    endpoint.setActive(true);
    dropQueuedDatagrams(endpoint, buffer.data(), kDiscoveryReceiveBufferSize, ticks);

    sendSearch(endpoint);
    table.count = 0;
    // A camera answering twice in this pass is stored twice: pass 1 does not compare answers,
    // but for telling a camera left out of the full table from one in it.
    bool more = false;
    listen(endpoint, searchListenSeconds, ticks, buffer.data(),
           [&table, &more](const std::uint8_t* data, std::size_t count) {
               if (table.count < kTableSlots) {
                   storeRespondPacket(data, count, table.slots[table.count++]);
               } else if (!more) {
                   CameraRecord left;
                   storeRespondPacket(data, count, left);
                   more = !tableHasMac(table, macAddress(left));
               }
           });
    if (table.count >= kTableSlots)
        return more;

    auto second = std::make_unique<PassCollection>();
    auto third = std::make_unique<PassCollection>();

    sendSearch(endpoint);
    listenInto(endpoint, searchListenSeconds, ticks, buffer.data(), *second);
    sendSearch(endpoint);
    listenInto(endpoint, searchListenSeconds, ticks, buffer.data(), *third);

    more = merge(table, *second);
    return merge(table, *third) || more;
}

AllCameras discoverAllCameras(net::DatagramEndpoint& endpoint, std::uint32_t searchListenSeconds,
                              const TickSource& ticks, std::size_t most)
{
    std::array<std::uint8_t, kDiscoveryReceiveBufferSize> buffer{};
    endpoint.setActive(true);
    dropQueuedDatagrams(endpoint, buffer.data(), kDiscoveryReceiveBufferSize, ticks);

    AllCameras all;
    // A hash rather than a sorted list: a flood of new MACs in random order would otherwise cost
    // a move of the whole list with every one of them.
    std::unordered_set<std::uint64_t> heard;
    for (int pass = 0; pass < 3; ++pass) {
        sendSearch(endpoint);
        listen(endpoint, searchListenSeconds, ticks, buffer.data(),
               [&](const std::uint8_t* data, std::size_t count) {
                   CameraRecord record;
                   storeRespondPacket(data, count, record);
                   const std::uint64_t key = macKey(macAddress(record));
                   if (heard.count(key) != 0)
                       return;
                   if (all.cameras.size() >= most) {
                       all.moreAnswered = true;
                       return;
                   }
                   heard.insert(key);
                   all.cameras.push_back(record);
               });
    }
    return all;
}

} // namespace protocol
