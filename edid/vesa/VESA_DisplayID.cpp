#include "edid/BuildOptions.h"

// The sink monitor's build has no DisplayID codec.
#if EDID_HAS_DISPLAYID

#include "edid/vesa/VESA_DisplayID.h"

#include "edid/core/ECFormat.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr uint8_t kDisplayIdTag = 0x70;
}

ECCodecDeleter VESA_DisplayID::Detect(const uint8_t* bytes, int32_t length) {
    return (length == 128 && bytes[0] == kDisplayIdTag) ? &VESA_DisplayID::Delete : nullptr;
}

void VESA_DisplayID::Delete(ECHelper* codec) { delete static_cast<VESA_DisplayID*>(codec); }

ECHelper* VESA_DisplayID::Create(ECEntry* parent, int32_t index, int32_t length, uint8_t* bytes, ECTreeView* view) {
    return new VESA_DisplayID(parent, index, length, bytes, view);
}

VESA_DisplayID::VESA_DisplayID(ECEntry* parent, int32_t index, int32_t, uint8_t* bytes, ECTreeView* owner)
    : owner_(owner) {
    const std::string indexText = std::to_string(index);
    const std::string name = "Block " + indexText + " [VESA DisplayID]";
    // The block is kept as loaded: no checksum entry and no fields.
    root_ = new ECEntry(owner_, parent,
                        NewEntryInfo(
                            ECT_GROUP | ECT_PATH_BY_INDEX | ECT_READ_ONLY, name.c_str(),
                            [this](int32_t, uint8_t*, EntryInfo*) {
                                cached_.SetText(QStringLiteral("Valid Header=True\n"));
                                return cached_;
                            },
                            {}, {}, "", indexText.c_str()),
                        bytes, 0, [](ECEntry*) {});
}

VESA_DisplayID::~VESA_DisplayID() { delete root_; }

void VESA_DisplayID::Report(const char* text, int32_t level) { root_->OnMessage(level, ECWiden(text)); }

// The display name is the root entry's name, as for every block codec (the
// .ECD comment line then names the block).
void VESA_DisplayID::GetName(char* buffer, int32_t length) {
    if (!buffer || length <= 0) return;
    const std::string name = ECNarrow(root_->GetName());
    const size_t n = std::min(name.size(), static_cast<size_t>(length - 1));
    std::memcpy(buffer, name.data(), n);
}

#endif  // EDID_HAS_DISPLAYID
