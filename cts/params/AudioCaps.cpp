#include "cts/params/AudioCaps.h"

#include <algorithm>

namespace {

template <size_t N>
std::string JoinChecked(const std::array<const char*, N>& captions, uint8_t bits) {
    std::string text;
    for (size_t i = 0; i < N; ++i) {
        if (!(bits & (1u << i))) continue;
        if (!text.empty()) text += ", ";
        text += captions[i];
    }
    return text;
}

}  // namespace

const char* AudioCaps::Refusal(const AudioSupportChoice& choice) {
    if (!choice.sampleRates[0] && !choice.sampleRates[1] && !choice.sampleRates[2]) return kNoBaseRateMessage;
    if (!choice.sampleSizes[0]) return kNo16BitMessage;
    return nullptr;
}

AudioCaps::Bytes AudioCaps::Encode(const AudioSupportChoice& choice) {
    Bytes bytes{};
    for (size_t i = 0; i < choice.sampleRates.size(); ++i) {
        if (choice.sampleRates[i]) bytes[0] |= static_cast<uint8_t>(1u << i);
    }
    for (size_t i = 0; i < choice.sampleSizes.size(); ++i) {
        if (choice.sampleSizes[i]) bytes[1] |= static_cast<uint8_t>(1u << i);
    }
    bytes[1] |= static_cast<uint8_t>(std::clamp(choice.lpcmChannels, kMinChannels, kMaxChannels) << 4);
    bytes[2] = static_cast<uint8_t>((choice.infoFrame ? 1 : 0) | (choice.audioWithoutVideo ? 2 : 0) |
                                    (choice.sawtoothPattern ? 4 : 0));
    return bytes;
}

AudioSupportChoice AudioCaps::Decode(const Bytes& bytes) {
    AudioSupportChoice choice;
    for (size_t i = 0; i < choice.sampleRates.size(); ++i) choice.sampleRates[i] = bytes[0] & (1u << i);
    for (size_t i = 0; i < choice.sampleSizes.size(); ++i) choice.sampleSizes[i] = bytes[1] & (1u << i);
    choice.lpcmChannels = Channels(bytes);
    choice.infoFrame = InfoFrame(bytes);
    choice.audioWithoutVideo = AudioWithoutVideo(bytes);
    choice.sawtoothPattern = SawtoothPattern(bytes);
    return choice;
}

std::string AudioCaps::SampleRatesText(const Bytes& bytes) { return JoinChecked(kSampleRateCaptions, bytes[0]); }

std::string AudioCaps::SampleSizesText(const Bytes& bytes) { return JoinChecked(kSampleSizeCaptions, bytes[1]); }
