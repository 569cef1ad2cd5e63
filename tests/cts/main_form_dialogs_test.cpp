// The main window with its dialogs: the buttons that open them, the port
// dialog at a start without a port, "Options ..." and the dialogs' values in
// the parameter block.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTreeWidget>

#include "MainFormFixture.h"
#include "cts/dialogs/TAudioSupportSelector.h"
#include "cts/dialogs/TColorimetryEdit.h"
#include "cts/dialogs/TDPCD_Access.h"
#include "cts/dialogs/TDUTCfg.h"
#include "cts/dialogs/TDutCapsForm.h"
#include "cts/dialogs/TFirmwareUpdate.h"
#include "cts/dialogs/TOperatorInput.h"
#include "cts/dialogs/TOptionsForm.h"
#include "cts/dialogs/TReportOptions.h"
#include "cts/dialogs/TSrcAboutForm.h"
#include "cts/dialogs/TTestAutomation.h"
#include "cts/dialogs/TTimingSelection.h"
#include "platform/MessageBox.h"

namespace {

using cts_test::MainFormFixture;

constexpr uint8_t kProbe = 0xE0;

class WithDialogs : public MainFormFixture {
protected:
    void SelectSimPort(QDialog*) {
        TOptionsForm* options = dialogs_.options;
        options->SelectDevice(sim_.SlavePath());
        ASSERT_EQ(options->GetSelectedDevice(), sim_.SlavePath());
    }
};

TEST_F(WithDialogs, EveryParameterButtonOpensItsDialog) {
    TCTSMainForm* form = OpenConnected();
    const struct {
        QPushButton* button;
        QDialog* dialog;
        int tab;
    } cases[] = {
        {form->BTN_DutCaps, dialogs_.dutCaps, 0},
        {form->BTN_TestAutomation, dialogs_.automation, 0},
        {form->BTN_MostPackedTiming, dialogs_.timing, 0},
        {form->BTN_EditColorimetry, dialogs_.colorimetry, 0},
        {form->BTN_VidTimeStampGen, dialogs_.dutCfg, 0},
        {form->Button2, dialogs_.dutCaps, 3},
        {form->Button4, dialogs_.automation, 3},
        {form->Button3, dialogs_.timing, 3},
        {form->Button1, dialogs_.audio, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button->text().toStdString());
        form->TC_PagesTabs->setCurrentIndex(c.tab);
        AnswerNextDialog(QDialog::Rejected);
        c.button->click();
        EXPECT_EQ(answered_, c.dialog);
    }
    AnswerNextDialog(QDialog::Accepted);
    form->About1->trigger();
    EXPECT_EQ(answered_, dialogs_.about);
}

TEST_F(WithDialogs, StartWithoutPortCancelledEndsTheProgram) {
    ForgetPort();
    AnswerNextDialog(QDialog::Rejected);
    TCTSMainForm* form = Open();
    ASSERT_TRUE(WaitFor([&] { return answered_ != nullptr; }));
    EXPECT_EQ(answered_, dialogs_.options);
    EXPECT_TRUE(WaitFor([&] { return !form->isVisible(); }));
    EXPECT_EQ(form->Link(), nullptr);
}

TEST_F(WithDialogs, StartWithoutPortTakesTheChosenPortAndStoresIt) {
    ForgetPort();
    AnswerNextDialog(QDialog::Accepted, [this](QDialog* d) { SelectSimPort(d); });
    TCTSMainForm* form = Open();
    ASSERT_TRUE(WaitConnected()) << form->LBL_NotConnectedHeadline->text().toStdString();
    EXPECT_EQ(Settings().ReadString(TCTSMainForm::kSection, "Vardeko_COM_Device", ""), sim_.SlavePath());
}

TEST_F(WithDialogs, OptionsCancelledChangesNothingAcceptedReconnects) {
    platform::RegistryIniFile ini = Settings();
    ini.WriteInteger("CTS", "Vardeko_Timeout", 12);
    ini.WriteInteger("CTS", "Vardeko_TestDelay", 4);
    TCTSMainForm* form = OpenConnected();
    EXPECT_EQ(dialogs_.options->UD_TimeoutLen->value(), 12);
    EXPECT_EQ(dialogs_.options->UD_TestDelay->value(), 4);
    EXPECT_EQ(dialogs_.options->GetSelectedDevice(), sim_.SlavePath());

    sim_.ClearReceived();
    AnswerNextDialog(QDialog::Rejected);
    form->MENU_Options->trigger();
    QTest::qWait(50);  // a fixed time, as it shows an absence: a load can only weaken it
    EXPECT_EQ(sim_.CountReceived(kProbe), 0u);
    EXPECT_TRUE(form->TC_Pages->isVisible());

    ASSERT_TRUE(ini.DeleteKey("CTS", "Vardeko_COM_Device"));
    AnswerNextDialog(QDialog::Accepted, [](QDialog* d) { static_cast<TOptionsForm*>(d)->UD_TestDelay->setValue(7); });
    form->MENU_Options->trigger();
    ASSERT_TRUE(WaitFor([&] { return sim_.CountReceived(kProbe) == 1; }));
    ASSERT_TRUE(WaitConnected());
    EXPECT_EQ(ini.ReadString("CTS", "Vardeko_COM_Device", ""), sim_.SlavePath());
    form->close();
    EXPECT_EQ(ini.ReadInteger("CTS", "Vardeko_TestDelay", -1), 7);
    EXPECT_EQ(ini.ReadInteger("CTS", "Vardeko_Timeout", -1), 12);
}

TEST_F(WithDialogs, DialogValuesReachTheParameterBlock) {
    TCTSMainForm* form = OpenConnected();
    form->LV_TestList->topLevelItem(0)->setSelected(true);

    // Test automation: link training and pattern only, event item 2.
    dialogs_.automation->CH_LinkTraining->setChecked(true);
    dialogs_.automation->CH_EDID->setChecked(false);
    dialogs_.automation->CH_Pattern->setChecked(true);
    dialogs_.automation->CH_TEST_TIMING->setChecked(false);
    dialogs_.automation->CH_TEST_AUDIO->setChecked(true);
    dialogs_.automation->CB_Event->setCurrentIndex(2);
    // DUT capabilities: SSC if MAX_DOWNSPREAD (byte 6 bit 4), E-DDC and fixed timing.
    dialogs_.dutCaps->CB_SCC_IfMaxDownSpread->setChecked(true);
    dialogs_.dutCaps->CH_EDDC->setChecked(true);
    dialogs_.dutCaps->CH_FixedTiming->setChecked(true);
    // Most-packed timings.
    ASSERT_TRUE(dialogs_.timing->SetLane1Index(2));
    ASSERT_TRUE(dialogs_.timing->SetLane2Index(9));
    ASSERT_TRUE(dialogs_.timing->SetLane4Index(13));
    // Audio capabilities.
    const AudioCaps::Bytes audio = {0x15, 0x23, 0x01};
    dialogs_.audio->SetAudioCaps(audio);

    QTest::mouseClick(form->BTN_RunTests, Qt::LeftButton);
    const auto& block = form->LastBuild().block;
    EXPECT_EQ(block[5], 0x01 | 0x04 | (2 << 3) | 0x40);
    EXPECT_EQ(block[6], 0x10);
    EXPECT_EQ(block[7], 0x08 | 0x40);
    EXPECT_EQ(block[12], 2);
    EXPECT_EQ(block[13], 9);
    EXPECT_EQ(block[14], 13);
    EXPECT_EQ(block[17], dialogs_.audio->AudioCaps()[0]);
    EXPECT_EQ(block[18], dialogs_.audio->AudioCaps()[1]);
    EXPECT_EQ(block[19], dialogs_.audio->AudioCaps()[2]);
}

// With nothing selected in the options dialog (its port gone from the
// list), "Try Connection" opens the port the window opened last.
TEST_F(WithDialogs, TryConnectionWithNothingSelectedOpensTheLastPort) {
    TCTSMainForm* form = OpenConnected();
    form->DisconnectCOM1->trigger();
    sim_.ClearReceived();
    dialogs_.options->SelectDevice(config_.filePath(QStringLiteral("gone")).toStdString());
    ASSERT_EQ(dialogs_.options->GetSelectedDevice(), "");
    QTest::mouseClick(form->BTN_TryConnection, Qt::LeftButton);
    ASSERT_TRUE(WaitConnected());
    EXPECT_EQ(sim_.CountReceived(kProbe), 1u);
}

}  // namespace

