// The header lines of a run's tests and the run's texts.
#include <gtest/gtest.h>

#include <functional>

#include "cts/engine/RunHeader.h"
#include "cts/engine/RunTexts.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return lines;
        start = end + 2;
    }
}

RunHeaderInputs Defaults() {
    RunHeaderInputs in;
    in.laneCountText = "4 Lanes";
    in.linkRateText = "High 2.7 Gbps";
    in.eventText = "EDID read";
    return in;
}

struct HeaderCase {
    const char* name;
    int32_t offset;
    std::function<void(RunHeaderInputs&)> change;
    std::vector<std::string> lines;
};
void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }

class RunHeaderText : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(RunHeaderText, ShowsTheGroupsValues) {
    RunHeaderInputs in = Defaults();
    if (GetParam().change) GetParam().change(in);
    EXPECT_EQ(Lines(RunHeader::Text(GetParam().offset, in)), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Groups, RunHeaderText,
    ::testing::Values(
        HeaderCase{"LinkLayerChecked",
                   0,
                   [](RunHeaderInputs& in) {
                       TestParameterInputs& p = in.params;
                       p.testTiming = false;
                       p.videoFormatChangeWithoutLt = true;
                       p.eddc = true;
                       p.preEmphasis3 = true;
                       p.fixedTiming = true;
                       p.sscIfMaxDownSpread = true;
                       p.mainLinkDisableTimeoutMs = 2500;
                       p.afterHpdLowMs = 5;
                       p.afterHpdHighMs = 20000;
                   },
                   {"", "Max lane count: 4 Lanes, Max link rate: High 2.7 Gbps",
                    "TEST_LINK_TRAINING: Yes, TEST_VIDEO_PATTERN: Yes, TEST_TIMING: No, TEST_EDID_READ: Yes",
                    "TEST_AUDIO_PATTERN: Yes, Event indicating DUT ready: EDID read",
                    "Video format change without re-training: Yes, Lane count reduction without re-training: No,",
                    "E-DDC: Yes, Drive level 3 (1.2V): No, Pre-emphasis level 3 (9.5dB) Yes,",
                    "Fixed Timing Yes, Spread Spectrum: No, SSC enabled (if MAX_DOWNSPREAD=1): Yes",
                    "Main link disable timeout: 2500ms, TA reset delay (after HPD=0): 5ms, TA req. delay (after "
                    "HPD=1): 20000ms",
                    "------------"}},
        // No event can be chosen without EDID read, video pattern or link training.
        HeaderCase{"LinkLayerNoEvent",
                   0,
                   [](RunHeaderInputs& in) {
                       in.params.testEdidRead = in.params.testVideoPattern = in.params.testLinkTraining = false;
                   },
                   {"", "Max lane count: 4 Lanes, Max link rate: High 2.7 Gbps",
                    "TEST_LINK_TRAINING: No, TEST_VIDEO_PATTERN: No, TEST_TIMING: Yes, TEST_EDID_READ: No",
                    "TEST_AUDIO_PATTERN: Yes, Event indicating DUT ready: None",
                    "Video format change without re-training: No, Lane count reduction without re-training: No,",
                    "E-DDC: No, Drive level 3 (1.2V): No, Pre-emphasis level 3 (9.5dB) No,",
                    "Fixed Timing No, Spread Spectrum: No, SSC enabled (if MAX_DOWNSPREAD=1): No",
                    "Main link disable timeout: 2000ms, TA reset delay (after HPD=0): 700ms, TA req. delay (after "
                    "HPD=1): 0ms",
                    "------------"}},
        HeaderCase{"Audio",
                   64,
                   [](RunHeaderInputs& in) {
                       in.params.driveLevel3 = true;
                       in.params.spreadSpectrum = true;
                       in.params.audioCaps = {0x15, 0x63, 0x06};  // 32, 48, 96 kHz; 16, 20 bps; 6 ch; flags 1, 2
                   },
                   {"", "Max lane count: 4 Lanes, Max link rate: High 2.7 Gbps",
                    "TEST_LINK_TRAINING: Yes, TEST_VIDEO_PATTERN: Yes, TEST_TIMING: Yes, TEST_EDID_READ: Yes",
                    "TEST_AUDIO_PATTERN: Yes, Event indicating DUT ready: EDID read",
                    "Drive level 3 (1.2V): Yes, Pre-emphasis level 3 (9.5dB) No",
                    "Spread Spectrum: Yes, SSC enabled (if MAX_DOWNSPREAD=1): No",
                    "Main link disable timeout: 2000ms, TA reset delay (after HPD=0): 700ms, TA req. delay (after "
                    "HPD=1): 0ms",
                    "Sampling Rates: 32 kHz, 48 kHz, 96 kHz, Sample Sizes: 16 bps, 20 bps",
                    "LPCM Channels: 6, Audio Infoframe support for 2 ch audio: No",
                    "Audio transmission without video: Yes, Sawtooth test pattern: Yes", "------------"}},
        HeaderCase{
            "HdcpRepeater",
            144,
            [](RunHeaderInputs& in) {
                in.params.hdcpCaps = {true, false, true, false};
                in.params.authenticationStartTenths = 105;
            },
            {"", "CP_IRQ Used for R0' read: Yes", "CP_IRQ Used for READY read: No", "Output when DEVICE_COUNT=0: Yes",
             "Encryption enable bootstrapping: No", "Authentication start timeout (ms): 10500", "------------"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RunTexts, ResultLinesAndLinkResultWords) {
    TestResultRecord failed(std::array<uint8_t, 84>{0, 0, 200, 3, 'x', '<', 'y'});
    EXPECT_EQ(RunTexts::ResultLine(7, failed), "Test 7 FAILED, step -56, substep 3: x<y.");
    EXPECT_EQ(RunTexts::ResultLine(7, TestResultRecord(std::array<uint8_t, 84>{1})), "Test 7 PASSED.");
    EXPECT_EQ(RunTexts::ResultLine(7, TestResultRecord(std::array<uint8_t, 84>{2, 0, 0, 0, 'n', 'o'})),
              "Test 7 SKIPPED: no");
    EXPECT_EQ(RunTexts::ResultLine(7, TestResultRecord(std::array<uint8_t, 84>{3})), "Test 7 TIMEOUT.");
    EXPECT_EQ(RunTexts::ResultLine(7, TestResultRecord(std::array<uint8_t, 84>{4})), "");
    const std::vector<std::pair<int, const char*>> words = {{2, "Communications failure; Too many retries."},
                                                            {3, "Response - unexpected packet type."},
                                                            {4, "Internal error trigger encountered: Contact Merovan."},
                                                            {5, "Communications failure; Line busy."},
                                                            {6, "No response from remote end."},
                                                            {7, "Invalid result"},
                                                            {8, "Invalid result"}};
    for (const auto& [result, text] : words) EXPECT_STREQ(RunTexts::LinkResultText(result), text) << result;
}

}  // namespace
