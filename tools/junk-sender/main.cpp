// Throws junk datagrams at the utility, to show that nothing it receives can crash or hang it.

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "net/interfaces.h"
#include "protocol/packets.h"
#include "tools/common/udp_tool.h"
#include "tools/junk-sender/junk.h"

namespace {

using udptool::endpointText;
using udptool::openPort;
using udptool::stopRequested;

const char kUsage[] =
    R"(Usage: junk-sender [--kinds LIST] [--rate N] [--seed N] [--most-answers N] [--answer-acks]
                   [--target ADDRESS:PORT]

Run it in a network namespace of its own on the utility's link: it refuses to run where any
address lies outside 127.0.0.0/8, 198.51.100.0/24 and 203.0.113.0/24, and sends only there.

Listens on UDP ports 15500 and 15600 like a camera. The first search or parameter packet tells it
the utility's address and port (unless --target gives them); from then on it sends N datagrams a
second there, each of a kind chosen at random from LIST. Prints "ready" once listening,
"target ADDRESS:PORT" once it knows where to send, and on SIGTERM or SIGINT
"sent N datagrams" followed by the count of each kind and of failed sends.

  --kinds LIST       comma-separated, of: random (0 to 2000 random bytes), tagged (a camera
                     datagram's tag at a wrong length), overlong (respond packets whose text
                     lengths reach past their areas), acks (acknowledgements for MACs no camera
                     has), empty (0 bytes), oversize (1057 to 2000 bytes); default all of them
  --rate N           datagrams a second, 0 to 100000 (default 2000); 0 sends only answers
  --seed N           for the random choices (default 1)
  --most-answers N   at most N datagrams in all that a Find would list as cameras
  --answer-acks      answer every parameter packet at once with the acknowledgement for
                     another MAC
  --target A:P       send there from the start
  --help             this text
)";

struct Options {
    std::vector<junk::Kind> kinds;
    long rate = 2000;
    std::uint32_t seed = 1;
    long mostAnswers = -1;
    bool answerAcks = false;
    std::optional<sockaddr_in> target;
};

bool readNumber(const char* text, long max, long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= 0 && value <= max;
}

std::array<std::uint8_t, 4> addressBytes(const sockaddr_in& address)
{
    std::array<std::uint8_t, 4> bytes{};
    std::memcpy(bytes.data(), &address.sin_addr.s_addr, 4);
    return bytes;
}

std::optional<sockaddr_in> parseTarget(const std::string& text)
{
    const std::size_t colon = text.rfind(':');
    long port = 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (colon == std::string::npos ||
        inet_pton(AF_INET, text.substr(0, colon).c_str(), &address.sin_addr) != 1 ||
        !readNumber(text.c_str() + colon + 1, 65535, port) || port == 0)
        return std::nullopt;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

// Returns -1 to go on, otherwise the exit status.
int parseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        long number = 0;
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--kinds" && value) {
            auto kinds = junk::parseKinds(value);
            if (!kinds) {
                std::cerr << "junk-sender: unknown kind in " << value << "\n";
                return 2;
            }
            options.kinds = *kinds;
            ++i;
        } else if (arg == "--rate" && value && readNumber(value, 100000, number)) {
            options.rate = number;
            ++i;
        } else if (arg == "--seed" && value && readNumber(value, 0xFFFFFFFF, number)) {
            options.seed = static_cast<std::uint32_t>(number);
            ++i;
        } else if (arg == "--most-answers" && value && readNumber(value, 1000000, number)) {
            options.mostAnswers = number;
            ++i;
        } else if (arg == "--answer-acks") {
            options.answerAcks = true;
        } else if (arg == "--target" && value && (options.target = parseTarget(value))) {
            ++i;
        } else {
            std::cerr << "junk-sender: bad option or value: " << arg
                      << "\nTry 'junk-sender --help'.\n";
            return 2;
        }
    }
    if (options.target && !junk::mayTarget(addressBytes(*options.target))) {
        std::cerr << "junk-sender: " << endpointText(*options.target)
                  << " lies outside the test networks\n";
        return 2;
    }
    if (options.kinds.empty())
        for (std::size_t k = 0; k < junk::kKindCount; ++k)
            options.kinds.push_back(static_cast<junk::Kind>(k));
    return -1;
}

