#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "cts/params/TestParameterBlock.h"

namespace {

using Block = std::array<uint8_t, TestParameterBlock::kSize>;

Block Built(const TestParameterInputs& in) {
    const TestParameterBlock::Build build = TestParameterBlock::FromInputs(in);
    EXPECT_TRUE(build.Ok()) << build.message;
    return build.block;
}

std::string Hex(const Block& b) {
    std::string s;
    char part[4];
    for (uint8_t v : b) {
        std::snprintf(part, sizeof part, "%02X ", v);
        s += part;
    }
    return s;
}

}  // namespace

TEST(TestParameterBlock, TheStartValuesOfTheControls) {
    const TestParameterInputs in;
    const TestParameterBlock::Build build = TestParameterBlock::FromInputs(in);
    ASSERT_TRUE(build.Ok());
    // 1 lane, 1.62 Gbps, all automation on with event item 3 (Active Video),
    // HPD delays 700 and 0, timings 2/4/12, main link disable 2000 ms, audio 4 33 1.
    const Block expected = {0, 1, 0, 0x06, 0, 0x7F, 0, 0, 0x02, 0xBC, 0x00, 0x00, 2, 4, 12, 0x07, 0xD0, 4, 33, 1};
    EXPECT_EQ(Hex(build.block), Hex(expected));
    EXPECT_EQ(build.extraTimeout100ms, 20);
}

TEST(TestParameterBlock, EachControlSetsItsOwnBitOnly) {
    struct Case {
        const char* name;
        std::function<void(TestParameterInputs&)> set;
        size_t byte;
        uint8_t bit;
    };
    auto none = [] {
        TestParameterInputs in;
        in.testLinkTraining = in.testEdidRead = in.testVideoPattern = in.testTiming = in.testAudioPattern = false;
        return in;
    };
    const Case cases[] = {
        {"TEST_LINK_TRAINING", [](auto& in) { in.testLinkTraining = true; }, 5, 0x01 | 0x18},
        {"TEST_EDID_READ", [](auto& in) { in.testEdidRead = true; }, 5, 0x02 | 0x18},
        {"TEST_VIDEO_PATTERN", [](auto& in) { in.testVideoPattern = true; }, 5, 0x04 | 0x18},
        {"TEST_TIMING", [](auto& in) { in.testTiming = true; }, 5, 0x20},
        {"TEST_AUDIO_PATTERN", [](auto& in) { in.testAudioPattern = true; }, 5, 0x40},
        {"CH_HDCP_0", [](auto& in) { in.hdcpCaps[0] = true; }, 6, 0x01},
        {"CH_HDCP_1", [](auto& in) { in.hdcpCaps[1] = true; }, 6, 0x02},
        {"CH_HDCP_2", [](auto& in) { in.hdcpCaps[2] = true; }, 6, 0x04},
        {"CH_HDCP_3", [](auto& in) { in.hdcpCaps[3] = true; }, 6, 0x08},
        {"CB_SCC_IfMaxDownSpread", [](auto& in) { in.sscIfMaxDownSpread = true; }, 6, 0x10},
        {"CH_VFCWOLT", [](auto& in) { in.videoFormatChangeWithoutLt = true; }, 7, 0x01},
        {"CH_LCRWOLT", [](auto& in) { in.laneCountReductionWithoutLt = true; }, 7, 0x02},
        {"CB_SpreadSpectrum", [](auto& in) { in.spreadSpectrum = true; }, 7, 0x04},
        {"CH_EDDC", [](auto& in) { in.eddc = true; }, 7, 0x08},
        {"CH_DriveLevel", [](auto& in) { in.driveLevel3 = true; }, 7, 0x10},
        {"CH_PreEmphasis", [](auto& in) { in.preEmphasis3 = true; }, 7, 0x20},
        {"CH_FixedTiming", [](auto& in) { in.fixedTiming = true; }, 7, 0x40},
        {"Show print packets", [](auto& in) { in.showPrintPackets = true; }, 7, 0x80},
    };
    const Block base = Built(none());
    EXPECT_EQ(base[5], 0) << "no automation: the event choice does not count";
    EXPECT_EQ(base[6], 0);
    EXPECT_EQ(base[7], 0);
    for (const Case& c : cases) {
        TestParameterInputs in = none();
        c.set(in);
        Block expected = base;
        expected[c.byte] = c.bit;
        EXPECT_EQ(Hex(Built(in)), Hex(expected)) << c.name;
    }
}

