#include "cli/commands.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/fleet_write.h"
#include "cli/packet_listing.h"
#include "cli/password_input.h"
#include "cli/text_encoding.h"
#include "hostnet/host_adapter_info.h"
#include "net/exceptions.h"
#include "protocol/code_page.h"
#include "protocol/discovery.h"
#include "protocol/settings_write.h"
#include "protocol/wipe.h"
#include "settings/address_plan.h"
#include "settings/camera_fields.h"
#include "settings/camera_list.h"
#include "settings/field_changes.h"
#include "settings/file_access.h"
#include "settings/settings_file.h"
#include "settings/settings_values.h"
#include "telviq_version.h"

namespace cli {

namespace {

const char kUsage[] = R"(Usage: telviq-cli COMMAND [OPTIONS]

Finds TELVIQ cameras on the local network and reads and writes their settings the way the
TELVIQ Utility window does.

Commands:
  find                               list every camera that answers the search
  show MAC                           every setting of one camera, or of several:
  show (--mac MAC... | --all)
  set MAC FIELD=VALUE...             change settings of one camera, or of several:
  set (--mac MAC... | --all) FIELD=VALUE...
  apply FILE (--mac MAC... | --all)  write a settings file to several cameras
  address FIRST (--mac MAC... | --all) [--mask MASK] [--gateway GW] [--dns DNS]
  address --plan FILE                give many cameras addresses of their own at once

'telviq-cli COMMAND --help' tells more about each command, 'telviq-cli --version' prints the
version.

Exit status:
  0  done; every write acknowledged
  1  some write not acknowledged (with --verify, also: the camera does not show the values)
  2  invalid input: a bad argument, settings file, plan or value, with the field, camera or
     line named; nothing is written then, but for 'set' and 'apply' to several cameras,
     which skip the camera whose settings fail a check
  3  a camera named by its MAC address did not answer the search
  4  network error, with the transport's message
  5  standard output could not be written (a full disk, say)
)";

const char kFindHelp[] = R"(Usage: telviq-cli find [--json | --csv]

Searches three times on UDP port 15500, which takes about three seconds, and prints each
camera that answered once, in the order found: every one, also past the 128 the window lists.
Should more than 65536 answer (a flood of made-up answers, most likely), the rest are left out
and a warning on standard error says so.

  --json   every field each camera reports, as a JSON array of objects
  --csv    MAC address, address in use, description and firmware, after a header line
)";

static_assert(protocol::kMostCameras == 65536, "find's help names the most cameras listed");
static_assert(protocol::kAckWaitSeconds == 10, "set's help names the wait for the acknowledgement");

const char kShowHelp[] = R"(Usage: telviq-cli show MAC [--json]
       telviq-cli show (--mac MAC... | --all) [--json]

Searches, then prints every setting of the camera with this MAC address as the window's pages
show it. Cameras never report passwords.

With --mac or --all, the settings of every camera named, from the one search, in the order
named (with --all, in the order found). A camera named that did not answer is said on standard
error, the others are printed all the same, and the exit status is 3.

  --mac MAC...  the cameras to show; may be given more than once
  --all         every camera that answers the search
  --json        the settings as one JSON object, the settings file of 'apply'; with --mac or
                --all, a JSON array of such objects, as 'find --json' prints them
)";

const char kSetHelp[] = R"(Usage: telviq-cli set MAC FIELD=VALUE... [--dry-run | --verify]
       telviq-cli set (--mac MAC... | --all) FIELD=VALUE... [--dry-run | --verify] [--json]
                      [--changed-only]

Searches, then writes the camera's last reported settings with the changes given, as the
window's Save does: with the same checks and messages, texts left as they were sent as "keep",
passwords only when given. Waits up to ten seconds for the camera's acknowledgement and prints
"Settings write ok!" or "Settings write fail!".

With --mac or --all, every camera named is written at once, each with its own packet, and the
acknowledgements are matched to the cameras as they come; after the last packet the wait for
those still missing is ten seconds. A row for each camera says "acknowledged" or "no
acknowledgement" ("refused" with the window's message, for a camera whose settings fail a check,
which is left out; "not found" for one that did not answer).

  --mac MAC...  the cameras to write; may be given more than once
  --all         every camera that answers the search
  --dry-run     print the packet's fields instead of sending it (passwords masked)
  --verify      search again after the write and check that the camera shows the new
                values; passwords cannot be read back, so they are never checked
  --json        with --mac or --all: the rows as a JSON array, one object for each camera,
                with the fields each write changes ("differences", before and after)
  --changed-only
                with --mac or --all: leave alone ("unchanged", nothing sent) each camera that
                shows the new values already and is given no password

