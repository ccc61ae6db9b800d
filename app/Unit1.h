#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QString>
#include <QWidget>

#include "app/camera_notes.h"
#include "hostnet/host_adapter_info.h"
#include "net/datagram_endpoint.h"
#include "protocol/discovery.h"
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

// The program's state beside its one window: the cameras of the last Find, the PC's adapter
// facts, the two timing values and the camera table slot of the row selected last.
extern protocol::CameraTable cameraTable;
extern hostnet::HostAdapterInfo hostAdapterInfo;
extern std::uint32_t searchListenSeconds;
extern std::int32_t ackWaitSeconds;
extern std::int32_t selectedCameraIndex;

// The main window. Its controls are the members of `ui` (Unit1.ui), each named as in the form.
class TForm1 : public QWidget {
    Q_OBJECT

public:
    // Builds the window and runs FormCreate. Without an endpoint the window makes its own
    // UdpEndpoint; ticks is the millisecond clock that Find and Save measure their waits with.
    explicit TForm1(hostnet::AdapterSource& adapterSource,
                    std::unique_ptr<net::DatagramEndpoint> endpoint = nullptr,
                    protocol::TickSource ticks = protocol::systemTicks, QWidget* parent = nullptr);
    ~TForm1() override;

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
    // selected row by the Menu key or Shift+F10. Its items act on the row it was opened on.
    void listIpCameraContextPopup(QObject* Sender, QTreeWidgetItem* Item, const QPoint& MousePos);
    void mnuOpenWebPageClick(QObject* Sender, int Row);
    void mnuCopyIpAddressClick(QObject* Sender, int Row);
    void mnuCopyMacAddressClick(QObject* Sender, int Row);
    void mnuSaveSettingsToFileClick(QObject* Sender, int Row);
    void mnuApplySettingsFromFileClick(QObject* Sender, int Row);

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
    int shownRow() const;
    void readPages(settings::SettingsValues& v) const;
    void showPages(const settings::SettingsValues& v);

    hostnet::AdapterSource& adapterSource_;
    protocol::TickSource ticks_;
    bool creationCancelled_ = false;
    std::vector<app::CameraNotes> cameraNotes_; // one for each row of the list
    QString settingsFolder_;                    // where the last settings file was
};

// The program from the building of the window to its closing; returns the exit status: -1 when
// the adapter prompt was cancelled, 0 otherwise (also after an error while building the window).
int runMainWindow(hostnet::AdapterSource& adapterSource,
                  std::unique_ptr<net::DatagramEndpoint> endpoint = nullptr);
