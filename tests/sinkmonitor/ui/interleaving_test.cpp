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
#include <QAbstractItemModel>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTimer>
#include <cstdlib>

#include <algorithm>
#include <functional>
#include <ostream>
#include <thread>

#include "HeldReply.h"
#include "SelvitraFixture.h"
#include "platform/GuiCall.h"
#include "sinkmonitor/QtPrint.h"
#include "support/EdidFixtures.h"
#include "support/GuiTickMonitor.h"
#include "support/WaitUntil.h"

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
            // The AUX test sends its levels from posted steps, not from the
            // click: its rows but the paint row are SinkAuxTestInterleaving's.
            if (r.code == 0x38 && e != Event::PaintedEachStep) continue;
            cases.push_back({r, e});
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

// The AUX sensitivity test sends one level per posted step, each a blocking
// command, with the main window disabled: what the operator does and what
// happens on the line while a level's request is out is handled once that
// step has returned, between the steps. Each row holds the sink's reply to
// one level back (the first of two, 200 mVpp, or the last, 100 mVpp; the
// sink passes both) and plays one event there: the line hung up, "Update
// firmware..." pressed after that, the window closed, the reply kept past
// the level's time-out, or other commands clicked.
enum class AuxEvent { PortLost, PortLostThenUpdateFirmware, CloseWhileOut, LateReply, CommandsWhileOut };

struct AuxCase {
    const char* name;
    AuxEvent event;
    int heldLevel;  // 1: the first of the two levels, 2: the last
};
void PrintTo(const AuxCase& c, std::ostream* os) { *os << c.name; }

constexpr uint8_t kAuxStep = 0x38;
// A level whose reply never comes fails after its time-out of 7.5 s.
constexpr int kPastAuxTimeOutMs = 60000;

// Runs `act` on a thread of its own once the sink holds back the reply to
// the test's level `level` (counting from `before` levels sent), and notes
// when. The GUI thread is then blocked in that level's command: what `act`
// queues for it runs once the command has returned, as the window system's
// input does.
class AtHeldLevel {
public:
    using Clock = GuiTickMonitor::Clock;
    AtHeldLevel(sim::SinkSim& sim, size_t before, int level, std::function<void()> act)
        : thread_([this, &sim, sent = before + static_cast<size_t>(level), act = std::move(act)] {
              if (!WaitUntil([&] { return sim.CommandCount(kAuxStep) >= sent && sim.ReplyHeld(); },
                             test_support::kWaitDeadlineMs))
                  return;
              heldAt_ = Clock::now();
              reached_ = true;
              act();
          }) {}
    ~AtHeldLevel() { Join(); }
    AtHeldLevel(const AtHeldLevel&) = delete;
    AtHeldLevel& operator=(const AtHeldLevel&) = delete;

    // Whether the level's reply was held, and when it was seen held.
    bool Join() {
        if (thread_.joinable()) thread_.join();
        return reached_;
    }
    Clock::time_point HeldAt() const { return heldAt_; }

private:
    Clock::time_point heldAt_{};
    bool reached_ = false;
    std::thread thread_;
};

