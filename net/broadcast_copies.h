#pragma once

#include <vector>

#include "net/socket_stack.h"

namespace net {

// One IPv4 address of an adapter that can broadcast, as the system lists them.
struct AdapterAddress {
    unsigned index = 0; // the adapter's interface index
    Ipv4Bytes address{};
    Ipv4Bytes mask{}; // its subnet mask; 255.255.255.255 when the system gives none
};

// The copies of a limited broadcast: one per distinct IPv4 subnet (address & mask, and the
// mask), sent by the first adapter in index order that holds it, from that adapter's first
// address. Two adapters on one subnet (a docked laptop's cable and Wi-Fi in the same network)
// thus send one copy into their LAN, not two, while adapters on different subnets each get
// theirs, as do adapters reaching different cameras.
//
// An adapter holding several subnets sends one copy, never one per subnet: a limited broadcast
// goes to every station on the adapter's link whatever source address IP_PKTINFO gives it, so a
// second copy from the second subnet's address would reach the same cameras again and each would
// answer twice. For the same reason the subnets of one adapter count as one LAN: adapters linked
// by a shared subnet, directly or through others, send one copy between them, by the first of
// them in index order. With one address per adapter this is exactly the per-subnet rule.
//
// The result is in index order; addresses may come in any order, an adapter's first address
// being the first of its listed.
std::vector<BroadcastInterface> broadcastCopies(const std::vector<AdapterAddress>& addresses);

} // namespace net
