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

#include "cli/packet_listing.h"
#include "cli/password_input.h"
#include "cli/text_encoding.h"
#include "net/exceptions.h"
#include "protocol/code_page.h"
#include "protocol/discovery.h"
#include "protocol/settings_write.h"
#include "protocol/wipe.h"
#include "settings/camera_fields.h"
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
  show MAC                           every setting of one camera
  set MAC FIELD=VALUE...             change settings of one camera
  apply FILE (--mac MAC... | --all)  write a settings file to several cameras

'telviq-cli COMMAND --help' tells more about each command, 'telviq-cli --version' prints the
version.

Exit status:
  0  done; every write acknowledged
  1  some write not acknowledged (with --verify, also: the camera does not show the values)
  2  invalid input: a bad argument, settings file or value, with the field named; 'set'
     then writes nothing, 'apply' skips the camera whose settings fail a check
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

Searches, then prints every setting of the camera with this MAC address as the window's pages
show it. Cameras never report passwords.

  --json   the settings as one JSON object, the settings file of 'apply'
)";

const char kSetHelp[] = R"(Usage: telviq-cli set MAC FIELD=VALUE... [--dry-run | --verify]

Searches, then writes the camera's last reported settings with the changes given, as the
window's Save does: with the same checks and messages, texts left as they were sent as "keep",
passwords only when given. Waits up to ten seconds for the camera's acknowledgement and prints
"Settings write ok!" or "Settings write fail!".

  --dry-run   print the packet's fields instead of sending it (passwords masked)
  --verify    search again after an acknowledged write and check that the camera shows the
              new values

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
    R"(Usage: telviq-cli apply FILE (--mac MAC... | --all) [--dry-run | --verify]

Writes the settings in FILE to each camera named, one after the other, as 'set' does, and
prints a row for each. FILE holds one JSON object of fields: what 'show MAC --json' prints, or
any part of it. The fields a camera only reports (macAddress, usedIPAddress, firmwareVersion)
are skipped, and so is every field whose value is null.

  --mac MAC...  the cameras to write; may be given more than once
  --all         every camera that answers the search
  --dry-run     print each camera's packet instead of sending it (passwords masked)
  --verify      search again after the writes and check that each camera shows the values

Values are read as 'set' reads them (see 'telviq-cli set --help'): a bad address or number
in FILE stops the command before anything is sent. So does a FILE larger than 1 MiB, which is
read no further.

A FILE that holds passwords should be readable by you alone (chmod 600 FILE): when its group or
other users may read it, a warning goes to standard error, and the settings are written anyway.

The exit status is the highest of the rows': 1 for a write not acknowledged, 2 for a camera
whose settings fail a check, 3 for a camera that did not answer.
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

// The window's text, but on one line for a row of a table.
std::string oneLine(std::string text)
{
    const std::size_t end = text.find('\n');
    return end == std::string::npos ? text : text.substr(0, end);
}

