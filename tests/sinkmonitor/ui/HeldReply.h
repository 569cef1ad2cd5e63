#pragma once
// Releases the reply the simulated sink holds back once the sink has
// received another command after it: proof by order that the next
// transaction went out while the late reply was still held. Runs on a thread
// of its own, so that the GUI thread may block in the next command
// meanwhile.
#include <atomic>
#include <cstddef>
#include <thread>

#include "sim/SinkSim.h"
#include "support/WaitUntil.h"

namespace selvitra_test {

class ReleaseOnNextCommand {
public:
    // Generous: the sink waits for nothing else before it releases.
    static constexpr int kDeadlineMs = 120000;

    explicit ReleaseOnNextCommand(sim::SinkSim& sim) : sim_(sim), sent_(sim.CommandCount()) {
        thread_ = std::thread([this] {
            const bool reached = WaitUntil([&] { return sim_.CommandCount() > sent_; }, kDeadlineMs);
            reachedWhileHeld_ = reached && sim_.ReplyHeld();
            sim_.ReleaseHeld();
        });
    }
    ~ReleaseOnNextCommand() { Join(); }
    ReleaseOnNextCommand(const ReleaseOnNextCommand&) = delete;
    ReleaseOnNextCommand& operator=(const ReleaseOnNextCommand&) = delete;

    // True when the sink received a command while the reply was still held.
    bool Join() {
        if (thread_.joinable()) thread_.join();
        return reachedWhileHeld_.load();
    }

private:
    sim::SinkSim& sim_;
    const size_t sent_;
    std::atomic<bool> reachedWhileHeld_{false};
    std::thread thread_;
};

}  // namespace selvitra_test
