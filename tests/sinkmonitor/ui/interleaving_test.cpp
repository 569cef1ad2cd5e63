// What happens to the sink monitor's window when the sink misbehaves while a
// request is out, for every command of the window and every query of the
// poller: the port lost at it, "Update firmware..." pressed while the lost
// port's teardown is queued, the window closed while it waits, and its reply
// arriving after its time-out (the next command must never take that reply
// for its own). Each row checks the window's end state, that the port's loss
// is reported once, and that the GUI thread kept serving its events (a
// command blocks on purpose up to its time-out; the test's own clicks are
// left out of the gaps). Run in the asan build, the rows also show any use
// of freed memory.
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>

#include <algorithm>
#include <ostream>

#include "HeldReply.h"
#include "SelvitraFixture.h"
#include "platform/GuiCall.h"
#include "support/EdidFixtures.h"
#include "support/GuiTickMonitor.h"

namespace selvitra_test {
namespace {

using test_support::GuiTickMonitor;

// The command time-outs of the sink's command set, and how late a late reply
// comes after them: a figure of this test, well inside the next command's
// own time-out (the sink answers that command after the late reply), so the
// late reply comes and is dropped before the next command's own.
constexpr unsigned kTimeoutMs = 2000, kEdidWriteTimeoutMs = 20000, kAuxStepTimeoutMs = 7500;
constexpr unsigned kLateByMs = 300;
// A command that answers in time, but not at once.
constexpr unsigned kSlowReplyMs = 400;
// Generous against a loaded machine; stalls of the whole machine are left out.
constexpr auto kGapBound = std::chrono::milliseconds(1500);
constexpr uint16_t kOtherRegister = 0x0001, kReadRegister = 0x0002;
constexpr uint8_t kOtherValue = 0x14, kReadValue = 0x84;

// Who sends the request: a button of the window, or the poller.
struct Requester {
    const char* name;
    uint8_t code;
    const char* button;  // nullptr: the poller's query
    unsigned timeoutMs = kTimeoutMs;
};

const Requester kRequesters[] = {
    {"LinkStatus", 0x15, "btnUpdateLinkStatus"},
    {"ClearLinkErrors", 0x2B, "btnClearLinkErrors"},
    {"VideoCrc", 0x2A, "btnUpdateVideoCRC"},
    {"SinkCapabilities", 0x26, "btnSetSinkCapabilities"},
    {"HpdPulse", 0x29, "btnPulseHPD"},
    {"AuxOutputLevel", 0x31, "btnSetAUXChannelOutputLevel"},
    {"AuxTest", 0x38, "btnAUXTest", kAuxStepTimeoutMs},
    {"DpcdRead", 0x1A, "btnDPCDRead"},
    {"DpcdWrite", 0x1B, "btnDPCDWrite"},
    {"RefreshVersion", 0x1C, "btnRefreshVersion"},
    {"AudioStatus", 0x2D, "btnUpdateAudioStatus"},
    {"EdidRead", 0x16, "BTN_ReadEDID"},
    {"EdidWrite", 0x17, "BTN_WriteEDID", kEdidWriteTimeoutMs},
    {"HdcpPoll", 0x22, nullptr},
    {"MsaPoll", 0x27, nullptr},
    {"SdpPoll", 0x2E, nullptr},
};

enum class Event { PortLost, PortLostThenUpdateFirmware, CloseWhileOut, LateReply, HeldReply, PaintedEachStep };

const char* NameOf(Event e) {
    switch (e) {
        case Event::PortLost:
            return "PortLost";
        case Event::PortLostThenUpdateFirmware:
            return "PortLostThenUpdateFirmware";
        case Event::CloseWhileOut:
            return "CloseWhileOut";
        case Event::LateReply:
            return "LateReply";
        case Event::HeldReply:
            return "HeldReply";
        case Event::PaintedEachStep:
            return "PaintedEachStep";
    }
    return "";
}

struct Case {
    Requester requester;
    Event event;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.requester.name << "_" << NameOf(c.event); }

// Rows left out of the table: the AUX test runs one level per turn of the
// event loop now; its rows for a lost port, a closed window and a late reply
// still play one synchronous click and must be rewritten for the stepped
// test.
bool AwaitsMend(const Requester& r, Event e) { return r.code == 0x38 && e != Event::PaintedEachStep; }

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    for (Event e : {Event::PortLost, Event::PortLostThenUpdateFirmware, Event::CloseWhileOut, Event::LateReply,
                    Event::HeldReply, Event::PaintedEachStep})
        for (const Requester& r : kRequesters) {
            // The one command with a progress window.
            if (e == Event::PaintedEachStep && r.code != 0x38) continue;
            // The teardown a command queues is what the firmware update
            // meets; the poller's teardown is queued at a time the test
            // does not choose.
            if (e == Event::PortLostThenUpdateFirmware && !r.button) continue;
            if (!AwaitsMend(r, e)) cases.push_back({r, e});
        }
    return cases;
}

// Records the progress bar's value at each of its paints.
class PaintProbe : public QObject {
public:
    PaintProbe(QProgressBar* bar, std::vector<int>& painted) : bar_(bar), painted_(painted) {
        bar_->installEventFilter(this);
    }
    ~PaintProbe() override { bar_->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted_.push_back(bar_->value());
        return false;
    }

private:
    QProgressBar* bar_;
    std::vector<int>& painted_;
};

class SinkInterleaving : public SelvitraTest, public ::testing::WithParamInterface<Case> {
protected:
    // Sets the fields the commands read to values that need no box and
    // little time, and gives the editor an image to write.
    void PrepareWindow() {
        Control<QLineEdit>("edtHPDDuration")->setText(QStringLiteral("10"));
        Control<QLineEdit>("edtASTStart")->setText(QStringLiteral("200"));
        Control<QLineEdit>("edtASTStop")->setText(QStringLiteral("100"));
        Control<QLineEdit>("edDPCDAddress")->setText(QStringLiteral("0001"));
        Control<QLineEdit>("edDPCDData")->setText(QStringLiteral("14"));
        edid_fixtures::Block base = edid_fixtures::BaseBlock();
        ECClearBlocks(window->EdidInstance());
        ASSERT_GE(ECAddBlock(window->EdidInstance(), base.data(), 128), 0);
        sim.SetEdidBlock(0, base);
        sim.SetDpcd(kOtherRegister, kOtherValue);
        sim.SetDpcd(kReadRegister, kReadValue);
        // Only the row's poller query runs.
        window->pgMain->setCurrentWidget(window->tbsVarious);
    }

