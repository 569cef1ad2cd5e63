// Basic display parameters and features of the base block (bytes 20 to 24):
// video input definition, screen size or aspect ratio, gamma, feature support.
// Part of the VESA_EDID codec.

#include "edid/vesa/VESA_EDID.h"
#include "edid/core/ECFormat.h"

#include <cmath>

namespace {

constexpr int kVideoInput = 20;
constexpr int kScreenWidth = 21;
constexpr int kScreenHeight = 22;
constexpr int kGamma = 23;
constexpr int kFeatures = 24;

constexpr uint8_t kDigitalInput = 0x80;
// Digital input, E-EDID 1.4: 8 bits per primary colour, interface undefined.
// In 1.3 bits 6-1 are reserved, so only bit 7 is set there.
constexpr uint8_t kDigitalDefault14 = 0xA0;
constexpr uint8_t kDigitalDefault13 = 0x80;
constexpr uint8_t kGammaUndefined = 0xFF;

const char* const kSelectOption = "Please, select an option";

const char* const kColorDepthItems =
    "Undefined\r\n6 Bits per Primary color\r\n8 Bits per Primary color\r\n10 Bits per Primary color\r\n"
    "12 Bits per Primary color\r\n14 Bits per Primary color\r\n16 Bits per Primary color\r\n";
const char* const kColorDepthTexts[7] = {
    "Undefined",
    "6 Bits per Primary color",
    "8 Bits per Primary color",
    "10 Bits per Primary color",
    "12 Bits per Primary color",
    "14 Bits per Primary color",
    "16 Bits per Primary color",
};
const char* const kInterfaceItems =
    "Undefined\r\nDVI Supported\r\nHDMI-a Supported\r\nHDMI-b Supported\r\nMDDI Supported\r\nDisplayPort Supported";
const char* const kInterfaceTexts[6] = {"Undefined",        "DVI Supported",  "HDMI-a Supported",
                                        "HDMI-b Supported", "MDDI Supported", "DisplayPort Supported"};
const char* const kSignalLevelItems =
    "0.700 : 0.300 : 1.000 V p-p\r\n0.714 : 0.286 : 1.000 V p-p\r\n1.000 : 0.400 : 1.400 V p-p\r\n"
    "0.700 : 0.000 : 0.700 V p-p";
const char* const kSignalLevelTexts[4] = {"0.700 : 0.300 : 1.000 V p-p", "0.714 : 0.286 : 1.000 V p-p",
                                          "1.000 : 0.400 : 1.400 V p-p", "0.700 : 0.000 : 0.700 V p-p"};
const char* const kColorTypeItems =
    "Monochrome\r\nRGB Color display\r\nNon-RGB color display\r\nColor type unspecified";
const char* const kColorTypeTexts[4] = {"Monochrome", "RGB Color display", "Non-RGB color display",
                                        "Color type unspecified"};
const char* const kEncodingItems =
    "RGB 4:4:4\r\nRGB 4:4:4 + yCrCb 4:4:4\r\nRGB 4:4:4 + yCrCb 4:2:2\r\nRGB 4:4:4 + yCrCb 4:4:4 + yCrCb 4:2:2";
const char* const kEncodingTexts[4] = {"RGB 4:4:4", "RGB 4:4:4 + yCrCb 4:4:4", "RGB 4:4:4 + yCrCb 4:2:2",
                                       "RGB 4:4:4 + yCrCb 4:4:4 + yCrCb 4:2:2"};

// Landscape / portrait aspect ratios with a name of their own (byte value).
struct NamedAspect {
    int code;
    const char* landscape;
    const char* portrait;
};
constexpr NamedAspect kNamedAspects[4] = {
    {26, "5:4", "4:5"}, {34, "4:3", "3:4"}, {61, "16:10", "10:16"}, {79, "16:9", "9:16"}};
constexpr double kMaxAspect = 3.54;

ECVariant GetAspectRatio(int32_t, uint8_t* data, EntryInfo* info) {
    const bool landscape = data[kScreenWidth] != 0;
    const int code = landscape ? data[kScreenWidth] : data[kScreenHeight];
    info->Prefix = landscape ? QStringLiteral("Landscape ") : QStringLiteral("Portrait ");
    for (const NamedAspect& named : kNamedAspects) {
        if (named.code == code) return ECVariant::OfText(landscape ? named.landscape : named.portrait);
    }
    const double ratio = (code + 99) / 100.0;
    return ECVariant::OfText(landscape ? ECFormatW("%.2f:1", ratio) : ECFormatW("1:%.2f", ratio));
}

}  // namespace

