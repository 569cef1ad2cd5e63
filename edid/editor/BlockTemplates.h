#pragma once
// The 128-byte templates of the collection dialog: a base EDID block, an
// empty CEA-861 extension and a VESA block map extension.

#include <array>
#include <cstdint>

namespace block_templates {

using Block = std::array<uint8_t, 128>;

// An EDID structure version 1.3 block with two detailed timings (720 x 480,
// 1920 x 1200), a product name and range limits; one extension announced.
const Block& BaseEdid();
// Tag 02h, revision 03h, nothing else.
const Block& Cea861();
// Tag F0h, nothing else (the codec fills in the map).
const Block& BlockMap();

}  // namespace block_templates
