#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QDialog>

#include "app/camera_batch.h"
#include "hostnet/host_adapter_info.h"
#include "net/datagram_endpoint.h"
#include "protocol/discovery.h"
#include "protocol/settings_write.h"
#include "protocol/ticks.h"

class QCloseEvent;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace app {

// What the camera list's dialogs take from the main window.
struct BatchContext {
    QWidget* window = nullptr; // the main window, kept busy while a dialog writes
    const protocol::CameraTable* table = nullptr;
    const hostnet::HostAdapterInfo* adapters = nullptr;
    net::DatagramEndpoint* endpoint = nullptr;
    protocol::TickSource ticks = protocol::systemTicks;
    std::int32_t ackWaitSeconds = protocol::kAckWaitSeconds;
    std::function<void()> find; // the main window's Find, which refills `table`
};

// What Assign Addresses and Set Passwords share: a frameless dialog in the window's frame, the
// list of every camera found with a check box each, and Write, which sends each checked camera
// its own packet at once, shows the progress and each row's outcome, and which Cancel stops before
// the rest are sent. While the write runs the main window refuses Find, Save and its menu, and
// both keep painting. A dialog that has written is done: Cancel closes it as Close.
//
// The list's columns: the number with the check box, description, MAC address and address in use
// first, the outcome last, and the dialog's own between them.
class CameraBatchDialog : public QDialog {
    Q_OBJECT

public:
    ~CameraBatchDialog() override;

    // From Write to the last outcome shown (and the Find after it).
    bool writing() const { return writing_; }

protected:
    CameraBatchDialog(BatchContext context, QWidget* parent);

    // Once the form is set up: binds the controls every such dialog has by their objectNames
    // (listCameras, barProgress, lblStatus, lblProblem, cmdWrite, cmdCancel), fills the list, all
    // checked, and plans. `fields` are the controls a write must not see change.
    void setUpBatch(QWidget* fields);

    // After any edit or check: the dialog's own plan, then Save's checks of each checked camera
    // with its changes. The reason, if any, shows beside the fields, and Write is enabled only
    // without one.
    void replan();

    // The dialog's own plan: the reason it cannot be written, or empty. Fills its own columns.
    virtual std::string planOwn() = 0;
    // The changes a checked camera is sent. Passwords among them are wiped after use.
    virtual std::vector<settings::FieldChange> changesFor(std::size_t camera) const = 0;
    // Once each row shows its outcome; the cameras written, by their place, and their outcomes.
    virtual void afterWrite(const std::vector<std::size_t>& written,
                            const std::vector<protocol::BatchOutcome>& outcomes);
    // The write is over, whichever way: the dialog forgets what was typed for it.
    virtual void forgetInput() {}

    std::vector<bool> checkedCameras() const;
    void setCell(std::size_t camera, int column, const QString& text);
    int resultColumn() const;
    void showStatus(const QString& text);

    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    const BatchContext context_;
    const std::vector<ListedCamera> cameras_;

private:
    void cmdWriteClick();
    void cmdCancelClick();
    void setWriting(bool on);

    QTreeWidget* list_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* problem_ = nullptr;
    QPushButton* write_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QWidget* fields_ = nullptr;
    bool writing_ = false;
    bool cancelRequested_ = false;
    bool done_ = false;
    bool filling_ = false; // the list's own changes are no user's check
};

} // namespace app
