// A settings file's text, read as `apply` reads it and applied to two cameras as `apply` applies
// it, to the parameter packets it would send them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/packet_fields.h"
#include "protocol/code_page.h"
#include "protocol/packets.h"
#include "settings/camera_fields.h"
#include "settings/settings_file.h"
#include "settings/settings_values.h"
#include "tests/support/field_places.h"
#include "tools/virtual-cameras/camera.h"

using namespace protocol;
using fuzz::check;
using settings::CameraField;
using settings::FieldChange;
using settings::FieldKind;
using settings::SettingsValues;

namespace {

// An ordinary camera, and one with texts longer than their fields (kept as its own), no copy
// address and a network type that has no item.
const std::vector<CameraRecord>& cameras()
{
    static const std::vector<CameraRecord> made = [] {
        camsim::Camera odd = camsim::generatedCamera(6);
        camsim::setCountedText(odd.record, settings::field("cameraDescription"),
                               std::string(47, 'D'));
        camsim::setCountedText(odd.record, settings::field("ddnsDomainName"), std::string(95, 'd'));
        camsim::setCountedTextNone(odd.record, settings::field("emailCopy"));
        odd.record.bytes[answerAt("networkType")] = 3;
        return std::vector<CameraRecord>{camsim::generatedCamera(1).record, odd.record};
    }();
    return made;
}

const FieldChange* changeOf(const std::vector<FieldChange>& changes, const CameraField& field)
{
    for (const FieldChange& change : changes)
        if (change.field == &field)
            return &change;
    return nullptr;
}

// The byte at which a line and column point; npos when that is not in the text. The end of a
// line, or of the text, is a place too.
std::size_t placeOf(const std::string& text, int line, int column)
{
    if (line < 1 || column < 1)
        return std::string::npos;
    std::size_t start = 0;
    for (int l = 1; l < line; ++l) {
        start = text.find('\n', start);
        if (start == std::string::npos)
            return std::string::npos;
        ++start;
    }
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::size_t at = start + static_cast<std::size_t>(column) - 1;
    return at <= end ? at : std::string::npos;
}

// The changes as a settings file of their own: choices by their item, numbers as numbers, texts
// and passwords as given.
std::string rewritten(const std::vector<FieldChange>& changes)
{
    nlohmann::ordered_json file = nlohmann::ordered_json::object();
    for (const FieldChange& change : changes) {
        const CameraField& field = *change.field;
        if (field.kind == FieldKind::choice)
            file[field.name] = field.items.at(static_cast<std::size_t>(change.index));
        else if (field.kind == FieldKind::number)
            file[field.name] = settings::readInteger(change.text);
        else
            file[field.name] = cameraTextToUtf8(change.text);
    }
    return settings::jsonText(file);
}

bool sameChanges(const std::vector<FieldChange>& a, const std::vector<FieldChange>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.field == y.field && x.text == y.text && x.index == y.index;
    });
}

