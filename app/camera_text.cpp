#include "app/camera_text.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

#include <QLineEdit>
#include <QVariant>

#include "protocol/code_page.h"
#include "protocol/wipe.h"

namespace app {

namespace {

const char* const kTypingLimit = "telviqTypingLimit";

// The camera byte of one UTF-16 unit. Every character of the code page lies in the Basic
// Multilingual Plane, so half of a surrogate pair has none.
std::optional<std::uint8_t> byteOf(QChar unit)
{
    if (unit.isSurrogate())
        return std::nullopt;
    return protocol::codePageByte(unit.unicode());
}

// Sets the edit's maximum to the larger of its limit and `length`. setMaxLength sets the text
// anew, which moves the cursor to the end, forgets the edit was modified and drops its undo
// steps: the cursor and the modified flag are put back. Only a text longer than its limit that
// the user shortens comes here, so the lost undo steps are those of that shortening.
void fitMaxLength(QLineEdit* edit, int length)
{
    const QVariant limit = edit->property(kTypingLimit);
    if (!limit.isValid())
        return;
    const int wanted = std::max(limit.toInt(), length);
    if (edit->maxLength() == wanted)
        return;
    const bool modified = edit->isModified();
    const int cursor = edit->cursorPosition();
    edit->setMaxLength(wanted);
    edit->setCursorPosition(cursor);
    edit->setModified(modified);
}

} // namespace

QString fromCamera(const std::string& bytes)
{
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char32_t character = protocol::codePageCharacter(static_cast<std::uint8_t>(bytes[i]));
        text[static_cast<qsizetype>(i)] = QChar(static_cast<char16_t>(character));
    }
    return text;
}

bool fitsCamera(QStringView text)
{
    return std::all_of(text.begin(), text.end(),
                       [](QChar unit) { return byteOf(unit).has_value(); });
}

bool toCamera(QStringView text, std::string& out)
{
    protocol::wipe(out);
    out.resize(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const std::optional<std::uint8_t> byte = byteOf(text[i]);
        if (!byte) {
            protocol::wipe(out);
            return false;
        }
        out[static_cast<std::size_t>(i)] = static_cast<char>(*byte);
    }
    return true;
}

QValidator::State CameraTextValidator::validate(QString& input, int&) const
{
    return fitsCamera(input) ? Acceptable : Invalid;
}

void limitTyping(QLineEdit* edit, int limit)
{
    edit->setProperty(kTypingLimit, limit);
    edit->setMaxLength(limit);
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
        fitMaxLength(edit, static_cast<int>(text.size()));
    });
}

void showText(QLineEdit* edit, const QString& text)
{
    // Raised first, or setText would cut the text to the old maximum.
    if (text.size() > edit->maxLength())
        edit->setMaxLength(static_cast<int>(text.size()));
    edit->setText(text);
}

} // namespace app
