#pragma once
// Shared pieces of the link tests: a simulated instrument on a pty with a
// link object on its slave side, and a helper that runs one request to its
// completion while the test's thread serves the GUI-thread calls.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/MV_Comm.h"
#include "platform/GuiCall.h"
#include "platform/MessageBoxInterceptor.h"
#include "sim/InstrumentSim.h"

namespace linktest {

using Bytes = sim::Bytes;
using Clock = std::chrono::steady_clock;

constexpr int kGenerousMs = 15000;  // a completion that never comes fails, never hangs

inline long MsSince(Clock::time_point t0) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

// Serves GUI-thread calls for `ms` (lets deliveries that should not come show up).
inline void ServeFor(int ms) {
    platform::ServeGuiCallsUntil([] { return false; }, ms);
}

// The outcome of one request: its results in order of arrival.
struct Outcome {
    std::vector<LinkResult> results;
    long elapsedMs = -1;
    bool Done() const { return !results.empty(); }
};

class LinkFixture : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetGuiThreadToCurrent();
        ASSERT_TRUE(sim.Start());
        link = std::make_unique<MV_Comm>(MV_Comm::kModeSerial, 0, sim.SlavePath());
        link->SetOnMessage([this](const std::string& text) { messages.push_back(text); });
    }
    void TearDown() override {
        link.reset();
        sim.Stop();
    }

    // Issues a request through `issue` and waits for its completion; then
    // until the link has let go of every copy of the completion's closure.
    // A call can come only from a copy that still exists, so from then on
    // no second completion can come: one that the link makes, however late,
    // is in the outcome.
    Outcome Run(const std::function<void(MV_Comm::Completion)>& issue, int timeoutMs = kGenerousMs) {
        auto out = std::make_shared<Outcome>();
        const auto t0 = Clock::now();
        issue([out, t0](LinkResult r) {
            out->results.push_back(r);
            if (out->elapsedMs < 0) out->elapsedMs = MsSince(t0);
        });
        if (platform::ServeGuiCallsUntil([&] { return out->Done(); }, timeoutMs))
            platform::ServeGuiCallsUntil([&] { return out.use_count() == 1; }, kGenerousMs);
        return *out;
    }

    platform::MessageBoxInterceptor boxes;
    sim::InstrumentSim sim;
    std::unique_ptr<MV_Comm> link;
    std::vector<std::string> messages;
};

}  // namespace linktest
