#pragma once
// Waits for a condition with a deadline: polls `pred` every millisecond until
// it holds or `timeoutMs` has passed. True when it holds.

#include <chrono>
#include <functional>
#include <thread>

inline bool WaitUntil(const std::function<bool()>& pred, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (pred()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return pred();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
