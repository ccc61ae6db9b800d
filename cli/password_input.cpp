#include "cli/password_input.h"

#include <cerrno>
#include <csignal>
#include <iterator>
#include <termios.h>
#include <unistd.h>

#include "protocol/wipe.h"

namespace cli {

namespace {

// What the signal handler needs to give the terminal its echo back.
int quietFd = -1;
termios echoing{};

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void restoreEchoAndEnd(int signal)
{
    tcsetattr(quietFd, TCSANOW, &echoing);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Echo off (the newline still echoes, so the next output starts on a line of its own) until it
// goes out of scope.
class QuietTerminal {
public:
    explicit QuietTerminal(int fd)
    {
        if (tcgetattr(fd, &echoing) != 0) {
            return;
        }
        quietFd = fd;
        struct sigaction action {};
        action.sa_handler = restoreEchoAndEnd;
        sigemptyset(&action.sa_mask);
        // A signal the program was started to ignore (nohup) stays ignored.
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
            sigaction(kEndingSignals[i], nullptr, &before_[i]);
            if (before_[i].sa_handler != SIG_IGN) {
                sigaction(kEndingSignals[i], &action, nullptr);
            }
        }
        termios quiet = echoing;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        // Flushed like getpass does: keys pressed before the prompt are not taken for the password.
        active_ = tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
    }

    ~QuietTerminal()
    {
        if (quietFd < 0) {
            return;
        }
        if (active_) {
            tcsetattr(quietFd, TCSANOW, &echoing);
        }
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
            sigaction(kEndingSignals[i], &before_[i], nullptr);
        }
        quietFd = -1;
    }

    QuietTerminal(const QuietTerminal&) = delete;
    QuietTerminal& operator=(const QuietTerminal&) = delete;

private:
    struct sigaction before_[std::size(kEndingSignals)]{};
    bool active_ = false;
};

// Byte by byte, so that nothing past the newline is taken from the input: the next password
// field reads the next line.
LineRead readLine(int fd, std::string& line, std::size_t limit)
{
    protocol::wipe(line);
    line.reserve(limit);
    bool begun = false;
    bool tooLong = false;
    char c = 0;
    LineRead result = LineRead::line;
    for (;;) {
        const ssize_t count = read(fd, &c, 1);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            result = LineRead::failed;
            break;
        }
        if (count == 0) {
            result = begun ? LineRead::line : LineRead::endOfInput;
            break;
        }
        begun = true;
        if (c == '\n') {
            break;
        }
        if (line.size() < limit) {
            line.push_back(c);
        } else {
            tooLong = true;
        }
    }
    protocol::wipe(&c, 1);
    // A line pasted from Windows ends in CR LF; the CR is no part of the password.
    if (!line.empty() && line.back() == '\r') {
        line.back() = '\0';
        line.pop_back();
    }
    if (tooLong && result == LineRead::line) {
        result = LineRead::tooLong;
    }
    if (result != LineRead::line) {
        protocol::wipe(line);
    }
    return result;
}

} // namespace

LineRead readPasswordLine(int fd, const std::string& name, std::ostream& prompt, std::string& line,
                          std::size_t limit)
{
    if (!isatty(fd)) {
        return readLine(fd, line, limit);
    }
    prompt << name << ": " << std::flush;
    const QuietTerminal quiet(fd);
    return readLine(fd, line, limit);
}

} // namespace cli
