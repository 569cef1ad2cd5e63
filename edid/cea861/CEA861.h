#pragma once
// CEA861: the codec of a CTA-861 extension block (tag 02h).
//
// The header fields (bytes 1 and 3) are edited in place. The variable part of
// the block - the data block collection and the 18-byte descriptors - lives in
// copies inside the codec; field entries point into those copies, and Encode()
// rebuilds bytes 2 and 4 to 127 of the block from them after every change:
// data blocks packed from byte 4, byte 2 = end of the collection, then the
// descriptors, zero fill, checksum.
//
// A change whose encoding would not fit into bytes 4 to 126 is refused before
// anything is written: every Set closure of the codec runs as a transaction
// (Guard) that puts the copies and the block back when the change is refused.
//
// The data block kinds live in their own files: CEA861.DataBlock.cpp (type entry,
// shared field functions), CEA861.AudioVideo.cpp (audio, video, speaker allocation,
// VESA DTC), CEA861.ExtendedTag.cpp, CEA861.Vddi.cpp (VESA video display device
// information), CEA861.VendorDataBlock.cpp (HDMI VSDB and other vendors) and
// CEA861.HfVsdb.cpp (HDMI Forum VSDB, sink monitor build only).

#include "edid/BuildOptions.h"
#include "edid/core/BlockDetectors.h"
#include "edid/core/ECEntry.h"
#include "edid/core/ECHelper.h"

#include <cstdint>
#include <string>

class DisplayDescriptor;

// Flag words that recur among the codec's entries: a count or size, and a
// choice from a list, whose write rebuilds the entries below it and whose
// details show them.
constexpr uint32_t ECT_CEA_COUNT = ECT_INT | ECT_RETHINK_ON_SET | ECT_SHOW_DETAILS;
constexpr uint32_t ECT_CEA_CHOICE = ECT_LIST | ECT_RETHINK_ON_SET | ECT_SHOW_DETAILS;

class CEA861 final : public ECHelper {
public:
    static constexpr int kBlockLength = 128;
    static constexpr int kMaxDescriptors = 16;
    static constexpr int kDescriptorLength = 18;
    static constexpr int kMaxDataBlocks = 64;
    static constexpr int kDataBlockCopyLength = 36;
    static constexpr int kMaxPayload = 31;      // L, bits 4-0 of a data block header
    static constexpr int kCollectionStart = 4;  // first byte of the data block collection
    static constexpr int kAreaEnd = 127;        // data blocks and descriptors end before byte 127
    static constexpr int kLastDescriptorSlot = kAreaEnd - kDescriptorLength;  // 109

    // Accepts a 128-byte block whose byte 0 is 02h.
    static ECCodecDeleter Detect(const uint8_t* bytes, int32_t length);
    static void Delete(ECHelper* codec);
    static ECHelper* Create(ECEntry* parent, int32_t index, int32_t length, uint8_t* bytes, ECTreeView* view);

    CEA861(ECEntry* parent, int32_t index, int32_t length, uint8_t* bytes, ECTreeView* view);
    ~CEA861();
    CEA861(const CEA861&) = delete;
    CEA861& operator=(const CEA861&) = delete;

    void Report(const char* text, int32_t level) override;
    void GetName(char* buffer, int32_t length) override;

    // Rebuilds bytes 2 and 4 to 127 from the copies. Returns false (and writes
    // nothing) when the data blocks and descriptors would not fit.
    bool Encode();

    ECEntry* Root() const { return root_; }
    int32_t DataBlockCount() const { return blockCount_; }
    const uint8_t* DataBlockCopy(int i) const { return blocks_[i]; }
    int DescriptorCodecCount() const;

    // Offsets inside an HDMI VSDB data block copy; -1 when the part is absent.
    static int HdmiVideoOffset(const uint8_t* block);
    static int HdmiVideoSize(const uint8_t* block);
    static int Hdmi3DAllOffset(const uint8_t* block);
    static int HdmiVicOffset(const uint8_t* block);
    static int Hdmi3DEntryOffset(const uint8_t* block, int x);

