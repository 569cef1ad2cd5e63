// The audio support dialog: the three capability bytes, Accept's two
// refusals, and the header values read from the bytes.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>

#include "DialogTestSupport.h"
#include "cts/dialogs/TAudioSupportSelector.h"
#include "platform/MessageBox.h"
#include "platform/MessageBoxInterceptor.h"

using namespace dialog_test;

namespace {

using Bytes = TAudioSupportSelector::Bytes;

std::vector<std::string> CheckedItems(const QListWidget* list) {
    std::vector<std::string> items;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked) items.push_back(list->item(i)->text().toStdString());
    return items;
}

void SetChecked(QListWidget* list, std::initializer_list<int> rows) {
    for (int i = 0; i < list->count(); ++i) list->item(i)->setCheckState(Qt::Unchecked);
    for (int row : rows) list->item(row)->setCheckState(Qt::Checked);
}

TEST(AudioSupportSelectorTest, ControlsHaveTheirCaptionsAndShowTheStartBytes) {
    TAudioSupportSelector form;
    EXPECT_EQ(form.windowTitle(), "Audio Support");
    EXPECT_EQ(Probe<QLabel>(&form, "LBL_SampleRates")->text(), "Sampling rates:");
    EXPECT_EQ(Probe<QLabel>(&form, "LBL_SampleSize")->text(), "Sample Sizes:");
    EXPECT_EQ(Probe<QLabel>(&form, "LBL_LPCMChannels")->text(), "LPCM channels: (2- 8)");
    EXPECT_EQ(Probe<QCheckBox>(&form, "CB_AIF")->text(), "Audio Infoframe for 2 ch audio");
    EXPECT_EQ(Probe<QCheckBox>(&form, "CB_AudioWithoutVideo")->text(), "Audio transmission without video");
    EXPECT_EQ(Probe<QCheckBox>(&form, "CB_SawtoothPattern")->text(), "Sawtooth test pattern");
    EXPECT_EQ(Probe<QPushButton>(&form, "BTN_Accept")->text(), "Accept");
    EXPECT_EQ(Probe<QPushButton>(&form, "BTN_Cancel")->text(), "Cancel");

    auto* rates = Probe<QListWidget>(&form, "LV_SampleRates");
    const char* rateNames[] = {"32 kHz", "44.1 kHz", "48 kHz", "88.2 kHz", "96 kHz", "176.4 kHz", "192 kHz"};
    ASSERT_EQ(rates->count(), 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(rates->item(i)->text(), rateNames[i]);
    auto* sizes = Probe<QListWidget>(&form, "LV_SampleSize");
    ASSERT_EQ(sizes->count(), 3);
    EXPECT_EQ(sizes->item(0)->text(), "16 bps");
    EXPECT_EQ(sizes->item(1)->text(), "20 bps");
    EXPECT_EQ(sizes->item(2)->text(), "24 bps");
    auto* channels = Probe<QSpinBox>(&form, "UD_LPCMChannels");
    EXPECT_EQ(channels->minimum(), 2);
    EXPECT_EQ(channels->maximum(), 8);

    EXPECT_EQ(form.AudioCaps(), (Bytes{4, 33, 1}));
    Open(form);
    EXPECT_EQ(CheckedItems(rates), (std::vector<std::string>{"48 kHz"}));
    EXPECT_EQ(CheckedItems(sizes), (std::vector<std::string>{"16 bps"}));
    EXPECT_EQ(Probe<QLineEdit>(&form, "Edit1")->text(), "2");
    EXPECT_TRUE(form.CB_AIF->isChecked());
    EXPECT_FALSE(form.CB_AudioWithoutVideo->isChecked());
    EXPECT_FALSE(form.CB_SawtoothPattern->isChecked());
    form.reject();

    // The header values before any Accept say what the start bytes send.
    EXPECT_EQ(form.SampleRatesText(), "48 kHz");
    EXPECT_EQ(form.SampleSizesText(), "16 bps");
    EXPECT_EQ(form.Channels(), 2);
    EXPECT_EQ(form.InfoFrame(), 1);
    EXPECT_EQ(form.AudioWithoutVideo(), 0);
    EXPECT_EQ(form.SawtoothPattern(), 0);
}

TEST(AudioSupportSelectorTest, AcceptStoresTheBytesAndTheHeaderValuesFollow) {
    TAudioSupportSelector form;
    Open(form);
    SetChecked(form.LV_SampleRates, {1, 4});
    SetChecked(form.LV_SampleSize, {0, 2});
    form.UD_LPCMChannels->setValue(6);
    form.CB_AIF->setChecked(false);
    form.CB_AudioWithoutVideo->setChecked(true);
    form.CB_SawtoothPattern->setChecked(true);
    QTest::mouseClick(form.BTN_Accept, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);

    EXPECT_EQ(form.AudioCaps(), (Bytes{0x12, 0x65, 0x06}));
    EXPECT_EQ(form.SampleRatesText(), "44.1 kHz, 96 kHz");
    EXPECT_EQ(form.SampleSizesText(), "16 bps, 24 bps");
    EXPECT_EQ(form.Channels(), 6);
    EXPECT_EQ(form.InfoFrame(), 0);
    EXPECT_EQ(form.AudioWithoutVideo(), 1);
    EXPECT_EQ(form.SawtoothPattern(), 1);

    // The next showing shows the accepted bytes.
    Open(form);
    EXPECT_EQ(CheckedItems(form.LV_SampleRates), (std::vector<std::string>{"44.1 kHz", "96 kHz"}));
    EXPECT_EQ(form.UD_LPCMChannels->value(), 6);
    EXPECT_TRUE(form.CB_SawtoothPattern->isChecked());
    form.reject();
}

struct Refusal {
    const char* what;
    std::initializer_list<int> rates;
    std::initializer_list<int> sizes;
    const char* message;
};

TEST(AudioSupportSelectorTest, AcceptRefusesAChoiceWithoutABaseRateOr16Bits) {
    const Refusal cases[] = {
        {"only 192 kHz", {6}, {0}, "You must select at least one of samplerates 32 kHz, 44.1 kHz or 48 kHz"},
        {"no rate", {}, {0}, "You must select at least one of samplerates 32 kHz, 44.1 kHz or 48 kHz"},
        {"no 16 bps", {0}, {1, 2}, "The sample size '16 bps' is required"},
        {"neither", {3}, {2}, "You must select at least one of samplerates 32 kHz, 44.1 kHz or 48 kHz"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.what);
        platform::MessageBoxInterceptor boxes;
        TAudioSupportSelector form;
        Open(form);
        SetChecked(form.LV_SampleRates, c.rates);
        SetChecked(form.LV_SampleSize, c.sizes);
        form.UD_LPCMChannels->setValue(8);
        QTest::mouseClick(form.BTN_Accept, Qt::LeftButton);
        EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{c.message}));
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Error);
        EXPECT_EQ(boxes.Boxes()[0].buttons, platform::MsgButtons::Ok);
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.AudioCaps(), (Bytes{4, 33, 1}));
        form.reject();
    }
}

