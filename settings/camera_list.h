#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "protocol/discovery.h"

// The cameras of a search as the window's list and the command line's listings show them.
namespace settings {

// One row of the camera list: the number shown (from 1) and the camera's description.
struct CameraRow {
    std::string number;
    std::string description;
};

std::vector<CameraRow> cameraRows(const protocol::CameraTable& table);

// For each camera, the others (their positions, from 0) that report the same address in use:
// they cannot both be reached there. Two with the same MAC address are one camera heard through
// two adapters, not a clash, and 0.0.0.0 is no address at all.
std::vector<std::vector<std::size_t>>
camerasSharingAddress(const std::vector<const protocol::CameraRecord*>& cameras);
std::vector<std::vector<std::size_t>> rowsSharingAddress(const protocol::CameraTable& table);

// The cameras as CSV, as `find --csv` writes them and the window exports its list: a header line,
// then for each camera its MAC address, address in use, description and firmware, in UTF-8,
// quoted where RFC 4180 asks for it, with CRLF line ends; a control character in a text shows as
// '?', as in the list.
std::string cameraListCsv(const std::vector<const protocol::CameraRecord*>& cameras);

// The address a camera reports in use.
net::Ipv4Bytes usedAddress(const protocol::CameraRecord& record);
// The description a camera reports, as the list shows it (camera bytes).
std::string description(const protocol::CameraRecord& record);

} // namespace settings
