#pragma once
// The run's texts that depend on values only: the words of a link result in
// "Failed to start test cycle: " boxes, and the status line of a finished
// test.
#include <cstdint>
#include <string>

#include "cts/catalogue/TestResultRecord.h"

class RunTexts {
public:
    // "Communications failure; Too many retries." and the others; "Invalid
    // result" for the codes that have no text of their own.
    static const char* LinkResultText(int32_t result);
    // The status line of a test closed with the instrument's result record
    // (Windows-1252, unescaped): "Test 3 PASSED." and the like; empty for a
    // code without an outcome.
    static std::string ResultLine(int32_t testNumber, const TestResultRecord& record);
};
