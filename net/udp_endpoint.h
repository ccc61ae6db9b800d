#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/datagram_endpoint.h"
#include "net/socket_handle.h"
#include "net/socket_stack.h"

namespace net {

// The program's one UDP socket: unbound, so the system picks its local port at the first send,
// and answers to that port are read from the same socket for as long as the endpoint lives.
// A limited broadcast leaves once into every IPv4 subnet of the adapters that can carry it, all
// from that one port.
class UdpEndpoint final : public DatagramEndpoint {
public:
    // Over the process-wide socket layer, which lives as long as some endpoint uses it.
    UdpEndpoint();
    // Over a layer of the caller's, which must outlive the endpoint.
    explicit UdpEndpoint(SocketStack& stack);
    ~UdpEndpoint() override;
    UdpEndpoint(const UdpEndpoint&) = delete;
    UdpEndpoint& operator=(const UdpEndpoint&) = delete;

    void setActive(bool value) override;
    bool active() const override;
    void setBroadcastEnabled(bool value) override;
    void setHost(const std::string& host) override { Host = host; }
    void setPort(std::int32_t port) override { Port = port; }
    // The wait a receive asked for with -1 uses.
    void setReceiveTimeout(std::int32_t timeoutMs) { ReceiveTimeout = timeoutMs; }

    void SendDatagram(const void* data, std::int32_t count) override;
    std::int32_t ReceiveDatagram(void* buffer, std::int32_t size, std::int32_t timeoutMs) override;

private:
    void activate();
    void applyBroadcast(bool value);

    SocketStack& stack_;
    bool sharesProcessStack_;
    std::unique_ptr<SocketHandle> handle_;
    std::string Host;
    std::int32_t Port = 0;
    std::int32_t ReceiveTimeout = kWaitForever;
    bool BroadcastEnabled = false;
};

} // namespace net
