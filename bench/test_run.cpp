// A test run of Vardeko's main window against the simulated instrument
// paced at 115200 baud: ten link layer tests whose logs hold 64 KiB in all.
// Prints the run's wall time beside the time its bytes need on the wire
// (both directions, frames included) plus the tests' own delays (none here),
// target: within 1.1 x; and the longest stall of the GUI thread during the
// run (the time between two ticks of a 10 ms timer), target: none over 50 ms.
//   test_run [log KiB in all]   (default 64)
#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "cts/TCTSMainForm.h"
#include "platform/MessageBox.h"
#include "platform/RegistryIniFile.h"
#include "platform/gui/QtPlatform.h"
#include "sim/InstrumentSim.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTests = 10;
constexpr int kTickMs = 10;
constexpr double kStallTargetMs = 50;
constexpr double kWireTargetRatio = 1.1;
constexpr double kBaud = 115200;
constexpr double kBitsPerByte = 10;
constexpr size_t kFrameOverhead = 2;  // length and checksum bytes
constexpr uint8_t kReadLog = 0x13;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
double WireMs(size_t bytes) { return static_cast<double>(bytes) * 1000.0 * kBitsPerByte / kBaud; }

// The instrument's side: every start puts the test's log in place and a
// passed result.
class LogPerTest : public sim::InstrumentSimExtension {
public:
    LogPerTest(sim::InstrumentSim& sim, sim::Bytes log) : sim_(sim), log_(std::move(log)) {}
    bool OnPayload(const uint8_t* p, size_t n, sim::InstrumentWire&) override {
        if (n >= 3 && p[0] == 0x71 && p[1] == 0x10) sim_.SetLog(log_);
        return false;
    }
    size_t RawBytesWanted() const override { return 0; }
    void OnRawBytes(const uint8_t*, size_t, sim::InstrumentWire&) override {}

private:
    sim::InstrumentSim& sim_;
    sim::Bytes log_;
};

// Text lines of about 60 characters, each ended by NUL, `size` bytes in all.
sim::Bytes TestLog(size_t size) {
    sim::Bytes log;
    int n = 0;
    while (log.size() < size) {
        char line[80];
        const int length = std::snprintf(line, sizeof line, "Step %04d: link training pattern checked, lanes ok", n++);
        log.insert(log.end(), line, line + length);
        log.push_back(0);
    }
    log.resize(size);
    log.back() = 0;
    return log;
}

// The bytes of the reply to a request, frame included.
size_t ReplyBytes(const sim::Bytes& request) {
    const uint8_t code = request.size() > 1 ? request[1] : 0;
    size_t data = 0;
    switch (code) {
        case 0x1C:  // firmware version
        case 0x12:  // log size
            data = 3;
            break;
        case 0x11:  // result record
            data = sim::InstrumentSim::kTestResultBytes;
            break;
        case kReadLog:
            data = request.size() > 2 ? request[2] : 0;
            break;
        default:  // acknowledged
            break;
    }
    return 2 + data + kFrameOverhead;
}

