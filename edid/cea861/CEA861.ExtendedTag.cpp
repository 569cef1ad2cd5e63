// CEA861: data blocks with tag 7, whose byte 1 is the extended tag code:
// video capability (00h), vendor-specific video (01h) and audio (11h),
// colorimetry (05h), the VESA display device block (02h, CEA861.Vddi.cpp) and
// every other code as raw data bytes.

#include "edid/cea861/CEA861.h"

#include "edid/core/ECFormat.h"

namespace {

constexpr const char* kQuantizationItems = "No Data\r\nSelectable";
constexpr const char* kScanItems =
    "No Data\r\nAlways Overscanned\r\nAlways Underscanned\r\nOver- and Underscan supported";
const char* const kScanNames[] = {"No Data", "Always Overscanned", "Always Underscanned",
                                  "Over- and Underscan supported"};

int ScanShift(int mask) { return mask == 0x30 ? 4 : mask == 0x0C ? 2 : 0; }

const char* UnsupportedName(uint8_t code) {
    switch (code) {
        case 0x03:
            return "[Not supported] VESA Video Data Block size";
        case 0x04:
            return "[Not supported] HDMI Video Data Block size";
        case 0x10:
            return "[Not supported] CEA Misc audio";
        default:
            return "[Not supported] HDMI Audio data block";
    }
}

}  // namespace

void CEA861::RethinkExtendedTag(ECEntry* entry) {
    entry->DeleteChilds();
    Encode();
    uint8_t* block = entry->GetData();
    const uint8_t code = block[1];
    switch (code) {
        case 0x00:  // video capability
            Add(entry, ECT_LIST, "Quantization range", Get(&CEA861::GetQuantization), Set(&CEA861::SetQuantization),
                "QY", kQuantizationItems, block + 2, 7);
            Add(entry, ECT_LIST, "Quantization range", Get(&CEA861::GetQuantization), Set(&CEA861::SetQuantization),
                "QS", kQuantizationItems, block + 2, 6);
            Add(entry, ECT_LIST, "PT Overscan / Underscan behaviour", Get(&CEA861::GetScanBehaviour),
                Set(&CEA861::SetScanBehaviour), "", kScanItems, block + 2, 0x30);
            Add(entry, ECT_LIST, "IT Overscan / Underscan behaviour", Get(&CEA861::GetScanBehaviour),
                Set(&CEA861::SetScanBehaviour), "", kScanItems, block + 2, 0x0C);
            Add(entry, ECT_LIST, "CE Overscan / Underscan behaviour", Get(&CEA861::GetScanBehaviour),
                Set(&CEA861::SetScanBehaviour), "", kScanItems, block + 2, 0x03);
            break;
        case 0x01:  // vendor-specific video
        case 0x11:  // vendor-specific audio
            Add(entry, ECT_HEX, "IEEE Registration Identifier", Get(&CEA861::GetOui), Set(&CEA861::SetOui),
                "0-16777215", "%.6x", block + 2, 0);
            AddRethink(entry, ECT_CEA_COUNT, "Payload size", Get(&CEA861::GetPayloadSize), Set(&CEA861::SetPayloadSize),
                       "0-27 bytes", "", block, 0, &CEA861::RethinkExtendedPayload);
            break;
        case 0x02:
            BuildVddi(entry, block);
            break;
        case 0x05: {  // colorimetry
            AddBit(entry, "SD Colorimetry [IEC 61966-2-4]", "", block + 2, 0);
            AddBit(entry, "HD Colorimetry [IEC 61966-2-4]", "", block + 2, 1);
            AddBit(entry, "Colorimetry based on IEC 61966-2-1/Amendment 1", "", block + 2, 2);
            AddBit(entry, "Colorimetry based on IEC 61966-2-5 [33], Annex A", "", block + 2, 3);
            AddBit(entry, "Colorimetry based on IEC 61966-2-5 [33]", "", block + 2, 4);
            for (int md = 3; md >= 0; --md) {
                const std::string name = "Metadata profile (" + std::to_string(md) + ")";
                AddBit(entry, name.c_str(), " supported", block + 3, md);
            }
            Add(entry, ECT_ACTION, "Reserved bits", Get(&CEA861::GetColorimetryReserved),
                Set(&CEA861::ClearColorimetryReserved), "", "", block + 2, 0);
            break;
        }
        default:
            AddRethink(entry, ECT_CEA_COUNT, UnsupportedName(code), Get(&CEA861::GetDataByteCount),
                       Set(&CEA861::SetDataByteCount), "0-29", "", block, 0, &CEA861::RethinkDataBytes);
            break;
    }
}

void CEA861::RethinkDataBytes(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    entry->DeleteChilds();
    Encode();
    uint8_t* block = entry->GetData();
    const int length = block[0] & 0x1F;
    for (int n = 0; n <= length - 3; ++n) {
        const std::string name = "Data Byte " + std::to_string(n);
        Add(entry, ECT_INT, name.c_str(), Get(&CEA861::GetPayloadByte), Set(&CEA861::SetPayloadByte), "", "",
            block + 2 + n, 7);
    }
}

ECVariant CEA861::GetQuantization(int32_t bit, uint8_t* data, EntryInfo*) {
    return ECVariant::OfText(((data[0] >> bit) & 1) ? "Selectable" : "No Data");
}

void CEA861::SetQuantization(int32_t bit, uint8_t* data, EntryInfo* info, ECVariant value) {
    if (value.Integer < 0 || value.Integer > 1) {
        Report("Please, select an option", EC_LEVEL_ERROR);
        return;
    }
    if (!Writable(data, 0, info)) return;
    data[0] = static_cast<uint8_t>((data[0] & ~(1 << bit)) | (value.Integer << bit));
    Encode();
}

ECVariant CEA861::GetScanBehaviour(int32_t mask, uint8_t* data, EntryInfo*) {
    return ECVariant::OfText(kScanNames[(data[0] & mask) >> ScanShift(mask)]);
}

void CEA861::SetScanBehaviour(int32_t mask, uint8_t* data, EntryInfo* info, ECVariant value) {
    if (value.Integer < 0 || value.Integer > 3) {
        Report("Please, select an option", EC_LEVEL_ERROR);
        return;
    }
    if (!Writable(data, 0, info)) return;
    data[0] = static_cast<uint8_t>((data[0] & ~mask) | (value.Integer << ScanShift(mask)));
    Encode();
}

ECVariant CEA861::GetDataByteCount(int32_t, uint8_t* data, EntryInfo*) {
    return ECVariant::OfInt((data[0] & 0x1F) - 2);
}

void CEA861::SetDataByteCount(int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
    if (value.Integer < 0 || value.Integer > 29) {
        Report("Out of range - Possible range 0-29", EC_LEVEL_ERROR);
        return;
    }
    data[0] = static_cast<uint8_t>((data[0] & 0xE0) | (value.Integer + 2));
}

ECVariant CEA861::GetColorimetryReserved(int32_t, uint8_t* data, EntryInfo*) {
    return ECVariant::OfText(((data[0] & 0xE0) || (data[1] & 0xF0)) ? "Bad" : "Good");
}

void CEA861::ClearColorimetryReserved(int32_t, uint8_t* data, EntryInfo* info, ECVariant) {
    if (!Writable(data, 1, info)) return;
    data[0] &= 0x1F;
    data[1] &= 0x0F;
    Encode();
}
