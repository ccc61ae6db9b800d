// Plays any number of cameras on one host, for trying the utility without real cameras. Run it
// in a network namespace of its own: it answers on the camera ports of every address it has.

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "tools/common/udp_tool.h"
#include "tools/virtual-cameras/camera_file.h"
#include "tools/virtual-cameras/camera_host.h"

namespace {

using udptool::endpointText;
using udptool::openPort;
using udptool::stopRequested;

const char kUsage[] =
    R"(Usage: telviq-virtual-cameras --count N [--burst | --spacing MS] [--log | --timestamps]
  or:  telviq-virtual-cameras --file PATH [--burst | --spacing MS] [--log | --timestamps]

Plays cameras on UDP ports 15500 (search) and 15600 (parameters) of every local address.
Answers go only to the address and port a request came from; nothing is broadcast.
Prints "ready" on standard output once both ports are open; stops on SIGTERM or SIGINT.

  --count N      N cameras (1 to 480) with generated, varied settings: MAC 02-00-5E-10-xx-xx,
                 description "Camera <n>", addresses from 203.0.113.0/24 and 198.51.100.0/24.
  --file PATH    cameras from a text file instead: each "[camera]" line starts one, followed
                 by "key = value" lines; '#' starts a comment. A camera starts as the generated
                 camera with its number and takes the fields given:
                   macAddress (02-00-5E-00-00-01), networkType, imageFlags, optionFlags, hour,
                   minute, triggerCount (0 to 255, or 0x..), ipAddress, gateway, subnetMask,
                   dnsServer, smtpIpAddress, usedIPAddress (dotted), adslUserName, smtpDomain,
                   emailSender, emailReceiver, emailCopy, emailAccount, cameraDescription,
                   ddnsUserName, ddnsDomainName (text; none = no text, "none" = the word),
                   firmwareVersion, respondLength (523 to 528).
                 and how the camera behaves:
                   silent = 1,2   search passes of a Find left unanswered (a Find's passes
                                  are searches less than 1.5 s apart)
                   twice = 1      answers every search twice
                   ack = ok|none|othermac|split|stray
                                  how a write is acknowledged: not at all, with another
                                  camera's MAC, in two datagrams (16 + 6 bytes), or after
                                  30 bytes of junk
                   apply = 0      acknowledges writes without taking them
                   delay = MS     waits before every answer
  --burst        all cameras answer at once (the default)
  --spacing MS   the cameras answer one after another, MS apart
  --log          one line per request and per answer on standard error (never a password)
  --timestamps   as --log, with every line starting "t=SECONDS " on CLOCK_MONOTONIC (microseconds),
                 taken as the request is read or just before the answer is sent; the clock is
                 the same in every network namespace, so other programs can time the exchange
  --help         this text
  --version      the version
)";

std::uint64_t nowMs()
{
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// CLOCK_MONOTONIC, which is what other processes' steady clocks read too.
std::string monotonicStamp()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char text[40];
    std::snprintf(text, sizeof text, "t=%lld.%06ld ", static_cast<long long>(now.tv_sec),
                  now.tv_nsec / 1000);
    return text;
}

struct Pending {
    int fd;
    sockaddr_in to;
    std::vector<std::uint8_t> bytes;
};

struct Options {
    int count = 0;
    std::string file;
    std::uint32_t spacingMs = 0;
    bool log = false;
    bool timestamps = false;
};

bool readNumber(const char* text, long max, long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= 0 && value <= max;
}

// Returns -1 to go on, otherwise the exit status.
int parseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        long value = 0;
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--version") {
            std::cout << "telviq-virtual-cameras " TELVIQ_VERSION "\n";
            return 0;
        } else if (arg == "--count" && hasValue && readNumber(argv[i + 1], 480, value) &&
                   value > 0) {
            options.count = static_cast<int>(value);
            ++i;
        } else if (arg == "--file" && hasValue) {
            options.file = argv[++i];
        } else if (arg == "--spacing" && hasValue && readNumber(argv[i + 1], 10000, value)) {
            options.spacingMs = static_cast<std::uint32_t>(value);
            ++i;
        } else if (arg == "--burst") {
            options.spacingMs = 0;
        } else if (arg == "--log") {
            options.log = true;
        } else if (arg == "--timestamps") {
            options.log = true;
            options.timestamps = true;
        } else {
            std::cerr << "telviq-virtual-cameras: bad option or value: " << arg
                      << "\nTry 'telviq-virtual-cameras --help'.\n";
            return 2;
        }
    }
    if ((options.count > 0) == !options.file.empty()) {
        std::cerr << "telviq-virtual-cameras: give either --count N or --file PATH\n";
        return 2;
    }
    return -1;
}

