#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "link/Crc16.h"
#include "link/IntelHexDecoder.h"
#include "support/HexRecord.h"
#include "support/TextFile.h"

using Bytes = std::vector<uint8_t>;

namespace {

std::string Rec(uint8_t type, uint16_t address, const std::vector<uint8_t>& data) {
    return test_hex::Record(type, address, data);
}

std::string Seg(uint16_t segment) {
    return Rec(2, 0, {static_cast<uint8_t>(segment >> 8), static_cast<uint8_t>(segment)});
}
std::string Data(uint16_t address, const Bytes& data) { return Rec(0, address, data); }
const std::string kEof = ":00000001FF\n";

Bytes Span(uint8_t first, size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(first + i);
    return b;
}

struct Expected {
    uint32_t address;
    Bytes data;
};

struct DecodeCase {
    const char* name;
    std::string text;
    std::vector<Expected> segments;
};

}  // namespace

TEST(IntelHexDecoder, DecodesSegmentsAsTheRecordsPlaceThem) {
    const std::vector<DecodeCase> cases = {
        {"worked example", ":020000020050AC\n:0400000001020304F2\n:00000001FF\n", {{0x500, {1, 2, 3, 4}}}},
        {"lower-case digits, CR LF",
         ":020000020050ac\r\n:0400000001020304f2\r\n:00000001ff\r\n",
         {{0x500, {1, 2, 3, 4}}}},
        {"CR line ends, no final break", ":020000020050AC\r:0400000001020304F2\r:00000001FF", {{0x500, {1, 2, 3, 4}}}},
        {"contiguous records join",
         Seg(0x1000) + Data(0x0010, Span(0, 16)) + Data(0x0020, Span(16, 3)) + kEof,
         {{0x10010, Span(0, 19)}}},
        // A gap starts a new segment at the record's own address instead
        // of packing the bytes onto the previous ones.
        {"gap starts a new segment",
         Seg(0) + Data(0x0000, Span(0, 16)) + Data(0x0100, Span(16, 16)) + kEof,
         {{0x0000, Span(0, 16)}, {0x0100, Span(16, 16)}}},
        {"backwards address starts a new segment",
         Seg(0) + Data(0x0100, Span(0, 4)) + Data(0x0000, Span(4, 4)) + kEof,
         {{0x0100, Span(0, 4)}, {0x0000, Span(4, 4)}}},
        {"a segment's run wraps at 64 KiB",
         Seg(0x1000) + Data(0xFFF8, Span(0, 8)) + Data(0x0000, Span(8, 8)) + kEof,
         {{0x1FFF8, Span(0, 16)}}},
        {"two type-2 records in a row drop the empty segment",
         Seg(0x0010) + Seg(0x0050) + Data(0, {9, 8}) + kEof,
         {{0x500, {9, 8}}}},
        {"type-3 record skipped", Seg(0x0050) + Data(0, {1, 2}) + Rec(3, 0, {0, 0x51, 0, 0}) + kEof, {{0x500, {1, 2}}}},
        {"linear address 0 skipped", Rec(4, 0, {0, 0}) + Seg(0x0050) + Data(0, {1}) + kEof, {{0x500, {1}}}},
        // The sizing run stops at a skipped record; the record after it at
        // the next address grows the segment instead of overrunning it.
        {"record after a skipped one grows the segment",
         Seg(0) + Data(0x10, Span(0, 4)) + Rec(5, 0, {1, 2, 3, 4}) + Data(0x14, Span(4, 4)) + kEof,
         {{0x10, Span(0, 8)}}},
        {"record after an empty one grows the segment",
         Seg(0) + Data(0x10, Span(0, 4)) + Data(0x40, {}) + Data(0x14, Span(4, 4)) + kEof,
         {{0x10, Span(0, 8)}}},
        {"record after a skipped one elsewhere starts a segment",
         Seg(0) + Data(0x10, Span(0, 4)) + Rec(5, 0, {1, 2, 3, 4}) + Data(0x80, Span(4, 4)) + kEof,
         {{0x10, Span(0, 4)}, {0x80, Span(4, 4)}}},
        {"empty first record does not move the start",
         Seg(0x0050) + Data(0x0033, {}) + Data(0x0000, {5, 6}) + kEof,
         {{0x500, {5, 6}}}},
        {"new type-2 record closes the segment",
         Seg(0x0050) + Data(0, {1}) + Seg(0x0060) + Data(0, {2, 3}) + kEof,
         {{0x500, {1}}, {0x600, {2, 3}}}},
        {"lines after the end are ignored", Seg(0x0050) + Data(0, {1}) + kEof + Data(1, {2}), {{0x500, {1}}}},
        {"no end-of-file record", Seg(0x0050) + Data(0, {1, 2}), {{0x500, {1, 2}}}},
        {"comments and blank lines dropped",
         "; comment\n\n" + Seg(0x0050) + "x\n" + Data(0, {7}) + kEof,
         {{0x500, {7}}}},
        {"characters after the checksum ignored", ":020000020050ACzz\n:0100000007F8 trailing\n", {{0x500, {7}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const IntelHexDecoder d{std::string_view(c.text)};
        ASSERT_EQ(d.SegmentCount(), c.segments.size());
        uint32_t total = 0;
        for (size_t i = 0; i < c.segments.size(); ++i) {
            EXPECT_EQ(d.SegmentAddress(i), c.segments[i].address) << "segment " << i;
            EXPECT_EQ(d.Segments()[i].data, c.segments[i].data) << "segment " << i;
            EXPECT_EQ(d.SegmentSize(i), c.segments[i].data.size());
            total += static_cast<uint32_t>(c.segments[i].data.size());
        }
        EXPECT_EQ(d.TotalBytes(), total);
    }
}

TEST(IntelHexDecoder, RefusesBadTextsWithTheirMessages) {
    using K = IntelHexError::Kind;
    struct Case {
        const char* name;
        std::string text;
        K kind;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"empty text", "", K::NoRecords, "File does not contain IntelHex records"},
        {"no record lines", "hello\n\nworld\n", K::NoRecords, "File does not contain IntelHex records"},
        // Records that place no byte: an update would erase and write nothing.
        {"only an end record", kEof, K::NoRecords, "File does not contain IntelHex records"},
        {"segment records without data", Seg(0x50) + Seg(0x60) + kEof, K::NoRecords,
         "File does not contain IntelHex records"},
        {"only empty data records", Seg(0x50) + Data(0, {}) + Data(0x10, {}) + Rec(3, 0, {0, 0x51, 0, 0}) + kEof,
         K::NoRecords, "File does not contain IntelHex records"},
        {"data only after the end record", Seg(0x50) + kEof + Data(0, {1}), K::NoRecords,
         "File does not contain IntelHex records"},
        {"bad checksum after a comment", "; comment\n" + Seg(0x50) + ":0400000001020304F3\n" + kEof, K::Corrupted,
         "Record checksum check failed on line #2"},
        {"blank lines count in the index", "\n\n" + Seg(0x50) + "\n:04000000010203\n", K::Corrupted,
         "Record checksum check failed on line #4"},
        {"the last bad line is named", ":0100000007F7\n" + Seg(0x50) + ":0100000007F7\n", K::Corrupted,
         "Record checksum check failed on line #2"},
        {"lines after the end are checked too", Seg(0x50) + kEof + ":0100000007F7\n", K::Corrupted,
         "Record checksum check failed on line #2"},
        {"non-hex digit", ":02000002005G00\n", K::Corrupted, "Record checksum check failed on line #0"},
        {"line shorter than its count", ":10000000010203\n", K::Corrupted, "Record checksum check failed on line #0"},
        {"lone colon", ":\n", K::Corrupted, "Record checksum check failed on line #0"},
        {"data before any segment", Data(0, {1, 2}) + kEof, K::Corrupted, "Data record without segment"},
        {"data before any segment, after a type-3", Rec(3, 0, {0, 0, 0, 0}) + Data(0, {1}), K::Corrupted,
         "Data record without segment"},
        {"type FF", Seg(0x50) + Rec(0xFF, 0, {}), K::Corrupted, "Read Type reported failure"},
        {"linear address above 64 KiB", Seg(0x50) + Data(0, {1}) + Rec(4, 0, {0, 1}) + Data(0, {2}), K::Corrupted,
         "Extended linear address records are not supported"},
        {"segment record with one byte", Rec(2, 0, {0x50}) + Data(0, {1}), K::Corrupted, "Read Type reported failure"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            IntelHexDecoder d{std::string_view(c.text)};
            ADD_FAILURE() << "decoded without error";
        } catch (const IntelHexError& e) {
            EXPECT_EQ(e.what(), c.message);
            EXPECT_EQ(e.kind(), c.kind);
        }
    }
}

TEST(IntelHexDecoder, SegmentQueriesStayInsideTheList) {
    const std::string text = Seg(0x50) + Data(0, {1, 2, 3}) + Seg(0x60) + Data(0, {4}) + kEof;
    const IntelHexDecoder d{std::string_view(text)};
    ASSERT_EQ(d.SegmentCount(), 2u);
    EXPECT_EQ(d.SegmentByte(0, 2), 3);
    EXPECT_EQ(d.SegmentByte(1, 0), 4);
    EXPECT_EQ(d.SegmentByte(5, 0), 0);
    EXPECT_EQ(d.SegmentAddress(2), 0u);
    EXPECT_EQ(d.SegmentSize(7), 0u);
    try {
        d.SegmentByte(0, 3);
        ADD_FAILURE() << "no exception";
    } catch (const IntelHexError& e) {
        EXPECT_STREQ(e.what(), "Read past buffer end");
        EXPECT_EQ(e.kind(), IntelHexError::Kind::ReadPastEnd);
    }
}

TEST(IntelHexDecoder, LineOperations) {
    EXPECT_TRUE(IntelHexDecoder::VerifyRecord(":020000020050AC"));
    EXPECT_FALSE(IntelHexDecoder::VerifyRecord("020000020050AC"));
    EXPECT_FALSE(IntelHexDecoder::VerifyRecord(":020000020050AD"));
    EXPECT_EQ(IntelHexDecoder::RecordType(":020000020050AC"), 2);
    EXPECT_EQ(IntelHexDecoder::RecordType(":020000"), 255);
    EXPECT_EQ(IntelHexDecoder::RecordType(":020000G2"), 255);
    EXPECT_EQ(IntelHexDecoder::RecordDataLength(":0400100001020304E2"), 4u);
    EXPECT_EQ(IntelHexDecoder::RecordDataLength(":020000020050AC"), 0u);
    EXPECT_EQ(IntelHexDecoder::RecordAddress(":0412340001020304E2"), 0x1234u);
    EXPECT_EQ(IntelHexDecoder::RecordAddress(":021234020050AC"), 0u);
    uint8_t b[3] = {0, 0, 0};
    EXPECT_FALSE(IntelHexDecoder::HexToBytes("A1b2x3", b, 6));
    EXPECT_EQ(b[0], 0xA1);  // converted before the bad digit, kept
    EXPECT_EQ(b[1], 0xB2);
}

TEST(IntelHexDecoder, ReadsFilesAndReportsOpenFailures) {
    const std::string path = testing::TempDir() + std::to_string(::getpid()) + "_hex_decoder_test.hex";
    ASSERT_TRUE(test_support::WriteFile(path, ":020000020050AC\r\n:0400000001020304F2\r\n:00000001FF\r\n"));
    const IntelHexDecoder d{HexFile{path}};
    ASSERT_EQ(d.SegmentCount(), 1u);
    EXPECT_EQ(d.Segments()[0].data, (Bytes{1, 2, 3, 4}));
    std::remove(path.c_str());
    try {
        IntelHexDecoder missing{HexFile{path}};
        ADD_FAILURE() << "no exception";
    } catch (const IntelHexError& e) {
        EXPECT_EQ(e.kind(), IntelHexError::Kind::FileOpen);
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    try {
        IntelHexDecoder folder{HexFile{testing::TempDir()}};
        ADD_FAILURE() << "no exception";
    } catch (const IntelHexError& e) {
        EXPECT_EQ(e.kind(), IntelHexError::Kind::FileOpen) << e.what();
    }
}

namespace {

// A folder of its own under the test temp folder, removed with everything in it.
struct TempFolder {
    std::string path;
    TempFolder() {
        std::string tmpl = testing::TempDir() + "hex_decoder_XXXXXX";
        path = ::mkdtemp(tmpl.data()) ? tmpl : "";
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

// A valid image at the start of a file of `size` bytes (the rest zero bytes,
// where the decoding stops).
bool WriteImageOfSize(const std::string& path, off_t size) {
    const std::string text = ":020000020050AC\n:0400000001020304F2\n:00000001FF\n";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return false;
    const bool ok =
        ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::ftruncate(fd, size) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

// Only a regular file of at most 16 MiB is read; everything else is refused
// as a file that cannot be opened, at once. Each case is decoded on a thread
// of its own with a deadline, so a decoder that blocks fails instead of
// hanging the test.
TEST(IntelHexDecoder, ReadsOnlyRegularFilesUpToTheLimit) {
    TempFolder dir;
    ASSERT_FALSE(dir.path.empty());
    const std::string fifo = dir.path + "/fifo.hex";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A writer holds the FIFO open: an open that waits for one returns, and
    // only a read that waits for the end of its data would block.
    int fifoWriter = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(fifoWriter, 0);

    const std::string socketPath = dir.path + "/socket.hex";
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

    const std::string deviceLink = dir.path + "/null.hex";
    ASSERT_EQ(::symlink("/dev/null", deviceLink.c_str()), 0);
    const std::string atLimit = dir.path + "/at-limit.hex";
    ASSERT_TRUE(WriteImageOfSize(atLimit, static_cast<off_t>(IntelHexDecoder::kMaxFileBytes)));
    const std::string overLimit = dir.path + "/over-limit.hex";
    ASSERT_TRUE(WriteImageOfSize(overLimit, static_cast<off_t>(IntelHexDecoder::kMaxFileBytes) + 1));

    struct Case {
        const char* name;
        std::string path;
        std::string outcome;  // "decoded" or the error text after the path
    };
    const std::vector<Case> cases = {
        {"folder", dir.path, "Is a directory"},
        {"character device", "/dev/null", "Not a regular file"},
        {"link to a device", deviceLink, "Not a regular file"},
        {"FIFO", fifo, "Not a regular file"},
        {"socket", socketPath, "Not a regular file"},
        {"one byte over 16 MiB", overLimit, "File too large"},
        {"exactly 16 MiB", atLimit, "decoded"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto decoding = std::async(std::launch::async, [path = c.path]() -> std::string {
            try {
                IntelHexDecoder d{HexFile{path}};
                return d.TotalBytes() == 4 ? "decoded" : "decoded wrongly";
            } catch (const IntelHexError& e) {
                const std::string kind = e.kind() == IntelHexError::Kind::FileOpen ? "" : "(not a file-open error) ";
                return kind + e.what();
            }
        });
        if (decoding.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            ADD_FAILURE() << "the decoder blocked";
            ::close(fifoWriter);  // ends a read that waits on the FIFO
            fifoWriter = -1;
        }
        const std::string want =
            c.outcome == "decoded" ? c.outcome : "Cannot open file \"" + c.path + "\". " + c.outcome;
        EXPECT_EQ(decoding.get(), want);
    }
    if (fifoWriter >= 0) ::close(fifoWriter);
    ::close(sock);
}

TEST(Crc16, CheckValues) {
    const std::vector<std::pair<std::string, uint16_t>> cases = {
        {"123456789", 0x5E86},
        {"abc", 0xEB62},
        {"", 0x1021},
    };
    for (const auto& [text, crc] : cases) {
        EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(text.data()), text.size()), crc) << text;
    }
    // The common 0xFFFF preset gives another value: the preset matters.
    const std::string digits = "123456789";
    EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(digits.data()), digits.size(), 0xFFFF), 0x29B1);
}
