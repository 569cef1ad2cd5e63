// The window's own requests besides the chains of a run: the connection
// sequence, the link-status query, a DPCD access, the firmware dialog's
// version query and update, a run's start and an E-EDID transfer. The link
// serves one request at a time and answers another with LINK_BUSY; the
// window never asks for one while a request of its own is out, so that
// answer never reaches any of them (nor a run, which would take it for a
// dead port).
//
// Each holds the link from its request to its last completion; the controls
// that would issue another are disabled meanwhile. A run's or a transfer's
// start that meets the link-status query or a DPCD access (short, and
// started from another page or the DPCD dialog) waits for it: the link is
// kept for the start from the moment that request ends, and the start goes
// on in a turn of its own with what the operator chose at the click. Any
// other start meets a holder that keeps the link long or is this very start,
// and is refused.
#include <QPushButton>

#include "cts/TCTSMainForm.h"
#include "cts/dialogs/TDPCD_Access.h"
#include "cts/dialogs/TFirmwareUpdate.h"
#include "platform/GuiCall.h"

#include <utility>

bool TCTSMainForm::TakeLink(WindowRequest who) {
    if (handedOver_ && windowRequest_ == who) {
        // The waiting start that was handed the link takes it.
        handedOver_ = false;
        return true;
    }
    if (!link_ || run_.Running() || windowRequest_ != WindowRequest::None) return false;
    windowRequest_ = who;
    UpdateWindowRequestControls();
    return true;
}

TCTSMainForm::LinkTaken TCTSMainForm::TakeLinkOrWait(WindowRequest who, std::function<void()> start) {
    if (TakeLink(who)) return LinkTaken::Now;
    const bool shortHolder = windowRequest_ == WindowRequest::LinkStatus || windowRequest_ == WindowRequest::Dpcd;
    if (!link_ || run_.Running() || !shortHolder || waitingStart_) return LinkTaken::Refused;
    waitingFor_ = who;
    waitingStart_ = std::move(start);
    return LinkTaken::Waiting;
}

void TCTSMainForm::ReleaseLink(WindowRequest who) {
    if (windowRequest_ != who) return;
    if (!waitingStart_) {
        handedOver_ = false;
        windowRequest_ = WindowRequest::None;
        UpdateWindowRequestControls();
        return;
    }
    // The link passes straight to the start that waits for it: no request
    // made after that start's click comes between. The start runs in a turn
    // of its own, not inside the completion that released the link (it may
    // ask a question first); a link freed before then drops it.
    windowRequest_ = waitingFor_;
    handedOver_ = true;
    UpdateWindowRequestControls();
    platform::PostToGuiThread(linkEpoch_.Guard([this, start = std::exchange(waitingStart_, nullptr)] {
        start();
        // A start that did not take the link (it found its own work ended
        // meanwhile) leaves it free.
        if (handedOver_) {
            handedOver_ = false;
            windowRequest_ = WindowRequest::None;
            UpdateWindowRequestControls();
        }
    }));
}

void TCTSMainForm::EndWindowRequests() {
    waitingStart_ = nullptr;
    handedOver_ = false;
    runStartPending_ = false;
    const WindowRequest out = std::exchange(windowRequest_, WindowRequest::None);
    UpdateWindowRequestControls();
    // An E-EDID transfer waiting for its start or with a block out ends as failed.
    FailEdidTransfer();
    // A read and a write alike show " - Failed".
    if (out == WindowRequest::Dpcd && dialogs_.dpcd) dialogs_.dpcd->ShowWriteResult(false);
    if (out == WindowRequest::FirmwareVersion && dialogs_.firmware)
        dialogs_.firmware->SetVersionText(QStringLiteral("<query error>"));
    if (out == WindowRequest::FirmwareUpdate) OnFirmwareUpdateEnd(false);
    CloseDpcdAccess();
}

void TCTSMainForm::FreeLink() {
    // Completions, timers and posts of the old link (the connection
    // sequence's pause, a start handed the link) are dropped from here on.
    linkEpoch_.Advance();
    EndWindowRequests();
    link_.reset();
}

void TCTSMainForm::UpdateWindowRequestControls() {
    const bool free = windowRequest_ == WindowRequest::None;
    BTN_UpdateLinkTraining->setEnabled(free);
    if (dialogs_.dpcd) dialogs_.dpcd->SetRequestsAllowed(free);
    if (dialogs_.firmware) dialogs_.firmware->SetRequestsAllowed(free);
}
