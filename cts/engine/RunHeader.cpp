#include "cts/engine/RunHeader.h"

#include <cstdio>
#include <vector>

#include "cts/catalogue/TestCatalogue.h"
#include "cts/params/AudioCaps.h"

namespace {

const char* YesNo(bool on) { return on ? "Yes" : "No"; }

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char line[512];
    std::snprintf(line, sizeof line, format, args...);
    return line;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) text += "\r\n";
        text += lines[i];
    }
    return text;
}

// The first four lines of the link layer and audio headers.
std::vector<std::string> SourceLines(const RunHeaderInputs& in) {
    const TestParameterInputs& p = in.params;
    const std::string event = TestParameterBlock::IsEventEnabled(p) ? in.eventText : std::string("None");
    return {
        "",
        Format("Max lane count: %s, Max link rate: %s", in.laneCountText.c_str(), in.linkRateText.c_str()),
        Format("TEST_LINK_TRAINING: %s, TEST_VIDEO_PATTERN: %s, TEST_TIMING: %s, TEST_EDID_READ: %s",
               YesNo(p.testLinkTraining), YesNo(p.testVideoPattern), YesNo(p.testTiming), YesNo(p.testEdidRead)),
        Format("TEST_AUDIO_PATTERN: %s, Event indicating DUT ready: %s", YesNo(p.testAudioPattern), event.c_str()),
    };
}

std::string TimeoutLine(const TestParameterInputs& p) {
    return Format(
        "Main link disable timeout: %dms, TA reset delay (after HPD=0): %dms, TA req. delay (after HPD=1): %dms",
        static_cast<int>(p.mainLinkDisableTimeoutMs), static_cast<int>(p.afterHpdLowMs),
        static_cast<int>(p.afterHpdHighMs));
}

}  // namespace

std::string RunHeader::Text(int32_t groupOffset, const RunHeaderInputs& in) {
    const TestParameterInputs& p = in.params;
    std::vector<std::string> lines;
    if (groupOffset == TestCatalogue::kHdcpTransmitterOffset || groupOffset == TestCatalogue::kHdcpRepeaterOffset) {
        lines = {
            "",
            Format("CP_IRQ Used for R0' read: %s", YesNo(p.hdcpCaps[0])),
            Format("CP_IRQ Used for READY read: %s", YesNo(p.hdcpCaps[1])),
            Format("Output when DEVICE_COUNT=0: %s", YesNo(p.hdcpCaps[2])),
            Format("Encryption enable bootstrapping: %s", YesNo(p.hdcpCaps[3])),
            // The edit shows the position in seconds with one decimal: its
            // value in ms is the position x 100.
            Format("Authentication start timeout (ms): %d", static_cast<int>(p.authenticationStartTenths * 100)),
        };
    } else if (groupOffset == TestCatalogue::kAudioOffset) {
        lines = SourceLines(in);
        const AudioCaps::Bytes& a = p.audioCaps;
        lines.push_back(Format("Drive level 3 (1.2V): %s, Pre-emphasis level 3 (9.5dB) %s", YesNo(p.driveLevel3),
                               YesNo(p.preEmphasis3)));
        lines.push_back(Format("Spread Spectrum: %s, SSC enabled (if MAX_DOWNSPREAD=1): %s", YesNo(p.spreadSpectrum),
                               YesNo(p.sscIfMaxDownSpread)));
        lines.push_back(TimeoutLine(p));
        lines.push_back(Format("Sampling Rates: %s, Sample Sizes: %s", AudioCaps::SampleRatesText(a).c_str(),
                               AudioCaps::SampleSizesText(a).c_str()));
        lines.push_back(Format("LPCM Channels: %d, Audio Infoframe support for 2 ch audio: %s",
                               static_cast<int>(AudioCaps::Channels(a)), YesNo(AudioCaps::InfoFrame(a) != 0)));
        lines.push_back(Format("Audio transmission without video: %s, Sawtooth test pattern: %s",
                               YesNo(AudioCaps::AudioWithoutVideo(a) != 0), YesNo(AudioCaps::SawtoothPattern(a) != 0)));
    } else {
        lines = SourceLines(in);
        lines.push_back(
            Format("Video format change without re-training: %s, Lane count reduction without re-training: %s,",
                   YesNo(p.videoFormatChangeWithoutLt), YesNo(p.laneCountReductionWithoutLt)));
        lines.push_back(Format("E-DDC: %s, Drive level 3 (1.2V): %s, Pre-emphasis level 3 (9.5dB) %s,", YesNo(p.eddc),
                               YesNo(p.driveLevel3), YesNo(p.preEmphasis3)));
        lines.push_back(Format("Fixed Timing %s, Spread Spectrum: %s, SSC enabled (if MAX_DOWNSPREAD=1): %s",
                               YesNo(p.fixedTiming), YesNo(p.spreadSpectrum), YesNo(p.sscIfMaxDownSpread)));
        lines.push_back(TimeoutLine(p));
    }
    lines.emplace_back("------------");
    return Join(lines);
}
