// The firmware update dialog's requests: the running version (up to four
// queries, the answer kept as the window's firmware version) and the update
// from an Intel HEX file, whose start, progress and outcome go back to the
// dialog. After a successful update the window stays connected: the link's
// last text asks the operator to reset the instrument.

#include "cts/TCTSMainForm.h"
#include "cts/dialogs/TFirmwareUpdate.h"
#include "platform/gui/Modal.h"

namespace {

constexpr int32_t kVersionRetries = 3;  // after the first query

}  // namespace

void TCTSMainForm::MENU_FirmwareUpdateClick() {
    if (!link_) return;
    TFirmwareUpdate* dialog = dialogs_.firmware;
    dialog->UpgradeRequest = [this](const std::string& fileName) { StartFirmwareUpdate(fileName); };
    dialog->VersionRequest = [this] { QueryFirmwareVersionText(); };
    dialog->adjustSize();
    dialog->move(frameGeometry().center() - dialog->rect().center());
    platform::ExecModal(*dialog);
}

void TCTSMainForm::QueryFirmwareVersionText() {
    firmwareVersionRetries_ = 0;
    // The query and its repetitions hold the link: "Check Running Version"
    // and "Upgrade" are disabled until the last of them has completed.
    if (!TakeLink(WindowRequest::FirmwareVersion)) {
        dialogs_.firmware->SetVersionText(QStringLiteral("<query error>"));
        return;
    }
    link_->QueryFirmwareVersion(firmwareDialogReply_.data(), [this](LinkResult r) { OnFirmwareVersionText(r); });
}

void TCTSMainForm::OnFirmwareVersionText(LinkResult result) {
    if (result != LINK_OK && firmwareVersionRetries_++ < kVersionRetries && link_) {
        link_->QueryFirmwareVersion(firmwareDialogReply_.data(), [this](LinkResult r) { OnFirmwareVersionText(r); });
        return;
    }
    ReleaseLink(WindowRequest::FirmwareVersion);
    if (result == LINK_OK) {
        StoreFirmwareVersion(firmwareDialogReply_);
        dialogs_.firmware->SetVersionText(QStringLiteral("V") + VersionText(firmwareDialogReply_));
        return;
    }
    dialogs_.firmware->SetVersionText(QStringLiteral("<query error>"));
}

void TCTSMainForm::StartFirmwareUpdate(const std::string& fileName) {
    // The update holds the link until it ends, also when it ends inside the call.
    if (!TakeLink(WindowRequest::FirmwareUpdate)) {
        OnFirmwareUpdateEnd(false);
        return;
    }
    link_->SetOnUpdateStart([this](uint32_t total) { OnFirmwareUpdateStart(total); });
    link_->SetOnProgress([this](uint32_t sent) { OnFirmwareUpdateProgress(sent); });
    link_->UpdateFirmware(fileName, [this](LinkResult result) { OnFirmwareUpdateComplete(result); });
}

void TCTSMainForm::OnFirmwareUpdateStart(uint32_t totalBytes) {
    dialogs_.firmware->SetBusy(true);
    dialogs_.firmware->StartProgress(totalBytes);
}

void TCTSMainForm::OnFirmwareUpdateProgress(uint32_t bytesSent) { dialogs_.firmware->SetProgress(bytesSent); }

void TCTSMainForm::OnFirmwareUpdateComplete(LinkResult result) { OnFirmwareUpdateEnd(result == LINK_OK); }

void TCTSMainForm::OnFirmwareUpdateEnd(bool ok) {
    ReleaseLink(WindowRequest::FirmwareUpdate);
    if (link_) {
        link_->SetOnUpdateStart(nullptr);
        link_->SetOnProgress(nullptr);
    }
    dialogs_.firmware->ShowResult(ok);
    dialogs_.firmware->SetBusy(false);
    dialogs_.firmware->HideProgress();
}
