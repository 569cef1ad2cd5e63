// The instrument's test log cut into lines, and its link-training packets
// decoded into readable lines.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cts/engine/TestLogDecoder.h"
#include "support/DecimalCommaLocale.h"

namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

constexpr test_log::HpdPulse kHpd{250, 1500};
const std::string kScroll = "<scroll>";

// Every call of the output in order; a scroll shows as kScroll.
struct Trace {
    std::vector<std::string> calls;
    test_log::Output Output() {
        return {[this](const std::string& line) { calls.push_back(line); }, [this] { calls.push_back(kScroll); }};
    }
    Lines LinesOnly() const {
        Lines lines;
        for (const auto& c : calls)
            if (c != kScroll) lines.push_back(c);
        return lines;
    }
};

// The bytes in a buffer of exactly their size, so that a read past the end is caught.
std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

Lines Parse(const std::string& log, test_log::HpdPulse hpd = kHpd) {
    const auto bytes = Bytes(log);
    Trace trace;
    test_log::ParseTestLog(bytes.data(), bytes.size(), hpd, trace.Output());
    return trace.LinesOnly();
}

// One training packet line as the log holds it: ESC, packet byte, value characters, NUL.
// A value character carries its nibble in its low four bits: "0".."9" and ":;<=>?" give 0 to 15,
// and so do "@" to "O" ("D" is 4, "N" is 14).
std::string Packet(uint8_t packetByte, const std::string& chars = "") {
    return "\x1B"s + char(packetByte) + chars + '\0';
}

std::string Shown(const Lines& lines) {
    std::string s;
    for (const auto& l : lines) s += "[" + l + "]\n";
    return s;
}

struct Case {
    const char* name;
    std::string log;
    Lines expected;
};

void RunCases(const std::vector<Case>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Shown(Parse(c.log)), Shown(c.expected));
    }
}

TEST(TestLogDecoder, CutsTheLogIntoLinesAtEachNul) {
    RunCases({
        {"two lines", "A\0B\0"s, {"A", "B"}},
        {"a run of NULs between lines is one empty line", "A\0\0\0BC\0"s, {"A", "", "BC"}},
        {"a run of NULs at the end is one empty line", "A\0\0\0\0"s, {"A", ""}},
        {"one NUL after a line ends it only", "A\0\0"s, {"A", ""}},
        {"a run of NULs at the start is one empty line", "\0\0\0A\0"s, {"", "A"}},
        {"a single NUL", "\0"s, {""}},
        {"empty log", ""s, {}},
        {"no NUL at all", "ABC"s, {}},
        {"bytes after the last NUL are dropped", "A\0BC"s, {"A"}},
        {"8-bit text stays as it is",
         "Gr\xFC\xDF"
         "e \xA9 <b>&\0"s,
         {"Gr\xFC\xDF"
          "e \xA9 <b>&"}},
        {"ESC inside a line is text", "A\x1B\x27\0"s, {"A\x1B\x27"}},
        {"ESC alone decodes to nothing",
         "\x1B\0"
         "A\0"s,
         {"A"}},
        {"NULs after a packet line give one empty line",
         Packet(0x27) + "\0\0X\0"s,
         {"Setting TEST_LINK_TRAINING=1", "", "X"}},
        {"packet lines between text lines",
         "before\0"s + Packet(0x08) + "after\0"s,
         {"before", "Waiting for TEST_RESPONSE", "after"}},
        {"a packet without its NUL is dropped", "A\0\x1B\x27"s, {"A"}},
    });
}

