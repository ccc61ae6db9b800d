// The Save button's checks and packing, on pages and a camera record made from the input.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/packet_fields.h"
#include "protocol/packets.h"
#include "settings/settings_values.h"

using namespace protocol;
using fuzz::check;
using fuzz::kTextFields;
using fuzz::TextField;
using settings::SettingsValues;

namespace {

std::string SettingsValues::*const kOtherTexts[] = {
    &SettingsValues::txtIpAddress2, &SettingsValues::txtSubnetMask2,   &SettingsValues::txtGateway2,
    &SettingsValues::txtDnsServer2, &SettingsValues::txtSmtpIpAddress, &SettingsValues::txtHour,
    &SettingsValues::txtMinute,     &SettingsValues::txtTriggerCount,
};

int SettingsValues::*const kRadios[] = {
    &SettingsValues::optMotionImage,     &SettingsValues::optAntiFlicker,
    &SettingsValues::optImageResolution, &SettingsValues::optImageQuality,
    &SettingsValues::optImageBrightness, &SettingsValues::optUpsideDown,
    &SettingsValues::optNetworkType,     &SettingsValues::optSmtpServerType,
    &SettingsValues::optTimeEmail,       &SettingsValues::optEmailAuthentication,
    &SettingsValues::optUserPassword,
};

// The texts of the camera and the pages are separated by newlines; after the last field the
// rest of the input is the camera's record.
std::string nextField(const std::vector<std::uint8_t>& bytes, std::size_t& pos)
{
    const auto from = bytes.begin() + static_cast<std::ptrdiff_t>(pos);
    const auto end = std::find(from, bytes.end(), std::uint8_t{'\n'});
    std::string field(from, end);
    pos = static_cast<std::size_t>(end - bytes.begin()) + (end == bytes.end() ? 0 : 1);
    return field;
}

std::string zeroTerminated(const std::uint8_t* from, std::size_t limit)
{
    return std::string(from, std::find(from, from + limit, std::uint8_t{0}));
}

// Whether a text is the camera's own: its area's text up to a zero, or, longer than the field's
// maximum, also its counted text as the pages show it.
bool camerasOwn(const TextField& f, const std::string& typed, const CameraRecord& camera)
{
    return typed == zeroTerminated(camera.bytes.data() + f.at + 1, f.width) ||
           (typed.size() > f.max && typed == countedTextValue(camera, f.at));
}

// The label of the first check the pages fail, worked out from the two readings and the
// camera's texts alone.
std::optional<std::string> firstFailure(const SettingsValues& v, const CameraRecord& camera)
{
    Ipv4Bytes ignored{};
    if (settings::readDottedQuad(v.txtIpAddress2, ignored) != 4)
        return "IP Address";
    if (settings::readDottedQuad(v.txtSubnetMask2, ignored) != 4)
        return "Subnet Mask";
    if (settings::readDottedQuad(v.txtGateway2, ignored) != 4)
        return "Gateway";
    if (settings::readDottedQuad(v.txtDnsServer2, ignored) != 4)
        return "DNS Server";
    for (const auto& f : kTextFields) {
        const std::string& typed = v.*f.member;
        if (!f.password && typed.size() > f.max && !camerasOwn(f, typed, camera))
            return f.label;
    }
    const int smtp = settings::readDottedQuad(v.txtSmtpIpAddress, ignored);
    if (smtp != 0 && smtp != 4)
        return "SMTP IP Address";
    const int hour = settings::readInteger(v.txtHour);
    const int minute = settings::readInteger(v.txtMinute);
    if (hour < 0 || hour > 23)
        return "Time e-mail: Hour";
    if (minute < 0 || minute > 59)
        return "Time e-mail: Minute";
    if (hour == 0 && minute < 3)
        return "Time e-mail: 23:59 ~ 00:03";
    const int trigger = settings::readInteger(v.txtTriggerCount);
    if (trigger < 0 || trigger > 99)
        return "E-mail Trigger Count";
    return std::nullopt;
}

void checkText(const TextField& f, const std::string& typed, const ParameterPacket& packet,
               const CameraRecord& camera)
{
    const std::uint8_t length = packet.bytes[f.at];
    const std::uint8_t* area = packet.bytes.data() + f.at + 1;
    const std::string cut = typed.substr(0, std::min(typed.size(), f.max));
    const long long at = static_cast<long long>(f.at);
    check(length == kKeepMarker || length <= f.max, "length byte above the field's maximum", at);
    if (length == kKeepMarker) {
        check(std::all_of(area, area + f.width, [](std::uint8_t b) { return b == 0; }),
              "kept field with bytes in its area", at);
        if (f.password) {
            check(cut.empty(), "a typed password sent as kept", at);
        } else {
            // Kept when what goes out equals the camera's text, or when the box still holds the
            // camera's whole text, even one longer than the box's maximum.
            const std::string current = zeroTerminated(camera.bytes.data() + f.at + 1, f.width);
            check(cut.substr(0, cut.find('\0')) == current || camerasOwn(f, typed, camera),
                  "a changed text sent as kept", at);
        }
        return;
    }
    check(f.password || typed.size() <= f.max, "a text longer than its field sent cut", at);
    check(length == cut.size() && std::memcmp(area, cut.data(), cut.size()) == 0,
          "text sent is not the text typed", at);
    check(std::all_of(area + length, area + f.width, [](std::uint8_t b) { return b == 0; }),
          "bytes after the text", at);
    check(!f.password || length > 0, "an empty password sent as empty", at);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::InputReader in(data, size);
    SettingsValues values;
    for (auto radio : kRadios)
        values.*radio = static_cast<std::int8_t>(in.byte());
    const bool cameraHasPageTexts = in.byte() & 1;

    const std::vector<std::uint8_t> bytes = in.rest();
    std::size_t pos = 0;
    for (const auto& f : kTextFields)
        values.*f.member = nextField(bytes, pos);
    for (auto text : kOtherTexts)
        values.*text = nextField(bytes, pos);

    static CameraRecord camera;
    storeRespondPacket(bytes.data() + pos, bytes.size() - pos, camera);
    // Let the camera already hold the typed texts, so that unchanged fields are common.
    if (cameraHasPageTexts) {
        for (const auto& f : kTextFields) {
            if (f.password)
                continue;
            const std::string& text = values.*f.member;
            const std::size_t n = std::min(text.size(), f.width);
            camera.bytes[f.at] = static_cast<std::uint8_t>(n);
            std::fill_n(camera.bytes.begin() + static_cast<std::ptrdiff_t>(f.at) + 1, f.width, 0);
            std::memcpy(camera.bytes.data() + f.at + 1, text.data(), n);
        }
    }

    static ParameterPacket packet;
    packet.bytes.fill(0xCC);
    const auto refused = settings::collectSettings(values, camera, packet);
    const auto expected = firstFailure(values, camera);
    check(refused == expected, "refused with the wrong label, or not when it should be");
    const auto& p = packet.bytes;
    if (refused) {
        // A refused packet must not keep the passwords typed so far.
        check(std::all_of(p.begin(), p.end(), [](std::uint8_t b) { return b == 0; }),
              "refused packet not wiped");
        return 0;
    }

    check(std::memcmp(p.data(), "MORVAK INFO PARAMETER ", 22) == 0, "packet tag wrong");
    check(std::equal(p.begin() + offset::parameterMac, p.begin() + offset::parameterMac + 6,
                     camera.bytes.begin() + offset::respondMac),
          "MAC not the camera's");
    check(p[31] == 0, "byte 31 not zero");
    check(std::all_of(p.begin() + 647, p.end(), [](std::uint8_t b) { return b == 0; }),
          "bytes 647 to 655 not zero");
    check((p[offset::optionFlags] & 0x2C) == 0, "option bits 2, 3 or 5 set",
          p[offset::optionFlags]);
    for (const auto& f : kTextFields)
        checkText(f, values.*f.member, packet, camera);

    Ipv4Bytes address{};
    settings::readDottedQuad(values.txtIpAddress2, address);
    check(std::equal(address.begin(), address.end(), p.begin() + offset::ipAddress),
          "IP address not the one typed");
    check(p[offset::packetHour] == settings::readInteger(values.txtHour) &&
              p[offset::packetMinute] == settings::readInteger(values.txtMinute) &&
              p[offset::packetTriggerCount] == settings::readInteger(values.txtTriggerCount),
          "time or trigger count not the one typed");
    return 0;
}
