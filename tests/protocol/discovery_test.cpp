#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "net/exceptions.h"
#include "protocol/discovery.h"
#include "protocol/settings_write.h"
#include "scripted_endpoint.h"

using namespace protocol;

namespace {

// A camera's answer: its MAC ends in `id`, its description is `description`, and `marker`
// (byte 31, never interpreted) tells apart several answers of one camera.
Bytes answer(std::uint16_t id, const std::string& description, std::uint8_t marker = 0)
{
    Bytes bytes(523, 0);
    std::memcpy(bytes.data(), "MORVAK INFO RESPOND", 19);
    const std::uint8_t mac[] = {0x00,
                                0x0e,
                                0x53,
                                0x00,
                                static_cast<std::uint8_t>(1 + (id >> 8)),
                                static_cast<std::uint8_t>(id)};
    std::memcpy(bytes.data() + 20, mac, 6);
    bytes[31] = marker;
    bytes[304] = static_cast<std::uint8_t>(description.size());
    std::memcpy(bytes.data() + 305, description.data(), description.size());
    return bytes;
}

std::vector<std::string> descriptions(const CameraTable& table)
{
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < table.count; ++i)
        texts.push_back(countedTextValue(table.slots[i], 304));
    return texts;
}

} // namespace

TEST(Discovery, EachPassSearchesOnPort15500EvenAfterAWrite)
{
    ScriptedEndpoint endpoint;
    CameraTable table;
    ParameterPacket packet;
    writeSettings(endpoint, packet, 1, endpoint.ticks());
    ASSERT_EQ(endpoint.sends.back().settings.port, 15600);

    discoverCameras(endpoint, table, 1, endpoint.ticks());

    ASSERT_EQ(endpoint.sends.size(), 4u);
    for (std::size_t i = 1; i < 4; ++i) {
        const auto& send = endpoint.sends[i];
        EXPECT_TRUE(send.settings.active);
        EXPECT_TRUE(send.settings.broadcast);
        EXPECT_EQ(send.settings.host, "255.255.255.255");
        EXPECT_EQ(send.settings.port, 15500);
        EXPECT_EQ(std::string(send.bytes.begin(), send.bytes.end()), "MORVAK INFO SEARCH");
    }
    for (const auto& receive : endpoint.receives) {
        if (receive.sendsBefore > 1) {
            EXPECT_EQ(receive.size, 1056);
            EXPECT_GE(receive.timeoutMs, 1);
            EXPECT_LE(receive.timeoutMs, 500);
        }
    }
    EXPECT_EQ(table.count, 0);
}

class DiscoveryClock : public ::testing::TestWithParam<std::uint32_t> {};

// Each pass listens one second after its send and no wait reaches past that, also when the tick
// counter wraps during a pass.
TEST_P(DiscoveryClock, PassesLastOneSecond)
{
    ScriptedEndpoint endpoint(GetParam());
    // 1.2 s after the first search is past pass 1's window: that answer counts for pass 2, after
    // the one that came 10 ms into pass 2.
    endpoint.schedule(1, 1200, answer(1, "late for pass 1"));
    endpoint.schedule(2, 10, answer(2, "early in pass 2"));
    CameraTable table;
    discoverCameras(endpoint, table, 1, endpoint.ticks());

    ASSERT_EQ(endpoint.sends.size(), 3u);
    std::int64_t ends[] = {endpoint.sends[1].at, endpoint.sends[2].at,
                           endpoint.receives.back().endedAt};
    for (std::size_t pass = 0; pass < 3; ++pass) {
        std::int64_t length = ends[pass] - endpoint.sends[pass].at;
        EXPECT_GE(length, 1000) << "pass " << pass + 1;
        EXPECT_LE(length, 1001) << "pass " << pass + 1;
    }
    EXPECT_EQ(descriptions(table),
              (std::vector<std::string>{"early in pass 2", "late for pass 1"}));
}

