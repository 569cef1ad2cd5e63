#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "cts/catalogue/TestCatalogue.h"
#include "cts/catalogue/TestListCells.h"

namespace {

std::unique_ptr<UCTSTest> RecordWith(int32_t id, int passes, int fails, int skips, int timeouts) {
    auto t = std::make_unique<UCTSTest>(id, "", 1);
    auto finish = [&](uint8_t code) {
        TestResultRecord r;
        r.Data()[0] = code;
        t->StartRun();
        t->FinishRun(r);
    };
    for (int i = 0; i < passes; ++i) finish(kResultPassed);
    for (int i = 0; i < fails; ++i) finish(kResultFailed);
    for (int i = 0; i < skips; ++i) finish(kResultSkipped);
    for (int i = 0; i < timeouts; ++i) finish(kResultTimedOut);
    finish(kResultGoOn);  // counted as a run only
    return t;
}

using Cells = TestListCells::CounterTexts;

}  // namespace

TEST(TestListCells, Columns) {
    const char* captions[] = {"ID", "Test Name", "Pass", "Fail", "Skip", "Timeout", "Run", "Status"};
    const int widths[] = {25, TestListCells::kWidthFill, 35, 35, 35, TestListCells::kWidthDefault, 35, 45};
    const auto& columns = TestListCells::Columns();
    for (int i = 0; i < TestListCells::kColumnCount; ++i) {
        EXPECT_STREQ(columns[i].caption, captions[i]);
        EXPECT_EQ(columns[i].width, widths[i]) << captions[i];
    }
}

TEST(TestListCells, AFreshRowShowsTheRowNumberNotTheTestId) {
    const TestGroup& audio = TestCatalogue::Groups()[TestCatalogue::kAudio];
    EXPECT_EQ(TestListCells::FreshRow(audio, 0),
              QStringList({"1", "(4.4.4.2) Audio Stream Header Synchronization", "0", "0", "0", "0", "0", "Idle"}));
    EXPECT_EQ(TestListCells::FreshRow(audio, 4)[0], "5");
    const TestGroup& link = TestCatalogue::Groups()[TestCatalogue::kLinkLayer];
    EXPECT_EQ(TestListCells::FreshRow(link, 30)[1],
              QString::fromUtf8("(4.4.1.3) Main Stream Data Packing and Stuffing \u2013 Most Packed TU"));
    EXPECT_EQ(TestListCells::StatusText(true), "Run");
    EXPECT_EQ(TestListCells::StatusText(false), "Idle");
}

TEST(TestListCells, CountersLandInTheRowOfTheirTestOnItsOwnPageOnly) {
    std::vector<std::unique_ptr<UCTSTest>> records;
    records.push_back(RecordWith(3, 2, 1, 0, 0));
    records.push_back(RecordWith(65, 1, 0, 0, 0));
    records.push_back(RecordWith(145, 0, 2, 1, 3));
    const Cells zero = {"0", "0", "0", "0", "0"};

    const auto link = TestListCells::CounterCells(records, 0, 35);
    ASSERT_EQ(link.size(), 35u);
    EXPECT_EQ(link[2], (Cells{"2", "1", "0", "0", "4"}));
    for (size_t row = 0; row < link.size(); ++row) {
        if (row != 2) {
            EXPECT_EQ(link[row], zero) << row;
        }
    }

    const auto audio = TestListCells::CounterCells(records, 64, 5);
    EXPECT_EQ(audio[0], (Cells{"1", "0", "0", "0", "2"})) << "test 65 fills row 1";

    // Test 145 would be row 17 of the transmitter page, which has 16 rows.
    for (const Cells& cells : TestListCells::CounterCells(records, 128, 16)) EXPECT_EQ(cells, zero);
    const auto repeater = TestListCells::CounterCells(records, 144, 9);
    EXPECT_EQ(repeater[0], (Cells{"0", "2", "1", "3", "7"}));
}

TEST(TestListCells, RowOfTest) {
    struct Case {
        int32_t id, offset;
        int rows, row;
    };
    const Case cases[] = {{1, 0, 35, 0},      {35, 0, 35, 34},    {36, 0, 35, -1},  {65, 64, 5, 0},  {64, 64, 5, -1},
                          {145, 128, 16, -1}, {144, 128, 16, 15}, {145, 144, 9, 0}, {65, 0, 35, -1}, {1, 64, 5, -1}};
    for (const Case& c : cases) EXPECT_EQ(TestListCells::RowOfTest(c.id, c.offset, c.rows), c.row) << c.id;
}
