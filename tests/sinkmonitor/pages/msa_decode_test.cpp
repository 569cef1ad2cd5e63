// MSA capture: the attributes of a record as log cells, the lamps and rows
// of successive hand-overs, and the clipboard text of the log.
#include <gtest/gtest.h>

#include "sinkmonitor/QtPrint.h"
#include "sinkmonitor/pages/MsaDecode.h"

namespace {

using selvitra::DecodeMsaStatus;
using selvitra::LampState;
using selvitra::MsaRowCells;

// A record with the given status and MISC bytes and 16-bit timing fields
// (the sync fields with their polarity in bit 15).
struct Timing {
    uint16_t htotal, hstart, hactive, hsync, vtotal, vstart, vactive, vsync;
};

msarecord_t Record(uint8_t status, uint8_t misc0, uint8_t misc1, Timing t = {2200, 192, 1920, 44, 1125, 41, 1080, 5}) {
    msarecord_t r{};
    r[0] = status;
    r[1] = misc0;
    r[2] = misc1;
    const uint16_t words[8] = {t.htotal, t.hstart, t.hactive, t.hsync, t.vtotal, t.vstart, t.vactive, t.vsync};
    for (size_t i = 0; i < 8; ++i) {
        r[3 + 2 * i] = words[i] & 0xFF;
        r[4 + 2 * i] = words[i] >> 8;
    }
    return r;
}

// MISC0 and MISC1 decide the first six cells.
struct MiscCase {
    uint8_t misc0, misc1;
    QStringList cells;  // CLK, FORMAT, RANGE, COLORIMETRY, BPC, MODE
};

TEST(MsaRowCells, MiscBytesDecodeIntoTheFirstSixColumns) {
    const MiscCase cases[] = {
        {0x21, 0x00, {"Sync", "RGB", "VESA", "ITU-R BT601-5", "8", "Prog"}},
        {0x4C, 0x00, {"Async", "YCbCr444", "CEA", "ITU-R BT601-5", "10", "Prog"}},
        {0x02, 0x01, {"Async", "YCbCr422", "VESA", "ITU-R BT601-5", "6", "Int"}},
        {0x06, 0x00, {"Async", "YCbCr444", "VESA", "ITU-R BT601-5", "6", "Prog"}},  // bits 2-1 = 11
        {0x10, 0xFE, {"Async", "RGB", "VESA", "ITU-R BT709-5", "6", "Prog"}},       // only MISC1 bit 0 counts
        {0x61, 0x00, {"Sync", "RGB", "VESA", "ITU-R BT601-5", "12", "Prog"}},
        {0x80, 0x00, {"Async", "RGB", "VESA", "ITU-R BT601-5", "16", "Prog"}},
        {0xA0, 0x00, {"Async", "RGB", "VESA", "ITU-R BT601-5", "0", "Prog"}},  // reserved depth codes
        {0xC0, 0x00, {"Async", "RGB", "VESA", "ITU-R BT601-5", "0", "Prog"}},
        {0xFF, 0x01, {"Sync", "YCbCr444", "CEA", "ITU-R BT709-5", "0", "Int"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "MISC0 0x" << std::hex << int(c.misc0));
        EXPECT_EQ(MsaRowCells(Record(1, c.misc0, c.misc1)).mid(0, 6), c.cells);
    }
}

TEST(MsaRowCells, TimingFieldsAreLittleEndianInTheColumnOrder) {
    // Horizontal sync bytes 2C 80: negative polarity, width 44.
    const auto cells = MsaRowCells(Record(1, 0x21, 0, {2200, 192, 1920, 0x802C, 1125, 41, 1080, 0x0005}));
    const QStringList expected = {"Sync", "RGB", "VESA", "ITU-R BT601-5", "8",    "Prog", "192", "2200", "1920",
                                  "Neg",  "44",  "41",   "1125",          "1080", "Pos",  "5"};
    EXPECT_EQ(cells, expected);
    ASSERT_EQ(cells.size() + 1, qsizetype(selvitra::kMsaColumns.size()));
}

TEST(MsaRowCells, SyncWidthKeepsFifteenBitsBesideThePolarity) {
    const auto cells = MsaRowCells(Record(1, 0, 0, {65535, 0, 0, 0xFFFF, 0, 0, 0, 0x7FFF}));
    EXPECT_EQ(cells[7], "65535");  // HTOT: all 16 bits
    EXPECT_EQ(cells[9], "Neg");
    EXPECT_EQ(cells[10], "32767");
    EXPECT_EQ(cells[14], "Pos");
    EXPECT_EQ(cells[15], "32767");
}

// Successive hand-overs against the window's last record shown.
class MsaHandOver : public testing::Test {
protected:
    selvitra::MsaView Hand(const msarecord_t& r) { return DecodeMsaStatus(r, last_, now_); }
    msarecord_t last_{};
    QTime now_{14, 5, 9};
};

TEST_F(MsaHandOver, AValidRecordLightsVideoValidAndAddsATimeStampedRow) {
    const auto view = Hand(Record(0x01, 0x21, 0));
    EXPECT_TRUE(view.changed);
    EXPECT_EQ(view.unstable, LampState::Off);
    EXPECT_EQ(view.videoValid, LampState::On);
    ASSERT_TRUE(view.row);
    EXPECT_EQ(view.row->size(), 17);
    EXPECT_EQ(view.row->front(), "14:05:09");
    EXPECT_EQ(view.row->mid(1), MsaRowCells(Record(0x01, 0x21, 0)));
    EXPECT_EQ(last_, Record(0x01, 0x21, 0));
}

TEST_F(MsaHandOver, TheSameRecordAgainChangesNothingUntilTheLastRecordIsZeroed) {
    ASSERT_TRUE(Hand(Record(0x01, 0x21, 0)).row);
    const auto again = Hand(Record(0x01, 0x21, 0));
    EXPECT_FALSE(again.changed);
    EXPECT_FALSE(again.videoValid);
    EXPECT_FALSE(again.row);
    last_ = {};  // the list cleared or the capture box clicked
    EXPECT_TRUE(Hand(Record(0x01, 0x21, 0)).row);
}

TEST_F(MsaHandOver, AnUnstableStreamTurnsTheUnstableLampRedAndAddsNoRow) {
    ASSERT_TRUE(Hand(Record(0x01, 0x21, 0)).row);
    const auto view = Hand(Record(0x03, 0x21, 0));
    EXPECT_TRUE(view.changed);
    EXPECT_EQ(view.unstable, LampState::Fault);
    EXPECT_FALSE(view.videoValid) << "the video-valid lamp stays as it is";
    EXPECT_FALSE(view.row);
    // The stream settles on the record shown before the unstable one: it
    // differs from the last record, so it is shown again.
    const auto settled = Hand(Record(0x01, 0x21, 0));
    EXPECT_EQ(settled.unstable, LampState::Off);
    EXPECT_EQ(settled.videoValid, LampState::On);
    EXPECT_TRUE(settled.row);
}

TEST_F(MsaHandOver, AFailedQueryShowsVideoInvalidOnce) {
    ASSERT_TRUE(Hand(Record(0x01, 0x21, 0)).row);
    const auto view = Hand(msarecord_t{});  // a failed query hands over zeros
    EXPECT_EQ(view.unstable, LampState::Off);
    EXPECT_EQ(view.videoValid, LampState::Off);
    ASSERT_TRUE(view.row);
    EXPECT_EQ(*view.row, QStringList({"14:05:09", "Video invalid"}));
    EXPECT_FALSE(Hand(msarecord_t{}).changed);
}

TEST_F(MsaHandOver, ANonZeroStatusWithoutTheValidBitIsStillDecoded) {
    const auto view = Hand(Record(0x04, 0x4C, 0));
    EXPECT_EQ(view.videoValid, LampState::Off);
    ASSERT_TRUE(view.row);
    EXPECT_EQ(view.row->mid(1), MsaRowCells(Record(0x04, 0x4C, 0)));
}

TEST(MsaLogText, HeaderAndRowsSeparatedByLineFeedsWithoutAFinalBreak) {
    const QList<QStringList> rows = {
        QStringList{"10:00:00"} << MsaRowCells(Record(1, 0x21, 0)),
        {"10:00:01", "Video invalid"},
    };
    const QString expected =
        "Selvitra\nMain stream attributes (MSA)\n\n"
        "Time stamp;CLK;FORMAT;RANGE;COLORIMETRY;BPC;MODE;HSTART;HTOT;HACT;HS POL;HSYNC;VSTART;VTOT;VACT;VS "
        "POL;VSYNC;\n"
        "10:00:00;Sync;RGB;VESA;ITU-R BT601-5;8;Prog;192;2200;1920;Pos;44;41;1125;1080;Pos;5;\n"
        "10:00:01;Video invalid;";
    EXPECT_EQ(selvitra::MsaLogText(rows), expected);
}

TEST(MsaLogText, AnEmptyLogIsTheHeaderAlone) {
    EXPECT_EQ(selvitra::MsaLogText({}),
              "Selvitra\nMain stream attributes (MSA)\n\n"
              "Time stamp;CLK;FORMAT;RANGE;COLORIMETRY;BPC;MODE;HSTART;HTOT;HACT;HS POL;HSYNC;VSTART;VTOT;VACT;VS "
              "POL;VSYNC;");
}

}  // namespace
