#pragma once
// Scripted test runs of the simulated instrument. A test ID's script is a
// list of runs: the n-th start of that ID plays its n-th run, and the last
// run repeats for every later start. A run is a list of steps; the start
// reaches the first step, and every operator answer (71 1E) moves on to the
// next (the last step stays). Reaching a step puts its record behind the
// test-result query, appends its log piece to the test log, raises the
// log-overflow flag when the step says so, and sets the test-status answers.
//
// So a prompt (result codes 4, 6 to 9) or a continuation (result code 5) is
// a step followed by the step its answer leads to:
//   {Step(Record(7, "Is the picture stable?")), Step(Record(1))}
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace sim {

using Bytes = std::vector<uint8_t>;

struct TestStep {
    // Hold value meaning: the result query is never answered in this step.
    static constexpr uint32_t kHoldForever = std::numeric_limits<uint32_t>::max();

    Bytes result;                 // the 84 bytes the test-result query answers
    Bytes log;                    // appended to the test log when the step is reached
    bool logOverflow = false;     // the log-size query reports an overflow (until the log is cleared)
    std::vector<uint8_t> status;  // test-status answers in turn, the last repeating; none: keep the current
    uint32_t holdMs = 0;          // each result query is answered this long after it arrives (kHoldForever: never)
};

struct TestRun {
    std::vector<TestStep> steps;
};

using TestScript = std::vector<TestRun>;

// The 84-byte test-result record: code, reserved byte 0, step, substep and the
// text (at most 79 bytes, NUL-terminated).
Bytes ResultRecord(int8_t code, const std::string& text = "", int8_t step = 0, int8_t substep = 0);

// One text line of the test log (its NUL appended).
Bytes LogLine(const std::string& text);

// One link-training packet line of the test log: ESC, the packet byte (kind in
// bits 0-4, lane count in bits 5-7), two value characters per value byte
// (high nibble first; each character is '0' + nibble), NUL.
Bytes TrainingPacket(uint8_t kind, uint8_t lanes, const std::vector<uint8_t>& values = {});

// Joins log pieces.
Bytes Concat(const std::vector<Bytes>& pieces);

}  // namespace sim
