// CEA861: the VESA video display device information data block (extended
// tag 02h): interface, native format, geometry, subpixel layout, pixel pitch,
// capabilities, audio, frame rate, colour depth, additional primaries,
// response time and overscan. Positions count from the header byte (0); the
// extended tag is byte 1 and the device data bytes 2 to 31.

#include "edid/cea861/CEA861.h"

#include "edid/core/ECFormat.h"

#include <cmath>

namespace {

enum class Kind { List, Number, Interface, Version, MaxClock, Resolution, Aspect, Pitch, AudioDelay, Primaries };

// One field: the byte that holds it (and the last byte it spans), the bit
// position and width inside that byte, and its texts.
struct VddiField {
    const char* name;
    uint32_t flags;
    const char* items;  // item list or format
    const char* hint;
    Kind kind;
    int byte;
    int lastByte;
    int shift;
    int width;
    const char* const* names;  // texts of the codes, List fields
    int nameCount;
    const char* rangeText;  // refusal of Number fields
};

const char* const kInterfaceNames[] = {"Analog",          "LVDS",        "RSDS",         "DVI-D", "DVI-I (Analog)",
                                       "DVI-I (Digital)", "HDMI-A",      "HDMI-B",       "MDDI",  "Display Port",
                                       "IEEE-1394",       "M1 (Analog)", "nM1 (Digital)"};
const char* const kProtectionNames[] = {"None supported", "nHDCP", "DTCP", "DPCP (DisplayPort)"};
const char* const kOrientationNames[] = {"Landscape", "Portrait", "Not fixed", "Undefined"};
const char* const kRotationNames[] = {"No rotation", "90 degrees clockwise", "90 degrees counterclockwise",
                                      "90 degrees either direction"};
const char* const kZeroPixelNames[] = {"Upper left corner", "Upper right corner", "Lower left corner",
                                       "Lower right corner"};
const char* const kScanNames[] = {"Not defined", "Scan along long axis", "Scan along short axis"};
const char* const kSubpixelNames[] = {"(0) Not defined",
                                      "(1) RGB Vertical Stripes",
                                      "(2) RGB Horizontal stripes",
                                      "(3) Vertical stripes (Order = chromasity order)",
                                      "(4) Horizontal stripes (Order = chromasity order)",
                                      "(5) Quad subpixels (Red, Green, Green Blue)",
                                      "(6) Quad subpixels (Green, Blue, Red, Greed)",
                                      "(7) Delta (triad) RGB subpixels",
                                      "(8) Mosaic (other)",
                                      "(9) Four colours (RGBlue + Other; Order as with chromasity)",
                                      "(10) Five subpixels (Order as with chromasity)",
                                      "(11) Six subpixels (Order as with chromasity)",
                                      "(12) Clairvoyante, Inc. PenTile Matrix(tm) Layout"};
const char* const kConversionNames[] = {"No conversion hardware", "Single framebuffer or similar",
                                        "Double buffering or similar", "Conversion with intraframe interpolation"};
const char* const kResponseNames[] = {"Black to white", "White to black"};

constexpr const char* kSubpixelItems =
    "(0) Not defined\r\n(1) RGB Vertical Stripes\r\n(2) RGB Horizontal stripes\r\n"
    "(3) Vertical stripes (Order = chromasity order)\r\n(4) Horizontal stripes (Order = chromasity order)\r\n"
    "(5) Quad subpixels (Red, Green, Green Blue)\r\n(6) Quad subpixels (Green, Blue, Red, Greed)\r\n"
    "(7) Delta (triad) RGB subpixels\r\n(8) Mosaic (other)\r\n"
    "(9) Four colours (RGBlue + Other; Order as with chromasity)\r\n(10) Five subpixels (Order as with chromasity)\r\n"
    "(11) Six subpixels (Order as with chromasity)\r\n(12) Clairvoyante, Inc. PenTile Matrix(tm) Layout";

#define NAMES(a) a, static_cast<int>(sizeof a / sizeof a[0])

// The entries in the order they are shown ("Misc. display caps." and "Audio
// flags" are groups built between the pitches and the audio delay).
const VddiField kFields[] = {
    {"Interface Type", ECT_CEA_CHOICE,
     "Analog\r\nLVDS\r\nRSDS\r\nDVI-D\r\nDVI-I (Analog)\r\nDVI-I (Digital)\r\nHDMI-A\r\nHDMI-B\r\nMDDI\r\n"
     "Display Port\r\nIEEE-1394\r\nM1 (Analog)\r\nM1 (Digital)",
     "", Kind::Interface, 2, 2, 0, 8, nullptr, 0, nullptr},
    {"Version", ECT_STRING, "", "", Kind::Version, 3, 3, 0, 8, nullptr, 0, nullptr},
    {"Content protection support", ECT_LIST, "None supported\r\nHDCP\r\nDTCP\r\nDPCP (DisplayPort)", "", Kind::List, 4,
     4, 0, 8, NAMES(kProtectionNames), nullptr},
    {"Minimum lane/channel clock frequency", ECT_INT, "", "0-63MHz", Kind::Number, 5, 5, 2, 6, nullptr, 0,
     "Out of range - Possible range 0-63MHz"},
    {"Maximum lane/channel clock frequency", ECT_INT, "", "0-1023MHz", Kind::MaxClock, 5, 6, 0, 10, nullptr, 0,
     "Out of range - Possible range 0-1023MHz"},
    {"Native horizontal resolution", ECT_INT, "", "0-65535", Kind::Resolution, 7, 8, 0, 16, nullptr, 0,
     "Out of range - Possible range 0-65535"},
    {"Native Vertical resolution", ECT_INT, "", "0-65535", Kind::Resolution, 9, 10, 0, 16, nullptr, 0,
     "Out of range - Possible range 0-65535"},
    {"Aspect Ratio", ECT_STRING, "", "1:1 -> 3.54:1", Kind::Aspect, 11, 11, 0, 8, nullptr, 0, nullptr},
    {"Default orientation", ECT_LIST, "Landscape\r\nPortrait\r\nNot fixed\r\nUndefined", "", Kind::List, 12, 12, 6, 2,
     NAMES(kOrientationNames), nullptr},
    {"Rotation capabilites", ECT_LIST,
     "No rotation\r\n90 degrees clockwise\r\n90 degrees counterclockwise\r\n90 degrees either direction", "",
     Kind::List, 12, 12, 4, 2, NAMES(kRotationNames), nullptr},
    {"'Zero pixel' position", ECT_LIST,
     "Upper left corner\r\nUpper right corner\r\nLower left corner\r\nLower right corner", "", Kind::List, 12, 12, 2, 2,
     NAMES(kZeroPixelNames), nullptr},
    {"Scan direction", ECT_LIST, "Not defined\r\nScan along long axis\r\nScan along short axis", "", Kind::List, 12, 12,
     0, 2, NAMES(kScanNames), nullptr},
    {"Subpixel information (Layout/Configuration)", ECT_LIST, kSubpixelItems, "", Kind::List, 13, 13, 0, 8,
     NAMES(kSubpixelNames), nullptr},
    {"Horizontal pixel pitch", ECT_FLOAT, "%.2f", "0.00 - 2.55mm", Kind::Pitch, 14, 14, 0, 8, nullptr, 0, nullptr},
    {"Vertical pixel pitch", ECT_FLOAT, "%.2f", "0.00 - 2.55mm", Kind::Pitch, 15, 15, 0, 8, nullptr, 0, nullptr},
    {"Audio delay", ECT_INT, "", "-254 - 254ms", Kind::AudioDelay, 18, 18, 0, 8, nullptr, 0, nullptr},
    {"Framerate conversion", ECT_LIST,
     "No conversion hardware\r\nSingle framebuffer or similar\r\nDouble buffering or similar\r\n"
     "Conversion with intraframe interpolation",
     "", Kind::List, 19, 19, 6, 2, NAMES(kConversionNames), nullptr},
    {"Framerate deviation", ECT_INT, "", "0-63 FPS", Kind::Number, 19, 19, 0, 6, nullptr, 0,
     "Out of range - Possible range 0-63"},
    {"Native framerate", ECT_INT, "", "0-255 FPS", Kind::Number, 20, 20, 0, 8, nullptr, 0,
     "Out of range - Possible range 0-255"},
    {"Interface colordepth", ECT_INT, "", "0-15 bits per color", Kind::Number, 21, 21, 4, 4, nullptr, 0,
     "Out of range - Possible range 0-15"},
    {"Display colordepth", ECT_INT, "", "0-15 bits per color", Kind::Number, 21, 21, 0, 4, nullptr, 0,
     "Out of range - Possible range 0-15"},
    {"Number of additional primary colors", ECT_INT | ECT_RETHINK_ON_SET, "", "0-3", Kind::Primaries, 22, 29, 0, 2,
     nullptr, 0, "Out of range - Possible range 0-3"},
    {"Response time direction", ECT_LIST, "Black to white\r\nWhite to black", "", Kind::List, 30, 30, 7, 1,
     NAMES(kResponseNames), nullptr},
    {"Response time", ECT_INT, "", "ms", Kind::Number, 30, 30, 0, 7, nullptr, 0,
     "Out of range - Possible range 0-127ms"},
    {"Horizontal overscan", ECT_INT, "", "0-15%", Kind::Number, 31, 31, 4, 4, nullptr, 0,
     "Out of range - Possible range 0-15%"},
    {"Vertical overscan", ECT_INT, "", "0-15%", Kind::Number, 31, 31, 0, 4, nullptr, 0,
     "Out of range - Possible range 0-15%"},
};
constexpr int kFieldCount = static_cast<int>(sizeof kFields / sizeof kFields[0]);
constexpr int kAudioDelayField = 15;  // the groups go before this entry

int Bits(const uint8_t* block, const VddiField& f) { return (block[f.byte] >> f.shift) & ((1 << f.width) - 1); }

void PutBits(uint8_t* block, const VddiField& f, int value) {
    const int mask = ((1 << f.width) - 1) << f.shift;
    block[f.byte] = static_cast<uint8_t>((block[f.byte] & ~mask) | ((value << f.shift) & mask));
}

// The 10-bit primaries 4 to 6: the byte of the high eight bits (24 to 29) and
// where its low two bits lie.
struct LowBits {
    int byte;
    int shift;
};
LowBits PrimaryLowBits(int highByte) {
    static const LowBits kLow[] = {{22, 6}, {22, 4}, {22, 2}, {22, 0}, {23, 6}, {23, 4}};
    return kLow[highByte - 24];
}

// Clears the coordinates of the primaries beyond count (4, 5, 6 = bytes 24
// to 29 with their low bits).
void ClearPrimariesBeyond(uint8_t* block, int count) {
    for (int high = 24 + 2 * count; high <= 29; ++high) {
        block[high] = 0;
        const LowBits low = PrimaryLowBits(high);
        block[low.byte] = static_cast<uint8_t>(block[low.byte] & ~(3 << low.shift));
    }
}

bool PrimariesBeyondSet(const uint8_t* block, int count) {
    for (int high = 24 + 2 * count; high <= 29; ++high) {
        const LowBits low = PrimaryLowBits(high);
        if (block[high] || ((block[low.byte] >> low.shift) & 3)) return true;
    }
    return false;
}

}  // namespace

