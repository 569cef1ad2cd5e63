#include "edid/vesa/VESA_EDID.h"

#include "edid/core/ECFormat.h"
#include "edid/vesa/DisplayDescriptor.h"
#include "edid/vesa/StandardTiming.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

constexpr uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr int32_t kBlockLength = 128;

// Base block offsets (E-EDID 1.3 / 1.4).
constexpr int kManufacturerId = 8;
constexpr int kProductCode = 10;
constexpr int kSerialNumber = 12;
constexpr int kWeek = 16;
constexpr int kYear = 17;
constexpr int kVersion = 18;
constexpr int kRevision = 19;
constexpr int kEstablishedTimings = 35;
constexpr int kManufacturerTimings = 37;
constexpr int kStandardTimings = 38;
constexpr int kStandardTimingCount = 8;
constexpr int kExtensionCount = 126;

constexpr uint8_t kModelYearWeek = 0xFF;
constexpr int kYearBase = 1990;

const char* const kVersionItems = "V1.0\r\nV1.1\r\nV1.2\r\nV1.3\r\nV1.4";

}  // namespace

// ---------------------------------------------------------------------------
// Detector and life cycle

ECCodecDeleter VESA_EDID::Detect(const uint8_t* bytes, int32_t length) {
    if (!bytes || length != kBlockLength) return nullptr;
    return std::memcmp(bytes, kHeader, sizeof kHeader) == 0 ? &VESA_EDID::Delete : nullptr;
}

void VESA_EDID::Delete(ECHelper* codec) { delete static_cast<VESA_EDID*>(codec); }

ECHelper* VESA_EDID::Create(ECEntry* parent, int32_t index, int32_t length, uint8_t* bytes, ECTreeView* view) {
    return new VESA_EDID(parent, index, length, bytes, view);
}

VESA_EDID::VESA_EDID(ECEntry* parent, int32_t index, int32_t /*length*/, uint8_t* bytes, ECTreeView* view)
    : view_(view), bytes_(bytes) {
    const std::string name = ECFormat("Block %d [VESA EDID]", index);
    const std::string component = ECFormat("%d", index);
    auto rootText = [](int32_t, uint8_t*, EntryInfo*) { return ECVariant::OfText("Valid Header=True\n"); };
    root_ = new ECEntry(view_, parent,
                        NewEntryInfo(ECT_GROUP | ECT_PATH_BY_INDEX | ECT_READ_ONLY, name.c_str(), rootText, {}, {}, "",
                                     component.c_str()),
                        bytes_, 0);
    try {
        Build(index);
    } catch (...) {
        // A structural fault while building: leave nothing behind in the
        // collection's tree (the block is then refused).
        DestroyDescriptors();
        delete root_;
        throw;
    }
}

void VESA_EDID::Build(int32_t index) {
    if (index != 0) Report("VESA E-EDID block 0 is not at index 0", EC_LEVEL_WARNING);

    auto* checksum = new ECEntry(view_, root_,
                                 NewEntryInfo(ECT_ACTION | ECT_REENCODE_ON_DEPEND | ECT_FLAG_4000, "Checksum",
                                              ECChecksumText, ECSetChecksum, {}, "", ""),
                                 bytes_, 0);
    checksum->AddDependency(QStringLiteral("*") + root_->GetPath() + QStringLiteral("/Version*"));

    auto* version =
        new ECEntry(view_, root_,
                    NewEntryInfo(
                        ECT_LIST | ECT_RETHINK_ON_SET | ECT_SHOW_DETAILS, "Version",
                        [this](int32_t, uint8_t* data, EntryInfo*) { return GetVersion(data); },
                        [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) { SetVersion(data, value); }, {},
                        "V1.0 - V1.4", kVersionItems),
                    bytes_, 0, [this](ECEntry* e) { RethinkBaseBlock(e); });
    RethinkBaseBlock(version);
    constructed_ = true;
}

VESA_EDID::~VESA_EDID() {
    DestroyDescriptors();
    delete root_;
}

void VESA_EDID::Report(const char* text, int32_t level) { root_->OnMessage(level, ECWiden(text)); }

