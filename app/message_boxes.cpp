#include "app/message_boxes.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>

namespace app {

namespace {

MessageBoxHook* installedHook = nullptr;
FileDialogHook* installedFileDialogHook = nullptr;

QMessageBox::StandardButton answerFromHook(MessageBoxHook& hook, const ShownBox& box)
{
    hook.shown.push_back(box);
    if (hook.onShow)
        hook.onShow(box);
    if (!hook.answers.empty()) {
        auto answer = hook.answers.front();
        hook.answers.erase(hook.answers.begin());
        return answer;
    }
    return box.buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::Cancel;
}

QString answerFromHook(FileDialogHook& hook, const ShownFileDialog& dialog)
{
    hook.shown.push_back(dialog);
    if (hook.answers.empty())
        return QString();
    QString answer = hook.answers.front();
    hook.answers.erase(hook.answers.begin());
    return answer;
}

} // namespace

QString applicationTitleFromPath(const QString& programPath)
{
    QString name = QFileInfo(programPath).fileName();
    const qsizetype stop = name.indexOf(QLatin1Char('.'));
    if (stop >= 0)
        name.truncate(stop);
    return name.left(1) + name.mid(1).toLower();
}

QString applicationTitle()
{
    return applicationTitleFromPath(QCoreApplication::applicationFilePath());
}

QMessageBox::StandardButton showMessageBox(QWidget* owner, const QString& text,
                                           const QString& caption, QMessageBox::Icon icon,
                                           QMessageBox::StandardButtons buttons)
{
    ShownBox box{owner, text, caption.isEmpty() ? applicationTitle() : caption, icon, buttons};
    if (installedHook)
        return answerFromHook(*installedHook, box);

    QMessageBox dialog(box.icon, box.caption, box.text, box.buttons, owner);
    dialog.setTextFormat(Qt::PlainText);
    return static_cast<QMessageBox::StandardButton>(dialog.exec());
}

QString standardErrorText(const std::string& message)
{
    QString text = QString::fromLocal8Bit(message.data(), static_cast<qsizetype>(message.size()));
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        text += QLatin1Char('.');
    return text;
}

void showStandardError(QWidget* owner, const std::exception& error)
{
    showMessageBox(owner, standardErrorText(error.what()), QString(), QMessageBox::Critical,
                   QMessageBox::Ok);
}

void setMessageBoxHook(MessageBoxHook* hook)
{
    installedHook = hook;
}

QString askOpenFileName(QWidget* owner, const QString& caption, const QString& start,
                        const QString& filter)
{
    if (installedFileDialogHook)
        return answerFromHook(*installedFileDialogHook, {owner, caption, start, false});
    return QFileDialog::getOpenFileName(owner, caption, start, filter);
}

QString askSaveFileName(QWidget* owner, const QString& caption, const QString& start,
                        const QString& filter)
{
    if (installedFileDialogHook)
        return answerFromHook(*installedFileDialogHook, {owner, caption, start, true});
    return QFileDialog::getSaveFileName(owner, caption, start, filter);
}

void setFileDialogHook(FileDialogHook* hook)
{
    installedFileDialogHook = hook;
}

} // namespace app
