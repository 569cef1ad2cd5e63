#include "cts/report/HtmSupport.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "cts/report/HtmlText.h"
#include "platform/Windows1252.h"

namespace {

// Section 1: the head, the style sheet and the company block. Line 5 (index
// 4) is the window title.
constexpr size_t kTitleLine = 4;
const char* const kHeadLines[] = {
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">",
    "<html>",
    "<head>",
    "<title>",
    "Title here",
    "</title>",
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Windows-1252\">",
    "<script type=\"text/javascript\">",
    "",
    "var tbl_InternalStyleSheet =",
    "[",
    " '<style>',",
    " 'TABLE.DOCUMENT{width: 100%;}',",
    " 'TABLE.DOCUMENT TD.CONTENTS{border-right-style: solid;border-right-color: #000000;border-right-width: thin;}',",
    " 'P.CONTENTS{font-weight: bold;font-family: \"Arial\";font-size: 10pt;margin-left: 0.3cm;margin-top: "
    "0.5cm;margin-bottom: 2cm;color: #000000;}',",
    " 'P.CONTENTS BUTTON{width: 120pt;height: 18pt;margin-top: 0.1cm;text-align: center;}',",
    " 'P.CONTENTS SELECT{font-weight: normal;font-family: \"Arial\";font-size: 8pt;width: 120pt;height: "
    "100pt;margin-top: 0;text-align: left;}',",
    " 'P.COMPANYNAME{margin-top: 0;margin-bottom: 0.5cm;margin-left: 0.3cm;font-weight: medium;font-family: "
    "\"Arial\";font-size: 14pt;color: #000000;}',",
    " 'P.COMPANYINFO{margin-top: 0cm;margin-bottom: 0.5cm;margin-left: 0.5cm;font-weight: medium;font-family: "
    "\"Arial\";font-size: 10pt;color: #000000;}',",
    "\t'P.HEADING{background-color: #BBC3FF;margin-top: 0;margin-bottom: 0.5cm;margin-left: 0cm;font-weight: "
    "bold;font-family: \"Arial\";font-size: 16pt;color: #000000;}',",
    "\t'P.SUBHEADING{background-color: #BBC3FF;margin-top: 1.25cm;margin-bottom: 0.5cm;margin-left: "
    "0.5cm;margin-right: 0;font-weight: bold;font-family: \"Arial\";font-size: 11pt;color: #000000;text-transform: "
    "uppercase;}',",
    "\t'P.FAILEDSUBHEADING{background-color: #F9A47F;margin-top: 0.5cm;margin-bottom: 0.5cm;margin-left: "
    "1.5cm;margin-right: 0;font-weight: bold;font-family: \"Arial\";font-size: 11pt;color: #000000;}',",
    "\t'P.SUCCESSFULSUBHEADING{background-color: #DCFABC;margin-top: 0.5cm;margin-bottom: 0.5cm;margin-left: "
    "1.5cm;    margin-right: 0;    font-weight: bold;font-family: \"Arial\";font-size: 11pt;color: #000000;}',",
    "\t'P.BODYTEXT{margin-top: 0;margin-bottom: 0.5cm;margin-left: 1.75cm;font-weight: medium;font-family: "
    "\"Arial\";font-size: 10pt;color: #000000;}',",
    "\t'TABLE.GENERAL{margin-top: 0;margin-bottom: 0.3cm;margin-left: 1.75cm;color: #000000;}',",
    "\t'TABLE.GENERAL TD{border-style: hidden;}',",
    "\t'TABLE.GENERAL TD.FIELDNAME{font-weight: bold;font-family: \"Arial\";font-size: 10pt;}',",
    "\t'TABLE.GENERAL TD.FIELDVALUE{font-weight: normal;font-family: \"Arial\";font-size: 10pt;}',",
    "\t'TABLE.TESTSUMMARY{margin-top: 0.3;margin-bottom: 0;margin-left: 2.5cm;color: #000000;width: "
    "600;border-collapse: collapse;}',",
    "\t'TABLE.TESTSUMMARY BUTTON{width: 200pt;text-align: left;}',",
    "\t'TABLE.TESTSUMMARY TD{border-style: hidden;}',",
    "\t'TABLE.TESTSUMMARY TD.NAMEHEADING{font-weight: bold;font-family: \"Arial\";font-size: 10pt;text-transform: "
    "uppercase;background-color: #BBC3FF;}',",
    "\t'TABLE.TESTSUMMARY TD.RESULTHEADING{margin-left: 0;background-color: #BBC3FF;font-weight: "
    "bold;font-family: \"Arial\";font-size: 10pt;text-transform: uppercase;text-align: center;}',",
    "\t'TABLE.TESTSUMMARY TD.NAMEFAILED{background-color: #FECDC2;font-weight: normal;font-family: "
    "\"Arial\";font-size: 10pt;}',",
    "\t'TABLE.TESTSUMMARY TD.RESULTFAILED{background-color: #FECDC2;font-weight: normal;font-family: "
    "\"Arial\";font-size: 10pt;text-align: center;}',",
    "\t'TABLE.TESTSUMMARY TD.NAMESUCCESS{background-color: #EBFBED;font-weight: normal;font-family: "
    "\"Arial\";font-size: 10pt;}',",
    "\t'TABLE.TESTSUMMARY TD.RESULTSUCCESS{background-color: #EBFBED;font-weight: normal;font-family: "
    "\"Arial\";font-size: 10pt;text-align: center;}',",
    "\t'TABLE.TESTDETAILS{margin-top: 0;margin-bottom: 0.3cm;margin-left: 2.5cm;color: #000000;width: "
    "600;border-collapse: collapse;}',",
    "\t'TABLE.TESTDETAILS TD{border-style: hidden;}',",
    "\t'TABLE.TESTDETAILS TD.HEADING{font-weight: bold;font-family: \"Arial\";font-size: 10pt;text-transform: "
    "uppercase;background-color: #BBC3FF;}',",
    "\t'TABLE.TESTDETAILS TD.CONTENT{font-weight: normal;font-family: \"Arial\";font-size: 8pt;}',",
    "\t'</style>'",
    "]",
    "",
    "var tbl_CompanyInfo =",
    "[",
    "\t'<p class=\"COMPANYNAME\">',",
    "\t'Merovan',",
    "\t'</p>',",
    "\t'<p class=\"COMPANYINFO\">',",
    // The maker's address and contact lines.
    "\t'Lindenhof 14',",
    "\t'<br>8037 Aarwil',",
    "\t'<br>Switzerland',",
    "\t'<br>Tel. +41 00 000 00 00',",
    "\t'<br>Fax +41 00 000 00 01',",
    "\t'<br><a href=\"mailto:support@merovan.example\">support@merovan.example</a>',",
    "\t'<br><a href=\"http://www.merovan.example\">www.merovan.example</a>',",
    "\t'</p>'",
    "]",
};

// Section 2: the general information. Rows and body lines go in at fixed
// places: TE rows before the TE table's end, DUT rows before the DUT table's
// end, body lines after the body paragraph's start.
constexpr size_t kTeRowIndex = 18;
constexpr size_t kDutRowIndex = 11;
constexpr size_t kBodyTextIndex = 4;
const char* const kGeneralInfoLines[] = {
    "var tbl_GeneralInfo =",
    "[",
    "\t'<p class=\"SUBHEADING\" id=\"generalinfo\">General Information</p>',",
    "\t'<p class=\"BODYTEXT\">',",
    "\t'</p>',",
    "\t'<p class=\"SUBHEADING\">DP Source DUT</p>',",
    "\t'<table class=\"GENERAL\" width=\"600\" cellpadding=\"0\" cellspacing=\"0\">',",
    "\t'<colgroup>',",
    "\t'<col width=\"150\">',",
    "\t'<col width=\"450\">',",
    "\t'</colgroup>',",
    "\t'</table>',",
    "\t'<p class=\"SUBHEADING\">DP Reference Sink TE</p>',",
    "\t'<table class=\"GENERAL\" width=\"600\" cellpadding=\"0\" cellspacing=\"0\">',",
    "\t'<colgroup>',",
    "\t'<col width=\"150\">',",
    "\t'<col width=\"450\">',",
    "\t'</colgroup>',",
    "\t'</table>'",
    "]",
};

// Section 3: the test summary; each test's row goes before the table's end.
const char* const kSummaryLines[] = {
    "var tbl_TestSummary =",
    "[",
    "\t'<p class=\"SUBHEADING\" id=\"summary\">Test summary</p>',",
    "\t'<table class=\"TESTSUMMARY\" cellpadding=\"0\" cellspacing=\"0\">',",
    "\t'<colgroup>',",
    "\t'<col width=\"340\">',",
    "\t'<col width=\"60\">',",
    "\t'<col width=\"60\">',",
    "\t'<col width=\"80\">',",
    "\t'<col width=\"60\">',",
    "\t'</colgroup>',",
    "\t'<tr valign=\"middle\">',",
    "\t'<td width=\"340\" class=\"NAMEHEADING\">Test</td>',",
    "\t'<td width=\"60\" class=\"RESULTHEADING\">Passed</td>',",
    "\t'<td width=\"60\" class=\"RESULTHEADING\">Failed</td>',",
    "\t'<td width=\"80\" class=\"RESULTHEADING\">Timed out</td>',",
    "\t'<td width=\"60\" class=\"RESULTHEADING\">Skipped</td>',",
    "\t'</tr>',",
    "\t'</table>'",
    "]",
};

// Section 6: the script functions, the end of the head and the body up to
// the test list. Lines 45 and 70 (indexes 44 and 69) carry the heading.
constexpr size_t kPrinterHeadingLine = 44;
constexpr size_t kPageHeadingLine = 69;
const char* const kScriptLines[] = {
    "function GenerateDocument (iTable)",
    "{",
    "    var loop;",
    "    var result = '';",
    "",
    "    for (loop in iTable)",
    "        result += iTable [loop];",
    "",
    "    return result;",
    "}",
    "",
    "function GenerateCollection (iTable)",
    "{",
    "    var loop;",
    "    var loop2;",
    "    var result = '';",
    "    var first = 1;",
    "",
    "    for (loop in iTable)",
    "    {",
    "        for (loop2 in iTable [loop])",
    "            if (first == 1 || loop2 != 0)",
    "                result += iTable [loop] [loop2];",
    "",
    "        first = 0;",
    "    }",
    "",
    "    return result;",
    "}",
    "",
    "function ShowDocument (iTable)",
    "{",
    "    document.getElementById ('document').innerHTML = GenerateDocument (iTable);",
    "}",
    "",
    "",
    "function ShowCollection (iTable)",
    "{",
    "    document.getElementById ('document').innerHTML = GenerateCollection (iTable);",
    "}",
    "",
    "function ShowPrinterFriendlyDocument ()",
    "{",
    "    document.open ();",
    "",  // the heading
    "    document.write (GenerateDocument (tbl_CompanyInfo));",
    "    document.write (GenerateDocument (tbl_InternalStyleSheet));",
    "    document.write (GenerateDocument (tbl_GeneralInfo));",
    "    document.write (GenerateCollection (tbl_AllDetails));",
    "    document.close ();",
    "}",
    "",
    "function ListHandler (iOptionValue)",
    "{",
    "    ShowDocument (tbl_AllDetails [iOptionValue]);",
    "}",
    "",
    "var styleloop;",
    "",
    "for (styleloop in tbl_InternalStyleSheet)",
    "{",
    "\tdocument.write (tbl_InternalStyleSheet [styleloop]);",
    "}",
    "",
    "</script>",
    "",
    "</head>",
    "<body onload=\"ShowDocument (tbl_TestSummary)\">",
    "<div>",
    "",  // the heading
    "</div>",
    "<div>",
    "\t<table class=\"DOCUMENT\" cellpadding=\"0\" cellspacing=\"0\">",
    "\t\t<colgroup>",
    "\t\t<col width=\"200\">",
    "\t\t<col width=\"*\">",
    "\t\t</colgroup>",
    "\t\t<tr valign=\"top\">",
    "\t\t\t<td class=\"CONTENTS\">",
    "\t\t\t\t<p class=\"SUBHEADING\" style=\"margin-left: 0; margin-top: 0;\">",
    "\t\t\t\t\t&nbsp;&nbsp;&nbsp;Contents",
    "\t\t\t\t</p>",
    "\t\t\t\t<p class=\"CONTENTS\">",
    "\t\t\t\t\t<button onclick=\"ShowDocument (tbl_TestSummary)\">Test Summary</button>",
    "\t\t\t\t\t<br><button onclick=\"ShowDocument (tbl_GeneralInfo)\">General Information</button>",
    "\t\t\t\t\t<br><button onclick=\"ShowCollection (tbl_AllDetails)\">View all test details</button>",
    "\t\t\t\t\t<br><br>",
    "\t\t\t\t\tView details by test",
    "\t\t\t\t\t<br>",
    "\t\t\t\t\t<select id=\"testlist\" size=\"2\" onclick=\"ListHandler (document.getElementById "
    "('testlist').value)\">",
};

// Section 8: the end of the test list and of the body.
const char* const kBodyEndLines[] = {
    "\t\t\t\t\t</select>",
    "                  <br><br>",
    "\t\t\t\t\t<button onclick=\"ShowPrinterFriendlyDocument ()\">Printer Friendly</button>",
    "\t\t\t\t</p>",
    "",
    "\t\t\t\t<script type=\"text/javascript\">",
    "\t\t\t\t\tdocument.write (GenerateDocument (tbl_CompanyInfo));",
    "\t\t\t\t</script>",
    "\t\t\t</td>",
    "\t\t\t<td>",
    "\t\t\t\t<div id=\"document\">",
    "\t\t\t\t\t&nbsp;",
    "\t\t\t\t</div>",
    "\t\t\t</td>",
    "\t\t</tr>",
    "\t</table>",
    "</div>",
    "</body>",
    "</html>",
};

const std::string kOptionIndent(24, ' ');

template <size_t N>
std::vector<std::string> Lines(const char* const (&lines)[N]) {
    return std::vector<std::string>(std::begin(lines), std::end(lines));
}

std::string To1252(const QString& text) {
    return platform::ToWindows1252(text, platform::Unmappable::CharacterReference);
}

// The lines of a text, split at CR LF, CR or LF; a final line break adds no
// empty line, an empty text has none.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find_first_of("\r\n");
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        const size_t next = (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? end + 2 : end + 1;
        text.remove_prefix(next);
    }
    return lines;
}

