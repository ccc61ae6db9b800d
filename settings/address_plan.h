#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "net/address_text.h"
#include "protocol/packets.h"
#include "settings/field_changes.h"

// Giving a switch full of cameras addresses of their own in one step: a plan of which camera
// gets which address, checked whole before anything is sent.
namespace settings {

// The subnet the plan hands out addresses in, and what it must not hand out.
struct AddressRules {
    net::Ipv4Bytes mask{};
    net::Ipv4Bytes gateway{};
    std::optional<net::Ipv4Bytes> dnsServer;
    std::vector<net::Ipv4Bytes> pcAddresses; // the PC's own
};

struct PlannedCamera {
    const protocol::CameraRecord* camera;
    net::Ipv4Bytes address;
};

struct AddressPlan {
    std::vector<PlannedCamera> cameras;
};

// Whether the rules and a first address make a subnet to plan in: the mask one run of ones, the
// first address and the gateway hosts of the subnet. Refused with the reason.
bool checkAddressRules(const net::Ipv4Bytes& first, const AddressRules& rules, std::string& error);

// The chosen cameras in ascending MAC order (a camera heard twice once), each the next address
// from `first` upward that the rules allow. An address is skipped when it is the PC's, the
// gateway, the DNS server, in use by a camera that answered and is not in the plan, or no host of
// the subnet (its network and broadcast addresses); no two cameras get the same. Refused (false,
// with the reason) when the mask is not one run of ones, the first address or the gateway is no
// host of the subnet, or the plan runs past the subnet's end (naming the first camera left
// without an address).
bool planAddresses(const std::vector<const protocol::CameraRecord*>& chosen,
                   const std::vector<const protocol::CameraRecord*>& answered,
                   const net::Ipv4Bytes& first, const AddressRules& rules, AddressPlan& out,
                   std::string& error);

// One row of a plan file.
struct PlanRow {
    int line = 0; // where the row is in the file, from 1
    net::MacBytes mac{};
    net::Ipv4Bytes address{};
};

// The most rows a plan file may have: as many cameras as a search lists.
inline constexpr std::size_t kMostPlanRows = 65536;

// A plan file: CSV (RFC 4180 quoting, UTF-8 with or without a byte order mark, LF or CRLF line
// ends) with the header macAddress,ipAddress and optionally a third column cameraDescription,
// which is for people to read and is not written. Refused, naming the line, for a header or row
// that is not so, a MAC address or address that does not read strictly, a MAC or an address
// given twice, or more than kMostPlanRows rows.
bool readPlanFile(const std::string& text, std::vector<PlanRow>& rows, std::string& error);

// The plan a file's rows make against the cameras that answered, in the file's order, in the
// subnet of its first address: refused, naming the line, when a row names a camera that did not
// answer or gives an address planAddresses would skip, and when the mask or the gateway is
// refused as there.
bool planFromRows(const std::vector<PlanRow>& rows,
                  const std::vector<const protocol::CameraRecord*>& answered,
                  const AddressRules& rules, AddressPlan& out, std::string& error);

// What a planned camera is sent, as Save would send it after four edits: network type Fixed IP,
// the address, the mask and the gateway, and the DNS server when the rules give one.
std::vector<FieldChange> addressChanges(const net::Ipv4Bytes& address, const AddressRules& rules);

} // namespace settings
