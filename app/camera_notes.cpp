#include "app/camera_notes.h"

#include <algorithm>

#include "protocol/code_page.h"
#include "settings/camera_list.h"
#include "settings/settings_values.h"

namespace app {

namespace {

// "camera 3", "cameras 3 and 5", "cameras 3, 5 and 8", numbered from 1 as the list shows them.
std::string cameraNumbers(const std::vector<std::size_t>& rows)
{
    std::string text = rows.size() == 1 ? "camera " : "cameras ";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0)
            text += i + 1 == rows.size() ? " and " : ", ";
        text += std::to_string(rows[i] + 1);
    }
    return text;
}

} // namespace

std::vector<CameraNotes> cameraNotes(const protocol::CameraTable& table,
                                     const std::vector<hostnet::AdapterSubnet>& subnets)
{
    const std::vector<std::vector<std::size_t>> sharing = settings::rowsSharingAddress(table);
    std::string subnetList;
    for (const hostnet::AdapterSubnet& subnet : subnets)
        subnetList +=
            (subnetList.empty() ? "" : ", ") + subnet.text() + " (" + subnet.adapter + ")";

    std::vector<CameraNotes> notes(table.count);
    for (std::size_t row = 0; row < table.count; ++row) {
        const protocol::CameraRecord& record = table.slots[row];
        const net::Ipv4Bytes address = settings::usedAddress(record);
        const settings::SettingsValues shown = settings::decodeCameraRecord(record);
        CameraNotes& note = notes[row];
        note.toolTip = "MAC address: " + shown.macAddress +
                       "\nIP address in use: " + shown.usedIPAddress +
                       "\nFirmware: " + protocol::cameraTextToUtf8(shown.firmwareVersion);

        const bool reachable = subnets.empty() || std::any_of(subnets.begin(), subnets.end(),
                                                              [&](const hostnet::AdapterSubnet& s) {
                                                                  return s.holdsHost(address);
                                                              });
        if (!reachable) {
            note.warnings.push_back("Not reachable from this PC: another subnet");
            note.toolTip += "\n\nNot reachable from this PC: its address is in none of the PC's "
                            "subnets,\n" +
                            subnetList +
                            ".\nGive it an address in one of them on the Network Config page "
                            "first.";
        }
        const auto pc =
            std::find_if(subnets.begin(), subnets.end(),
                         [&](const hostnet::AdapterSubnet& s) { return s.address == address; });
        if (pc != subnets.end()) {
            note.warnings.push_back("Same IP address as this PC");
            note.toolTip += "\n\nSame IP address as this PC (" + pc->adapter +
                            "): neither can be reached there for sure.\nGive the camera another "
                            "address on the Network Config page.";
        }
        if (!sharing[row].empty()) {
            note.warnings.push_back("Same IP address as " + cameraNumbers(sharing[row]));
            note.toolTip +=
                "\n\n" + note.warnings.back() + ": only one of them can be reached there.";
        }
    }
    return notes;
}

} // namespace app