TEST(TestLogDecoder, LaneSettings) {
    const std::string none = "Pre-emphasis 0.0dB ";  // the empty suffix leaves the blank
    RunCases({
        // V0 = 0x0E: swing level 2, max swing reached, pre-emphasis level 1.
        {"one lane", Packet(0x21, "0N"), {"Lane 0 set: Voltage swing 800mV, Pre-emphasis 3.5dB [MAX_SWING_REACHED]"}},
        {"lane count 0 gives no line", Packet(0x01, "0N"), {}},
        // V0 = 0x00, V1 = 0x3F, V2 = 0x30, V3 = 0x05: every level and suffix.
        {"four lanes",
         Packet(0x81, "003?3005"),
         {"Lane 0 set: Voltage swing 400mV, " + none,
          "Lane 1 set: Voltage swing 1200mV, Pre-emphasis 9.5dB [MAX_SWING_REACHED; MAX_PRE-EMPHASIS_REACHED]",
          "Lane 2 set: Voltage swing 400mV, Pre-emphasis 6.0dB [MAX_PRE-EMPHASIS_REACHED]",
          "Lane 3 set: Voltage swing 600mV, Pre-emphasis 0.0dB [MAX_SWING_REACHED]"}},
        // "123": V0 = 0x12, the unpaired "3" gives V1 = 0x03.
        {"two lanes, odd character count",
         Packet(0x41, "123"),
         {"Lane 0 set: Voltage swing 800mV, Pre-emphasis 6.0dB ", "Lane 1 set: Voltage swing 1200mV, " + none}},
        {"three lanes",
         Packet(0x61, "0102"),
         {"Lane 0 set: Voltage swing 600mV, " + none, "Lane 1 set: Voltage swing 800mV, " + none,
          "Lane 2 set: Voltage swing 400mV, " + none}},
        {"lane count 7 gives four lines, missing values are 0",
         Packet(0xE1),
         {"Lane 0 set: Voltage swing 400mV, " + none, "Lane 1 set: Voltage swing 400mV, " + none,
          "Lane 2 set: Voltage swing 400mV, " + none, "Lane 3 set: Voltage swing 400mV, " + none}},
        {"characters beyond the eighth are ignored",
         Packet(0x81, "00000000FFFF"),
         {"Lane 0 set: Voltage swing 400mV, " + none, "Lane 1 set: Voltage swing 400mV, " + none,
          "Lane 2 set: Voltage swing 400mV, " + none, "Lane 3 set: Voltage swing 400mV, " + none}},
    });
}