    // The 64 CTA-861 video format names in VIC order (VIC 1 first), each
    // followed by CR LF: the item list of "Video mode" and "VIC_" + n.
    static const char* VicNameItems();

private:
    using Getter = ECVariant (CEA861::*)(int32_t param, uint8_t* data, EntryInfo* info);
    using Setter = void (CEA861::*)(int32_t param, uint8_t* data, EntryInfo* info, ECVariant value);
    using Rethinker = void (CEA861::*)(ECEntry* entry);

    // Entry construction. Set closures are wrapped in Guard. With a rethink,
    // callRethink runs it once right after creation.
    ECGetClosure Get(Getter fn);
    ECSetClosure Set(Setter fn);
    ECSetClosure Guard(ECSetClosure fn);
    ECEntry* Add(ECEntry* parent, uint32_t flags, const char* name, ECGetClosure get, ECSetClosure set,
                 const char* hint, const char* format, uint8_t* data, int32_t param);
    ECEntry* AddRethink(ECEntry* parent, uint32_t flags, const char* name, ECGetClosure get, ECSetClosure set,
                        const char* hint, const char* format, uint8_t* data, int32_t param, Rethinker rethink,
                        bool callRethink = true);
    ECEntry* AddBit(ECEntry* parent, const char* name, const char* format, uint8_t* data, int bit);
    ECEntry* AddGroup(ECEntry* parent, const char* name, uint8_t* data);
    // True (and nothing reported) when a rethink should skip because the Set of
    // its entry was just refused.
    bool SkipRethink(ECEntry* entry);
    void ReportText(const std::string& text, int32_t level) { Report(text.c_str(), level); }

    // The data block copy that holds data (null when data is not in a copy).
    uint8_t* BlockOf(uint8_t* data);
    // Refuses ("Error writing " + name) a write whose last byte lies beyond the
    // length L of the data block that holds data; extra = bytes after data.
    bool Writable(uint8_t* data, int extra, EntryInfo* info);

    // Core (CEA861.cpp).
    ECVariant GetRootText(int32_t, uint8_t*, EntryInfo*);
    void RethinkRoot(ECEntry*) {}
    ECVariant GetVersion(int32_t, uint8_t* data, EntryInfo* info);
    void SetVersion(int32_t, uint8_t* data, EntryInfo*, ECVariant value);
    void SetEncoder(int32_t, uint8_t*, EntryInfo*, ECVariant) { Encode(); }
    ECVariant GetNativeCount(int32_t, uint8_t* data, EntryInfo*);
    void SetNativeCount(int32_t, uint8_t* data, EntryInfo*, ECVariant value);
    ECVariant GetDescriptorCount(int32_t, uint8_t*, EntryInfo* info);
    void SetDescriptorCount(int32_t, uint8_t*, EntryInfo*, ECVariant value);
    ECVariant GetDataBlockCount(int32_t, uint8_t*, EntryInfo*);
    void SetDataBlockCount(int32_t, uint8_t*, EntryInfo*, ECVariant value);
    void RethinkDescriptors(ECEntry* entry);
    void ScanDescriptors(ECEntry* parent);
    void ScanDataBlocks();
    void DestroyDescriptors();
    // Byte 2 as an offset: 4 to 127, or 0 (none) for every other value.
    int DescriptorOffset() const;
    int SaveCEABlock(const uint8_t* block, uint8_t* bytes, int offset, std::string* error);
    int SaveBlock(const uint8_t* descriptor, uint8_t* bytes, int offset, std::string* error);
    // The encoding's end offset, or -1 with the failure text when it overruns.
    int EncodedEnd(std::string* error) const;
    void CopyDescriptor(int n, const uint8_t* bytes);
    void CopyDataBlock(int n, const uint8_t* bytes, int length);

