// The poller: cadence, enable rules, SDP draining, hand-over to the GUI
// thread (this test's main thread), and stopping it in every state.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/GuiCall.h"
#include "platform/MessageBox.h"
#include "sinkmonitor/transport/SinkLink.h"
#include "sinkmonitor/transport/dpscheduler.h"

namespace {

using ms = std::chrono::milliseconds;
using steady = std::chrono::steady_clock;
using sim::SinkFault;
using sim::SinkFaultPlan;

// Serves hand-overs on this (the GUI) thread until pred() or timeoutMs.
bool ServeUntil(const std::function<bool()>& pred, int timeoutMs = 10000) {
    return platform::ServeGuiCallsUntil(pred, timeoutMs);
}

class SinkPoller : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(link.Connect()); }
    void TearDown() override { poller.reset(); }
    void Create() { poller = std::make_unique<dpscheduler_t>(&link.protocol); }

    SinkLink link;
    std::unique_ptr<dpscheduler_t> poller;
};

TEST_F(SinkPoller, WithEverythingOffNoCommandIsSent) {
    Create();
    std::atomic<int> calls{0};
    poller->set_on_hdcp([&](dpscheduler_t&) { ++calls; });
    poller->set_on_msa([&](dpscheduler_t&) { ++calls; });
    ASSERT_TRUE(ServeUntil([&] { return poller->cycles() >= 3; }));  // two whole cycles went by
    EXPECT_EQ(link.sim.CommandCount(), 0u);
    EXPECT_EQ(calls.load(), 0);
}

TEST_F(SinkPoller, HdcpIsQueriedEveryCycleAndHandedOverOnTheGuiThread) {
    Create();
    std::vector<hdcpstatus_t> seen;
    std::vector<steady::time_point> at;
    bool onGui = true;
    poller->set_on_hdcp([&](dpscheduler_t& p) {
        onGui = onGui && platform::IsGuiThread();
        seen.push_back(p.get_hdcp());
        at.push_back(steady::now());
    });
    poller->set_hdcp_polling(true);
    ASSERT_TRUE(ServeUntil([&] { return seen.size() >= 3; }));
    EXPECT_TRUE(onGui);
    for (const auto& s : seen) EXPECT_EQ(s, (hdcpstatus_t{1, 0}));
    // Each cycle begins with its 500 ms sleep.
    for (size_t i = 1; i < at.size(); ++i) EXPECT_GE(at[i] - at[i - 1], ms(450));
    EXPECT_EQ(link.sim.CommandCount(0x27), 0u);  // MSA is off
    EXPECT_EQ(link.sim.CommandCount(0x2E), 0u);
}

TEST_F(SinkPoller, ASilentInstrumentGivesAllZeroHdcpAndNoMessages) {
    SinkFaultPlan silence = SinkFaultPlan::Of(SinkFault::Silence, 0x22);
    silence.times = 100;
    link.sim.InjectFault(silence);
    const auto t0 = steady::now();  // before the first cycle's sleep begins
    Create();
    std::vector<hdcpstatus_t> seen;
    poller->set_on_hdcp([&](dpscheduler_t& p) { seen.push_back(p.get_hdcp()); });
    poller->set_hdcp_polling(true);
    ASSERT_TRUE(ServeUntil([&] { return !seen.empty(); }));
    EXPECT_GE(steady::now() - t0, ms(2500));  // 500 ms sleep plus the 2000 ms time-out
    EXPECT_EQ(seen[0], (hdcpstatus_t{0, 0}));
    EXPECT_GE(link.sim.CommandCount(0x22), 1u);  // it did ask
    EXPECT_TRUE(link.Messages().empty());        // the poller's queries are quiet
}

