#include "cts/engine/TestRun.h"

#include <algorithm>

#include "cts/catalogue/TestCatalogue.h"
#include "cts/engine/RunTexts.h"
#include "cts/engine/TestLogDecoder.h"
#include "cts/report/HtmlText.h"

namespace {

constexpr uint16_t kMaxLogPiece = 200;

// The failure texts of the chain's requests: the status list and the test's
// log take the first, the message box the second.
const TestRun::Failure kStartFailure{"Start test command or Operator response command Failed: ",
                                     "Start test command or Operator response command Failed: ", false};
const TestRun::Failure kResultFailure{
    "Query test result command Failed: ", "Query test result command failed: ", false};
const TestRun::Failure kLogSizeFailure{"Query log size command Failed: ", "Query log size command Failed: ", false};
const TestRun::Failure kLogDataFailure{"Query log data command Failed: ", "Query log data command Failed: ", true};
const TestRun::Failure kClearLogFailure{"Clear log command Failed: ", "Clear log command Failed: ", false};
const TestRun::Failure kAnswerFailure{
    "Operator response command Failed: ", "Operator response command Failed: ", false};
const TestRun::Failure kTestStatFailure{"Test stat Query Failed: ", "Test stat Query Failed: ", false};
const TestRun::Failure kChannelFailure{"Channel select set Failed: ", "Channel select set Failed: ", false};

bool IsPrompt(int8_t code) {
    return code == kResultPromptProceed || code == kResultPromptProceed6 || code == kResultQuestionPassFail ||
           code == kResultRequirements || code == kResultAudioChannels;
}

}  // namespace

TestRun::TestRun(std::vector<std::unique_ptr<UCTSTest>>& records, std::function<MV_Comm*()> link, TestRunView& view)
    : records_(records), link_(std::move(link)), view_(view) {}

// ---- before the run

void TestRun::Choose(RunChoice choice) {
    choice_ = std::move(choice);
    startUndone_ = false;
}

void TestRun::RunTestsEnabled(bool enabled) {
    if (!running_) startUndone_ = enabled;
}

// ---- run preparation

void TestRun::Start() {
    running_ = true;
    abortRequested_ = false;
    for (const auto& record : records_) record->SetSelected(false);
    for (const RunChoiceTest& test : choice_.tests) {
        const auto found = std::find_if(records_.begin(), records_.end(),
                                        [&test](const auto& record) { return record->TestId() == test.testId; });
        if (found != records_.end()) (*found)->SetSelected(true);
        else records_.push_back(std::make_unique<UCTSTest>(test.testId, test.label, test.number));
    }
    std::stable_sort(records_.begin(), records_.end(),
                     [](const auto& a, const auto& b) { return UCTSTest::CompareTestIds(*a, *b) < 0; });
    iterationsLeft_ = choice_.iterations;
    currentIndex_ = -1;

    bool colorimetryNeeded = false;
    timeStampNeeded_ = false;
    for (const auto& record : records_) {
        if (!record->Selected()) continue;
        colorimetryNeeded = colorimetryNeeded || TestCatalogue::NeedsColorimetry(record->TestId());
        timeStampNeeded_ = timeStampNeeded_ || TestCatalogue::NeedsTimeStampConfig(record->TestId());
    }
    MV_Comm* link = link_();
    if (colorimetryNeeded && link) {
        link->SetColorimetry(static_cast<uint32_t>(choice_.colorimetryIds.size()), choice_.colorimetryIds.data(),
                             CompletionOf(&TestRun::OnColorimetrySent));
    } else {
        OnColorimetrySent(LINK_OK);
    }
}

void TestRun::StartFailed(LinkResult result) {
    // The box first, then the end, as the run was when the box came up.
    view_.ShowMessage(std::string("Failed to start test cycle: ") + RunTexts::LinkResultText(result), true);
    EndRun();
}

void TestRun::OnColorimetrySent(LinkResult result) {
    if (result != LINK_OK) return StartFailed(result);
    MV_Comm* link = link_();
    if (timeStampNeeded_ && choice_.timeStampRecord && link) {
        link->SetDutConfig(choice_.timeStampRecord->data(), CompletionOf(&TestRun::OnTsgConfigSent));
    } else {
        OnTsgConfigSent(LINK_OK);
    }
}

void TestRun::OnTsgConfigSent(LinkResult result) {
    if (result != LINK_OK) return StartFailed(result);
    RunNextTest();
}

