// CEA861: vendor-specific data blocks (tag 3). The kind entry chooses by the
// IEEE registration identifier: the HDMI VSDB (000C03h) is decoded field by
// field, with its latency fields and HDMI video section (HDMI VICs, 3D
// structures); any other identifier shows its payload bytes. Positions count
// from the header byte (0); L is the payload length in bits 4-0 of byte 0.
//
// Fields that decide where later fields lie (latencies, HDMI video present,
// 3D_Multi_present, HDMI_VIC_LEN, the 3D entries) keep the block consistent
// when set: they adjust L and the inner lengths, move the following bytes and
// never let the block grow past 31 payload bytes.

#include "edid/cea861/CEA861.h"

#include "edid/core/ECFormat.h"

#include <algorithm>

namespace {

constexpr int kHdmiOui = 0x000C03;
constexpr int kHdmiForumOui = 0xC45DD8;

int Length(const uint8_t* block) { return block[0] & 0x1F; }
void SetLength(uint8_t* block, int length) { block[0] = static_cast<uint8_t>((block[0] & 0xE0) | (length & 0x1F)); }
int Oui(const uint8_t* block) { return block[1] | (block[2] << 8) | (block[3] << 16); }

int LatencyBits(const uint8_t* block) { return block[8] >> 6; }
// Latency bytes that bits 7-6 of byte 8 announce: 00 none, 01 and 10 two, 11 four.
int LatencyCount(const uint8_t* block) {
    const int bits = LatencyBits(block);
    return bits == 0 ? 0 : bits == 3 ? 4 : 2;
}
int VicLength(const uint8_t* block, int p) { return block[p + 1] >> 5; }
int Hdmi3DLength(const uint8_t* block, int p) { return block[p + 1] & 0x1F; }
void Put3DLength(uint8_t* block, int p, int length) {
    block[p + 1] = static_cast<uint8_t>((block[p + 1] & 0xE0) | (length & 0x1F));
}
int MultiBits(const uint8_t* block, int p) { return (block[p] >> 5) & 3; }
// Bytes of 3D_Structure_ALL and 3D_MASK for 3D_Multi_present 00, 01, 10.
int MultiBytes(int bits) { return bits == 0 ? 0 : bits == 1 ? 2 : 4; }

// Moves the bytes from "from" to the old end up or down by delta (delta > 0:
// the gap from..from+delta-1 is zero-filled), within the 32-byte block.
void Shift(uint8_t* block, int from, int oldEnd, int delta) {
    if (delta > 0) {
        for (int i = oldEnd; i >= from; --i) block[i + delta] = block[i];
        for (int i = from; i < from + delta; ++i) block[i] = 0;
    } else if (delta < 0) {
        for (int i = from + delta; i <= oldEnd + delta; ++i) block[i] = block[i - delta];
        for (int i = oldEnd + delta + 1; i <= oldEnd; ++i) block[i] = 0;
    }
}

constexpr const char* kLatencyItems = "No latency fields\r\n2 Latency fields present\r\n4 Latency fields present";
constexpr const char* kMultiItems =
    "No fields\r\n3D_Structure_ALL_15...0 present\r\n3D_Structure_ALL_15...0 and 3D_MASK_15...0 present";
const char* const kMultiNames[] = {"No fields", "3D_Structure_ALL_15...0 present",
                                   "3D_Structure_ALL_15...0 and 3D_MASK_15...0 present", "Reserved for future use"};
const char* const kImageSizeNames[] = {"No additional Info", "Correct aspect, size not guaranteed",
                                       "Correct size rounded to nearest 1cm",
                                       "Correct size divided by 5 cm, rounded to nearest 5cm"};
constexpr const char* kImageSizeItems =
    "No additional Info\r\nCorrect aspect, size not guaranteed\r\nCorrect size rounded to nearest 1cm\r\n"
    "Correct size divided by 5 cm, rounded to nearest 5cm";

}  // namespace

// ---------------------------------------------------------------------------
// Locating the HDMI video section

int CEA861::HdmiVideoOffset(const uint8_t* block) {
    if (Length(block) < 8) return -1;
    const int bits = LatencyBits(block);
    return bits == 0 ? 9 : bits == 3 ? 13 : 11;
}

int CEA861::HdmiVideoSize(const uint8_t* block) {
    const int p = HdmiVideoOffset(block);
    return p < 0 ? 0 : VicLength(block, p) + Hdmi3DLength(block, p) + 2;
}

int CEA861::Hdmi3DAllOffset(const uint8_t* block) {
    const int p = HdmiVideoOffset(block);
    return p < 0 ? -1 : p + VicLength(block, p) + 2;
}

int CEA861::HdmiVicOffset(const uint8_t* block) {
    const int p = HdmiVideoOffset(block);
    return (p < 0 || VicLength(block, p) == 0) ? -1 : p + 2;
}

int CEA861::Hdmi3DEntryOffset(const uint8_t* block, int x) {
    const int p = HdmiVideoOffset(block);
    if (p < 0 || MultiBits(block, p) == 3) return -1;
    const int e = Hdmi3DAllOffset(block) + MultiBytes(MultiBits(block, p));
    if (x == -1) return e;
    // Each 3D entry is one byte, plus a 3D_Detail byte when bit 3 of its
    // 3D_Structure is set.
    for (int offset = e; offset <= Length(block); offset += (block[offset] & 0x08) ? 2 : 1) {
        if (x-- == 0) return offset;
    }
    return -1;
}

