// The run engine: "Run Tests" after its parameter block, the run-start
// firmware check, run preparation, the sequencer and the chain of requests
// of one test (start, result, log size, log pieces, clear log), the abort,
// the one repetition of a failed request after a port reset, and the end of
// a run in every case.
//
// Every request of a run names a completion of this window, and every
// completion issues the next request. Each carries a ticket of the run's
// epoch: one that arrives after its run has ended is dropped by the link,
// which then writes nothing into the run's buffers (the log buffer is freed
// when the run ends).

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>

#include <algorithm>

#include "cts/TCTSMainForm.h"
#include "cts/catalogue/TestListCells.h"
#include "cts/dialogs/TColorimetryEdit.h"
#include "cts/dialogs/TDUTCfg.h"
#include "cts/dialogs/TOptionsForm.h"
#include "cts/dialogs/TTestAutomation.h"
#include "cts/engine/RunHeader.h"
#include "cts/engine/RunTexts.h"
#include "cts/engine/TestLogDecoder.h"
#include "cts/report/HtmlText.h"
#include "platform/Windows1252.h"
#include "platform/gui/Lamp.h"
#include "platform/gui/MessageList.h"

namespace {

constexpr uint16_t kMaxLogPiece = 200;

const TCTSMainForm::RunFailure kStartFailure{"Start test command or Operator response command Failed: ",
                                             "Start test command or Operator response command Failed: ", false};
const TCTSMainForm::RunFailure kResultFailure{
    "Query test result command Failed: ", "Query test result command failed: ", false};
const TCTSMainForm::RunFailure kLogSizeFailure{
    "Query log size command Failed: ", "Query log size command Failed: ", false};
const TCTSMainForm::RunFailure kLogDataFailure{
    "Query log data command Failed: ", "Query log data command Failed: ", true};
const TCTSMainForm::RunFailure kClearLogFailure{"Clear log command Failed: ", "Clear log command Failed: ", false};

bool IsPrompt(int8_t code) {
    return code == kResultPromptProceed || code == kResultPromptProceed6 || code == kResultQuestionPassFail ||
           code == kResultRequirements || code == kResultAudioChannels;
}

}  // namespace

// ---- status list and messages

void TCTSMainForm::AddStatusLine(const std::string& line) { LB_StatusLines->AddLine(platform::FromWindows1252(line)); }

void TCTSMainForm::ShowRunMessage(const std::string& text, platform::MsgIcon icon) {
    platform::ShowMessageBox(text, windowTitle().toStdString(), icon, platform::MsgButtons::Ok, this);
}

// ---- "Run Tests"

void TCTSMainForm::StartTestRun(const TestParameterInputs& inputs) {
    if (!link_ || running_) return;
    // Everything the run is made of is taken now, at the click, even when it
    // has to wait for the link: the operator may switch pages or change the
    // controls meanwhile. The header lines and the long-HPD-pulse numbers of
    // the whole run come from the values the block was just built from.
    RunChoice choice;
    choice.build = lastBuild_;
    RunHeaderInputs header;
    header.params = inputs;
    header.laneCountText = platform::ToWindows1252(CB_SupportTXLanes->currentText());
    header.linkRateText = platform::ToWindows1252(CB_SupportTXLinkRate->currentText());
    if (dialogs_.automation) header.eventText = platform::ToWindows1252(dialogs_.automation->CB_Event->currentText());
    choice.header = RunHeader::Text(groupOffset_, header);
    const auto& block = choice.build.block;
    choice.hpdLowMs = static_cast<uint16_t>(block[8] << 8 | block[9]);
    choice.hpdHighMs = static_cast<uint16_t>(block[10] << 8 | block[11]);
    choice.tab = TC_PagesTabs->currentIndex();
    const int rowCount = LV_TestList->topLevelItemCount();
    for (int row = 0; row < rowCount; ++row) choice.selection.push_back(LV_TestList->topLevelItem(row)->isSelected());
    bool ok = false;
    choice.iterations = ED_IterationCount->text().toInt(&ok);
    if (!ok) choice.iterations = 1;
    if (dialogs_.colorimetry) {
        const int count = dialogs_.colorimetry->GetFormatCount();
        for (int n = 0; n < count; ++n) choice.colorimetryIds.push_back(dialogs_.colorimetry->GetFormatID(n));
    }
    if (dialogs_.dutCfg) choice.timeStampRecord = dialogs_.dutCfg->GetTimingRecord();

    if (runStartPending_) {
        // A click on the list enabled "Run Tests" again before the run got
        // under way, and the operator clicked it: this click's choice is the
        // run's now, on the start already waiting or out.
        runChoice_ = std::move(choice);
        BTN_RunTests->setEnabled(false);
        return;
    }
    runChoice_ = std::move(choice);
    const bool wasEnabled = BTN_RunTests->isEnabled();
    runStartPending_ = true;
    abortRequested_ = false;
    BTN_RunTests->setEnabled(false);
    if (BeginRunStart()) return;
    // The link is held long by another request of the window: no run.
    runStartPending_ = false;
    BTN_RunTests->setEnabled(wasEnabled);
}

