#pragma once
// The "Audio" page: the audio input state with its lamp, the stream's values
// and the IEC 60958 channel status, read on request.
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "platform/gui/Lamp.h"
#include "sinkmonitor/pages/AudioDecode.h"

namespace selvitra {

class AudioPage : public QWidget {
public:
    explicit AudioPage(QWidget* parent);

    // Shows a decoded audio status (a default view is the page reset).
    void Show(const AudioView& view);

    platform::Lamp* shASInState;
    QLabel* lblASInState;
    QLabel* lblASChannelCount;
    QLabel* lblASSampleSize;
    QLabel* lblASSampleFrequency;
    QLabel* lblASStandard;
    QLabel* lblASUse;
    QLabel* lblASCoding;
    QLabel* lblASCopyright;
    QLabel* lblASMode;
    QLabel* lblASCategoryCode;
    QLabel* lblASSourceNumber;
    QLabel* lblASChannelNumber;
    QLabel* lblASClockAccuracy;
    QLabel* lblASRawData;
    QPushButton* btnUpdateAudioStatus;

private:
    // A value label with its caption label (named after it + "Caption").
    QLabel* ValueRow(QGridLayout* grid, int row, const char* name, const char* caption);
    void ShowValue(QLabel* label, const AudioValue& value);
};

}  // namespace selvitra
