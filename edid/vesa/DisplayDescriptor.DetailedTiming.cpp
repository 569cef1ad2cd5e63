// Detailed timing descriptor fields (E-EDID 18-byte detailed timing) and the
// Quick Config timing presets. Part of the DisplayDescriptor codec.

#include "edid/vesa/DisplayDescriptor.h"
#include "edid/core/ECFormat.h"
#include "edid/vesa/TimingPresets.h"

#include <cstring>
#include <string>

namespace {

constexpr int kFlags = 17;
constexpr int kMenuColumn = 22;  // items per Quick Config menu column

const char* const kStereoItems =
    "No Stereo\r\nField sequential stereo, Right on sync=1\r\nField sequential stereo, Left on sync=1\r\n"
    "2-way interleaved stereo, right on even lines\r\n2-way interleaved stereo, left on even lines\r\n"
    "4-way interleaved stereo\r\nSide-by-side interleaved stereo";

// Stereo codes (byte 17 bits 6, 5 and 0) by item index.
constexpr uint8_t kStereoMask = 0x61;
constexpr uint8_t kStereoCodes[7] = {0x00, 0x20, 0x40, 0x21, 0x41, 0x60, 0x61};

const char* StereoText(uint8_t flags) {
    switch (flags & kStereoMask) {
        case 0x20:
            return "Field sequential stereo, Right on sync=1";
        case 0x40:
            return "Field sequential stereo, Left on sync=1";
        case 0x21:
            return "2-way interleaved stereo, right on even lines";
        case 0x41:
            return "2-way interleaved stereo, left on even lines";
        case 0x60:
            return "4-way interleaved stereo";
        case 0x61:
            return "Side-by-side interleaved stereo";
        default:
            break;
    }
    return "No Stereo";  // 00h and 01h
}

// A two-item list on one bit of byte 17: item 0 when clear, item 1 when set.
struct FlagBitList {
    const char* name;
    const char* clear;
    const char* set;
    int bit;
};

}  // namespace

