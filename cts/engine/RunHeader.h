#pragma once
// The header lines written into every test's log at the start of each of its
// runs: the test parameters of the run's group, as "Run Tests" read them.
// The text is built once per run, so every test of the run carries the same
// values; its lines are separated by CR LF and the first one is empty.
#include <cstdint>
#include <string>

#include "cts/params/TestParameterBlock.h"

struct RunHeaderInputs {
    TestParameterInputs params;  // the values the parameter block was built from
    std::string laneCountText;   // CB_SupportTXLanes' text (Windows-1252)
    std::string linkRateText;    // CB_SupportTXLinkRate's text
    std::string eventText;       // TTestAutomation's CB_Event text
};

class RunHeader {
public:
    // The header of the group with this ID offset (link layer 0, audio 64,
    // HDCP 128 and 144).
    static std::string Text(int32_t groupOffset, const RunHeaderInputs& inputs);
};
