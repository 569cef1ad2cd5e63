// The run engine without a window, against the simulated instrument on a
// pseudo-terminal with its scripted tests: iterations and selections, the log
// read in pieces and the overflow warning, the code-5 continuation, a failed
// request at each step with its one repetition, a lost log piece, a failed
// port reset, and at each request held back by the instrument: "Abort", the
// run ended with the reply still out (the late reply goes nowhere), and the
// link freed.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "ChainFailureCases.h"
#include "cts/ScriptedTests.h"
#include "cts/catalogue/TestCatalogue.h"
#include "cts/engine/TestRun.h"
#include "link/MV_Comm.h"
#include "platform/GuiCall.h"
#include "platform/MessageBoxInterceptor.h"
#include "sim/InstrumentSim.h"

namespace {

using cts_test::Log;
using cts_test::Record;
using cts_test::ScriptedTests;
using cts_test::SimStep;

constexpr int kGenerousMs = 15000;  // a run that never ends fails, never hangs
constexpr uint8_t kStart = 0x10, kResult = 0x11, kLogSize = 0x12, kReadLog = 0x13, kClearLog = 0x14, kAnswer = 0x1E,
                  kColorimetry = 0x21, kTestStatus = 0x35, kChannel = 0x36;

std::vector<std::string> Tail(const std::vector<std::string>& lines, size_t n) {
    return std::vector<std::string>(lines.end() - static_cast<long>(std::min(n, lines.size())), lines.end());
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The window's side as a record of what the run showed. The operator answers
// every prompt with `answer` in a turn of its own, as the dialog does after
// its modal loop, and the answer goes out from a post, as the window's does.
class RecordingView : public TestRunView {
public:
    void AddStatusLine(const std::string& line) override { lines.push_back(line); }
    void ScrollStatusToEnd() override {}
    void ShowRunningTest(const UCTSTest& test) override { running.push_back(test.TestId()); }
    void RefreshCounters() override { ++refreshes; }
    void ShowMessage(const std::string& text, bool error) override {
        messages.push_back(text);
        errors.push_back(error);
    }
    void ShowPrompt(int kind, const std::string& testLabel, const std::string& message) override {
        prompts.push_back(kind);
        if (!answerPrompts) return;
        platform::PostToGuiThread([this, ticket = run->Stamp()] {
            if (ticket.Current()) run->OperatorAnswered(answer);
        });
    }
    void PromptStatus(uint8_t status) override { statuses.push_back(status); }
    void PromptChannelDone() override { ++channelsDone; }
    void PostAnswer(int value) override {
        answers.push_back(value);
        platform::PostToGuiThread([this, value, ticket = run->Stamp()] {
            if (ticket.Current()) run->SendAnswer(value);
        });
    }
    void Ended() override { ++ended; }
    void RebuildLink() override { ++rebuilds; }

    TestRun* run = nullptr;
    bool answerPrompts = true;
    int answer = 0;
    std::vector<std::string> lines;  // the status list, the link's texts included
    std::vector<std::string> messages;
    std::vector<bool> errors;
    std::vector<int> running;
    std::vector<int> prompts;
    std::vector<uint8_t> statuses;
    std::vector<int> answers;
    int refreshes = 0, channelsDone = 0, ended = 0, rebuilds = 0;
};

class EngineRun : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetGuiThreadToCurrent();
        ASSERT_TRUE(sim_.Start());
        sim_.SetExtension(&tests_);
        sim_.SetTestResultBytes(Record(kResultPassed));
        link_ = std::make_unique<MV_Comm>(MV_Comm::kModeSerial, 0, sim_.SlavePath());
        link_->SetOnMessage([this](const std::string& text) { view_.lines.push_back(text); });
        view_.run = &run_;
    }
    void TearDown() override {
        link_.reset();
        sim_.SetExtension(nullptr);
        sim_.Stop();
    }

