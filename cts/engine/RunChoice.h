#pragma once
// What "Run Tests" took at its click: a run is made of these, whatever the
// controls show by the time the link is free for it. The window reads its
// controls into one at the click; the run engine runs it.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cts/params/TestParameterBlock.h"

// One selected row of the test list.
struct RunChoiceTest {
    int32_t testId = 0;  // the group's offset + the row's number
    std::string label;   // "<row> - <name>", Windows-1252
    int32_t number = 0;  // the row's number, as the "ID" cell shows it
};

struct RunChoice {
    // ---- what the engine runs
    TestParameterBlock::Build build;      // the 20-byte block and the extra time-out (100 ms units)
    std::string header;                   // the group's header lines (CR LF separated, the first empty)
    uint16_t hpdLowMs = 0;                // block bytes 8-9, for the long HPD pulse line of the log
    uint16_t hpdHighMs = 0;               // block bytes 10-11
    std::vector<RunChoiceTest> tests;     // the selected rows, in list order
    int32_t iterations = 1;               // a text that is no number gives 1
    std::vector<uint8_t> colorimetryIds;  // the checked colour formats, for tests 29 and 30
    std::optional<std::array<uint8_t, 12>> timeStampRecord;  // for test 28, when the dialog exists
    int32_t linkTimeoutSeconds = 30;                         // the options dialog's link time-out
    int32_t testDelaySeconds = 0;                            // the delay between tests

    // ---- what the window shows again when the run gets under way
    int tab = 0;                  // the page of the test list
    std::vector<bool> selection;  // per row of that page's list
};
