#pragma once
// The sink monitor's main window: the pages "Main", "EDID", "SDP", "Audio"
// and "Various", the message list and the status bar; the connection to the
// sink (port, frame layer, device check, poller) and every command of the
// window. Everything runs on the GUI thread; the poller hands its results
// over synchronously.
#include <QMainWindow>
#include <QPointer>
#include <QSplitter>
#include <QStatusBar>
#include <QStringList>
#include <QTabWidget>
#include <functional>
#include <memory>
#include <optional>

#include "edid/ECLibrary.h"
#include "platform/Epoch.h"
#include "platform/gui/MessageList.h"
#include "sinkmonitor/TGUIColorScheme.h"
#include "sinkmonitor/TProgressForm.h"
#include "sinkmonitor/pages/AudioPage.h"
#include "sinkmonitor/pages/EdidPage.h"
#include "sinkmonitor/pages/MainPage.h"
#include "sinkmonitor/pages/MsaDecode.h"
#include "sinkmonitor/pages/SdpDecode.h"
#include "sinkmonitor/pages/SdpPage.h"
#include "sinkmonitor/pages/VariousPage.h"
#include "sinkmonitor/transport/dpprotocol.h"
#include "sinkmonitor/transport/dpscheduler.h"
#include "sinkmonitor/transport/serialport.h"
#include "sinkmonitor/transport/serialportenum.h"

class QCheckBox;
class QLineEdit;

class TfrmMain : public QMainWindow {
public:
    // The settings key under the user's settings.
    static constexpr const char* kSettingsKey = "\\SOFTWARE\\Merovan\\Tessaly\\Selvitra";

    // Texts of the window.
    static constexpr const char* kTextNotConnected = "NOT CONNECTED.";
    static constexpr const char* kTextFirmwareVersion = "Firmware version: ";
    static constexpr const char* kTextCommandSuccessful = "Command successful.";
    static constexpr const char* kTextConnectionLost = "Error: Connection to the device lost.";

    // arguments: the program's command line ("-debug" shows the sink's
    // debug texts).
    explicit TfrmMain(const QStringList& arguments = {});
    ~TfrmMain() override;

    // The progress window of the AUX test (created after this window).
    void SetProgressForm(TProgressForm* form) { progressForm_ = form; }
    // Runs the firmware-update dialog with the port's name (empty: none).
    void SetFirmwareUpdateRunner(std::function<void(const QString&)> run) { runFirmwareUpdate_ = std::move(run); }

    bool Connected() const { return connected_; }
    ECHandle EdidInstance() const { return edid_; }

    // The pages and the controls outside them.
    QTabWidget* pgMain;
    selvitra::MainPage* tbsMain;
    selvitra::EdidPage* tbsEDID;
    selvitra::SdpPage* tbsSDP;
    selvitra::AudioPage* tbsAudio;
    selvitra::VariousPage* tbsVarious;
    QSplitter* splSplitter;
    QWidget* pnlMessages;
    platform::MessageList* lbTextOut;
    QPushButton* btnMessageClear;
    QPushButton* btnMessageCopy;
    QMenu* pmTextOut;
    QStatusBar* sbStatus;
    std::array<QLabel*, 2> sbStatusPanels;

    // Connection (TfrmMain.Connection.cpp).
    void cbComPortDropDown();
    void cbComPortChange();
    void pgMainChange();

    // Commands (TfrmMain.Commands.cpp).
    void btnUpdateLinkStatusClick();
    void btnClearLinkErrorsClick();
    void btnUpdateVideoCRCClick();
    void btnSetSinkCapabilitiesClick();
    void btnPulseHPDClick();
    void btnSetAUXChannelOutputLevelClick();
    void btnAUXTestClick();
    void btnAUXCopyClick();
    void btnDPCDReadClick();
    void btnDPCDWriteClick();
    void CheckRanges();
    void btnRefreshVersionClick();
    void btnUpdateFirmwareClick();
    void btnMessageClearClick();
    void btnMessageCopyClick();
    void AddMessage(const QString& text);
    void OnProtocolMessage(const std::string& text);
    void OnEdidEditorEvent(uint32_t code, uint32_t number, const char16_t* text);

