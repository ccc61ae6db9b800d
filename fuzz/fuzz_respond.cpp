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
#include "settings/settings_values.h"

using namespace protocol;
using fuzz::check;

namespace {

constexpr std::size_t kTextOffsets[] = {
    offset::adslUserName,      offset::smtpDomain,   offset::emailSender,
    offset::emailReceiver,     offset::emailCopy,    offset::emailAccount,
    offset::cameraDescription, offset::ddnsUserName, offset::ddnsDomainName,
};

bool sameBytes(const Ipv4Bytes& address, const CameraRecord& record, std::size_t at)
{
    return std::equal(address.begin(), address.end(), record.bytes.begin() + at);
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
    const Ipv4Bytes used = usedIPAddress(record);
    const std::string shown = formatIpv4(used);
    check(shown.size() >= 7 && shown.size() <= 15, "address text has the wrong size",
          static_cast<long long>(shown.size()));
    // What the pages show must read back as the same four bytes.
    Ipv4Bytes back{};
    check(settings::readDottedQuad(shown, back) == 4 && back == used,
          "shown address reads back wrong");

    const MacBytes mac = macAddress(record);
    const std::string macText = formatMac(mac);
    check(macText.size() == 17, "MAC text is not 17 characters",
          static_cast<long long>(macText.size()));
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const unsigned value =
            static_cast<unsigned>(std::stoul(macText.substr(i * 3, 2), nullptr, 16));
        check(value == mac[i], "MAC text shows another byte", static_cast<long long>(i));
        check(i == 5 || macText[i * 3 + 2] == '-', "MAC text without its hyphen");
    }
}

void checkReaders(const CameraRecord& record)
{
    const auto& b = record.bytes;
    const MacBytes mac = macAddress(record);
    check(std::equal(mac.begin(), mac.end(), b.begin() + offset::respondMac), "MAC read wrong");
    check(sameBytes(ipAddress(record), record, offset::ipAddress) &&
              sameBytes(gateway(record), record, offset::gateway) &&
              sameBytes(subnetMask(record), record, offset::subnetMask) &&
              sameBytes(dnsServer(record), record, offset::dnsServer) &&
              sameBytes(smtpIpAddress(record), record, offset::recordSmtpIpAddress) &&
              sameBytes(usedIPAddress(record), record, offset::usedIPAddress),
          "an address read from the wrong place");
    check(networkType(record) == b[offset::networkType] && hour(record) == b[offset::hour] &&
              minute(record) == b[offset::minute] &&
              triggerCount(record) == b[offset::triggerCount],
          "a one-byte field read wrong");

    // Unpacking then packing the flags must give the bytes back (bits 2, 3, 5 of the options are
    // not the utility's and drop out).
    check(packImageFlags(upsideDown(record), imageBrightness(record), antiFlicker(record),
                         imageQuality(record), imageResolution(record)) == imageFlags(record),
          "image flags do not survive unpacking", imageFlags(record));
    check(packOptionFlags(smtpServerType(record), timeEmail(record), emailAuthentication(record),
                          motionImage(record),
                          userPasswordOn(record)) == (optionFlags(record) & ~0x2C),
          "option flags do not survive unpacking", optionFlags(record));

    const std::string firmware = firmwareVersion(record);
    check(firmware.size() <= offset::firmwareVersionWidth &&
              std::memcmp(firmware.data(), b.data() + offset::firmwareVersion, firmware.size()) ==
                  0 &&
              firmware.find('\0') == std::string::npos,
          "firmware version read wrong");
}

void checkDecoded(const CameraRecord& record)
{
    const settings::SettingsValues v = settings::decodeCameraRecord(record);
    check(v.optImageResolution >= 0 && v.optImageResolution <= 1 && v.optImageQuality >= 0 &&
              v.optImageQuality <= 2,
          "resolution or quality without an item");
    check(v.txtAdminPassword.empty() && v.txtNewAdminPassword.empty() &&
              v.txtUserPassword.empty() && v.txtNewUserPassword.empty() &&
              v.txtAdslPassword.empty() && v.txtDdnsPassword.empty() && v.txtEmailPassword.empty(),
          "a password shown from a record");
    check(v.txtHour == std::to_string(hour(record)), "hour shown wrong");

    // Saved unedited, the pages must send the camera's own settings back.
    ParameterPacket packet;
    const auto refused = settings::collectSettings(v, record, packet);
    const bool timeOk = hour(record) <= 23 && minute(record) <= 59 &&
                        !(hour(record) == 0 && minute(record) < 3) && triggerCount(record) <= 99;
    check(refused.has_value() != timeOk, "unedited pages judged wrongly");
    if (refused)
        return;
    const auto& p = packet.bytes;
    check(p[offset::networkType] == networkType(record), "network type not sent back");
    check((p[offset::imageFlags] & 0x0F) == (imageFlags(record) & 0x0F),
          "image settings not sent back", imageFlags(record));
    check(p[offset::optionFlags] == (optionFlags(record) & ~0x2C), "options not sent back",
          optionFlags(record));
    check(std::equal(p.begin() + offset::ipAddress, p.begin() + offset::adslUserName,
                     record.bytes.begin() + offset::ipAddress),
          "addresses not sent back");
    check(std::equal(p.begin() + offset::packetSmtpIpAddress,
                     p.begin() + offset::packetSmtpIpAddress + 4,
                     record.bytes.begin() + offset::recordSmtpIpAddress),
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
    for (std::size_t at : kTextOffsets)
        checkCountedText(record, at);
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
    const auto rows = cameraRows(table);
    check(rows.size() == table.count, "row count differs from the table's");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        check(rows[i].number == std::to_string(i + 1), "row numbered wrong",
              static_cast<long long>(i));
        check(rows[i].description == countedTextValue(table.slots[i], offset::cameraDescription),
              "row shows another description", static_cast<long long>(i));
    }
    return 0;
}
