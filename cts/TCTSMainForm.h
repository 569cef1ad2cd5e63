#pragma once
// Vardeko's main window: the not-connected panel or the pages (four test
// pages sharing one test list, the link-training page, the E-EDID page with
// the embedded EDID editor) above a splitter, the status area below, the main
// menu and the status list's popup menu. It owns the one link to the
// instrument and runs the connection sequence that opens the pages.
//
// Everything runs on the GUI thread. Link completions arrive there through
// the link's GUI-thread calls; the sequence chains one request per
// completion.
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cts/catalogue/TestCatalogue.h"
#include "cts/catalogue/UCTSTest.h"
#include "cts/engine/EdidTransfer.h"
#include "cts/engine/TestRun.h"
#include "cts/params/TestParameterBlock.h"
#include "edid/ECLibrary.h"
#include "link/MV_Comm.h"
#include "platform/Epoch.h"
#include "platform/MessageBox.h"
#include "platform/RegistryIniFile.h"

struct LoadedTestSettings;
struct TestSettings;
class TAudioSupportSelector;
class TColorimetryEdit;
class TDPCD_Access;
class TDUTCfg;
class TDutCapsForm;
class TFirmwareUpdate;
class TOperatorInput;
class TOptionsForm;
class TReportOptions;
class TSrcAboutForm;
class TTestAutomation;
class TTimingSelection;
class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QSplitter;
class QTabBar;
class QToolButton;
class QTreeWidget;
class QWidget;

namespace platform {
class Lamp;
class MessageList;
}  // namespace platform

class TCTSMainForm : public QMainWindow, private TestRunView {
public:
    // The name of the single-instance lock and of its message endpoint.
    static constexpr const char* kInstanceName = "CTS_GUI_MEROVAN080509";
    // Registry key and section of the settings.
    static constexpr const char* kRegistryKey = "software\\Merovan\\Vardeko";
    static constexpr const char* kSection = "CTS";
    // The firmware version this application is built for (characters '3' '4' '1').
    static constexpr int32_t kExpectedVersion = 30401;

    // Which keyboard modifiers are held now. The status list's popup reads
    // them through this one function; tests replace it.
    using ModifierReader = Qt::KeyboardModifiers (*)();
    static ModifierReader SetModifierReader(ModifierReader reader);

    explicit TCTSMainForm(QWidget* parent = nullptr);
    ~TCTSMainForm() override;  // FormDestroy

    // The dialogs the program creates once, after this window, and keeps.
    struct Dialogs {
        TOptionsForm* options = nullptr;
        TOperatorInput* operatorInput = nullptr;
        TSrcAboutForm* about = nullptr;
        TColorimetryEdit* colorimetry = nullptr;
        TTimingSelection* timing = nullptr;
        TTestAutomation* automation = nullptr;
        TAudioSupportSelector* audio = nullptr;
        TDutCapsForm* dutCaps = nullptr;
        TDUTCfg* dutCfg = nullptr;
        TReportOptions* reportOptions = nullptr;
        TFirmwareUpdate* firmware = nullptr;
        TDPCD_Access* dpcd = nullptr;
    };
    // Creates them in their order, owned by the caller (the program's
    // windows live until it ends).
    static std::vector<std::unique_ptr<QWidget>> CreateDialogs(Dialogs& dialogs);
    // Hands them to the window before it is first shown. The window becomes
    // their owner window (they stay above it, and those that are not placed
    // otherwise open centred on it); the caller still frees them, before or
    // after the window.
    void SetDialogs(const Dialogs& dialogs);

    // Geometry from the settings and the -x -y -w -h switches (every
    // argument, the program path too), the upper container's height.
    void FormCreate(const QStringList& arguments);

    // The single-instance message: the window's state becomes normal (also
    // from maximised), it is raised and activated.
    void OnInstanceMessage();

    // Reconnects after the options dialog or a dead link: queued, so it
    // never runs inside a link completion.
    void Reconnect();

    // Appends a link text (Windows-1252) to the status list.
    void OnPrintPacket(const std::string& text);

    // Whether a run is in progress (page changes are refused while it is).
    bool Running() const { return run_.Running(); }