class AudioSupportCloseTest : public ::testing::TestWithParam<CloseWay> {};

TEST_P(AudioSupportCloseTest, KeepsTheBytesAndShowsThemAgain) {
    TAudioSupportSelector form;
    Open(form);
    SetChecked(form.LV_SampleRates, {0, 6});
    SetChecked(form.LV_SampleSize, {0, 1});
    form.UD_LPCMChannels->setValue(7);
    form.CB_AIF->setChecked(false);
    CloseWithout(form, GetParam(), "BTN_Cancel");
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(form.AudioCaps(), (Bytes{4, 33, 1}));
    EXPECT_EQ(CheckedItems(form.LV_SampleRates), (std::vector<std::string>{"48 kHz"}));
    EXPECT_EQ(CheckedItems(form.LV_SampleSize), (std::vector<std::string>{"16 bps"}));
    EXPECT_EQ(form.UD_LPCMChannels->value(), 2);
    EXPECT_TRUE(form.CB_AIF->isChecked());
}

INSTANTIATE_TEST_SUITE_P(Ways, AudioSupportCloseTest,
                         ::testing::Values(CloseWay::CancelButton, CloseWay::Escape, CloseWay::WindowFrame),
                         [](const auto& info) { return Name(info.param); });

TEST(AudioSupportSelectorTest, LoadedBytesAreKeptToWhatTheControlsCanShow) {
    const std::pair<Bytes, Bytes> cases[] = {
        {{0x12, 0x65, 0x06}, {0x12, 0x65, 0x06}},  // as saved
        {{0xFF, 0xFF, 0xFF}, {0x7F, 0x87, 0x07}},  // reserved bits cleared, 15 channels -> 8
        {{0x01, 0x01, 0x00}, {0x01, 0x21, 0x00}},  // no channel count -> 2
    };
    for (const auto& [loaded, kept] : cases) {
        TAudioSupportSelector form;
        form.SetAudioCaps(loaded);
        EXPECT_EQ(form.AudioCaps(), kept);
        Open(form);
        EXPECT_EQ(form.UD_LPCMChannels->value(), form.Channels());
        form.reject();
    }
    TAudioSupportSelector form;
    form.SetAudioCaps({0x41, 0x87, 0x05});
    EXPECT_EQ(form.SampleRatesText(), "32 kHz, 192 kHz");
    EXPECT_EQ(form.SampleSizesText(), "16 bps, 20 bps, 24 bps");
    EXPECT_EQ(form.Channels(), 8);
    EXPECT_EQ(form.InfoFrame(), 1);
    EXPECT_EQ(form.AudioWithoutVideo(), 0);
    EXPECT_EQ(form.SawtoothPattern(), 1);
}

}  // namespace
