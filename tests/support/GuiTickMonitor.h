#pragma once
// Whether the GUI thread keeps serving its events: a 10 ms timer on it
// records when it fires, and a test asks for the longest stretch without a
// tick inside given spans of time (for example while the simulator holds a
// reply back). Stretches in which the test itself held the thread on purpose
// (its own action, run through Own) are left out, so that only the program's
// own waits count.
//
// A gap is measured only inside the spans the test names: setting up and
// tearing down windows never counts, and a frozen GUI thread shows as a gap
// as long as the span itself (the simulator releases a held reply on its own
// after a limit, so the span ends even when the GUI never gets to it).
//
// A loaded machine stalls every thread now and then. A control thread ticks
// beside the GUI thread; time in which it was stalled too is the machine's,
// not the program's, and is left out of the gaps as well.
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace test_support {

class GuiTickMonitor {
public:
    using Clock = std::chrono::steady_clock;
    struct Span {
        Clock::time_point from, to;
    };
    static constexpr int kIntervalMs = 10;

    GuiTickMonitor() {
        timer_.setInterval(kIntervalMs);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { ticks_.push_back(Clock::now()); });
        timer_.start();
        control_ = std::thread([this] {
            while (!stop_.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(kIntervalMs));
                std::lock_guard lk(controlMu_);
                controlTicks_.push_back(Clock::now());
            }
        });
    }
    ~GuiTickMonitor() {
        stop_.store(true);
        control_.join();
    }
    GuiTickMonitor(const GuiTickMonitor&) = delete;
    GuiTickMonitor& operator=(const GuiTickMonitor&) = delete;

    // Runs the test's own action; its time is no gap of the program's.
    template <class Fn>
    void Own(Fn&& fn) {
        const Clock::time_point from = Clock::now();
        std::forward<Fn>(fn)();
        own_.push_back({from, Clock::now()});
    }

    // Ticks seen since `from`.
    size_t TicksSince(Clock::time_point from) const {
        return static_cast<size_t>(ticks_.end() - std::upper_bound(ticks_.begin(), ticks_.end(), from));
    }

    // The longest stretch inside the span with no tick, less the time of the
    // test's own actions and of the machine's stalls in it.
    Clock::duration LongestGap(const Span& span) const {
        std::vector<Clock::time_point> points{span.from};
        for (const Clock::time_point& t : ticks_)
            if (t > span.from && t < span.to) points.push_back(t);
        points.push_back(span.to);
        const std::vector<Span> excluded = Excluded();
        Clock::duration longest{};
        for (size_t i = 1; i < points.size(); ++i) {
            Clock::duration gap = points[i] - points[i - 1];
            for (const Span& e : excluded) {
                const Clock::time_point a = std::max(e.from, points[i - 1]), b = std::min(e.to, points[i]);
                if (b > a) gap -= b - a;
            }
            longest = std::max(longest, gap);
        }
        return longest;
    }
    Clock::duration LongestGap(const std::vector<Span>& spans) const {
        Clock::duration longest{};
        for (const Span& span : spans) longest = std::max(longest, LongestGap(span));
        return longest;
    }

private:
    // The test's own actions and the control thread's stalls (its time past
    // a few missed ticks), merged into spans that do not overlap.
    std::vector<Span> Excluded() const {
        std::vector<Span> spans = own_;
        {
            std::lock_guard lk(controlMu_);
            const auto slack = std::chrono::milliseconds(3 * kIntervalMs);
            for (size_t i = 1; i < controlTicks_.size(); ++i)
                if (controlTicks_[i] - controlTicks_[i - 1] > slack)
                    spans.push_back({controlTicks_[i - 1] + slack, controlTicks_[i]});
        }
        std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.from < b.from; });
        std::vector<Span> merged;
        for (const Span& s : spans) {
            if (!merged.empty() && s.from <= merged.back().to) merged.back().to = std::max(merged.back().to, s.to);
            else merged.push_back(s);
        }
        return merged;
    }

    QTimer timer_;
    std::vector<Clock::time_point> ticks_;
    std::vector<Span> own_;
    std::atomic<bool> stop_{false};
    mutable std::mutex controlMu_;
    std::vector<Clock::time_point> controlTicks_;
    std::thread control_;
};

}  // namespace test_support
