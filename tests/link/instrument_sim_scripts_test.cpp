// The simulated instrument's test log and scripted test runs, driven through
// the link: log reads of any count, a lost reply that has moved the read
// pointer, scripted results that advance on the operator's answer, the
// iteration rule, the log pieces and overflow of each step, the test-status
// answers and results held back beyond the test time-out. Also the
// demonstration set's shape.
#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "link_support.h"
#include "sim/DemoTestScripts.h"

namespace linktest {
namespace {

constexpr uint8_t kLogSizeCode = 0x12;
constexpr uint8_t kReadLogCode = 0x13;
constexpr uint8_t kStartCode = 0x10;
constexpr uint8_t kAnswerCode = 0x1E;
constexpr uint32_t kTestTimeout = 50;  // 5 s, in 100 ms units

Bytes Sequence(size_t n, uint8_t first) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(first + i);
    return b;
}

class SimScripts : public LinkFixture {
protected:
    LinkResult Start(uint8_t testId, uint32_t timeout100ms = kTestTimeout) {
        return Single(Run([&](auto d) { link->StartTest(testId, timeout100ms, params, d); }));
    }
    // The result query's record: code and text ("" when the query failed).
    struct Result {
        LinkResult link = LINK_INTERNAL_ERROR;
        int code = -1;
        std::string text;
        long elapsedMs = -1;
    };
    Result QueryResult() {
        uint8_t record[84];
        std::memset(record, 0xCD, sizeof record);
        const Outcome out = Run([&](auto d) { link->QueryTestResult(record, d); });
        Result r;
        r.link = Single(out);
        r.elapsedMs = out.elapsedMs;
        if (r.link == LINK_OK) {
            r.code = static_cast<int8_t>(record[0]);
            r.text = reinterpret_cast<const char*>(record + 4);
        }
        return r;
    }
    int QueryStatus() {
        uint8_t v = 0xCD;
        return Single(Run([&](auto d) { link->QueryTestStatus(&v, d); })) == LINK_OK ? v : -1;
    }
    LinkResult Answer(uint8_t value) {
        return Single(Run([&](auto d) { link->SendOperatorResponse(value, d); }));
    }
    // The whole log as the run engine reads it: size, pieces of at most 200, clear.
    struct Log {
        LinkResult sizeResult = LINK_INTERNAL_ERROR;
        Bytes bytes;
        int pieces = 0;
    };
    Log DownloadLog() {
        Log log;
        uint16_t size = 0;
        log.sizeResult = Single(Run([&](auto d) { link->QueryLogSize(&size, d); }));
        log.bytes.resize(size);
        size_t read = 0;
        do {
            const uint16_t piece = static_cast<uint16_t>(std::min<size_t>(size - read, 200));
            EXPECT_EQ(Single(Run([&](auto d) { link->ReadLog(log.bytes.data() + read, piece, d); })), LINK_OK);
            read += piece;
            ++log.pieces;
        } while (read < size);
        EXPECT_EQ(Single(Run([&](auto d) { link->ClearLog(d); })), LINK_OK);
        return log;
    }
    static LinkResult Single(const Outcome& out) {
        EXPECT_EQ(out.results.size(), 1u);
        return out.results.empty() ? LINK_INTERNAL_ERROR : out.results.front();
    }

