#include "settings_test_record.h"

namespace settings_test {

void putBytes(protocol::CameraRecord& record, std::size_t at, std::initializer_list<int> bytes)
{
    for (int b : bytes) {
        record.bytes.at(at++) = static_cast<std::uint8_t>(b);
    }
}

void putText(protocol::CameraRecord& record, std::size_t at, const std::string& text)
{
    record.bytes.at(at) = static_cast<std::uint8_t>(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        record.bytes.at(at + 1 + i) = static_cast<std::uint8_t>(text[i]);
    }
}

// Every field at the place a camera's answer has it, written out as a number here, so that a
// wrong place in the program's field table shows in the tests that read this record.
protocol::CameraRecord sampleRecord()
{
    protocol::CameraRecord r;
    const std::string tag = "MORVAK INFO RESPOND";
    for (std::size_t i = 0; i < tag.size(); ++i) {
        r.bytes[i] = static_cast<std::uint8_t>(tag[i]);
    }
    putBytes(r, 20, {0x00, 0x1A, 0x2B, 0xC3, 0xD4, 0xEF});
    putBytes(r, 28, {0, 0x6A, 0x53});
    putBytes(r, 32, {203, 0, 113, 20});
    putBytes(r, 36, {203, 0, 113, 1});
    putBytes(r, 40, {255, 255, 255, 0});
    putBytes(r, 44, {198, 51, 100, 53});
    putText(r, 48, "adsl-user");
    putText(r, 80, "smtp.example.net");
    putText(r, 112, "cam@example.net");
    putText(r, 160, "ops@example.net");
    putText(r, 208, "");
    putText(r, 256, "cam");
    putText(r, 304, "Loading Bay");
    r.bytes[352] = protocol::kKeepMarker;
    putText(r, 384, "bay.ddns.example.net");
    const std::string firmware = "V1.6.0-2041";
    for (std::size_t i = 0; i < firmware.size(); ++i) {
        r.bytes[480 + i] = static_cast<std::uint8_t>(firmware[i]);
    }
    putBytes(r, 512, {198, 51, 100, 25});
    putBytes(r, 516, {7, 30, 5});
    putBytes(r, 519, {203, 0, 113, 77});
    return r;
}

} // namespace settings_test