// Every dialog is a window of its own owned by the main window: it stays
// above it and opens centred on it, wherever the main window is.
TEST_F(WithDialogs, EveryDialogIsOwnedByTheMainWindowAndOpensCentredOnIt) {
    TCTSMainForm* form = OpenConnected();
    // Off the screen's centre (the offscreen screen is 800 x 600), so that a
    // dialog centred on the screen is told from one centred on the window.
    form->move(-60, -40);
    ASSERT_TRUE(WaitFor([&] { return form->frameGeometry().topLeft() == QPoint(-60, -40); }));
    const struct {
        QDialog* dialog;
        const char* title;
    } cases[] = {
        {dialogs_.firmware, "Firmware Upgrade"},
        {dialogs_.reportOptions, "Additional Data for Report"},
        {dialogs_.options, "Options"},
        {dialogs_.operatorInput, "Operator feedback required"},
        {dialogs_.dpcd, "DPCD Read / Write"},
        {dialogs_.about, "Vardeko"},
        {dialogs_.colorimetry, "Colorimetry"},
        {dialogs_.timing, "Most Packed timing modes selection"},
        {dialogs_.automation, "Test automation"},
        {dialogs_.audio, "Audio Support"},
        {dialogs_.dutCaps, "DUT Capabilities"},
        {dialogs_.dutCfg, "Video Time Stamp Generation"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        ASSERT_NE(c.dialog, nullptr);
        EXPECT_EQ(c.dialog->parentWidget(), form);
        EXPECT_TRUE(c.dialog->isWindow());
        EXPECT_EQ(c.dialog->windowTitle().toStdString(), c.title);
        c.dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(c.dialog));
        // Centred on the main window, then moved into the screen as far as needed.
        const QRect frame = c.dialog->frameGeometry();
        const QRect screen = c.dialog->screen()->availableGeometry();
        QPoint expected = form->frameGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2);
        expected.setX(std::max(screen.left(), std::min(expected.x(), screen.right() + 1 - frame.width())));
        expected.setY(std::max(screen.top(), std::min(expected.y(), screen.bottom() + 1 - frame.height())));
        const QPoint offset = frame.topLeft() - expected;
        EXPECT_LE(std::abs(offset.x()), 3) << offset.x();
        EXPECT_LE(std::abs(offset.y()), 3) << offset.y();
        c.dialog->hide();
    }
}