void CEA861::BuildVddi(ECEntry* type, uint8_t* block) {
    for (int i = 0; i < kFieldCount; ++i) {
        if (i == kAudioDelayField) {
            ECEntry* caps = AddGroup(type, "Misc. display caps.", block);
            AddBit(caps, "Temporal dithering", " used", block + 16, 7);
            AddBit(caps, "Spatial dithering", " used", block + 16, 6);
            AddBit(caps, "Direct drive", "", block + 16, 5);
            AddBit(caps, "Overdrive not recommended", "", block + 16, 4);
            AddBit(caps, "Deinterlacing", " supported", block + 16, 3);
            Add(caps, ECT_ACTION, "Reserved bits", ECBitsGoodBad, Set(&CEA861::ClearBitsEncode), "", "", block + 16,
                0x07);
            ECEntry* audio = AddGroup(type, "Audio flags", block);
            AddBit(audio, "Audio support on video interface", "", block + 17, 7);
            AddBit(audio, "Separate audio inputs provided", "", block + 17, 6);
            AddBit(audio, "Audio input override", "", block + 17, 5);
            Add(audio, ECT_ACTION, "Reserved bits", ECBitsGoodBad, Set(&CEA861::ClearBitsEncode), "", "", block + 17,
                0x1F);
        }
        const VddiField& f = kFields[i];
        if (f.kind == Kind::Interface) {
            AddRethink(type, f.flags, f.name, Get(&CEA861::GetVddiField), Set(&CEA861::SetVddiField), f.hint, f.items,
                       block, i, &CEA861::RethinkVddiInterface);
        } else if (f.kind == Kind::Primaries) {
            AddRethink(type, f.flags, f.name, Get(&CEA861::GetVddiField), Set(&CEA861::SetVddiField), f.hint, f.items,
                       block, i, &CEA861::RethinkVddiPrimaries);
        } else {
            Add(type, f.flags, f.name, Get(&CEA861::GetVddiField), Set(&CEA861::SetVddiField), f.hint, f.items, block,
                i);
        }
    }
}

