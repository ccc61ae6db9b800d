#pragma once

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

#include <QString>
#include <QWidget>

#include "app/Unit1.h"
#include "app/message_boxes.h"
#include "hostnet/linux_adapter_source.h"
#include "tests/support/netns_lab.h"

inline constexpr const char* kVirtualCameras = TELVIQ_VIRTUAL_CAMERAS;

long long msSince(std::chrono::steady_clock::time_point start);

// One line of the virtual cameras' log about a request: who sent it and what came of it.
struct CameraLogLine {
    std::string fromAddress;
    int fromPort = 0;
    std::string note;
};
std::vector<CameraLogLine> requestsIn(const std::string& log);
// How many requests of the log have `what` in their note and came from `address` (from anyone
// when it is empty).
int countRequests(const std::string& log, const std::string& what, const std::string& address = {});

// The real window, with its own UDP endpoint and the machine's adapter source, built inside the
// pc namespace of a lab whose camera namespaces hold virtual cameras. The hook answers every
// box. Tests pick the lab's shape; the fixture takes it down again.
class LabWindowTest : public ::testing::Test {
protected:
    using Rows = std::vector<std::pair<std::string, std::string>>;

    void SetUp() override;
    void TearDown() override;

    // The helpers below throw when the lab or the window cannot be had; the test then fails.
    void buildLab(std::vector<NetnsLab::Link> links = {NetnsLab::Link{}});
    // Virtual cameras described by a camera file's text, in the link's camera namespace.
    pid_t startCameras(const std::string& cameraFile, std::size_t link = 0);
    // Moves this thread into the pc namespace first, so that the window's socket and the
    // adapter facts it reads at start-up are the namespace's.
    void openWindow();

    template <typename T = QWidget> T* control(const char* name) const
    {
        if (T* widget = form->findChild<T*>(QString::fromLatin1(name)))
            return widget;
        throw std::runtime_error(std::string("no control ") + name);
    }
    QString text(const char* edit) const;
    void click(const char* button);
    // Presses Find; returns how long the handler took, in milliseconds.
    long long find();
    Rows rows() const;
    void selectRow(int row);
    void showPage(const char* page);
    void type(const char* edit, const QString& value);
    // Presses Save; returns the milliseconds from the press to the first box, -1 without one.
    long long save();
    // Waits up to a second until the cameras have logged `times` such requests, since the
    // window may be done before they log every copy of a broadcast; returns the count then.
    int waitForRequests(pid_t cameras, const std::string& what, const std::string& address,
                        int times) const;
    // The chosen item's text of a radio group, empty when none is chosen.
    QString chosenItem(const char* group) const;

    app::MessageBoxHook boxes;
    std::unique_ptr<NetnsLab> lab;
    std::unique_ptr<hostnet::LinuxAdapterSource> adapters;
    std::unique_ptr<TForm1> form;

private:
    std::vector<pid_t> cameras_;
    std::vector<std::string> files_;
};
