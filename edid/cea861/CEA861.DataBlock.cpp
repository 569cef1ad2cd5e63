// CEA861: the type entry of a data block, the dispatch by tag, and the field
// functions that the data block kinds share (registration identifier, payload
// size, payload bytes, bits).

#include "edid/cea861/CEA861.h"

#include "edid/core/ECFormat.h"

#include <cstring>

namespace {

constexpr const char* kTypeItems =
    "Audio\r\nVideo\r\nVendor specific\r\nSpeaker allocation\r\nVESA DTC\r\nVideo capability\r\n"
    "Vendor specific video\r\nColorimetry\r\nCEA Misc. audio\r\nVendor specific audio\r\n"
    "RESERVED (VESA Video Display Device Information data block)";

// What choosing a type writes, from the header byte on. Templates whose own
// fields follow the extended tag get a length that holds them.
struct TypeTemplate {
    int length;
    uint8_t bytes[32];
};
constexpr TypeTemplate kTypeTemplates[] = {
    {1, {0x23}},                          // audio, one zero short audio descriptor
    {1, {0x41}},                          // video, one zero short video descriptor
    {1, {0x63}},                          // vendor-specific, registration identifier 000000h
    {1, {0x83}},                          // speaker allocation
    {1, {0xA0}},                          // VESA DTC
    {3, {0xE2, 0x00, 0x00}},              // video capability
    {5, {0xE4, 0x01, 0x00, 0x00, 0x00}},  // vendor-specific video
    {4, {0xE3, 0x05, 0x00, 0x00}},        // colorimetry
    {2, {0xE1, 0x10}},                    // CEA miscellaneous audio fields
    {5, {0xE4, 0x11, 0x00, 0x00, 0x00}},  // vendor-specific audio
    {32, {0xFF, 0x02, 0x92, 0x11, 0x03, 0x00, 0x00, 0x00, 0x0A, 0x40, 0x06, 0x3C, 0x11, 0x0A, 0x18, 0x18,
          0xD0, 0x80, 0x83, 0x8F, 0x3C, 0x88, 0x41, 0x02, 0x25, 0x4A, 0x7E, 0x77, 0x00, 0x00, 0x8C, 0x57}},
};
constexpr int kTypeCount = static_cast<int>(sizeof kTypeTemplates / sizeof kTypeTemplates[0]);

const char* ExtendedTypeName(uint8_t code) {
    switch (code) {
        case 0x00:
            return "Video capability";
        case 0x01:
            return "Vendor specific video";
        case 0x02:
            return "RESERVED (VESA Video Display Device Information data block)";
        case 0x03:
            return "RESERVED (VESA Video Data Block)";
        case 0x04:
            return "RESERVED (HDMI Video Data Block)";
        case 0x05:
            return "Colorimetry";
        case 0x10:
            return "CEA Misc. audio";
        case 0x11:
            return "Vendor specific audio";
        case 0x12:
            return "RESERVED (HDMI Audio data block)";
        default:
            break;
    }
    if (code <= 0x0F) return "Reserved for video related blocks";
    if (code <= 0x1F) return "Reserved for audio related blocks";
    return "Reserved for general use";
}

}  // namespace

void CEA861::BuildDataBlockEntry(ECEntry* parent, int i) {
    const std::string name = "Data block " + std::to_string(i) + " Type";
    AddRethink(parent, ECT_CEA_CHOICE, name.c_str(), Get(&CEA861::GetDataBlockType), Set(&CEA861::SetDataBlockType), "",
               kTypeItems, blocks_[i], 0, &CEA861::RethinkDataBlock);
}

ECVariant CEA861::GetDataBlockType(int32_t, uint8_t* data, EntryInfo*) {
    static const char* const kTagNames[] = {"RESERVED (0)",       "Audio",    "Video",       "Vendor specific",
                                            "Speaker allocation", "VESA DTC", "RESERVED (6)"};
    const int tag = data[0] >> 5;
    return ECVariant::OfText(tag == 7 ? ExtendedTypeName(data[1]) : kTagNames[tag]);
}

