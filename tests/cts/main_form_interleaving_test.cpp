// Every operator action at every point where a request of the main window is
// out: the simulated instrument holds the reply of that request back, the
// action is played while it waits, then the reply goes out. Each row checks
// that the run or the E-EDID transfer ends exactly once with its text, that
// the prompt the instrument raised was answered (or the abort released it),
// that the link is left with no request out, and that the GUI thread kept
// serving its events while the reply was held (run in the asan build, the
// rows also show any use of freed memory).
//
// The actions the window does not offer at a point (a hidden or disabled
// control, a window behind a modal dialog) share one row per point: each is
// tried while the reply is held, none may play, and the run ends as without
// them.
#include <QApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <cstdlib>

#include <algorithm>
#include <atomic>
#include <optional>
#include <ostream>

#include "RunFixture.h"
#include "cts/dialogs/TDPCD_Access.h"
#include "cts/dialogs/TOperatorInput.h"
#include "cts/dialogs/TOptionsForm.h"
#include "cts/dialogs/TReportOptions.h"
#include "support/EdidFixtures.h"
#include "support/GuiTickMonitor.h"
#include "support/Probe.h"

namespace {

using cts_test::RunFixture;
using test_support::GuiTickMonitor;

constexpr int kEdidPage = 5;
// Request codes (the byte after 0x71).
constexpr uint8_t kVersion = 0x1C, kStart = 0x10, kResult = 0x11, kLogSize = 0x12, kReadLog = 0x13, kClearLog = 0x14,
                  kAnswer = 0x1E, kTestStatus = 0x35, kChannel = 0x36, kEdidRead = 0x16, kEdidWrite = 0x17,
                  kDpcdRead = 0x1A;
// A held reply goes out by itself after this long, so that a GUI thread that
// never gets to release it still ends the row (and shows as a gap that long).
// Each limit stays below the reply time-out of its request (the firmware
// check 500 ms, the test status 2 s, the others 4 s or more).
constexpr uint32_t kHoldLimitMs = 3500, kStatusHoldLimitMs = 1500, kFirmwareCheckHoldLimitMs = 300;
// The reply stays held until the GUI thread has served this many ticks of
// its 10 ms timer after the action: the window was seen alive meanwhile.
constexpr size_t kTicksWhileHeld = 10;
// The longest the GUI thread may go without serving its timer while a reply
// is held (stalls of the whole machine left out). Generous against a loaded
// machine and the sanitizers' slowness, and still far below kHoldLimitMs,
// the gap a GUI thread blocked until the reply comes shows.
constexpr auto kGapBound = std::chrono::milliseconds(1500);

const std::string kComplete = "Testing Sequence Complete.";
const std::string kAborted = "Testing sequence Aborted";
const std::string kCloseQuestion = "A test process is still running.\r\n\r\nAbort the test process and close?";
const std::string kReportQuestion =
    "Report not saved.\r\n\r\nWould you like to save the report of the test run before closing program?";
const std::string kWriteQuestion =
    "This operation will over-write the E-EDID in the attached SINK device.\r\nThe existing data will be "
    "lost.\r\n\r\nWrite E-EDID?";
const std::string kWriteDone = "Completed succesfully";
const std::string kReadFailed = "Read failed";

// ---- the table

enum class Action {
    Abort,
    Disconnect,
    CloseYes,
    CloseNo,
    OptionsOk,
    TryConnection,
    SecondChannel,
    ReadEdid,
    DpcdRead,
    // E-EDID rows only: closing with the report unsaved, Yes to saving it
    // (its dialog is then cancelled); a new image loaded into the editor.
    CloseSavingReport,
    LoadEdidFile,
    // Closing with the report unsaved, No to saving it.
    CloseReportUnsaved,
};
enum class Point {
    FirmwareCheck,
    Start,
    ResultQuery,
    LogSize,
    FirstLogPiece,
    SecondLogPiece,
    ClearLog,
    StatusPoll,
    ChannelChoice,
    Answer,
    EdidRead,
    EdidWrite,
    EdidWriteWaiting,  // a confirmed write waits for the DPCD dialog's read
};

struct PointInfo {
    const char* name;
    uint8_t code;  // the request whose reply is held
    int nth;       // which of them, counted from the run's (or the transfer's) start
    int promptKind;
};

PointInfo InfoOf(Point p) {
    switch (p) {
        case Point::FirmwareCheck:
            return {"FirmwareCheck", kVersion, 1, 8};
        case Point::Start:
            return {"Start", kStart, 1, 8};
        case Point::ResultQuery:
            return {"ResultQuery", kResult, 1, 8};
        case Point::LogSize:
            return {"LogSize", kLogSize, 1, 8};
        case Point::FirstLogPiece:
            return {"FirstLogPiece", kReadLog, 1, 8};
        case Point::SecondLogPiece:
            return {"SecondLogPiece", kReadLog, 2, 8};
        case Point::ClearLog:
            return {"ClearLog", kClearLog, 1, 8};
        case Point::StatusPoll:
            return {"StatusPoll", kTestStatus, 1, 8};
        case Point::ChannelChoice:
            return {"ChannelChoice", kChannel, 1, 9};
        case Point::Answer:
            return {"Answer", kAnswer, 1, 8};
        case Point::EdidRead:
            return {"EdidRead", kEdidRead, 1, 0};
        case Point::EdidWrite:
            return {"EdidWrite", kEdidWrite, 1, 0};
        case Point::EdidWriteWaiting:
            return {"EdidWriteWaitingForDpcd", kDpcdRead, 1, 0};
    }
    return {};
}

const char* NameOf(Action a) {
    switch (a) {
        case Action::Abort:
            return "Abort";
        case Action::Disconnect:
            return "DisconnectCom";
        case Action::CloseYes:
            return "CloseYes";
        case Action::CloseNo:
            return "CloseNo";
        case Action::OptionsOk:
            return "OptionsOk";
        case Action::TryConnection:
            return "TryConnection";
        case Action::SecondChannel:
            return "SecondChannel";
        case Action::ReadEdid:
            return "ReadEdid";
        case Action::DpcdRead:
            return "DpcdRead";
        case Action::CloseSavingReport:
            return "CloseSavingReport";
        case Action::LoadEdidFile:
            return "LoadEdidFile";
        case Action::CloseReportUnsaved:
            return "CloseReportUnsaved";
    }
    return "";
}

bool IsTransfer(Point p) { return p == Point::EdidRead || p == Point::EdidWrite || p == Point::EdidWriteWaiting; }
// The operator dialog is up, modal: the main window takes no input.
bool BehindPrompt(Point p) { return p == Point::StatusPoll || p == Point::ChannelChoice; }
// Whether the instrument's prompt was answered before the point.
bool PromptAnsweredBefore(Point p) {
    return p != Point::FirmwareCheck && p != Point::Start && p != Point::ResultQuery && !BehindPrompt(p);
}

struct Case {
    std::vector<Action> actions;  // one played action, or every action not offered at the point
    Point point;
    bool offered;                    // the window offers the actions at that point
    std::vector<std::string> boxes;  // every message box, in order
    bool closed = false;             // the window was closed
    bool connected = true;           // the pages are shown at the end
    size_t answers = 1;              // operator answers the instrument received
    int lastAnswer = -1;             // the last of them (-1: not checked)
    bool started = true;             // a test was started
};

std::string RowName(const Case& c) {
    return std::string(c.offered ? NameOf(c.actions.front()) : "NotOffered") + "_At" + InfoOf(c.point).name;
}
void PrintTo(const Case& c, std::ostream* os) { *os << RowName(c); }

// What the window offers, and how the run (or transfer) ends, for each pair.
Case Expect(Action a, Point p) {
    Case c{{a}, p, false, {}};
    const bool fw = p == Point::FirmwareCheck;
    if (IsTransfer(p)) {
        c.answers = 0;
        c.started = false;
        if (p == Point::EdidWriteWaiting) {
            // The window is usable while the write waits; it writes the image
            // the operator confirmed, not the one loaded since. The confirmed
            // write holds the close back.
            c.offered = a == Action::LoadEdidFile || a == Action::CloseNo || a == Action::CloseReportUnsaved;
            c.boxes = {kWriteQuestion, kWriteDone};
            return c;
        }
        // The main window's controls and menus take no input during the
        // transfer; only its closing is offered (the window system's close
        // button), and the transfer ends as it would have.
        c.offered = a == Action::CloseYes || a == Action::CloseNo || a == Action::CloseSavingReport ||
                    a == Action::CloseReportUnsaved;
        if (p == Point::EdidWrite) {
            // A write refuses the close, without a question, until it has ended.
            c.boxes = {kWriteQuestion, kWriteDone};
            return c;
        }
        // A read is closed, and the program ends with the window: the
        // transfer with it.
        c.closed = a == Action::CloseYes || a == Action::CloseNo || a == Action::CloseReportUnsaved;
        // The report question and its dialog, usable, come between.
        if (a == Action::CloseSavingReport || a == Action::CloseReportUnsaved)
            c.boxes.insert(c.boxes.begin(), kReportQuestion);
        return c;
    }
    if (BehindPrompt(p)) c.offered = a == Action::SecondChannel && p == Point::ChannelChoice;
    // The run holds the link from its start: the DPCD dialog's buttons wait
    // for it, so a DPCD read is not offered during the firmware check.
    else if (fw) c.offered = a != Action::Abort && a != Action::SecondChannel && a != Action::DpcdRead;
    else
        c.offered = a == Action::Abort || a == Action::Disconnect || a == Action::CloseYes || a == Action::CloseNo ||
                    a == Action::TryConnection;
    c.boxes = {kComplete};
    if (!c.offered) return c;
    switch (a) {
        case Action::Abort:
            c.boxes = {kAborted};
            // A prompt that arrives after "Abort" is released with 0.
            if (p == Point::Start) c.answers = 0;
            if (p == Point::ResultQuery) c.lastAnswer = 0;
            break;
        case Action::Disconnect:
        case Action::TryConnection:
            c.boxes = fw ? std::vector<std::string>{} : std::vector<std::string>{kAborted};
            c.connected = a == Action::TryConnection;
            c.answers = PromptAnsweredBefore(p) || p == Point::Answer ? 1 : 0;
            c.started = !fw;
            break;
        case Action::CloseYes:
        case Action::CloseNo:
            c.closed = fw || a == Action::CloseYes;
            if (fw) {
                c.boxes = {};
                c.started = false;
                c.answers = 0;
            } else if (a == Action::CloseYes) {
                c.boxes = {kCloseQuestion, kReportQuestion};
                c.answers = PromptAnsweredBefore(p) || p == Point::Answer ? 1 : 0;
            } else {
                c.boxes = {kCloseQuestion, kComplete};
            }
            break;
        case Action::OptionsOk:
            // The link is built again: the run that waited for the old
            // link's firmware check never starts.
            c.boxes = {};
            c.answers = 0;
            c.started = false;
            break;
        case Action::ReadEdid:
            // The run's start holds the link: the read fails as a busy link
            // does, aloud, and the run goes on.
            if (fw) c.boxes.insert(c.boxes.begin(), kReadFailed);
            break;
        case Action::SecondChannel:
        case Action::DpcdRead:
        case Action::CloseSavingReport:
        case Action::LoadEdidFile:
        case Action::CloseReportUnsaved:
            break;
    }
    return c;
}

// A row per offered action and point, and one per point for all the actions
// not offered there (which end the run or transfer alike: as without them).
std::vector<Case> AllCases() {
    std::vector<Case> cases;
    for (Point p : {Point::FirmwareCheck, Point::Start, Point::ResultQuery, Point::LogSize, Point::FirstLogPiece,
                    Point::SecondLogPiece, Point::ClearLog, Point::StatusPoll, Point::ChannelChoice, Point::Answer,
                    Point::EdidRead, Point::EdidWrite}) {
        std::optional<Case> notOffered;
        for (Action a : {Action::Abort, Action::Disconnect, Action::CloseYes, Action::CloseNo, Action::OptionsOk,
                         Action::TryConnection, Action::SecondChannel, Action::ReadEdid, Action::DpcdRead}) {
            Case c = Expect(a, p);
            if (c.offered) {
                cases.push_back(std::move(c));
            } else if (notOffered) {
                notOffered->actions.push_back(a);
            } else {
                notOffered = std::move(c);
            }
        }
        if (notOffered) cases.push_back(std::move(*notOffered));
    }
    // The E-EDID transfer's own rows.
    for (Point p : {Point::EdidRead, Point::EdidWrite}) cases.push_back(Expect(Action::CloseSavingReport, p));
    cases.push_back(Expect(Action::LoadEdidFile, Point::EdidWriteWaiting));
    // Closing with the report unsaved (No to saving it) during a transfer,
    // and closing while a confirmed write waits for the link.
    for (Point p : {Point::EdidRead, Point::EdidWrite, Point::EdidWriteWaiting})
        cases.push_back(Expect(Action::CloseReportUnsaved, p));
    cases.push_back(Expect(Action::CloseNo, Point::EdidWriteWaiting));
    return cases;
}

// ---- the simulator side

// Holds the reply of the nth request of a code (counted from when it is
// armed) back; the requests before and after it are answered at once.
class HoldOnRequest : public sim::InstrumentSimExtension {
public:
    HoldOnRequest(sim::InstrumentSim& sim, uint8_t code, int nth, uint32_t limitMs)
        : sim_(sim), code_(code), nth_(nth), limitMs_(limitMs) {}
    bool OnPayload(const uint8_t* p, size_t n, sim::InstrumentWire&) override {
        if (armed_ && !hit_ && sim::InstrumentSim::RequestCode(p, n) == code_ && ++seen_ == nth_) {
            sim_.SetFault(code_, sim::FaultSpec{sim::Fault::Hold, limitMs_, 1});
            hit_ = true;
        }
        return false;
    }
    size_t RawBytesWanted() const override { return 0; }
    void OnRawBytes(const uint8_t*, size_t, sim::InstrumentWire&) override {}
    void Arm() { armed_ = true; }
    bool Hit() const { return hit_; }

private:
    sim::InstrumentSim& sim_;
    const uint8_t code_;
    const int nth_;
    const uint32_t limitMs_;
    std::atomic<bool> armed_{false}, hit_{false};
    int seen_ = 0;  // the simulator's thread only
};

// A log of 300 bytes: read in two pieces (200 and 100).
sim::Bytes LongLog() {
    sim::Bytes log;
    for (int i = 0; i < 10; ++i) {
        const sim::Bytes line = sim::LogLine("Log line " + std::to_string(i) + std::string(18, '.'));
        log.insert(log.end(), line.begin(), line.end());
    }
    log.resize(300, 0);
    return log;
}

// ---- the test

class Interleaving : public RunFixture, public ::testing::WithParamInterface<Case> {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        if (HasFatalFailure()) return;
        // A held reply never reaches the link's time-out.
        ASSERT_TRUE(Settings().WriteInteger(TCTSMainForm::kSection, "Vardeko_Timeout", 10));
        const PointInfo info = InfoOf(GetParam().point);
        hold_ = std::make_unique<HoldOnRequest>(sim_, info.code, info.nth,
                                                GetParam().point == Point::FirmwareCheck ? kFirmwareCheckHoldLimitMs
                                                : GetParam().point == Point::StatusPoll  ? kStatusHoldLimitMs
                                                                                         : kHoldLimitMs);
        sim_.SetExtension(hold_.get());
        // Test 1: a prompt of the point's kind, then a pass with a log of two pieces.
        const std::string promptText = info.promptKind == 8 ? "Link ok\rVideo on\rAudio on" : "Choose the channels";
        sim::TestRun run;
        sim::TestStep prompt, pass;
        prompt.result = sim::ResultRecord(static_cast<int8_t>(info.promptKind), promptText);
        prompt.status = {0x07};
        pass.result = sim::ResultRecord(1, "Test passed");
        pass.log = LongLog();
        run.steps = {prompt, pass};
        sim_.SetTestScript(1, {run});
    }
    void TearDown() override {
        driver_.reset();
        sim_.SetExtension(nullptr);
        RunFixture::TearDown();
    }

