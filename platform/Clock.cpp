#include "platform/Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {
namespace {
std::atomic<uint32_t> g_offset{0};
}

uint32_t TickCountMs() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(ms)) + g_offset.load(std::memory_order_relaxed);
}

void SetTickOffsetForTest(uint32_t offsetMs) { g_offset.store(offsetMs, std::memory_order_relaxed); }

void SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace platform
