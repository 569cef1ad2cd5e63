#pragma once
// The demonstration set of scripted test runs that `instrument-sim
// --test-scripts demo` plays: passing, failing and skipped tests, one that
// times out in the instrument, a test whose second iteration fails, an
// operator prompt of each kind (4, 6, 7, 8 with status lamps turning green,
// 9 with the audio channel choice), a continuation (result code 5) with a
// log of more than 200 bytes, a log overflow, and logs with link-training
// packets. Tests without a script pass with an empty log.
#include <cstdint>
#include <map>

#include "sim/TestScript.h"

namespace sim {

std::map<uint8_t, TestScript> DemoTestScripts();

}  // namespace sim