// The packet against the file: every text within its field, the texts and passwords given sent
// as given (a text longer than its field only kept as the camera's own), everything else as the
// camera has it, passwords only where the file gave them.
void checkPacket(const ParameterPacket& packet, const CameraRecord& camera,
                 const std::vector<FieldChange>& changes)
{
    const auto& p = packet.bytes;
    check(std::equal(p.begin() + protocol::offset::parameterMac,
                     p.begin() + protocol::offset::parameterMac + 6,
                     camera.bytes.begin() + protocol::offset::respondMac),
          "MAC not the camera's");
    for (const CameraField* field : fuzz::textFields()) {
        const CameraField& f = *field;
        const FieldChange* change = changeOf(changes, f);
        const std::uint8_t length = p[f.packetAt];
        const auto at = static_cast<long long>(f.packetAt);
        check(length == kKeepMarker || length <= f.maxLength, "a text longer than its field", at);
        const std::string sent(p.begin() + static_cast<std::ptrdiff_t>(f.packetAt) + 1,
                               p.begin() + static_cast<std::ptrdiff_t>(f.packetAt) + 1 +
                                   (length == kKeepMarker ? 0 : length));
        if (change == nullptr ||
            ((f.kind == settings::FieldKind::password) && change->text.empty())) {
            check(length == kKeepMarker,
                  (f.kind == settings::FieldKind::password)
                      ? "a password sent that the file did not give"
                      : "a text the file left out not kept",
                  at);
        } else if (length == kKeepMarker) {
            check(f.kind != settings::FieldKind::password &&
                      isCameraText(camera, f.packetAt, f.areaWidth, f.maxLength, change->text),
                  "a text given kept, though not the camera's own", at);
        } else {
            check(sent == change->text, "a text sent that is not the one given", at);
        }
    }

    for (const CameraField& f : settings::cameraFields()) {
        if (f.kind != FieldKind::address && f.kind != FieldKind::number)
            continue;
        const FieldChange* change = changeOf(changes, f);
        const auto at = static_cast<long long>(f.packetAt);
        if (f.kind == FieldKind::number) {
            const int want =
                change ? settings::readInteger(change->text) : camera.bytes[f.answerAt];
            check(p[f.packetAt] == want, "a number not the one given, or not the camera's", at);
            continue;
        }
        Ipv4Bytes want{};
        if (change)
            check(settings::readLenientIpv4(change->text, want) == 4, "an address given unread",
                  at);
        else
            std::copy_n(camera.bytes.begin() + static_cast<std::ptrdiff_t>(f.answerAt), 4,
                        want.begin());
        check(std::equal(want.begin(), want.end(), p.begin() + f.packetAt),
              "an address not the one given, or not the camera's", at);
    }

    // The choices' bytes share their places with the record's, so read them back as a record's.
    CameraRecord back;
    std::copy_n(p.begin(), answerAt("ipAddress"), back.bytes.begin());
    const SettingsValues sent = settings::valuesOf(back);
    const SettingsValues had = settings::valuesOf(camera);
    for (const CameraField& field : settings::cameraFields()) {
        if (field.kind != FieldKind::choice)
            continue;
        const FieldChange* change = changeOf(changes, field);
        const int want = change ? change->index : had.*field.choice;
        check(want < 0 || sent.*field.choice == want, "a choice not the one given, or the camera's",
              want);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    settings::SettingsFile file;
    settings::SettingsFileError error;
    if (!settings::readSettingsFile(text, file, error)) {
        check(!error.message.empty(), "a file refused without a word");
        check(placeOf(text, error.line, error.column) != std::string::npos,
              "a refusal points outside the text", error.line);
        return 0;
    }
    const std::vector<FieldChange>& changes = file.changes;
    const bool passwords = std::any_of(changes.begin(), changes.end(), [](const FieldChange& c) {
        return c.field->kind == FieldKind::password;
    });
    check(file.holdsPasswords == passwords, "passwords in the file not told");

    // Written again as a file of its own and read back, the changes are the same.
    settings::SettingsFile again;
    check(settings::readSettingsFile(rewritten(changes), again, error),
          "the changes written again are refused", error.column);
    check(sameChanges(changes, again.changes), "the changes written again read otherwise");

    if (changes.empty() || settings::refusedOnTheirOwn(changes))
        return 0;
    for (const CameraRecord& camera : cameras()) {
        SettingsValues values;
        static ParameterPacket packet;
        if (settings::collectChanges(camera, changes, values, packet))
            continue;
        checkPacket(packet, camera, changes);

        // The pages saved to a file and applied again make the same packet, passwords aside:
        // the file holds none.
        settings::SettingsFile saved;
        check(settings::readSettingsFile(settings::writeSettingsFile(values), saved, error),
              "the pages saved to a file are refused", error.column);
        SettingsValues valuesAgain;
        static ParameterPacket packetAgain;
        check(!settings::collectChanges(camera, saved.changes, valuesAgain, packetAgain),
              "the pages saved to a file are refused by Save");
        const auto& a = packet.bytes;
        const auto& b = packetAgain.bytes;
        check(std::equal(a.begin(), a.begin() + packetAt("adslPassword"), b.begin()) &&
                  std::equal(a.begin() + packetAt("smtpIpAddress"), a.end(),
                             b.begin() + packetAt("smtpIpAddress")),
              "the pages saved to a file make another packet");
    }
    return 0;
}
