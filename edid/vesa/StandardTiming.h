#pragma once
// The 2-byte EDID standard timing code (horizontal pixels / 8 - 31, aspect
// ratio, refresh rate - 60 Hz) as a "Timing n" list entry with four children.
// One implementation serves the base block (timings 0 to 7) and the display
// descriptor of tag FAh (timings 9 to 14).

#include "edid/core/ECEntry.h"
#include "edid/core/ECHelper.h"

#include <cstdint>

namespace standard_timing {

// Creates "Timing " + number below parent on the two bytes at code, with the
// given rethink closure (which should call Rethink), and builds its children.
// Messages go through codec.
ECEntry* Create(ECHelper* codec, ECTreeView* view, ECEntry* parent, int number, uint8_t* code,
                ECRethinkClosure rethink);

// Rebuilds the children of a "Timing " entry from its current bytes: none for
// the unused code 01h 01h, else X-Resolution, Y-Resolution, Aspect ratio and
// Refresh rate.
void Rethink(ECHelper* codec, ECTreeView* view, ECEntry* timing);

}  // namespace standard_timing