TEST(TestParameterBlock, ControlValues) {
    struct Case {
        const char* name;
        std::function<void(TestParameterInputs&)> set;
        std::array<std::pair<size_t, uint8_t>, 2> bytes;
        int32_t extraTimeout;
    };
    const Case cases[] = {
        {"2 lanes", [](auto& in) { in.laneCountItem = 1; }, {{{1, 2}, {1, 2}}}, 20},
        {"4 lanes, 2.7 Gbps", [](auto& in) { in.laneCountItem = 2, in.linkRateItem = 1; }, {{{1, 4}, {3, 0x0A}}}, 20},
        {"event EDID read", [](auto& in) { in.eventItem = 1; }, {{{5, 0x6F}, {5, 0x6F}}}, 20},
        {"event None", [](auto& in) { in.eventItem = 0; }, {{{5, 0x67}, {5, 0x67}}}, 20},
        {"no event item", [](auto& in) { in.eventItem = -1; }, {{{5, 0x7F}, {5, 0x7F}}}, 20},
        {"only TEST_EDID_READ enables the event",
         [](auto& in) { in.testLinkTraining = in.testVideoPattern = false, in.eventItem = 2; },
         {{{5, 0x02 | 0x10 | 0x60}, {5, 0x72}}},
         20},
        {"HPD low 20000", [](auto& in) { in.afterHpdLowMs = 20000; }, {{{8, 0x4E}, {9, 0x20}}}, 20},
        {"HPD low 5", [](auto& in) { in.afterHpdLowMs = 5; }, {{{8, 0x00}, {9, 0x05}}}, 20},
        {"HPD high 1290", [](auto& in) { in.afterHpdHighMs = 1290; }, {{{10, 0x05}, {11, 0x0A}}}, 20},
        {"timings 0, 10, 13",
         [](auto& in) { in.lane1Index = 0, in.lane2Index = 10, in.lane4Index = 13; },
         {{{12, 0}, {13, 10}}},
         20},
        {"main link disable 20000",
         [](auto& in) { in.mainLinkDisableTimeoutMs = 20000; },
         {{{15, 0x4E}, {16, 0x20}}},
         200},
        {"main link disable 100", [](auto& in) { in.mainLinkDisableTimeoutMs = 100; }, {{{15, 0x00}, {16, 0x64}}}, 1},
        {"HDCP page, 10.5 s",
         [](auto& in) { in.hdcpPage = true, in.authenticationStartTenths = 105; },
         {{{15, 0x29}, {16, 0x04}}},
         105},
        {"HDCP page, 32.3 s",
         [](auto& in) { in.hdcpPage = true, in.authenticationStartTenths = 323; },
         {{{15, 0x7E}, {16, 0x2C}}},
         323},
        {"HDCP page, 64.0 s",
         [](auto& in) { in.hdcpPage = true, in.authenticationStartTenths = 640; },
         {{{15, 0xFA}, {16, 0x00}}},
         640},
        {"audio bytes",
         [](auto& in) {
             in.audioCaps = {0x12, 0x65, 0x06};
         },
         {{{17, 0x12}, {18, 0x65}}},
         20},
    };
    for (const Case& c : cases) {
        TestParameterInputs in;
        c.set(in);
        const TestParameterBlock::Build build = TestParameterBlock::FromInputs(in);
        ASSERT_TRUE(build.Ok()) << c.name;
        for (const auto& [at, value] : c.bytes) EXPECT_EQ(build.block[at], value) << c.name << ", byte " << at;
        EXPECT_EQ(build.extraTimeout100ms, c.extraTimeout) << c.name;
        EXPECT_EQ(TestParameterBlock::ExtraTimeout100ms(in), c.extraTimeout) << c.name;
    }
}

TEST(TestParameterBlock, TheHdcpTimeOutFollowsTheEditsText) {
    // The window reads the edit's text into the up-down position before the build.
    for (const auto& [text, high, low, extra] :
         {std::tuple{"32.3", 0x7E, 0x2C, 323}, std::tuple{"10.5", 0x29, 0x04, 105},
          std::tuple{"10.59", 0x29, 0x04, 105}}) {
        TestParameterInputs in;
        in.hdcpPage = true;
        in.authenticationStartTenths = AuthenticationStartTimeout::PositionForText(text, 100);
        const TestParameterBlock::Build build = TestParameterBlock::FromInputs(in);
        EXPECT_EQ(build.block[15], high) << text;
        EXPECT_EQ(build.block[16], low) << text;
        EXPECT_EQ(build.extraTimeout100ms, extra) << text;
    }
}

TEST(TestParameterBlock, WithoutLaneCountOrLinkRateNothingIsBuilt) {
    struct Case {
        int lane, rate;
        const char* message;
    };
    const Case cases[] = {{-1, 0, "Choose a max lane count first"},
                          {-1, -1, "Choose a max lane count first"},
                          {3, 0, "Choose a max lane count first"},
                          {0, -1, "Choose a max link rate first"},
                          {2, 2, "Choose a max link rate first"}};
    for (const Case& c : cases) {
        TestParameterInputs in;
        in.laneCountItem = c.lane;
        in.linkRateItem = c.rate;
        const TestParameterBlock::Build build = TestParameterBlock::FromInputs(in);
        ASSERT_FALSE(build.Ok());
        EXPECT_STREQ(build.message, c.message);
        EXPECT_EQ(build.block, Block{});
    }
}

TEST(TestParameterBlock, ComboItems) {
    EXPECT_STREQ(TestParameterBlock::kLaneCountItems[0], "1 Lane");
    EXPECT_STREQ(TestParameterBlock::kLaneCountItems[1], "2 Lanes");
    EXPECT_STREQ(TestParameterBlock::kLaneCountItems[2], "4 Lanes");
    EXPECT_STREQ(TestParameterBlock::kLinkRateItems[0], "Low 1.62 Gbps");
    EXPECT_STREQ(TestParameterBlock::kLinkRateItems[1], "High 2.7 Gbps");
}