bool CEA861::RoomFor(int newLength) {
    if (newLength <= kMaxPayload) return true;
    ReportText("Insufficient space - VSDB max. length (31 bytes) Exceeded by " +
                   std::to_string(newLength - kMaxPayload) + " bytes",
               EC_LEVEL_ERROR);
    return false;
}

// ---------------------------------------------------------------------------
// Kind entry

ECVariant CEA861::GetVendorKind(int32_t, uint8_t* block, EntryInfo* info) {
    info->Prefix.clear();
    const int oui = Oui(block);
    if (oui == kHdmiOui) return ECVariant::OfText("HDMI VSDB");
#if EDID_HAS_HDMI_FORUM_VSDB
    if (oui == kHdmiForumOui) return ECVariant::OfText("HDMI HF-VSDB");
#endif
    return ECVariant::OfText("Other");
}

void CEA861::SetVendorKind(int32_t, uint8_t* block, EntryInfo*, ECVariant value) {
    if (value.Integer == -1) {
        Report("Please, select an option", EC_LEVEL_ERROR);
        return;
    }
    int oui = 0;
    int length = 3;
    if (value.Integer == 0) {
        oui = kHdmiOui;
        length = 5;
    } else if (edid_build::kHasHdmiForumVsdb && value.Integer == 1) {
        oui = kHdmiForumOui;
        length = 7;
    }
    block[1] = static_cast<uint8_t>(oui);
    block[2] = static_cast<uint8_t>(oui >> 8);
    block[3] = static_cast<uint8_t>(oui >> 16);
    SetLength(block, length);
    Encode();
}

void CEA861::RethinkVendorSpecific(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    entry->DeleteChilds();
    Encode();
    uint8_t* block = entry->GetData();
    const int oui = Oui(block);
    if (oui == kHdmiOui) {
        Add(entry, ECT_STRING, "Component physical address", Get(&CEA861::GetPhysicalAddress),
            Set(&CEA861::SetPhysicalAddress), "0.0.0.0 -> 15.15.15.15", "", block, 0);
        AddRethink(entry, ECT_BOOL | ECT_RETHINK_ON_SET, "Extension fields", Get(&CEA861::GetExtensionFields),
                   Set(&CEA861::SetExtensionFields), "", " present", block, 0, &CEA861::RethinkHdmiExtension);
        return;
    }
    if (edid_build::kHasHdmiForumVsdb && oui == kHdmiForumOui) {
        BuildHfVsdb(entry, block);
        return;
    }
    Add(entry, ECT_HEX, "IEEE registration Identification", Get(&CEA861::GetOui), Set(&CEA861::SetOui), "0-16777215",
        "%.6x", block + 1, 0);
    AddRethink(entry, ECT_CEA_COUNT, "Payload size", Get(&CEA861::GetPayloadSize), Set(&CEA861::SetPayloadSize),
               "0-27 bytes", "", block, 0, &CEA861::RethinkPayloadBytes);
}

void CEA861::RethinkPayloadBytes(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    entry->DeleteChilds();
    Encode();
    uint8_t* block = entry->GetData();
    for (int n = 0; n <= Length(block) - 4; ++n) {
        const std::string name = "Payload Byte " + std::to_string(n);
        Add(entry, ECT_INT, name.c_str(), Get(&CEA861::GetPayloadByte), Set(&CEA861::SetPayloadByte), "", "",
            block + 4 + n, 7);
    }
}

// ---------------------------------------------------------------------------
// HDMI VSDB: physical address and extension fields

ECVariant CEA861::GetPhysicalAddress(int32_t, uint8_t* block, EntryInfo*) {
    return ECVariant::OfText(ECFormatW("%d.%d.%d.%d", block[4] >> 4, block[4] & 0x0F, block[5] >> 4, block[5] & 0x0F));
}

void CEA861::SetPhysicalAddress(int32_t, uint8_t* block, EntryInfo* info, ECVariant value) {
    // D, C, B, A from the right; a part without a "." left of it is used for
    // every remaining part ("7" gives 7.7.7.7, "1.2.3" gives 1.1.2.3).
    QString rest = value.Text;
    int parts[4];
    for (int& part : parts) {
        const qsizetype dot = rest.lastIndexOf(QLatin1Char('.'));
        if (dot < 0 && rest.isEmpty()) {
            Report("Invalid address - Format must be A.B.C.D", EC_LEVEL_ERROR);
            return;
        }
        if (dot < 0) {
            part = ECTextToInt(rest);
        } else {
            part = ECTextToInt(rest.mid(dot + 1));
            rest = rest.left(dot);
        }
    }
    if (std::any_of(parts, parts + 4, [](int n) { return n < 0 || n > 15; })) {
        Report("Address value out of range - Each address value must be in range 0-15", EC_LEVEL_ERROR);
        return;
    }
    if (!Writable(block + 4, 1, info)) return;
    block[4] = static_cast<uint8_t>(parts[3] * 16 + parts[2]);
    block[5] = static_cast<uint8_t>(parts[1] * 16 + parts[0]);
    Encode();
}

