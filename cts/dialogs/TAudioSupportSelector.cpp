#include "cts/dialogs/TAudioSupportSelector.h"

#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/MessageBox.h"
#include "platform/gui/FormKit.h"

using platform::Button;
using platform::Named;
using platform::PlainLabel;

namespace {

constexpr std::array<const char*, 7> kSampleRates = {"32 kHz", "44.1 kHz",  "48 kHz", "88.2 kHz",
                                                     "96 kHz", "176.4 kHz", "192 kHz"};
constexpr std::array<const char*, 3> kSampleSizes = {"16 bps", "20 bps", "24 bps"};
constexpr int kMinChannels = 2;
constexpr int kMaxChannels = 8;
// The sample rates of which one must be supported: 32, 44.1 and 48 kHz.
constexpr uint8_t kBaseRates = 0x07;
// 16 bps, which must be supported.
constexpr uint8_t kSize16 = 0x01;

const char kNoBaseRate[] = "You must select at least one of samplerates 32 kHz, 44.1 kHz or 48 kHz";
const char kNo16Bit[] = "The sample size '16 bps' is required";

void FillList(QListWidget* list, const auto& captions) {
    for (const char* caption : captions) {
        auto* item = new QListWidgetItem(QString::fromLatin1(caption), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

// Bit i set for every checked row i.
uint8_t CheckedBits(const QListWidget* list) {
    uint8_t bits = 0;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked) bits |= static_cast<uint8_t>(1u << i);
    return bits;
}

void SetCheckedBits(QListWidget* list, uint8_t bits) {
    for (int i = 0; i < list->count(); ++i) list->item(i)->setCheckState((bits >> i) & 1 ? Qt::Checked : Qt::Unchecked);
}

QString JoinedNames(const auto& captions, uint8_t bits) {
    QString text;
    for (size_t i = 0; i < captions.size(); ++i) {
        if (!((bits >> i) & 1)) continue;
        if (!text.isEmpty()) text += QStringLiteral(", ");
        text += QString::fromLatin1(captions[i]);
    }
    return text;
}

uint8_t RateBits(const TAudioSupportSelector::Bytes& caps) { return caps[0] & 0x7F; }
uint8_t SizeBits(const TAudioSupportSelector::Bytes& caps) { return caps[1] & 0x07; }

// Fits a list to its rows, so that every row shows without scrolling.
void FitToRows(QListWidget* list) {
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int rows = list->sizeHintForRow(0) * list->count();
    list->setFixedHeight(rows + 2 * list->frameWidth() + 2);
    list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth() + 8);
}

}  // namespace

TAudioSupportSelector::TAudioSupportSelector(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AudioSupportSelector"));
    setWindowTitle(QStringLiteral("Audio Support"));
    setModal(true);

    LBL_SampleRates = PlainLabel(this, "LBL_SampleRates", QStringLiteral("Sampling rates:"));
    LV_SampleRates = Named<QListWidget>(this, "LV_SampleRates");
    FillList(LV_SampleRates, kSampleRates);
    LBL_SampleSize = PlainLabel(this, "LBL_SampleSize", QStringLiteral("Sample Sizes:"));
    LV_SampleSize = Named<QListWidget>(this, "LV_SampleSize");
    FillList(LV_SampleSize, kSampleSizes);
    FitToRows(LV_SampleRates);
    FitToRows(LV_SampleSize);

    auto* channels = platform::Panel(this, "Panel1");
    channels->setFrameShape(QFrame::StyledPanel);
    LBL_LPCMChannels = PlainLabel(channels, "LBL_LPCMChannels", QStringLiteral("LPCM channels: (2- 8)"));
    UD_LPCMChannels = Named<QSpinBox>(channels, "UD_LPCMChannels");
    UD_LPCMChannels->setRange(kMinChannels, kMaxChannels);
    UD_LPCMChannels->setValue(kMinChannels);
    Edit1 = UD_LPCMChannels->findChild<QLineEdit*>();
    Edit1->setObjectName(QStringLiteral("Edit1"));
    auto* channelRow = new QHBoxLayout(channels);
    channelRow->addWidget(LBL_LPCMChannels, 1);
    channelRow->addWidget(UD_LPCMChannels);

    CB_AIF = Named<QCheckBox>(this, "CB_AIF", QStringLiteral("Audio Infoframe for 2 ch audio"));
    CB_AudioWithoutVideo =
        Named<QCheckBox>(this, "CB_AudioWithoutVideo", QStringLiteral("Audio transmission without video"));
    CB_SawtoothPattern = Named<QCheckBox>(this, "CB_SawtoothPattern", QStringLiteral("Sawtooth test pattern"));
    BTN_Accept = Button(this, "BTN_Accept", QStringLiteral("Accept"));
    BTN_Cancel = Button(this, "BTN_Cancel", QStringLiteral("Cancel"));

    auto* layout = new QVBoxLayout(this);
    auto* lists = new QHBoxLayout;
    auto* rates = new QVBoxLayout;
    rates->addWidget(LBL_SampleRates);
    rates->addWidget(LV_SampleRates);
    rates->addStretch(1);
    auto* sizes = new QVBoxLayout;
    sizes->addWidget(LBL_SampleSize);
    sizes->addWidget(LV_SampleSize);
    sizes->addWidget(channels);
    sizes->addStretch(1);
    lists->addLayout(rates);
    lists->addLayout(sizes);
    layout->addLayout(lists);
    layout->addWidget(CB_AIF);
    layout->addWidget(CB_AudioWithoutVideo);
    layout->addWidget(CB_SawtoothPattern);
    layout->addLayout(platform::ButtonRow({BTN_Accept, BTN_Cancel}));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(BTN_Accept, &QPushButton::clicked, this, [this] { BTN_AcceptClick(); });
    connect(BTN_Cancel, &QPushButton::clicked, this, [this] { BTN_CancelClick(); });
    FormShow();
}

void TAudioSupportSelector::SetAudioCaps(const Bytes& caps) {
    const int channels = std::clamp(caps[1] >> 4, kMinChannels, kMaxChannels);
    caps_ = {RateBits(caps), static_cast<uint8_t>(SizeBits(caps) | channels << 4),
             static_cast<uint8_t>(caps[2] & 0x07)};
}

QString TAudioSupportSelector::SampleRatesText() const { return JoinedNames(kSampleRates, RateBits(caps_)); }
QString TAudioSupportSelector::SampleSizesText() const { return JoinedNames(kSampleSizes, SizeBits(caps_)); }
int TAudioSupportSelector::Channels() const { return caps_[1] >> 4; }
int TAudioSupportSelector::InfoFrame() const { return caps_[2] & 1; }
int TAudioSupportSelector::AudioWithoutVideo() const { return (caps_[2] >> 1) & 1; }
int TAudioSupportSelector::SawtoothPattern() const { return (caps_[2] >> 2) & 1; }

void TAudioSupportSelector::FormShow() {
    SetCheckedBits(LV_SampleRates, RateBits(caps_));
    SetCheckedBits(LV_SampleSize, SizeBits(caps_));
    UD_LPCMChannels->setValue(Channels());
    CB_AIF->setChecked(InfoFrame() != 0);
    CB_AudioWithoutVideo->setChecked(AudioWithoutVideo() != 0);
    CB_SawtoothPattern->setChecked(SawtoothPattern() != 0);
}

void TAudioSupportSelector::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TAudioSupportSelector::BTN_AcceptClick() {
    const uint8_t rates = CheckedBits(LV_SampleRates);
    const uint8_t sizes = CheckedBits(LV_SampleSize);
    const char* refusal = nullptr;
    if (!(rates & kBaseRates)) refusal = kNoBaseRate;
    else if (!(sizes & kSize16)) refusal = kNo16Bit;
    if (refusal) {
        platform::ShowMessageBox(refusal, windowTitle().toStdString(), platform::MsgIcon::Error,
                                 platform::MsgButtons::Ok, this);
        return;
    }
    const int channels = std::clamp(UD_LPCMChannels->value(), kMinChannels, kMaxChannels);
    caps_ = {rates, static_cast<uint8_t>(sizes | channels << 4),
             static_cast<uint8_t>((CB_AIF->isChecked() ? 1 : 0) | (CB_AudioWithoutVideo->isChecked() ? 2 : 0) |
                                  (CB_SawtoothPattern->isChecked() ? 4 : 0))};
    accept();
}

void TAudioSupportSelector::BTN_CancelClick() { reject(); }

void TAudioSupportSelector::reject() {
    FormShow();
    QDialog::reject();
}
