// The connection sequence: the link is created for the chosen port, the
// obsolete-firmware probe runs, then up to four firmware-version requests;
// the version is compared with the one this application is built for, and
// the pages open. Until then the not-connected panel says why not.
#include <QAction>
#include <QColor>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <exception>

#include "cts/TCTSMainForm.h"
#include "cts/dialogs/TOptionsForm.h"
#include "platform/GuiCall.h"
#include "platform/MessageBox.h"
#include "platform/Windows1252.h"
#include "platform/gui/Lamp.h"
#include "platform/gui/Modal.h"

namespace {

constexpr int kVersionRequests = 4;
constexpr int kReadableVersionMs = 750;  // the "Firmware V..." line stays readable this long
constexpr uint32_t kBlinkMask = 0x1F1F1F;

struct FailureText {
    const char* reason;
    const char* hint;
};

FailureText FailureOf(LinkResult result) {
    static constexpr const char* kVerify = "Verify connections and COM port selection.";
    switch (result) {
        case LINK_RETRIES_EXCEEDED:
            return {"Too many retries", kVerify};
        case LINK_INVALID_RESPONSE:
            return {"Invalid response", kVerify};
        case LINK_INTERNAL_ERROR:
            return {"Internal error", kVerify};
        case LINK_BUSY:
            return {"Request while processing another request", kVerify};
        case LINK_NO_RESPONSE:
            return {"No Response received",
                    "Verify connections, COM port selection and update Firmware \"Tools->Firmware Update\"."};
        case LINK_REFUSED:
            return {"Request refused", "Update firmware \"Tools->Firmware Update\", and restart the TE."};
        default:
            return {"Unrecognized failure", kVerify};
    }
}

}  // namespace

void TCTSMainForm::ShowNotConnected(const QString& headline, const QString& explanation) {
    LBL_NotConnectedHeadline->setText(headline);
    LB_NotConnected->setText(explanation);
    TC_Pages->hide();
    PNL_NotConnected->show();
}

bool TCTSMainForm::CreateLink(const std::string& devicePath) {
    FreeLink();
    // A link that cannot be made, for whatever reason (the port, memory, no
    // worker thread), leaves the window not connected with "Try Connection"
    // usable; the panel names the failure, so no box repeats it.
    QString failure;
    try {
        link_ = std::make_unique<MV_Comm>(MV_Comm::kModeSerial, 0, devicePath);
    } catch (const E_GenericError& e) {
        failure = QString::fromLocal8Bit(e.Message.c_str());
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    } catch (...) {
        failure = QStringLiteral("Unknown error");
    }
    if (!link_) {
        ShowNotConnected(QStringLiteral("COM Port connection failed with message '") + failure + QStringLiteral("'."),
                         QStringLiteral("Check connections, close other applications that might use the port or "
                                        "select another COM port."));
        BTN_TryConnection->setEnabled(true);
        return false;
    }
    link_->SetOnMessage([this](const std::string& text) { OnPrintPacket(text); });
    link_->SetShowPrintPackets(Showprintpackets1->isChecked());
    return true;
}

void TCTSMainForm::StartSequence() {
    versionAttempts_ = 0;
    // The sequence holds the link until the pages open or it fails, as the
    // window's other requests do: the firmware dialog's buttons wait for it.
    TakeLink(WindowRequest::Connection);
    link_->ProbeLegacyFirmware([this](LinkResult r) { OnFirstContact(r); });
}

void TCTSMainForm::OpenLink(const std::string& devicePath) {
    if (CreateLink(devicePath)) StartSequence();
}

void TCTSMainForm::BTN_TryConnectionClick() {
    LBL_NotConnectedHeadline->setText(QStringLiteral("Connecting ..."));
    LB_NotConnected->clear();
    BTN_TryConnection->setEnabled(false);
    MENU_DPCDAccess->setEnabled(false);
    OpenLink(SelectedOrLastDevice());
}

std::string TCTSMainForm::SelectedOrLastDevice() const {
    const std::string selected = dialogs_.options ? dialogs_.options->GetSelectedDevice() : std::string();
    return selected.empty() ? comDevice_ : selected;
}

void TCTSMainForm::MENU_OptionsClick() {
    if (platform::ExecModal(*dialogs_.options) != QDialog::Accepted) return;
    Reconnect();
}

void TCTSMainForm::Reconnect() {
    platform::PostToGuiThread(windowEpoch_.Guard([this] { ReconnectNow(); }));
}

void TCTSMainForm::ReconnectNow() {
    BTN_TryConnection->setEnabled(false);
    MENU_DPCDAccess->setEnabled(false);
    FreeLink();
    ShowNotConnected(QStringLiteral("Connecting ..."), QString());
    comDevice_ = SelectedOrLastDevice();
    if (dialogs_.options) testDelay_ = dialogs_.options->UD_TestDelay->value();
    if (!CreateLink(comDevice_)) return;
    // An empty path is no port: the next start would ask for one again.
    if (!comDevice_.empty()) settings_.WriteString(kSection, "Vardeko_COM_Device", comDevice_);
    StartSequence();
}

