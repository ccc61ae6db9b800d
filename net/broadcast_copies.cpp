#include "net/broadcast_copies.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>

namespace net {

namespace {

std::uint32_t word(const Ipv4Bytes& bytes)
{
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
           std::uint32_t{bytes[2]} << 8 | std::uint32_t{bytes[3]};
}

} // namespace

std::vector<BroadcastInterface> broadcastCopies(const std::vector<AdapterAddress>& addresses)
{
    // The adapters in index order, each with its first address.
    std::vector<AdapterAddress> ordered = addresses;
    std::stable_sort(
        ordered.begin(), ordered.end(),
        [](const AdapterAddress& a, const AdapterAddress& b) { return a.index < b.index; });
    std::vector<BroadcastInterface> adapters;
    for (const AdapterAddress& entry : ordered) {
        if (adapters.empty() || adapters.back().index != entry.index)
            adapters.push_back({entry.index, entry.address});
    }

    // lan[i]: the position of the first adapter of adapter i's LAN. Every merge relabels to the
    // lower position, so an adapter sends exactly when it is its own LAN's first.
    std::vector<std::size_t> lan(adapters.size());
    for (std::size_t i = 0; i < lan.size(); ++i)
        lan[i] = i;
    const auto join = [&lan](std::size_t a, std::size_t b) {
        const std::size_t keep = std::min(lan[a], lan[b]);
        const std::size_t gone = std::max(lan[a], lan[b]);
        if (keep != gone)
            std::replace(lan.begin(), lan.end(), gone, keep);
    };

    // Subnet (address & mask, mask) -> the position of the first adapter seen holding it.
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::size_t> holders;
    std::size_t position = 0;
    for (const AdapterAddress& entry : ordered) {
        while (adapters[position].index != entry.index)
            ++position;
        const std::uint32_t mask = word(entry.mask);
        const auto [holder, fresh] =
            holders.try_emplace({word(entry.address) & mask, mask}, position);
        if (!fresh)
            join(holder->second, position);
    }

    std::vector<BroadcastInterface> copies;
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        if (lan[i] == i)
            copies.push_back(adapters[i]);
    }
    return copies;
}

} // namespace net
