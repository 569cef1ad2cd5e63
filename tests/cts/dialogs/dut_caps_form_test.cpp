// The DUT capability dialog: eight boxes that are its state; no Cancel.
#include <QCheckBox>

#include "DialogTestSupport.h"
#include "cts/dialogs/TDutCapsForm.h"

using namespace dialog_test;

namespace {

struct Box {
    const char* name;
    const char* caption;
    const char* hint;
};

const Box kBoxes[] = {
    {"CH_VFCWOLT", "Video format change without LT", "Video format change without re-training."},
    {"CH_LCRWOLT", "Lane count reduction without LT", "Lane count reduction without re-training."},
    {"CH_EDDC", "E-DDC", ""},
    {"CH_DriveLevel", "Drive level 3 (1.2V)", ""},
    {"CH_PreEmphasis", "Pre-emphasis level 3 (9.5dB)", ""},
    {"CH_FixedTiming", "Fixed Timing", ""},
    {"CB_SpreadSpectrum", "SSC", ""},
    {"CB_SCC_IfMaxDownSpread", "SSC enabled if MAX_DOWNSPREAD=1", ""},
};

TEST(DutCapsFormTest, BoxesHaveTheirCaptionsAndStartUnchecked) {
    TDutCapsForm form;
    EXPECT_EQ(form.windowTitle(), "DUT Capabilities");
    EXPECT_EQ(Probe<QPushButton>(&form, "BitBtn1")->text(), "Accept");
    for (const Box& box : kBoxes) {
        auto* control = Probe<QCheckBox>(&form, box.name);
        EXPECT_EQ(control->text(), box.caption) << box.name;
        EXPECT_EQ(control->toolTip(), box.hint) << box.name;
        EXPECT_FALSE(control->isChecked()) << box.name;
    }
}

TEST(DutCapsFormTest, EveryChangeCountsAtOnceAndStaysBetweenShowings) {
    TDutCapsForm form;
    Open(form);
    ClickIndicator(Probe<QCheckBox>(&form, "CH_EDDC"));
    ClickIndicator(Probe<QCheckBox>(&form, "CB_SCC_IfMaxDownSpread"));
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);

    // Esc and the window frame close it; what was changed stays.
    Open(form);
    ClickIndicator(form.CH_FixedTiming);
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    Open(form);
    ClickIndicator(form.CH_EDDC);
    form.close();
    EXPECT_FALSE(form.isVisible());

    for (const Box& box : kBoxes) {
        const bool expected =
            std::string(box.name) == "CB_SCC_IfMaxDownSpread" || std::string(box.name) == "CH_FixedTiming";
        EXPECT_EQ(Probe<QCheckBox>(&form, box.name)->isChecked(), expected) << box.name;
    }
}

}  // namespace