    // ---- controls (object names as the members)
    // Upper part.
    QFrame* PNL_UpperContainer = nullptr;
    QFrame* PNL_NotConnected = nullptr;
    QLabel* LBL_NotConnectedHeadline = nullptr;  // the panel's caption
    QLabel* LB_NotConnected = nullptr;
    QPushButton* BTN_TryConnection = nullptr;
    QWidget* TC_Pages = nullptr;
    QTabBar* TC_PagesTabs = nullptr;
    QFrame* PNL_TestListPage = nullptr;
    QFrame* PNL_LinkTraining = nullptr;
    QFrame* PNL_Edid = nullptr;
    QSplitter* SPL_UpperLower = nullptr;
    // Test list page.
    QTreeWidget* LV_TestList = nullptr;
    QLabel* LBL_IterationCount = nullptr;
    QLineEdit* ED_IterationCount = nullptr;
    QSpinBox* UD_IterationCount = nullptr;
    QPushButton* BTN_RunTests = nullptr;
    QPushButton* BTN_Abort = nullptr;
    QPushButton* BTN_ClearTestResults = nullptr;
    // Link layer side panel.
    QFrame* PNL_DUTCaps_SourceTest = nullptr;
    QComboBox* CB_SupportTXLanes = nullptr;
    QComboBox* CB_SupportTXLinkRate = nullptr;
    QLineEdit* ED_AfterHPDLow = nullptr;
    QSpinBox* UD_HPDLo = nullptr;
    QLineEdit* ED_AfterHPDHi = nullptr;
    QSpinBox* UD_HPDHi = nullptr;
    QLineEdit* ED_Tout = nullptr;
    QSpinBox* UD_Tout = nullptr;
    QPushButton* BTN_DutCaps = nullptr;
    QPushButton* BTN_TestAutomation = nullptr;
    QPushButton* BTN_MostPackedTiming = nullptr;
    QPushButton* BTN_EditColorimetry = nullptr;
    QPushButton* BTN_VidTimeStampGen = nullptr;
    // Audio side panel (mirrors of the link layer controls).
    QFrame* PNL_AudioDutCaps = nullptr;
    QComboBox* CB_SupportTXLanes2 = nullptr;
    QComboBox* CB_SupportTXLinkRate2 = nullptr;
    QLineEdit* ED_AfterHPDLow2 = nullptr;
    QSpinBox* UD_HPDLo2 = nullptr;
    QLineEdit* ED_AfterHPDHi2 = nullptr;
    QSpinBox* UD_HPDHi2 = nullptr;
    QLineEdit* ED_Tout2 = nullptr;
    QSpinBox* UD_Tout2 = nullptr;
    QPushButton* Button1 = nullptr;  // "Audio support ..."
    QPushButton* Button2 = nullptr;  // "DUT Capabilities ..."
    QPushButton* Button3 = nullptr;  // "Most packed timings ..."
    QPushButton* Button4 = nullptr;  // "Test Automation ..."
    // HDCP side panel.
    QFrame* PNL_DUTCaps_HDCPTest = nullptr;
    QGroupBox* GB_HDCPCaps = nullptr;
    std::array<QCheckBox*, 4> CH_HDCP{};  // CH_HDCP_0 .. CH_HDCP_3
    QLineEdit* ED_AuthenticationStartTO = nullptr;
    QSpinBox* UD_AuthenticationStartTO = nullptr;
    QLabel* LBL_HDCPStatus = nullptr;
    platform::Lamp* HDCP_Led = nullptr;
    QLabel* IMG_Connections = nullptr;
    // Status area.
    QFrame* PNL_LowerContainer = nullptr;
    QLabel* LB_Status = nullptr;
    QToolButton* BTN_ShowHideStatus = nullptr;
    QPushButton* BTN_ClearStatus = nullptr;
    platform::MessageList* LB_StatusLines = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Copy1 = nullptr;
    QAction* Showprintpackets1 = nullptr;
    // Main menu.
    QAction* MENU_SaveReport = nullptr;
    QAction* MENU_SaveSettings = nullptr;
    QAction* MENU_LoadSettings = nullptr;
    QAction* MENU_Exit = nullptr;
    QAction* MENU_Options = nullptr;
    QAction* MENU_FirmwareUpdate = nullptr;
    QAction* MENU_DPCDAccess = nullptr;
    QAction* DisconnectCOM1 = nullptr;
    QAction* About1 = nullptr;

