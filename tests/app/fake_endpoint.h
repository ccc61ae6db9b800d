#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/datagram_endpoint.h"
#include "protocol/ticks.h"

namespace fakes {

struct SentDatagram {
    std::string host;
    std::int32_t port = 0;
    std::vector<std::uint8_t> bytes;
};

struct Arrival {
    std::uint32_t afterMs = 0; // after the send that caused it
    std::vector<std::uint8_t> bytes;
};

// A UDP endpoint without a socket. Time is a virtual millisecond clock that moves only while a
// receive waits, so a ten-second wait costs nothing; answers are scheduled in reply to sends.
class FakeEndpoint : public net::DatagramEndpoint {
public:
    std::uint32_t now = 0;
    std::string host;
    std::int32_t port = 0;
    std::vector<SentDatagram> sent;
    std::vector<std::int32_t> receiveTimeouts;
    std::function<std::vector<Arrival>(const SentDatagram&)> respond;
    std::function<void()> onSend;    // may throw
    std::function<void()> onReceive; // may throw

    protocol::TickSource ticks()
    {
        return [this] { return now; };
    }

    void setActive(bool value) override { active_ = value; }
    bool active() const override { return active_; }
    void setBroadcastEnabled(bool) override {}
    void setHost(const std::string& value) override { host = value; }
    void setPort(std::int32_t value) override { port = value; }

    void SendDatagram(const void* data, std::int32_t count) override
    {
        if (onSend)
            onSend();
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        sent.push_back({host, port, {bytes, bytes + count}});
        if (respond)
            for (Arrival& arrival : respond(sent.back()))
                pending_.push_back({now + arrival.afterMs, std::move(arrival.bytes)});
        std::stable_sort(pending_.begin(), pending_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    }

    std::int32_t ReceiveDatagram(void* buffer, std::int32_t size, std::int32_t timeoutMs) override
    {
        if (onReceive)
            onReceive();
        receiveTimeouts.push_back(timeoutMs);
        if (timeoutMs < 0)
            throw std::logic_error("the fake endpoint waits only for a given time");
        const std::uint32_t deadline = now + static_cast<std::uint32_t>(timeoutMs);
        if (pending_.empty() || pending_.front().first > deadline) {
            now = deadline;
            return 0;
        }
        const auto [at, bytes] = std::move(pending_.front());
        pending_.erase(pending_.begin());
        now = std::max(now, at);
        if (static_cast<std::int32_t>(bytes.size()) > size)
            throw std::length_error("datagram larger than the receive buffer");
        std::memcpy(buffer, bytes.data(), bytes.size());
        return static_cast<std::int32_t>(bytes.size());
    }

private:
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> pending_;
    bool active_ = false;
};

} // namespace fakes