void VESA_EDID::BuildBasicDisplayParameters(ECEntry* version, int decoding) {
    ECEntry* group = Group(version, "Basic Display Parameters and Features");

    auto get = [](int32_t, uint8_t* data, EntryInfo*) {
        return ECVariant::OfText((data[0] & kDigitalInput) ? "Digital video signal interface"
                                                           : "Analog video signal interface");
    };
    auto set = [this](int32_t param, uint8_t* data, EntryInfo*, ECVariant value) {
        if (value.Integer == -1) {
            Report(kSelectOption, EC_LEVEL_ERROR);
            return;
        }
        if (value.Integer == 0) {
            data[0] = 0x00;
        } else {
            data[0] = param >= 4 ? kDigitalDefault14 : kDigitalDefault13;
        }
    };
    auto* input =
        new ECEntry(view_, group,
                    NewEntryInfo(ECT_LIST | ECT_RETHINK_ON_SET | ECT_SHOW_DETAILS, "Video Signal Interface", get, set,
                                 {}, "", "Analog video signal interface\r\nDigital video signal interface"),
                    bytes_ + kVideoInput, decoding, [this](ECEntry* e) { RethinkVideoInput(e); });
    RethinkVideoInput(input);

    BuildScreenSize(group, decoding);
    BuildFeatureSupport(group, decoding);
    BuildColorType(group, decoding);
}

// ---------------------------------------------------------------------------
// Video input definition (byte 20)

void VESA_EDID::RethinkVideoInput(ECEntry* entry) {
    entry->DeleteChilds();
    if (bytes_[kVideoInput] & kDigitalInput) {
        BuildDigitalInput(entry, entry->GetParam());
    } else {
        BuildAnalogInput(entry);
    }
}

void VESA_EDID::BuildDigitalInput(ECEntry* entry, int decoding) {
    uint8_t* byte = bytes_ + kVideoInput;
    if (decoding >= 4) {
        auto getDepth = [](int32_t, uint8_t* data, EntryInfo*) {
            const int depth = (data[0] >> 4) & 7;
            return ECVariant::OfText(depth <= 6 ? kColorDepthTexts[depth] : "Reserved [Invalid value]");
        };
        auto setDepth = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
            if (value.Integer == -1) {
                Report(kSelectOption, EC_LEVEL_ERROR);
                return;
            }
            data[0] = static_cast<uint8_t>((data[0] & 0x8F) | ((value.Integer & 7) << 4));
        };
        new ECEntry(view_, entry,
                    NewEntryInfo(ECT_LIST, "Color Bit Depth", getDepth, setDepth, {}, "6 - 16", kColorDepthItems), byte,
                    0);

        auto getInterface = [](int32_t, uint8_t* data, EntryInfo*) {
            const int kind = data[0] & 0x0F;
            return ECVariant::OfText(kind <= 5 ? kInterfaceTexts[kind] : "Reserved [Invalid value]");
        };
        auto setInterface = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
            if (value.Integer == -1) {
                Report(kSelectOption, EC_LEVEL_ERROR);
                return;
            }
            data[0] = static_cast<uint8_t>((data[0] & 0xF0) | (value.Integer & 0x0F));
        };
        new ECEntry(
            view_, entry,
            NewEntryInfo(ECT_LIST, "Digital video interface", getInterface, setInterface, {}, "", kInterfaceItems),
            byte, 0);
        return;
    }
    new ECEntry(view_, entry, NewEntryInfo(ECT_BOOL, "VESA DFP 1.x", ECGetBit, ECSetBit, {}, "", " compatible"), byte,
                0);
    new ECEntry(view_, entry, NewEntryInfo(ECT_ACTION, "Reserved bits", ECBitsGoodBad, ECClearBits, {}, "", ""), byte,
                0x7E);
}

