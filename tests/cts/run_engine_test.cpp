// Test runs through the main window against the simulated instrument: the
// outcomes in the list's counters, the locked controls, the header lines from
// the controls, the delay between tests, run preparation from the click's
// rows, abort from the window at each stage, a failed request at each step
// with the window after it, a failed port reset and the reconnection, a lost
// port, "Disconnect COM" and closing the window during a run. The engine's
// own rules (the log in pieces, the code-5 continuation, the repetition of a
// lost log piece) are tested without a window in engine/test_run_test.cpp.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "RunFixture.h"
#include "cts/dialogs/TColorimetryEdit.h"
#include "cts/dialogs/TDPCD_Access.h"
#include "engine/ChainFailureCases.h"
#include "platform/GuiCall.h"
#include "platform/gui/Lamp.h"
#include "support/WaitUntil.h"

namespace {

using cts_test::Log;
using cts_test::Record;
using cts_test::RunFixture;
using cts_test::SimStep;

std::vector<std::string> Tail(const std::vector<std::string>& lines, size_t n) {
    return std::vector<std::string>(lines.end() - static_cast<long>(std::min(n, lines.size())), lines.end());
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// ---- outcomes, counters and logs

TEST_F(RunFixture, ThreeIterationsOfTwoTestsRecordEveryOutcome) {
    tests_.SetRuns(1, {{{Record(kResultPassed), Log({"first run"})}},
                       {{Record(kResultFailed, "bad <value> & \"more\"", static_cast<int8_t>(200), 3), Log({"a<b"})}},
                       {{Record(kResultSkipped, "not supported"), {}}}});
    tests_.SetRuns(2, {{{Record(kResultTimedOut), {}}}, {{Record(kResultPassed), {}}}});
    TCTSMainForm* form = OpenForRuns();
    Select(form, {1, 2});
    platform::MessageBoxInterceptor boxes;
    ASSERT_TRUE(RunToEnd(form, boxes, 3));

    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Testing Sequence Complete."});
    EXPECT_EQ(tests_.Started(), (std::vector<int>{1, 2, 1, 2, 1, 2}));
    const UCTSTest* a = RecordOf(form, 1);
    const UCTSTest* b = RecordOf(form, 2);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(std::vector<int>({a->Runs(), a->Passes(), a->Fails(), a->Skips(), a->Timeouts()}),
              std::vector<int>({3, 1, 1, 1, 0}));
    EXPECT_EQ(std::vector<int>({b->Runs(), b->Passes(), b->Fails(), b->Skips(), b->Timeouts()}),
              std::vector<int>({3, 2, 0, 0, 1}));
    // The list's counter cells and the rows as they were selected.
    QTreeWidgetItem* row1 = form->LV_TestList->topLevelItem(0);
    EXPECT_EQ(row1->text(2).toStdString() + row1->text(3).toStdString() + row1->text(4).toStdString() +
                  row1->text(6).toStdString(),
              "1113");
    EXPECT_EQ(row1->text(7), QStringLiteral("Idle"));
    EXPECT_TRUE(row1->isSelected());
    EXPECT_TRUE(form->LV_TestList->topLevelItem(1)->isSelected());

    const auto lines = StatusLines(form);
    for (const char* line :
         {"Running test 1 ...", "first run", "Test 1 PASSED.", "Test 2 TIMEOUT.", "a<b",
          "Test 1 FAILED, step -56, substep 3: bad <value> & \"more\".", "Test 1 SKIPPED: not supported"})
        EXPECT_TRUE(Contains(lines, line)) << line;
    // The instrument's texts are escaped once in the test's HTML log.
    const auto& log = a->Log();
    EXPECT_TRUE(Contains(log, "a&lt;b"));
    EXPECT_TRUE(Contains(log, "<b>Test FAILED, step -56, substep 3: bad &lt;value&gt; &amp; &quot;more&quot;.</b>"));
    EXPECT_TRUE(Contains(log, "<b>Test 1; \"1 - " + std::string(TestCatalogue::TestName(1)) + "\" - Run 3</b>"));
    // Run, idle again.
    EXPECT_FALSE(form->BTN_Abort->isVisible());
    EXPECT_TRUE(form->BTN_RunTests->isEnabled());
    EXPECT_TRUE(form->Link()->StatusPollEnabled());
    EXPECT_TRUE(form->MENU_Options->isEnabled());
    EXPECT_TRUE(form->CB_SupportTXLanes->isEnabled());
}

TEST_F(RunFixture, TheDpcdDialogClosesAtTheRunsStartAndItsRequestsFailWithoutBeingSent) {
    constexpr uint8_t kDpcdRead = 0x1A, kDpcdWrite = 0x1B;
    sim_.SetFault(kResult, {sim::Fault::Delay, 600, 1});
    TCTSMainForm* form = OpenForRuns();
    TDPCD_Access* dialog = dialogs_.dpcd;
    form->MENU_DPCDAccess->trigger();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    dialog->ED_Address->setText(QStringLiteral("2"));
    dialog->ED_Data->setText(QStringLiteral("ff"));
    Select(form, {1});
    platform::MessageBoxInterceptor boxes;
    form->BTN_RunTests->click();
    ASSERT_TRUE(WaitFor([&] { return sim_.CountReceived(kResult) == 1; }));
    ASSERT_TRUE(form->Running());
    EXPECT_FALSE(dialog->isVisible());

    // The dialog's requests made during the run (its buttons are out of
    // reach, so through the window's own entry points) answer at once.
    form->ReadDpcd(2);
    EXPECT_TRUE(dialog->LBL_Status->text().endsWith(QStringLiteral(" - Failed")))
        << dialog->LBL_Status->text().toStdString();
    form->WriteDpcd(2, 0xFF);
    EXPECT_TRUE(dialog->LBL_Status->text().endsWith(QStringLiteral(" - Failed")))
        << dialog->LBL_Status->text().toStdString();
    ASSERT_TRUE(WaitEnded(form, boxes));
    EXPECT_EQ(sim_.CountReceived(kDpcdRead), 0u);
    EXPECT_EQ(sim_.CountReceived(kDpcdWrite), 0u);
}

TEST_F(RunFixture, ControlsAreLockedWhileRunningAndTheAudioMirrorsStayEnabled) {
    sim_.SetFault(kResult, {sim::Fault::Delay, 600, 1});
    TCTSMainForm* form = OpenForRuns();
    Select(form, {1});
    platform::MessageBoxInterceptor boxes;
    form->BTN_RunTests->click();
    ASSERT_TRUE(WaitFor([&] { return sim_.CountReceived(kResult) == 1; }));
    EXPECT_TRUE(form->Running());
    EXPECT_TRUE(form->BTN_Abort->isVisible());
    EXPECT_TRUE(form->BTN_Abort->isEnabled());
    EXPECT_FALSE(form->BTN_RunTests->isVisible());
    EXPECT_FALSE(form->Link()->StatusPollEnabled());
    // The HDCP lamp turns grey with its own grey outline.
    EXPECT_EQ(form->HDCP_Led->Color(), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(form->HDCP_Led->Outline(), QColor(0xA0, 0xA0, 0xA4));
    for (QWidget* w : std::initializer_list<QWidget*>{
             form->ED_IterationCount, form->BTN_ClearTestResults, form->CB_SupportTXLanes, form->UD_HPDLo,
             form->ED_Tout, form->CH_HDCP[0], form->ED_AuthenticationStartTO, form->BTN_DutCaps, form->LBL_HDCPStatus})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    for (QAction* a :
         {form->MENU_Options, form->MENU_DPCDAccess, form->MENU_SaveReport, form->MENU_Exit, form->MENU_FirmwareUpdate})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    for (QWidget* w : std::initializer_list<QWidget*>{form->CB_SupportTXLanes2, form->UD_HPDLo2, form->Button1})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(form->MENU_SaveSettings->isEnabled());
    EXPECT_TRUE(form->DisconnectCOM1->isEnabled());
    // The running row.
    EXPECT_EQ(form->LV_TestList->topLevelItem(0)->text(7), QStringLiteral("Run"));
    ASSERT_TRUE(WaitEnded(form, boxes));
    EXPECT_TRUE(form->MENU_DPCDAccess->isEnabled());
    // After the run the status poll blinks the lamp again, outline and all:
    // neither the run's grey outline nor a black one stays.
    const auto bgr = platform::ColorFromBgr;
    ASSERT_TRUE(WaitFor([&] {
        const QColor outline = form->HDCP_Led->Outline();
        return outline == bgr(0x606060) || outline == bgr(0x7F7F7F) || outline == bgr(0x60D060) ||
               outline == bgr(0x7FEF7F);
    })) << form->HDCP_Led->Outline().name().toStdString();
}

// ---- header lines

struct HeaderCase {
    const char* name;
    int tab;
    int row;
    std::vector<std::string> lines;  // the header's lines, in the test's log after the start line
};
void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }

class RunHeaders : public RunFixture, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(RunHeaders, EveryRunOfTheGroupCarriesItsHeader) {
    const HeaderCase& c = GetParam();
    TCTSMainForm* form = OpenForRuns();
    Select(form, {c.row}, c.tab);
    platform::MessageBoxInterceptor boxes;
    ASSERT_TRUE(RunToEnd(form, boxes));
    const UCTSTest* record = form->TestRecords().front().get();
    const auto& log = record->Log();
    ASSERT_GE(log.size(), 2 + c.lines.size());
    EXPECT_EQ(std::vector<std::string>(log.begin() + 2, log.begin() + 2 + static_cast<long>(c.lines.size())), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Groups, RunHeaders,
    ::testing::Values(
        HeaderCase{"LinkLayer",
                   0,
                   3,
                   {"", "Max lane count: 1 Lane, Max link rate: Low 1.62 Gbps",
                    "TEST_LINK_TRAINING: Yes, TEST_VIDEO_PATTERN: Yes, TEST_TIMING: Yes, TEST_EDID_READ: Yes",
                    "TEST_AUDIO_PATTERN: Yes, Event indicating DUT ready: Active Video",
                    "Video format change without re-training: No, Lane count reduction without re-training: No,",
                    "E-DDC: No, Drive level 3 (1.2V): No, Pre-emphasis level 3 (9.5dB) No,",
                    "Fixed Timing No, Spread Spectrum: No, SSC enabled (if MAX_DOWNSPREAD=1): No",
                    "Main link disable timeout: 100ms, TA reset delay (after HPD=0): 700ms, TA req. delay (after "
                    "HPD=1): 0ms",
                    "------------", "<b>Test PASSED</b>"}},
        HeaderCase{"Audio",
                   3,
                   1,
                   {"", "Max lane count: 1 Lane, Max link rate: Low 1.62 Gbps",
                    "TEST_LINK_TRAINING: Yes, TEST_VIDEO_PATTERN: Yes, TEST_TIMING: Yes, TEST_EDID_READ: Yes",
                    "TEST_AUDIO_PATTERN: Yes, Event indicating DUT ready: Active Video",
                    "Drive level 3 (1.2V): No, Pre-emphasis level 3 (9.5dB) No",
                    "Spread Spectrum: No, SSC enabled (if MAX_DOWNSPREAD=1): No",
                    "Main link disable timeout: 100ms, TA reset delay (after HPD=0): 700ms, TA req. delay (after "
                    "HPD=1): 0ms",
                    "Sampling Rates: 48 kHz, Sample Sizes: 16 bps",
                    "LPCM Channels: 2, Audio Infoframe support for 2 ch audio: Yes",
                    "Audio transmission without video: No, Sawtooth test pattern: No", "------------"}},
        HeaderCase{"HdcpTransmitter",
                   1,
                   2,
                   {"", "CP_IRQ Used for R0' read: No", "CP_IRQ Used for READY read: No",
                    "Output when DEVICE_COUNT=0: No", "Encryption enable bootstrapping: No",
                    "Authentication start timeout (ms): 10000", "------------", "<b>Test PASSED</b>"}}),
    [](const auto& info) { return std::string(info.param.name); });

// The header and the long-HPD-pulse line keep the values of "Run Tests",
// even when the audio page's mirror changes the delays during the run.
TEST_F(RunFixture, HeaderAndHpdPulseKeepTheValuesOfTheRunsStart) {
    tests_.SetRuns(1, {{{Record(kResultPassed), sim::Bytes{0x1B, 0x0A, 0}}}});
    sim_.SetFault(kResult, {sim::Fault::Delay, 500, 1});
    TCTSMainForm* form = OpenForRuns();
    form->UD_HPDLo->setValue(1234);
    Select(form, {1});
    platform::MessageBoxInterceptor boxes;
    form->UD_IterationCount->setValue(2);
    form->BTN_RunTests->click();
    ASSERT_TRUE(WaitFor([&] { return sim_.CountReceived(kResult) == 1; }));
    form->UD_HPDLo2->setValue(4321);  // the mirror stays enabled and changes UD_HPDLo
    ASSERT_EQ(form->UD_HPDLo->value(), 4321);
    ASSERT_TRUE(WaitEnded(form, boxes));
    const auto& log = form->TestRecords().front()->Log();
    const std::string header =
        "Main link disable timeout: 100ms, TA reset delay (after HPD=0): 1234ms, TA req. delay (after HPD=1): 0ms";
    EXPECT_EQ(std::count(log.begin(), log.end(), header), 2);
    EXPECT_EQ(std::count(log.begin(), log.end(), std::string("Long HPD pulse (1234 ms low, 0 ms high)")), 2);
}

// ---- delay between tests

TEST_F(RunFixture, TheDelayComesBeforeEveryStartButTheFirst) {
    ASSERT_TRUE(Settings().WriteInteger(TCTSMainForm::kSection, "Vardeko_TestDelay", 1));
    TCTSMainForm* form = OpenForRuns();
    Select(form, {1, 2});
    platform::MessageBoxInterceptor boxes;
    ASSERT_TRUE(RunToEnd(form, boxes, 2));
    const auto lines = StatusLines(form);
    std::vector<std::string> starts;
    for (const std::string& line : lines)
        if (line.rfind("Running test", 0) == 0 || line.rfind("Test to test", 0) == 0) starts.push_back(line);
    EXPECT_EQ(starts,
              (std::vector<std::string>{"Running test 1 ...", "Test to test delay (1 seconds).", "Running test 2 ...",
                                        "Test to test delay (1 seconds).", "Running test 1 ...",
                                        "Test to test delay (1 seconds).", "Running test 2 ..."}));
    EXPECT_EQ(tests_.Started(), (std::vector<int>{1, 2, 1, 2}));
}

// ---- run preparation

TEST_F(RunFixture, ColorimetryAndTimeStampConfigurationGoFirstWhenNeeded) {
    TCTSMainForm* form = OpenForRuns();
    const int formats = dialogs_.colorimetry->GetFormatCount();
    Select(form, {28, 29});
    platform::MessageBoxInterceptor boxes;
    ASSERT_TRUE(RunToEnd(form, boxes));
    EXPECT_EQ(sim_.LastColorimetry().size(), static_cast<size_t>(formats));
    ASSERT_EQ(sim_.LastDutConfig().size(), 12u);
    const auto received = sim_.Received();
    const auto codeAt = [&](size_t i) {
        return sim::InstrumentSim::RequestCode(received[i].data(), received[i].size());
    };
    size_t colorimetry = received.size(), config = received.size(), start = received.size();
    for (size_t i = 0; i < received.size(); ++i) {
        if (codeAt(i) == kColorimetry && colorimetry == received.size()) colorimetry = i;
        if (codeAt(i) == kDutConfig && config == received.size()) config = i;
        if (codeAt(i) == kStart && start == received.size()) start = i;
    }
    EXPECT_LT(colorimetry, config);
    EXPECT_LT(config, start);

    // Without tests 28 to 30 neither is sent.
    sim_.ClearReceived();
    boxes.Clear();
    Select(form, {1});
    ASSERT_TRUE(RunToEnd(form, boxes));
    EXPECT_EQ(sim_.CountReceived(kColorimetry), 0u);
    EXPECT_EQ(sim_.CountReceived(kDutConfig), 0u);
}

// Rows deselected while the firmware check is out (which leaves "Run Tests"
// disabled) do not change the run: the rows of the click run, and are
// shown selected again.
TEST_F(RunFixture, RowsDeselectedAfterTheClickStillRun) {
    TCTSMainForm* form = OpenForRuns();
    sim_.SetFault(0x1C, {sim::Fault::Delay, 300, 1});
    Select(form, {1});
    platform::MessageBoxInterceptor boxes;
    form->UD_IterationCount->setValue(3);
    form->BTN_RunTests->click();
    form->LV_TestList->clearSelection();
    ASSERT_FALSE(form->BTN_RunTests->isEnabled());
    ASSERT_TRUE(WaitEnded(form, boxes));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Testing Sequence Complete."});
    EXPECT_EQ(tests_.Started(), (std::vector<int>{1, 1, 1}));
    ASSERT_EQ(form->LV_TestList->selectedItems().size(), 1);
    EXPECT_EQ(form->LV_TestList->indexOfTopLevelItem(form->LV_TestList->selectedItems()[0]), 0);
}

struct StartFailureCase {
    const char* name;
    uint8_t code;
    sim::FaultSpec fault;
    const char* box;
    bool ended;  // the run was ended (false: only the firmware check failed)
};
void PrintTo(const StartFailureCase& c, std::ostream* os) { *os << c.name; }

class StartFailures : public RunFixture, public ::testing::WithParamInterface<StartFailureCase> {};

TEST_P(StartFailures, StopTheRunBeforeAnyTest) {
    const StartFailureCase& c = GetParam();
    TCTSMainForm* form = OpenForRuns();
    sim_.SetFault(c.code, c.fault);
    Select(form, {29});
    platform::MessageBoxInterceptor boxes;
    form->BTN_RunTests->click();
    ASSERT_TRUE(WaitFor([&] { return !boxes.Texts().empty(); }));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.box});
    EXPECT_EQ(boxes.Boxes().front().icon, platform::MsgIcon::Error);
    EXPECT_FALSE(form->Running());
    EXPECT_TRUE(form->BTN_RunTests->isEnabled());
    EXPECT_TRUE(form->BTN_RunTests->isVisible());
    EXPECT_EQ(sim_.CountReceived(kStart), 0u);
    EXPECT_EQ(form->TestRecords().empty(), !c.ended);
}

INSTANTIATE_TEST_SUITE_P(Requests, StartFailures,
                         ::testing::Values(StartFailureCase{"FirmwareCheckRefused",
                                                            0x1C,
                                                            {sim::Fault::Refuse, 0, -1},
                                                            "Failed to start test cycle: Invalid result",
                                                            false},
                                           StartFailureCase{
                                               "FirmwareCheckShort",
                                               0x1C,
                                               {sim::Fault::Short, 1, -1},
                                               "Failed to start test cycle: Response - unexpected packet type.",
                                               false},
                                           StartFailureCase{"ColorimetryRefused",
                                                            0x21,
                                                            {sim::Fault::Refuse, 0, -1},
                                                            "Failed to start test cycle: Invalid result",
                                                            true}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- abort

struct AbortCase {
    const char* name;
    uint8_t heldCode;    // the request whose answer is held while "Abort" is pressed
    int row;             // the test run
    sim::Bytes record;   // its result
    size_t answersSent;  // answer 0 released a prompt
    bool testOpen;       // a test was open, and got the manual-abort line
    uint8_t notAfter;    // a request that must not follow (0: none to check)
    size_t starts;       // start requests of the two iterations asked for
};
void PrintTo(const AbortCase& c, std::ostream* os) { *os << c.name; }

class AbortAtEachStage : public RunFixture, public ::testing::WithParamInterface<AbortCase> {};

TEST_P(AbortAtEachStage, EndsTheRunAtTheNextCompletion) {
    const AbortCase& c = GetParam();
    tests_.SetRuns(c.row, {{{c.record, Log({"some log"})}}});
    sim_.SetFault(c.heldCode, {sim::Fault::Delay, 400, 1});
    TCTSMainForm* form = OpenForRuns();
    Select(form, {c.row});
    platform::MessageBoxInterceptor boxes;
    form->UD_IterationCount->setValue(2);
    form->BTN_RunTests->click();
    ASSERT_TRUE(WaitFor([&] { return sim_.CountReceived(c.heldCode) == 1; }));
    form->BTN_Abort->click();
    EXPECT_FALSE(form->BTN_Abort->isEnabled());
    EXPECT_TRUE(form->Running());  // nothing ends before the next completion
    ASSERT_TRUE(WaitEnded(form, boxes));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Testing sequence Aborted"});
    EXPECT_EQ(sim_.CountReceived(kAnswer), c.answersSent);
    if (c.answersSent) {
        EXPECT_EQ(sim_.LastOperatorResponse(), 0);
    }
    if (c.notAfter) {
        EXPECT_EQ(sim_.CountReceived(c.notAfter), 0u);
    }
    EXPECT_EQ(sim_.CountReceived(kStart), c.starts);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // no prompt was shown
    const UCTSTest* record = RecordOf(form, c.row);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->Runs(), 0);
    EXPECT_FALSE(record->Running());
    if (c.testOpen) {
        const auto tail = Tail(record->Log(), 3);
        EXPECT_EQ(tail[0].rfind("Unknown: Test was manually aborted after ", 0), 0u) << tail[0];
        EXPECT_EQ(tail[0].substr(tail[0].size() - 2), "ms");
    } else {
        EXPECT_TRUE(record->Log().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Stages, AbortAtEachStage,
    ::testing::Values(AbortCase{"Colorimetry", 0x21, 29, Record(kResultPassed), 0, false, 0, 0},
                      AbortCase{"Start", 0x10, 1, Record(kResultPassed), 0, true, 0x11, 1},
                      AbortCase{"Result", 0x11, 1, Record(kResultPassed), 0, true, 0x12, 1},
                      AbortCase{"LogSize", 0x12, 1, Record(kResultPassed), 0, true, 0x13, 1},
                      AbortCase{"LogRead", 0x13, 1, Record(kResultPassed), 0, true, 0x14, 1},
                      AbortCase{"ClearLog", 0x14, 1, Record(kResultPassed), 0, true, 0, 1},
                      AbortCase{"Prompt4", 0x11, 1, Record(kResultPromptProceed, "press"), 1, true, 0x12, 1},
                      AbortCase{"Prompt7", 0x11, 1, Record(kResultQuestionPassFail, "judge"), 1, true, 0x12, 1},
                      AbortCase{"Prompt9", 0x11, 1, Record(kResultAudioChannels, "listen"), 1, true, 0x36, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- failed requests and the one repetition: the window's part (the
// requests, records and logs are the engine's tests')

using chain_failures::FailureCase;

class ChainFailures : public RunFixture, public ::testing::WithParamInterface<FailureCase> {};

// What the window shows of a failed request and its repetition: the port
// reset's lines and the failure in the status list, the run's box, and the
// instrument's status poll running again after the run.
TEST_P(ChainFailures, AreRepeatedOnceAfterAPortReset) {
    const FailureCase& c = GetParam();
    tests_.SetRuns(1, {{{Record(kResultPassed), Log({"log of the test"})}}});
    TCTSMainForm* form = OpenForRuns();
    sim_.SetFault(c.code, {c.fault, 0, c.times});
    Select(form, {1});
    platform::MessageBoxInterceptor boxes;
    ASSERT_TRUE(RunToEnd(form, boxes));
    const auto lines = StatusLines(form);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string("> Port Reset")), 1);
    EXPECT_TRUE(Contains(lines, "> Port reset complete"));
    const std::string code = std::to_string(c.result);
    if (c.times == 1) {
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Testing Sequence Complete."});
        EXPECT_FALSE(Contains(lines, std::string(">") + c.text + code));
    } else {
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.message + code});
        EXPECT_TRUE(Contains(lines, std::string(">") + c.text + code));
    }
    EXPECT_TRUE(form->Link()->StatusPollEnabled());
}

INSTANTIATE_TEST_SUITE_P(Requests, ChainFailures, chain_failures::kCases, chain_failures::Name);

// A port reset that fails ends the run as a used-up repetition does, then
// the link is built again.
TEST_F(RunFixture, AFailedPortResetEndsTheRunAndReconnects) {
    TCTSMainForm* form = OpenForRuns();
    sim_.SetFault(kResult, {sim::Fault::Refuse, 0, 1});
    MV_Comm::FailNextPortResets(1);
    Select(form, {1});
    platform::MessageBoxInterceptor boxes;
    ASSERT_TRUE(RunToEnd(form, boxes));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Query test result command failed: 7"});
    const auto lines = StatusLines(form);
    EXPECT_TRUE(Contains(lines, "> Port reset FAILED! (Object allocation error)"));
    EXPECT_TRUE(Contains(lines, ">Query test result command Failed: 7"));
    const UCTSTest* record = form->TestRecords().front().get();
    EXPECT_EQ(Tail(record->Log(), 4),
              (std::vector<std::string>{"Query test result command Failed: 7",
                                        "Unknown: Communications issues caused this test to abort.", "", ""}));
    EXPECT_EQ(sim_.CountReceived(kResult), 1u);
    // The reconnection: the probe again, then the pages.
    ASSERT_TRUE(WaitFor([&] { return sim_.CountReceived(kProbe) == 2; }));
    ASSERT_TRUE(WaitConnected());
    EXPECT_FALSE(form->Running());
}

// The line hangs up: the port reset reopens nothing, the repetition gets no
// answer, and the run ends.
TEST_F(RunFixture, ALostPortEndsTheRunWithNoResponse) {
    TCTSMainForm* form = OpenForRuns();
    sim_.SetFault(kLogSize, {sim::Fault::CloseLine, 0, 1});
    Select(form, {1});
    platform::MessageBoxInterceptor boxes;
    form->BTN_RunTests->click();
    ASSERT_TRUE(WaitFor(
        [&] {
            const auto texts = boxes.Texts();
            return !form->Running() && !texts.empty() && texts.back().rfind("Query log size command Failed: ", 0) == 0;
        },
        30000))
        << ::testing::PrintToString(boxes.Texts());
    const UCTSTest* record = form->TestRecords().front().get();
    EXPECT_EQ(record->Runs(), 0);
    EXPECT_EQ(Tail(record->Log(), 3)[0], "Unknown: Communications issues caused this test to abort.");
}

// ---- ending a run from outside

TEST_F(RunFixture, DisconnectComEndsTheRunFirst) {
    sim_.SetFault(kResult, {sim::Fault::Delay, 400, 1});
    TCTSMainForm* form = OpenForRuns();
    Select(form, {1});
    platform::MessageBoxInterceptor boxes;
    form->BTN_RunTests->click();
    ASSERT_TRUE(WaitFor([&] { return sim_.CountReceived(kResult) == 1; }));
    form->DisconnectCOM1->trigger();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Testing sequence Aborted"});
    EXPECT_FALSE(form->Running());
    EXPECT_EQ(form->Link(), nullptr);
    EXPECT_TRUE(form->PNL_NotConnected->isVisible());
    const UCTSTest* record = form->TestRecords().front().get();
    EXPECT_EQ(Tail(record->Log(), 3)[0].rfind("Unknown: Test was manually aborted after ", 0), 0u);
    EXPECT_FALSE(form->BTN_RunTests->isHidden());
    EXPECT_FALSE(form->MENU_DPCDAccess->isEnabled());
}

struct CloseCase {
    const char* name;
    platform::MsgResult answer;
};
void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }

class CloseDuringRun : public RunFixture, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseDuringRun, AsksAndYesEndsTheRunAtOnce) {
    const bool yes = GetParam().answer == platform::MsgResult::Yes;
    sim_.SetFault(kResult, {sim::Fault::Delay, 400, 1});
    TCTSMainForm* form = OpenForRuns();
    Select(form, {1});
    // The close question gets the case's answer, the report question after
    // it "No" (no report is written).
    std::vector<std::string> texts;
    const platform::MessageBoxHandler previous =
        platform::SetMessageBoxHandler([&](const platform::MessageBoxRequest& box) {
            texts.push_back(box.text);
            return texts.size() == 1 ? GetParam().answer : platform::MsgResult::No;
        });
    struct Restore {
        platform::MessageBoxHandler handler;
        ~Restore() { platform::SetMessageBoxHandler(handler); }
    } restore{previous};
    form->BTN_RunTests->click();
    ASSERT_TRUE(WaitFor([&] { return sim_.CountReceived(kResult) == 1; }));
    form->close();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), "A test process is still running.\r\n\r\nAbort the test process and close?");
    if (yes) {
        EXPECT_FALSE(form->Running());
        EXPECT_FALSE(form->isVisible());
        // The run has ended unsaved: the report question follows.
        EXPECT_EQ(texts, (std::vector<std::string>{
                             "A test process is still running.\r\n\r\nAbort the test process and close?",
                             "Report not saved.\r\n\r\nWould you like to save the report of the test run before "
                             "closing program?"}));
        const UCTSTest* record = form->TestRecords().front().get();
        EXPECT_EQ(Tail(record->Log(), 3)[0].rfind("Unknown: Test was manually aborted after ", 0), 0u);
        // The held answer arrives and does nothing: no request, no message.
        ASSERT_TRUE(SettleLink(form));
        EXPECT_EQ(sim_.CountReceived(kLogSize), 0u);
        EXPECT_EQ(texts.size(), 2u);
        return;
    }
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->Running());
    ASSERT_TRUE(WaitFor([&] { return !form->Running(); }));
    EXPECT_TRUE(Contains(texts, "Testing Sequence Complete."));
    EXPECT_EQ(form->TestRecords().front()->Passes(), 1);
}

