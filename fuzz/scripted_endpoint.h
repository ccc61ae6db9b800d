#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "net/datagram_endpoint.h"
#include "net/error_text.h"
#include "net/exceptions.h"
#include "protocol/ticks.h"

namespace fuzz {

using Bytes = std::vector<std::uint8_t>;

// An endpoint on a make-believe clock that plays a list of arrivals. The first `queued` of them
// are on the socket before anything is sent: a receive takes the next of those at once, whatever
// its delay, before the first send or after it. Each later arrival comes delayMs after the
// previous one was read (or after the first receive that follows a send began); a receive whose
// time-out passes first returns 0 and the arrival stays due that much sooner. When the list is
// played out, every receive times out. Time passes only on this clock, never for real.
//
// Like the real endpoint, a zero-byte datagram raises EIdUDPReceiveErrorZeroBytes and one larger
// than the room offered is cut into it and raises EIdSocketError 10040; an arrival made with
// addError raises EIdSocketError with its number instead of delivering anything.
//
// One endpoint serves every input: reset() empties it but keeps what its lists have grown to, so
// that an input costs no allocations once the first few have run.
class ScriptedEndpoint : public net::DatagramEndpoint {
public:
    struct Arrival {
        std::uint32_t delayMs;
        std::uint32_t from; // where its bytes start in the pool
        std::uint32_t length;
        std::int32_t errorCode; // raised instead of a delivery when not 0
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
        std::int32_t length; // -1 when the receive raised
        std::size_t sendsBefore;
    };
    struct Delivery {
        std::size_t sendsBefore;
        std::size_t arrival;
        bool queued; // one of the first `queued` arrivals
        bool raised; // empty, too long or an error: nothing was delivered
    };

    void reset(std::uint32_t firstTick)
    {
        firstTick_ = firstTick;
        time_ = 0;
        active_ = broadcast_ = false;
        host_.clear();
        port_ = 0;
        arrivals_.clear();
        pool_.clear();
        next_ = 0;
        queued = 0;
        sends.clear();
        receives.clear();
        deliveries.clear();
        threw = false;
    }

    // Appends an arrival of `length` zero bytes and returns where to write them; the place is
    // good until the next arrival is added.
    std::uint8_t* add(std::uint32_t delayMs, std::size_t length)
    {
        const auto from = static_cast<std::uint32_t>(pool_.size());
        arrivals_.push_back({delayMs, from, static_cast<std::uint32_t>(length), 0});
        pool_.resize(pool_.size() + length, 0);
        return pool_.data() + from;
    }
    void add(std::uint32_t delayMs, const Bytes& bytes)
    {
        std::copy(bytes.begin(), bytes.end(), add(delayMs, bytes.size()));
    }
    void addError(std::uint32_t delayMs, std::int32_t errorCode)
    {
        arrivals_.push_back({delayMs, static_cast<std::uint32_t>(pool_.size()), 0, errorCode});
    }

    std::size_t arrivalCount() const { return arrivals_.size(); }
    std::size_t poolSize() const { return pool_.size(); }
    const std::uint8_t* bytesOf(const Delivery& d) const
    {
        return pool_.data() + arrivals_[d.arrival].from;
    }
    std::size_t lengthOf(const Delivery& d) const { return arrivals_[d.arrival].length; }

    std::size_t queued = 0; // how many of the arrivals wait on the socket from the start
    std::vector<Send> sends;
    std::vector<Receive> receives;
    std::vector<Delivery> deliveries;
    bool threw = false; // an arrival made with addError was played

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
        check(receives.size() < arrivals_.size() + kSpareReceives, "receive loop does not end");
        check(size >= 0 && timeoutMs >= 0, "receive asked with a negative size or time-out");
        const bool left = next_ < arrivals_.size();
        const bool waiting = queued > 0 && left;
        // The other arrivals answer the first send: a look at the socket before it finds nothing.
        if (sends.empty() && !waiting)
            return 0;

        if (waiting) {
            --queued;
            return deliver(buffer, size, timeoutMs, true);
        }
        if (!left || arrivals_[next_].delayMs > std::uint32_t(timeoutMs)) {
            if (left)
                arrivals_[next_].delayMs -= static_cast<std::uint32_t>(timeoutMs);
            time_ += timeoutMs;
            receives.push_back({size, timeoutMs, time_, 0, sends.size()});
            return 0;
        }
        time_ += arrivals_[next_].delayMs;
        return deliver(buffer, size, timeoutMs, false);
    }

private:
    std::int32_t deliver(void* buffer, std::int32_t size, std::int32_t timeoutMs, bool wasQueued)
    {
        const std::size_t index = next_++;
        const Arrival& a = arrivals_[index];
        const bool raises = a.errorCode != 0 || a.length == 0 || a.length > std::uint32_t(size);
        deliveries.push_back({sends.size(), index, wasQueued, raises});
        const auto length = raises ? -1 : static_cast<std::int32_t>(a.length);
        receives.push_back({size, timeoutMs, time_, length, sends.size()});
        if (const std::size_t fits = std::min<std::size_t>(a.length, size); fits > 0)
            std::memcpy(buffer, pool_.data() + a.from, fits);
        if (a.errorCode != 0) {
            threw = true;
            throw net::EIdSocketError(a.errorCode);
        }
        if (a.length == 0)
            throw net::EIdUDPReceiveErrorZeroBytes();
        if (raises)
            throw net::EIdSocketError(net::kErrorMessageTooLong);
        return length;
    }

    static constexpr std::size_t kSpareReceives = 1000;

    std::uint32_t firstTick_ = 0;
    std::int64_t time_ = 0;
    bool active_ = false;
    bool broadcast_ = false;
    std::string host_;
    std::int32_t port_ = 0;
    std::vector<Arrival> arrivals_;
    Bytes pool_;
    std::size_t next_ = 0;
};

} // namespace fuzz
