#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "link/InstrumentText.h"

using instrument_text::Format;
using namespace std::string_view_literals;

struct FormatCase {
    std::string_view format;
    uint16_t arg;
    const char* want;
};

TEST(InstrumentText, ServesOneIntegerConversionAndPrintsTheRestLiterally) {
    const std::vector<FormatCase> cases = {
        {"%d", 0x012A, "298"},
        {"Lane %u ok", 3, "Lane 3 ok"},
        {"%i", 0xFFFF, "65535"},  // zero-extended
        {"%hd", 0xFFFF, "-1"},    // printf's own narrowing of h
        {"%hhu", 0x1234, "52"},
        {"%ld|%lld", 7, "7|%lld"},
        {"%04X", 0xBEEF, "BEEF"},
        {"%#x", 255, "0xff"},
        {"%-5d|", 42, "42   |"},
        {"%+.3d", 5, "+005"},
        {"%o", 8, "10"},
        {"%c", 'A', "A"},
        {"%-3c|", 'B', "B  |"},
        {"%3c", 'C', "  C"},
        {"%hc%llc", 'D', "D%llc"},  // no length modifier reaches printf for a character
        {"%05.2c", 'E', "    E"},   // nor a zero flag or precision
        {"%#d", 12, "12"},          // '#' only for o, x and X
        {"%#o", 8, "010"},
        {"100%%", 1, "100%"},
        {"%d%%", 50, "50%"},
        {"%s", 0x4141, "%s"},
        {"%n", 0, "%n"},
        {"%p", 0, "%p"},
        {"%f", 1, "%f"},
        {"%*d", 5, "%*d"},
        {"%.*d", 5, "%.*d"},
        {"%256d", 1, "%256d"},
        {"%.300d", 1, "%.300d"},
        {"%255d", 1, nullptr},  // width 255 is allowed: checked below
        {"%d and %d", 4, "4 and %d"},
        {"%s then %d", 9, "%s then 9"},
        {"%", 1, "%"},
        {"abc%", 1, "abc%"},
        {"%l", 1, "%l"},
        {"%lll d", 1, "%lll d"},
        // A conversion the format ends in the middle of stays literal.
        {"%5", 1, "%5"},
        {"%-0", 1, "%-0"},
        {"v=%5.2", 1, "v=%5.2"},
        {"%hh", 1, "%hh"},
        // The format ends at its zero byte, also inside a conversion.
        {"%\0"sv, 1, "%"},
        {"ab%-5\0"sv, 1, "ab%-5"},
        {"%5.2\0d"sv, 1, "%5.2"},
        {"%ll\0x"sv, 1, "%ll"},
        {"%#\0o"sv, 8, "%#"},
        {"x\0%d"sv, 7, "x"},
        {"%d\0%d"sv, 3, "3"},
    };
    for (const auto& c : cases) {
        std::string got = Format(c.format, c.arg, 255);
        const std::string shown = ::testing::PrintToString(std::string(c.format));
        if (c.want) {
            EXPECT_EQ(got, c.want) << "format " << shown;
        } else {
            EXPECT_EQ(got, std::string(254, ' ') + "1") << "format " << shown;
        }
    }
}

TEST(InstrumentText, CutsTheResultAtTheLimit) {
    EXPECT_EQ(Format(std::string(250, 'x'), 0, 199).size(), 199u);
    EXPECT_EQ(Format("%200d%", 1, 199).size(), 199u);
    EXPECT_EQ(Format("%250d", 7, 255), std::string(249, ' ') + "7");
}

TEST(InstrumentText, PacketArgumentComesOnlyFromThePayload) {
    // 0D "%d" 00 2A 01: the argument is 0x012A.
    const uint8_t full[] = {0x0D, '%', 'd', 0x00, 0x2A, 0x01};
    EXPECT_EQ(instrument_text::FormatPacket(full, sizeof full, 255), "298");
    // The high byte is missing: it counts as 0.
    EXPECT_EQ(instrument_text::FormatPacket(full, 5, 255), "42");
    // No argument at all, and no zero byte: 0.
    EXPECT_EQ(instrument_text::FormatPacket(full, 3, 255), "0");
    const uint8_t dbg[] = {0x0D, 'v', '=', '%', 'u', 0x00, 0x34, 0x12};
    EXPECT_EQ(instrument_text::FormatPacket(dbg, sizeof dbg, 199), "v=4660");
    const uint8_t dbg2[] = {0x0D, '%', 'u', 0x00, 0x80, 0x00};
    EXPECT_EQ(instrument_text::FormatPacket(dbg2, sizeof dbg2, 199), "128");
}
