// Whose memory a request uses while it is out: the caller's reply buffer is
// written only on the GUI thread as the completion runs, never for a
// completion whose ticket went stale, and the caller's input data are the
// request's own copy from the moment it is accepted.
#include <cstring>
#include <memory>
#include <vector>

#include "link_support.h"
#include "platform/Epoch.h"
#include "support/WaitUntil.h"

namespace linktest {
namespace {

constexpr uint8_t kMarker = 0xCD;

// A request with a reply: its code, how many bytes land in the caller's
// buffer, what the instrument holds, and the request made into `buffer`.
struct ReplyCase {
    const char* name;
    uint8_t code;
    size_t bytes;
    std::function<void(sim::InstrumentSim&)> prepare;
    std::function<void(MV_Comm&, uint8_t* buffer, MV_Comm::Completion)> issue;
};

std::vector<ReplyCase> ReplyCases() {
    using C = MV_Comm::Completion;
    return {
        {"FirmwareVersion", 0x1C, 3, [](sim::InstrumentSim& s) { s.SetFirmwareVersion("4A7"); },
         [](MV_Comm& l, uint8_t* b, C c) { l.QueryFirmwareVersion(b, std::move(c)); }},
        {"TestResult", 0x11, 84, [](sim::InstrumentSim& s) { s.SetTestResultBytes(Bytes(84, 'R')); },
         [](MV_Comm& l, uint8_t* b, C c) { l.QueryTestResult(b, std::move(c)); }},
        {"LogSize", 0x12, 2, [](sim::InstrumentSim& s) { s.SetLog(Bytes(0x123, 1)); },
         [](MV_Comm& l, uint8_t* b, C c) {
             // The size variable lives inside the byte buffer (aligned: a new[] block).
             l.QueryLogSize(reinterpret_cast<uint16_t*>(b), std::move(c));
         }},
        {"ReadLog", 0x13, 200, [](sim::InstrumentSim& s) { s.SetLog(Bytes(250, 0x4C)); },
         [](MV_Comm& l, uint8_t* b, C c) { l.ReadLog(b, 200, std::move(c)); }},
        {"LinkStatus", 0x19, 28, [](sim::InstrumentSim& s) { s.SetLinkStatus(Bytes(28, 0x5A)); },
         [](MV_Comm& l, uint8_t* b, C c) { l.QueryLinkStatus(b, std::move(c)); }},
        {"EdidRead", 0x16, 128, [](sim::InstrumentSim& s) { s.SetEdid(Bytes(256, 0xE1)); },
         [](MV_Comm& l, uint8_t* b, C c) { l.ReadEdidBlock(b, 0, 128, 0, std::move(c)); }},
        {"DpcdRead", 0x1A, 1, [](sim::InstrumentSim& s) { s.SetDpcd(0x0101, 0x84); },
         [](MV_Comm& l, uint8_t* b, C c) { l.ReadDpcd(b, 0x0101, std::move(c)); }},
        {"TestStatus", 0x35, 1, [](sim::InstrumentSim& s) { s.SetTestStatus(7); },
         [](MV_Comm& l, uint8_t* b, C c) { l.QueryTestStatus(b, std::move(c)); }},
    };
}

// A heap buffer of one request's reply size, filled with the marker.
std::unique_ptr<uint8_t[]> MarkedBuffer(size_t bytes) {
    auto b = std::make_unique<uint8_t[]>(bytes);
    std::memset(b.get(), kMarker, bytes);
    return b;
}
bool AllMarked(const uint8_t* b, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i)
        if (b[i] != kMarker) return false;
    return true;
}

class LinkMemory : public LinkFixture {
protected:
    // Waits until the link has taken one more request of its own after the
    // one that is out and completed it: whatever the earlier request was to
    // deliver has been delivered or dropped by then.
    void Settle() {
        bool done = false, busy = true;
        platform::ServeGuiCallsUntil(
            [&] {
                if (busy) {
                    busy = false;
                    link->ClearLog([&](LinkResult r) {
                        if (r == LINK_BUSY) busy = true;
                        else done = true;
                    });
                }
                return done;
            },
            kGenerousMs);
        ASSERT_TRUE(done);
    }
};

TEST_F(LinkMemory, AReplyReachesTheCallersBufferOnlyAsItsCompletionRunsOnTheGuiThread) {
    for (const auto& c : ReplyCases()) {
        SCOPED_TRACE(c.name);
        c.prepare(sim);
        auto buffer = MarkedBuffer(c.bytes);
        bool markedAtCall = true;
        int calls = 0;
        c.issue(*link, buffer.get(), [&](LinkResult r) {
            EXPECT_EQ(r, LINK_OK);
            markedAtCall = AllMarked(buffer.get(), c.bytes);
            ++calls;
        });
        // Not served: the worker has the reply and waits to deliver it.
        ASSERT_TRUE(WaitUntil([] { return platform::GuiCallsAndPostsWaiting() > 0; }, kGenerousMs));
        EXPECT_TRUE(AllMarked(buffer.get(), c.bytes)) << "the worker wrote into the caller's buffer";
        platform::ServeGuiCallsUntil([&] { return calls > 0; }, kGenerousMs);
        EXPECT_EQ(calls, 1);
        EXPECT_FALSE(markedAtCall) << "the reply was in place when the completion ran";
    }
}

// Each reply held back by the instrument while the completion's ticket goes
// stale: when it lands, the buffer is left as it was and nothing is called;
// the link goes on with the next request.
TEST_F(LinkMemory, AReplyForADroppedCompletionWritesNothing) {
    for (const auto& c : ReplyCases()) {
        SCOPED_TRACE(c.name);
        c.prepare(sim);
        sim.SetFault(c.code, {sim::Fault::Hold, 0, 1});
        platform::Epoch run;
        auto buffer = MarkedBuffer(c.bytes);
        int calls = 0;
        c.issue(*link, buffer.get(), MV_Comm::Completion(run.Stamp(), [&](LinkResult) { ++calls; }));
        ASSERT_TRUE(WaitUntil([&] { return sim.HeldCount() == 1; }, kGenerousMs));
        run.Advance();
        sim.ReleaseHeld();
        Settle();
        EXPECT_EQ(calls, 0);
        EXPECT_TRUE(AllMarked(buffer.get(), c.bytes));
    }
}

// The owner frees the buffer as soon as it has made the ticket stale, as a
// run does with its log buffer when it ends while a log piece is out.
TEST_F(LinkMemory, TheBufferOfADroppedCompletionMayBeFreedAtOnce) {
    sim.SetLog(Bytes(300, 0x4C));
    sim.SetFault(0x13, {sim::Fault::Hold, 0, 1});
    platform::Epoch run;
    auto log = std::make_unique<uint8_t[]>(300);
    int calls = 0;
    link->ReadLog(log.get() + 100, 200, MV_Comm::Completion(run.Stamp(), [&](LinkResult) { ++calls; }));
    ASSERT_TRUE(WaitUntil([&] { return sim.HeldCount() == 1; }, kGenerousMs));
    run.Advance();
    log.reset();
    sim.ReleaseHeld();
    Settle();
    EXPECT_EQ(calls, 0);
}

// A ticket that is still current is no different from a plain closure.
TEST_F(LinkMemory, ACurrentTicketGetsItsReplyAndItsCall) {
    platform::Epoch run;
    sim.SetFirmwareVersion("3B9");
    uint8_t version[3] = {};
    const Outcome out = Run([&](MV_Comm::Completion done) {
        link->QueryFirmwareVersion(version, MV_Comm::Completion(run.Stamp(), [done](LinkResult r) { done(r); }));
    });
    EXPECT_EQ(out.results, std::vector<LinkResult>{LINK_OK});
    EXPECT_EQ(std::string(version, version + 3), "3B9");
}

// A request with input data, made while the worker is held in the previous
// request's completion (so it cannot have sent yet); the caller then
// overwrites and frees its memory at once.
struct InputCase {
    const char* name;
    uint8_t code;
    size_t bytes;
    std::function<void(MV_Comm&, const uint8_t* input, MV_Comm::Completion)> issue;
    Bytes head;  // the payload before the input bytes
};

std::vector<InputCase> InputCases() {
    using C = MV_Comm::Completion;
    return {
        {"StartTest",
         0x10,
         20,
         [](MV_Comm& l, const uint8_t* in, C c) { l.StartTest(0x2C, 50, in, std::move(c)); },
         {0x71, 0x10, 0x2C}},
        // The delayed start reads its input after the worker has slept.
        {"StartTestDelayed",
         0x10,
         20,
         [](MV_Comm& l, const uint8_t* in, C c) { l.StartTestDelayed(1, 0x2D, in, 50, std::move(c)); },
         {0x71, 0x10, 0x2D}},
        {"EdidWrite",
         0x17,
         128,
         [](MV_Comm& l, const uint8_t* in, C c) { l.WriteEdidBlock(in, 1, 0x80, std::move(c)); },
         {0x71, 0x17, 0x01, 0x80, 0x80}},
        {"Colorimetry",
         0x21,
         9,
         [](MV_Comm& l, const uint8_t* in, C c) { l.SetColorimetry(9, in, std::move(c)); },
         {0x71, 0x21, 9}},
        {"DutConfig",
         0x3A,
         12,
         [](MV_Comm& l, const uint8_t* in, C c) { l.SetDutConfig(in, std::move(c)); },
         {0x71, 0x3A}},
    };
}

TEST_F(LinkMemory, InputChangedOrFreedRightAfterTheRequestDoesNotChangeWhatIsSent) {
    for (const auto& c : InputCases()) {
        SCOPED_TRACE(c.name);
        sim.ClearReceived();
        Bytes original(c.bytes);
        for (size_t i = 0; i < c.bytes; ++i) original[i] = static_cast<uint8_t>(0x30 + i);
        std::vector<LinkResult> results;
        const Outcome first = Run([&](MV_Comm::Completion done) {
            link->ClearLog([&, done](LinkResult r) {
                auto input = std::make_unique<uint8_t[]>(c.bytes);
                std::memcpy(input.get(), original.data(), c.bytes);
                c.issue(*link, input.get(), [&](LinkResult second) { results.push_back(second); });
                std::memset(input.get(), 0xEE, c.bytes);
                input.reset();
                done(r);
            });
        });
        ASSERT_EQ(first.results, std::vector<LinkResult>{LINK_OK});
        platform::ServeGuiCallsUntil([&] { return !results.empty(); }, kGenerousMs);
        EXPECT_EQ(results, std::vector<LinkResult>{LINK_OK});
        Bytes expected = c.head;
        expected.insert(expected.end(), original.begin(), original.end());
        const auto sent = sim.ReceivedOf(c.code);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0], expected);
    }
}

}  // namespace
}  // namespace linktest
