#pragma once
// VESA_EDID: the codec of the 128-byte base EDID block (E-EDID 1.3 and 1.4).
//
// Every field of the block is an entry whose closures read and write the
// block's own bytes in place; the field set follows the structure version,
// and setting "Version" rebuilds it. The four 18-byte descriptors are
// DisplayDescriptor codecs; "Checksum" keeps byte 127 right and "Extension
// flag" follows the collection's block count.

#include "edid/core/BlockDetectors.h"
#include "edid/core/ECEntry.h"
#include "edid/core/ECHelper.h"

#include <cstdint>

class DisplayDescriptor;

class VESA_EDID final : public ECHelper {
public:
    static constexpr int kDescriptorCount = 4;
    static constexpr int kDescriptorOffsets[kDescriptorCount] = {54, 72, 90, 108};

    // Accepts a 128-byte block that starts with the header 00 FF FF FF FF FF FF 00.
    static ECCodecDeleter Detect(const uint8_t* bytes, int32_t length);
    static void Delete(ECHelper* codec);
    static ECHelper* Create(ECEntry* parent, int32_t index, int32_t length, uint8_t* bytes, ECTreeView* view);

    VESA_EDID(ECEntry* parent, int32_t index, int32_t length, uint8_t* bytes, ECTreeView* view);
    ~VESA_EDID();
    VESA_EDID(const VESA_EDID&) = delete;
    VESA_EDID& operator=(const VESA_EDID&) = delete;

    void Report(const char* text, int32_t level) override;
    void GetName(char* buffer, int32_t length) override;

    ECEntry* Root() const { return root_; }
    DisplayDescriptor* Descriptor(int i) const { return (i >= 0 && i < kDescriptorCount) ? descriptors_[i] : nullptr; }

    // Rethink closures (each rebuilds the children of its entry from the bytes).
    void RethinkBaseBlock(ECEntry* version);
    void RethinkManufactureDate(ECEntry* entry);
    void RethinkStandardTiming(ECEntry* timing);
    void RethinkVideoInput(ECEntry* entry);
    void RethinkScreenSize(ECEntry* entry);

private:
    // Construction after the root: "Checksum", "Version" and the field tree.
    void Build(int32_t index);
    ECVariant GetVersion(uint8_t* data);
    void SetVersion(uint8_t* data, ECVariant value);
    // The decoding version (3 or 4) of the block's version bytes, or 0 when the
    // major version is not 1; reports the version messages.
    int DecodingVersion();
    void DestroyDescriptors();

    ECEntry* BuildExtensionFlag(ECEntry* version);
    void BuildVendorProduct(ECEntry* version, int decoding);
    ECEntry* BuildWeek(ECEntry* parent);
    ECEntry* BuildYear(ECEntry* parent, const char* name, int decoding);
    void BuildChromaticity(ECEntry* version);
    void BuildEstablishedTimings(ECEntry* version);
    void BuildManufacturerTimings(ECEntry* version);
    void BuildStandardTimings(ECEntry* version);
    void BuildDescriptors(ECEntry* version, int decoding);

    // Bytes 20 to 24 (VESA_EDID.BasicDisplayParams.cpp).
    void BuildBasicDisplayParameters(ECEntry* version, int decoding);
    void BuildScreenSize(ECEntry* group, int decoding);
    void BuildFeatureSupport(ECEntry* group, int decoding);
    void BuildColorType(ECEntry* group, int decoding);
    void BuildDigitalInput(ECEntry* entry, int decoding);
    void BuildAnalogInput(ECEntry* entry);
    ECEntry* Group(ECEntry* parent, const char* name, uint32_t flags = 0x1006);

    DisplayDescriptor* descriptors_[kDescriptorCount] = {nullptr, nullptr, nullptr, nullptr};
    ECTreeView* view_ = nullptr;
    ECEntry* root_ = nullptr;
    uint8_t* bytes_ = nullptr;
    bool constructed_ = false;  // the constructor has built the first tree
};