ECVariant CEA861::GetExtensionFields(int32_t, uint8_t* block, EntryInfo* info) {
    const int length = Length(block);
    info->Prefix = (length == 6 || length == 7) ? QStringLiteral("[Partial]") : QString();
    return ECVariant::OfBool(length >= 6 ? 1 : 0);
}

void CEA861::SetExtensionFields(int32_t, uint8_t* block, EntryInfo*, ECVariant value) {
    const int length = Length(block);
    if (value.IsTrue()) {
        if (length >= 8) return;
        // Bytes 6 and 7 of a partial block keep their fields; only the bytes that
        // were outside the block start as zero.
        for (int i = std::max(length + 1, 6); i <= 8; ++i) block[i] = 0;
        SetLength(block, 8);
    } else if (length > 5) {
        SetLength(block, 5);  // the extension bytes stay in the copy beyond L
    }
}

void CEA861::RethinkHdmiExtension(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    entry->DeleteChilds();
    Encode();
    uint8_t* block = entry->GetData();
    const int length = Length(block);
    if (length >= 6) {
        AddBit(entry, "_AI", " supported", block + 6, 7);
        AddBit(entry, "48bit/pixel", " supported", block + 6, 6);
        AddBit(entry, "36bit/pixel", " supported", block + 6, 5);
        AddBit(entry, "30bit/pixel", " supported", block + 6, 4);
        AddBit(entry, "Y444", " supported", block + 6, 3);
        AddBit(entry, "DVI_Dual", " supported", block + 6, 0);
        Add(entry, ECT_ACTION, "Reserved bits, offset 6", ECBitsGoodBad, Set(&CEA861::ClearBitsEncode), "", "",
            block + 6, 0x06);
    }
    if (length >= 7) {
        Add(entry, ECT_INT, "Max TMDS Clock rate", Get(&CEA861::GetMaxTmdsClock), Set(&CEA861::SetMaxTmdsClock),
            "5 - 1275MHz", "", block, 0);
    }
    if (length >= 8) {
        AddBit(entry, "Content type 'Graphics (text)'", " supported", block + 8, 0);
        AddBit(entry, "Content type 'Photo'", " supported", block + 8, 1);
        AddBit(entry, "Content type 'Cinema'", " supported", block + 8, 2);
        AddBit(entry, "Content type 'Game'", " supported", block + 8, 3);
        AddRethink(entry, ECT_CEA_CHOICE, "Latency fields", Get(&CEA861::GetLatencyFields),
                   Set(&CEA861::SetLatencyFields), "", kLatencyItems, block, 0, &CEA861::RethinkLatencyFields);
        AddRethink(entry, ECT_BOOL | ECT_RETHINK_ON_SET, "HDMI Video present", Get(&CEA861::GetHdmiVideoPresent),
                   Set(&CEA861::SetHdmiVideoPresent), "", "", block, 0, &CEA861::RethinkHdmiVideo);
        Add(entry, ECT_ACTION, "Reserved bits, offset 8", ECBitsGoodBad, Set(&CEA861::ClearBitsEncode), "", "",
            block + 8, 0x10);
    }
}

ECVariant CEA861::GetMaxTmdsClock(int32_t, uint8_t* block, EntryInfo* info) {
    info->Suffix = block[7] == 0 ? QStringLiteral(" (Undefined)") : QString();
    return ECVariant::OfInt(block[7] * 5);
}

void CEA861::SetMaxTmdsClock(int32_t, uint8_t* block, EntryInfo* info, ECVariant value) {
    if (value.Integer < 0 || value.Integer > 1275) {
        Report("Out of range - Possible range 0 - 1275MHz", EC_LEVEL_ERROR);
        return;
    }
    if (!Writable(block + 7, 0, info)) return;
    if (value.Integer % 5 != 0) Report("Precision - Max TMDS clock must be divisble by 5", EC_LEVEL_WARNING);
    block[7] = static_cast<uint8_t>(value.Integer / 5);
    Encode();
}

// ---------------------------------------------------------------------------
// Latency fields (bytes 9 to 12)

ECVariant CEA861::GetLatencyFields(int32_t, uint8_t* block, EntryInfo*) {
    static const char* const kNames[] = {"No latency fields", "Invalid setting", "2 Latency fields present",
                                         "4 Latency fields present"};
    return ECVariant::OfText(kNames[LatencyBits(block)]);
}

void CEA861::SetLatencyFields(int32_t, uint8_t* block, EntryInfo*, ECVariant value) {
    if (value.Integer < 0 || value.Integer > 2) {
        Report("Please, select an option", EC_LEVEL_ERROR);
        return;
    }
    const int length = Length(block);
    const int wanted = 2 * value.Integer;
    // Only latency bytes that lie inside the block are counted as present.
    const int present = std::clamp(length - 8, 0, LatencyCount(block));
    if (wanted == LatencyCount(block) && present == wanted) {
        Encode();
        return;
    }
    const int newLength = length + wanted - present;
    if (!RoomFor(newLength)) return;
    Shift(block, 9 + present, length, wanted - present);
    SetLength(block, newLength);
    static const uint8_t kBits[] = {0x00, 0x80, 0xC0};
    block[8] = static_cast<uint8_t>((block[8] & 0x3F) | kBits[value.Integer]);
    Encode();
}

