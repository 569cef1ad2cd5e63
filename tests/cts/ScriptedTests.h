#pragma once
// The simulated instrument's tests for the run engine's tests: per test ID
// and run, the result records and logs that a start, and each operator
// answer after it, put in place.
#include <algorithm>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "sim/InstrumentSim.h"

namespace cts_test {

// One state of a running test on the instrument: its result record, and the
// log bytes it adds.
struct SimStep {
    sim::Bytes record;  // 84 bytes
    sim::Bytes log;
};

inline sim::Bytes Record(int8_t code, const std::string& text = {}, int8_t step = 0, int8_t substep = 0) {
    sim::Bytes r(sim::InstrumentSim::kTestResultBytes, 0);
    r[0] = static_cast<uint8_t>(code);
    r[2] = static_cast<uint8_t>(step);
    r[3] = static_cast<uint8_t>(substep);
    std::copy(text.begin(), text.end(), r.begin() + 4);
    return r;
}

// Log lines, each ended by NUL.
inline sim::Bytes Log(std::initializer_list<std::string> lines) {
    sim::Bytes bytes;
    for (const std::string& line : lines) {
        bytes.insert(bytes.end(), line.begin(), line.end());
        bytes.push_back(0);
    }
    return bytes;
}

// The instrument's tests: a start-test request puts the first step of the
// test's next run in place (result and log); every operator answer after it
// the following step. Runs beyond the script repeat its last run.
class ScriptedTests : public sim::InstrumentSimExtension {
public:
    explicit ScriptedTests(sim::InstrumentSim& sim) : sim_(sim) {}

    void SetRuns(int testId, std::vector<std::vector<SimStep>> runs) {
        std::lock_guard lk(mu_);
        runs_[testId] = std::move(runs);
    }
    // The IDs of the started tests, in order.
    std::vector<int> Started() const {
        std::lock_guard lk(mu_);
        return started_;
    }

    bool OnPayload(const uint8_t* p, size_t n, sim::InstrumentWire&) override {
        if (n < 3 || p[0] != 0x71) return false;
        std::lock_guard lk(mu_);
        if (p[1] == 0x10) {
            const int id = p[2];
            started_.push_back(id);
            auto it = runs_.find(id);
            if (it == runs_.end() || it->second.empty()) return false;
            const int run = runCount_[id]++;
            current_ = &it->second[std::min<size_t>(static_cast<size_t>(run), it->second.size() - 1)];
            stepIndex_ = 0;
            Apply();
        } else if (p[1] == 0x1E && current_ && stepIndex_ + 1 < current_->size()) {
            ++stepIndex_;
            Apply();
        }
        return false;  // the simulator answers as usual
    }
    size_t RawBytesWanted() const override { return 0; }
    void OnRawBytes(const uint8_t*, size_t, sim::InstrumentWire&) override {}

private:
    void Apply() {
        const SimStep& step = (*current_)[stepIndex_];
        sim_.SetTestResultBytes(step.record);
        if (!step.log.empty()) sim_.AppendLog(step.log);
    }

    sim::InstrumentSim& sim_;
    mutable std::mutex mu_;
    std::map<int, std::vector<std::vector<SimStep>>> runs_;
    std::map<int, int> runCount_;
    std::vector<int> started_;
    const std::vector<SimStep>* current_ = nullptr;
    size_t stepIndex_ = 0;
};

}  // namespace cts_test
