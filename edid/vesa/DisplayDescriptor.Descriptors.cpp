// Display descriptors (E-EDID 1.4 tags FFh, FEh, FCh text; FDh range limits;
// FBh colour point; FAh standard timing identifications). Part of the
// DisplayDescriptor codec.

#include "edid/vesa/DisplayDescriptor.h"
#include "edid/core/ECFormat.h"
#include "edid/vesa/StandardTiming.h"

#include <cmath>
#include <string>

namespace {

constexpr int kTextFirst = 5;
constexpr int kTextLength = 13;
constexpr int kTextMax = 12;

constexpr int kRateOffsets = 4;
constexpr int kMaxPixelClock = 9;
constexpr int kTimingSupport = 10;

constexpr uint8_t kTextPadding[7] = {0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20};
constexpr uint8_t kColorPointPadding[3] = {0x0A, 0x20, 0x20};
constexpr uint8_t kNoSecondWhitePoint[4] = {0, 0, 0, 0};
constexpr uint8_t kLineFeed[1] = {0x0A};

const char* const kOffsetItems = "No Offsets\r\nMax Rate +255Hz\r\nMax Rate +255Hz, Min Rate + 255Hz\r\n";
const char* const kOffsetTexts[4] = {"No Offsets", "No Offsets [Invalid]", "Max Rate +255Hz",
                                     "Max Rate +255Hz, Min Rate + 255Hz"};
const char* const kPreferredAspectItems = "4:3 AR\r\n16:9 AR\r\n16:10 AR\r\n5:4 AR\r\n15:9 AR";
const char* const kPreferredAspectTexts[5] = {"4:3 AR", "16:9 AR", "16:10 AR", "5:4 AR", "15:9 AR"};

// Video timing support codes of the range limits descriptor.
constexpr uint8_t kDefaultGtf = 0x00;
constexpr uint8_t kRangeLimitsOnly = 0x01;
constexpr uint8_t kSecondaryGtf = 0x02;
constexpr uint8_t kCvt = 0x04;

// Chromaticity-style 10-bit coordinate: value rounded to three decimals.
double CoordinateValue(int raw) { return std::floor(raw / 1024.0 * 1000.0 + 0.5) / 1000.0; }

// Gamma code (gamma x 100 - 100) of a value, or -1 when out of range.
int GammaCode(double gamma) {
    if (!std::isfinite(gamma)) return -1;
    const double code = std::trunc(gamma * 100.0 - 99.5);
    return (code >= 0.0 && code <= 254.0) ? static_cast<int>(code) : -1;
}

// 0.5-step curve parameter code of a value in 0.0 to 127.5, or -1.
int HalfStepCode(double value) {
    if (!std::isfinite(value) || value < 0.0 || value > 127.5) return -1;
    return static_cast<int>((value + 0.25) * 2.0);
}

}  // namespace

// ---------------------------------------------------------------------------
// Text descriptors (serial number, alphanumeric data, product name)

void DisplayDescriptor::BuildTextDescriptor(ECEntry* root, const char* name) {
    ReservedByte(root, "RESERVED Byte 5", 4);
    auto get = [](int32_t, uint8_t* data, EntryInfo*) {
        QString text;
        for (int i = 0; i < kTextLength; ++i) text += QChar(static_cast<char16_t>(data[kTextFirst + i]));
        // The text ends before the last line break; a full 13-character text has none.
        qsizetype last = -1;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i) == QLatin1Char('\r') || text.at(i) == QLatin1Char('\n')) last = i;
        }
        if (last < 0) return ECVariant::OfText(text);
        return ECVariant::OfText(text.left(last));
    };
    auto set = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        if (value.Text.size() > kTextMax) {
            Report("String too long - 12 characters MAX", EC_LEVEL_ERROR);
            return;
        }
        const QString padded = value.Text + QLatin1Char('\n') + QString(kTextMax, QLatin1Char(' '));
        for (int i = 0; i < kTextLength; ++i)
            data[kTextFirst + i] = static_cast<uint8_t>(padded.at(i).unicode() & 0xFF);
    };
    new ECEntry(owner_, root, NewEntryInfo(ECT_STRING, name, get, set, {}, "12 chars max.", ""), data_, 0);
}

