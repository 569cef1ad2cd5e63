#include "sinkmonitor/pages/AudioDecode.h"

#include <QStringList>

namespace selvitra {

namespace {

// Record layout: byte 0 bits 1-0 input state, 1 channel count, 2 sample
// size, 3-6 sample frequency (32 bits, little-endian), 7-12 the IEC 60958
// channel status bytes 0 to 5.
constexpr size_t kInput = 0, kChannels = 1, kSampleSize = 2, kFrequency = 3, kChannelStatus = 7;
constexpr size_t kChannelStatusBytes = 6;
enum InputState { kNoInput = 0, kUnlocked = 1, kLocked = 2 };

QString Hex2(uint8_t value) { return QStringLiteral("%1").arg(value, 2, 16, QChar(u'0')).toUpper(); }
AudioValue Shown(const QString& text) { return {text, true}; }

// Channel status byte 0, bits 1-0: professional use (bit 0) and compressed
// data (bit 1) together name the standard the stream follows.
QString Standard(uint8_t cs0) {
    static const char* const kStandard[4] = {"(IEC-60958-3)", "(IEC-60958-4)", "(IEC-61937)", "(SMPTE-337M)"};
    return kStandard[cs0 & 0x03];
}

// Channel status byte 3, bits 5-4: the sampling frequency's clock accuracy.
QString ClockAccuracy(uint8_t cs3) {
    static const char* const kLevel[4] = {"Level II", "Level I", "Level III", "Not matched"};
    return kLevel[(cs3 >> 4) & 0x03];
}

void DecodeConsumer(const audiostatus_t& r, const uint8_t* cs, AudioView& v) {
    const uint32_t frequency =
        r[kFrequency] | (r[kFrequency + 1] << 8) | (r[kFrequency + 2] << 16) | (uint32_t(r[kFrequency + 3]) << 24);
    v.channelCount = Shown(QString::number(r[kChannels]));
    v.sampleSize = Shown(QString::number(r[kSampleSize]));
    v.sampleFrequency = Shown(QString::number(frequency));
    v.copyright = Shown((cs[0] & 0x04) ? "No" : "Yes");  // bit 2 set: no copyright asserted
    v.mode = Shown(QString::number(cs[0] >> 6));
    v.categoryCode = Shown(Hex2(cs[1]));
    v.sourceNumber = Shown(QString::number(cs[2] & 0x0F));
    v.channelNumber = Shown(QString::number(cs[2] >> 4));
    v.clockAccuracy = Shown(ClockAccuracy(cs[3]));
}

void DecodeLocked(const audiostatus_t& r, AudioView& v) {
    const uint8_t* cs = r.data() + kChannelStatus;
    v.use = Shown((cs[0] & 0x01) ? "Professional" : "Consumer");
    v.coding = Shown((cs[0] & 0x02) ? "Compressed" : "LPCM");
    QStringList raw;
    for (size_t i = 0; i < kChannelStatusBytes; ++i) raw << Hex2(cs[i]);
    v.rawData = Shown(raw.join(u' '));
    v.standard = Standard(cs[0]);
    if (!(cs[0] & 0x01)) DecodeConsumer(r, cs, v);
}

}  // namespace

AudioView DecodeAudioStatus(const audiostatus_t& record) {
    AudioView view;
    switch (record[kInput] & 0x03) {
        case kNoInput:
            break;
        case kUnlocked:
            view.inputLamp = LampState::Fault;
            view.inputState = "Unlocked";
            break;
        case kLocked:
            view.inputLamp = LampState::On;
            view.inputState = "Locked";
            DecodeLocked(record, view);
            break;
        default:
            break;  // state 3 is not defined: the page stays as reset
    }
    return view;
}

}  // namespace selvitra
