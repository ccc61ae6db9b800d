#include "hostnet/host_adapter_info.h"

#include <algorithm>
#include <utility>

#include "hostnet/debug_trace.h"

namespace hostnet {
namespace {

bool isOnline(const AdapterEntry& adapter)
{
    // An empty address text is treated like "0.0.0.0": the adapter has no address to offer.
    return adapter.type == kEthernetType && !adapter.ipAddress.empty() &&
           adapter.ipAddress != "0.0.0.0";
}

// Cuts text to at most room bytes without splitting a UTF-8 character, so the edit never shows a
// broken last character.
std::string cutToRoom(std::string text, std::size_t room)
{
    if (text.size() <= room)
        return text;
    std::size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    text.resize(cut);
    return text;
}

std::string macText(const std::vector<std::uint8_t>& address)
{
    // Always six pairs: a shorter hardware address is padded with zero bytes, a longer one cut.
    net::MacBytes bytes{};
    std::copy_n(address.begin(), std::min(address.size(), bytes.size()), bytes.begin());
    return net::formatMac(bytes);
}

} // namespace

bool LoadHostAdapterInfo(HostAdapterInfo& info, AdapterSource& source)
{
    std::vector<AdapterEntry> list;
    if (!source.listAdapters(list)) {
        DebugTrace("listing the adapters failed\n");
        return false;
    }
    if (list.empty()) {
        DebugTrace("listing the adapters: none at all\n");
        return false;
    }

    // Entries of an earlier try are cleared too, so nothing stale stays stored.
    info.adapterCount = 0;
    info.adapters.fill(AdapterEntry{});
    for (AdapterEntry& adapter : list) {
        if (info.adapterCount == kMaxAdapters)
            break;
        if (isOnline(adapter))
            info.adapters[info.adapterCount++] = std::move(adapter);
    }

    // Replaced even when no adapter is on-line, so a retry never shows the previous try's facts.
    info.networkParameters.reset();
    auto parameters = std::make_unique<NetworkParameters>();
    if (source.readNetworkParameters(*parameters))
        info.networkParameters = std::move(parameters);
    else
        DebugTrace("reading the network parameters failed\n");

    return info.adapterCount > 0;
}

PcGroupTexts pcGroupTexts(const HostAdapterInfo& info)
{
    PcGroupTexts texts;
    if (info.networkParameters) {
        const NetworkParameters& parameters = *info.networkParameters;
        texts.hostName =
            cutToRoom(parameters.hostName + "." + parameters.domainName, kHostTextRoom);
        texts.dnsServer = parameters.dnsServer;
    }
    if (info.adapterCount > 0) {
        const AdapterEntry& adapter = info.adapters[0];
        texts.macAddress = macText(adapter.address);
        texts.adapterName = adapter.description;
        texts.ipAddress = adapter.ipAddress;
        texts.subnetMask = adapter.ipMask;
        // Without a default gateway show "0.0.0.0", as other desktop systems report it; an empty
        // edit would look like a fault.
        texts.gateway = adapter.gateway.empty() ? "0.0.0.0" : adapter.gateway;
    }
    return texts;
}

std::vector<AdapterSubnet> adapterSubnets(const HostAdapterInfo& info)
{
    std::vector<AdapterSubnet> subnets;
    for (std::int32_t i = 0; i < info.adapterCount; ++i) {
        const AdapterEntry& adapter = info.adapters[static_cast<std::size_t>(i)];
        // The adapters' texts come from the system in the one form inet_ntop writes.
        const auto address = net::readStrictIpv4(adapter.ipAddress);
        const auto mask = net::readStrictIpv4(adapter.ipMask);
        if (!address || !mask)
            continue;
        AdapterSubnet subnet;
        subnet.adapter = adapter.description;
        subnet.mask = *mask;
        subnet.network = net::ipv4FromWord(net::ipv4Word(*address) & net::ipv4Word(*mask));
        subnet.address = *address;
        subnets.push_back(std::move(subnet));
    }
    return subnets;
}

} // namespace hostnet