Values are written as the window shows them: dotted addresses, a choice by its text or number
(networkType="Fixed IP" or networkType=0, antiFlicker="50 Hz" or antiFlicker=1). Addresses and
numbers are read strictly, so that a typing mistake stops the command instead of writing another
value: an address is four numbers from 0 to 255 joined by full stops, without leading zeros or
anything else (192.168.0.20); hour, minute and triggerCount are digits only, within their range.

Passwords given as arguments can be read by every user of the machine until telviq-cli masks
them, and stay in the shell's history. FIELD=- for a password field reads it from standard input
instead: one line for each such field, in the order given, its end (LF or CR LF) not included.
When standard input is a terminal, each is asked for on standard error ("adminPassword: ") and
not echoed. Input that ends before the line is invalid input (exit status 2), and nothing is
sent; so is a password with a control character in it, however given.
)";

const char kApplyHelp[] =
    R"(Usage: telviq-cli apply FILE (--mac MAC... | --all) [--dry-run | --verify] [--json]
                        [--changed-only]

Writes the settings in FILE to each camera named, as 'set' does to several: all at once, each
camera its own packet, and prints a row for each. FILE holds one JSON object of fields: what
'show MAC --json' prints, or any part of it; FILE - reads it from standard input, so that
passwords in it touch neither the command line nor the disk. The fields a camera only reports (macAddress,
usedIPAddress, firmwareVersion) are skipped, and so is every field whose value is null. A FILE
that would give more than one camera the same fixed ipAddress is refused: 'telviq-cli address'
gives each camera an address of its own.

  --mac MAC...  the cameras to write; may be given more than once
  --all         every camera that answers the search
  --dry-run     print each camera's packet instead of sending it (passwords masked)
  --verify      search again after the writes and check that each camera shows the values
                (passwords cannot be read back and are never checked)
  --json        the rows as a JSON array, one object for each camera, with the fields each
                write changes ("differences", their values before and after)
  --changed-only
                leave alone ("unchanged", nothing sent) each camera that shows the values
                already and is given no password; passwords cannot be read back, so a
                camera given one is always written

Values are read as 'set' reads them (see 'telviq-cli set --help'): a bad address or number
in FILE stops the command before anything is sent. So does a FILE larger than 1 MiB, which is
read no further.

A FILE that holds passwords should be readable by you alone (chmod 600 FILE): when its group or
other users may read it, a warning goes to standard error, and the settings are written anyway.

The exit status is the highest of the rows': 1 for a write not acknowledged, 2 for a camera
whose settings fail a check, 3 for a camera that did not answer.
)";

const char kAddressHelp[] =
    R"(Usage: telviq-cli address FIRST (--mac MAC... | --all) [--mask MASK] [--gateway GW]
                          [--dns DNS] [--dry-run | --verify] [--json]
       telviq-cli address --plan FILE [--mask MASK] [--gateway GW] [--dns DNS]
                          [--dry-run | --verify] [--json]

Gives many cameras addresses of their own in one go, such as a switch full of new cameras that
all answer at one factory address. Searches, then plans: the cameras in ascending MAC order
(so the plan is the same at every search), each the next free address from FIRST upward.
Skipped are the PC's own addresses, the gateway, the DNS server, the address in use of any
camera that answered and is not in the plan, and the subnet's network and broadcast addresses.
Each camera is sent what Save would send after four edits: Network Type "Fixed IP", the
address, the subnet mask and the gateway (and the DNS server, when given); everything else as
the camera reported it, passwords unchanged. A camera that has its planned settings already is
left alone. All are written at once, as 'set --all' writes them.

Prints the plan, a row for each camera (MAC address, description, the address in use and the
new address), and the outcome of each write.

  FIRST         the first address to hand out
  --mac MAC...  the cameras to plan; may be given more than once
  --all         every camera that answers the search
  --plan FILE   the plan from a CSV file instead: the header macAddress,ipAddress (and
                optionally cameraDescription, which is for people and not written), then a row
                for each camera; RFC 4180 quoting, UTF-8 with or without a byte order mark
  --mask MASK   the subnet mask; by default that of the PC's adapter whose subnet holds FIRST
  --gateway GW  the gateway; by default that adapter's
  --dns DNS     a DNS server to give every camera; by default the cameras keep theirs
  --dry-run     print the plan and send nothing
  --verify      search again after the writes and check that each camera shows its address
  --json        the rows as a JSON array, one object for each camera

The whole plan is refused and nothing is sent when it runs past the end of the subnet, when
FIRST or the gateway is no host of the subnet, when the mask is not one run of ones, when a
camera's own settings fail Save's checks, or when a plan file names a camera twice, an address
twice, a camera that did not answer or an address that would be skipped; the message names the
camera or the line. Exit status as for 'apply'.
)";

using settings::kWriteFail;
using settings::kWriteOk;

using Cameras = std::vector<protocol::CameraRecord>;

