#include "edid/vesa/VESA_BME.h"

#include "edid/core/ECFormat.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr uint8_t kBlockMapTag = 0xF0;
constexpr int kMapBytes = 126;  // bytes 1 to 126 each name one block
}  // namespace

ECCodecDeleter VESA_BME::Detect(const uint8_t* bytes, int32_t length) {
    return (length == 128 && bytes[0] == kBlockMapTag) ? &VESA_BME::Delete : nullptr;
}

void VESA_BME::Delete(ECHelper* codec) { delete static_cast<VESA_BME*>(codec); }

ECHelper* VESA_BME::Create(ECEntry* parent, int32_t index, int32_t length, uint8_t* bytes, ECTreeView* view) {
    return new VESA_BME(parent, index, length, bytes, view);
}

VESA_BME::VESA_BME(ECEntry* parent, int32_t index, int32_t, uint8_t* bytes, ECTreeView* owner)
    : owner_(owner), index_(index) {
    const std::string indexText = std::to_string(index);
    const std::string name = "Block " + indexText + " [VESA BME]";
    root_ =
        new ECEntry(owner_, parent,
                    NewEntryInfo(
                        ECT_GROUP | ECT_PATH_BY_INDEX | ECT_READ_ONLY, name.c_str(),
                        [this](int32_t, uint8_t*, EntryInfo*) { return GetRootText(); }, {}, {}, "", indexText.c_str()),
                    bytes, 0);
    if (!MapsBlocks()) Report("VESA Block Map Extension block index should be either 1 or 128", EC_LEVEL_WARNING);

    auto* checksum = new ECEntry(owner_, root_,
                                 NewEntryInfo(ECT_ACTION | ECT_REENCODE_ON_DEPEND | ECT_FLAG_4000, "Checksum",
                                              ECChecksumText, ECSetChecksum, {}, "", ""),
                                 bytes, 0);
    checksum->AddDependency(QStringLiteral("*") + root_->GetPath() + QStringLiteral("/Block map*"));

    auto* blockMap = new ECEntry(owner_, root_,
                                 NewEntryInfo(ECT_NONE | ECT_RETHINK_ON_DEPEND | ECT_READ_ONLY | ECT_SHOW_DETAILS,
                                              "Block map", ECGetZero, {}, {}, "", ""),
                                 bytes, 0, [this](ECEntry* e) { RethinkBlockMap(e); });
    if (!MapsBlocks()) return;

    for (int k = 1; k <= kMapBytes; ++k) {
        const int n = index_ == 1 ? k + 1 : k + 128;
        const std::string entryName = "Extension Block " + std::to_string(n);
        new ECEntry(owner_, blockMap,
                    NewEntryInfo(
                        ECT_ACTION | ECT_READ_ONLY | ECT_FLAG_4000, entryName.c_str(),
                        [this](int32_t param, uint8_t* data, EntryInfo*) { return GetExtensionTagText(param, data); },
                        {}, {}, "", ""),
                    bytes, k);
    }
    blockMap->AddDependency(QStringLiteral(":/Blocks*"));
    RethinkBlockMap(blockMap);
}

VESA_BME::~VESA_BME() { delete root_; }

void VESA_BME::Report(const char* text, int32_t level) { root_->OnMessage(level, ECWiden(text)); }

void VESA_BME::GetName(char* buffer, int32_t length) {
    if (!buffer || length <= 0) return;
    const std::string name = ECNarrow(root_->GetName());
    const size_t n = std::min(name.size(), static_cast<size_t>(length - 1));
    std::memcpy(buffer, name.data(), n);
}

const char* VESA_BME::TagText(uint8_t tag) {
    switch (tag) {
        case 0x00:
            return "Un-used";
        case 0x02:
            return "CEA-EXT: CEA 861 Series Extension";
        case 0x10:
            return "VTB-EXT: Video Timing Block Extension";
        case 0x40:
            return "DI-EXT: Display Information Extension";
        case 0x50:
            return "LS-EXT: Localized String Extension";
        case 0x60:
            return "DPVL-EXT: Digital Packet Video Link Extension";
        case 0xF0:
            return "Extension Block Map";
        case 0xFF:
            return "Extension defined by the display manufacturer";
        default:
            return "Unkonw";
    }
}

ECVariant VESA_BME::GetRootText() {
    cached_.SetText(QStringLiteral("VESA Block Map Extension Decoder=V1.0.0\nValid Header=True\n"));
    return cached_;
}

ECVariant VESA_BME::GetExtensionTagText(int32_t param, uint8_t* data) {
    cached_.SetText(ECWiden(TagText(data[param])));
    return cached_;
}

void VESA_BME::RethinkBlockMap(ECEntry* blockMap) {
    if (!MapsBlocks()) return;
    const int first = index_ == 1 ? 2 : 129;
    uint8_t* map = blockMap->GetData();
    ECEntry* collection = blockMap->FindEntry(QStringLiteral(":"));
    std::memset(map + 1, 0, kMapBytes);
    if (!collection) return;
    for (int c = 0; c < collection->ChildCount(); ++c) {
        ECEntry* child = collection->GetChild(c);
        if (!child->GetData()) continue;
        // Block roots carry their index as path component: ":/<index>".
        const QString path = child->GetPath();
        const qsizetype slash = path.indexOf(QLatin1Char('/'));
        const int k = ECTextToInt(path.mid(slash + 1));
        if (k >= first && k <= first + kMapBytes - 1) map[k - first + 1] = child->GetData()[0];
    }
}
