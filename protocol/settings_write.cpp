#include "protocol/settings_write.h"

#include <algorithm>
#include <array>

#include "protocol/answers.h"

namespace protocol {

WriteOutcome writeSettings(net::DatagramEndpoint& endpoint, const ParameterPacket& packet,
                           std::int32_t ackWaitSeconds, const TickSource& ticks)
{
    endpoint.setActive(true);
    endpoint.setBroadcastEnabled(true);
    endpoint.setHost("255.255.255.255");
    endpoint.setPort(kParameterPort);

    // Datagrams from any sender are appended until 22 bytes are in; whatever came first decides.
    // So what is already queued (a late answer to the last Find, a stale acknowledgement) goes
    // before the packet does: it cannot answer it.
    std::array<std::uint8_t, kAckBufferSize> answer{};
    dropQueuedDatagrams(endpoint, answer.data(), kAckBufferSize, ticks);

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

} // namespace protocol
