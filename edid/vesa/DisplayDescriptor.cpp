#include "edid/vesa/DisplayDescriptor.h"

#include "edid/core/ECFormat.h"

#include <cstring>
#include <iterator>
#include <string>

namespace {

constexpr int kTag = 3;

const char* const kTypeItems =
    "Detailed Timing Descriptor\r\nDisplay product serial number\r\nAlphanumeric data string\r\n"
    "Display range limits\r\nDisplay product name\r\nColor Point data\r\nStandard Timing identifications\r\n"
    "Display color management\r\nCVT 3byte timing codes\r\nEstablished timings III\r\nDummy";

bool IsDetailedTiming(const uint8_t* data) { return data[0] != 0 || data[1] != 0; }

// Display descriptor tags (E-EDID 1.4).
enum Tag : uint8_t {
    kTagSerialNumber = 0xFF,
    kTagAlphanumeric = 0xFE,
    kTagRangeLimits = 0xFD,
    kTagProductName = 0xFC,
    kTagColorPoint = 0xFB,
    kTagStandardTimings = 0xFA,
    kTagColorManagement = 0xF9,
    kTagCvt3Byte = 0xF8,
    kTagEstablished3 = 0xF7,
    kTagDummy = 0x10,
};

const char* TypeText(uint8_t tag) {
    switch (tag) {
        case kTagSerialNumber:
            return "Display product serial number";
        case kTagAlphanumeric:
            return "Alphanumeric data string";
        case kTagRangeLimits:
            return "Display range limits";
        case kTagProductName:
            return "Display product name";
        case kTagColorPoint:
            return "Color Point data";
        case kTagStandardTimings:
            return "Standard Timing identifications";
        case kTagColorManagement:
            return "Display color management";
        case kTagCvt3Byte:
            return "CVT 3byte timing codes";
        case kTagEstablished3:
            return "Established timings III";
        case kTagDummy:
            return "Dummy";
        default:
            break;
    }
    return tag < kTagDummy ? "Manufacturer specific [Not supported]" : "Undefined [RESERVED]";
}

// Types valid from E-EDID 1.4 on.
bool NeedsVersion4(uint8_t tag) { return tag >= kTagEstablished3 && tag <= kTagStandardTimings; }

// Templates written when the type is chosen (item index 0 to 10).
constexpr uint8_t kTemplates[11][18] = {
    // 1920 x 1080p at 148.50 MHz, 1600 x 900 mm, digital separate sync, both polarities positive.
    {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00, 0x40, 0x84, 0x63, 0x00, 0x00, 0x1E},
    {0, 0, 0, kTagSerialNumber},
    {0, 0, 0, kTagAlphanumeric},
    {0, 0, 0, kTagRangeLimits},
    {0, 0, 0, kTagProductName},
    // White point index 1, all values 0, terminator 0A 20 20.
    {0, 0, 0, kTagColorPoint, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0A, 0x20, 0x20},
    // Six unused standard timings (01 01), terminator 0A.
    {0, 0, 0, kTagStandardTimings, 0, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x0A},
    {0, 0, 0, kTagColorManagement},
    {0, 0, 0, kTagCvt3Byte},
    {0, 0, 0, kTagEstablished3},
    {0, 0, 0, kTagDummy},
};
constexpr int kFirstVersion4Index = 6;
constexpr int kLastVersion4Index = 9;

}  // namespace

DisplayDescriptor::DisplayDescriptor(ECTreeView* owner, ECEntry* parent, int32_t version, int32_t number, uint8_t* data)
    : owner_(owner), version_(version), data_(data) {
    Construct(parent, number);
}

DisplayDescriptor::DisplayDescriptor(ECTreeView* owner, ECEntry* parent, int32_t number, uint8_t* data)
    : owner_(owner), version_(kUnlimitedVersion), data_(data) {
    Construct(parent, number);
}