// ---- the sequencer

void TestRun::RunNextTest() {
    if (AbortNoticed()) return;
    const bool delay = currentIndex_ != -1 && choice_.testDelaySeconds != 0;
    const int32_t count = static_cast<int32_t>(records_.size());
    // Records of other groups, or none at all, may be all there is.
    if (std::none_of(records_.begin(), records_.end(), [](const auto& record) { return record->Selected(); })) {
        EndRun();
        view_.ShowMessage("Testing Sequence Complete.", false);
        return;
    }
    do {
        ++currentIndex_;
        if (currentIndex_ >= count) {
            currentIndex_ = 0;
            if (--iterationsLeft_ <= 0) {
                EndRun();
                view_.ShowMessage("Testing Sequence Complete.", false);
                return;
            }
        }
    } while (!records_[static_cast<size_t>(currentIndex_)]->Selected());

    currentTest_ = records_[static_cast<size_t>(currentIndex_)].get();
    view_.ShowRunningTest(*currentTest_);
    // 100 ms units: the link time-out and the group's extra time-out.
    const auto timeout = static_cast<uint32_t>(choice_.linkTimeoutSeconds * 10 + choice_.build.extraTimeout100ms);
    view_.AddStatusLine("");
    if (delay) view_.AddStatusLine("Test to test delay (" + std::to_string(choice_.testDelaySeconds) + " seconds).");
    view_.AddStatusLine("Running test " + std::to_string(currentTest_->Number()) + " ...");
    view_.ScrollStatusToEnd();

    const auto testId = static_cast<uint8_t>(currentTest_->StartRunWithHeader(choice_.header));
    const uint8_t* block = choice_.build.block.data();
    if (delay) {
        const auto seconds = static_cast<uint32_t>(choice_.testDelaySeconds);
        Send([this, seconds, testId, block, timeout](MV_Comm& link) {
            link.StartTestDelayed(seconds, testId, block, timeout, CompletionOf(&TestRun::OnTestStarted));
        });
    } else {
        Send([this, testId, block, timeout](MV_Comm& link) {
            link.StartTest(testId, timeout, block, CompletionOf(&TestRun::OnTestStarted));
        });
    }
}

// ---- requests, abort and the retry rule

MV_Comm::Completion TestRun::CompletionOf(Handler handler) {
    return MV_Comm::Completion(epoch_.Stamp(), [this, handler](LinkResult result) {
        if (running_) (this->*handler)(result);
    });
}

void TestRun::Send(std::function<void(MV_Comm&)> request) {
    retryAllowed_ = true;
    lastRequest_ = std::move(request);
    MV_Comm* link = link_();
    if (!link) {
        // The link went without the run being ended first: as "Disconnect COM".
        EndForDisconnect();
        return;
    }
    lastRequest_(*link);
}

bool TestRun::AbortNoticed() {
    if (!abortRequested_) return false;
    EndRun();
    view_.ShowMessage("Testing sequence Aborted", false);
    return true;
}

void TestRun::RequestFailed(LinkResult result, const Failure& failure) {
    MV_Comm* link = link_();
    if (!retryAllowed_ || !link || !lastRequest_) return Fail(result, failure);
    if (failure.lostLogPiece) {
        view_.AddStatusLine("> WARNING: Some log data was lost due to communications issues");
        view_.ScrollStatusToEnd();
        if (currentTest_) currentTest_->AddLogLine("WARNING: Some log data was lost due to communications issues");
    }
    if (!link->ResetPort()) {
        // The link is no use any more: the run ends as after a used-up
        // repetition, then the link is built again.
        Fail(result, failure);
        view_.RebuildLink();
        return;
    }
    retryAllowed_ = false;
    const std::function<void(MV_Comm&)> repeat = lastRequest_;
    repeat(*link);
}

void TestRun::Fail(LinkResult result, const Failure& failure) {
    const std::string code = std::to_string(static_cast<int32_t>(result));
    view_.AddStatusLine(std::string(">") + failure.text + code);
    view_.ScrollStatusToEnd();
    if (currentTest_) {
        currentTest_->AddLogLine(failure.text + code);
        currentTest_->FinishRunAbnormal(UCTSTest::kAbortedByCommunication);
        currentTest_ = nullptr;
    }
    EndRun();
    view_.ShowMessage(failure.messageText + code, true);
}