class SinkAuxTestInterleaving : public SelvitraTest, public ::testing::WithParamInterface<AuxCase> {
protected:
    // Two levels, 200 and 100 mVpp, that both pass; the window on the screen
    // with its Various page.
    void PrepareAuxTest() {
        sim.SetAuxThreshold(100);
        sim.SetDpcd(kReadRegister, kReadValue);
        window->pgMain->setCurrentWidget(window->tbsVarious);
        Control<QLineEdit>("edtASTStart")->setText(QStringLiteral("200"));
        Control<QLineEdit>("edtASTStop")->setText(QStringLiteral("100"));
        Control<QRadioButton>("rbDecr100")->setChecked(true);
        Control<QLineEdit>("edDPCDAddress")->setText(QStringLiteral("0002"));
        window->SetFirmwareUpdateRunner([this](const QString&) { ++updates_; });
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        // When each level's line gets its result: its command has returned.
        QObject::connect(window->tbsVarious->lbAUXTest->model(), &QAbstractItemModel::dataChanged, window.get(),
                         [this] { resultsAt_.push_back(GuiTickMonitor::Clock::now()); });
    }
    // Queues fn for the GUI thread from another thread.
    void Queue(std::function<void()> fn) {
        QMetaObject::invokeMethod(window.get(), std::move(fn), Qt::QueuedConnection);
    }
    void StartTest() {
        monitor_->Own([&] { Click("btnAUXTest"); });
    }
    bool TestOver() { return window->isEnabled() && !progress->isVisible(); }
    QStringList AuxLines() { return window->tbsVarious->lbAUXTest->AllLines().split(u'\n', Qt::SkipEmptyParts); }
    // The lines of the levels up to the held one, that one ending in `last`.
    static QStringList LevelLines(int heldLevel, const char* last) {
        QStringList lines;
        if (heldLevel == 2) lines << QStringLiteral("Testing 200 mVpp... OK");
        lines << QStringLiteral("Testing %1 mVpp... %2").arg(heldLevel == 1 ? 200 : 100).arg(QLatin1String(last));
        return lines;
    }
    int LostMessages() { return static_cast<int>(Messages().count(TfrmMain::kTextConnectionLost)); }
    // The codes of the commands the sink received since `before` commands.
    std::vector<uint8_t> CodesSince(size_t before) {
        std::vector<uint8_t> codes;
        const auto commands = sim.Commands();
        for (size_t i = before; i < commands.size(); ++i) codes.push_back(commands[i][0]);
        return codes;
    }
    // The GUI thread kept serving its events all through the row, but for
    // the held level's own wait for its reply (up to its time-out, as long
    // as a level may hold the window): from its request being held until
    // its line got a result.
    void ExpectServed(GuiTickMonitor::Clock::time_point from, GuiTickMonitor::Clock::time_point heldAt) {
        const auto returned = std::find_if(resultsAt_.begin(), resultsAt_.end(), [&](auto t) { return t > heldAt; });
        ASSERT_NE(returned, resultsAt_.end()) << "the held level never got its result";
        const std::vector<GuiTickMonitor::Span> spans{{from, heldAt}, {*returned, GuiTickMonitor::Clock::now()}};
        const auto gap = monitor_->LongestGap(spans);
        EXPECT_LE(gap, kGapBound) << "longest gap "
                                  << std::chrono::duration_cast<std::chrono::milliseconds>(gap).count() << " ms";
    }

    std::unique_ptr<GuiTickMonitor> monitor_;
    std::vector<GuiTickMonitor::Clock::time_point> resultsAt_;
    int updates_ = 0;
};

