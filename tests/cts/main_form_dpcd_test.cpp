// "DPCD Access ..." against the simulated instrument: reads and writes with
// their values and the bytes on the wire, refusals, what the operator does
// while a read's reply is held back (no request of the window meets the
// busy link), and the dialog without a link (nothing sent, " - Failed" at
// once; hidden when the link is freed).
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <optional>

#include "MainFormFixture.h"
#include "cts/dialogs/TDPCD_Access.h"
#include "edid/ECLibrary.h"
#include "platform/MessageBoxInterceptor.h"
#include "support/EdidFixtures.h"
#include "support/Probe.h"

namespace {

using cts_test::MainFormFixture;
using sim::Bytes;
using test_support::Probe;

constexpr uint8_t kDpcdRead = 0x1A;
constexpr uint8_t kDpcdWrite = 0x1B;
constexpr uint8_t kProbe = 0xE0;

class DpcdAccess : public MainFormFixture {
protected:
    // Connects and opens the dialog from the menu.
    TDPCD_Access* OpenDialog() {
        TCTSMainForm* form = OpenConnected();
        EXPECT_TRUE(form->MENU_DPCDAccess->isEnabled());
        form->MENU_DPCDAccess->trigger();
        TDPCD_Access* dialog = dialogs_.dpcd;
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
        return dialog;
    }
    void Enter(TDPCD_Access* dialog, const char* address, const char* data) {
        dialog->ED_Address->setText(QString::fromLatin1(address));
        dialog->ED_Data->setText(QString::fromLatin1(data));
    }
    QString Status() const { return dialogs_.dpcd->LBL_Status->text(); }
    bool WaitStatus(const QString& text) {
        return WaitFor([&] { return Status() == text; });
    }
    // True once the link has served one more request of its own. Its
    // worker serves a request only after the completion before it has
    // returned, so every earlier outcome has reached the window by then.
    bool LinkServedAnother() {
        return WaitFor([this] {
            auto result = std::make_shared<std::optional<LinkResult>>();
            form_->Link()->QueryFirmwareVersion(nullptr, [result](LinkResult r) { *result = r; });
            if (!WaitFor([result] { return result->has_value(); })) return false;
            return **result == LINK_OK;
        });
    }
    std::optional<Bytes> LastOf(uint8_t code) const {
        const auto received = sim_.Received();
        for (auto it = received.rbegin(); it != received.rend(); ++it)
            if (sim::InstrumentSim::RequestCode(it->data(), it->size()) == code) return *it;
        return std::nullopt;
    }
};

TEST_F(DpcdAccess, MenuShowsTheDialogModelessOverTheMainWindow) {
    TDPCD_Access* dialog = OpenDialog();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // Centred on the main window.
    const QPoint offset = dialog->frameGeometry().center() - form_->frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 4) << offset.x() << "," << offset.y();
    // The main window stays usable.
    EXPECT_TRUE(form_->isEnabled());
}

TEST_F(DpcdAccess, ReadsAndWritesTheInstrumentsRegisters) {
    sim_.SetDpcd(0x0002, 0x41);
    sim_.SetDpcd(0xFFFF, 0x5A);
    TDPCD_Access* dialog = OpenDialog();

    Enter(dialog, "2", "ff");
    QTest::mouseClick(dialog->BTN_Read, Qt::LeftButton);
    ASSERT_TRUE(WaitStatus(QStringLiteral("Previous Op: Read $0002 (=$41)"))) << Status().toStdString();
    EXPECT_EQ(LastOf(kDpcdRead), (Bytes{0x71, 0x1A, 0x00, 0x02}));

    QTest::mouseClick(dialog->BTN_Write, Qt::LeftButton);
    ASSERT_TRUE(WaitStatus(QStringLiteral("Previous Op: Write $ff -> $0002 - OK"))) << Status().toStdString();
    EXPECT_EQ(LastOf(kDpcdWrite), (Bytes{0x71, 0x1B, 0x00, 0x02, 0xFF}));
    EXPECT_EQ(sim_.Dpcd(0x0002), 0xFF);

    QTest::mouseClick(dialog->BTN_Read, Qt::LeftButton);
    ASSERT_TRUE(WaitStatus(QStringLiteral("Previous Op: Read $0002 (=$ff)"))) << Status().toStdString();

    // The highest address the link carries.
    Enter(dialog, "FFFF", "7");
    QTest::mouseClick(dialog->BTN_Read, Qt::LeftButton);
    ASSERT_TRUE(WaitStatus(QStringLiteral("Previous Op: Read $ffff (=$5a)"))) << Status().toStdString();
    EXPECT_EQ(LastOf(kDpcdRead), (Bytes{0x71, 0x1A, 0xFF, 0xFF}));
    QTest::mouseClick(dialog->BTN_Write, Qt::LeftButton);
    ASSERT_TRUE(WaitStatus(QStringLiteral("Previous Op: Write $07 -> $ffff - OK"))) << Status().toStdString();
    EXPECT_EQ(sim_.Dpcd(0xFFFF), 0x07);
}

