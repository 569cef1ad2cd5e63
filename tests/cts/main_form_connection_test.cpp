// Start-up connection of the main window against the simulated instrument:
// the probe, the version requests, the comparison, the pages, the HDCP lamp,
// "Disconnect COM" and "Try Connection".
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidget>
#include <set>

#include "platform/gui/MessageList.h"

#include "MainFormFixture.h"
#include "cts/dialogs/TDPCD_Access.h"
#include "cts/dialogs/TOptionsForm.h"
#include "edid/ECLibrary.h"
#include "platform/MessageBox.h"
#include "platform/MessageBoxInterceptor.h"
#include "platform/gui/Lamp.h"

namespace {

using cts_test::MainFormFixture;

constexpr uint8_t kProbe = 0xE0;
constexpr uint8_t kVersion = 0x1C;

struct StartCase {
    const char* name;
    const char* version;
    bool obsoleteFirmware;
    sim::FaultSpec versionFault;
    bool connected;
    const char* headline;     // when not connected
    const char* explanation;  // the explanation line at the end
    const char* warning;      // the message box, or nullptr
    size_t versionRequests;
};

class StartUpConnection : public MainFormFixture, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartUpConnection, EndsAsTheInstrumentAnswers) {
    const StartCase& c = GetParam();
    sim_.SetFirmwareVersion(c.version);
    sim_.SetLegacyFirmware(c.obsoleteFirmware);
    if (c.versionFault.fault != sim::Fault::None) sim_.SetFault(kVersion, c.versionFault);
    platform::MessageBoxInterceptor boxes;

    TCTSMainForm* form = Open();
    if (c.connected) {
        ASSERT_TRUE(WaitConnected()) << form->LBL_NotConnectedHeadline->text().toStdString();
        EXPECT_FALSE(form->PNL_NotConnected->isVisible());
        EXPECT_TRUE(form->MENU_DPCDAccess->isEnabled());
        QStringList tabs;
        for (int i = 0; i < form->TC_PagesTabs->count(); ++i) tabs << form->TC_PagesTabs->tabText(i);
        EXPECT_EQ(tabs, (QStringList{"Link Layer Tests", "HDCP Tests (for Transmitters)", "HDCP Tests (for Repeaters)",
                                     "Audio Tests", "Link Training", "E-EDID"}));
        EXPECT_EQ(form->TC_PagesTabs->currentIndex(), 0);
        EXPECT_EQ(form->LV_TestList->topLevelItemCount(), 35);
        EXPECT_TRUE(form->Link()->StatusPollEnabled());
        EXPECT_TRUE(form->VersionKnown());
        const auto& chars = form->VersionCharacters();
        EXPECT_EQ(std::string(chars.begin(), chars.end()), c.version);
    } else {
        ASSERT_TRUE(WaitFor([&] { return form->BTN_TryConnection->isEnabled(); }));
        EXPECT_EQ(form->LBL_NotConnectedHeadline->text().toStdString(), c.headline);
        EXPECT_TRUE(form->PNL_NotConnected->isVisible());
        EXPECT_FALSE(form->TC_Pages->isVisible());
        EXPECT_FALSE(form->MENU_DPCDAccess->isEnabled());
        if (c.versionRequests == 0 || c.versionFault.fault != sim::Fault::None) {
            EXPECT_FALSE(form->VersionKnown());  // no query succeeded
        }
    }
    EXPECT_EQ(form->LB_NotConnected->text().toStdString(), c.explanation);
    std::vector<std::string> expectedBoxes;
    if (c.warning) expectedBoxes.push_back(c.warning);
    EXPECT_EQ(boxes.Texts(), expectedBoxes);
    EXPECT_EQ(sim_.CountReceived(kProbe), 1u);
    EXPECT_EQ(sim_.CountReceived(kVersion), c.versionRequests);
}

const char* const kNoResponseHint =
    "Verify connections, COM port selection and update Firmware \"Tools->Firmware Update\".";

