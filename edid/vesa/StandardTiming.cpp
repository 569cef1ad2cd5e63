#include "edid/vesa/StandardTiming.h"

#include "edid/core/ECFormat.h"

namespace standard_timing {
namespace {

constexpr uint8_t kUnused = 0x01;
// "Defined" writes 1600 pixels, 4:3, 60 Hz.
constexpr uint8_t kDefinedFirst = 0xA9;
constexpr uint8_t kDefinedSecond = 0x40;

constexpr int kMinX = 256;
constexpr int kMaxX = 2288;
constexpr int kMinRefresh = 60;
constexpr int kMaxRefresh = 123;

const char* const kAspectItems = "16:10\r\n4:3\r\n5:4\r\n16:9";
const char* const kAspectTexts[4] = {"16:10", "4:3", "5:4", "16:9"};

int XResolution(const uint8_t* code) { return code[0] * 8 + 248; }

// Vertical lines from the horizontal pixels and the aspect ratio (bits 7-6).
int YResolution(const uint8_t* code) {
    static const double kFactor[4] = {0.625, 0.75, 0.8, 0.5625};
    return static_cast<int>(XResolution(code) * kFactor[(code[1] >> 6) & 3]);
}

}  // namespace

ECEntry* Create(ECHelper* codec, ECTreeView* view, ECEntry* parent, int number, uint8_t* code,
                ECRethinkClosure rethink) {
    auto get = [](int32_t, uint8_t* data, EntryInfo*) {
        return ECVariant::OfText((data[0] == kUnused && data[1] == kUnused) ? "Undefined" : "Defined");
    };
    auto set = [codec](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        if (value.Integer == -1) {
            codec->Report("Please, select an option", EC_LEVEL_ERROR);
            return;
        }
        if (value.Integer == 1) {
            data[0] = kUnused;
            data[1] = kUnused;
        } else {
            data[0] = kDefinedFirst;
            data[1] = kDefinedSecond;
        }
    };
    const std::string name = ECFormat("Timing %d", number);
    EntryInfo* info = ECHelper::NewEntryInfo(ECT_LIST | ECT_RETHINK_ON_SET | ECT_SHOW_DETAILS, name.c_str(), get, set,
                                             {}, "", "Defined\r\nUndefined");
    auto* entry = new ECEntry(view, parent, info, code, 0, std::move(rethink));
    Rethink(codec, view, entry);
    return entry;
}

void Rethink(ECHelper* codec, ECTreeView* view, ECEntry* timing) {
    timing->DeleteChilds();
    uint8_t* code = timing->GetData();
    if (code[0] == kUnused && code[1] == kUnused) return;

    auto getX = [](int32_t, uint8_t* data, EntryInfo* info) {
        info->Suffix = data[0] == 0 ? QStringLiteral(" [RESERVED]") : QString();
        return ECVariant::OfInt(XResolution(data));
    };
    auto setX = [codec](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        const int x = value.Integer;
        if (x < kMinX || x > kMaxX) {
            codec->Report("Out of range - Possible range 256 - 2288", EC_LEVEL_ERROR);
            return;
        }
        if (x % 8 != 0) {
            codec->Report("Precision - X-Resolution may only be set with precision of 8 pixels", EC_LEVEL_WARNING);
        }
        // Nearest multiple of 8, halves upward.
        data[0] = static_cast<uint8_t>(((x + 4) >> 3) - 31);
    };
    new ECEntry(
        view, timing,
        ECHelper::NewEntryInfo(ECT_INT, "X-Resolution", getX, setX, {}, "256 - 2288 pixels, 8 pixel accuracy", ""),
        code, 0);

    auto getY = [](int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(YResolution(data)); };
    new ECEntry(view, timing,
                ECHelper::NewEntryInfo(ECT_INT | ECT_READ_ONLY | ECT_FLAG_4000, "Y-Resolution", getY, {}, {},
                                       "Determined with aspect ratio", ""),
                code, 0);

    auto getAspect = [](int32_t, uint8_t* data, EntryInfo*) {
        return ECVariant::OfText(kAspectTexts[(data[0] >> 6) & 3]);
    };
    auto setAspect = [](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        data[0] = static_cast<uint8_t>((data[0] & 0x3F) | ((value.Integer & 3) << 6));
    };
    new ECEntry(view, timing,
                ECHelper::NewEntryInfo(ECT_LIST, "Aspect ratio", getAspect, setAspect, {}, "", kAspectItems), code + 1,
                0);

    auto getRefresh = [](int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt((data[0] & 0x3F) + 60); };
    auto setRefresh = [codec](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        const int rate = value.Integer;
        if (rate < kMinRefresh || rate > kMaxRefresh) {
            codec->Report("Out of range - Possible range 60 - 123Hz", EC_LEVEL_ERROR);
            return;
        }
        data[0] = static_cast<uint8_t>((data[0] & 0xC0) | (rate - 60));
    };
    new ECEntry(view, timing,
                ECHelper::NewEntryInfo(ECT_INT, "Refresh rate", getRefresh, setRefresh, {}, "60 - 123Hz", ""), code + 1,
                0);
}

}  // namespace standard_timing