    // Starts the row's request: the click (the test's own time), or the
    // poller's query switched on.
    void Request(const Requester& r) {
        if (r.button) {
            monitor_->Own([&] { Click(r.button); });
            // A command may also run in steps of the event loop, with the
            // main window disabled: it has ended once the window is enabled.
            EXPECT_TRUE(WaitFor([&] { return !window || (window->isEnabled() && !progress->isVisible()); }));
            return;
        }
        if (r.code == 0x22) window->pgMain->setCurrentWidget(window->tbsMain);
        if (r.code == 0x27) Control<QCheckBox>("cbMSAEnable")->setChecked(true);
        if (r.code == 0x2E) Control<QCheckBox>("cbSDPEnable")->setChecked(true);
    }
    // Waits until the sink has received the row's request since `before`.
    bool Sent(const Requester& r, size_t before) {
        return WaitFor([&] { return sim.CommandCount(r.code) > before; });
    }
    int LostMessages() { return static_cast<int>(Messages().count(TfrmMain::kTextConnectionLost)); }

    std::unique_ptr<GuiTickMonitor> monitor_;
};

TEST_P(SinkInterleaving, TheWindowStaysWholeAndServing) {
    const Case& c = GetParam();
    const Requester& r = c.requester;
    OpenConnected();
    ASSERT_TRUE(window->Connected());
    PrepareWindow();
    monitor_ = std::make_unique<GuiTickMonitor>();
    const auto from = GuiTickMonitor::Clock::now();
    const size_t before = sim.CommandCount(r.code);

    switch (c.event) {
        case Event::PortLost: {
            sim.InjectFault(sim::SinkFaultPlan::Of(sim::SinkFault::CloseLine, r.code));
            Request(r);
            ASSERT_TRUE(WaitFor([&] { return !window->Connected(); }));
            // Once torn down, nothing more is said about it.
            ASSERT_TRUE(WaitFor([&] { return LostMessages() >= 1; }));
            EXPECT_EQ(LostMessages(), 1) << Messages().join("|").toStdString();
            EXPECT_EQ(Text("lblFWVersion"), TfrmMain::kTextNotConnected);
            break;
        }
        case Event::PortLostThenUpdateFirmware: {
            sim.InjectFault(sim::SinkFaultPlan::Of(sim::SinkFault::CloseLine, r.code));
            int updates = 0;
            window->SetFirmwareUpdateRunner([&](const QString&) { ++updates; });
            // Both clicks in one turn of the event loop: the teardown the
            // first queues has not run when the second starts.
            monitor_->Own([&] {
                Click(r.button);
                Click("btnUpdateFirmware");
            });
            ASSERT_TRUE(WaitFor([&] { return !window->Connected(); }));
            EXPECT_EQ(updates, 1);
            EXPECT_LE(LostMessages(), 1) << Messages().join("|").toStdString();
            EXPECT_EQ(Text("lblFWVersion"), TfrmMain::kTextNotConnected);
            // The window still answers the operator.
            boxes.Clear();
            Click("btnUpdateLinkStatus");
            EXPECT_EQ(boxes.Texts(), std::vector<std::string>{
                                         "COM connection failed.\nTry re-select the COM port or try another one."});
            break;
        }
        case Event::CloseWhileOut: {
            sim.InjectFault(sim::SinkFaultPlan::Late(r.code, kSlowReplyMs));
            window->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
            if (r.button) {
                // The window system's close arrives while the command waits;
                // it is handled once the command has returned.
                bool clickReturned = false, closedDuringCommand = false;
                QTimer::singleShot(0, window.get(), [&] {
                    closedDuringCommand = !clickReturned;
                    window->close();
                });
                monitor_->Own([&] {
                    Click(r.button);
                    clickReturned = true;
                });
                EXPECT_TRUE(sim.CommandCount(r.code) > before);
                ASSERT_TRUE(WaitFor([&] { return !window->isVisible(); }));
                EXPECT_FALSE(closedDuringCommand) << "the close ran inside the command's wait";
            } else {
                Request(r);
                ASSERT_TRUE(Sent(r, before));
                window->close();
                EXPECT_FALSE(window->isVisible());
            }
            // The program ends: the window goes while the reply may still be
            // on its way (nothing is left to paint: its wait is no gap).
            monitor_->Own([&] {
                window.reset();
                progress.reset();
            });
            break;
        }
        case Event::LateReply: {
            sim.InjectFault(sim::SinkFaultPlan::Late(r.code, r.timeoutMs + kLateByMs));
            Request(r);
            if (!r.button) {
                ASSERT_TRUE(Sent(r, before));
            }
            // The next command, at once: a read of another register.
            auto* status = Control<QLabel>("lblDPCDStatus");
            monitor_->Own([&] {
                Control<QLineEdit>("edDPCDAddress")->setText(QStringLiteral("0002"));
                Click("btnDPCDRead");
            });
            const QString shown = status->text();
            if (shown.contains(QStringLiteral("Data: $"))) {
                EXPECT_TRUE(shown.endsWith(QStringLiteral("$0002, Data: $84"))) << shown.toStdString();
            }
            EXPECT_FALSE(Messages().join(u'|').contains(QStringLiteral("$0002, Data: $14")))
                << Messages().join("|").toStdString();
            // The line is in order again: the read now shows its own register.
            monitor_->Own([&] { Click("btnDPCDRead"); });
            EXPECT_TRUE(status->text().endsWith(QStringLiteral("$0002, Data: $84"))) << status->text().toStdString();
            EXPECT_TRUE(window->Connected());
            break;
        }
        case Event::HeldReply: {
            // The sink holds the reply back until the next command, a read
            // of another register, has reached it: nothing waits for the
            // late reply, and the read shows its own register.
            sim.InjectFault(sim::SinkFaultPlan::Held(r.code));
            Request(r);
            ASSERT_TRUE(Sent(r, before));
            ASSERT_TRUE(WaitFor([&] { return sim.ReplyHeld(); }));
            ReleaseOnNextCommand release(sim);
            monitor_->Own([&] {
                Control<QLineEdit>("edDPCDAddress")->setText(QStringLiteral("0002"));
                Click("btnDPCDRead");
            });
            EXPECT_TRUE(release.Join()) << "the read waited for the late reply";
            EXPECT_TRUE(Text("lblDPCDStatus").endsWith(QStringLiteral("$0002, Data: $84")))
                << Text("lblDPCDStatus").toStdString();
            EXPECT_TRUE(Messages().contains(QStringLiteral("Read of DPCD address $0002, Data: $84")))
                << Messages().join("|").toStdString();
            EXPECT_TRUE(window->Connected());
            break;
        }
        case Event::PaintedEachStep: {
            // 200 and 100 mVpp: two steps, each painted in the progress
            // window before the next command goes out.
            std::vector<int> painted;
            PaintProbe probe(progress->pbProgress, painted);
            window->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
            Request(r);
            EXPECT_EQ(sim.CommandCount(r.code) - before, 2u);
            for (int step = 1; step <= 2; ++step)
                EXPECT_NE(std::find(painted.begin(), painted.end(), step), painted.end())
                    << "step " << step << " was never painted";
            EXPECT_TRUE(Messages().contains(QStringLiteral("Test finished."))) << Messages().join("|").toStdString();
            break;
        }
    }

    const auto gap = monitor_->LongestGap(GuiTickMonitor::Span{from, GuiTickMonitor::Clock::now()});
    EXPECT_LE(gap, kGapBound) << "longest gap " << std::chrono::duration_cast<std::chrono::milliseconds>(gap).count()
                              << " ms";
}

INSTANTIATE_TEST_SUITE_P(RequestsAndEvents, SinkInterleaving, ::testing::ValuesIn(AllCases()), [](const auto& info) {
    return std::string(info.param.requester.name) + "_" + NameOf(info.param.event);
});

}  // namespace
}  // namespace selvitra_test