bool TCTSMainForm::BeginRunStart() {
    // A request of another part of the window that is out (the link status,
    // a DPCD access) ends first; the firmware check then goes out in a turn
    // of its own.
    switch (TakeLinkOrWait(WindowRequest::RunStart, [this] { BeginRunStart(); })) {
        case LinkTaken::Now:
            break;
        case LinkTaken::Waiting:
            return true;
        case LinkTaken::Refused:
            return false;
    }
    const auto checked = [this](LinkResult r) { OnRunFirmwareCheck(r); };
    link_->QueryFirmwareVersion(runVersionReply_.data(), MV_Comm::Completion(runEpoch_.Stamp(), checked));
    return true;
}

void TCTSMainForm::OnRunFirmwareCheck(LinkResult result) {
    runStartPending_ = false;
    ReleaseLink(WindowRequest::RunStart);
    if (result == LINK_OK) {
        StoreFirmwareVersion(runVersionReply_);
        PrepareTestRun();
        return;
    }
    ShowRunMessage(std::string("Failed to start test cycle: ") + RunTexts::LinkResultText(result),
                   platform::MsgIcon::Error);
    BTN_RunTests->setEnabled(true);
}

void TCTSMainForm::ShowRunChoice() {
    // The page of the click comes back if the operator has switched away
    // (only the selection taken at the click runs), with that selection.
    if (TC_PagesTabs->currentIndex() != runChoice_.tab) TC_PagesTabs->setCurrentIndex(runChoice_.tab);
    const int rowCount = LV_TestList->topLevelItemCount();
    for (int row = 0; row < rowCount; ++row) {
        const size_t at = static_cast<size_t>(row);
        LV_TestList->topLevelItem(row)->setSelected(at < runChoice_.selection.size() && runChoice_.selection[at]);
    }
}