std::string padded(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// Every camera that answers, once each: a site may have more than the window's 128. Past the
// bound, a fleet script must not take the list for the whole site.
Cameras findCameras(Environment& env)
{
    const std::unique_ptr<net::DatagramEndpoint> endpoint = env.openEndpoint();
    protocol::AllCameras found = protocol::discoverAllCameras(*endpoint, env.searchListenSeconds,
                                                              env.ticks, env.mostCameras);
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

struct Prepared {
    settings::SettingsValues values;
    protocol::ParameterPacket packet;
    std::optional<std::string> refused; // what the window would say, on one line
    std::string message;                // the whole message

    Prepared() = default;
    Prepared(const Prepared&) = default;
    Prepared& operator=(const Prepared&) = default;
    // Every copy of the passwords and the packet goes when it does.
    ~Prepared()
    {
        settings::wipePasswords(values);
        protocol::wipe(packet);
    }
};

Prepared prepare(const protocol::CameraRecord& record,
                 const std::vector<settings::FieldChange>& changes)
{
    Prepared prepared;
    if (auto label = settings::collectChanges(record, changes, prepared.values, prepared.packet)) {
        prepared.message = settings::invalidInputMessage(*label);
        prepared.refused = oneLine(prepared.message);
    }
    return prepared;
}

// A value as the pages show it, for the terminal. Every such value came from camera bytes.
std::string quoted(const std::optional<std::string>& value)
{
    if (!value) {
        return "no choice";
    }
    const std::string bytes = protocol::utf8ToCameraText(*value).value_or(*value);
    return "\"" + protocol::cameraTextToUtf8(printable(bytes)) + "\"";
}

// The changes the camera does not show after a write, each compared as the pages show it (a
// change holds its value in the one form the camera reports it: makeChange writes "07" as "7").
// Passwords are never reported, so they cannot be checked.
std::vector<std::string> differences(const std::vector<settings::FieldChange>& changes,
                                     const settings::SettingsValues& sent,
                                     const protocol::CameraRecord& now)
{
    const settings::SettingsValues shownNow = settings::valuesOf(now);
    std::vector<std::string> found;
    for (const settings::FieldChange& change : changes) {
        const settings::CameraField& field = *change.field;
        if (field.kind == settings::FieldKind::password) {
            continue;
        }
        const auto expected = settings::shownValue(field, sent);
        const auto actual = settings::shownValue(field, shownNow);
        if (expected != actual) {
            found.push_back(std::string(field.name) + ": sent " + quoted(expected) +
                            ", the camera shows " + quoted(actual));
        }
    }
    return found;
}

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

std::string csvCell(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string cell = "\"";
    for (const char c : text) {
        cell += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return cell + "\"";
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

void printPacket(Environment& env, const protocol::ParameterPacket& packet, const char* indent)
{
    for (const auto& [name, value] : describePacket(packet)) {
        env.out << indent << padded(name, 21) << value << "\n";
    }
}

// What the command line says, for whichever command it names.
struct Options {
    std::string mac;                      // show, set
    std::vector<std::string> assignments; // set: FIELD=VALUE...
    std::string file;                     // apply
    std::vector<std::string> macs;        // apply: --mac MAC...
    bool all = false;
    bool json = false;
    bool csv = false;
    bool dryRun = false;
    bool verify = false;
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
        env.out << "macAddress,usedIPAddress,cameraDescription,firmwareVersion\r\n";
        for (const protocol::CameraRecord& record : cameras) {
            const settings::SettingsValues v = settings::valuesOf(record);
            env.out << csvCell(v.macAddress) << ',' << csvCell(v.usedIPAddress) << ','
                    << csvCell(protocol::cameraTextToUtf8(printable(v.cameraDescription))) << ','
                    << csvCell(protocol::cameraTextToUtf8(printable(v.firmwareVersion))) << "\r\n";
        }
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

int commandShow(const Options& o, Environment& env)
{
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
    std::string page;
    for (const settings::CameraField& field : settings::cameraFields()) {
        if (field.page != page) {
            page = field.page;
            env.out << page << "\n";
        }
        env.out << "  " << padded(field.name, 21) << displayValue(field, values) << "\n";
    }
    return kExitOk;
}

int commandSet(const Options& o, Environment& env)
{
    const protocol::MacBytes mac = *net::readMac(o.mac);
    std::string error;
    std::vector<settings::FieldChange> changes;
    // Room for all from the start: moving the changes would leave copies of passwords behind.
    changes.reserve(o.assignments.size());
    const WipedWhenDone wiped{changes};
    for (const std::string& assignment : o.assignments) {
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

    const Cameras cameras = findCameras(env);
    const protocol::CameraRecord* record = namedCamera(env, cameras, mac);
    if (record == nullptr) {
        return kExitNotFound;
    }
    const Prepared prepared = prepare(*record, changes);
    if (prepared.refused) {
        env.err << prepared.message;
        return kExitInvalidInput;
    }
    if (o.dryRun) {
        printPacket(env, prepared.packet, "");
        return kExitOk;
    }

    const protocol::WriteOutcome outcome = writeTo(env, prepared.packet);
    if (outcome != protocol::WriteOutcome::acknowledged) {
        env.out << kWriteFail << std::flush;
        env.err << "telviq-cli: " << failureReason(outcome, env) << "\n";
        return kExitNotAcknowledged;
    }
    env.out << kWriteOk << std::flush;
    if (!o.verify) {
        return kExitOk;
    }
    const Cameras after = findCameras(env);
    const protocol::CameraRecord* now = cameraWithMac(after, mac);
    if (now == nullptr) {
        env.out << "Not verified: the camera did not answer the search after the write.\n";
        return kExitNotAcknowledged;
    }
    const auto found = differences(changes, prepared.values, *now);
    if (found.empty()) {
        env.out << "Verified: the camera shows the new values.\n";
        return kExitOk;
    }
    env.out << "Not taken:\n";
    for (const std::string& line : found) {
        env.out << "  " << line << "\n";
    }
    return kExitNotAcknowledged;
}

int commandApply(const Options& o, Environment& env)
{
    if (o.all == !o.macs.empty()) {
        return usageError(env, "give either --mac MAC... or --all", "apply");
    }
    const std::string& path = o.file;
    std::string text;
    std::string why;
    if (!settings::readFileBounded(path, text, why)) {
        return inputError(env, path + ": " + why);
    }
    settings::SettingsFile contents;
    const WipedWhenDone wiped{contents.changes};
    const std::vector<settings::FieldChange>& changes = contents.changes;
    settings::SettingsFileError fault;
    const bool read = settings::readSettingsFile(text, contents, fault);
    protocol::wipe(text);
    if (contents.holdsPasswords) {
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

    const Cameras cameras = findCameras(env);
    std::vector<protocol::MacBytes> targets;
    if (o.all) {
        for (const protocol::CameraRecord& record : cameras) {
            targets.push_back(protocol::macAddress(record));
        }
        if (targets.empty()) {
            env.err << "telviq-cli: no camera answered the search\n";
            return kExitNotFound;
        }
    } else {
        for (const std::string& text : o.macs) {
            const protocol::MacBytes mac = *net::readMac(text);
            if (std::find(targets.begin(), targets.end(), mac) == targets.end()) {
                targets.push_back(mac);
            }
        }
    }

    std::size_t descriptionWidth = 11;
    for (const protocol::MacBytes& mac : targets) {
        if (const protocol::CameraRecord* record = cameraWithMac(cameras, mac)) {
            descriptionWidth =
                std::max(descriptionWidth, settings::valuesOf(*record).cameraDescription.size());
        }
    }
    env.out << protocol::cameraTextToUtf8(padded("MAC address", 19) +
                                          padded("Description", descriptionWidth + 2) + "Result")
            << "\n";

    int status = kExitOk;
    struct Written {
        protocol::MacBytes mac;
        settings::SettingsValues sent;

        Written(const protocol::MacBytes& m, const settings::SettingsValues& s) : mac(m), sent(s) {}
        Written(const Written&) = default;
        Written& operator=(const Written&) = default;
        ~Written() { settings::wipePasswords(sent); }
    };
    std::vector<Written> written;
    for (const protocol::MacBytes& mac : targets) {
        const protocol::CameraRecord* record = cameraWithMac(cameras, mac);
        const std::string description =
            record ? printable(settings::valuesOf(*record).cameraDescription) : "";
        env.out << protocol::cameraTextToUtf8(padded(net::formatMac(mac), 19) +
                                              padded(description, descriptionWidth + 2));
        if (record == nullptr) {
            env.out << "not found\n";
            status = std::max(status, int{kExitNotFound});
            continue;
        }
        const Prepared prepared = prepare(*record, changes);
        if (prepared.refused) {
            env.out << *prepared.refused << "\n";
            status = std::max(status, int{kExitInvalidInput});
            continue;
        }
        if (o.dryRun) {
            env.out << "not sent\n";
            printPacket(env, prepared.packet, "    ");
            continue;
        }
        env.out << std::flush;
        const protocol::WriteOutcome outcome = writeTo(env, prepared.packet);
        if (outcome == protocol::WriteOutcome::acknowledged) {
            env.out << oneLine(kWriteOk) << std::endl;
            written.emplace_back(mac, prepared.values);
        } else {
            env.out << oneLine(kWriteFail) << " (" << failureReason(outcome, env) << ")"
                    << std::endl;
            status = std::max(status, int{kExitNotAcknowledged});
        }
    }

    if (o.verify && !written.empty()) {
        const Cameras after = findCameras(env);
        env.out << "\nVerification\n";
        for (const Written& w : written) {
            const std::string mac = net::formatMac(w.mac);
            const protocol::CameraRecord* now = cameraWithMac(after, w.mac);
            if (now == nullptr) {
                env.out << padded(mac, 19) << "did not answer the search after the write\n";
                status = std::max(status, int{kExitNotAcknowledged});
                continue;
            }
            const auto found = differences(changes, w.sent, *now);
            if (found.empty()) {
                env.out << padded(mac, 19) << "shows the new values\n";
            }
            for (const std::string& line : found) {
                env.out << padded(mac, 19) << line << "\n";
            }
            if (!found.empty()) {
                status = std::max(status, int{kExitNotAcknowledged});
            }
        }
    }
    return status;
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
    show->add_option("MAC", o.mac)->required()->check(macAddress);
    show->add_flag("--json", o.json);
    CLI::App* set = app.add_subcommand("set");
    set->add_option("MAC", o.mac)->required()->check(macAddress);
    set->add_option("FIELD=VALUE", o.assignments)->required();
    CLI::App* apply = app.add_subcommand("apply");
    apply->add_option("FILE", o.file)->required();
    apply->add_option("--mac", o.macs)->check(macAddress)->allow_extra_args(false);
    apply->add_flag("--all", o.all);
    for (CLI::App* writer : {set, apply}) {
        writer->add_flag("--dry-run", o.dryRun)->excludes(writer->add_flag("--verify", o.verify));
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
