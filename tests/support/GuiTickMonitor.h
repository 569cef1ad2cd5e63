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
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <chrono>
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
    }

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
    // test's own actions in it.
    Clock::duration LongestGap(const Span& span) const {
        std::vector<Clock::time_point> points{span.from};
        for (const Clock::time_point& t : ticks_)
            if (t > span.from && t < span.to) points.push_back(t);
        points.push_back(span.to);
        Clock::duration longest{};
        for (size_t i = 1; i < points.size(); ++i) {
            Clock::duration gap = points[i] - points[i - 1];
            for (const Span& own : own_) {
                const Clock::time_point a = std::max(own.from, points[i - 1]), b = std::min(own.to, points[i]);
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
    QTimer timer_;
    std::vector<Clock::time_point> ticks_;
    std::vector<Span> own_;
};

}  // namespace test_support
