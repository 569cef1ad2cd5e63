#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cts/catalogue/TestResultRecord.h"
#include "cts/catalogue/UCTSTest.h"
#include "cts/report/HtmlText.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

// A record on clocks the test sets.
class TestRecordFixture : public ::testing::Test {
protected:
    RunClock Clock() {
        return RunClock{[this] { return tick_; }, [this] { return now_; }};
    }
    std::unique_ptr<UCTSTest> Make(int32_t id = 65, std::string label = "1 - (4.4.4.2) Audio", int32_t number = 1) {
        return std::make_unique<UCTSTest>(id, std::move(label), number, Clock());
    }
    static TestResultRecord Result(uint8_t code, uint8_t step = 0, uint8_t substep = 0, const char* text = "") {
        TestResultRecord r;
        r.Data()[0] = code;
        r.Data()[1] = 0xEE;
        r.Data()[2] = step;
        r.Data()[3] = substep;
        std::strncpy(reinterpret_cast<char*>(r.Data() + 4), text, 79);
        return r;
    }
    static std::vector<std::string> Tail(const UCTSTest& t, size_t n) {
        const auto& log = t.Log();
        return std::vector<std::string>(log.end() - static_cast<std::ptrdiff_t>(std::min(n, log.size())), log.end());
    }

    uint32_t tick_ = 1000;
    RunClock::LocalTime now_{2026, 1, 5, 3, 4, 9};
};

}  // namespace

TEST(TestResultRecordDecoding, FieldsAreSignedAndTheTextEndsAtItsNul) {
    uint8_t bytes[84] = {};
    bytes[0] = 0xFF;
    bytes[1] = 0x7F;
    bytes[2] = 200;
    bytes[3] = 3;
    std::memcpy(bytes + 4, "Bad\0ignored", 11);
    const TestResultRecord r{std::span<const uint8_t, 84>(bytes)};
    EXPECT_EQ(r.ResultCode(), -1);
    EXPECT_EQ(r.Reserved(), 0x7F);
    EXPECT_EQ(r.Step(), -56);
    EXPECT_EQ(r.Substep(), 3);
    EXPECT_EQ(r.Text(), "Bad");

    std::memset(bytes + 4, 'z', 80);  // no NUL at all: the 80 bytes
    const TestResultRecord full{std::span<const uint8_t, 84>(bytes)};
    EXPECT_EQ(full.Text(), std::string(80, 'z'));
    EXPECT_EQ(TestResultRecord().Text(), "");
}

TEST_F(TestRecordFixture, ANewRecordIsIdleSelectedAndEmpty) {
    const auto t = Make(145, "1 - (3A-01) Regular Procedure: With Receiver", 1);
    EXPECT_FALSE(t->Running());
    EXPECT_TRUE(t->Selected());
    EXPECT_EQ(t->TestId(), 145);
    EXPECT_EQ(t->Number(), 1);
    EXPECT_EQ(t->Runs() + t->Passes() + t->Fails() + t->Skips() + t->Timeouts(), 0);
    EXPECT_TRUE(t->Log().empty());
    t->AddLogLine("dropped: no run is open");
    EXPECT_TRUE(t->Log().empty());
}

TEST_F(TestRecordFixture, StartRunWritesTitleAndStartOnlyOnce) {
    const auto t = Make(66, UCTSTest::MakeLabel(2, "(4.4.4.3) Audio Time Stamp Generation"), 2);
    EXPECT_EQ(t->StartRun(), 66);
    EXPECT_TRUE(t->Running());
    EXPECT_EQ(t->StartTime(), 1000u);
    EXPECT_THAT(t->Log(), ElementsAre("<b>Test 2; \"2 - (4.4.4.3) Audio Time Stamp Generation\" - Run 1</b>",
                                      "Started 2026-01-05, 03:04.09"));
    tick_ = 5000;
    EXPECT_EQ(t->StartRun(), 66) << "a second start returns the ID";
    EXPECT_EQ(t->Log().size(), 2u) << "and writes nothing";
    EXPECT_EQ(t->StartTime(), 1000u);

    t->FinishRun(Result(kResultPassed));
    now_ = {999, 12, 31, 23, 59, 58};
    t->StartRun();
    EXPECT_THAT(Tail(*t, 2), ElementsAre("<b>Test 2; \"2 - (4.4.4.3) Audio Time Stamp Generation\" - Run 2</b>",
                                         "Started 0999-12-31, 23:59.58"));
}

TEST_F(TestRecordFixture, HeaderLinesSplitAtEveryLineBreak) {
    struct Case {
        const char* header;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"one", {"one"}},
        {"one\r\ntwo\r\n", {"one", "two"}},
        {"\nMax lane count: 1 Lane\n------------", {"", "Max lane count: 1 Lane", "------------"}},
        {"a\rb\nc\r\n\r\nd", {"a", "b", "c", "", "d"}},
        {"a\n\n", {"a", ""}},
        {"\r\r", {"", ""}},
        {"\n\r", {"", ""}},
    };
    for (const Case& c : cases) {
        const auto t = Make();
        EXPECT_EQ(t->StartRunWithHeader(c.header), 65);
        ASSERT_GE(t->Log().size(), 2u);
        const std::vector<std::string> header(t->Log().begin() + 2, t->Log().end());
        EXPECT_EQ(header, c.lines) << '"' << c.header << '"';
    }
}