    // The click's choice of the tests (test IDs of the link layer page, whose
    // rows are their numbers). A silent instrument costs 1.1 s per result query.
    static RunChoice Choice(std::initializer_list<int> ids, int iterations = 1) {
        RunChoice choice;
        for (int id : ids) choice.tests.push_back({id, UCTSTest::MakeLabel(id, TestCatalogue::TestName(id)), id});
        choice.iterations = iterations;
        choice.linkTimeoutSeconds = 1;
        choice.build.extraTimeout100ms = 1;
        choice.header = "\r\nheader line";
        return choice;
    }
    void Start(RunChoice choice) {
        run_.Choose(std::move(choice));
        run_.Start();
    }
    // The event loop until the run has ended with its message.
    bool WaitEnded(int timeoutMs = kGenerousMs) {
        return platform::RunGuiEventLoopUntil([&] { return !run_.Running() && !view_.messages.empty(); }, timeoutMs);
    }
    bool RunToEnd(std::initializer_list<int> ids, int iterations = 1) {
        Start(Choice(ids, iterations));
        return WaitEnded();
    }
    bool WaitFor(const std::function<bool()>& condition, int timeoutMs = kGenerousMs) {
        return platform::RunGuiEventLoopUntil(condition, timeoutMs);
    }
    // Waits until a request of the test's own completes after the one now out
    // (whose completion, or its drop, has then been delivered).
    bool SettleLink() {
        std::array<uint8_t, 3> reply{};
        bool done = false;
        return WaitFor([&] {
            if (!done) {
                bool busy = false;
                link_->QueryFirmwareVersion(reply.data(), [&](LinkResult r) {
                    if (r == LINK_BUSY) busy = true;
                    else done = true;
                });
                if (busy) return false;
                return WaitFor([&] { return done; });
            }
            return true;
        });
    }

    UCTSTest* RecordOf(int testId) {
        for (const auto& r : records_)
            if (r->TestId() == testId) return r.get();
        return nullptr;
    }
    // The payloads of one request code the simulator received, in order.
    std::vector<sim::Bytes> ReceivedOf(uint8_t code) const { return sim_.ReceivedOf(code); }

    platform::MessageBoxInterceptor boxes_;  // the link's own boxes
    sim::InstrumentSim sim_;
    ScriptedTests tests_{sim_};
    std::unique_ptr<MV_Comm> link_;
    std::vector<std::unique_ptr<UCTSTest>> records_;
    RecordingView view_;
    TestRun run_{records_, [this] { return link_.get(); }, view_};
};

// ---- iterations and selections

struct SelectionCase {
    const char* name;
    std::vector<int> existing;  // records from an earlier run
    std::vector<int> chosen;    // the click's tests, in list order
    int iterations;
    std::vector<int> started;  // the tests the instrument was asked to start
};
void PrintTo(const SelectionCase& c, std::ostream* os) { *os << c.name; }