// ---------------------------------------------------------------------------
// Display range limits (tag FDh)

namespace {

// Offset code of a direction: bits 1-0 vertical (shift 0), bits 3-2 horizontal (shift 2).
int OffsetCode(const uint8_t* data, int shift) { return (data[kRateOffsets] >> shift) & 3; }

// param: bit 0 = maximum rate, bit 1 = horizontal direction.
bool OffsetApplies(const uint8_t* data, int32_t param) {
    const int code = OffsetCode(data, (param & 2) ? 2 : 0);
    return (param & 1) ? (code == 2 || code == 3) : code == 3;
}

}  // namespace

void DisplayDescriptor::BuildRangeLimits(ECEntry* root) {
    auto offsets = [this, root](const char* name, int shift) {
        auto get = [shift](int32_t, uint8_t* data, EntryInfo*) {
            return ECVariant::OfText(kOffsetTexts[OffsetCode(data, shift)]);
        };
        auto set = [shift](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
            static const int kCodes[3] = {0, 2, 3};
            const int code = (value.Integer >= 0 && value.Integer < 3) ? kCodes[value.Integer] : 0;
            // The other direction's code is kept; the reserved bits 7-4 are cleared.
            const uint8_t keep = shift == 0 ? 0x0C : 0x03;
            data[kRateOffsets] = static_cast<uint8_t>((data[kRateOffsets] & keep) + (code << shift));
        };
        return new ECEntry(owner_, root, NewEntryInfo(ECT_LIST, name, get, set, {}, "", kOffsetItems), data_, 0);
    };
    ECEntry* vertical = offsets("Vertical range limit offsets", 0);
    ECEntry* horizontal = offsets("Horizontal range limit offsets", 2);

    auto getRate = [](int32_t param, uint8_t* data, EntryInfo* info) {
        const int byte = 5 + param;
        info->Prefix = data[byte] == 0 ? QStringLiteral("[RESERVED VALUE USED] ") : QString();
        if (OffsetApplies(data, param)) {
            info->RangeHint = QStringLiteral("256 - 510Hz");
            return ECVariant::OfInt(data[byte] + 255);
        }
        info->RangeHint = QStringLiteral("1 - 255Hz");
        return ECVariant::OfInt(data[byte]);
    };
    auto setRate = [this](int32_t param, uint8_t* data, EntryInfo*, ECVariant value) {
        const int byte = 5 + param;
        if (OffsetApplies(data, param)) {
            if (value.Integer < 256 || value.Integer > 510) {
                Report("Out of range - Possible range 256 - 510Hz", EC_LEVEL_ERROR);
                return;
            }
            data[byte] = static_cast<uint8_t>(value.Integer - 255);
            return;
        }
        if (value.Integer < 1 || value.Integer > 255) {
            Report("Out of range - Possible range 1 - 255Hz", EC_LEVEL_ERROR);
            return;
        }
        data[byte] = static_cast<uint8_t>(value.Integer);
    };
    // param: 0 min vertical, 1 max vertical, 2 min horizontal, 3 max horizontal (bytes 5 to 8).
    static const char* const kRateNames[4] = {"Minimum vertical rate", "Maximum vertical rate",
                                              "Minimum horizontal rate", "Maximum horizontal rate"};
    for (int i = 0; i < 4; ++i) {
        auto* rate = new ECEntry(
            owner_, root, NewEntryInfo(ECT_INT | ECT_COMPARE_CACHED, kRateNames[i], getRate, setRate, {}, "", ""),
            data_, i);
        rate->AddDependency((i < 2 ? vertical : horizontal)->GetPath());
    }

    auto getClock = [](int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[kMaxPixelClock] * 10); };
    auto setClock = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        if (value.Integer < 10 || value.Integer > 2550) {
            Report("Out of range - Possible range 10 - 2550 MHz", EC_LEVEL_ERROR);
            return;
        }
        if (value.Integer % 10 != 0)
            Report("Warning - Resolution is 10 MHz; Entered value is rounded up.", EC_LEVEL_WARNING);
        data[kMaxPixelClock] = static_cast<uint8_t>((value.Integer + 9) / 10);
    };
    new ECEntry(owner_, root, NewEntryInfo(ECT_INT, "Maximum pixel clock", getClock, setClock, {}, "10 - 2550MHz", ""),
                data_, 0);

    auto getSupport = [](int32_t, uint8_t* data, EntryInfo*) {
        switch (data[kTimingSupport]) {
            case kDefaultGtf:
                return ECVariant::OfText("Default GTF Supported");
            case kRangeLimitsOnly:
                return ECVariant::OfText("Range limits only");
            case kSecondaryGtf:
                return ECVariant::OfText("Secondary GTF supported");
            case kCvt:
                return ECVariant::OfText("CVT supported");
            default:
                break;
        }
        return ECVariant::OfText("[RESERVED]");
    };
    auto setSupport = [](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        static const uint8_t kCodes[4] = {kDefaultGtf, kRangeLimitsOnly, kSecondaryGtf, kCvt};
        if (value.Integer >= 0 && value.Integer < 4) data[kTimingSupport] = kCodes[value.Integer];
    };
    auto* support = new ECEntry(
        owner_, root,
        NewEntryInfo(ECT_LIST | ECT_RETHINK_ON_SET, "Video Timing support", getSupport, setSupport, {}, "",
                     "Default GTF Supported\r\nRange limits only\r\nSecondary GTF supported\r\nCVT supported"),
        data_, 0, [this](ECEntry* e) { RethinkTimingSupport(e); });
    RethinkTimingSupport(support);
}