void DisplayDescriptor::Construct(ECEntry* parent, int32_t number) {
    const std::string name = ECFormat("Descriptor %d", number);
    EntryInfo* info = NewEntryInfo(
        ECT_LIST | ECT_QUICK_CONFIG | ECT_RETHINK_ON_SET | ECT_SHOW_DETAILS, name.c_str(),
        [this](int32_t, uint8_t* data, EntryInfo* i) { return GetDescriptorType(data, i); },
        [this](int32_t, uint8_t* data, EntryInfo*, ECVariant value) { SetDescriptorType(data, value); }, {}, "",
        kTypeItems);
    root_ = new ECEntry(owner_, parent, info, data_, 0, [this](ECEntry* e) { RethinkDescriptor(e); });
    root_->QuickConfig = [this](ECPopupMenu* menu, ECEntry* entry, ECPickClosure pick) {
        BuildQuickConfigMenu(menu, entry, std::move(pick));
    };
    try {
        RethinkDescriptor(root_);
    } catch (...) {
        delete root_;  // a structural fault: leave nothing behind in the owner's tree
        throw;
    }
}

DisplayDescriptor::~DisplayDescriptor() { delete root_; }

void DisplayDescriptor::Report(const char* text, int32_t level) { root_->OnMessage(level, ECWiden(text)); }

ECVariant DisplayDescriptor::GetDescriptorType(uint8_t* data, EntryInfo* info) {
    if (IsDetailedTiming(data)) {
        info->Suffix.clear();
        return ECVariant::OfText("Detailed Timing Descriptor");
    }
    const uint8_t tag = data[kTag];
    if (NeedsVersion4(tag) && version_ < 4) {
        info->Suffix = QStringLiteral(" [Not valid in this block]");
    } else {
        info->Suffix.clear();
    }
    return ECVariant::OfText(TypeText(tag));
}

void DisplayDescriptor::SetDescriptorType(uint8_t* data, ECVariant value) {
    const int index = value.Integer;
    // No item selected (for example a type that is not in the list): nothing to write.
    if (index == -1) {
        Report("Please, select an option", EC_LEVEL_ERROR);
        return;
    }
    std::memset(data, 0, kLength);
    if (index < 0 || index >= static_cast<int>(std::size(kTemplates))) return;
    std::memcpy(data, kTemplates[index], kLength);
    if (index >= kFirstVersion4Index && index <= kLastVersion4Index && version_ < 4) {
        Report("Warning: This type is not valid for current version of parent block", EC_LEVEL_WARNING);
    }
}

void DisplayDescriptor::RethinkDescriptor(ECEntry* root) {
    root->DeleteChilds();
    if (IsDetailedTiming(data_)) {
        BuildDetailedTiming(root);
        return;
    }
    ReservedByte(root, "RESERVED Byte 3", 2);
    switch (data_[kTag]) {
        case kTagSerialNumber:
            BuildTextDescriptor(root, "Display product serial number");
            break;
        case kTagAlphanumeric:
            BuildTextDescriptor(root, "Alphanumeric data string");
            break;
        case kTagProductName:
            BuildTextDescriptor(root, "Display product name");
            break;
        case kTagRangeLimits:
            BuildRangeLimits(root);
            break;
        case kTagColorPoint:
            BuildColorPoint(root);
            break;
        case kTagStandardTimings:
            BuildStandardTimingIds(root);
            break;
        default:
            break;
    }
}

ECEntry* DisplayDescriptor::ReservedByte(ECEntry* parent, const char* name, int byte) {
    auto get = [](int32_t, uint8_t* data, EntryInfo*) {
        ECVariant value;  // number views stay 0
        value.Text = data[0] == 0 ? QStringLiteral("OK (0)") : ECFormatW("BAD (%d", data[0]);
        return value;
    };
    auto clear = [](int32_t, uint8_t* data, EntryInfo*, ECVariant) { data[0] = 0; };
    return new ECEntry(owner_, parent, NewEntryInfo(ECT_ACTION | ECT_FLAG_4000, name, get, clear, {}, "", ""),
                       data_ + byte, 0);
}

ECEntry* DisplayDescriptor::ReservedRun(ECEntry* parent, const char* name, int first, const uint8_t* expected,
                                        int count, const char* good, const char* bad, int32_t param) {
    auto get = [expected, count, good, bad](int32_t, uint8_t* data, EntryInfo*) {
        ECVariant value;  // number views stay 0
        value.Text = ECWiden(std::memcmp(data, expected, static_cast<size_t>(count)) == 0 ? good : bad);
        return value;
    };
    auto set = [expected, count](int32_t, uint8_t* data, EntryInfo*, ECVariant) {
        std::memcpy(data, expected, static_cast<size_t>(count));
    };
    return new ECEntry(owner_, parent, NewEntryInfo(ECT_ACTION | ECT_FLAG_4000, name, get, set, {}, "", ""),
                       data_ + first, param);
}
