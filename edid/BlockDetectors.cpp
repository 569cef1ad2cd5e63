// The block detector table: the codecs the root parser can choose from, in
// the order they are asked. The first detector that accepts a block wins.

#include "edid/BlockDetectors.h"

#include "edid/BuildOptions.h"
#include "edid/VESA_BME.h"
#if EDID_HAS_DISPLAYID
#include "edid/VESA_DisplayID.h"
#endif
#if __has_include("edid/VESA_EDID.h")
#include "edid/VESA_EDID.h"
#endif
#if __has_include("edid/cea861/CEA861.h")
#include "edid/cea861/CEA861.h"
#define EDID_HAS_CEA861_CODEC 1
#endif

const std::vector<ECBlockCodec>& ECBlockCodecs() {
  static const std::vector<ECBlockCodec> codecs = {
      {&VESA_EDID::Detect, &VESA_EDID::Create},  // VESA_EDID detector (base block, 00 FF FF FF FF FF FF 00)
#ifdef EDID_HAS_CEA861_CODEC
      {&CEA861::Detect, &CEA861::Create},  // CEA861 detector (tag 02h)
#endif
      {&VESA_BME::Detect, &VESA_BME::Create},
#if EDID_HAS_DISPLAYID
      {&VESA_DisplayID::Detect, &VESA_DisplayID::Create},
#endif
  };
  return codecs;
}
