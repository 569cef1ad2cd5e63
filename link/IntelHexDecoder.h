#pragma once
// Decoder for Intel HEX texts in the 20-bit segmented form: data records
// (type 0), end of file (type 1) and extended segment address records
// (type 2). Every record's checksum is verified before any record's meaning
// is looked at. The result is a list of address segments in file order.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// One run of contiguous bytes of an image.
struct HexSegment {
    std::vector<uint8_t> data;
    // (extended segment address x 16) + the address of the first data record.
    uint32_t startAddress = 0;
    uint32_t size() const { return static_cast<uint32_t>(data.size()); }
};

// Every failure of the decoder. `kind` tells the caller which class of fault
// it was (the updater reports them with different notices).
class IntelHexError : public std::runtime_error {
public:
    enum class Kind {
        FileOpen,     // the file could not be opened or read
        NoRecords,    // no line starting with ':', or no data byte at all
        Corrupted,    // checksum, data before a segment, unreadable type
        ReadPastEnd,  // SegmentByte beyond the segment's end
    };
    IntelHexError(Kind kind, const std::string& text) : std::runtime_error(text), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// Names a file for the file constructor (keeps it apart from the text one).
struct HexFile {
    std::string path;
};

class IntelHexDecoder {
public:
    // Decodes the text (lines ended by CR, LF or CR LF; decoding stops at a
    // zero byte). Throws IntelHexError; a text whose records place no data
    // byte (only an end record, say) fails like a text without records.
    explicit IntelHexDecoder(std::string_view text);
    // Reads the file and decodes it. Throws IntelHexError. Only a regular
    // file of at most kMaxFileBytes is read; a folder, device, FIFO or
    // socket, or a larger file, fails as a file that cannot be opened
    // (Kind::FileOpen), without blocking and before anything is read.
    explicit IntelHexDecoder(const HexFile& file);

    // More than five times the HEX text of the whole 20-bit address space.
    static constexpr size_t kMaxFileBytes = size_t{16} << 20;

    size_t SegmentCount() const { return segments_.size(); }
    // 0 for an index outside the list.
    uint32_t SegmentAddress(size_t i) const;
    uint32_t SegmentSize(size_t i) const;
    // Byte p of segment i; 0 for a bad segment index; throws
    // "Read past buffer end" when p is not below the segment's size.
    uint8_t SegmentByte(size_t i, uint32_t p) const;
    uint32_t TotalBytes() const;
    const std::vector<HexSegment>& Segments() const { return segments_; }

    // Line operations of the decoding (public for tests).
    // Converts `digits` hex digits (pairs) into bytes; false at the first
    // other character (bytes converted before it stay written).
    static bool HexToBytes(std::string_view text, uint8_t* dst, size_t digits);
    // The type field, or 255 when it is not two hex digits.
    static uint8_t RecordType(std::string_view line);
    // n for a data record, 0 for any other type.
    static uint32_t RecordDataLength(std::string_view line);
    // The 16-bit address of a data record, 0 for any other type.
    static uint32_t RecordAddress(std::string_view line);
    // True when the line starts with ':' and its n + 5 bytes are hex digits
    // that sum to 0 modulo 256.
    static bool VerifyRecord(std::string_view line);

private:
    void Parse(std::vector<std::string_view> lines);
    void Clear() { segments_.clear(); }

    std::vector<HexSegment> segments_;
};
