#pragma once
// Test runs of the main window against the simulated instrument: a scripted
// instrument side (per test ID and run, the result records and logs that a
// start, and each operator answer after it, put in place), helpers that
// select rows, start a run and wait for its end, and readers of the status
// list.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTreeWidget>

#include <algorithm>
#include <array>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "MainFormFixture.h"
#include "platform/MessageBox.h"
#include "platform/gui/MessageList.h"

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

class RunFixture : public MainFormFixture {
protected:
    static constexpr uint8_t kStart = 0x10, kResult = 0x11, kLogSize = 0x12, kReadLog = 0x13, kClearLog = 0x14,
                             kAnswer = 0x1E, kColorimetry = 0x21, kTestStatus = 0x35, kChannel = 0x36,
                             kDutConfig = 0x3A, kProbe = 0xE0;

    void SetUp() override {
        MainFormFixture::SetUp();
        // Short time-outs: a silent instrument costs one second per result
        // query (link time-out 1 s, main link disable time-out 100 ms).
        ASSERT_TRUE(Settings().WriteInteger(TCTSMainForm::kSection, "Vardeko_Timeout", 1));
        sim_.SetExtension(&tests_);
        sim_.SetTestResultBytes(Record(kResultPassed));
    }
    void TearDown() override {
        sim_.SetExtension(nullptr);
        MainFormFixture::TearDown();
    }

    TCTSMainForm* OpenForRuns() {
        TCTSMainForm* form = OpenConnected();
        form->UD_Tout->setValue(100);
        return form;
    }

    // Shows the page of the tab and selects the rows (counted from 1).
    void Select(TCTSMainForm* form, std::initializer_list<int> rows, int tab = 0) {
        form->TC_PagesTabs->setCurrentIndex(tab);
        form->LV_TestList->clearSelection();
        for (int row : rows) form->LV_TestList->topLevelItem(row - 1)->setSelected(true);
    }

    // Clicks "Run Tests" and waits until the run has ended with a box.
    bool RunToEnd(TCTSMainForm* form, platform::MessageBoxInterceptor& boxes, int iterations = 1) {
        form->UD_IterationCount->setValue(iterations);
        form->BTN_RunTests->click();
        return WaitEnded(form, boxes);
    }
    bool WaitEnded(TCTSMainForm* form, platform::MessageBoxInterceptor& boxes, int timeoutMs = kDeadlineMs) {
        return WaitFor([&] { return !form->Running() && !boxes.Texts().empty() && !form->BTN_RunTests->isHidden(); },
                       timeoutMs);
    }

    // Waits until a request of the link's own completes after the one now
    // pending (whose completion has then been delivered).
    bool SettleLink(TCTSMainForm* form) {
        struct State {
            std::array<uint8_t, 3> reply{};
            bool sent = false, done = false;
        };
        auto state = std::make_shared<State>();
        return WaitFor([&] {
            if (!state->sent) {
                bool busy = false;
                form->Link()->QueryFirmwareVersion(state->reply.data(), [state, &busy](LinkResult r) {
                    if (r == LINK_BUSY) busy = true;
                    else state->done = true;
                });
                state->sent = !busy;
            }
            return state->done;
        });
    }

    static std::vector<std::string> StatusLines(TCTSMainForm* form) {
        std::vector<std::string> lines;
        for (int i = 0; i < form->LB_StatusLines->count(); ++i)
            lines.push_back(form->LB_StatusLines->item(i)->text().toStdString());
        return lines;
    }
    static bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    static UCTSTest* RecordOf(TCTSMainForm* form, int testId) {
        for (const auto& r : form->TestRecords())
            if (r->TestId() == testId) return r.get();
        return nullptr;
    }
    // The payloads of one request code the simulator received, in order.
    std::vector<sim::Bytes> ReceivedOf(uint8_t code) const {
        std::vector<sim::Bytes> out;
        for (const sim::Bytes& p : sim_.Received())
            if (sim::InstrumentSim::RequestCode(p.data(), p.size()) == code) out.push_back(p);
        return out;
    }

    ScriptedTests tests_{sim_};
};

}  // namespace cts_test
