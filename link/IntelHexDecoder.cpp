#include "link/IntelHexDecoder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/RegularFile.h"

namespace {

constexpr uint8_t kTypeData = 0;
constexpr uint8_t kTypeEndOfFile = 1;
constexpr uint8_t kTypeExtendedSegment = 2;
constexpr uint8_t kTypeExtendedLinear = 4;
constexpr uint8_t kTypeUnreadable = 255;

constexpr const char* kNoRecordsText = "File does not contain IntelHex records";

// Columns of a record line.
constexpr size_t kColCount = 1;
constexpr size_t kColAddress = 3;
constexpr size_t kColType = 7;
constexpr size_t kColData = 9;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

[[noreturn]] void Fail(IntelHexError::Kind kind, const std::string& text) { throw IntelHexError(kind, text); }

[[noreturn]] void Corrupted(const std::string& text) { Fail(IntelHexError::Kind::Corrupted, text); }

// Splits at CR, LF or CR LF; a line break at the very end adds no empty
// line; a zero byte ends the text.
std::vector<std::string_view> SplitLines(std::string_view text) {
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    return lines;
}

uint8_t RecordCount(std::string_view line) {
    uint8_t n = 0;
    if (line.size() <= kColCount || !IntelHexDecoder::HexToBytes(line.substr(kColCount), &n, 2)) return 0;
    return n;
}

// The 16-bit value of a type-2 or type-4 record (two data bytes, high byte
// first). These records carry exactly two data bytes; any other count makes
// the address unknown, so the record is refused.
uint32_t UpperAddress(std::string_view line) {
    uint8_t b[2];
    if (RecordCount(line) != 2 || !IntelHexDecoder::HexToBytes(line.substr(kColData), b, 4))
        Corrupted("Read Type reported failure");
    return (uint32_t{b[0]} << 8) | b[1];
}

[[noreturn]] void CannotOpen(const std::string& path, const std::string& reason) {
    Fail(IntelHexError::Kind::FileOpen, "Cannot open file \"" + path + "\". " + reason);
}

[[noreturn]] void CannotRead(const std::string& path, const std::string& reason) {
    Fail(IntelHexError::Kind::FileOpen, "Cannot read file \"" + path + "\". " + reason);
}

// Only a regular file is read: a device could deliver bytes without end, a
// FIFO would block the open or the read; neither is opened
// (platform/RegularFile.h). A file larger than kMaxFileBytes is refused
// before it is read, and one that grew beyond it after its size was taken
// when the reading passes it.
std::string ReadHexFile(const std::string& path) {
    platform::RegularFile file(path);
    if (!file.IsOpen()) CannotOpen(path, file.Error());
    if (file.Size() > IntelHexDecoder::kMaxFileBytes) CannotOpen(path, std::strerror(EFBIG));
    std::string text;
    if (!file.ReadAll(text, IntelHexDecoder::kMaxFileBytes)) CannotRead(path, file.Error());
    if (text.size() > IntelHexDecoder::kMaxFileBytes) CannotOpen(path, std::strerror(EFBIG));
    return text;
}

}  // namespace

IntelHexDecoder::IntelHexDecoder(std::string_view text) { Parse(SplitLines(text)); }

IntelHexDecoder::IntelHexDecoder(const HexFile& file) { Parse(SplitLines(ReadHexFile(file.path))); }

uint32_t IntelHexDecoder::SegmentAddress(size_t i) const {
    return i < segments_.size() ? segments_[i].startAddress : 0;
}

uint32_t IntelHexDecoder::SegmentSize(size_t i) const { return i < segments_.size() ? segments_[i].size() : 0; }

uint8_t IntelHexDecoder::SegmentByte(size_t i, uint32_t p) const {
    if (i >= segments_.size()) return 0;
    if (p >= segments_[i].size()) Fail(IntelHexError::Kind::ReadPastEnd, "Read past buffer end");
    return segments_[i].data[p];
}

uint32_t IntelHexDecoder::TotalBytes() const {
    uint32_t total = 0;
    for (const auto& s : segments_) total += s.size();
    return total;
}

