#pragma once

#include <string>

#include <QString>
#include <QStringView>
#include <QValidator>

class QLineEdit;

// The window's side of the cameras' code page (protocol/code_page.h): camera bytes become a
// QString and back only here, one character per byte.
namespace app {

// A camera's bytes as text; every byte has its character.
QString fromCamera(const std::string& bytes);

// Whether every character of the text has a camera byte.
bool fitsCamera(QStringView text);

// The text as camera bytes, written in place into out (one allocation, no other copy, so that a
// password leaves nothing behind). False, with out wiped and empty, when a character has no byte.
bool toCamera(QStringView text, std::string& out);

// Refuses, where it is typed, pasted or dropped, any character the cameras cannot store: the
// edit keeps what it had.
class CameraTextValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

// Typing and pasting stop at `limit` characters, as with setMaxLength, but a longer text the
// program shows (showText) is never cut: while an edit's text is longer than the limit its
// maximum is its length, so it can shrink but not grow, and at or under the limit it is the
// limit again.
void limitTyping(QLineEdit* edit, int limit);

// Shows the whole text, however long.
void showText(QLineEdit* edit, const QString& text);

} // namespace app
