#include "settings/field_changes.h"

#include <algorithm>
#include <cctype>

#include "net/address_text.h"
#include "protocol/code_page.h"
#include "protocol/wipe.h"

namespace settings {

namespace {

std::string folded(std::string text)
{
    if (!text.empty() && text.back() == ':') {
        text.pop_back();
    }
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool chooseItem(const CameraField& field, const std::string& value, int& index)
{
    const int count = static_cast<int>(field.items.size());
    if (value.size() == 1 && value[0] >= '0' && value[0] < '0' + count) {
        index = value[0] - '0';
        return true;
    }
    for (int i = 0; i < count; ++i) {
        if (folded(field.items[static_cast<std::size_t>(i)]) == folded(value)) {
            index = i;
            return true;
        }
    }
    return false;
}

std::string itemList(const CameraField& field)
{
    std::string list;
    for (const std::string& item : field.items) {
        list += (list.empty() ? "\"" : ", \"") + item + "\"";
    }
    return list + " (or 0 to " + std::to_string(field.items.size() - 1) + ")";
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Digits only, read as the number they are ("07" is 7), up to `max`.
std::optional<int> strictNumber(const std::string& text, int max)
{
    if (text.empty()) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : text) {
        if (!isDigit(c)) {
            return std::nullopt;
        }
        value = std::min(value * 10 + (c - '0'), max + 1);
    }
    if (value > max) {
        return std::nullopt;
    }
    return value;
}

} // namespace

bool makeChange(const CameraField& field, const std::string& value, FieldChange& out,
                std::string& error)
{
    const std::string name = field.name;
    out = FieldChange{&field, {}, -1};
    switch (field.kind) {
    case FieldKind::shown:
        error = name + " is reported by the camera and cannot be set";
        return false;
    case FieldKind::choice:
        if (!chooseItem(field, value, out.index)) {
            error = name + ": \"" + value + "\" is not one of " + itemList(field);
            return false;
        }
        return true;
    case FieldKind::address:
        if (!net::readStrictIpv4(value)) {
            error = name + ": \"" + value + "\" is not an address: " + addressForm;
            return false;
        }
        out.text = value;
        return true;
    case FieldKind::number:
        if (const std::optional<int> number = strictNumber(value, field.maxNumber)) {
            out.text = std::to_string(*number);
            return true;
        }
        error = name + ": \"" + value + "\" is not " + numberForm(field);
        return false;
    default:
        break;
    }
    const std::optional<std::string> bytes = protocol::utf8ToCameraText(value);
    if (!bytes) {
        error = name + ": only characters of " + std::string(protocol::kCodePageName) +
                " can be sent to a camera";
        return false;
    }
    // A zero byte would end the text early on the camera and in the comparison with its value.
    if (bytes->find('\0') != std::string::npos) {
        error = name + ": a text cannot hold a zero character";
        return false;
    }
    // No one could type it into the window's boxes, or at the camera's own login. A CR, left
    // from a line pasted from Windows, is the likeliest.
    if (field.kind == FieldKind::password && std::any_of(bytes->begin(), bytes->end(), [](char c) {
            return protocol::isControlCharacter(
                protocol::codePageCharacter(static_cast<std::uint8_t>(c)));
        })) {
        error = name + ": a password cannot hold a control character";
        return false;
    }
    // The window's edits take no more than this, and cutting the text would send something
    // else than was asked for. A longer text can still be a camera's own one, which is kept as it
    // is, so texts are judged against each camera's own by collectSettings; a password never is.
    if (field.kind == FieldKind::password && bytes->size() > field.maxLength) {
        error = name + ": at most " + std::to_string(field.maxLength) + " characters";
        return false;
    }
    out.text = *bytes;
    return true;
}

bool parseAssignment(const std::string& argument, FieldChange& out, std::string& error)
{
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos) {
        error = "\"" + argument + "\" is not FIELD=VALUE";
        return false;
    }
    const std::string name = argument.substr(0, equals);
    const CameraField* field = findField(name);
    if (field == nullptr) {
        error = "unknown field \"" + name + "\"";
        return false;
    }
    return makeChange(*field, argument.substr(equals + 1), out, error);
}

void applyChange(SettingsValues& values, const FieldChange& change)
{
    const CameraField& field = *change.field;
    if (field.kind == FieldKind::choice) {
        values.*field.choice = change.index;
    } else if (field.kind != FieldKind::shown) {
        values.*field.text = change.text;
    }
}

std::optional<std::string> collectChanges(const protocol::CameraRecord& record,
                                          const std::vector<FieldChange>& changes,
                                          SettingsValues& values, protocol::ParameterPacket& packet)
{
    values = valuesOf(record);
    for (const FieldChange& change : changes) {
        applyChange(values, change);
    }
    return collectSettings(values, record, packet);
}

std::optional<std::string> refusedOnTheirOwn(const std::vector<FieldChange>& changes)
{
    // Hour 12 and minute 30 keep the check of the time from refusing an hour or a minute given
    // alone, which a camera's own other half may well allow.
    SettingsValues values;
    for (const CameraField& field : cameraFields()) {
        if (field.kind == FieldKind::choice) {
            values.*field.choice = 0;
        } else if (field.kind == FieldKind::address) {
            values.*field.text = "0.0.0.0";
        }
    }
    values.hour = "12";
    values.minute = "30";
    values.triggerCount = "0";
    for (const FieldChange& change : changes) {
        if (change.field->kind != FieldKind::text) {
            applyChange(values, change);
        }
    }
    const protocol::CameraRecord none{};
    protocol::ParameterPacket packet;
    auto refused = collectSettings(values, none, packet);
    wipePasswords(values);
    protocol::wipe(packet);
    return refused;
}

SettingsValues valuesOf(const protocol::CameraRecord& record)
{
    SettingsValues values = decodeCameraRecord(record);
    for (const CameraField& field : cameraFields()) {
        if (field.kind == FieldKind::choice) {
            int& index = values.*field.choice;
            if (index < 0 || index >= static_cast<int>(field.items.size())) {
                index = -1;
            }
        }
    }
    return values;
}

std::optional<std::string> shownValue(const CameraField& field, const SettingsValues& values)
{
    if (field.kind == FieldKind::choice) {
        const int index = values.*field.choice;
        if (index < 0 || index >= static_cast<int>(field.items.size())) {
            return std::nullopt;
        }
        return field.items[static_cast<std::size_t>(index)];
    }
    return protocol::cameraTextToUtf8(values.*field.text);
}

bool showsChanges(const protocol::CameraRecord& record, const std::vector<FieldChange>& changes)
{
    const SettingsValues shown = valuesOf(record);
    SettingsValues wanted = shown;
    for (const FieldChange& change : changes) {
        if (change.field->kind != FieldKind::password) {
            applyChange(wanted, change);
        }
    }
    for (const FieldChange& change : changes) {
        if (shownValue(*change.field, wanted) != shownValue(*change.field, shown)) {
            return false;
        }
    }
    return true;
}

} // namespace settings