// The length of the entity or character reference at the start of `text`
// ("&amp;", "&#233;", "&#xE9;"), or 0 when it starts with none.
size_t ReferenceLength(std::string_view text) {
    constexpr size_t kLongest = 33;
    if (text.size() < 3 || text[0] != '&') return 0;
    size_t i = 1;
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    const auto isAlnum = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
    bool (*accepts)(char) = nullptr;
    if (text[i] == '#') {
        ++i;
        if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
            ++i;
            accepts = +isHex;
        } else {
            accepts = +isDigit;
        }
    } else {
        accepts = +isAlnum;
    }
    const size_t first = i;
    while (i < text.size() && i < kLongest && accepts(text[i])) ++i;
    if (i == first || i >= text.size() || text[i] != ';') return 0;
    return i + 1;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

}  // namespace

HtmSupport::HtmSupport(const QString& heading)
    : headLines_(Lines(kHeadLines)),
      generalInfoLines_(Lines(kGeneralInfoLines)),
      summaryLines_(Lines(kSummaryLines)),
      scriptLines_(Lines(kScriptLines)),
      bodyEndLines_(Lines(kBodyEndLines)) {
    const std::string title = To1252(heading);
    scriptLines_[kPrinterHeadingLine] =
        "    document.write ('<p class=\"HEADING\" id=\"top\">&nbsp;&nbsp;" + title + "</p>');";
    scriptLines_[kPageHeadingLine] = "\t<p class=\"HEADING\" id=\"top\">&nbsp;&nbsp;" + title + "</p>";
}