void CEA861::SetDataBlockType(int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
    if (value.Integer == -1) {
        Report("Please, select an option", EC_LEVEL_ERROR);
        return;
    }
    std::memset(data, 0, 32);
    if (value.Integer >= 0 && value.Integer < kTypeCount) {
        const TypeTemplate& t = kTypeTemplates[value.Integer];
        std::memcpy(data, t.bytes, static_cast<size_t>(t.length));
    }
    Encode();
}

void CEA861::RethinkDataBlock(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    entry->DeleteChilds();
    Encode();
    uint8_t* block = entry->GetData();
    switch (block[0] >> 5) {
        case 1:
            BuildAudioBlock(entry, block);
            break;
        case 2:
            BuildVideoBlock(entry, block);
            break;
        case 3: {
#if EDID_HAS_HDMI_FORUM_VSDB
            const char* items = "HDMI VSDB\r\nHDMI HF-VSDB\r\nOther";
#else
            const char* items = "HDMI VSDB\r\nOther";
#endif
            AddRethink(entry, ECT_CEA_CHOICE, "Vendor specific data block", Get(&CEA861::GetVendorKind),
                       Set(&CEA861::SetVendorKind), "", items, block, 0, &CEA861::RethinkVendorSpecific);
            break;
        }
        case 4:
            BuildSpeakerBlock(entry, block);
            break;
        case 5:
            BuildDtcBlock(entry, block);
            break;
        case 7:
            RethinkExtendedTag(entry);
            break;
        default:
            break;  // tags 0 and 6 are reserved: no fields
    }
}

// ---------------------------------------------------------------------------
// Shared field functions

ECVariant CEA861::GetOui(int32_t, uint8_t* data, EntryInfo*) {
    return ECVariant::OfInt(data[0] | (data[1] << 8) | (data[2] << 16));
}

void CEA861::SetOui(int32_t, uint8_t* data, EntryInfo* info, ECVariant value) {
    if (value.Integer < 0 || value.Integer > 0xFFFFFF) {
        Report("Out of range - Possible range 0-16777215", EC_LEVEL_ERROR);
        return;
    }
    if (!Writable(data, 2, info)) return;
    data[0] = static_cast<uint8_t>(value.Integer);
    data[1] = static_cast<uint8_t>(value.Integer >> 8);
    data[2] = static_cast<uint8_t>(value.Integer >> 16);
    Encode();
}

ECVariant CEA861::GetPayloadSize(int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[0] & 0x1F); }

void CEA861::SetPayloadSize(int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
    if (value.Integer < 4 || value.Integer > kMaxPayload) {
        Report("Out of range - Possible range 4-31", EC_LEVEL_ERROR);
        return;
    }
    data[0] = static_cast<uint8_t>((data[0] & 0xE0) | value.Integer);
}

ECVariant CEA861::GetPayloadByte(int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[0]); }

void CEA861::SetPayloadByte(int32_t, uint8_t* data, EntryInfo* info, ECVariant value) {
    if (value.Integer < 0 || value.Integer > 255) {
        Report("Out of range - Possible range 0-255", EC_LEVEL_ERROR);
        return;
    }
    if (!Writable(data, 0, info)) return;
    data[0] = static_cast<uint8_t>(value.Integer);
    Encode();
}

void CEA861::SetBitEncode(int32_t bit, uint8_t* data, EntryInfo* info, ECVariant value) {
    if (!Writable(data, 0, info)) return;
    ECSetBit(bit, data, info, value);
    Encode();
}

void CEA861::ClearBitsEncode(int32_t mask, uint8_t* data, EntryInfo* info, ECVariant value) {
    if (!Writable(data, 0, info)) return;
    ECClearBits(mask, data, info, value);
    Encode();
}

void CEA861::RethinkExtendedPayload(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    entry->DeleteChilds();
    Encode();
    uint8_t* block = entry->GetData();
    const int length = block[0] & 0x1F;
    for (int n = 0; n <= length - 5; ++n) {
        const std::string name = "Payload Byte " + std::to_string(n);
        Add(entry, ECT_INT, name.c_str(), Get(&CEA861::GetPayloadByte), Set(&CEA861::SetPayloadByte), "", "",
            block + 5 + n, 7);
    }
}
