#pragma once
// HtmSupport: the HTML test report of Vardeko, built in memory for one
// "Save Report ..." and rendered once.
//
// The report is one HTML 4.01 Transitional page in Windows-1252 with CR LF
// after every line. Its content lives in script arrays of HTML fragments
// (style sheet, company block, general information, test summary, one array
// per test and the array of all of them) that the page's scripts put
// together in the browser; the body holds the buttons, the test list and the
// element "document" the scripts write into.
//
// Every value that goes into a script string is escaped for its context
// once (EscapeString): no value can end the script or carry a raw line
// break, and no value is longer than 1023 characters. Texts the writer takes
// as plain text (title, test names, field names and values) are HTML-escaped
// first; texts it takes as HTML (body text, test details) are not. A
// character without a byte in Windows-1252 is written as a decimal character
// reference ("&#8364;" style), after the HTML escaping.
//
// Calling order: constructor; SetTitle; AddIdentification (or all AddTeField,
// then all AddDutField); all AddBodyText; one or more AddTest; WriteToText
// once. The rows and body lines
// go to fixed places of the general information, so another order puts them
// in the wrong table. GUI thread (or any one thread); no I/O.
#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The identification rows of the report's general information: the
// reference TE's and the DUT's (plain texts).
struct ReportIdentification {
    QString teFirmwareVersion;  // "a.b.c", or "Unknown" before a version was read
    QString guiVersion;         // the application's version text
    QString teDriver;
    QString teSerial;
    QString teModel;
    QString dutDriver;
    QString dutSerial;
    QString dutModel;
    QString dutDeviceName;
};

class HtmSupport {
public:
    // The longest value EscapeString returns.
    static constexpr size_t kMaxValueLength = 1023;

    // `heading` is the page's heading (a fixed text of the caller, written as
    // it is).
    explicit HtmSupport(const QString& heading);

    // The browser window's title (plain text).
    void SetTitle(const QString& text);
    // A row of the reference TE table; each row shows above the rows added
    // before it. Name and value are plain text.
    void AddTeField(const QString& name, const QString& value);
    // A row of the DUT table, as AddTeField.
    void AddDutField(const QString& name, const QString& value);
    // The report's identification rows with their names: the TE table
    // shows Model, Serial Number, Driver Version, CTS Gui Version, TE
    // Firmware Version; the DUT table DeviceName, Model, Serial Number,
    // Driver Version.
    void AddIdentification(const ReportIdentification& fields);
    // The lines of an HTML text (split at CR LF, CR or LF; a final line
    // break adds no empty line) at the top of the general information's body
    // paragraph, above the lines of earlier calls.
    void AddBodyText(const QString& html);
    // One test: its summary row, its details array (the lines of `details`,
    // HTML), its entry in the test list and in the all-details array. The
    // test shows as failed when any of failed, timed out or skipped is not 0.
    void AddTest(const QString& details, const QString& name, int32_t skipped, int32_t timedOut, int32_t failed,
                 int32_t passed);
    // Closes the all-details array and returns the report's bytes: the
    // sections in report order, every line followed by CR LF. Call once.
    std::string WriteToText();

    // A Windows-1252 text made safe for a single-quoted script string: "\"
    // and "'" get a backslash before them, "</script" (any letter case)
    // becomes "<\/script" and "<!--" becomes "<\!--", a byte below 0x20
    // becomes a blank. The result stops before the first piece that does not
    // fit whole into 1023 characters; pieces are a character with the
    // backslash before it, and an entity or character reference
    // ("&amp;", "&#1234;", "&#x4e2d;").
    static std::string EscapeString(std::string_view text);
    // A plain text as it appears in the report's HTML: HTML-escaped, then in
    // Windows-1252 with character references for what the code page lacks;
    // a control character (a line break) becomes a blank.
    static std::string HtmlText(const QString& plain);

private:
    void AddField(size_t index, const QString& name, const QString& value);

    std::vector<std::string> headLines_;
    std::vector<std::string> generalInfoLines_;
    std::vector<std::string> summaryLines_;
    std::vector<std::string> testTableLines_;
    std::vector<std::string> allDetailsLines_;
    std::vector<std::string> scriptLines_;
    std::vector<std::string> optionLines_;
    std::vector<std::string> bodyEndLines_;
    size_t summaryInsertIndex_ = 18;
    int32_t testCount_ = 0;
    bool written_ = false;
};
