#include "settings/settings_file.h"

#include <algorithm>
#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <utility>

namespace settings {

namespace {

using Json = nlohmann::ordered_json;

// Deeper than any settings file; copying or comparing a value recurses once a level.
constexpr int kMaxDepth = 64;

// What the reader refuses on top of the JSON grammar, with the byte it points at.
struct Refusal {
    std::size_t offset;
    std::string message;
};

SettingsFileError errorAt(const std::string& text, std::size_t offset, std::string message)
{
    offset = std::min(offset, text.size());
    const auto begin = text.begin();
    const auto lineStart =
        std::find(std::make_reverse_iterator(begin + static_cast<std::ptrdiff_t>(offset)),
                  text.rend(), '\n')
            .base();
    SettingsFileError error;
    error.line = 1 + static_cast<int>(std::count(begin, lineStart, '\n'));
    error.column = 1 + static_cast<int>(begin + static_cast<std::ptrdiff_t>(offset) - lineStart);
    error.message = std::move(message);
    return error;
}

// The opening quote of the string whose closing quote is at `close`: the nearest quote before it
// that no backslash escapes.
std::size_t openingQuote(const std::string& text, std::size_t close)
{
    for (std::size_t at = close; at-- > 0;) {
        if (text[at] != '"') {
            continue;
        }
        std::size_t backslashes = 0;
        while (backslashes < at && text[at - 1 - backslashes] == '\\') {
            ++backslashes;
        }
        if (backslashes % 2 == 0) {
            return at;
        }
    }
    return close;
}

// The library's message without its tag and position, and without the text it read last, which
// may be part of a password.
std::string readerMessage(const std::string& what)
{
    std::size_t start = what.find("] ");
    start = start == std::string::npos ? 0 : start + 2;
    if (what.compare(start, 11, "parse error") == 0) {
        const std::size_t colon = what.find(": ", start);
        start = colon == std::string::npos ? start : colon + 2;
    }
    const std::size_t end = what.find("; last read:", start);
    return what.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// Where each member of the outermost object starts: the opening quote of its name.
using MemberPlaces = std::vector<std::pair<std::string, std::size_t>>;

bool parseJson(const std::string& text, Json& out, MemberPlaces& places, SettingsFileError& error)
{
    std::istringstream in(text);
    // How far the reader has read, when it reports an event: just past the event's token.
    const auto readSoFar = [&in, &text] {
        const std::streamoff at = in.tellg();
        return at < 0 ? text.size() : static_cast<std::size_t>(at);
    };
    // The member names of each object being read, the innermost last.
    std::vector<std::set<std::string>> names;
    const auto strict = [&](int depth, Json::parse_event_t event, Json& parsed) {
        switch (event) {
        case Json::parse_event_t::object_start:
        case Json::parse_event_t::array_start:
            if (depth >= kMaxDepth) {
                throw Refusal{readSoFar() - 1, "nested too deeply"};
            }
            if (event == Json::parse_event_t::object_start) {
                names.emplace_back();
            }
            break;
        case Json::parse_event_t::object_end:
            names.pop_back();
            break;
        case Json::parse_event_t::key: {
            // The library would keep the last of two values for one name without a word.
            const std::string& name = parsed.get_ref<const std::string&>();
            const std::size_t place = openingQuote(text, readSoFar() - 1);
            if (!names.back().insert(name).second) {
                throw Refusal{place, "\"" + name + "\" appears twice"};
            }
            if (depth == 1) {
                places.emplace_back(name, place);
            }
            break;
        }
        default:
            break;
        }
        return true;
    };
    try {
        out = Json::parse(in, strict);
        return true;
    } catch (const Refusal& refusal) {
        error = errorAt(text, refusal.offset, refusal.message);
    } catch (const Json::parse_error& e) {
        // e.byte counts the byte at fault, from 1.
        error = errorAt(text, e.byte == 0 ? 0 : e.byte - 1, readerMessage(e.what()));
    } catch (const Json::exception& e) {
        error = errorAt(text, readSoFar() == 0 ? 0 : readSoFar() - 1, readerMessage(e.what()));
    }
    return false;
}

// On failure `member` names the member at fault, or stays empty when the whole file is.
bool changesFromJson(const Json& file, std::vector<FieldChange>& out, std::string& error,
                     std::string& member)
{
    if (!file.is_object()) {
        error = "the settings must be one JSON object of fields";
        return false;
    }
    out.clear();
    for (const auto& [name, value] : file.items()) {
        member = name;
        const CameraField* field = findField(name);
        if (field == nullptr) {
            error = "unknown field \"" + name + "\"";
            return false;
        }
        if (field->kind == FieldKind::shown || value.is_null()) {
            continue;
        }
        const bool numeric = field->kind == FieldKind::number || field->kind == FieldKind::choice;
        std::string typed;
        if (value.is_string()) {
            typed = value.get_ref<const std::string&>();
        } else if (numeric && value.is_number_integer()) {
            typed = value.dump();
        } else {
            error = name + (numeric ? ": a string or a whole number was expected"
                                    : ": a string was expected");
            return false;
        }
        FieldChange change;
        if (!makeChange(*field, typed, change, error)) {
            return false;
        }
        out.push_back(change);
    }
    return true;
}

} // namespace

Json settingsJson(const SettingsValues& values)
{
    Json object = Json::object();
    for (const CameraField& field : cameraFields()) {
        if (field.kind == FieldKind::password) {
            continue;
        }
        const std::optional<std::string> value = shownValue(field, values);
        if (!value) {
            object[field.name] = nullptr;
        } else if (field.kind == FieldKind::number) {
            object[field.name] = readInteger(*value);
        } else {
            object[field.name] = *value;
        }
    }
    return object;
}

std::string jsonText(const Json& json)
{
    // The library's text with three characters written as they always were: DEL escaped, and
    // backspace and form feed as \u0008 and \u000c. Every backslash in it begins an escape. The
    // C1 controls (U+0080 to U+009F, two bytes from 0xC2) are escaped too, so that no control
    // character of any kind stands raw in the file or on a terminal.
    const std::string dumped = json.dump(2);
    std::string text;
    for (std::size_t i = 0; i < dumped.size(); ++i) {
        const char c = dumped[i];
        const auto next = static_cast<unsigned char>(i + 1 < dumped.size() ? dumped[i + 1] : 0);
        if (c == '\x7F') {
            text += "\\u007f";
        } else if (c == '\xC2' && next >= 0x80 && next < 0xA0) {
            const char hex[] = "0123456789abcdef";
            text += std::string("\\u00") + hex[next >> 4] + hex[next & 0xF];
            ++i;
        } else if (c == '\\' && i + 1 < dumped.size()) {
            const char escaped = dumped[++i];
            text += escaped == 'b'   ? std::string("\\u0008")
                    : escaped == 'f' ? std::string("\\u000c")
                                     : std::string{c, escaped};
        } else {
            text += c;
        }
    }
    return text + '\n';
}

std::string writeSettingsFile(const SettingsValues& values)
{
    return jsonText(settingsJson(values));
}

std::string SettingsFileError::text() const
{
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + message;
}

bool readSettingsFile(const std::string& text, SettingsFile& out, SettingsFileError& error)
{
    // The JSON reader takes a zero byte for the end of the text and would pass over what follows;
    // JSON allows none, not even in a string.
    if (const std::size_t zero = text.find('\0'); zero != std::string::npos) {
        error = errorAt(text, zero, "a zero byte, which JSON does not allow");
        return false;
    }
    Json file;
    MemberPlaces places;
    if (!parseJson(text, file, places, error)) {
        return false;
    }
    out.holdsPasswords = false;
    if (file.is_object()) {
        for (const auto& [name, value] : file.items()) {
            const CameraField* field = findField(name);
            if (field != nullptr && field->kind == FieldKind::password && !value.is_null()) {
                out.holdsPasswords = true;
            }
        }
    }
    std::string message;
    std::string member;
    if (changesFromJson(file, out.changes, message, member)) {
        return true;
    }
    // At the member's name, or where the value begins (past blanks and a byte order mark).
    std::size_t place =
        text.find_first_not_of(" \t\r\n", text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0);
    for (const auto& [name, at] : places) {
        if (name == member) {
            place = at;
        }
    }
    error = errorAt(text, place, std::move(message));
    return false;
}

} // namespace settings