int usageError(Environment& env, const std::string& message, const std::string& command)
{
    env.err << "telviq-cli: " << message << "\nTry 'telviq-cli "
            << (command.empty() ? "" : command + " ") << "--help'.\n";
    return kExitInvalidInput;
}

int inputError(Environment& env, const std::string& message)
{
    env.err << "telviq-cli: " << message << "\n";
    return kExitInvalidInput;
}

// The camera a command names, or nothing when it did not answer, which is then said.
const protocol::CameraRecord* namedCamera(Environment& env, const Cameras& cameras,
                                          const protocol::MacBytes& mac)
{
    const protocol::CameraRecord* record = cameraWithMac(cameras, mac);
    if (record == nullptr) {
        env.err << "telviq-cli: no camera with MAC " << net::formatMac(mac)
                << " answered the search\n";
    }
    return record;
}

// Each exchange on a socket of its own: a camera that answers a search late would otherwise
// have its answer taken for the acknowledgement of the next write, or for its state after it.
protocol::WriteOutcome writeTo(Environment& env, const protocol::ParameterPacket& packet)
{
    const std::unique_ptr<net::DatagramEndpoint> endpoint = env.openEndpoint();
    return protocol::writeSettings(*endpoint, packet, env.ackWaitSeconds, env.ticks);
}

// Why a write failed, as the command line says it beside "Settings write fail!".
std::string failureReason(protocol::WriteOutcome outcome, const Environment& env)
{
    if (outcome == protocol::WriteOutcome::otherAnswer) {
        return "another answer came before the camera's acknowledgement";
    }
    return "no answer within " + std::to_string(env.ackWaitSeconds) + " seconds";
}

// The passwords given on the command line or in a settings file, wiped when the command ends.
struct WipedWhenDone {
    std::vector<settings::FieldChange>& changes;
    ~WipedWhenDone()
    {
        for (settings::FieldChange& change : changes)
            if (change.field != nullptr && change.field->kind == settings::FieldKind::password)
                protocol::wipe(change.text);
    }
};

// A value for the terminal: a camera's text may hold control characters.
std::string displayValue(const settings::CameraField& field, const settings::SettingsValues& values)
{
    if (field.kind == settings::FieldKind::choice) {
        return settings::shownValue(field, values).value_or("(no choice)");
    }
    if (field.kind == settings::FieldKind::password) {
        return "(not reported)";
    }
    return protocol::cameraTextToUtf8(printable(values.*field.text));
}

// One FIELD=VALUE argument of set. FIELD=- for a password takes the next line of the password
// input instead, which is wiped here once checked.
bool changeFromArgument(const std::string& argument, Environment& env, settings::FieldChange& out,
                        std::string& error)
{
    const std::size_t equals = argument.find('=');
    const settings::CameraField* field =
        equals == std::string::npos ? nullptr : settings::findField(argument.substr(0, equals));
    if (field == nullptr || field->kind != settings::FieldKind::password ||
        argument.compare(equals + 1, std::string::npos, "-") != 0) {
        return settings::parseAssignment(argument, out, error);
    }
    const std::string name = field->name;
    std::string line;
    bool made = false;
    switch (readPasswordLine(env.passwordInput, name, env.err, line)) {
    case LineRead::line:
        made = settings::makeChange(*field, line, out, error);
        break;
    case LineRead::endOfInput:
        error = name + ": standard input ended before its line (" + name + "=- reads one)";
        break;
    case LineRead::tooLong:
        error = name + ": at most " + std::to_string(field->maxLength) + " characters";
        break;
    case LineRead::failed:
        error = name + ": cannot read standard input: " + std::strerror(errno);
        break;
    }
    protocol::wipe(line);
    return made;
}

// A path as the shell takes it back, for a command to copy.
std::string shellWord(const std::string& text)
{
    const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return std::isalnum(c) ||
               std::string_view("%+,-./:=@_").find(static_cast<char>(c)) != std::string_view::npos;
    });
    if (plain) {
        return text;
    }
    std::string word = "'";
    for (const char c : text) {
        word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return word + "'";
}

// A settings file with a password in it that others than its owner may read.
void warnIfOthersCanRead(Environment& env, const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IRGRP | S_IROTH)) != 0) {
        env.err << "telviq-cli: warning: " << path
                << " holds passwords and other users can read it (chmod 600 " << shellWord(path)
                << ")\n";
    }
}

// show's listing: every field under the page that shows it.
void printSettings(Environment& env, const settings::SettingsValues& values)
{
    std::string page;
    for (const settings::CameraField& field : settings::cameraFields()) {
        if (field.page != page) {
            page = field.page;
            env.out << page << "\n";
        }
        env.out << "  " << padded(field.name, 21) << displayValue(field, values) << "\n";
    }
}

