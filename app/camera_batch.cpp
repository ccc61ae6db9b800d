#include "app/camera_batch.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "protocol/wipe.h"
#include "settings/camera_fields.h"
#include "settings/camera_list.h"
#include "settings/settings_values.h"

namespace app {

namespace {

// A field's address, read strictly; empty is refused unless the field is optional.
bool readAddressField(const char* label, const std::string& text, bool optional,
                      std::optional<net::Ipv4Bytes>& out, std::string& problem)
{
    out.reset();
    if (text.empty()) {
        if (!optional)
            problem = std::string(label) + ": type an address, such as 192.168.0.20.";
        return optional;
    }
    out = net::readStrictIpv4(text);
    if (!out)
        problem = std::string(label) + ": \"" + text +
                  "\" is not an address: " + settings::addressForm + ".";
    return out.has_value();
}

std::string sentence(std::string text)
{
    if (!text.empty()) {
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        if (text.back() != '.')
            text += '.';
    }
    return text;
}

} // namespace

std::vector<ListedCamera> camerasOnce(const protocol::CameraTable& table)
{
    std::vector<ListedCamera> cameras;
    std::set<net::MacBytes> seen;
    for (std::size_t row = 0; row < table.count; ++row)
        if (seen.insert(protocol::macAddress(table.slots[row])).second)
            cameras.push_back({static_cast<int>(row + 1), table.slots[row]});
    return cameras;
}

std::string cameraName(const protocol::CameraRecord& record)
{
    const std::string text = settings::description(record);
    return "camera " + net::formatMac(protocol::macAddress(record)) +
           (text.empty() ? "" : " (" + text + ")");
}

std::vector<bool> camerasNeedingAddresses(const hostnet::HostAdapterInfo& adapters,
                                          const std::vector<ListedCamera>& cameras,
                                          const AddressFields& start)
{
    const auto first = net::readStrictIpv4(start.first);
    const auto mask = net::readStrictIpv4(start.mask);
    const std::vector<net::Ipv4Bytes> pc = pcAddresses(adapters);
    std::map<std::uint32_t, std::size_t> users;
    for (const ListedCamera& camera : cameras)
        ++users[net::ipv4Word(settings::usedAddress(camera.record))];

    std::vector<bool> needing;
    for (const ListedCamera& camera : cameras) {
        const net::Ipv4Bytes used = settings::usedAddress(camera.record);
        needing.push_back(users[net::ipv4Word(used)] > 1 ||
                          std::find(pc.begin(), pc.end(), used) != pc.end() ||
                          (first && mask && !net::Ipv4Subnet{*first, *mask}.holdsHost(used)));
    }
    if (std::find(needing.begin(), needing.end(), true) == needing.end())
        needing.assign(cameras.size(), true);
    return needing;
}

std::vector<net::Ipv4Bytes> pcAddresses(const hostnet::HostAdapterInfo& adapters)
{
    std::vector<net::Ipv4Bytes> own;
    for (std::int32_t i = 0; i < adapters.adapterCount; ++i)
        if (const auto address =
                net::readStrictIpv4(adapters.adapters[static_cast<std::size_t>(i)].ipAddress))
            own.push_back(*address);
    return own;
}

AddressFields addressDefaults(const hostnet::HostAdapterInfo& adapters,
                              const std::vector<ListedCamera>& cameras)
{
    // The adapter that faces the cameras, its address and its subnet.
    const hostnet::AdapterEntry* facing = nullptr;
    net::Ipv4Bytes own{};
    net::Ipv4Subnet subnet;
    std::size_t mostHeld = 0;
    for (std::int32_t i = 0; i < adapters.adapterCount; ++i) {
        const hostnet::AdapterEntry& adapter = adapters.adapters[static_cast<std::size_t>(i)];
        const auto address = net::readStrictIpv4(adapter.ipAddress);
        const auto mask = net::readStrictIpv4(adapter.ipMask);
        if (!address || !mask || !net::isContiguousMask(*mask))
            continue;
        const net::Ipv4Subnet held{*address, *mask};
        const auto count = static_cast<std::size_t>(
            std::count_if(cameras.begin(), cameras.end(), [&](const ListedCamera& camera) {
                return held.holdsHost(settings::usedAddress(camera.record));
            }));
        if (facing == nullptr || count > mostHeld) {
            facing = &adapter;
            own = *address;
            subnet = held;
            mostHeld = count;
        }
    }
    AddressFields fields;
    if (facing == nullptr)
        return fields;
    fields.mask = net::formatIpv4(subnet.mask);
    const auto gateway = net::readStrictIpv4(facing->gateway);
    if (gateway && *gateway != net::Ipv4Bytes{})
        fields.gateway = net::formatIpv4(*gateway);

    std::set<std::uint32_t> taken;
    for (const net::Ipv4Bytes& address : pcAddresses(adapters))
        taken.insert(net::ipv4Word(address));
    if (gateway)
        taken.insert(net::ipv4Word(*gateway));
    if (adapters.networkParameters)
        if (const auto dns = net::readStrictIpv4(adapters.networkParameters->dnsServer))
            taken.insert(net::ipv4Word(*dns));
    for (const ListedCamera& camera : cameras)
        taken.insert(net::ipv4Word(settings::usedAddress(camera.record)));
    // Every address of the subnet once, from the one after the PC's own round to the PC's own.
    const std::uint32_t hostBits = ~net::ipv4Word(subnet.mask);
    const std::uint32_t network = net::ipv4Word(own) & ~hostBits;
    for (std::uint64_t step = 1; step <= std::uint64_t{hostBits}; ++step) {
        const auto word =
            network | ((net::ipv4Word(own) + static_cast<std::uint32_t>(step)) & hostBits);
        const net::Ipv4Bytes address = net::ipv4FromWord(word);
        if (subnet.holdsHost(address) && taken.count(word) == 0) {
            fields.first = net::formatIpv4(address);
            break;
        }
    }
    return fields;
}

AddressPlanView planOfFields(const AddressFields& fields, const std::vector<ListedCamera>& cameras,
                             const std::vector<bool>& checked,
                             const std::vector<net::Ipv4Bytes>& pcOwn,
                             const std::vector<settings::PlanRow>* fileRows)
{
    AddressPlanView view;
    view.addresses.resize(cameras.size());
    std::optional<net::Ipv4Bytes> first, mask, gateway;
    if ((fileRows == nullptr &&
         !readAddressField("First address", fields.first, false, first, view.problem)) ||
        !readAddressField("Subnet mask", fields.mask, false, mask, view.problem) ||
        !readAddressField("Gateway", fields.gateway, false, gateway, view.problem) ||
        !readAddressField("DNS server", fields.dns, true, view.rules.dnsServer, view.problem))
        return view;
    view.rules.mask = *mask;
    view.rules.gateway = *gateway;
    view.rules.pcAddresses = pcOwn;

    std::vector<const protocol::CameraRecord*> answered, chosen;
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        answered.push_back(&cameras[i].record);
        if (checked.at(i))
            chosen.push_back(&cameras[i].record);
    }
    if (chosen.empty()) {
        view.problem = "No camera is checked.";
        return view;
    }