void DisplayDescriptor::RethinkTimingSupport(ECEntry* entry) {
    entry->DeleteChilds();
    switch (data_[kTimingSupport]) {
        case kDefaultGtf:
        case kRangeLimitsOnly:
            ReservedRun(entry, "RESERVED range", 11, kTextPadding, 7, "OK", "BAD");
            break;
        case kSecondaryGtf:
            BuildSecondaryGtf(entry);
            break;
        case kCvt:
            BuildCvt(entry);
            break;
        default:
            break;
    }
}

void DisplayDescriptor::BuildSecondaryGtf(ECEntry* entry) {
    ReservedByte(entry, "RESERVED Byte 11", 11);

    auto getBreak = [](int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[12] * 2); };
    auto setBreak = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        if (value.Integer < 0 || value.Integer > 510) {
            Report("Out of range - Possible range 0 - 510kHz", EC_LEVEL_ERROR);
            return;
        }
        if (value.Integer % 2 != 0) Report("Warning - Resolution is 2 kHz, Rounding.", EC_LEVEL_WARNING);
        data[12] = static_cast<uint8_t>((value.Integer + 1) / 2);
    };
    new ECEntry(owner_, entry, NewEntryInfo(ECT_INT, "Start break frequency", getBreak, setBreak, {}, "0 - 510kHz", ""),
                data_, 0);

    auto halfStep = [this, entry](const char* name, int byte) {
        auto get = [byte](int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfDouble(data[byte] * 0.5); };
        auto set = [this, byte](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
            const int code = HalfStepCode(value.Float);
            if (code < 0) {
                Report("Out of range - Possible range 0.0 - 127.5", EC_LEVEL_ERROR);
                return;
            }
            data[byte] = static_cast<uint8_t>(code);
        };
        new ECEntry(owner_, entry, NewEntryInfo(ECT_FLOAT, name, get, set, {}, "0.0 - 127.5, 0.5 resolution", "%.1f"),
                    data_, 0);
    };
    halfStep("Curve var. C", 13);

    auto getM = [](int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[14] | (data[15] << 8)); };
    auto setM = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        if (value.Integer < 0 || value.Integer > 65535) {
            Report("Out of range - Possible range 0 - 65535", EC_LEVEL_ERROR);
            return;
        }
        data[14] = static_cast<uint8_t>(value.Integer & 0xFF);
        data[15] = static_cast<uint8_t>(value.Integer >> 8);
    };
    new ECEntry(owner_, entry, NewEntryInfo(ECT_INT, "Curve var. M", getM, setM, {}, "0 - 65535", ""), data_, 0);

    auto getK = [](int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[16]); };
    auto setK = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        if (value.Integer < 0 || value.Integer > 255) {
            Report("Out of range - Possible range 0 - 255", EC_LEVEL_ERROR);
            return;
        }
        data[16] = static_cast<uint8_t>(value.Integer);
    };
    new ECEntry(owner_, entry, NewEntryInfo(ECT_INT, "Curve var. K", getK, setK, {}, "0 - 255", ""), data_, 0);

    halfStep("Curve var. J", 17);
}