// ---- the chain of one test

void TestRun::OnTestStarted(LinkResult result) {
    if (AbortNoticed()) return;
    if (result != LINK_OK) return RequestFailed(result, kStartFailure);
    Send([this](MV_Comm& link) { link.QueryTestResult(resultRecord_.Data(), CompletionOf(&TestRun::OnTestResult)); });
}

void TestRun::OnTestResult(LinkResult result) {
    const int8_t code = resultRecord_.ResultCode();
    if (abortRequested_ && result == LINK_OK && IsPrompt(code)) {
        // The instrument waits for an answer: release it with 0 before the
        // run ends (at the completion of that answer).
        retryAllowed_ = false;
        lastRequest_ = [this](MV_Comm& link) { link.SendOperatorResponse(0, CompletionOf(&TestRun::OnTestStarted)); };
        if (MV_Comm* link = link_()) lastRequest_(*link);
        else EndForDisconnect();
        return;
    }
    if (AbortNoticed()) return;
    if (result != LINK_OK) return RequestFailed(result, kResultFailure);
    if (IsPrompt(code)) {
        answerWaiting_ = false;
        dialogRequestPending_ = false;
        view_.ShowPrompt(code, currentTest_ ? currentTest_->Label() : std::string(), resultRecord_.Text());
        return;
    }
    Send([this](MV_Comm& link) { link.QueryLogSize(&logSize_, CompletionOf(&TestRun::OnLogSize)); });
}

void TestRun::FreeLogBuffer() {
    logBuffer_.reset();
    logLength_ = 0;
    logBytesRead_ = 0;
}

void TestRun::OnLogSize(LinkResult result) {
    if (AbortNoticed()) return;
    if (result != LINK_OK && result != LINK_OK_LOG_OVERFLOW) return RequestFailed(result, kLogSizeFailure);
    logOverflowNoted_ = result == LINK_OK_LOG_OVERFLOW;
    FreeLogBuffer();
    logLength_ = logSize_;
    // Zero-filled, and never empty, so that even a read of 0 bytes has a
    // buffer to point at.
    logBuffer_ = std::make_unique<uint8_t[]>(std::max<uint32_t>(logLength_, 1));
    uint8_t* piece = logBuffer_.get();
    const uint16_t count = std::min(logSize_, kMaxLogPiece);
    Send([this, piece, count](MV_Comm& link) { link.ReadLog(piece, count, CompletionOf(&TestRun::OnLogData)); });
}

void TestRun::OnLogData(LinkResult result) {
    if (AbortNoticed()) return;
    if (result != LINK_OK) return RequestFailed(result, kLogDataFailure);
    const uint16_t piece = std::min(logSize_, kMaxLogPiece);
    const bool last = logSize_ <= kMaxLogPiece;
    logBytesRead_ += piece;
    logSize_ = static_cast<uint16_t>(logSize_ - piece);
    if (!last) {
        uint8_t* next = logBuffer_.get() + logBytesRead_;
        const uint16_t count = std::min(logSize_, kMaxLogPiece);
        Send([this, next, count](MV_Comm& link) { link.ReadLog(next, count, CompletionOf(&TestRun::OnLogData)); });
        return;
    }
    ParseTestLog(logBuffer_.get(), logLength_);
    FreeLogBuffer();
    if (logOverflowNoted_) {
        logOverflowNoted_ = false;
        view_.AddStatusLine("");
        view_.AddStatusLine("> WARNING: Log buffer overflow in TE was detected!");
        view_.AddStatusLine("");
        view_.ScrollStatusToEnd();
        if (currentTest_) {
            currentTest_->AddLogLine("");
            currentTest_->AddLogLine("WARNING: Log buffer overflow in TE was detected!");
            currentTest_->AddLogLine("");
        }
    }
    Send([this](MV_Comm& link) { link.ClearLog(CompletionOf(&TestRun::OnClearLog)); });
}