TEST_P(SinkAuxTestInterleaving, TheTestEndsCleanAndTheWindowKeepsServing) {
    const AuxCase& c = GetParam();
    OpenConnected();
    ASSERT_TRUE(window->Connected());
    PrepareAuxTest();
    monitor_ = std::make_unique<GuiTickMonitor>();
    const auto from = GuiTickMonitor::Clock::now();
    const size_t before = sim.CommandCount(kAuxStep), commandsBefore = sim.CommandCount();
    sim.InjectFault(sim::SinkFaultPlan::HeldAt(kAuxStep, c.heldLevel));
    // The AUX test's lines when the queued operator action ran.
    QStringList linesAtAction;
    const auto actionLines = [&] { linesAtAction = AuxLines(); };

    switch (c.event) {
        case AuxEvent::PortLost: {
            AtHeldLevel at(sim, before, c.heldLevel, [&] { sim.HangUp(); });
            StartTest();
            ASSERT_TRUE(WaitFor([&] { return !window->Connected(); }, kPastAuxTimeOutMs));
            ASSERT_TRUE(WaitFor([&] { return LostMessages() >= 1; }));
            ASSERT_TRUE(at.Join());
            // The level that got no reply failed and ended the test, without
            // its closing lines; no further level went out.
            EXPECT_EQ(AuxLines(), LevelLines(c.heldLevel, "FAILED"));
            EXPECT_TRUE(TestOver());
            EXPECT_EQ(sim.CommandCount(kAuxStep) - before, static_cast<size_t>(c.heldLevel));
            EXPECT_FALSE(Messages().contains(QStringLiteral("Test finished."))) << Messages().join("|").toStdString();
            EXPECT_EQ(LostMessages(), 1) << Messages().join("|").toStdString();
            EXPECT_EQ(Text("lblFWVersion"), TfrmMain::kTextNotConnected);
            ExpectServed(from, at.HeldAt());
            break;
        }
        case AuxEvent::PortLostThenUpdateFirmware: {
            // The operator presses "Update firmware..." after the line hung
            // up: the press comes after the level's command has returned
            // and before the lost port's teardown it queued has run.
            bool connectedAtPress = false;
            AtHeldLevel at(sim, before, c.heldLevel, [&] {
                sim.HangUp();
                Queue([&] {
                    actionLines();
                    connectedAtPress = window->Connected();
                    monitor_->Own([&] { Click("btnUpdateFirmware"); });
                });
            });
            StartTest();
            ASSERT_TRUE(WaitFor([&] { return !window->Connected() && updates_ > 0; }, kPastAuxTimeOutMs));
            ASSERT_TRUE(at.Join());
            EXPECT_EQ(linesAtAction, LevelLines(c.heldLevel, "FAILED"));
            EXPECT_TRUE(connectedAtPress) << "the teardown ran before the press";
            EXPECT_EQ(updates_, 1);
            EXPECT_TRUE(TestOver());
            EXPECT_EQ(sim.CommandCount(kAuxStep) - before, static_cast<size_t>(c.heldLevel));
            EXPECT_LE(LostMessages(), 1) << Messages().join("|").toStdString();
            EXPECT_EQ(Text("lblFWVersion"), TfrmMain::kTextNotConnected);
            ExpectServed(from, at.HeldAt());
            // The window still answers the operator.
            boxes.Clear();
            Click("btnUpdateLinkStatus");
            EXPECT_EQ(boxes.Texts(), std::vector<std::string>{
                                         "COM connection failed.\nTry re-select the COM port or try another one."});
            break;
        }
        case AuxEvent::CloseWhileOut: {
            // The window system's close arrives while the level waits for
            // its reply; it is handled once the level's command has returned.
            AtHeldLevel at(sim, before, c.heldLevel, [&] {
                Queue([&] {
                    actionLines();
                    window->close();
                });
                sim.ReleaseHeld();
            });
            StartTest();
            ASSERT_TRUE(WaitFor([&] { return !window->isVisible(); }));
            ASSERT_TRUE(at.Join());
            // It ran once the level's command had returned (and, at the last
            // level, the test had ended), not inside its wait.
            QStringList returned = LevelLines(c.heldLevel, "OK");
            if (c.heldLevel == 2) returned << QStringLiteral("Test finished.");
            EXPECT_EQ(linesAtAction, returned) << "the close ran inside the level's wait";
            // The close ended the test.
            EXPECT_FALSE(progress->isVisible());
            EXPECT_EQ(AuxLines(), returned);
            ExpectServed(from, at.HeldAt());
            // The program ends: the windows go, the next level's step may
            // still be queued. It finds them gone and sends nothing.
            const size_t sent = sim.CommandCount(kAuxStep);
            window.reset();
            progress.reset();
            EXPECT_TRUE(WaitFor([] { return platform::GuiCallsAndPostsWaiting() == 0; }));
            EXPECT_EQ(sim.CommandCount(kAuxStep), sent);
            // No level went out after the close.
            EXPECT_EQ(sent - before, static_cast<size_t>(c.heldLevel));
            break;
        }
        case AuxEvent::LateReply: {
            // The reply stays held past the level's time-out.
            AtHeldLevel at(sim, before, c.heldLevel, [] {});
            StartTest();
            ASSERT_TRUE(WaitFor([&] { return TestOver(); }, kPastAuxTimeOutMs));
            ASSERT_TRUE(at.Join());
            EXPECT_EQ(AuxLines(), LevelLines(c.heldLevel, "FAILED"));
            EXPECT_EQ(Messages().last(), QString::fromLatin1(dpprotocol_t::kTextTimedOut));
            // The held reply (the level passed) goes out now, before the next
            // test, whose first level the sink fails: that level shows its
            // own result, not the late one.
            sim.SetAuxThreshold(300);
            sim.ReleaseHeld();
            ASSERT_TRUE(WaitFor([&] { return !sim.ReplyHeld(); }));
            StartTest();
            ASSERT_TRUE(WaitFor([&] { return TestOver(); }));
            EXPECT_EQ(AuxLines(), (QStringList{"Testing 200 mVpp... FAILED", "Test finished."}));
            EXPECT_EQ(Messages().last(), "Test finished.");
            EXPECT_TRUE(window->Connected());
            ExpectServed(from, at.HeldAt());
            break;
        }
        case AuxEvent::CommandsWhileOut: {
            // Clicks on other commands, on "Test" again and on the Main
            // page's tab while the level waits: they reach the window once
            // the level has returned, and the window, disabled while levels
            // remain, takes none of them.
            AtHeldLevel at(sim, before, c.heldLevel, [&] {
                Queue([&] {
                    actionLines();
                    monitor_->Own([&] {
                        for (const char* button : {"btnDPCDRead", "btnSetAUXChannelOutputLevel", "btnAUXTest",
                                                   "btnUpdateFirmware", "btnUpdateLinkStatus"})
                            Click(button);
                        QTabBar* tabs = window->pgMain->tabBar();
                        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
                    });
                });
                sim.ReleaseHeld();
            });
            StartTest();
            ASSERT_TRUE(WaitFor([&] { return TestOver(); }));
            ASSERT_TRUE(at.Join());
            EXPECT_EQ(linesAtAction, LevelLines(c.heldLevel, "OK"));
            EXPECT_EQ(AuxLines(), (QStringList{"Testing 200 mVpp... OK", "Testing 100 mVpp... OK", "Test finished."}));
            EXPECT_EQ(CodesSince(commandsBefore), (std::vector<uint8_t>{kAuxStep, kAuxStep}));
            EXPECT_EQ(updates_, 0);
            EXPECT_EQ(window->pgMain->currentWidget(), window->tbsVarious);
            EXPECT_TRUE(boxes.Texts().empty()) << Boxes();
            ExpectServed(from, at.HeldAt());
            break;
        }
    }
}

// Every event at both levels, but the clicks: at the last level the window
// is enabled again when they arrive, and they are the operator's next
// commands, which the table above covers.
INSTANTIATE_TEST_SUITE_P(
    AuxTestLevels, SinkAuxTestInterleaving,
    ::testing::Values(AuxCase{"PortLost_FirstLevel", AuxEvent::PortLost, 1},
                      AuxCase{"PortLost_LastLevel", AuxEvent::PortLost, 2},
                      AuxCase{"PortLostThenUpdateFirmware_FirstLevel", AuxEvent::PortLostThenUpdateFirmware, 1},
                      AuxCase{"PortLostThenUpdateFirmware_LastLevel", AuxEvent::PortLostThenUpdateFirmware, 2},
                      AuxCase{"CloseWhileOut_FirstLevel", AuxEvent::CloseWhileOut, 1},
                      AuxCase{"CloseWhileOut_LastLevel", AuxEvent::CloseWhileOut, 2},
                      AuxCase{"LateReply_FirstLevel", AuxEvent::LateReply, 1},
                      AuxCase{"LateReply_LastLevel", AuxEvent::LateReply, 2},
                      AuxCase{"CommandsWhileOut_FirstLevel", AuxEvent::CommandsWhileOut, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace selvitra_test
