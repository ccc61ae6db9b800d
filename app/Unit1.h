#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QString>
#include <QWidget>

#include "app/camera_batch_dialog.h"
#include "app/camera_notes.h"
#include "hostnet/host_adapter_info.h"
#include "net/datagram_endpoint.h"
#include "protocol/discovery.h"
#include "protocol/settings_write.h"
#include "protocol/ticks.h"

class QCloseEvent;
class QPoint;
class QTreeWidgetItem;

namespace settings {
struct SettingsValues;
}

namespace Ui {
class TForm1;
}

namespace settings {
struct CameraField;
}

namespace theme {
class RadioGroup;
}

class QLineEdit;

// What the window is built with. Tests give their own endpoint, clock and waits.
struct WindowOptions {
    // None: the window makes its own UdpEndpoint.
    std::unique_ptr<net::DatagramEndpoint> endpoint;
    // The millisecond clock Find and Save measure their waits with.
    protocol::TickSource ticks = protocol::systemTicks;
    std::uint32_t searchListenSeconds = protocol::kSearchListenSeconds;
    std::int32_t ackWaitSeconds = protocol::kAckWaitSeconds;
};

// The window's data: the cameras of the last Find, the PC's adapter facts, the two timing values
// and the camera on show.
struct WindowState {
    protocol::CameraTable cameraTable;
    hostnet::HostAdapterInfo hostAdapterInfo;
    std::uint32_t searchListenSeconds = 0;
    std::int32_t ackWaitSeconds = 0;
    // The table slot of the row on show, whose settings the pages hold and Save writes; -1 while
    // no row is selected.
    std::int32_t selectedCameraIndex = -1;
};

// The main window. Its controls are the members of `ui` (Unit1.ui), each named as in the form.
class TForm1 : public QWidget {
    Q_OBJECT

public:
    // Builds the window and runs FormCreate. Throws when the form lacks a control the camera's
    // fields name.
    explicit TForm1(hostnet::AdapterSource& adapterSource, WindowOptions options = {},
                    QWidget* parent = nullptr);
    ~TForm1() override;

    const WindowState& state() const { return state_; }

    // True when the user cancelled the adapter prompt: the window must not be shown, and the
    // program ends with exit status -1.
    bool creationCancelled() const { return creationCancelled_; }

    const std::unique_ptr<Ui::TForm1> ui;
    std::unique_ptr<net::DatagramEndpoint> IdUDPClient1;

    void FormCreate(QObject* Sender);
    void FormClose(QObject* Sender, QCloseEvent* Action);
    void cmdExitClick(QObject* Sender);
    void cmdFindClick(QObject* Sender);
    void listIpCameraSelectItem(QObject* Sender, QTreeWidgetItem* Item, bool Selected);
    void cmdSaveClick(QObject* Sender);
    void optTimeEmailClick(QObject* Sender);
    void optSmtpServerTypeClick(QObject* Sender);

    // The camera list's context menu, opened on a row by the right mouse button, or on the
    // selected row by the Menu key or Shift+F10. Its first items act on the row it was opened on,
    // the last three on every camera of the list. Opened below the rows (Item null), or by the
    // keyboard with no row selected, it holds only the last three, disabled while the list is
    // empty.
    void listIpCameraContextPopup(QObject* Sender, QTreeWidgetItem* Item, const QPoint& MousePos);
    void mnuOpenWebPageClick(QObject* Sender, int Row);
    void mnuCopyIpAddressClick(QObject* Sender, int Row);
    void mnuCopyMacAddressClick(QObject* Sender, int Row);
    void mnuSaveSettingsToFileClick(QObject* Sender, int Row);
    void mnuApplySettingsFromFileClick(QObject* Sender, int Row);
    void mnuAssignAddressesClick(QObject* Sender);
    void mnuSetPasswordsClick(QObject* Sender);
    void mnuExportCameraListClick(QObject* Sender);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <typename Body> void guarded(Body&& body);
    template <typename Body> void onUserEvent(Body&& body);
    void bindEvents();
    void setUpCameraList();
    void setUpTabOrder();
    void nameControls();
    void enterNoCameraShown();
    void openContextMenuOfSelectedRow();
    void bindFieldControls();
    const protocol::CameraRecord& recordOfRow(int row) const;
    void readPages(settings::SettingsValues& v) const;
    void showPages(const settings::SettingsValues& v);
    app::BatchContext batchContext();

    // A camera field and the control that shows it: an edit, or a radio group for a choice.
    struct FieldControl {
        const settings::CameraField* field;
        QLineEdit* edit;
        theme::RadioGroup* group;
    };

    hostnet::AdapterSource& adapterSource_;
    WindowOptions options_; // its endpoint moved to IdUDPClient1
    WindowState state_;
    std::vector<FieldControl> fieldControls_;
    bool creationCancelled_ = false;
    std::vector<app::CameraNotes> cameraNotes_; // one for each row of the list
    QString settingsFolder_;                    // where the last settings file was
};

// The program from the building of the window to its closing; returns the exit status: -1 when
// the adapter prompt was cancelled, 1 after an error while building the window, 0 otherwise.
int runMainWindow(hostnet::AdapterSource& adapterSource, WindowOptions options = {});
