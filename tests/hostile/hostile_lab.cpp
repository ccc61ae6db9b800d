#include "tests/hostile/hostile_lab.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<int> labCounter{0};

bool sameFile(const char* a, const char* b)
{
    struct stat first {
    }, second{};
    return stat(a, &first) == 0 && stat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

} // namespace

HostileLab::HostileLab()
{
    // Labs of runs that died before their watcher could act, if any.
    netns::removeStale("tvqh-(pc|cam|junk)-([0-9]+)-[0-9]+");
    const std::string id = std::to_string(getpid()) + "-" + std::to_string(labCounter++);
    pc_ = "tvqh-pc-" + id;
    cam_ = "tvqh-cam-" + id;
    junk_ = "tvqh-junk-" + id;

    if (!children_.makeLogDir("/tmp/tvqh-lab-XXXXXX", error_))
        return;
    startWatcher();
    if (error_.empty() && !build())
        removeNamespaces();
}

HostileLab::~HostileLab()
{
    children_.stopAll(std::chrono::seconds(2));
    leave();
    removeNamespaces();
    if (watcherPipe_ >= 0)
        close(watcherPipe_);
    if (watcher_ > 0 && !netns::reap(watcher_, std::chrono::seconds(10))) {
        kill(watcher_, SIGKILL);
        netns::reap(watcher_, std::chrono::seconds(5));
    }
}

bool HostileLab::available(std::string& why)
{
    return netns::available(why);
}

void HostileLab::startWatcher()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error_ = std::string("cannot make the watcher's pipe: ") + std::strerror(errno);
        return;
    }
    // Reading ends when every write end is closed, which the death of this process does too.
    const std::string script = "trap '' HUP INT TERM; read _; for ns in " + pc_ + " " + cam_ + " " +
                               junk_ +
                               "; do for p in $(ip netns pids $ns 2>/dev/null); do kill -9 $p; "
                               "done; ip netns del $ns 2>/dev/null; done; exit 0";
    watcher_ =
        netns::spawn({"sh", "-c", script}, children_.logDir() + "/watcher.log", fds[0], true);
    close(fds[0]);
    watcherPipe_ = fds[1];
    if (watcher_ < 0)
        error_ = "cannot start the watcher";
}

bool HostileLab::run(const std::vector<std::string>& argv)
{
    return netns::run(argv, children_.logDir() + "/ip.log", error_);
}

bool HostileLab::build()
{
    for (const std::string& ns : {pc_, cam_, junk_}) {
        if (!run({"ip", "netns", "add", ns}))
            return false;
        created_.push_back(ns);
        if (!run({"ip", "-n", ns, "link", "set", "lo", "up"}))
            return false;
    }
    const std::string prefix = "/24";
    // The ends are made straight inside their namespaces, so no name meets the machine's own.
    return run({"ip", "-n", cam_, "link", "add", "br0", "type", "bridge", "forward_delay", "0"}) &&
           run({"ip", "link", "add", "pc0", "netns", pc_, "type", "veth", "peer", "name", "pcport",
                "netns", cam_}) &&
           run({"ip", "link", "add", "junk0", "netns", junk_, "type", "veth", "peer", "name",
                "junkport", "netns", cam_}) &&
           run({"ip", "-n", cam_, "link", "set", "pcport", "master", "br0"}) &&
           run({"ip", "-n", cam_, "link", "set", "junkport", "master", "br0"}) &&
           run({"ip", "-n", pc_, "addr", "add", std::string(kPcAddress) + prefix, "dev", "pc0"}) &&
           run({"ip", "-n", cam_, "addr", "add", std::string(kCamAddress) + prefix, "dev",
                "br0"}) &&
           run({"ip", "-n", junk_, "addr", "add", std::string(kJunkAddress) + prefix, "dev",
                "junk0"}) &&
           run({"ip", "-n", cam_, "link", "set", "br0", "up"}) &&
           run({"ip", "-n", cam_, "link", "set", "pcport", "up"}) &&
           run({"ip", "-n", cam_, "link", "set", "junkport", "up"}) &&
           run({"ip", "-n", pc_, "link", "set", "pc0", "up"}) &&
           run({"ip", "-n", junk_, "link", "set", "junk0", "up"}) &&
           // The limited broadcast leaves only by a default route.
           run({"ip", "-n", pc_, "route", "add", "default", "via", kCamAddress, "dev", "pc0",
                "onlink"});
}

void HostileLab::removeNamespaces()
{
    while (!created_.empty()) {
        netns::remove(created_.back());
        created_.pop_back();
    }
}

void HostileLab::enterPc()
{
    if (error_.empty())
        thread_.enter(pc_, error_);
}

void HostileLab::leave()
{
    thread_.leave();
}

bool HostileLab::inPc() const
{
    return thread_.entered() &&
           sameFile("/proc/thread-self/ns/net", ("/var/run/netns/" + pc_).c_str());
}

pid_t HostileLab::spawnIn(const std::string& ns, const std::vector<std::string>& argv)
{
    if (!error_.empty() || (ns != pc_ && ns != cam_ && ns != junk_))
        return -1;
    return children_.spawnIn(ns, argv);
}

std::string HostileLab::logOf(pid_t child) const
{
    return children_.logOf(child);
}

bool HostileLab::waitForLog(pid_t child, const std::string& text, std::chrono::milliseconds limit)
{
    return children_.waitForLog(child, text, limit);
}

bool HostileLab::stop(pid_t child)
{
    return children_.stop(child, std::chrono::seconds(2));
}
