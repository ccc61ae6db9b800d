#include "tests/support/netns_tools.h"

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
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace netns {

namespace {
constexpr const char* kNetnsDir = "/var/run/netns";
}

pid_t spawn(const std::vector<std::string>& argv, const std::string& outPath, int inFd,
            bool newSession)
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

bool reap(pid_t pid, std::chrono::milliseconds limit, int* status)
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

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool available(std::string& why)
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

bool run(const std::vector<std::string>& argv, const std::string& logPath, std::string& error)
{
    const pid_t pid = spawn(argv, logPath);
    int status = 0;
    if (pid >= 0 && reap(pid, std::chrono::seconds(10), &status) && WIFEXITED(status) &&
        WEXITSTATUS(status) == 0)
        return true;
    std::string command;
    for (const std::string& arg : argv)
        command += (command.empty() ? "" : " ") + arg;
    error = "'" + command + "' failed: " + readFile(logPath);
    return false;
}

void remove(const std::string& name)
{
    const pid_t pid = spawn({"ip", "netns", "del", name}, "/dev/null");
    if (pid >= 0)
        reap(pid, std::chrono::seconds(10));
}

void removeStale(const char* pattern)
{
    const std::regex ours(pattern);
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
    for (const std::string& name : stale)
        remove(name);
}

bool ThreadSwitch::enter(const std::string& name, std::string& error)
{
    if (entered_)
        return true;
    if (originalNs_ < 0)
        originalNs_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int fd = open((std::string(kNetnsDir) + "/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    if (originalNs_ >= 0 && fd >= 0 && setns(fd, CLONE_NEWNET) == 0)
        entered_ = true;
    else
        error = std::string("cannot enter ") + name + ": " + std::strerror(errno);
    if (fd >= 0)
        close(fd);
    return entered_;
}

void ThreadSwitch::leave()
{
    if (!entered_)
        return;
    if (setns(originalNs_, CLONE_NEWNET) != 0) {
        // Staying in the lab's namespace would send every later test's traffic there.
        std::abort();
    }
    entered_ = false;
    close(originalNs_);
    originalNs_ = -1;
}

Children::~Children()
{
    stopAll(std::chrono::seconds(1));
    if (logDir_.empty())
        return;
    if (DIR* dir = opendir(logDir_.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_type == DT_REG)
                unlink((logDir_ + "/" + entry->d_name).c_str());
        }
        closedir(dir);
    }
    rmdir(logDir_.c_str());
}

bool Children::makeLogDir(const std::string& dirTemplate, std::string& error)
{
    std::vector<char> dir(dirTemplate.begin(), dirTemplate.end());
    dir.push_back('\0');
    if (mkdtemp(dir.data()) == nullptr) {
        error = std::string("cannot make a log folder: ") + std::strerror(errno);
        return false;
    }
    logDir_ = dir.data();
    return true;
}

pid_t Children::spawnIn(const std::string& ns, const std::vector<std::string>& argv)
{
    std::vector<std::string> full = {"ip", "netns", "exec", ns};
    full.insert(full.end(), argv.begin(), argv.end());
    const std::string logPath = logDir_ + "/child-" + std::to_string(children_.size()) + ".log";
    const pid_t pid = spawn(full, logPath);
    if (pid >= 0)
        children_.push_back({pid, logPath, false});
    return pid;
}

std::string Children::logOf(pid_t child) const
{
    for (const Child& c : children_) {
        if (c.pid == child)
            return readFile(c.logPath);
    }
    return {};
}

bool Children::waitForLog(pid_t child, const std::string& text, std::chrono::milliseconds limit)
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

bool Children::stop(pid_t child, std::chrono::milliseconds grace)
{
    for (Child& c : children_) {
        if (c.pid != child)
            continue;
        if (c.ended)
            return false;
        c.ended = true;
        kill(c.pid, SIGTERM);
        int status = 0;
        if (reap(c.pid, grace, &status))
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        kill(c.pid, SIGKILL);
        reap(c.pid, std::chrono::seconds(5));
        return false;
    }
    return false;
}

void Children::stopAll(std::chrono::milliseconds grace)
{
    for (const Child& child : children_) {
        if (!child.ended)
            kill(child.pid, SIGTERM);
    }
    for (Child& child : children_) {
        if (child.ended)
            continue;
        if (!reap(child.pid, grace)) {
            kill(child.pid, SIGKILL);
            reap(child.pid, std::chrono::seconds(5));
        }
        child.ended = true;
    }
}

} // namespace netns
