#include "protocol/settings_write.h"

#include <algorithm>
#include <array>

#include "protocol/answers.h"

namespace protocol {

namespace {

// A flood between two packets must not hold the batch back: the rest waits for the end.
constexpr int kMostReadBetweenSends = 64;

// The endpoint made ready to broadcast parameter packets, with what is already queued on it (a
// late answer to the last Find, a stale acknowledgement) dropped: it cannot answer a packet not
// yet sent.
void prepareForParameters(net::DatagramEndpoint& endpoint,
                          std::array<std::uint8_t, kAckBufferSize>& room, const TickSource& ticks)
{
    endpoint.setActive(true);
    endpoint.setBroadcastEnabled(true);
    endpoint.setHost("255.255.255.255");
    endpoint.setPort(kParameterPort);
    dropQueuedDatagrams(endpoint, room.data(), kAckBufferSize, ticks);
}

} // namespace

WriteOutcome writeSettings(net::DatagramEndpoint& endpoint, const ParameterPacket& packet,
                           std::int32_t ackWaitSeconds, const TickSource& ticks)
{
    // Datagrams from any sender are appended until 22 bytes are in; whatever came first decides.
    // So what is already queued goes before the packet does.
    std::array<std::uint8_t, kAckBufferSize> answer{};
    prepareForParameters(endpoint, answer, ticks);

    endpoint.SendDatagram(packet.bytes.data(), static_cast<std::int32_t>(packet.bytes.size()));

    const AckBytes expected = expectedAck(parameterPacketMac(packet));

    std::int32_t received = 0;
    const std::int64_t waitMs = std::int64_t{ackWaitSeconds} * 1000;
    const std::uint32_t start = ticks();
    std::int32_t elapsed = 0;
    do {
        const std::int32_t room = kAckBufferSize - received;
        std::int32_t got =
            receiveAnswer(endpoint, answer.data() + received, room, kAckReceiveTimeoutMs);
        received += std::clamp(got, 0, room);
        // Signed on purpose: a clock that steps back must not end the wait early.
        elapsed = static_cast<std::int32_t>(ticks() - start);
    } while (elapsed <= waitMs && received < static_cast<std::int32_t>(kAckSize));

    if (std::equal(expected.begin(), expected.end(), answer.begin()))
        return WriteOutcome::acknowledged;
    return received > 0 ? WriteOutcome::otherAnswer : WriteOutcome::noAnswer;
}

AckMatcher::AckMatcher(const std::vector<ParameterPacket>& packets)
{
    for (std::size_t i = 0; i < packets.size(); ++i)
        byMac_.emplace_back(parameterPacketMac(packets[i]), i);
    std::sort(byMac_.begin(), byMac_.end());
}

std::vector<std::size_t> AckMatcher::packetsFor(const std::uint8_t* ack) const
{
    std::vector<std::size_t> found;
    MacBytes mac{};
    std::copy_n(ack + (kAckSize - mac.size()), mac.size(), mac.begin());
    const AckBytes expected = expectedAck(mac);
    if (!std::equal(expected.begin(), expected.end(), ack))
        return found;
    auto it = std::lower_bound(byMac_.begin(), byMac_.end(), std::make_pair(mac, std::size_t{0}));
    for (; it != byMac_.end() && it->first == mac; ++it)
        found.push_back(it->second);
    return found;
}

std::vector<std::size_t> AckMatcher::acknowledged(const std::uint8_t* datagram, std::size_t length)
{
    if (length >= kAckSize)
        return packetsFor(datagram);
    // The newest bytes of the pieces in a row, at most an acknowledgement's worth.
    const std::size_t keep = std::min(piecesLength_, kAckSize - length);
    std::copy_n(pieces_.begin() + static_cast<std::ptrdiff_t>(piecesLength_ - keep), keep,
                pieces_.begin());
    std::copy_n(datagram, length, pieces_.begin() + static_cast<std::ptrdiff_t>(keep));
    piecesLength_ = keep + length;
    if (piecesLength_ < kAckSize)
        return {};
    return packetsFor(pieces_.data());
}

std::vector<BatchOutcome> writeSettingsToMany(net::DatagramEndpoint& endpoint,
                                              const std::vector<ParameterPacket>& packets,
                                              std::int32_t ackWaitSeconds, const TickSource& ticks,
                                              const BatchHooks& hooks)
{
    std::vector<BatchOutcome> outcomes(packets.size(), BatchOutcome::notSent);
    if (packets.empty())
        return outcomes;
    std::array<std::uint8_t, kAckBufferSize> answer{};
    prepareForParameters(endpoint, answer, ticks);

    AckMatcher matcher(packets);
    std::size_t sent = 0;
    std::size_t acknowledged = 0;
    std::size_t missing = 0; // sent and not yet acknowledged
    const auto report = [&] {
        if (hooks.progress)
            hooks.progress(sent, acknowledged);
    };
    // One receive: every packet the datagram acknowledges counts, once.
    const auto receive = [&](std::int32_t timeoutMs) {
        const std::int32_t got = receiveAnswer(endpoint, answer.data(), kAckBufferSize, timeoutMs);
        if (got <= 0)
            return got;
        for (const std::size_t i :
             matcher.acknowledged(answer.data(), static_cast<std::size_t>(got))) {
            if (outcomes[i] == BatchOutcome::noAcknowledgement) {
                outcomes[i] = BatchOutcome::acknowledged;
                ++acknowledged;
                --missing;
                report();
            }
        }
        return got;
    };

    for (std::size_t i = 0; i < packets.size(); ++i) {
        if (hooks.cancelled && hooks.cancelled())
            break;
        endpoint.SendDatagram(packets[i].bytes.data(),
                              static_cast<std::int32_t>(packets[i].bytes.size()));
        outcomes[i] = BatchOutcome::noAcknowledgement;
        ++sent;
        ++missing;
        report();
        if (i + 1 == packets.size())
            break;
        // What has come meanwhile is read at once, a little of it under a flood, and the next
        // packet waits its gap.
        for (int read = 0; read < kMostReadBetweenSends && receive(0) != 0; ++read) {
        }
        receive(kBatchSendGapMs);
    }

    const std::int64_t waitMs = std::int64_t{ackWaitSeconds} * 1000;
    const std::uint32_t start = ticks();
    while (missing > 0 && static_cast<std::int32_t>(ticks() - start) <= waitMs)
        receive(kAckReceiveTimeoutMs);
    return outcomes;
}

} // namespace protocol
