#include "cts/dialogs/TAudioSupportSelector.h"

#include <QHBoxLayout>
#include <QLocale>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/MessageBox.h"
#include "platform/gui/FormKit.h"

using platform::Button;
using platform::Named;
using platform::PlainLabel;

namespace {

void FillList(QListWidget* list, const auto& captions) {
    for (const char* caption : captions) {
        auto* item = new QListWidgetItem(QString::fromLatin1(caption), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

template <size_t N>
std::array<bool, N> CheckMarks(const QListWidget* list) {
    std::array<bool, N> checks{};
    for (size_t i = 0; i < N; ++i) checks[i] = list->item(static_cast<int>(i))->checkState() == Qt::Checked;
    return checks;
}

template <size_t N>
void ShowCheckMarks(QListWidget* list, const std::array<bool, N>& checks) {
    for (size_t i = 0; i < N; ++i)
        list->item(static_cast<int>(i))->setCheckState(checks[i] ? Qt::Checked : Qt::Unchecked);
}

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
    // Numbers are read and shown in ASCII digits only, whatever the user's
    // locale: the up-downs (children inherit this) take no other digits.
    setLocale(QLocale::c());
    setModal(true);

    LBL_SampleRates = PlainLabel(this, "LBL_SampleRates", QStringLiteral("Sampling rates:"));
    LV_SampleRates = Named<QListWidget>(this, "LV_SampleRates");
    FillList(LV_SampleRates, ::AudioCaps::kSampleRateCaptions);
    LBL_SampleSize = PlainLabel(this, "LBL_SampleSize", QStringLiteral("Sample Sizes:"));
    LV_SampleSize = Named<QListWidget>(this, "LV_SampleSize");
    FillList(LV_SampleSize, ::AudioCaps::kSampleSizeCaptions);
    FitToRows(LV_SampleRates);
    FitToRows(LV_SampleSize);

    auto* channels = platform::Panel(this, "Panel1");
    channels->setFrameShape(QFrame::StyledPanel);
    LBL_LPCMChannels = PlainLabel(channels, "LBL_LPCMChannels", QStringLiteral("LPCM channels: (2- 8)"));
    UD_LPCMChannels = Named<QSpinBox>(channels, "UD_LPCMChannels");
    UD_LPCMChannels->setRange(::AudioCaps::kMinChannels, ::AudioCaps::kMaxChannels);
    UD_LPCMChannels->setValue(::AudioCaps::kMinChannels);
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

void TAudioSupportSelector::SetAudioCaps(const Bytes& caps) { caps_ = ::AudioCaps::Encode(::AudioCaps::Decode(caps)); }

QString TAudioSupportSelector::SampleRatesText() const {
    return QString::fromStdString(::AudioCaps::SampleRatesText(caps_));
}
QString TAudioSupportSelector::SampleSizesText() const {
    return QString::fromStdString(::AudioCaps::SampleSizesText(caps_));
}
int TAudioSupportSelector::Channels() const { return ::AudioCaps::Channels(caps_); }
int TAudioSupportSelector::InfoFrame() const { return ::AudioCaps::InfoFrame(caps_); }
int TAudioSupportSelector::AudioWithoutVideo() const { return ::AudioCaps::AudioWithoutVideo(caps_); }
int TAudioSupportSelector::SawtoothPattern() const { return ::AudioCaps::SawtoothPattern(caps_); }

AudioSupportChoice TAudioSupportSelector::ShownChoice() const {
    AudioSupportChoice choice;
    choice.sampleRates = CheckMarks<7>(LV_SampleRates);
    choice.sampleSizes = CheckMarks<3>(LV_SampleSize);
    choice.lpcmChannels = UD_LPCMChannels->value();
    choice.infoFrame = CB_AIF->isChecked();
    choice.audioWithoutVideo = CB_AudioWithoutVideo->isChecked();
    choice.sawtoothPattern = CB_SawtoothPattern->isChecked();
    return choice;
}

void TAudioSupportSelector::FormShow() {
    const AudioSupportChoice choice = ::AudioCaps::Decode(caps_);
    ShowCheckMarks(LV_SampleRates, choice.sampleRates);
    ShowCheckMarks(LV_SampleSize, choice.sampleSizes);
    UD_LPCMChannels->setValue(choice.lpcmChannels);
    CB_AIF->setChecked(choice.infoFrame);
    CB_AudioWithoutVideo->setChecked(choice.audioWithoutVideo);
    CB_SawtoothPattern->setChecked(choice.sawtoothPattern);
}

void TAudioSupportSelector::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TAudioSupportSelector::BTN_AcceptClick() {
    const AudioSupportChoice choice = ShownChoice();
    if (const char* refusal = ::AudioCaps::Refusal(choice)) {
        platform::ShowMessageBox(refusal, windowTitle().toStdString(), platform::MsgIcon::Error,
                                 platform::MsgButtons::Ok, this);
        return;
    }
    caps_ = ::AudioCaps::Encode(choice);
    accept();
}

void TAudioSupportSelector::BTN_CancelClick() { reject(); }

void TAudioSupportSelector::reject() {
    FormShow();
    QDialog::reject();
}