    // ---- state other windows and tests read
    MV_Comm* Link() const { return link_.get(); }
    // The instrument's firmware version characters from the last successful
    // version query (connection, run start or the firmware dialog); known
    // once one has succeeded.
    const std::array<uint8_t, 3>& VersionCharacters() const { return version_; }
    bool VersionKnown() const { return versionKnown_; }
    // Every successful version query hands its reply here.
    void StoreFirmwareVersion(const std::array<uint8_t, 3>& characters);
    int32_t CurrentGroupOffset() const { return groupOffset_; }
    const std::string& ComDevice() const { return comDevice_; }
    ECHandle EdidHandle() const { return edid_; }
    // The HDCP lamp's blink phase (0 or 0x1F1F1F).
    uint32_t BlinkPhase() const { return blinkPhase_; }

    // The parameter block and extra time-out of the last "Run Tests" that
    // got past its checks (empty before).
    const TestParameterBlock::Build& LastBuild() const { return lastBuild_; }

    // ---- link training and E-EDID transfer (TCTSMainForm.LinkTraining.cpp, TCTSMainForm.Edid.cpp)
    // The link-training page: per lane (..._L1 to ..._L4 show lanes 0 to 3)
    // clock recovery, symbol lock and channel equalization lamps, the voltage
    // swing and pre-emphasis in use and those the sink requests.
    QGroupBox* GB_SourceSinkStatus = nullptr;
    std::array<platform::Lamp*, 4> SH_CR{};  // SH_CR_L1 .. SH_CR_L4
    std::array<platform::Lamp*, 4> SH_SL{};  // SH_SL_L1 .. SH_SL_L4
    std::array<platform::Lamp*, 4> SH_CE{};  // SH_CE_L1 .. SH_CE_L4
    std::array<QLabel*, 4> LB_CD{};          // voltage swing in use, LB_CD_L1 .. LB_CD_L4
    std::array<QLabel*, 4> LB_PE{};          // pre-emphasis in use, LB_PE_L1 .. LB_PE_L4
    std::array<QLabel*, 4> LB_ACD{};         // voltage swing requested, LB_ACD_L1 .. LB_ACD_L4
    std::array<QLabel*, 4> LB_APE{};         // pre-emphasis requested, LB_APE_L1 .. LB_APE_L4
    QPushButton* BTN_UpdateLinkTraining = nullptr;
    void BTN_UpdateLinkTrainingClick();
    // The EDID library's host callback; the owner is the window. It returns
    // at once: a transfer starts in a turn of its own and runs as a chain of
    // block completions.
    static void OnEdidEditorEvent(void* owner, uint32_t code, uint32_t number, const char16_t* text);
    // From the editor's Read or Write EDID until the transfer's box has been
    // shown (or, without a box, until the transfer ended).
    bool EdidTransferActive() const { return edidRequest_ != EdidRequest::None; }

    // Handlers.
    void BTN_TryConnectionClick();
    void BTN_ClearStatusClick();
    void CopyStatusLines();
    void PopupMenu1Popup();
    void Showprintpackets1Click();
    void BTN_ShowHideStatusClick();
    void DisconnectCOM1Click();
    void MENU_OptionsClick();
    void About1Click();
    void MENU_ExitClick();
    void BTN_RunTestsClick();
    void BTN_ClearTestResultsClick();
    // A new upper height for the splitter: the height it gets, or -1 when refused.
    int SPL_UpperLowerCanResize(int newSize) const;
    int ConnectionImageIndex() const;

    // ---- test settings files (TCTSMainForm.Settings.cpp)
    // "Save Settings ...": the test parameters and the parameter dialogs'
    // choices into a .CFG file the operator picks.
    void MENU_SaveSettingsClick();
    // "Load Settings ...": a .CFG file back into them; values they cannot
    // hold are left out and named in one warning.
    void MENU_LoadSettingsClick();

    // ---- HTML report (TCTSMainForm.Report.cpp)
    // "Save Report ...": the options dialog, then the report of every test
    // record written to the chosen file and opened by the desktop. True
    // exactly when the report was written whole (the report-saved flag is
    // then set).
    bool MENU_SaveReportClick();
    // Whether the report of the last run was saved; the run engine clears it
    // when a run ends.
    bool ReportSaved() const { return reportSaved_; }
    void SetReportSaved(bool saved) { reportSaved_ = saved; }
    // The test records the report shows (the run engine fills the list).
    std::vector<std::unique_ptr<UCTSTest>>& TestRecords() { return tests_; }