ECVariant CEA861::GetVddiField(int32_t field, uint8_t* block, EntryInfo*) {
    const VddiField& f = kFields[field];
    switch (f.kind) {
        case Kind::List: {
            const int code = Bits(block, f);
            return ECVariant::OfText(code < f.nameCount ? f.names[code] : "RESERVED");
        }
        case Kind::Number:
            return ECVariant::OfInt(Bits(block, f));
        case Kind::Interface:
            return ECVariant::OfText(block[2] >= 0xD0 ? "RESERVED" : kInterfaceNames[block[2] >> 4]);
        case Kind::Version:
            return ECVariant::OfText(ECFormatW("%d.%d", block[3] >> 4, block[3] & 0x0F));
        case Kind::MaxClock:
            return ECVariant::OfInt((block[5] & 3) * 256 + block[6]);
        case Kind::Resolution:
            return ECVariant::OfInt(block[f.byte] | (block[f.byte + 1] << 8));
        case Kind::Aspect:
            return ECVariant::OfText(ECFormatW("%.2f:1", (block[11] + 100) * 0.01));
        case Kind::Pitch:
            return ECVariant::OfDouble(block[f.byte] * 0.01);
        case Kind::AudioDelay:
            return ECVariant::OfInt(((block[18] & 0x80) ? 2 : -2) * (block[18] & 0x7F));
        case Kind::Primaries:
            return ECVariant::OfInt(block[23] & 3);
    }
    return ECVariant();
}