    // Whether the operator can reach a control of the main window now.
    static bool Reachable(QWidget* w) {
        QWidget* modal = QApplication::activeModalWidget();
        return w->isVisible() && w->isEnabled() && (!modal || w->window() == modal);
    }
    bool Reachable(QAction* a) const {
        return a->isEnabled() && form_->isEnabled() && form_->menuBar()->isEnabled() &&
               !QApplication::activeModalWidget();
    }

    // Plays the row's action; false when the window does not offer it.
    bool Play(Action a) {
        TCTSMainForm* form = form_.get();
        switch (a) {
            case Action::Abort:
                if (!Reachable(form->BTN_Abort)) return false;
                QTest::mouseClick(form->BTN_Abort, Qt::LeftButton);
                return true;
            case Action::Disconnect:
                if (!Reachable(form->DisconnectCOM1)) return false;
                form->DisconnectCOM1->trigger();
                return true;
            case Action::CloseYes:
            case Action::CloseNo:
                if (QApplication::activeModalWidget() || !form->isVisible()) return false;
                closeAccepted_ = form->close();
                return true;
            case Action::OptionsOk:
                if (!Reachable(form->MENU_Options)) return false;
                AnswerNextDialog(QDialog::Accepted);
                form->MENU_Options->trigger();
                return true;
            case Action::TryConnection:
                if (!Reachable(form->DisconnectCOM1)) return false;
                form->DisconnectCOM1->trigger();
                if (!Reachable(form->BTN_TryConnection)) return false;
                QTest::mouseClick(form->BTN_TryConnection, Qt::LeftButton);
                return true;
            case Action::SecondChannel: {
                TOperatorInput* dialog = dialogs_.operatorInput;
                if (!dialog->IsShowing()) return false;
                auto* pair = test_support::Probe<QRadioButton>(dialog, "RG_ChannelSelect_2");
                if (!pair->isVisible() || !pair->isEnabled()) return false;
                pair->click();
                return true;
            }
            case Action::ReadEdid: {
                if (QApplication::activeModalWidget() || !form->isEnabled()) return false;
                form->TC_PagesTabs->setCurrentIndex(kEdidPage);
                auto* read = test_support::Probe<QPushButton>(form, "BTN_ReadEDID");
                if (!Reachable(read)) return false;
                QTest::mouseClick(read, Qt::LeftButton);
                return true;
            }
            case Action::DpcdRead: {
                if (!Reachable(form->MENU_DPCDAccess)) return false;
                form->MENU_DPCDAccess->trigger();
                TDPCD_Access* dpcd = dialogs_.dpcd;
                test_support::Probe<QLineEdit>(dpcd, "ED_Address")->setText(QStringLiteral("0001"));
                if (!dpcd->BTN_Read->isEnabled()) return false;
                QTest::mouseClick(dpcd->BTN_Read, Qt::LeftButton);
                return true;
            }
            case Action::CloseSavingReport: {
                if (QApplication::activeModalWidget() || !form->isVisible()) return false;
                form->SetReportSaved(false);
                // The report dialog is answered once the report question has
                // been (a write refuses the close without either).
                closeAccepted_ = form->close();
                return true;
            }
            case Action::CloseReportUnsaved:
                if (QApplication::activeModalWidget() || !form->isVisible()) return false;
                form->SetReportSaved(false);
                closeAccepted_ = form->close();
                return true;
            case Action::LoadEdidFile: {
                if (!Reachable(test_support::Probe<QPushButton>(form, "BTN_LoadBlocks"))) return false;
                // A 1-block image, as loading a file leaves it in the library.
                edid_fixtures::Block loaded = edid_fixtures::AnalogBase13();
                loaded[126] = 0;
                edid_fixtures::FixChecksum(loaded);
                ECClearBlocks(form->EdidHandle());
                return ECAddBlock(form->EdidHandle(), loaded.data(), 128) >= 0;
            }
        }
        return false;
    }