void printPacket(Environment& env, const protocol::ParameterPacket& packet, const char* indent)
{
    for (const auto& [name, value] : describePacket(packet)) {
        env.out << indent << padded(name, 21) << value << "\n";
    }
}

// What the command line says, for whichever command it names.
struct Options {
    std::string mac;                    // show MAC
    std::vector<std::string> arguments; // set: [MAC] FIELD=VALUE...
    std::string file;                   // apply
    std::string first;                  // address: FIRST
    std::string plan;                   // address: --plan FILE
    std::string mask, gateway, dns;     // address
    std::vector<std::string> macs;      // show, set, apply, address: --mac MAC...
    bool all = false;
    bool json = false;
    bool csv = false;
    bool dryRun = false;
    bool verify = false;
    bool changedOnly = false; // set, apply

    FleetOptions fleet() const { return {dryRun, verify, json, changedOnly}; }
};

// --mac takes every MAC address that follows it, wherever FILE and the other options stand;
// CLI11 would take FILE too, so it is given one --mac for each.
std::vector<std::string> oneMacEach(const std::vector<std::string>& args)
{
    std::vector<std::string> out;
    bool inList = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--") {
            out.insert(out.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
            break;
        }
        if (args[i] == "--mac" && i + 1 < args.size()) {
            out.insert(out.end(), {args[i], args[i + 1]});
            inList = true;
            ++i;
            continue;
        }
        inList = inList && net::readMac(args[i]);
        if (inList) {
            out.push_back("--mac");
        }
        out.push_back(args[i]);
    }
    return out;
}

// The --help of a command, or of the program for none.
std::string helpText(const std::string& command)
{
    if (command == "find") {
        return kFindHelp;
    }
    if (command == "show") {
        return kShowHelp;
    }
    if (command == "apply") {
        return kApplyHelp;
    }
    if (command == "address") {
        return kAddressHelp;
    }
    if (command != "set") {
        return kUsage;
    }
    std::string text = std::string(kSetHelp) + "\nFields:\n";
    for (const settings::CameraField& field : settings::cameraFields()) {
        std::string values;
        switch (field.kind) {
        case settings::FieldKind::shown:
            continue;
        case settings::FieldKind::choice:
            for (const std::string& item : field.items) {
                values += (values.empty() ? "" : " | ") + item;
            }
            break;
        case settings::FieldKind::text:
            values = "text, at most " + std::to_string(field.maxLength) + " characters";
            break;
        case settings::FieldKind::password:
            values = "password, at most " + std::to_string(field.maxLength) +
                     " characters, or - to read it from standard input";
            break;
        case settings::FieldKind::address:
            values = "dotted address, such as 192.168.0.20";
            break;
        case settings::FieldKind::number:
            values = "whole number from 0 to " + std::to_string(field.maxNumber);
            break;
        }
        text += "  " + padded(field.name, 21) + values + "\n";
    }
    return text;
}

int commandFind(const Options& o, Environment& env)
{
    const Cameras cameras = findCameras(env);
    if (o.json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const protocol::CameraRecord& record : cameras) {
            list.push_back(settings::settingsJson(settings::valuesOf(record)));
        }
        env.out << settings::jsonText(list);
        return kExitOk;
    }
    if (o.csv) {
        std::vector<const protocol::CameraRecord*> list;
        for (const protocol::CameraRecord& record : cameras) {
            list.push_back(&record);
        }
        env.out << settings::cameraListCsv(list);
        return kExitOk;
    }
    if (cameras.empty()) {
        env.err << "No camera answered.\n";
        return kExitOk;
    }
    std::vector<std::vector<std::string>> rows = {
        {"#", "MAC address", "Address in use", "Firmware", "Description"}};
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        const settings::SettingsValues v = settings::valuesOf(cameras[i]);
        rows.push_back({std::to_string(i + 1), v.macAddress, v.usedIPAddress,
                        printable(v.firmwareVersion), printable(v.cameraDescription)});
    }
    // Widths in bytes of the camera's single-byte text, which is one character each.
    std::vector<std::size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            widths[c] = std::max(widths[c], row[c].size());
        }
    }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c + 1 < row.size(); ++c) {
            line += padded(row[c], widths[c] + 2);
        }
        env.out << protocol::cameraTextToUtf8(line + row.back()) << "\n";
    }
    return kExitOk;
}

// The MAC addresses of --mac, in the order given; the parser has checked each.
std::vector<protocol::MacBytes> macsOf(const Options& o);

