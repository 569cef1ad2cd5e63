#pragma once
// VESA_BME: the codec of the VESA block map extension (tag F0h). The map's
// bytes name the tag of each following extension block; the codec rewrites
// them from the collection whenever its block count changes.

#include "edid/core/BlockDetectors.h"
#include "edid/core/ECHelper.h"

#include <cstdint>

class VESA_BME final : public ECHelper {
public:
    static ECCodecDeleter Detect(const uint8_t* bytes, int32_t length);
    static void Delete(ECHelper* codec);
    static ECHelper* Create(ECEntry* parent, int32_t index, int32_t length, uint8_t* bytes, ECTreeView* view);

    VESA_BME(ECEntry* parent, int32_t index, int32_t length, uint8_t* bytes, ECTreeView* owner);
    ~VESA_BME();

    void Report(const char* text, int32_t level) override;
    void GetName(char* buffer, int32_t length) override;

    // Text of an extension tag as the map shows it.
    static const char* TagText(uint8_t tag);
    ECEntry* Root() const { return root_; }

private:
    ECVariant GetRootText();
    ECVariant GetExtensionTagText(int32_t param, uint8_t* data);
    void RethinkBlockMap(ECEntry* blockMap);
    bool MapsBlocks() const { return index_ == 1 || index_ == 128; }

    ECVariant cached_;
    ECEntry* root_ = nullptr;
    ECTreeView* owner_ = nullptr;
    int32_t index_ = 0;
};
