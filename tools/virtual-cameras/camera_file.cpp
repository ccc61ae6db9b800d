#include "tools/virtual-cameras/camera_file.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <sstream>
#include <string_view>

namespace camsim {

namespace {

std::string_view trim(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
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

// The bytes that hold several choices whole, for values the utility's choices cannot say: by a
// choice that lies in each.
struct ByteField {
    const char* name;
    const char* choice;
};

constexpr ByteField kByteFields[] = {{"imageFlags", "imageQuality"},
                                     {"optionFlags", "motionImage"}};

// Applies one key = value to the camera; returns the reason when it cannot.
std::string applyField(Camera& camera, std::string_view key, std::string_view value)
{
    auto& b = camera.record.bytes;

    for (const ByteField& field : kByteFields) {
        if (key != field.name)
            continue;
        auto number = parseNumber(value, 255);
        if (!number)
            return "expected a number from 0 to 255";
        b[settings::field(field.choice).answerAt] = static_cast<std::uint8_t>(*number);
        return "";
    }
    if (const settings::CameraField* field = settings::findField(key))
        return putField(camera.record, *field, value);
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
