#pragma once
// ECHelper: the abstract base of every codec, and the generic closures that
// codecs bind to bits, error flags and checksums.

#include "edid/core/ECEntry.h"
#include "edid/core/EntryInfo.h"

#include <cstdint>

class ECHelper {
public:
    // Deliver a message (8-bit Latin-1 text) with a level of ECMessageLevel.
    virtual void Report(const char* text, int32_t level) = 0;
    // Write the codec's display name into buffer (at most length - 1 characters);
    // the default fills all length bytes with zeros (an empty name).
    virtual void GetName(char* buffer, int32_t length);

    // A new descriptor; the texts are 8-bit (Latin-1). An empty format becomes
    // "%g" when flags has bit 0x2, else "%x" when it has bit 0x8, else empty.
    static EntryInfo* NewEntryInfo(uint32_t flags, const char* name, ECGetClosure get, ECSetClosure set,
                                   ECFilterClosure filter, const char* rangeHint, const char* format);

protected:
    ECHelper() = default;
    ~ECHelper() = default;  // codecs are destroyed through their deleter
};

// Generic Get and Set closures (param and data as the entry passes them).
ECVariant ECGetBit(int32_t param, uint8_t* data, EntryInfo* info);
void ECSetBit(int32_t param, uint8_t* data, EntryInfo* info, ECVariant value);
ECVariant ECBitsGoodBad(int32_t param, uint8_t* data, EntryInfo* info);
void ECClearBits(int32_t param, uint8_t* data, EntryInfo* info, ECVariant value);
ECVariant ECGetZero(int32_t param, uint8_t* data, EntryInfo* info);
ECVariant ECChecksumText(int32_t param, uint8_t* data, EntryInfo* info);
void ECSetChecksum(int32_t param, uint8_t* data, EntryInfo* info, ECVariant value);

// Operator's typed number to a 32-bit integer: decimal, "$hex" or "0xhex"
// (any letter case); -1 for anything else and for values above 0xFFFFFFFF.
int32_t ECParseNumber(const QString& text);
