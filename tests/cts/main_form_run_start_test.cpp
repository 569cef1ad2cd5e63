// "Run Tests" whose start cannot go out at once: a DPCD read or the
// link-status query is out (the simulated instrument holds its reply), or the
// run's own firmware check is. The start belongs to the click: "Run Tests" is
// disabled at once, and the page, the selected rows, the parameter block and
// the iteration count of the click are what the run sends, whatever the
// operator changes before the link is free for it. A click on the list
// meanwhile enables "Run Tests" again, and then no run starts; a second
// "Run Tests" after it makes that click's choice the run's.
#include <QComboBox>
#include <QLineEdit>

#include <ostream>

#include "RunFixture.h"
#include "cts/dialogs/TDPCD_Access.h"

namespace {

using cts_test::RunFixture;

constexpr uint8_t kVersion = 0x1C, kDpcdRead = 0x1A, kLinkStatus = 0x19;
constexpr int kLinkLayerTab = 0, kAudioTab = 3, kLinkTrainingTab = 4;
const std::string kComplete = "Testing Sequence Complete.";

enum class Holder { DpcdRead, LinkStatus, OwnFirmwareCheck };
enum class Meanwhile {
    SwitchPageAndEditControls,  // no click on the list: the click's run goes on
    ClickRowOnOtherPage,        // "Run Tests" enabled again: no run
    ClickRowThenRunTestsAgain,  // the second click's run
};

struct StartCase {
    Holder holder;
    Meanwhile meanwhile;
};

const char* NameOf(Holder h) {
    switch (h) {
        case Holder::DpcdRead:
            return "DpcdRead";
        case Holder::LinkStatus:
            return "LinkStatus";
        case Holder::OwnFirmwareCheck:
            return "OwnFirmwareCheck";
    }
    return "";
}
const char* NameOf(Meanwhile m) {
    switch (m) {
        case Meanwhile::SwitchPageAndEditControls:
            return "SwitchPageAndEditControls";
        case Meanwhile::ClickRowOnOtherPage:
            return "ClickRowOnOtherPage";
        case Meanwhile::ClickRowThenRunTestsAgain:
            return "ClickRowThenRunTestsAgain";
    }
    return "";
}
void PrintTo(const StartCase& c, std::ostream* os) { *os << NameOf(c.holder) << "_" << NameOf(c.meanwhile); }

class RunStartThatWaits : public RunFixture, public ::testing::WithParamInterface<StartCase> {
protected:
    // Puts the holder's request out, its reply held back.
    void PutHolderOut(TCTSMainForm* form) {
        switch (GetParam().holder) {
            case Holder::DpcdRead: {
                sim_.SetFault(kDpcdRead, {sim::Fault::Hold, 0, 1});
                form->MENU_DPCDAccess->trigger();
                dialogs_.dpcd->ED_Address->setText(QStringLiteral("0001"));
                QTest::mouseClick(dialogs_.dpcd->BTN_Read, Qt::LeftButton);
                ASSERT_TRUE(WaitFor([this] { return sim_.HeldCount() == 1; }));
                break;
            }
            case Holder::LinkStatus:
                sim_.SetFault(kLinkStatus, {sim::Fault::Hold, 0, 1});
                form->TC_PagesTabs->setCurrentIndex(kLinkTrainingTab);
                QTest::mouseClick(form->BTN_UpdateLinkTraining, Qt::LeftButton);
                ASSERT_TRUE(WaitFor([this] { return sim_.HeldCount() == 1; }));
                break;
            case Holder::OwnFirmwareCheck:
                // Nothing: the run's firmware check is out from the click on,
                // and its completion cannot come before the event loop's next
                // turn, so what the operator does right after the click is
                // done while it is out.
                break;
        }
    }

    // What the operator does before the link is free for the run.
    void Act(TCTSMainForm* form) {
        switch (GetParam().meanwhile) {
            case Meanwhile::SwitchPageAndEditControls:
                form->TC_PagesTabs->setCurrentIndex(kAudioTab);
                form->CB_SupportTXLanes->setCurrentIndex(0);
                form->UD_IterationCount->setValue(1);
                break;
            case Meanwhile::ClickRowOnOtherPage:
                Select(form, {1}, kAudioTab);
                ASSERT_TRUE(form->BTN_RunTests->isEnabled());
                break;
            case Meanwhile::ClickRowThenRunTestsAgain:
                Select(form, {1}, kAudioTab);
                form->CB_SupportTXLanes->setCurrentIndex(0);
                form->UD_IterationCount->setValue(1);
                // A click that serves no events, as the first: with the run's
                // own firmware check out, its completion cannot come first.
                form->BTN_RunTests->click();
                EXPECT_FALSE(form->BTN_RunTests->isEnabled());
                secondBlock_ = form->LastBuild().block;
                break;
        }
    }

