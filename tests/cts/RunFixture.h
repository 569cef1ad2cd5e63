#pragma once
// Test runs of the main window against the simulated instrument with its
// scripted tests (ScriptedTests.h): helpers that select rows, start a run and
// wait for its end, and readers of the status list and the requests.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTreeWidget>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "MainFormFixture.h"
#include "ScriptedTests.h"
#include "platform/MessageBoxInterceptor.h"
#include "platform/gui/MessageList.h"

namespace cts_test {

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
    std::vector<sim::Bytes> ReceivedOf(uint8_t code) const { return sim_.ReceivedOf(code); }

    ScriptedTests tests_{sim_};
};

}  // namespace cts_test
