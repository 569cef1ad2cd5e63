// The commands of the main window: link status and error counters, video
// CRC, sink capabilities, HPD pulse, AUX output level and sensitivity test,
// DPCD access, firmware version and update, the message list and the host
// side of the EDID editor.
#include <QClipboard>
#include <QGuiApplication>
#include <QThread>
#include <cmath>

#include "platform/GuiCall.h"
#include "platform/MessageBox.h"
#include "sinkmonitor/TProgressForm.h"
#include "sinkmonitor/TfrmMain.h"

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

constexpr unsigned kSinkCapabilitiesSettleMs = 500;
constexpr uint32_t kDpcdAddressLimit = 0x10000;
constexpr uint32_t kDpcdDataLimit = 0x100;
constexpr int kHpdMin = 1, kHpdMax = 65534;
constexpr int kAuxMin = 30, kAuxMax = 1200;

QString Hex(uint32_t value, int digits) { return QStringLiteral("%1").arg(value, digits, 16, QChar(u'0')).toUpper(); }

uint16_t Word(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)); }

// A decimal field's number, or `fallback` when it holds none.
int DecimalOr(const QString& text, int fallback) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : fallback;
}

}  // namespace

bool TfrmMain::CheckConnected() {
    if (connected_) return true;
    platform::ShowMessageBox("COM connection failed.\nTry re-select the COM port or try another one.", "Error",
                             MsgIcon::Error, MsgButtons::Ok, this);
    return false;
}

// The window's own lines are added inside handlers that go on to block in a
// command: each is painted at once.
void TfrmMain::AddMessage(const QString& text) { lbTextOut->ShowLineNow(text); }

void TfrmMain::OnProtocolMessage(const std::string& text) {
    // The poller's queries are quiet, but a query made while no port is set
    // reports that from the poller's thread: the list is the GUI thread's.
    if (!platform::IsGuiThread()) {
        platform::PostToGuiThread([show = showLater_, text]() mutable { show(QString::fromStdString(text)); });
        return;
    }
    // The sink's debug texts arrive in turns of the event loop of their own
    // (a flood of them at times): painted once a turn, when the loop paints.
    // A command's failure text ends its handler, which then returns to the
    // loop.
    lbTextOut->ShowLine(QString::fromStdString(text));
}

// Link status

void TfrmMain::btnUpdateLinkStatusClick() {
    if (CheckConnected()) UpdateLinkStatus();
}

void TfrmMain::btnClearLinkErrorsClick() { UpdateErrorCounters(true); }

void TfrmMain::UpdateLinkStatus() {
    AddMessage(QStringLiteral("Updating link status..."));
    linkstatus_t s{};
    if (!protocol_->get_link_status(s)) return;
    for (int lane = 0; lane < 4; ++lane) {
        const uint8_t bits = static_cast<uint8_t>(s[lane / 2] >> (lane % 2 ? 4 : 0));
        auto lamp = [](bool on) { return on ? platform::Lamp::State::On : platform::Lamp::State::Off; };
        tbsMain->shCR[lane]->SetState(lamp(bits & 0x01));
        tbsMain->shCE[lane]->SetState(lamp(bits & 0x02));
        tbsMain->shSL[lane]->SetState(lamp(bits & 0x04));
        static const char* const kSwing[] = {"400", "600", "800"};
        static const char* const kPreEmphasis[] = {"0", "3.5", "6.0"};
        const uint8_t vs = s[2 + lane], pre = s[6 + lane];
        tbsMain->lblVS[lane]->setText(QString::fromLatin1(vs < 3 ? kSwing[vs] : "1200"));
        tbsMain->lblPRE[lane]->setText(QString::fromLatin1(pre < 3 ? kPreEmphasis[pre] : "9.5"));
    }
    tbsMain->lblLSLaneCount->setText(QString::number(s[10]));
    switch (s[11]) {
        case 6:
            tbsMain->lblLSBitRate->setText(QStringLiteral("1.62"));
            break;
        case 10:
            tbsMain->lblLSBitRate->setText(QStringLiteral("2.70"));
            break;
        case 20:
            tbsMain->lblLSBitRate->setText(QStringLiteral("5.40"));
            break;
        default:
            tbsMain->lblLSBitRate->setText(QStringLiteral("BAD (%1)").arg(s[11]));
            break;
    }
    tbsMain->lblLSFramingMode->setText(s[12] == 0   ? QStringLiteral("Normal")
                                       : s[12] == 1 ? QStringLiteral("Enhanced")
                                                    : QStringLiteral("Auto"));
    tbsMain->lblLSScrambling->setText(s[14] == 0   ? QStringLiteral("Disabled")
                                      : s[14] == 1 ? QStringLiteral("Enabled")
                                                   : QStringLiteral("N/A"));
    AddMessage(QString::fromLatin1(kTextCommandSuccessful));
    UpdateErrorCounters(false);
}