class Selections : public EngineRun, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(Selections, EveryChosenTestRunsOncePerIterationInTestIdOrder) {
    const SelectionCase& c = GetParam();
    for (int id : c.existing) records_.push_back(std::make_unique<UCTSTest>(id, UCTSTest::MakeLabel(id, "old"), id));
    RunChoice choice = Choice({}, c.iterations);
    for (int id : c.chosen) choice.tests.push_back({id, UCTSTest::MakeLabel(id, TestCatalogue::TestName(id)), id});
    Start(std::move(choice));
    ASSERT_TRUE(WaitEnded());
    EXPECT_EQ(view_.messages, std::vector<std::string>{"Testing Sequence Complete."});
    EXPECT_EQ(view_.ended, 1);
    EXPECT_EQ(tests_.Started(), c.started);
    EXPECT_EQ(view_.running, c.started);
    EXPECT_EQ(view_.refreshes, static_cast<int>(c.started.size()));
    // Sorted by test ID; each chosen record counts its runs, the others keep theirs.
    for (size_t i = 1; i < records_.size(); ++i) EXPECT_LT(records_[i - 1]->TestId(), records_[i]->TestId());
    for (const auto& record : records_) {
        const bool chosen = std::count(c.chosen.begin(), c.chosen.end(), record->TestId()) > 0;
        EXPECT_EQ(record->Selected(), chosen) << record->TestId();
        EXPECT_EQ(record->Passes(), chosen ? c.iterations : 0) << record->TestId();
    }
    EXPECT_EQ(run_.CurrentTest(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Runs, Selections,
                         ::testing::Values(SelectionCase{"OneTestOnce", {}, {3}, 1, {3}},
                                           SelectionCase{"TwoTestsThreeTimes", {}, {1, 2}, 3, {1, 2, 1, 2, 1, 2}},
                                           SelectionCase{"ChosenOutOfOrderRunSorted", {}, {7, 2}, 2, {2, 7, 2, 7}},
                                           SelectionCase{
                                               "EarlierRecordsNotChosenDoNotRun", {5, 9}, {2, 9}, 2, {2, 9, 2, 9}},
                                           SelectionCase{"NothingChosen", {4}, {}, 1, {}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineRun, TheDelayComesBeforeEveryStartButTheFirst) {
    RunChoice choice = Choice({1, 2}, 2);
    choice.testDelaySeconds = 1;
    Start(std::move(choice));
    ASSERT_TRUE(WaitEnded(30000));
    EXPECT_EQ(std::count(view_.lines.begin(), view_.lines.end(), std::string("Test to test delay (1 seconds).")), 3);
    const auto first = std::find(view_.lines.begin(), view_.lines.end(), std::string("Running test 1 ..."));
    const auto delay =
        std::find(view_.lines.begin(), view_.lines.end(), std::string("Test to test delay (1 seconds)."));
    EXPECT_LT(first, delay);
    EXPECT_EQ(tests_.Started(), (std::vector<int>{1, 2, 1, 2}));
}

// ---- the log download (moved from the window's tests)

struct LogCase {
    const char* name;
    size_t logBytes;
    std::vector<uint8_t> readCounts;
};
void PrintTo(const LogCase& c, std::ostream* os) { *os << c.name; }

class LogDownload : public EngineRun, public ::testing::WithParamInterface<LogCase> {};

TEST_P(LogDownload, IsReadInPiecesOfAtMost200Bytes) {
    const LogCase& c = GetParam();
    sim::Bytes log;
    while (log.size() < c.logBytes) {
        const std::string line = "line " + std::to_string(log.size());
        log.insert(log.end(), line.begin(), line.end());
        log.push_back(0);
    }
    log.resize(c.logBytes);
    if (!log.empty()) log.back() = 0;
    tests_.SetRuns(1, {{{Record(kResultPassed), log}}});
    ASSERT_TRUE(RunToEnd({1}));
    std::vector<uint8_t> counts;
    for (const sim::Bytes& p : ReceivedOf(kReadLog)) counts.push_back(p[2]);
    EXPECT_EQ(counts, c.readCounts);
    EXPECT_EQ(sim_.CountReceived(kClearLog), 1u);
    EXPECT_EQ(records_.front()->Passes(), 1);
    // The log's first line reaches the status list and the test's log.
    if (c.logBytes) {
        EXPECT_TRUE(Contains(view_.lines, "line 0"));
        EXPECT_TRUE(Contains(records_.front()->Log(), "line 0"));
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, LogDownload,
                         ::testing::Values(LogCase{"Empty", 0, {0}}, LogCase{"Exactly200", 200, {200}},
                                           LogCase{"Bytes201", 201, {200, 1}},
                                           LogCase{"Bytes450", 450, {200, 200, 50}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineRun, LogOverflowWarnsOnceForItsOwnTest) {
    tests_.SetRuns(1, {{{Record(kResultPassed), Log({"x"})}}});
    tests_.SetRuns(2, {{{Record(kResultPassed), Log({"y"})}}});
    sim_.SetLogOverflow(true);  // cleared by the first clear-log
    ASSERT_TRUE(RunToEnd({1, 2}));
    const auto& lines = view_.lines;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string("> WARNING: Log buffer overflow in TE was detected!")),
              1);
    const auto& first = RecordOf(1)->Log();
    const auto& second = RecordOf(2)->Log();
    EXPECT_TRUE(Contains(first, "WARNING: Log buffer overflow in TE was detected!"));
    EXPECT_FALSE(Contains(second, "WARNING: Log buffer overflow in TE was detected!"));
    // After the decoded log, before the result line.
    const auto x = std::find(first.begin(), first.end(), "x");
    const auto warning = std::find(first.begin(), first.end(), "WARNING: Log buffer overflow in TE was detected!");
    EXPECT_LT(x, warning);
}

TEST_F(EngineRun, Code5CollectsTheLogAnswersZeroAndAsksAgain) {
    tests_.SetRuns(1, {{{Record(kResultGoOn), Log({"part one"})}, {Record(kResultPassed), Log({"part two"})}}});
    ASSERT_TRUE(RunToEnd({1}));
    EXPECT_EQ(view_.messages, std::vector<std::string>{"Testing Sequence Complete."});
    EXPECT_EQ(sim_.CountReceived(kAnswer), 1u);
    EXPECT_EQ(sim_.LastOperatorResponse(), 0);
    EXPECT_EQ(sim_.CountReceived(kResult), 2u);
    EXPECT_EQ(sim_.CountReceived(kClearLog), 2u);
    const UCTSTest* record = records_.front().get();
    EXPECT_EQ(record->Runs(), 1);
    EXPECT_EQ(record->Passes(), 1);
    const auto& log = record->Log();
    const auto one = std::find(log.begin(), log.end(), "part one");
    const auto two = std::find(log.begin(), log.end(), "part two");
    EXPECT_TRUE(one != log.end() && two != log.end() && one < two);
}

// The answer 0 that lets a code-5 test go on is sent again as the answer 0.
struct GoOnAnswerCase {
    const char* name;
    int times;  // refusals of the answer
};
void PrintTo(const GoOnAnswerCase& c, std::ostream* os) { *os << c.name; }

class GoOnAnswerFailures : public EngineRun, public ::testing::WithParamInterface<GoOnAnswerCase> {};

TEST_P(GoOnAnswerFailures, AreRepeatedAsTheAnswerZero) {
    tests_.SetRuns(1, {{{Record(kResultGoOn), Log({"part one"})}, {Record(kResultPassed), Log({"part two"})}}});
    sim_.SetFault(kAnswer, {sim::Fault::Refuse, 0, GetParam().times});
    ASSERT_TRUE(RunToEnd({1}));
    const auto answers = ReceivedOf(kAnswer);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0], (sim::Bytes{0x71, 0x1E, 0}));
    EXPECT_EQ(answers[1], answers[0]);
    EXPECT_EQ(sim_.CountReceived(kStart), 1u);  // not a new start
    if (GetParam().times == 1) {
        EXPECT_EQ(view_.messages, std::vector<std::string>{"Testing Sequence Complete."});
        EXPECT_EQ(records_.front()->Passes(), 1);
    } else {
        EXPECT_EQ(view_.messages,
                  std::vector<std::string>{"Start test command or Operator response command Failed: 7"});
        EXPECT_TRUE(Contains(view_.lines, ">Start test command or Operator response command Failed: 7"));
    }
}

INSTANTIATE_TEST_SUITE_P(Refusals, GoOnAnswerFailures,
                         ::testing::Values(GoOnAnswerCase{"Once", 1}, GoOnAnswerCase{"Twice", -1}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- failed requests and the one repetition (moved from the window's tests)

using chain_failures::FailureCase;

class ChainFailures : public EngineRun, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ChainFailures, AreRepeatedOnceAfterAPortReset) {
    const FailureCase& c = GetParam();
    tests_.SetRuns(1, {{{Record(kResultPassed), Log({"log of the test"})}}});
    sim_.SetFault(c.code, {c.fault, 0, c.times});
    ASSERT_TRUE(RunToEnd({1}));
    const auto& lines = view_.lines;
    EXPECT_TRUE(Contains(lines, "> Port Reset"));
    EXPECT_TRUE(Contains(lines, "> Port reset complete"));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string("> Port Reset")), 1);
    const auto sent = ReceivedOf(c.code);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], sent[1]);  // exactly the request that failed
    const UCTSTest* record = records_.front().get();
    const std::string code = std::to_string(c.result);
    if (c.times == 1) {
        EXPECT_EQ(view_.messages, std::vector<std::string>{"Testing Sequence Complete."});
        EXPECT_EQ(record->Passes(), 1);
        EXPECT_FALSE(Contains(lines, std::string(">") + c.text + code));
        return;
    }
    EXPECT_EQ(view_.messages, std::vector<std::string>{c.message + code});
    EXPECT_EQ(view_.errors, std::vector<bool>{true});
    EXPECT_TRUE(Contains(lines, std::string(">") + c.text + code));
    EXPECT_EQ(record->Runs(), 0);
    EXPECT_EQ(
        Tail(record->Log(), 4),
        (std::vector<std::string>{c.text + code, "Unknown: Communications issues caused this test to abort.", "", ""}));
    // Nothing follows the failed request.
    EXPECT_EQ(sim_.CountReceived(kClearLog), c.code == kClearLog ? 2u : 0u);
    EXPECT_EQ(view_.rebuilds, 0);
}

INSTANTIATE_TEST_SUITE_P(Requests, ChainFailures, chain_failures::kCases, chain_failures::Name);

// A lost log piece is asked for again where it was; the instrument's read
// pointer has moved on, and the warning says some data was lost.
TEST_F(EngineRun, ALostLogPieceIsWarnedAboutAndAskedForAgain) {
    sim::Bytes log(450, 'a');
    log[199] = 0;
    log[399] = 0;
    log[449] = 0;
    tests_.SetRuns(1, {{{Record(kResultPassed), log}}});
    // The first piece's answer is held; meanwhile the second's is set to be lost.
    sim_.SetFault(kReadLog, {sim::Fault::Hold, 0, 1});
    Start(Choice({1}));
    ASSERT_TRUE(WaitFor([&] { return sim_.HeldCount() == 1; }));
    sim_.SetFault(kReadLog, {sim::Fault::Silent, 0, 1});
    sim_.ReleaseHeld();
    ASSERT_TRUE(WaitEnded(30000));
    EXPECT_TRUE(Contains(view_.lines, "> WARNING: Some log data was lost due to communications issues"));
    EXPECT_TRUE(Contains(records_.front()->Log(), "WARNING: Some log data was lost due to communications issues"));
    const auto reads = ReceivedOf(kReadLog);
    ASSERT_EQ(reads.size(), 4u);
    EXPECT_EQ(reads[1], reads[2]);  // the same piece again
    EXPECT_EQ(records_.front()->Passes(), 1);
}

// A port reset that fails ends the run as a used-up repetition does, then
// asks for the link to be built again.
TEST_F(EngineRun, AFailedPortResetEndsTheRunAndAsksForANewLink) {
    sim_.SetFault(kResult, {sim::Fault::Refuse, 0, 1});
    MV_Comm::FailNextPortResets(1);
    ASSERT_TRUE(RunToEnd({1}));
    EXPECT_EQ(view_.messages, std::vector<std::string>{"Query test result command failed: 7"});
    EXPECT_TRUE(Contains(view_.lines, "> Port reset FAILED! (Object allocation error)"));
    EXPECT_TRUE(Contains(view_.lines, ">Query test result command Failed: 7"));
    EXPECT_EQ(Tail(records_.front()->Log(), 4),
              (std::vector<std::string>{"Query test result command Failed: 7",
                                        "Unknown: Communications issues caused this test to abort.", "", ""}));
    EXPECT_EQ(sim_.CountReceived(kResult), 1u);
    EXPECT_EQ(view_.rebuilds, 1);
    EXPECT_EQ(view_.ended, 1);
}

// ---- each request held back by the instrument

enum class Act { Abort, EndWhileOut, FreeTheLink };

struct HeldCase {
    const char* name;
    uint8_t held;       // the request whose answer the instrument holds back
    int testId;         // the test run
    sim::Bytes record;  // its result
    Act act;
    bool testOpen;  // a test was open and got the manual-abort line
};
void PrintTo(const HeldCase& c, std::ostream* os) { *os << c.name; }

class HeldRequests : public EngineRun, public ::testing::WithParamInterface<HeldCase> {};

// "Abort" ends the run at the reply (an instrument that waits for a kind-4
// answer gets 0 first); ended while the reply is out, the run takes nothing
// from it when it comes late and sends nothing more; a link freed meanwhile
// takes its reply with it.
TEST_P(HeldRequests, EndTheRunOnceAndLeaveNoRequestBehind) {
    const HeldCase& c = GetParam();
    tests_.SetRuns(c.testId, {{{c.record, Log({"some log"})}}});
    view_.answerPrompts = false;
    sim_.SetFault(c.held, {sim::Fault::Hold, 0, 1});
    Start(Choice({c.testId}, 2));
    ASSERT_TRUE(WaitFor([&] { return sim_.HeldCount() == 1; }));
    const size_t before = sim_.Received().size();
    switch (c.act) {
        case Act::Abort:
            run_.RequestAbort();
            EXPECT_TRUE(run_.Running());  // nothing ends before the next completion
            sim_.ReleaseHeld();
            ASSERT_TRUE(WaitEnded());
            EXPECT_EQ(view_.messages, std::vector<std::string>{"Testing sequence Aborted"});
            // Only the prompt's release followed the held request.
            EXPECT_EQ(sim_.Received().size(), before + (c.record[0] == kResultPromptProceed ? 1u : 0u));
            if (c.record[0] == kResultPromptProceed) {
                EXPECT_EQ(sim_.LastOperatorResponse(), 0);
            }
            break;
        case Act::EndWhileOut:
            run_.End();
            EXPECT_FALSE(run_.Running());
            EXPECT_TRUE(view_.messages.empty());
            sim_.ReleaseHeld();
            ASSERT_TRUE(SettleLink());
            EXPECT_EQ(sim_.Received().size(), before + 1);  // the test's own request only
            break;
        case Act::FreeTheLink:
            run_.EndForDisconnect();
            link_.reset();
            EXPECT_EQ(view_.messages, std::vector<std::string>{"Testing sequence Aborted"});
            sim_.ReleaseHeld();
            break;
    }
    EXPECT_EQ(view_.ended, 1);
    EXPECT_TRUE(view_.prompts.empty());
    EXPECT_FALSE(run_.Running());
    EXPECT_EQ(run_.CurrentTest(), nullptr);
    const UCTSTest* record = RecordOf(c.testId);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->Runs(), 0);
    EXPECT_FALSE(record->Running());
    if (c.testOpen) {
        const auto tail = Tail(record->Log(), 3);
        EXPECT_EQ(tail[0].rfind("Unknown: Test was manually aborted after ", 0), 0u) << tail[0];
    } else {
        EXPECT_TRUE(record->Log().empty());
    }
    // A second end changes nothing.
    run_.End();
    run_.EndForDisconnect();
    EXPECT_EQ(view_.ended, 1);
}

