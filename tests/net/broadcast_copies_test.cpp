#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "net/broadcast_copies.h"

// Which adapters a limited broadcast leaves by: one copy per IPv4 subnet, by the first adapter in
// index order that holds it; never two by one adapter.

using namespace net;

namespace {

// "index address/prefix", as `ip -brief addr` would put it.
AdapterAddress entry(unsigned index, const std::string& address, int prefix)
{
    AdapterAddress a;
    a.index = index;
    a.address = SocketStack::textToAddress(address);
    const std::uint32_t mask = prefix == 0 ? 0 : ~std::uint32_t{0} << (32 - prefix);
    a.mask = {static_cast<std::uint8_t>(mask >> 24), static_cast<std::uint8_t>(mask >> 16),
              static_cast<std::uint8_t>(mask >> 8), static_cast<std::uint8_t>(mask)};
    return a;
}

// The copies as "index address" lines.
std::vector<std::string> copies(const std::vector<AdapterAddress>& addresses)
{
    std::vector<std::string> lines;
    for (const BroadcastInterface& via : broadcastCopies(addresses))
        lines.push_back(std::to_string(via.index) + " " + formatIpv4(via.address));
    return lines;
}

using Lines = std::vector<std::string>;

} // namespace

TEST(BroadcastCopies, OneCopyPerSubnetByTheFirstAdapterHoldingIt)
{
    EXPECT_EQ(copies({}), Lines{});
    EXPECT_EQ(copies({entry(2, "192.168.1.10", 24)}), Lines{"2 192.168.1.10"});

    // A docked laptop: cable (index 3) and Wi-Fi (index 5) in one network. Listed in any order,
    // the lower index sends.
    EXPECT_EQ(copies({entry(3, "203.0.113.1", 24), entry(5, "203.0.113.3", 24)}),
              Lines{"3 203.0.113.1"});
    EXPECT_EQ(copies({entry(5, "203.0.113.3", 24), entry(3, "203.0.113.1", 24)}),
              Lines{"3 203.0.113.1"});

    // Different subnets, each behind its own adapter: every one gets its copy, in index order.
    EXPECT_EQ(copies({entry(4, "198.51.100.1", 24), entry(2, "203.0.113.1", 24),
                      entry(7, "203.0.113.77", 24), entry(9, "10.0.0.1", 8)}),
              (Lines{"2 203.0.113.1", "4 198.51.100.1", "9 10.0.0.1"}));

    // One network address, another mask: another subnet.
    EXPECT_EQ(copies({entry(2, "10.0.0.1", 24), entry(3, "10.0.0.2", 16)}),
              (Lines{"2 10.0.0.1", "3 10.0.0.2"}));
    EXPECT_EQ(copies({entry(2, "10.0.0.1", 16), entry(3, "10.0.200.9", 16)}), Lines{"2 10.0.0.1"});
}

TEST(BroadcastCopies, AddressesOnASubnetsEdge)
{
    // The last address of one /24 and the first of the next are two subnets ...
    EXPECT_EQ(copies({entry(2, "192.0.2.255", 24), entry(3, "192.0.3.0", 24)}),
              (Lines{"2 192.0.2.255", "3 192.0.3.0"}));
    // ... but one /23.
    EXPECT_EQ(copies({entry(2, "192.0.2.255", 23), entry(3, "192.0.3.0", 23)}),
              Lines{"2 192.0.2.255"});
    // The network and broadcast addresses of one /24 are in it.
    EXPECT_EQ(copies({entry(2, "192.0.2.0", 24), entry(3, "192.0.2.255", 24)}),
              Lines{"2 192.0.2.0"});
    // A /31 holds two addresses, a /32 one.
    EXPECT_EQ(copies({entry(2, "192.0.2.4", 31), entry(3, "192.0.2.5", 31)}), Lines{"2 192.0.2.4"});
    EXPECT_EQ(copies({entry(2, "192.0.2.4", 32), entry(3, "192.0.2.5", 32)}),
              (Lines{"2 192.0.2.4", "3 192.0.2.5"}));
    // A /0 holds everything.
    EXPECT_EQ(copies({entry(2, "192.0.2.4", 0), entry(3, "198.51.100.1", 0)}),
              Lines{"2 192.0.2.4"});
}

// A limited broadcast reaches every station on the adapter's link whatever source address it
// carries, so a second copy from a second subnet's address would make every camera there answer
// twice: an adapter sends one copy, from its first address, and the subnets it holds count as one
// LAN.
TEST(BroadcastCopies, AnAdapterWithSeveralSubnetsSendsOneCopy)
{
    EXPECT_EQ(copies({entry(2, "10.1.0.5", 24), entry(2, "172.16.0.5", 24)}), Lines{"2 10.1.0.5"});
    // Its first address is the first listed, also when other adapters' come in between.
    EXPECT_EQ(copies({entry(2, "172.16.0.5", 24), entry(6, "198.51.100.1", 24),
                      entry(2, "10.1.0.5", 24)}),
              (Lines{"2 172.16.0.5", "6 198.51.100.1"}));

    // A later adapter sharing either subnet is on the same LAN: no copy of its own.
    EXPECT_EQ(
        copies({entry(2, "10.1.0.5", 24), entry(2, "172.16.0.5", 24), entry(4, "172.16.0.9", 24)}),
        Lines{"2 10.1.0.5"});
    // An earlier one sends for both.
    EXPECT_EQ(
        copies({entry(2, "10.1.0.5", 24), entry(2, "172.16.0.5", 24), entry(1, "172.16.0.7", 24)}),
        Lines{"1 172.16.0.7"});
    // An adapter joining two others' subnets makes them one LAN, one copy; a fourth adapter on a
    // subnet of its own still gets its copy.
    EXPECT_EQ(
        copies({entry(1, "10.1.0.1", 24), entry(2, "172.16.0.1", 24), entry(3, "10.1.0.3", 24),
                entry(3, "172.16.0.3", 24), entry(4, "198.51.100.1", 24)}),
        (Lines{"1 10.1.0.1", "4 198.51.100.1"}));
    // Two addresses of one adapter on one subnet are one subnet.
    EXPECT_EQ(copies({entry(2, "203.0.113.1", 24), entry(2, "203.0.113.9", 24),
                      entry(3, "198.51.100.1", 24)}),
              (Lines{"2 203.0.113.1", "3 198.51.100.1"}));
}
