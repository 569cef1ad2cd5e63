#pragma once
// The three audio capability bytes of the audio support dialog, which go
// unchanged into the last three bytes of the test parameter block:
//   byte 0: bit i = sample rate i of SampleRateCaptions(); bit 7 is 0
//   byte 1: bits 0-2 = sample size i of SampleSizeCaptions(); bit 3 is 0;
//           bits 4-7 the LPCM channel count (2 to 8)
//   byte 2: bit 0 audio InfoFrame for 2 ch audio, bit 1 audio transmission
//           without video, bit 2 sawtooth test pattern; bits 3-7 are 0
// The values the run writes into an audio test's header are read from these
// bytes, so they always say what is sent.
#include <array>
#include <cstdint>
#include <string>

// The dialog's controls: the check marks of the two lists, the channel
// up-down and the three check boxes.
struct AudioSupportChoice {
    std::array<bool, 7> sampleRates{};  // LV_SampleRates rows
    std::array<bool, 3> sampleSizes{};  // LV_SampleSize rows
    int32_t lpcmChannels = 2;           // UD_LPCMChannels
    bool infoFrame = false;             // CB_AIF
    bool audioWithoutVideo = false;     // CB_AudioWithoutVideo
    bool sawtoothPattern = false;       // CB_SawtoothPattern

    bool operator==(const AudioSupportChoice&) const = default;
};

class AudioCaps {
public:
    using Bytes = std::array<uint8_t, 3>;

    // 48 kHz; 16 bps and 2 channels; InfoFrame on, without video off, sawtooth off.
    static constexpr Bytes kStart = {4, 33, 1};
    static constexpr int32_t kMinChannels = 2;
    static constexpr int32_t kMaxChannels = 8;

    static constexpr std::array<const char*, 7> kSampleRateCaptions = {"32 kHz", "44.1 kHz",  "48 kHz", "88.2 kHz",
                                                                       "96 kHz", "176.4 kHz", "192 kHz"};
    static constexpr std::array<const char*, 3> kSampleSizeCaptions = {"16 bps", "20 bps", "24 bps"};

    static constexpr const char* kNoBaseRateMessage =
        "You must select at least one of samplerates 32 kHz, 44.1 kHz or 48 kHz";
    static constexpr const char* kNo16BitMessage = "The sample size '16 bps' is required";

    // Why Accept keeps the dialog open (the error box's text), or nullptr
    // when the choice is stored: one of 32, 44.1 or 48 kHz and 16 bps must
    // be checked.
    static const char* Refusal(const AudioSupportChoice& choice);
    // The bytes of a choice (the channel count kept in 2..8).
    static Bytes Encode(const AudioSupportChoice& choice);
    // The controls' states shown for the bytes (reserved bits ignored).
    static AudioSupportChoice Decode(const Bytes& bytes);

    // The header values: the checked rates and sizes joined by ", ", the
    // channel count, and the three flags as 0 or 1.
    static std::string SampleRatesText(const Bytes& bytes);
    static std::string SampleSizesText(const Bytes& bytes);
    static int32_t Channels(const Bytes& bytes) { return bytes[1] >> 4; }
    static int32_t InfoFrame(const Bytes& bytes) { return bytes[2] & 1; }
    static int32_t AudioWithoutVideo(const Bytes& bytes) { return (bytes[2] >> 1) & 1; }
    static int32_t SawtoothPattern(const Bytes& bytes) { return (bytes[2] >> 2) & 1; }
};