    // ---- DPCD access and firmware update (TCTSMainForm.Dpcd.cpp, TCTSMainForm.Firmware.cpp)
    void MENU_DPCDAccessClick();
    // The DPCD dialog's requests. Without a link, or while a run is going
    // on, nothing is sent and the dialog gets " - Failed" at once.
    void ReadDpcd(uint32_t address);
    void WriteDpcd(uint32_t address, uint8_t data);
    // Hides the DPCD dialog as its "Close" does: called when the link is
    // freed and when a run starts.
    void CloseDpcdAccess();
    void MENU_FirmwareUpdateClick();
    // The firmware dialog's requests: the version check (up to four
    // queries) and the update from an Intel HEX file (name in UTF-8).
    void QueryFirmwareVersionText();
    void StartFirmwareUpdate(const std::string& fileName);

    // ---- test runs (TCTSMainForm.Run.cpp; the run itself is cts/engine/TestRun)
    // "Abort": the next completion of the run (or the sequencer) ends it.
    void BTN_AbortClick();
    // The test records, sorted by test ID while a run goes on.
    const std::vector<std::unique_ptr<UCTSTest>>& TestRecords() const { return tests_; }
    // Ends a run "Disconnect COM" interrupts, before the link is freed: as
    // "Abort" would at the next completion, with its message.
    void EndRunForDisconnect();

    // ---- operator feedback (TCTSMainForm.Operator.cpp)
    // The application-wide hook of the two posted events: the prompt to show
    // and the operator's answer to send. True when the event was one of them.
    bool AppMessageHook(QObject* watched, QEvent* event);
    // Shows the operator dialog set up for the prompt (from the posted
    // event, outside any completion) and hands the answer to the run.
    void ShowOperatorInput();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Construction (TCTSMainForm.cpp and the topic files).
    void BuildUi();
    void BuildMenus();
    void BuildStatusArea();
    QWidget* BuildPagesArea();
    void BuildTestListPage();
    void BuildSourceSidePanel(QWidget* parent);
    void BuildAudioSidePanel(QWidget* parent);
    void BuildHdcpSidePanel(QWidget* parent);
    void ConnectParameterHandlers();

    // Life cycle.
    void FormShow();
    bool FormCloseQuery();
    void FormClose();
    void FormResize();
    void PNL_NotConnectedResize();
    void PNL_EdidResize();
    void SetUpperHeight(int height);
    int UpperHeight() const;

    // Connection (TCTSMainForm.Connection.cpp).
    void ShowNotConnected(const QString& headline, const QString& explanation);
    void OpenLink(const std::string& devicePath);
    bool CreateLink(const std::string& devicePath);  // OpenLink steps 1 to 3
    void StartSequence();                            // OpenLink step 4
    void ReconnectNow();
    // The port selected in the options dialog; with none selected there the
    // port the window opened last (read at start or stored by a
    // reconnection), so a port missing for a moment stays the one used.
    std::string SelectedOrLastDevice() const;
    // The HDCP lamp while no status is polled (before the first, during a run).
    void ShowHdcpLampIdle();
    // The firmware version characters as "a.b.c".
    static QString VersionText(const std::array<uint8_t, 3>& characters);
    void OnFirstContact(LinkResult result);
    void OnFirmwareVersion(LinkResult result);
    void OnLinkReady();
    void OnHdcpStatus(bool authenticated);

    // Pages and the test list (TCTSMainForm.TestList.cpp).
    void TC_PagesChange(int index);
    void FillTestList(const TestGroup& group);
    void RefreshTestCounters();
    void ShowRunningRow(int row);
    void LV_TestListSelectItem();

    // Parameters (TCTSMainForm.Parameters.cpp).
    void NormaliseEdit(ParameterEdits::Edit edit, QLineEdit* source);
    void NormaliseAllEdits();
    TestParameterInputs ReadInputs() const;
    void ED_AuthenticationStartTOChange();
    void ED_AuthenticationStartTOExit();
    void UD_AuthenticationStartTOChangingEx(int position);
    bool EnterMovesFocus(QEvent* event, QWidget* target);