void VESA_EDID::BuildAnalogInput(ECEntry* entry) {
    uint8_t* byte = bytes_ + kVideoInput;
    auto getLevel = [](int32_t, uint8_t* data, EntryInfo*) {
        return ECVariant::OfText(kSignalLevelTexts[(data[0] >> 5) & 3]);
    };
    auto setLevel = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        if (value.Integer == -1) {
            Report(kSelectOption, EC_LEVEL_ERROR);
            return;
        }
        data[0] = static_cast<uint8_t>((data[0] & 0x9F) | ((value.Integer & 3) << 5));
    };
    new ECEntry(view_, entry,
                NewEntryInfo(ECT_LIST, "Signal Level Standard", getLevel, setLevel, {}, "", kSignalLevelItems), byte,
                0);

    auto getSetup = [](int32_t, uint8_t* data, EntryInfo*) {
        return ECVariant::OfText((data[0] & 0x10) ? "Blank-to-Black setup or pedestal" : "Blank Level = Black Level");
    };
    auto setSetup = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        if (value.Integer == -1) {
            Report(kSelectOption, EC_LEVEL_ERROR);
            return;
        }
        data[0] = static_cast<uint8_t>((data[0] & ~0x10) | ((value.Integer & 1) << 4));
    };
    new ECEntry(view_, entry,
                NewEntryInfo(ECT_LIST, "Video Setup", getSetup, setSetup, {}, "",
                             "Blank Level = Black Level\r\nBlank-to-Black setup or pedestal"),
                byte, 0);

    static const char* const kSyncNames[4] = {"Separate sync H & V", "Composite Sync Signal on Horizontal",
                                              "Composite Sync Signal on Green video", "Serration on the Vertical Sync"};
    for (int i = 0; i < 4; ++i) {
        new ECEntry(view_, entry,
                    NewEntryInfo(ECT_BOOL, kSyncNames[i], ECGetBit, ECSetBit, {}, "Yes / No", " supported"), byte,
                    3 - i);
    }
}

// ---------------------------------------------------------------------------
// Screen size or aspect ratio (bytes 21 and 22)

void VESA_EDID::BuildScreenSize(ECEntry* group, int decoding) {
    auto get = [](int32_t param, uint8_t* data, EntryInfo*) {
        const bool width = data[0] != 0;
        const bool height = data[1] != 0;
        if (width && height) return ECVariant::OfText("Screen Size");
        if (width != height && param >= 4) return ECVariant::OfText("Aspect ratio");
        return ECVariant::OfText("Undefined");
    };
    auto set = [](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        switch (value.Integer) {
            case 0:
                data[0] = 0x00, data[1] = 0x00;
                break;
            case 1:  // 46 cm by 37 cm
                data[0] = 0x2E, data[1] = 0x25;
                break;
            case 2:  // landscape 16:9
                data[0] = 0x4F, data[1] = 0x00;
                break;
            default:
                break;
        }
    };
    const bool v14 = decoding >= 4;
    auto* entry =
        new ECEntry(view_, group,
                    NewEntryInfo(ECT_LIST | ECT_RETHINK_ON_SET | ECT_SHOW_DETAILS,
                                 v14 ? "Screen size or Aspect ratio" : "Screen size", get, set, {}, "",
                                 v14 ? "Undefined\r\nScreen Size\r\nAspect ratio" : "Undefined\r\nScreen Size"),
                    bytes_ + kScreenWidth, decoding, [this](ECEntry* e) { RethinkScreenSize(e); });
    RethinkScreenSize(entry);
}

void VESA_EDID::RethinkScreenSize(ECEntry* entry) {
    entry->DeleteChilds();
    const bool width = bytes_[kScreenWidth] != 0;
    const bool height = bytes_[kScreenHeight] != 0;
    if (!width && !height) return;
    if (width && height) {
        auto get = [](int32_t, uint8_t* data, EntryInfo* info) {
            info->Suffix = QStringLiteral(" cm");
            return ECVariant::OfInt(data[0]);
        };
        auto set = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
            if (value.Integer < 1 || value.Integer > 255) {
                Report("Out of range - Possible range is 1 - 255 cm", EC_LEVEL_ERROR);
                return;
            }
            data[0] = static_cast<uint8_t>(value.Integer);
        };
        new ECEntry(view_, entry, NewEntryInfo(ECT_INT, "Horizontal screen size", get, set, {}, "1-255 cm", ""),
                    bytes_ + kScreenWidth, 0);
        new ECEntry(view_, entry, NewEntryInfo(ECT_INT, "Vertical screen size", get, set, {}, "1-255 cm", ""),
                    bytes_ + kScreenHeight, 0);
        return;
    }
    auto set = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        const std::string text = ECNarrow(value.Text);
        const size_t colon = text.find(':');
        const double a = ECStrToDouble(text.substr(0, colon).c_str(), nullptr);
        const double b = colon == std::string::npos ? 0.0 : ECStrToDouble(text.substr(colon + 1).c_str(), nullptr);
        if (a == 0.0 || b == 0.0 || !std::isfinite(a) || !std::isfinite(b)) {
            Report("Invalid Aspect ratio - Enter aspect as <value>:<value>", EC_LEVEL_ERROR);
            return;
        }
        const double r = a / b;
        if (a >= b) {
            if (!(r >= 1.0 && r <= kMaxAspect)) {
                Report("Out of range - Aspect must be in range of 1:1 to 3.54:1", EC_LEVEL_ERROR);
                return;
            }
            data[kScreenHeight] = 0;
            data[kScreenWidth] = static_cast<uint8_t>(static_cast<int>(r * 100.0 + 0.5 - 99.0));
        } else {
            if (!(r >= 1.0 / kMaxAspect && r <= 0.99)) {
                Report("Out of range - Aspect must be in range of 1:1 to 1:3.54", EC_LEVEL_ERROR);
                return;
            }
            data[kScreenWidth] = 0;
            data[kScreenHeight] = static_cast<uint8_t>(static_cast<int>(100.0 / r + 0.5 - 99.0));
        }
    };
    new ECEntry(view_, entry,
                NewEntryInfo(ECT_STRING, "Aspect Ratio", GetAspectRatio, set, {}, "1:1 - 1:3.54 OR 1:1 - 3.54:1", ""),
                bytes_, 0);
}

