#include "edid/core/ECRootParser.h"

#include "edid/core/ECException.h"
#include "edid/core/ECFormat.h"

#include <cstring>

ECRootParser::ECRootParser(ECEntry* parent, int32_t index, int32_t length, const uint8_t* bytes, ECTreeView* view)
    : length_(length < 0 ? 0 : length), parent_(parent) {
    bytes_ = std::make_unique<uint8_t[]>(static_cast<size_t>(length_) + 1);
    if (length_ > 0) std::memcpy(bytes_.get(), bytes, static_cast<size_t>(length_));
    for (const ECBlockCodec& codec : ECBlockCodecs()) {
        ECCodecDeleter deleter = codec.detect(bytes_.get(), length_);
        if (!deleter) continue;
        Snapshot();
        const int childrenBefore = parent ? parent->ChildCount() : 0;
        try {
            codec_ = codec.create(parent, index, length_, bytes_.get(), view);
        } catch (...) {
            // A codec that failed half-way may have left its root below the
            // collection root; remove what it added so the tree stays as it was.
            while (parent && parent->ChildCount() > childrenBefore) delete parent->GetChild(parent->ChildCount() - 1);
            throw;
        }
        deleter_ = deleter;
        return;
    }
    throw ECException(QStringLiteral("Unrecognized block type"));
}

ECRootParser::~ECRootParser() {
    if (deleter_ && codec_) deleter_(codec_);
}

void ECRootParser::Report(const char* text, int32_t level) {
    if (parent_) parent_->OnMessage(level, ECWiden(text));
}

int32_t ECRootParser::GetBytes(uint8_t* buffer, int32_t size) const {
    if (!buffer || size == 0) return length_;
    if (size < length_) return 0;
    std::memcpy(buffer, bytes_.get(), static_cast<size_t>(length_));
    return length_;
}

void ECRootParser::Snapshot() {
    if (!reference_) reference_ = std::make_unique<uint8_t[]>(static_cast<size_t>(length_) + 1);
    if (length_ > 0) std::memcpy(reference_.get(), bytes_.get(), static_cast<size_t>(length_));
}

std::string ECRootParser::GetBlockName() {
    char buffer[256];
    std::memset(buffer, 0, sizeof buffer);
    if (codec_) codec_->GetName(buffer, 255);
    buffer[255] = '\0';
    return std::string(buffer);
}