INSTANTIATE_TEST_SUITE_P(
    Cases, StartUpConnection,
    ::testing::Values(
        StartCase{"Expected", "341", false, {}, true, nullptr, "Firmware V3.4.1 Detected...", nullptr, 1},
        StartCase{"OlderVersionWarns",
                  "340",
                  false,
                  {},
                  true,
                  nullptr,
                  "Firmware V3.4.0 Detected...",
                  "This CTS GUI application is designed to work with firmware V3.4.1 (V3.4.0 detected)\r\n"
                  "Firmware update is strongly recommended!",
                  1},
        StartCase{"NonDigitVersionWarns",
                  "3b1",
                  false,
                  {},
                  true,
                  nullptr,
                  "Firmware V3.b.1 Detected...",
                  "This CTS GUI application is designed to work with firmware V3.4.1 (V3.b.1 detected)\r\n"
                  "Firmware update is strongly recommended!",
                  1},
        // The version characters are the instrument's 8-bit text: Windows-1252
        // in the explanation line and in the box alike.
        StartCase{"EightBitVersionReadsAsWindows1252",
                  "\x92\x96\xE9",
                  false,
                  {},
                  true,
                  nullptr,
                  "Firmware V\u2019.\u2013.\u00E9 Detected...",
                  "This CTS GUI application is designed to work with firmware V3.4.1 (V\u2019.\u2013.\u00E9 "
                  "detected)\r\nFirmware update is strongly recommended!",
                  1},
        StartCase{"ThreeSilentThenAnswer",
                  "341",
                  false,
                  {sim::Fault::Silent, 0, 3},
                  true,
                  nullptr,
                  "Firmware V3.4.1 Detected...",
                  nullptr,
                  4},
        StartCase{"ObsoleteFirmware",
                  "341",
                  true,
                  {},
                  false,
                  "Obsolete firmware detected.",
                  "Please, update firmware \"Tools->Firmware Update\".",
                  nullptr,
                  0},
        StartCase{"NoAnswer",
                  "341",
                  false,
                  {sim::Fault::Silent},
                  false,
                  "Firmware check failed: No Response received",
                  kNoResponseHint,
                  nullptr,
                  4},
        StartCase{"Refused",
                  "341",
                  false,
                  {sim::Fault::Refuse},
                  false,
                  "Firmware check failed: Request refused",
                  "Update firmware \"Tools->Firmware Update\", and restart the TE.",
                  nullptr,
                  4}),
    [](const auto& info) { return std::string(info.param.name); });

// A port that is not there: the link says so in the status list, every
// request goes unanswered and the check fails with the no-response texts.
TEST_F(MainFormFixture, MissingPortFailsTheCheckAsNoResponse) {
    platform::MessageBoxInterceptor boxes;
    StorePort(config_.filePath(QStringLiteral("no-such-port")).toStdString());
    TCTSMainForm* form = Open();
    ASSERT_TRUE(WaitFor([&] { return form->BTN_TryConnection->isEnabled(); }));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Failed to open port"});
    // The link knows no window: its error box sits on the main window and
    // bears the program's title.
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Error);
    EXPECT_EQ(boxes.Boxes()[0].owner, form);
    EXPECT_EQ(boxes.Boxes()[0].title, "Merovan Vardeko");
    EXPECT_EQ(form->LBL_NotConnectedHeadline->text(), QStringLiteral("Firmware check failed: No Response received"));
    EXPECT_EQ(form->LB_NotConnected->text().toStdString(), kNoResponseHint);
}

// No port stored: the panel asks for one, the port dialog runs, and
// nothing is opened before it has ended.
TEST_F(MainFormFixture, NoStoredPortAsksForOne) {
    ForgetPort();
    std::string headline, explanation;
    AnswerNextDialog(QDialog::Rejected, [&](QDialog*) {
        headline = form_->LBL_NotConnectedHeadline->text().toStdString();
        explanation = form_->LB_NotConnected->text().toStdString();
        EXPECT_EQ(form_->Link(), nullptr);
    });
    TCTSMainForm* form = Open();
    ASSERT_TRUE(WaitFor([&] { return answered_ != nullptr; }));
    EXPECT_EQ(headline, "No COM communications port selected.");
    EXPECT_EQ(explanation, "Please, Use \"Tools->Options\" to select a communications port");
    EXPECT_EQ(form->Link(), nullptr);
}