// ---------------------------------------------------------------------------
// Gamma and feature support (bytes 23 and 24)

void VESA_EDID::BuildFeatureSupport(ECEntry* group, int decoding) {
    ECEntry* features = Group(group, "Feature Support", ECT_GROUP | ECT_READ_ONLY | ECT_SHOW_DETAILS);

    auto getGamma = [](int32_t, uint8_t* data, EntryInfo* info) {
        if (data[0] == kGammaUndefined) {
            info->Prefix = QStringLiteral("[Undefined]");
            return ECVariant();
        }
        info->Prefix.clear();
        return ECVariant::OfDouble(data[0] * 0.01 + 1.0);
    };
    auto setGamma = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        const double code = std::isfinite(value.Float) ? std::trunc(value.Float * 100.0 - 99.5) : -1.0;
        if (!(code >= 0.0 && code <= 254.0)) {
            Report("Out of range - Possible range 1.00 - 3.54", EC_LEVEL_ERROR);
            return;
        }
        data[0] = static_cast<uint8_t>(code);
    };
    new ECEntry(view_, features,
                NewEntryInfo(ECT_FLOAT, "Display Transfer characteristics (Gamma)", getGamma, setGamma, {},
                             "1.00 - 3.54", "%g"),
                bytes_ + kGamma, 0);

    struct FeatureBit {
        const char* name;
        const char* items;
        int bit;
    };
    const bool v14 = decoding >= 4;
    const FeatureBit bits[6] = {
        {"Standby mode", " supported", 7},
        {"Suspend mode", " supported", 6},
        {"Active Off / Very low power", " supported", 5},
        {"sRGB is the default color space", "", 2},
        {"Preferred timing includes native pixel format and refresh rates", "", 1},
        {v14 ? "Display is continuous frequency" : "Default GTF", v14 ? "" : " supported", 0},
    };
    for (const FeatureBit& f : bits) {
        new ECEntry(view_, features, NewEntryInfo(ECT_BOOL, f.name, ECGetBit, ECSetBit, {}, "", f.items),
                    bytes_ + kFeatures, f.bit);
    }
}

void VESA_EDID::BuildColorType(ECEntry* group, int decoding) {
    auto set = [](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        data[kFeatures] = static_cast<uint8_t>((data[kFeatures] & ~0x18) | ((value.Integer & 3) << 3));
    };
    if (decoding < 4) {
        auto get = [](int32_t, uint8_t* data, EntryInfo*) {
            return ECVariant::OfText(kColorTypeTexts[(data[kFeatures] >> 3) & 3]);
        };
        new ECEntry(view_, group,
                    NewEntryInfo(ECT_LIST | ECT_FLAG_4000, "Display Color Type", get, set, {}, "", kColorTypeItems),
                    bytes_, 0);
        return;
    }
    // E-EDID 1.4: the meaning of bits 4-3 follows the input type of byte 20.
    auto get = [](int32_t, uint8_t* data, EntryInfo* info) {
        const int code = (data[kFeatures] >> 3) & 3;
        if (data[kVideoInput] & kDigitalInput) {
            info->Name = QStringLiteral("Supported Color encoding formats");
            info->Format = ECWiden(kEncodingItems);
            return ECVariant::OfText(kEncodingTexts[code]);
        }
        info->Name = QStringLiteral("Display Color Type");
        info->Format = ECWiden(kColorTypeItems);
        return ECVariant::OfText(kColorTypeTexts[code]);
    };
    new ECEntry(view_, group, NewEntryInfo(ECT_LIST | ECT_FLAG_4000, "", get, set, {}, "", ""), bytes_, 0);
}
