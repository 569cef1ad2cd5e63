#include "cts/engine/TestLogDecoder.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>

namespace test_log {

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kNul = 0x00;
constexpr size_t kFirstValueChar = 2;
constexpr size_t kMaxValueChars = 8;
constexpr size_t kValueBytes = 4;
constexpr int kMaxLanes = 4;

// Voltage swing by level (mV).
constexpr std::array<int, 4> kSwingMv = {400, 600, 800, 1200};
// Pre-emphasis by level (0.0, 3.5, 6.0 and 9.5 dB) as printed with one
// decimal. Kept as text so that the decimal point never follows the locale.
constexpr std::array<const char*, 4> kPreEmphasisDb = {"0.0", "3.5", "6.0", "9.5"};
// Suffix by (max swing reached) + 2 x (max pre-emphasis reached).
constexpr std::array<const char*, 4> kMaxReached = {"", "[MAX_SWING_REACHED]", "[MAX_PRE-EMPHASIS_REACHED]",
                                                    "[MAX_SWING_REACHED; MAX_PRE-EMPHASIS_REACHED]"};
// Lane status by bits 0-2 of the lane's nibble: CR done, channel EQ done, symbol locked.
constexpr std::array<const char*, 8> kLaneStatus = {
    "CR_DONE = 0, CHANNEL_EQ_DONE = 0, SYMBOL_LOCKED = 0", "CR_DONE = 1, CHANNEL_EQ_DONE = 0, SYMBOL_LOCKED = 0",
    "CR_DONE = 0, CHANNEL_EQ_DONE = 1, SYMBOL_LOCKED = 0", "CR_DONE = 1, CHANNEL_EQ_DONE = 1, SYMBOL_LOCKED = 0",
    "CR_DONE = 0, CHANNEL_EQ_DONE = 0, SYMBOL_LOCKED = 1", "CR_DONE = 1, CHANNEL_EQ_DONE = 0, SYMBOL_LOCKED = 1",
    "CR_DONE = 0, CHANNEL_EQ_DONE = 1, SYMBOL_LOCKED = 1", "CR_DONE = 1, CHANNEL_EQ_DONE = 1, SYMBOL_LOCKED = 1"};

enum Kind : int {
    kKindLaneSet = 1,
    kKindAdjustRequest = 2,
    kKindLaneStatus = 3,
    kKindCrDone = 4,
    kKindTrainingPattern = 5,
    kKindLinkCapability = 6,
    kKindTestLinkTraining = 7,
    kKindWaitTestResponse = 8,
    kKindLinkDisableTimeout = 9,
    kKindLongHpdPulse = 10,
};

// The packet as read from its line: kind, lane count and value bytes.
struct Packet {
    int kind = 0;
    int lanes = 0;
    std::array<uint8_t, kValueBytes> v{};

    // Lane L's nibble of an adjust request or status: V0 low, V0 high, V1 low, V1 high.
    int Nibble(int lane) const { return (v[static_cast<size_t>(lane / 2)] >> (4 * (lane % 2))) & 0x0F; }
    // Lines for lanes 1 to 3 of kinds 2 to 4: lane 1 unless one lane, lanes 2 and 3 unless one or two.
    int ReportedLanes() const { return lanes == 1 ? 1 : lanes == 2 ? 2 : kMaxLanes; }
};

Packet ReadPacket(const uint8_t* line, size_t length) {
    Packet p;
    const uint8_t packetByte = length > 1 ? line[1] : 0;
    p.kind = packetByte & 0x1F;
    p.lanes = packetByte >> 5;
    const size_t chars = length > kFirstValueChar ? std::min(length - kFirstValueChar, kMaxValueChars) : 0;
    for (size_t k = 0; k < kValueBytes; ++k) {
        const size_t first = 2 * k;
        if (first >= chars) break;
        const uint8_t high = line[kFirstValueChar + first] & 0x0F;
        p.v[k] =
            first + 1 < chars ? static_cast<uint8_t>((high << 4) | (line[kFirstValueChar + first + 1] & 0x0F)) : high;
    }
    return p;
}

// printf-style formatting of one line; only integer and text conversions are
// used, which do not depend on the locale.
[[gnu::format(printf, 1, 2)]] std::string Format(const char* format, ...);
std::string Format(const char* format, ...) {
    char buf[160];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    return std::string(buf, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof buf) - 1)));
}

