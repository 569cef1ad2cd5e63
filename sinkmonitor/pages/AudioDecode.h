#pragma once
// Decoding of the audio status record for the Audio page: the input state
// with its lamp, the stream's channel count, sample size and frequency, and
// the IEC 60958 channel status (bytes 0 to 5) as the page shows it.
#include <QString>

#include "sinkmonitor/pages/LampState.h"
#include "sinkmonitor/transport/dpprotocol.h"

namespace selvitra {

constexpr const char* kTextNotAvailable = "N/A";

// A value label of the page; `enabled` applies to the label and to its
// caption label, where it has one.
struct AudioValue {
    QString text = kTextNotAvailable;
    bool enabled = false;
    bool operator==(const AudioValue&) const = default;
};

// Everything the page shows. A default-constructed view is the page as the
// update button resets it before it asks the sink: lamp grey, "No input",
// no standard, every value "N/A" and disabled.
struct AudioView {
    LampState inputLamp = LampState::Off;  // shASInState
    QString inputState = "No input";       // lblASInState
    QString standard;                      // lblASStandard
    AudioValue channelCount, sampleSize, sampleFrequency;
    AudioValue use, coding, copyright, mode, categoryCode, sourceNumber, channelNumber, clockAccuracy;
    AudioValue rawData;  // lblASRawData: channel status bytes 0 to 5
};

// The page for a received audio status record. Only a locked input shows the
// channel status; the stream values and the consumer fields (copyright,
// mode, category, source and channel number, clock accuracy) only in
// consumer use.
AudioView DecodeAudioStatus(const audiostatus_t& record);

}  // namespace selvitra