    // Capture (TfrmMain.Capture.cpp).
    void OnHdcpStatus(dpscheduler_t& poller);
    void OnMsaStatus(dpscheduler_t& poller);
    void OnSdpPacket(dpscheduler_t& poller);
    void cbMSAEnableClick();
    void cbSDPEnableClick();
    void btnMSAClearClick();
    void btnMSACopyClick();
    void pmMSAPopup(const QPoint& at);
    void pmiDeleteClick();
    void btnSDPClearClick();
    void btnSDPCopyClick();
    void btnUpdateAudioStatusClick();
    QString MsaLogText() const;
    QString SdpLogText() const;

    // The hexadecimal number of a DPCD field: "$1F", "0x1F" or "1F", at most
    // 8 digits; nothing when the text is none.
    static std::optional<uint32_t> ParseHex(const QString& text);
    // The number of levels the AUX test tries when none fails.
    static int AuxTestSteps(int start, int stop, int step);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closing the window ends a running AUX test.
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildUi();
    void BuildMessages(QWidget* parent);
    void ConnectHandlers();
    void FormCreate(const QStringList& arguments);
    void FormDestroy();
    void ReadSettings(QString* portName);
    void WriteSettings();
    void FillPortList();
    void LayOutPages();

    // Steps 1 to 3 of the connection sequence: poller, frame layer and port
    // go, the window shows no connection.
    void Teardown();
    // After a command or a hand-over: a lost port is torn down once the
    // running handler has returned.
    void CheckPortLost();
    void TeardownLostPort();
    void StartPoller();

    bool CheckConnected();
    void UpdateLinkStatus();
    void UpdateErrorCounters(bool reset);
    uint8_t GetLaneCount();
    uint8_t GetLinkRateCode();
    void ShowFirmwareVersion(const firmwareversion_t& version);
    void SetLabelColor(QLabel* label, const QColor& color);
    void SetEditColors(QLineEdit* edit, bool matched);
    void UncheckCaptureBox(QCheckBox* box);
    bool CaptureBoxMayChange(QCheckBox* box);
    void ReadEdid();
    void WriteEdid(uint32_t blocks);
    // The AUX sensitivity test runs one level per turn of the event loop.
    void AuxTestStep();
    void AuxTestLine(const QString& line, bool replaceLast);
    void EndAuxTest(bool finished);

    static void EdidHostCallback(void* owner, uint32_t code, uint32_t number, const char16_t* text);

    bool connected_ = false;
    bool captureBoxGuard_ = false;
    bool sdpSwitchGuard_ = false;
    bool lostTeardownQueued_ = false;
    QString portText_;  // the drop-down's text of the connected port
    selvitra::SdpBurst sdpBurst_;
    msarecord_t lastMsa_{};
    std::unique_ptr<serialportenum_t> portList_;
    std::unique_ptr<serialport_t> port_;
    std::unique_ptr<dpprotocol_t> protocol_;
    std::unique_ptr<dpscheduler_t> poller_;
    ECHandle edid_ = nullptr;
    TGUIColorScheme colors_;
    QPointer<TProgressForm> progressForm_;
    // The AUX sensitivity test in progress: the next level to try, the last
    // one and the decrement. Its epoch drops the step posted for a test
    // that has ended.
    struct AuxTest {
        int level, stop, step;
    };
    std::optional<AuxTest> auxTest_;
    platform::Epoch auxTestEpoch_;
    std::function<void(const QString&)> runFirmwareUpdate_;
    // The window's life: a post made for it is dropped once the window is
    // being destroyed.
    platform::Epoch epoch_;
    // A message of the protocol reported on another thread, posted from there
    // to the message list; stamped here, on the GUI thread.
    const std::function<void(const QString&)> showLater_ =
        epoch_.Guard([this](const QString& text) { AddMessage(text); });
};
