// A box of a completion is a modal loop: what a completion posts (a start
// that waited for the link) runs only once the box is answered and the
// completion has returned, never inside the box.
#include <QApplication>
#include <QPushButton>

#include "RunFixture.h"
#include "platform/GuiCall.h"
#include "support/ModalBoxes.h"

namespace {

using cts_test::RunFixture;

constexpr uint8_t kLinkStatus = 0x19, kVersion = 0x1C;

// "Run Tests" meets the link-status query and waits for it. The query is
// refused: its completion frees the link, which posts the waiting start, and
// shows its box (a real one, in its modal loop). The start takes the link
// only once the box has been answered and the completion has returned; then
// the run goes out with its firmware check and runs its test.
TEST_F(RunFixture, ARunWaitingForTheLinkStatusStartsOnlyAfterTheQuerysFailureBox) {
    TCTSMainForm* form = OpenForRuns();
    Select(form, {1});
    form->UD_IterationCount->setValue(1);
    auto* update = test_support::Probe<QPushButton>(form, "BTN_UpdateLinkTraining");
    sim_.SetFault(kLinkStatus, sim::FaultSpec{sim::Fault::Refuse, 0, 1});
    const size_t versionsBefore = sim_.CountReceived(kVersion);
    const std::string refused = "Link status query was refused";
    test_support::ModalBoxes modal;
    modal.WhileOpen([&](const std::string& text) {
        if (text != refused) return;
        // The completion has handed the link to the waiting start and posted
        // it; the box's loop runs no post: the start stays queued while the
        // box is up, however long it stays.
        EXPECT_GE(platform::GuiCallsAndPostsWaiting(), 1u) << "the waiting start ran under the box";
        EXPECT_FALSE(WaitFor([] { return platform::GuiCallsAndPostsWaiting() == 0; }, 200))
            << "the waiting start ran under the box";
    });
    // Both in one turn of the event loop: the query's completion cannot come
    // before the run's click has found the link held.
    update->click();
    form->BTN_RunTests->click();

    ASSERT_TRUE(WaitFor([&] { return !modal.Answered().empty(); }));
    EXPECT_EQ(modal.Answered().front(), refused);
    ASSERT_TRUE(WaitFor([&] { return sim_.CountReceived(kVersion) > versionsBefore; })) << "the run never started";
    ASSERT_TRUE(WaitFor([&] {
        return sim_.CountReceived(kStart) > 0 && !form->Running() && modal.Answered().size() >= 2 &&
               !QApplication::activeModalWidget();
    }));
    EXPECT_EQ(sim_.CountReceived(kStart), 1u);
    EXPECT_EQ(sim_.CountReceived(kLinkStatus), 1u);
}

}  // namespace