void TestRun::OnClearLog(LinkResult result) {
    if (AbortNoticed()) return;
    if (result != LINK_OK) return RequestFailed(result, kClearLogFailure);
    if (resultRecord_.ResultCode() == kResultGoOn) {
        // The test goes on: let the instrument continue and ask again.
        Send([this](MV_Comm& link) { link.SendOperatorResponse(0, CompletionOf(&TestRun::OnTestStarted)); });
        return;
    }
    view_.AddStatusLine(currentTest_ ? RunTexts::ResultLine(currentTest_->Number(), resultRecord_) : std::string());
    view_.AddStatusLine("");
    view_.ScrollStatusToEnd();
    if (currentTest_) currentTest_->FinishRun(resultRecord_);
    currentTest_ = nullptr;
    view_.RefreshCounters();
    RunNextTest();
}

// ---- the test log

void TestRun::ParseTestLog(const uint8_t* bytes, size_t length) {
    // Decoded lines go HTML-escaped into the open test's log and as they are
    // into the status list.
    const test_log::Output out{[this](const std::string& line) {
                                   if (currentTest_) currentTest_->AddLogLine(EscapeHtml(line));
                                   view_.AddStatusLine(line);
                               },
                               [this] { view_.ScrollStatusToEnd(); }};
    test_log::ParseTestLog(bytes, length, test_log::HpdPulse{choice_.hpdLowMs, choice_.hpdHighMs}, out);
}

// ---- the operator prompt

void TestRun::QueryTestStatus() {
    if (!running_ || !link_()) return;
    dialogRequestPending_ = true;
    Send([this](MV_Comm& link) { link.QueryTestStatus(&testStatus_, CompletionOf(&TestRun::OnTestStat)); });
}

void TestRun::OnTestStat(LinkResult result) {
    // The dialog's requests do not look at the abort request: the answer's
    // completion does.
    if (result != LINK_OK) return RequestFailed(result, kTestStatFailure);
    dialogRequestPending_ = false;
    view_.PromptStatus(testStatus_);
    if (answerWaiting_) PostAnswer();
}

void TestRun::SelectChannels(int pairIndex) {
    if (!running_ || !link_()) return;
    dialogRequestPending_ = true;
    const auto pair = static_cast<uint8_t>(pairIndex);
    Send([this, pair](MV_Comm& link) { link.SetChannel(pair, CompletionOf(&TestRun::OnChannelSelect)); });
}

void TestRun::OnChannelSelect(LinkResult result) {
    if (result != LINK_OK) return RequestFailed(result, kChannelFailure);
    dialogRequestPending_ = false;
    // A pair chosen while this request was out goes out now, before the answer.
    view_.PromptChannelDone();
    if (answerWaiting_ && !dialogRequestPending_) PostAnswer();
}

void TestRun::OperatorAnswered(int answer) {
    if (!running_) return;
    operatorAnswer_ = answer;
    answerWaiting_ = true;
    if (!dialogRequestPending_) PostAnswer();
}

void TestRun::PostAnswer() {
    answerWaiting_ = false;
    view_.PostAnswer(operatorAnswer_);
}

void TestRun::SendAnswer(int answer) {
    if (!running_ || !link_()) return;
    operatorAnswer_ = answer;
    const auto value = static_cast<uint8_t>(answer);
    Send(
        [this, value](MV_Comm& link) { link.SendOperatorResponse(value, CompletionOf(&TestRun::OnOperatorResponse)); });
}

void TestRun::OnOperatorResponse(LinkResult result) {
    if (AbortNoticed()) return;
    if (result != LINK_OK) return RequestFailed(result, kAnswerFailure);
    Send([this](MV_Comm& link) { link.QueryTestResult(resultRecord_.Data(), CompletionOf(&TestRun::OnTestResult)); });
}

// ---- the end of a run

void TestRun::EndForDisconnect() {
    if (!running_) return;
    EndRun();
    view_.ShowMessage("Testing sequence Aborted", false);
}

void TestRun::End() {
    if (running_) EndRun();
}

void TestRun::Abandon() {
    epoch_.Advance();
    running_ = false;
    currentTest_ = nullptr;
    lastRequest_ = nullptr;
    FreeLogBuffer();
}

void TestRun::EndRun() {
    // Completions of this run that are still on their way are dropped: the
    // link copies nothing into the log buffer freed below.
    epoch_.Advance();
    lastRequest_ = nullptr;
    if (currentTest_) {
        currentTest_->FinishRunAbnormal(UCTSTest::kAbortedByOperator);
        currentTest_ = nullptr;
    }
    FreeLogBuffer();
    logOverflowNoted_ = false;
    answerWaiting_ = false;
    dialogRequestPending_ = false;
    running_ = false;
    view_.Ended();
}
