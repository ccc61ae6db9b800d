#pragma once

#include "protocol/packets.h"

// The parameter packet Save sends for a camera when nothing was edited: every text and
// password marked "keep", every other field as the camera reported it.
protocol::ParameterPacket unchangedPacket(const protocol::CameraRecord& record);