bool loadCameras(const Options& options, std::vector<camsim::Camera>& cameras)
{
    if (options.count > 0) {
        for (int i = 0; i < options.count; ++i)
            cameras.push_back(camsim::generatedCamera(i));
        return true;
    }
    std::ifstream in(options.file);
    if (!in) {
        std::cerr << "telviq-virtual-cameras: cannot read " << options.file << "\n";
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    if (!camsim::parseCameraFile(text.str(), cameras, error)) {
        std::cerr << "telviq-virtual-cameras: " << options.file << ": " << error << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (int status = parseOptions(argc, argv, options); status >= 0)
        return status;
    std::vector<camsim::Camera> cameras;
    if (!loadCameras(options, cameras))
        return 2;
    camsim::CameraHost host(std::move(cameras), options.spacingMs);

    // The stop signals stay blocked except inside ppoll, so none can slip in between the check
    // of the flag and the wait.
    const sigset_t waitMask = udptool::blockStopSignals();

    const int searchFd = openPort(protocol::kSearchPort);
    const int parameterFd = openPort(protocol::kParameterPort);
    if (searchFd < 0 || parameterFd < 0) {
        std::perror("telviq-virtual-cameras: cannot open the camera ports");
        return 1;
    }
    std::cout << "ready: " << host.cameras().size() << " cameras" << std::endl;

    // Answers waiting for their time, in sending order.
    std::multimap<std::uint64_t, Pending> queue;
    std::vector<std::uint8_t> buffer(4096);
    pollfd fds[2] = {{searchFd, POLLIN, 0}, {parameterFd, POLLIN, 0}};

    while (!stopRequested) {
        timespec wait{};
        timespec* waitFor = nullptr;
        if (!queue.empty()) {
            const std::uint64_t now = nowMs();
            const std::uint64_t due = queue.begin()->first;
            const std::uint64_t ms = due > now ? due - now : 0;
            wait.tv_sec = static_cast<time_t>(ms / 1000);
            wait.tv_nsec = static_cast<long>(ms % 1000) * 1000000;
            waitFor = &wait;
        }
        if (ppoll(fds, 2, waitFor, &waitMask) < 0 && errno != EINTR) {
            std::perror("telviq-virtual-cameras: ppoll");
            return 1;
        }
        if (stopRequested)
            break;

        for (const pollfd& p : fds) {
            if (!(p.revents & POLLIN))
                continue;
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            ssize_t got = recvfrom(p.fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (got < 0)
                continue;
            const std::string readAt = options.timestamps ? monotonicStamp() : std::string();
            const std::uint64_t now = nowMs();
            const auto count = static_cast<std::size_t>(got);
            camsim::Outcome outcome = p.fd == searchFd
                                          ? host.onSearchPort(buffer.data(), count, now)
                                          : host.onParameterPort(buffer.data(), count);
            if (options.log)
                std::cerr << readAt << "from " << endpointText(from) << ": " << outcome.note
                          << std::endl;
            for (auto& reply : outcome.replies)
                queue.emplace(now + reply.delayMs, Pending{p.fd, from, std::move(reply.bytes)});
        }

        const std::uint64_t now = nowMs();
        while (!queue.empty() && queue.begin()->first <= now) {
            const Pending& answer = queue.begin()->second;
            const std::string sentAt = options.timestamps ? monotonicStamp() : std::string();
            ssize_t sent = sendto(answer.fd, answer.bytes.data(), answer.bytes.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&answer.to), sizeof answer.to);
            if (options.log) {
                std::cerr << sentAt << "to " << endpointText(answer.to) << ": ";
                if (sent < 0)
                    std::cerr << "send failed: " << std::strerror(errno) << std::endl;
                else
                    std::cerr << sent << " bytes" << std::endl;
            }
            queue.erase(queue.begin());
        }
    }

    close(searchFd);
    close(parameterFd);
    return 0;
}
