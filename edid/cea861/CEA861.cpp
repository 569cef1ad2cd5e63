// CEA861 core: construction, header fields, the descriptor and data block
// scans, the encoder and the Set transaction.

#include "edid/cea861/CEA861.h"

#include "edid/core/ECFormat.h"
#include "edid/vesa/DisplayDescriptor.h"

#include <algorithm>
#include <cstring>

namespace {

// Detailed timing written into new descriptor slots: 1920x1080p at 148.5 MHz.
constexpr uint8_t kCeaDescriptorTemplate[CEA861::kDescriptorLength] = {
    0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00, 0x40, 0x84, 0x63, 0x00, 0x00, 0x1E};

constexpr const char* kInternalErrorPrefix = "CEA-861 codec internal error triggered with message:\r\n'";

bool AllZero(const uint8_t* bytes, int count) {
    return std::all_of(bytes, bytes + count, [](uint8_t b) { return b == 0; });
}

}  // namespace

// ---------------------------------------------------------------------------
// Codec interface

ECCodecDeleter CEA861::Detect(const uint8_t* bytes, int32_t length) {
    return (bytes && length == kBlockLength && bytes[0] == 0x02) ? &CEA861::Delete : nullptr;
}

void CEA861::Delete(ECHelper* codec) { delete static_cast<CEA861*>(codec); }

ECHelper* CEA861::Create(ECEntry* parent, int32_t index, int32_t length, uint8_t* bytes, ECTreeView* view) {
    return new CEA861(parent, index, length, bytes, view);
}

CEA861::CEA861(ECEntry* parent, int32_t index, int32_t /*length*/, uint8_t* bytes, ECTreeView* view)
    : view_(view), bytes_(bytes) {
    const std::string indexText = std::to_string(index);
    const std::string name = "Block " + indexText + " [CEA 861]";
    root_ = new ECEntry(view_, parent,
                        NewEntryInfo(ECT_GROUP | ECT_PATH_BY_INDEX | ECT_READ_ONLY, name.c_str(),
                                     Get(&CEA861::GetRootText), {}, {}, "", indexText.c_str()),
                        bytes_, 0, [this](ECEntry* e) { RethinkRoot(e); });
    if (index == 0) Report("CEA-861 block at index 0", EC_LEVEL_WARNING);

    ECEntry* checksum = new ECEntry(view_, root_,
                                    NewEntryInfo(ECT_ACTION | ECT_REENCODE_ON_DEPEND | ECT_FLAG_4000, "Checksum",
                                                 ECChecksumText, ECSetChecksum, {}, "", ""),
                                    bytes_, 0);
    checksum->AddDependency("*" + root_->GetPath() + "/CEA Extensions Version*");

    version_ = Add(root_, ECT_INT | ECT_SHOW_DETAILS, "CEA Extensions Version", Get(&CEA861::GetVersion),
                   Set(&CEA861::SetVersion), "1-3", "", bytes_ + 1, 0);

    // Hidden encoder: any change of a descriptor field re-encodes the block.
    ECEntry* encoder = new ECEntry(view_, version_,
                                   NewEntryInfo(
                                       ECT_EVENT_ONLY | ECT_REENCODE_ON_DEPEND, "", ECGetZero,
                                       [this](int32_t, uint8_t*, EntryInfo*, ECVariant) { Encode(); }, {}, "", ""),
                                   bytes_, 0);
    encoder->AddDependency("*" + version_->GetPath() + "/18-Byte*/*");

    // Byte 3, edited in place.
    new ECEntry(view_, version_,
                NewEntryInfo(ECT_BOOL, "Sink Underscans IT video", ECGetBit, ECSetBit, {}, "", " by default"),
                bytes_ + 3, 7);
    new ECEntry(view_, version_, NewEntryInfo(ECT_BOOL, "Basic audio", ECGetBit, ECSetBit, {}, "", " supported"),
                bytes_ + 3, 6);
    new ECEntry(view_, version_, NewEntryInfo(ECT_BOOL, "YCbCr (4:4:4)", ECGetBit, ECSetBit, {}, "", " supported"),
                bytes_ + 3, 5);
    new ECEntry(view_, version_, NewEntryInfo(ECT_BOOL, "YCbCr (4:2:2)", ECGetBit, ECSetBit, {}, "", " supported"),
                bytes_ + 3, 4);
    Add(version_, ECT_INT, "Native DTD's in entire E-EDID", Get(&CEA861::GetNativeCount), Set(&CEA861::SetNativeCount),
        "0 - 15", "", bytes_ + 3, 0);

    descriptorCount_ =
        AddRethink(version_, ECT_CEA_COUNT, "18-Byte Descriptors in this block", Get(&CEA861::GetDescriptorCount),
                   Set(&CEA861::SetDescriptorCount), "", "", bytes_, 0, &CEA861::RethinkDescriptors, false);
    ScanDescriptors(descriptorCount_);

    blockCountEntry_ =
        AddRethink(version_, ECT_CEA_COUNT, "CEA Data block count", Get(&CEA861::GetDataBlockCount),
                   Set(&CEA861::SetDataBlockCount), "", "", bytes_, 1, &CEA861::RethinkDescriptors, false);
    ScanDataBlocks();
    for (int i = 0; i < blockCount_; ++i) BuildDataBlockEntry(blockCountEntry_, i);
}

