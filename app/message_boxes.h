#pragma once

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include <QMessageBox>
#include <QString>

class QWidget;

namespace app {

// The program's title: the program file's name without its folder and without everything from
// its first full stop on, every character after the first in lower case.
QString applicationTitleFromPath(const QString& programPath);
QString applicationTitle();

// Every modal box of the program goes through here. An empty caption means the box has no
// caption of its own; it then shows the application title, as the platform's default title.
QMessageBox::StandardButton showMessageBox(QWidget* owner, const QString& text,
                                           const QString& caption, QMessageBox::Icon icon,
                                           QMessageBox::StandardButtons buttons);

// The box shown for an exception that ends a handler: stop icon, OK, the application title, and
// the message with a full stop appended when its last character sorts after '.'.
QString standardErrorText(const std::string& message);
void showStandardError(QWidget* owner, const std::exception& error);

// Lets tests answer boxes in advance. While a hook is installed nothing is shown: each box is
// recorded, onShow (if set) runs, and the next queued answer is returned (OK, or Cancel for a box
// without OK, once the queue is empty).
struct ShownBox {
    QWidget* owner = nullptr;
    QString text;
    QString caption; // as shown, so the application title for a box without its own
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

struct MessageBoxHook {
    std::vector<QMessageBox::StandardButton> answers;
    std::vector<ShownBox> shown;
    std::function<void(const ShownBox&)> onShow;
};

// Installs the hook (nullptr removes it); the caller keeps it alive while installed.
void setMessageBoxHook(MessageBoxHook* hook);

// The file dialogs go through here as well: the path chosen, or an empty string when the user
// cancelled. `start` is the folder, or the folder and file name, the dialog opens with; `filter`
// as QFileDialog takes it. Saving asks before it replaces a file.
QString askOpenFileName(QWidget* owner, const QString& caption, const QString& start,
                        const QString& filter);
QString askSaveFileName(QWidget* owner, const QString& caption, const QString& start,
                        const QString& filter);

// While a hook is installed no dialog is shown: each is recorded and answered with the next
// queued path (empty, as a cancel, once the queue is empty).
struct ShownFileDialog {
    QWidget* owner = nullptr;
    QString caption;
    QString start;
    bool saving = false;
};

struct FileDialogHook {
    std::vector<QString> answers;
    std::vector<ShownFileDialog> shown;
};

void setFileDialogHook(FileDialogHook* hook);

} // namespace app