    // ---- DPCD access and firmware update (TCTSMainForm.Dpcd.cpp, TCTSMainForm.Firmware.cpp)
    // A DPCD outcome reaches the dialog only while it still shows the
    // operation that asked for it.
    void OnDpcdRead(const platform::Epoch::Ticket& operation, LinkResult result);
    void OnDpcdWritten(const platform::Epoch::Ticket& operation, LinkResult result);
    void OnFirmwareVersionText(LinkResult result);
    void OnFirmwareUpdateStart(uint32_t totalBytes);
    void OnFirmwareUpdateProgress(uint32_t bytesSent);
    void OnFirmwareUpdateComplete(LinkResult result);
    void OnFirmwareUpdateEnd(bool ok);
    uint8_t dpcdByte_ = 0;                          // the DPCD read's reply
    std::array<uint8_t, 3> firmwareDialogReply_{};  // the firmware dialog's version query writes here
    int32_t firmwareVersionRetries_ = 0;

    bool eventFilter(QObject* watched, QEvent* event) override;

    // ---- link training and E-EDID transfer (TCTSMainForm.LinkTraining.cpp, TCTSMainForm.Edid.cpp)
    void BuildLinkTrainingPage();
    void OnLinkStatus(LinkResult result);
    void RequestEdidTransfer(bool write, uint32_t blockCount);  // from the host callback
    void WriteEdid(uint32_t blockCount);                        // the question, then the confirmed blocks
    void BeginEdidTransfer();  // takes the link (or waits for it) and starts the transfer
    // The link is freed: the transfer, or a write whose question is up or to
    // come, ends as failed.
    void FailEdidTransfer();
    // The transfer (or a write before it got under way) ends, once: the
    // window enabled again, a read's blocks handed to the editor, the box.
    void EndEdidTransfer(bool write, EdidTransfer::State state, std::vector<EdidTransfer::Block> blocks);
    // The main window's own controls, menus and editor take no input while
    // blocked; the windows it owns stay enabled.
    void BlockInputForEdidTransfer(bool block);
    // A confirmed write, from its confirmation to its end (waiting for the
    // link or with a block out): the window is not closed meanwhile, so the
    // instrument never keeps a part of the new image.
    bool EdidWriteHoldsClose() const;
    std::array<uint8_t, 28> linkStatusRecord_{};  // the reply of the last link-status request
    // The operator's E-EDID request: from the editor's button to the
    // transfer's end, then until its box has been shown.
    enum class EdidRequest { None, Transfer, Box };
    EdidRequest edidRequest_ = EdidRequest::None;
    platform::Epoch edidEpoch_;  // moves on when the transfer ends: a start still posted or waiting is dropped
    // The transfer's view: its status lines go to the status list, its end
    // to EndEdidTransfer.
    struct EdidView final : EdidTransfer::View {
        explicit EdidView(TCTSMainForm& owner) : form(owner) {}
        void StatusLine(const std::string& line) override;
        void Ended(bool write, EdidTransfer::State state, std::vector<EdidTransfer::Block> blocks) override;
        TCTSMainForm& form;
    };
    EdidView edidView_{*this};
    EdidTransfer edidTransfer_{edidView_};

    // ---- the window's own requests (TCTSMainForm.WindowRequests.cpp)
    // The link serves one request at a time, and the window never issues one
    // while another of its own is out. The connection sequence holds the link
    // from its probe until the pages open (or it fails), a run from its
    // start, the link-status query, a DPCD access and the firmware dialog's
    // query or update until their last completion, an E-EDID transfer from
    // its first block to its last. Their controls are disabled meanwhile; a
    // run's or a transfer's start that meets the link-status query or a DPCD
    // access waits for it, any other start is refused.
    enum class WindowRequest {
        None,
        Connection,
        RunStart,
        LinkStatus,
        Dpcd,
        FirmwareVersion,
        FirmwareUpdate,
        EdidTransfer
    };
    enum class LinkTaken { Now, Waiting, Refused };
    // Whether a request of `who` may go out now: true after taking the link.
    bool TakeLink(WindowRequest who);
    // As TakeLink for a start. Waiting: the start is the click's own, decided
    // then, so the caller keeps what the operator chose at the call and
    // shows the start as under way (its control disabled). The link is kept
    // for `who` from the moment the request out ends, and `start` runs in a
    // turn of its own; there TakeLink or TakeLinkOrWait for `who` gives it
    // the link at once. A start that does not take it leaves it free.
    LinkTaken TakeLinkOrWait(WindowRequest who, std::function<void()> start);
    void ReleaseLink(WindowRequest who);
    // The link is freed or replaced: every request of the window out on it
    // ends as failed, and a start waiting for it is dropped.
    void EndWindowRequests();
    // The one teardown of the link (if any): its epoch advances (whatever is
    // stamped with it is dropped), the window's requests on it end, and it
    // is freed.
    void FreeLink();
    void UpdateWindowRequestControls();
    WindowRequest windowRequest_ = WindowRequest::None;
    WindowRequest waitingFor_ = WindowRequest::None;  // who `waitingStart_` takes the link for
    std::function<void()> waitingStart_;
    bool handedOver_ = false;  // the link was kept for a waiting start that has not taken it yet