CEA861::~CEA861() {
    DestroyDescriptors();
    delete root_;
}

void CEA861::Report(const char* text, int32_t level) {
    if (guardDepth_ > 0 && level == EC_LEVEL_ERROR) refused_ = true;
    root_->OnMessage(level, ECWiden(text));
}

void CEA861::GetName(char* buffer, int32_t length) {
    if (!buffer || length <= 0) return;
    const std::string name = ECNarrow(root_->GetName());
    std::memcpy(buffer, name.data(), std::min(name.size(), static_cast<size_t>(length - 1)));
}

int CEA861::DescriptorCodecCount() const {
    int k = 0;
    while (k < kMaxDescriptors && codecs_[k]) ++k;
    return k;
}

// ---------------------------------------------------------------------------
// Entry construction and the Set transaction

ECGetClosure CEA861::Get(Getter fn) {
    return [this, fn](int32_t param, uint8_t* data, EntryInfo* info) { return (this->*fn)(param, data, info); };
}

ECSetClosure CEA861::Set(Setter fn) {
    return Guard([this, fn](int32_t param, uint8_t* data, EntryInfo* info, ECVariant value) {
        (this->*fn)(param, data, info, std::move(value));
    });
}

// Runs a Set closure as a transaction: when it reports a refusal (level 16) or
// leaves copies whose encoding would overrun the block, the copies, the count,
// the descriptors and the block bytes are put back as they were, and the
// entry's rethink (if the editor calls it next) keeps the children.
ECSetClosure CEA861::Guard(ECSetClosure fn) {
    return [this, fn = std::move(fn)](int32_t param, uint8_t* data, EntryInfo* info, ECVariant value) {
        if (guardDepth_ > 0) {
            fn(param, data, info, std::move(value));
            return;
        }
        struct Saved {
            uint8_t blocks[kMaxDataBlocks][kDataBlockCopyLength];
            uint8_t descriptors[kMaxDescriptors][kDescriptorLength];
            uint8_t bytes[kBlockLength];
            int32_t count;
        };
        auto saved = std::make_unique<Saved>();
        std::memcpy(saved->blocks, blocks_, sizeof blocks_);
        std::memcpy(saved->descriptors, descriptors_, sizeof descriptors_);
        std::memcpy(saved->bytes, bytes_, kBlockLength);
        saved->count = blockCount_;

        refusedInfo_ = nullptr;
        refused_ = false;
        overrun_.clear();
        ++guardDepth_;
        try {
            fn(param, data, info, std::move(value));
        } catch (...) {
            --guardDepth_;
            throw;
        }
        --guardDepth_;
        if (!refused_ && overrun_.empty()) EncodedEnd(&overrun_);
        if (!refused_ && overrun_.empty()) return;

        std::memcpy(blocks_, saved->blocks, sizeof blocks_);
        std::memcpy(descriptors_, saved->descriptors, sizeof descriptors_);
        std::memcpy(bytes_, saved->bytes, kBlockLength);
        blockCount_ = saved->count;
        refusedInfo_ = info;
        if (!overrun_.empty()) ReportText(kInternalErrorPrefix + overrun_ + "'.", EC_LEVEL_ERROR);
        overrun_.clear();
    };
}

