#include "app/busy_state.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace app {

namespace {

// Drops the user's input to the busy window. Other windows, a message box say, stay usable.
class InputBlocker : public QObject {
public:
    QPointer<QWidget> window;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!window || !belongsToWindow(watched))
            return false;
        switch (event->type()) {
        case QEvent::Close:
            event->ignore();
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
        }
    }

private:
    bool belongsToWindow(QObject* watched) const
    {
        if (watched->isWidgetType())
            return static_cast<QWidget*>(watched)->window() == window;
        return watched->isWindowType() && watched == window->windowHandle();
    }
};

int depth = 0;
InputBlocker* blocker = nullptr;

} // namespace

BusyState::BusyState(QWidget* window)
{
    if (depth++ == 0) {
        blocker = new InputBlocker;
        blocker->window = window;
        qApp->installEventFilter(blocker);
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyState::~BusyState()
{
    end();
}

void BusyState::end()
{
    if (ended_)
        return;
    ended_ = true;
    QApplication::restoreOverrideCursor();
    if (--depth == 0) {
        delete blocker; // removes itself from the application's filters
        blocker = nullptr;
    }
}

bool BusyState::active()
{
    return depth > 0;
}

} // namespace app
