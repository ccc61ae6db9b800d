#pragma once

#include <cstddef>
#include <string>

#include "protocol/packets.h"

namespace protocol {

// Zeroes memory that held a password, in a way the compiler may not leave out as a store nobody
// reads, so that no copy of it lingers in freed or reused memory.
void wipe(void* data, std::size_t size);

// The string's whole storage, including what lies past its end from longer contents it held
// before; the string is left empty.
void wipe(std::string& text);

void wipe(ParameterPacket& packet);

} // namespace protocol