bool CEA861::SkipRethink(ECEntry* entry) {
    if (!refusedInfo_ || entry->GetInfo() != refusedInfo_) return false;
    refusedInfo_ = nullptr;
    return true;
}

ECEntry* CEA861::Add(ECEntry* parent, uint32_t flags, const char* name, ECGetClosure get, ECSetClosure set,
                     const char* hint, const char* format, uint8_t* data, int32_t param) {
    return new ECEntry(view_, parent, NewEntryInfo(flags, name, std::move(get), std::move(set), {}, hint, format), data,
                       param);
}

ECEntry* CEA861::AddRethink(ECEntry* parent, uint32_t flags, const char* name, ECGetClosure get, ECSetClosure set,
                            const char* hint, const char* format, uint8_t* data, int32_t param, Rethinker rethink,
                            bool callRethink) {
    ECEntry* entry =
        new ECEntry(view_, parent, NewEntryInfo(flags, name, std::move(get), std::move(set), {}, hint, format), data,
                    param, [this, rethink](ECEntry* e) { (this->*rethink)(e); });
    if (callRethink) {
        refusedInfo_ = nullptr;  // a new entry was never refused
        (this->*rethink)(entry);
    }
    return entry;
}

ECEntry* CEA861::AddBit(ECEntry* parent, const char* name, const char* format, uint8_t* data, int bit) {
    return Add(parent, ECT_BOOL, name, ECGetBit, Set(&CEA861::SetBitEncode), "", format, data, bit);
}

ECEntry* CEA861::AddGroup(ECEntry* parent, const char* name, uint8_t* data) {
    return Add(parent, ECT_GROUP | ECT_READ_ONLY, name, {}, {}, "", "", data, 0);
}

uint8_t* CEA861::BlockOf(uint8_t* data) {
    uint8_t* first = &blocks_[0][0];
    if (data < first || data >= first + sizeof blocks_) return nullptr;
    return first + ((data - first) / kDataBlockCopyLength) * kDataBlockCopyLength;
}

bool CEA861::Writable(uint8_t* data, int extra, EntryInfo* info) {
    uint8_t* block = BlockOf(data);
    if (!block) return true;
    const int last = static_cast<int>(data - block) + extra;
    if (last <= (block[0] & 0x1F)) return true;
    ReportText("Error writing " + ECNarrow(info->Name), EC_LEVEL_ERROR);
    return false;
}

// ---------------------------------------------------------------------------
// Header fields

ECVariant CEA861::GetRootText(int32_t, uint8_t*, EntryInfo*) {
    value_.SetText(QStringLiteral("Valid Header=True\n"));
    return value_;
}

ECVariant CEA861::GetVersion(int32_t, uint8_t* data, EntryInfo* info) {
    info->Suffix = data[0] == 3 ? QString() : QStringLiteral(" (NOTE: Codecs are V3 only)");
    return ECVariant::OfInt(data[0]);
}

void CEA861::SetVersion(int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
    if (value.Integer < 1 || value.Integer > 3) {
        Report("Version range error - Possible versios are 1, 2 and 3.", EC_LEVEL_ERROR);
        return;
    }
    data[0] = static_cast<uint8_t>(value.Integer);
}

ECVariant CEA861::GetNativeCount(int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[0] & 0x0F); }