void TCTSMainForm::PrepareTestRun() {
    if (!link_) return;
    link_->SetOnMessage([this](const std::string& text) { OnPrintPacket(text); });
    // A click on the list meanwhile enabled "Run Tests" again: no run.
    if (BTN_RunTests->isEnabled()) return;
    ShowRunChoice();
    link_->SetStatusPollEnabled(false);
    SetRunningState(true);
    BTN_Abort->setEnabled(true);
    running_ = true;
    // The DPCD dialog's requests would meet the run's.
    CloseDpcdAccess();

    for (const auto& record : tests_) record->SetSelected(false);
    const int rowCount = LV_TestList->topLevelItemCount();
    savedSelection_.assign(static_cast<size_t>(rowCount), false);
    for (int row = 0; row < rowCount; ++row) {
        const QTreeWidgetItem* item = LV_TestList->topLevelItem(row);
        savedSelection_[static_cast<size_t>(row)] = item->isSelected();
        if (!item->isSelected()) continue;
        const int32_t number = item->text(TestListCells::kId).toInt();
        const int32_t testId = groupOffset_ + number;
        const auto found = std::find_if(tests_.begin(), tests_.end(),
                                        [testId](const auto& record) { return record->TestId() == testId; });
        if (found != tests_.end()) {
            (*found)->SetSelected(true);
        } else {
            const std::string name = platform::ToWindows1252(item->text(TestListCells::kName));
            tests_.push_back(std::make_unique<UCTSTest>(testId, UCTSTest::MakeLabel(row + 1, name), number));
        }
    }
    std::stable_sort(tests_.begin(), tests_.end(),
                     [](const auto& a, const auto& b) { return UCTSTest::CompareTestIds(*a, *b) < 0; });

    iterationsLeft_ = runChoice_.iterations;
    currentIndex_ = -1;

    colorimetryNeeded_ = false;
    timeStampNeeded_ = false;
    for (const auto& record : tests_) {
        if (!record->Selected()) continue;
        colorimetryNeeded_ = colorimetryNeeded_ || TestCatalogue::NeedsColorimetry(record->TestId());
        timeStampNeeded_ = timeStampNeeded_ || TestCatalogue::NeedsTimeStampConfig(record->TestId());
    }
    if (colorimetryNeeded_) {
        link_->SetColorimetry(static_cast<uint32_t>(runChoice_.colorimetryIds.size()), runChoice_.colorimetryIds.data(),
                              RunCompletion(&TCTSMainForm::OnColorimetrySent));
    } else {
        OnColorimetrySent(LINK_OK);
    }
}

void TCTSMainForm::OnColorimetrySent(LinkResult result) {
    if (result != LINK_OK) {
        ShowRunMessage(std::string("Failed to start test cycle: ") + RunTexts::LinkResultText(result),
                       platform::MsgIcon::Error);
        EndTestRun();
        return;
    }
    if (timeStampNeeded_ && dialogs_.dutCfg && link_) {
        link_->SetDutConfig(runChoice_.timeStampRecord.data(), RunCompletion(&TCTSMainForm::OnTsgConfigSent));
    } else {
        OnTsgConfigSent(LINK_OK);
    }
}

void TCTSMainForm::OnTsgConfigSent(LinkResult result) {
    if (result != LINK_OK) {
        ShowRunMessage(std::string("Failed to start test cycle: ") + RunTexts::LinkResultText(result),
                       platform::MsgIcon::Error);
        EndTestRun();
        return;
    }
    RunNextTest();
}

// ---- the sequencer

uint32_t TCTSMainForm::TestTimeout100ms() const {
    const int32_t seconds = dialogs_.options ? dialogs_.options->UD_TimeoutLen->value() : linkTimeout_;
    return static_cast<uint32_t>(seconds * 10 + runChoice_.build.extraTimeout100ms);
}