    uint8_t params[20] = {};
};

TEST_F(SimScripts, ALogReadGetsItsCountPastTheEndAndALostReplyHasMovedThePointer) {
    sim.SetLog(Sequence(5, 1));
    uint8_t buf[8];
    std::memset(buf, 0xCD, sizeof buf);
    EXPECT_EQ(Single(Run([&](auto d) { link->ReadLog(buf, 8, d); })), LINK_OK);
    EXPECT_EQ(Bytes(buf, buf + 8), (Bytes{1, 2, 3, 4, 5, 0, 0, 0}));
    EXPECT_EQ(sim.LogUnread(), 0u);

    sim.SetLog(Sequence(10, 0x10));
    sim.SetFault(kReadLogCode, {sim::Fault::Silent, 0, 1});
    EXPECT_EQ(Single(Run([&](auto d) { link->ReadLog(buf, 4, d); })), LINK_NO_RESPONSE);
    EXPECT_EQ(sim.LogUnread(), 6u) << "the lost piece was taken from the log";
    EXPECT_EQ(Single(Run([&](auto d) { link->ReadLog(buf, 4, d); })), LINK_OK);
    EXPECT_EQ(Bytes(buf, buf + 4), (Bytes{0x14, 0x15, 0x16, 0x17}));

    // The log-size reply has 16 bits: a longer log reports 65535.
    sim.SetLog(Bytes(70000, 'x'));
    uint16_t size = 0;
    EXPECT_EQ(Single(Run([&](auto d) { link->QueryLogSize(&size, d); })), LINK_OK);
    EXPECT_EQ(size, 0xFFFF);
}

TEST_F(SimScripts, AScriptedRunAdvancesOnEachAnswerWithItsLogsAndStatus) {
    sim::TestStep question;
    question.result = sim::ResultRecord(7, "Is the picture stable?");
    question.log = sim::LogLine("pattern on");
    question.status = {0x00, 0x01, 0x07};
    sim::TestStep goOn;
    goOn.result = sim::ResultRecord(5);
    goOn.log = Bytes(450, 'a');
    goOn.logOverflow = true;
    sim::TestStep done;
    done.result = sim::ResultRecord(0, "Lane 2 lost lock", 4, -2);
    done.log = sim::Concat({sim::LogLine("after"), sim::TrainingPacket(4, 2, {0x11})});
    sim.SetTestResult(1, 0, 0, "not scripted");
    sim.SetTestStatus(0x42);
    sim.SetTestScript(12, {sim::TestRun{{question, goOn, done}}});

    ASSERT_EQ(Start(12), LINK_OK);
    EXPECT_EQ(sim.TestStarts(12), 1);
    for (int twice = 0; twice < 2; ++twice) {  // a query alone does not move on
        const Result r = QueryResult();
        EXPECT_EQ(r.code, 7);
        EXPECT_EQ(r.text, "Is the picture stable?");
    }
    EXPECT_EQ(QueryStatus(), 0x00);
    EXPECT_EQ(QueryStatus(), 0x01);
    EXPECT_EQ(QueryStatus(), 0x07);
    EXPECT_EQ(QueryStatus(), 0x07) << "the last status answer repeats";
    Log log = DownloadLog();
    EXPECT_EQ(log.sizeResult, LINK_OK);
    EXPECT_EQ(log.bytes, sim::LogLine("pattern on"));

    ASSERT_EQ(Answer(1), LINK_OK);
    EXPECT_EQ(QueryResult().code, 5);
    EXPECT_EQ(QueryStatus(), 0x42) << "a step without status answers leaves the set one";
    log = DownloadLog();
    EXPECT_EQ(log.sizeResult, LINK_OK_LOG_OVERFLOW);
    EXPECT_EQ(log.bytes, Bytes(450, 'a'));
    EXPECT_EQ(log.pieces, 3);

    ASSERT_EQ(Answer(0), LINK_OK);
    Result r = QueryResult();
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.text, "Lane 2 lost lock");
    log = DownloadLog();
    EXPECT_EQ(log.sizeResult, LINK_OK) << "clearing the log cleared the overflow";
    EXPECT_EQ(log.bytes, (Bytes{'a', 'f', 't', 'e', 'r', 0, 0x1B, 0x44, '1', '1', 0}));

    ASSERT_EQ(Answer(1), LINK_OK);
    EXPECT_EQ(QueryResult().code, 0) << "the last step stays";
    EXPECT_EQ(sim.ReceivedOf(kAnswerCode), (std::vector<Bytes>{{0x71, 0x1E, 1}, {0x71, 0x1E, 0}, {0x71, 0x1E, 1}}));

    // A test without a script ends the scripted run: the set answers apply.
    ASSERT_EQ(Start(13), LINK_OK);
    r = QueryResult();
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.text, "not scripted");
    EXPECT_EQ(QueryStatus(), 0x42);
    EXPECT_EQ(sim.TestStarts(13), 0);
}

TEST_F(SimScripts, TheNthStartPlaysTheNthRunAndTheLastRunRepeats) {
    auto run = [](int8_t code, const std::string& text) {
        sim::TestStep s;
        s.result = sim::ResultRecord(code, text);
        s.log = sim::LogLine(text);
        return sim::TestRun{{s}};
    };
    sim.SetTestScript(3, {run(1, "first"), run(0, "second"), run(2, "third")});
    sim.SetTestScript(4, {run(3, "other test")});
    struct Expect {
        uint8_t id;
        int code;
        std::string text;
    };
    const std::vector<Expect> starts = {{3, 1, "first"}, {4, 3, "other test"}, {3, 0, "second"},
                                        {3, 2, "third"}, {4, 3, "other test"}, {3, 2, "third"}};
    for (const auto& e : starts) {
        SCOPED_TRACE(e.text);
        ASSERT_EQ(Start(e.id), LINK_OK);
        const Result r = QueryResult();
        EXPECT_EQ(r.code, e.code);
        EXPECT_EQ(r.text, e.text);
        EXPECT_EQ(DownloadLog().bytes, sim::LogLine(e.text));
    }
    EXPECT_EQ(sim.TestStarts(3), 4);
    EXPECT_EQ(sim.TestStarts(4), 2);
    EXPECT_EQ(sim.ReceivedOf(kStartCode).size(), 6u);
    EXPECT_EQ(sim.LastStartTest()[0], 3);

    // A start whose reply is lost has started the test: the next start plays the following run.
    sim.SetTestScript(3, {run(1, "first"), run(0, "second"), run(2, "third")});
    sim.SetFault(kStartCode, {sim::Fault::Silent, 0, 1});
    EXPECT_EQ(Start(3), LINK_NO_RESPONSE);
    ASSERT_EQ(Start(3), LINK_OK);
    EXPECT_EQ(QueryResult().text, "second");

    // Without scripts every test answers the set result again.
    sim.ClearTestScripts();
    EXPECT_EQ(QueryResult().text, "Test passed");
    EXPECT_EQ(sim.TestStarts(3), 0);
}

