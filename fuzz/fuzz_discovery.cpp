// Discovery, the window's and the command line's, against cameras whose answers, and when they
// come, are the fuzzer's.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/scripted_endpoint.h"
#include "net/exceptions.h"
#include "protocol/discovery.h"
#include "protocol/packets.h"

using namespace protocol;
using fuzz::Bytes;
using fuzz::check;
using fuzz::ScriptedEndpoint;

namespace {

constexpr char kTag[] = "MORVAK INFO RESPOND";

// Bounds on one input's scenario, so that every input runs in well under a millisecond: room for
// a first pass full to its 128 slots and collections of later passes overflowing theirs, and for
// a few datagrams that receiving passes over (each costs an exception).
constexpr std::size_t kMostArrivals = 512;
constexpr std::size_t kMostPoolBytes = 64 * 1024;
constexpr std::size_t kMostPassedOver = 8;

// A socket error other than the two that receiving passes over: it ends the search.
constexpr std::int32_t kConnectionReset = 10054;

using Mac = std::array<std::uint8_t, 6>;

// Arrivals read from the input. Answers are mostly made whole so that the fuzzer spends its time
// on timing, duplicates and the table's limits rather than on finding the tag.
class Script {
public:
    explicit Script(ScriptedEndpoint& endpoint) : endpoint_(endpoint) {}

    void play(fuzz::InputReader& in)
    {
        while (in.left() > 0 && endpoint_.arrivalCount() < kMostArrivals) {
            const std::uint8_t head = in.byte();
            const std::uint32_t delay = in.u16() % 1800;
            switch (head & 3) {
            case 0: { // an answer from one of eight cameras
                const auto id = static_cast<std::uint8_t>(head >> 2 & 7);
                answer(delay, {0, 0x11, 0x22, 0x33, 0x44, id}, in.bytes(in.byte()));
                break;
            }
            case 1: { // any bytes at all, longer than the receive buffer now and then, or an error
                if (head >> 2 == 63) {
                    endpoint_.addError(delay, kConnectionReset);
                    break;
                }
                const Bytes bytes = in.bytes(in.u16() % 1200);
                if (room(bytes.size()))
                    endpoint_.add(delay, bytes);
                break;
            }
            case 2: { // a crowd answering at once, enough to fill the table
                const std::size_t crowd = in.byte();
                const std::uint8_t base = in.byte();
                const Bytes tail = in.bytes(in.byte() % 8);
                for (std::size_t i = 0; i < crowd; ++i) {
                    const Mac mac{2,
                                  0,
                                  0,
                                  0,
                                  static_cast<std::uint8_t>(i >> 8),
                                  static_cast<std::uint8_t>(base + i)};
                    answer(i == 0 ? delay : 0, mac, tail);
                }
                break;
            }
            default: { // an answer with a MAC of the fuzzer's, possibly longer than a slot
                const Bytes macBytes = in.bytes(6);
                Mac mac{};
                std::copy(macBytes.begin(), macBytes.end(), mac.begin());
                answer(delay, mac, in.bytes(in.u16() % 1100));
                break;
            }
            }
        }
    }

private:
    bool room(std::size_t length)
    {
        if (endpoint_.arrivalCount() >= kMostArrivals ||
            endpoint_.poolSize() + length > kMostPoolBytes)
            return false;
        if (length == 0 || length > std::size_t{kDiscoveryReceiveBufferSize})
            return passedOver_++ < kMostPassedOver;
        return true;
    }

    void answer(std::uint32_t delay, const Mac& mac, const Bytes& tail)
    {
        if (!room(26 + tail.size()))
            return;
        std::uint8_t* at = endpoint_.add(delay, 26 + tail.size());
        std::memcpy(at, kTag, 19);
        std::copy(mac.begin(), mac.end(), at + 20);
        std::copy(tail.begin(), tail.end(), at + 26);
    }

