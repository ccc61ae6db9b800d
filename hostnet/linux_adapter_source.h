#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "hostnet/host_adapter_info.h"

namespace hostnet {

// What the kernel tells about one network interface.
struct InterfaceFacts {
    unsigned index = 0;
    std::string name;
    unsigned short hardwareType = 0; // ARPHRD_* code
    std::vector<std::uint8_t> hardwareAddress;
    bool running = false;  // administratively up and with a carrier
    std::string ipAddress; // first IPv4 address, dotted text; empty when none
    std::string ipMask;
};

// Every interface of this machine, from getifaddrs. False when the kernel refuses the list.
bool readSystemInterfaces(std::vector<InterfaceFacts>& out);

// The adapter type code for a hardware type: kEthernetType for ARPHRD_ETHER (wired, Wi-Fi,
// bridges, veth), 24 loopback, 23 PPP, 131 tunnels, 1 anything else.
int adapterTypeFromHardwareType(unsigned short hardwareType);

// The default gateway of one interface from the text of /proc/net/route, dotted; empty when the
// interface has none. Of several, the one with the lowest metric.
std::string defaultGatewayFromRoutes(std::string_view routeTable, std::string_view interfaceName);

struct ResolverFacts {
    std::string domain;     // "domain", or the first "search" entry; the last such line decides
    std::string nameserver; // first IPv4 "nameserver", dotted; empty when none
};
ResolverFacts parseResolvConf(std::string_view text);

// Whether a dotted IPv4 address is a loopback one (127.0.0.0/8): a resolver on this machine,
// such as systemd-resolved's stub at 127.0.0.53, which no camera could use.
bool isLoopbackAddress(std::string_view dotted);

// The first IPv4 "nameserver" of a resolv.conf text that is not a loopback address, dotted;
// empty when none.
std::string firstRemoteNameserver(std::string_view text);

// Host name up to the first dot; the domain after it, or the resolver's when the name has none.
NetworkParameters splitHostName(std::string_view fullHostName, const ResolverFacts& resolver);

// An interface as an adapter entry. One that is down or without a carrier gets the address
// "0.0.0.0", like an unplugged adapter, so it does not count as on-line.
AdapterEntry adapterFromInterface(const InterfaceFacts& facts, std::string_view routeTable);

// The adapter facts of this machine, in interface index order. Never resolves a name: all comes
// from the kernel and local files.
//
// The DNS server is resolv.conf's first IPv4 nameserver, unless that is a local stub (a loopback
// address, as systemd-resolved's 127.0.0.53): then it is the first server the stub forwards to,
// the first non-loopback IPv4 nameserver of upstreamResolvConfPath (where systemd-resolved lists
// them). Without such a server there, resolv.conf's stands.
class LinuxAdapterSource : public AdapterSource {
public:
    using InterfaceLister = std::function<bool(std::vector<InterfaceFacts>&)>;

    explicit LinuxAdapterSource(
        std::string routeTablePath = "/proc/net/route",
        std::string resolvConfPath = "/etc/resolv.conf",
        std::string upstreamResolvConfPath = "/run/systemd/resolve/resolv.conf",
        InterfaceLister lister = readSystemInterfaces);

    bool listAdapters(std::vector<AdapterEntry>& out) override;
    bool readNetworkParameters(NetworkParameters& out) override;

private:
    std::string routeTablePath_;
    std::string resolvConfPath_;
    std::string upstreamResolvConfPath_;
    InterfaceLister lister_;
};

} // namespace hostnet