TEST_F(SinkPoller, SwitchingOffClearsAndHandsOverAtOnce) {
    Create();
    int msaCalls = 0, hdcpCalls = 0;
    msarecord_t lastMsa{};
    poller->set_on_msa([&](dpscheduler_t& p) {
        ++msaCalls;
        lastMsa = p.get_msa();
    });
    poller->set_on_hdcp([&](dpscheduler_t&) { ++hdcpCalls; });
    poller->set_msa_polling(true);
    ASSERT_TRUE(ServeUntil([&] { return msaCalls > 0; }));
    EXPECT_EQ(lastMsa[0], 0x01);  // video valid
    const int before = msaCalls;
    poller->set_msa_polling(false);  // on this thread, before returning
    EXPECT_EQ(msaCalls, before + 1);
    EXPECT_EQ(lastMsa, msarecord_t{});
    poller->set_hdcp_polling(false);
    EXPECT_EQ(hdcpCalls, 1);
    EXPECT_EQ(poller->get_hdcp(), hdcpstatus_t{});
}

TEST_F(SinkPoller, TwelveWaitingPacketsAreDrainedTenPerCycle) {
    for (uint8_t i = 0; i < 12; ++i) link.sim.QueueSdp(0x83, i, 1, {i});
    Create();
    std::vector<sdprecord_t> seen;
    poller->set_on_sdp([&](dpscheduler_t& p) { seen.push_back(p.get_sdp()); });
    poller->set_sdp_polling(true);
    ASSERT_EQ(seen.size(), 1u);  // at once, with the record as it stands
    EXPECT_EQ(seen[0][0], 0);
    ASSERT_TRUE(ServeUntil([&] { return seen.size() >= 14; }));
    // Two further cycles find nothing and hand nothing over: the fifteenth
    // query goes out once they are over.
    ASSERT_TRUE(ServeUntil([&] { return link.sim.CommandCount(0x2E) >= 15; }));
    ASSERT_EQ(seen.size(), 14u);
    for (size_t i = 1; i <= 10; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i][0], 2);  // more waiting
        EXPECT_EQ(seen[i][2], i - 1);
    }
    EXPECT_EQ(seen[11][0], 0);  // the cap: the tenth record once more, status 0
    EXPECT_EQ(seen[11][2], 9);
    EXPECT_EQ(seen[12][0], 2);
    EXPECT_EQ(seen[12][2], 10);
    EXPECT_EQ(seen[13][0], 1);
    EXPECT_EQ(seen[13][2], 11);
    // Switching off hands over the last record again, not cleared.
    poller->set_sdp_polling(false);
    ASSERT_EQ(seen.size(), 15u);
    EXPECT_EQ(seen[14], poller->get_sdp());
    EXPECT_EQ(seen[14][0], 0);  // the last query found no packet
}

TEST_F(SinkPoller, ClosuresMayRunCommandsDuringTheHandOver) {
    Create();
    int ran = 0;
    uint8_t dpcd = 0;
    bool ok = false;
    poller->set_on_msa([&](dpscheduler_t&) {
        ok = link.protocol.dpcd_read(0x0000, dpcd);
        ++ran;
    });
    poller->set_msa_polling(true);
    ASSERT_TRUE(ServeUntil([&] { return ran >= 2; }));
    EXPECT_TRUE(ok);
    EXPECT_EQ(dpcd, 0x12);
}

TEST_F(SinkPoller, AGuiCommandStartsOnlyAfterThePollersQueryHasEnded) {
    link.sim.InjectFault(SinkFaultPlan::Held(0x2E));
    link.sim.QueueSdp(0x83, 1, 1, {9});
    Create();
    std::vector<sdprecord_t> seen;
    poller->set_on_sdp([&](dpscheduler_t& p) { seen.push_back(p.get_sdp()); });
    poller->set_sdp_polling(true);
    ASSERT_TRUE(SinkLink::WaitFor([&] { return link.sim.ReplyHeld(); }));
    // The query's reply is released while this (the GUI) thread waits for
    // the command lock, or before it asks for it: either way the lock keeps
    // the GUI command off the wire until the query has ended.
    std::thread releaser([&] {
        SinkLink::WaitFor([&] { return link.sim.CommandCount(0x1A) > 0; }, 200);
        link.sim.ReleaseHeld();
    });
    uint8_t v = 0;
    EXPECT_TRUE(link.protocol.dpcd_read(0x0000, v));
    releaser.join();
    EXPECT_EQ(v, 0x12);
    ASSERT_TRUE(ServeUntil([&] { return seen.size() >= 2; }));
    EXPECT_EQ(seen[1][1], 0x83);  // the SDP answer went to the query, not the GUI command
    EXPECT_EQ(link.WireOrder(0, 4), (std::vector<std::string>{"> 2E", "< 2E", "> 1A", "< 1A"}));
}