std::vector<HeldCase> HeldCases() {
    struct Stage {
        const char* name;
        uint8_t held;
        int testId;
        sim::Bytes record;
        bool testOpen;
    };
    const Stage stages[] = {{"Colorimetry", kColorimetry, 29, Record(kResultPassed), false},
                            {"Start", kStart, 1, Record(kResultPassed), true},
                            {"Result", kResult, 1, Record(kResultPassed), true},
                            {"LogSize", kLogSize, 1, Record(kResultPassed), true},
                            {"LogRead", kReadLog, 1, Record(kResultPassed), true},
                            {"ClearLog", kClearLog, 1, Record(kResultPassed), true},
                            {"Prompt4", kResult, 1, Record(kResultPromptProceed, "press"), true}};
    const std::pair<const char*, Act> acts[] = {
        {"Abort", Act::Abort}, {"EndedWhileOut", Act::EndWhileOut}, {"LinkFreed", Act::FreeTheLink}};
    static std::vector<std::string> names;
    std::vector<HeldCase> cases;
    names.reserve(std::size(stages) * std::size(acts));
    for (const Stage& s : stages) {
        for (const auto& [actName, act] : acts) {
            names.push_back(std::string(s.name) + actName);
            cases.push_back({names.back().c_str(), s.held, s.testId, s.record, act, s.testOpen});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Stages, HeldRequests, ::testing::ValuesIn(HeldCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the operator prompt's requests

// A kind-8 prompt: the status poll's reply reaches the prompt; an answer given
// while a poll is out waits for its reply, so the answer never meets a busy
// link.
TEST_F(EngineRun, AnAnswerGivenWhileAStatusPollIsOutFollowsItsReply) {
    tests_.SetRuns(1, {{{Record(kResultRequirements, "a\nb"), {}}, {Record(kResultPassed), {}}}});
    sim_.SetTestStatus(0x05);
    view_.answerPrompts = false;
    sim_.SetFault(kTestStatus, {sim::Fault::Hold, 0, 1});
    Start(Choice({1}));
    ASSERT_TRUE(WaitFor([&] { return !view_.prompts.empty(); }));
    EXPECT_EQ(view_.prompts, std::vector<int>{kResultRequirements});
    run_.QueryTestStatus();
    ASSERT_TRUE(WaitFor([&] { return sim_.HeldCount() == 1; }));
    run_.OperatorAnswered(0);
    EXPECT_TRUE(view_.answers.empty());  // held back behind the poll
    sim_.ReleaseHeld();
    ASSERT_TRUE(WaitEnded());
    EXPECT_EQ(view_.statuses, std::vector<uint8_t>{0x05});
    EXPECT_EQ(view_.answers, std::vector<int>{0});
    EXPECT_EQ(view_.messages, std::vector<std::string>{"Testing Sequence Complete."});
    EXPECT_FALSE(Contains(view_.lines, "> Port Reset"));
    EXPECT_EQ(records_.front()->Passes(), 1);
}

// A kind-9 prompt: the channel request's end reaches the prompt (which sends
// a pair chosen meanwhile), then the answer 1.
TEST_F(EngineRun, AChannelRequestEndsBeforeTheAnswerGoes) {
    tests_.SetRuns(1, {{{Record(kResultAudioChannels, "Listen"), {}}, {Record(kResultPassed), {}}}});
    view_.answerPrompts = false;
    Start(Choice({1}));
    ASSERT_TRUE(WaitFor([&] { return !view_.prompts.empty(); }));
    run_.SelectChannels(2);
    run_.OperatorAnswered(1);
    ASSERT_TRUE(WaitEnded());
    EXPECT_EQ(view_.channelsDone, 1);
    EXPECT_EQ(ReceivedOf(kChannel), (std::vector<sim::Bytes>{{0x71, 0x36, 2}}));
    EXPECT_EQ(view_.answers, std::vector<int>{1});
    EXPECT_EQ(sim_.LastOperatorResponse(), 1);
    EXPECT_EQ(records_.front()->Passes(), 1);
}

// ---- the start undone before the run is under way

TEST_F(EngineRun, RunTestsEnabledBeforeTheStartUndoesItAndANewChoiceWantsItAgain) {
    run_.Choose(Choice({1}));
    EXPECT_FALSE(run_.StartUndone());
    run_.RunTestsEnabled(true);  // a click on the list
    EXPECT_TRUE(run_.StartUndone());
    run_.RunTestsEnabled(false);  // its selection emptied again
    EXPECT_FALSE(run_.StartUndone());
    run_.RunTestsEnabled(true);
    run_.Choose(Choice({2}));  // "Run Tests" clicked again
    EXPECT_FALSE(run_.StartUndone());
    run_.Start();
    run_.RunTestsEnabled(true);  // during the run it undoes nothing
    EXPECT_FALSE(run_.StartUndone());
    ASSERT_TRUE(WaitEnded());
    EXPECT_EQ(tests_.Started(), std::vector<int>{2});
}

}  // namespace
