#include "cts/params/MostPackedTimings.h"

namespace {

const std::array<MostPackedTimings::LaneList, 3> kLists = {{
    {0, 4, 2, "Most packed timing for 1 lane:"},
    {4, 7, 4, "Most packed timing for 2 lanes:"},
    {11, 3, 12, "Most packed timing for 4 lanes:"},
}};

const std::array<MostPackedTiming, MostPackedTimings::kCount> kTable = {{
    {"CVT", "1280", "800", "60", "Progressive", "Reduced", "18", "99%"},
    {"DMT", "1280", "768", "60", "Progressive", "Reduced", "18", "95%"},
    {"DMT", "800", "600", "60.317", "Progressive", "Normal", "30", "93%"},
    {"DMT", "1024", "768", "60", "Progressive", "Normal", "18", "90%"},
    {"DMT", "1280", "1024", "60", "Progressive", "Normal", "24", "100%"},
    {"DMT", "1280", "960", "60", "Progressive", "Normal", "24", "100%"},
    {"DMT", "1360", "768", "60", "Progressive", "Normal", "30", "99%"},
    {"CVT", "1280", "800", "60", "Progressive", "Normal", "30", "97%"},
    {"DMT", "1400", "1050", "60", "Progressive", "Reduced", "24", "94%"},
    {"DMT", "1280", "768", "60", "Progressive", "Normal", "30", "92%"},
    {"CVT", "1600", "1200", "60", "Progressive", "Reduced", "18", "90%"},
    {"CVT", "2048", "1536", "60", "Progressive", "Reduced", "24", "97%"},
    {"DMT", "1792", "1344", "60", "Progressive", "Normal", "24", "95%"},
    {"DMT", "1600", "1200", "60", "Progressive", "Normal", "30", "94%"},
}};

const std::array<const char*, 8> kColumns = {
    "Standard", "H-Res", "V-Res", "Refresh rate", "Interlace/Progressive", "Blanking mode", "bpp", "Packing ratio"};

}  // namespace

const std::array<MostPackedTimings::LaneList, 3>& MostPackedTimings::Lists() { return kLists; }

const std::array<MostPackedTiming, MostPackedTimings::kCount>& MostPackedTimings::Table() { return kTable; }

const std::array<const char*, 8>& MostPackedTimings::ColumnCaptions() { return kColumns; }

bool MostPackedTimings::IsIndexOfList(Lanes lanes, int32_t tableIndex) {
    const LaneList& list = kLists[lanes];
    return tableIndex >= list.firstIndex && tableIndex < list.firstIndex + list.rowCount;
}
