#include "settings/camera_list.h"

#include <algorithm>

#include "protocol/code_page.h"
#include "settings/camera_fields.h"
#include "settings/settings_values.h"

namespace settings {

net::Ipv4Bytes usedAddress(const protocol::CameraRecord& record)
{
    net::Ipv4Bytes address{};
    const auto from =
        record.bytes.begin() + static_cast<std::ptrdiff_t>(field("usedIPAddress").answerAt);
    std::copy(from, from + 4, address.begin());
    return address;
}

std::string description(const protocol::CameraRecord& record)
{
    return protocol::countedTextValue(record, field("cameraDescription").answerAt);
}

namespace {

std::string csvCell(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string cell = "\"";
    for (const char c : text)
        cell += c == '"' ? std::string("\"\"") : std::string(1, c);
    return cell + "\"";
}

} // namespace

std::string cameraListCsv(const std::vector<const protocol::CameraRecord*>& cameras)
{
    std::string text = "macAddress,usedIPAddress,cameraDescription,firmwareVersion\r\n";
    for (const protocol::CameraRecord* camera : cameras) {
        const SettingsValues v = decodeCameraRecord(*camera);
        text += csvCell(v.macAddress) + ',' + csvCell(v.usedIPAddress) + ',' +
                csvCell(protocol::cameraTextToUtf8(protocol::printable(v.cameraDescription))) +
                ',' + csvCell(protocol::cameraTextToUtf8(protocol::printable(v.firmwareVersion))) +
                "\r\n";
    }
    return text;
}

std::vector<CameraRow> cameraRows(const protocol::CameraTable& table)
{
    std::vector<CameraRow> rows;
    rows.reserve(table.count);
    for (std::size_t i = 0; i < table.count; ++i)
        rows.push_back({std::to_string(i + 1), description(table.slots[i])});
    return rows;
}

std::vector<std::vector<std::size_t>>
camerasSharingAddress(const std::vector<const protocol::CameraRecord*>& cameras)
{
    std::vector<std::vector<std::size_t>> sharing(cameras.size());
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        const net::Ipv4Bytes address = usedAddress(*cameras[i]);
        if (address == net::Ipv4Bytes{})
            continue;
        for (std::size_t k = 0; k < cameras.size(); ++k) {
            if (k != i && usedAddress(*cameras[k]) == address &&
                protocol::macAddress(*cameras[k]) != protocol::macAddress(*cameras[i]))
                sharing[i].push_back(k);
        }
    }
    return sharing;
}

std::vector<std::vector<std::size_t>> rowsSharingAddress(const protocol::CameraTable& table)
{
    std::vector<const protocol::CameraRecord*> cameras;
    for (std::size_t i = 0; i < table.count; ++i)
        cameras.push_back(&table.slots[i]);
    return camerasSharingAddress(cameras);
}

} // namespace settings
