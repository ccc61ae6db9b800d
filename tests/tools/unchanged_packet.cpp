#include "tests/tools/unchanged_packet.h"

#include <stdexcept>

#include "settings/field_changes.h"
#include "settings/settings_values.h"

protocol::ParameterPacket unchangedPacket(const protocol::CameraRecord& record)
{
    protocol::ParameterPacket packet;
    if (const auto refused = settings::collectSettings(settings::valuesOf(record), record, packet))
        throw std::logic_error("Save refuses the camera as it stands: " + *refused);
    return packet;
}
