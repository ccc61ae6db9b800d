#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hostnet/host_adapter_info.h"
#include "protocol/discovery.h"
#include "protocol/settings_write.h"
#include "settings/address_plan.h"
#include "settings/field_changes.h"

// The camera list's work on all its cameras at once, without a widget: the cameras once each, the
// address plan the Assign Addresses dialog shows as its fields are typed, each camera's packet
// and what each row says about its write.
namespace app {

// A camera of the list. A camera heard through two adapters is listed twice with one MAC
// address; it is written once, so it is here once, with the number of its first row.
struct ListedCamera {
    int number = 0; // as the list shows it, from 1
    // A copy: the Find that follows a write refills the window's table.
    protocol::CameraRecord record{};
};

std::vector<ListedCamera> camerasOnce(const protocol::CameraTable& table);

// "camera 00-11-22-33-44-05 (Lobby)", the description as the camera's bytes.
std::string cameraName(const protocol::CameraRecord& record);

// The Assign Addresses dialog's fields as typed.
struct AddressFields {
    std::string first;
    std::string mask;
    std::string gateway;
    std::string dns; // empty: each camera keeps its own
};

// What the fields start with, from the PC's adapter that faces the cameras: the one whose subnet
// holds the addresses in use of the most cameras, or the first (the PC group's) when none holds
// any. Its mask and gateway, and the first host address after its own that nothing known uses:
// not one of the PC's addresses, the gateway, the PC's DNS server or a camera's address in use
// (from the subnet's first host again when none is left above). No DNS server.
AddressFields addressDefaults(const hostnet::HostAdapterInfo& adapters,
                              const std::vector<ListedCamera>& cameras);

// Which cameras Assign Addresses starts with checked: those that need an address of their own.
// That is a camera whose address in use another camera of the list uses too (a factory
// address), one of the PC's, or no host of the subnet the fields start with (none at all,
// another network's). A camera alone at its address in that subnet has its address already, and
// the plan steps round it. When no camera needs one, every camera starts checked, for a new plan
// of the lot.
std::vector<bool> camerasNeedingAddresses(const hostnet::HostAdapterInfo& adapters,
                                          const std::vector<ListedCamera>& cameras,
                                          const AddressFields& start);

// The PC's own addresses, which no camera may be given.
std::vector<net::Ipv4Bytes> pcAddresses(const hostnet::HostAdapterInfo& adapters);

// The plan the dialog shows: a new address for each checked camera, and the rules Save's four
// edits take their mask, gateway and DNS server from; or the reason there is none, naming the
// field, the camera or the plan file's line.
struct AddressPlanView {
    std::vector<std::optional<net::Ipv4Bytes>> addresses; // by camera; none when unchecked
    settings::AddressRules rules;
    std::string problem; // empty when the plan can be written
};

// From the first address upward (settings::planAddresses), or, given a plan file's rows, each
// checked camera the address its row gives (settings::planFromRows); the file's rows of unchecked
// cameras are left out, and a checked camera without a row is refused.
AddressPlanView planOfFields(const AddressFields& fields, const std::vector<ListedCamera>& cameras,
                             const std::vector<bool>& checked,
                             const std::vector<net::Ipv4Bytes>& pcOwn,
                             const std::vector<settings::PlanRow>* fileRows = nullptr);

// The first row of a plan file that names none of the cameras, as a refusal; empty when every row
// names one.
std::string rowsWithoutCamera(const std::vector<settings::PlanRow>& rows,
                              const std::vector<ListedCamera>& cameras);

// The packet the window's Save would send the camera after these changes, or Save's refusal,
// naming the camera (false). No password is left behind but in the packet.
bool packCamera(const protocol::CameraRecord& record,
                const std::vector<settings::FieldChange>& changes,
                protocol::ParameterPacket& packet, std::string& problem);

// What a row says once the write is over; after the Find that follows an address write, whether
// the camera shows its new address.
enum class AfterFind { notLooked, shows, showsOther, notFound };
std::string outcomeText(protocol::BatchOutcome outcome, AfterFind found = AfterFind::notLooked);

// Whether the camera with this MAC answered the search, and then whether it shows the changes.
AfterFind lookAfterFind(const protocol::CameraTable& table, const net::MacBytes& mac,
                        const std::vector<settings::FieldChange>& changes);

// "Sent 57 of 128, 40 acknowledged", for the status line while the write runs.
std::string progressText(std::size_t sent, std::size_t acknowledged, std::size_t total);
// "126 of 128 cameras acknowledged; 2 did not." and, when it was cancelled, how many were not sent.
std::string summaryText(const std::vector<protocol::BatchOutcome>& outcomes);

} // namespace app