void DisplayDescriptor::BuildCvt(ECEntry* entry) {
    auto getVersion = [](int32_t, uint8_t* data, EntryInfo*) {
        return ECVariant::OfText(ECFormatW("%d.%d", data[11] >> 4, data[11] & 0x0F));
    };
    auto setVersion = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        const QString text = ECWiden(ECNarrow(value.Text));
        const qsizetype dot = text.indexOf(QLatin1Char('.'));
        const int major = ECTextToInt(dot < 0 ? text : text.left(dot));
        const int minor = dot < 0 ? 0 : ECTextToInt(text.mid(dot + 1));
        if (major < 0 || major > 15) {
            Report("Major version number out of range - Possible range 0 - 15", EC_LEVEL_ERROR);
            return;
        }
        if (minor < 0 || minor > 15) {
            Report("Minor version number out of range - Possible range 0 - 15", EC_LEVEL_ERROR);
            return;
        }
        data[11] = static_cast<uint8_t>(major * 16 + minor);
    };
    new ECEntry(owner_, entry, NewEntryInfo(ECT_STRING, "CVT Version", getVersion, setVersion, {}, "1.0 -> 15.15", ""),
                data_, 0);

    auto getClock = [](int32_t, uint8_t* data, EntryInfo*) {
        return ECVariant::OfDouble(data[kMaxPixelClock] * 10 - (data[12] >> 2) * 0.25);
    };
    auto setClock = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        const double mhz = value.Float;
        if (!std::isfinite(mhz) || mhz < 10.0 || mhz > 2550.0) {
            Report("Out of range - Possible range 10 - 2550 MHz", EC_LEVEL_ERROR);
            return;
        }
        const int tens = static_cast<int>(std::ceil(mhz / 10.0));
        const int reduction = static_cast<int>((tens * 10 - mhz) * 4.0);
        data[kMaxPixelClock] = static_cast<uint8_t>(tens);
        data[12] = static_cast<uint8_t>((data[12] & 0x03) | ((reduction & 0x3F) << 2));
    };
    new ECEntry(owner_, entry,
                NewEntryInfo(ECT_FLOAT | ECT_FLAG_4000, "Max pixel clock, HI-res", getClock, setClock, {},
                             "10 - 2550 MHz, 0.25MHz resolution", "%.2f"),
                data_, 0);

    auto getActive = [](int32_t, uint8_t* data, EntryInfo* info) {
        const int pixels = ((data[12] & 3) * 256 + data[13]) * 8;
        info->Suffix = pixels == 0 ? QStringLiteral(" (Unlimited)") : QString();
        return ECVariant::OfInt(pixels);
    };
    auto setActive = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        if (value.Integer < 0 || value.Integer > 8184) {
            Report("Out of range - Possible range 0 - 8184", EC_LEVEL_ERROR);
            return;
        }
        if (value.Integer % 8 != 0) {
            Report("Warning - Resolution is 8 Pixels; rounded to nearest division of 8.", EC_LEVEL_WARNING);
        }
        const int code = (value.Integer + 4) / 8;
        data[13] = static_cast<uint8_t>(code & 0xFF);
        data[12] = static_cast<uint8_t>((data[12] & 0xFC) | (code >> 8));
    };
    new ECEntry(owner_, entry,
                NewEntryInfo(ECT_INT, "Maximum active pixels, horizontal", getActive, setActive, {}, "0=Unlimited", ""),
                data_, 0);

    auto bit = [this, entry](const char* name, int byte, int param) {
        new ECEntry(owner_, entry, NewEntryInfo(ECT_BOOL, name, ECGetBit, ECSetBit, {}, "", " Supported"), data_ + byte,
                    param);
    };
    bit("4:3 AR", 14, 7);
    bit("16:9 AR", 14, 6);
    bit("16:10 AR", 14, 5);
    bit("5:4 AR", 14, 4);
    bit("15:9 AR", 14, 3);

    auto getPreferred = [](int32_t, uint8_t* data, EntryInfo*) {
        const int code = data[15] >> 5;
        return ECVariant::OfText(code < 5 ? kPreferredAspectTexts[code] : "[RESERVED]");
    };
    auto setPreferred = [](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        data[15] = static_cast<uint8_t>((data[15] & 0x1F) | ((value.Integer & 7) << 5));
    };
    new ECEntry(owner_, entry,
                NewEntryInfo(ECT_LIST, "Preferred Aspect", getPreferred, setPreferred, {}, "", kPreferredAspectItems),
                data_, 0);

    bit("Reduced CVT Blanking", 15, 4);
    bit("Standard CVT Blanking", 15, 3);
    bit("H-Shrink", 16, 7);
    bit("H-Stretch", 16, 6);
    bit("V-Shrink", 16, 5);
    bit("V-Stretch", 16, 4);

    auto getRefresh = [](int32_t, uint8_t* data, EntryInfo* info) {
        info->Prefix = data[17] == 0 ? QStringLiteral("[Invalid value]") : QString();
        return ECVariant::OfInt(data[17]);
    };
    auto setRefresh = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        if (value.Integer < 1 || value.Integer > 255) {
            Report("Out of range - Possible range 1 - 255Hz", EC_LEVEL_ERROR);
            return;
        }
        data[17] = static_cast<uint8_t>(value.Integer);
    };
    new ECEntry(owner_, entry, NewEntryInfo(ECT_INT, "Preferred refresh rate", getRefresh, setRefresh, {}, "", ""),
                data_, 0);
}