INSTANTIATE_TEST_SUITE_P(StartTicks, DiscoveryClock,
                         ::testing::Values(5000u, 0xFFFFFF00u, 0xFFFFFC00u));

TEST(Discovery, MergesLaterPassesByMacKeepingTheEarliestAnswer)
{
    ScriptedEndpoint endpoint;
    // Camera 1 answers every pass; camera 2 is silent in pass 1; camera 3 only in pass 3.
    endpoint.schedule(1, 100, answer(1, "every pass", 1));
    endpoint.schedule(2, 100, answer(1, "every pass", 2));
    endpoint.schedule(3, 100, answer(1, "every pass", 3));
    endpoint.schedule(2, 50, answer(2, "from pass 2", 2));
    endpoint.schedule(3, 50, answer(2, "from pass 3", 3));
    endpoint.schedule(3, 700, answer(3, "only pass 3", 3));
    endpoint.schedule(1, 300, answer(4, "second in pass 1", 1));

    CameraTable table;
    discoverCameras(endpoint, table, 1, endpoint.ticks());

    EXPECT_EQ(descriptions(table), (std::vector<std::string>{"every pass", "second in pass 1",
                                                             "from pass 2", "only pass 3"}));
    EXPECT_EQ(table.slots[0].bytes[31], 1);
    EXPECT_EQ(table.slots[2].bytes[31], 2);
}

TEST(Discovery, RepeatsCountOnlyWithinPassOne)
{
    ScriptedEndpoint endpoint;
    endpoint.schedule(1, 100, answer(1, "twice in pass 1"));
    endpoint.schedule(1, 200, answer(1, "twice in pass 1"));
    endpoint.schedule(2, 100, answer(2, "twice in pass 2"));
    endpoint.schedule(2, 200, answer(2, "twice in pass 2"));
    // Equal descriptions, different cameras.
    endpoint.schedule(2, 300, answer(3, "same name"));
    endpoint.schedule(2, 400, answer(4, "same name"));

    CameraTable table;
    discoverCameras(endpoint, table, 1, endpoint.ticks());

    EXPECT_EQ(descriptions(table),
              (std::vector<std::string>{"twice in pass 1", "twice in pass 1", "twice in pass 2",
                                        "same name", "same name"}));
}

TEST(Discovery, FullFirstPassEndsTheSearch)
{
    ScriptedEndpoint endpoint;
    for (int i = 0; i < 130; ++i)
        endpoint.schedule(1, i, answer(static_cast<std::uint8_t>(i), std::to_string(i)));
    CameraTable table;
    EXPECT_TRUE(discoverCameras(endpoint, table, 1, endpoint.ticks())) << "more answered";

    EXPECT_EQ(endpoint.sends.size(), 1u);
    ASSERT_EQ(table.count, 128);
    EXPECT_EQ(countedTextValue(table.slots[127], 304), "127");

    // A camera of the table answering again is no camera left out.
    ScriptedEndpoint again;
    for (int i = 0; i < 128; ++i)
        again.schedule(1, i, answer(static_cast<std::uint8_t>(i), std::to_string(i)));
    again.schedule(1, 200, answer(5, "5"));
    EXPECT_FALSE(discoverCameras(again, table, 1, again.ticks()));
    EXPECT_EQ(table.count, 128);
}

TEST(Discovery, MergesStopAtTheTableLimit)
{
    ScriptedEndpoint endpoint;
    for (int i = 0; i < 127; ++i)
        endpoint.schedule(1, i, answer(static_cast<std::uint8_t>(i), "first"));
    endpoint.schedule(2, 10, answer(0, "known"));
    endpoint.schedule(2, 20, answer(200, "new in pass 2"));
    endpoint.schedule(2, 30, answer(201, "also new"));
    endpoint.schedule(3, 10, answer(202, "new in pass 3"));
    CameraTable table;
    EXPECT_TRUE(discoverCameras(endpoint, table, 1, endpoint.ticks())) << "more answered";

    EXPECT_EQ(endpoint.sends.size(), 3u);
    ASSERT_EQ(table.count, 128);
    EXPECT_EQ(countedTextValue(table.slots[127], 304), "new in pass 2");
}

