#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

#include "tests/support/netns_tools.h"

// A small network made of namespaces: the "pc" namespace, where the utility's side of a test
// runs, and behind each of its links a camera namespace. Needs root. Everything it creates is
// removed by the destructor, also when a test fails half-way.
class NetnsLab {
public:
    // One veth pair from the pc namespace to a camera namespace.
    struct Link {
        std::string pcAddress = "203.0.113.1";
        std::string camAddress = "203.0.113.2";
        int prefixLength = 24;
        // The pc's default route goes through this link; the limited broadcast leaves by it.
        bool defaultRoute = true;
        // When set, the camera end joins the camera namespace of that earlier link instead of
        // one of its own, so one camera host is reachable by two of the pc's adapters. The two
        // links need different subnets, unless bridged is set too.
        int sharesCamOfLink = -1;
        // With sharesCamOfLink: the two camera ends become ports of one bridge there, which takes
        // over the earlier link's camera address, so the two pc adapters are on one LAN, as a
        // docked laptop's cable and Wi-Fi are, and may share a subnet (with pc addresses of their
        // own). This link's camAddress is not used; its default route goes by the bridge's. The
        // earlier link must have a camera namespace of its own.
        bool bridged = false;
    };

    // One link with the addresses above.
    NetnsLab();
    explicit NetnsLab(std::vector<Link> links);
    ~NetnsLab();

    NetnsLab(const NetnsLab&) = delete;
    NetnsLab& operator=(const NetnsLab&) = delete;

    // Whether a lab can be built here (root, and the ip tool); why not otherwise.
    static bool available(std::string& why);

    // Empty when the lab stands; otherwise what went wrong while building it.
    const std::string& error() const { return error_; }

    const std::string& pcName() const { return pcName_; }
    // The camera namespace behind a link; links that share one give the same name.
    const std::string& camName(std::size_t link = 0) const { return camNames_.at(link); }
    // The pc's interface of a link, the same name in every lab.
    static std::string pcInterface(std::size_t link);

    // Moves the calling thread into the pc namespace, and back. Sockets keep the namespace they
    // were made in.
    void enterPc();
    void leave();

    // Starts argv in the link's camera namespace, standard output and error into a log file.
    // Returns the child's pid, or -1.
    pid_t spawnInCam(const std::vector<std::string>& argv, std::size_t link = 0);
    std::string logOf(pid_t child) const;
    // Waits until the child's log holds `text`; false when the time passes or the child ends.
    bool waitForLog(pid_t child, const std::string& text, std::chrono::milliseconds limit);

    // Stops every child: SIGTERM, and SIGKILL for those still there after a second.
    void stopAll();

private:
    bool run(const std::vector<std::string>& argv);
    bool build(const std::vector<Link>& links);
    void removeAll();

    std::string pcName_;
    std::vector<std::string> camNames_;
    std::vector<std::string> created_;
    netns::Children children_;
    netns::ThreadSwitch thread_;
    std::string error_;
};
