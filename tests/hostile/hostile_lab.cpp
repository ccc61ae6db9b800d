#include "tests/hostile/hostile_lab.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <regex>
#include <sched.h>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

constexpr const char* kNetnsDir = "/var/run/netns";

std::atomic<int> labCounter{0};

// Starts argv (looked up on PATH) with standard input from inFd (or /dev/null when -1) and
// standard output and error in outPath. Returns the pid or -1.
// A new session keeps it out of the signals sent to the test's process group.
pid_t spawn(const std::vector<std::string>& argv, const std::string& outPath, int inFd = -1,
            bool newSession = false)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (inFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, inFd, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (newSession)
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Waits for the child up to `limit`; true when it has ended.
bool reap(pid_t pid, std::chrono::milliseconds limit, int* status = nullptr)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    int local = 0;
    while (true) {
        const pid_t got = waitpid(pid, status ? status : &local, WNOHANG);
        if (got == pid || (got < 0 && errno == ECHILD))
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool sameFile(const char* a, const char* b)
{
    struct stat first {
    }, second{};
    return stat(a, &first) == 0 && stat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// Labs of runs that died before their watcher could act, if any.
void removeStale()
{
    static const std::regex ours("tvqh-(pc|cam|junk)-([0-9]+)-[0-9]+");
    DIR* dir = opendir(kNetnsDir);
    if (dir == nullptr)
        return;
    std::vector<std::string> stale;
    while (dirent* entry = readdir(dir)) {
        std::cmatch match;
        if (!std::regex_match(entry->d_name, match, ours))
            continue;
        const pid_t owner = static_cast<pid_t>(std::stol(match[2].str()));
        if (kill(owner, 0) != 0 && errno == ESRCH)
            stale.push_back(entry->d_name);
    }
    closedir(dir);
    for (const std::string& name : stale) {
        const pid_t pid = spawn({"ip", "netns", "del", name}, "/dev/null");
        if (pid >= 0)
            reap(pid, std::chrono::seconds(10));
    }
}

} // namespace

HostileLab::HostileLab()
{
    removeStale();
    const std::string id = std::to_string(getpid()) + "-" + std::to_string(labCounter++);
    pc_ = "tvqh-pc-" + id;
    cam_ = "tvqh-cam-" + id;
    junk_ = "tvqh-junk-" + id;

    char dir[] = "/tmp/tvqh-lab-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        error_ = std::string("cannot make a log folder: ") + std::strerror(errno);
        return;
    }
    logDir_ = dir;
    startWatcher();
    if (error_.empty() && !build())
        removeNamespaces();
}

HostileLab::~HostileLab()
{
    for (Child& child : children_)
        stop(child.pid);
    leave();
    removeNamespaces();
    if (watcherPipe_ >= 0)
        close(watcherPipe_);
    if (watcher_ > 0 && !reap(watcher_, std::chrono::seconds(10))) {
        kill(watcher_, SIGKILL);
        reap(watcher_, std::chrono::seconds(5));
    }
    if (!logDir_.empty()) {
        for (const Child& child : children_)
            unlink(child.logPath.c_str());
        unlink((logDir_ + "/ip.log").c_str());
        unlink((logDir_ + "/watcher.log").c_str());
        rmdir(logDir_.c_str());
    }
}

bool HostileLab::available(std::string& why)
{
    if (geteuid() != 0) {
        why = "network namespaces need root";
        return false;
    }
    const pid_t pid = spawn({"ip", "-V"}, "/dev/null");
    int status = 0;
    if (pid < 0 || !reap(pid, std::chrono::seconds(5), &status) || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        why = "the ip tool (iproute2) is missing";
        return false;
    }
    return true;
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
    watcher_ = spawn({"sh", "-c", script}, logDir_ + "/watcher.log", fds[0], true);
    close(fds[0]);
    watcherPipe_ = fds[1];
    if (watcher_ < 0)
        error_ = "cannot start the watcher";
}

bool HostileLab::run(const std::vector<std::string>& argv)
{
    const std::string logPath = logDir_ + "/ip.log";
    const pid_t pid = spawn(argv, logPath);
    int status = 0;
    if (pid >= 0 && reap(pid, std::chrono::seconds(10), &status) && WIFEXITED(status) &&
        WEXITSTATUS(status) == 0)
        return true;
    std::string command;
    for (const std::string& arg : argv)
        command += (command.empty() ? "" : " ") + arg;
    error_ = "'" + command + "' failed: " + readFile(logPath);
    return false;
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
        const std::string name = created_.back();
        created_.pop_back();
        const pid_t pid = spawn({"ip", "netns", "del", name}, "/dev/null");
        if (pid >= 0)
            reap(pid, std::chrono::seconds(10));
    }
}

void HostileLab::enterPc()
{
    if (inPc_ || !error_.empty())
        return;
    if (originalNs_ < 0)
        originalNs_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int fd = open((std::string(kNetnsDir) + "/" + pc_).c_str(), O_RDONLY | O_CLOEXEC);
    if (originalNs_ >= 0 && fd >= 0 && setns(fd, CLONE_NEWNET) == 0)
        inPc_ = true;
    else
        error_ = std::string("cannot enter ") + pc_ + ": " + std::strerror(errno);
    if (fd >= 0)
        close(fd);
}

void HostileLab::leave()
{
    if (!inPc_)
        return;
    if (setns(originalNs_, CLONE_NEWNET) != 0) {
        // Staying in the lab's namespace would send every later test's traffic there.
        std::abort();
    }
    inPc_ = false;
    close(originalNs_);
    originalNs_ = -1;
}

bool HostileLab::inPc() const
{
    return inPc_ &&
           sameFile("/proc/thread-self/ns/net", (std::string(kNetnsDir) + "/" + pc_).c_str());
}

pid_t HostileLab::spawnIn(const std::string& ns, const std::vector<std::string>& argv)
{
    if (!error_.empty() || (ns != pc_ && ns != cam_ && ns != junk_))
        return -1;
    std::vector<std::string> full = {"ip", "netns", "exec", ns};
    full.insert(full.end(), argv.begin(), argv.end());
    const std::string logPath = logDir_ + "/child-" + std::to_string(children_.size()) + ".log";
    const pid_t pid = spawn(full, logPath);
    if (pid >= 0)
        children_.push_back({pid, logPath, false});
    return pid;
}

std::string HostileLab::logOf(pid_t child) const
{
    for (const Child& c : children_) {
        if (c.pid == child)
            return readFile(c.logPath);
    }
    return {};
}

bool HostileLab::waitForLog(pid_t child, const std::string& text, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (true) {
        if (logOf(child).find(text) != std::string::npos)
            return true;
        for (Child& c : children_) {
            if (c.pid == child && !c.ended && reap(c.pid, std::chrono::milliseconds(0)))
                c.ended = true;
            if (c.pid == child && c.ended)
                return logOf(child).find(text) != std::string::npos;
        }
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool HostileLab::stop(pid_t child)
{
    for (Child& c : children_) {
        if (c.pid != child)
            continue;
        if (c.ended)
            return false;
        c.ended = true;
        kill(c.pid, SIGTERM);
        int status = 0;
        if (reap(c.pid, std::chrono::seconds(2), &status))
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        kill(c.pid, SIGKILL);
        reap(c.pid, std::chrono::seconds(5));
        return false;
    }
    return false;
}