bool IntelHexDecoder::HexToBytes(std::string_view text, uint8_t* dst, size_t digits) {
    for (size_t i = 0; i + 2 <= digits; i += 2) {
        if (i + 1 >= text.size()) return false;
        const int hi = HexDigit(text[i]);
        const int lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        dst[i / 2] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return true;
}

uint8_t IntelHexDecoder::RecordType(std::string_view line) {
    uint8_t type = 0;
    if (line.size() <= kColType || !HexToBytes(line.substr(kColType), &type, 2)) return kTypeUnreadable;
    return type;
}

uint32_t IntelHexDecoder::RecordDataLength(std::string_view line) {
    return RecordType(line) == kTypeData ? RecordCount(line) : 0;
}

uint32_t IntelHexDecoder::RecordAddress(std::string_view line) {
    uint8_t a[2];
    if (RecordType(line) != kTypeData || !HexToBytes(line.substr(kColAddress), a, 4)) return 0;
    return (uint32_t{a[0]} << 8) | a[1];
}

bool IntelHexDecoder::VerifyRecord(std::string_view line) {
    if (line.empty() || line[0] != ':') return false;
    uint8_t count = 0;
    if (line.size() <= kColCount || !HexToBytes(line.substr(kColCount), &count, 2)) return false;
    const size_t bytes = size_t{count} + 5;
    uint8_t record[260];
    if (!HexToBytes(line.substr(kColCount), record, 2 * bytes)) return false;
    uint8_t sum = 0;
    for (size_t i = 0; i < bytes; ++i) sum = static_cast<uint8_t>(sum + record[i]);
    return sum == 0;
}

void IntelHexDecoder::Parse(std::vector<std::string_view> lines) {
    Clear();
    // Pass 1, from the last line to the first: drop lines that are not
    // records and verify the checksum of every record. The index reported is
    // the line's position in the text as given.
    std::vector<std::string_view> records;
    for (size_t i = lines.size(); i-- > 0;) {
        const std::string_view line = lines[i];
        if (line.empty() || line[0] != ':') continue;
        if (!VerifyRecord(line)) Corrupted("Record checksum check failed on line #" + std::to_string(i));
        records.push_back(line);
    }
    std::reverse(records.begin(), records.end());
    if (records.empty()) Fail(IntelHexError::Kind::NoRecords, kNoRecordsText);

    // Pass 2: segments. A segment holds data records that follow each other
    // in address (each one at the previous one's address plus its length,
    // modulo 0x10000); a record anywhere else starts a new segment at its
    // own address, so no byte is ever placed at an address it was not given.
    std::vector<HexSegment> done;
    HexSegment current;
    bool haveSegment = false;
    uint32_t base = 0;         // extended segment address x 16
    uint32_t writeOffset = 0;  // next write position in current.data
    uint32_t expected = 0;     // 16-bit address the next data record continues at

    auto closeSegment = [&] {
        if (haveSegment && current.size() != 0) done.push_back(std::move(current));
        current = HexSegment{};
        current.startAddress = base;
    };
    // Starts the segment's array at record k and sizes it over the records
    // that continue it without a gap.
    auto startRun = [&](size_t k, uint32_t address, uint32_t n) {
        current.startAddress = base + address;
        uint32_t size = n;
        uint32_t next = (address + n) & 0xFFFF;
        for (size_t j = k + 1; j < records.size(); ++j) {
            const uint32_t m = RecordDataLength(records[j]);
            if (m == 0 || RecordAddress(records[j]) != next) break;
            size += m;
            next = (next + m) & 0xFFFF;
        }
        current.data.assign(size, 0);
        writeOffset = 0;
    };

    for (size_t k = 0; k < records.size(); ++k) {
        const std::string_view line = records[k];
        const uint8_t type = RecordType(line);
        if (type == kTypeEndOfFile) break;
        if (type == kTypeUnreadable) Corrupted("Read Type reported failure");
        if (type == kTypeExtendedSegment) {
            const uint32_t segment = UpperAddress(line);
            closeSegment();
            base = segment * 16;
            current.startAddress = base;
            haveSegment = true;
            continue;
        }
        if (type == kTypeExtendedLinear) {
            // Addresses beyond 20 bits cannot be written; an upper address
            // of 0 changes nothing.
            if (UpperAddress(line) != 0) Corrupted("Extended linear address records are not supported");
            continue;
        }
        if (type != kTypeData) continue;  // start addresses and other types carry nothing to write

        if (!haveSegment) Corrupted("Data record without segment");
        const uint32_t n = RecordCount(line);
        if (n == 0) continue;  // nothing to place
        const uint32_t address = RecordAddress(line);
        if (current.size() == 0) {
            startRun(k, address, n);
        } else if (address != expected) {
            closeSegment();
            startRun(k, address, n);
        } else if (writeOffset + n > current.size()) {
            current.data.resize(writeOffset + n);  // continues after a record the sizing run stopped at
        }
        HexToBytes(line.substr(kColData), current.data.data() + writeOffset, 2 * n);
        writeOffset += n;
        expected = (address + n) & 0xFFFF;
    }
    closeSegment();
    // Records that place no byte anywhere (only an end record, segment
    // records without data) are refused like a text without records: an
    // update with such an image would erase the flash and write nothing.
    if (done.empty()) Fail(IntelHexError::Kind::NoRecords, kNoRecordsText);
    segments_ = std::move(done);
}