std::string HtmSupport::HtmlText(const QString& plain) {
    // Only ASCII bytes change in the escaping, so it can work on UTF-8; the
    // character references come after it and stay references.
    const QByteArray utf8 = plain.toUtf8();
    std::string html = To1252(QString::fromUtf8(EscapeHtml(std::string_view(utf8.constData(), size_t(utf8.size())))));
    // Control characters (line breaks above all) become blanks, so that the
    // text stays on its line of the file; HTML shows them as blanks anyway.
    std::replace_if(
        html.begin(), html.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, ' ');
    return html;
}

std::string HtmSupport::EscapeString(std::string_view text) {
    std::string out;
    out.reserve(std::min(text.size() + 16, kMaxValueLength));
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        char piece[2] = {c, 0};
        size_t pieceLength = 1;
        const bool afterOpen = i > 0 && text[i - 1] == '<';
        if (c == '\\' || c == '\'' || (afterOpen && c == '/' && StartsWithNoCase(text.substr(i + 1), "script")) ||
            (afterOpen && c == '!' && text.substr(i + 1, 2) == "--")) {
            piece[0] = '\\';
            piece[1] = c;
            pieceLength = 2;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            piece[0] = ' ';
        } else if (const size_t reference = ReferenceLength(text.substr(i))) {
            if (out.size() + reference > kMaxValueLength) break;
            out.append(text.substr(i, reference));
            i += reference;
            continue;
        }
        if (out.size() + pieceLength > kMaxValueLength) break;
        out.append(piece, pieceLength);
        ++i;
    }
    return out;
}

