// The HTML report writer: a fixture run against the expected file line by
// line, the escaping of script strings (context, the 1023-character cut) and
// hostile texts in every place the writer puts a text.
#include "cts/report/HtmSupport.h"

#include <gtest/gtest.h>

#include <QString>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cts/catalogue/TestCatalogue.h"
#include "cts/catalogue/UCTSTest.h"
#include "platform/Windows1252.h"
#include "support/TextFile.h"

namespace {

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

using test_support::ReadFile;

RunClock FixedClock() {
    RunClock clock;
    clock.tickMs = [] { return 1000u; };
    clock.localTime = [] { return RunClock::LocalTime{2026, 12, 10, 9, 5, 7}; };
    return clock;
}

TestResultRecord Result(int8_t code, int8_t step, int8_t substep, const std::string& text) {
    TestResultRecord r;
    r.Data()[0] = static_cast<uint8_t>(code);
    r.Data()[2] = static_cast<uint8_t>(step);
    r.Data()[3] = static_cast<uint8_t>(substep);
    std::copy(text.begin(), text.end(), r.Data() + TestResultRecord::kTextOffset);
    return r;
}

void AddRecord(HtmSupport& report, const UCTSTest& record) {
    report.AddTest(platform::FromWindows1252(record.GetLogText()), platform::FromWindows1252(record.Label()),
                   record.Skips(), record.Timeouts(), record.Fails(), record.Passes());
}

// Blanks, then one single-quoted script string with a comma or nothing
// after it; inside it a quote appears only with a backslash before it.
bool IsOneScriptString(const std::string& line) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] != '\'') return false;
    for (++i; i < line.size(); ++i) {
        if (line[i] == '\\') {
            ++i;
        } else if (line[i] == '\'') {
            const std::string rest = line.substr(i + 1);
            return rest.empty() || rest == ",";
        }
    }
    return false;
}

// A report with one test and the given texts everywhere else.
std::string OneTestReport(const QString& text, const QString& details, const QString& name) {
    HtmSupport report(QStringLiteral("Heading"));
    report.SetTitle(text);
    report.AddTeField(text, text);
    report.AddDutField(text, text);
    report.AddBodyText(text);
    report.AddTest(details, name, 0, 0, 0, 1);
    return report.WriteToText();
}

}  // namespace

// Two records of a run (a test that failed once and was skipped once, and
// one that passed, added in the other order) give the expected file byte
// for byte: template lines, inserted rows, escaping, CR LF line ends.
TEST(HtmSupport, FixtureRunGivesTheExpectedFileLineByLine) {
    UCTSTest hdcp(134, UCTSTest::MakeLabel(6, TestCatalogue::TestName(134)), 6, FixedClock());
    hdcp.StartRunWithHeader("Lanes: 4\r\nRate: 2.7 Gbps\r\n");
    hdcp.AddLogLine("TE says <b>ok</b> &amp; fine");
    hdcp.FinishRun(Result(kResultPassed, 0, 0, ""));
    UCTSTest edid(5, UCTSTest::MakeLabel(5, TestCatalogue::TestName(5)), 5, FixedClock());
    edid.StartRun();
    edid.FinishRun(Result(kResultFailed, 2, 1, "CRC can't match"));
    edid.StartRun();
    edid.FinishRun(Result(kResultSkipped, 0, 0, "No sink"));

    HtmSupport report(QStringLiteral("DisplayPort Source Compliance Test Report"));
    report.SetTitle(QStringLiteral("Box Compliance Test Report"));
    report.AddIdentification({
        .teFirmwareVersion = QStringLiteral("3.4.1"),
        .guiVersion = QStringLiteral("1.0.0"),
        .teDriver = QStringLiteral("R<2>"),
        .teSerial = QStringLiteral("SN'42"),
        .teModel = QStringLiteral("Ref\\Sink"),
        .dutDriver = QStringLiteral("d1"),
        .dutSerial = QStringLiteral("s1"),
        .dutModel = QStringLiteral("M & Co"),
        .dutDeviceName = QStringLiteral("Box"),
    });
    report.AddBodyText(QStringLiteral("Comment one\r\nComment two"));
    report.AddBodyText(QStringLiteral("<br>"));
    report.AddBodyText(QStringLiteral("Report generated 2026-12-10, 09:05.07"));
    AddRecord(report, edid);
    AddRecord(report, hdcp);
    const std::string out = report.WriteToText();

    const std::string expected = ReadFile(REPORT_DATA_DIR "/fixture_report.htm");
    ASSERT_FALSE(expected.empty());
    const auto want = SplitCrLf(expected);
    const auto got = SplitCrLf(out);
    for (size_t i = 0; i < std::min(want.size(), got.size()); ++i) {
        ASSERT_EQ(got[i], want[i]) << "line " << i + 1;
    }
    EXPECT_EQ(got.size(), want.size());
    // Every line ends in CR LF, the last one too, and no other line break is in the file.
    EXPECT_EQ(out, expected);
    EXPECT_TRUE(out.ends_with("</html>\r\n"));
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), std::count(out.begin(), out.end(), '\r'));
}

