#pragma once
// TestRun: Vardeko's run engine without a window. From the run's choice
// (RunChoice) it makes or reselects a test record per selected test, sends
// the colorimetry list and the video time-stamp configuration when a selected
// test needs them, then runs every selected test once per iteration, each as
// a chain of link requests:
//
//   start test (from the second test on after the delay between tests)
//   -> test result (a prompt goes to the operator, whose answer is sent and
//      the result asked again) -> log size -> log pieces of at most 200 bytes
//   -> the decoded log into the test's log and the status list -> clear log
//   -> the result line, the record closed, the next test
//
// A result code 5 collects the log and lets the test go on (the answer 0,
// then the result again). A request that fails is repeated once after the
// serial port was closed and reopened; a second failure, or a reopening that
// fails (the link is then built again), ends the run with the request's
// failure text. "Abort" ends the run at the next completion (an instrument
// that waits for a kind-4 answer gets 0 first).
//
// Every completion carries a ticket of the run's epoch, which moves on when
// the run ends: a reply that comes after the end is dropped by the link,
// which then copies nothing into the run's buffers. Each completion issues at
// most one request, so at most one of the run's requests is out at a time;
// the operator dialog's status poll and channel requests are the run's too,
// and the answer waits until none of them is out.
//
// What the operator sees goes through a TestRunView. GUI thread only.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cts/catalogue/TestResultRecord.h"
#include "cts/catalogue/UCTSTest.h"
#include "cts/engine/RunChoice.h"
#include "link/MV_Comm.h"
#include "platform/Epoch.h"

// The window's side of a run.
class TestRunView {
public:
    virtual ~TestRunView() = default;
    // A line for the status list (Windows-1252), and its scroll to the end.
    virtual void AddStatusLine(const std::string& line) = 0;
    virtual void ScrollStatusToEnd() = 0;
    // The test now running (its record): its row is marked.
    virtual void ShowRunningTest(const UCTSTest& test) = 0;
    // The records' counters changed.
    virtual void RefreshCounters() = 0;
    // A message box: the run's end ("Testing Sequence Complete.", "Testing
    // sequence Aborted") or, with `error`, a failure text.
    virtual void ShowMessage(const std::string& text, bool error) = 0;
    // The operator prompt: show it (kind 4 or 6 to 9, the test's label, the
    // record's text), the status poll's reply, the channel request's end, and
    // the operator's answer, ready to be sent (hand it back with SendAnswer).
    virtual void ShowPrompt(int kind, const std::string& testLabel, const std::string& message) = 0;
    virtual void PromptStatus(uint8_t status) = 0;
    virtual void PromptChannelDone() = 0;
    virtual void PostAnswer(int answer) = 0;
    // The run has ended (the prompt, if shown, is to be closed unanswered).
    virtual void Ended() = 0;
    // The port could not be reopened: the link is to be built again.
    virtual void RebuildLink() = 0;
};

class TestRun {
public:
    // The records are the window's list (it owns them; "Clear Results" and
    // the report use them); `link` gives the window's link at the time of
    // each request, or nullptr while there is none.
    TestRun(std::vector<std::unique_ptr<UCTSTest>>& records, std::function<MV_Comm*()> link, TestRunView& view);
    TestRun(const TestRun&) = delete;
    TestRun& operator=(const TestRun&) = delete;

    // ---- before the run: the click's choice, and the window's word about "Run Tests"
    // The choice of the latest click of "Run Tests"; the start is wanted.
    void Choose(RunChoice choice);
    const RunChoice& Choice() const { return choice_; }
    // The window enabled or disabled "Run Tests" (a click on the list enables
    // it). Enabled before the run is under way, it undoes the start: run
    // preparation then stops without a word.
    void RunTestsEnabled(bool enabled);
    bool StartUndone() const { return startUndone_; }

    // ---- the run
    // Run preparation with the chosen run: the records, the iterations, the
    // colorimetry list and time-stamp configuration, then the first test.
    void Start();
    bool Running() const { return running_; }
    // "Abort": the next completion (or the sequencer) ends the run.
    void RequestAbort() { abortRequested_ = true; }
    // Ends a running run at once, as "Abort" would at the next completion,
    // with its message ("Disconnect COM" before the link is freed).
    void EndForDisconnect();
    // Ends a running run at once without a message (the window is closing, or
    // the operator confirmed closing it): the open test counts as aborted.
    void End();
    // The window goes: the run is dropped without a word to the view.
    void Abandon();
    // The ticket of the run now: a post of the window for this run (the
    // prompt, the answer) does nothing once it is no longer current.
    platform::Epoch::Ticket Stamp() const { return epoch_.Stamp(); }

    const UCTSTest* CurrentTest() const { return currentTest_; }

    // ---- the operator prompt (the dialog's requests and its answer)
    void QueryTestStatus();
    void SelectChannels(int pairIndex);
    // The operator closed the prompt with an answer (1 "Pass", 0 otherwise):
    // it is posted now, or once the dialog's request that is out has ended.
    void OperatorAnswered(int answer);
    // Sends the answer (from the window's post).
    void SendAnswer(int answer);

    // Decodes a downloaded log into the open test's log (HTML-escaped) and the status list.
    void ParseTestLog(const uint8_t* bytes, size_t length);

    // How a failed request of the run is named, and what precedes its repetition.
    struct Failure {
        const char* text;         // status list (after ">") and the test's log
        const char* messageText;  // the message box
        bool lostLogPiece;        // warn that a log piece was lost before the port reset
    };

private:
    using Handler = void (TestRun::*)(LinkResult);
    MV_Comm::Completion CompletionOf(Handler handler);
    void Send(std::function<void(MV_Comm&)> request);
    bool AbortNoticed();
    void RequestFailed(LinkResult result, const Failure& failure);
    void Fail(LinkResult result, const Failure& failure);
    void EndRun();
    void StartFailed(LinkResult result);
    void OnColorimetrySent(LinkResult result);
    void OnTsgConfigSent(LinkResult result);
    void RunNextTest();
    void OnTestStarted(LinkResult result);
    void OnTestResult(LinkResult result);
    void OnLogSize(LinkResult result);
    void OnLogData(LinkResult result);
    void OnClearLog(LinkResult result);
    void OnOperatorResponse(LinkResult result);
    void OnTestStat(LinkResult result);
    void OnChannelSelect(LinkResult result);
    void PostAnswer();
    void FreeLogBuffer();

    std::vector<std::unique_ptr<UCTSTest>>& records_;
    std::function<MV_Comm*()> link_;
    TestRunView& view_;

    RunChoice choice_;
    bool startUndone_ = false;
    bool running_ = false;
    bool abortRequested_ = false;
    platform::Epoch epoch_;  // moves on with every run's end: late completions are dropped
    bool retryAllowed_ = false;
    std::function<void(MV_Comm&)> lastRequest_;  // the request last sent, for its one repetition
    int32_t iterationsLeft_ = 0;
    int32_t currentIndex_ = -1;
    UCTSTest* currentTest_ = nullptr;
    TestResultRecord resultRecord_;
    uint16_t logSize_ = 0;  // counts down while the log is read
    uint32_t logLength_ = 0;
    uint32_t logBytesRead_ = 0;
    std::unique_ptr<uint8_t[]> logBuffer_;
    bool logOverflowNoted_ = false;
    bool timeStampNeeded_ = false;
    int operatorAnswer_ = 0;             // the answer of the last prompt, for a repeated send
    bool answerWaiting_ = false;         // the prompt closed while one of its requests was out
    bool dialogRequestPending_ = false;  // a status poll or channel request of the prompt is out
    uint8_t testStatus_ = 0;
};
