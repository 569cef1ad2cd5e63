// The sink monitor's transport against the simulated sink on a line paced
// at 115200 baud, with a Qt event loop and a message list standing in for
// the main window:
//  1. the poller querying HDCP, MSA and SDP every 500 ms while the sink
//     floods debug texts (debug switch on, every text shown in the list as
//     the main window shows it): the poller's cycle, and the longest time
//     between two ticks of a 10 ms timer on the GUI thread (target: no
//     stall over 50 ms); once on a quiet machine and once more with busy
//     loops beside it, one spinning thread each;
//  2. an E-EDID read of 4 blocks on the quiet line (poller stopped, no
//     debug texts), beside the time its bytes need on the wire (target:
//     within 1.2 x);
//  3. after a DPCD read that got no reply (its 2 s time-out), how long the
//     next command holds the calling thread: the link status (another code,
//     target: within 50 ms of its plain round trip) and a DPCD read (the
//     same code, sent after one resynchronising query: within 50 ms of two
//     round trips);
//  4. the poller with the sink silent on the HDCP query: the time between
//     two HDCP hand-overs (target: 500 ms sleep plus the 2000 ms time-out
//     plus one resynchronising round trip, within 2.5 to 2.7 s) and the
//     longest a DPCD read of the GUI thread takes meanwhile (target: at
//     most one poller transaction and its own round trip, 2.6 s).
//   sink_poll [--busy N] [seconds of polling] [ms between debug texts]
//   (default 12 busy loops, 10 s and 4 ms; --busy 0 runs the quiet machine only)
#include <sys/resource.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/GuiCall.h"
#include "platform/gui/MessageList.h"
#include "platform/gui/QtPlatform.h"
#include "sim/SinkSim.h"
#include "sinkmonitor/transport/dpprotocol.h"
#include "sinkmonitor/transport/dpscheduler.h"
#include "sinkmonitor/transport/serialport.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTickMs = 10;
constexpr double kStallTargetMs = 50;
constexpr double kEdidTargetRatio = 1.2;
constexpr unsigned kFloodIntervalMs = 4;  // 250 debug texts a second, about 40 % of the line
constexpr int kDefaultSeconds = 10;
constexpr int kDefaultBusyLoops = 12;
constexpr int kSdpPerSecond = 3;  // captured packets queued in the sink each second
constexpr int kEdidBlocks = 4;
constexpr int kEdidRepetitions = 7;
// A frame is [length][type][payload][checksum].
constexpr size_t kFrameOverhead = 3;
constexpr size_t kEdidCommandPayload = 4;  // code, segment, offset, count
constexpr size_t kEdidResponsePayload = 1 + kEdidBlockBytes;
constexpr int kAfterTimeOutRepetitions = 5;
constexpr double kAfterTimeOutSlackMs = 50;
constexpr int kGuiCommandEveryMs = 700;
constexpr double kSilentHdcpPeriodMs = 2500;  // 500 ms sleep and the 2000 ms time-out
constexpr double kSilentHdcpReadBoundMs = 2600;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// CPU time the calling thread has used, in ms.
double ThreadCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double WireMs(size_t bytes) { return bytes * 1000.0 * sim::SinkSim::kBitsPerByte / sim::SinkSim::kBaud; }

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
    return v[i];
}

