// The DPCD access dialog's requests: one DPCD byte read or written through
// the link, the outcome handed back to the dialog for the operation that
// asked for it. A DPCD access holds the link until its completion: the
// dialog's buttons are disabled meanwhile, and while another request of the
// window is out (TCTSMainForm.WindowRequests.cpp).

#include "cts/TCTSMainForm.h"
#include "cts/dialogs/TDPCD_Access.h"

void TCTSMainForm::MENU_DPCDAccessClick() {
    TDPCD_Access* dialog = dialogs_.dpcd;
    dialog->ReadRequest = [this](uint32_t address) { ReadDpcd(address); };
    dialog->WriteRequest = [this](uint32_t address, uint8_t data) { WriteDpcd(address, data); };
    if (!dialog->isVisible()) {
        dialog->adjustSize();
        dialog->move(frameGeometry().center() - dialog->rect().center());
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void TCTSMainForm::ReadDpcd(uint32_t address) {
    const platform::Epoch::Ticket operation = dialogs_.dpcd->Operation();
    // The link carries 16 address bits; a wider address is refused, never cut.
    if (address >= TDPCD_Access::kAddressLimit || !TakeLink(WindowRequest::Dpcd)) {
        dialogs_.dpcd->ShowReadResult(false, 0);
        return;
    }
    link_->ReadDpcd(&dpcdByte_, static_cast<uint16_t>(address),
                    [this, operation](LinkResult result) { OnDpcdRead(operation, result); });
}

void TCTSMainForm::OnDpcdRead(const platform::Epoch::Ticket& operation, LinkResult result) {
    ReleaseLink(WindowRequest::Dpcd);
    if (!operation.Current()) return;
    if (result == LINK_OK) dialogs_.dpcd->ShowReadResult(true, dpcdByte_);
    else dialogs_.dpcd->ShowReadResult(false, 0);
}

void TCTSMainForm::WriteDpcd(uint32_t address, uint8_t data) {
    const platform::Epoch::Ticket operation = dialogs_.dpcd->Operation();
    if (address >= TDPCD_Access::kAddressLimit || !TakeLink(WindowRequest::Dpcd)) {
        dialogs_.dpcd->ShowWriteResult(false);
        return;
    }
    link_->WriteDpcd(data, static_cast<uint16_t>(address),
                     [this, operation](LinkResult result) { OnDpcdWritten(operation, result); });
}

void TCTSMainForm::OnDpcdWritten(const platform::Epoch::Ticket& operation, LinkResult result) {
    ReleaseLink(WindowRequest::Dpcd);
    if (!operation.Current()) return;
    dialogs_.dpcd->ShowWriteResult(result == LINK_OK);
}

void TCTSMainForm::CloseDpcdAccess() {
    if (dialogs_.dpcd) dialogs_.dpcd->BTN_CloseClick();
}
