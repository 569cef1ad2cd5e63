#pragma once
// The 20 bytes sent after the test ID with every start-test request, and the
// extra time-out of the run, built by "Run Tests" from the test pages'
// controls and the parameter dialogs. The window fills TestParameterInputs
// (after normalising every parameter edit, so the block holds what it shows);
// the build itself is pure.
//
//  byte  content
//   0    0
//   1    max lane count 1, 2 or 4
//   2    0
//   3    max link rate code 0x06 (1.62 Gbps) or 0x0A (2.7 Gbps)
//   4    0
//   5    test automation: bit 0 TEST_LINK_TRAINING, 1 TEST_EDID_READ,
//        2 TEST_VIDEO_PATTERN, 3-4 the event item when an event can be
//        chosen (no item: 3), 5 TEST_TIMING, 6 TEST_AUDIO_PATTERN
//   6    HDCP: bits 0-3 the four HDCP capability boxes, bit 4 SSC enabled if
//        MAX_DOWNSPREAD=1
//   7    DUT: bit 0 video format change without LT, 1 lane count reduction
//        without LT, 2 SSC, 3 E-DDC, 4 drive level 3, 5 pre-emphasis level 3,
//        6 fixed timing, 7 "Show print packets"
//   8-9  TA reset delay after HPD=0, ms, high byte first
//  10-11 TA request delay after HPD=1, ms, high byte first
//  12-14 most-packed timing table indexes for 1, 2 and 4 lanes
//  15-16 high byte first: on an HDCP page the authentication start time-out
//        in ms, elsewhere the main link disable time-out in ms
//  17-19 the three audio capability bytes
#include <array>
#include <cstddef>
#include <cstdint>

#include "cts/params/AudioCaps.h"
#include "cts/params/AuthenticationStartTimeout.h"
#include "cts/params/MostPackedTimings.h"
#include "cts/params/ParameterEdits.h"

// The values "Run Tests" reads, as the controls hold them. The defaults are
// the controls' start values.
struct TestParameterInputs {
    // Test page controls.
    int laneCountItem = 0;  // CB_SupportTXLanes item; -1 when none is selected
    int linkRateItem = 0;   // CB_SupportTXLinkRate item; -1 when none is selected
    int32_t afterHpdLowMs = ParameterEdits::kAfterHpdLowRange.start;                        // UD_HPDLo position
    int32_t afterHpdHighMs = ParameterEdits::kAfterHpdHighRange.start;                      // UD_HPDHi position
    int32_t mainLinkDisableTimeoutMs = ParameterEdits::kMainLinkDisableTimeoutRange.start;  // UD_Tout position
    bool hdcpPage = false;                                                         // the HDCP side panel is shown
    std::array<bool, 4> hdcpCaps{};                                                // CH_HDCP_0 .. CH_HDCP_3
    int32_t authenticationStartTenths = AuthenticationStartTimeout::kStartTenths;  // UD_AuthenticationStartTO position
    bool showPrintPackets = false;  // the status list's "Show print packets" item is checked

    // TTestAutomation.
    bool testLinkTraining = true;  // CH_LinkTraining
    bool testEdidRead = true;      // CH_EDID
    bool testVideoPattern = true;  // CH_Pattern
    bool testTiming = true;        // CH_TEST_TIMING
    bool testAudioPattern = true;  // CH_TEST_AUDIO
    int eventItem = 3;             // CB_Event item; -1 when none is selected

    // TDutCapsForm.
    bool videoFormatChangeWithoutLt = false;   // CH_VFCWOLT
    bool laneCountReductionWithoutLt = false;  // CH_LCRWOLT
    bool spreadSpectrum = false;               // CB_SpreadSpectrum
    bool sscIfMaxDownSpread = false;           // CB_SCC_IfMaxDownSpread
    bool eddc = false;                         // CH_EDDC
    bool driveLevel3 = false;                  // CH_DriveLevel
    bool preEmphasis3 = false;                 // CH_PreEmphasis
    bool fixedTiming = false;                  // CH_FixedTiming

    // TTimingSelection::GetLane1Index, GetLane2Index, GetLane4Index.
    int32_t lane1Index = MostPackedTimings::Lists()[MostPackedTimings::kOneLane].startIndex;
    int32_t lane2Index = MostPackedTimings::Lists()[MostPackedTimings::kTwoLanes].startIndex;
    int32_t lane4Index = MostPackedTimings::Lists()[MostPackedTimings::kFourLanes].startIndex;

    // TAudioSupportSelector::AudioCaps.
    AudioCaps::Bytes audioCaps = AudioCaps::kStart;
};

class TestParameterBlock {
public:
    static constexpr size_t kSize = 20;

    // The combo items of the maximum lane count and link rate, and what
    // each puts into the block.
    static constexpr std::array<const char*, 3> kLaneCountItems = {"1 Lane", "2 Lanes", "4 Lanes"};
    static constexpr std::array<uint8_t, 3> kLaneCounts = {1, 2, 4};
    static constexpr std::array<const char*, 2> kLinkRateItems = {"Low 1.62 Gbps", "High 2.7 Gbps"};
    static constexpr std::array<uint8_t, 2> kLinkRateCodes = {0x06, 0x0A};

    static constexpr const char* kNoLaneCountMessage = "Choose a max lane count first";
    static constexpr const char* kNoLinkRateMessage = "Choose a max link rate first";

    // What "Run Tests" gets: the block and the extra time-out (100 ms units),
    // or, with no lane count or no link rate chosen, the message to show
    // (and nothing starts).
    struct Build {
        const char* message = nullptr;  // nullptr when built
        std::array<uint8_t, kSize> block{};
        int32_t extraTimeout100ms = 0;

        bool Ok() const { return message == nullptr; }
    };
    static Build FromInputs(const TestParameterInputs& inputs);

    // Whether the event choice of the test automation counts: one of
    // TEST_EDID_READ, TEST_VIDEO_PATTERN and TEST_LINK_TRAINING is set.
    static bool IsEventEnabled(const TestParameterInputs& inputs) {
        return inputs.testEdidRead || inputs.testVideoPattern || inputs.testLinkTraining;
    }
    // Added to the link time-out of every start-test request: on an HDCP page
    // the authentication start time-out in tenths, elsewhere the main link
    // disable time-out / 100 (truncating).
    static int32_t ExtraTimeout100ms(const TestParameterInputs& inputs);
};