INSTANTIATE_TEST_SUITE_P(Answers, CloseDuringRun,
                         ::testing::Values(CloseCase{"Yes", platform::MsgResult::Yes},
                                           CloseCase{"No", platform::MsgResult::No}),
                         [](const auto& info) { return std::string(info.param.name); });

// A run ended from outside while a log piece is on its way: the run frees
// its log buffer, and the held piece lands while the box that ends the
// action is up (the link still exists). The piece must go nowhere: no write
// into the freed buffer (a sanitizer report in the asan build), no request
// after it.
struct LatePieceCase {
    const char* name;
    std::function<void(TCTSMainForm*)> act;
    const char* landsAt;  // the box during which the held piece arrives
    std::vector<std::string> boxes;
};
void PrintTo(const LatePieceCase& c, std::ostream* os) { *os << c.name; }

const char* const kCloseQuestion = "A test process is still running.\r\n\r\nAbort the test process and close?";
const char* const kReportQuestion =
    "Report not saved.\r\n\r\nWould you like to save the report of the test run before closing program?";

class LatePieceAfterTheRun : public RunFixture, public ::testing::WithParamInterface<LatePieceCase> {};

TEST_P(LatePieceAfterTheRun, GoesNowhere) {
    const LatePieceCase& c = GetParam();
    tests_.SetRuns(1, {{{Record(kResultPassed), sim::Bytes(300, 'a')}}});
    sim_.SetFault(kReadLog, {sim::Fault::Hold, 0, 1});
    TCTSMainForm* form = OpenForRuns();
    Select(form, {1});
    std::vector<std::string> texts;
    bool landed = false;
    const platform::MessageBoxHandler previous =
        platform::SetMessageBoxHandler([&](const platform::MessageBoxRequest& box) {
            texts.push_back(box.text);
            if (box.text == c.landsAt) {
                // The worker has taken the piece once it waits to deliver it.
                sim_.ReleaseHeld();
                landed = WaitUntil([] { return platform::GuiCallsAndPostsWaiting() > 0; }, cts_test::kDeadlineMs);
            }
            return box.text == kCloseQuestion ? platform::MsgResult::Yes : platform::MsgResult::No;
        });
    struct Restore {
        platform::MessageBoxHandler handler;
        ~Restore() { platform::SetMessageBoxHandler(handler); }
    } restore{previous};
    form->BTN_RunTests->click();
    ASSERT_TRUE(WaitFor([&] { return sim_.HeldCount() == 1; }));
    ASSERT_EQ(platform::GuiCallsAndPostsWaiting(), 0u);
    c.act(form);
    EXPECT_TRUE(landed);
    EXPECT_EQ(texts, c.boxes);
    EXPECT_FALSE(form->Running());
    const UCTSTest* record = form->TestRecords().front().get();
    EXPECT_EQ(Tail(record->Log(), 3)[0].rfind("Unknown: Test was manually aborted after ", 0), 0u);
    if (form->Link()) {
        ASSERT_TRUE(SettleLink(form));
    }
    EXPECT_EQ(sim_.CountReceived(kReadLog), 1u);
    EXPECT_EQ(sim_.CountReceived(kClearLog), 0u);
    EXPECT_EQ(texts, c.boxes) << "nothing more after the piece";
}

INSTANTIATE_TEST_SUITE_P(Actions, LatePieceAfterTheRun,
                         ::testing::Values(LatePieceCase{"DisconnectCom",
                                                         [](TCTSMainForm* form) {
                                                             form->DisconnectCOM1->trigger();
                                                             EXPECT_EQ(form->Link(), nullptr);
                                                             EXPECT_TRUE(form->PNL_NotConnected->isVisible());
                                                             EXPECT_EQ(
                                                                 form->LBL_NotConnectedHeadline->text().toStdString(),
                                                                 "COM Port disconnect by user request");
                                                         },
                                                         "Testing sequence Aborted",
                                                         {"Testing sequence Aborted"}},
                                           LatePieceCase{"CloseWithYes",
                                                         [](TCTSMainForm* form) {
                                                             form->close();
                                                             EXPECT_FALSE(form->isVisible());
                                                         },
                                                         kReportQuestion,
                                                         {kCloseQuestion, kReportQuestion}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
