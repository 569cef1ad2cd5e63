#pragma once
// One test's record: how often it ran and with what outcome, and the HTML
// lines of its test log, all runs one after the other. Created the first time
// the test is part of a run, kept until "Clear Results". GUI thread only.
//
// A run is open between StartRun and FinishRun / FinishRunAbnormal; log lines
// given while no run is open are dropped. Texts are 8-bit Windows-1252.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cts/catalogue/TestResultRecord.h"

// The clocks a record reads: the 32-bit millisecond clock for the length of
// a run, and the local date and time for its start line.
struct RunClock {
    struct LocalTime {
        int year, month, day, hour, minute, second;
    };
    std::function<uint32_t()> tickMs;
    std::function<LocalTime()> localTime;

    static RunClock System();
};

class UCTSTest {
public:
    // The kinds of FinishRunAbnormal.
    static constexpr int32_t kAbortedByOperator = -1;
    static constexpr int32_t kAbortedByCommunication = -2;

    // Counters 0, no run open, empty log, selected.
    UCTSTest(int32_t testId, std::string label, int32_t number, RunClock clock = RunClock::System());

    // Opens a run unless one is open: the title line, the start line, the
    // timer resolution, the start time. Returns the test ID in either case.
    int32_t StartRun();
    // StartRun, then every line of `header` (split at CR, LF or CR LF; a
    // final line break adds no empty line).
    int32_t StartRunWithHeader(std::string_view header);
    // Closes the run with the instrument's result: runs + 1, the outcome's
    // counter and result line (codes outside 0 to 3: an empty line), then
    // two empty lines.
    void FinishRun(TestResultRecord result);
    // Closes the run without a result (kAbortedByOperator, with the elapsed
    // milliseconds, or kAbortedByCommunication); no counter changes.
    void FinishRunAbnormal(int32_t kind);
    void AddLogLine(std::string_view line);
    // All log lines, each followed by CR LF.
    std::string GetLogText() const;

    bool Running() const { return running_; }
    int32_t Runs() const { return runs_; }
    int32_t Passes() const { return passes_; }
    int32_t Fails() const { return fails_; }
    int32_t Skips() const { return skips_; }
    int32_t Timeouts() const { return timeouts_; }
    int32_t TestId() const { return testId_; }
    int32_t Number() const { return number_; }
    const std::string& Label() const { return label_; }
    const std::vector<std::string>& Log() const { return log_; }
    uint32_t StartTime() const { return startTime_; }
    bool Selected() const { return selected_; }
    void SetSelected(bool selected) { selected_ = selected; }

    // The label of a list row: its number, " - " and the test's name.
    static std::string MakeLabel(int32_t number, std::string_view name);
    // The sort order of the list of records: a's test ID minus b's.
    static int32_t CompareTestIds(const UCTSTest& a, const UCTSTest& b) { return a.testId_ - b.testId_; }

private:
    void CloseRun();

    bool running_ = false;
    int32_t runs_ = 0;
    int32_t passes_ = 0;
    int32_t fails_ = 0;
    int32_t skips_ = 0;
    int32_t timeouts_ = 0;
    int32_t testId_;
    int32_t number_;
    std::vector<std::string> log_;
    std::string label_;
    uint32_t startTime_ = 0;
    bool selected_ = true;
    RunClock clock_;
};
