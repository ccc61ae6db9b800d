// A camera's answer taken apart: the respond test, storing, every reader, the list rows and the
// pages' decoding, then the decoded pages saved back unedited.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_input.h"
#include "protocol/discovery.h"
#include "protocol/packets.h"
#include "settings/camera_fields.h"
#include "settings/camera_list.h"
#include "settings/settings_values.h"
#include "tests/support/field_places.h"

using namespace protocol;
using fuzz::check;

namespace {

bool sameBytes(const Ipv4Bytes& address, const CameraRecord& record, std::size_t at)
{
    return std::equal(address.begin(), address.end(),
                      record.bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

void checkCountedText(const CameraRecord& record, std::size_t at)
{
    const std::string text = countedTextValue(record, at);
    if (at >= kRecordSize) {
        check(text.empty(), "text read from past the record", at);
        return;
    }
    const std::uint8_t length = record.bytes[at];
    if (length == kKeepMarker) {
        check(text.empty(), "length 255 read as text", at);
        return;
    }
    check(text.size() <= length, "text longer than its length byte", at);
    check(text.size() <= kRecordSize - at - 1, "text reaches past the record", at);
    check(std::memcmp(text.data(), record.bytes.data() + at + 1, text.size()) == 0,
          "text differs from the record's bytes", at);
    check(text.find('\0') == std::string::npos, "text holds a zero byte", at);
    // Shorter than its length only because a zero byte (or the record's end) stopped it.
    const std::size_t next = at + 1 + text.size();
    check(text.size() == length || next == kRecordSize || record.bytes[next] == 0,
          "text ends early without a zero byte", at);
}

void checkFormats(const CameraRecord& record)
{
    const Ipv4Bytes used = settings::usedAddress(record);
    const std::string shown = net::formatIpv4(used);
    check(shown.size() >= 7 && shown.size() <= 15, "address text has the wrong size",
          static_cast<long long>(shown.size()));
    // What the pages show must read back as the same four bytes.
    Ipv4Bytes back{};
    check(settings::readLenientIpv4(shown, back) == 4 && back == used,
          "shown address reads back wrong");

    const MacBytes mac = macAddress(record);
    const std::string macText = net::formatMac(mac);
    check(macText.size() == 17, "MAC text is not 17 characters",
          static_cast<long long>(macText.size()));
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const unsigned value =
            static_cast<unsigned>(std::stoul(macText.substr(i * 3, 2), nullptr, 16));
        check(value == mac[i], "MAC text shows another byte", static_cast<long long>(i));
        check(i == 5 || macText[i * 3 + 2] == '-', "MAC text without its hyphen");
    }
}

// Every field the pages show comes from its own place in the record.
void checkReaders(const CameraRecord& record)
{
    using settings::FieldKind;
    const auto& b = record.bytes;
    const settings::SettingsValues v = settings::decodeCameraRecord(record);
    for (const settings::CameraField& f : settings::cameraFields()) {
        const long long at = static_cast<long long>(f.answerAt);
        Ipv4Bytes address{};
        switch (f.kind) {
        case FieldKind::address:
            check(settings::readLenientIpv4(v.*f.text, address) == 4 &&
                      sameBytes(address, record, f.answerAt),
                  "an address read from the wrong place", at);
            break;
        case FieldKind::number:
            check(v.*f.text == std::to_string(b[f.answerAt]), "a number read wrong", at);
            break;
        case FieldKind::text:
            check(v.*f.text == countedTextValue(record, f.answerAt), "a text read wrong", at);
            break;
        case FieldKind::choice:
            // The resolution and the quality are read as a pair (checkDecoded).
            if (f.choice != &settings::SettingsValues::imageResolution &&
                f.choice != &settings::SettingsValues::imageQuality)
                check(v.*f.choice == ((b[f.answerAt] >> f.bits.shift) & ((1 << f.bits.width) - 1)),
                      "a choice read from the wrong bits", at);
            break;
        case FieldKind::password:
            check((v.*f.text).empty(), "a password read from a record", at);
            break;
        case FieldKind::shown:
            break;
        }
    }
    check(v.macAddress == net::formatMac(macAddress(record)), "MAC read wrong");
    check(v.usedIPAddress == net::formatIpv4(settings::usedAddress(record)),
          "address in use read wrong");
    const std::string& firmware = v.firmwareVersion;
    const std::size_t firmwareAt = answerAt("firmwareVersion");
    check(firmware.size() <= settings::field("firmwareVersion").areaWidth &&
              std::memcmp(firmware.data(), b.data() + firmwareAt, firmware.size()) == 0 &&
              firmware.find('\0') == std::string::npos,
          "firmware version read wrong");
}

void checkDecoded(const CameraRecord& record)
{
    const settings::SettingsValues v = settings::decodeCameraRecord(record);
    check(v.imageResolution >= 0 && v.imageResolution <= 1 && v.imageQuality >= 0 &&
              v.imageQuality <= 2,
          "resolution or quality without an item");
    check(v.adminPassword.empty() && v.newAdminPassword.empty() && v.userPassword.empty() &&
              v.newUserPassword.empty() && v.adslPassword.empty() && v.ddnsPassword.empty() &&
              v.emailPassword.empty(),
          "a password shown from a record");
    const auto& b = record.bytes;
    const int hour = b[answerAt("hour")];
    const int minute = b[answerAt("minute")];

    // Saved unedited, the pages must send the camera's own settings back.
    ParameterPacket packet;
    const auto refused = settings::collectSettings(v, record, packet);
    const bool timeOk = hour <= 23 && minute <= 59 && !(hour == 0 && minute < 3) &&
                        b[answerAt("triggerCount")] <= 99;
    check(refused.has_value() != timeOk, "unedited pages judged wrongly");
    if (refused)
        return;
    const auto& p = packet.bytes;
    check(p[answerAt("networkType")] == b[answerAt("networkType")], "network type not sent back");
    check((p[imageFlagsAt()] & 0x0F) == (b[imageFlagsAt()] & 0x0F), "image settings not sent back",
          b[imageFlagsAt()]);
    check(p[optionFlagsAt()] == (b[optionFlagsAt()] & ~0x2C), "options not sent back",
          b[optionFlagsAt()]);
    check(std::equal(p.begin() + answerAt("ipAddress"), p.begin() + answerAt("adslUserName"),
                     record.bytes.begin() + answerAt("ipAddress")),
          "addresses not sent back");
    check(std::equal(p.begin() + packetAt("smtpIpAddress"),
                     p.begin() + packetAt("smtpIpAddress") + 4,
                     record.bytes.begin() + answerAt("smtpIpAddress")),
          "SMTP address not sent back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const bool respond = isRespondPacket(data, size);
    check(respond == (size > 20 && std::memcmp(data, "MORVAK INFO RESPOND", 19) == 0),
          "respond test wrong", static_cast<long long>(size));

    // Every datagram is stored here, not only answers: the readers must cope with any record.
    static CameraRecord record;
    record.bytes.fill(0xEE);
    storeRespondPacket(data, size, record);
    const std::size_t stored = std::min(size, kRecordSize);
    check(std::memcmp(record.bytes.data(), data, stored) == 0, "stored bytes differ");
    check(std::all_of(record.bytes.begin() + stored, record.bytes.end(),
                      [](std::uint8_t b) { return b == 0; }),
          "record not zero past the datagram");

    checkReaders(record);
    checkFormats(record);
    for (const settings::CameraField& field : settings::cameraFields())
        if (field.kind == settings::FieldKind::text)
            checkCountedText(record, field.answerAt);
    for (std::size_t at = kRecordSize - 40; at < kRecordSize + 8; ++at)
        checkCountedText(record, at);
    checkDecoded(record);

    // A table of up to 128 records cut from the input at different starting points.
    static CameraTable table;
    fuzz::InputReader in(data, size);
    table.count = static_cast<std::uint8_t>(in.byte() % (kTableSlots + 1));
    for (std::size_t i = 0; i < table.count; ++i) {
        const std::size_t from = size ? (i * 37) % size : 0;
        storeRespondPacket(data + from, size - from, table.slots[i]);
    }
    const auto rows = settings::cameraRows(table);
    check(rows.size() == table.count, "row count differs from the table's");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        check(rows[i].number == std::to_string(i + 1), "row numbered wrong",
              static_cast<long long>(i));
        check(rows[i].description ==
                  countedTextValue(table.slots[i], answerAt("cameraDescription")),
              "row shows another description", static_cast<long long>(i));
    }
    return 0;
}