void CEA861::SetNativeCount(int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
    if (value.Integer < 0 || value.Integer > 15) {
        Report("Out of range - Possible range 0-15", EC_LEVEL_ERROR);
        return;
    }
    data[0] = static_cast<uint8_t>((data[0] & 0xF0) | value.Integer);
}

// ---------------------------------------------------------------------------
// 18-byte descriptors

int CEA861::DescriptorOffset() const {
    const int d = bytes_[2];
    return (d >= kCollectionStart && d <= kAreaEnd) ? d : 0;
}

ECVariant CEA861::GetDescriptorCount(int32_t, uint8_t*, EntryInfo* info) {
    const int d = DescriptorOffset();
    const int max = (kAreaEnd - (d ? d : kCollectionStart)) / kDescriptorLength;
    info->RangeHint = ECFormatW("0 - %d", max);
    int count = 0;
    if (d) {
        for (int j = d; j <= kLastDescriptorSlot; j += kDescriptorLength)
            count += AllZero(bytes_ + j, kDescriptorLength) ? 0 : 1;
    }
    return ECVariant::OfInt(count);
}

void CEA861::SetDescriptorCount(int32_t, uint8_t*, EntryInfo*, ECVariant value) {
    const int v = value.Integer;
    const int d0 = DescriptorOffset();
    const int max = (kAreaEnd - (d0 ? d0 : kCollectionStart)) / kDescriptorLength;
    if (v < 0 || v > max) {
        Report("Range error - Too many 18 byte descriptors.", EC_LEVEL_ERROR);
        return;
    }
    if (!Encode()) return;
    // An empty block (no data blocks, no descriptors) has byte 2 = 0; new
    // descriptors then start right at byte 4.
    if (bytes_[2] == 0 && v > 0) bytes_[2] = kCollectionStart;
    const int d = DescriptorOffset();
    if (!d) return;
    int s = 0;
    for (int j = d; j <= kLastDescriptorSlot; j += kDescriptorLength, ++s) {
        const bool empty = AllZero(bytes_ + j, kDescriptorLength);
        if (empty && s < v) std::memcpy(bytes_ + j, kCeaDescriptorTemplate, kDescriptorLength);
        if (!empty && s >= v) std::memset(bytes_ + j, 0, kDescriptorLength);
    }
    ECSetChecksum(0, bytes_, nullptr, ECVariant());
}

void CEA861::CopyDescriptor(int n, const uint8_t* bytes) { std::memcpy(descriptors_[n], bytes, kDescriptorLength); }

void CEA861::ScanDescriptors(ECEntry* parent) {
    const int d = DescriptorOffset();
    if (!d) return;
    int k = 0;
    for (int j = d; j <= kLastDescriptorSlot && k < kMaxDescriptors; j += kDescriptorLength) {
        if (AllZero(bytes_ + j, kDescriptorLength)) continue;
        CopyDescriptor(k, bytes_ + j);
        codecs_[k] = new DisplayDescriptor(view_, parent, k, descriptors_[k]);
        ++k;
    }
}

void CEA861::DestroyDescriptors() {
    for (DisplayDescriptor*& codec : codecs_) {
        delete codec;
        codec = nullptr;
    }
}

void CEA861::RethinkDescriptors(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    if (entry->GetParam() == 0) {
        DestroyDescriptors();
        ScanDescriptors(entry);
        Encode();
        return;
    }
    Encode();
    entry->DeleteChilds();
    for (int i = 0; i < blockCount_; ++i) BuildDataBlockEntry(entry, i);
}

// ---------------------------------------------------------------------------
// Data block collection

ECVariant CEA861::GetDataBlockCount(int32_t, uint8_t*, EntryInfo*) { return ECVariant::OfInt(blockCount_); }

