#pragma once

#include <QFont>
#include <QIcon>
#include <QString>

class QApplication;

namespace theme {

// Installs the flat grey look on the whole application: style, palette, font and stylesheet.
void applyTheme(QApplication& app);

// "MS Sans Serif" 8 pt for every control, "Tahoma" 8 pt bold for the title bar; both 11 px high.
// The classic face has bitmaps at that size only, so a window whose device pixel ratio is not 1
// draws its controls' text in "Tahoma" 8 pt instead ("DejaVu Sans" for either without
// fonts-wine); applyTheme keeps each window's face to its ratio as it moves between screens.
// Need a QGuiApplication.
QFont uiFont();
QFont titleFont();

QString styleSheet();

// The hammer-and-wrench icon at 16 and 32 px.
QIcon applicationIcon();
// Writes the icon as a square PNG of the given size; false when the size is unreasonable or the
// file cannot be written.
bool writeIconPng(const QString& path, int size);

} // namespace theme