void TCTSMainForm::OnFirstContact(LinkResult result) {
    if (result == LINK_OK) {
        ShowNotConnected(QStringLiteral("Obsolete firmware detected."),
                         QStringLiteral("Please, update firmware \"Tools->Firmware Update\"."));
        BTN_TryConnection->setEnabled(true);
        // The sequence ends here; the firmware dialog can use the link.
        ReleaseLink(WindowRequest::Connection);
        return;
    }
    link_->QueryFirmwareVersion(versionReply_.data(), [this](LinkResult r) { OnFirmwareVersion(r); });
}

QString TCTSMainForm::VersionText(const std::array<uint8_t, 3>& characters) {
    // The three characters joined by dots, read as the instrument's 8-bit
    // (Windows-1252) text, as every text from the instrument is.
    const std::string dotted = {static_cast<char>(characters[0]), '.', static_cast<char>(characters[1]), '.',
                                static_cast<char>(characters[2])};
    return platform::FromWindows1252(dotted);
}

void TCTSMainForm::StoreFirmwareVersion(const std::array<uint8_t, 3>& characters) {
    version_ = characters;
    versionKnown_ = true;
}

void TCTSMainForm::OnFirmwareVersion(LinkResult result) {
    if (result == LINK_OK) {
        StoreFirmwareVersion(versionReply_);
        const QString detected = VersionText(version_);
        LB_NotConnected->setText(QStringLiteral("Firmware V") + detected + QStringLiteral(" Detected..."));
        const int32_t v = version_[0] * 10000 + version_[1] * 100 + version_[2] - 484848;
        if (v != kExpectedVersion) {
            platform::ShowMessageBox(
                "This CTS GUI application is designed to work with firmware V3.4.1 (V" + detected.toStdString() +
                    " detected)\r\nFirmware update is strongly recommended!",
                windowTitle().toStdString(), platform::MsgIcon::Warning, platform::MsgButtons::Ok, this);
        }
        repaint();
        // The pages open after a pause in which the window keeps serving
        // events; a link replaced meanwhile cancels the opening.
        QTimer::singleShot(kReadableVersionMs, this, [this, link = linkEpoch_.Stamp()] {
            if (link.Current() && link_) OnLinkReady();
        });
        return;
    }
    if (versionAttempts_++ < kVersionRequests - 1) {
        link_->QueryFirmwareVersion(versionReply_.data(), [this](LinkResult r) { OnFirmwareVersion(r); });
        return;
    }
    const FailureText failure = FailureOf(result);
    ShowNotConnected(QStringLiteral("Firmware check failed: ") + QString::fromLatin1(failure.reason),
                     QString::fromLatin1(failure.hint));
    BTN_TryConnection->setEnabled(true);
    ReleaseLink(WindowRequest::Connection);
}

void TCTSMainForm::OnLinkReady() {
    {
        const QSignalBlocker block(TC_PagesTabs);
        while (TC_PagesTabs->count() > 0) TC_PagesTabs->removeTab(0);
    }
    shownTab_ = -1;
    link_->SetOnStatus([this](bool authenticated) { OnHdcpStatus(authenticated); });
    {
        const QSignalBlocker block(TC_PagesTabs);
        for (const char* caption : {"Link Layer Tests", "HDCP Tests (for Transmitters)", "HDCP Tests (for Repeaters)",
                                    "Audio Tests", "Link Training", "E-EDID"})
            TC_PagesTabs->addTab(QString::fromLatin1(caption));
    }
    link_->SetStatusPollEnabled(true);
    // The sequence ends: "Update Status" and the dialogs' requests may go out.
    ReleaseLink(WindowRequest::Connection);
    MENU_DPCDAccess->setEnabled(true);
    {
        const QSignalBlocker block(TC_PagesTabs);
        TC_PagesTabs->setCurrentIndex(0);
    }
    TC_PagesChange(0);
    PNL_NotConnected->hide();
    TC_Pages->show();
}

void TCTSMainForm::OnHdcpStatus(bool authenticated) {
    blinkPhase_ ^= kBlinkMask;
    // The lamp flickers between two greens while HDCP is authenticated and
    // between two greys otherwise; its outline follows in lighter shades.
    HDCP_Led->SetColor(platform::ColorFromBgr(blinkPhase_ + (authenticated ? 0x40E040u : 0x404040u)),
                       platform::ColorFromBgr(blinkPhase_ + (authenticated ? 0x60D060u : 0x606060u)));
}

void TCTSMainForm::ShowHdcpLampIdle() {
    // Grey with a medium grey outline: no status is being polled.
    HDCP_Led->SetColor(platform::ColorFromBgr(0x808080), platform::ColorFromBgr(0xA4A0A0));
}

void TCTSMainForm::DisconnectCOM1Click() {
    if (!link_) return;
    // A run ends first, as "Abort" would end it; only then is the link freed.
    EndRunForDisconnect();
    FreeLink();
    ShowNotConnected(QStringLiteral("COM Port disconnect by user request"),
                     QStringLiteral("Click 'Try connection' to reconnect ..."));
    BTN_TryConnection->setEnabled(true);
    // No dialog request may reach the freed link.
    MENU_DPCDAccess->setEnabled(false);
}