void TfrmMain::UpdateErrorCounters(bool reset) {
    if (!CheckConnected()) return;
    AddMessage(reset ? QStringLiteral("Resetting error counters...") : QStringLiteral("Updating error count..."));
    errorcounts_t counts{};
    if (!protocol_->get_error_counts(reset, counts)) return;
    for (int lane = 0; lane < 4; ++lane) tbsMain->lblErrCnt[lane]->setText(Hex(Word(&counts[lane * 2]), 4));
    AddMessage(QString::fromLatin1(kTextCommandSuccessful));
}

void TfrmMain::btnUpdateVideoCRCClick() {
    if (!CheckConnected()) return;
    AddMessage(QStringLiteral("Updating video CRC..."));
    videocrc_t crc{};
    if (!protocol_->get_video_crc(crc)) return;
    const uint16_t values[] = {Word(&crc[0]), Word(&crc[2]), Word(&crc[4])};
    QLabel* labels[] = {tbsMain->lblVCRCRed, tbsMain->lblVCRCGreen, tbsMain->lblVCRCBlue};
    const bool none = values[0] == 0 && values[1] == 0 && values[2] == 0;
    for (int i = 0; i < 3; ++i) labels[i]->setText(none ? QStringLiteral("N/A") : Hex(values[i], 4));
    AddMessage(QString::fromLatin1(kTextCommandSuccessful));
}

// Sink capabilities, HPD, AUX

uint8_t TfrmMain::GetLaneCount() {
    if (tbsVarious->rb1Lane->isChecked()) return 1;
    if (tbsVarious->rb2Lanes->isChecked()) return 2;
    return 4;
}

uint8_t TfrmMain::GetLinkRateCode() {
    if (tbsVarious->rbHigh->isChecked()) return 10;
    if (tbsVarious->rbHigh2->isChecked()) return 20;
    tbsVarious->rbReduced->setChecked(true);
    return 6;
}

void TfrmMain::btnSetSinkCapabilitiesClick() {
    if (!CheckConnected()) return;
    AddMessage(QStringLiteral("Setting sink capabilities..."));
    const uint8_t lanes = GetLaneCount();
    const uint8_t rate = GetLinkRateCode();
    const uint8_t framing = tbsVarious->rbFramingNormal->isChecked() ? 0x00 : 0x80;
    if (!protocol_->set_sink_capabilities(lanes, rate, framing)) return;
    AddMessage(QString::fromLatin1(kTextCommandSuccessful));
    // The sink retrains the link before its status means anything.
    QThread::msleep(kSinkCapabilitiesSettleMs);
    UpdateLinkStatus();
}

void TfrmMain::btnPulseHPDClick() {
    if (!CheckConnected()) return;
    const int value = DecimalOr(tbsVarious->edtHPDDuration->text(), -1);
    const char* text = "Please give an integer between 1-65534.";
    if (value == -1) {
        platform::ShowMessageBox(text, "Invalid numeric value", MsgIcon::Error, MsgButtons::Ok, this);
        tbsVarious->edtHPDDuration->setText(QStringLiteral("1000"));
        return;
    }
    if (value < kHpdMin || value > kHpdMax) {
        platform::ShowMessageBox(text, "Value exceeds limits", MsgIcon::Error, MsgButtons::Ok, this);
        return;
    }
    AddMessage(QStringLiteral("Sending HPD pulse..."));
    if (protocol_->hpd_pulse(static_cast<uint16_t>(value))) AddMessage(QString::fromLatin1(kTextCommandSuccessful));
}

