// CEA861: the HDMI Forum vendor-specific data block (OUI C45DD8h), decoded in
// the sink monitor's build only (EDID_HAS_HDMI_FORUM_VSDB). Bytes 4 to 7:
// version, maximum TMDS character rate, the SCDC and view flags, and the
// 4:2:0 deep colour flags.

#include "edid/cea861/CEA861.h"

void CEA861::BuildHfVsdb(ECEntry* kind, uint8_t* block) {
    // The fields exist whatever L is; a Set of a field outside L is refused.
    Add(kind, ECT_INT, "Version", Get(&CEA861::GetHfVsdbVersion), Set(&CEA861::SetHfVsdbVersion), "1", "", block + 4,
        0);
    Add(kind, ECT_INT, "Max. TMDS Character Rate", Get(&CEA861::GetMaxTmdsCharacterRate),
        Set(&CEA861::SetMaxTmdsCharacterRate), "0 - 1275 MHz", "", block + 5, 0);
    AddBit(kind, "SCDC present", "", block + 6, 7);
    AddBit(kind, "Read Request capable", "", block + 6, 6);
    AddBit(kind, "LTE 340Mcsc scramble", "", block + 6, 3);
    AddBit(kind, "Independet view", "", block + 6, 2);
    AddBit(kind, "Dual View", "", block + 6, 1);
    AddBit(kind, "3D OSD Disparity", "", block + 6, 0);
    AddBit(kind, "DC 48bit 4:2:0", "", block + 7, 2);
    AddBit(kind, "DC 36bit 4:2:0", "", block + 7, 1);
    AddBit(kind, "DC 30bit 4:2:0", "", block + 7, 0);
    Add(kind, ECT_ACTION, "Reserved bits", Get(&CEA861::GetHfVsdbReserved), Set(&CEA861::ClearHfVsdbReserved), "", "",
        block + 6, 0);
}

ECVariant CEA861::GetHfVsdbVersion(int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[0]); }

void CEA861::SetHfVsdbVersion(int32_t, uint8_t* data, EntryInfo* info, ECVariant value) {
    if (value.Integer != 1) {
        Report("Out of range - Value must be 1", EC_LEVEL_ERROR);
        return;
    }
    if (!Writable(data, 0, info)) return;
    data[0] = 1;
    Encode();
}

ECVariant CEA861::GetMaxTmdsCharacterRate(int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[0] * 5); }

void CEA861::SetMaxTmdsCharacterRate(int32_t, uint8_t* data, EntryInfo* info, ECVariant value) {
    if (value.Integer < 0 || value.Integer > 1275) {
        Report("Out of range. Available range is 0 to 1275 MHz", EC_LEVEL_ERROR);
        return;
    }
    if (!Writable(data, 0, info)) return;
    data[0] = static_cast<uint8_t>(value.Integer / 5);
    Encode();
}

ECVariant CEA861::GetHfVsdbReserved(int32_t, uint8_t* data, EntryInfo*) {
    return ECVariant::OfText(((data[0] & 0x30) || data[1] > 7) ? "Bad" : "Good");
}

void CEA861::ClearHfVsdbReserved(int32_t, uint8_t* data, EntryInfo* info, ECVariant) {
    if (!Writable(data, 1, info)) return;
    data[0] &= 0xCF;
    data[1] &= 0x07;
    Encode();
}
