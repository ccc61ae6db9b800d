#pragma once

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "protocol/packets.h"
#include "protocol/settings_write.h"
#include "settings/field_changes.h"
#include "settings/settings_values.h"

// Writing several cameras in one go, for `set`, `apply` and `address`: one packet each, as the
// window's Save makes it, all sent at once with their acknowledgements matched by MAC, then a
// row for each camera.
namespace cli {

using Cameras = std::vector<protocol::CameraRecord>;

// One camera of a write. Its values and packet hold passwords, wiped when it goes.
struct CameraWrite {
    protocol::MacBytes mac{};
    const protocol::CameraRecord* record = nullptr; // none: it did not answer the search
    std::vector<settings::FieldChange> changes;     // its own (address) or shared (set, apply)
    std::optional<net::Ipv4Bytes> newAddress;       // address: the planned one
    bool unchanged = false; // address: it holds its plan already and is left alone
    // The label of the check Save refuses its settings with; it is then left out of the write.
    std::optional<std::string> refusal;
    settings::SettingsValues values;
    protocol::ParameterPacket packet;
    std::optional<protocol::BatchOutcome> outcome;
    std::optional<bool> answeredAfter; // --verify: it answered the search after the writes
    std::vector<std::string> notTaken; // --verify: the changes it does not show

    CameraWrite() = default;
    CameraWrite(const CameraWrite&) = default;
    CameraWrite& operator=(const CameraWrite&) = default;
    ~CameraWrite();
};

struct FleetOptions {
    bool dryRun = false;
    bool verify = false;
    bool json = false;
    // set and apply: a camera that shows every change already, and is given no password, is
    // left alone ("unchanged") instead of written again.
    bool changedOnly = false;
};

// Packs each camera's packet as Save would; a camera whose settings fail a check is refused
// with the window's message and left out of the write.
void prepareWrites(std::vector<CameraWrite>& writes);

// Sends every prepared packet at once on an endpoint of its own and notes each outcome; with
// --verify, searches again and notes what each acknowledged camera shows. Nothing is sent with
// --dry-run. Endpoint exceptions propagate.
void runWrites(std::vector<CameraWrite>& writes, const FleetOptions& options, Environment& env);

// The rows, as a table for people or, with --json, one JSON array for programs, and the exit
// status: the highest of the rows'.
int reportWrites(const std::vector<CameraWrite>& writes, const FleetOptions& options,
                 Environment& env);

// The cameras a write names: every one that answered, or those named by MAC in that order and
// once each, whether they answered or not.
std::vector<CameraWrite> namedWrites(const Cameras& cameras, bool all,
                                     const std::vector<protocol::MacBytes>& macs);

// A camera of the search by its MAC, or none.
const protocol::CameraRecord* cameraWithMac(const Cameras& cameras, const protocol::MacBytes& mac);

// The changes the camera does not show, each compared as the pages show it; passwords cannot be
// read back and are left out.
std::vector<std::string> differences(const std::vector<settings::FieldChange>& changes,
                                     const settings::SettingsValues& sent,
                                     const protocol::CameraRecord& now);

// The fields the changes would give another value, each as {"before": ..., "after": ...} with
// the values as `show --json` prints them; passwords are never among them.
nlohmann::ordered_json changedFields(const protocol::CameraRecord& record,
                                     const std::vector<settings::FieldChange>& changes);

// With --changed-only, marks every camera that holds the changes already, and is given no
// password, as unchanged: it is then neither packed nor sent.
void leaveAloneWhereHeld(std::vector<CameraWrite>& writes, const FleetOptions& options);

// The names of the password fields among the changes, as "adminPassword and newAdminPassword".
std::string passwordNames(const std::vector<settings::FieldChange>& changes);

// Every camera that answers, once each (see protocol::discoverAllCameras).
Cameras findCameras(Environment& env);

std::string padded(const std::string& text, std::size_t width);
std::string oneLine(std::string text);

} // namespace cli