void VESA_EDID::GetName(char* buffer, int32_t length) {
    if (!buffer || length <= 0) return;
    const std::string name = ECNarrow(root_->GetName());
    const size_t count = std::min(name.size(), static_cast<size_t>(length - 1));
    std::memcpy(buffer, name.data(), count);
}

void VESA_EDID::DestroyDescriptors() {
    for (DisplayDescriptor*& descriptor : descriptors_) {
        delete descriptor;
        descriptor = nullptr;
    }
}

ECEntry* VESA_EDID::Group(ECEntry* parent, const char* name, uint32_t flags) {
    return new ECEntry(view_, parent, NewEntryInfo(flags, name, {}, {}, {}, "", ""), bytes_, 0);
}

// ---------------------------------------------------------------------------
// Version

ECVariant VESA_EDID::GetVersion(uint8_t* data) {
    return ECVariant::OfText(ECFormatW("V%d.%d", data[kVersion], data[kRevision]));
}

void VESA_EDID::SetVersion(uint8_t* data, ECVariant value) {
    if (value.Integer == -1) {
        Report("Cannot set, version is invalid", EC_LEVEL_ERROR);
        return;
    }
    if (value.Integer < 0 || value.Integer > 4) return;
    data[kVersion] = 1;
    data[kRevision] = static_cast<uint8_t>(value.Integer);
}

int VESA_EDID::DecodingVersion() {
    const int major = bytes_[kVersion];
    const int minor = bytes_[kRevision];
    if (major != 1) {
        Report(ECFormat("Error: Unsupported version\r\nThe major version (%d.%d) of this EDID block is not supported",
                        major, minor)
                   .c_str(),
               EC_LEVEL_ERROR);
        return 0;
    }
    if (minor == 4) return 4;
    if (minor == 3) return 3;
    if (minor > 4) {
        Report(
            ECFormat("Warning\r\nThe minor version (%d.%d) is not supported, and an older version (1.4) will be used "
                     "to decode",
                     major, minor)
                .c_str(),
            EC_LEVEL_WARNING);
        return 4;
    }
    Report(ECFormat("Warning\r\nThe minor version (%d.%d) is not supported, and a later version (1.3) will be used to "
                    "decode",
                    major, minor)
               .c_str(),
           EC_LEVEL_WARNING);
    return 3;
}

void VESA_EDID::RethinkBaseBlock(ECEntry* version) {
    // The descriptor codecs own entries below "Version": destroy them first so
    // that DeleteChilds never deletes their roots a second time.
    DestroyDescriptors();
    version->DeleteChilds();
    const int decoding = DecodingVersion();
    if (decoding == 0) return;

    ECEntry* extension = BuildExtensionFlag(version);
    // A rebuild after a version change (for example from an unsupported major
    // version, whose tree had no "Extension flag") brings byte 126 back in step
    // with the collection; the propagation of the version change then
    // re-encodes the checksum. The first build is left to the collection,
    // which re-evaluates every entry after the block is added.
    if (constructed_) extension->Reencode();
    BuildVendorProduct(version, decoding);
    BuildBasicDisplayParameters(version, decoding);
    BuildChromaticity(version);
    BuildEstablishedTimings(version);
    BuildManufacturerTimings(version);
    BuildStandardTimings(version);
    BuildDescriptors(version, decoding);
}

// ---------------------------------------------------------------------------
// Extension flag: follows the collection's block count.

ECEntry* VESA_EDID::BuildExtensionFlag(ECEntry* version) {
    auto get = [](int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[kExtensionCount]); };
    auto set = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant) {
        ECEntry* blocks = root_->FindEntry(QStringLiteral(":/Blocks in collection"));
        if (!blocks) return;
        data[kExtensionCount] = static_cast<uint8_t>(blocks->GetValue().Integer - 1);
    };
    auto* entry = new ECEntry(view_, version,
                              NewEntryInfo(ECT_INT | ECT_REENCODE_ON_DEPEND | ECT_READ_ONLY, "Extension flag", get, set,
                                           {}, "Number of blocks following Base EDID", ""),
                              bytes_, 0);
    entry->AddDependency(QStringLiteral(":/Blocks in collection"));
    return entry;
}

