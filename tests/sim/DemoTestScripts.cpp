#include "sim/DemoTestScripts.h"

#include <string>

namespace sim {

namespace {

// Result codes of the test-result record.
constexpr int8_t kFailed = 0;
constexpr int8_t kPassed = 1;
constexpr int8_t kSkipped = 2;
constexpr int8_t kTimedOut = 3;
constexpr int8_t kPromptProceed = 4;
constexpr int8_t kGoOn = 5;
constexpr int8_t kPromptProceed6 = 6;
constexpr int8_t kQuestionPassFail = 7;
constexpr int8_t kRequirements = 8;
constexpr int8_t kAudioChannels = 9;

// Link-training packet kinds.
constexpr uint8_t kLaneSet = 1;
constexpr uint8_t kAdjustRequest = 2;
constexpr uint8_t kLaneStatus = 3;
constexpr uint8_t kCrDone = 4;
constexpr uint8_t kPatternSet = 5;
constexpr uint8_t kCapability = 6;
constexpr uint8_t kTestLinkTraining = 7;
constexpr uint8_t kWaitResponse = 8;
constexpr uint8_t kLinkDisableTimeout = 9;
constexpr uint8_t kLongHpdPulse = 10;

constexpr uint8_t kRate162 = 0x06;
constexpr uint8_t kRate270 = 0x0A;

// How long the instrument takes before a test's result is ready; well below
// the shortest test time-out (1 s link time-out, 2 s more).
constexpr uint32_t kShortTestMs = 600;
constexpr uint32_t kLongTestMs = 1500;

TestStep Step(Bytes result, Bytes log = {}, uint32_t holdMs = kShortTestMs) {
    TestStep s;
    s.result = std::move(result);
    s.log = std::move(log);
    s.holdMs = holdMs;
    return s;
}

TestRun Run(std::vector<TestStep> steps) { return TestRun{std::move(steps)}; }

// A run of one step, the test's outcome.
TestScript Outcome(Bytes result, Bytes log = {}, uint32_t holdMs = kShortTestMs) {
    return {Run({Step(std::move(result), std::move(log), holdMs)})};
}

// Each lane's TRAINING_LANEx_SET byte for a swing and pre-emphasis level.
std::vector<uint8_t> LaneSet(int lanes, uint8_t swing, uint8_t preEmphasis) {
    uint8_t b = static_cast<uint8_t>(swing | (preEmphasis << 3));
    if (swing == 3) b |= 0x04;        // max swing reached
    if (preEmphasis == 3) b |= 0x20;  // max pre-emphasis reached
    return std::vector<uint8_t>(static_cast<size_t>(lanes), b);
}

// One nibble per lane, lanes 0 and 1 in the first byte (lane 0 low).
std::vector<uint8_t> PerLane(uint8_t nibble) {
    return {static_cast<uint8_t>(nibble * 0x11), static_cast<uint8_t>(nibble * 0x11)};
}

// A successful training at `lanes` lanes and `rate`: clock recovery with one
// swing increase, then channel equalisation with one pre-emphasis increase.
Bytes Training(uint8_t lanes, uint8_t rate) {
    const std::string gbps = rate == kRate270 ? "2.7" : "1.62";
    const auto l = static_cast<uint8_t>(lanes);
    return Concat({
        TrainingPacket(kCapability, 0, {static_cast<uint8_t>((rate << 4) | lanes)}),
        TrainingPacket(kTestLinkTraining, 0),
        TrainingPacket(kWaitResponse, 0),
        TrainingPacket(kPatternSet, 0, {0x21}),
        TrainingPacket(kLaneSet, l, LaneSet(lanes, 0, 0)),
        TrainingPacket(kAdjustRequest, l, PerLane(0x1)),
        TrainingPacket(kLaneSet, l, LaneSet(lanes, 1, 0)),
        TrainingPacket(kCrDone, l, PerLane(0x1)),
        TrainingPacket(kPatternSet, 0, {0x22}),
        TrainingPacket(kAdjustRequest, l, PerLane(0x5)),
        TrainingPacket(kLaneSet, l, LaneSet(lanes, 1, 1)),
        TrainingPacket(kLaneStatus, l, PerLane(0x7)),
        TrainingPacket(kPatternSet, 0, {0x00}),
        LogLine("Link trained: " + std::to_string(lanes) + " lane(s) at " + gbps + " Gbps"),
    });
}

// A clock recovery that never ends: the swing reaches its maximum.
Bytes FailedClockRecovery() {
    return Concat({
        TrainingPacket(kCapability, 0, {(kRate270 << 4) | 4}),
        TrainingPacket(kTestLinkTraining, 0),
        TrainingPacket(kPatternSet, 0, {0x21}),
        TrainingPacket(kLaneSet, 4, LaneSet(4, 2, 0)),
        TrainingPacket(kAdjustRequest, 4, PerLane(0x3)),
        TrainingPacket(kLaneSet, 4, LaneSet(4, 3, 0)),
        TrainingPacket(kCrDone, 4, {0x01, 0x00}),
        TrainingPacket(kLinkDisableTimeout, 0),
        LogLine("Clock recovery failed on lanes 1 to 3"),
    });
}

TestScript PassingTestWithRetryLog() {
    // The second start fails; the first and every later one pass.
    const Bytes log = Concat({LogLine("HPD asserted"), LogLine("AUX read of DPCD 00000h: no reply (1)"),
                              LogLine("AUX read of DPCD 00000h: retried after 412 us")});
    return {Run({Step(ResultRecord(kPassed), log)}),
            Run({Step(ResultRecord(kFailed, "Source did not retry the AUX read", 2, 1),
                      Concat({LogLine("HPD asserted"), LogLine("AUX read of DPCD 00000h: no reply (1)"),
                              LogLine("No retry within 1 ms")}))}),
            Run({Step(ResultRecord(kPassed), log)})};
}

TestScript EdidReadAfterReplug() {  // prompt 4
    return {Run({Step(ResultRecord(kPromptProceed, "Unplug and re-plug the DisplayPort cable, then press Proceed."),
                      LogLine("Waiting for the cable to be re-plugged")),
                 Step(ResultRecord(kPassed), Concat({LogLine("HPD asserted"), LogLine("EDID block 0 read (128 bytes)"),
                                                     LogLine("EDID block 1 read (128 bytes)")}))})};
}

TestScript AllLaneCountsAndRates() {  // result code 5, a log of more than 200 bytes per piece
    Bytes slow, fast;
    for (uint8_t lanes : {1, 2, 4}) {
        slow = Concat({slow, Training(lanes, kRate162)});
        fast = Concat({fast, Training(lanes, kRate270)});
    }
    return {Run({Step(ResultRecord(kGoOn), Concat({LogLine("Link rate 1.62 Gbps:"), slow})),
                 Step(ResultRecord(kPassed), Concat({LogLine("Link rate 2.7 Gbps:"), fast}), kLongTestMs)})};
}

TestScript RequirementsWithLamps() {  // prompt 8: the lamps turn green one by one
    TestStep prompt =
        Step(ResultRecord(kRequirements, "Link trained\r\nVideo stream received\r\nAudio stream received"));
    prompt.status = {0x00, 0x00, 0x01, 0x01, 0x03, 0x03, 0x07};
    return {Run({prompt, Step(ResultRecord(kPassed),
                              Concat({LogLine("Audio stream header: sync OK"), LogLine("Maud/Naud = 512/32768")}))})};
}

}  // namespace

std::map<uint8_t, TestScript> DemoTestScripts() {
    std::map<uint8_t, TestScript> s;
    // Link layer tests.
    s[1] = PassingTestWithRetryLog();
    s[2] = Outcome(ResultRecord(kFailed, "No AUX retry within 400 us after an invalid reply", 2, 3),
                   Concat({LogLine("HPD asserted"), LogLine("Invalid AUX reply sent"), LogLine("Waiting for retry")}));
    s[3] = EdidReadAfterReplug();
    s[5] = Outcome(ResultRecord(kPassed), Concat({LogLine("EDID block 0 read (128 bytes)"),
                                                  LogLine("Checksum 0x3A & header <00 FF FF FF FF FF FF 00> OK")}));
    s[12] = Outcome(ResultRecord(kPassed),
                    Concat({LogLine("HPD asserted"), TrainingPacket(kLongHpdPulse, 0), Training(4, kRate270)}),
                    kLongTestMs);
    s[13] = AllLaneCountsAndRates();
    s[19] = Outcome(ResultRecord(kFailed, "Clock recovery not achieved at maximum swing", 3, 2), FailedClockRecovery());
    {
        TestStep overflow = Step(ResultRecord(kFailed, "Channel equalization not done after 5 loops", 4, 6),
                                 Concat({Training(4, kRate270), LogLine("... log buffer full")}));
        overflow.logOverflow = true;
        s[21] = {Run({overflow})};
    }
    s[25] = Outcome(ResultRecord(kSkipped, "DUT does not support IRQ HPD handling"));
    s[29] = {Run({Step(ResultRecord(kQuestionPassFail, "Does the monitor show the colour bars without errors?")),
                  Step(ResultRecord(kPassed), LogLine("Pixel data packing checked by the operator"))})};
    s[32] = Outcome(ResultRecord(kTimedOut), LogLine("Waiting for the video format change..."), kLongTestMs);
    s[33] = {Run({Step(ResultRecord(kPromptProceed6, "Put the DUT into its power-saving state, then press Proceed.")),
                  Step(ResultRecord(kPassed),
                       Concat({LogLine("SET_POWER = 2 written by the DUT"), LogLine("Main link disabled")}))})};
    // Audio tests.
    s[65] = RequirementsWithLamps();
    s[67] = Outcome(ResultRecord(kSkipped, "Audio InfoFrame not supported by the DUT"));
    s[68] = {Run({Step(ResultRecord(kAudioChannels, "Is the audio on the selected channels clean?")),
                  Step(ResultRecord(kPassed), LogLine("Audio checked by the operator"))})};
    // HDCP tests.
    s[129] = Outcome(ResultRecord(kPassed), Concat({LogLine("Aksv written"), LogLine("R0' matches R0")}), kLongTestMs);
    s[130] = Outcome(ResultRecord(kFailed, "Authentication restarted without HPD", 3, 1));
    return s;
}

}  // namespace sim
