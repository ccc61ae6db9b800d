#include "tests/support/netns_lab.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
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

// Starts argv (looked up on PATH) with standard output and error in outPath. Returns the pid or -1.
pid_t spawn(const std::vector<std::string>& argv, const std::string& outPath)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
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

} // namespace

NetnsLab::NetnsLab() : NetnsLab(std::vector<Link>{Link{}}) {}

NetnsLab::NetnsLab(std::vector<Link> links)
{
    removeStale();
    const std::string id = std::to_string(getpid()) + "-" + std::to_string(labCounter++);
    pcName_ = "tvq-pc-" + id;
    for (std::size_t k = 0; k < links.size(); ++k) {
        const int shared = links[k].sharesCamOfLink;
        if (shared < 0) {
            camNames_.push_back("tvq-cam" + (k ? std::to_string(k) : std::string()) + "-" + id);
        } else if (static_cast<std::size_t>(shared) < k) {
            camNames_.push_back(camNames_[static_cast<std::size_t>(shared)]);
        } else {
            error_ = "link " + std::to_string(k) + " can only share the camera of an earlier link";
            return;
        }
    }

    char dir[] = "/tmp/tvq-lab-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        error_ = std::string("cannot make a log folder: ") + std::strerror(errno);
        return;
    }
    logDir_ = dir;
    if (!build(links))
        removeAll();
}

NetnsLab::~NetnsLab()
{
    stopAll();
    leave();
    removeAll();
    if (!logDir_.empty()) {
        for (const Child& child : children_)
            unlink(child.logPath.c_str());
        unlink((logDir_ + "/ip.log").c_str());
        rmdir(logDir_.c_str());
    }
}

bool NetnsLab::available(std::string& why)
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

std::string NetnsLab::pcInterface(std::size_t link)
{
    return "veth-pc" + std::to_string(link);
}

bool NetnsLab::run(const std::vector<std::string>& argv)
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

bool NetnsLab::build(const std::vector<Link>& links)
{
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
        // Both ends are made straight inside their namespaces, so the names never meet the
        // machine's own interfaces.
        const bool ok =
            run({"ip", "link", "add", pcIf, "netns", pcName_, "type", "veth", "peer", "name", camIf,
                 "netns", cam}) &&
            run({"ip", "-n", pcName_, "addr", "add", link.pcAddress + prefix, "dev", pcIf}) &&
            run({"ip", "-n", cam, "addr", "add", link.camAddress + prefix, "dev", camIf}) &&
            run({"ip", "-n", pcName_, "link", "set", pcIf, "up"}) &&
            run({"ip", "-n", cam, "link", "set", camIf, "up"}) &&
            (!link.defaultRoute || run({"ip", "-n", pcName_, "route", "add", "default", "via",
                                        link.camAddress, "dev", pcIf, "onlink"}));
        if (!ok)
            return false;
    }
    return true;
}

void NetnsLab::removeAll()
{
    while (!created_.empty()) {
        const std::string name = created_.back();
        created_.pop_back();
        const pid_t pid = spawn({"ip", "netns", "del", name}, "/dev/null");
        if (pid >= 0)
            reap(pid, std::chrono::seconds(10));
    }
}

// Labs of test runs that died without their destructor would otherwise stay forever.
void NetnsLab::removeStale()
{
    static const std::regex ours("tvq-(pc|cam[0-9]*)-([0-9]+)-[0-9]+");
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

void NetnsLab::enterPc()
{
    if (inPc_ || !error_.empty())
        return;
    if (originalNs_ < 0)
        originalNs_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int fd = open((std::string(kNetnsDir) + "/" + pcName_).c_str(), O_RDONLY | O_CLOEXEC);
    if (originalNs_ >= 0 && fd >= 0 && setns(fd, CLONE_NEWNET) == 0)
        inPc_ = true;
    else
        error_ = std::string("cannot enter ") + pcName_ + ": " + std::strerror(errno);
    if (fd >= 0)
        close(fd);
}

void NetnsLab::leave()
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

pid_t NetnsLab::spawnInCam(const std::vector<std::string>& argv, std::size_t link)
{
    if (!error_.empty() || link >= camNames_.size())
        return -1;
    std::vector<std::string> full = {"ip", "netns", "exec", camNames_[link]};
    full.insert(full.end(), argv.begin(), argv.end());
    const std::string logPath = logDir_ + "/child-" + std::to_string(children_.size()) + ".log";
    const pid_t pid = spawn(full, logPath);
    if (pid >= 0)
        children_.push_back({pid, logPath, false});
    return pid;
}

std::string NetnsLab::logOf(pid_t child) const
{
    for (const Child& c : children_) {
        if (c.pid == child)
            return readFile(c.logPath);
    }
    return {};
}

bool NetnsLab::waitForLog(pid_t child, const std::string& text, std::chrono::milliseconds limit)
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

void NetnsLab::stopAll()
{
    for (const Child& child : children_) {
        if (!child.ended)
            kill(child.pid, SIGTERM);
    }
    for (Child& child : children_) {
        if (child.ended)
            continue;
        if (!reap(child.pid, std::chrono::seconds(1))) {
            kill(child.pid, SIGKILL);
            reap(child.pid, std::chrono::seconds(5));
        }
        child.ended = true;
    }
}
