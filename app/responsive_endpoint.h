#pragma once

#include <cstdint>
#include <string>

#include "net/datagram_endpoint.h"
#include "protocol/ticks.h"

namespace app {

// The window's view of its UDP endpoint during Find and Save. Those handlers stay synchronous,
// but a receive that may wait is split into short slices with the application's pending events
// handled in between, so the window repaints and answers the desktop while it waits. The result
// is the same as the plain receive: the first datagram's length, or 0 once about timeoutMs have
// passed. A BusyState keeps the user's input out meanwhile.
class ResponsiveEndpoint : public net::DatagramEndpoint {
public:
    static constexpr std::int32_t kSliceMs = 20;

    explicit ResponsiveEndpoint(net::DatagramEndpoint& inner,
                                protocol::TickSource ticks = protocol::systemTicks);

    void setActive(bool value) override { inner_.setActive(value); }
    bool active() const override { return inner_.active(); }
    void setBroadcastEnabled(bool value) override { inner_.setBroadcastEnabled(value); }
    void setHost(const std::string& host) override { inner_.setHost(host); }
    void setPort(std::int32_t port) override { inner_.setPort(port); }
    void SendDatagram(const void* data, std::int32_t count) override
    {
        inner_.SendDatagram(data, count);
    }

    std::int32_t ReceiveDatagram(void* buffer, std::int32_t size, std::int32_t timeoutMs) override;

private:
    net::DatagramEndpoint& inner_;
    protocol::TickSource ticks_;
};

} // namespace app