// show --mac MAC... or --all: every camera named, from one search.
int showMany(const Options& o, Environment& env)
{
    const Cameras cameras = findCameras(env);
    int status = kExitOk;
    std::vector<const protocol::CameraRecord*> shown;
    if (o.all) {
        for (const protocol::CameraRecord& record : cameras)
            shown.push_back(&record);
    } else {
        for (const CameraWrite& named : namedWrites(cameras, false, macsOf(o))) {
            if (named.record == nullptr) {
                namedCamera(env, cameras, named.mac);
                status = kExitNotFound;
            } else {
                shown.push_back(named.record);
            }
        }
    }
    if (o.json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const protocol::CameraRecord* record : shown)
            list.push_back(settings::settingsJson(settings::valuesOf(*record)));
        env.out << settings::jsonText(list);
        return status;
    }
    for (std::size_t i = 0; i < shown.size(); ++i) {
        env.out << (i == 0 ? "" : "\n");
        printSettings(env, settings::valuesOf(*shown[i]));
    }
    return status;
}

int commandShow(const Options& o, Environment& env)
{
    if (static_cast<int>(!o.mac.empty()) + static_cast<int>(o.all) +
            static_cast<int>(!o.macs.empty()) !=
        1) {
        return usageError(env, "name the cameras: MAC, --mac MAC... or --all", "show");
    }
    if (o.mac.empty()) {
        return showMany(o, env);
    }
    const protocol::MacBytes mac = *net::readMac(o.mac);
    const Cameras cameras = findCameras(env);
    const protocol::CameraRecord* record = namedCamera(env, cameras, mac);
    if (record == nullptr) {
        return kExitNotFound;
    }
    const settings::SettingsValues values = settings::valuesOf(*record);
    if (o.json) {
        env.out << settings::writeSettingsFile(values);
        return kExitOk;
    }
    printSettings(env, values);
    return kExitOk;
}

// The changes of FIELD=VALUE arguments, checked on their own; on failure the message is said
// and the exit status returned.
std::optional<int> readChanges(const std::vector<std::string>& arguments, Environment& env,
                               std::vector<settings::FieldChange>& changes)
{
    std::string error;
    // Room for all from the start: moving the changes would leave copies of passwords behind.
    changes.reserve(arguments.size());
    for (const std::string& assignment : arguments) {
        settings::FieldChange change;
        const bool made = changeFromArgument(assignment, env, change, error);
        if (made) {
            changes.push_back(change);
        }
        if (change.field != nullptr && change.field->kind == settings::FieldKind::password) {
            protocol::wipe(change.text);
        }
        if (!made) {
            return inputError(env, error);
        }
        for (std::size_t k = 0; k + 1 < changes.size(); ++k) {
            if (changes[k].field == changes.back().field) {
                return inputError(env, std::string(changes.back().field->name) + " is given twice");
            }
        }
    }
    if (const auto label = settings::refusedOnTheirOwn(changes)) {
        env.err << settings::invalidInputMessage(*label);
        return kExitInvalidInput;
    }
    return std::nullopt;
}

// Changes that would leave several cameras with one fixed address: each camera whose network
// type would be Fixed IP gets the changes' ipAddress, so more than one such camera is refused.
std::optional<std::string> sharedFixedAddress(const std::vector<CameraWrite>& writes,
                                              const std::vector<settings::FieldChange>& changes)
{
    const auto address = std::find_if(changes.begin(), changes.end(), [](const auto& change) {
        return change.field == &settings::field("ipAddress");
    });
    if (address == changes.end()) {
        return std::nullopt;
    }
    const auto networkType = std::find_if(changes.begin(), changes.end(), [](const auto& change) {
        return change.field == &settings::field("networkType");
    });
    std::size_t fixed = 0;
    for (const CameraWrite& write : writes) {
        if (write.record == nullptr) {
            continue;
        }
        const int type = networkType != changes.end()
                             ? networkType->index
                             : settings::valuesOf(*write.record).networkType;
        fixed += type == 0 ? 1 : 0;
    }
    if (fixed < 2) {
        return std::nullopt;
    }
    return "these settings would give " + std::to_string(fixed) + " cameras the fixed address " +
           address->text + "; 'telviq-cli address' gives each camera an address of its own";
}