// Lamp colours as 0x00BBGGRR.
QColor Bgr(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

// The lamp's fill and outline as one pair of 0x00BBGGRR colours.
std::pair<QRgb, QRgb> LampLook(const platform::Lamp* lamp) { return {lamp->Color().rgb(), lamp->Outline().rgb()}; }
std::pair<QRgb, QRgb> Look(uint32_t fill, uint32_t outline) { return {Bgr(fill).rgb(), Bgr(outline).rgb()}; }

TEST_F(MainFormFixture, HdcpLampBlinksGreenWhileAuthenticatedAndGreyOtherwise) {
    sim_.SetStatusByte(1);
    TCTSMainForm* form = OpenConnected();
    ASSERT_TRUE(form->TC_Pages->isVisible());
    // Both phases of each look, the outline in the lighter shade of the fill.
    const std::set<std::pair<QRgb, QRgb>> greens = {Look(0x40E040, 0x60D060), Look(0x5FFF5F, 0x7FEF7F)};
    const std::set<std::pair<QRgb, QRgb>> greys = {Look(0x404040, 0x606060), Look(0x5F5F5F, 0x7F7F7F)};
    std::set<std::pair<QRgb, QRgb>> seen;
    ASSERT_TRUE(WaitFor([&] {
        seen.insert(LampLook(form->HDCP_Led));
        return seen.count(*greens.begin()) && seen.count(*greens.rbegin());
    })) << seen.size()
        << " looks seen";

    sim_.SetStatusByte(0);
    std::set<std::pair<QRgb, QRgb>> later;
    ASSERT_TRUE(WaitFor([&] {
        later.insert(LampLook(form->HDCP_Led));
        return later.count(*greys.begin()) && later.count(*greys.rbegin());
    })) << later.size()
        << " looks seen";
    // Every look shown is one of the four: no fill ever has a black outline.
    for (const auto& look : later) EXPECT_TRUE(greens.count(look) || greys.count(look)) << std::hex << look.first;
}

TEST_F(MainFormFixture, DisconnectThenTryConnectionReopensThePort) {
    TCTSMainForm* form = OpenConnected();
    ASSERT_TRUE(form->TC_Pages->isVisible());
    form->DisconnectCOM1->trigger();
    EXPECT_EQ(form->Link(), nullptr);
    EXPECT_FALSE(form->TC_Pages->isVisible());
    EXPECT_TRUE(form->PNL_NotConnected->isVisible());
    EXPECT_EQ(form->LBL_NotConnectedHeadline->text(), QStringLiteral("COM Port disconnect by user request"));
    EXPECT_EQ(form->LB_NotConnected->text(), QStringLiteral("Click 'Try connection' to reconnect ..."));
    EXPECT_TRUE(form->BTN_TryConnection->isEnabled());
    EXPECT_FALSE(form->MENU_DPCDAccess->isEnabled());

    sim_.ClearReceived();
    QTest::mouseClick(form->BTN_TryConnection, Qt::LeftButton);
    EXPECT_FALSE(form->BTN_TryConnection->isEnabled());
    ASSERT_TRUE(WaitConnected());
    EXPECT_EQ(sim_.CountReceived(kProbe), 1u);
    EXPECT_TRUE(form->MENU_DPCDAccess->isEnabled());
}

TEST_F(MainFormFixture, ReconnectIsQueuedAndStoresThePort) {
    TCTSMainForm* form = OpenConnected();
    ASSERT_TRUE(form->TC_Pages->isVisible());
    ForgetPort();
    sim_.ClearReceived();
    form->Reconnect();
    // Nothing happens inside the call: the pages are still up.
    EXPECT_TRUE(form->TC_Pages->isVisible());
    ASSERT_TRUE(WaitFor([&] { return sim_.CountReceived(kProbe) == 1; }));
    ASSERT_TRUE(WaitConnected());
    EXPECT_EQ(Settings().ReadString(TCTSMainForm::kSection, "Vardeko_COM_Device", ""), sim_.SlavePath());
}

// With nothing selected in the options dialog (the stored port was absent
// when it was confirmed, or a port reset failed) a reconnection opens the
// port the window opened last and keeps it stored.
TEST_F(MainFormFixture, ReconnectWithNoPortSelectedKeepsThePortOpenedLast) {
    TCTSMainForm* form = OpenConnected();
    ASSERT_TRUE(form->TC_Pages->isVisible());
    platform::MessageBoxInterceptor boxes;
    dialogs_.options->CB_ComSelect->setCurrentIndex(-1);
    ASSERT_EQ(dialogs_.options->GetSelectedDevice(), "");
    sim_.ClearReceived();
    form->Reconnect();
    ASSERT_TRUE(WaitFor([&] { return sim_.CountReceived(kProbe) == 1; }));
    ASSERT_TRUE(WaitConnected());
    EXPECT_EQ(form->ComDevice(), sim_.SlavePath());
    EXPECT_EQ(Settings().ReadString(TCTSMainForm::kSection, "Vardeko_COM_Device", "none"), sim_.SlavePath());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
}

// A link whose worker thread cannot start, at start-up, on "Try Connection"
// and on a reconnection: each time the window is left not connected, the
// panel names the failure (no box repeats it) and "Try Connection" works.
TEST_F(MainFormFixture, ALinkThatCannotStartLeavesTryConnectionUsable) {
    struct Reset {
        ~Reset() { MV_Comm::FailNextWorkerStarts(0); }
    } reset;
    platform::MessageBoxInterceptor boxes;
    const auto expectNotConnected = [&](TCTSMainForm* form) {
        EXPECT_EQ(form->Link(), nullptr);
        EXPECT_TRUE(form->PNL_NotConnected->isVisible());
        EXPECT_FALSE(form->TC_Pages->isVisible());
        EXPECT_TRUE(form->BTN_TryConnection->isEnabled());
        EXPECT_FALSE(form->MENU_DPCDAccess->isEnabled());
        EXPECT_EQ(form->LBL_NotConnectedHeadline->text().toStdString().rfind(
                      "COM Port connection failed with message 'link worker thread", 0),
                  0u)
            << form->LBL_NotConnectedHeadline->text().toStdString();
        EXPECT_EQ(form->LB_NotConnected->text(),
                  QStringLiteral("Check connections, close other applications that might use the port or "
                                 "select another COM port."));
    };

    MV_Comm::FailNextWorkerStarts(2);
    TCTSMainForm* form = Open();
    expectNotConnected(form);
    QTest::mouseClick(form->BTN_TryConnection, Qt::LeftButton);
    expectNotConnected(form);

    QTest::mouseClick(form->BTN_TryConnection, Qt::LeftButton);
    ASSERT_TRUE(WaitConnected());

    MV_Comm::FailNextWorkerStarts(1);
    form->Reconnect();
    ASSERT_TRUE(WaitFor([&] { return form->Link() == nullptr && form->BTN_TryConnection->isEnabled(); }));
    expectNotConnected(form);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
    EXPECT_EQ(sim_.CountReceived(kProbe), 1u);  // only the one link that started
}

// ---- the window's own requests while the connection sequence is out

constexpr uint8_t kLinkStatus = 0x19, kDpcdRead = 0x1A, kEdidRead = 0x16;

// A request of the window asked for while the sequence's version query waits
// for its reply, and the same request once the pages are open. None of them
// meets the busy link: their controls are disabled during the sequence, and
// a request asked for directly sends nothing and shows nothing.
struct DuringSequenceCase {
    const char* name;
    uint8_t code;  // the request that must not go out during the sequence (none more of it)
    std::function<void(TCTSMainForm*, TDPCD_Access*)> during;
    std::function<void(TCTSMainForm*, TDPCD_Access*)> after;
};
void PrintTo(const DuringSequenceCase& c, std::ostream* os) { *os << c.name; }

class WhileTheSequenceIsOut : public MainFormFixture, public ::testing::WithParamInterface<DuringSequenceCase> {};

TEST_P(WhileTheSequenceIsOut, NoRequestOfTheWindowMeetsTheBusyLink) {
    const DuringSequenceCase& c = GetParam();
    sim_.SetDpcd(0x0002, 0x41);
    sim_.SetFault(kVersion, {sim::Fault::Hold, 0, 1});
    platform::MessageBoxInterceptor boxes;
    TCTSMainForm* form = Open();
    ASSERT_TRUE(WaitFor([this] { return sim_.HeldCount() == 1; }));
    TDPCD_Access* dpcd = dialogs_.dpcd;
    const size_t before = sim_.CountReceived(c.code);
    c.during(form, dpcd);
    EXPECT_EQ(sim_.CountReceived(c.code), before);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();

    sim_.ReleaseHeld();
    ASSERT_TRUE(WaitConnected());
    c.after(form, dpcd);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
    EXPECT_EQ(sim_.CountReceived(kVersion), 1u) << "the sequence's query only";
    if (dpcd->isVisible()) dpcd->BTN_CloseClick();
}

INSTANTIATE_TEST_SUITE_P(
    Requests, WhileTheSequenceIsOut,
    ::testing::Values(DuringSequenceCase{"UpdateStatus", kLinkStatus,
                                         [](TCTSMainForm* form, TDPCD_Access*) {
                                             EXPECT_FALSE(form->BTN_UpdateLinkTraining->isEnabled());
                                             form->BTN_UpdateLinkTrainingClick();
                                         },
                                         [](TCTSMainForm* form, TDPCD_Access*) {
                                             EXPECT_TRUE(form->BTN_UpdateLinkTraining->isEnabled());
                                             form->TC_PagesTabs->setCurrentIndex(4);
                                             QTest::mouseClick(form->BTN_UpdateLinkTraining, Qt::LeftButton);
                                             EXPECT_TRUE(test_support::WaitFor(
                                                 [form] { return form->BTN_UpdateLinkTraining->isEnabled(); }));
                                         }},
                      DuringSequenceCase{"DpcdDialog", kDpcdRead,
                                         [](TCTSMainForm* form, TDPCD_Access* dpcd) {
                                             form->MENU_DPCDAccessClick();
                                             dpcd->ED_Address->setText(QStringLiteral("2"));
                                             EXPECT_FALSE(dpcd->BTN_Read->isEnabled());
                                             EXPECT_FALSE(dpcd->BTN_Write->isEnabled());
                                             QTest::mouseClick(dpcd->BTN_Read, Qt::LeftButton);
                                             EXPECT_FALSE(dpcd->LBL_Status->text().contains(QStringLiteral("Failed")))
                                                 << dpcd->LBL_Status->text().toStdString();
                                         },
                                         [](TCTSMainForm* form, TDPCD_Access* dpcd) {
                                             form->MENU_DPCDAccessClick();
                                             ASSERT_TRUE(dpcd->BTN_Read->isEnabled());
                                             QTest::mouseClick(dpcd->BTN_Read, Qt::LeftButton);
                                             EXPECT_TRUE(test_support::WaitFor([dpcd] {
                                                 return dpcd->LBL_Status->text() ==
                                                        QStringLiteral("Previous Op: Read $0002 (=$41)");
                                             })) << dpcd->LBL_Status->text().toStdString();
                                         }},
                      DuringSequenceCase{"RunTests", kVersion,
                                         // The run's firmware check would be a second version query.
                                         [](TCTSMainForm* form, TDPCD_Access*) { form->BTN_RunTestsClick(); },
                                         [](TCTSMainForm* form, TDPCD_Access*) { EXPECT_FALSE(form->Running()); }},
                      DuringSequenceCase{
                          "ReadEdid", kEdidRead,
                          [](TCTSMainForm* form, TDPCD_Access*) {
                              TCTSMainForm::OnEdidEditorEvent(form, EC_HOST_READ_EDID, 0, nullptr);
                              EXPECT_TRUE(test_support::WaitFor([form] { return !form->EdidTransferActive(); }));
                          },
                          [](TCTSMainForm* form, TDPCD_Access*) { EXPECT_FALSE(form->EdidTransferActive()); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainFormFixture, PrintPacketsReachTheStatusListInWindows1252) {
    TCTSMainForm* form = OpenConnected();
    form->OnPrintPacket("R0\x92 read \x96 ok");
    ASSERT_GT(form->LB_StatusLines->count(), 0);
    EXPECT_EQ(form->LB_StatusLines->item(form->LB_StatusLines->count() - 1)->text(),
              QString::fromUtf8("R0\u2019 read \u2013 ok"));
}

}  // namespace