void CEA861::SetDataBlockCount(int32_t, uint8_t*, EntryInfo*, ECVariant value) {
    if (value.Integer < 0 || value.Integer > kMaxDataBlocks) {
        Report("Out of range - Possible range 0-64", EC_LEVEL_ERROR);
        return;
    }
    blockCount_ = value.Integer;
}

void CEA861::CopyDataBlock(int n, const uint8_t* bytes, int length) {
    std::memcpy(blocks_[n], bytes, static_cast<size_t>(std::min(length, kDataBlockCopyLength)));
}

void CEA861::ScanDataBlocks() {
    const int end = DescriptorOffset();
    int n = 0;
    for (int p = kCollectionStart; p < end;) {
        const int length = bytes_[p] & 0x1F;
        if (p + length + 1 > end) {
            Report("Range error - CEA Datablock overflows over allowed range", EC_LEVEL_ERROR);
            break;
        }
        if (n == kMaxDataBlocks) {
            Report(
                "Internal error triggered - Number of CEA data blocks has exceeded theoretical maximum, decoder halted",
                EC_LEVEL_ERROR);
            break;
        }
        // An empty data block is kept (the encoder writes it as a lone header).
        if (length == 0) Report("CEA Datablock length is zero", EC_LEVEL_WARNING);
        CopyDataBlock(n++, bytes_ + p, length + 1);
        p += length + 1;
    }
    blockCount_ = n;
}

// ---------------------------------------------------------------------------
// Encoder

int CEA861::SaveCEABlock(const uint8_t* block, uint8_t* bytes, int offset, std::string* error) {
    const int size = (block[0] & 0x1F) + 1;
    if (offset + size > kAreaEnd) {
        *error = "SaveCEABlock() Failed - Target space overrun";
        return -1;
    }
    if (bytes) std::memcpy(bytes + offset, block, static_cast<size_t>(size));
    return offset + size;
}

int CEA861::SaveBlock(const uint8_t* descriptor, uint8_t* bytes, int offset, std::string* error) {
    if (offset + kDescriptorLength > kAreaEnd) {
        *error = "SaveBlock() Failed - Target space overrun";
        return -1;
    }
    if (bytes) std::memcpy(bytes + offset, descriptor, kDescriptorLength);
    return offset + kDescriptorLength;
}

int CEA861::EncodedEnd(std::string* error) const {
    int offset = kCollectionStart;
    for (int i = 0; i < blockCount_; ++i) {
        const int size = (blocks_[i][0] & 0x1F) + 1;
        if (offset + size > kAreaEnd) {
            *error = "SaveCEABlock() Failed - Target space overrun";
            return -1;
        }
        offset += size;
    }
    const int k = DescriptorCodecCount();
    if (offset + k * kDescriptorLength > kAreaEnd) {
        *error = "SaveBlock() Failed - Target space overrun";
        return -1;
    }
    return offset + k * kDescriptorLength;
}

bool CEA861::Encode() {
    std::string error;
    if (EncodedEnd(&error) < 0) {
        // Nothing is written: the block keeps its last good encoding.
        if (guardDepth_ > 0) {
            if (overrun_.empty()) overrun_ = error;
        } else {
            ReportText(kInternalErrorPrefix + error + "'.", EC_LEVEL_ERROR);
        }
        return false;
    }
    const int k = DescriptorCodecCount();
    if (blockCount_ == 0 && k == 0) {
        bytes_[2] = 0;
        std::memset(bytes_ + kCollectionStart, 0, kAreaEnd - kCollectionStart);
    } else {
        int offset = kCollectionStart;
        for (int i = 0; i < blockCount_; ++i) offset = SaveCEABlock(blocks_[i], bytes_, offset, &error);
        bytes_[2] = static_cast<uint8_t>(offset);
        for (int i = 0; i < k; ++i) offset = SaveBlock(descriptors_[i], bytes_, offset, &error);
        std::memset(bytes_ + offset, 0, static_cast<size_t>(kAreaEnd - offset));
    }
    ECSetChecksum(0, bytes_, nullptr, ECVariant());
    return true;
}
