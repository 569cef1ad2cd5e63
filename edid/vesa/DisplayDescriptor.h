#pragma once
// DisplayDescriptor: the codec of one 18-byte descriptor of an EDID block,
// either a detailed timing descriptor (pixel clock not 0) or a display
// descriptor (00 00, reserved byte, tag). Its root entry "Descriptor n" shows
// the type; choosing another type writes that type's template. The codec
// works in place on the 18 bytes its owner hands over.
//
// DisplayDescriptor.cpp: class, type entry, templates, rebuild.
// DisplayDescriptor.DetailedTiming.cpp: detailed timing fields and the Quick Config presets.
// DisplayDescriptor.Descriptors.cpp: text, range limits, colour point and standard timing
//     identification descriptors.

#include "edid/core/ECEntry.h"
#include "edid/core/ECHelper.h"

#include <cstdint>

class DisplayDescriptor final : public ECHelper {
public:
    static constexpr int kLength = 18;
    // Version of descriptors inside CEA-861 blocks: every type counts as valid.
    static constexpr int32_t kUnlimitedVersion = 2147483647;

    // Base block: version 3 (E-EDID 1.3) or 4 (1.4), number 1 to 4.
    DisplayDescriptor(ECTreeView* owner, ECEntry* parent, int32_t version, int32_t number, uint8_t* data);
    // CEA-861 block: numbered from 0, unlimited version.
    DisplayDescriptor(ECTreeView* owner, ECEntry* parent, int32_t number, uint8_t* data);
    // Deletes the root entry (and its subtree); call while the root still exists.
    ~DisplayDescriptor();
    DisplayDescriptor(const DisplayDescriptor&) = delete;
    DisplayDescriptor& operator=(const DisplayDescriptor&) = delete;

    void Report(const char* text, int32_t level) override;

    ECEntry* Root() const { return root_; }
    int32_t Version() const { return version_; }

    ECVariant GetDescriptorType(uint8_t* data, EntryInfo* info);
    void SetDescriptorType(uint8_t* data, ECVariant value);
    void RethinkDescriptor(ECEntry* root);

    // Quick Config: fills the popup with the VESA and CEA presets.
    void BuildQuickConfigMenu(ECPopupMenu* menu, ECEntry* entry, ECPickClosure pick);
    void ApplyVesaTiming(int32_t tag);
    void ApplyCeaTiming(int32_t tag);

    void RethinkSyncDefinition(ECEntry* entry);
    void RethinkDigitalSync(ECEntry* entry);
    void RethinkStandardTiming(ECEntry* timing);
    void RethinkTimingSupport(ECEntry* entry);
    void RethinkWhitePoint2(ECEntry* entry);

private:
    void Construct(ECEntry* parent, int32_t number);
    void ApplyPreset(const uint8_t* bytes);
    ECEntry* ReservedByte(ECEntry* parent, const char* name, int byte);
    // A check entry on a fixed run of bytes: good/bad text, action restores them.
    ECEntry* ReservedRun(ECEntry* parent, const char* name, int first, const uint8_t* expected, int count,
                         const char* good, const char* bad, int32_t param = 0);

    void BuildDetailedTiming(ECEntry* root);
    void BuildTextDescriptor(ECEntry* root, const char* name);
    void BuildRangeLimits(ECEntry* root);
    void BuildSecondaryGtf(ECEntry* entry);
    void BuildCvt(ECEntry* entry);
    void BuildColorPoint(ECEntry* root);
    void BuildWhitePoint(ECEntry* parent, int indexByte, int minIndex, const char* indexHint);
    void BuildStandardTimingIds(ECEntry* root);

    ECTreeView* owner_ = nullptr;
    int32_t version_ = 0;
    ECEntry* root_ = nullptr;
    ECPickClosure pick_;
    uint8_t* data_ = nullptr;
};
