// The live displays of the main window: the HDCP lamp, the MSA and SDP logs
// fed by the poller, their capture boxes, and the audio status page.
#include <QClipboard>
#include <QGuiApplication>
#include <QTime>

#include "platform/MessageBox.h"
#include "sinkmonitor/TfrmMain.h"
#include "sinkmonitor/pages/AudioDecode.h"
#include "sinkmonitor/pages/HdcpDecode.h"

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

platform::Lamp::State LampOf(selvitra::LampState state) { return static_cast<platform::Lamp::State>(state); }

// A log row: the caption in the first column, the cells after it.
QTreeWidgetItem* AddRow(QTreeWidget* list, const QStringList& row) {
    auto* item = new QTreeWidgetItem(list, row);
    return item;
}

QList<QStringList> Rows(const QTreeWidget* list) {
    QList<QStringList> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        QStringList row;
        // A row holds as many cells as were given to it.
        int cells = item->columnCount();
        for (int c = 0; c < cells; ++c) row << item->text(c);
        rows << row;
    }
    return rows;
}

bool AskWarning(QWidget* owner, const char* text) {
    return platform::ShowMessageBox(text, "Warning", MsgIcon::Warning, MsgButtons::OkCancel, owner) == MsgResult::Ok;
}

}  // namespace

// The poller's cycle in progress may still hand over a result of a kind that
// was switched off meanwhile: the displays take a result only while its
// kind is polled (HDCP while the Main page shows, MSA and SDP while their
// capture box is checked), so a lamp switched off stays grey.

void TfrmMain::OnHdcpStatus(dpscheduler_t& poller) {
    const bool polled = pgMain->currentWidget() == tbsMain;
    tbsMain->shHDCPAuth->SetState(polled ? LampOf(selvitra::HdcpLamp(poller.get_hdcp())) : platform::Lamp::State::Off);
}

void TfrmMain::OnMsaStatus(dpscheduler_t& poller) {
    if (!tbsMain->cbMSAEnable->isChecked()) return;
    const selvitra::MsaView view = selvitra::DecodeMsaStatus(poller.get_msa(), lastMsa_, QTime::currentTime());
    if (!view.changed) return;
    tbsMain->shMSAUnstable->SetState(LampOf(view.unstable));
    if (view.videoValid) tbsMain->shVideoValid->SetState(LampOf(*view.videoValid));
    if (view.row) tbsMain->lvMSA->scrollToItem(AddRow(tbsMain->lvMSA, *view.row));
}

void TfrmMain::OnSdpPacket(dpscheduler_t& poller) {
    // The record handed over when the capture box switches polling is not a
    // new packet.
    if (sdpSwitchGuard_ || !tbsSDP->cbSDPEnable->isChecked()) return;
    const auto row = selvitra::DecodeSdpPacket(poller.get_sdp(), sdpBurst_, QTime::currentTime());
    if (row) tbsSDP->lvSDP->scrollToItem(AddRow(tbsSDP->lvSDP, *row));
}

// The checks before a capture box switches its polling: a connection, a
// port and a poller. When one fails, the box is unchecked again.
bool TfrmMain::CaptureBoxMayChange(QCheckBox* box) {
    if (!CheckConnected()) {
        UncheckCaptureBox(box);
        return false;
    }
    if (!port_ && box->isChecked()) {
        AddMessage(QString::fromLatin1(dpprotocol_t::kTextPortNotSet));
        platform::ShowMessageBox("Communication  port not set.", "Error", MsgIcon::Error, MsgButtons::Ok, this);
        UncheckCaptureBox(box);
        return false;
    }
    if (!poller_) {
        platform::ShowMessageBox("Communication failed to initialize. Please re-select the serial port.", "Error",
                                 MsgIcon::Error, MsgButtons::Ok, this);
        UncheckCaptureBox(box);
        return false;
    }
    return true;
}

void TfrmMain::cbMSAEnableClick() {
    if (captureBoxGuard_) return;
    QCheckBox* box = tbsMain->cbMSAEnable;
    if (!CaptureBoxMayChange(box)) return;
    lastMsa_.fill(0);  // the next record always makes a row
    poller_->set_msa_polling(box->isChecked());
    if (!box->isChecked()) {
        tbsMain->shMSAUnstable->SetState(platform::Lamp::State::Off);
        tbsMain->shVideoValid->SetState(platform::Lamp::State::Off);
    }
}

void TfrmMain::cbSDPEnableClick() {
    if (captureBoxGuard_) return;
    QCheckBox* box = tbsSDP->cbSDPEnable;
    if (!CaptureBoxMayChange(box)) return;
    sdpSwitchGuard_ = true;
    poller_->set_sdp_polling(box->isChecked());
    sdpSwitchGuard_ = false;
}

void TfrmMain::btnMSAClearClick() {
    if (tbsMain->lvMSA->topLevelItemCount() == 0) return;
    if (!AskWarning(this, "The MSA log list will be cleared. Do you want to continue?")) return;
    tbsMain->lvMSA->clear();
    lastMsa_.fill(0);
}

void TfrmMain::btnSDPClearClick() {
    if (tbsSDP->lvSDP->topLevelItemCount() == 0) return;
    if (!AskWarning(this, "The SDP log list will be cleared. Do you want to continue?")) return;
    tbsSDP->lvSDP->clear();
}

void TfrmMain::pmMSAPopup(const QPoint& at) {
    tbsMain->pmiDelete->setEnabled(!tbsMain->lvMSA->selectedItems().isEmpty());
    tbsMain->pmMSA->popup(tbsMain->lvMSA->viewport()->mapToGlobal(at));
}

void TfrmMain::pmiDeleteClick() {
    if (!AskWarning(this, "The selected row(s) will be deleted. Do you want to continue?")) return;
    qDeleteAll(tbsMain->lvMSA->selectedItems());
}

QString TfrmMain::MsaLogText() const { return selvitra::MsaLogText(Rows(tbsMain->lvMSA)); }
QString TfrmMain::SdpLogText() const { return selvitra::SdpLogText(Rows(tbsSDP->lvSDP)); }

void TfrmMain::btnMSACopyClick() { QGuiApplication::clipboard()->setText(MsaLogText()); }
void TfrmMain::btnSDPCopyClick() { QGuiApplication::clipboard()->setText(SdpLogText()); }

void TfrmMain::btnUpdateAudioStatusClick() {
    if (!CheckConnected()) return;
    tbsAudio->Show(selvitra::AudioView{});
    audiostatus_t record{};
    if (!protocol_->get_audio_status(record)) return;
    tbsAudio->Show(selvitra::DecodeAudioStatus(record));
    AddMessage(QString::fromLatin1(kTextCommandSuccessful));
}