TEST_F(TestRecordFixture, FinishRunCountsTheOutcomeAndWritesItsLine) {
    struct Case {
        TestResultRecord result;
        std::string line;
        int passes, fails, skips, timeouts;
    };
    const Case cases[] = {
        {Result(kResultFailed, 200, 3, "No video"), "<b>Test FAILED, step -56, substep 3: No video.</b>", 0, 1, 0, 0},
        {Result(kResultPassed), "<b>Test PASSED</b>", 1, 0, 0, 0},
        {Result(kResultSkipped, 0, 0, "No audio"), "<b>Test SKIPPED: No audio</b>", 0, 0, 1, 0},
        // The instrument's text is content, escaped once; the mark-up around it stays.
        {Result(kResultFailed, 1, 2, "V<2> & \"x\""),
         "<b>Test FAILED, step 1, substep 2: V&lt;2&gt; &amp; &quot;x&quot;.</b>", 0, 1, 0, 0},
        {Result(kResultSkipped, 0, 0, "</b><script>"), "<b>Test SKIPPED: &lt;/b&gt;&lt;script&gt;</b>", 0, 0, 1, 0},
        {Result(kResultTimedOut), "<b>Test TIMEOUT</b>", 0, 0, 0, 1},
        {Result(kResultGoOn), "", 0, 0, 0, 0},
        {Result(kResultQuestionPassFail), "", 0, 0, 0, 0},
        {Result(0xFF), "", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const auto t = Make();
        t->StartRun();
        t->AddLogLine("from the instrument's log");
        t->FinishRun(c.result);
        EXPECT_FALSE(t->Running());
        EXPECT_EQ(t->Runs(), 1) << c.line;
        EXPECT_EQ(t->Passes(), c.passes) << c.line;
        EXPECT_EQ(t->Fails(), c.fails) << c.line;
        EXPECT_EQ(t->Skips(), c.skips) << c.line;
        EXPECT_EQ(t->Timeouts(), c.timeouts) << c.line;
        EXPECT_THAT(Tail(*t, 4), ElementsAre("from the instrument's log", c.line, "", "")) << c.line;
        t->AddLogLine("after the run: dropped");
        EXPECT_EQ(t->Log().back(), "");
    }
}

TEST_F(TestRecordFixture, AbnormalEndsWriteTheReasonAndCountNothing) {
    struct Case {
        int32_t kind;
        uint32_t start, end;
        std::string line;
    };
    const Case cases[] = {
        {UCTSTest::kAbortedByOperator, 1000, 2500, "Unknown: Test was manually aborted after 1500ms"},
        {UCTSTest::kAbortedByOperator, 0xFFFFFF00u, 0x000004DCu, "Unknown: Test was manually aborted after 1500ms"},
        {UCTSTest::kAbortedByCommunication, 1000, 2500, "Unknown: Communications issues caused this test to abort."},
    };
    for (const Case& c : cases) {
        tick_ = c.start;
        const auto t = Make();
        t->StartRun();
        tick_ = c.end;
        t->FinishRunAbnormal(c.kind);
        EXPECT_FALSE(t->Running());
        EXPECT_EQ(t->Runs() + t->Passes() + t->Fails() + t->Skips() + t->Timeouts(), 0);
        EXPECT_THAT(Tail(*t, 3), ElementsAre(c.line, "", ""));
    }
}

TEST_F(TestRecordFixture, CountersAccumulateAndTheLogTextJoinsWithCrLf) {
    const auto t = Make(1, "1 - x", 1);
    t->StartRunWithHeader("h");
    t->FinishRun(Result(kResultPassed));
    t->StartRun();
    t->FinishRun(Result(kResultFailed, 1, 2, "why"));
    t->StartRun();
    t->FinishRunAbnormal(UCTSTest::kAbortedByCommunication);
    EXPECT_EQ(t->Runs(), 2);
    EXPECT_EQ(t->Passes(), 1);
    EXPECT_EQ(t->Fails(), 1);
    const std::string text = t->GetLogText();
    EXPECT_EQ(text.substr(0, 35), "<b>Test 1; \"1 - x\" - Run 1</b>\r\nSta");
    EXPECT_NE(text.find("\r\nh\r\n<b>Test PASSED</b>\r\n\r\n\r\n<b>Test 1; \"1 - x\" - Run 2</b>\r\n"),
              std::string::npos);
    EXPECT_EQ(text.size() - text.rfind("Unknown: Communications"),
              std::string("Unknown: Communications issues caused this test to abort.\r\n\r\n\r\n").size());
}

TEST(UCTSTestOrder, LabelsAndSortingByTestId) {
    EXPECT_EQ(UCTSTest::MakeLabel(6, "(1A-06) Irregular"), "6 - (1A-06) Irregular");
    std::vector<std::unique_ptr<UCTSTest>> records;
    for (int32_t id : {144, 3, 129, 65}) records.push_back(std::make_unique<UCTSTest>(id, "", 1));
    std::sort(records.begin(), records.end(),
              [](const auto& a, const auto& b) { return UCTSTest::CompareTestIds(*a, *b) < 0; });
    std::vector<int32_t> ids;
    for (const auto& r : records) ids.push_back(r->TestId());
    EXPECT_THAT(ids, ElementsAreArray({3, 65, 129, 144}));
    EXPECT_EQ(UCTSTest::CompareTestIds(*records[3], *records[0]), 141);
}

TEST(EscapeHtml, EscapesTheFourMarkupCharactersOnly) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"", ""},
        {"plain text 1.2V", "plain text 1.2V"},
        {"a & b", "a &amp; b"},
        {"<b>", "&lt;b&gt;"},
        {"say \"hi\" it's", "say &quot;hi&quot; it's"},
        {"&amp;", "&amp;amp;"},                      // escaped once more: no entity is kept
        {"\xE4\xB5 \xC3\xA4", "\xE4\xB5 \xC3\xA4"},  // 8-bit and UTF-8 bytes unchanged
    };
    for (const Case& c : cases) EXPECT_EQ(EscapeHtml(c.in), c.out) << c.in;
}