void HtmSupport::SetTitle(const QString& text) { headLines_[kTitleLine] = HtmlText(text); }

void HtmSupport::AddField(size_t index, const QString& name, const QString& value) {
    const std::string lines[] = {
        "\t'<tr valign=\"middle\">',",
        "\t'<td width=\"150\" class=\"FIELDNAME\">" + EscapeString(HtmlText(name)) + "</td>',",
        "\t'<td width=\"450\" class=\"FIELDVALUE\">" + EscapeString(HtmlText(value)) + "</td>',",
        "\t'</tr>',",
    };
    generalInfoLines_.insert(generalInfoLines_.begin() + static_cast<std::ptrdiff_t>(index), std::begin(lines),
                             std::end(lines));
}

void HtmSupport::AddTeField(const QString& name, const QString& value) { AddField(kTeRowIndex, name, value); }

void HtmSupport::AddDutField(const QString& name, const QString& value) { AddField(kDutRowIndex, name, value); }

void HtmSupport::AddIdentification(const ReportIdentification& f) {
    // Each row shows above the rows added before it.
    AddTeField(QStringLiteral("TE Firmware Version"), f.teFirmwareVersion);
    AddTeField(QStringLiteral("CTS Gui Version"), f.guiVersion);
    AddTeField(QStringLiteral("Driver Version"), f.teDriver);
    AddTeField(QStringLiteral("Serial Number"), f.teSerial);
    AddTeField(QStringLiteral("Model"), f.teModel);
    AddDutField(QStringLiteral("Driver Version"), f.dutDriver);
    AddDutField(QStringLiteral("Serial Number"), f.dutSerial);
    AddDutField(QStringLiteral("Model"), f.dutModel);
    AddDutField(QStringLiteral("DeviceName"), f.dutDeviceName);
}