TEST_F(SinkPoller, TheNextQueryGoesOutWhileALateReplyToAQueryIsHeldAndDropsIt) {
    link.sim.InjectFault(SinkFaultPlan::Held(0x22));
    Create();
    std::vector<hdcpstatus_t> hdcp;
    std::vector<msarecord_t> msa;
    poller->set_on_hdcp([&](dpscheduler_t& p) { hdcp.push_back(p.get_hdcp()); });
    poller->set_on_msa([&](dpscheduler_t& p) { msa.push_back(p.get_msa()); });
    poller->set_hdcp_polling(true);
    poller->set_msa_polling(true);
    // The HDCP query times out; the MSA query reaches the sink while the
    // HDCP reply is still held.
    ASSERT_TRUE(ServeUntil([&] { return !hdcp.empty() && link.sim.CommandCount(0x27) == 1; }));
    EXPECT_TRUE(link.sim.ReplyHeld());
    EXPECT_EQ(hdcp[0], hdcpstatus_t{});
    link.sim.ReleaseHeld();
    ASSERT_TRUE(ServeUntil([&] { return !msa.empty(); }));
    EXPECT_EQ(msa[0][0], 0x01);  // the sink's own record: video valid
    EXPECT_EQ(msa[0][8], 0x07);  // 1920 active pixels, high byte
    EXPECT_EQ(link.WireOrder(0, 4), (std::vector<std::string>{"> 22", "> 27", "< 22", "< 27"}));
}

// The sink never answers the HDCP query: the poller asks again each cycle,
// each time after the one query that resynchronises the line, and hands
// over an all-zero status.
TEST_F(SinkPoller, AnUnansweredHdcpQueryIsSentAgainAfterAResync) {
    SinkFaultPlan silent = SinkFaultPlan::Of(SinkFault::Silence, 0x22);
    silent.times = 1000;
    link.sim.InjectFault(silent);
    Create();
    std::vector<hdcpstatus_t> hdcp;
    poller->set_on_hdcp([&](dpscheduler_t& p) { hdcp.push_back(p.get_hdcp()); });
    poller->set_hdcp_polling(true);
    ASSERT_TRUE(ServeUntil([&] { return link.sim.CommandCount(0x22) >= 3; }, 60000));
    poller.reset();
    EXPECT_GE(hdcp.size(), 2u);
    for (const auto& h : hdcp) EXPECT_EQ(h, hdcpstatus_t{});
    EXPECT_EQ(link.WireOrder(0, 7), (std::vector<std::string>{"> 22", "> 28", "< 28", "> 22", "> 28", "< 28", "> 22"}));
}

TEST_F(SinkPoller, ALateReplyToAGuiCommandIsDroppedByTheNextQuery) {
    Create();
    std::vector<msarecord_t> msa;
    poller->set_on_msa([&](dpscheduler_t& p) { msa.push_back(p.get_msa()); });
    poller->set_msa_polling(true);
    ASSERT_TRUE(ServeUntil([&] { return !msa.empty(); }));
    link.sim.InjectFault(SinkFaultPlan::Held(0x1A));
    const size_t wireFrom = link.sim.Wire().size();
    uint8_t v = 0xA5;
    EXPECT_FALSE(link.protocol.dpcd_read(0x0001, v));  // times out; the poller waits for the lock meanwhile
    const size_t queries = link.sim.CommandCount(0x27);
    // The poller's next query reaches the sink while the late reply is held
    // (a hand-over it had pending is served here).
    ASSERT_TRUE(ServeUntil([&] { return link.sim.CommandCount(0x27) > queries; }));
    EXPECT_TRUE(link.sim.ReplyHeld());
    const size_t before = msa.size();
    link.sim.ReleaseHeld();
    ASSERT_TRUE(ServeUntil([&] { return msa.size() > before; }));
    EXPECT_EQ(msa[before][0], 0x01);
    EXPECT_EQ(msa[before][8], 0x07);
    auto wire = link.WireOrder(wireFrom);
    const auto at = std::find(wire.begin(), wire.end(), std::string("< 1A"));
    ASSERT_NE(at, wire.end());
    EXPECT_EQ(std::vector<std::string>(at - 1, std::min(at + 2, wire.end())),
              (std::vector<std::string>{"> 27", "< 1A", "< 27"}));
}