    std::array<uint8_t, TestParameterBlock::kSize> secondBlock_{};
};

TEST_P(RunStartThatWaits, RunsWhatTheClickChose) {
    const StartCase& c = GetParam();
    TCTSMainForm* form = OpenForRuns();
    ASSERT_TRUE(form->TC_Pages->isVisible());
    sim_.ClearReceived();
    PutHolderOut(form);
    if (HasFatalFailure()) return;

    // Link layer row 5, two lanes, two iterations.
    Select(form, {5}, kLinkLayerTab);
    form->CB_SupportTXLanes->setCurrentIndex(1);
    form->UD_IterationCount->setValue(2);
    platform::MessageBoxInterceptor boxes;
    form->BTN_RunTests->click();
    EXPECT_FALSE(form->BTN_RunTests->isEnabled()) << "the start is under way from the click";
    const auto clickBlock = form->LastBuild().block;
    Act(form);
    if (HasFatalFailure()) return;
    sim_.ReleaseHeld();

    // The run's firmware check goes out once the held request has ended.
    ASSERT_TRUE(WaitFor([this] { return sim_.CountReceived(kVersion) == 1; }));
    if (c.meanwhile == Meanwhile::ClickRowOnOtherPage) {
        // Its completion is delivered before the link serves another.
        ASSERT_TRUE(SettleLink(form));
        EXPECT_TRUE(tests_.Started().empty());
        EXPECT_FALSE(form->Running());
        EXPECT_TRUE(form->BTN_RunTests->isVisible());
        EXPECT_TRUE(form->BTN_RunTests->isEnabled());
        EXPECT_EQ(form->TC_PagesTabs->currentIndex(), kAudioTab);
        EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
        return;
    }
    ASSERT_TRUE(WaitEnded(form, boxes));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kComplete});
    EXPECT_EQ(sim_.CountReceived(kVersion), 1u) << "one firmware check for the run";

    const bool second = c.meanwhile == Meanwhile::ClickRowThenRunTestsAgain;
    const int testId = second ? 65 : 5;
    const auto& block = second ? secondBlock_ : clickBlock;
    EXPECT_EQ(tests_.Started(), std::vector<int>(second ? 1 : 2, testId));
    for (const sim::Bytes& start : ReceivedOf(kStart)) {
        ASSERT_EQ(start.size(), 3 + block.size());
        EXPECT_EQ(sim::Bytes(start.begin() + 3, start.end()), sim::Bytes(block.begin(), block.end()));
    }
    const std::string running = second ? "Running test 1 ..." : "Running test 5 ...";
    const auto lines = StatusLines(form);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), running), second ? 1 : 2);
    // The header names the lanes chosen for the run.
    const UCTSTest* record = RecordOf(form, testId);
    ASSERT_NE(record, nullptr);
    ASSERT_GE(record->Log().size(), 4u);
    EXPECT_EQ(record->Log()[3], second ? "Max lane count: 1 Lane, Max link rate: Low 1.62 Gbps"
                                       : "Max lane count: 2 Lanes, Max link rate: Low 1.62 Gbps");
    // The run's page is shown, with the run's row selected again.
    EXPECT_EQ(form->TC_PagesTabs->currentIndex(), second ? kAudioTab : kLinkLayerTab);
    const QList<QTreeWidgetItem*> selected = form->LV_TestList->selectedItems();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(form->LV_TestList->indexOfTopLevelItem(selected[0]), second ? 0 : 4);
}

std::vector<StartCase> AllCases() {
    std::vector<StartCase> cases;
    for (Holder h : {Holder::DpcdRead, Holder::LinkStatus, Holder::OwnFirmwareCheck})
        for (Meanwhile m : {Meanwhile::SwitchPageAndEditControls, Meanwhile::ClickRowOnOtherPage,
                            Meanwhile::ClickRowThenRunTestsAgain})
            cases.push_back({h, m});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(HoldersAndActions, RunStartThatWaits, ::testing::ValuesIn(AllCases()), [](const auto& info) {
    return std::string(NameOf(info.param.holder)) + "_" + NameOf(info.param.meanwhile);
});

}  // namespace
