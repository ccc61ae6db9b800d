#pragma once

#include <QString>

class QWidget;

namespace app {

// A caption as a screen reader should say it: without "&" and ":".
QString spokenCaption(QString caption);

// What a screen reader announces for each control of a window or dialog: the caption a sighted
// user reads on it or beside it, without "&" and ":". Buttons say their text, radio groups their
// title, edits the label that is their buddy.
void nameControlsByCaptions(QWidget* root);

} // namespace app