TEST_F(SinkPoller, AFailedSdpQueryOnALostPortIsHandedOverAsTheLoss) {
    Create();
    int sdp = 0, lost = 0;
    bool lostSeenBroken = false;
    poller->set_on_sdp([&](dpscheduler_t&) { ++sdp; });
    poller->set_on_port_lost([&](dpscheduler_t&) {
        ++lost;
        lostSeenBroken = link.protocol.port_lost();
    });
    link.sim.QueueSdp(0x82, 1, 2, {0x10, 0x20});
    poller->set_sdp_polling(true);  // hands the record over at once
    ASSERT_TRUE(ServeUntil([&] { return sdp >= 2; }));
    // A query that fails on a line that is still there ends the draining
    // quietly, and says nothing of a loss.
    link.sim.InjectFault(SinkFaultPlan::Of(SinkFault::Silence, 0x2E));
    const size_t queries = link.sim.CommandCount(0x2E);
    ASSERT_TRUE(ServeUntil([&] { return link.sim.CommandCount(0x2E) > queries + 1; }, 30000));
    EXPECT_EQ(lost, 0);
    const int sdpBefore = sdp;
    link.sim.InjectFault(SinkFaultPlan::Of(SinkFault::CloseLine, 0x2E));
    ASSERT_TRUE(ServeUntil([&] { return lost > 0; }, 30000));
    EXPECT_TRUE(lostSeenBroken);
    EXPECT_EQ(sdp, sdpBefore);  // no record of a failed query
}

TEST_F(SinkPoller, StopsWhileItsNextQueryWaitsBehindALateReply) {
    link.sim.InjectFault(SinkFaultPlan::Held(0x22));
    Create();
    int hdcp = 0;
    poller->set_on_hdcp([&](dpscheduler_t&) { ++hdcp; });
    poller->set_hdcp_polling(true);
    poller->set_msa_polling(true);
    ASSERT_TRUE(ServeUntil([&] { return hdcp > 0 && link.sim.CommandCount(0x27) == 1; }));
    poller.reset();  // once the MSA query has timed out
    // Both replies are owed: the next command drops them when they come.
    std::thread releaser([&] {
        SinkLink::WaitFor([&] { return link.sim.CommandCount(0x1A) == 1; });
        link.sim.ReleaseHeld();
    });
    uint8_t v = 0;
    EXPECT_TRUE(link.protocol.dpcd_read(0x0001, v));
    releaser.join();
    EXPECT_EQ(v, 0x14);
    EXPECT_EQ(link.WireOrder(), (std::vector<std::string>{"> 22", "> 27", "> 1A", "< 22", "< 27", "< 1A"}));
}

TEST(SinkPollerWithoutPort, TheMissingPortBoxIsShownOnTheGuiThread) {
    std::atomic<bool> boxOnGui{false};
    auto previous = platform::SetMessageBoxHandler([&](const platform::MessageBoxRequest&) {
        boxOnGui = platform::IsGuiThread();
        return platform::MsgResult::Ok;
    });
    dpprotocol_t unconnected;
    std::vector<hdcpstatus_t> seen;
    {
        dpscheduler_t poller(&unconnected);
        poller.set_on_hdcp([&](dpscheduler_t& p) { seen.push_back(p.get_hdcp()); });
        poller.set_hdcp_polling(true);
        ASSERT_TRUE(ServeUntil([&] { return !seen.empty(); }));
    }
    platform::SetMessageBoxHandler(previous);
    EXPECT_TRUE(boxOnGui.load());
    EXPECT_EQ(seen[0], hdcpstatus_t{});
}

TEST_F(SinkPoller, StopsWhileAHandOverWaitsForTheGuiThread) {
    Create();
    std::atomic<int> calls{0};
    poller->set_on_hdcp([&](dpscheduler_t&) { ++calls; });
    poller->set_hdcp_polling(true);
    // Not serving: once its query is answered the poller is stuck in its hand-over.
    ASSERT_TRUE(WaitUntil([&] { return link.sim.CommandCount(0x22) >= 1; }, 15000));
    ASSERT_TRUE(WaitUntil([] { return platform::GuiCallsAndPostsWaiting() > 0; }, 15000));
    EXPECT_EQ(calls.load(), 0);
    poller.reset();  // serves it while waiting for the end
    EXPECT_LE(calls.load(), 1);
}