TEST(TestLogDecoder, AdjustRequestsStatusAndClockRecovery) {
    RunCases({
        // V0 = 0x41: lane 0 nibble 1, lane 1 nibble 4.
        {"adjust request, two lanes",
         Packet(0x42, "D1"),
         {"Lane 0 adjust request: Voltage swing 600mV, Pre-emphasis 0.0dB",
          "Lane 1 adjust request: Voltage swing 400mV, Pre-emphasis 3.5dB"}},
        {"adjust request, one lane",
         Packet(0x22, "D1"),
         {"Lane 0 adjust request: Voltage swing 600mV, Pre-emphasis 0.0dB"}},
        // V0 = 0xFB, V1 = 0x9E: the lower lane in the low nibble.
        {"adjust request, four lanes",
         Packet(0x82, "?;9>"),
         {"Lane 0 adjust request: Voltage swing 1200mV, Pre-emphasis 6.0dB",
          "Lane 1 adjust request: Voltage swing 1200mV, Pre-emphasis 9.5dB",
          "Lane 2 adjust request: Voltage swing 800mV, Pre-emphasis 9.5dB",
          "Lane 3 adjust request: Voltage swing 600mV, Pre-emphasis 6.0dB"}},
        {"adjust request, lane count 0 gives four lines",
         Packet(0x02, "?;"),
         {"Lane 0 adjust request: Voltage swing 1200mV, Pre-emphasis 6.0dB",
          "Lane 1 adjust request: Voltage swing 1200mV, Pre-emphasis 9.5dB",
          "Lane 2 adjust request: Voltage swing 400mV, Pre-emphasis 0.0dB",
          "Lane 3 adjust request: Voltage swing 400mV, Pre-emphasis 0.0dB"}},
        // V0 = 0x70, V1 = 0x5A ("J" carries 0xA; its bit 3 is not a status bit).
        {"lane status, four lanes",
         Packet(0x83, "705J"),
         {"Lane 0 - CR_DONE = 0, CHANNEL_EQ_DONE = 0, SYMBOL_LOCKED = 0",
          "Lane 1 - CR_DONE = 1, CHANNEL_EQ_DONE = 1, SYMBOL_LOCKED = 1",
          "Lane 2 - CR_DONE = 0, CHANNEL_EQ_DONE = 1, SYMBOL_LOCKED = 0",
          "Lane 3 - CR_DONE = 1, CHANNEL_EQ_DONE = 0, SYMBOL_LOCKED = 1"}},
        {"lane status, two lanes",
         Packet(0x43, "63"),
         {"Lane 0 - CR_DONE = 1, CHANNEL_EQ_DONE = 1, SYMBOL_LOCKED = 0",
          "Lane 1 - CR_DONE = 0, CHANNEL_EQ_DONE = 1, SYMBOL_LOCKED = 1"}},
        {"lane status, lane count 3 gives four lines",
         Packet(0x63, "4"),
         {"Lane 0 - CR_DONE = 0, CHANNEL_EQ_DONE = 0, SYMBOL_LOCKED = 1",
          "Lane 1 - CR_DONE = 0, CHANNEL_EQ_DONE = 0, SYMBOL_LOCKED = 0",
          "Lane 2 - CR_DONE = 0, CHANNEL_EQ_DONE = 0, SYMBOL_LOCKED = 0",
          "Lane 3 - CR_DONE = 0, CHANNEL_EQ_DONE = 0, SYMBOL_LOCKED = 0"}},
        // V0 = 0x12 and V1 missing: lanes 2 and 3 read 0.
        {"clock recovery, four lanes",
         Packet(0x84, "12"),
         {"Lane 0 - CR_DONE = 0", "Lane 1 - CR_DONE = 1", "Lane 2 - CR_DONE = 0", "Lane 3 - CR_DONE = 0"}},
        {"clock recovery, one lane", Packet(0x24, "13"), {"Lane 0 - CR_DONE = 1"}},
    });
}

TEST(TestLogDecoder, PatternCapabilityStepsAndHpdPulse) {
    RunCases({
        {"training pattern", Packet(0x05, "??"), {"TRAINING_PATTERN_SET = 255"}},
        {"an unpaired last character is a value of its own", Packet(0x05, "7"), {"TRAINING_PATTERN_SET = 7"}},
        {"high bits of value characters are ignored", Packet(0x05, "\xF3\x85"), {"TRAINING_PATTERN_SET = 53"}},
        {"no value character reads 0", Packet(0x05), {"TRAINING_PATTERN_SET = 0"}},
        {"capability, rate 0x01", Packet(0x86, "A4"), {"Setting MAX_LINK_RATE = 0x01 MAX_LANE_COUNT = 4"}},
        {"capability, rate 0x06", Packet(0x86, "64"), {"Setting MAX_LINK_RATE = 0x06 MAX_LANE_COUNT = 4"}},
        {"capability, rate 0x0A", Packet(0x26, "J2"), {"Setting MAX_LINK_RATE = 0x0A MAX_LANE_COUNT = 2"}},
        {"test link training", Packet(0xE7, "12"), {"Setting TEST_LINK_TRAINING=1"}},
        {"waiting for the response", Packet(0x28), {"Waiting for TEST_RESPONSE"}},
        {"link disable time-out", Packet(0x09), {"WARNING: Timeout waiting for link disable"}},
        {"long HPD pulse takes the caller's numbers, not the packet's",
         Packet(0x2A, "99"),
         {"Long HPD pulse (250 ms low, 1500 ms high)"}},
        {"kind 0 with lanes", Packet(0x40, "12"), {}},
        {"kind 11", Packet(0x0B, "12"), {}},
        {"kind 31", Packet(0xFF, "12"), {}},
    });
    EXPECT_EQ(Parse(Packet(0x0A), {0, 65535}), (Lines{"Long HPD pulse (0 ms low, 65535 ms high)"}));
}

