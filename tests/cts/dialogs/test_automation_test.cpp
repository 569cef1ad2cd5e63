// The test automation dialog: five boxes, the event choice and its
// enabling, Cancel, Esc and the window frame putting everything back.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

#include "DialogTestSupport.h"
#include "cts/dialogs/TTestAutomation.h"

using namespace dialog_test;

namespace {

const std::pair<const char*, const char*> kBoxes[] = {
    {"CH_LinkTraining", "TEST_LINK_TRAINING"}, {"CH_EDID", "TEST_EDID_READ"},
    {"CH_Pattern", "TEST_VIDEO_PATTERN"},      {"CH_TEST_TIMING", "TEST_TIMING"},
    {"CH_TEST_AUDIO", "TEST_AUDIO_PATTERN"},
};

TEST(TestAutomationTest, ControlsHaveTheirCaptionsAndStartValues) {
    TTestAutomation form;
    EXPECT_EQ(form.windowTitle(), "Test automation");
    EXPECT_EQ(Probe<QGroupBox>(&form, "GroupBox1")->title(), " Test Automation support ");
    for (const auto& [name, caption] : kBoxes) {
        EXPECT_EQ(Probe<QCheckBox>(&form, name)->text(), caption);
        EXPECT_TRUE(Probe<QCheckBox>(&form, name)->isChecked()) << name;
    }
    EXPECT_EQ(Probe<QLabel>(&form, "LB_Event")->text(), "Event indicating DUT ready:");
    auto* event = Probe<QComboBox>(&form, "CB_Event");
    ASSERT_EQ(event->count(), 4);
    EXPECT_EQ(event->itemText(0), "None");
    EXPECT_EQ(event->itemText(1), "EDID read");
    EXPECT_EQ(event->itemText(2), "Link Training end");
    EXPECT_EQ(event->itemText(3), "Active Video");
    EXPECT_EQ(event->currentIndex(), 3);
    EXPECT_EQ(Probe<QPushButton>(&form, "BTN_Accept")->text(), "Accept");
    EXPECT_EQ(Probe<QPushButton>(&form, "BTN_Cancel")->text(), "Cancel");
    EXPECT_TRUE(form.IsEventEnabled());
}

TEST(TestAutomationTest, TheEventChoiceCountsWhileOneOfThreeBoxesIsChecked) {
    TTestAutomation form;
    Open(form);
    // Each of the three alone keeps the event list enabled; the other two never do.
    for (const char* name : {"CH_LinkTraining", "CH_Pattern", "CH_EDID"}) {
        ClickIndicator(Probe<QCheckBox>(&form, name));
    }
    EXPECT_FALSE(form.IsEventEnabled());
    EXPECT_FALSE(form.CB_Event->isEnabled());
    EXPECT_FALSE(form.LB_Event->isEnabled());
    ClickIndicator(form.CH_TEST_AUDIO);
    ClickIndicator(form.CH_TEST_TIMING);
    EXPECT_FALSE(form.CB_Event->isEnabled());

    ClickIndicator(form.CH_EDID);
    EXPECT_TRUE(form.IsEventEnabled());
    EXPECT_TRUE(form.CB_Event->isEnabled());
    EXPECT_TRUE(form.LB_Event->isEnabled());
    form.reject();
}

TEST(TestAutomationTest, AcceptKeepsTheChangesForTheNextShowing) {
    TTestAutomation form;
    Open(form);
    ClickIndicator(form.CH_Pattern);
    ClickIndicator(form.CH_TEST_TIMING);
    form.CB_Event->setCurrentIndex(1);
    QTest::mouseClick(form.BTN_Accept, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);

    Open(form);
    EXPECT_FALSE(form.CH_Pattern->isChecked());
    EXPECT_FALSE(form.CH_TEST_TIMING->isChecked());
    EXPECT_EQ(form.CB_Event->currentIndex(), 1);
    form.reject();  // nothing changed: the accepted state stays
    EXPECT_FALSE(form.CH_Pattern->isChecked());
    EXPECT_EQ(form.CB_Event->currentIndex(), 1);
}

class TestAutomationCloseTest : public ::testing::TestWithParam<CloseWay> {};

TEST_P(TestAutomationCloseTest, PutsBackAllFiveBoxesAndTheEvent) {
    TTestAutomation form;
    // Set before showing, as a loaded settings file does.
    form.CH_TEST_AUDIO->setChecked(false);
    form.CB_Event->setCurrentIndex(2);
    Open(form);

    for (const auto& [name, caption] : kBoxes) ClickIndicator(Probe<QCheckBox>(&form, name));
    form.CB_Event->setCurrentIndex(0);
    EXPECT_FALSE(form.CB_Event->isEnabled());

    CloseWithout(form, GetParam(), "BTN_Cancel");
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
    for (const auto& [name, caption] : kBoxes)
        EXPECT_EQ(Probe<QCheckBox>(&form, name)->isChecked(), std::string(name) != "CH_TEST_AUDIO") << name;
    EXPECT_EQ(form.CB_Event->currentIndex(), 2);
    EXPECT_TRUE(form.CB_Event->isEnabled());
    EXPECT_TRUE(form.LB_Event->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Ways, TestAutomationCloseTest,
                         ::testing::Values(CloseWay::CancelButton, CloseWay::Escape, CloseWay::WindowFrame),
                         [](const auto& info) { return Name(info.param); });

}  // namespace
