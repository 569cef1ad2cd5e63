#pragma once
// The instrument's 84-byte answer to the test-result query:
//   0  result code, signed 8-bit (TestResultCode)
//   1  reserved
//   2  step, signed 8-bit
//   3  substep, signed 8-bit
//   4  80 bytes of 8-bit text, NUL-terminated: the failure or skip reason,
//      or the operator message (lines separated by line breaks)
// The record is the raw bytes; the link's query fills Data() directly.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

enum TestResultCode : int8_t {
    kResultFailed = 0,  // failed at step/substep, text = reason
    kResultPassed = 1,
    kResultSkipped = 2,           // text = reason
    kResultTimedOut = 3,          // timed out in the instrument
    kResultPromptProceed = 4,     // operator prompt, one button "Proceed"
    kResultGoOn = 5,              // intermediate: collect the log so far, the test goes on
    kResultPromptProceed6 = 6,    // operator prompt, one button "Proceed"
    kResultQuestionPassFail = 7,  // operator question: "Fail" or "Pass"
    kResultRequirements = 8,      // test requirements with three status lamps
    kResultAudioChannels = 9,     // audio channel check with a channel-pair choice
};

class TestResultRecord {
public:
    static constexpr size_t kSize = 84;
    static constexpr size_t kTextOffset = 4;
    static constexpr size_t kTextSize = 80;

    TestResultRecord() = default;  // all bytes 0
    explicit TestResultRecord(std::span<const uint8_t, kSize> bytes);

    uint8_t* Data() { return bytes_.data(); }
    const uint8_t* Data() const { return bytes_.data(); }

    int8_t ResultCode() const { return static_cast<int8_t>(bytes_[0]); }
    uint8_t Reserved() const { return bytes_[1]; }
    int8_t Step() const { return static_cast<int8_t>(bytes_[2]); }
    int8_t Substep() const { return static_cast<int8_t>(bytes_[3]); }
    // The text up to its NUL; all 80 bytes when none ends it.
    std::string Text() const;

private:
    std::array<uint8_t, kSize> bytes_{};
};