// Runs the event loop for ms milliseconds.
void RunEventLoop(int ms) {
    QTimer::singleShot(ms, qApp, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
}

std::array<uint8_t, 128> Block(int n) {
    std::array<uint8_t, 128> b = sim::SinkSim::DefaultEdidBlock();
    if (n == 0) return b;
    b.fill(static_cast<uint8_t>(n));
    b[0] = 0x02;  // a CTA-861 extension tag
    uint8_t sum = 0;
    for (size_t i = 0; i < 127; ++i) sum = static_cast<uint8_t>(sum + b[i]);
    b[127] = static_cast<uint8_t>(-sum);
    return b;
}

// Threads that spin until they are destroyed: a machine busy with other work.
class BusyLoops {
public:
    explicit BusyLoops(int n) {
        for (int i = 0; i < n; ++i)
            threads_.emplace_back([this] {
                volatile unsigned long spin = 0;
                while (!stop_.load(std::memory_order_relaxed)) spin = spin + 1;
            });
    }
    ~BusyLoops() {
        stop_ = true;
        for (auto& t : threads_) t.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

struct PollingFigures {
    double longestStall = 0;
    bool met = false;
};

// Phase 1: the poller and the debug-text flood for `seconds`; prints its
// figures.
PollingFigures Poll(sim::SinkSim& sink, dpprotocol_t& proto, const size_t& lines, int seconds, unsigned floodMs,
                    int busyLoops) {
    const size_t linesBefore = lines;
    std::vector<Clock::time_point> cycles;  // each HDCP hand-over starts a cycle's results
    size_t msaHandOvers = 0, sdpHandOvers = 0;
    auto poller = std::make_unique<dpscheduler_t>(&proto);
    poller->set_on_hdcp([&](dpscheduler_t&) { cycles.push_back(Clock::now()); });
    poller->set_on_msa([&](dpscheduler_t&) { ++msaHandOvers; });
    poller->set_on_sdp([&](dpscheduler_t&) { ++sdpHandOvers; });
    poller->set_hdcp_polling(true);
    poller->set_msa_polling(true);
    poller->set_sdp_polling(true);
    cycles.clear();  // switching on hands nothing over, but be sure

    QTimer sdpSource;
    QObject::connect(&sdpSource, &QTimer::timeout, [&] {
        for (int i = 0; i < kSdpPerSecond; ++i) sink.QueueSdp(0x84, 0, 0x01, {0x01, 0x02, 0x0A});
    });
    sdpSource.start(1000);

    std::vector<double> gaps;
    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (sinceTick.isValid()) gaps.push_back(static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });
    auto busy = std::make_unique<BusyLoops>(busyLoops);
    sink.SetDebugFlood(floodMs);
    tick.start(kTickMs);
    const double cpuBefore = ThreadCpuMs();
    RunEventLoop(seconds * 1000);
    const double guiCpuMs = ThreadCpuMs() - cpuBefore;
    tick.stop();
    sdpSource.stop();
    sink.SetDebugFlood(0);
    busy.reset();
    const auto stopStart = Clock::now();
    poller.reset();
    const double stopMs = Ms(Clock::now() - stopStart);
    const size_t linesDuringPolling = lines - linesBefore;
    RunEventLoop(200);  // the last debug texts leave the line and are shown

    std::vector<double> periods;
    for (size_t i = 1; i < cycles.size(); ++i) periods.push_back(Ms(cycles[i] - cycles[i - 1]));
    const double longestStall = gaps.empty() ? 0 : *std::max_element(gaps.begin(), gaps.end());
    const size_t overTarget =
        static_cast<size_t>(std::count_if(gaps.begin(), gaps.end(), [](double g) { return g > kStallTargetMs; }));

    std::printf("polling HDCP, MSA and SDP for %d s, a debug text every %u ms shown in the list, %d busy loops\n",
                seconds, floodMs, busyLoops);
    std::printf("poller cycles                  %8zu  (MSA hand-overs %zu, SDP hand-overs %zu)\n", cycles.size(),
                msaHandOvers, sdpHandOvers);
    std::printf("cycle period median            %8.1f ms  (500 ms sleep + the queries)\n", Percentile(periods, 0.5));
    std::printf("cycle period 95th percentile   %8.1f ms\n", Percentile(periods, 0.95));
    std::printf("cycle period longest           %8.1f ms\n",
                periods.empty() ? 0.0 : *std::max_element(periods.begin(), periods.end()));
    std::printf("debug texts shown              %8zu\n", linesDuringPolling);
    std::printf("GUI thread CPU                 %8.1f %%  of the polling time\n", guiCpuMs / (seconds * 10.0));
    std::printf("GUI timer ticks (%d ms)        %8zu\n", kTickMs, gaps.size());
    std::printf("tick gap median                %8.1f ms\n", Percentile(gaps, 0.5));
    std::printf("tick gap 99th percentile       %8.1f ms\n", Percentile(gaps, 0.99));
    std::printf("longest GUI stall              %8.1f ms  (%zu gaps over %.0f ms)\n", longestStall, overTarget,
                kStallTargetMs);
    std::printf("poller stop                    %8.1f ms\n", stopMs);
    const bool met = !gaps.empty() && longestStall <= kStallTargetMs && !cycles.empty();
    std::printf("target: no GUI stall over %.0f ms: %s\n\n", kStallTargetMs, met ? "met" : "NOT met");
    return {longestStall, met};
}

// Phase 3: the command after a time-out, against its plain round trip.
struct AfterTimeOut {
    const char* name;
    std::function<bool()> command;
    int roundTrips;  // of a plain command, that it may take
};

bool AfterTimeOuts(sim::SinkSim& sink, dpprotocol_t& proto) {
    linkstatus_t status;
    uint8_t value = 0;
    const AfterTimeOut cases[] = {
        {"link status (another code)", [&] { return proto.get_link_status(status); }, 1},
        {"DPCD read (the same code)", [&] { return proto.dpcd_read(0x0002, value); }, 2},
    };
    std::vector<double> plain;
    for (int r = 0; r < kAfterTimeOutRepetitions; ++r) {
        const auto t0 = Clock::now();
        if (proto.get_link_status(status)) plain.push_back(Ms(Clock::now() - t0));
    }
    const double roundTrip = Percentile(plain, 0.5);
    std::printf("after a DPCD read that got no reply (2000 ms time-out), the next command (%d runs each)\n",
                kAfterTimeOutRepetitions);
    std::printf("plain round trip, link status  %8.1f ms\n", roundTrip);
    bool met = !plain.empty();
    for (const auto& c : cases) {
        std::vector<double> after;
        int failures = 0;
        for (int r = 0; r < kAfterTimeOutRepetitions; ++r) {
            sink.InjectFault(sim::SinkFaultPlan::Of(sim::SinkFault::Silence, 0x1A));
            uint8_t lost = 0;
            proto.dpcd_read(0x0001, lost);
            const auto t0 = Clock::now();
            const bool ok = c.command();
            const double took = Ms(Clock::now() - t0);
            if (ok) after.push_back(took);
            else ++failures;
        }
        const double longest = after.empty() ? 0.0 : *std::max_element(after.begin(), after.end());
        const double bound = c.roundTrips * roundTrip + kAfterTimeOutSlackMs;
        const bool caseMet = failures == 0 && !after.empty() && longest <= bound;
        std::printf("%-30s %8.1f ms median, %.1f ms longest, %d failed; target: within %.0f ms: %s\n", c.name,
                    Percentile(after, 0.5), longest, failures, bound, caseMet ? "met" : "NOT met");
        met = met && caseMet;
    }
    std::printf("\n");
    return met;
}

// Phase 4: the poller's pace with the sink silent on the HDCP query, and a
// GUI command meanwhile.
bool SilentHdcp(sim::SinkSim& sink, dpprotocol_t& proto, int seconds) {
    sim::SinkFaultPlan silent = sim::SinkFaultPlan::Of(sim::SinkFault::Silence, 0x22);
    silent.times = 1 << 20;
    sink.InjectFault(silent);
    std::vector<Clock::time_point> handOvers;
    auto poller = std::make_unique<dpscheduler_t>(&proto);
    poller->set_on_hdcp([&](dpscheduler_t&) { handOvers.push_back(Clock::now()); });
    poller->set_hdcp_polling(true);
    std::vector<double> reads;
    int failures = 0;
    QTimer gui;
    QObject::connect(&gui, &QTimer::timeout, [&] {
        uint8_t v = 0;
        const auto t0 = Clock::now();
        const bool ok = proto.dpcd_read(0x0002, v) && v == 0x84;
        if (ok) reads.push_back(Ms(Clock::now() - t0));
        else ++failures;
    });
    gui.start(kGuiCommandEveryMs);
    RunEventLoop(seconds * 1000);
    gui.stop();
    poller.reset();
    sink.ClearFaults();
    std::vector<double> periods;
    for (size_t i = 1; i < handOvers.size(); ++i) periods.push_back(Ms(handOvers[i] - handOvers[i - 1]));
    const double median = Percentile(periods, 0.5);
    const double longest = reads.empty() ? 0.0 : *std::max_element(reads.begin(), reads.end());
    std::printf("the sink silent on the HDCP query for %d s, a DPCD read of the GUI thread every %d ms\n", seconds,
                kGuiCommandEveryMs);
    std::printf("HDCP hand-over period median   %8.1f ms  (%zu hand-overs)\n", median, handOvers.size());
    std::printf("HDCP hand-over period longest  %8.1f ms\n",
                periods.empty() ? 0.0 : *std::max_element(periods.begin(), periods.end()));
    std::printf("GUI DPCD read median           %8.1f ms  (%zu reads, %d failed)\n", Percentile(reads, 0.5),
                reads.size(), failures);
    std::printf("GUI DPCD read longest          %8.1f ms\n", longest);
    const bool paceMet = !periods.empty() && median >= kSilentHdcpPeriodMs && median <= kSilentHdcpPeriodMs + 200;
    const bool readMet = failures == 0 && !reads.empty() && longest <= kSilentHdcpReadBoundMs;
    std::printf("target: period within %.0f to %.0f ms: %s; reads within %.0f ms: %s\n\n", kSilentHdcpPeriodMs,
                kSilentHdcpPeriodMs + 200, paceMet ? "met" : "NOT met", kSilentHdcpReadBoundMs,
                readMet ? "met" : "NOT met");
    return paceMet && readMet;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int busyLoops = kDefaultBusyLoops;
    std::vector<const char*> numbers;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--busy" && i + 1 < argc) busyLoops = std::max(0, std::atoi(argv[++i]));
        else numbers.push_back(argv[i]);
    }
    const int seconds = numbers.size() > 0 ? std::max(1, std::atoi(numbers[0])) : kDefaultSeconds;
    const unsigned floodMs =
        numbers.size() > 1 ? static_cast<unsigned>(std::max(1, std::atoi(numbers[1]))) : kFloodIntervalMs;
    QApplication app(argc, argv);
    platform::InstallQtPlatform();

    sim::SinkSim sink;
    sink.SetPaced(true);
    for (int n = 0; n < kEdidBlocks; ++n) sink.SetEdidBlock(static_cast<size_t>(n), Block(n));
    if (!sink.Start()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    serialport_t port(sink.SlavePath(), sink.SlavePath());
    if (!port.open()) {
        std::fprintf(stderr, "cannot open %s\n", sink.SlavePath().c_str());
        return 1;
    }

    // The window's message list, fed as the window feeds it the sink's debug
    // texts: each arrives in a turn of its own and is painted with the turn.
    platform::MessageList list;
    list.resize(600, 400);
    list.show();
    size_t lines = 0;
    dpprotocol_t* protocol = nullptr;
    dpprotocol_t proto(nullptr, [&] {
        QMetaObject::invokeMethod(
            &list, [&] { protocol->handle_debug_text(); }, Qt::QueuedConnection);
    });
    protocol = &proto;
    proto.set_debug(true);
    proto.set_message_callback([&](const std::string& text) {
        platform::CallOnGuiThread([&] {
            list.ShowLine(QString::fromStdString(text));
            ++lines;
        });
    });
    if (!proto.open(&port)) {
        std::fprintf(stderr, "the frame layer did not start\n");
        return 1;
    }

    // ---- 1. polling under a debug-text flood, quiet and busy machine
    std::printf("sink monitor transport, simulated sink paced at %u baud\n\n", sim::SinkSim::kBaud);
    const PollingFigures quiet = Poll(sink, proto, lines, seconds, floodMs, 0);
    if (busyLoops > 0) {
        const PollingFigures busy = Poll(sink, proto, lines, seconds, floodMs, busyLoops);
        std::printf("longest GUI stall: %.1f ms on a quiet machine, %.1f ms with %d busy loops: %s\n\n",
                    quiet.longestStall, busy.longestStall, busyLoops, quiet.met && busy.met ? "met" : "NOT met");
    }

    // ---- 2. E-EDID read of 4 blocks on the quiet line
    std::vector<double> reads;
    int failures = 0;
    for (int r = 0; r < kEdidRepetitions; ++r) {
        std::array<edidblock_t, kEdidBlocks> got{};
        const auto t0 = Clock::now();
        bool ok = true;
        for (int n = 0; n < kEdidBlocks && ok; ++n)
            ok = proto.edid_read_block(static_cast<uint8_t>(n / 2), static_cast<uint8_t>((n % 2) * 0x80), got[n]);
        const auto t1 = Clock::now();
        for (int n = 0; n < kEdidBlocks && ok; ++n) ok = std::equal(got[n].begin(), got[n].end(), Block(n).begin());
        if (ok) reads.push_back(Ms(t1 - t0));
        else ++failures;
    }
    const size_t edidBytes = kEdidBlocks * (kEdidCommandPayload + kEdidResponsePayload + 2 * kFrameOverhead);
    const double wire = WireMs(edidBytes);
    const double median = Percentile(reads, 0.5);
    std::printf("E-EDID read of %d blocks, poller stopped, no debug texts (%d runs, %d failed)\n", kEdidBlocks,
                kEdidRepetitions, failures);
    std::printf("read time median               %8.1f ms\n", median);
    std::printf("read time longest              %8.1f ms\n",
                reads.empty() ? 0.0 : *std::max_element(reads.begin(), reads.end()));
    std::printf("wire time                      %8.1f ms  (%zu bytes both ways)\n", wire, edidBytes);
    std::printf("ratio read / wire              %8.3f\n", wire > 0 ? median / wire : 0.0);
    const bool edidMet = failures == 0 && !reads.empty() && median <= kEdidTargetRatio * wire;
    std::printf("target: within %.1f x the wire time: %s\n\n", kEdidTargetRatio, edidMet ? "met" : "NOT met");

    // ---- 3. the command after a time-out
    AfterTimeOuts(sink, proto);

    // ---- 4. the poller's pace with the sink silent on the HDCP query
    SilentHdcp(sink, proto, seconds);

    proto.close();
    port.close();
    sink.Stop();
    return 0;
}
