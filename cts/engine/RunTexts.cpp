#include "cts/engine/RunTexts.h"

const char* RunTexts::LinkResultText(int32_t result) {
    switch (result) {
        case 2:
            return "Communications failure; Too many retries.";
        case 3:
            return "Response - unexpected packet type.";
        case 4:
            return "Internal error trigger encountered: Contact Merovan.";
        case 5:
            return "Communications failure; Line busy.";
        case 6:
            return "No response from remote end.";
        default:
            return "Invalid result";
    }
}

std::string RunTexts::ResultLine(int32_t testNumber, const TestResultRecord& record) {
    const std::string test = "Test " + std::to_string(testNumber);
    switch (record.ResultCode()) {
        case kResultFailed:
            return test + " FAILED, step " + std::to_string(record.Step()) + ", substep " +
                   std::to_string(record.Substep()) + ": " + record.Text() + ".";
        case kResultPassed:
            return test + " PASSED.";
        case kResultSkipped:
            return test + " SKIPPED: " + record.Text();
        case kResultTimedOut:
            return test + " TIMEOUT.";
        default:
            return {};
    }
}