TEST_F(SimScripts, AResultHeldBeyondTheTestTimeoutArrivesLateOrNever) {
    sim::TestStep late;
    late.result = sim::ResultRecord(1, "late");
    late.holdMs = 1500;
    sim::TestStep never;
    never.result = sim::ResultRecord(1, "never");
    never.holdMs = sim::TestStep::kHoldForever;
    sim::TestStep soon;
    soon.result = sim::ResultRecord(2, "soon");
    soon.holdMs = 300;
    sim.SetTestScript(7, {sim::TestRun{{late}}});
    sim.SetTestScript(8, {sim::TestRun{{never}}});
    sim.SetTestScript(9, {sim::TestRun{{soon}}});

    // Held 1.5 s with a 1 s test time-out: the query fails, and the held
    // reply reaches the query sent right after it. That one is answered
    // within its own 1 s time-out, while its own result is held 1.5 s: the
    // reply it takes is the first query's.
    ASSERT_EQ(Start(7, 10), LINK_OK);
    Result first = QueryResult();
    EXPECT_EQ(first.link, LINK_NO_RESPONSE);
    EXPECT_GE(first.elapsedMs, 1000);
    Result second = QueryResult();
    EXPECT_EQ(second.link, LINK_OK) << "the first query's reply, within the second's time-out";
    EXPECT_EQ(second.text, "late");
    // The second query's own held reply comes after its time-out: once the
    // simulator has sent it, a print packet behind it shows that the link,
    // with no request out, has read past it.
    ASSERT_TRUE(platform::ServeGuiCallsUntil([&] { return sim.HeldResultCount() == 0; }, kGenerousMs));
    link->SetShowPrintPackets(true);
    sim.SendPrintPacket("after the held result %d", 1);
    ASSERT_TRUE(platform::ServeGuiCallsUntil(
        [&] { return std::find(messages.begin(), messages.end(), "after the held result 1") != messages.end(); },
        kGenerousMs));

    ASSERT_EQ(Start(8, 5), LINK_OK);
    EXPECT_EQ(QueryResult().link, LINK_NO_RESPONSE);
    EXPECT_EQ(QueryResult().link, LINK_NO_RESPONSE);

    // Held within the time-out: answered after the hold.
    ASSERT_EQ(Start(9, 30), LINK_OK);
    const Result r = QueryResult();
    EXPECT_EQ(r.text, "soon");
    EXPECT_GE(r.elapsedMs, 300);
}

TEST(DemoTestScripts, EveryRunEndsInAnOutcomeAndCoversEveryResultCode) {
    const auto scripts = sim::DemoTestScripts();
    std::set<int> codes;
    bool trainingPacket = false, overflow = false, longLog = false, manyRuns = false, statusLamps = false;
    for (const auto& [id, script] : scripts) {
        SCOPED_TRACE(static_cast<int>(id));
        ASSERT_FALSE(script.empty());
        manyRuns = manyRuns || script.size() > 1;
        for (const auto& run : script) {
            ASSERT_FALSE(run.steps.empty());
            for (size_t i = 0; i < run.steps.size(); ++i) {
                const sim::TestStep& step = run.steps[i];
                ASSERT_EQ(step.result.size(), 84u);
                EXPECT_EQ(step.result[83], 0) << "the text ends within the record";
                const int code = static_cast<int8_t>(step.result[0]);
                codes.insert(code);
                const bool last = i + 1 == run.steps.size();
                EXPECT_EQ(last, code <= 3) << "outcomes end a run, prompts and code 5 lead on";
                EXPECT_LT(step.holdMs, 3000u) << "below the shortest test time-out";
                if (!step.log.empty()) {
                    EXPECT_EQ(step.log.back(), 0) << "every log line is complete";
                }
                for (size_t b = 0; b + 1 < step.log.size(); ++b)
                    if (step.log[b] == 0x1B && (b == 0 || step.log[b - 1] == 0)) {
                        EXPECT_NE(step.log[b + 1], 0) << "a packet line with its packet byte";
                        trainingPacket = true;
                    }
                overflow = overflow || step.logOverflow;
                longLog = longLog || step.log.size() > 200;
                statusLamps = statusLamps || (code == 8 && step.status.size() > 1);
            }
        }
    }
    EXPECT_EQ(codes, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_TRUE(trainingPacket);
    EXPECT_TRUE(overflow);
    EXPECT_TRUE(longLog);
    EXPECT_TRUE(manyRuns);
    EXPECT_TRUE(statusLamps);
}

}  // namespace
}  // namespace linktest
