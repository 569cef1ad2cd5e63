#pragma once
// EntryInfo: the descriptor of one field (closures, type-and-flag word, texts)
// and ECT_FLAGS, the value types and behaviour flags of that word.

#include "edid/core/ECVariant.h"

#include <QString>

#include <cstdint>
#include <functional>

struct EntryInfo;

// Get: (param, data, this descriptor) -> value.
using ECGetClosure = std::function<ECVariant(int32_t param, uint8_t* data, EntryInfo* info)>;
// Set: (param, data, this descriptor, value by value); writes the bytes or
// reports through its codec and leaves them unchanged.
using ECSetClosure = std::function<void(int32_t param, uint8_t* data, EntryInfo* info, ECVariant value)>;
// Filter: value -> value; identity unless a codec binds one; nothing calls it.
using ECFilterClosure = std::function<ECVariant(ECVariant value)>;

// Value types (low four bits) and behaviour flags of EntryInfo::Flags.
enum ECT_FLAGS : uint32_t {
    ECT_NONE = 0,
    ECT_INT = 1,
    ECT_FLOAT = 2,
    ECT_STRING = 3,
    ECT_BOOL = 4,
    ECT_LIST = 5,
    ECT_GROUP = 6,
    ECT_ACTION = 7,
    ECT_HEX = 8,
    ECT_LIST_TEXT = 9,
    ECT_BUTTON = 10,
    ECT_TYPE_MASK = 0x0F,

    ECT_PATH_BY_INDEX = 0x10,
    ECT_EVENT_ONLY = 0x20,
    ECT_QUICK_CONFIG = 0x40,
    ECT_RETHINK_ON_DEPEND = 0x100,
    ECT_REENCODE_ON_DEPEND = 0x200,
    ECT_COMPARE_CACHED = 0x400,
    ECT_READ_ONLY = 0x1000,
    ECT_RETHINK_ON_SET = 0x2000,
    ECT_FLAG_4000 = 0x4000,  // carried by several entries; nothing reads it
    ECT_SHOW_DETAILS = 0x8000,
};

struct EntryInfo {
    ECGetClosure GetFunction;
    ECSetClosure SetFunction;
    ECFilterClosure Filter;
    uint32_t Flags = 0;
    ECVariant Cached;
    QString Name;       // text 0: caption, path component, label name
    QString RangeHint;  // text 1: "New Value (" hint "):"
    QString Format;     // text 2: printf format / item list (CR LF) / path component / check box suffix
    QString TrueText = QStringLiteral("Yes");  // text 3
    QString FalseText = QStringLiteral("No");  // text 4
    QString Prefix;                            // text 5
    QString Suffix;                            // text 6

    uint32_t Type() const { return Flags & ECT_TYPE_MASK; }
};