void HtmSupport::AddBodyText(const QString& html) {
    const std::string text = To1252(html);
    std::vector<std::string> lines;
    for (std::string_view line : SplitLines(text)) lines.push_back("\t'" + EscapeString(line) + "<br>',");
    generalInfoLines_.insert(generalInfoLines_.begin() + static_cast<std::ptrdiff_t>(kBodyTextIndex), lines.begin(),
                             lines.end());
}

void HtmSupport::AddTest(const QString& details, const QString& name, int32_t skipped, int32_t timedOut, int32_t failed,
                         int32_t passed) {
    const std::string n = std::to_string(testCount_);
    const std::string htmlName = HtmlText(name);
    const std::string scriptName = EscapeString(htmlName);
    const std::string p = std::to_string(passed), f = std::to_string(failed), t = std::to_string(timedOut),
                      s = std::to_string(skipped);

    testTableLines_.push_back("var tbl_Test" + n + " =");
    testTableLines_.push_back("[");
    testTableLines_.push_back("\t'<p class=\"SUBHEADING\" id=\"details\">Test details</p>',");

    const bool failedLook = failed != 0 || timedOut != 0 || skipped != 0;
    const std::string nameClass = failedLook ? "NAMEFAILED" : "NAMESUCCESS";
    const std::string resultClass = failedLook ? "RESULTFAILED" : "RESULTSUCCESS";
    const std::string row[] = {
        "\t'<tr valign=\"middle\">',",
        "\t'<td width=\"340\" class=\"" + nameClass + "\">',",
        "\t'<button onclick=\"ShowDocument (tbl_Test" + n + ")\">" + scriptName + "</button>',",
        "\t'</td>',",
        "\t'<td width=\"60\" class=\"" + resultClass + "\">" + p + "</td>',",
        "\t'<td width=\"60\" class=\"" + resultClass + "\">" + f + "</td>',",
        "\t'<td width=\"80\" class=\"" + resultClass + "\">" + t + "</td>',",
        "\t'<td width=\"60\" class=\"" + resultClass + "\">" + s + "</td>',",
        "\t'</tr>',",
    };
    summaryLines_.insert(summaryLines_.begin() + static_cast<std::ptrdiff_t>(summaryInsertIndex_), std::begin(row),
                         std::end(row));
    summaryInsertIndex_ += std::size(row);

    testTableLines_.push_back(failedLook
                                  ? "\t'<p class=\"FAILEDSUBHEADING\" id=\"test2\">" + scriptName + "</p>',"
                                  : "\t'<p class=\"SUCCESSFULSUBHEADING\" id=\"test1\">" + scriptName + "</p>',");
    const char* const tableHead[] = {
        "\t'<table class=\"TESTDETAILS\" cellpadding=\"0\" cellspacing=\"0\">',",
        "\t'<colgroup>',",
        "\t'<col width=\"150\">',",
        "\t'<col width=\"150\">',",
        "\t'<col width=\"150\">',",
        "\t'<col width=\"150\">',",
        "\t'</colgroup>',",
        "\t'<tr valign=\"middle\">',",
    };
    testTableLines_.insert(testTableLines_.end(), std::begin(tableHead), std::end(tableHead));
    testTableLines_.push_back("\t'<td width=\"150\" class=\"HEADING\">Passed " + p + "</td>',");
    testTableLines_.push_back("\t'<td width=\"150\" class=\"HEADING\">Failed " + f + "</td>',");
    testTableLines_.push_back("\t'<td width=\"150\" class=\"HEADING\">Timed out " + t + "</td>',");
    testTableLines_.push_back("\t'<td width=\"150\" class=\"HEADING\">Skipped " + s + "</td>',");
    testTableLines_.push_back("\t'</tr>',");
    testTableLines_.push_back("\t'<tr valign=\"middle\">',");
    testTableLines_.push_back("\t'<td colspan=\"4\" width=\"600\" class=\"CONTENT\">',");
    testTableLines_.push_back("\t'<br>',");
    const std::string text = To1252(details);
    for (std::string_view line : SplitLines(text)) testTableLines_.push_back("\t'<br>" + EscapeString(line) + "',");
    testTableLines_.push_back("    '</td>',");
    testTableLines_.push_back("\t'</tr>',");
    testTableLines_.push_back("\t'</table>'");
    testTableLines_.push_back("]");

    // The test list is HTML, not a script string: the name is HTML-escaped only.
    optionLines_.push_back(kOptionIndent + "<option value=\"" + n + "\">" + htmlName + "</option>");
    allDetailsLines_.push_back("\ttbl_Test" + n + ",");
    ++testCount_;
}

std::string HtmSupport::WriteToText() {
    if (!written_) {
        written_ = true;
        if (!allDetailsLines_.empty()) allDetailsLines_.back().pop_back();  // the last entry's comma
        allDetailsLines_.insert(allDetailsLines_.begin(), {"var tbl_AllDetails =", "["});
        allDetailsLines_.push_back("]");
    }
    const std::vector<std::string>* sections[] = {&headLines_,      &generalInfoLines_, &summaryLines_,
                                                  &testTableLines_, &allDetailsLines_,  &scriptLines_,
                                                  &optionLines_,    &bodyEndLines_};
    size_t size = 0;
    for (const auto* section : sections) {
        for (const std::string& line : *section) size += line.size() + 2;
    }
    std::string out;
    out.reserve(size);
    for (const auto* section : sections) {
        for (const std::string& line : *section) {
            out += line;
            out += "\r\n";
        }
    }
    return out;
}
