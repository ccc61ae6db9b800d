#pragma once

#include "net/socket_stack.h"

namespace net {

// Holds the endpoint's one platform socket. Destroying the handle closes the socket.
class SocketHandle {
public:
    explicit SocketHandle(SocketStack& stack) : stack_(stack) {}
    ~SocketHandle();
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;

    // Creates the socket; raises EIdInvalidSocket when the platform refuses.
    void allocate();
    // Shuts the socket down for sending, then closes it; the results do not matter any more.
    void close();

    SocketId socket() const { return socket_; }
    bool open() const { return open_; }

private:
    SocketStack& stack_;
    SocketId socket_ = kInvalidSocket;
    bool open_ = false;
};

} // namespace net
