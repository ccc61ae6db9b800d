#pragma once

#include <cstddef>

#include "settings/camera_fields.h"

// Where the program keeps a field in the camera's answer and in the parameter packet, by the
// field's name, for tests that put bytes in or look at them.
inline std::size_t answerAt(const char* name)
{
    return settings::field(name).answerAt;
}

inline std::size_t packetAt(const char* name)
{
    return settings::field(name).packetAt;
}

// The byte of the image choices and the byte of the option switches.
inline std::size_t imageFlagsAt()
{
    return answerAt("imageQuality");
}

inline std::size_t optionFlagsAt()
{
    return answerAt("motionImage");
}
