#pragma once
// VESA_DisplayID: recognises a DisplayID extension block (tag 70h) and shows
// it as a root entry without fields, so that the block is kept unchanged.

#include "edid/core/BlockDetectors.h"
#include "edid/core/ECHelper.h"

#include <cstdint>

class VESA_DisplayID final : public ECHelper {
public:
    static ECCodecDeleter Detect(const uint8_t* bytes, int32_t length);
    static void Delete(ECHelper* codec);
    static ECHelper* Create(ECEntry* parent, int32_t index, int32_t length, uint8_t* bytes, ECTreeView* view);

    VESA_DisplayID(ECEntry* parent, int32_t index, int32_t length, uint8_t* bytes, ECTreeView* owner);
    ~VESA_DisplayID();

    void Report(const char* text, int32_t level) override;
    void GetName(char* buffer, int32_t length) override;
    ECEntry* Root() const { return root_; }

private:
    ECVariant cached_;
    ECTreeView* owner_ = nullptr;
    ECEntry* root_ = nullptr;
};
