#pragma once

#include <string>
#include <vector>

#include "hostnet/host_adapter_info.h"
#include "protocol/discovery.h"

// What the camera list tells about each camera beyond its number and description, without a
// widget: the rows keep their look, and this goes into their tool tips and context menus.
namespace app {

struct CameraNotes {
    // Short, one line each, for the top of the row's context menu.
    std::vector<std::string> warnings;
    // UTF-8, lines joined by '\n': MAC address, address in use, firmware, then each warning with
    // what to do about it.
    std::string toolTip;
};

// One for each row of the table. A camera whose address in use lies in none of the subnets is
// not reachable from this PC (no note when there is no subnet to judge by); one whose address
// is one of the PC's own clashes with the PC; one whose address another camera reports too
// clashes with it (settings::rowsSharingAddress).
std::vector<CameraNotes> cameraNotes(const protocol::CameraTable& table,
                                     const std::vector<hostnet::AdapterSubnet>& subnets);

} // namespace app
