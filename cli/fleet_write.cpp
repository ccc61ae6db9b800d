#include "cli/fleet_write.h"

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/packet_listing.h"
#include "cli/text_encoding.h"
#include "protocol/code_page.h"
#include "protocol/wipe.h"
#include "settings/camera_list.h"
#include "settings/settings_file.h"

namespace cli {

namespace {

// A camera that answered, passes Save's checks and does not hold the changes already: its packet
// goes out, or with --dry-run is shown.
bool goesOut(const CameraWrite& write)
{
    return write.record != nullptr && !write.refusal && !write.unchanged;
}

const char* resultText(const CameraWrite& write)
{
    if (write.record == nullptr)
        return "not found";
    if (write.refusal)
        return "refused";
    if (write.unchanged)
        return "unchanged";
    if (!write.outcome)
        return "not sent";
    switch (*write.outcome) {
    case protocol::BatchOutcome::acknowledged:
        return "acknowledged";
    case protocol::BatchOutcome::noAcknowledgement:
        return "no acknowledgement";
    case protocol::BatchOutcome::notSent:
        break;
    }
    return "not sent";
}

bool verifiedOk(const CameraWrite& write)
{
    return write.answeredAfter.value_or(false) && write.notTaken.empty();
}

int statusOf(const CameraWrite& write, const FleetOptions& options)
{
    if (write.record == nullptr)
        return kExitNotFound;
    if (write.refusal)
        return kExitInvalidInput;
    if (write.unchanged || options.dryRun)
        return kExitOk;
    if (write.outcome != protocol::BatchOutcome::acknowledged)
        return kExitNotAcknowledged;
    if (options.verify && !verifiedOk(write))
        return kExitNotAcknowledged;
    return kExitOk;
}

std::string descriptionOf(const CameraWrite& write)
{
    return write.record ? printable(settings::description(*write.record)) : std::string();
}

// A camera text for the terminal, as UTF-8.
std::string shown(const std::string& cameraText)
{
    return protocol::cameraTextToUtf8(cameraText);
}

// Why a row's status is not 0, in the words the command line uses elsewhere; nothing for a row
// that went well.
std::optional<std::string> rowMessage(const CameraWrite& write, const FleetOptions& options,
                                      std::int32_t ackWaitSeconds)
{
    if (write.record == nullptr)
        return "no camera with MAC " + net::formatMac(write.mac) + " answered the search";
    if (write.refusal)
        return oneLine(settings::invalidInputMessage(*write.refusal));
    if (!write.outcome || write.unchanged || options.dryRun)
        return std::nullopt;
    if (*write.outcome != protocol::BatchOutcome::acknowledged)
        return "no acknowledgement within " + std::to_string(ackWaitSeconds) + " seconds";
    if (!options.verify || verifiedOk(write))
        return std::nullopt;
    if (!write.answeredAfter.value_or(false))
        return std::string("did not answer the search after the write");
    std::string text = "not taken: ";
    for (std::size_t i = 0; i < write.notTaken.size(); ++i)
        text += (i == 0 ? "" : "; ") + write.notTaken[i];
    return text;
}

nlohmann::ordered_json rowJson(const CameraWrite& write, const FleetOptions& options,
                               std::int32_t ackWaitSeconds)
{
    nlohmann::ordered_json row = nlohmann::ordered_json::object();
    row["macAddress"] = net::formatMac(write.mac);
    if (write.record) {
        row["cameraDescription"] = protocol::cameraTextToUtf8(settings::description(*write.record));
        row["usedIPAddress"] = net::formatIpv4(settings::usedAddress(*write.record));
    }
    if (write.newAddress)
        row["ipAddress"] = net::formatIpv4(*write.newAddress);
    row["result"] = options.dryRun && goesOut(write) ? "not sent" : resultText(write);
    if (const auto message = rowMessage(write, options, ackWaitSeconds))
        row["message"] = *message;
    if (write.record && !write.refusal)
        row["differences"] = changedFields(*write.record, write.changes);
    if (options.dryRun && goesOut(write)) {
        nlohmann::ordered_json packet = nlohmann::ordered_json::object();
        for (const auto& [name, value] : describePacket(write.packet))
            packet[name] = value;
        row["packet"] = packet;
    }
    if (options.verify && write.answeredAfter) {
        row["verified"] = verifiedOk(write);
        if (!write.notTaken.empty())
            row["notTaken"] = write.notTaken;
    }
    return row;
}

} // namespace

CameraWrite::~CameraWrite()
{
    settings::wipePasswords(values);
    protocol::wipe(packet);
    for (settings::FieldChange& change : changes)
        if (change.field != nullptr && change.field->kind == settings::FieldKind::password)
            protocol::wipe(change.text);
}

std::string padded(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string oneLine(std::string text)
{
    const std::size_t end = text.find('\n');
    return end == std::string::npos ? text : text.substr(0, end);
}

Cameras findCameras(Environment& env)
{
    const std::unique_ptr<net::DatagramEndpoint> endpoint = env.openEndpoint();
    protocol::AllCameras found = protocol::discoverAllCameras(*endpoint, env.searchListenSeconds,
                                                              env.ticks, env.mostCameras);
    // Past the bound, a fleet script must not take the list for the whole site.
    if (found.moreAnswered) {
        env.err << "telviq-cli: more than " << env.mostCameras
                << " cameras answered; the rest are not listed\n";
    }
    return std::move(found.cameras);
}

const protocol::CameraRecord* cameraWithMac(const Cameras& cameras, const protocol::MacBytes& mac)
{
    for (const protocol::CameraRecord& record : cameras) {
        if (protocol::macAddress(record) == mac) {
            return &record;
        }
    }
    return nullptr;
}

std::vector<CameraWrite> namedWrites(const Cameras& cameras, bool all,
                                     const std::vector<protocol::MacBytes>& macs)
{
    std::vector<protocol::MacBytes> named;
    if (all) {
        for (const protocol::CameraRecord& record : cameras)
            named.push_back(protocol::macAddress(record));
    } else {
        for (const protocol::MacBytes& mac : macs)
            if (std::find(named.begin(), named.end(), mac) == named.end())
                named.push_back(mac);
    }
    // Room for all from the start: no copy of a password is left behind by a move.
    std::vector<CameraWrite> writes(named.size());
    for (std::size_t i = 0; i < named.size(); ++i) {
        writes[i].mac = named[i];
        writes[i].record = cameraWithMac(cameras, named[i]);
    }
    return writes;
}

std::vector<std::string> differences(const std::vector<settings::FieldChange>& changes,
                                     const settings::SettingsValues& sent,
                                     const protocol::CameraRecord& now)
{
    const settings::SettingsValues shownNow = settings::valuesOf(now);
    // A value as the pages show it, for the terminal. Every such value came from camera bytes.
    const auto quoted = [](const std::optional<std::string>& value) {
        if (!value)
            return std::string("no choice");
        const std::string bytes = protocol::utf8ToCameraText(*value).value_or(*value);
        return "\"" + protocol::cameraTextToUtf8(printable(bytes)) + "\"";
    };
    std::vector<std::string> found;
    for (const settings::FieldChange& change : changes) {
        const settings::CameraField& field = *change.field;
        if (field.kind == settings::FieldKind::password)
            continue;
        // A change holds its value in the one form the camera reports it ("07" as "7").
        const auto expected = settings::shownValue(field, sent);
        const auto actual = settings::shownValue(field, shownNow);
        if (expected != actual)
            found.push_back(std::string(field.name) + ": sent " + quoted(expected) +
                            ", the camera shows " + quoted(actual));
    }
    return found;
}

nlohmann::ordered_json changedFields(const protocol::CameraRecord& record,
                                     const std::vector<settings::FieldChange>& changes)
{
    const settings::SettingsValues shownNow = settings::valuesOf(record);
    settings::SettingsValues wanted = shownNow;
    for (const settings::FieldChange& change : changes)
        settings::applyChange(wanted, change);
    // Passwords are not in the settings file's object: cameras never report them.
    const nlohmann::ordered_json before = settings::settingsJson(shownNow);
    const nlohmann::ordered_json after = settings::settingsJson(wanted);
    settings::wipePasswords(wanted);
    nlohmann::ordered_json fields = nlohmann::ordered_json::object();
    for (const auto& [name, value] : after.items())
        if (before.at(name) != value)
            fields[name] = {{"before", before.at(name)}, {"after", value}};
    return fields;
}

void leaveAloneWhereHeld(std::vector<CameraWrite>& writes, const FleetOptions& options)
{
    if (!options.changedOnly)
        return;
    for (CameraWrite& write : writes) {
        const bool givesPassword =
            std::any_of(write.changes.begin(), write.changes.end(), [](const auto& change) {
                return change.field->kind == settings::FieldKind::password;
            });
        if (write.record != nullptr && !givesPassword)
            write.unchanged = settings::showsChanges(*write.record, write.changes);
    }
}

std::string passwordNames(const std::vector<settings::FieldChange>& changes)
{
    std::vector<std::string> names;
    for (const settings::FieldChange& change : changes)
        if (change.field->kind == settings::FieldKind::password)
            names.push_back(change.field->name);
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return text;
}

void prepareWrites(std::vector<CameraWrite>& writes)
{
    for (CameraWrite& write : writes) {
        if (write.record == nullptr || write.unchanged)
            continue;
        write.refusal =
            settings::collectChanges(*write.record, write.changes, write.values, write.packet);
    }
}

void runWrites(std::vector<CameraWrite>& writes, const FleetOptions& options, Environment& env)
{
    if (options.dryRun)
        return;
    std::vector<protocol::ParameterPacket> packets;
    std::vector<CameraWrite*> sent;
    for (CameraWrite& write : writes) {
        if (goesOut(write)) {
            packets.push_back(write.packet);
            sent.push_back(&write);
        }
    }
    if (!packets.empty()) {
        // A socket of its own: a camera that answers the search late would otherwise have its
        // answer read in the wait for acknowledgements.
        const std::unique_ptr<net::DatagramEndpoint> endpoint = env.openEndpoint();
        const std::vector<protocol::BatchOutcome> outcomes =
            protocol::writeSettingsToMany(*endpoint, packets, env.ackWaitSeconds, env.ticks);
        for (std::size_t i = 0; i < sent.size(); ++i)
            sent[i]->outcome = outcomes[i];
    }
    for (protocol::ParameterPacket& packet : packets)
        protocol::wipe(packet);

    const bool anyAcknowledged = std::any_of(sent.begin(), sent.end(), [](const CameraWrite* w) {
        return w->outcome == protocol::BatchOutcome::acknowledged;
    });
    if (!options.verify || !anyAcknowledged)
        return;
    const Cameras after = findCameras(env);
    for (CameraWrite* write : sent) {
        if (write->outcome != protocol::BatchOutcome::acknowledged)
            continue;
        const protocol::CameraRecord* now = cameraWithMac(after, write->mac);
        write->answeredAfter = now != nullptr;
        if (now)
            write->notTaken = differences(write->changes, write->values, *now);
    }
}

int reportWrites(const std::vector<CameraWrite>& writes, const FleetOptions& options,
                 Environment& env)
{
    int status = kExitOk;
    for (const CameraWrite& write : writes)
        status = std::max(status, statusOf(write, options));

    if (options.json) {
        nlohmann::ordered_json rows = nlohmann::ordered_json::array();
        for (const CameraWrite& write : writes)
            rows.push_back(rowJson(write, options, env.ackWaitSeconds));
        env.out << settings::jsonText(rows);
        return status;
    }

    const bool addresses = std::any_of(writes.begin(), writes.end(),
                                       [](const CameraWrite& w) { return w.newAddress; });
    std::size_t descriptionWidth = 11;
    for (const CameraWrite& write : writes)
        descriptionWidth = std::max(descriptionWidth, descriptionOf(write).size());
    std::string header = padded("MAC address", 19) + padded("Description", descriptionWidth + 2);
    if (addresses)
        header += padded("In use", 17) + padded("New address", 17);
    env.out << shown(header + "Result") << "\n";
    std::size_t acknowledged = 0;
    std::size_t written = 0;
    for (const CameraWrite& write : writes) {
        std::string line = padded(net::formatMac(write.mac), 19) +
                           padded(descriptionOf(write), descriptionWidth + 2);
        if (addresses) {
            line += padded(
                write.record ? net::formatIpv4(settings::usedAddress(*write.record)) : "", 17);
            line += padded(write.newAddress ? net::formatIpv4(*write.newAddress) : "", 17);
        }
        if (write.refusal)
            line += oneLine(settings::invalidInputMessage(*write.refusal));
        else if (options.dryRun && goesOut(write))
            line += "not sent";
        else
            line += resultText(write);
        env.out << shown(line) << "\n";
        if (options.dryRun && goesOut(write))
            for (const auto& [name, value] : describePacket(write.packet))
                env.out << "    " << padded(name, 21) << value << "\n";
        if (write.outcome) {
            ++written;
            acknowledged += write.outcome == protocol::BatchOutcome::acknowledged ? 1 : 0;
        }
    }
    if (written > 0)
        env.out << acknowledged << " of " << written << " cameras acknowledged.\n";

    if (!options.verify || acknowledged == 0)
        return status;
    env.out << "\nVerification\n";
    for (const CameraWrite& write : writes) {
        if (!write.answeredAfter)
            continue;
        const std::string mac = padded(net::formatMac(write.mac), 19);
        if (!*write.answeredAfter)
            env.out << mac << "did not answer the search after the write\n";
        else if (write.notTaken.empty())
            env.out << mac << "shows the new values\n";
        for (const std::string& line : write.notTaken)
            env.out << mac << line << "\n";
    }
    const std::string passwords = passwordNames(writes.front().changes);
    if (!passwords.empty())
        env.out << "Passwords cannot be read back from a camera: " << passwords
                << " not checked.\n";
    return status;
}

} // namespace cli
