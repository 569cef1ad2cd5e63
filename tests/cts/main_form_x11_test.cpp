// Vardeko's windows on the X11 platform (an Xvfb server of the test's own):
// every dialog and box is transient for the window that owns it, as the
// server holds it (WM_TRANSIENT_FOR), so a window manager keeps it above
// that window; a main window restored off the screen opens on it.
#include <gmock/gmock.h>
#include <QLabel>
#include <QPushButton>

#include <string>
#include <utility>
#include <vector>

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
#include "support/X11Windows.h"

namespace {

using cts_test::MainFormFixture;
using test_support::X11Server;
using test_support::XWindowOf;

class VardekoX11Test : public MainFormFixture {
protected:
    TCTSMainForm* OpenExposed() {
        TCTSMainForm* form = OpenConnected();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form));
        return form;
    }
    X11Server server_;
};

TEST_F(VardekoX11Test, EveryDialogIsTransientForTheMainWindow) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    ASSERT_TRUE(server_.Connected());
    TCTSMainForm* form = OpenExposed();
    const uint32_t mainId = XWindowOf(form);
    const std::pair<QDialog*, const char*> dialogs[] = {
        {dialogs_.firmware, "firmware"},
        {dialogs_.reportOptions, "report options"},
        {dialogs_.options, "options"},
        {dialogs_.operatorInput, "operator input"},
        {dialogs_.dpcd, "DPCD"},
        {dialogs_.about, "about"},
        {dialogs_.colorimetry, "colorimetry"},
        {dialogs_.timing, "timing"},
        {dialogs_.automation, "automation"},
        {dialogs_.audio, "audio"},
        {dialogs_.dutCaps, "DUT caps"},
        {dialogs_.dutCfg, "DUT cfg"},
    };
    for (const auto& [dialog, name] : dialogs) {
        SCOPED_TRACE(name);
        ASSERT_NE(dialog, nullptr);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
        EXPECT_EQ(server_.TransientFor(XWindowOf(dialog)), mainId);
        dialog->hide();
    }
}

// A box of the main window, one of the link (which knows no window) and one
// of a dialog: each on its owner.
TEST_F(VardekoX11Test, EveryBoxIsTransientForItsOwner) {
    const std::string missingPort = config_.filePath(QStringLiteral("no-such-port")).toStdString();
    StorePort(missingPort);
    test_support::RealBoxes real;
    TCTSMainForm* form = Open();
    // The link's "Failed to open port" comes while the window connects.
    ASSERT_TRUE(WaitFor([&] { return form->BTN_TryConnection->isEnabled(); }));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    const uint32_t mainId = XWindowOf(form);

    // The question before clearing the results of a run not saved.
    form->SetReportSaved(false);
    form->BTN_ClearTestResultsClick();
    // The firmware dialog's outcome box sits on the dialog.
    dialogs_.firmware->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialogs_.firmware));
    const uint32_t firmwareId = XWindowOf(dialogs_.firmware);
    dialogs_.firmware->ShowResult(false);
    dialogs_.firmware->hide();

    const test_support::RealBoxes::Shown expected = {
        {"Failed to open port", mainId},
        {"Report not saved.\r\n\r\nWould you like to save the report of the previous test run before clearing "
         "results?",
         mainId},
        {"Upgrade Failed...", firmwareId},
    };
    EXPECT_EQ(real.TextsAndOwners(), expected);
    // The question was answered Cancel: the results stay unsaved.
    EXPECT_FALSE(form->ReportSaved());
}

// Settings written on a screen that is gone, or switches beyond the screen:
// a window whose title bar does not lie on the screen enough to take hold of
// it opens moved onto the screen, its size kept where that fits; one whose
// title bar can be taken hold of opens where it was stored, as the server
// holds it.
TEST_F(VardekoX11Test, ARestoredWindowOffTheScreenIsMovedOntoIt) {
    ASSERT_TRUE(server_.Connected());
    ASSERT_EQ(QGuiApplication::primaryScreen()->availableGeometry(), QRect(0, 0, 1280, 1024));
    const struct {
        const char* what;
        QRect stored;
        QStringList arguments;
        QRect shown;
    } cases[] = {
        {"off every screen", QRect(-5000, -5000, 900, 700), {}, QRect(0, 0, 900, 700)},
        {"larger than the screen, off it", QRect(-5000, -5000, 1600, 1300), {}, QRect(0, 0, 1280, 1024)},
        {"80 columns of the title bar on it", QRect(1200, 100, 900, 700), {}, QRect(380, 100, 900, 700)},
        {"120 columns of the title bar on it", QRect(1160, 100, 900, 700), {}, QRect(1160, 100, 900, 700)},
        {"switches beyond the screen", QRect(100, 100, 900, 700), {"-x5000", "-y3000"}, QRect(380, 324, 900, 700)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        platform::RegistryIniFile ini = Settings();
        ini.WriteInteger(TCTSMainForm::kSection, "Vardeko_Left", c.stored.left());
        ini.WriteInteger(TCTSMainForm::kSection, "Vardeko_Top", c.stored.top());
        ini.WriteInteger(TCTSMainForm::kSection, "Vardeko_Width", c.stored.width());
        ini.WriteInteger(TCTSMainForm::kSection, "Vardeko_Height", c.stored.height());
        TCTSMainForm* form = Open(QStringList{QStringLiteral("vardeko")} + c.arguments);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
        EXPECT_EQ(server_.Geometry(XWindowOf(form)), c.shown);
    }
}

}  // namespace
