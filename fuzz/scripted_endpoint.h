#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "net/datagram_endpoint.h"
#include "protocol/ticks.h"

namespace fuzz {

using Bytes = std::vector<std::uint8_t>;

// What the real endpoint raises for a zero-byte datagram or one larger than the room offered.
struct ScriptedError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// An endpoint on a make-believe clock that plays a list of arrivals. The first `queued` of them
// are on the socket before anything is sent: a receive takes the next of those at once, whatever
// its delay, before the first send or after it. Each later arrival comes delayMs after the
// previous one was read (or after the first receive that follows a send began); a receive whose
// time-out passes first returns 0 and the arrival stays due that much sooner. When the list is
// played out, every receive times out.
class ScriptedEndpoint : public net::DatagramEndpoint {
public:
    struct Arrival {
        std::uint32_t delayMs;
        Bytes bytes;
    };
    struct Send {
        bool active;
        bool broadcast;
        std::string host;
        std::int32_t port;
        Bytes bytes;
        std::int64_t at;
    };
    struct Receive {
        std::int32_t size;
        std::int32_t timeoutMs;
        std::int64_t endedAt;
        std::int32_t length;
        std::size_t sendsBefore;
    };
    struct Delivery {
        std::size_t sendsBefore;
        Bytes bytes;
        bool queued; // one of the first `queued` arrivals
    };

    explicit ScriptedEndpoint(std::uint32_t firstTick) : firstTick_(firstTick) {}

    std::deque<Arrival> arrivals;
    std::size_t queued = 0; // how many of the arrivals wait on the socket from the start
    std::vector<Send> sends;
    std::vector<Receive> receives;
    std::vector<Delivery> deliveries;
    bool threw = false;

    std::uint32_t tick() const { return static_cast<std::uint32_t>(firstTick_ + time_); }
    protocol::TickSource ticks()
    {
        return [this] { return tick(); };
    }
    std::int64_t time() const { return time_; }

    void setActive(bool value) override { active_ = value; }
    bool active() const override { return active_; }
    void setBroadcastEnabled(bool value) override { broadcast_ = value; }
    void setHost(const std::string& host) override { host_ = host; }
    void setPort(std::int32_t port) override { port_ = port; }

    void SendDatagram(const void* data, std::int32_t count) override
    {
        check(count >= 0, "negative send length", count);
        auto bytes = static_cast<const std::uint8_t*>(data);
        sends.push_back({active_, broadcast_, host_, port_, Bytes(bytes, bytes + count), time_});
    }

    std::int32_t ReceiveDatagram(void* buffer, std::int32_t size, std::int32_t timeoutMs) override
    {
        // Far more receives than arrivals means a wait that never ends.
        check(receives.size() < kReceiveLimit, "receive loop does not end");
        check(size >= 0 && timeoutMs >= 0, "receive asked with a negative size or time-out");
        const bool waiting = queued > 0 && !arrivals.empty();
        // The other arrivals answer the first send: a look at the socket before it finds nothing.
        if (sends.empty() && !waiting)
            return 0;

        std::int32_t length = 0;
        if (waiting) {
            --queued;
            Arrival next = std::move(arrivals.front());
            arrivals.pop_front();
            length = deliver(std::move(next.bytes), buffer, size, true);
        } else if (arrivals.empty() || arrivals.front().delayMs > std::uint32_t(timeoutMs)) {
            if (!arrivals.empty())
                arrivals.front().delayMs -= static_cast<std::uint32_t>(timeoutMs);
            time_ += timeoutMs;
        } else {
            Arrival next = std::move(arrivals.front());
            arrivals.pop_front();
            time_ += next.delayMs;
            length = deliver(std::move(next.bytes), buffer, size, false);
        }
        receives.push_back({size, timeoutMs, time_, length, sends.size()});
        return length;
    }

private:
    std::int32_t deliver(Bytes bytes, void* buffer, std::int32_t size, bool wasQueued)
    {
        if (bytes.empty() || bytes.size() > static_cast<std::size_t>(size)) {
            threw = true;
            throw ScriptedError(bytes.empty() ? "zero-byte datagram" : "too long");
        }
        std::memcpy(buffer, bytes.data(), bytes.size());
        const auto length = static_cast<std::int32_t>(bytes.size());
        deliveries.push_back({sends.size(), std::move(bytes), wasQueued});
        return length;
    }

    static constexpr std::size_t kReceiveLimit = 200000;

    std::uint32_t firstTick_;
    std::int64_t time_ = 0;
    bool active_ = false;
    bool broadcast_ = false;
    std::string host_;
    std::int32_t port_ = 0;
};

} // namespace fuzz
