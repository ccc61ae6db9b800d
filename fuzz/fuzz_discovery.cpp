// Discovery against cameras whose answers, and when they come, are the fuzzer's.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/scripted_endpoint.h"
#include "protocol/discovery.h"
#include "protocol/packets.h"

using namespace protocol;
using fuzz::Bytes;
using fuzz::check;
using fuzz::ScriptedEndpoint;

namespace {

constexpr char kTag[] = "MORVAK INFO RESPOND";

Bytes answer(const std::array<std::uint8_t, 6>& mac, const Bytes& tail)
{
    Bytes bytes(kTag, kTag + 19);
    bytes.push_back(0);
    bytes.insert(bytes.end(), mac.begin(), mac.end());
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

// Arrivals read from the input. Answers are mostly made whole so that the fuzzer spends its time
// on timing, duplicates and the table's limits rather than on finding the tag.
void script(fuzz::InputReader& in, ScriptedEndpoint& endpoint)
{
    while (in.left() > 0) {
        const std::uint8_t head = in.byte();
        const std::uint32_t delay = in.u16() % 1800;
        switch (head & 3) {
        case 0: { // an answer from one of eight cameras
            const std::uint8_t id = static_cast<std::uint8_t>(head >> 2 & 7);
            endpoint.arrivals.push_back(
                {delay, answer({0, 0x11, 0x22, 0x33, 0x44, id}, in.bytes(in.byte()))});
            break;
        }
        case 1: { // any bytes at all, longer than the receive buffer now and then
            const std::size_t length = in.u16() % 1200;
            endpoint.arrivals.push_back({delay, in.bytes(length)});
            break;
        }
        case 2: { // a crowd answering at once, enough to fill the table
            const std::size_t crowd = in.byte();
            const std::uint8_t base = in.byte();
            const Bytes tail = in.bytes(in.byte() % 8);
            for (std::size_t i = 0; i < crowd; ++i) {
                const auto n = static_cast<std::uint8_t>(base + i);
                endpoint.arrivals.push_back(
                    {i == 0 ? delay : 0,
                     answer({2, 0, 0, 0, static_cast<std::uint8_t>(i >> 8), n}, tail)});
            }
            break;
        }
        default: { // an answer with a MAC of the fuzzer's, possibly longer than a slot
            const Bytes macBytes = in.bytes(6);
            std::array<std::uint8_t, 6> mac{};
            std::copy(macBytes.begin(), macBytes.end(), mac.begin());
            endpoint.arrivals.push_back({delay, answer(mac, in.bytes(in.u16() % 1100))});
            break;
        }
        }
    }
}

CameraRecord stored(const Bytes& datagram)
{
    CameraRecord record;
    storeRespondPacket(datagram.data(), datagram.size(), record);
    return record;
}

// What the table must hold: pass 1 as it came, then the cameras first heard in pass 2, then in
// pass 3, never a MAC twice among those merged in.
std::vector<CameraRecord> expectedTable(const ScriptedEndpoint& endpoint)
{
    std::array<std::vector<CameraRecord>, 3> passes;
    for (const auto& d : endpoint.deliveries) {
        // What was queued before the Find answers none of its searches.
        if (d.queued || !isRespondPacket(d.bytes.data(), d.bytes.size()))
            continue;
        auto& pass = passes[d.sendsBefore - 1];
        if (pass.size() < kTableSlots)
            pass.push_back(stored(d.bytes));
    }
    std::vector<CameraRecord> table = passes[0];
    for (std::size_t p = 1; p < 3; ++p) {
        for (const auto& entry : passes[p]) {
            const bool known = std::any_of(table.begin(), table.end(), [&](const auto& r) {
                return macAddress(r) == macAddress(entry);
            });
            if (!known && table.size() < kTableSlots)
                table.push_back(entry);
        }
    }
    return table;
}

std::size_t pass1Answers(const ScriptedEndpoint& endpoint)
{
    std::size_t n = 0;
    for (const auto& d : endpoint.deliveries)
        n += d.sendsBefore == 1 && !d.queued && isRespondPacket(d.bytes.data(), d.bytes.size());
    return std::min(n, kTableSlots);
}

void checkSendsAndTiming(const ScriptedEndpoint& endpoint, std::uint32_t listenSeconds)
{
    const auto request = searchRequestBytes();
    for (const auto& send : endpoint.sends) {
        check(send.active && send.broadcast && send.host == "255.255.255.255" &&
                  send.port == kSearchPort,
              "search sent with the wrong settings", send.port);
        check(send.bytes == Bytes(request.begin(), request.end()), "search request wrong");
    }
    for (const auto& r : endpoint.receives) {
        // Before the first search only looks (time-out 0) that drop what is queued.
        check(r.size == kDiscoveryReceiveBufferSize &&
                  (r.sendsBefore == 0
                       ? r.timeoutMs == 0
                       : r.timeoutMs >= 1 && r.timeoutMs <= kDiscoveryReceiveTimeoutMs),
              "receive asked with the wrong size or time-out", r.timeoutMs);
    }
    if (endpoint.threw)
        return;

    // Each pass listens for more than its window after its send, and at most one receive
    // longer; a wrap of the tick counter must change neither.
    const std::int64_t window = std::int64_t{listenSeconds} * 1000;
    const std::int64_t lastEnd = endpoint.receives.empty() ? 0 : endpoint.receives.back().endedAt;
    for (std::size_t i = 0; i < endpoint.sends.size(); ++i) {
        const std::int64_t end = i + 1 < endpoint.sends.size() ? endpoint.sends[i + 1].at : lastEnd;
        const std::int64_t lasted = end - endpoint.sends[i].at;
        check(lasted > window && lasted <= window + kDiscoveryReceiveTimeoutMs,
              "a pass listened for the wrong time", lasted);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::InputReader in(data, size);
    ScriptedEndpoint endpoint(in.u32());
    // Bits 0-1: the listen seconds (0 to 2); the rest: how many of the arrivals are queued on the
    // socket before the Find starts (a late answer to the last one, anyone's datagrams).
    const std::uint8_t setup = in.byte();
    const std::uint32_t listenSeconds = (setup & 3u) % 3;
    endpoint.queued = setup >> 2;
    script(in, endpoint);

    static CameraTable table;
    table.count = 0;
    bool caught = false;
    try {
        discoverCameras(endpoint, table, listenSeconds, endpoint.ticks());
    } catch (const fuzz::ScriptedError&) {
        caught = true;
    }
    check(caught == endpoint.threw, "an endpoint error swallowed or made up");

    // What is queued is read off before the first search goes out (a Find that searched first
    // would read it after), and never listed: the table checks below leave it out of what the
    // table must hold.
    for (const auto& d : endpoint.deliveries)
        check(!d.queued || d.sendsBefore == 0, "a datagram queued before the Find read after it",
              static_cast<long long>(d.sendsBefore));

    check(table.count <= kTableSlots, "table holds more than 128", table.count);
    for (std::size_t i = 0; i < table.count; ++i)
        check(isRespondPacket(table.slots[i].bytes.data(), kRecordSize),
              "a listed record is no answer", static_cast<long long>(i));

    const std::size_t firstPass = std::min<std::size_t>(pass1Answers(endpoint), table.count);
    for (std::size_t i = firstPass; i < table.count; ++i) {
        for (std::size_t j = 0; j < i; ++j)
            check(macAddress(table.slots[i]) != macAddress(table.slots[j]),
                  "a camera merged in twice", static_cast<long long>(i));
    }

    // Stopped by an error, the table keeps what pass 1 had stored by then; otherwise it is all
    // three passes merged.
    std::vector<CameraRecord> expected = expectedTable(endpoint);
    if (endpoint.threw)
        expected.resize(std::min(expected.size(), pass1Answers(endpoint)));
    check(table.count == expected.size(), "table count wrong", table.count);
    for (std::size_t i = 0; i < expected.size(); ++i)
        check(table.slots[i].bytes == expected[i].bytes, "table slot holds another answer",
              static_cast<long long>(i));

    const std::size_t wantSends = pass1Answers(endpoint) >= kTableSlots ? 1 : 3;
    check(endpoint.threw || endpoint.sends.size() == wantSends, "wrong number of searches",
          static_cast<long long>(endpoint.sends.size()));
    checkSendsAndTiming(endpoint, listenSeconds);
    return 0;
}
