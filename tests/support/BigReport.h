#pragma once
// The report of a large run: all 65 catalogue tests, their logs together
// about 1 MiB of decoded log lines (run titles, parameter headers, link
// training and AUX lines with mark-up and entities, result lines). Shared by
// the report benchmark and the browser check.
#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "cts/catalogue/TestCatalogue.h"
#include "cts/catalogue/UCTSTest.h"

namespace report_fixture {

inline constexpr size_t kLogBytes = 1u << 20;

inline RunClock FixedClock() {
    RunClock clock;
    clock.tickMs = [] { return 5000u; };
    clock.localTime = [] { return RunClock::LocalTime{2026, 12, 10, 14, 30, 0}; };
    return clock;
}

// One record per catalogue test, with runs until the logs hold kLogBytes.
inline std::vector<std::unique_ptr<UCTSTest>> BigRun() {
    std::vector<std::unique_ptr<UCTSTest>> records;
    for (const TestGroup& group : TestCatalogue::Groups()) {
        for (int32_t row = 1; row <= group.TestCount(); ++row) {
            const int32_t id = group.TestId(row);
            records.push_back(std::make_unique<UCTSTest>(id, UCTSTest::MakeLabel(row, TestCatalogue::TestName(id)), row,
                                                         FixedClock()));
        }
    }
    const size_t perTest = kLogBytes / records.size();
    for (size_t t = 0; t < records.size(); ++t) {
        UCTSTest& record = *records[t];
        size_t bytes = 0;
        int step = 0;
        while (bytes < perTest) {
            record.StartRunWithHeader("Lane count: 4\r\nLink rate: 2.7 Gbps\r\nHPD low 500 ms, high 500 ms");
            for (int line = 0; line < 40 && bytes < perTest; ++line, ++step) {
                const std::string text = "<b>Step " + std::to_string(step) + "</b>: lane " + std::to_string(step % 4) +
                                         " CR_DONE &amp; SYMBOL_LOCKED, voltage swing " + std::to_string(step % 3) +
                                         ", pre-emphasis " + std::to_string(step % 2) + " &lt;AUX 0x0202=0x77&gt;";
                record.AddLogLine(text);
                bytes += text.size() + 2;
            }
            TestResultRecord result;
            result.Data()[0] = static_cast<uint8_t>(t % 7 == 0 ? kResultFailed : kResultPassed);
            record.FinishRun(result);
        }
    }
    return records;
}

}  // namespace report_fixture
