#include <gtest/gtest.h>

#include <sys/wait.h>

#include <unistd.h>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "link/FirmwareUpdate.h"
#include "link/IntelHexDecoder.h"
#include "link/RamLoader.h"
#include "support/TextFile.h"

namespace {
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return lines;
}
}  // namespace

TEST(RamLoader, HasTheLoaderForm) {
    const std::string_view text(RamLoaderText(), RamLoaderTextLength());
    EXPECT_EQ(text.size(), 11968u);
    EXPECT_EQ(RamLoaderText()[RamLoaderTextLength()], '\0');
    EXPECT_EQ(text.find('\r'), std::string_view::npos);
    EXPECT_EQ(text.back(), '\n');
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 279u);
    int byType[256] = {};
    size_t lastData = 0, startRecord = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_TRUE(IntelHexDecoder::VerifyRecord(lines[i])) << "line " << i;
        const uint8_t type = IntelHexDecoder::RecordType(lines[i]);
        ++byType[type];
        if (type == 0) {
            EXPECT_LE(IntelHexDecoder::RecordDataLength(lines[i]), 16u) << "line " << i;
            lastData = i;
        }
        if (type == 3) startRecord = i;
    }
    EXPECT_EQ(byType[2], 5);
    EXPECT_EQ(byType[0], 272);
    EXPECT_EQ(byType[3], 1);
    EXPECT_EQ(byType[1], 1);
    EXPECT_EQ(lines[0].substr(0, 9), ":02000002");
    // The start segment address record names 0051:0000, after the last
    // data record and before the end-of-file record.
    EXPECT_EQ(lines[startRecord], ":0400000300510000A8");
    EXPECT_EQ(startRecord, lastData + 1);
    EXPECT_EQ(lines.back(), ":00000001FF");
}

TEST(RamLoader, DecodesToItsFiveSegments) {
    const auto loader = firmware_update::DecodeRamLoader();
    const std::vector<std::pair<uint32_t, uint32_t>> want = {
        {0x0500, 5}, {0x0510, 4276}, {0x15D0, 11}, {0x15E0, 2}, {0x15F0, 2}};
    ASSERT_EQ(loader->SegmentCount(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(loader->SegmentAddress(i), want[i].first) << i;
        EXPECT_EQ(loader->SegmentSize(i), want[i].second) << i;
        EXPECT_LE(loader->SegmentAddress(i) + loader->SegmentSize(i), 0x10000u);
    }
    EXPECT_EQ(loader->TotalBytes(), 4296u);
    EXPECT_EQ(loader->SegmentAddress(0), kRamLoaderEntry);
    EXPECT_EQ(firmware_update::LoaderDecodedText(*loader), "RamWrite [internal], 5 Segments, 4296 Bytes");
}

namespace {
// Runs the build's loader check on `text`; its exit status and messages.
int CheckLoader(const std::string& text, std::string* source = nullptr, std::string* errors = nullptr) {
    const std::string in = testing::TempDir() + std::to_string(::getpid()) + "_ram_loader_check.hex";
    const std::string out = testing::TempDir() + std::to_string(::getpid()) + "_ram_loader_check.cpp";
    const std::string err = testing::TempDir() + std::to_string(::getpid()) + "_ram_loader_check.err";
    EXPECT_TRUE(test_support::WriteFile(in, text));
    std::remove(out.c_str());
    const std::string command = std::string(RAM_LOADER_EMBED) + " " + in + " " + out + " 2>" + err;
    const int status = std::system(command.c_str());
    if (source) *source = test_support::ReadFile(out);
    if (errors) *errors = test_support::ReadFile(err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}  // namespace

TEST(RamLoader, EmbedsTheConfiguredFileByteForByte) {
    const std::string file = test_support::ReadFile(RAM_LOADER_FILE);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(std::string(RamLoaderText(), RamLoaderTextLength()), file);
}

TEST(RamLoader, TheBuildRefusesAnUnfitLoader) {
    const std::string first = ":020000020050AC\n:0400000001020304F2\n";
    const std::string eof = ":00000001FF\n";
    std::string source;
    EXPECT_EQ(CheckLoader(first + eof, &source), 0);
    EXPECT_NE(source.find("58, 48, 50, 48, 48"), std::string::npos);  // ":0200" as bytes
    EXPECT_NE(source.find("RamLoaderText"), std::string::npos);
    struct Case {
        std::string text;
        std::string reason;
    };
    const std::vector<Case> refused = {
        {"hello\n", "File does not contain IntelHex records"},
        {":020000020050AC\n:0400000001020304F3\n" + eof, "Record checksum check failed on line #1"},
        {":0200000200609C\n:0400000001020304F2\n" + eof, "its first segment does not start at 0x0500"},
        {first + ":020000020FFFEE\n:1000F80000000000000000000000000000000000F8\n" + eof,
         "segment 1 reaches beyond 0xFFFF"},
        {eof, "File does not contain IntelHex records"},  // no data: the decoder refuses it
    };
    for (const auto& c : refused) {
        std::string errors;
        EXPECT_NE(CheckLoader(c.text, nullptr, &errors), 0) << c.reason;
        EXPECT_NE(errors.find(c.reason), std::string::npos) << errors;
    }
}