TEST(Discovery, PassCollectionsHoldAtMost128Answers)
{
    ScriptedEndpoint endpoint;
    // 128 repeats of a known camera fill pass 2's collection before the new one arrives.
    endpoint.schedule(1, 10, answer(1, "known"));
    for (int i = 0; i < 128; ++i)
        endpoint.schedule(2, i, answer(1, "known"));
    endpoint.schedule(2, 500, answer(2, "dropped in pass 2"));
    CameraTable table;
    discoverCameras(endpoint, table, 1, endpoint.ticks());

    EXPECT_EQ(descriptions(table), (std::vector<std::string>{"known"}));
}

TEST(Discovery, IgnoresDatagramsThatAreNoAnswers)
{
    ScriptedEndpoint endpoint;
    auto search = searchRequestBytes();
    endpoint.schedule(1, 1, Bytes(search.begin(), search.end()));
    Bytes cutShort = answer(1, "cut short");
    cutShort.resize(20);
    endpoint.schedule(1, 2, cutShort);
    endpoint.schedule(1, 3, Bytes(30, 0x55));
    endpoint.schedule(1, 4, answer(2, "real"));
    CameraTable table;
    discoverCameras(endpoint, table, 1, endpoint.ticks());

    EXPECT_EQ(descriptions(table), (std::vector<std::string>{"real"}));
}

TEST(Discovery, EndpointFailureEndsTheSearchAtOnce)
{
    {
        ScriptedEndpoint endpoint;
        endpoint.schedule(1, 100, answer(1, "one"));
        endpoint.schedule(1, 200, answer(2, "two"));
        endpoint.schedule(3, 100, answer(3, "three"));
        endpoint.failReceiveAfterSend(2);
        CameraTable table;
        EXPECT_THROW(discoverCameras(endpoint, table, 1, endpoint.ticks()), ScriptedFailure);
        EXPECT_EQ(endpoint.sends.size(), 2u);
        EXPECT_EQ(descriptions(table), (std::vector<std::string>{"one", "two"}));
    }
    {
        // The count is cleared only once the search is out: a failed send keeps the old table.
        ScriptedEndpoint endpoint;
        endpoint.failSend(1);
        CameraTable table;
        table.count = 5;
        EXPECT_THROW(discoverCameras(endpoint, table, 1, endpoint.ticks()), ScriptedFailure);
        EXPECT_EQ(table.count, 5);
    }
    {
        ScriptedEndpoint endpoint;
        endpoint.failReceiveAfterSend(1);
        CameraTable table;
        table.count = 5;
        EXPECT_THROW(discoverCameras(endpoint, table, 1, endpoint.ticks()), ScriptedFailure);
        EXPECT_EQ(table.count, 0);
    }
}

// An empty datagram or one too large for the buffer is no camera's answer: the search goes on
// and keeps every camera heard, before and after it.
TEST(Discovery, EmptyAndOversizedDatagramsArePassedOver)
{
    ScriptedEndpoint endpoint;
    Bytes oversized = answer(9, "cut to fit");
    oversized.resize(1057, 0x20);
    endpoint.schedule(1, 100, answer(1, "one"));
    endpoint.schedule(1, 200, Bytes{});
    endpoint.schedule(1, 300, oversized);
    endpoint.schedule(1, 400, answer(2, "two"));
    endpoint.schedule(2, 100, Bytes(2000, 0x55));
    endpoint.schedule(3, 100, Bytes{});
    endpoint.schedule(3, 200, answer(3, "three"));
    Bytes largest = answer(4, "largest");
    largest.resize(1056, 0x20);
    endpoint.schedule(3, 300, largest);
    CameraTable table;
    discoverCameras(endpoint, table, 1, endpoint.ticks());

    EXPECT_EQ(endpoint.sends.size(), 3u);
    EXPECT_EQ(descriptions(table), (std::vector<std::string>{"one", "two", "three", "largest"}));
}