// ---------------------------------------------------------------------------
// Vendor & Product ID (bytes 8 to 17)

namespace {

// Three 5-bit letter codes (character - 40h) in a big-endian word; bit 15 reserved.
ECVariant GetManufacturerName(int32_t, uint8_t* data, EntryInfo*) {
    const unsigned word = (data[0] << 8) | data[1];
    const char* format = (data[0] & 0x80) ? "%c%c%c [RESERVED BIT SET]" : "%c%c%c";
    return ECVariant::OfText(ECFormatW(format, static_cast<int>(((word >> 10) & 0x1F) + 0x40),
                                       static_cast<int>(((word >> 5) & 0x1F) + 0x40),
                                       static_cast<int>((word & 0x1F) + 0x40)));
}

}  // namespace

void VESA_EDID::BuildVendorProduct(ECEntry* version, int decoding) {
    ECEntry* group = Group(version, "Vendor & Product ID");

    auto setName = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        const QString& text = value.Text;
        bool good = text.size() == 3;
        for (int i = 0; good && i < 3; ++i) good = text.at(i).unicode() >= 0x40 && text.at(i).unicode() <= 0x5F;
        if (!good) {
            Report("Manufacturer name - Max 3 chars, allowed chars A-Z, '@', '[', ']', '\\', '^', '_'.",
                   EC_LEVEL_ERROR);
            return;
        }
        const unsigned c1 = text.at(0).unicode() - 0x40;
        const unsigned c2 = text.at(1).unicode() - 0x40;
        const unsigned c3 = text.at(2).unicode() - 0x40;
        data[0] = static_cast<uint8_t>((c1 << 2) | (c2 >> 3));
        data[1] = static_cast<uint8_t>(((c2 & 7) << 5) | c3);
    };
    new ECEntry(view_, group,
                NewEntryInfo(ECT_STRING, "ID Manufacturer Name", GetManufacturerName, setName, {},
                             "Max. 3 chars, compressed ASCII", ""),
                bytes_ + kManufacturerId, 0);

    auto getProduct = [](int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[0] | (data[1] << 8)); };
    auto setProduct = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        if (value.Integer < 0 || value.Integer > 0xFFFF) {
            Report("ID Product Code - Value out of range. Possible range is 0x0 - 0xffff", EC_LEVEL_ERROR);
            return;
        }
        data[0] = static_cast<uint8_t>(value.Integer & 0xFF);
        data[1] = static_cast<uint8_t>(value.Integer >> 8);
    };
    new ECEntry(
        view_, group,
        NewEntryInfo(ECT_HEX, "ID Product Code", getProduct, setProduct, {}, "16 bit value, 0x0 - 0xffff", "%x"),
        bytes_ + kProductCode, 0);

    auto getSerial = [](int32_t, uint8_t* data, EntryInfo*) {
        return ECVariant::OfUnsigned(static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                                     (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24));
    };
    auto setSerial = [](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        const auto bits = static_cast<uint32_t>(value.Integer);
        for (int i = 0; i < 4; ++i) data[i] = static_cast<uint8_t>(bits >> (8 * i));
    };
    new ECEntry(
        view_, group,
        NewEntryInfo(ECT_HEX, "ID Serial Number", getSerial, setSerial, {}, "32 bit value, 0x0 - 0xffffffff", "%x"),
        bytes_ + kSerialNumber, 0);

    if (decoding >= 4) {
        auto get = [](int32_t, uint8_t* data, EntryInfo*) {
            return ECVariant::OfText(data[0] == kModelYearWeek ? "Model Year" : "Manufacture Year and Week");
        };
        auto set = [](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
            data[0] = value.Integer != 0 ? kModelYearWeek : 0x00;
        };
        auto* date = new ECEntry(view_, group,
                                 NewEntryInfo(ECT_LIST | ECT_RETHINK_ON_SET, "Manufacture or Model year", get, set, {},
                                              "", "Manufacture Year and Week\r\nModel Year"),
                                 bytes_ + kWeek, 0, [this](ECEntry* e) { RethinkManufactureDate(e); });
        RethinkManufactureDate(date);
    } else {
        BuildWeek(group);
        BuildYear(group, "Year of manufacture", 3);
    }
}