void CEA861::SetVddiField(int32_t field, uint8_t* block, EntryInfo* info, ECVariant value) {
    const VddiField& f = kFields[field];
    const int v = value.Integer;
    const auto refuse = [this](const char* text) { Report(text, EC_LEVEL_ERROR); };
    switch (f.kind) {
        case Kind::List:
            // The item index goes into the field's bits; an index that does not fit
            // them (no selection) would write another code.
            if (v < 0 || v >= (1 << f.width)) return refuse("Please, select an option");
            break;
        case Kind::Number:
        case Kind::MaxClock:
        case Kind::Resolution:
            if (v < 0 || v >= (1 << f.width)) return refuse(f.rangeText);
            break;
        case Kind::Interface:
            if (v < 0 || v > 13) return;  // no such interface: nothing is written
            break;
        case Kind::AudioDelay:
            if (v < -254 || v > 254) return refuse("Out of range - Possible range -254-254ms");
            break;
        case Kind::Pitch:
            if (!(value.Float >= 0 && value.Float <= 2.55)) return refuse("Out of range - Possible range 0.00-2.55mm");
            break;
        case Kind::Primaries:
            if (v < 0 || v > 3) return refuse(f.rangeText);
            break;
        case Kind::Version:
        case Kind::Aspect:
            break;
    }
    if (!Writable(block, f.lastByte, info)) return;

    switch (f.kind) {
        case Kind::List:
        case Kind::Number:
            PutBits(block, f, v);
            break;
        case Kind::Interface: {
            // The low nibble becomes analog subtype 0 or one lane.
            const bool noLanes = v == 0 || v == 4 || v == 10 || v == 11;
            block[2] = static_cast<uint8_t>(v * 16 + (noLanes ? 0 : 1));
            break;
        }
        case Kind::Version: {
            const QString text = value.Text;
            const qsizetype dot = text.indexOf(QLatin1Char('.'));
            const int version = ECTextToInt(dot < 0 ? text : text.left(dot));
            const int revision = dot < 0 ? 0 : ECTextToInt(text.mid(dot + 1));
            if (version < 0 || version > 15) return refuse("Version out of range - Possible range 0-15");
            if (revision < 0 || revision > 15) return refuse("Revision out of range - Possible range 0-15");
            block[3] = static_cast<uint8_t>(version * 16 + revision);
            break;
        }
        case Kind::MaxClock:
            block[5] = static_cast<uint8_t>((block[5] & 0xFC) | (v >> 8));
            block[6] = static_cast<uint8_t>(v & 0xFF);
            break;
        case Kind::Resolution:
            block[f.byte] = static_cast<uint8_t>(v & 0xFF);
            block[f.byte + 1] = static_cast<uint8_t>(v >> 8);
            break;
        case Kind::Aspect: {
            const QString text = value.Text;
            const qsizetype colon = text.indexOf(QLatin1Char(':'));
            const double left = ECTextToDouble(colon < 0 ? text : text.left(colon));
            const double right = colon < 0 ? 0.0 : ECTextToDouble(text.mid(colon + 1));
            if (left == 0 || right == 0) return refuse("Invalid Aspect ratio - Enter aspect as <value>:<value>");
            if (left < right) return refuse("The left value must be greater than right value");
            const double ratio = left / right;
            // Written so that a ratio that is not a number ("nan", "inf:inf") is refused too.
            if (!(ratio >= 1 && ratio <= 3.55))
                return refuse("Out of range - Aspect must be in range of 1:1 to 3.55:1");
            block[11] = static_cast<uint8_t>(static_cast<int>((ratio - 0.995) * 100));
            break;
        }
        case Kind::Pitch:
            block[f.byte] = static_cast<uint8_t>(static_cast<int>(value.Float * 100));
            break;
        case Kind::AudioDelay:
            block[18] = static_cast<uint8_t>(v < 0 ? -v / 2 : v / 2 + 0x80);
            break;
        case Kind::Primaries:
            ClearPrimariesBeyond(block, v);
            block[23] = static_cast<uint8_t>((block[23] & 0xFC) | v);
            return;  // the entry encodes through its rethink
    }
    Encode();
}

