// The block detector table: the codecs the root parser can choose from, in
// the order they are asked. The first detector that accepts a block wins.

#include "edid/core/BlockDetectors.h"

#include "edid/BuildOptions.h"
#include "edid/vesa/VESA_BME.h"
#if EDID_HAS_DISPLAYID
#include "edid/vesa/VESA_DisplayID.h"
#endif
#include "edid/cea861/CEA861.h"
#include "edid/vesa/VESA_EDID.h"

const std::vector<ECBlockCodec>& ECBlockCodecs() {
    static const std::vector<ECBlockCodec> codecs = {
        {&VESA_EDID::Detect, &VESA_EDID::Create},  // VESA_EDID detector (base block, 00 FF FF FF FF FF FF 00)
        {&CEA861::Detect, &CEA861::Create},        // CEA861 detector (tag 02h)
        {&VESA_BME::Detect, &VESA_BME::Create},
#if EDID_HAS_DISPLAYID
        {&VESA_DisplayID::Detect, &VESA_DisplayID::Create},
#endif
    };
    return codecs;
}
