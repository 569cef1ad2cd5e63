#pragma once
// The built-in table of the 14 most-packed timings the instrument knows, in
// three lists by lane count, and the rules for the table indexes that the
// test parameter block carries (bytes 12 to 14).
#include <array>
#include <cstdint>

struct MostPackedTiming {
    const char* standard;
    const char* hRes;
    const char* vRes;
    const char* refreshRate;
    const char* scan;  // "Interlace/Progressive"
    const char* blanking;
    const char* bpp;
    const char* packingRatio;
};

class MostPackedTimings {
public:
    static constexpr int32_t kCount = 14;
    enum Lanes { kOneLane = 0, kTwoLanes = 1, kFourLanes = 2 };

    struct LaneList {
        int32_t firstIndex;  // table index of the list's row 0
        int32_t rowCount;
        int32_t startIndex;  // the table index chosen at start
        const char* label;   // the label above the list
    };

    // 1 lane: indexes 0-3, start 2; 2 lanes: 4-10, start 4; 4 lanes: 11-13, start 12.
    static const std::array<LaneList, 3>& Lists();
    static const std::array<MostPackedTiming, kCount>& Table();
    // "Standard", "H-Res", "V-Res", "Refresh rate", "Interlace/Progressive",
    // "Blanking mode", "bpp", "Packing ratio".
    static const std::array<const char*, 8>& ColumnCaptions();

    // The table index of a list's row (row + the list's first index).
    static int32_t TableIndex(Lanes lanes, int32_t row) { return Lists()[lanes].firstIndex + row; }
    // Whether a table index belongs to the list (the index setters refuse
    // any other and keep the previous choice).
    static bool IsIndexOfList(Lanes lanes, int32_t tableIndex);
};