// Junk must never reach a real network: the process has to sit in a namespace of its own, whose
// every address lies in the test networks. (Where the init process's namespace can be read, it
// must not be that one either.)
bool inTestNamespace()
{
    struct stat own {
    }, machine{};
    if (stat("/proc/self/ns/net", &own) != 0)
        return false;
    if (stat("/proc/1/ns/net", &machine) == 0 && own.st_ino == machine.st_ino &&
        own.st_dev == machine.st_dev)
        return false;
    std::vector<net::SystemInterface> interfaces;
    if (!net::listInterfaces(interfaces))
        return false;
    for (const net::SystemInterface& adapter : interfaces)
        for (const net::InterfaceAddress& address : adapter.ipv4)
            if (!junk::mayTarget(address.address))
                return false;
    return true;
}

std::uint64_t nowUs()
{
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

struct Counts {
    unsigned long perKind[junk::kKindCount] = {};
    unsigned long total = 0;
    unsigned long failed = 0;
};

void sendOne(int fd, const sockaddr_in& to, const junk::Bytes& bytes, junk::Kind kind,
             Counts& counts)
{
    const ssize_t sent = sendto(fd, bytes.data(), bytes.size(), 0,
                                reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent != static_cast<ssize_t>(bytes.size())) {
        ++counts.failed;
        return;
    }
    ++counts.perKind[static_cast<std::size_t>(kind)];
    ++counts.total;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (int status = parseOptions(argc, argv, options); status >= 0)
        return status;
    if (!inTestNamespace()) {
        std::cerr << "junk-sender: refusing to run outside a test network namespace\n";
        return 1;
    }

    const sigset_t waitMask = udptool::blockStopSignals();

    const int searchFd = openPort(protocol::kSearchPort);
    const int parameterFd = openPort(protocol::kParameterPort);
    const int sendFd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (searchFd < 0 || parameterFd < 0 || sendFd < 0) {
        std::perror("junk-sender: cannot open the camera ports");
        return 1;
    }
    std::cout << "ready" << std::endl;

    junk::Maker maker(options.kinds, options.seed, options.mostAnswers);
    Counts counts;
    std::optional<sockaddr_in> target = options.target;
    if (target)
        std::cout << "target " << endpointText(*target) << std::endl;
    std::uint64_t startUs = nowUs();
    std::vector<std::uint8_t> buffer(4096);
    pollfd fds[2] = {{searchFd, POLLIN, 0}, {parameterFd, POLLIN, 0}};

    while (!stopRequested) {
        // Wake every millisecond while sending; otherwise only for requests and signals.
        timespec tick{0, 1000000};
        const bool sending = target && options.rate > 0;
        if (ppoll(fds, 2, sending ? &tick : nullptr, &waitMask) < 0 && errno != EINTR) {
            std::perror("junk-sender: ppoll");
            return 1;
        }
        if (stopRequested)
            break;

        for (const pollfd& p : fds) {
            if (!(p.revents & POLLIN))
                continue;
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t got = recvfrom(p.fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (got < 0 || !junk::mayTarget(addressBytes(from)))
                continue;
            const auto count = static_cast<std::size_t>(got);
            const bool search = p.fd == searchFd && count == protocol::kSearchRequestSize;
            const junk::Bytes answer = junk::ackForAnotherMac(buffer.data(), count);
            if (!target && (search || !answer.empty())) {
                target = from;
                startUs = nowUs();
                std::cout << "target " << endpointText(from) << std::endl;
            }
            if (options.answerAcks && !answer.empty())
                sendOne(sendFd, from, answer, junk::Kind::acks, counts);
        }

        if (!target || options.rate <= 0)
            continue;
        // As many as the rate allows since the start, so a late wake-up catches up.
        const std::uint64_t due =
            (nowUs() - startUs) * static_cast<std::uint64_t>(options.rate) / 1000000;
        while (counts.total + counts.failed < due && !stopRequested) {
            junk::Kind kind{};
            const junk::Bytes datagram = maker.next(kind);
            sendOne(sendFd, *target, datagram, kind, counts);
        }
    }

    std::cout << "sent " << counts.total << " datagrams";
    for (std::size_t k = 0; k < junk::kKindCount; ++k)
        std::cout << ", " << junk::nameOf(static_cast<junk::Kind>(k)) << " " << counts.perKind[k];
    std::cout << ", failed " << counts.failed << ", passing for answers " << maker.answersMade()
              << std::endl;
    close(searchFd);
    close(parameterFd);
    close(sendFd);
    return 0;
}
