#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/address_text.h"

namespace hostnet {

inline constexpr int kEthernetType = 6;
inline constexpr int kMaxAdapters = 4;
// Characters the host edit can show; pcGroupTexts cuts a longer host text to this.
inline constexpr std::size_t kHostTextRoom = 31;

// The facts of one adapter that the program uses.
struct AdapterEntry {
    int type = 0;                      // kEthernetType for Ethernet-like adapters
    std::string description;           // up to 131 characters
    std::vector<std::uint8_t> address; // hardware address, any length
    std::string ipAddress;             // first IPv4 address, dotted text ("0.0.0.0" when none)
    std::string ipMask;                // its mask, dotted text
    std::string gateway;               // first default gateway, dotted text; empty when none
};

struct NetworkParameters {
    std::string hostName;
    std::string domainName;
    std::string dnsServer; // first DNS server, dotted text
};

// Where the facts come from: the real machine (linux_adapter_source.h) or a test's own lists.
class AdapterSource {
public:
    virtual ~AdapterSource() = default;
    // Every adapter in a stable platform order; false when the list cannot be read.
    virtual bool listAdapters(std::vector<AdapterEntry>& out) = 0;
    // Host name, domain name and first DNS server; false when they cannot be read.
    virtual bool readNetworkParameters(NetworkParameters& out) = 0;
};

struct HostAdapterInfo {
    std::array<AdapterEntry, kMaxAdapters> adapters{};
    std::int32_t adapterCount = 0;
    std::unique_ptr<NetworkParameters> networkParameters;
};

// Refills info from the source: the first four on-line adapters (Ethernet with an address other
// than 0.0.0.0) and the network parameters. True when at least one adapter is on-line.
bool LoadHostAdapterInfo(HostAdapterInfo& info, AdapterSource& source);

// The seven texts of the PC group, from the first adapter and the network parameters. Texts whose
// source is missing (no adapter stored, no network parameters) are empty; an adapter without a
// gateway shows "0.0.0.0".
struct PcGroupTexts {
    std::string hostName;
    std::string macAddress;
    std::string adapterName;
    std::string ipAddress;
    std::string subnetMask;
    std::string gateway;
    std::string dnsServer;
};
PcGroupTexts pcGroupTexts(const HostAdapterInfo& info);

// The IPv4 subnet of one stored on-line adapter: its address with the host bits cleared, and its
// mask; and the adapter's own address in it.
struct AdapterSubnet : net::Ipv4Subnet {
    std::string adapter; // the adapter's description
    net::Ipv4Bytes address{};
};

// The subnets of the stored adapters, in their order; an adapter whose address or mask is no
// dotted address is left out.
std::vector<AdapterSubnet> adapterSubnets(const HostAdapterInfo& info);

} // namespace hostnet
