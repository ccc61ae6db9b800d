#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>

#include "protocol/packets.h"

namespace settings_test {

void putBytes(protocol::CameraRecord& record, std::size_t at, std::initializer_list<int> bytes);
void putText(protocol::CameraRecord& record, std::size_t at, const std::string& text);

// A camera as it answers on a typical LAN: every counted text filled, QVGA/Low, time e-mail on.
protocol::CameraRecord sampleRecord();

} // namespace settings_test