    // "Yes" to saving the report at closing: the report dialog, seen while
    // the transfer is still out, takes input in its fields. Cancelled, the
    // window stays open.
    void AnswerTheReportDialog() {
        AnswerNextDialog(QDialog::Rejected, [this](QDialog* dialog) {
            TReportOptions* options = dialogs_.reportOptions;
            reportDialogUsable_ = dialog == options && form_->EdidTransferActive() && options->isEnabled() &&
                                  options->ED_SaveFile->isEnabled();
        });
    }

    // One turn of the driver (every 5 ms on the GUI thread): the action once
    // the reply is held, the release once the window has been seen serving
    // events after it, and the operator's answer to the prompt.
    void Drive() {
        const Case& c = GetParam();
        EndProgramWhenClosed();
        // A span appears once the reply is held (and stays once it has gone).
        // A write that waits is acted on once it has been confirmed.
        const bool ready = c.point != Point::EdidWriteWaiting || writeConfirmed_;
        if (phase_ == Phase::Waiting && ready && c.point != Point::FirmwareCheck && !sim_.HeldSpans().empty()) {
            Act(sim_.HeldCount() > 0);
        } else if (phase_ == Phase::Acted && monitor_->TicksSince(actedAt_) >= kTicksWhileHeld) {
            sim_.ReleaseHeld();
            phase_ = Phase::Released;
        }
        TOperatorInput* dialog = dialogs_.operatorInput;
        if (!dialog || !dialog->IsShowing()) {
            promptSeen_ = false;
            answerClicked_ = false;
            return;
        }
        if (!promptSeen_) {
            promptSeen_ = true;
            ++prompts_;
        }
        if (c.point == Point::ChannelChoice && !channelChosen_) {
            channelChosen_ = true;
            test_support::Probe<QRadioButton>(dialog, "RG_ChannelSelect_1")->click();
            return;
        }
        if (BehindPrompt(c.point) && phase_ != Phase::Released) return;
        QPushButton* answer = InfoOf(c.point).promptKind == 9 ? dialog->BTN_PassButton : dialog->BTN_FailButton;
        if (answer->isVisible() && answer->isEnabled() && !answerClicked_) {
            answerClicked_ = true;
            answer->click();
        }
    }