void TCTSMainForm::RunNextTest() {
    if (abortRequested_) {
        EndTestRun();
        ShowRunMessage("Testing sequence Aborted", platform::MsgIcon::None);
        return;
    }
    const bool delay = currentIndex_ != -1 && testDelay_ != 0;
    const int32_t count = static_cast<int32_t>(tests_.size());
    // Rows deselected during the firmware check can leave nothing to run.
    if (std::none_of(tests_.begin(), tests_.end(), [](const auto& record) { return record->Selected(); })) {
        EndTestRun();
        ShowRunMessage("Testing Sequence Complete.", platform::MsgIcon::None);
        return;
    }
    do {
        ++currentIndex_;
        if (currentIndex_ >= count) {
            currentIndex_ = 0;
            if (--iterationsLeft_ <= 0) {
                EndTestRun();
                ShowRunMessage("Testing Sequence Complete.", platform::MsgIcon::None);
                return;
            }
        }
    } while (!tests_[static_cast<size_t>(currentIndex_)]->Selected());

    currentTest_ = tests_[static_cast<size_t>(currentIndex_)].get();
    ShowRunningRow(currentTest_->TestId() - groupOffset_ - 1);
    const uint32_t timeout = TestTimeout100ms();
    AddStatusLine("");
    if (delay) AddStatusLine("Test to test delay (" + std::to_string(testDelay_) + " seconds).");
    AddStatusLine("Running test " + std::to_string(currentTest_->Number()) + " ...");
    LB_StatusLines->scrollToBottom();

    const uint8_t testId = static_cast<uint8_t>(currentTest_->StartRunWithHeader(runChoice_.header));
    const uint8_t* block = runChoice_.build.block.data();
    if (delay) {
        const uint32_t seconds = static_cast<uint32_t>(testDelay_);
        SendRunRequest([this, seconds, testId, block, timeout] {
            link_->StartTestDelayed(seconds, testId, block, timeout, RunCompletion(&TCTSMainForm::OnTestStarted));
        });
    } else {
        SendRunRequest([this, testId, block, timeout] {
            link_->StartTest(testId, timeout, block, RunCompletion(&TCTSMainForm::OnTestStarted));
        });
    }
}

// ---- requests, abort and the retry rule

MV_Comm::Completion TCTSMainForm::RunCompletion(RunHandler handler) {
    return MV_Comm::Completion(runEpoch_.Stamp(), [this, handler](LinkResult result) {
        if (running_) (this->*handler)(result);
    });
}

void TCTSMainForm::SendRunRequest(std::function<void()> request) {
    retryAllowed_ = true;
    lastRequest_ = std::move(request);
    lastRequest_();
}

bool TCTSMainForm::AbortNoticed() {
    if (!abortRequested_) return false;
    EndTestRun();
    ShowRunMessage("Testing sequence Aborted", platform::MsgIcon::None);
    return true;
}

void TCTSMainForm::RunRequestFailed(LinkResult result, const RunFailure& failure) {
    if (!retryAllowed_ || !link_ || !lastRequest_) {
        FailRun(result, failure);
        return;
    }
    if (failure.lostLogPiece) {
        AddStatusLine("> WARNING: Some log data was lost due to communications issues");
        LB_StatusLines->scrollToBottom();
        if (currentTest_) currentTest_->AddLogLine("WARNING: Some log data was lost due to communications issues");
    }
    if (!link_->ResetPort()) {
        // The link is no use any more: the run ends as after a used-up
        // repetition, then the link is built again (queued after this
        // completion has returned).
        FailRun(result, failure);
        Reconnect();
        return;
    }
    retryAllowed_ = false;
    const std::function<void()> repeat = lastRequest_;
    repeat();
}

void TCTSMainForm::FailRun(LinkResult result, const RunFailure& failure) {
    const std::string code = std::to_string(static_cast<int32_t>(result));
    AddStatusLine(std::string(">") + failure.text + code);
    LB_StatusLines->scrollToBottom();
    if (currentTest_) {
        currentTest_->AddLogLine(failure.text + code);
        currentTest_->FinishRunAbnormal(UCTSTest::kAbortedByCommunication);
        currentTest_ = nullptr;
    }
    EndTestRun();
    ShowRunMessage(failure.messageText + code, platform::MsgIcon::Error);
}

// ---- the chain of one test

void TCTSMainForm::OnTestStarted(LinkResult result) {
    if (AbortNoticed()) return;
    if (result != LINK_OK) return RunRequestFailed(result, kStartFailure);
    SendRunRequest(
        [this] { link_->QueryTestResult(resultRecord_.Data(), RunCompletion(&TCTSMainForm::OnTestResult)); });
}

