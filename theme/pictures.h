#pragma once

#include <QPixmap>

// The painted pictures of the theme. They need a QGuiApplication.
namespace theme {

inline constexpr int kTitleBarHeight = 23;
inline constexpr int kTitleCapWidth = 48;
inline constexpr int kTitleButtonSize = 17;

enum class TitleButtonKind { ControlBox, Close, Minimise };
enum class TitleButtonState { Normal, Hover, Pressed };

QPixmap titleBarLeftCap();
QPixmap titleBarRightCap();
// A narrow slice, stretched across the middle of the title bar.
QPixmap titleBarMiddle();
QPixmap titleButtonPicture(TitleButtonKind kind, TitleButtonState state);

// The hammer crossed with the wrench on a transparent square, painted for the given size.
QPixmap iconPicture(int size);

} // namespace theme