    // Data block type entry and shared field functions (CEA861.DataBlock.cpp).
    void BuildDataBlockEntry(ECEntry* parent, int i);
    ECVariant GetDataBlockType(int32_t, uint8_t* data, EntryInfo*);
    void SetDataBlockType(int32_t, uint8_t* data, EntryInfo*, ECVariant value);
    void RethinkDataBlock(ECEntry* entry);
    ECVariant GetOui(int32_t, uint8_t* data, EntryInfo*);
    void SetOui(int32_t, uint8_t* data, EntryInfo* info, ECVariant value);
    ECVariant GetPayloadSize(int32_t, uint8_t* data, EntryInfo*);
    void SetPayloadSize(int32_t, uint8_t* data, EntryInfo*, ECVariant value);
    ECVariant GetPayloadByte(int32_t, uint8_t* data, EntryInfo*);
    void SetPayloadByte(int32_t, uint8_t* data, EntryInfo* info, ECVariant value);
    void SetBitEncode(int32_t bit, uint8_t* data, EntryInfo* info, ECVariant value);
    void ClearBitsEncode(int32_t mask, uint8_t* data, EntryInfo* info, ECVariant value);
    void RethinkExtendedPayload(ECEntry* entry);

    // Audio, video, speaker allocation, VESA DTC (CEA861.AudioVideo.cpp).
    void BuildAudioBlock(ECEntry* type, uint8_t* block);
    ECVariant GetSadCount(int32_t, uint8_t* data, EntryInfo*);
    void SetSadCount(int32_t, uint8_t* data, EntryInfo*, ECVariant value);
    void RethinkAudioBlock(ECEntry* entry);
    ECVariant GetAudioFormat(int32_t, uint8_t* data, EntryInfo*);
    void SetAudioFormat(int32_t, uint8_t* data, EntryInfo*, ECVariant value);
    void RethinkShortAudioDescriptor(ECEntry* entry);
    ECVariant GetChannels(int32_t, uint8_t* data, EntryInfo*);
    void SetChannels(int32_t, uint8_t* data, EntryInfo*, ECVariant value);
    ECVariant GetMaxBitrate(int32_t, uint8_t* data, EntryInfo*);
    void SetMaxBitrate(int32_t, uint8_t* data, EntryInfo*, ECVariant value);
    ECVariant GetFormatValue(int32_t, uint8_t* data, EntryInfo*);
    void SetFormatValue(int32_t, uint8_t* data, EntryInfo*, ECVariant value);
    ECVariant GetWmaProfile(int32_t, uint8_t* data, EntryInfo*);
    void SetWmaProfile(int32_t, uint8_t* data, EntryInfo*, ECVariant value);
    ECVariant GetExtendedFormat(int32_t, uint8_t* data, EntryInfo*);
    void SetExtendedFormat(int32_t, uint8_t* data, EntryInfo*, ECVariant value);
    ECVariant GetSadReserved(int32_t kind, uint8_t* data, EntryInfo*);
    void ClearSadReserved(int32_t kind, uint8_t* data, EntryInfo*, ECVariant value);
    void BuildVideoBlock(ECEntry* type, uint8_t* block);
    ECVariant GetSvdCount(int32_t, uint8_t* data, EntryInfo*);
    void SetSvdCount(int32_t, uint8_t* data, EntryInfo*, ECVariant value);
    void RethinkVideoBlock(ECEntry* entry);
    ECVariant GetVideoMode(int32_t, uint8_t* data, EntryInfo*);
    void SetVideoMode(int32_t, uint8_t* data, EntryInfo*, ECVariant value);
    void BuildSpeakerBlock(ECEntry* type, uint8_t* block);
    ECVariant SpeakerReservedText(int32_t, uint8_t* data, EntryInfo*);
    void ClearSpeakerReserved(int32_t, uint8_t* data, EntryInfo*, ECVariant value);
    void BuildDtcBlock(ECEntry* type, uint8_t* block);
    ECVariant GetDtcCount(int32_t, uint8_t* data, EntryInfo*);
    void SetDtcCount(int32_t, uint8_t* data, EntryInfo*, ECVariant value);
    void RethinkDtcBlock(ECEntry* entry);

    // Extended-tag data blocks (CEA861.ExtendedTag.cpp).
    void RethinkExtendedTag(ECEntry* entry);
    void RethinkDataBytes(ECEntry* entry);
    ECVariant GetQuantization(int32_t bit, uint8_t* data, EntryInfo*);
    void SetQuantization(int32_t bit, uint8_t* data, EntryInfo* info, ECVariant value);
    ECVariant GetScanBehaviour(int32_t mask, uint8_t* data, EntryInfo*);
    void SetScanBehaviour(int32_t mask, uint8_t* data, EntryInfo* info, ECVariant value);
    ECVariant GetDataByteCount(int32_t, uint8_t* data, EntryInfo*);
    void SetDataByteCount(int32_t, uint8_t* data, EntryInfo*, ECVariant value);
    ECVariant GetColorimetryReserved(int32_t, uint8_t* data, EntryInfo*);
    void ClearColorimetryReserved(int32_t, uint8_t* data, EntryInfo* info, ECVariant value);