    settings::AddressPlan plan;
    std::string error;
    bool planned = false;
    if (fileRows == nullptr) {
        planned = settings::planAddresses(chosen, answered, *first, view.rules, plan, error);
    } else {
        std::set<net::MacBytes> macs;
        for (const protocol::CameraRecord* camera : chosen)
            macs.insert(protocol::macAddress(*camera));
        std::vector<settings::PlanRow> rows;
        for (const settings::PlanRow& row : *fileRows)
            if (macs.erase(row.mac) > 0)
                rows.push_back(row);
        for (const protocol::CameraRecord* camera : chosen)
            if (macs.count(protocol::macAddress(*camera)) > 0) {
                view.problem = sentence(cameraName(*camera) +
                                        " is checked, but the plan file gives it no address");
                return view;
            }
        planned = settings::planFromRows(rows, answered, view.rules, plan, error);
    }
    if (!planned) {
        view.problem = sentence(error);
        return view;
    }
    std::map<const protocol::CameraRecord*, std::size_t> place;
    for (std::size_t i = 0; i < answered.size(); ++i)
        place[answered[i]] = i;
    for (const settings::PlannedCamera& camera : plan.cameras)
        view.addresses[place.at(camera.camera)] = camera.address;
    return view;
}

std::string rowsWithoutCamera(const std::vector<settings::PlanRow>& rows,
                              const std::vector<ListedCamera>& cameras)
{
    for (const settings::PlanRow& row : rows) {
        const bool listed =
            std::any_of(cameras.begin(), cameras.end(), [&](const ListedCamera& camera) {
                return protocol::macAddress(camera.record) == row.mac;
            });
        if (!listed)
            return "line " + std::to_string(row.line) + ": no camera with MAC " +
                   net::formatMac(row.mac) + " is in the list";
    }
    return {};
}

