#include "net/posix_socket_stack.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/broadcast_copies.h"
#include "net/error_text.h"
#include "net/interfaces.h"

namespace net {

namespace {

sockaddr_in toSockaddr(const SocketAddress& address)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(address.port);
    std::memcpy(&result.sin_addr.s_addr, address.address.data(), 4);
    return result;
}

// Up to 128 cameras answer one search within a few milliseconds; the default receive buffer
// holds only about a hundred such datagrams, so the rest would be dropped before the first read.
constexpr int kReceiveBufferBytes = 1 << 20;

} // namespace

int PosixSocketStack::failed()
{
    return failedWith(errno);
}

int PosixSocketStack::failedWith(int errnoValue)
{
    lastError_ = socketErrorFromErrno(errnoValue);
    return -1;
}

int PosixSocketStack::closeSocket(SocketId socket)
{
    return ::close(socket) == 0 ? 0 : failed();
}

bool PosixSocketStack::lookupHost(const std::string& name, Ipv4Bytes& address)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* answer = nullptr;
    errno = 0;
    const int result = ::getaddrinfo(name.c_str(), nullptr, &hints, &answer);
    if (result != 0) {
        lastError_ = lookupErrorFromGai(result, errno);
        return false;
    }
    bool found = false;
    for (const addrinfo* entry = answer; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
            std::memcpy(address.data(), &in->sin_addr.s_addr, 4);
            found = true;
            break;
        }
    }
    ::freeaddrinfo(answer);
    if (!found) {
        lastError_ = kErrorNoData;
    }
    return found;
}

int PosixSocketStack::receiveFrom(SocketId socket, void* buffer, std::int32_t size,
                                  SocketAddress& from)
{
    if (size < 0) {
        return failedWith(EINVAL);
    }
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    // MSG_TRUNC makes recvfrom answer the datagram's real length even when it was cut to size.
    // MSG_DONTWAIT: the kernel may drop a datagram with a bad checksum after the wait reported it,
    // and a blocking read would then hang until some other datagram came.
    const ssize_t length =
        ::recvfrom(socket, buffer, static_cast<std::size_t>(size), MSG_TRUNC | MSG_DONTWAIT,
                   reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (length < 0) {
        return failed();
    }
    std::memcpy(from.address.data(), &sender.sin_addr.s_addr, 4);
    from.port = ntohs(sender.sin_port);
    return static_cast<int>(length);
}

int PosixSocketStack::waitForReadable(SocketId socket, std::int32_t timeoutMs)
{
    // poll rather than select: select cannot watch a descriptor numbered 1024 or above.
    int pollTimeout = timeoutMs;
    if (timeoutMs == kWaitForever) {
        pollTimeout = -1;
    } else if (timeoutMs < 0) {
        return failedWith(EINVAL);
    }
    pollfd entry{};
    entry.fd = socket;
    entry.events = POLLIN;
    const int result = ::poll(&entry, 1, pollTimeout);
    if (result < 0) {
        return failed();
    }
    if (result == 1 && (entry.revents & POLLNVAL) != 0) {
        return failedWith(EBADF);
    }
    return result;
}

int PosixSocketStack::sendTo(SocketId socket, const void* data, std::int32_t count,
                             const SocketAddress& to)
{
    if (count < 0) {
        return failedWith(EINVAL);
    }
    const sockaddr_in target = toSockaddr(to);
    const ssize_t sent = ::sendto(socket, data, static_cast<std::size_t>(count), 0,
                                  reinterpret_cast<const sockaddr*>(&target), sizeof target);
    return sent < 0 ? failed() : static_cast<int>(sent);
}

std::vector<BroadcastInterface> PosixSocketStack::broadcastInterfaces()
{
    std::vector<SystemInterface> interfaces;
    if (!listInterfaces(interfaces)) {
        return {};
    }
    // Without a link (cable out, radio not joined) a copy would only be dropped.
    constexpr unsigned kWanted = IFF_UP | IFF_RUNNING | IFF_BROADCAST;
    std::vector<AdapterAddress> found;
    for (const SystemInterface& adapter : interfaces) {
        if ((adapter.flags & kWanted) != kWanted || (adapter.flags & IFF_LOOPBACK) != 0 ||
            adapter.index == 0) {
            continue;
        }
        for (const InterfaceAddress& address : adapter.ipv4) {
            found.push_back({adapter.index, address.address, address.mask});
        }
    }
    // One copy per subnet, by the first adapter holding it, and one per adapter at most.
    return broadcastCopies(found);
}

int PosixSocketStack::sendToVia(SocketId socket, const void* data, std::int32_t count,
                                const SocketAddress& to, const BroadcastInterface& via)
{
    if (count < 0) {
        return failedWith(EINVAL);
    }
    sockaddr_in target = toSockaddr(to);
    iovec block{const_cast<void*>(data), static_cast<std::size_t>(count)};
    // IP_PKTINFO picks the adapter and the source address for this one datagram; binding the
    // socket to an adapter instead would change its local port or cut off the other adapters.
    in_pktinfo info{};
    info.ipi_ifindex = static_cast<int>(via.index);
    std::memcpy(&info.ipi_spec_dst.s_addr, via.address.data(), 4);
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof info)] = {};
    msghdr message{};
    message.msg_name = &target;
    message.msg_namelen = sizeof target;
    message.msg_iov = &block;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof info);
    std::memcpy(CMSG_DATA(header), &info, sizeof info);
    const ssize_t sent = ::sendmsg(socket, &message, 0);
    return sent < 0 ? failed() : static_cast<int>(sent);
}

int PosixSocketStack::setSocketOption(SocketId socket, int level, int option, const void* value,
                                      int length)
{
    if (length < 0) {
        return failedWith(EINVAL);
    }
    return ::setsockopt(socket, level, option, value, static_cast<socklen_t>(length)) == 0
               ? 0
               : failed();
}

SocketId PosixSocketStack::newSocket()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        failed();
        return kInvalidSocket;
    }
    // SO_RCVBUFFORCE passes the system's ceiling but needs CAP_NET_ADMIN; without it SO_RCVBUF
    // gets as close as the ceiling allows. Either way a smaller buffer is no reason to fail.
    const int bytes = kReceiveBufferBytes;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0) {
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    }
    return fd;
}

int PosixSocketStack::shutdownSocket(SocketId socket, int how)
{
    return ::shutdown(socket, how) == 0 ? 0 : failed();
}

} // namespace net