void TfrmMain::btnSetAUXChannelOutputLevelClick() {
    if (!CheckConnected()) return;
    AddMessage(QStringLiteral("Setting AUX channel output level..."));
    const std::pair<QRadioButton*, uint8_t> levels[] = {{tbsVarious->rbAUXL200, 0x16}, {tbsVarious->rbAUXL270, 0x1D},
                                                        {tbsVarious->rbAUXL400, 0x2A}, {tbsVarious->rbAUXL600, 0x3E},
                                                        {tbsVarious->rbAUXL800, 0x52}, {tbsVarious->rbAUXL1200, 0x79}};
    uint8_t code = 0x3E;
    for (const auto& [button, c] : levels)
        if (button->isChecked()) code = c;
    if (protocol_->set_aux_output_level(code)) AddMessage(QString::fromLatin1(kTextCommandSuccessful));
}

int TfrmMain::AuxTestSteps(int start, int stop, int step) { return (start - stop + step - 1) / step + 1; }

void TfrmMain::btnAUXTestClick() {
    if (auxTest_ || !CheckConnected()) return;
    AddMessage(QStringLiteral("Testing AUX channel sensitivity..."));
    const int start = DecimalOr(tbsVarious->edtASTStart->text(), kAuxMax);
    const int stop = DecimalOr(tbsVarious->edtASTStop->text(), kAuxMin);
    const char* refusal = nullptr;
    if (start < kAuxMin || start > kAuxMax || stop < kAuxMin || stop > kAuxMax)
        refusal = "Start and stop values must be positive integers between 30 and 1200.";
    else if (start < stop) refusal = "Start value must be greater than or equal to stop value.";
    if (refusal) {
        platform::ShowMessageBox(refusal, "Error", MsgIcon::Error, MsgButtons::Ok, this);
        AddMessage(QStringLiteral("Test couldn't be started."));
        return;
    }
    tbsVarious->lbAUXTest->clear();
    const int step = tbsVarious->rbDecr30->isChecked() ? 30 : tbsVarious->rbDecr50->isChecked() ? 50 : 100;
    // One level per turn of the event loop, each one blocking command: the
    // window stays painted between them, and the disabled main window lets
    // no other command start meanwhile. The first level waits until the
    // progress window is on the screen, or nothing of it would be seen
    // while the command blocks.
    auxTest_ = AuxTest{start, stop, step};
    setEnabled(false);
    auto first = auxTestEpoch_.Guard([this] { AuxTestStep(); });
    if (progressForm_) {
        progressForm_->Start(QStringLiteral("AUX channel sensitivity test in progress. Please wait..."),
                             AuxTestSteps(start, stop, step));
        progressForm_->WhenExposed(std::move(first));
    } else {
        platform::PostToGuiThread(std::move(first));
    }
}

void TfrmMain::AuxTestLine(const QString& line, bool replaceLast) {
    platform::MessageList* list = tbsVarious->lbAUXTest;
    if (replaceLast) {
        if (progressForm_) progressForm_->ReplaceLastLine(line);
        if (list->count() > 0) list->item(list->count() - 1)->setText(line);
        list->PaintNow();
    } else {
        if (progressForm_) progressForm_->AddLine(line);
        list->ShowLineNow(line);
    }
}

void TfrmMain::AuxTestStep() {
    if (!auxTest_) return;
    AuxTest& test = *auxTest_;
    const QString line = QStringLiteral("Testing %1 mVpp... ").arg(test.level);
    AuxTestLine(line, false);
    uint8_t result = 0;
    if (!protocol_->aux_sensitivity_step(static_cast<uint16_t>(test.level), result)) {
        AuxTestLine(line + QStringLiteral("FAILED"), true);
        EndAuxTest(false);
    } else if (result != 0) {
        AuxTestLine(line + QStringLiteral("FAILED"), true);
        EndAuxTest(true);
    } else {
        AuxTestLine(line + QStringLiteral("OK"), true);
        if (test.level == test.stop) {
            EndAuxTest(true);
        } else {
            test.level = std::max(test.level - test.step, test.stop);
            platform::PostToGuiThread(auxTestEpoch_.Guard([this] { AuxTestStep(); }));
        }
    }
    CheckPortLost();
}

// finished: the levels ran to their end (the last one passed or failed);
// a failed command ends the test without the closing lines.
void TfrmMain::EndAuxTest(bool finished) {
    auxTest_.reset();
    auxTestEpoch_.Advance();
    if (progressForm_) progressForm_->Finish();
    setEnabled(true);
    if (!finished) return;
    platform::MessageList* list = tbsVarious->lbAUXTest;
    list->AddLine(QStringLiteral("Test finished."));
    list->scrollToBottom();
    AddMessage(QStringLiteral("Test finished."));
}