TEST(TestLogDecoder, APacketReadsOnlyTheBytesOfItsLine) {
    // The line's bytes followed in memory by more packet-like bytes.
    const std::string memory = "\x1B\x05??\x1B\x27";
    struct Cut {
        size_t length;
        Lines expected;
    };
    for (const Cut& c : std::vector<Cut>{{1, {}},  // ESC alone: packet byte 0
                                         {2, {"TRAINING_PATTERN_SET = 0"}},
                                         {3, {"TRAINING_PATTERN_SET = 15"}},
                                         {4, {"TRAINING_PATTERN_SET = 255"}}}) {
        SCOPED_TRACE(c.length);
        const auto exact = Bytes(memory.substr(0, c.length));
        Trace trace;
        test_log::DecodeTrainingPacket(exact.data(), exact.size(), kHpd, trace.Output());
        EXPECT_EQ(Shown(trace.LinesOnly()), Shown(c.expected));
        const auto longer = Bytes(memory);
        Trace fromLonger;
        test_log::DecodeTrainingPacket(longer.data(), c.length, kHpd, fromLonger.Output());
        EXPECT_EQ(fromLonger.calls, trace.calls);
    }
    // In a log, the next line's characters are not the packet's values.
    EXPECT_EQ(Parse(Packet(0x05) + "FF\0"s), (Lines{"TRAINING_PATTERN_SET = 0", "FF"}));
}

TEST(TestLogDecoder, ScrollsAfterEachPacketLineAndOnceAtTheEnd) {
    const auto log = Bytes("first\0"s + Packet(0x42, "D1") + Packet(0x00 | 0x20) + "last\0"s + "tail"s);
    Trace trace;
    test_log::ParseTestLog(log.data(), log.size(), kHpd, trace.Output());
    EXPECT_EQ(trace.calls,
              (std::vector<std::string>{"first", "Lane 0 adjust request: Voltage swing 600mV, Pre-emphasis 0.0dB",
                                        kScroll, "Lane 1 adjust request: Voltage swing 400mV, Pre-emphasis 3.5dB",
                                        kScroll, "last", kScroll}));

    Trace empty;
    test_log::ParseTestLog(nullptr, 0, kHpd, empty.Output());
    EXPECT_EQ(empty.calls, (std::vector<std::string>{kScroll}));

    // Unset functions are skipped.
    test_log::ParseTestLog(log.data(), log.size(), kHpd, test_log::Output{});
}

TEST(TestLogDecoder, ALogOfTheLargestSize) {
    // 65535 bytes of numbered lines; the last one is cut off and dropped.
    std::string log;
    int n = 0;
    while (log.size() < 65535) log += "Line " + std::to_string(n++) + '\0';
    const std::string cut = log.substr(0, 65535);
    const Lines lines = Parse(cut);
    ASSERT_EQ(lines.size(), static_cast<size_t>(n - 1));
    EXPECT_EQ(lines.front(), "Line 0");
    EXPECT_EQ(lines.back(), "Line " + std::to_string(n - 2));
}

TEST(TestLogDecoder, DecimalPointsDoNotFollowTheLocale) {
    DecimalCommaLocale locale;
    ASSERT_EQ(locale.Failure(), "");
    EXPECT_EQ(Parse(Packet(0x21, "0N") + Packet(0x42, "D1")),
              (Lines{"Lane 0 set: Voltage swing 800mV, Pre-emphasis 3.5dB [MAX_SWING_REACHED]",
                     "Lane 0 adjust request: Voltage swing 600mV, Pre-emphasis 0.0dB",
                     "Lane 1 adjust request: Voltage swing 400mV, Pre-emphasis 3.5dB"}));
}

}  // namespace