// ---------------------------------------------------------------------------
// Colour point data (tag FBh)

void DisplayDescriptor::BuildColorPoint(ECEntry* root) {
    ReservedByte(root, "RESERVED Byte 5", 4);
    BuildWhitePoint(root, 5, 1, "1 - 255");
    ReservedRun(root, "RESERVED range", 15, kColorPointPadding, 3, "Good", "Bad");

    auto get = [](int32_t, uint8_t* data, EntryInfo* info) {
        info->Prefix = data[10] == 1 ? QStringLiteral("[Invalid white point index]") : QString();
        return ECVariant::OfText(data[10] != 0 ? "Defined" : "Undefined");
    };
    auto set = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        if (value.Integer == -1) {
            Report("Please, select an option", EC_LEVEL_ERROR);
            return;
        }
        data[10] = value.Integer == 0 ? 0x02 : 0x00;
    };
    auto* second = new ECEntry(owner_, root,
                               NewEntryInfo(ECT_LIST | ECT_RETHINK_ON_SET, "Second White point definition", get, set,
                                            {}, "", "Defined\r\nUndefined"),
                               data_, 0, [this](ECEntry* e) { RethinkWhitePoint2(e); });
    RethinkWhitePoint2(second);
}

void DisplayDescriptor::RethinkWhitePoint2(ECEntry* entry) {
    entry->DeleteChilds();
    if (data_[10] != 0) {
        BuildWhitePoint(entry, 10, 2, "2 - 255");
        return;
    }
    ReservedRun(entry, "Pt2 RESERVED", 11, kNoSecondWhitePoint, 4, "Good", "Bad", 4);
}

