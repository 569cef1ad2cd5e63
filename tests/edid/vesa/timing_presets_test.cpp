// The detailed timing presets of this build: table sizes, the rows whose
// bytes are fixed, and the conventions every computed row follows.

#include "edid/BuildOptions.h"
#include "edid/vesa/TimingPresets.h"
#include "support/EdidFixtures.h"

#include <QRegularExpression>
#include <QString>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Known {
    bool vesa;
    int row;
    const char* name;
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> Hex(const char* text) {
    std::vector<uint8_t> out;
    for (const QString& part : QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        out.push_back(static_cast<uint8_t>(part.toUInt(nullptr, 16)));
    return out;
}

std::vector<Known> KnownRows() {
    if (edid_build::kSinkPresets) {
        return {
            {true, 0, "640 x 350p 85 Hz", Hex("4E 0C 80 C0 20 5E 5F 10 20 40 03 08 00 00 00 00 00 1A")},
            {true, 3, "640 x 480p 60 Hz", Hex("D5 09 80 A0 20 E0 2D 10 08 70 22 01 00 00 00 08 08 18")},
            {true, 72, "1920 x 1200p 60 Hz (CVT, RB)", Hex("28 3C 80 A0 70 B0 23 40 30 20 36 00 00 00 00 00 00 1A")},
            {false, 0, "640x480p 59.94 Hz", Hex("D5 09 80 A0 20 E0 2D 10 10 60 A2 00 00 00 00 00 00 18")},
            {false, 16, "1440x480i 59.94 Hz", Hex("8C 0A A0 14 51 F0 16 00 26 7C 43 00 00 00 00 00 00 98")},
            {false, 40, "1920x1080p 60 Hz", edid_fixtures::Dtd1080p()},
            {false, 62, "3840x2160p 60 Hz", Hex("08 E8 00 30 F2 70 5A 80 B0 58 8A 00 00 00 00 00 00 1E")},
        };
    }
    return {
        {true, 0, "640x480 60Hz No borders", Hex("D5 09 80 A0 20 E0 2D 10 10 60 A2 00 00 00 00 00 00 18")},
        {true, 4, "640x480 60Hz VESA", Hex("D5 09 80 A0 20 E0 2D 10 08 70 22 01 00 00 00 08 08 18")},
        {true, 13, "800x600 120Hz CVT RB", Hex("9D 1C 20 A0 30 58 24 20 30 20 34 00 00 00 00 00 00 1A")},
        {true, 15, "1024x768 43Hz LACED", Hex("8A 11 00 F0 40 00 31 30 08 B0 0D 01 00 00 00 00 00 9E")},
        {true, 72, "1920x1080 60Hz", edid_fixtures::Dtd1080p()},
        {true, 86, "2560x1600 120Hz CVT RB", Hex("EB D7 00 A0 A0 40 5E 60 30 20 36 00 00 00 00 00 00 1A")},
        {false, 1, "720X480P 59.94HZ/60HZ", Hex("8C 0A D0 8A 20 E0 2D 10 10 3E 96 00 00 00 00 00 00 18")},
        {false, 16, "720(1440)X480I 59.94HZ/60HZ", Hex("8C 0A A0 14 51 F0 16 00 26 7C 43 00 00 00 00 00 00 98")},
        {false, 33, "1920X1080I (1250 TOTAL) 50HZ", Hex("20 1C 80 80 71 1C 55 20 20 A8 75 04 00 00 00 00 00 9A")},
        {false, 35, "1920X1080P 59.94HZ/60HZ", edid_fixtures::Dtd1080p()},
    };
}

TEST(TimingPresets, TableSizesOfThisBuild) {
    EXPECT_EQ(kVesaTimingPresetCount, edid_build::kSinkPresets ? 86 : 87);
    EXPECT_EQ(kCeaTimingPresetCount, edid_build::kSinkPresets ? 63 : 49);
}

TEST(TimingPresets, FixedRowsByteForByte) {
    for (const Known& k : KnownRows()) {
        const TimingPreset& row = (k.vesa ? VesaTimingPresets : CeaTimingPresets)[k.row];
        EXPECT_STREQ(row.name, k.name) << (k.vesa ? "VESA " : "CEA ") << k.row;
        EXPECT_EQ(std::vector<uint8_t>(row.bytes, row.bytes + 18), k.bytes) << k.name;
    }
}

TEST(TimingPresets, NamesOfThisBuild) {
    if (edid_build::kSinkPresets) {
        EXPECT_STREQ(VesaTimingPresets[65].name, "1792 x 1344p 60_ Hz");
        EXPECT_STREQ(VesaTimingPresets[85].name, "2560 x 1600p 120 Hz (CVT, RB)");
        EXPECT_STREQ(CeaTimingPresets[36].name, "1920x1080i 50 Hz");
        EXPECT_STREQ(CeaTimingPresets[38].name, "1920x1080i 50 Hz");
    } else {
        EXPECT_STREQ(VesaTimingPresets[42].name, "1366x768 60Hz");
        EXPECT_STREQ(VesaTimingPresets[43].name, "1366x768 60Hz");
        EXPECT_STREQ(CeaTimingPresets[11].name, "720(1440)X240P 59.94HZ/60HZ ");
        EXPECT_STREQ(CeaTimingPresets[12].name, "720(1440)X240P 59.94HZ/60HZ ");
        EXPECT_STREQ(CeaTimingPresets[48].name, "2880X576P 50HZ");
    }
}

// Duplicate captions hold different timings.
TEST(TimingPresets, DuplicateNamesHoldDifferentTimings) {
    for (bool vesa : {true, false}) {
        const TimingPreset* table = vesa ? VesaTimingPresets : CeaTimingPresets;
        const int count = vesa ? kVesaTimingPresetCount : kCeaTimingPresetCount;
        for (int i = 0; i < count; ++i) {
            for (int j = i + 1; j < count; ++j) {
                if (std::strcmp(table[i].name, table[j].name) == 0) {
                    EXPECT_NE(std::memcmp(table[i].bytes, table[j].bytes, 18), 0) << table[i].name;
                }
            }
        }
    }
    if (!edid_build::kSinkPresets) {
        // 1366x768: 85.50 MHz and 72.00 MHz; 240p: 22 and 23 blanking lines.
        EXPECT_EQ(VesaTimingPresets[42].bytes[0] | (VesaTimingPresets[42].bytes[1] << 8), 8550);
        EXPECT_EQ(VesaTimingPresets[43].bytes[0] | (VesaTimingPresets[43].bytes[1] << 8), 7200);
        EXPECT_EQ(CeaTimingPresets[11].bytes[6], 22);
        EXPECT_EQ(CeaTimingPresets[12].bytes[6], 23);
    }
}

struct Decoded {
    int clock;  // 10 kHz
    int hActive, hBlank, vActive, vBlank;
    int hBorder, vBorder;
    bool interlaced;
};

Decoded Decode(const uint8_t* b) {
    return {b[0] | (b[1] << 8),
            b[2] | ((b[4] >> 4) << 8),
            b[3] | ((b[4] & 0x0F) << 8),
            b[5] | ((b[7] >> 4) << 8),
            b[6] | ((b[7] & 0x0F) << 8),
            b[15],
            b[16],
            (b[17] & 0x80) != 0};
}

// Width, height and refresh rate named in a caption of either build.
struct Named {
    int width = 0;
    int height = 0;
    double hz = 0;
    bool interlaced = false;
};

Named ParseName(const char* text) {
    static const QRegularExpression re(
        QStringLiteral(R"(^(?:\d+\()?(\d+)\)?\s*[xX]\s*(\d+)\s*([pPiI]?)\s*(?:\(1250 TOTAL\)\s*)?(\d+(?:\.\d+)?))"));
    Named n;
    const QString name = QString::fromLatin1(text);
    const QRegularExpressionMatch m = re.match(name);
    if (!m.hasMatch()) return n;
    n.width = m.captured(1).toInt();
    n.height = m.captured(2).toInt();
    n.interlaced =
        m.captured(3).compare(QStringLiteral("i"), Qt::CaseInsensitive) == 0 || name.contains(QStringLiteral("LACED"));
    n.hz = m.captured(4).toDouble();
    return n;
}

TEST(TimingPresets, EveryRowFollowsTheConventions) {
    for (bool vesa : {true, false}) {
        const TimingPreset* table = vesa ? VesaTimingPresets : CeaTimingPresets;
        const int count = vesa ? kVesaTimingPresetCount : kCeaTimingPresetCount;
        for (int i = 0; i < count; ++i) {
            const TimingPreset& row = table[i];
            SCOPED_TRACE(row.name);
            const uint8_t* b = row.bytes;
            const Decoded d = Decode(b);
            EXPECT_LE(std::strlen(row.name), 31u);
            EXPECT_NE(d.clock, 0);
            EXPECT_EQ(b[12] | b[13] | b[14], 0) << "image size";
            EXPECT_EQ(b[17] & 0x18, 0x18) << "digital separate sync";
            EXPECT_EQ(b[17] & 0x61, 0) << "no stereo";
            const std::string name = row.name;
            const bool bordered = name == "640x480 60Hz VESA" || name == "640x480 72Hz" || name == "640 x 480p 60 Hz" ||
                                  name == "640 x 480p 72 Hz";
            EXPECT_EQ(d.hBorder, bordered ? 8 : 0);
            EXPECT_EQ(d.vBorder, bordered ? 8 : 0);

            const Named n = ParseName(row.name);
            ASSERT_NE(n.width, 0) << "caption not understood";
            EXPECT_EQ(d.interlaced, n.interlaced);
            EXPECT_EQ(d.hActive, n.width);
            // Interlaced rows hold one field, except the frame row kept as it stands.
            const bool frameRow = vesa && !edid_build::kSinkPresets && i == 15;
            EXPECT_EQ(d.vActive, n.interlaced && !frameRow ? n.height / 2 : n.height);
            if (n.height == 768 && n.interlaced) continue;                            // 43 Hz names the frame rate
            if (name == "640x480 60Hz VESA" || name == "640 x 480p 60 Hz") continue;  // kept as it stands
            // Borders lie outside the addressable area and the blanking.
            const double rate = d.clock * 10000.0 /
                                ((d.hActive + d.hBlank + 2 * d.hBorder) * double(d.vActive + d.vBlank + 2 * d.vBorder));
            EXPECT_NEAR(rate, n.hz, n.hz * 0.015) << "refresh";
        }
    }
}

}  // namespace