void CEA861::RethinkVddiInterface(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    entry->DeleteChilds();
    Encode();
    uint8_t* block = entry->GetData();
    if (block[2] >= 0xD0) return;
    static const char* const kLanes15 = "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12\r\n13\r\n14\r\n15";
    switch (block[2] >> 4) {
        case 0:
            Add(entry, ECT_LIST, "Analog interface type", Get(&CEA861::GetAnalogType), Set(&CEA861::SetAnalogType), "",
                "15HD/VGA (VESA EDDC std. pinout)\r\nVESA NAVI-V (15HD)\r\nVESA NAVI-D", block + 2, 15);
            break;
        case 1:
        case 2:
            Add(entry, ECT_LIST_TEXT, "Lanes / Channels", Get(&CEA861::GetLanes), Set(&CEA861::SetLanes), "", kLanes15,
                block + 2, 15);
            break;
        case 3:
        case 5:
        case 8:
        case 12:
            Add(entry, ECT_LIST_TEXT, "Lanes / Channels", Get(&CEA861::GetLanes), Set(&CEA861::SetLanes), "", "1\r\n2",
                block + 2, 15);
            break;
        case 9:
            Add(entry, ECT_LIST_TEXT, "Lanes / Channels", Get(&CEA861::GetLanes), Set(&CEA861::SetLanes), "",
                "1\r\n2\r\n4", block + 2, 15);
            break;
        default:
            break;  // interfaces without a sub-field
    }
}

ECVariant CEA861::GetLanes(int32_t, uint8_t* data, EntryInfo*) {
    return ECVariant::OfText(ECFormatW("%d", data[0] & 0x0F));
}

