#pragma once

#include "net/socket_stack.h"

namespace net {

// The socket layer over the Linux socket calls. Unlike some platforms' socket libraries it needs
// nothing loaded or started, so building it cannot fail.
class PosixSocketStack final : public SocketStack {
public:
    int closeSocket(SocketId socket) override;
    bool lookupHost(const std::string& name, Ipv4Bytes& address) override;
    int receiveFrom(SocketId socket, void* buffer, std::int32_t size, SocketAddress& from) override;
    int waitForReadable(SocketId socket, std::int32_t timeoutMs) override;
    int sendTo(SocketId socket, const void* data, std::int32_t count,
               const SocketAddress& to) override;
    std::vector<BroadcastInterface> broadcastInterfaces() override;
    int sendToVia(SocketId socket, const void* data, std::int32_t count, const SocketAddress& to,
                  const BroadcastInterface& via) override;
    int setSocketOption(SocketId socket, int level, int option, const void* value,
                        int length) override;
    SocketId newSocket() override;
    int shutdownSocket(SocketId socket, int how) override;
    std::int32_t lastError() const override { return lastError_; }

private:
    // Records errno as the last error and answers -1, like a failed platform call.
    int failed();
    int failedWith(int errnoValue);

    // Kept here rather than read from errno later, so that nothing in between can change it.
    std::int32_t lastError_ = 0;
};

} // namespace net