void TCTSMainForm::OnTestResult(LinkResult result) {
    const int8_t code = resultRecord_.ResultCode();
    if (abortRequested_ && result == LINK_OK && IsPrompt(code)) {
        // The instrument waits for an answer: release it with 0 before the
        // run ends (at the completion of that answer).
        retryAllowed_ = false;
        lastRequest_ = [this] { link_->SendOperatorResponse(0, RunCompletion(&TCTSMainForm::OnTestStarted)); };
        lastRequest_();
        return;
    }
    if (AbortNoticed()) return;
    if (result != LINK_OK) return RunRequestFailed(result, kResultFailure);
    if (IsPrompt(code)) {
        HandOperatorPrompt();
        return;
    }
    SendRunRequest([this] { link_->QueryLogSize(&logSize_, RunCompletion(&TCTSMainForm::OnLogSize)); });
}

void TCTSMainForm::FreeLogBuffer() {
    logBuffer_.reset();
    logLength_ = 0;
    logBytesRead_ = 0;
}

void TCTSMainForm::OnLogSize(LinkResult result) {
    if (AbortNoticed()) return;
    if (result != LINK_OK && result != LINK_OK_LOG_OVERFLOW) return RunRequestFailed(result, kLogSizeFailure);
    logOverflowNoted_ = result == LINK_OK_LOG_OVERFLOW;
    FreeLogBuffer();
    logLength_ = logSize_;
    // Zero-filled, and never empty, so that even a read of 0 bytes has a
    // buffer to point at.
    logBuffer_ = std::make_unique<uint8_t[]>(std::max<uint32_t>(logLength_, 1));
    logBytesRead_ = 0;
    uint8_t* piece = logBuffer_.get();
    const uint16_t count = std::min(logSize_, kMaxLogPiece);
    SendRunRequest([this, piece, count] { link_->ReadLog(piece, count, RunCompletion(&TCTSMainForm::OnLogData)); });
}

void TCTSMainForm::OnLogData(LinkResult result) {
    if (AbortNoticed()) return;
    if (result != LINK_OK) return RunRequestFailed(result, kLogDataFailure);
    const uint16_t piece = std::min(logSize_, kMaxLogPiece);
    const bool last = logSize_ <= kMaxLogPiece;
    logBytesRead_ += piece;
    logSize_ = static_cast<uint16_t>(logSize_ - piece);
    if (!last) {
        uint8_t* next = logBuffer_.get() + logBytesRead_;
        const uint16_t count = std::min(logSize_, kMaxLogPiece);
        SendRunRequest([this, next, count] { link_->ReadLog(next, count, RunCompletion(&TCTSMainForm::OnLogData)); });
        return;
    }
    ParseTestLog(logBuffer_.get(), logLength_);
    FreeLogBuffer();
    if (logOverflowNoted_) {
        logOverflowNoted_ = false;
        AddStatusLine("");
        AddStatusLine("> WARNING: Log buffer overflow in TE was detected!");
        AddStatusLine("");
        LB_StatusLines->scrollToBottom();
        if (currentTest_) {
            currentTest_->AddLogLine("");
            currentTest_->AddLogLine("WARNING: Log buffer overflow in TE was detected!");
            currentTest_->AddLogLine("");
        }
    }
    SendRunRequest([this] { link_->ClearLog(RunCompletion(&TCTSMainForm::OnClearLog)); });
}

void TCTSMainForm::OnClearLog(LinkResult result) {
    if (AbortNoticed()) return;
    if (result != LINK_OK) return RunRequestFailed(result, kClearLogFailure);
    if (resultRecord_.ResultCode() == kResultGoOn) {
        // The test goes on: let the instrument continue and ask again.
        SendRunRequest([this] { link_->SendOperatorResponse(0, RunCompletion(&TCTSMainForm::OnTestStarted)); });
        return;
    }
    AddStatusLine(currentTest_ ? RunTexts::ResultLine(currentTest_->Number(), resultRecord_) : std::string());
    AddStatusLine("");
    LB_StatusLines->scrollToBottom();
    if (currentTest_) currentTest_->FinishRun(resultRecord_);
    currentTest_ = nullptr;
    RefreshTestCounters();
    RunNextTest();
}

// ---- the test log

