#pragma once
// ECRootParser: one block of the collection. Keeps the block's bytes (which
// its codec edits in place) and a reference copy, and owns the codec that the
// first accepting detector chose.

#include "edid/core/BlockDetectors.h"
#include "edid/core/ECHelper.h"

#include <cstdint>
#include <memory>
#include <string>

class ECRootParser : public ECHelper {
public:
    // Copies the bytes and creates the codec; raises ECException
    // "Unrecognized block type" when no detector accepts the block.
    ECRootParser(ECEntry* parent, int32_t index, int32_t length, const uint8_t* bytes, ECTreeView* view);
    virtual ~ECRootParser();

    void Report(const char* text, int32_t level) override;

    // With a buffer and a non-zero size: 0 when size is below the length, else
    // copies and returns the length. Without buffer or with size 0: the length.
    int32_t GetBytes(uint8_t* buffer, int32_t size) const;
    void Snapshot();
    std::string GetBlockName();

    int32_t Length() const { return length_; }
    const uint8_t* Bytes() const { return bytes_.get(); }
    uint8_t* MutableBytes() { return bytes_.get(); }
    const uint8_t* Reference() const { return reference_.get(); }
    ECHelper* Codec() const { return codec_; }

private:
    std::unique_ptr<uint8_t[]> bytes_;
    std::unique_ptr<uint8_t[]> reference_;
    int32_t length_ = 0;
    ECHelper* codec_ = nullptr;
    ECEntry* parent_ = nullptr;
    ECCodecDeleter deleter_ = nullptr;
};
