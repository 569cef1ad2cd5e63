// The link's worker: one request at a time, completions that chain, the
// test-status refusals, the status poll, print packets, the line's faults,
// port reset, construction errors and destruction in every state.
#include <atomic>

#include "link_support.h"
#include "platform/Clock.h"
#include "support/WaitUntil.h"

namespace linktest {
namespace {

class LinkWorker : public LinkFixture {
protected:
    // The worker takes the line and the requests in order: once one more
    // request has completed, whatever came before it has been handled.
    void Barrier() {
        EXPECT_EQ(Run([&](auto d) { link->QueryFirmwareVersion(nullptr, d); }).results,
                  std::vector<LinkResult>{LINK_OK});
    }
};

TEST_F(LinkWorker, ARequestWhilePendingIsBusyAtOnceAndThePendingOneCompletes) {
    sim.AppendLog(Bytes(3, 0));
    sim.SetFault(0x12, {sim::Fault::Delay, 150, 1});
    uint16_t size = 0;
    std::vector<LinkResult> sizeResults, clearResults;
    link->QueryLogSize(&size, [&](LinkResult r) { sizeResults.push_back(r); });
    link->ClearLog([&](LinkResult r) { clearResults.push_back(r); });
    EXPECT_EQ(clearResults, std::vector<LinkResult>{LINK_BUSY});
    platform::ServeGuiCallsUntil([&] { return !sizeResults.empty(); }, kGenerousMs);
    Barrier();
    EXPECT_EQ(sizeResults, std::vector<LinkResult>{LINK_OK});
    EXPECT_EQ(size, 3);
    EXPECT_EQ(sim.CountReceived(0x14), 0u);
}

TEST_F(LinkWorker, ACompletionCanIssueTheNextRequestAtOnce) {
    uint8_t v[3] = {};
    uint8_t dpcd = 0;
    sim.SetDpcd(0x100, 0x0A);
    std::vector<LinkResult> results;
    link->QueryFirmwareVersion(v, [&](LinkResult r) {
        results.push_back(r);
        link->ReadDpcd(&dpcd, 0x100, [&](LinkResult r2) {
            results.push_back(r2);
            link->ClearLog([&](LinkResult r3) { results.push_back(r3); });
        });
    });
    platform::ServeGuiCallsUntil([&] { return results.size() == 3; }, kGenerousMs);
    EXPECT_EQ(results, (std::vector<LinkResult>{LINK_OK, LINK_OK, LINK_OK}));
    EXPECT_EQ(dpcd, 0x0A);
}

TEST_F(LinkWorker, TestStatusRefusalsAreWaitedOutWithoutResending) {
    struct Case {
        const char* name;
        std::vector<sim::ScriptStep> replies;
        LinkResult result;
        long minMs;
    } cases[] = {
        {"two refusals then the answer", {{{0x71, 0x0B}}, {{0x71, 0x0B}, 20}, {{0x71, 0x35, 7}, 20}}, LINK_OK, 1000},
        {"three refusals", {{{0x71, 0x0B}}, {{0x71, 0x0B}, 20}, {{0x71, 0x0B}, 20}}, LINK_RETRIES_EXCEEDED, 1500},
        {"one refusal, then silence", {{{0x71, 0x0B}}}, LINK_NO_RESPONSE, 2000},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim.ClearReceived();
        sim.SetScript(0x35, c.replies);
        uint8_t v = 0;
        const Outcome out = Run([&](auto d) { link->QueryTestStatus(&v, d); });
        EXPECT_EQ(out.results, std::vector<LinkResult>{c.result});
        EXPECT_GE(out.elapsedMs, c.minMs);
        EXPECT_EQ(sim.CountReceived(0x35), 1u) << "the request is never sent again";
        if (c.result == LINK_OK) {
            EXPECT_EQ(v, 7);
        }
    }
}

TEST_F(LinkWorker, PrintPacketsReachOnMessageOnlyWhenShown) {
    sim.SendPrintPacket("%d", 0x012A);
    Barrier();
    EXPECT_TRUE(messages.empty());
    link->SetShowPrintPackets(true);
    sim.SendPrintPacket("%d", 0x012A);
    sim.SendPrintPacket("%s %n %x", 0xBEEF);  // never handed to printf: only %x is served
    platform::ServeGuiCallsUntil([&] { return messages.size() == 2; }, kGenerousMs);
    EXPECT_EQ(messages, (std::vector<std::string>{"298", "%s %n beef"}));
}

TEST_F(LinkWorker, APrintPacketBeforeTheReplyIsShownAndTheRequestTakesItsOwnReply) {
    link->SetShowPrintPackets(true);
    sim.SetScript(0x1C, {{{0x0D, 'V', '%', 'u', 0, 5, 0}}, {{0x71, 0x1C, '9', '9', '9'}, 30}});
    uint8_t v[3] = {};
    EXPECT_EQ(Run([&](auto d) { link->QueryFirmwareVersion(v, d); }).results, std::vector<LinkResult>{LINK_OK});
    EXPECT_EQ(std::string(v, v + 3), "999");
    EXPECT_EQ(messages, std::vector<std::string>{"V5"});
}

TEST_F(LinkWorker, TheLineSurvivesNoiseAPacedReplyAndADelayWithinTheTimeout) {
    struct Case {
        const char* name;
        sim::FaultSpec fault;
        LinkResult result;
    } cases[] = {
        {"noise bytes before the reply", {sim::Fault::Noise, 23, 1}, LINK_OK},
        {"paced at 115200 baud", {sim::Fault::Paced, 0, 1}, LINK_OK},
        {"delayed within the time-out", {sim::Fault::Delay, 200, 1}, LINK_OK},
        {"corrupt checksum", {sim::Fault::BadChecksum, 0, 1}, LINK_NO_RESPONSE},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim.SetFault(0x1C, c.fault);
        uint8_t v[3] = {};
        EXPECT_EQ(Run([&](auto d) { link->QueryFirmwareVersion(v, d); }).results, std::vector<LinkResult>{c.result});
        if (c.result == LINK_OK) {
            EXPECT_EQ(std::string(v, v + 3), "341");
        }
    }
}

TEST_F(LinkWorker, AStalledPartialFrameIsGivenUpButAShortPauseIsNot) {
    // A length byte 20 (32 bytes announced) and then only a 7-byte reply:
    // after the gap the stray length byte is dropped and the reply is found.
    sim.SetScript(0x1C, {{{0x20}, 0, true}, {{0x71, 0x1C, '1', '0', '2'}}});
    uint8_t v[3] = {};
    EXPECT_EQ(Run([&](auto d) { link->QueryFirmwareVersion(v, d); }).results, std::vector<LinkResult>{LINK_OK});
    EXPECT_EQ(std::string(v, v + 3), "102");
    // 04 71 0C, a pause shorter than the gap, then 7F: one whole frame.
    sim.SetScript(0x14, {{{0x04, 0x71, 0x0C}, 0, true}, {{0x7F}, 60, true}});
    EXPECT_EQ(Run([&](auto d) { link->ClearLog(d); }).results, std::vector<LinkResult>{LINK_OK});
}

TEST_F(LinkWorker, ALateReplyIsTakenByTheNextRequestOnlyAsAnInvalidResponse) {
    sim.SetFault(0x1C, {sim::Fault::Delay, 900, 1});
    EXPECT_EQ(Run([&](auto d) { link->QueryFirmwareVersion(nullptr, d); }).results,
              std::vector<LinkResult>{LINK_NO_RESPONSE});
    uint8_t dpcd = 0;
    EXPECT_EQ(Run([&](auto d) { link->ReadDpcd(&dpcd, 0, d); }).results,
              std::vector<LinkResult>{LINK_INVALID_RESPONSE});
}

// The millisecond clock wraps 200 ms after the request goes out: its 0.5 s
// time-out still ends the wait after more than 500 ms (not at once, and not
// never: the generous wait would end without a result), and the link keeps
// working after the wrap.
TEST(LinkReplyTimer, ATimeOutAcrossTheClockWrapEndsAfterItsTime) {
    struct ClockReset {
        ~ClockReset() { platform::SetTickOffsetForTest(0); }
    } reset;
    platform::SetTickOffsetForTest(0);
    platform::SetTickOffsetForTest(0xFFFFFFFFu - 200u - platform::TickCountMs());
    platform::SetGuiThreadToCurrent();
    sim::InstrumentSim sim;
    ASSERT_TRUE(sim.Start());
    sim.SetFault(0x1C, {sim::Fault::Silent, 0, 1});
    MV_Comm link(MV_Comm::kModeSerial, 0, sim.SlavePath());
    std::vector<LinkResult> results;
    const auto t0 = Clock::now();
    long elapsed = -1;
    link.QueryFirmwareVersion(nullptr, [&](LinkResult r) {
        results.push_back(r);
        elapsed = MsSince(t0);
    });
    platform::ServeGuiCallsUntil([&] { return !results.empty(); }, kGenerousMs);
    ASSERT_EQ(results, std::vector<LinkResult>{LINK_NO_RESPONSE});
    EXPECT_LT(platform::TickCountMs(), 0x80000000u) << "the clock has wrapped";
    EXPECT_GE(elapsed, 500);
    results.clear();
    link.ClearLog([&](LinkResult r) { results.push_back(r); });
    platform::ServeGuiCallsUntil([&] { return !results.empty(); }, kGenerousMs);
    EXPECT_EQ(results, std::vector<LinkResult>{LINK_OK});
}

TEST_F(LinkWorker, TheStatusPollGoesOutAboutOnceASecondAndReportsTheStatusByte) {
    std::vector<bool> statuses;
    link->SetOnStatus([&](bool on) { statuses.push_back(on); });
    link->SetStatusPollEnabled(true);
    const auto t0 = Clock::now();
    platform::ServeGuiCallsUntil([&] { return statuses.size() >= 2; }, kGenerousMs);
    ASSERT_EQ(statuses, (std::vector<bool>{true, true}));
    EXPECT_GE(MsSince(t0), 1500) << "two polls take more than a second";
    EXPECT_EQ(sim.CountReceived(0x22), 2u);
    sim.SetStatusByte(0);
    platform::ServeGuiCallsUntil([&] { return statuses.size() >= 3; }, kGenerousMs);
    EXPECT_EQ(statuses.back(), false);
    // A status reply that comes on its own is taken as well.
    link->SetStatusPollEnabled(false);
    sim.SendStatusReply(1);
    Barrier();
    EXPECT_EQ(statuses.size(), 3u) << "with the poll disabled no status is delivered";
}

TEST(LinkStatusPoll, NoPollGoesOutWithoutOnStatusOrWithThePollDisabled) {
    platform::SetGuiThreadToCurrent();
    sim::InstrumentSim unsetSim, disabledSim, controlSim;
    ASSERT_TRUE(unsetSim.Start());
    ASSERT_TRUE(disabledSim.Start());
    ASSERT_TRUE(controlSim.Start());
    MV_Comm unset(MV_Comm::kModeSerial, 0, unsetSim.SlavePath());
    unset.SetStatusPollEnabled(true);
    MV_Comm disabled(MV_Comm::kModeSerial, 0, disabledSim.SlavePath());
    int calls = 0;
    disabled.SetOnStatus([&](bool) { ++calls; });
    // A link with both, made last, polls twice in the time the others run.
    MV_Comm control(MV_Comm::kModeSerial, 0, controlSim.SlavePath());
    control.SetOnStatus([](bool) {});
    control.SetStatusPollEnabled(true);
    ASSERT_TRUE(platform::ServeGuiCallsUntil([&] { return controlSim.CountReceived(0x22) >= 2; }, kGenerousMs));
    EXPECT_EQ(unsetSim.CountReceived(0x22), 0u);
    EXPECT_EQ(disabledSim.CountReceived(0x22), 0u);
    EXPECT_EQ(calls, 0);
}

TEST_F(LinkWorker, ResetPortReopensTheLineWithItsTexts) {
    EXPECT_TRUE(link->ResetPort());
    EXPECT_EQ(messages, (std::vector<std::string>{"> Port Reset", "> Port reset complete"}));
    uint8_t v[3] = {};
    EXPECT_EQ(Run([&](auto d) { link->QueryFirmwareVersion(v, d); }).results, std::vector<LinkResult>{LINK_OK});
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(LinkWorker, ResetPortOnAVanishedLineStillAnswersTrueAndRequestsFail) {
    sim.Stop();  // the device is gone
    messages.clear();
    EXPECT_TRUE(link->ResetPort());
    EXPECT_EQ(messages, (std::vector<std::string>{"> Port Reset", "> Port reset complete"}));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Failed to open port"});
    messages.clear();
    EXPECT_EQ(Run([&](auto d) { link->ClearLog(d); }).results, std::vector<LinkResult>{LINK_NO_RESPONSE});
    EXPECT_EQ(messages, std::vector<std::string>{"Write command failed; No chars sent..."});
}

TEST_F(LinkWorker, ALineClosedByTheInstrumentEndsTheRequestWithNoResponse) {
    sim.SetFault(0x1C, {sim::Fault::CloseLine});
    EXPECT_EQ(Run([&](auto d) { link->QueryFirmwareVersion(nullptr, d); }).results,
              std::vector<LinkResult>{LINK_NO_RESPONSE});
}

TEST(LinkConstruction, ModesOtherThanSerialThrowTheirTexts) {
    struct Case {
        int32_t mode;
        const char* text;
    } cases[] = {{2, "I2C communications mode not implemented yet"},
                 {0, "Unrecognized operation mode."},
                 {3, "Unrecognized operation mode."}};
    platform::MessageBoxInterceptor boxes;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        try {
            MV_Comm link(c.mode, 0, "/dev/no-such-serial-device");
            ADD_FAILURE() << "no exception";
        } catch (const E_GenericError& e) {
            EXPECT_EQ(e.Message, c.text);
        }
    }
    EXPECT_TRUE(boxes.Texts().empty()) << "the mode is checked before the port is made";
}

TEST(LinkConstruction, AMissingPortIsReportedAndEveryRequestEndsWithNoResponse) {
    platform::SetGuiThreadToCurrent();
    platform::MessageBoxInterceptor boxes;
    MV_Comm link(MV_Comm::kModeSerial, 0, "/dev/no-such-serial-device");
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Failed to open port"});
    std::vector<std::string> messages;
    link.SetOnMessage([&](const std::string& t) { messages.push_back(t); });
    std::vector<LinkResult> results;
    link.ProbeLegacyFirmware([&](LinkResult r) { results.push_back(r); });
    platform::ServeGuiCallsUntil([&] { return !results.empty(); }, kGenerousMs);
    EXPECT_EQ(results, std::vector<LinkResult>{LINK_NO_RESPONSE});
    EXPECT_EQ(messages, std::vector<std::string>{"Write command failed; No chars sent..."});
}

TEST(LinkDestruction, APendingRequestGetsNoCompletion) {
    platform::SetGuiThreadToCurrent();
    sim::InstrumentSim sim;
    ASSERT_TRUE(sim.Start());
    int calls = 0;
    auto link = std::make_unique<MV_Comm>(MV_Comm::kModeSerial, 0, sim.SlavePath());
    // The result query waits for the test's own time-out, here ten minutes:
    // a destruction that waited it out would miss the generous bound below.
    constexpr uint32_t kTenMinutes = 6000;  // in 100 ms units
    std::vector<LinkResult> started;
    link->StartTest(1, kTenMinutes, nullptr, [&](LinkResult r) { started.push_back(r); });
    ASSERT_TRUE(platform::ServeGuiCallsUntil([&] { return !started.empty(); }, kGenerousMs));
    ASSERT_EQ(started, std::vector<LinkResult>{LINK_OK});
    sim.SetFault(0x11, {sim::Fault::Silent});
    link->QueryTestResult(nullptr, [&](LinkResult) { ++calls; });
    ASSERT_TRUE(sim.WaitForReceived(0x11, 1, kGenerousMs));
    const auto t0 = Clock::now();
    link.reset();
    EXPECT_LT(MsSince(t0), kGenerousMs) << "the worker stops without waiting out the reply's time-out";
    platform::ServeGuiCalls();  // the worker is gone: whatever it left waits now
    EXPECT_EQ(calls, 0);
}

TEST(LinkDestruction, ADeliveryThatIsWaitingToBeServedNeitherBlocksNorRuns) {
    platform::SetGuiThreadToCurrent();
    sim::InstrumentSim sim;
    ASSERT_TRUE(sim.Start());
    int calls = 0;
    auto link = std::make_unique<MV_Comm>(MV_Comm::kModeSerial, 0, sim.SlavePath());
    link->QueryFirmwareVersion(nullptr, [&](LinkResult) { ++calls; });
    // Do not serve: the worker gets the reply and waits on its delivery.
    ASSERT_TRUE(sim.WaitForReceived(0x1C, 1, kGenerousMs));
    ASSERT_TRUE(WaitUntil([] { return platform::GuiCallsAndPostsWaiting() > 0; }, kGenerousMs));
    link.reset();
    platform::ServeGuiCalls();
    EXPECT_EQ(calls, 0);
}

TEST(LinkDestruction, TheLinkMayBeDestroyedFromInsideItsOwnCompletion) {
    platform::SetGuiThreadToCurrent();
    sim::InstrumentSim sim;
    ASSERT_TRUE(sim.Start());
    auto link = std::make_unique<MV_Comm>(MV_Comm::kModeSerial, 0, sim.SlavePath());
    std::vector<LinkResult> results;
    link->QueryFirmwareVersion(nullptr, [&](LinkResult r) {
        results.push_back(r);
        link.reset();  // as a reconnection does
    });
    platform::ServeGuiCallsUntil([&] { return link == nullptr; }, kGenerousMs);
    EXPECT_EQ(results, std::vector<LinkResult>{LINK_OK});
    // The worker ends on its own and lets go of the port (opened exclusively):
    // a new link on the same line opens it and works.
    std::unique_ptr<MV_Comm> again;
    for (int i = 0; i < 100 && !again; ++i) {
        platform::MessageBoxInterceptor boxes;
        again = std::make_unique<MV_Comm>(MV_Comm::kModeSerial, 0, sim.SlavePath());
        if (!boxes.Texts().empty()) {
            again.reset();
            platform::SleepMs(50);
        }
    }
    ASSERT_TRUE(again);
    std::vector<LinkResult> more;
    again->ClearLog([&](LinkResult r) { more.push_back(r); });
    platform::ServeGuiCallsUntil([&] { return !more.empty(); }, kGenerousMs);
    EXPECT_EQ(more, std::vector<LinkResult>{LINK_OK});
}

TEST(LinkDestruction, AnIdleLinkWithThePollRunningStopsPromptly) {
    platform::SetGuiThreadToCurrent();
    sim::InstrumentSim sim;
    ASSERT_TRUE(sim.Start());
    auto link = std::make_unique<MV_Comm>(MV_Comm::kModeSerial, 0, sim.SlavePath());
    int calls = 0;
    link->SetOnStatus([&](bool) { ++calls; });
    link->SetStatusPollEnabled(true);
    link->SetShowPrintPackets(true);
    link->SetOnMessage([&](const std::string&) { ++calls; });
    for (int i = 0; i < 20; ++i) sim.SendPrintPacket("tick %u", static_cast<uint16_t>(i));
    ServeFor(30);  // some texts on their way when the link goes; any number passes
    link.reset();
    const int seen = calls;
    platform::ServeGuiCalls();  // the worker is gone: whatever it left waits now
    EXPECT_EQ(calls, seen) << "no closure runs once the link is gone";
}

}  // namespace
}  // namespace linktest