TEST(Discovery, OtherReceiveErrorsStillEndTheSearch)
{
    ScriptedEndpoint endpoint;
    endpoint.schedule(1, 100, answer(1, "one"));
    endpoint.scheduleSocketError(2, 100, 10055);
    endpoint.schedule(2, 200, answer(2, "two"));
    CameraTable table;
    try {
        discoverCameras(endpoint, table, 1, endpoint.ticks());
        FAIL() << "no exception";
    } catch (const net::EIdSocketError& error) {
        EXPECT_EQ(error.ErrorCode, 10055);
    }
    EXPECT_EQ(endpoint.sends.size(), 2u);
    EXPECT_EQ(descriptions(table), (std::vector<std::string>{"one"}));
}

// What is queued on the socket when Find starts answers none of its searches: it is read off
// with time-out 0 before the first search goes out, and not listed.
TEST(Discovery, DatagramsQueuedBeforeTheFindAreNotListed)
{
    {
        SCOPED_TRACE("queued before the first search");
        ScriptedEndpoint endpoint;
        endpoint.schedule(0, 0, answer(1, "queued answer"));
        endpoint.schedule(0, 0, Bytes(30, 0xA5));
        endpoint.schedule(0, 0, Bytes{});
        endpoint.schedule(1, 100, answer(2, "heard now"));
        CameraTable table;
        discoverCameras(endpoint, table, 1, endpoint.ticks());

        EXPECT_EQ(descriptions(table), (std::vector<std::string>{"heard now"}));
        // Three datagrams read off, then a look that finds nothing; then the search.
        ASSERT_GE(endpoint.receives.size(), 5u);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(endpoint.receives[i].sendsBefore, 0u);
            EXPECT_EQ(endpoint.receives[i].timeoutMs, 0);
            EXPECT_EQ(endpoint.receives[i].size, kDiscoveryReceiveBufferSize);
        }
        EXPECT_EQ(endpoint.receives[3].length, 0);
        EXPECT_EQ(endpoint.receives[4].sendsBefore, 1u);
        EXPECT_EQ(endpoint.sends.size(), 3u);
        EXPECT_EQ(endpoint.sends[0].at, 0) << "dropping takes no time off pass 1";
    }
    {
        SCOPED_TRACE("an answer that came after the last Find's final pass had ended");
        ScriptedEndpoint endpoint;
        endpoint.schedule(1, 100, answer(1, "Front door"));
        endpoint.schedule(3, 1300, answer(2, "late for the last Find"));
        CameraTable first;
        discoverCameras(endpoint, first, 1, endpoint.ticks());
        EXPECT_EQ(descriptions(first), (std::vector<std::string>{"Front door"}));

        endpoint.idle(2000);
        endpoint.schedule(4, 100, answer(1, "Front door"));
        CameraTable second;
        discoverCameras(endpoint, second, 1, endpoint.ticks());
        EXPECT_EQ(descriptions(second), (std::vector<std::string>{"Front door"}));
        EXPECT_EQ(endpoint.sends.size(), 6u);
    }
    {
        SCOPED_TRACE("the same camera answering this Find is listed");
        ScriptedEndpoint endpoint;
        endpoint.schedule(0, 0, answer(1, "Front door", 1));
        endpoint.schedule(1, 100, answer(1, "Front door", 2));
        CameraTable table;
        discoverCameras(endpoint, table, 1, endpoint.ticks());
        ASSERT_EQ(descriptions(table), (std::vector<std::string>{"Front door"}));
        EXPECT_EQ(table.slots[0].bytes[31], 2) << "the answer to this Find's search";
    }
}