void CEA861::SetLanes(int32_t, uint8_t* data, EntryInfo* info, ECVariant value) {
    if (value.Integer < 0 || value.Integer > 15) {
        Report("Out of range - Possible range 0-15", EC_LEVEL_ERROR);
        return;
    }
    if (!Writable(data, 0, info)) return;
    data[0] = static_cast<uint8_t>((data[0] & 0xF0) | value.Integer);
    Encode();
}

ECVariant CEA861::GetAnalogType(int32_t, uint8_t* data, EntryInfo*) {
    static const char* const kNames[] = {"15HD/VGA (VESA EDDC std. pinout)", "VESA NAVI-V (15HD)", "VESA NAVI-D"};
    const int code = data[0] & 0x0F;
    return ECVariant::OfText(code < 3 ? kNames[code] : "RESERVED");
}

void CEA861::SetAnalogType(int32_t, uint8_t* data, EntryInfo* info, ECVariant value) {
    if (value.Integer < 0 || value.Integer > 15) {
        Report("Please, select an option", EC_LEVEL_ERROR);
        return;
    }
    if (!Writable(data, 0, info)) return;
    data[0] = static_cast<uint8_t>((data[0] & 0xF0) | value.Integer);
    Encode();
}

void CEA861::RethinkVddiPrimaries(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    entry->DeleteChilds();
    Encode();
    uint8_t* block = entry->GetData();
    const int count = block[23] & 3;
    for (int primary = 6; primary >= 4; --primary) {
        if (primary - 3 > count) continue;
        const int high = 24 + 2 * (primary - 4);
        const std::string x = "Primary color " + std::to_string(primary) + ", X coordinate";
        const std::string y = "Primary color " + std::to_string(primary) + ", Y coordinate";
        Add(entry, ECT_FLOAT, x.c_str(), Get(&CEA861::GetPrimary), Set(&CEA861::SetPrimary), "0-1", "", block, high);
        Add(entry, ECT_FLOAT, y.c_str(), Get(&CEA861::GetPrimary), Set(&CEA861::SetPrimary), "0-1", "", block,
            high + 1);
    }
    Add(entry, ECT_ACTION, "Reserved bits", Get(&CEA861::GetPrimaryReserved), Set(&CEA861::ClearPrimaryReserved), "",
        "", block, 0);
}

ECVariant CEA861::GetPrimary(int32_t byte, uint8_t* block, EntryInfo*) {
    const LowBits low = PrimaryLowBits(byte);
    const int code = block[byte] * 4 + ((block[low.byte] >> low.shift) & 3);
    return ECVariant::OfDouble(std::floor(code / 1024.0 * 1000 + 0.5) * 0.001);
}

void CEA861::SetPrimary(int32_t byte, uint8_t* block, EntryInfo* info, ECVariant value) {
    if (!(value.Float >= 0 && value.Float <= 1)) {
        Report("Out of range - Possible range 0.000 - 1.000", EC_LEVEL_ERROR);
        return;
    }
    if (!Writable(block, byte, info)) return;
    // Values from 1023.5/1024 on round to 1024, which a 10-bit code cannot hold.
    const int code = std::min(static_cast<int>(value.Float * 1024 + 0.5), 1023);
    const LowBits low = PrimaryLowBits(byte);
    block[byte] = static_cast<uint8_t>(code >> 2);
    block[low.byte] = static_cast<uint8_t>((block[low.byte] & ~(3 << low.shift)) | ((code & 3) << low.shift));
    Encode();
}

ECVariant CEA861::GetPrimaryReserved(int32_t, uint8_t* block, EntryInfo*) {
    const bool bad = (block[23] & 0x0C) || PrimariesBeyondSet(block, block[23] & 3);
    return ECVariant::OfText(bad ? "Bad" : "Good");
}

void CEA861::ClearPrimaryReserved(int32_t, uint8_t* block, EntryInfo* info, ECVariant) {
    if (!Writable(block, 29, info)) return;
    ClearPrimariesBeyond(block, block[23] & 3);
    block[23] &= 0xF3;
    Encode();
}
