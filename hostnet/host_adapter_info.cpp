#include "hostnet/host_adapter_info.h"

#include <cstdio>
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
    std::uint8_t bytes[6] = {};
    for (std::size_t i = 0; i < 6 && i < address.size(); ++i)
        bytes[i] = address[i];
    char text[18];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", bytes[0], bytes[1], bytes[2],
                  bytes[3], bytes[4], bytes[5]);
    return text;
}

std::uint32_t toNumber(const Ipv4Address& address)
{
    return std::uint32_t{address[0]} << 24 | std::uint32_t{address[1]} << 16 |
           std::uint32_t{address[2]} << 8 | address[3];
}

std::string dotted(const Ipv4Address& address)
{
    return std::to_string(address[0]) + "." + std::to_string(address[1]) + "." +
           std::to_string(address[2]) + "." + std::to_string(address[3]);
}

// The adapters' texts come from the system in the one form inet_ntop writes.
bool readDotted(const std::string& text, Ipv4Address& out)
{
    unsigned parts[4];
    char end;
    if (std::sscanf(text.c_str(), "%3u.%3u.%3u.%3u%c", &parts[0], &parts[1], &parts[2], &parts[3],
                    &end) != 4)
        return false;
    for (std::size_t i = 0; i < 4; ++i) {
        if (parts[i] > 255)
            return false;
        out[i] = static_cast<std::uint8_t>(parts[i]);
    }
    return true;
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

bool AdapterSubnet::holdsHost(const Ipv4Address& address) const
{
    const std::uint32_t value = toNumber(address);
    const std::uint32_t hostBits = ~toNumber(mask);
    const std::uint32_t first = toNumber(network) & ~hostBits;
    if ((value & ~hostBits) != first)
        return false;
    if (hostBits <= 1)
        return hostBits == 1;
    return value != first && value != (first | hostBits);
}

std::string AdapterSubnet::text() const
{
    const std::uint32_t bits = toNumber(mask);
    int prefix = 0;
    while (prefix < 32 && (bits & (0x80000000u >> prefix)) != 0)
        ++prefix;
    const bool oneRun = prefix == 32 || (bits << prefix) == 0;
    return dotted(network) + "/" + (oneRun ? std::to_string(prefix) : dotted(mask));
}

std::vector<AdapterSubnet> adapterSubnets(const HostAdapterInfo& info)
{
    std::vector<AdapterSubnet> subnets;
    for (std::int32_t i = 0; i < info.adapterCount; ++i) {
        const AdapterEntry& adapter = info.adapters[static_cast<std::size_t>(i)];
        AdapterSubnet subnet;
        Ipv4Address address;
        if (!readDotted(adapter.ipAddress, address) || !readDotted(adapter.ipMask, subnet.mask))
            continue;
        subnet.adapter = adapter.description;
        for (std::size_t k = 0; k < 4; ++k)
            subnet.network[k] = address[k] & subnet.mask[k];
        subnets.push_back(std::move(subnet));
    }
    return subnets;
}

} // namespace hostnet
