// A picture of each dialog as the operator sees it, written to the build
// folder; each must show its controls inside the window.
#include <QDir>
#include <QImage>
#include <QPixmap>

#include <functional>
#include <memory>

#include "DialogTestSupport.h"
#include "cts/dialogs/TAudioSupportSelector.h"
#include "cts/dialogs/TColorimetryEdit.h"
#include "cts/dialogs/TDPCD_Access.h"
#include "cts/dialogs/TDUTCfg.h"
#include "cts/dialogs/TDutCapsForm.h"
#include "cts/dialogs/TFirmwareUpdate.h"
#include "cts/dialogs/TOptionsForm.h"
#include "cts/dialogs/TSrcAboutForm.h"
#include "cts/dialogs/TTestAutomation.h"
#include "cts/dialogs/TTimingSelection.h"

using namespace dialog_test;

namespace {

struct Shot {
    const char* file;
    std::function<std::unique_ptr<QDialog>()> make;
    std::vector<const char*> controls;  // must be seen whole
};

std::vector<platform::SerialPortInfo> Ports() {
    return {{"/dev/ttyUSB0", "Instrument"}, {"/dev/ttyUSB1", "Instrument"}, {"/dev/pts/4", "/dev/pts/4"}};
}

TEST(DialogScreenshotTest, EachDialogShowsAllItsControls) {
    const Shot shots[] = {
        {"options.png",
         [] {
             auto form = std::make_unique<TOptionsForm>(nullptr, &Ports);
             form->SelectDevice("/dev/ttyUSB1");
             return form;
         },
         {"Label1", "CB_ComSelect", "LBL_TimeoutLen", "UD_TimeoutLen", "LBL_TestDelay", "UD_TestDelay", "BitBtn2",
          "BitBtn1"}},
        {"about.png", [] { return std::make_unique<TSrcAboutForm>(); }, {"Label1", "LBL_AppVer", "Button1"}},
        {"dut_caps.png",
         [] { return std::make_unique<TDutCapsForm>(); },
         {"CH_VFCWOLT", "CH_LCRWOLT", "CH_EDDC", "CH_DriveLevel", "CH_PreEmphasis", "CH_FixedTiming",
          "CB_SpreadSpectrum", "CB_SCC_IfMaxDownSpread", "BitBtn1"}},
        {"test_automation.png",
         [] { return std::make_unique<TTestAutomation>(); },
         {"CH_LinkTraining", "CH_EDID", "CH_Pattern", "CH_TEST_TIMING", "CH_TEST_AUDIO", "LB_Event", "CB_Event",
          "BTN_Accept", "BTN_Cancel"}},
        {"audio_support.png",
         [] { return std::make_unique<TAudioSupportSelector>(); },
         {"LV_SampleRates", "LV_SampleSize", "UD_LPCMChannels", "CB_AIF", "CB_AudioWithoutVideo", "CB_SawtoothPattern",
          "BTN_Accept", "BTN_Cancel"}},
        {"colorimetry.png",
         [] { return std::make_unique<TColorimetryEdit>(); },
         {"LV_Cols", "BTN_Accept", "BTN_Cancel"}},
        {"video_time_stamp.png",
         [] { return std::make_unique<TDUTCfg>(); },
         {"LBL_Col1", "LBL_Col7", "LBL_R1", "LBL_H4", "RB_R1_1", "RB_H4_7", "RB_H4_6", "BitBtn1"}},
        {"most_packed.png",
         [] { return std::make_unique<TTimingSelection>(); },
         {"LV_Lane1", "LV_Lane2", "LV_Lane4", "BTN_Accept", "BTN_Cancel"}},
        {"dpcd_access.png",
         [] {
             auto form = std::make_unique<TDPCD_Access>();
             form->ED_Address->setText(QStringLiteral("2"));
             form->ED_Data->setText(QStringLiteral("100"));  // red
             form->BTN_ReadClick();
             form->ShowReadResult(true, 0x41);
             return form;
         },
         {"Label1", "ED_Address", "Label2", "ED_Data", "BTN_Read", "BTN_Write", "BTN_Close", "LBL_Status"}},
        {"firmware_update.png",
         [] {
             auto form = std::make_unique<TFirmwareUpdate>();
             form->SetVersionText(QStringLiteral("V3.4.1"));
             form->ED_HexFile->setText(QStringLiteral("/home/operator/firmware/release-3.4.2.hex"));
             form->StartProgress(100000);
             form->SetProgress(40000);
             return form;
         },
         {"Label2", "ED_VersionInfo", "BTN_CheckVer", "Label3", "ED_HexFile", "BTN_BrowseHex", "PB_UpdateProcess",
          "BTN_Upgrade", "BTN_Cancel"}},
    };
    for (const Shot& shot : shots) {
        SCOPED_TRACE(shot.file);
        std::unique_ptr<QDialog> dialog = shot.make();
        Open(*dialog);
        const QRect window = dialog->rect();
        for (const char* name : shot.controls) {
            auto* control = Probe<QWidget>(dialog.get(), name);
            EXPECT_TRUE(control->isVisible()) << name;
            const QRect at(control->mapTo(dialog.get(), QPoint(0, 0)), control->size());
            EXPECT_TRUE(window.contains(at)) << name << " lies outside the window";
            EXPECT_GE(control->width(), control->minimumSizeHint().width()) << name << " is cut";
        }
        const QImage picture = dialog->grab().toImage();
        ASSERT_FALSE(picture.isNull());
        EXPECT_TRUE(picture.save(QDir(QStringLiteral(SCREENSHOT_DIR)).filePath(QString::fromLatin1(shot.file))));
        dialog->reject();
    }
}

}  // namespace