void CEA861::RethinkLatencyFields(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    entry->DeleteChilds();
    Encode();
    uint8_t* block = entry->GetData();
    const int length = Length(block);
    static const char* const kTwo[] = {"Any Video Latency", "Any Audio Latency"};
    static const char* const kFour[] = {"Video Latency", "Audio Latency", "Interlaced Video Latency",
                                        "Interlaced Audio Latency"};
    const int bits = LatencyBits(block);
    if (bits < 2) return;
    const int count = bits == 2 ? 2 : 4;
    for (int i = 0; i < count && 9 + i <= length; ++i) {
        Add(entry, ECT_INT, bits == 2 ? kTwo[i] : kFour[i], Get(&CEA861::GetLatency), Set(&CEA861::SetLatency),
            "0-500 ms", "", block + 9 + i, 0);
    }
}

ECVariant CEA861::GetLatency(int32_t, uint8_t* data, EntryInfo* info) {
    info->Suffix = data[0] == 0 ? QStringLiteral(" (Undefined)") : QString();
    return ECVariant::OfInt(data[0] == 0 ? 0 : data[0] * 2 - 2);
}

void CEA861::SetLatency(int32_t, uint8_t* data, EntryInfo* info, ECVariant value) {
    if (value.Integer < 0 || value.Integer > 500) {
        Report("Out of range - Allowed range is 0-500ms", EC_LEVEL_ERROR);
        return;
    }
    if (!Writable(data, 0, info)) return;
    if (value.Integer % 2 != 0) Report("Precision - Latency must be divisble by 2ms", EC_LEVEL_WARNING);
    data[0] = static_cast<uint8_t>(value.Integer / 2 + 1);
    Encode();
}

// ---------------------------------------------------------------------------
// HDMI video section (byte p on)

ECVariant CEA861::GetHdmiVideoPresent(int32_t, uint8_t* block, EntryInfo*) {
    return ECVariant::OfBool((block[8] >> 5) & 1);
}

void CEA861::SetHdmiVideoPresent(int32_t, uint8_t* block, EntryInfo*, ECVariant value) {
    const bool present = (block[8] & 0x20) != 0;
    const int length = Length(block);
    if (present && !value.IsTrue()) {
        // The section ends the block: drop it (and never cut into the bytes
        // before it when its inner lengths claim more than the block holds).
        const int p = HdmiVideoOffset(block);
        SetLength(block, std::max(length - HdmiVideoSize(block), p - 1));
        block[8] &= 0xDF;
    } else if (!present && value.IsTrue()) {
        const int p = HdmiVideoOffset(block);
        const int end = std::max(length, p - 1);
        if (!RoomFor(end + 2)) return;
        // Two zero bytes (the section's flags and lengths) open at p; bytes that
        // followed the latencies move up behind them.
        Shift(block, p, end, 2);
        SetLength(block, end + 2);
        block[8] |= 0x20;
    }
    Encode();
}

void CEA861::RethinkHdmiVideo(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    entry->DeleteChilds();
    Encode();
    uint8_t* block = entry->GetData();
    const int p = HdmiVideoOffset(block);
    if (p < 0 || p + 1 > Length(block)) return;
    Add(entry, ECT_BOOL, "3D_present", Get(&CEA861::Get3DPresent), Set(&CEA861::Set3DPresent), "", " present", block,
        0);
    AddRethink(entry, ECT_LIST | ECT_RETHINK_ON_SET, "3D_Multi_preset", Get(&CEA861::Get3DMulti),
               Set(&CEA861::Set3DMulti), "", kMultiItems, block, 0, &CEA861::Rethink3DMulti);
    Add(entry, ECT_LIST, "Image_size", Get(&CEA861::GetImageSize), Set(&CEA861::SetImageSize), "", kImageSizeItems,
        block, 0);
    AddRethink(entry, ECT_INT | ECT_RETHINK_ON_SET, "HDMI_VIC_LEN", Get(&CEA861::GetVicLength),
               Set(&CEA861::SetVicLength), "0-7", "", block, 0, &CEA861::RethinkHdmiVics);
    AddRethink(entry, ECT_INT | ECT_RETHINK_ON_SET, "Additional 3D format info", Get(&CEA861::Get3DLength),
               Set(&CEA861::Set3DLength), "0-31 Entries", "", block, 0, &CEA861::Rethink3DEntries);
    Add(entry, ECT_ACTION, "Reserved bits, (HDMI_video_present)", Get(&CEA861::GetVideoReserved),
        Set(&CEA861::ClearVideoReserved), "", "", block, 0);
}

ECVariant CEA861::Get3DPresent(int32_t, uint8_t* block, EntryInfo*) {
    const int p = HdmiVideoOffset(block);
    if (p < 0) {
        Report("Error reading 3D_present bit", EC_LEVEL_ERROR);
        return ECVariant::OfInt(0);
    }
    return ECVariant::OfBool(block[p] >> 7);
}

