#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/address_text.h"

namespace net {

// One IPv4 address of an interface and its mask.
struct InterfaceAddress {
    Ipv4Bytes address{};
    Ipv4Bytes mask{255, 255, 255, 255}; // when the system gives none
};

// What the kernel tells about one network interface.
struct SystemInterface {
    std::string name; // an address label ("eth0:1") counts as its interface ("eth0")
    unsigned index = 0;
    unsigned flags = 0;              // IFF_*
    unsigned short hardwareType = 0; // ARPHRD_*
    std::vector<std::uint8_t> hardwareAddress;
    std::vector<InterfaceAddress> ipv4; // in the order the system lists them
};

// Every interface of this machine, in the order the system first names them. False when the
// kernel refuses the list.
bool listInterfaces(std::vector<SystemInterface>& out);

} // namespace net
