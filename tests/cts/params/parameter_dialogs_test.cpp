#include <gtest/gtest.h>

#include <string>

#include "cts/params/AudioCaps.h"
#include "cts/params/MostPackedTimings.h"

namespace {

AudioSupportChoice Choice(std::initializer_list<int> rates, std::initializer_list<int> sizes, int channels,
                          bool aif = false, bool withoutVideo = false, bool sawtooth = false) {
    AudioSupportChoice c;
    for (int r : rates) c.sampleRates[static_cast<size_t>(r)] = true;
    for (int s : sizes) c.sampleSizes[static_cast<size_t>(s)] = true;
    c.lpcmChannels = channels;
    c.infoFrame = aif;
    c.audioWithoutVideo = withoutVideo;
    c.sawtoothPattern = sawtooth;
    return c;
}

}  // namespace

TEST(AudioCaps, BytesOfAChoice) {
    struct Case {
        const char* name;
        AudioSupportChoice choice;
        AudioCaps::Bytes bytes;
        const char* rates;
        const char* sizes;
    };
    const Case cases[] = {
        {"44.1 and 96 kHz, 16 and 24 bps, 6 channels",
         Choice({1, 4}, {0, 2}, 6, true, false, true),
         {0x12, 0x65, 0x05},
         "44.1 kHz, 96 kHz",
         "16 bps, 24 bps"},
        {"everything",
         Choice({0, 1, 2, 3, 4, 5, 6}, {0, 1, 2}, 8, true, true, true),
         {0x7F, 0x87, 0x07},
         "32 kHz, 44.1 kHz, 48 kHz, 88.2 kHz, 96 kHz, 176.4 kHz, 192 kHz",
         "16 bps, 20 bps, 24 bps"},
        {"32 kHz, 16 bps, without video", Choice({0}, {0}, 2, false, true), {0x01, 0x21, 0x02}, "32 kHz", "16 bps"},
        {"channels kept in 2..8 (high)", Choice({2}, {0}, 12), {0x04, 0x81, 0x00}, "48 kHz", "16 bps"},
        {"channels kept in 2..8 (low)", Choice({2}, {0}, 0), {0x04, 0x21, 0x00}, "48 kHz", "16 bps"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AudioCaps::Refusal(c.choice), nullptr) << c.name;
        const AudioCaps::Bytes bytes = AudioCaps::Encode(c.choice);
        EXPECT_EQ(bytes, c.bytes) << c.name;
        EXPECT_EQ(AudioCaps::SampleRatesText(bytes), c.rates) << c.name;
        EXPECT_EQ(AudioCaps::SampleSizesText(bytes), c.sizes) << c.name;
        EXPECT_EQ(AudioCaps::Encode(AudioCaps::Decode(bytes)), bytes) << c.name;
    }
}

TEST(AudioCaps, AcceptRefusesWithoutABaseRateOr16Bits) {
    EXPECT_STREQ(AudioCaps::Refusal(Choice({6}, {0}, 2)),
                 "You must select at least one of samplerates 32 kHz, 44.1 kHz or 48 kHz");
    EXPECT_STREQ(AudioCaps::Refusal(Choice({}, {}, 2)),
                 "You must select at least one of samplerates 32 kHz, 44.1 kHz or 48 kHz");
    EXPECT_STREQ(AudioCaps::Refusal(Choice({1}, {1, 2}, 2)), "The sample size '16 bps' is required");
    EXPECT_EQ(AudioCaps::Refusal(Choice({1}, {0}, 2)), nullptr);
}

