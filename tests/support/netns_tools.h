#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

// Plumbing shared by the namespace labs: the ip tool, programs started inside a namespace with
// their output in a log file, and moving a thread into a namespace and back.
namespace netns {

// Starts argv (looked up on PATH) with standard input from inFd (or /dev/null when -1) and
// standard output and error in outPath. Returns the pid or -1.
// A new session keeps it out of the signals sent to the test's process group.
pid_t spawn(const std::vector<std::string>& argv, const std::string& outPath, int inFd = -1,
            bool newSession = false);
// Waits for the child up to `limit`; true when it has ended.
bool reap(pid_t pid, std::chrono::milliseconds limit, int* status = nullptr);
std::string readFile(const std::string& path);

// Whether namespaces can be made here (root, and the ip tool); why not otherwise.
bool available(std::string& why);
// Runs argv to its end, output in logPath; on failure `error` names the command and its output.
bool run(const std::vector<std::string>& argv, const std::string& logPath, std::string& error);
void remove(const std::string& name);
// Deletes the namespaces matching `pattern` whose owner, the pid in its second group, is gone:
// labs of test runs that died without their destructor would otherwise stay forever.
void removeStale(const char* pattern);

// The calling thread's move into a namespace and back. Sockets keep the namespace they were
// made in.
class ThreadSwitch {
public:
    ThreadSwitch() = default;
    ThreadSwitch(const ThreadSwitch&) = delete;
    ThreadSwitch& operator=(const ThreadSwitch&) = delete;

    // False with `error` set when the thread could not move.
    bool enter(const std::string& name, std::string& error);
    void leave();
    bool entered() const { return entered_; }

private:
    int originalNs_ = -1;
    bool entered_ = false;
};

// Programs started in namespaces, each with its own log in a private folder that goes away with
// this object, together with anything else the lab left in it.
class Children {
public:
    Children() = default;
    ~Children();
    Children(const Children&) = delete;
    Children& operator=(const Children&) = delete;

    // Makes the log folder from a mkdtemp template; false with `error` set otherwise.
    bool makeLogDir(const std::string& dirTemplate, std::string& error);
    const std::string& logDir() const { return logDir_; }

    pid_t spawnIn(const std::string& ns, const std::vector<std::string>& argv);
    std::string logOf(pid_t child) const;
    // Waits until the child's log holds `text`; false when the time passes or the child ends.
    bool waitForLog(pid_t child, const std::string& text, std::chrono::milliseconds limit);
    // SIGTERM, then SIGKILL after `grace`; true when the child ended by itself with status 0.
    bool stop(pid_t child, std::chrono::milliseconds grace);
    // SIGTERM to every child at once, then SIGKILL for those still there after `grace`.
    void stopAll(std::chrono::milliseconds grace);

private:
    struct Child {
        pid_t pid;
        std::string logPath;
        bool ended = false; // reaped: its pid may belong to someone else by now
    };

    std::string logDir_;
    std::vector<Child> children_;
};

} // namespace netns
