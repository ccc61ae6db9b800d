#include "net/interfaces.h"

#include <algorithm>
#include <cstring>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <string_view>
#include <sys/socket.h>

namespace net {

namespace {

Ipv4Bytes bytesOf(const sockaddr* address)
{
    Ipv4Bytes bytes{};
    std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr, 4);
    return bytes;
}

} // namespace

bool listInterfaces(std::vector<SystemInterface>& out)
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return false;

    std::vector<SystemInterface> found;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_name == nullptr)
            continue;
        const std::string_view label = entry->ifa_name;
        const std::string_view name = label.substr(0, label.find(':'));
        auto it = std::find_if(found.begin(), found.end(),
                               [&](const SystemInterface& facts) { return facts.name == name; });
        if (it == found.end()) {
            found.push_back(SystemInterface{});
            found.back().name = std::string(name);
            it = found.end() - 1;
        }
        SystemInterface& facts = *it;
        facts.flags = entry->ifa_flags;
        if (entry->ifa_addr == nullptr)
            continue;
        if (entry->ifa_addr->sa_family == AF_PACKET) {
            const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
            facts.index = static_cast<unsigned>(link->sll_ifindex);
            facts.hardwareType = link->sll_hatype;
            const std::size_t length =
                std::min<std::size_t>(link->sll_halen, sizeof link->sll_addr);
            facts.hardwareAddress.assign(link->sll_addr, link->sll_addr + length);
        } else if (entry->ifa_addr->sa_family == AF_INET) {
            InterfaceAddress address;
            address.address = bytesOf(entry->ifa_addr);
            if (entry->ifa_netmask != nullptr)
                address.mask = bytesOf(entry->ifa_netmask);
            facts.ipv4.push_back(address);
        }
    }
    ::freeifaddrs(list);

    for (SystemInterface& facts : found) {
        if (facts.index == 0)
            facts.index = ::if_nametoindex(facts.name.c_str());
    }
    out = std::move(found);
    return true;
}

} // namespace net