// Serves events until `done` holds (looked at every millisecond) or the
// time is up. A local loop: quitting the application would close its windows.
bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
    QEventLoop loop;
    QTimer check;
    check.setTimerType(Qt::PreciseTimer);
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done()) loop.quit();
    });
    check.start(1);
    QTimer::singleShot(timeoutMs, &loop, [&] { loop.quit(); });
    loop.exec();
    return done();
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int logKiB = argc > 1 ? std::max(1, std::atoi(argv[1])) : 64;
    QTemporaryDir config;
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    platform::InstallQtPlatform();

    sim::InstrumentSim sim;
    sim.SetPacedAll(true);
    sim::Bytes passed(sim::InstrumentSim::kTestResultBytes, 0);
    passed[0] = 1;
    sim.SetTestResultBytes(passed);
    LogPerTest tests(sim, TestLog(static_cast<size_t>(logKiB) * 1024 / kTests));
    sim.SetExtension(&tests);
    if (!sim.Start()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    platform::RegistryIniFile settings(TCTSMainForm::kRegistryKey);
    settings.WriteString(TCTSMainForm::kSection, "Vardeko_COM_Device", sim.SlavePath());

    // The run's end is told by its message box, answered here.
    bool ended = false;
    platform::SetMessageBoxHandler([&](const platform::MessageBoxRequest& box) {
        if (box.text == "Testing Sequence Complete.") ended = true;
        else std::fprintf(stderr, "message: %s\n", box.text.c_str());
        return platform::MsgResult::Ok;
    });

    TCTSMainForm::Dialogs dialogs;
    const auto ownedDialogs = TCTSMainForm::CreateDialogs(dialogs);
    auto form = std::make_unique<TCTSMainForm>();
    form->FormCreate({QStringLiteral("vardeko")});
    form->SetDialogs(dialogs);
    form->show();
    if (!RunUntil([&] { return form->TC_Pages->isVisible(); }, 15000)) {
        std::fprintf(stderr, "not connected to %s\n", sim.SlavePath().c_str());
        return 1;
    }
    for (int row = 0; row < kTests; ++row) form->LV_TestList->topLevelItem(row)->setSelected(true);
    sim.ClearReceived();

    // The GUI thread's ticks during the run.
    std::vector<double> gaps;
    Clock::time_point lastTick = Clock::now();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        gaps.push_back(Ms(now - lastTick));
        lastTick = now;
    });
    const Clock::time_point start = Clock::now();
    lastTick = start;
    tick.start(kTickMs);
    form->BTN_RunTests->click();
    RunUntil([&] { return ended && !form->Running(); }, 600000);
    const double wallMs = Ms(Clock::now() - start);
    tick.stop();
    if (!ended) {
        std::fprintf(stderr, "the run did not end\n");
        return 1;
    }

    size_t wireBytes = 0, logBytes = 0, requests = 0;
    for (const sim::Bytes& request : sim.Received()) {
        wireBytes += request.size() + kFrameOverhead + ReplyBytes(request);
        if (request.size() > 2 && request[1] == kReadLog) logBytes += request[2];
        ++requests;
    }
    size_t passes = 0;
    for (const auto& record : form->TestRecords()) passes += static_cast<size_t>(record->Passes());
    const double wireMs = WireMs(wireBytes);
    const double delaysMs = 0;
    const double ratio = wallMs / (wireMs + delaysMs);
    const double longest = gaps.empty() ? 0 : *std::max_element(gaps.begin(), gaps.end());
    const size_t over =
        static_cast<size_t>(std::count_if(gaps.begin(), gaps.end(), [](double g) { return g > kStallTargetMs; }));

    std::printf("Vardeko test run, simulated instrument paced at %.0f baud\n\n", kBaud);
    std::printf("tests run (passed)             %8d (%zu)\n", kTests, passes);
    std::printf("log bytes read                 %8zu\n", logBytes);
    std::printf("requests                       %8zu\n", requests);
    std::printf("bytes on the wire              %8zu  (both directions, frames included)\n", wireBytes);
    std::printf("wire time                      %8.1f ms\n", wireMs);
    std::printf("tests' own delays              %8.1f ms\n", delaysMs);
    std::printf("wall time of the run           %8.1f ms\n", wallMs);
    std::printf("ratio                          %8.2f\n", ratio);
    std::printf("longest GUI stall              %8.1f ms  (%zu gaps over %.0f ms, %zu ticks)\n", longest, over,
                kStallTargetMs, gaps.size());
    std::printf("target: within %.1f x the wire time plus the delays: %s\n", kWireTargetRatio,
                ratio <= kWireTargetRatio ? "met" : "NOT met");
    std::printf("target: no GUI stall over %.0f ms: %s\n", kStallTargetMs,
                longest <= kStallTargetMs ? "met" : "NOT met");
    form.reset();
    sim.SetExtension(nullptr);
    sim.Stop();
    return 0;
}