TEST(HtmSupport, EscapeStringFitsTheScriptContext) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"a\\b'c", "a\\\\b\\'c"},
        {"x</script>y", "x<\\/script>y"},
        {"</SCRIPT >", "<\\/SCRIPT >"},
        {"</ScRiPt", "<\\/ScRiPt"},
        {"<!-- c -->", "<\\!-- c -->"},
        {"<!- <!x", "<!- <!x"},            // no comment opening
        {"<b>x</b></p>", "<b>x</b></p>"},  // other end tags stay mark-up
        {"</scrip", "</scrip"},
        {"a\r\nb\tc\x01", "a  b c "},
        {"&amp; &#8364; \x96", "&amp; &#8364; \x96"},  // references and 8-bit characters stay
    };
    for (const Case& c : cases) EXPECT_EQ(HtmSupport::EscapeString(c.in), c.out) << c.in;
}

TEST(HtmSupport, EscapeStringCutsAt1023WithoutSplittingAPiece) {
    const std::string x(2000, 'x');
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {x, x.substr(0, 1023)},
        {x.substr(0, 1022) + "'yy", x.substr(0, 1022)},
        {x.substr(0, 1022) + "\\", x.substr(0, 1022)},
        {x.substr(0, 1021) + "'", x.substr(0, 1021) + "\\'"},
        {x.substr(0, 1020) + "&amp;", x.substr(0, 1020)},
        {x.substr(0, 1018) + "&amp;z", x.substr(0, 1018) + "&amp;"},
        {x.substr(0, 1019) + "&#8364;", x.substr(0, 1019)},
        {x.substr(0, 1017) + "&#x4E2D;", x.substr(0, 1017)},
        {x.substr(0, 1021) + "&xy", x.substr(0, 1021) + "&x"},  // not a reference: plain characters
        {x.substr(0, 1021) + "</script", x.substr(0, 1021) + "<"},
    };
    for (const Case& c : cases) {
        const std::string got = HtmSupport::EscapeString(c.in);
        EXPECT_EQ(got, c.out) << "input of " << c.in.size() << " ending " << c.in.substr(1000);
        EXPECT_LE(got.size(), HtmSupport::kMaxValueLength);
    }
}

