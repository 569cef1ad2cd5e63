// Audio page: input state, stream values and the IEC 60958 channel status.
#include <gtest/gtest.h>

#include "sinkmonitor/QtPrint.h"
#include "sinkmonitor/pages/AudioDecode.h"

namespace selvitra {
void PrintTo(const AudioValue& v, std::ostream* os) {
    *os << '"' << v.text.toStdString() << '"' << (v.enabled ? " enabled" : " disabled");
}
}  // namespace selvitra

namespace {

using selvitra::AudioValue;
using selvitra::AudioView;
using selvitra::DecodeAudioStatus;
using selvitra::LampState;

const AudioValue kReset{"N/A", false};

audiostatus_t Status(uint8_t input, std::array<uint8_t, 6> cs = {}, uint8_t channels = 2, uint8_t sampleSize = 24,
                     uint32_t frequency = 48000) {
    audiostatus_t r{};
    r[0] = input;
    r[1] = channels;
    r[2] = sampleSize;
    for (int i = 0; i < 4; ++i) r[3 + i] = uint8_t(frequency >> (8 * i));
    std::copy(cs.begin(), cs.end(), r.begin() + 7);
    return r;
}

std::vector<AudioValue> ConsumerFields(const AudioView& v) {
    return {v.channelCount, v.sampleSize,   v.sampleFrequency, v.copyright,    v.mode,
            v.categoryCode, v.sourceNumber, v.channelNumber,   v.clockAccuracy};
}
std::vector<AudioValue> AllValues(const AudioView& v) {
    auto all = ConsumerFields(v);
    all.insert(all.end(), {v.use, v.coding, v.rawData});
    return all;
}

TEST(DecodeAudioStatus, TheResetPageShowsNoInputAndEveryValueUnavailable) {
    const AudioView reset;
    EXPECT_EQ(reset.inputLamp, LampState::Off);
    EXPECT_EQ(reset.inputState, "No input");
    EXPECT_EQ(reset.standard, "");
    for (const auto& value : AllValues(reset)) EXPECT_EQ(value, kReset);
}

TEST(DecodeAudioStatus, OnlyALockedInputShowsTheChannelStatus) {
    const struct {
        uint8_t input;
        LampState lamp;
        const char* text;
        bool decoded;
    } cases[] = {
        {0x00, LampState::Off, "No input", false},   {0x01, LampState::Fault, "Unlocked", false},
        {0x02, LampState::On, "Locked", true},       {0x03, LampState::Off, "No input", false},  // undefined: as reset
        {0xFE, LampState::On, "Locked", true},  // bits above 1-0 are not the state
        {0xFD, LampState::Fault, "Unlocked", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "input byte 0x" << std::hex << int(c.input));
        const auto view = DecodeAudioStatus(Status(c.input, {0x04, 0, 0, 0x10, 0, 0}));
        EXPECT_EQ(view.inputLamp, c.lamp);
        EXPECT_EQ(view.inputState, c.text);
        EXPECT_EQ(view.use.enabled, c.decoded);
        EXPECT_EQ(view.channelCount.enabled, c.decoded);
        if (!c.decoded) {
            EXPECT_EQ(view.standard, "");
            for (const auto& value : AllValues(view)) EXPECT_EQ(value, kReset);
        }
    }
}

TEST(DecodeAudioStatus, ConsumerLpcmShowsEveryField) {
    // cs0 0x04: consumer, LPCM, no copyright asserted; cs3 0x10: clock Level I.
    const auto v = DecodeAudioStatus(Status(2, {0x04, 0x00, 0x00, 0x10, 0x00, 0x00}));
    EXPECT_EQ(v.standard, "(IEC-60958-3)");
    EXPECT_EQ(v.use, (AudioValue{"Consumer", true}));
    EXPECT_EQ(v.coding, (AudioValue{"LPCM", true}));
    EXPECT_EQ(v.copyright, (AudioValue{"No", true}));
    EXPECT_EQ(v.clockAccuracy, (AudioValue{"Level I", true}));
    EXPECT_EQ(v.channelCount, (AudioValue{"2", true}));
    EXPECT_EQ(v.sampleSize, (AudioValue{"24", true}));
    EXPECT_EQ(v.sampleFrequency, (AudioValue{"48000", true}));
    EXPECT_EQ(v.rawData, (AudioValue{"04 00 00 10 00 00", true}));
}

TEST(DecodeAudioStatus, ConsumerFieldsComeFromTheirBits) {
    // cs0 0xC0: mode 3, copyright asserted; cs1 category 0x0A; cs2 0x21:
    // source 1, channel 2; cs5 reaches the raw bytes only.
    const auto v = DecodeAudioStatus(Status(2, {0xC0, 0x0A, 0x21, 0x00, 0x00, 0xEF}, 8, 16, 0x80000000u));
    EXPECT_EQ(v.copyright.text, "Yes");
    EXPECT_EQ(v.mode.text, "3");
    EXPECT_EQ(v.categoryCode.text, "0A");
    EXPECT_EQ(v.sourceNumber.text, "1");
    EXPECT_EQ(v.channelNumber.text, "2");
    EXPECT_EQ(v.clockAccuracy.text, "Level II");
    EXPECT_EQ(v.channelCount.text, "8");
    EXPECT_EQ(v.sampleSize.text, "16");
    EXPECT_EQ(v.sampleFrequency.text, "2147483648");  // all 32 bits, unsigned
    EXPECT_EQ(v.rawData.text, "C0 0A 21 00 00 EF");
    EXPECT_EQ(DecodeAudioStatus(Status(2, {}, 2, 24, 192000)).sampleFrequency.text, "192000");
}

TEST(DecodeAudioStatus, ClockAccuracyFromBitsFiveAndFourOfByteThree) {
    const std::pair<uint8_t, const char*> cases[] = {
        {0x00, "Level II"}, {0x10, "Level I"}, {0x20, "Level III"}, {0x30, "Not matched"}, {0xCF, "Level II"}};
    for (const auto& [cs3, text] : cases)
        EXPECT_EQ(DecodeAudioStatus(Status(2, {0, 0, 0, cs3, 0, 0})).clockAccuracy.text, text) << int(cs3);
}

TEST(DecodeAudioStatus, StandardAndCodingFromTheLowBitsOfByteZero) {
    const struct {
        uint8_t cs0;
        const char *standard, *use, *coding;
    } cases[] = {
        {0x00, "(IEC-60958-3)", "Consumer", "LPCM"},
        {0x01, "(IEC-60958-4)", "Professional", "LPCM"},
        {0x02, "(IEC-61937)", "Consumer", "Compressed"},
        {0x03, "(SMPTE-337M)", "Professional", "Compressed"},
    };
    for (const auto& c : cases) {
        const auto v = DecodeAudioStatus(Status(2, {c.cs0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(v.standard, c.standard);
        EXPECT_EQ(v.use.text, c.use);
        EXPECT_EQ(v.coding.text, c.coding);
    }
}

TEST(DecodeAudioStatus, ProfessionalUseLeavesTheConsumerFieldsUnavailable) {
    const auto v = DecodeAudioStatus(Status(2, {0x01, 0x0A, 0x21, 0x10, 0, 0}));
    EXPECT_EQ(v.standard, "(IEC-60958-4)");
    EXPECT_EQ(v.use, (AudioValue{"Professional", true}));
    EXPECT_EQ(v.coding, (AudioValue{"LPCM", true}));
    EXPECT_EQ(v.rawData, (AudioValue{"01 0A 21 10 00 00", true}));
    for (const auto& value : ConsumerFields(v)) EXPECT_EQ(value, kReset);
}

}  // namespace
