#pragma once
// The failures of each request of a test's chain, shared by the engine's
// tests and the window's: which request fails, how, whether its one
// repetition succeeds, and the texts the run then shows.
#include <cstdint>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "sim/InstrumentSim.h"

namespace chain_failures {

struct FailureCase {
    const char* name;
    uint8_t code;
    sim::Fault fault;
    int times;            // 1: the repetition succeeds; -1: it fails too
    int result;           // the link result of the failure
    const char* text;     // status list and test log
    const char* message;  // message box
};
inline void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

inline const auto kCases =
    ::testing::Values(FailureCase{"StartRefusedOnce", 0x10, sim::Fault::Refuse, 1, 7, "", ""},
                      FailureCase{"StartRefusedTwice", 0x10, sim::Fault::Refuse, -1, 7,
                                  "Start test command or Operator response command Failed: ",
                                  "Start test command or Operator response command Failed: "},
                      FailureCase{"ResultShortOnce", 0x11, sim::Fault::Short, 1, 3, "", ""},
                      FailureCase{"ResultSilentTwice", 0x11, sim::Fault::Silent, -1, 6,
                                  "Query test result command Failed: ", "Query test result command failed: "},
                      FailureCase{"ResultRefusedTwice", 0x11, sim::Fault::Refuse, -1, 7,
                                  "Query test result command Failed: ", "Query test result command failed: "},
                      FailureCase{"LogSizeShortTwice", 0x12, sim::Fault::Short, -1, 3,
                                  "Query log size command Failed: ", "Query log size command Failed: "},
                      FailureCase{"LogSizeRefusedOnce", 0x12, sim::Fault::Refuse, 1, 7, "", ""},
                      FailureCase{"LogReadRefusedTwice", 0x13, sim::Fault::Refuse, -1, 7,
                                  "Query log data command Failed: ", "Query log data command Failed: "},
                      FailureCase{"LogReadShortOnce", 0x13, sim::Fault::Short, 1, 3, "", ""},
                      FailureCase{"ClearLogRefusedOnce", 0x14, sim::Fault::Refuse, 1, 7, "", ""},
                      FailureCase{"ClearLogSilentTwice", 0x14, sim::Fault::Silent, -1, 6,
                                  "Clear log command Failed: ", "Clear log command Failed: "});

inline std::string Name(const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; }

}  // namespace chain_failures