void CEA861::Set3DPresent(int32_t, uint8_t* block, EntryInfo*, ECVariant value) {
    const int p = HdmiVideoOffset(block);
    if (p < 0 || p > Length(block)) {
        Report("Error writing 3D_present bit", EC_LEVEL_ERROR);
        return;
    }
    block[p] = static_cast<uint8_t>((block[p] & 0x7F) | (value.IsTrue() ? 0x80 : 0));
    Encode();
}

ECVariant CEA861::Get3DMulti(int32_t, uint8_t* block, EntryInfo*) {
    const int p = HdmiVideoOffset(block);
    if (p < 0) {
        Report("Error reading 3D_Multi_present field", EC_LEVEL_ERROR);
        return ECVariant::OfText("");
    }
    return ECVariant::OfText(kMultiNames[MultiBits(block, p)]);
}

// The HDMI video section's offset when its 3D fields can be written; else
// the refusal is reported (`missing` when the section lies outside the
// block, the re-build text for a 3D_Multi code of 3) and -1 returned.
int CEA861::Writable3DSection(uint8_t* block, const char* missing) {
    const int p = HdmiVideoOffset(block);
    if (p < 0 || p + 1 > Length(block)) {
        Report(missing, EC_LEVEL_ERROR);
        return -1;
    }
    if (MultiBits(block, p) == 3) {
        Report("Invalid encoding - Please re-build HDMI VSDB from scratch", EC_LEVEL_ERROR);
        return -1;
    }
    return p;
}

void CEA861::Set3DMulti(int32_t, uint8_t* block, EntryInfo*, ECVariant value) {
    const int p = Writable3DSection(block, "Error writing 3D_Multi_present field");
    if (p < 0) return;
    if (value.Integer < 0 || value.Integer > 2) {
        Report("Please, select an option", EC_LEVEL_ERROR);
        return;
    }
    const int present = MultiBytes(MultiBits(block, p));
    const int wanted = MultiBytes(value.Integer);
    if (present != wanted) {
        const int length = Length(block);
        const int s = Hdmi3DAllOffset(block);
        // Only the bytes inside the block move; HDMI_3D_LEN follows the fields.
        const int inside = std::clamp(length - s + 1, 0, present);
        const int newLength = length + wanted - inside;
        if (!RoomFor(newLength)) return;
        // 3D_MASK goes before 3D_Structure_ALL when shrinking.
        Shift(block, s + inside, length, wanted - inside);
        SetLength(block, newLength);
        Put3DLength(block, p, Hdmi3DLength(block, p) + wanted - present);
        block[p] = static_cast<uint8_t>((block[p] & 0x9F) | (value.Integer << 5));
    }
    Encode();
}

void CEA861::Rethink3DMulti(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    entry->DeleteChilds();
    Encode();
    uint8_t* block = entry->GetData();
    const int p = HdmiVideoOffset(block);
    if (p < 0) return;
    const int bits = MultiBits(block, p);
    if (bits == 2) {
        for (int n = 0; n < 16; ++n) {
            const std::string name = "3D Mask bit, VIC Index " + std::to_string(n);
            Add(entry, ECT_BOOL, name.c_str(), Get(&CEA861::Get3DMaskBit), Set(&CEA861::Set3DMaskBit), "",
                " 3D enabled", block, n);
        }
    }
    if (bits == 1 || bits == 2) {
        Add(entry, ECT_BOOL, "Frame Packing 3D format", Get(&CEA861::Get3DStructureBit),
            Set(&CEA861::Set3DStructureBit), "", " supported", block, 0);
        Add(entry, ECT_BOOL, "Top and Bottom 3D format", Get(&CEA861::Get3DStructureBit),
            Set(&CEA861::Set3DStructureBit), "", " supported", block, 6);
        Add(entry, ECT_BOOL, "Side-by-Side (half) 3D format", Get(&CEA861::Get3DStructureBit),
            Set(&CEA861::Set3DStructureBit), "", " supported", block, 8);
        Add(entry, ECT_ACTION, "Reserved (3D format)", Get(&CEA861::Get3DStructureReserved),
            Set(&CEA861::Clear3DStructureReserved), "", "", block, 0);
    }
}

// The byte and bit of bit n of a 16-bit field stored high byte first at at.
static uint8_t* BitByte(uint8_t* block, int at, int n) { return block + (n < 8 ? at + 1 : at); }

ECVariant CEA861::Get3DMaskBit(int32_t n, uint8_t* block, EntryInfo*) {
    const int s = Hdmi3DAllOffset(block);
    if (s < 0) {
        Report("Error reading 3D mask bit", EC_LEVEL_ERROR);
        return ECVariant::OfInt(0);
    }
    return ECVariant::OfBool((*BitByte(block, s + 2, n) >> (n & 7)) & 1);
}

void CEA861::Set3DMaskBit(int32_t n, uint8_t* block, EntryInfo* info, ECVariant value) {
    const int s = Hdmi3DAllOffset(block);
    if (s < 0) {
        Report("Error writing 3D mask bit", EC_LEVEL_ERROR);
        return;
    }
    uint8_t* byte = BitByte(block, s + 2, n);
    if (!Writable(byte, 0, info)) return;
    ECSetBit(n & 7, byte, info, value);
    Encode();
}

