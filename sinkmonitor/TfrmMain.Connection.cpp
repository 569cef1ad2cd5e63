// The connection of the main window: the port drop-down, the connection
// sequence (port, frame layer, firmware version, device role, poller) and
// its teardown, also after the port was lost.
#include <QPalette>
#include <vector>

#include "platform/GuiCall.h"
#include "platform/MessageBox.h"
#include "platform/PortList.h"
#include "sinkmonitor/TfrmMain.h"

namespace {

void ErrorBox(QWidget* owner, const char* text) {
    platform::ShowMessageBox(text, "Error", platform::MsgIcon::Error, platform::MsgButtons::Ok, owner);
}

}  // namespace

void TfrmMain::FillPortList() {
    std::vector<platform::SerialPortInfo> ports;
    for (size_t i = 0; i < portList_->count(); ++i)
        ports.push_back({portList_->at(i)->device_path, portList_->at(i)->friendly_name});
    const std::vector<std::string> shown = platform::PortDisplayNames(ports);
    for (size_t i = 0; i < shown.size(); ++i)
        tbsMain->cbComPort->addItem(QString::fromStdString(shown[i]), static_cast<qulonglong>(i));
    tbsMain->cbComPort->setCurrentIndex(-1);
}

void TfrmMain::cbComPortDropDown() {
    // The items point into the list: they go first.
    tbsMain->cbComPort->clear();
    portList_ = std::make_unique<serialportenum_t>();
    FillPortList();
}

void TfrmMain::SetLabelColor(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

void TfrmMain::UncheckCaptureBox(QCheckBox* box) {
    captureBoxGuard_ = true;
    box->setChecked(false);
    captureBoxGuard_ = false;
}

void TfrmMain::Teardown() {
    // Taken out first: destroying the poller serves its hand-overs, and one
    // that runs there sees no poller.
    if (auto poller = std::move(poller_)) poller.reset();
    if (auto port = std::move(port_)) {
        protocol_->close();
        port.reset();
    }
    connected_ = false;
    tbsMain->btnRefreshVersion->hide();
    tbsMain->lblFWVersion->setText(QString::fromLatin1(kTextNotConnected));
    SetLabelColor(tbsMain->lblFWVersion, palette().color(QPalette::WindowText));
    for (QLabel* panel : sbStatusPanels) panel->clear();
    for (platform::Lamp* lamp : tbsMain->Lamps()) lamp->SetState(platform::Lamp::State::Off);
    UncheckCaptureBox(tbsMain->cbMSAEnable);
}

void TfrmMain::CheckPortLost() {
    if (lostTeardownQueued_ || !protocol_ || !protocol_->port_lost()) return;
    lostTeardownQueued_ = true;
    // A post runs in an event-loop turn of its own, never inside the wait of
    // a command or the join of a thread: the port is not freed while a
    // handler further up still uses it (closing it, for one).
    platform::PostToGuiThread(epoch_.Guard([this] { TeardownLostPort(); }));
}

void TfrmMain::TeardownLostPort() {
    // Still marked as queued while the teardown serves pending hand-overs,
    // so that they queue no second one.
    if (port_ && protocol_->port_lost()) {  // else torn down meanwhile
        Teardown();
        AddMessage(QString::fromLatin1(kTextConnectionLost));
    }
    lostTeardownQueued_ = false;
}

void TfrmMain::StartPoller() {
    poller_ = std::make_unique<dpscheduler_t>(protocol_.get());
    poller_->set_on_hdcp([this](dpscheduler_t& p) {
        OnHdcpStatus(p);
        CheckPortLost();
    });
    poller_->set_on_msa([this](dpscheduler_t& p) {
        OnMsaStatus(p);
        CheckPortLost();
    });
    poller_->set_on_sdp([this](dpscheduler_t& p) {
        OnSdpPacket(p);
        CheckPortLost();
    });
    // A failed SDP query hands no packet over: the loss comes on its own.
    poller_->set_on_port_lost([this](dpscheduler_t&) { CheckPortLost(); });
}

void TfrmMain::ShowFirmwareVersion(const firmwareversion_t& v) {
    const QString text =
        QString::fromLatin1(kTextFirmwareVersion) + QChar(v[0]) + u'.' + QChar(v[1]) + u'.' + QChar(v[2]);
    tbsMain->lblFWVersion->setText(text);
    sbStatusPanels[0]->setText(text);
}

void TfrmMain::cbComPortChange() {
    // 1 to 3: whatever was connected goes.
    Teardown();

    const int index = tbsMain->cbComPort->currentIndex();
    if (index < 0) return;
    const SERIAL_PORT_INFO* info = portList_->at(tbsMain->cbComPort->itemData(index).toULongLong());
    if (!info) return;

    // 4, 5: the port and the frame layer.
    port_ = std::make_unique<serialport_t>(info->friendly_name, info->device_path);
    if (!port_->open()) {
        ErrorBox(this, "Failed to open the port. Be sure that the port is not in use by another application.");
        port_.reset();
        return;
    }
    if (!protocol_->open(port_.get())) {
        ErrorBox(this, "Failed to initialize DP communication.");
        port_.reset();
        return;
    }
    portText_ = tbsMain->cbComPort->itemText(index);
    sbStatusPanels[1]->setText(QString::fromStdString(port_->get_name()));

    // 7, 8: the device answers and is a sink.
    firmwareversion_t version{};
    if (!protocol_->get_firmware_version(version)) {
        SetLabelColor(tbsMain->lblFWVersion, Qt::red);
        ErrorBox(this, "Can't communicate with the DP device.");
        return;
    }
    uint8_t role = 1;
    if (protocol_->get_device_role(role) && role == 0) {
        tbsMain->lblFWVersion->setText(QStringLiteral("CONNECTED TO A DP-SOURCE!"));
        SetLabelColor(tbsMain->lblFWVersion, Qt::red);
        ErrorBox(this, "Trying to use Selvitra with a source-type DP device!");
        return;
    }

    // 9 to 11: the poller, with HDCP polling while the Main page shows and
    // SDP polling when its capture box is checked.
    StartPoller();
    ShowFirmwareVersion(version);
    poller_->set_hdcp_polling(pgMain->currentWidget() == tbsMain);
    if (tbsSDP->cbSDPEnable->isChecked()) {
        sdpSwitchGuard_ = true;
        poller_->set_sdp_polling(true);
        sdpSwitchGuard_ = false;
    }
    tbsMain->btnRefreshVersion->show();
    connected_ = true;
}

void TfrmMain::pgMainChange() {
    if (poller_) poller_->set_hdcp_polling(pgMain->currentWidget() == tbsMain);
}