void VESA_EDID::RethinkManufactureDate(ECEntry* entry) {
    entry->DeleteChilds();
    if (bytes_[kWeek] == kModelYearWeek) {
        BuildYear(entry, "Model Year", 4);
    } else {
        BuildWeek(entry);
        BuildYear(entry, "Year of manufacture", 4);
    }
}

ECEntry* VESA_EDID::BuildWeek(ECEntry* parent) {
    auto get = [](int32_t, uint8_t* data, EntryInfo* info) {
        info->Prefix = QStringLiteral("Week ");
        if (data[0] == 0) {
            info->Suffix = QStringLiteral(" [Week of manufacture unspecified]");
        } else if (data[0] > 54) {
            info->Suffix = QStringLiteral(" [Invalid value]");
        } else {
            info->Suffix.clear();
        }
        return ECVariant::OfInt(data[0]);
    };
    auto set = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
        if (value.Integer < 0 || value.Integer > 54) {
            Report("Week - Value out of range. Possible range is 0 - 54", EC_LEVEL_ERROR);
            return;
        }
        data[0] = static_cast<uint8_t>(value.Integer);
    };
    return new ECEntry(view_, parent, NewEntryInfo(ECT_INT, "Week of manufacture", get, set, {}, "1-54, 0=Unset", ""),
                       bytes_ + kWeek, 0);
}

ECEntry* VESA_EDID::BuildYear(ECEntry* parent, const char* name, int decoding) {
    ECGetClosure get;
    ECSetClosure set;
    const char* hint;
    if (decoding >= 4) {
        hint = "2006-2245";
        get = [](int32_t, uint8_t* data, EntryInfo* info) {
            info->Prefix = QStringLiteral("Year ");
            if (data[0] > 15) {
                info->Suffix.clear();
                return ECVariant::OfInt(data[0] + kYearBase);
            }
            info->Suffix = QStringLiteral(" [Invalid value]");
            return ECVariant::OfInt(0);
        };
        set = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
            if (value.Integer < 2006 || value.Integer > 2245) {
                Report("Year - Value out of range. Possible range is 2006 - 2245", EC_LEVEL_ERROR);
                return;
            }
            data[0] = static_cast<uint8_t>(value.Integer - kYearBase);
        };
    } else {
        hint = "1990-2245";
        get = [](int32_t, uint8_t* data, EntryInfo* info) {
            info->Prefix = QStringLiteral("Year ");
            return ECVariant::OfInt(data[0] + kYearBase);
        };
        set = [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
            if (value.Integer < 1990 || value.Integer > 2245) {
                Report("Year - Value out of range. Possible range is 1990 - 2245", EC_LEVEL_ERROR);
                return;
            }
            data[0] = static_cast<uint8_t>(value.Integer - kYearBase);
        };
    }
    return new ECEntry(view_, parent, NewEntryInfo(ECT_INT, name, get, set, {}, hint, ""), bytes_ + kYear, 0);
}

// ---------------------------------------------------------------------------
// Chromaticity (bytes 25 to 34): 10-bit codes, high 8 bits in bytes 27 to 34,
// low two bits packed into bytes 25 and 26.

namespace {

struct LowBits {
    int byte;
    int shift;
};

// param: the byte holding the high 8 bits (27 to 34).
LowBits ChromaLowBits(int32_t param) {
    const int k = param - 27;
    return {25 + k / 4, 6 - 2 * (k % 4)};
}

}  // namespace

