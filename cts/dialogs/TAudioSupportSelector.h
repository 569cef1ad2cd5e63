#pragma once
// TAudioSupportSelector: the audio capabilities of the source under test, as
// three bytes that go unchanged into the last three bytes of the test
// parameter block and into the test settings file (acap0 to acap2):
//   byte 0: bit i = sample rate row i of LV_SampleRates (32 kHz .. 192 kHz); bit 7 is 0
//   byte 1: bits 0-2 = sample size row i of LV_SampleSize (16, 20, 24 bps);
//           bit 3 is 0; bits 4-7 the LPCM channel count (2 to 8)
//   byte 2: bit 0 CB_AIF, bit 1 CB_AudioWithoutVideo, bit 2 CB_SawtoothPattern; bits 3-7 are 0
// At start the bytes are 4, 33, 1. Only Accept changes them from the
// controls; showing the dialog, Cancel, Esc and the window frame set the
// controls from the bytes. The values for an audio test's header are read
// from the bytes, so they always say what is sent.

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QString>

#include <array>
#include <cstdint>

#include "cts/params/AudioCaps.h"

class TAudioSupportSelector : public QDialog {
public:
    using Bytes = ::AudioCaps::Bytes;

    explicit TAudioSupportSelector(QWidget* parent = nullptr);

    // The three capability bytes.
    const Bytes& AudioCaps() const { return caps_; }
    // Takes three bytes (a loaded settings file): reserved bits are cleared
    // and the channel count kept in 2 to 8, as the controls can show it.
    void SetAudioCaps(const Bytes& caps);

    // The audio test header's values, from the bytes: the checked rates and
    // sizes joined by ", ", the channel count, and the three flags as 0 or 1.
    QString SampleRatesText() const;
    QString SampleSizesText() const;
    int Channels() const;
    int InfoFrame() const;
    int AudioWithoutVideo() const;
    int SawtoothPattern() const;

    // Handlers.
    void FormShow();
    void BTN_AcceptClick();
    void BTN_CancelClick();

    QLabel* LBL_SampleRates;
    QListWidget* LV_SampleRates;
    QLabel* LBL_SampleSize;
    QListWidget* LV_SampleSize;
    QLabel* LBL_LPCMChannels;
    QLineEdit* Edit1;           // the text part of UD_LPCMChannels
    QSpinBox* UD_LPCMChannels;  // 2 to 8
    QCheckBox* CB_AIF;
    QCheckBox* CB_AudioWithoutVideo;
    QCheckBox* CB_SawtoothPattern;
    QPushButton* BTN_Accept;
    QPushButton* BTN_Cancel;

    // Cancel, Esc and the window frame end here.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The choice the controls show.
    AudioSupportChoice ShownChoice() const;

    Bytes caps_ = ::AudioCaps::kStart;
};