// Decoded lines go HTML-escaped into the open test's log and as they are into
// the status list.
test_log::Output TCTSMainForm::TestLogOutput() {
    return test_log::Output{[this](const std::string& line) {
                                if (currentTest_) currentTest_->AddLogLine(EscapeHtml(line));
                                AddStatusLine(line);
                            },
                            [this] { LB_StatusLines->scrollToBottom(); }};
}

void TCTSMainForm::ParseTestLog(const uint8_t* bytes, size_t length) {
    test_log::ParseTestLog(bytes, length, test_log::HpdPulse{runChoice_.hpdLowMs, runChoice_.hpdHighMs},
                           TestLogOutput());
}

void TCTSMainForm::DecodeTrainingPacket(const uint8_t* line, size_t length) {
    test_log::DecodeTrainingPacket(line, length, test_log::HpdPulse{runChoice_.hpdLowMs, runChoice_.hpdHighMs},
                                   TestLogOutput());
}

// ---- abort and the end of a run

void TCTSMainForm::BTN_AbortClick() {
    abortRequested_ = true;
    BTN_Abort->setEnabled(false);
}

void TCTSMainForm::EndRunForDisconnect() {
    if (!running_) return;
    EndTestRun();
    ShowRunMessage("Testing sequence Aborted", platform::MsgIcon::None);
}

void TCTSMainForm::EndTestRun() {
    // Completions of this run that are still on their way are dropped: the
    // link copies nothing into the log buffer freed below.
    runEpoch_.Advance();
    lastRequest_ = nullptr;
    if (currentTest_) {
        currentTest_->FinishRunAbnormal(UCTSTest::kAbortedByOperator);
        currentTest_ = nullptr;
    }
    FreeLogBuffer();
    logOverflowNoted_ = false;
    EndOperatorPrompt();
    SetRunningState(false);
    running_ = false;
    reportSaved_ = false;
    ShowRunningRow(-1);
    const int rowCount = LV_TestList->topLevelItemCount();
    for (int row = 0; row < rowCount && row < static_cast<int>(savedSelection_.size()); ++row)
        LV_TestList->topLevelItem(row)->setSelected(savedSelection_[static_cast<size_t>(row)]);
    if (link_) link_->SetStatusPollEnabled(true);
    BTN_RunTests->setEnabled(true);
    BTN_RunTests->setFocus();
}

void TCTSMainForm::SetRunningState(bool r) {
    BTN_Abort->setVisible(r);
    BTN_RunTests->setVisible(!r);
    LBL_HDCPStatus->setEnabled(!r);
    if (r) ShowHdcpLampIdle();
    QList<QWidget*> locked = {ED_IterationCount,
                              LBL_IterationCount,
                              UD_IterationCount,
                              BTN_ClearTestResults,
                              BTN_DutCaps,
                              BTN_VidTimeStampGen,
                              CB_SupportTXLinkRate,
                              CB_SupportTXLanes,
                              BTN_MostPackedTiming,
                              BTN_EditColorimetry,
                              BTN_TestAutomation,
                              ED_AfterHPDLow,
                              UD_HPDLo,
                              ED_AfterHPDHi,
                              UD_HPDHi,
                              ED_Tout,
                              UD_Tout,
                              ED_AuthenticationStartTO,
                              UD_AuthenticationStartTO};
    for (QCheckBox* box : CH_HDCP) locked << box;
    // The labels of the locked parameter controls.
    for (QLabel* label : PNL_DUTCaps_SourceTest->findChildren<QLabel*>()) locked << label;
    for (QLabel* label : GB_HDCPCaps->findChildren<QLabel*>()) locked << label;
    for (QWidget* w : locked) w->setEnabled(!r);
    for (QAction* a : {MENU_Options, MENU_SaveReport, MENU_Exit, MENU_FirmwareUpdate}) a->setEnabled(!r);
    // DPCD access needs the link as well.
    MENU_DPCDAccess->setEnabled(!r && link_ != nullptr);
}
