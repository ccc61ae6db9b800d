#include "tools/virtual-cameras/camera_file.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>
#include <sstream>
#include <string_view>

namespace camsim {

namespace off = protocol::offset;

namespace {

std::string_view trim(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

std::optional<unsigned> parseNumber(std::string_view s, unsigned max)
{
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        base = 16;
    }
    unsigned value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (s.empty() || ec != std::errc{} || end != s.data() + s.size() || value > max)
        return std::nullopt;
    return value;
}

// Splits on `separator`; every piece must be a number up to `max`.
std::optional<std::vector<unsigned>> parseNumbers(std::string_view s, char separator, unsigned max)
{
    std::vector<unsigned> values;
    while (true) {
        const auto cut = s.find(separator);
        auto value = parseNumber(s.substr(0, cut), max);
        if (!value)
            return std::nullopt;
        values.push_back(*value);
        if (cut == std::string_view::npos)
            return values;
        s.remove_prefix(cut + 1);
    }
}

bool parseIpv4(std::string_view s, std::uint8_t* out)
{
    auto parts = parseNumbers(s, '.', 255);
    if (!parts || parts->size() != 4)
        return false;
    std::copy(parts->begin(), parts->end(), out);
    return true;
}

bool parseMac(std::string_view s, std::uint8_t* out)
{
    if (s.size() != 17)
        return false;
    for (std::size_t i = 0; i < 6; ++i) {
        if (i > 0 && s[i * 3 - 1] != '-' && s[i * 3 - 1] != ':')
            return false;
        unsigned value = 0;
        auto [end, ec] = std::from_chars(s.data() + i * 3, s.data() + i * 3 + 2, value, 16);
        if (ec != std::errc{} || end != s.data() + i * 3 + 2)
            return false;
        out[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

struct ByteField {
    const char* name;
    std::size_t at;
};

constexpr ByteField kByteFields[] = {
    {"networkType", off::networkType}, {"imageFlags", off::imageFlags},
    {"optionFlags", off::optionFlags}, {"hour", off::hour},
    {"minute", off::minute},           {"triggerCount", off::triggerCount},
};

constexpr ByteField kIpv4Fields[] = {
    {"ipAddress", off::ipAddress},
    {"gateway", off::gateway},
    {"subnetMask", off::subnetMask},
    {"dnsServer", off::dnsServer},
    {"smtpIpAddress", off::recordSmtpIpAddress},
    {"usedIPAddress", off::usedIPAddress},
};

template <typename Field, std::size_t N>
const Field* findField(const Field (&fields)[N], std::string_view key)
{
    for (const Field& field : fields) {
        if (key == field.name)
            return &field;
    }
    return nullptr;
}

// Applies one key = value to the camera; returns the reason when it cannot.
std::string applyField(Camera& camera, std::string_view key, std::string_view value)
{
    auto& b = camera.record.bytes;

    if (key == "macAddress")
        return parseMac(value, b.data() + off::respondMac) ? ""
                                                           : "a MAC address is XX-XX-XX-XX-XX-XX";
    if (const ByteField* field = findField(kByteFields, key)) {
        auto number = parseNumber(value, 255);
        if (!number)
            return "expected a number from 0 to 255";
        b[field->at] = static_cast<std::uint8_t>(*number);
        return "";
    }
    if (const ByteField* field = findField(kIpv4Fields, key))
        return parseIpv4(value, b.data() + field->at) ? "" : "expected an address like 203.0.113.7";
    for (const TextField& field : textFields()) {
        if (key != field.name)
            continue;
        if (value == "none") {
            setCountedTextNone(camera.record, field);
            return "";
        }
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.size() > field.width)
            return "longer than the field's " + std::to_string(field.width) + " characters";
        setCountedText(camera.record, field, std::string(value));
        return "";
    }
    if (key == "firmwareVersion") {
        if (value.size() > off::firmwareVersionWidth)
            return "longer than 18 characters";
        std::fill_n(b.begin() + off::firmwareVersion, off::firmwareVersionWidth, std::uint8_t{0});
        std::copy(value.begin(), value.end(), b.begin() + off::firmwareVersion);
        return "";
    }
    if (key == "respondLength") {
        auto number = parseNumber(value, protocol::kRecordSize);
        if (!number || *number < kMinRespondLength)
            return "expected a length from 523 to 528";
        camera.respondLength = *number;
        return "";
    }

    Behaviour& behaviour = camera.behaviour;
    if (key == "silent") {
        behaviour.silentPasses.clear();
        if (value.empty())
            return "";
        auto passes = parseNumbers(value, ',', 1000);
        if (!passes || std::count(passes->begin(), passes->end(), 0u) > 0)
            return "expected pass numbers like 1,2";
        behaviour.silentPasses.assign(passes->begin(), passes->end());
        return "";
    }
    if (key == "twice" || key == "apply") {
        auto flag = parseNumber(value, 1);
        if (!flag)
            return "expected 0 or 1";
        (key == "twice" ? behaviour.twice : behaviour.apply) = *flag == 1;
        return "";
    }
    if (key == "delay") {
        auto ms = parseNumber(value, 60000);
        if (!ms)
            return "expected milliseconds from 0 to 60000";
        behaviour.delayMs = *ms;
        return "";
    }
    if (key == "ack") {
        static const std::pair<const char*, AckMode> modes[] = {
            {"ok", AckMode::ok},       {"none", AckMode::none},   {"othermac", AckMode::otherMac},
            {"split", AckMode::split}, {"stray", AckMode::stray},
        };
        for (const auto& [name, mode] : modes) {
            if (value == name) {
                behaviour.ack = mode;
                return "";
            }
        }
        return "expected ok, none, othermac, split or stray";
    }
    return "unknown key";
}

} // namespace

bool parseCameraFile(const std::string& text, std::vector<Camera>& cameras, std::string& error)
{
    std::vector<Camera> parsed;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string_view content = trim(line);
        if (content.empty() || content.front() == '#')
            continue;
        if (content == "[camera]") {
            if (parsed.size() >= static_cast<std::size_t>(kMaxGeneratedCameras)) {
                error = "line " + std::to_string(number) + ": too many cameras";
                return false;
            }
            parsed.push_back(generatedCamera(static_cast<int>(parsed.size())));
            continue;
        }
        const auto equals = content.find('=');
        if (equals == std::string_view::npos) {
            error = "line " + std::to_string(number) + ": expected key = value";
            return false;
        }
        if (parsed.empty()) {
            error = "line " + std::to_string(number) + ": a field before the first [camera]";
            return false;
        }
        const std::string_view key = trim(content.substr(0, equals));
        const std::string reason = applyField(parsed.back(), key, trim(content.substr(equals + 1)));
        if (!reason.empty()) {
            error = "line " + std::to_string(number) + ": " + std::string(key) + ": " + reason;
            return false;
        }
    }
    cameras = std::move(parsed);
    return true;
}

} // namespace camsim
