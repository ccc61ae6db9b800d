#pragma once

#include <string>
#include <utility>
#include <vector>

#include "protocol/packets.h"

namespace cli {

// A parameter packet field by field, in packet order, as `set --dry-run` prints it: texts the
// camera is to keep as "keep", passwords that would be sent as "********".
std::vector<std::pair<std::string, std::string>>
describePacket(const protocol::ParameterPacket& packet);

} // namespace cli