    // VESA video display device information data block (CEA861.Vddi.cpp).
    void BuildVddi(ECEntry* type, uint8_t* block);
    ECVariant GetVddiField(int32_t field, uint8_t* block, EntryInfo*);
    void SetVddiField(int32_t field, uint8_t* block, EntryInfo* info, ECVariant value);
    void RethinkVddiInterface(ECEntry* entry);
    ECVariant GetLanes(int32_t, uint8_t* data, EntryInfo*);
    void SetLanes(int32_t, uint8_t* data, EntryInfo* info, ECVariant value);
    ECVariant GetAnalogType(int32_t, uint8_t* data, EntryInfo*);
    void SetAnalogType(int32_t, uint8_t* data, EntryInfo* info, ECVariant value);
    void RethinkVddiPrimaries(ECEntry* entry);
    ECVariant GetPrimary(int32_t byte, uint8_t* block, EntryInfo*);
    void SetPrimary(int32_t byte, uint8_t* block, EntryInfo* info, ECVariant value);
    ECVariant GetPrimaryReserved(int32_t, uint8_t* block, EntryInfo*);
    void ClearPrimaryReserved(int32_t, uint8_t* block, EntryInfo* info, ECVariant value);

    // Vendor-specific data blocks (CEA861.VendorDataBlock.cpp).
    ECVariant GetVendorKind(int32_t, uint8_t* block, EntryInfo* info);
    void SetVendorKind(int32_t, uint8_t* block, EntryInfo*, ECVariant value);
    void RethinkVendorSpecific(ECEntry* entry);
    void RethinkPayloadBytes(ECEntry* entry);
    ECVariant GetPhysicalAddress(int32_t, uint8_t* block, EntryInfo*);
    void SetPhysicalAddress(int32_t, uint8_t* block, EntryInfo*, ECVariant value);
    ECVariant GetExtensionFields(int32_t, uint8_t* block, EntryInfo* info);
    void SetExtensionFields(int32_t, uint8_t* block, EntryInfo*, ECVariant value);
    void RethinkHdmiExtension(ECEntry* entry);
    ECVariant GetMaxTmdsClock(int32_t, uint8_t* block, EntryInfo* info);
    void SetMaxTmdsClock(int32_t, uint8_t* block, EntryInfo*, ECVariant value);
    ECVariant GetLatencyFields(int32_t, uint8_t* block, EntryInfo*);
    void SetLatencyFields(int32_t, uint8_t* block, EntryInfo*, ECVariant value);
    void RethinkLatencyFields(ECEntry* entry);
    ECVariant GetLatency(int32_t, uint8_t* data, EntryInfo* info);
    void SetLatency(int32_t, uint8_t* data, EntryInfo* info, ECVariant value);
    ECVariant GetHdmiVideoPresent(int32_t, uint8_t* block, EntryInfo*);
    void SetHdmiVideoPresent(int32_t, uint8_t* block, EntryInfo*, ECVariant value);
    void RethinkHdmiVideo(ECEntry* entry);
    ECVariant Get3DPresent(int32_t, uint8_t* block, EntryInfo*);
    void Set3DPresent(int32_t, uint8_t* block, EntryInfo*, ECVariant value);
    ECVariant Get3DMulti(int32_t, uint8_t* block, EntryInfo*);
    int Writable3DSection(uint8_t* block, const char* missing);
    void Set3DMulti(int32_t, uint8_t* block, EntryInfo*, ECVariant value);
    void Rethink3DMulti(ECEntry* entry);
    ECVariant GetImageSize(int32_t, uint8_t* block, EntryInfo*);
    void SetImageSize(int32_t, uint8_t* block, EntryInfo*, ECVariant value);
    ECVariant GetVicLength(int32_t, uint8_t* block, EntryInfo*);
    void SetVicLength(int32_t, uint8_t* block, EntryInfo*, ECVariant value);
    void RethinkHdmiVics(ECEntry* entry);
    ECVariant GetHdmiVic(int32_t n, uint8_t* block, EntryInfo*);
    void SetHdmiVic(int32_t n, uint8_t* block, EntryInfo* info, ECVariant value);
    ECVariant Get3DLength(int32_t, uint8_t* block, EntryInfo*);
    void Set3DLength(int32_t, uint8_t* block, EntryInfo*, ECVariant value);
    void Rethink3DEntries(ECEntry* entry);
    ECVariant GetVideoReserved(int32_t, uint8_t* block, EntryInfo*);
    void ClearVideoReserved(int32_t, uint8_t* block, EntryInfo*, ECVariant value);
    ECVariant Get3DMaskBit(int32_t n, uint8_t* block, EntryInfo*);
    void Set3DMaskBit(int32_t n, uint8_t* block, EntryInfo* info, ECVariant value);
    ECVariant Get3DStructureBit(int32_t n, uint8_t* block, EntryInfo*);
    void Set3DStructureBit(int32_t n, uint8_t* block, EntryInfo* info, ECVariant value);
    ECVariant Get3DStructureReserved(int32_t, uint8_t* block, EntryInfo*);
    void Clear3DStructureReserved(int32_t, uint8_t* block, EntryInfo* info, ECVariant value);
    ECVariant Get2DVicOrder(int32_t x, uint8_t* block, EntryInfo*);
    void Set2DVicOrder(int32_t x, uint8_t* block, EntryInfo* info, ECVariant value);
    ECVariant Get3DStructure(int32_t x, uint8_t* block, EntryInfo*);
    void Set3DStructure(int32_t x, uint8_t* block, EntryInfo*, ECVariant value);
    void Rethink3DDetail(ECEntry* entry);
    ECVariant Get3DDetail(int32_t x, uint8_t* block, EntryInfo*);
    void Set3DDetail(int32_t x, uint8_t* block, EntryInfo* info, ECVariant value);
    ECVariant Get3DDetailReserved(int32_t x, uint8_t* block, EntryInfo*);
    void Clear3DDetailReserved(int32_t x, uint8_t* block, EntryInfo* info, ECVariant value);
    // Reports the VSDB length refusal when a block would grow past 31 bytes.
    bool RoomFor(int newLength);

