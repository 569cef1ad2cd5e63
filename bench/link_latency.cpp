// Prints the median and 95th percentile round trip of the link's
// firmware-version request against the simulated instrument over a
// pseudo-terminal, beside the raw round trip of the same line (the request
// frame written and the reply frame read back directly), and their ratio;
// how long the port's ReadNow takes on a line with nothing to read (it never
// waits: target, none over 50 ms); and when a firmware-version request to a
// silent instrument ends with "no response" (target: after 500 ms, within
// 1 s).
//   link_latency [round trips]   (default 300)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "link/MV_Comm.h"
#include "platform/GuiCall.h"
#include "platform/SerialPort.h"
#include "sim/InstrumentSim.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
    return v[i];
}

// Firmware-version requests through the link object, `count` times: run
// `before`, issue, then serve GUI-thread calls until the completion has run.
// The times of those that ended with `expected`.
std::vector<double> VersionRequests(const std::string& path, int count, LinkResult expected,
                                    const std::function<void()>& before, int* failures) {
    std::vector<double> times;
    MV_Comm link(MV_Comm::kModeSerial, 0, path);
    uint8_t version[3];
    for (int i = 0; i < count; ++i) {
        if (before) before();
        bool done = false;
        LinkResult result = LINK_INTERNAL_ERROR;
        const auto t0 = Clock::now();
        link.QueryFirmwareVersion(version, [&](LinkResult r) {
            result = r;
            done = true;
        });
        platform::ServeGuiCallsUntil([&] { return done; }, 10000);
        const auto t1 = Clock::now();
        if (done && result == expected) times.push_back(Ms(t1 - t0));
        else ++*failures;
    }
    return times;
}

// The same frame written to the port and the 7-byte reply read back, with
// nothing in between but the port and a wait for readability.
std::vector<double> RawRoundTrips(const std::string& path, int count, int* failures) {
    std::vector<double> times;
    platform::SerialPort port;
    if (!port.Open(path)) {
        *failures += count;
        return times;
    }
    const uint8_t request[] = {0x04, 0x71, 0x1C, 0x6F};
    for (int i = 0; i < count; ++i) {
        const auto t0 = Clock::now();
        size_t got = 0;
        uint8_t buf[64];
        if (port.Write(request, sizeof request) == sizeof request) {
            const auto deadline = t0 + std::chrono::seconds(5);
            while (got < 7 && Clock::now() < deadline) {
                if (port.WaitReadable(100) != platform::SerialPort::Wait::Readable) continue;
                const long r = port.ReadNow(buf + got, sizeof buf - got);
                if (r > 0) got += static_cast<size_t>(r);
            }
        }
        const auto t1 = Clock::now();
        if (got == 7) times.push_back(Ms(t1 - t0));
        else ++*failures;
    }
    return times;
}

// ReadNow on a quiet line, `count` times: each call returns 0 at once.
std::vector<double> EmptyReads(const std::string& path, int count, int* failures) {
    std::vector<double> times;
    platform::SerialPort port;
    if (!port.Open(path)) {
        *failures += count;
        return times;
    }
    uint8_t buf[64];
    for (int i = 0; i < count; ++i) {
        const auto t0 = Clock::now();
        const long r = port.ReadNow(buf, sizeof buf);
        const auto t1 = Clock::now();
        if (r == 0) times.push_back(Ms(t1 - t0));
        else ++*failures;
    }
    return times;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    platform::SetGuiThreadToCurrent();
    sim::InstrumentSim instrument;
    if (!instrument.Start()) {
        std::fprintf(stderr, "link_latency: no pseudo-terminal available\n");
        return 1;
    }
    const std::string path = instrument.SlavePath();
    int linkFailures = 0, rawFailures = 0;
    // Interleave the two in rounds so that both see the same machine load.
    std::vector<double> linkTimes, rawTimes;
    const int rounds = 5;
    for (int r = 0; r < rounds; ++r) {
        const int n = count / rounds + (r < count % rounds ? 1 : 0);
        auto raw = RawRoundTrips(path, n, &rawFailures);
        auto viaLink = VersionRequests(path, n, LINK_OK, {}, &linkFailures);
        rawTimes.insert(rawTimes.end(), raw.begin(), raw.end());
        linkTimes.insert(linkTimes.end(), viaLink.begin(), viaLink.end());
    }
    int readFailures = 0, timeOutFailures = 0;
    const std::vector<double> readTimes = EmptyReads(path, count, &readFailures);
    // Five requests the instrument leaves unanswered: the time to their "no response".
    const std::vector<double> timeOuts = VersionRequests(
        path, 5, LINK_NO_RESPONSE,
        [&] {
            instrument.SetFault(0x1C, {sim::Fault::Silent, 0, 1});
        },
        &timeOutFailures);
    instrument.Stop();

    const double linkMedian = Percentile(linkTimes, 0.5), linkP95 = Percentile(linkTimes, 0.95);
    const double rawMedian = Percentile(rawTimes, 0.5), rawP95 = Percentile(rawTimes, 0.95);
    std::printf("link_latency: %d round trips each over %s\n", count, path.c_str());
    std::printf("  MV_Comm::QueryFirmwareVersion  median %8.3f ms   p95 %8.3f ms   (%zu ok, %d failed)\n", linkMedian,
                linkP95, linkTimes.size(), linkFailures);
    std::printf("  raw frame round trip           median %8.3f ms   p95 %8.3f ms   (%zu ok, %d failed)\n", rawMedian,
                rawP95, rawTimes.size(), rawFailures);
    std::printf("  ratio link / raw               median %8.2f      p95 %8.2f\n",
                rawMedian > 0 ? linkMedian / rawMedian : 0.0, rawP95 > 0 ? linkP95 / rawP95 : 0.0);
    const double readMedian = Percentile(readTimes, 0.5), readMax = Percentile(readTimes, 1.0);
    std::printf(
        "  ReadNow, nothing to read       median %8.3f ms   max %8.3f ms   (%zu ok, %d failed; target: max"
        " under 50 ms)\n",
        readMedian, readMax, readTimes.size(), readFailures);
    std::printf(
        "  no reply, until no response    min    %8.1f ms   max %8.1f ms   (%zu ok, %d failed; target: after"
        " 500 ms, within 1000 ms)\n",
        Percentile(timeOuts, 0.0), Percentile(timeOuts, 1.0), timeOuts.size(), timeOutFailures);
    return linkFailures || rawFailures || readFailures || timeOutFailures ? 1 : 0;
}