// Quotes, backslashes, the script's end in any case, a comment opening,
// line breaks, mark-up and characters outside Windows-1252 in every text the
// writer places: none ends the script or breaks a line, plain texts show as
// text, HTML stays HTML, references stand for the missing characters.
TEST(HtmSupport, HostileTextsStayInsideTheirStrings) {
    const QString hostile = QStringLiteral(
        "It's \\ \"q\" </script><script>x</SCRIPT > <!-- <b>b</b>\r\nnext\nlast "
        "\u03A9\u4E2D\U0001F600 \u20AC");
    const std::string out = OneTestReport(hostile, hostile, hostile);
    const auto lines = SplitCrLf(out);
    for (const std::string& line : lines) {
        ASSERT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    }

    // The head's script ends once, at its own end tag; nothing opens a comment in it.
    std::string lower = out;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    const size_t scriptStart = lower.find("<script type=\"text/javascript\">");
    const size_t scriptEnd = lower.find("</script", scriptStart);
    ASSERT_NE(scriptEnd, std::string::npos);
    EXPECT_EQ(out.substr(scriptEnd - 2, 13), "\r\n</script>\r\n");
    EXPECT_EQ(lower.substr(scriptStart, scriptEnd - scriptStart).find("<!--"), std::string::npos);

    // Every entry of the data arrays is one single-quoted string whose
    // quotes are escaped.
    const auto first = std::find(lines.begin(), lines.end(), "var tbl_GeneralInfo =");
    const auto last = std::find(lines.begin(), lines.end(), "function GenerateDocument (iTable)");
    ASSERT_LT(first, last);
    size_t entries = 0;
    for (auto line = first; line != last; ++line) {
        if (line->find_first_not_of(" \t") == std::string::npos || (*line)[line->find_first_not_of(" \t")] != '\'')
            continue;
        ++entries;
        EXPECT_TRUE(IsOneScriptString(*line)) << *line;
    }
    EXPECT_GT(entries, 60u);

    // A plain text is HTML-escaped once, then script-escaped; characters
    // outside the code page become references, the euro sign is a byte.
    const std::string fieldValue =
        "It\\'s \\\\ &quot;q&quot; &lt;/script&gt;&lt;script&gt;x&lt;/SCRIPT &gt; &lt;!-- "
        "&lt;b&gt;b&lt;/b&gt;  next last &#937;&#20013;&#128512; \x80";
    EXPECT_NE(out.find("class=\"FIELDVALUE\">" + fieldValue + "</td>',"), std::string::npos);
    // The details are HTML: the mark-up stays, the script end and comment
    // opening are broken, each line is its own entry.
    EXPECT_NE(out.find("\t'<br>It\\'s \\\\ \"q\" <\\/script><script>x<\\/SCRIPT > <\\!-- <b>b</b>',"),
              std::string::npos);
    EXPECT_NE(out.find("\t'<br>next',\r\n\t'<br>last &#937;&#20013;&#128512; \x80',"), std::string::npos);
    // The test list is HTML, not a script string: no backslashes.
    EXPECT_NE(out.find("<option value=\"0\">It's \\ &quot;q&quot; &lt;/script&gt;&lt;script&gt;x&lt;/SCRIPT &gt; "
                       "&lt;!-- &lt;b&gt;b&lt;/b&gt;  next last &#937;&#20013;&#128512; \x80</option>"),
              std::string::npos);
    // The window title is HTML-escaped.
    EXPECT_EQ(lines[4].substr(0, 30), "It's \\ &quot;q&quot; &lt;/scri");
}

TEST(HtmSupport, CountsOrderAndEmptyDetails) {
    HtmSupport report(QStringLiteral("H"));
    report.AddTeField(QStringLiteral("A"), QStringLiteral("1"));
    report.AddTeField(QStringLiteral("B"), QStringLiteral("2"));
    report.AddTeField(QStringLiteral("C"), QStringLiteral("3"));
    report.AddBodyText(QStringLiteral("X"));
    report.AddBodyText(QStringLiteral("Y"));
    report.AddTest(QString(), QStringLiteral("zero"), 0, 0, 0, 0);
    report.AddTest(QStringLiteral("d"), QStringLiteral("skipped"), 2, 0, 0, 0);
    report.AddTest(QStringLiteral("d"), QStringLiteral("timed out"), 0, 1, 0, 5);
    const std::string out = report.WriteToText();

    const auto at = [&out](const std::string& s) { return out.find(s); };
    EXPECT_LT(at(">C</td>"), at(">B</td>"));
    EXPECT_LT(at(">B</td>"), at(">A</td>"));
    EXPECT_LT(at("\t'Y<br>',"), at("\t'X<br>',"));
    EXPECT_NE(at("\t'<br>',\r\n    '</td>',"), std::string::npos);  // empty details: no detail line
    EXPECT_NE(at("class=\"SUCCESSFULSUBHEADING\" id=\"test1\">zero</p>"), std::string::npos);
    EXPECT_NE(at("class=\"FAILEDSUBHEADING\" id=\"test2\">skipped</p>"), std::string::npos);
    EXPECT_NE(at("class=\"FAILEDSUBHEADING\" id=\"test2\">timed out</p>"), std::string::npos);
    EXPECT_NE(at("HEADING\">Passed 0</td>',\r\n\t'<td width=\"150\" class=\"HEADING\">Failed 0</td>',\r\n\t'<td "
                 "width=\"150\" class=\"HEADING\">Timed out 0</td>',\r\n\t'<td width=\"150\" class=\"HEADING\">Skipped "
                 "0</td>',"),
              std::string::npos);
    EXPECT_NE(at("\r\nvar tbl_AllDetails =\r\n[\r\n\ttbl_Test0,\r\n\ttbl_Test1,\r\n\ttbl_Test2\r\n]\r\n"),
              std::string::npos);
    // A second call gives the same text (the array is closed once).
    EXPECT_EQ(report.WriteToText(), out);
}
