#pragma once
// Decoding of the test log the instrument keeps while a test runs. The log is
// a block of 8-bit text lines, each ended by a NUL byte; text after the last
// NUL is not a line. A line that starts with ESC (0x1B) is a link-training
// packet, a compact record of the DisplayPort link training the instrument
// observed:
//
//  position  content
//   0        0x1B
//   1        packet byte: bits 0-4 the packet kind (1 to 10 used), bits 5-7 the lane count
//   2 and on value characters, one 4-bit nibble each in their low four bits
//
// The value characters pair up into at most four value bytes V0..V3 (first of
// a pair = high nibble); a last character without partner gives a byte equal
// to its own nibble, characters beyond the eighth are ignored, and value
// bytes the line does not supply are 0. Lane settings follow the DPCD layout
// of TRAINING_LANEx_SET; adjust requests and lane status follow
// ADJUST_REQUEST_LANE0_1 / LANE0_1_STATUS (one nibble per lane, lanes 0 and 1
// in V0, lanes 2 and 3 in V1, the lower lane in the low nibble).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace test_log {

// Where decoded lines go. Lines are 8-bit Windows-1252, unescaped. An unset
// function is skipped.
struct Output {
    std::function<void(const std::string& line)> addLine;  // one line for the test log and the status list
    std::function<void()> scroll;                          // scroll the status list to its end
};

// The two numbers of the kind-10 line "Long HPD pulse (%i ms low, %i ms high)", taken from the
// run's parameter block (bytes 8-9 and 10-11, see TestParameterBlock) by the caller.
struct HpdPulse {
    int lowMs = 0;
    int highMs = 0;
};

// Cuts a downloaded log into lines and emits them; training packets go through DecodeTrainingPacket.
// A run of NUL bytes after an empty line gives that one empty line. Calls out.scroll once at the end.
void ParseTestLog(const uint8_t* bytes, size_t length, HpdPulse hpd, const Output& out);

// Decodes one training packet line (ESC first, without its NUL); reads only its `length` bytes.
// Calls out.scroll after each line.
void DecodeTrainingPacket(const uint8_t* line, size_t length, HpdPulse hpd, const Output& out);

}  // namespace test_log