// set MAC: the one camera, as the window's Save writes it.
int setOne(const Options& o, const protocol::MacBytes& mac,
           const std::vector<settings::FieldChange>& changes, Environment& env)
{
    const Cameras cameras = findCameras(env);
    std::vector<CameraWrite> writes = namedWrites(cameras, false, {mac});
    CameraWrite& write = writes.front();
    if (write.record == nullptr) {
        env.err << "telviq-cli: no camera with MAC " << net::formatMac(mac)
                << " answered the search\n";
        return kExitNotFound;
    }
    write.changes = changes;
    prepareWrites(writes);
    if (write.refusal) {
        env.err << settings::invalidInputMessage(*write.refusal);
        return kExitInvalidInput;
    }
    if (o.dryRun) {
        printPacket(env, write.packet, "");
        return kExitOk;
    }

    const protocol::WriteOutcome outcome = writeTo(env, write.packet);
    if (outcome != protocol::WriteOutcome::acknowledged) {
        env.out << kWriteFail << std::flush;
        env.err << "telviq-cli: " << failureReason(outcome, env) << "\n";
        return kExitNotAcknowledged;
    }
    env.out << kWriteOk << std::flush;
    if (!o.verify) {
        return kExitOk;
    }
    const std::string passwords = passwordNames(changes);
    const bool onlyPasswords = std::all_of(changes.begin(), changes.end(), [](const auto& c) {
        return c.field->kind == settings::FieldKind::password;
    });
    if (onlyPasswords) {
        env.out << "Not verified: passwords cannot be read back from a camera (" << passwords
                << ").\n";
        return kExitOk;
    }
    const Cameras after = findCameras(env);
    const protocol::CameraRecord* now = cameraWithMac(after, mac);
    if (now == nullptr) {
        env.out << "Not verified: the camera did not answer the search after the write.\n";
        return kExitNotAcknowledged;
    }
    const auto found = differences(changes, write.values, *now);
    if (!found.empty()) {
        env.out << "Not taken:\n";
        for (const std::string& line : found) {
            env.out << "  " << line << "\n";
        }
        return kExitNotAcknowledged;
    }
    env.out << "Verified: the camera shows the new values.\n";
    if (!passwords.empty()) {
        env.out << "Passwords cannot be read back from a camera: " << passwords
                << " not checked.\n";
    }
    return kExitOk;
}

// The cameras several writes go to, once the search is done: the write is refused when a named
// camera did not answer only for `address`; set and apply report it in its row.
std::vector<protocol::MacBytes> macsOf(const Options& o)
{
    std::vector<protocol::MacBytes> macs;
    for (const std::string& text : o.macs) {
        macs.push_back(*net::readMac(text));
    }
    return macs;
}

// set and apply to several cameras: the same changes to each, all written at once.
int writeMany(const Options& o, const std::vector<settings::FieldChange>& changes, Environment& env)
{
    const Cameras cameras = findCameras(env);
    if (o.all && cameras.empty()) {
        env.err << "telviq-cli: no camera answered the search\n";
        return kExitNotFound;
    }
    std::vector<CameraWrite> writes = namedWrites(cameras, o.all, macsOf(o));
    if (const auto shared = sharedFixedAddress(writes, changes)) {
        return inputError(env, *shared);
    }
    for (CameraWrite& write : writes) {
        write.changes = changes;
    }
    leaveAloneWhereHeld(writes, o.fleet());
    prepareWrites(writes);
    runWrites(writes, o.fleet(), env);
    return reportWrites(writes, o.fleet(), env);
}

int commandSet(const Options& o, Environment& env)
{
    std::vector<std::string> assignments = o.arguments;
    std::optional<protocol::MacBytes> mac;
    if (!assignments.empty()) {
        mac = net::readMac(assignments.front());
    }
    if (mac) {
        assignments.erase(assignments.begin());
    }
    if (static_cast<int>(mac.has_value()) + static_cast<int>(o.all) +
            static_cast<int>(!o.macs.empty()) !=
        1) {
        return usageError(env, "name the cameras: MAC, --mac MAC... or --all", "set");
    }
    if (assignments.empty()) {
        return usageError(env, "no FIELD=VALUE to set", "set");
    }
    if (mac && (o.json || o.changedOnly)) {
        return usageError(
            env, std::string(o.json ? "--json" : "--changed-only") + " goes with --mac or --all",
            "set");
    }
    std::vector<settings::FieldChange> changes;
    const WipedWhenDone wiped{changes};
    if (const auto refused = readChanges(assignments, env, changes)) {
        return *refused;
    }
    return mac ? setOne(o, *mac, changes, env) : writeMany(o, changes, env);
}

int commandApply(const Options& o, Environment& env)
{
    if (o.all == !o.macs.empty()) {
        return usageError(env, "give either --mac MAC... or --all", "apply");
    }
    const bool fromInput = o.file == "-";
    const std::string path = fromInput ? "standard input" : o.file;
    std::string text;
    std::string why;
    if (!(fromInput ? settings::readBounded(env.passwordInput, text, why)
                    : settings::readFileBounded(path, text, why))) {
        return inputError(env, path + ": " + why);
    }
    settings::SettingsFile contents;
    const WipedWhenDone wiped{contents.changes};
    const std::vector<settings::FieldChange>& changes = contents.changes;
    settings::SettingsFileError fault;
    const bool read = settings::readSettingsFile(text, contents, fault);
    protocol::wipe(text);
    if (contents.holdsPasswords && !fromInput) {
        warnIfOthersCanRead(env, path);
    }
    if (!read) {
        return inputError(env, path + ": " + fault.text());
    }
    if (changes.empty()) {
        return inputError(env, path + ": no field to write");
    }
    if (const auto label = settings::refusedOnTheirOwn(changes)) {
        env.err << settings::invalidInputMessage(*label);
        return kExitInvalidInput;
    }
    return writeMany(o, changes, env);
}