void DisplayDescriptor::BuildDetailedTiming(ECEntry* root) {
    // Pixel clock in 10 kHz units (bytes 0-1, little-endian).
    auto getClock = [](int32_t, uint8_t* data, EntryInfo*) {
        return ECVariant::OfInt((data[0] | (data[1] << 8)) * 10);
    };
    auto setClock = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        const int khz = value.Integer;
        if (khz < 10 || khz > 655350) {
            Report("Out of range - Possible range 10 - 655350", EC_LEVEL_ERROR);
            return;
        }
        if (khz % 10 != 0) Report("Precision - Pixel clock may only be set with precision of 10 kHz", EC_LEVEL_ERROR);
        const int units = khz / 10;
        data[0] = static_cast<uint8_t>(units & 0xFF);
        data[1] = static_cast<uint8_t>(units >> 8);
    };
    new ECEntry(owner_, root,
                NewEntryInfo(ECT_INT | ECT_FLAG_4000, "Pixel Clock", getClock, setClock, {}, "10 - 655350 kHz", ""),
                data_, 0);

    // 12-bit values: low 8 bits in one byte, bits 11-8 in a nibble of another.
    auto field12 = [this, root](const char* name, const char* hint, int low, int high, int shift) {
        auto get = [low, high, shift](int32_t, uint8_t* data, EntryInfo*) {
            return ECVariant::OfInt(data[low] + ((data[high] >> shift) & 0x0F) * 256);
        };
        auto set = [this, low, high, shift](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
            if (value.Integer < 0 || value.Integer > 4095) {
                Report("Out of range - Possible range 0 - 4095", EC_LEVEL_ERROR);
                return;
            }
            data[low] = static_cast<uint8_t>(value.Integer & 0xFF);
            data[high] = static_cast<uint8_t>((data[high] & ~(0x0F << shift)) | ((value.Integer >> 8) << shift));
        };
        new ECEntry(owner_, root, NewEntryInfo(ECT_INT, name, get, set, {}, hint, ""), data_, 0);
    };
    field12("Horizontal addressable video", "0 - 4095 pixels", 2, 4, 4);
    field12("Horizontal Blanking", "0 - 4095 pixels", 3, 4, 0);
    field12("Vertical addressable video", "0-4095 lines", 5, 7, 4);
    field12("Vertical blanking", "0-4095 lines", 6, 7, 0);

    // 10-bit values: low 8 bits in one byte, bits 9-8 in a pair of byte 11.
    auto field10 = [this, root](const char* name, const char* hint, int low, int shift) {
        auto get = [low, shift](int32_t, uint8_t* data, EntryInfo*) {
            return ECVariant::OfInt(data[low] + ((data[11] >> shift) & 3) * 256);
        };
        auto set = [this, low, shift](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
            if (value.Integer < 0 || value.Integer > 1023) {
                Report("Out of range - Possible range 0 - 1023", EC_LEVEL_ERROR);
                return;
            }
            data[low] = static_cast<uint8_t>(value.Integer & 0xFF);
            data[11] = static_cast<uint8_t>((data[11] & ~(3 << shift)) | ((value.Integer >> 8) << shift));
        };
        new ECEntry(owner_, root, NewEntryInfo(ECT_INT, name, get, set, {}, hint, ""), data_, 0);
    };
    field10("Horizontal Front Porch", "0-1023 pixels", 8, 6);
    field10("Horizontal pulse width", "0-1023 pixels", 9, 4);

    // 6-bit values: bits 3-0 in a nibble of byte 10, bits 5-4 in a pair of byte 11.
    auto field6 = [this, root](const char* name, int nibbleShift, int pairShift) {
        auto get = [nibbleShift, pairShift](int32_t, uint8_t* data, EntryInfo*) {
            return ECVariant::OfInt(((data[10] >> nibbleShift) & 0x0F) + ((data[11] >> pairShift) & 3) * 16);
        };
        auto set = [this, nibbleShift, pairShift](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
            if (value.Integer < 0 || value.Integer > 63) {
                Report("Out of range - Possible range 0 - 63", EC_LEVEL_ERROR);
                return;
            }
            data[10] =
                static_cast<uint8_t>((data[10] & ~(0x0F << nibbleShift)) | ((value.Integer & 0x0F) << nibbleShift));
            data[11] = static_cast<uint8_t>((data[11] & ~(3 << pairShift)) | ((value.Integer >> 4) << pairShift));
        };
        new ECEntry(owner_, root, NewEntryInfo(ECT_INT, name, get, set, {}, "0-63 lines", ""), data_, 0);
    };
    field6("Vertical Front Porch", 4, 2);
    field6("Vertical pulse width", 0, 0);

    field12("Horizontal Video Size", "0-4095 mm", 12, 14, 4);
    field12("Vertical Video Size", "0-4095 mm", 13, 14, 0);

    auto field8 = [this, root](const char* name, const char* hint, int byte) {
        auto get = [byte](int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[byte]); };
        auto set = [this, byte](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
            if (value.Integer < 0 || value.Integer > 255) {
                Report("Out of range - Possible range 0 - 255", EC_LEVEL_ERROR);
                return;
            }
            data[byte] = static_cast<uint8_t>(value.Integer);
        };
        new ECEntry(owner_, root, NewEntryInfo(ECT_INT, name, get, set, {}, hint, ""), data_, 0);
    };
    field8("Left or Right border", "0-255 pixels", 15);
    field8("Top or Bottom border", "0-255 pixels", 16);

    new ECEntry(owner_, root, NewEntryInfo(ECT_BOOL, "Interlaced", ECGetBit, ECSetBit, {}, "", ""), data_ + kFlags, 7);

    auto getStereo = [](int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfText(StereoText(data[kFlags])); };
    auto setStereo = [](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        const int index = value.Integer;
        const uint8_t code = (index >= 0 && index < 7) ? kStereoCodes[index] : 0;
        data[kFlags] = static_cast<uint8_t>((data[kFlags] & ~kStereoMask) | code);
    };
    new ECEntry(owner_, root,
                NewEntryInfo(ECT_LIST, "Stereo viewing support", getStereo, setStereo, {}, "", kStereoItems), data_, 0);

    auto getSync = [](int32_t, uint8_t* data, EntryInfo*) {
        return ECVariant::OfText((data[kFlags] & 0x10) ? "Digital" : "Analog");
    };
    auto setSync = [](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        data[kFlags] = static_cast<uint8_t>((data[kFlags] & ~0x10) | ((value.Integer & 1) << 4));
    };
    auto* sync = new ECEntry(owner_, root,
                             NewEntryInfo(ECT_LIST | ECT_RETHINK_ON_SET, "Sync Signal Definition", getSync, setSync, {},
                                          "Analog or Digital", "Analog\r\nDigital"),
                             data_, 0, [this](ECEntry* e) { RethinkSyncDefinition(e); });
    RethinkSyncDefinition(sync);
}