    // HDMI Forum VSDB (CEA861.HfVsdb.cpp; its entries exist in the sink build only).
    void BuildHfVsdb(ECEntry* kind, uint8_t* block);
    ECVariant GetHfVsdbVersion(int32_t, uint8_t* data, EntryInfo*);
    void SetHfVsdbVersion(int32_t, uint8_t* data, EntryInfo* info, ECVariant value);
    ECVariant GetMaxTmdsCharacterRate(int32_t, uint8_t* data, EntryInfo*);
    void SetMaxTmdsCharacterRate(int32_t, uint8_t* data, EntryInfo* info, ECVariant value);
    ECVariant GetHfVsdbReserved(int32_t, uint8_t* data, EntryInfo*);
    void ClearHfVsdbReserved(int32_t, uint8_t* data, EntryInfo* info, ECVariant value);

    ECVariant value_;  // the value holder of the Get closures
    ECTreeView* view_ = nullptr;
    ECEntry* root_ = nullptr;
    uint8_t* bytes_ = nullptr;
    ECEntry* version_ = nullptr;
    ECEntry* descriptorCount_ = nullptr;
    ECEntry* blockCountEntry_ = nullptr;
    uint8_t descriptors_[kMaxDescriptors][kDescriptorLength] = {};
    DisplayDescriptor* codecs_[kMaxDescriptors] = {};
    uint8_t blocks_[kMaxDataBlocks][kDataBlockCopyLength] = {};
    int32_t blockCount_ = 0;

    // Transaction state of the Set closure that runs (Guard).
    int guardDepth_ = 0;
    bool refused_ = false;              // a level-16 report during the running Set
    std::string overrun_;               // the encoder's failure text during the running Set
    EntryInfo* refusedInfo_ = nullptr;  // entry whose Set was refused last: its rethink skips
};
