#include "tests/support/netns_lab.h"

#include <algorithm>
#include <atomic>
#include <unistd.h>

namespace {
std::atomic<int> labCounter{0};
}

NetnsLab::NetnsLab() : NetnsLab(std::vector<Link>{Link{}}) {}

NetnsLab::NetnsLab(std::vector<Link> links)
{
    netns::removeStale("tvq-(pc|cam[0-9]*)-([0-9]+)-[0-9]+");
    const std::string id = std::to_string(getpid()) + "-" + std::to_string(labCounter++);
    pcName_ = "tvq-pc-" + id;
    for (std::size_t k = 0; k < links.size(); ++k) {
        const int shared = links[k].sharesCamOfLink;
        if (shared < 0) {
            camNames_.push_back("tvq-cam" + (k ? std::to_string(k) : std::string()) + "-" + id);
        } else if (links[k].bridged && static_cast<std::size_t>(shared) < k &&
                   links[static_cast<std::size_t>(shared)].sharesCamOfLink >= 0) {
            error_ = "link " + std::to_string(k) +
                     " can only bridge to a link with a camera "
                     "namespace of its own";
            return;
        } else if (static_cast<std::size_t>(shared) < k) {
            camNames_.push_back(camNames_[static_cast<std::size_t>(shared)]);
        } else {
            error_ = "link " + std::to_string(k) + " can only share the camera of an earlier link";
            return;
        }
    }

    if (children_.makeLogDir("/tmp/tvq-lab-XXXXXX", error_) && !build(links))
        removeAll();
}

NetnsLab::~NetnsLab()
{
    stopAll();
    leave();
    removeAll();
}

bool NetnsLab::available(std::string& why)
{
    return netns::available(why);
}

std::string NetnsLab::pcInterface(std::size_t link)
{
    return "veth-pc" + std::to_string(link);
}

bool NetnsLab::run(const std::vector<std::string>& argv)
{
    return netns::run(argv, children_.logDir() + "/ip.log", error_);
}

bool NetnsLab::build(const std::vector<Link>& links)
{
    std::vector<std::size_t> bridges; // the links whose camera end is already a bridge port
    if (!run({"ip", "netns", "add", pcName_}))
        return false;
    created_.push_back(pcName_);
    if (!run({"ip", "-n", pcName_, "link", "set", "lo", "up"}))
        return false;

    for (std::size_t k = 0; k < links.size(); ++k) {
        const Link& link = links[k];
        const std::string& cam = camNames_[k];
        const std::string pcIf = pcInterface(k);
        const std::string camIf = "veth-cam" + std::to_string(k);
        const std::string prefix = "/" + std::to_string(link.prefixLength);
        if (link.sharesCamOfLink < 0) {
            if (!run({"ip", "netns", "add", cam}))
                return false;
            created_.push_back(cam);
            if (!run({"ip", "-n", cam, "link", "set", "lo", "up"}))
                return false;
        }
        // A bridged link's camera end is a port of the bridge that holds the earlier link's
        // camera address; that earlier end becomes its first port when the bridge is made.
        const bool bridged = link.sharesCamOfLink >= 0 && link.bridged;
        std::string bridge, gateway = link.camAddress;
        if (bridged) {
            const auto first = static_cast<std::size_t>(link.sharesCamOfLink);
            bridge = "br-cam" + std::to_string(first);
            gateway = links[first].camAddress;
            if (std::find(bridges.begin(), bridges.end(), first) == bridges.end()) {
                bridges.push_back(first);
                const std::string firstIf = "veth-cam" + std::to_string(first);
                const std::string address =
                    gateway + "/" + std::to_string(links[first].prefixLength);
                if (!(run({"ip", "-n", cam, "link", "add", bridge, "type", "bridge"}) &&
                      run({"ip", "-n", cam, "addr", "del", address, "dev", firstIf}) &&
                      run({"ip", "-n", cam, "link", "set", firstIf, "master", bridge}) &&
                      run({"ip", "-n", cam, "addr", "add", address, "dev", bridge}) &&
                      run({"ip", "-n", cam, "link", "set", bridge, "up"})))
                    return false;
            }
        }
        // Both ends are made straight inside their namespaces, so the names never meet the
        // machine's own interfaces.
        const bool ok =
            run({"ip", "link", "add", pcIf, "netns", pcName_, "type", "veth", "peer", "name", camIf,
                 "netns", cam}) &&
            run({"ip", "-n", pcName_, "addr", "add", link.pcAddress + prefix, "dev", pcIf}) &&
            (bridged
                 ? run({"ip", "-n", cam, "link", "set", camIf, "master", bridge})
                 : run({"ip", "-n", cam, "addr", "add", link.camAddress + prefix, "dev", camIf})) &&
            run({"ip", "-n", pcName_, "link", "set", pcIf, "up"}) &&
            run({"ip", "-n", cam, "link", "set", camIf, "up"}) &&
            (!link.defaultRoute || run({"ip", "-n", pcName_, "route", "add", "default", "via",
                                        gateway, "dev", pcIf, "onlink"}));
        if (!ok)
            return false;
    }
    return true;
}

void NetnsLab::removeAll()
{
    while (!created_.empty()) {
        netns::remove(created_.back());
        created_.pop_back();
    }
}

void NetnsLab::enterPc()
{
    if (error_.empty())
        thread_.enter(pcName_, error_);
}

void NetnsLab::leave()
{
    thread_.leave();
}

pid_t NetnsLab::spawnInCam(const std::vector<std::string>& argv, std::size_t link)
{
    if (!error_.empty() || link >= camNames_.size())
        return -1;
    return children_.spawnIn(camNames_[link], argv);
}

std::string NetnsLab::logOf(pid_t child) const
{
    return children_.logOf(child);
}

bool NetnsLab::waitForLog(pid_t child, const std::string& text, std::chrono::milliseconds limit)
{
    return children_.waitForLog(child, text, limit);
}

void NetnsLab::stopAll()
{
    children_.stopAll(std::chrono::seconds(1));
}
