#include "settings_test_record.h"

namespace settings_test {

namespace offset = protocol::offset;

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

protocol::CameraRecord sampleRecord()
{
    protocol::CameraRecord r;
    const std::string tag = "MORVAK INFO RESPOND";
    for (std::size_t i = 0; i < tag.size(); ++i) {
        r.bytes[i] = static_cast<std::uint8_t>(tag[i]);
    }
    putBytes(r, offset::respondMac, {0x00, 0x1A, 0x2B, 0xC3, 0xD4, 0xEF});
    putBytes(r, offset::networkType, {0, 0x6A, 0x53});
    putBytes(r, offset::ipAddress, {203, 0, 113, 20});
    putBytes(r, offset::gateway, {203, 0, 113, 1});
    putBytes(r, offset::subnetMask, {255, 255, 255, 0});
    putBytes(r, offset::dnsServer, {198, 51, 100, 53});
    putText(r, offset::adslUserName, "adsl-user");
    putText(r, offset::smtpDomain, "smtp.example.net");
    putText(r, offset::emailSender, "cam@example.net");
    putText(r, offset::emailReceiver, "ops@example.net");
    putText(r, offset::emailCopy, "");
    putText(r, offset::emailAccount, "cam");
    putText(r, offset::cameraDescription, "Loading Bay");
    r.bytes[offset::ddnsUserName] = protocol::kKeepMarker;
    putText(r, offset::ddnsDomainName, "bay.ddns.example.net");
    const std::string firmware = "V1.6.0-2041";
    for (std::size_t i = 0; i < firmware.size(); ++i) {
        r.bytes[offset::firmwareVersion + i] = static_cast<std::uint8_t>(firmware[i]);
    }
    putBytes(r, offset::recordSmtpIpAddress, {198, 51, 100, 25});
    putBytes(r, offset::hour, {7, 30, 5});
    putBytes(r, offset::usedIPAddress, {203, 0, 113, 77});
    return r;
}

} // namespace settings_test