// A dotted address of an option, read strictly; on failure the message is said.
bool addressOption(const std::string& text, const char* what, Environment& env, net::Ipv4Bytes& out)
{
    const auto address = net::readStrictIpv4(text);
    if (!address) {
        env.err << "telviq-cli: " << what << ": \"" << text
                << "\" is not an address: " << settings::addressForm << "\n";
        return false;
    }
    out = *address;
    return true;
}

// The PC's own addresses, and the mask and gateway of its adapter whose subnet holds `address`.
struct PcFacts {
    std::vector<net::Ipv4Bytes> addresses;
    std::optional<net::Ipv4Bytes> mask;
    std::optional<net::Ipv4Bytes> gateway;
};

PcFacts pcFacts(Environment& env, const net::Ipv4Bytes& address)
{
    PcFacts facts;
    std::vector<hostnet::AdapterEntry> adapters;
    if (!env.listAdapters || !env.listAdapters(adapters)) {
        return facts;
    }
    for (const hostnet::AdapterEntry& adapter : adapters) {
        const auto own = net::readStrictIpv4(adapter.ipAddress);
        const auto mask = net::readStrictIpv4(adapter.ipMask);
        if (!own || *own == net::Ipv4Bytes{}) {
            continue;
        }
        facts.addresses.push_back(*own);
        const net::Ipv4Subnet subnet{*own, mask.value_or(net::Ipv4Bytes{255, 255, 255, 255})};
        if (!facts.mask && mask && subnet.holdsHost(address)) {
            facts.mask = *mask;
            facts.gateway = net::readStrictIpv4(adapter.gateway);
        }
    }
    return facts;
}

int commandAddress(const Options& o, Environment& env)
{
    const bool fromPlan = !o.plan.empty();
    if (fromPlan ? (!o.first.empty() || o.all || !o.macs.empty())
                 : (o.first.empty() || o.all == !o.macs.empty())) {
        return usageError(env, "give FIRST with --mac MAC... or --all, or --plan FILE", "address");
    }
    std::vector<settings::PlanRow> rows;
    net::Ipv4Bytes first{};
    if (fromPlan) {
        std::string text;
        std::string error;
        if (!settings::readFileBounded(o.plan, text, error, settings::kPlanFileKind)) {
            return inputError(env, o.plan + ": " + error);
        }
        if (!settings::readPlanFile(text, rows, error)) {
            return inputError(env, o.plan + ": " + error);
        }
        first = rows.front().address;
    } else if (!addressOption(o.first, "FIRST", env, first)) {
        return kExitInvalidInput;
    }

    const PcFacts pc = pcFacts(env, first);
    settings::AddressRules rules;
    rules.pcAddresses = pc.addresses;
    net::Ipv4Bytes dns{};
    if ((!o.mask.empty() && !addressOption(o.mask, "--mask", env, rules.mask)) ||
        (!o.gateway.empty() && !addressOption(o.gateway, "--gateway", env, rules.gateway)) ||
        (!o.dns.empty() && !addressOption(o.dns, "--dns", env, dns))) {
        return kExitInvalidInput;
    }
    if (!o.dns.empty()) {
        rules.dnsServer = dns;
    }
    if (o.mask.empty() || o.gateway.empty()) {
        if (!pc.mask || (o.gateway.empty() && !pc.gateway)) {
            return inputError(env, "no adapter of this PC with a " +
                                       std::string(pc.mask ? "gateway" : "subnet") + " holds " +
                                       net::formatIpv4(first) + ": give --mask and --gateway");
        }
        rules.mask = o.mask.empty() ? *pc.mask : rules.mask;
        rules.gateway = o.gateway.empty() ? *pc.gateway : rules.gateway;
    }
    std::string error;
    if (!settings::checkAddressRules(first, rules, error)) {
        return inputError(env, (fromPlan ? o.plan + ": " : std::string()) + error);
    }

    const Cameras cameras = findCameras(env);
    std::vector<const protocol::CameraRecord*> answered;
    for (const protocol::CameraRecord& record : cameras) {
        answered.push_back(&record);
    }
    std::vector<const protocol::CameraRecord*> chosen;
    if (!fromPlan) {
        for (const CameraWrite& named : namedWrites(cameras, o.all, macsOf(o))) {
            if (named.record == nullptr) {
                env.err << "telviq-cli: no camera with MAC " << net::formatMac(named.mac)
                        << " answered the search; nothing was sent\n";
                return kExitNotFound;
            }
            chosen.push_back(named.record);
        }
        if (chosen.empty()) {
            env.err << "telviq-cli: no camera answered the search\n";
            return kExitNotFound;
        }
    }
    settings::AddressPlan plan;
    const bool planned = fromPlan
                             ? settings::planFromRows(rows, answered, rules, plan, error)
                             : settings::planAddresses(chosen, answered, first, rules, plan, error);
    if (!planned) {
        env.err << "telviq-cli: " << (fromPlan ? o.plan + ": " : std::string()) << error
                << "; nothing was sent\n";
        return error.find("answered the search") != std::string::npos ? kExitNotFound
                                                                      : kExitInvalidInput;
    }

    std::vector<CameraWrite> writes(plan.cameras.size());
    for (std::size_t i = 0; i < plan.cameras.size(); ++i) {
        CameraWrite& write = writes[i];
        write.record = plan.cameras[i].camera;
        write.mac = protocol::macAddress(*write.record);
        write.newAddress = plan.cameras[i].address;
        write.changes = settings::addressChanges(plan.cameras[i].address, rules);
        write.unchanged = settings::showsChanges(*write.record, write.changes);
    }
    prepareWrites(writes);
    for (const CameraWrite& write : writes) {
        if (write.refusal) {
            env.err << "telviq-cli: camera " << net::formatMac(write.mac) << ": "
                    << oneLine(settings::invalidInputMessage(*write.refusal))
                    << " Nothing was sent.\n";
            return kExitInvalidInput;
        }
    }
    runWrites(writes, o.fleet(), env);
    return reportWrites(writes, o.fleet(), env);
}

