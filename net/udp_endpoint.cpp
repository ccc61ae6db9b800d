#include "net/udp_endpoint.h"

#include <sys/socket.h>
#include <vector>

#include "net/error_text.h"
#include "net/exceptions.h"

namespace net {

namespace {

constexpr Ipv4Bytes kLimitedBroadcast{255, 255, 255, 255};

// What a send that did not take the whole block means: sent is its result, error the layer's
// last error when that was -1.
[[noreturn]] void raiseSendFailure(int sent, std::int32_t error)
{
    if (sent != -1) {
        throw EIdNotAllBytesSent();
    }
    if (error == kErrorMessageTooLong) {
        throw EIdPackageSizeTooBig();
    }
    throw EIdSocketError(error);
}

} // namespace

UdpEndpoint::UdpEndpoint() : stack_(acquireProcessStack()), sharesProcessStack_(true) {}

UdpEndpoint::UdpEndpoint(SocketStack& stack) : stack_(stack), sharesProcessStack_(false) {}

UdpEndpoint::~UdpEndpoint()
{
    handle_.reset();
    if (sharesProcessStack_) {
        releaseProcessStack();
    }
}

void UdpEndpoint::setActive(bool value)
{
    if (value == active()) {
        return;
    }
    if (value) {
        activate();
    } else {
        handle_.reset();
    }
}

bool UdpEndpoint::active() const
{
    return handle_ && handle_->open();
}

void UdpEndpoint::setBroadcastEnabled(bool value)
{
    if (value == BroadcastEnabled) {
        return;
    }
    // Stored only once applied: a change the socket refused is tried again by the next call
    // instead of being taken for done.
    if (active()) {
        applyBroadcast(value);
    }
    BroadcastEnabled = value;
}

void UdpEndpoint::activate()
{
    if (!handle_) {
        handle_ = std::make_unique<SocketHandle>(stack_);
    }
    if (handle_->open()) {
        return;
    }
    handle_->allocate();
    try {
        applyBroadcast(BroadcastEnabled);
    } catch (...) {
        // An open socket without the permission would never get it, since later calls see the
        // endpoint active; without a socket the next call starts over.
        handle_->close();
        throw;
    }
}

void UdpEndpoint::applyBroadcast(bool value)
{
    const int option = value ? -1 : 0;
    if (stack_.setSocketOption(handle_->socket(), SOL_SOCKET, SO_BROADCAST, &option,
                               sizeof option) != 0) {
        stack_.raiseSocketError();
    }
}

void UdpEndpoint::SendDatagram(const void* data, std::int32_t count)
{
    // Resolved on every send: nothing is cached between exchanges.
    const std::string quad = stack_.resolveHost(Host);
    activate();
    SocketAddress target;
    target.address = SocketStack::textToAddress(quad);
    target.port = static_cast<std::uint16_t>(Port & 0xFFFF);

    // The system sends a limited broadcast only by the adapter of the default route, and not at
    // all without one, while the cameras often sit behind another adapter that has no gateway.
    // So it goes out once into every subnet of the adapters (broadcastInterfaces names one
    // adapter per subnet: two copies into one LAN would make every camera answer twice), all
    // copies from this socket's one local port so that every answer comes back here.
    const std::vector<BroadcastInterface> adapters = target.address == kLimitedBroadcast
                                                         ? stack_.broadcastInterfaces()
                                                         : std::vector<BroadcastInterface>{};
    if (adapters.empty()) {
        const int sent = stack_.sendTo(handle_->socket(), data, count, target);
        if (sent == -1 || sent != count) {
            raiseSendFailure(sent, sent == -1 ? stack_.lastError() : 0);
        }
        return;
    }
    // Done when one adapter took the datagram whole: an adapter that refused it has no camera to
    // reach, and that is no reason to fail the others. A cut copy is that adapter's failure.
    bool taken = false;
    int lastSent = 0;
    std::int32_t lastError = 0;
    for (const BroadcastInterface& adapter : adapters) {
        const int sent = stack_.sendToVia(handle_->socket(), data, count, target, adapter);
        if (sent != -1 && sent == count) {
            taken = true;
        } else {
            lastSent = sent;
            lastError = sent == -1 ? stack_.lastError() : 0;
        }
    }
    if (!taken) {
        raiseSendFailure(lastSent, lastError);
    }
}

std::int32_t UdpEndpoint::ReceiveDatagram(void* buffer, std::int32_t size, std::int32_t timeoutMs)
{
    if (timeoutMs == -1) {
        timeoutMs = ReceiveTimeout;
    }
    activate();
    // A failed wait is the transport's failure, not a wait in which nothing came: reported as
    // nothing, a broken socket would turn every Save into "no answer" ten seconds later. Only a
    // wait cut short by a signal means nothing came yet.
    const int ready = stack_.waitForReadable(handle_->socket(), timeoutMs);
    if (ready == -1 && stack_.lastError() != kErrorInterrupted) {
        stack_.raiseSocketError();
    }
    if (ready != 1) {
        return 0;
    }
    SocketAddress sender;
    const int length = stack_.receiveFrom(handle_->socket(), buffer, size, sender);
    if (length == -1) {
        // The datagram the wait saw was dropped before it could be read: nothing arrived.
        if (stack_.lastError() == kErrorWouldBlock) {
            return 0;
        }
        stack_.raiseSocketError();
    }
    if (length > size) {
        throw EIdSocketError(kErrorMessageTooLong);
    }
    if (length == 0) {
        throw EIdUDPReceiveErrorZeroBytes();
    }
    return length;
}

} // namespace net