    // ---- test settings files (TCTSMainForm.Settings.cpp)
    void ConnectSettingsMenu();
    TestSettings CurrentTestSettings() const;
    // Sets the controls and dialogs; the keys whose values they refused.
    std::vector<std::string> ApplyTestSettings(const LoadedTestSettings& loaded);

    // ---- test runs (TCTSMainForm.Run.cpp)
    void StartTestRun(const TestParameterInputs& inputs);  // "Run Tests" after the parameter block
    RunChoice ReadRunChoice(const TestParameterInputs& inputs) const;
    // Takes the link (or waits for it) and sends the firmware check; false
    // when the link is refused.
    bool BeginRunStart();
    void ShowRunChoice();  // the click's page and rows, shown when the run gets under way
    void OnRunFirmwareCheck(LinkResult result);
    void PrepareTestRun();
    // Ends a running run without a message (the window closes).
    void EndTestRun();
    void SetRunningState(bool running);
    // Every place that enables or disables "Run Tests" goes through here: the
    // run hears of it (a click on the list undoes a start not yet under way).
    void SetRunTestsEnabled(bool enabled);
    void ShowRunMessage(const std::string& text, platform::MsgIcon icon);
    // The run's view (TestRunView).
    void AddStatusLine(const std::string& line) override;
    void ScrollStatusToEnd() override;
    void ShowRunningTest(const UCTSTest& test) override;
    void RefreshCounters() override;
    void ShowMessage(const std::string& text, bool error) override;
    void ShowPrompt(int kind, const std::string& testLabel, const std::string& message) override;
    void PromptStatus(uint8_t status) override;
    void PromptChannelDone() override;
    void PostAnswer(int answer) override;
    void Ended() override;
    void RebuildLink() override;

    // ---- operator feedback (TCTSMainForm.Operator.cpp)
    void InstallAppMessageHook();
    void EndOperatorPrompt();  // the run ends: the dialog closes with Abort, nothing is sent

    platform::RegistryIniFile settings_{kRegistryKey};
    Dialogs dialogs_;
    std::vector<QPointer<QWidget>> ownedWindows_;  // the dialogs this window is the owner window of
    platform::Epoch windowEpoch_;  // never advanced: what the window posts for itself is dropped once it is gone

    std::unique_ptr<MV_Comm> link_;
    platform::Epoch linkEpoch_;  // advances with every new link or disconnection
    std::array<uint8_t, 3> version_{};
    bool versionKnown_ = false;
    std::array<uint8_t, 3> versionReply_{};  // the connection sequence's query writes here
    int32_t versionAttempts_ = 0;
    uint32_t blinkPhase_ = 0;
    std::string comDevice_;
    int32_t linkTimeout_ = 30;
    int32_t testDelay_ = 0;

    bool reportSaved_ = true;
    std::vector<std::unique_ptr<UCTSTest>> tests_;
    int32_t groupOffset_ = 0;
    int shownTab_ = -1;

    bool shown_ = false;
    int rememberedUpperHeight_ = 460;
    bool authTextGuard_ = false;
    TestParameterBlock::Build lastBuild_{};
    ECHandle edid_ = nullptr;

    // ---- test runs (TCTSMainForm.Run.cpp)
    // The run engine, on the window's records and link, the window its view.
    TestRun run_{tests_, [this] { return link_.get(); }, *this};
    std::array<uint8_t, 3> runVersionReply_{};
    bool runStartPending_ = false;      // from the click to the firmware check's completion
    std::vector<bool> savedSelection_;  // the rows selected when the run got under way

    // ---- operator feedback (TCTSMainForm.Operator.cpp)
    // The application's filter of the two posted events; a member, so that it
    // leaves the application before the window's base classes are destroyed.
    std::unique_ptr<QObject> appMessageFilter_;
};