void VESA_EDID::BuildChromaticity(ECEntry* version) {
    ECEntry* group = Group(version, "Display x,y Chromacity coordinates");
    static const char* const kNames[8] = {"Red X",  "Red Y",  "Green X", "Green Y",
                                          "Blue X", "Blue Y", "White X", "White Y"};
    auto get = [](int32_t param, uint8_t* data, EntryInfo*) {
        const LowBits low = ChromaLowBits(param);
        const int code = data[param] * 4 + ((data[low.byte] >> low.shift) & 3);
        return ECVariant::OfDouble(std::floor(code / 1024.0 * 1000.0 + 0.5) / 1000.0);
    };
    auto set = [this](int32_t param, uint8_t* data, EntryInfo*, ECVariant value) {
        const double x = value.Float;
        if (!std::isfinite(x) || x < 0.0 || x > 1.0) {
            Report("Out of range - Possible range 0.000 - 1.000", EC_LEVEL_ERROR);
            return;
        }
        // Values from 1023.5/1024 up to 1.0 would code as 1024: the field holds 1023 at most.
        const int code = std::min(static_cast<int>(x * 1024.0 + 0.5), 1023);
        const LowBits low = ChromaLowBits(param);
        data[param] = static_cast<uint8_t>(code >> 2);
        data[low.byte] = static_cast<uint8_t>((data[low.byte] & ~(3 << low.shift)) | ((code & 3) << low.shift));
    };
    for (int i = 0; i < 8; ++i) {
        new ECEntry(view_, group, NewEntryInfo(ECT_FLOAT, kNames[i], get, set, {}, "0.000 - 1.000", "%.3f"), bytes_,
                    27 + i);
    }
}

// ---------------------------------------------------------------------------
// Established and manufacturer's timings (bytes 35 to 37)

void VESA_EDID::BuildEstablishedTimings(ECEntry* version) {
    ECEntry* group = Group(version, "Established timings I and II");
    static const char* const kNames[16] = {
        "720 x 400 @ 70Hz",  "720 x 400 @ 88Hz",  "640 x 480 @ 60Hz",  "640 x 480 @ 67Hz",
        "640 x 480 @ 72Hz",  "640 x 480 @ 75Hz",  "800 x 600 @ 56Hz",  "800 x 600 @ 60Hz",
        "800 x 600 @ 72Hz",  "800 x 600 @ 75Hz",  "832 x 624 @ 75Hz",  "1024 x 768 @ 87Hz (Interlaced)",
        "1024 x 768 @ 60Hz", "1024 x 768 @ 70Hz", "1024 x 768 @ 75Hz", "1280 x 1024 @ 75Hz",
    };
    for (int i = 0; i < 16; ++i) {
        new ECEntry(view_, group, NewEntryInfo(ECT_BOOL, kNames[i], ECGetBit, ECSetBit, {}, "", " Supported"),
                    bytes_ + kEstablishedTimings + i / 8, 7 - i % 8);
    }
}

void VESA_EDID::BuildManufacturerTimings(ECEntry* version) {
    ECEntry* group = Group(version, "Manufacturer's Timings");
    static const char* const kNames[8] = {"1152 x 870 @ 75Hz", "RESERVED 6", "RESERVED 5", "RESERVED 4",
                                          "RESERVED 3",        "RESERVED 2", "RESERVED 1", "RESERVED 0"};
    for (int i = 0; i < 8; ++i) {
        new ECEntry(view_, group, NewEntryInfo(ECT_BOOL, kNames[i], ECGetBit, ECSetBit, {}, "", " Supported"),
                    bytes_ + kManufacturerTimings, 7 - i);
    }
}

// ---------------------------------------------------------------------------
// Standard timings (bytes 38 to 53) and the four 18-byte descriptors

void VESA_EDID::BuildStandardTimings(ECEntry* version) {
    ECEntry* group = Group(version, "Standard Timings");
    for (int i = 0; i < kStandardTimingCount; ++i) {
        standard_timing::Create(this, view_, group, i, bytes_ + kStandardTimings + 2 * i,
                                [this](ECEntry* e) { RethinkStandardTiming(e); });
    }
}

void VESA_EDID::RethinkStandardTiming(ECEntry* timing) { standard_timing::Rethink(this, view_, timing); }

void VESA_EDID::BuildDescriptors(ECEntry* version, int decoding) {
    ECEntry* group = Group(version, "18-Byte data blocks");
    for (int i = 0; i < kDescriptorCount; ++i) {
        descriptors_[i] = new DisplayDescriptor(view_, group, decoding, i + 1, bytes_ + kDescriptorOffsets[i]);
    }
}