TEST_F(DpcdAccess, RefusalsAndBadRepliesShowFailed) {
    TDPCD_Access* dialog = OpenDialog();
    Enter(dialog, "100", "1");
    const struct {
        sim::Fault fault;
        QPushButton* button;
        const char* status;
    } cases[] = {
        {sim::Fault::Refuse, dialog->BTN_Read, "Previous Op: Read $0100 - Failed"},
        {sim::Fault::Refuse, dialog->BTN_Write, "Previous Op: Write $01 -> $0100 - Failed"},
        {sim::Fault::Short, dialog->BTN_Read, "Previous Op: Read $0100 - Failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        sim_.SetFault(kDpcdRead, {c.fault, 0, 1});
        sim_.SetFault(kDpcdWrite, {c.fault, 0, 1});
        QTest::mouseClick(c.button, Qt::LeftButton);
        EXPECT_TRUE(WaitStatus(QString::fromLatin1(c.status))) << Status().toStdString();
        sim_.ClearFaults();
    }
}

// While a DPCD read waits for its reply nothing else of the window goes out,
// so no request meets a busy link: the dialog's buttons and "Update Status"
// are disabled, and a run or an E-EDID read started meanwhile waits for the
// reply and goes out after it. The read's own outcome is shown.
struct WhileHeldCase {
    const char* name;
    // What the operator does while the reply is held back, and what follows
    // once it has arrived (boxes: every box shown).
    std::function<void(TCTSMainForm*, TDPCD_Access*)> act;
    std::function<void(TCTSMainForm*, const sim::InstrumentSim&, const platform::MessageBoxInterceptor&)> after;
};
void PrintTo(const WhileHeldCase& c, std::ostream* os) { *os << c.name; }

class WhileADpcdReadIsOut : public DpcdAccess, public ::testing::WithParamInterface<WhileHeldCase> {};

TEST_P(WhileADpcdReadIsOut, NothingElseMeetsTheBusyLink) {
    const WhileHeldCase& c = GetParam();
    sim_.SetDpcd(0x0002, 0x41);
    edid_fixtures::Block base = edid_fixtures::DigitalBase14();
    base[126] = 0;
    edid_fixtures::FixChecksum(base);
    Bytes edid(base.begin(), base.end());
    edid.resize(256, 0);
    sim_.SetEdid(edid);
    TDPCD_Access* dialog = OpenDialog();
    Enter(dialog, "2", "ff");
    sim_.SetFault(kDpcdRead, {sim::Fault::Hold, 0, 1});
    platform::MessageBoxInterceptor boxes;
    sim_.ClearReceived();

    QTest::mouseClick(dialog->BTN_Read, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([this] { return sim_.HeldCount() == 1; }));
    EXPECT_FALSE(dialog->BTN_Read->isEnabled());
    EXPECT_FALSE(dialog->BTN_Write->isEnabled());
    c.act(form_.get(), dialog);
    EXPECT_EQ(Status(), QStringLiteral("Previous Op: Read $0002"));
    sim_.ReleaseHeld();
    ASSERT_TRUE(WaitStatus(QStringLiteral("Previous Op: Read $0002 (=$41)"))) << Status().toStdString();
    c.after(form_.get(), sim_, boxes);
    EXPECT_EQ(sim_.CountReceived(kDpcdRead), 1u);
    EXPECT_EQ(sim_.CountReceived(kDpcdWrite), 0u);
}

constexpr uint8_t kLinkStatus = 0x19, kEdidRead = 0x16, kVersion = 0x1C;

INSTANTIATE_TEST_SUITE_P(
    Actions, WhileADpcdReadIsOut,
    ::testing::Values(
        WhileHeldCase{"ReadAndWriteAgain",
                      [](TCTSMainForm*, TDPCD_Access* d) {
                          QTest::mouseClick(d->BTN_Read, Qt::LeftButton);
                          QTest::mouseClick(d->BTN_Write, Qt::LeftButton);
                      },
                      [](TCTSMainForm*, const sim::InstrumentSim&, const platform::MessageBoxInterceptor& boxes) {
                          EXPECT_TRUE(boxes.Texts().empty());
                      }},
        WhileHeldCase{
            "UpdateLinkStatus",
            [](TCTSMainForm* form, TDPCD_Access*) {
                form->TC_PagesTabs->setCurrentIndex(4);
                EXPECT_FALSE(form->BTN_UpdateLinkTraining->isEnabled());
                QTest::mouseClick(form->BTN_UpdateLinkTraining, Qt::LeftButton);
            },
            [](TCTSMainForm* form, const sim::InstrumentSim& sim, const platform::MessageBoxInterceptor& boxes) {
                EXPECT_TRUE(form->BTN_UpdateLinkTraining->isEnabled());
                EXPECT_EQ(sim.CountReceived(kLinkStatus), 0u);
                EXPECT_TRUE(boxes.Texts().empty());
            }},
        WhileHeldCase{
            "ReadEdid",
            [](TCTSMainForm* form, TDPCD_Access*) {
                form->TC_PagesTabs->setCurrentIndex(5);
                QTest::mouseClick(Probe<QPushButton>(form, "BTN_ReadEDID"), Qt::LeftButton);
            },
            [](TCTSMainForm* form, const sim::InstrumentSim& sim, const platform::MessageBoxInterceptor& boxes) {
                ASSERT_TRUE(test_support::WaitFor([&] { return sim.CountReceived(kEdidRead) == 1u; }));
                ASSERT_TRUE(test_support::WaitFor([&] { return !form->EdidTransferActive(); }));
                EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
                uint8_t block[128] = {};
                EXPECT_EQ(ECGetBlock(form->EdidHandle(), 0, block, 128), 128);
                EXPECT_EQ(ECGetBlock(form->EdidHandle(), 1, block, 128), 0);
            }},
        WhileHeldCase{
            "RunTests",
            [](TCTSMainForm* form, TDPCD_Access*) {
                form->TC_PagesTabs->setCurrentIndex(0);
                form->LV_TestList->topLevelItem(0)->setSelected(true);
                QTest::mouseClick(form->BTN_RunTests, Qt::LeftButton);
            },
            [](TCTSMainForm* form, const sim::InstrumentSim& sim, const platform::MessageBoxInterceptor& boxes) {
                ASSERT_TRUE(test_support::WaitFor([&] { return !boxes.Texts().empty() && !form->Running(); }));
                EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Testing Sequence Complete."});
                EXPECT_GE(sim.CountReceived(kVersion), 1u) << "the run's firmware check";
            }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DpcdAccess, WithoutALinkNothingIsSentAndTheOutcomeIsFailedAtOnce) {
    TDPCD_Access* dialog = OpenDialog();
    Enter(dialog, "2", "ff");
    form_->DisconnectCOM1->trigger();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(form_->MENU_DPCDAccess->isEnabled());
    ASSERT_EQ(form_->Link(), nullptr);

    // The dialog, shown again with its requests still set, is answered at once.
    sim_.ClearReceived();
    dialog->show();
    QTest::mouseClick(dialog->BTN_Read, Qt::LeftButton);
    EXPECT_EQ(Status(), QStringLiteral("Previous Op: Read $0002 - Failed"));
    QTest::mouseClick(dialog->BTN_Write, Qt::LeftButton);
    EXPECT_EQ(Status(), QStringLiteral("Previous Op: Write $ff -> $0002 - Failed"));
    EXPECT_EQ(sim_.CountReceived(kDpcdRead), 0u);
    EXPECT_EQ(sim_.CountReceived(kDpcdWrite), 0u);
    dialog->BTN_CloseClick();
}

TEST_F(DpcdAccess, AnAddressBeyondSixteenBitsIsRefusedNotCut) {
    TDPCD_Access* dialog = OpenDialog();
    Enter(dialog, "1F00A", "1");
    EXPECT_FALSE(dialog->BTN_Read->isEnabled());
    EXPECT_FALSE(dialog->BTN_Write->isEnabled());
    // Even when asked directly, the window sends no cut address.
    sim_.ClearReceived();
    dialog->BTN_ReadClick();
    EXPECT_TRUE(Status().endsWith(QStringLiteral(" - Failed"))) << Status().toStdString();
    form_->WriteDpcd(0x1F00A, 1);
    EXPECT_TRUE(Status().endsWith(QStringLiteral(" - Failed"))) << Status().toStdString();
    ASSERT_TRUE(LinkServedAnother());
    EXPECT_EQ(sim_.CountReceived(kDpcdRead), 0u);
    EXPECT_EQ(sim_.CountReceived(kDpcdWrite), 0u);
    EXPECT_EQ(sim_.Dpcd(0xF00A), 0);
}

TEST_F(DpcdAccess, ReconnectingHidesTheDialog) {
    TDPCD_Access* dialog = OpenDialog();
    sim_.ClearReceived();
    form_->Reconnect();
    EXPECT_TRUE(WaitFor([&] { return !dialog->isVisible(); }));
    ASSERT_TRUE(WaitFor([&] { return sim_.CountReceived(kProbe) == 1; }));
    ASSERT_TRUE(WaitConnected());
    // Opened again on the new link, it works.
    sim_.SetDpcd(0x0003, 0x33);
    form_->MENU_DPCDAccess->trigger();
    EXPECT_TRUE(dialog->isVisible());
    Enter(dialog, "3", "");
    QTest::mouseClick(dialog->BTN_Read, Qt::LeftButton);
    EXPECT_TRUE(WaitStatus(QStringLiteral("Previous Op: Read $0003 (=$33)"))) << Status().toStdString();
}

TEST_F(DpcdAccess, CloseDpcdAccessHidesLikeItsCloseButton) {
    TDPCD_Access* dialog = OpenDialog();
    Enter(dialog, "12", "34");
    form_->CloseDpcdAccess();
    EXPECT_FALSE(dialog->isVisible());
    form_->MENU_DPCDAccess->trigger();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->ED_Address->text(), QStringLiteral("12"));
    EXPECT_EQ(dialog->ED_Data->text(), QStringLiteral("34"));
}

}  // namespace