void TfrmMain::btnAUXCopyClick() { tbsVarious->lbAUXTest->CopyAllLines(); }

// DPCD access

std::optional<uint32_t> TfrmMain::ParseHex(const QString& input) {
    const QString text = input.toUpper();
    if (text.isEmpty()) return std::nullopt;
    qsizetype at = 0;
    if (text.startsWith(u'$') && text.size() > 1) {
        at = 1;
    } else if (text.startsWith(QStringLiteral("0X"))) {
        if (text.size() == 2) return std::nullopt;
        at = 2;
    }
    const QStringView digits = QStringView(text).mid(at);
    if (digits.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (QChar c : digits) {
        // Only ASCII 0-9 and A-F: a pasted digit of another script (fullwidth,
        // Arabic-Indic, ...) is no hexadecimal digit.
        const char16_t u = c.unicode();
        const int d = (u >= u'0' && u <= u'9') ? u - u'0' : (u >= u'A' && u <= u'F') ? u - u'A' + 10 : -1;
        if (d < 0) return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(d);
    }
    return value;
}

void TfrmMain::SetEditColors(QLineEdit* edit, bool matched) {
    const auto bg = matched ? colors_.ControlMatchColor() : colors_.ControlUnmatchColor();
    const auto fg = matched ? colors_.ControlMatchTextColor() : colors_.ControlUnmatchTextColor();
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, QColor(bg.red, bg.green, bg.blue));
    palette.setColor(QPalette::Text, QColor(fg.red, fg.green, fg.blue));
    edit->setPalette(palette);
}

void TfrmMain::CheckRanges() {
    const auto address = ParseHex(tbsVarious->edDPCDAddress->text());
    SetEditColors(tbsVarious->edDPCDAddress, address && *address < kDpcdAddressLimit);
    const auto data = ParseHex(tbsVarious->edDPCDData->text());
    SetEditColors(tbsVarious->edDPCDData, data && *data < kDpcdDataLimit);
}

namespace {
// The field's number below `limit`, or nothing after the field's error box.
std::optional<uint32_t> FieldValue(QWidget* owner, const QString& text, uint32_t limit, const char* invalid,
                                   const char* overflow) {
    const auto value = TfrmMain::ParseHex(text);
    if (!value) {
        platform::ShowMessageBox(invalid, "Error", MsgIcon::Error, MsgButtons::Ok, owner);
        return std::nullopt;
    }
    if (*value >= limit) {
        platform::ShowMessageBox(overflow, "Error", MsgIcon::Error, MsgButtons::Ok, owner);
        return std::nullopt;
    }
    return value;
}
}  // namespace

void TfrmMain::btnDPCDReadClick() {
    if (!CheckConnected()) return;
    tbsVarious->lblDPCDStatus->setText(QStringLiteral("Previous action: None"));
    const auto address = FieldValue(this, tbsVarious->edDPCDAddress->text(), kDpcdAddressLimit,
                                    "Address contains invalid character(s).", "Address overflow.");
    if (!address) return;
    uint8_t value = 0;
    if (!protocol_->dpcd_read(static_cast<uint16_t>(*address), value)) return;
    const QString numbers = Hex(*address, 4) + QStringLiteral(", Data: $") + Hex(value, 2);
    tbsVarious->lblDPCDStatus->setText(QStringLiteral("Previous action: Read of address $") + numbers);
    tbsVarious->edDPCDData->setText(Hex(value, 2));
    AddMessage(QStringLiteral("Read of DPCD address $") + numbers);
}

void TfrmMain::btnDPCDWriteClick() {
    if (!CheckConnected()) return;
    tbsVarious->lblDPCDStatus->setText(QStringLiteral("Previous action: None"));
    const auto address = FieldValue(this, tbsVarious->edDPCDAddress->text(), kDpcdAddressLimit,
                                    "Address contains invalid character(s).", "Address overflow.");
    if (!address) return;
    const auto value = FieldValue(this, tbsVarious->edDPCDData->text(), kDpcdDataLimit,
                                  "Data contains invalid character(s).", "Data overflow.");
    if (!value) return;
    if (!protocol_->dpcd_write(static_cast<uint16_t>(*address), static_cast<uint8_t>(*value))) return;
    const QString numbers = Hex(*address, 4) + QStringLiteral(", Data: $") + Hex(*value, 2);
    tbsVarious->lblDPCDStatus->setText(QStringLiteral("Previous action: Write to address $") + numbers);
    AddMessage(QStringLiteral("Write to DPCD address $") + numbers);
}

