#pragma once
#include <cstdint>

namespace platform {

// Millisecond clock in 32 bits that wraps like the system tick counter
// (every 49.7 days). Built on a monotonic clock.
uint32_t TickCountMs();

// Moves the clock by `offsetMs` (tests use it to cross the 32-bit wrap).
void SetTickOffsetForTest(uint32_t offsetMs);

void SleepMs(uint32_t ms);

// Requests 1 ms timer resolution; on Linux timers are already fine-grained,
// so these are no-ops kept for the link's life-cycle symmetry.
inline void BeginTimerResolution() {}
inline void EndTimerResolution() {}

}  // namespace platform