    ScriptedEndpoint& endpoint_;
    std::size_t passedOver_ = 0;
};

// The MAC of a datagram as storing it makes it: bytes past the datagram's end read as zero.
std::uint64_t macKey(const std::uint8_t* data, std::size_t length)
{
    std::uint64_t key = 0;
    for (std::size_t i = 20; i < 26; ++i)
        key = key << 8 | (i < length ? data[i] : 0);
    return key;
}

std::uint64_t macKey(const CameraRecord& record)
{
    return macKey(record.bytes.data(), kRecordSize);
}

// A listed answer: what pass it answered, and which delivery it was.
struct Heard {
    std::size_t pass;
    std::size_t delivery;
};

// The answers the passes heard, in order: those read before the first search, or passed over,
// answer none.
void answersHeard(const ScriptedEndpoint& endpoint, std::vector<Heard>& heard)
{
    heard.clear();
    for (std::size_t i = 0; i < endpoint.deliveries.size(); ++i) {
        const auto& d = endpoint.deliveries[i];
        if (!d.queued && !d.raised && isRespondPacket(endpoint.bytesOf(d), endpoint.lengthOf(d)))
            heard.push_back({d.sendsBefore, i});
    }
}

// What the table must hold, as deliveries: pass 1 as it came, up to 128; then of the first 128
// answers of pass 2, then of pass 3, those whose MAC the table does not hold yet.
void expectedTable(const ScriptedEndpoint& endpoint, const std::vector<Heard>& heard,
                   std::vector<std::size_t>& table)
{
    table.clear();
    std::array<std::uint64_t, kTableSlots> keys{};
    std::array<std::size_t, 4> heardInPass{};
    for (const Heard& h : heard) {
        if (heardInPass[h.pass]++ >= kTableSlots || table.size() >= kTableSlots)
            continue;
        const auto& d = endpoint.deliveries[h.delivery];
        const std::uint64_t key = macKey(endpoint.bytesOf(d), endpoint.lengthOf(d));
        if (h.pass > 1 && std::find(keys.begin(), keys.begin() + table.size(), key) !=
                              keys.begin() + table.size())
            continue;
        keys[table.size()] = key;
        table.push_back(h.delivery);
    }
}

std::size_t pass1Answers(const std::vector<Heard>& heard)
{
    const auto n = static_cast<std::size_t>(
        std::count_if(heard.begin(), heard.end(), [](const Heard& h) { return h.pass == 1; }));
    return std::min(n, kTableSlots);
}

// The record holds the datagram's first 528 bytes and zeros after them. Compared in words rather
// than with memcmp, whose hook in the fuzzer costs more than the comparison.
bool holds(const CameraRecord& record, const std::uint8_t* data, std::size_t length)
{
    static_assert(kRecordSize % 8 == 0);
    const std::size_t stored = std::min(length, kRecordSize);
    std::uint64_t differ = 0;
    for (std::size_t i = 0; i < kRecordSize; i += 8) {
        std::uint64_t have = 0, want = 0;
        std::memcpy(&have, record.bytes.data() + i, 8);
        if (i + 8 <= stored)
            std::memcpy(&want, data + i, 8);
        else if (i < stored)
            std::memcpy(&want, data + i, stored - i);
        differ |= have ^ want;
    }
    return differ == 0;
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

// The window's search: a table of at most 128, pass 1 as it came, later passes merged by MAC.
void checkTable(const ScriptedEndpoint& endpoint, const CameraTable& table,
                const std::vector<Heard>& heard)
{
    check(table.count <= kTableSlots, "table holds more than 128", table.count);
    for (std::size_t i = 0; i < table.count; ++i)
        check(isRespondPacket(table.slots[i].bytes.data(), kRecordSize),
              "a listed record is no answer", static_cast<long long>(i));

    // No camera merged in from passes 2 and 3 is in the table twice.
    const std::size_t firstPass = std::min<std::size_t>(pass1Answers(heard), table.count);
    std::array<std::uint64_t, kTableSlots> keys{};
    for (std::size_t i = 0; i < table.count; ++i)
        keys[i] = macKey(table.slots[i]);
    const auto merged = keys.begin() + static_cast<std::ptrdiff_t>(firstPass);
    const auto end = keys.begin() + table.count;
    std::sort(keys.begin(), merged);
    std::sort(merged, end);
    check(std::adjacent_find(merged, end) == end, "a camera merged in twice");
    for (auto it = merged; it != end; ++it)
        check(!std::binary_search(keys.begin(), merged, *it), "a camera merged in again");

    // Stopped by an error, the table keeps what pass 1 had stored by then; otherwise it is all
    // three passes merged.
    static std::vector<std::size_t> expected;
    expectedTable(endpoint, heard, expected);
    if (endpoint.threw)
        expected.resize(std::min(expected.size(), pass1Answers(heard)));
    check(table.count == expected.size(), "table count wrong", table.count);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& d = endpoint.deliveries[expected[i]];
        check(holds(table.slots[i], endpoint.bytesOf(d), endpoint.lengthOf(d)),
              "table slot holds another answer", static_cast<long long>(i));
    }

    const std::size_t wantSends = pass1Answers(heard) >= kTableSlots ? 1 : 3;
    check(endpoint.threw || endpoint.sends.size() == wantSends, "wrong number of searches",
          static_cast<long long>(endpoint.sends.size()));
}

// The command line's search: every camera heard, once, with its first answer, in that order, up to
// the most it lists; whether more were heard is said.
void checkAllCameras(const ScriptedEndpoint& endpoint, const AllCameras& all,
                     const std::vector<Heard>& heard, std::size_t most)
{
    const std::vector<CameraRecord>& cameras = all.cameras;
    check(endpoint.sends.size() == 3, "not three searches",
          static_cast<long long>(endpoint.sends.size()));
    static std::vector<std::uint64_t> keys;
    keys.clear();
    std::size_t listed = 0;
    for (const Heard& h : heard) {
        const auto& d = endpoint.deliveries[h.delivery];
        const std::uint64_t key = macKey(endpoint.bytesOf(d), endpoint.lengthOf(d));
        const auto at = std::lower_bound(keys.begin(), keys.end(), key);
        if (at != keys.end() && *at == key)
            continue;
        keys.insert(at, key);
        if (listed == most) {
            check(all.moreAnswered, "more cameras heard than listed, and not said");
            return;
        }
        check(listed < cameras.size(), "a camera heard is missing", static_cast<long long>(listed));
        check(holds(cameras[listed], endpoint.bytesOf(d), endpoint.lengthOf(d)),
              "a camera listed with another answer", static_cast<long long>(listed));
        ++listed;
    }
    check(listed == cameras.size(), "more cameras listed than heard",
          static_cast<long long>(cameras.size()));
    check(!all.moreAnswered, "more cameras said to be heard than were");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::InputReader in(data, size);
    static ScriptedEndpoint endpoint;
    endpoint.reset(in.u32());
    // Bits 0-1: the listen seconds (0 to 2); bits 2-6: how many of the arrivals are queued on the
    // socket before the Find starts (a late answer to the last one, anyone's datagrams); bit 7:
    // the command line's search for every camera instead of the window's.
    const std::uint8_t setup = in.byte();
    const std::uint32_t listenSeconds = (setup & 3u) % 3;
    endpoint.queued = setup >> 2 & 31;
    const bool allCameras = setup & 0x80;
    // For that search, the most it lists: one byte's worth, so that the bound is reached, or 0
    // for the program's own.
    std::size_t most = kMostCameras;
    if (allCameras) {
        if (const std::uint8_t byte = in.byte())
            most = byte;
    }
    Script(endpoint).play(in);

    static CameraTable table;
    table.count = 0;
    AllCameras all;
    bool caught = false;
    try {
        if (allCameras)
            all = discoverAllCameras(endpoint, listenSeconds, endpoint.ticks(), most);
        else
            discoverCameras(endpoint, table, listenSeconds, endpoint.ticks());
    } catch (const net::EIdSocketError& error) {
        check(error.ErrorCode == kConnectionReset, "a datagram passed over ended the search",
              error.ErrorCode);
        caught = true;
    }
    check(caught == endpoint.threw, "an endpoint error swallowed or made up");

    // What is queued is read off before the first search goes out (a Find that searched first
    // would read it after), and never listed: the checks below leave it out of what must be
    // listed.
    for (const auto& d : endpoint.deliveries)
        check(!d.queued || d.sendsBefore == 0, "a datagram queued before the Find read after it",
              static_cast<long long>(d.sendsBefore));

    static std::vector<Heard> heard;
    answersHeard(endpoint, heard);
    if (!allCameras)
        checkTable(endpoint, table, heard);
    else if (!endpoint.threw)
        checkAllCameras(endpoint, all, heard, most);
    checkSendsAndTiming(endpoint, listenSeconds);
    return 0;
}