ECVariant CEA861::Get3DStructureBit(int32_t n, uint8_t* block, EntryInfo*) {
    const int s = Hdmi3DAllOffset(block);
    if (s < 0) {
        Report("Error reading 3D structure bit", EC_LEVEL_ERROR);
        return ECVariant::OfInt(0);
    }
    return ECVariant::OfBool((*BitByte(block, s, n) >> (n & 7)) & 1);
}

void CEA861::Set3DStructureBit(int32_t n, uint8_t* block, EntryInfo* info, ECVariant value) {
    const int s = Hdmi3DAllOffset(block);
    if (s < 0) {
        Report("Error writing 3D structure bit", EC_LEVEL_ERROR);
        return;
    }
    uint8_t* byte = BitByte(block, s, n);
    if (!Writable(byte, 0, info)) return;
    ECSetBit(n & 7, byte, info, value);
    Encode();
}

ECVariant CEA861::Get3DStructureReserved(int32_t, uint8_t* block, EntryInfo*) {
    const int s = Hdmi3DAllOffset(block);
    if (s < 0) {
        Report("Error reading 3D structure reserved bits", EC_LEVEL_ERROR);
        return ECVariant::OfText("Unkown");
    }
    return ECVariant::OfText((block[s] > 1 || (block[s + 1] & 0xBE)) ? "Bad" : "Good");
}

void CEA861::Clear3DStructureReserved(int32_t, uint8_t* block, EntryInfo* info, ECVariant) {
    const int s = Hdmi3DAllOffset(block);
    if (s < 0) {
        Report("Error writing 3D structure reserved bits", EC_LEVEL_ERROR);
        return;
    }
    if (!Writable(block + s, 1, info)) return;
    block[s] &= 0x01;
    block[s + 1] &= 0x41;
    Encode();
}

ECVariant CEA861::GetImageSize(int32_t, uint8_t* block, EntryInfo*) {
    const int p = HdmiVideoOffset(block);
    if (p < 0) {
        Report("Error reading Image_size field", EC_LEVEL_ERROR);
        return ECVariant::OfText("");
    }
    return ECVariant::OfText(kImageSizeNames[(block[p] >> 3) & 3]);
}

void CEA861::SetImageSize(int32_t, uint8_t* block, EntryInfo*, ECVariant value) {
    const int p = HdmiVideoOffset(block);
    if (p < 0 || p > Length(block)) {
        Report("Error writing Image_size field", EC_LEVEL_ERROR);
        return;
    }
    if (value.Integer < 0 || value.Integer > 3) {
        Report("Please, select an option", EC_LEVEL_ERROR);
        return;
    }
    block[p] = static_cast<uint8_t>((block[p] & 0xE7) | (value.Integer << 3));
    Encode();
}

ECVariant CEA861::GetVideoReserved(int32_t, uint8_t* block, EntryInfo*) {
    const int p = HdmiVideoOffset(block);
    if (p < 0) {
        Report("Error reading Reserved bits field", EC_LEVEL_ERROR);
        return ECVariant::OfText("");
    }
    return ECVariant::OfText((block[p] & 0x07) ? "Bad" : "Good");
}

void CEA861::ClearVideoReserved(int32_t, uint8_t* block, EntryInfo*, ECVariant) {
    const int p = HdmiVideoOffset(block);
    if (p < 0 || p > Length(block)) {
        Report("Error writing Reserved bits field", EC_LEVEL_ERROR);
        return;
    }
    block[p] &= 0xF8;
    Encode();
}

// ---------------------------------------------------------------------------
// HDMI VICs

ECVariant CEA861::GetVicLength(int32_t, uint8_t* block, EntryInfo*) {
    const int p = HdmiVideoOffset(block);
    return ECVariant::OfInt(p < 0 ? 0 : VicLength(block, p));
}

void CEA861::SetVicLength(int32_t, uint8_t* block, EntryInfo*, ECVariant value) {
    const int v = value.Integer;
    if (v < 0 || v > 7) {
        Report("Out of range - Possible range 0-7", EC_LEVEL_ERROR);
        return;
    }
    const int p = HdmiVideoOffset(block);
    if (p < 0 || p + 1 > Length(block)) {
        Report("Error writing HDMI_VIC_LEN field", EC_LEVEL_ERROR);
        return;
    }
    const int old = VicLength(block, p);
    if (v != old) {
        const int length = Length(block);
        // Only the VICs inside the block move (HDMI_VIC_LEN may claim more).
        const int present = std::clamp(length - (p + 1), 0, old);
        const int newLength = length + v - present;
        if (!RoomFor(newLength)) return;
        Shift(block, p + 2 + present, length, v - present);  // new VICs are 0; shrinking drops the last ones
        SetLength(block, newLength);
        block[p + 1] = static_cast<uint8_t>((block[p + 1] & 0x1F) | (v << 5));
    }
    Encode();
}