// One white point: index byte, then low bits, x and y high bytes, gamma.
void DisplayDescriptor::BuildWhitePoint(ECEntry* parent, int indexByte, int minIndex, const char* indexHint) {
    auto getIndex = [](int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[0]); };
    auto setIndex = [this](int32_t param, uint8_t* data, EntryInfo*, ECVariant value) {
        if (value.Integer < param || value.Integer > 255) {
            Report(ECFormat("Out of range - Possible range %d - 255", param).c_str(), EC_LEVEL_ERROR);
            return;
        }
        data[0] = static_cast<uint8_t>(value.Integer);
    };
    new ECEntry(owner_, parent,
                NewEntryInfo(ECT_INT, "White Point Index Number", getIndex, setIndex, {}, indexHint, ""),
                data_ + indexByte, minIndex);

    // param: 1 for x (bits 3-2 of the low byte, high byte p + 1), 2 for y (bits 1-0, p + 2).
    auto getCoord = [](int32_t param, uint8_t* data, EntryInfo*) {
        const int shift = param == 1 ? 2 : 0;
        return ECVariant::OfDouble(CoordinateValue(data[param] * 4 + ((data[0] >> shift) & 3)));
    };
    auto setCoord = [this](int32_t param, uint8_t* data, EntryInfo*, ECVariant value) {
        const double v = value.Float;
        if (!std::isfinite(v) || v < 0.0 || v > 1.0) {
            Report("Out of range - Possible range 0.000 - 1.000", EC_LEVEL_ERROR);
            return;
        }
        // Values from 1023.5/1024 up to 1.0 would code as 1024: the field holds 1023 at most.
        const int raw = std::min(static_cast<int>(v * 1024.0 + 0.5), 1023);
        const int shift = param == 1 ? 2 : 0;
        data[param] = static_cast<uint8_t>(raw >> 2);
        data[0] = static_cast<uint8_t>((data[0] & ~(3 << shift)) | ((raw & 3) << shift));
    };
    uint8_t* point = data_ + indexByte + 1;
    new ECEntry(owner_, parent,
                NewEntryInfo(ECT_FLOAT, "White point x-coord", getCoord, setCoord, {}, "0.0000 - 1.0000", ""), point,
                1);
    new ECEntry(owner_, parent,
                NewEntryInfo(ECT_FLOAT, "White point y-coord", getCoord, setCoord, {}, "0.0000 - 1.0000", ""), point,
                2);

    auto getGamma = [](int32_t, uint8_t* data, EntryInfo* info) {
        if (data[0] == 0xFF) {
            info->Prefix = QStringLiteral("[Undefined]");
            return ECVariant();
        }
        info->Prefix.clear();
        return ECVariant::OfDouble(data[0] * 0.01 + 1.0);
    };
    auto setGamma = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        const int code = GammaCode(value.Float);
        if (code < 0) {
            Report("Out of range - Possible range 1.00 - 3.54", EC_LEVEL_ERROR);
            return;
        }
        data[0] = static_cast<uint8_t>(code);
    };
    new ECEntry(owner_, parent, NewEntryInfo(ECT_FLOAT, "Gamma", getGamma, setGamma, {}, "1.00 - 3.54", ""),
                data_ + indexByte + 4, 0);
}

// ---------------------------------------------------------------------------
// Standard timing identifications (tag FAh)

void DisplayDescriptor::BuildStandardTimingIds(ECEntry* root) {
    for (int i = 0; i < 6; ++i) {
        standard_timing::Create(this, owner_, root, 9 + i, data_ + 5 + 2 * i,
                                [this](ECEntry* e) { RethinkStandardTiming(e); });
    }
    ReservedByte(root, "RESERVED Byte 5", 4);
    ReservedRun(root, "RESERVED Byte 17", 17, kLineFeed, 1, "Good", "Bad");
}

void DisplayDescriptor::RethinkStandardTiming(ECEntry* timing) { standard_timing::Rethink(this, owner_, timing); }
