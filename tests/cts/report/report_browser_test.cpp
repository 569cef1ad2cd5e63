// The saved report read in a headless Chromium, as a person reads it: the
// main window saves a run (records of three tests, hostile texts in every
// operator field) against the simulated instrument; the browser loads the
// file, and the text its scripts put together is read through the DevTools
// protocol in the summary, the general information, every test's details
// (from the summary buttons and from the test list), "View all test
// details" and "Printer Friendly". A second case loads the report of a
// 65-test run with 1 MiB of log lines and prints its load time.
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdio>

#include "HeadlessBrowser.h"
#include "cts/MainFormFixture.h"
#include "cts/dialogs/TReportOptions.h"
#include "cts/dialogs/TSrcAboutForm.h"
#include "cts/report/HtmSupport.h"
#include "platform/AtomicFile.h"
#include "platform/MessageBoxInterceptor.h"
#include "platform/Windows1252.h"
#include "platform/gui/FileDialog.h"
#include "support/BigReport.h"
#include "support/DesktopHooks.h"

namespace {

// The text the scripts put into the element "document".
const QString kDocumentText = QStringLiteral("document.getElementById('document').textContent");

QString ClickButton(const QString& caption) {
    return QStringLiteral("[...document.querySelectorAll('button')].find(b => b.textContent == '%1').click()")
        .arg(caption);
}

// Runs a statement in the page, then returns the text of `what`.
QString Read(HeadlessBrowser& browser, const QString& statement, const QString& what = kDocumentText) {
    std::string error;
    const auto value = browser.Evaluate(QStringLiteral("(() => { %1; return %2; })()").arg(statement, what), error);
    EXPECT_TRUE(value.has_value()) << error;
    return value ? value->toString() : QString();
}

void ExpectContains(const QString& text, const QString& part, const char* where) {
    EXPECT_TRUE(text.contains(part)) << where << ": missing \"" << part.toStdString() << "\" in\n"
                                     << text.left(3000).toStdString();
}

TestResultRecord Result(int8_t code, const char* text = "") {
    TestResultRecord r;
    r.Data()[0] = static_cast<uint8_t>(code);
    for (size_t i = 0; text[i] != '\0'; ++i)
        r.Data()[TestResultRecord::kTextOffset + i] = static_cast<uint8_t>(text[i]);
    return r;
}

class ReportBrowser : public test_support::DesktopHookFixture<cts_test::MainFormFixture> {};

// Texts no field should ever turn into mark-up or script.
const QString kHostile = QStringLiteral(
    "It's \\ \"7\" </script><script>window.injected=1</script> <!-- <b>x</b> "
    "\u03A9\u4E2D\U0001F600 \u20AC");

TEST_F(ReportBrowser, SavedRunShowsInEveryView) {
    TCTSMainForm* form = OpenConnected();
    ASSERT_TRUE(WaitFor([form] { return form->VersionKnown(); }));

    // Three records, added out of test-ID order.
    RunClock clock = report_fixture::FixedClock();
    auto& records = form->TestRecords();
    const std::pair<int32_t, int32_t> tests[] = {{134, 6}, {5, 5}, {65, 1}};
    for (const auto& [id, row] : tests) {
        records.push_back(
            std::make_unique<UCTSTest>(id, UCTSTest::MakeLabel(row, TestCatalogue::TestName(id)), row, clock));
    }
    records[0]->StartRun();
    records[0]->AddLogLine("TE says <b>ok</b> &amp; fine");
    // Log lines are HTML; an end tag of a script or a comment in one must
    // not end or hide the page's script.
    records[0]->AddLogLine("raw </SCRIPT> end tag and <!-- a note --> comment");
    records[0]->FinishRun(Result(kResultPassed));
    records[1]->StartRun();
    records[1]->AddLogLine("AUX reply &lt;/script&gt; defer");
    records[1]->FinishRun(Result(kResultFailed, "CRC can't match"));
    records[2]->StartRun();
    records[2]->FinishRun(Result(kResultSkipped, "No audio"));
    form->SetReportSaved(false);

    const QString target = QDir(work_.path()).filePath(QStringLiteral("run \u00E9t\u00E9"));
    AnswerNextDialog(QDialog::Accepted, [&](QDialog* dialog) {
        TReportOptions* options = dialogs_.reportOptions;
        ASSERT_EQ(dialog, options);
        for (QLineEdit* edit :
             {options->ED_DUT_DeviceName, options->ED_DUT_CustomerModel, options->ED_DUT_Serial, options->ED_DUT_Driver,
              options->ED_REF_CustomerModel, options->ED_REF_Serial, options->ED_REF_Driver})
            edit->setText(edit->objectName() + QLatin1Char(' ') + kHostile);
        options->MEMO_Comments->setPlainText(options->MEMO_Comments->toPlainText() + QStringLiteral("\n") + kHostile +
                                             QStringLiteral("\r\nsecond line"));
        options->ED_SaveFile->setText(target);
    });
    platform::MessageBoxInterceptor boxes(platform::MsgResult::Yes);
    ASSERT_TRUE(form->MENU_SaveReportClick());
    EXPECT_TRUE(boxes.Texts().empty());
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0], target + QStringLiteral(".HTM"));

    HeadlessBrowser browser;
    std::string error;
    ASSERT_TRUE(browser.Start(QDir(work_.path()).filePath(QStringLiteral("profile")).toStdString(), error)) << error;
    ASSERT_TRUE(browser.Navigate(QUrl::fromLocalFile(opened_[0]).toString(), error)) << error;

    const QString name = QStringLiteral("ED_DUT_DeviceName ") + kHostile;
    EXPECT_EQ(Read(browser, QString(), QStringLiteral("document.title")),
              name + QStringLiteral(" Compliance Test Report"));

    // Summary, shown at load: the tests in test-ID order with their counts.
    const QString summary = Read(browser, QString());
    ExpectContains(summary, QStringLiteral("Test summary"), "summary");
    const QString label5 = platform::FromWindows1252(records[0]->Label());  // sorted by the save: ID 5 first
    const QString label65 = platform::FromWindows1252(records[1]->Label());
    const QString label134 = platform::FromWindows1252(records[2]->Label());
    ASSERT_TRUE(label134.endsWith(QChar(0x2019))) << label134.toStdString();
    EXPECT_LT(summary.indexOf(label5), summary.indexOf(label65));
    EXPECT_LT(summary.indexOf(label65), summary.indexOf(label134));
    ExpectContains(summary, label134 + QStringLiteral("1000"), "summary row of 134");  // passed 1
    ExpectContains(summary, label5 + QStringLiteral("0100"), "summary row of 5");      // failed 1
    ExpectContains(summary, label65 + QStringLiteral("0001"), "summary row of 65");    // skipped 1

    // General information: every operator text exactly as typed.
    const QString general = Read(browser, ClickButton(QStringLiteral("General Information")));
    for (const char* field : {"ED_DUT_DeviceName", "ED_DUT_CustomerModel", "ED_DUT_Serial", "ED_DUT_Driver",
                              "ED_REF_CustomerModel", "ED_REF_Serial", "ED_REF_Driver"})
        ExpectContains(general, QLatin1String(field) + QLatin1Char(' ') + kHostile, field);
    const auto& v = form->VersionCharacters();
    ExpectContains(general,
                   QStringLiteral("TE Firmware Version%1.%2.%3").arg(QChar(v[0])).arg(QChar(v[1])).arg(QChar(v[2])),
                   "firmware version");
    ExpectContains(general, QStringLiteral("CTS Gui Version") + TSrcAboutForm::GetVersionText(), "gui version");
    ExpectContains(general, QStringLiteral("Report created using the Merovan Vardeko Software "), "comments");
    ExpectContains(general, kHostile + QStringLiteral("second line"), "comment lines");
    EXPECT_TRUE(
        general.contains(QRegularExpression(QStringLiteral("Report generated \\d{4}-\\d\\d-\\d\\d, "
                                                           "\\d\\d:\\d\\d\\.\\d\\d"))));

    // Each test from its summary button and from the test list.
    struct Expected {
        QString label;
        QString line;
    };
    const Expected details[] = {
        {label5, QStringLiteral("AUX reply </script> defer")},
        {label65, QStringLiteral("Test SKIPPED: No audio")},
        {label134, QStringLiteral("raw  end tag and  comment")},
    };
    for (int i = 0; i < 3; ++i) {
        const QString fromSummary =
            Read(browser, ClickButton(QStringLiteral("Test Summary")) +
                              QStringLiteral("; document.querySelectorAll('#document button')[%1].click()").arg(i));
        const QString fromList = Read(
            browser, QStringLiteral("const s = document.getElementById('testlist'); s.value = '%1'; s.click()").arg(i));
        for (const QString& text : {fromSummary, fromList}) {
            ExpectContains(text, QStringLiteral("Test details"), "details");
            ExpectContains(text, details[i].label, "details heading");
            ExpectContains(text, details[i].line, "details line");
        }
        EXPECT_EQ(fromSummary, fromList);
        const QString option =
            Read(browser, QString(), QStringLiteral("document.getElementById('testlist').options[%1].text").arg(i));
        EXPECT_EQ(option, details[i].label);
    }

    // All details: one heading, every test.
    const QString all = Read(browser, ClickButton(QStringLiteral("View all test details")));
    EXPECT_EQ(all.count(QStringLiteral("Test details")), 1);
    ExpectContains(all, QStringLiteral("TE says ok & fine"), "all details");
    for (const Expected& e : details) {
        ExpectContains(all, e.label, "all details");
        ExpectContains(all, e.line, "all details");
    }
    const QString dir = QStringLiteral(CTS_SCREENSHOT_DIR);
    EXPECT_TRUE(browser.Screenshot(dir + QStringLiteral("/report_all_details.png"), 1200, 1600, error)) << error;
    Read(browser, ClickButton(QStringLiteral("Test Summary")));
    EXPECT_TRUE(browser.Screenshot(dir + QStringLiteral("/report_summary.png"), 1200, 1600, error)) << error;

    // Printer friendly: the heading, company block, general information and all details on one page.
    const QString printable =
        Read(browser, ClickButton(QStringLiteral("Printer Friendly")), QStringLiteral("document.body.textContent"));
    ExpectContains(printable, QStringLiteral("DisplayPort Source Compliance Test Report"), "printer heading");
    ExpectContains(printable, QStringLiteral("Merovan"), "printer company");
    ExpectContains(printable, name, "printer general information");
    ExpectContains(printable, kHostile + QStringLiteral("second line"), "printer comments");
    EXPECT_EQ(printable.count(QStringLiteral("Test details")), 1);
    for (const Expected& e : details) {
        ExpectContains(printable, e.label, "printer details");
        ExpectContains(printable, e.line, "printer details");
    }
    EXPECT_TRUE(browser.Screenshot(dir + QStringLiteral("/report_printer_friendly.png"), 1200, 1600, error)) << error;

    // No text ran as script anywhere.
    EXPECT_EQ(Read(browser, QString(), QStringLiteral("String(window.injected)")), QStringLiteral("undefined"));
}

