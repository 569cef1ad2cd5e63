#include "edid/TimingPresets.h"

#include "edid/BuildOptions.h"

#include <iterator>

const TimingPreset VesaTimingPresets[] = {
#if EDID_SINK_PRESETS
#include "edid/presets/vesa_sink.inc"
#else
#include "edid/presets/vesa_cts.inc"
#endif
};
const int kVesaTimingPresetCount = static_cast<int>(std::size(VesaTimingPresets));

const TimingPreset CeaTimingPresets[] = {
#if EDID_SINK_PRESETS
#include "edid/presets/cea_sink.inc"
#else
#include "edid/presets/cea_cts.inc"
#endif
};
const int kCeaTimingPresetCount = static_cast<int>(std::size(CeaTimingPresets));
