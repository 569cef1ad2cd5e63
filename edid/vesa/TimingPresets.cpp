#include "edid/vesa/TimingPresets.h"

#include "edid/BuildOptions.h"

#include <iterator>

const TimingPreset VesaTimingPresets[] = {
#if EDID_SINK_PRESETS
#include "edid/vesa/presets/vesa_sink.inc"
#else
#include "edid/vesa/presets/vesa_cts.inc"
#endif
};
const int kVesaTimingPresetCount = static_cast<int>(std::size(VesaTimingPresets));

const TimingPreset CeaTimingPresets[] = {
#if EDID_SINK_PRESETS
#include "edid/vesa/presets/cea_sink.inc"
#else
#include "edid/vesa/presets/cea_cts.inc"
#endif
};
const int kCeaTimingPresetCount = static_cast<int>(std::size(CeaTimingPresets));