// The report of all 65 tests with 1 MiB of log lines: every test in the
// summary and in the details; its load time in the browser is printed.
TEST(ReportBrowserLarge, BigRunLoadsWithEveryTest) {
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const auto records = report_fixture::BigRun();
    HtmSupport report(QStringLiteral("DisplayPort Source Compliance Test Report"));
    report.SetTitle(QStringLiteral("Big Compliance Test Report"));
    for (const auto& record : records) {
        report.AddTest(platform::FromWindows1252(record->GetLogText()), platform::FromWindows1252(record->Label()),
                       record->Skips(), record->Timeouts(), record->Fails(), record->Passes());
    }
    const std::string text = report.WriteToText();
    const QString path = QDir(work.path()).filePath(QStringLiteral("big.HTM"));
    ASSERT_TRUE(platform::WriteFileAtomically(path.toStdString(), text));

    HeadlessBrowser browser;
    std::string error;
    ASSERT_TRUE(browser.Start(QDir(work.path()).filePath(QStringLiteral("profile")).toStdString(), error)) << error;
    ASSERT_TRUE(browser.Navigate(QUrl::fromLocalFile(path).toString(), error)) << error;
    const auto loadMs =
        browser.Evaluate(QStringLiteral("performance.getEntriesByType('navigation')[0].loadEventEnd"), error);
    ASSERT_TRUE(loadMs.has_value()) << error;
    std::printf("report load time in the browser: %.0f ms (%zu tests, %.2f MiB file; target < 2000 ms)\n",
                loadMs->toDouble(), records.size(), static_cast<double>(text.size()) / (1024.0 * 1024.0));

    const auto count = [&browser, &error](const char* expression) {
        const auto value = browser.Evaluate(QLatin1String(expression), error);
        EXPECT_TRUE(value.has_value()) << error;
        return value ? value->toInt() : -1;
    };
    EXPECT_EQ(count("document.querySelectorAll('#document button').length"), 65);  // the summary's rows
    const QString all = Read(browser, ClickButton(QStringLiteral("View all test details")));
    for (const auto& record : records) ExpectContains(all, platform::FromWindows1252(record->Label()), "all details");
    EXPECT_EQ(count("document.querySelectorAll('#document p[id^=test]').length"), 65);  // one heading per test
    EXPECT_EQ(count("document.getElementById('testlist').options.length"), 65);
}

}  // namespace