// A flood must not hold the search back: dropping stops after 4096 datagrams or about 100 ms,
// as before a Save, and the rest is read (and passed over) by pass 1.
TEST(Discovery, DroppingBeforeTheFindIsBounded)
{
    auto receivesBeforeSend = [](const ScriptedEndpoint& e) {
        return static_cast<std::size_t>(
            std::count_if(e.receives.begin(), e.receives.end(),
                          [](const ScriptedEndpoint::Receive& r) { return r.sendsBefore == 0; }));
    };
    {
        SCOPED_TRACE("by count");
        ScriptedEndpoint endpoint;
        for (int i = 0; i < 4100; ++i)
            endpoint.schedule(0, 0, Bytes{});
        endpoint.schedule(1, 50, answer(1, "heard"));
        CameraTable table;
        discoverCameras(endpoint, table, 1, endpoint.ticks());
        EXPECT_EQ(receivesBeforeSend(endpoint), 4096u);
        EXPECT_EQ(descriptions(table), (std::vector<std::string>{"heard"}));
    }
    {
        SCOPED_TRACE("by time");
        ScriptedEndpoint slow;
        for (int i = 0; i < 300; ++i)
            slow.schedule(0, 0, Bytes(30, 0xA5));
        slow.stepClockAtReceive(50, 101);
        CameraTable table;
        discoverCameras(slow, table, 1, slow.ticks());
        EXPECT_EQ(receivesBeforeSend(slow), 50u);
        EXPECT_EQ(slow.sends.size(), 3u);
    }
}

// The command line's search has no table to fill: 300 cameras are all listed, each once with
// its first answer, where the window's search stops at 128 after one pass.
TEST(DiscoverAllCameras, ListsEveryCameraOnceWithItsFirstAnswer)
{
    ScriptedEndpoint endpoint;
    auto script = [](ScriptedEndpoint& e) {
        e.schedule(0, 0, answer(999, "queued before the Find"));
        for (std::uint16_t id = 0; id < 250; ++id)
            e.schedule(1, 0, answer(id, std::to_string(id), 1));
        e.schedule(1, 10, answer(7, "7 again", 2));
        e.schedule(2, 0, answer(0, "0 again", 2));
        for (std::uint16_t id = 250; id < 280; ++id)
            e.schedule(2, 10, answer(id, std::to_string(id), 1));
        for (std::uint16_t id = 280; id < 300; ++id)
            e.schedule(3, 0, answer(id, std::to_string(id), 1));
        e.schedule(3, 10, answer(250, "250 again", 3));
    };
    script(endpoint);
    const AllCameras all = discoverAllCameras(endpoint, 1, endpoint.ticks());
    const std::vector<CameraRecord>& cameras = all.cameras;

    EXPECT_EQ(endpoint.sends.size(), 3u);
    ASSERT_EQ(cameras.size(), 300u);
    EXPECT_FALSE(all.moreAnswered);
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        EXPECT_EQ(countedTextValue(cameras[i], 304), std::to_string(i));
        EXPECT_EQ(cameras[i].bytes[31], 1) << "camera " << i;
    }

    // Against a flood of made-up cameras the list is bounded, and says when cameras past the
    // bound answered; a listed camera answering again is no such camera.
    for (const std::size_t most : {299u, 300u}) {
        ScriptedEndpoint bounded;
        script(bounded);
        const AllCameras first = discoverAllCameras(bounded, 1, bounded.ticks(), most);
        EXPECT_EQ(first.cameras.size(), most);
        EXPECT_EQ(first.moreAnswered, most < 300) << most;
        EXPECT_EQ(bounded.sends.size(), 3u);
    }

    ScriptedEndpoint window;
    script(window);
    CameraTable table;
    discoverCameras(window, table, 1, window.ticks());
    EXPECT_EQ(window.sends.size(), 1u);
    EXPECT_EQ(table.count, 128);
}