TEST(AudioCaps, StartBytesAndTheHeaderValuesTheyGive) {
    const AudioCaps::Bytes start = AudioCaps::kStart;
    EXPECT_EQ(start, (AudioCaps::Bytes{4, 33, 1}));
    EXPECT_EQ(AudioCaps::Decode(start), Choice({2}, {0}, 2, true));
    EXPECT_EQ(AudioCaps::SampleRatesText(start), "48 kHz");
    EXPECT_EQ(AudioCaps::SampleSizesText(start), "16 bps");
    EXPECT_EQ(AudioCaps::Channels(start), 2);
    EXPECT_EQ(AudioCaps::InfoFrame(start), 1);
    EXPECT_EQ(AudioCaps::AudioWithoutVideo(start), 0) << "what the start bytes send";
    EXPECT_EQ(AudioCaps::SawtoothPattern(start), 0);
    // Bytes loaded from a settings file with reserved bits set show only the defined ones.
    const AudioCaps::Bytes loaded = {0xC4, 0x39, 0xFA};
    EXPECT_EQ(AudioCaps::SampleRatesText(loaded), "48 kHz, 192 kHz");
    EXPECT_EQ(AudioCaps::SampleSizesText(loaded), "16 bps");
    EXPECT_EQ(AudioCaps::Channels(loaded), 3);
    EXPECT_EQ(AudioCaps::InfoFrame(loaded), 0);
    EXPECT_EQ(AudioCaps::AudioWithoutVideo(loaded), 1);
    EXPECT_EQ(AudioCaps::SawtoothPattern(loaded), 0);
}

TEST(MostPackedTimings, ListsAndTableIndexes) {
    using M = MostPackedTimings;
    struct Case {
        M::Lanes lanes;
        int32_t first, rows, start;
        const char* label;
    };
    const Case cases[] = {{M::kOneLane, 0, 4, 2, "Most packed timing for 1 lane:"},
                          {M::kTwoLanes, 4, 7, 4, "Most packed timing for 2 lanes:"},
                          {M::kFourLanes, 11, 3, 12, "Most packed timing for 4 lanes:"}};
    int32_t total = 0;
    for (const Case& c : cases) {
        const M::LaneList& list = M::Lists()[c.lanes];
        EXPECT_EQ(list.firstIndex, c.first);
        EXPECT_EQ(list.rowCount, c.rows);
        EXPECT_EQ(list.startIndex, c.start);
        EXPECT_STREQ(list.label, c.label);
        for (int32_t index = -1; index <= M::kCount; ++index) {
            EXPECT_EQ(M::IsIndexOfList(c.lanes, index), index >= c.first && index < c.first + c.rows)
                << c.label << ' ' << index;
        }
        total += list.rowCount;
    }
    EXPECT_EQ(total, M::kCount);
    EXPECT_EQ(M::TableIndex(M::kTwoLanes, 6), 10);
    EXPECT_EQ(M::TableIndex(M::kFourLanes, 1), 12);
}

TEST(MostPackedTimings, TableRows) {
    const auto& t = MostPackedTimings::Table();
    auto row = [](const MostPackedTiming& m) {
        return std::string(m.standard) + ' ' + m.hRes + 'x' + m.vRes + ' ' + m.refreshRate + ' ' + m.scan + ' ' +
               m.blanking + ' ' + m.bpp + ' ' + m.packingRatio;
    };
    EXPECT_EQ(row(t[0]), "CVT 1280x800 60 Progressive Reduced 18 99%");
    EXPECT_EQ(row(t[2]), "DMT 800x600 60.317 Progressive Normal 30 93%");
    EXPECT_EQ(row(t[4]), "DMT 1280x1024 60 Progressive Normal 24 100%");
    EXPECT_EQ(row(t[10]), "CVT 1600x1200 60 Progressive Reduced 18 90%");
    EXPECT_EQ(row(t[11]), "CVT 2048x1536 60 Progressive Reduced 24 97%");
    EXPECT_EQ(row(t[13]), "DMT 1600x1200 60 Progressive Normal 30 94%");
    const char* columns[] = {"Standard",      "H-Res", "V-Res",        "Refresh rate", "Interlace/Progressive",
                             "Blanking mode", "bpp",   "Packing ratio"};
    for (size_t i = 0; i < 8; ++i) EXPECT_STREQ(MostPackedTimings::ColumnCaptions()[i], columns[i]);
}
