#pragma once

#include <QRgb>

namespace theme {

// Border lines of the frame, groups, edits, the list and the page control.
inline constexpr QRgb kBorderColour = qRgb(0x7F, 0x7F, 0x7F);
// Body of the frame, the page control and its pages.
inline constexpr QRgb kBodyColour = qRgb(0xE7, 0xE7, 0xE7);

} // namespace theme
