#pragma once

#include <cstdint>
#include <string>

namespace net {

// The operations the camera exchanges drive on the program's one UDP socket. UdpEndpoint
// implements them over the socket layer; tests and the window put their own in between.
// Every failure is raised as an exception of the EIdException family (exceptions.h).
class DatagramEndpoint {
public:
    virtual ~DatagramEndpoint() = default;

    virtual void setActive(bool value) = 0;
    virtual bool active() const = 0;
    virtual void setBroadcastEnabled(bool value) = 0;
    virtual void setHost(const std::string& host) = 0;
    virtual void setPort(std::int32_t port) = 0;

    // Sends the block as one datagram to Host:Port, activating first if needed.
    virtual void SendDatagram(const void* data, std::int32_t count) = 0;

    // Waits at most timeoutMs (0 only looks, -1 takes ReceiveTimeout, -2 waits without limit)
    // for one datagram and reads it into buffer. Returns its length, 0 when none came.
    virtual std::int32_t ReceiveDatagram(void* buffer, std::int32_t size,
                                         std::int32_t timeoutMs) = 0;
};

} // namespace net