    void Act(bool replyOut) {
        actedWhileHeld_ = replyOut;
        actedAt_ = GuiTickMonitor::Clock::now();
        // An action may run a dialog's loop: the driver neither acts again
        // nor releases the reply meanwhile.
        phase_ = Phase::Acting;
        monitor_->Own([&] {
            for (Action a : GetParam().actions)
                if (Play(a)) played_.push_back(a);
        });
        phase_ = Phase::Acted;
    }

    // Starts the row's run or transfer with the driver going.
    void Begin() {
        const Case& c = GetParam();
        TCTSMainForm* form = form_.get();
        monitor_ = std::make_unique<GuiTickMonitor>();
        driver_ = std::make_unique<QTimer>();
        driver_->setInterval(5);
        QObject::connect(driver_.get(), &QTimer::timeout, [this] { Drive(); });
        driver_->start();
        hold_->Arm();
        if (c.point == Point::EdidWriteWaiting) {
            // A DPCD read from the dialog, then "Write EDID" while its reply is held.
            form->TC_PagesTabs->setCurrentIndex(kEdidPage);
            QTimer::singleShot(0, form, [this, form] {
                form->MENU_DPCDAccess->trigger();
                TDPCD_Access* dpcd = dialogs_.dpcd;
                test_support::Probe<QLineEdit>(dpcd, "ED_Address")->setText(QStringLiteral("0001"));
                QTest::mouseClick(dpcd->BTN_Read, Qt::LeftButton);
                QTest::mouseClick(test_support::Probe<QPushButton>(form, "BTN_WriteEDID"), Qt::LeftButton);
            });
            return;
        }
        if (c.point == Point::EdidRead || c.point == Point::EdidWrite) {
            form->TC_PagesTabs->setCurrentIndex(kEdidPage);
            auto* button =
                test_support::Probe<QPushButton>(form, c.point == Point::EdidRead ? "BTN_ReadEDID" : "BTN_WriteEDID");
            // Clicked from the event loop, as the operator does: the transfer
            // then runs in the loop's turns, not inside the test's call.
            QTimer::singleShot(0, button, [button] { QTest::mouseClick(button, Qt::LeftButton); });
            return;
        }
        Select(form, {1});
        form->UD_IterationCount->setValue(1);
        QTimer::singleShot(0, form->BTN_RunTests, [this, form] {
            QTest::mouseClick(form->BTN_RunTests, Qt::LeftButton);
            // The firmware check is out once the click has returned, and its
            // completion cannot come before the next turn of the event loop:
            // the action follows in this turn, well inside its short time-out.
            if (GetParam().point == Point::FirmwareCheck) Act(true);
        });
    }

