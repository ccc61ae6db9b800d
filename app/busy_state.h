#pragma once

class QWidget;

namespace app {

// Find and Save wait for the network inside their handlers. While they do, the window keeps
// painting and answering the desktop (see ResponsiveEndpoint), and a BusyState keeps everything
// else out: the wait cursor shows, mouse, key, wheel, shortcut and context-menu input to the
// window is dropped, and requests to close it are refused. Handlers check active() so that none
// starts inside another.
class BusyState {
public:
    explicit BusyState(QWidget* window);
    ~BusyState();
    BusyState(const BusyState&) = delete;
    BusyState& operator=(const BusyState&) = delete;

    // Ends the busy state early (before a message box, say); the destructor then does nothing.
    void end();

    static bool active();

private:
    bool ended_ = false;
};

} // namespace app