// Firmware

void TfrmMain::btnRefreshVersionClick() {
    if (!CheckConnected()) return;
    firmwareversion_t version{};
    if (!protocol_->get_firmware_version(version)) {
        SetLabelColor(tbsMain->lblFWVersion, Qt::red);
        platform::ShowMessageBox("Can't communicate with the DP device.", "Error", MsgIcon::Error, MsgButtons::Ok,
                                 this);
        return;
    }
    ShowFirmwareVersion(version);
}

void TfrmMain::btnUpdateFirmwareClick() {
    if (!runFirmwareUpdate_) return;
    // The updater opens the port itself: this window's poller and port let go.
    const bool hadPoller = poller_ != nullptr;
    poller_.reset();
    QString portName;
    if (port_) {
        portName = portText_;
        port_->close();
    }
    runFirmwareUpdate_(portName);
    if (!port_) return;
    if (!port_->open()) {
        platform::ShowMessageBox("Failed to restore communications.", "Error", MsgIcon::Error, MsgButtons::Ok, this);
        Teardown();
        return;
    }
    if (!hadPoller) return;
    // Polling as a connection sets it up; the firmware version is read again
    // only on request, once the device has been reset.
    StartPoller();
    poller_->set_hdcp_polling(pgMain->currentWidget() == tbsMain);
    if (tbsMain->cbMSAEnable->isChecked()) poller_->set_msa_polling(true);
    if (tbsSDP->cbSDPEnable->isChecked()) {
        sdpSwitchGuard_ = true;
        poller_->set_sdp_polling(true);
        sdpSwitchGuard_ = false;
    }
}

// Messages

void TfrmMain::btnMessageClearClick() {
    if (lbTextOut->count() == 0) return;
    if (platform::ShowMessageBox("Messages will be removed permanently. Are you sure?", "Clearing the message window",
                                 MsgIcon::Warning, MsgButtons::OkCancel, this) == MsgResult::Ok)
        lbTextOut->clear();
}

void TfrmMain::btnMessageCopyClick() { lbTextOut->CopyAllLines(); }

// EDID editor host

void TfrmMain::OnEdidEditorEvent(uint32_t code, uint32_t number, const char16_t*) {
    if (code == EC_HOST_WRITE_EDID) WriteEdid(number);
    if (code == EC_HOST_READ_EDID) ReadEdid();
}

void TfrmMain::WriteEdid(uint32_t blocks) {
    if (!CheckConnected()) return;
    if (blocks == 0) {
        platform::ShowMessageBox("No EDID data to write.", "Error", MsgIcon::Error, MsgButtons::Ok, this);
        return;
    }
    if (platform::ShowMessageBox("EDID data is to be written to the device. Do you want to continue?", "Warning",
                                 MsgIcon::Warning, MsgButtons::OkCancel, this) != MsgResult::Ok)
        return;
    for (uint32_t n = 0; n < blocks; ++n) {
        edidblock_t block{};
        ECGetBlock(edid_, static_cast<int32_t>(n), block.data(), static_cast<int32_t>(block.size()));
        AddMessage(QStringLiteral("Writing EDID block #%1").arg(n));
        if (!protocol_->edid_write_block(static_cast<uint8_t>(n / 2), n % 2 ? 0x80 : 0x00, block)) return;
    }
    AddMessage(QStringLiteral("EDID write finished."));
}

void TfrmMain::ReadEdid() {
    if (!CheckConnected()) return;
    if (platform::ShowMessageBox("EDID read will replace existing data. Do you want to proceed?", "Warning",
                                 MsgIcon::Warning, MsgButtons::OkCancel, this) != MsgResult::Ok)
        return;
    ECClearBlocks(edid_);
    // Block 0 announces the number of extension blocks in its byte 126.
    int extensions = 0;
    for (int i = 0; i <= extensions; ++i) {
        edidblock_t block{};
        if (!protocol_->edid_read_block(static_cast<uint8_t>(i / 2), i % 2 ? 0x80 : 0x00, block)) return;
        if (ECAddBlock(edid_, block.data(), static_cast<int32_t>(block.size())) < 0) {
            AddMessage(QStringLiteral("EDID block #%1 was refused by the EDID library.").arg(i));
            return;
        }
        if (i == 0) extensions = block[126];
    }
}