    bool Finished(const Case& c, const std::vector<std::string>& boxes) const {
        TCTSMainForm* form = form_.get();
        if (phase_ != Phase::Released || sim_.HeldCount() > 0 || QApplication::activeModalWidget()) return false;
        if (boxes.size() < c.boxes.size()) return false;
        if (!form) return true;
        if (form->Running() || !form->isEnabled() || form->EdidTransferActive()) return false;
        return !c.connected || form->TC_Pages->isVisible();
    }

    // A closed main window ends the program: the window (and its link) goes
    // at the next turn of the event loop.
    void EndProgramWhenClosed() {
        if (form_ && closeAccepted_) form_.reset();
    }

    // The report question at closing is a modal box: while it is up the
    // event loop runs, and the held reply lands. Modelled here by letting
    // the reply go and serving events until the link has taken it.
    void ReportQuestionShown() {
        if (phase_ == Phase::Released || !form_ || !form_->Link()) return;
        sim_.ReleaseHeld();
        phase_ = Phase::Released;
        EXPECT_TRUE(SettleLink(form_.get()));
    }

    enum class Phase { Waiting, Acting, Acted, Released };
    std::unique_ptr<HoldOnRequest> hold_;
    std::unique_ptr<GuiTickMonitor> monitor_;
    std::unique_ptr<QTimer> driver_;
    Phase phase_ = Phase::Waiting;
    GuiTickMonitor::Clock::time_point actedAt_{};
    std::vector<Action> played_;  // the row's actions the window offered
    bool actedWhileHeld_ = false, closeAccepted_ = false;
    bool writeConfirmed_ = false, reportDialogUsable_ = false;
    bool promptSeen_ = false, channelChosen_ = false, answerClicked_ = false;
    int prompts_ = 0;
};

