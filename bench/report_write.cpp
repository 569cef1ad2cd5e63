// Benchmark: the time to write the HTML report of a run of all 65 tests with
// 1 MiB of decoded log lines (the writer filled as "Save Report ..." fills
// it, the text rendered and written to a file with its atomic replacement),
// and the report's size. Prints figures against the target; it is not a
// test. The browser check (cts_report_browser_tests) prints the load time of
// the same report in the browser.
//
//   build/<dir>/bin/report_write [repetitions]

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cts/report/HtmSupport.h"
#include "platform/AtomicFile.h"
#include "platform/Windows1252.h"
#include "support/BigReport.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kTargetMs = 200.0;

size_t WriteReport(const std::vector<std::unique_ptr<UCTSTest>>& records, const std::filesystem::path& path) {
    HtmSupport report(QStringLiteral("DisplayPort Source Compliance Test Report"));
    report.SetTitle(QStringLiteral("Bench DUT Compliance Test Report"));
    report.AddIdentification({
        .teFirmwareVersion = QStringLiteral("3.4.1"),
        .guiVersion = QStringLiteral("1.0.0"),
        .teDriver = QStringLiteral("R2"),
        .teSerial = QStringLiteral("SN-0042"),
        .teModel = QStringLiteral("Reference sink"),
        .dutDriver = QStringLiteral("31.0.15"),
        .dutSerial = QStringLiteral("0001"),
        .dutModel = QStringLiteral("Source"),
        .dutDeviceName = QStringLiteral("Bench DUT"),
    });
    report.AddBodyText(QStringLiteral("Report created using the Merovan Vardeko Software 1.0.0"));
    report.AddBodyText(QStringLiteral("<br>"));
    report.AddBodyText(QStringLiteral("Report generated 2026-12-10, 14:30.00"));
    for (const auto& record : records) {
        report.AddTest(platform::FromWindows1252(record->GetLogText()), platform::FromWindows1252(record->Label()),
                       record->Skips(), record->Timeouts(), record->Fails(), record->Passes());
    }
    const std::string text = report.WriteToText();
    if (!platform::WriteFileAtomically(path, text)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
    return text.size();
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    const std::filesystem::path path = QDir(dir.path()).filePath(QStringLiteral("run.HTM")).toStdString();

    const auto records = report_fixture::BigRun();
    size_t logBytes = 0;
    for (const auto& record : records) logBytes += record->GetLogText().size();

    std::vector<double> times;
    size_t size = 0;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = Clock::now();
        size = WriteReport(records, path);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("report_write: %zu tests, %.2f MiB of log lines, %d repetitions\n", records.size(),
                static_cast<double>(logBytes) / (1024.0 * 1024.0), repetitions);
    std::printf("  report size    %zu bytes (%.2f MiB)\n", size, static_cast<double>(size) / (1024.0 * 1024.0));
    std::printf("  write time     median %.1f ms, best %.1f ms, worst %.1f ms (target < %.0f ms): %s\n", median,
                times.front(), times.back(), kTargetMs, median < kTargetMs ? "met" : "MISSED");
    return 0;
}
