// The window's side of a test run: "Run Tests" reads the controls into the
// run's choice at the click, takes the link (or waits for it) for the
// run-start firmware check, shows the click's page and rows when the run
// gets under way and hands it to the run engine (cts/engine/TestRun), whose
// view the window is: the status list, the running row, the counters, the
// boxes, the operator prompt and the run's end. "Abort" and the ends from
// outside (closing the window, "Disconnect COM") go to the engine as well.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>

#include "cts/TCTSMainForm.h"
#include "cts/catalogue/TestListCells.h"
#include "cts/dialogs/TColorimetryEdit.h"
#include "cts/dialogs/TDUTCfg.h"
#include "cts/dialogs/TOptionsForm.h"
#include "cts/dialogs/TTestAutomation.h"
#include "cts/engine/RunHeader.h"
#include "cts/engine/RunTexts.h"
#include "platform/Windows1252.h"
#include "platform/gui/Lamp.h"
#include "platform/gui/MessageList.h"

// ---- the run's view: status list and messages

void TCTSMainForm::AddStatusLine(const std::string& line) { LB_StatusLines->AddLine(platform::FromWindows1252(line)); }

void TCTSMainForm::ScrollStatusToEnd() { LB_StatusLines->scrollToBottom(); }

void TCTSMainForm::ShowRunMessage(const std::string& text, platform::MsgIcon icon) {
    platform::ShowMessageBox(text, windowTitle().toStdString(), icon, platform::MsgButtons::Ok, this);
}

void TCTSMainForm::ShowMessage(const std::string& text, bool error) {
    ShowRunMessage(text, error ? platform::MsgIcon::Error : platform::MsgIcon::None);
}

void TCTSMainForm::ShowRunningTest(const UCTSTest& test) { ShowRunningRow(test.TestId() - groupOffset_ - 1); }

void TCTSMainForm::RefreshCounters() { RefreshTestCounters(); }

void TCTSMainForm::RebuildLink() { Reconnect(); }

void TCTSMainForm::SetRunTestsEnabled(bool enabled) {
    BTN_RunTests->setEnabled(enabled);
    run_.RunTestsEnabled(enabled);
}

// ---- "Run Tests"

RunChoice TCTSMainForm::ReadRunChoice(const TestParameterInputs& inputs) const {
    // The header lines and the long-HPD-pulse numbers of the whole run come
    // from the values the block was just built from.
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
    for (int row = 0; row < rowCount; ++row) {
        const QTreeWidgetItem* item = LV_TestList->topLevelItem(row);
        choice.selection.push_back(item->isSelected());
        if (!item->isSelected()) continue;
        const int32_t number = item->text(TestListCells::kId).toInt();
        const std::string name = platform::ToWindows1252(item->text(TestListCells::kName));
        choice.tests.push_back({groupOffset_ + number, UCTSTest::MakeLabel(row + 1, name), number});
    }
    bool ok = false;
    choice.iterations = ED_IterationCount->text().toInt(&ok);
    if (!ok) choice.iterations = 1;
    if (dialogs_.colorimetry) {
        const int count = dialogs_.colorimetry->GetFormatCount();
        for (int n = 0; n < count; ++n) choice.colorimetryIds.push_back(dialogs_.colorimetry->GetFormatID(n));
    }
    if (dialogs_.dutCfg) choice.timeStampRecord = dialogs_.dutCfg->GetTimingRecord();
    choice.linkTimeoutSeconds = dialogs_.options ? dialogs_.options->UD_TimeoutLen->value() : linkTimeout_;
    choice.testDelaySeconds = testDelay_;
    return choice;
}

void TCTSMainForm::StartTestRun(const TestParameterInputs& inputs) {
    if (!link_ || run_.Running()) return;
    // Everything the run is made of is taken now, at the click, even when it
    // has to wait for the link: the operator may switch pages or change the
    // controls meanwhile.
    run_.Choose(ReadRunChoice(inputs));
    if (runStartPending_) {
        // A click on the list enabled "Run Tests" again before the run got
        // under way, and the operator clicked it: this click's choice is the
        // run's now, on the start already waiting or out.
        SetRunTestsEnabled(false);
        return;
    }
    const bool wasEnabled = BTN_RunTests->isEnabled();
    runStartPending_ = true;
    SetRunTestsEnabled(false);
    if (BeginRunStart()) return;
    // The link is held long by another request of the window: no run.
    runStartPending_ = false;
    SetRunTestsEnabled(wasEnabled);
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
    link_->QueryFirmwareVersion(runVersionReply_.data(), MV_Comm::Completion(run_.Stamp(), checked));
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
    SetRunTestsEnabled(true);
}

void TCTSMainForm::ShowRunChoice() {
    // The page of the click comes back if the operator has switched away
    // (only the selection taken at the click runs), with that selection.
    const RunChoice& choice = run_.Choice();
    if (TC_PagesTabs->currentIndex() != choice.tab) TC_PagesTabs->setCurrentIndex(choice.tab);
    const int rowCount = LV_TestList->topLevelItemCount();
    for (int row = 0; row < rowCount; ++row) {
        const size_t at = static_cast<size_t>(row);
        LV_TestList->topLevelItem(row)->setSelected(at < choice.selection.size() && choice.selection[at]);
    }
}

void TCTSMainForm::PrepareTestRun() {
    if (!link_) return;
    link_->SetOnMessage([this](const std::string& text) { OnPrintPacket(text); });
    // A click on the list meanwhile enabled "Run Tests" again: no run.
    if (run_.StartUndone()) return;
    ShowRunChoice();
    link_->SetStatusPollEnabled(false);
    SetRunningState(true);
    BTN_Abort->setEnabled(true);
    // The DPCD dialog's requests would meet the run's.
    CloseDpcdAccess();
    const int rowCount = LV_TestList->topLevelItemCount();
    savedSelection_.assign(static_cast<size_t>(rowCount), false);
    for (int row = 0; row < rowCount; ++row)
        savedSelection_[static_cast<size_t>(row)] = LV_TestList->topLevelItem(row)->isSelected();
    run_.Start();
}

// ---- abort and the end of a run

void TCTSMainForm::BTN_AbortClick() {
    run_.RequestAbort();
    BTN_Abort->setEnabled(false);
}

void TCTSMainForm::EndRunForDisconnect() { run_.EndForDisconnect(); }

void TCTSMainForm::EndTestRun() { run_.End(); }

void TCTSMainForm::Ended() {
    EndOperatorPrompt();
    SetRunningState(false);
    reportSaved_ = false;
    ShowRunningRow(-1);
    const int rowCount = LV_TestList->topLevelItemCount();
    for (int row = 0; row < rowCount && row < static_cast<int>(savedSelection_.size()); ++row)
        LV_TestList->topLevelItem(row)->setSelected(savedSelection_[static_cast<size_t>(row)]);
    if (link_) link_->SetStatusPollEnabled(true);
    SetRunTestsEnabled(true);
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
