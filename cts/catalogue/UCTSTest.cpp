#include "cts/catalogue/UCTSTest.h"

#include <cstdio>
#include <ctime>

#include "cts/report/HtmlText.h"
#include "platform/Clock.h"

RunClock RunClock::System() {
    return RunClock{platform::TickCountMs, [] {
                        const std::time_t now = std::time(nullptr);
                        std::tm t{};
                        ::localtime_r(&now, &t);
                        return LocalTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
                    }};
}

UCTSTest::UCTSTest(int32_t testId, std::string label, int32_t number, RunClock clock)
    : testId_(testId), number_(number), label_(std::move(label)), clock_(std::move(clock)) {}

int32_t UCTSTest::StartRun() {
    if (running_) return testId_;
    log_.push_back("<b>Test " + std::to_string(number_) + "; \"" + label_ + "\" - Run " + std::to_string(runs_ + 1) +
                   "</b>");
    const RunClock::LocalTime t = clock_.localTime();
    char started[96];
    std::snprintf(started, sizeof started, "Started %.4i-%.2i-%.2i, %.2i:%.2i.%.2i", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    log_.emplace_back(started);
    running_ = true;
    platform::BeginTimerResolution();
    startTime_ = clock_.tickMs();
    return testId_;
}

int32_t UCTSTest::StartRunWithHeader(std::string_view header) {
    const int32_t id = StartRun();
    while (!header.empty()) {
        const size_t end = header.find_first_of("\r\n");
        AddLogLine(header.substr(0, end));
        if (end == std::string_view::npos) break;
        const size_t next =
            (header[end] == '\r' && end + 1 < header.size() && header[end + 1] == '\n') ? end + 2 : end + 1;
        header.remove_prefix(next);
    }
    return id;
}

void UCTSTest::CloseRun() {
    platform::EndTimerResolution();
    running_ = false;
}

void UCTSTest::FinishRun(TestResultRecord result) {
    ++runs_;
    CloseRun();
    switch (result.ResultCode()) {
        case kResultFailed:
            ++fails_;
            log_.push_back("<b>Test FAILED, step " + std::to_string(result.Step()) + ", substep " +
                           std::to_string(result.Substep()) + ": " + EscapeHtml(result.Text()) + ".</b>");
            break;
        case kResultPassed:
            ++passes_;
            log_.emplace_back("<b>Test PASSED</b>");
            break;
        case kResultSkipped:
            ++skips_;
            log_.push_back("<b>Test SKIPPED: " + EscapeHtml(result.Text()) + "</b>");
            break;
        case kResultTimedOut:
            ++timeouts_;
            log_.emplace_back("<b>Test TIMEOUT</b>");
            break;
        default:
            log_.emplace_back();
            break;
    }
    log_.emplace_back();
    log_.emplace_back();
}

void UCTSTest::FinishRunAbnormal(int32_t kind) {
    const uint32_t elapsed = clock_.tickMs() - startTime_;  // modulo 2^32: right across the clock's wrap
    CloseRun();
    if (kind == kAbortedByCommunication) {
        log_.emplace_back("Unknown: Communications issues caused this test to abort.");
    } else if (kind == kAbortedByOperator) {
        log_.push_back("Unknown: Test was manually aborted after " + std::to_string(static_cast<int32_t>(elapsed)) +
                       "ms");
    }
    log_.emplace_back();
    log_.emplace_back();
}

void UCTSTest::AddLogLine(std::string_view line) {
    if (running_) log_.emplace_back(line);
}

std::string UCTSTest::GetLogText() const {
    std::string text;
    for (const std::string& line : log_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::string UCTSTest::MakeLabel(int32_t number, std::string_view name) {
    return std::to_string(number) + " - " + std::string(name);
}