// Emits one decoded line and scrolls the status list after it.
void EmitDecoded(const Output& out, const std::string& line) {
    if (out.addLine) out.addLine(line);
    if (out.scroll) out.scroll();
}

void LaneSetLines(const Packet& p, const Output& out) {
    for (int i = 0; i < std::min(p.lanes, kMaxLanes); ++i) {
        const uint8_t b = p.v[static_cast<size_t>(i)];
        const int maxReached = ((b >> 2) & 1) + 2 * ((b >> 5) & 1);
        EmitDecoded(out, Format("Lane %d set: Voltage swing %dmV, Pre-emphasis %sdB %s", i, kSwingMv[b & 3],
                                kPreEmphasisDb[(b >> 3) & 3], kMaxReached[static_cast<size_t>(maxReached)]));
    }
}

void AdjustRequestLines(const Packet& p, const Output& out) {
    for (int lane = 0; lane < p.ReportedLanes(); ++lane) {
        const int n = p.Nibble(lane);
        EmitDecoded(out, Format("Lane %d adjust request: Voltage swing %dmV, Pre-emphasis %sdB", lane, kSwingMv[n & 3],
                                kPreEmphasisDb[(n >> 2) & 3]));
    }
}

void LaneStatusLines(const Packet& p, const Output& out) {
    for (int lane = 0; lane < p.ReportedLanes(); ++lane)
        EmitDecoded(out, Format("Lane %d - %s", lane, kLaneStatus[static_cast<size_t>(p.Nibble(lane) & 7)]));
}

void CrDoneLines(const Packet& p, const Output& out) {
    for (int lane = 0; lane < p.ReportedLanes(); ++lane)
        EmitDecoded(out, Format("Lane %d - CR_DONE = %d", lane, p.Nibble(lane) & 1));
}

}  // namespace

void DecodeTrainingPacket(const uint8_t* line, size_t length, HpdPulse hpd, const Output& out) {
    const Packet p = ReadPacket(line, length);
    switch (p.kind) {
        case kKindLaneSet:
            LaneSetLines(p, out);
            break;
        case kKindAdjustRequest:
            AdjustRequestLines(p, out);
            break;
        case kKindLaneStatus:
            LaneStatusLines(p, out);
            break;
        case kKindCrDone:
            CrDoneLines(p, out);
            break;
        case kKindTrainingPattern:
            EmitDecoded(out, Format("TRAINING_PATTERN_SET = %d", p.v[0]));
            break;
        case kKindLinkCapability:
            EmitDecoded(out, Format("Setting MAX_LINK_RATE = 0x%.2X MAX_LANE_COUNT = %d", p.v[0] >> 4, p.v[0] & 0x0F));
            break;
        case kKindTestLinkTraining:
            EmitDecoded(out, "Setting TEST_LINK_TRAINING=1");
            break;
        case kKindWaitTestResponse:
            EmitDecoded(out, "Waiting for TEST_RESPONSE");
            break;
        case kKindLinkDisableTimeout:
            EmitDecoded(out, "WARNING: Timeout waiting for link disable");
            break;
        case kKindLongHpdPulse:
            EmitDecoded(out, Format("Long HPD pulse (%i ms low, %i ms high)", hpd.lowMs, hpd.highMs));
            break;
        default:  // 0 and 11 to 31 carry nothing to show
            break;
    }
}

void ParseTestLog(const uint8_t* bytes, size_t length, HpdPulse hpd, const Output& out) {
    size_t start = 0;  // first byte of the line being collected
    for (size_t i = 0; i < length; ++i) {
        if (bytes[i] != kNul) continue;
        const uint8_t* line = bytes + start;
        const size_t lineLength = i - start;
        if (lineLength > 0 && line[0] == kEsc) {
            DecodeTrainingPacket(line, lineLength, hpd, out);
        } else {
            if (out.addLine) out.addLine(std::string(reinterpret_cast<const char*>(line), lineLength));
            // A run of NULs after an empty line is that one empty line.
            if (lineLength == 0)
                while (i + 1 < length && bytes[i + 1] == kNul) ++i;
        }
        start = i + 1;
    }
    // Bytes after the last NUL are no line.
    if (out.scroll) out.scroll();
}

}  // namespace test_log
