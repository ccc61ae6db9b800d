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
#include "tests/support/field_places.h"

using namespace protocol;
using fuzz::check;
using settings::CameraField;
using settings::SettingsValues;

namespace {

std::string SettingsValues::*const kOtherTexts[] = {
    &SettingsValues::ipAddress, &SettingsValues::subnetMask,    &SettingsValues::gateway,
    &SettingsValues::dnsServer, &SettingsValues::smtpIpAddress, &SettingsValues::hour,
    &SettingsValues::minute,    &SettingsValues::triggerCount,
};

int SettingsValues::*const kRadios[] = {
    &SettingsValues::motionImage,     &SettingsValues::antiFlicker,
    &SettingsValues::imageResolution, &SettingsValues::imageQuality,
    &SettingsValues::imageBrightness, &SettingsValues::upsideDown,
    &SettingsValues::networkType,     &SettingsValues::smtpServerType,
    &SettingsValues::timeEmail,       &SettingsValues::emailAuthentication,
    &SettingsValues::userPasswordOn,
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
bool camerasOwn(const CameraField& f, const std::string& typed, const CameraRecord& camera)
{
    return typed == zeroTerminated(camera.bytes.data() + f.packetAt + 1, f.areaWidth) ||
           (typed.size() > f.maxLength && typed == countedTextValue(camera, f.packetAt));
}

// The label of the first check the pages fail, worked out from the two readings and the
// camera's texts alone.
std::optional<std::string> firstFailure(const SettingsValues& v, const CameraRecord& camera)
{
    Ipv4Bytes ignored{};
    if (settings::readLenientIpv4(v.ipAddress, ignored) != 4)
        return "IP Address";
    if (settings::readLenientIpv4(v.subnetMask, ignored) != 4)
        return "Subnet Mask";
    if (settings::readLenientIpv4(v.gateway, ignored) != 4)
        return "Gateway";
    if (settings::readLenientIpv4(v.dnsServer, ignored) != 4)
        return "DNS Server";
    for (const CameraField* field : fuzz::textFields()) {
        const CameraField& f = *field;
        const std::string& typed = v.*f.text;
        if (f.kind != settings::FieldKind::password && typed.size() > f.maxLength &&
            !camerasOwn(f, typed, camera))
            return f.label;
    }
    const int smtp = settings::readLenientIpv4(v.smtpIpAddress, ignored);
    if (smtp != 0 && smtp != 4)
        return "SMTP IP Address";
    const int hour = settings::readInteger(v.hour);
    const int minute = settings::readInteger(v.minute);
    if (hour < 0 || hour > 23)
        return "Time e-mail: Hour";
    if (minute < 0 || minute > 59)
        return "Time e-mail: Minute";
    if (hour == 0 && minute < 3)
        return "Time e-mail: 23:59 ~ 00:03";
    const int trigger = settings::readInteger(v.triggerCount);
    if (trigger < 0 || trigger > 99)
        return "E-mail Trigger Count";
    return std::nullopt;
}

void checkText(const CameraField& f, const std::string& typed, const ParameterPacket& packet,
               const CameraRecord& camera)
{
    const std::uint8_t length = packet.bytes[f.packetAt];
    const std::uint8_t* area = packet.bytes.data() + f.packetAt + 1;
    const std::string cut = typed.substr(0, std::min(typed.size(), f.maxLength));
    const long long at = static_cast<long long>(f.packetAt);
    check(length == kKeepMarker || length <= f.maxLength, "length byte above the field's maximum",
          at);
    if (length == kKeepMarker) {
        check(std::all_of(area, area + f.areaWidth, [](std::uint8_t b) { return b == 0; }),
              "kept field with bytes in its area", at);
        if (f.kind == settings::FieldKind::password) {
            check(cut.empty(), "a typed password sent as kept", at);
        } else {
            // Kept when what goes out equals the camera's text, or when the box still holds the
            // camera's whole text, even one longer than the box's maximum.
            const std::string current =
                zeroTerminated(camera.bytes.data() + f.packetAt + 1, f.areaWidth);
            check(cut.substr(0, cut.find('\0')) == current || camerasOwn(f, typed, camera),
                  "a changed text sent as kept", at);
        }
        return;
    }
    check((f.kind == settings::FieldKind::password) || typed.size() <= f.maxLength,
          "a text longer than its field sent cut", at);
    check(length == cut.size() && std::memcmp(area, cut.data(), cut.size()) == 0,
          "text sent is not the text typed", at);
    check(std::all_of(area + length, area + f.areaWidth, [](std::uint8_t b) { return b == 0; }),
          "bytes after the text", at);
    check(f.kind != settings::FieldKind::password || length > 0, "an empty password sent as empty",
          at);
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
    for (const CameraField* f : fuzz::textFields())
        values.*f->text = nextField(bytes, pos);
    for (auto text : kOtherTexts)
        values.*text = nextField(bytes, pos);

    static CameraRecord camera;
    storeRespondPacket(bytes.data() + pos, bytes.size() - pos, camera);
    // Let the camera already hold the typed texts, so that unchanged fields are common.
    if (cameraHasPageTexts) {
        for (const CameraField* field : fuzz::textFields()) {
            const CameraField& f = *field;
            if (f.kind == settings::FieldKind::password)
                continue;
            const std::string& text = values.*f.text;
            const std::size_t n = std::min(text.size(), f.areaWidth);
            camera.bytes[f.packetAt] = static_cast<std::uint8_t>(n);
            std::fill_n(camera.bytes.begin() + static_cast<std::ptrdiff_t>(f.packetAt) + 1,
                        f.areaWidth, 0);
            std::memcpy(camera.bytes.data() + f.packetAt + 1, text.data(), n);
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
    check(std::equal(p.begin() + protocol::offset::parameterMac,
                     p.begin() + protocol::offset::parameterMac + 6,
                     camera.bytes.begin() + protocol::offset::respondMac),
          "MAC not the camera's");
    check(p[31] == 0, "byte 31 not zero");
    check(std::all_of(p.begin() + 647, p.end(), [](std::uint8_t b) { return b == 0; }),
          "bytes 647 to 655 not zero");
    check((p[optionFlagsAt()] & 0x2C) == 0, "option bits 2, 3 or 5 set", p[optionFlagsAt()]);
    for (const CameraField* f : fuzz::textFields())
        checkText(*f, values.*f->text, packet, camera);

    Ipv4Bytes address{};
    settings::readLenientIpv4(values.ipAddress, address);
    check(std::equal(address.begin(), address.end(), p.begin() + answerAt("ipAddress")),
          "IP address not the one typed");
    check(p[packetAt("hour")] == settings::readInteger(values.hour) &&
              p[packetAt("minute")] == settings::readInteger(values.minute) &&
              p[packetAt("triggerCount")] == settings::readInteger(values.triggerCount),
          "time or trigger count not the one typed");
    return 0;
}