TEST_F(SinkPoller, StopsWhileTheGuiThreadHoldsTheCommandLock) {
    Create();
    poller->set_hdcp_polling(true);
    poller->set_msa_polling(true);
    {
        mutexrequest_t held(link.protocol.command_lock());
        // Its first cycle has begun: the poller now waits for the lock.
        ASSERT_TRUE(WaitUntil([&] { return poller->cycles() >= 1; }, 15000));
        poller.reset();
    }
    EXPECT_EQ(link.sim.CommandCount(), 0u);
}

// Each state is reached by waiting for what shows it, then the poller is
// destroyed (on this, the GUI thread).
TEST_F(SinkPoller, StopsInEveryStateOfItsCycle) {
    size_t sdpHandOvers = 0;
    size_t hdcp0 = 0, msa0 = 0, sdp0 = 0;  // the commands before the case
    auto sent = [&](uint8_t code, size_t before) { return link.sim.CommandCount(code) > before; };
    struct Case {
        const char* name;
        std::function<void()> prepare;
        std::function<bool()> reach;  // waits for what shows the state
    } cases[] = {
        {"in its first sleep", [] {}, [] { return true; }},
        {"in its HDCP query", [] {}, [&] { return WaitUntil([&] { return sent(0x22, hdcp0); }, 15000); }},
        {"blocked in its HDCP hand-over (not served)", [] {},
         [] { return WaitUntil([] { return platform::GuiCallsAndPostsWaiting() > 0; }, 15000); }},
        {"waiting for a late MSA answer", [&] { link.sim.InjectFault(SinkFaultPlan::Late(0x27, 700)); },
         [&] { return ServeUntil([&] { return sent(0x27, msa0); }); }},
        {"draining captured packets", [] {}, [&] { return ServeUntil([&] { return sent(0x2E, sdp0); }); }},
        {"sleeping after a whole cycle (ten packets and the cap handed over)", [] {},
         [&] { return ServeUntil([&] { return sdpHandOvers >= 11; }); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (uint8_t i = 0; i < 12; ++i) link.sim.QueueSdp(0x84, i, 1, {});
        c.prepare();
        hdcp0 = link.sim.CommandCount(0x22);
        msa0 = link.sim.CommandCount(0x27);
        sdp0 = link.sim.CommandCount(0x2E);
        Create();
        poller->set_on_hdcp([](dpscheduler_t&) {});
        poller->set_on_sdp([&](dpscheduler_t&) { ++sdpHandOvers; });
        poller->set_hdcp_polling(true);
        poller->set_msa_polling(true);
        poller->set_sdp_polling(true);
        sdpHandOvers = 0;  // the hand-over that switching on makes at once
        EXPECT_TRUE(c.reach());
        poller.reset();
        link.sim.ClearFaults();
    }
    // The link still works afterwards.
    uint8_t v = 0;
    EXPECT_TRUE(link.protocol.dpcd_read(0x0001, v));
    EXPECT_EQ(v, 0x14);
}

TEST_F(SinkPoller, UnpluggedLineEndsInAllZeroResultsAndAPromptStop) {
    Create();
    std::vector<msarecord_t> seen;
    poller->set_on_msa([&](dpscheduler_t& p) { seen.push_back(p.get_msa()); });
    poller->set_msa_polling(true);
    ASSERT_TRUE(ServeUntil([&] { return !seen.empty(); }));
    link.sim.HangUp();
    ASSERT_TRUE(ServeUntil([&] { return link.protocol.port_lost(); }));
    const size_t before = seen.size();
    ASSERT_TRUE(ServeUntil([&] { return seen.size() > before + 1; }));
    EXPECT_EQ(seen.back(), msarecord_t{});
    poller.reset();
    EXPECT_TRUE(link.protocol.close());
    EXPECT_TRUE(link.port->close());
}

}  // namespace
