#include "net/socket_handle.h"

#include <sys/socket.h>

#include "net/exceptions.h"

namespace net {

SocketHandle::~SocketHandle()
{
    close();
}

void SocketHandle::allocate()
{
    const SocketId socket = stack_.newSocket();
    if (socket == kInvalidSocket) {
        throw EIdInvalidSocket();
    }
    socket_ = socket;
    open_ = true;
}

void SocketHandle::close()
{
    if (!open_) {
        return;
    }
    open_ = false;
    stack_.shutdownSocket(socket_, SHUT_WR);
    stack_.closeSocket(socket_);
    socket_ = kInvalidSocket;
}

} // namespace net
