#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "net/address_text.h"

namespace net {

using SocketId = int;
inline constexpr SocketId kInvalidSocket = -1;

// A wait time that means no limit.
inline constexpr std::int32_t kWaitForever = -2;

struct SocketAddress {
    Ipv4Bytes address{};
    std::uint16_t port = 0; // host byte order
};

// An adapter that a limited broadcast is sent through on its own.
struct BroadcastInterface {
    unsigned index = 0;  // the system's interface index
    Ipv4Bytes address{}; // its first IPv4 address: the source of every copy sent by it
};

// The process-wide socket layer: every platform socket call of the transport goes through here,
// so that tests can put their own layer under an endpoint. The calls answer like the platform's:
// -1 on failure, with lastError() then giving the socket error number (error_text.h).
class SocketStack {
public:
    virtual ~SocketStack() = default;

    virtual int closeSocket(SocketId socket) = 0;
    // The first IPv4 address of a host name. False when the lookup fails; lastError() then gives
    // one of the lookup failure numbers.
    virtual bool lookupHost(const std::string& name, Ipv4Bytes& address) = 0;
    // Reads one datagram, at most size bytes of it, and returns its full length: a result
    // larger than size means the datagram did not fit, and it is gone all the same.
    virtual int receiveFrom(SocketId socket, void* buffer, std::int32_t size,
                            SocketAddress& from) = 0;
    // 1 when the socket is readable within timeoutMs (0 only looks, kWaitForever waits without
    // limit), 0 when the time ran out, -1 on failure.
    virtual int waitForReadable(SocketId socket, std::int32_t timeoutMs) = 0;
    virtual int sendTo(SocketId socket, const void* data, std::int32_t count,
                       const SocketAddress& to) = 0;
    // The adapters a limited broadcast has to leave by: of those up, with a link, able to
    // broadcast and with an IPv4 address, loopback left out, one per IPv4 subnet, so that no LAN
    // gets two copies (broadcastCopies in broadcast_copies.h has the rule). In index order; empty
    // when there is none or the list cannot be read.
    virtual std::vector<BroadcastInterface> broadcastInterfaces() = 0;
    // sendTo, but out by the given adapter and from its address, whatever the routes say, and
    // still from the socket's one local port.
    virtual int sendToVia(SocketId socket, const void* data, std::int32_t count,
                          const SocketAddress& to, const BroadcastInterface& via) = 0;
    virtual int setSocketOption(SocketId socket, int level, int option, const void* value,
                                int length) = 0;
    // An unbound IPv4 datagram socket, or kInvalidSocket.
    virtual SocketId newSocket() = 0;
    virtual int shutdownSocket(SocketId socket, int how) = 0;
    virtual std::int32_t lastError() const = 0;

    // Host as a dotted quad: "LOCALHOST" in any case is 127.0.0.1, a dotted quad stays as it
    // is, anything else is looked up (raising EIdSocketError when that fails).
    std::string resolveHost(const std::string& host);

    // Raises EIdSocketError with lastError().
    [[noreturn]] void raiseSocketError() const;

    // Four pieces split at the first three full stops, each a decimal number from 0 to 255.
    static bool isDottedQuad(const std::string& text);
    // The bytes of a dotted quad, every piece read as decimal (so 010.000.000.001 is 10.0.0.1).
    // All zero when the text is no dotted quad.
    static Ipv4Bytes textToAddress(const std::string& text);
};

// The layer shared by every endpoint built without a layer of its own. The first acquire creates
// the POSIX layer; the release balancing the last acquire destroys it again.
SocketStack& acquireProcessStack();
void releaseProcessStack();
// The shared layer while anyone holds it, else null.
SocketStack* processStack();

} // namespace net