TEST_P(Interleaving, EndsOnceWithItsTextAndTheWindowKeepsServing) {
    const Case& c = GetParam();
    TCTSMainForm* form = OpenForRuns();
    ASSERT_TRUE(form->TC_Pages->isVisible());
    sim::Bytes image;
    if (IsTransfer(c.point)) {
        // A base block announcing one extension, and the extension, on both sides.
        edid_fixtures::Block base = edid_fixtures::DigitalBase14();
        base[126] = 1;
        edid_fixtures::FixChecksum(base);
        const edid_fixtures::Block extension = edid_fixtures::MakeCea({{0x41, 0x10}}, {}, 0x00);
        image.resize(2 * base.size());
        std::copy(base.begin(), base.end(), image.begin());
        std::copy(extension.begin(), extension.end(), image.begin() + static_cast<long>(base.size()));
        sim_.SetEdid(image);
        ECClearBlocks(form->EdidHandle());
        ASSERT_GE(ECAddBlock(form->EdidHandle(), base.data(), 128), 0);
        ASSERT_GE(ECAddBlock(form->EdidHandle(), extension.data(), 128), 0);
    }
    sim_.ClearReceived();
    form->LB_StatusLines->clear();

    std::vector<std::string> boxes;
    const platform::MessageBoxHandler previous =
        platform::SetMessageBoxHandler([&](const platform::MessageBoxRequest& box) {
            boxes.push_back(box.text);
            if (box.text == kCloseQuestion)
                return c.actions.front() == Action::CloseYes ? platform::MsgResult::Yes : platform::MsgResult::No;
            if (box.text == kReportQuestion) {
                if (c.actions.front() == Action::CloseSavingReport) {
                    AnswerTheReportDialog();
                    return platform::MsgResult::Yes;
                }
                // A transfer's held reply is released by the driver: a request
                // of the test's own would meet the transfer's next block.
                if (!IsTransfer(c.point)) ReportQuestionShown();
                return platform::MsgResult::No;
            }
            if (box.text == kWriteQuestion) {
                writeConfirmed_ = true;
                return platform::MsgResult::Yes;
            }
            return platform::MsgResult::Ok;
        });
    struct Restore {
        platform::MessageBoxHandler handler;
        ~Restore() { platform::SetMessageBoxHandler(handler); }
    } restore{previous};

    Begin();
    const bool finished = WaitFor([&] { return Finished(c, boxes); }, 20000);
    driver_->stop();
    form = form_.get();
    EXPECT_TRUE(finished) << "phase " << static_cast<int>(phase_) << ", boxes " << boxes.size() << ", running "
                          << (form && form->Running());
    // A link freed at once may never have put the firmware check on the line.
    if (c.point != Point::FirmwareCheck) {
        ASSERT_TRUE(hold_->Hit()) << "the held request was never sent";
    }
    EXPECT_TRUE(actedWhileHeld_) << "the window served no event while the reply was held";
    std::vector<std::string> played, expectedPlayed;
    for (Action a : played_) played.push_back(NameOf(a));
    if (c.offered)
        for (Action a : c.actions) expectedPlayed.push_back(NameOf(a));
    EXPECT_EQ(played, expectedPlayed);

    // The run or transfer ended exactly once, with its text.
    EXPECT_EQ(boxes, c.boxes);
    EXPECT_EQ(form == nullptr, c.closed);
    if (form) {
        EXPECT_EQ(form->Link() != nullptr, c.connected);
        EXPECT_FALSE(form->Running());
        if (c.connected && !IsTransfer(c.point)) {
            // A new link shows a new test list, with nothing selected.
            if (c.offered && (c.actions.front() == Action::OptionsOk || c.actions.front() == Action::TryConnection))
                Select(form, {1});
            EXPECT_TRUE(form->BTN_RunTests->isEnabled());
        }
    }
    if (c.offered && c.actions.front() == Action::DpcdRead && dialogs_.dpcd) {
        EXPECT_FALSE(dialogs_.dpcd->LBL_Status->text().contains(QStringLiteral("Failed")))
            << dialogs_.dpcd->LBL_Status->text().toStdString();
    }
    // Where the close asked about the report (not during a write, which refuses it).
    if (c.actions.front() == Action::CloseSavingReport &&
        std::find(c.boxes.begin(), c.boxes.end(), kReportQuestion) != c.boxes.end()) {
        EXPECT_TRUE(reportDialogUsable_) << "the report dialog, up while the transfer was out, took no input";
    }
    if (c.point == Point::EdidWriteWaiting) {
        // The instrument holds the confirmed image, both blocks of it.
        EXPECT_EQ(sim_.CountReceived(kEdidWrite), 2u);
        const sim::Bytes held = sim_.Edid();
        ASSERT_GE(held.size(), image.size());
        EXPECT_EQ(sim::Bytes(held.begin(), held.begin() + static_cast<long>(image.size())), image);
    }
    if (c.offered && c.actions.front() == Action::SecondChannel) {
        EXPECT_EQ(sim_.LastChannel(), 2) << "the newest choice is the one the instrument has";
    }

    // Every prompt the window showed was answered; one the abort met was
    // released with 0.
    if (!IsTransfer(c.point)) {
        EXPECT_EQ(sim_.CountReceived(kStart) > 0, c.started);
        EXPECT_EQ(sim_.CountReceived(kAnswer), c.answers);
        EXPECT_LE(static_cast<size_t>(prompts_), sim_.CountReceived(kAnswer));
        if (c.lastAnswer >= 0) {
            EXPECT_EQ(sim_.LastOperatorResponse(), c.lastAnswer);
        }
    }

    // No request is left out: the link (the one there is now) takes a
    // request of its own and completes it.
    if (form && form->Link()) {
        EXPECT_TRUE(SettleLink(form));
    }
    EXPECT_EQ(sim_.HeldCount(), 0u);

    // The GUI thread kept serving its 10 ms timer while the reply was held.
    std::vector<GuiTickMonitor::Span> held;
    for (const auto& span : sim_.HeldSpans()) held.push_back({span.from, span.to});
    const auto gap = monitor_->LongestGap(held);
    EXPECT_LE(gap, kGapBound) << "longest gap " << std::chrono::duration_cast<std::chrono::milliseconds>(gap).count()
                              << " ms";

    // The program ends: every window goes, the link with them.
    form_.reset();
}

INSTANTIATE_TEST_SUITE_P(ActionsAtEachPoint, Interleaving, ::testing::ValuesIn(AllCases()),
                         [](const auto& info) { return RowName(info.param); });

}  // namespace
