// SDP capture: the cells of a packet, the time stamps of bursts, and the
// clipboard text of the log.
#include <gtest/gtest.h>

#include "sinkmonitor/QtPrint.h"
#include "sinkmonitor/pages/SdpDecode.h"

namespace {

using selvitra::DecodeSdpPacket;
using selvitra::SdpBurst;
using selvitra::SdpRowCells;

// A record whose payload bytes count up from 0x01, so a cut shows at once.
sdprecord_t Packet(uint8_t status, uint8_t type = 0x82, uint8_t size = 13, uint8_t id = 0x00, uint8_t version = 0x02) {
    sdprecord_t r{};
    r[0] = status;
    r[1] = type;
    r[2] = id;
    r[3] = version;
    r[4] = size;
    for (size_t i = 5; i < r.size(); ++i) r[i] = uint8_t(i - 4);
    return r;
}

QString CountingBytes(int n) {
    QStringList bytes;
    for (int i = 1; i <= n; ++i) bytes << QStringLiteral("%1").arg(i, 2, 16, QChar(u'0')).toUpper();
    return bytes.join(u' ');
}

TEST(SdpTypeText, KnownTypesCarryTheirNameOthersTheCodeAlone) {
    const std::pair<uint8_t, const char*> cases[] = {
        {0x04, "0x04 (EXT)"}, {0x81, "0x81 (VSI)"}, {0x82, "0x82 (AVI)"}, {0x83, "0x83 (SPD)"},
        {0x84, "0x84 (AIF)"}, {0x85, "0x85 (MPG)"}, {0x00, "0x00"},       {0x07, "0x07"},
        {0x80, "0x80"},       {0x86, "0x86"},       {0xAB, "0xAB"},
    };
    for (const auto& [type, text] : cases) EXPECT_EQ(selvitra::SdpTypeText(type), text);
}

TEST(SdpRowCells, ShowsSizeBytesOfThePayloadAtMostTwentyEight) {
    const struct {
        uint8_t size;
        int shown;
    } cases[] = {{13, 13}, {0, 0}, {1, 1}, {28, 28}, {29, 28}, {40, 28}, {255, 28}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "size " << int(c.size));
        const auto cells = SdpRowCells(Packet(1, 0x82, c.size, 0x0A, 0xFF));
        ASSERT_EQ(cells.size(), 5);
        EXPECT_EQ(cells[0], "0x82 (AVI)");
        EXPECT_EQ(cells[1], "0x0A");
        EXPECT_EQ(cells[2], "0xFF");
        EXPECT_EQ(cells[3], QString::number(c.size));
        EXPECT_EQ(cells[4], CountingBytes(c.shown));
    }
}

TEST(SdpRowCells, AnUnknownTypeKeepsOneCellPerColumn) {
    const auto cells = SdpRowCells(Packet(1, 0x07, 2));
    EXPECT_EQ(cells, QStringList({"0x07", "0x00", "0x02", "2", "01 02"}));
}

// A sequence of hand-overs, each at its own time, and the time stamp each
// row gets (empty: no row).
struct BurstCase {
    const char* name;
    std::vector<uint8_t> statuses;
    std::vector<const char*> stamps;
};

TEST(DecodeSdpPacket, PacketsOfOneBurstShareTheTimeStampOfItsFirst) {
    const BurstCase cases[] = {
        {"2, 2, 1: the last packet gets its own", {2, 2, 1}, {"10:00:00", "10:00:00", "10:00:02"}},
        {"1, 1: each on its own", {1, 1}, {"10:00:00", "10:00:01"}},
        {"status 0 ends a burst", {2, 0, 2, 2}, {"10:00:00", "", "10:00:02", "10:00:02"}},
        {"the capped eleventh hand-over ends a burst", {2, 2, 0, 2}, {"10:00:00", "10:00:00", "", "10:00:03"}},
        {"1 then a new burst", {1, 2, 2, 1}, {"10:00:00", "10:00:01", "10:00:01", "10:00:03"}},
        {"an undefined status starts no burst", {3, 3, 2, 2}, {"10:00:00", "10:00:01", "10:00:02", "10:00:02"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SdpBurst burst;
        for (size_t i = 0; i < c.statuses.size(); ++i) {
            const auto row = DecodeSdpPacket(Packet(c.statuses[i]), burst, QTime(10, 0, int(i)));
            if (*c.stamps[i] == '\0') {
                EXPECT_FALSE(row) << "hand-over " << i;
                continue;
            }
            ASSERT_TRUE(row) << "hand-over " << i;
            EXPECT_EQ(row->front(), c.stamps[i]) << "hand-over " << i;
            EXPECT_EQ(row->mid(1), SdpRowCells(Packet(c.statuses[i])));
        }
    }
}

TEST(DecodeSdpPacket, TheBurstStateOutlivesAClearOfTheLog) {
    SdpBurst burst;
    ASSERT_TRUE(DecodeSdpPacket(Packet(2), burst, QTime(9, 0, 0)));
    // The log is cleared between two packets of one burst; the state is kept.
    const auto row = DecodeSdpPacket(Packet(2), burst, QTime(9, 0, 5));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->front(), "09:00:00");
}

TEST(SdpLogText, HeaderAndRowsSeparatedByLineFeedsWithoutAFinalBreak) {
    const QList<QStringList> rows = {
        QStringList{"10:00:00"} << SdpRowCells(Packet(2, 0x84, 3)),
        QStringList{"10:00:00"} << SdpRowCells(Packet(1, 0x04, 0)),
    };
    EXPECT_EQ(selvitra::SdpLogText(rows),
              "Selvitra\nSecondary data packets (SDP)\n\n"
              "Time stamp;Type;ID;Version;Size;Data;\n"
              "10:00:00;0x84 (AIF);0x00;0x02;3;01 02 03;\n"
              "10:00:00;0x04 (EXT);0x00;0x02;0;;");
    EXPECT_EQ(selvitra::SdpLogText({}),
              "Selvitra\nSecondary data packets (SDP)\n\nTime stamp;Type;ID;Version;Size;Data;");
}

}  // namespace
