// The settings write's wait for the acknowledgement, fed the fuzzer's bytes as its answers.
#include <algorithm>
#include <array>
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

// Enough pieces to spread 22 bytes thinly over a ten-second wait, and a few empty ones between
// (each costs an exception; more of them would only slow the fuzzer down).
constexpr std::size_t kMostPieces = 40;
constexpr std::size_t kMostEmptyPieces = 4;
// A socket error other than the two that receiving passes over: it ends the wait.
constexpr std::int32_t kConnectionReset = 10054;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::InputReader in(data, size);
    static ScriptedEndpoint endpoint;
    endpoint.reset(in.u32());

    CameraRecord camera;
    const Bytes mac = in.bytes(6);
    std::copy(mac.begin(), mac.end(), camera.bytes.begin() + protocol::offset::respondMac);
    ParameterPacket packet;
    beginParameterPacket(packet, camera);

    // Mode bit 0: start the answer with the right acknowledgement, so that near misses are common.
    // Bit 1: the rest of the input is one datagram; otherwise it is cut into timed pieces.
    const std::uint8_t mode = in.byte();
    Bytes stream;
    if (mode & 1) {
        const AckBytes ack = expectedAck(parameterPacketMac(packet));
        stream.assign(ack.begin(), ack.end());
    }
    if (mode & 2) {
        const std::uint32_t delay = in.byte() * 50u;
        const Bytes rest = in.rest();
        stream.insert(stream.end(), rest.begin(), rest.end());
        endpoint.add(delay, stream);
    } else {
        std::size_t used = 0;
        std::size_t empty = 0;
        while (in.left() > 0 && endpoint.arrivalCount() < kMostPieces) {
            const std::uint32_t delay = in.u16() % 12000;
            const std::uint8_t lengthByte = in.byte();
            if (lengthByte == 0xFF) {
                endpoint.addError(delay, kConnectionReset);
                continue;
            }
            const std::size_t length = lengthByte % 40;
            if (length == 0 && empty++ >= kMostEmptyPieces)
                continue;
            Bytes piece = in.bytes(length);
            // The acknowledgement bytes go out first, spread over the leading pieces.
            const std::size_t take = std::min(stream.size() - used, piece.size());
            std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(used), take, piece.begin());
            used += take;
            endpoint.add(delay, piece);
        }
    }

    WriteOutcome outcome = WriteOutcome::noAnswer;
    bool caught = false;
    try {
        outcome = writeSettings(endpoint, packet, kAckWaitSeconds, endpoint.ticks());
    } catch (const net::EIdSocketError& error) {
        check(error.ErrorCode == kConnectionReset, "a datagram passed over ended the wait",
              error.ErrorCode);
        caught = true;
    }
    check(caught == endpoint.threw, "an endpoint error swallowed or made up");

    check(endpoint.sends.size() == 1, "not exactly one send",
          static_cast<long long>(endpoint.sends.size()));
    const auto& send = endpoint.sends.front();
    check(send.active && send.broadcast && send.host == "255.255.255.255" &&
              send.port == kParameterPort,
          "packet sent with the wrong settings", send.port);
    check(send.bytes == Bytes(packet.bytes.begin(), packet.bytes.end()), "packet sent altered");

    // Each receive is offered exactly the room left in the 256-byte answer buffer, and none
    // follows once 22 bytes are in.
    std::size_t gathered = 0;
    for (const auto& r : endpoint.receives) {
        check(gathered < kAckSize, "received on after 22 bytes", static_cast<long long>(gathered));
        check(r.size == kAckBufferSize - static_cast<std::int32_t>(gathered) &&
                  r.timeoutMs == kAckReceiveTimeoutMs,
              "receive offered the wrong room", r.size);
        gathered += static_cast<std::size_t>(std::max(r.length, 0));
    }
    if (caught)
        return 0;

    // What was passed over leaves nothing behind: the answer is the datagrams taken, end to end.
    Bytes answer;
    for (const auto& d : endpoint.deliveries) {
        if (!d.raised)
            answer.insert(answer.end(), endpoint.bytesOf(d),
                          endpoint.bytesOf(d) + endpoint.lengthOf(d));
    }
    const bool anything = !answer.empty();
    answer.resize(std::max(answer.size(), kAckSize), 0);
    const AckBytes expected = expectedAck(MacBytes{mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]});
    const WriteOutcome judged = std::equal(expected.begin(), expected.end(), answer.begin())
                                    ? WriteOutcome::acknowledged
                                : anything ? WriteOutcome::otherAnswer
                                           : WriteOutcome::noAnswer;
    check(outcome == judged, "acknowledgement judged wrongly", static_cast<long long>(outcome));

    // Short of 22 bytes, the wait ends with the first receive that finishes past 10 s.
    if (gathered < kAckSize) {
        const std::int64_t limit = std::int64_t{kAckWaitSeconds} * 1000;
        const auto& last = endpoint.receives.back();
        check(last.endedAt > limit && last.endedAt <= limit + kAckReceiveTimeoutMs,
              "wait ended at the wrong time", last.endedAt);
    }
    return 0;
}
