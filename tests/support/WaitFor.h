#pragma once
// The window tests' one wait for a condition: serves the event loop (so
// posted work, timers and GUI-thread calls run) until `condition` holds or
// the deadline has passed. True when it holds. Generous by default: CI runs
// on a loaded machine, and a wait that succeeds returns at once.
// (Qt-free thread tests wait with WaitUntil, support/WaitUntil.h.)
#include <QTest>

#include <functional>

namespace test_support {

constexpr int kWaitDeadlineMs = 15000;

inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = kWaitDeadlineMs) {
    return QTest::qWaitFor(condition, timeoutMs);
}

}  // namespace test_support