bool packCamera(const protocol::CameraRecord& record,
                const std::vector<settings::FieldChange>& changes,
                protocol::ParameterPacket& packet, std::string& problem)
{
    settings::SettingsValues values;
    const std::optional<std::string> refused =
        settings::collectChanges(record, changes, values, packet);
    settings::wipePasswords(values);
    if (!refused)
        return true;
    protocol::wipe(packet);
    std::string message = settings::invalidInputMessage(*refused);
    message.erase(std::min(message.find('\n'), message.size()));
    problem = sentence(cameraName(record)) + ": " + message;
    return false;
}

std::string outcomeText(protocol::BatchOutcome outcome, AfterFind found)
{
    std::string text;
    switch (outcome) {
    case protocol::BatchOutcome::acknowledged:
        text = "Acknowledged";
        break;
    case protocol::BatchOutcome::noAcknowledgement:
        text = "No acknowledgement";
        break;
    case protocol::BatchOutcome::notSent:
        return "Not sent";
    }
    switch (found) {
    case AfterFind::shows:
        return text + ", shows its new address";
    case AfterFind::showsOther:
        return text + (outcome == protocol::BatchOutcome::acknowledged
                           ? ", but does not show its new address"
                           : "");
    case AfterFind::notFound:
        return text + ", did not answer the Find";
    case AfterFind::notLooked:
        break;
    }
    return text;
}

AfterFind lookAfterFind(const protocol::CameraTable& table, const net::MacBytes& mac,
                        const std::vector<settings::FieldChange>& changes)
{
    for (std::size_t row = 0; row < table.count; ++row)
        if (protocol::macAddress(table.slots[row]) == mac)
            return settings::showsChanges(table.slots[row], changes) ? AfterFind::shows
                                                                     : AfterFind::showsOther;
    return AfterFind::notFound;
}

std::string progressText(std::size_t sent, std::size_t acknowledged, std::size_t total)
{
    return "Sent " + std::to_string(sent) + " of " + std::to_string(total) + ", " +
           std::to_string(acknowledged) + " acknowledged";
}

std::string summaryText(const std::vector<protocol::BatchOutcome>& outcomes)
{
    const auto count = [&](protocol::BatchOutcome outcome) {
        return static_cast<std::size_t>(std::count(outcomes.begin(), outcomes.end(), outcome));
    };
    const std::size_t acknowledged = count(protocol::BatchOutcome::acknowledged);
    const std::size_t silent = count(protocol::BatchOutcome::noAcknowledgement);
    const std::size_t notSent = count(protocol::BatchOutcome::notSent);
    std::string text = std::to_string(acknowledged) + " of " + std::to_string(outcomes.size()) +
                       (outcomes.size() == 1 ? " camera" : " cameras") + " acknowledged";
    if (silent > 0)
        text += "; " + std::to_string(silent) + " did not";
    if (notSent > 0)
        text += "; cancelled before " + std::to_string(notSent) + " were sent";
    return text + ".";
}

} // namespace app