void CEA861::RethinkHdmiVics(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    entry->DeleteChilds();
    Encode();
    uint8_t* block = entry->GetData();
    const int p = HdmiVideoOffset(block);
    if (p < 0) return;
    for (int n = 0; n < VicLength(block, p); ++n) {
        const std::string name = "VIC_" + std::to_string(n);
        Add(entry, ECT_LIST, name.c_str(), Get(&CEA861::GetHdmiVic), Set(&CEA861::SetHdmiVic), "", VicNameItems(),
            block, n);
    }
}

ECVariant CEA861::GetHdmiVic(int32_t n, uint8_t* block, EntryInfo*) {
    const int at = HdmiVicOffset(block);
    if (at < 0) {
        Report("Error reading VIC", EC_LEVEL_ERROR);
        return ECVariant::OfIndex(0);
    }
    return ECVariant::OfIndex(block[at + n]);
}

void CEA861::SetHdmiVic(int32_t n, uint8_t* block, EntryInfo* info, ECVariant value) {
    const int at = HdmiVicOffset(block);
    if (at < 0) {
        Report("Error writing VIC", EC_LEVEL_ERROR);
        return;
    }
    if (value.Integer < 0 || value.Integer > 255) {
        Report("Please, select an option", EC_LEVEL_ERROR);
        return;
    }
    if (!Writable(block + at + n, 0, info)) return;
    block[at + n] = static_cast<uint8_t>(value.Integer);
    Encode();
}

// ---------------------------------------------------------------------------
// 3D entries (2D_VIC_order and 3D_Structure, with 3D_Detail for structures
// of 8 and above)

ECVariant CEA861::Get3DLength(int32_t, uint8_t* block, EntryInfo*) {
    const int p = HdmiVideoOffset(block);
    if (p < 0) {
        Report("Error reading Additional 3D format info length field", EC_LEVEL_ERROR);
        return ECVariant::OfInt(0);
    }
    const int bits = MultiBits(block, p);
    return ECVariant::OfInt(Hdmi3DLength(block, p) - (bits == 0 ? 0 : bits == 1 ? 2 : 4));
}

void CEA861::Set3DLength(int32_t, uint8_t* block, EntryInfo*, ECVariant value) {
    const int p = Writable3DSection(block, "Error writing Additional 3D format info length field");
    if (p < 0) return;
    const int wanted = value.Integer;
    const int length = Length(block);
    const int delta = wanted - (Hdmi3DLength(block, p) - MultiBytes(MultiBits(block, p)));
    const int newLength = length + delta;
    // The new end must not cut a 3D entry: it lies at or after the byte before
    // the first entry, and never between an entry and its 3D_Detail byte.
    bool sane = wanted >= 0 && newLength >= Hdmi3DEntryOffset(block, -1) - 1;
    for (int x = 0; sane; ++x) {
        const int at = Hdmi3DEntryOffset(block, x);
        if (at < 0 || at > newLength) break;
        if ((block[at] & 0x08) && at == newLength) sane = false;
    }
    if (!sane) {
        ReportText("Structural sanity test: Length " + std::to_string(wanted) + " is invalid for this structure.",
                   EC_LEVEL_ERROR);
        return;
    }
    if (!RoomFor(newLength)) return;
    for (int i = length + 1; i <= newLength; ++i) block[i] = 0;
    for (int i = newLength + 1; i <= length; ++i) block[i] = 0;
    SetLength(block, newLength);
    Put3DLength(block, p, Hdmi3DLength(block, p) + delta);
    Encode();
}

void CEA861::Rethink3DEntries(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    entry->DeleteChilds();
    Encode();
    uint8_t* block = entry->GetData();
    const int e = Hdmi3DEntryOffset(block, -1);
    if (e < 0) return;
    int k = 1;
    for (int i = e; i <= Length(block); i += (block[i] & 0x08) ? 2 : 1, ++k) {
        const std::string order = "2D_VIC_Order_" + std::to_string(k);
        const std::string structure = "3D_Structure_" + std::to_string(k);
        Add(entry, ECT_INT, order.c_str(), Get(&CEA861::Get2DVicOrder), Set(&CEA861::Set2DVicOrder), "VIC Index 0 - 15",
            "", block, k - 1);
        AddRethink(entry, ECT_LIST | ECT_RETHINK_ON_SET, structure.c_str(), Get(&CEA861::Get3DStructure),
                   Set(&CEA861::Set3DStructure), "", "Frame Packing\r\nTop-and-Bottom\r\nSide-by-Side (Half)", block,
                   k - 1, &CEA861::Rethink3DDetail);
    }
}

ECVariant CEA861::Get2DVicOrder(int32_t x, uint8_t* block, EntryInfo*) {
    const int at = Hdmi3DEntryOffset(block, x);
    if (at < 0) {
        Report("Error reading 2D_VIC_Order_X field", EC_LEVEL_ERROR);
        return ECVariant::OfInt(0);
    }
    return ECVariant::OfInt(block[at] >> 4);
}

