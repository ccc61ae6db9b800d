#pragma once

#include <string>
#include <vector>

#include "tools/virtual-cameras/camera.h"

namespace camsim {

// Reads cameras from text like
//
//     # comment
//     [camera]
//     macAddress = 02-00-5E-00-00-01
//     cameraDescription = Front door
//     silent = 1,2
//
// Each "[camera]" line starts a camera, which begins as the generated camera with its number
// and then takes the fields given. On failure returns false and says which line and why.
bool parseCameraFile(const std::string& text, std::vector<Camera>& cameras, std::string& error);

} // namespace camsim
