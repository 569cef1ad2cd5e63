#include <gtest/gtest.h>

#include <QString>
#include <set>
#include <string>

#include "cts/catalogue/TestCatalogue.h"
#include "platform/Windows1252.h"

namespace {

bool IsAscii(const std::string& s) {
    for (unsigned char c : s) {
        if (c >= 0x80) return false;
    }
    return true;
}

}  // namespace

TEST(TestCatalogue, FourGroupsWithTheirPagesOffsetsAndPanels) {
    struct Expected {
        const char* caption;
        int32_t offset;
        int32_t count;
        const char* panel;
    };
    const Expected expected[] = {
        {"Link Layer Tests", 0, 35, "PNL_DUTCaps_SourceTest"},
        {"Audio Tests", 64, 5, "PNL_AudioDutCaps"},
        {"HDCP Tests (for Transmitters)", 128, 16, "PNL_DUTCaps_HDCPTest"},
        {"HDCP Tests (for Repeaters)", 144, 9, "PNL_DUTCaps_HDCPTest"},
    };
    const auto& groups = TestCatalogue::Groups();
    int total = 0;
    for (size_t i = 0; i < groups.size(); ++i) {
        EXPECT_STREQ(groups[i].caption, expected[i].caption);
        EXPECT_EQ(groups[i].idOffset, expected[i].offset);
        EXPECT_EQ(groups[i].TestCount(), expected[i].count) << expected[i].caption;
        EXPECT_STREQ(groups[i].sidePanel, expected[i].panel);
        EXPECT_EQ(TestCatalogue::GroupByCaption(QString::fromLatin1(expected[i].caption)), &groups[i]);
        total += groups[i].TestCount();
    }
    EXPECT_EQ(total, 65);
    EXPECT_EQ(TestCatalogue::GroupByCaption("Link Training"), nullptr);
    EXPECT_EQ(TestCatalogue::GroupByCaption("E-EDID"), nullptr);
    EXPECT_EQ(TestCatalogue::GroupByCaption("audio tests"), nullptr);
}

TEST(TestCatalogue, IdsAndNames) {
    struct Case {
        int32_t id;
        const char* name;  // nullptr: unused ID
    };
    const Case cases[] = {
        {0, nullptr},
        {1, "(4.2.1.1) Source DUT Retry on No-Reply During Aux Read after Hot Plug Event"},
        {21, "(4.3.1.10) Unsuccessful Link Training due to Failure in Channel Equalization Sequence (loop count > 5)"},
        {28, "(4.3.3.1) Video Time Stamp Generation"},
        {30, "(4.4.1.2) Main Stream Data Packing and Stuffing \x96 Least Packed TU"},
        {31, "(4.4.1.3) Main Stream Data Packing and Stuffing \x96 Most Packed TU"},
        {35, "(7.1.1.2) Additional DPCD Handling Test 2"},
        {36, nullptr},
        {64, nullptr},
        {65, "(4.4.4.2) Audio Stream Header Synchronization"},
        {69, "(4.4.4.6) Audio Start Sequence"},
        {70, nullptr},
        {128, nullptr},
        {129, "(1A-01) Regular Procedure: With Receiver"},
        {134, "(1A-06) Irregular Procedure: (First Part of Authentication) Verify R0\x92"},
        {140, "(1B-03) Regular Procedure: HPD After Reading R0'"},
        {142, "(1B-05) Irregular Procedure: (Second part of Authentication) Verify V'"},
        {144, "(1B-07) Irregular Procedure: (Second part of Authentication) MAX_CASCADE_EXCEEDED"},
        {145, "(3A-01) Regular Procedure: With Receiver"},
        {148, "(3A-04) Irregular Procedure: (First part of Authentication) Verify R0'"},
        {151, "(3B-03) Irregular Procedure: (Second part of Authentication) Verify V'"},
        {153, "(3B-05) Irregular Procedure: (Second part of Authentication) MAX_CASCADE_EXCEEDED"},
        {154, nullptr},
        {-1, nullptr},
    };
    for (const Case& c : cases) {
        const char* name = TestCatalogue::TestName(c.id);
        if (!c.name) {
            EXPECT_EQ(name, nullptr) << c.id;
            EXPECT_EQ(TestCatalogue::GroupOfTest(c.id), nullptr) << c.id;
        } else {
            ASSERT_NE(name, nullptr) << c.id;
            EXPECT_EQ(std::string(name), std::string(c.name)) << c.id;
        }
    }
}

TEST(TestCatalogue, OnlyThreeNamesLeaveAsciiAndTheyShowTheirPunctuation) {
    std::set<std::string> names;
    for (const TestGroup& group : TestCatalogue::Groups()) {
        for (int32_t row = 1; row <= group.TestCount(); ++row) {
            const int32_t id = group.TestId(row);
            const std::string name = TestCatalogue::TestName(id);
            EXPECT_EQ(TestCatalogue::GroupOfTest(id), &group);
            EXPECT_EQ(IsAscii(name), id != 30 && id != 31 && id != 134) << id;
            names.insert(name);
        }
    }
    EXPECT_EQ(names.size(), 65u) << "every name differs";
    EXPECT_TRUE(platform::FromWindows1252(TestCatalogue::TestName(30)).contains(QChar(0x2013)));
    EXPECT_TRUE(platform::FromWindows1252(TestCatalogue::TestName(134)).endsWith(QChar(0x2019)));
}

TEST(TestCatalogue, ConnectionDiagramAndPreparations) {
    const std::pair<int32_t, int> cases[] = {{128, -1}, {129, 0}, {137, 0}, {138, 1},  {144, 1}, {145, 2},
                                             {148, 2},  {149, 3}, {153, 3}, {154, -1}, {1, -1},  {65, -1}};
    for (const auto& [id, picture] : cases) EXPECT_EQ(TestCatalogue::ConnectionImageIndex(id), picture) << id;
    for (int32_t id = 0; id < 160; ++id) {
        EXPECT_EQ(TestCatalogue::NeedsTimeStampConfig(id), id == 28) << id;
        EXPECT_EQ(TestCatalogue::NeedsColorimetry(id), id == 29 || id == 30) << id;
    }
}