void CEA861::Set2DVicOrder(int32_t x, uint8_t* block, EntryInfo*, ECVariant value) {
    const int at = Hdmi3DEntryOffset(block, x);
    if (at < 0) {
        Report("Error writing 2D_VIC_Order_X field", EC_LEVEL_ERROR);
        return;
    }
    if (value.Integer < 0 || value.Integer > 15) {
        Report("Out of range - Possible range 0-15", EC_LEVEL_ERROR);
        return;
    }
    block[at] = static_cast<uint8_t>((value.Integer << 4) | (block[at] & 0x0F));
    Encode();
}

ECVariant CEA861::Get3DStructure(int32_t x, uint8_t* block, EntryInfo*) {
    const int at = Hdmi3DEntryOffset(block, x);
    if (at < 0) {
        Report("Error reading 3D_Structure_X field", EC_LEVEL_ERROR);
        return ECVariant::OfText("");
    }
    switch (block[at] & 0x0F) {
        case 0:
            return ECVariant::OfIndex(0);
        case 6:
            return ECVariant::OfIndex(1);
        case 8:
            return ECVariant::OfIndex(2);
        default:
            return ECVariant::OfText("Invalid");
    }
}

void CEA861::Set3DStructure(int32_t x, uint8_t* block, EntryInfo*, ECVariant value) {
    const int at = Hdmi3DEntryOffset(block, x);
    if (at < 0) {
        Report("Error writing 2D_VIC_Order_X field", EC_LEVEL_ERROR);
        return;
    }
    if (value.Integer < 0 || value.Integer > 2) {
        Report("Please, select an option", EC_LEVEL_ERROR);
        return;
    }
    static const uint8_t kCodes[] = {0, 6, 8};
    const uint8_t code = kCodes[value.Integer];
    const int p = HdmiVideoOffset(block);
    const int length = Length(block);
    // A 3D_Detail byte follows exactly the structures with bit 3 set.
    const bool hadDetail = (block[at] & 0x08) != 0;
    const bool hasDetail = (code & 0x08) != 0;
    if (hadDetail && !hasDetail && at + 1 <= length) {
        Shift(block, at + 2, length, -1);
        SetLength(block, length - 1);
        Put3DLength(block, p, Hdmi3DLength(block, p) - 1);
    } else if (!hadDetail && hasDetail) {
        if (length >= kMaxPayload) {
            Report("Insufficient space - VSDB max. length (31 bytes) Exceeded by 1 byte", EC_LEVEL_ERROR);
            return;
        }
        Shift(block, at + 1, length, 1);
        SetLength(block, length + 1);
        Put3DLength(block, p, Hdmi3DLength(block, p) + 1);
    }
    block[at] = static_cast<uint8_t>((block[at] & 0xF0) | code);
}

void CEA861::Rethink3DDetail(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    entry->DeleteChilds();
    Encode();
    uint8_t* block = entry->GetData();
    const int x = entry->GetParam();
    const int at = Hdmi3DEntryOffset(block, x);
    if (at < 0 || !(block[at] & 0x08)) return;
    Add(entry, ECT_INT, "3D_Detail_X", Get(&CEA861::Get3DDetail), Set(&CEA861::Set3DDetail), "3D Detail 0 - 15", "",
        block, x);
    Add(entry, ECT_ACTION, "3D detail reserved bits", Get(&CEA861::Get3DDetailReserved),
        Set(&CEA861::Clear3DDetailReserved), "", "", block, x);
}

ECVariant CEA861::Get3DDetail(int32_t x, uint8_t* block, EntryInfo*) {
    const int at = Hdmi3DEntryOffset(block, x);
    if (at < 0) {
        Report("Error reading 3D_Detail_X field", EC_LEVEL_ERROR);
        return ECVariant::OfInt(0);
    }
    return ECVariant::OfInt(block[at + 1] >> 4);
}

void CEA861::Set3DDetail(int32_t x, uint8_t* block, EntryInfo* info, ECVariant value) {
    const int at = Hdmi3DEntryOffset(block, x);
    if (at < 0) {
        Report("Error writing 3D_Detail_X field", EC_LEVEL_ERROR);
        return;
    }
    if (value.Integer < 0 || value.Integer > 15) {
        Report("Out of range - Possible range 0-15", EC_LEVEL_ERROR);
        return;
    }
    if (!Writable(block + at + 1, 0, info)) return;
    block[at + 1] = static_cast<uint8_t>((value.Integer << 4) | (block[at + 1] & 0x0F));
    Encode();
}

ECVariant CEA861::Get3DDetailReserved(int32_t x, uint8_t* block, EntryInfo*) {
    const int at = Hdmi3DEntryOffset(block, x);
    if (at < 0) {
        Report("Error reading 3D_Reserved_X field", EC_LEVEL_ERROR);
        return ECVariant::OfInt(0);
    }
    return ECVariant::OfBool((block[at + 1] & 0x0F) == 0 ? 1 : 0);
}

void CEA861::Clear3DDetailReserved(int32_t x, uint8_t* block, EntryInfo* info, ECVariant) {
    const int at = Hdmi3DEntryOffset(block, x);
    if (at < 0) {
        Report("Error writing 3D_Reserved_X field", EC_LEVEL_ERROR);
        return;
    }
    if (!Writable(block + at + 1, 0, info)) return;
    block[at + 1] &= 0xF0;
    Encode();
}