namespace {

ECEntry* NewFlagBitList(ECTreeView* owner, ECEntry* parent, uint8_t* data, const FlagBitList& list,
                        uint32_t flags = ECT_LIST, ECRethinkClosure rethink = {}) {
    const std::string items = std::string(list.clear) + "\r\n" + list.set;
    const char* clearText = list.clear;
    const char* setText = list.set;
    const int bit = list.bit;
    auto get = [clearText, setText, bit](int32_t, uint8_t* d, EntryInfo*) {
        return ECVariant::OfText(((d[kFlags] >> bit) & 1) ? setText : clearText);
    };
    auto set = [bit](int32_t, uint8_t* d, EntryInfo*, ECVariant value) {
        d[kFlags] = static_cast<uint8_t>((d[kFlags] & ~(1 << bit)) | ((value.Integer & 1) << bit));
    };
    EntryInfo* info = ECHelper::NewEntryInfo(flags, list.name, get, set, {}, "", items.c_str());
    if (rethink) return new ECEntry(owner, parent, info, data, 0, std::move(rethink));
    return new ECEntry(owner, parent, info, data, 0);
}

const FlagBitList kHSyncPolarity = {"H-Sync polarity", "Negative", "Positive", 1};
const FlagBitList kVSyncPolarity = {"V-Sync polarity", "Negative", "Positive", 2};
const FlagBitList kSerrations = {"Serrations", "Without serrations", "With serrations", 2};
const FlagBitList kDigitalSyncType = {"Digital Sync type", "Digital composite", "Digital Separate", 3};
const FlagBitList kAnalogSyncType = {"Analog Sync Type", "Analog composite sync", "Bipolar analog composity sync", 3};
const FlagBitList kSyncSignal = {"Sync signal", "Sync on Green signal only", "Sync on all three RGB video signals", 1};

}  // namespace

void DisplayDescriptor::RethinkSyncDefinition(ECEntry* entry) {
    entry->DeleteChilds();
    if (data_[kFlags] & 0x10) {
        ECEntry* type = NewFlagBitList(owner_, entry, data_, kDigitalSyncType, ECT_LIST | ECT_RETHINK_ON_SET,
                                       [this](ECEntry* e) { RethinkDigitalSync(e); });
        RethinkDigitalSync(type);
        NewFlagBitList(owner_, entry, data_, kHSyncPolarity);
        return;
    }
    NewFlagBitList(owner_, entry, data_, kAnalogSyncType);
    NewFlagBitList(owner_, entry, data_, kSerrations);
    NewFlagBitList(owner_, entry, data_, kSyncSignal);
}

void DisplayDescriptor::RethinkDigitalSync(ECEntry* entry) {
    entry->DeleteChilds();
    NewFlagBitList(owner_, entry, data_, (data_[kFlags] & 0x08) ? kVSyncPolarity : kSerrations);
}

// ---------------------------------------------------------------------------
// Quick Config presets

void DisplayDescriptor::BuildQuickConfigMenu(ECPopupMenu* menu, ECEntry* /*entry*/, ECPickClosure pick) {
    pick_ = std::move(pick);
    if (!menu || menu->Tag() == this) return;
    menu->SetTag(this);
    menu->Clear();
    ECPopupSubmenu* vesa = menu->AddSubmenu(QStringLiteral("VESA Timings"));
    ECPopupSubmenu* cea = menu->AddSubmenu(QStringLiteral("CEA Timings"));
    auto fill = [this](ECPopupSubmenu* submenu, const TimingPreset* table, int count, bool vesaTable) {
        if (!submenu) return;
        int counter = -1;
        for (int row = 0; row < count; ++row) {
            ++counter;
            const bool newColumn = counter == kMenuColumn;
            if (newColumn) counter = 0;
            auto onClick = [this, vesaTable](int32_t tag) {
                if (vesaTable) {
                    ApplyVesaTiming(tag);
                } else {
                    ApplyCeaTiming(tag);
                }
            };
            submenu->AddItem(ECWiden(table[row].name), row, onClick, newColumn);
        }
    };
    fill(vesa, VesaTimingPresets, kVesaTimingPresetCount, true);
    fill(cea, CeaTimingPresets, kCeaTimingPresetCount, false);
}

void DisplayDescriptor::ApplyVesaTiming(int32_t tag) {
    if (tag < 0 || tag >= kVesaTimingPresetCount) return;
    ApplyPreset(VesaTimingPresets[tag].bytes);
}

void DisplayDescriptor::ApplyCeaTiming(int32_t tag) {
    if (tag < 0 || tag >= kCeaTimingPresetCount) return;
    ApplyPreset(CeaTimingPresets[tag].bytes);
}

void DisplayDescriptor::ApplyPreset(const uint8_t* bytes) {
    // The copy bypasses the Set closures: a preset is a complete, valid descriptor.
    std::memcpy(data_, bytes, kLength);
    ECEntry* root = root_;
    if (pick_) {
        // The pick may rebuild the owner's tree and with it this descriptor:
        // nothing of this object is used after it.
        ECPickClosure pick = pick_;
        pick(root);
        return;
    }
    root->CallRethinkFunction();
    root->ReevaluateTree(root);
}
