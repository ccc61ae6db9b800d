#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/datagram_endpoint.h"
#include "net/error_text.h"
#include "net/exceptions.h"
#include "protocol/ticks.h"

using Bytes = std::vector<std::uint8_t>;

struct ScriptedFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// An endpoint on a make-believe clock. A receive delivers the earliest datagram that is due
// within its time-out (moving the clock to that moment), or lets the whole time-out pass.
// Datagrams are scheduled relative to a send, so a test can say "in pass 2, 300 ms in"; send 0
// stands for the start of the clock, for datagrams queued before anything was sent. Like the real
// endpoint, a datagram larger than the room offered is cut into it and raises error 10040, and an
// empty one raises the zero-bytes error.
class ScriptedEndpoint : public net::DatagramEndpoint {
public:
    struct Settings {
        bool active = false;
        bool broadcast = false;
        std::string host;
        std::int32_t port = 0;
    };
    struct Send {
        Settings settings;
        Bytes bytes;
        std::int64_t at;
    };
    struct Receive {
        std::int32_t size;
        std::int32_t timeoutMs;
        std::int64_t endedAt;
        std::size_t sendsBefore;
        std::int32_t length; // -1 when the receive raised
    };

    explicit ScriptedEndpoint(std::uint32_t firstTick = 5000) : firstTick_(firstTick) {}

    // What the tick counter shows: the first tick plus the time passed, plus any steps.
    std::uint32_t tick() const
    {
        return static_cast<std::uint32_t>(firstTick_ + time_ + clockStep_);
    }
    protocol::TickSource ticks()
    {
        return [this] { return tick(); };
    }
    std::int64_t time() const { return time_; }

    // Delivers `bytes` delayMs after the afterSend-th send (counted from 1).
    void schedule(std::size_t afterSend, std::int64_t delayMs, Bytes bytes)
    {
        pending_.push_back({afterSend, delayMs, std::move(bytes), 0});
    }
    // Time passing while nobody reads the socket (the user looking at the list between two
    // exchanges): what falls due meanwhile waits for the next receive.
    void idle(std::int64_t ms) { time_ += ms; }
    // The receive that would deliver at that moment raises EIdSocketError with errorCode.
    void scheduleSocketError(std::size_t afterSend, std::int64_t delayMs, std::int32_t errorCode)
    {
        pending_.push_back({afterSend, delayMs, {}, errorCode});
    }
    // The first receive after the given send throws.
    void failReceiveAfterSend(std::size_t send) { failReceiveAfterSend_ = send; }
    void failSend(std::size_t send) { failSend_ = send; }
    // Before the given receive (counted from 1) the tick counter jumps by deltaMs.
    void stepClockAtReceive(std::size_t receive, std::int64_t deltaMs)
    {
        clockSteps_[receive] = deltaMs;
    }

    std::vector<Send> sends;
    std::vector<Receive> receives;

    void setActive(bool value) override { settings_.active = value; }
    bool active() const override { return settings_.active; }
    void setBroadcastEnabled(bool value) override { settings_.broadcast = value; }
    void setHost(const std::string& host) override { settings_.host = host; }
    void setPort(std::int32_t port) override { settings_.port = port; }

    void SendDatagram(const void* data, std::int32_t count) override
    {
        if (sends.size() + 1 == failSend_)
            throw ScriptedFailure("send failed");
        auto bytes = static_cast<const std::uint8_t*>(data);
        sends.push_back({settings_, Bytes(bytes, bytes + count), time_});
    }

    std::int32_t ReceiveDatagram(void* buffer, std::int32_t size, std::int32_t timeoutMs) override
    {
        // A loop that never ends would otherwise hang the test run.
        if (receives.size() > 10000)
            throw std::logic_error("receive loop does not end");
        if (sends.size() == failReceiveAfterSend_)
            throw ScriptedFailure("receive failed");
        if (auto step = clockSteps_.find(receives.size() + 1); step != clockSteps_.end())
            clockStep_ += step->second;

        auto next = pending_.end();
        for (auto it = pending_.begin(); it != pending_.end(); ++it) {
            if (it->afterSend <= sends.size() && (next == pending_.end() || due(*it) < due(*next)))
                next = it;
        }
        std::int32_t length = 0;
        if (next != pending_.end() && due(*next) <= time_ + timeoutMs) {
            time_ = std::max(time_, due(*next));
            const Pending arrived = std::move(*next);
            pending_.erase(next);
            length = static_cast<std::int32_t>(arrived.bytes.size());
            const bool tooLarge = length > size;
            if (const std::int32_t fits = std::min(length, size); fits > 0)
                std::memcpy(buffer, arrived.bytes.data(), static_cast<std::size_t>(fits));
            if (arrived.errorCode != 0 || tooLarge || length == 0) {
                receives.push_back({size, timeoutMs, time_, sends.size(), -1});
                if (arrived.errorCode != 0)
                    throw net::EIdSocketError(arrived.errorCode);
                if (tooLarge)
                    throw net::EIdSocketError(net::kErrorMessageTooLong);
                throw net::EIdUDPReceiveErrorZeroBytes();
            }
        } else {
            time_ += timeoutMs;
        }
        receives.push_back({size, timeoutMs, time_, sends.size(), length});
        return length;
    }

private:
    struct Pending {
        std::size_t afterSend;
        std::int64_t delayMs;
        Bytes bytes;
        std::int32_t errorCode;
    };

    std::int64_t due(const Pending& p) const
    {
        return p.afterSend == 0 ? p.delayMs : sends[p.afterSend - 1].at + p.delayMs;
    }

    std::uint32_t firstTick_;
    std::int64_t time_ = 0;
    std::int64_t clockStep_ = 0;
    Settings settings_;
    std::vector<Pending> pending_;
    std::map<std::size_t, std::int64_t> clockSteps_;
    std::size_t failReceiveAfterSend_ = SIZE_MAX;
    std::size_t failSend_ = 0;
};

// For code that opens an endpoint for every exchange (telviq-cli's commands): each is a view of one
// scripted network.
class EndpointView : public net::DatagramEndpoint {
public:
    explicit EndpointView(ScriptedEndpoint& network) : network_(network) {}

    void setActive(bool value) override { network_.setActive(value); }
    bool active() const override { return network_.active(); }
    void setBroadcastEnabled(bool value) override { network_.setBroadcastEnabled(value); }
    void setHost(const std::string& host) override { network_.setHost(host); }
    void setPort(std::int32_t port) override { network_.setPort(port); }
    void SendDatagram(const void* data, std::int32_t count) override
    {
        network_.SendDatagram(data, count);
    }
    std::int32_t ReceiveDatagram(void* buffer, std::int32_t size, std::int32_t timeoutMs) override
    {
        return network_.ReceiveDatagram(buffer, size, timeoutMs);
    }

private:
    ScriptedEndpoint& network_;
};
