#pragma once

#include <QPixmap>

// The painted pictures of the theme. They need a QGuiApplication. Each is drawn for a device
// pixel ratio, so that it stays sharp on a scaled screen; its size in logical pixels stays the
// same.
namespace theme {

inline constexpr int kTitleBarHeight = 23;
inline constexpr int kTitleCapWidth = 48;
inline constexpr int kTitleButtonSize = 17;

enum class TitleButtonKind { ControlBox, Close, Minimise };
enum class TitleButtonState { Normal, Hover, Pressed };

QPixmap titleBarLeftCap(qreal ratio = 1);
QPixmap titleBarRightCap(qreal ratio = 1);
// A narrow slice, stretched across the middle of the title bar.
QPixmap titleBarMiddle(qreal ratio = 1);
QPixmap titleButtonPicture(TitleButtonKind kind, TitleButtonState state, qreal ratio = 1);

// The hammer crossed with the wrench on a transparent square, painted for the given size.
QPixmap iconPicture(int size);

} // namespace theme
