// Writing many cameras at once: the fuzzer's bytes make the batch's MACs and everything that
// arrives while it runs, acknowledgements, near misses, junk and errors among them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/scripted_endpoint.h"
#include "net/exceptions.h"
#include "protocol/packets.h"
#include "protocol/settings_write.h"

using namespace protocol;
using fuzz::Bytes;
using fuzz::check;
using fuzz::ScriptedEndpoint;

namespace {

constexpr std::size_t kMostPackets = 16;
constexpr std::size_t kMostArrivals = 60;
constexpr std::int32_t kConnectionReset = 10054;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::InputReader in(data, size);
    static ScriptedEndpoint endpoint;
    endpoint.reset(in.u32());

    // The MACs draw on a few bytes, so that two packets for one camera come up.
    std::vector<ParameterPacket> packets(1 + in.byte() % kMostPackets);
    std::vector<MacBytes> macs;
    for (ParameterPacket& packet : packets) {
        CameraRecord camera;
        camera.bytes[offset::respondMac + 5] = in.byte() % 24;
        camera.bytes[offset::respondMac] = in.byte() & 0x03;
        beginParameterPacket(packet, camera);
        macs.push_back(parameterPacketMac(packet));
    }
    endpoint.queued = in.byte() % 4;
    while (in.left() > 0 && endpoint.arrivalCount() < kMostArrivals) {
        const std::uint8_t kind = in.byte();
        const std::uint32_t delay = in.u16() % 12000;
        switch (kind % 6) {
        case 0:
        case 1: { // a camera's acknowledgement, maybe with more bytes after it
            const AckBytes ack = expectedAck(macs[in.byte() % macs.size()]);
            Bytes bytes(ack.begin(), ack.end());
            bytes.resize(bytes.size() + (kind >> 6), 0x7F);
            endpoint.add(delay, bytes);
            break;
        }
        case 2: { // an acknowledgement with one byte changed
            AckBytes ack = expectedAck(macs[in.byte() % macs.size()]);
            ack[in.byte() % ack.size()] ^= static_cast<std::uint8_t>(1 + in.byte() % 255);
            endpoint.add(delay, Bytes(ack.begin(), ack.end()));
            break;
        }
        case 3:
            endpoint.add(delay, in.bytes(in.byte() % 40));
            break;
        case 4:
            endpoint.add(delay, Bytes(300 + in.byte(), 0x41)); // too large for the buffer
            break;
        default:
            if (kind == 0xFF)
                endpoint.addError(delay, kConnectionReset);
            else
                endpoint.add(delay, Bytes{});
            break;
        }
    }

    std::vector<BatchOutcome> outcomes;
    bool caught = false;
    try {
        outcomes = writeSettingsToMany(endpoint, packets, kAckWaitSeconds, endpoint.ticks());
    } catch (const net::EIdSocketError& error) {
        check(error.ErrorCode == kConnectionReset, "a datagram passed over ended the batch",
              error.ErrorCode);
        caught = true;
    }
    check(caught == endpoint.threw, "an endpoint error swallowed or made up");
    check(endpoint.sends.size() <= packets.size(), "more sends than packets");
    for (std::size_t i = 0; i < endpoint.sends.size(); ++i) {
        const auto& send = endpoint.sends[i];
        check(send.broadcast && send.host == "255.255.255.255" && send.port == kParameterPort,
              "packet sent with the wrong settings", static_cast<long long>(i));
        check(send.bytes == Bytes(packets[i].bytes.begin(), packets[i].bytes.end()),
              "packets sent out of order or altered", static_cast<long long>(i));
    }
    if (caught)
        return 0;
    check(endpoint.sends.size() == packets.size(), "a packet not sent");

    // A packet counts as acknowledged exactly when, once it was out, a datagram came whose
    // first 22 bytes are its camera's acknowledgement, or shorter ones whose bytes, joined in the
    // order they came, end in it.
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const AckBytes expected = expectedAck(macs[i]);
        bool came = false;
        Bytes pieces;
        for (const auto& d : endpoint.deliveries) {
            if (d.raised)
                continue;
            const std::uint8_t* bytes = endpoint.bytesOf(d);
            if (endpoint.lengthOf(d) >= kAckSize) {
                came = came ||
                       (d.sendsBefore > i && std::equal(expected.begin(), expected.end(), bytes));
                continue;
            }
            pieces.insert(pieces.end(), bytes, bytes + endpoint.lengthOf(d));
            came = came || (d.sendsBefore > i && pieces.size() >= kAckSize &&
                            std::equal(expected.begin(), expected.end(), pieces.end() - kAckSize));
        }
        check((outcomes[i] == BatchOutcome::acknowledged) == came, "acknowledgement judged wrongly",
              static_cast<long long>(i));
        check(outcomes[i] != BatchOutcome::notSent, "a packet said not sent");
    }

    // Missing ones are waited for ten seconds after the last packet, no longer.
    const bool missing = std::any_of(outcomes.begin(), outcomes.end(), [](BatchOutcome o) {
        return o != BatchOutcome::acknowledged;
    });
    const std::int64_t last = endpoint.sends.back().at;
    const std::int64_t ended = endpoint.receives.empty() ? last : endpoint.receives.back().endedAt;
    const std::int64_t limit = std::int64_t{kAckWaitSeconds} * 1000;
    if (missing)
        check(ended - last > limit && ended - last <= limit + kAckReceiveTimeoutMs,
              "wait ended at the wrong time", ended - last);
    else
        check(ended - last <= limit + kAckReceiveTimeoutMs, "waited on after the last came",
              ended - last);
    return 0;
}
