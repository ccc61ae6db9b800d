#include "hostnet/linux_adapter_source.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <net/if.h>
#include <net/if_arp.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

#include "net/address_text.h"
#include "net/interfaces.h"

namespace hostnet {
namespace {

// The longest description, host name or domain name the adapter record holds.
constexpr std::size_t kTextLimit = 131;

std::string readWholeFile(const std::string& path)
{
    // Files under /proc report no size, so read to the end rather than by size.
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

template <typename Visit> void forEachLine(std::string_view text, Visit visit)
{
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        visit(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
}

std::vector<std::string_view> splitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    constexpr std::string_view blanks = " \t\r";
    std::size_t start = line.find_first_not_of(blanks);
    while (start != std::string_view::npos) {
        const std::size_t end = line.find_first_of(blanks, start);
        fields.push_back(line.substr(start, end - start));
        start = end == std::string_view::npos ? end : line.find_first_not_of(blanks, end);
    }
    return fields;
}

template <typename Number> bool parseNumber(std::string_view text, Number& value, int base)
{
    const char* last = text.data() + text.size();
    const auto result = std::from_chars(text.data(), last, value, base);
    return !text.empty() && result.ec == std::errc{} && result.ptr == last;
}

std::string limited(std::string_view text)
{
    return std::string(text.substr(0, kTextLimit));
}

} // namespace

bool readSystemInterfaces(std::vector<InterfaceFacts>& out)
{
    std::vector<net::SystemInterface> interfaces;
    if (!net::listInterfaces(interfaces))
        return false;
    out.clear();
    for (const net::SystemInterface& system : interfaces) {
        InterfaceFacts facts;
        facts.index = system.index;
        facts.name = system.name;
        facts.hardwareType = system.hardwareType;
        facts.hardwareAddress = system.hardwareAddress;
        facts.running = (system.flags & IFF_UP) != 0 && (system.flags & IFF_RUNNING) != 0;
        if (!system.ipv4.empty()) {
            facts.ipAddress = net::formatIpv4(system.ipv4.front().address);
            facts.ipMask = net::formatIpv4(system.ipv4.front().mask);
        }
        out.push_back(std::move(facts));
    }
    return true;
}

int adapterTypeFromHardwareType(unsigned short hardwareType)
{
    switch (hardwareType) {
    case ARPHRD_ETHER:
        return kEthernetType;
    case ARPHRD_LOOPBACK:
        return 24;
    case ARPHRD_PPP:
        return 23;
    case ARPHRD_TUNNEL:
    case ARPHRD_TUNNEL6:
    case ARPHRD_SIT:
    case ARPHRD_IPGRE:
    case ARPHRD_NONE: // tun devices
        return 131;
    default:
        return 1;
    }
}

std::string defaultGatewayFromRoutes(std::string_view routeTable, std::string_view interfaceName)
{
    // Columns: Iface Destination Gateway Flags RefCnt Use Metric Mask ...; addresses are the
    // kernel's in-memory words in hexadecimal, so they go back into an in_addr unchanged.
    std::uint32_t bestGateway = 0;
    unsigned long bestMetric = std::numeric_limits<unsigned long>::max();
    bool found = false;
    forEachLine(routeTable, [&](std::string_view line) {
        const auto fields = splitFields(line);
        if (fields.size() < 8 || fields[0] != interfaceName)
            return;
        std::uint32_t destination = 0, gateway = 0, flags = 0, mask = 0;
        unsigned long metric = 0;
        if (!parseNumber(fields[1], destination, 16) || !parseNumber(fields[2], gateway, 16) ||
            !parseNumber(fields[3], flags, 16) || !parseNumber(fields[6], metric, 10) ||
            !parseNumber(fields[7], mask, 16))
            return;
        const bool isDefault = destination == 0 && mask == 0 && gateway != 0 &&
                               (flags & RTF_UP) != 0 && (flags & RTF_GATEWAY) != 0;
        if (isDefault && (!found || metric < bestMetric)) {
            bestGateway = gateway;
            bestMetric = metric;
            found = true;
        }
    });
    if (!found)
        return {};
    // The table writes the address as the machine holds it in memory, in network byte order.
    net::Ipv4Bytes address{};
    std::memcpy(address.data(), &bestGateway, address.size());
    return net::formatIpv4(address);
}

ResolverFacts parseResolvConf(std::string_view text)
{
    ResolverFacts facts;
    forEachLine(text, [&](std::string_view line) {
        if (!line.empty() && (line.front() == '#' || line.front() == ';'))
            return;
        const auto fields = splitFields(line);
        if (fields.size() < 2)
            return;
        if (fields[0] == "domain" || fields[0] == "search") {
            facts.domain = std::string(fields[1]);
        } else if (fields[0] == "nameserver" && facts.nameserver.empty()) {
            // Strict dotted quads only: IPv6 servers are skipped, and a short form such as
            // "1.2.3" is refused rather than read as some other address.
            if (const auto address = net::readStrictIpv4(fields[1]))
                facts.nameserver = net::formatIpv4(*address);
        }
    });
    return facts;
}

bool isLoopbackAddress(std::string_view dotted)
{
    const auto address = net::readStrictIpv4(dotted);
    return address && (*address)[0] == 127;
}

std::string firstRemoteNameserver(std::string_view text)
{
    std::string found;
    forEachLine(text, [&](std::string_view line) {
        if (!found.empty() || line.empty() || line.front() == '#' || line.front() == ';')
            return;
        const auto fields = splitFields(line);
        if (fields.size() < 2 || fields[0] != "nameserver")
            return;
        const auto address = net::readStrictIpv4(fields[1]);
        if (address && (*address)[0] != 127)
            found = net::formatIpv4(*address);
    });
    return found;
}

NetworkParameters splitHostName(std::string_view fullHostName, const ResolverFacts& resolver)
{
    NetworkParameters parameters;
    const std::size_t dot = fullHostName.find('.');
    parameters.hostName = limited(fullHostName.substr(0, dot));
    if (dot != std::string_view::npos)
        parameters.domainName = limited(fullHostName.substr(dot + 1));
    if (parameters.domainName.empty())
        parameters.domainName = limited(resolver.domain);
    parameters.dnsServer = resolver.nameserver;
    return parameters;
}

AdapterEntry adapterFromInterface(const InterfaceFacts& facts, std::string_view routeTable)
{
    AdapterEntry adapter;
    adapter.type = adapterTypeFromHardwareType(facts.hardwareType);
    adapter.description = limited(facts.name);
    adapter.address = facts.hardwareAddress;
    if (facts.running && !facts.ipAddress.empty()) {
        adapter.ipAddress = facts.ipAddress;
        adapter.ipMask = facts.ipMask.empty() ? "0.0.0.0" : facts.ipMask;
    } else {
        adapter.ipAddress = "0.0.0.0";
        adapter.ipMask = "0.0.0.0";
    }
    adapter.gateway = defaultGatewayFromRoutes(routeTable, facts.name);
    return adapter;
}

LinuxAdapterSource::LinuxAdapterSource(std::string routeTablePath, std::string resolvConfPath,
                                       std::string upstreamResolvConfPath, InterfaceLister lister)
    : routeTablePath_(std::move(routeTablePath)), resolvConfPath_(std::move(resolvConfPath)),
      upstreamResolvConfPath_(std::move(upstreamResolvConfPath)), lister_(std::move(lister))
{}

bool LinuxAdapterSource::listAdapters(std::vector<AdapterEntry>& out)
{
    std::vector<InterfaceFacts> interfaces;
    if (!lister_ || !lister_(interfaces))
        return false;
    std::stable_sort(
        interfaces.begin(), interfaces.end(),
        [](const InterfaceFacts& a, const InterfaceFacts& b) { return a.index < b.index; });
    // A missing route table only means no gateways are known.
    const std::string routeTable = readWholeFile(routeTablePath_);
    out.clear();
    for (const InterfaceFacts& facts : interfaces)
        out.push_back(adapterFromInterface(facts, routeTable));
    return true;
}

bool LinuxAdapterSource::readNetworkParameters(NetworkParameters& out)
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return false;
    // Without resolv.conf there is simply no DNS server and no resolver domain.
    ResolverFacts resolver = parseResolvConf(readWholeFile(resolvConfPath_));
    // A local stub is no server a camera could use: show what it forwards to, when known.
    if (isLoopbackAddress(resolver.nameserver)) {
        std::string upstream = firstRemoteNameserver(readWholeFile(upstreamResolvConfPath_));
        if (!upstream.empty())
            resolver.nameserver = std::move(upstream);
    }
    out = splitHostName(name, resolver);
    return true;
}

} // namespace hostnet
