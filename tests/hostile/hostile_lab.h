#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

#include "tests/support/netns_tools.h"

// Three network namespaces on one link: "pc" for the utility, "cam" for the virtual cameras and
// "junk" for whoever throws junk at the utility. A veth pair is point to point, so the link is a
// bridge in the camera namespace with a veth pair to each of the other two: a broadcast from the
// pc reaches both, and both reach the pc. Needs root.
//
// Everything it makes is removed by the destructor. Should the test process die without it, a
// small watcher it starts sees its pipe close, stops what still runs in the namespaces and
// deletes them.
class HostileLab {
public:
    static constexpr const char* kPcAddress = "203.0.113.1";
    static constexpr const char* kCamAddress = "203.0.113.2";
    static constexpr const char* kJunkAddress = "203.0.113.3";

    HostileLab();
    ~HostileLab();
    HostileLab(const HostileLab&) = delete;
    HostileLab& operator=(const HostileLab&) = delete;

    // Whether a lab can be built here (root, and the ip tool); why not otherwise.
    static bool available(std::string& why);

    // Empty when the lab stands; otherwise what went wrong while building it.
    const std::string& error() const { return error_; }
    const std::string& pcName() const { return pc_; }
    const std::string& camName() const { return cam_; }
    const std::string& junkName() const { return junk_; }

    // Moves the calling thread into the pc namespace, and back.
    void enterPc();
    void leave();
    // Whether the calling thread is in the pc namespace now.
    bool inPc() const;

    // Starts argv in the namespace, standard output and error into a log file. Returns the
    // pid, or -1.
    pid_t spawnIn(const std::string& ns, const std::vector<std::string>& argv);
    std::string logOf(pid_t child) const;
    // Waits until the child's log holds `text`; false when the time passes or the child ends.
    bool waitForLog(pid_t child, const std::string& text, std::chrono::milliseconds limit);
    // SIGTERM, then SIGKILL after two seconds; true when the child ended by itself with status 0.
    bool stop(pid_t child);

private:
    bool run(const std::vector<std::string>& argv);
    bool build();
    void startWatcher();
    void removeNamespaces();

    std::string pc_, cam_, junk_;
    std::vector<std::string> created_;
    netns::Children children_;
    netns::ThreadSwitch thread_;
    std::string error_;
    pid_t watcher_ = -1;
    int watcherPipe_ = -1;
};