int runCommand(const std::vector<std::string>& args, Environment& env)
{
    if (args.empty()) {
        env.err << kUsage;
        return kExitInvalidInput;
    }
    if (args[0] == "help") {
        env.out << kUsage;
        return kExitOk;
    }

    // The texts of --help are this program's own; CLI11 only says which command asked.
    CLI::App app("", "telviq-cli");
    app.set_version_flag("--version", std::string("telviq-cli ") + version::kVersion);
    app.require_subcommand(0, 1);
    Options o;
    const CLI::Validator macAddress(
        [](std::string& text) {
            return net::readMac(text) ? std::string() : "\"" + text + "\" is not a MAC address";
        },
        "MAC");
    CLI::App* find = app.add_subcommand("find");
    find->add_flag("--json", o.json)->excludes(find->add_flag("--csv", o.csv));
    CLI::App* show = app.add_subcommand("show");
    show->add_option("MAC", o.mac)->check(macAddress);
    show->add_option("--mac", o.macs)->check(macAddress)->allow_extra_args(false);
    show->add_flag("--all", o.all);
    show->add_flag("--json", o.json);
    CLI::App* set = app.add_subcommand("set");
    set->add_option("FIELD=VALUE", o.arguments);
    CLI::App* apply = app.add_subcommand("apply");
    apply->add_option("FILE", o.file)->required();
    CLI::App* address = app.add_subcommand("address");
    address->add_option("FIRST", o.first);
    address->add_option("--plan", o.plan);
    address->add_option("--mask", o.mask);
    address->add_option("--gateway", o.gateway);
    address->add_option("--dns", o.dns);
    for (CLI::App* writer : {set, apply, address}) {
        writer->add_option("--mac", o.macs)->check(macAddress)->allow_extra_args(false);
        writer->add_flag("--all", o.all);
        writer->add_flag("--dry-run", o.dryRun)->excludes(writer->add_flag("--verify", o.verify));
        writer->add_flag("--json", o.json);
    }
    for (CLI::App* writer : {set, apply}) {
        writer->add_flag("--changed-only", o.changedOnly);
    }

    const auto commandName = [&app] {
        const auto named = app.get_subcommands();
        return named.empty() ? std::string() : named[0]->get_name();
    };
    try {
        std::vector<std::string> reversed = oneMacEach(args);
        std::reverse(reversed.begin(), reversed.end());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        env.out << helpText(commandName());
        return kExitOk;
    } catch (const CLI::CallForVersion& e) {
        env.out << e.what() << "\n";
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        return usageError(env, e.what(), commandName());
    }

    try {
        if (*find) {
            return commandFind(o, env);
        }
        if (*show) {
            return commandShow(o, env);
        }
        if (*set) {
            return commandSet(o, env);
        }
        if (*apply) {
            return commandApply(o, env);
        }
        if (*address) {
            return commandAddress(o, env);
        }
    } catch (const net::EIdException& e) {
        env.out << std::flush;
        env.err << "telviq-cli: " << e.what() << "\n";
        return kExitNetworkError;
    }
    env.err << kUsage;
    return kExitInvalidInput;
}

} // namespace

int run(const std::vector<std::string>& args, Environment& env)
{
    const PrintableOutput out(env.out);
    const PrintableOutput err(env.err);
    return runCommand(args, env);
}

} // namespace cli
