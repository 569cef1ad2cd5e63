#include "sinkmonitor/pages/AudioPage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "platform/gui/FormKit.h"

namespace selvitra {

using platform::Button;
using platform::Lamp;
using platform::Named;
using platform::PlainLabel;

namespace {
QLabel* CaptionOf(QLabel* value) {
    return value->parentWidget()->findChild<QLabel*>(value->objectName() + QStringLiteral("Caption"));
}
}  // namespace

QLabel* AudioPage::ValueRow(QGridLayout* grid, int row, const char* name, const char* caption) {
    QWidget* box = grid->parentWidget();
    grid->addWidget(PlainLabel(box, (QByteArray(name) + "Caption").constData(), QString::fromLatin1(caption)), row, 0);
    QLabel* value = PlainLabel(box, name, QString::fromLatin1(kTextNotAvailable));
    grid->addWidget(value, row, 1);
    return value;
}

AudioPage::AudioPage(QWidget* parent) : QWidget(parent) {
    setObjectName("tbsAudio");
    auto* page = new QVBoxLayout(this);
    auto* gbAudio = Named<QGroupBox>(this, "gbAudioStatus", QStringLiteral("Audio status"));
    page->addWidget(gbAudio);
    page->addStretch(1);
    auto* audio = new QGridLayout(gbAudio);

    auto* input = new QHBoxLayout;
    shASInState = Named<Lamp>(gbAudio, "shASInState");
    input->addWidget(shASInState);
    lblASInState = PlainLabel(gbAudio, "lblASInState", QStringLiteral("No input"));
    input->addWidget(lblASInState, 1);
    audio->addLayout(input, 0, 0, 1, 2);

    auto* stream = new QGridLayout;
    audio->addLayout(stream, 1, 0, Qt::AlignTop);
    lblASChannelCount = ValueRow(stream, 0, "lblASChannelCount", "Channel count");
    lblASSampleSize = ValueRow(stream, 1, "lblASSampleSize", "Sample size");
    lblASSampleFrequency = ValueRow(stream, 2, "lblASSampleFrequency", "Sample frequency");
    // The grid's widgets belong to the group box; captions are found there.

    auto* gbStatus = Named<QGroupBox>(gbAudio, "gbASChannelStatus", QStringLiteral("Audio channel status"));
    auto* status = new QGridLayout(gbStatus);
    lblASStandard = PlainLabel(gbStatus, "lblASStandard");
    status->addWidget(lblASStandard, 0, 0, 1, 2);
    lblASUse = ValueRow(status, 1, "lblASUse", "Use");
    lblASCoding = ValueRow(status, 2, "lblASCoding", "Coding");
    lblASCopyright = ValueRow(status, 3, "lblASCopyright", "Copyright");
    lblASMode = ValueRow(status, 4, "lblASMode", "Mode");
    lblASCategoryCode = ValueRow(status, 5, "lblASCategoryCode", "Category code");
    lblASSourceNumber = ValueRow(status, 6, "lblASSourceNumber", "Source number");
    lblASChannelNumber = ValueRow(status, 7, "lblASChannelNumber", "Channel number");
    lblASClockAccuracy = ValueRow(status, 8, "lblASClockAccuracy", "Clock accuracy");
    status->setColumnStretch(2, 1);
    audio->addWidget(gbStatus, 1, 1);

    auto* gbRaw = Named<QGroupBox>(gbAudio, "gbASRawData", QStringLiteral("Audio channel status (bytes 0-5)"));
    auto* raw = new QHBoxLayout(gbRaw);
    lblASRawData = PlainLabel(gbRaw, "lblASRawData", QString::fromLatin1(kTextNotAvailable));
    raw->addWidget(lblASRawData);
    audio->addWidget(gbRaw, 2, 0, 1, 2);

    btnUpdateAudioStatus = Button(gbAudio, "btnUpdateAudioStatus", QStringLiteral("Update"));
    audio->addWidget(btnUpdateAudioStatus, 3, 1, Qt::AlignRight);
    audio->setColumnStretch(1, 1);

    Show(AudioView{});
}

void AudioPage::ShowValue(QLabel* label, const AudioValue& value) {
    label->setText(value.text);
    label->setEnabled(value.enabled);
    if (QLabel* caption = CaptionOf(label)) caption->setEnabled(value.enabled);
}

void AudioPage::Show(const AudioView& view) {
    shASInState->SetState(static_cast<Lamp::State>(view.inputLamp));
    lblASInState->setText(view.inputState);
    lblASStandard->setText(view.standard);
    ShowValue(lblASChannelCount, view.channelCount);
    ShowValue(lblASSampleSize, view.sampleSize);
    ShowValue(lblASSampleFrequency, view.sampleFrequency);
    ShowValue(lblASUse, view.use);
    ShowValue(lblASCoding, view.coding);
    ShowValue(lblASCopyright, view.copyright);
    ShowValue(lblASMode, view.mode);
    ShowValue(lblASCategoryCode, view.categoryCode);
    ShowValue(lblASSourceNumber, view.sourceNumber);
    ShowValue(lblASChannelNumber, view.channelNumber);
    ShowValue(lblASClockAccuracy, view.clockAccuracy);
    ShowValue(lblASRawData, view.rawData);
}

}  // namespace selvitra
