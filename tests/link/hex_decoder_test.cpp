#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>
#include <unistd.h>

#include "link/Crc16.h"
#include "link/IntelHexDecoder.h"
#include "support/HexRecord.h"

using Bytes = std::vector<uint8_t>;

namespace {

std::string Rec(uint8_t type, uint16_t address, const std::vector<uint8_t>& data) {
    return test_hex::Record(type, address, data);
}

std::string Seg(uint16_t segment) { return Rec(2, 0, {static_cast<uint8_t>(segment >> 8), static_cast<uint8_t>(segment)}); }
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
        {"lower-case digits, CR LF", ":020000020050ac\r\n:0400000001020304f2\r\n:00000001ff\r\n",
         {{0x500, {1, 2, 3, 4}}}},
        {"CR line ends, no final break", ":020000020050AC\r:0400000001020304F2\r:00000001FF",
         {{0x500, {1, 2, 3, 4}}}},
        {"contiguous records join", Seg(0x1000) + Data(0x0010, Span(0, 16)) + Data(0x0020, Span(16, 3)) + kEof,
         {{0x10010, Span(0, 19)}}},
        // A gap starts a new segment at the record's own address instead
        // of packing the bytes onto the previous ones.
        {"gap starts a new segment", Seg(0) + Data(0x0000, Span(0, 16)) + Data(0x0100, Span(16, 16)) + kEof,
         {{0x0000, Span(0, 16)}, {0x0100, Span(16, 16)}}},
        {"backwards address starts a new segment", Seg(0) + Data(0x0100, Span(0, 4)) + Data(0x0000, Span(4, 4)) + kEof,
         {{0x0100, Span(0, 4)}, {0x0000, Span(4, 4)}}},
        {"a segment's run wraps at 64 KiB", Seg(0x1000) + Data(0xFFF8, Span(0, 8)) + Data(0x0000, Span(8, 8)) + kEof,
         {{0x1FFF8, Span(0, 16)}}},
        {"two type-2 records in a row drop the empty segment",
         Seg(0x0010) + Seg(0x0050) + Data(0, {9, 8}) + kEof, {{0x500, {9, 8}}}},
        {"type-3 record skipped", Seg(0x0050) + Data(0, {1, 2}) + Rec(3, 0, {0, 0x51, 0, 0}) + kEof, {{0x500, {1, 2}}}},
        {"linear address 0 skipped", Rec(4, 0, {0, 0}) + Seg(0x0050) + Data(0, {1}) + kEof, {{0x500, {1}}}},
        // The sizing run stops at a skipped record; the record after it at
        // the next address grows the segment instead of overrunning it.
        {"record after a skipped one grows the segment",
         Seg(0) + Data(0x10, Span(0, 4)) + Rec(5, 0, {1, 2, 3, 4}) + Data(0x14, Span(4, 4)) + kEof, {{0x10, Span(0, 8)}}},
        {"record after an empty one grows the segment",
         Seg(0) + Data(0x10, Span(0, 4)) + Data(0x40, {}) + Data(0x14, Span(4, 4)) + kEof, {{0x10, Span(0, 8)}}},
        {"record after a skipped one elsewhere starts a segment",
         Seg(0) + Data(0x10, Span(0, 4)) + Rec(5, 0, {1, 2, 3, 4}) + Data(0x80, Span(4, 4)) + kEof,
         {{0x10, Span(0, 4)}, {0x80, Span(4, 4)}}},
        {"empty first record does not move the start",
         Seg(0x0050) + Data(0x0033, {}) + Data(0x0000, {5, 6}) + kEof, {{0x500, {5, 6}}}},
        {"new type-2 record closes the segment",
         Seg(0x0050) + Data(0, {1}) + Seg(0x0060) + Data(0, {2, 3}) + kEof, {{0x500, {1}}, {0x600, {2, 3}}}},
        {"lines after the end are ignored", Seg(0x0050) + Data(0, {1}) + kEof + Data(1, {2}), {{0x500, {1}}}},
        {"no end-of-file record", Seg(0x0050) + Data(0, {1, 2}), {{0x500, {1, 2}}}},
        {"comments and blank lines dropped", "; comment\n\n" + Seg(0x0050) + "x\n" + Data(0, {7}) + kEof, {{0x500, {7}}}},
        {"characters after the checksum ignored", ":020000020050ACzz\n:0100000007F8 trailing\n", {{0x500, {7}}}},
        {"only an end record", kEof, {}},
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
    {
        std::ofstream f(path, std::ios::binary);
        f << ":020000020050AC\r\n:0400000001020304F2\r\n:00000001FF\r\n";
    }
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
