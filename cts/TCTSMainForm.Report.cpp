// "Save Report ...": the report options dialog, the HTML report of every
// test record, its write and the desktop's open.
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <filesystem>

#include "cts/TCTSMainForm.h"
#include "cts/dialogs/TReportOptions.h"
#include "cts/dialogs/TSrcAboutForm.h"
#include "cts/report/HtmSupport.h"
#include "cts/report/HtmlText.h"
#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"
#include "platform/Windows1252.h"
#include "platform/gui/FileDialog.h"
#include "platform/gui/Modal.h"

namespace {

const QString kReportHeading = QStringLiteral("DisplayPort Source Compliance Test Report");

// The operator's text as HTML.
QString HtmlOf(const QString& plain) {
    const QByteArray utf8 = plain.toUtf8();
    return QString::fromUtf8(EscapeHtml(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size()))));
}

}  // namespace

bool TCTSMainForm::MENU_SaveReportClick() {
    TReportOptions* options = dialogs_.reportOptions;
    if (!options) return false;

    const bool haveRecords = !tests_.empty();
    std::stable_sort(tests_.begin(), tests_.end(),
                     [](const auto& a, const auto& b) { return UCTSTest::CompareTestIds(*a, *b) < 0; });

    const QString version = TSrcAboutForm::GetVersionText();
    options->Comments = QStringLiteral("Report created using the Merovan Vardeko Software ") + version;
    options->GroupBox1->setTitle(QStringLiteral(" DP Source DUT "));
    options->GroupBox2->setTitle(QStringLiteral("  DP Reference Sink TE "));
    options->move(frameGeometry().center() - options->rect().center());
    if (platform::ExecModal(*options) != QDialog::Accepted) return false;

    // A name without an extension gets ".HTM". A name the save-file dialog
    // gave in this showing, unchanged, was asked about there; any other
    // name is asked about here when its file exists.
    QString path = QString::fromUtf8(options->GetSaveFileName());
    bool appended = false;
    if (!QFileInfo(path).fileName().contains(QLatin1Char('.'))) {
        path += QStringLiteral(".HTM");
        appended = true;
    }
    if ((appended || !options->SaveFileChosenInDialog()) && QFileInfo::exists(path)) {
        const QString question = QStringLiteral("The file '") + QFileInfo(path).fileName() +
                                 QStringLiteral("' already exists.\r\n\r\nOverwrite?");
        const auto answer =
            platform::ShowMessageBox(question.toStdString(), windowTitle().toStdString(), platform::MsgIcon::Question,
                                     platform::MsgButtons::YesCancel, this);
        if (answer != platform::MsgResult::Yes) return false;
    }

    const RunClock::LocalTime now = RunClock::System().localTime();
    HtmSupport report(kReportHeading);
    report.SetTitle(options->ED_DUT_DeviceName->text() + QStringLiteral(" Compliance Test Report"));

    report.AddIdentification({
        .teFirmwareVersion = versionKnown_ ? VersionText(version_) : QStringLiteral("Unknown"),
        .guiVersion = version,
        .teDriver = options->ED_REF_Driver->text(),
        .teSerial = options->ED_REF_Serial->text(),
        .teModel = options->ED_REF_CustomerModel->text(),
        .dutDriver = options->ED_DUT_Driver->text(),
        .dutSerial = options->ED_DUT_Serial->text(),
        .dutModel = options->ED_DUT_CustomerModel->text(),
        .dutDeviceName = options->ED_DUT_DeviceName->text(),
    });

    report.AddBodyText(HtmlOf(options->MEMO_Comments->toPlainText()));
    report.AddBodyText(QStringLiteral("<br>"));
    report.AddBodyText(QString::asprintf("Report generated %.4i-%.2i-%.2i, %.2i:%.2i.%.2i", now.year, now.month,
                                         now.day, now.hour, now.minute, now.second));

    if (haveRecords) {
        for (const auto& record : tests_) {
            report.AddTest(platform::FromWindows1252(record->GetLogText()), platform::FromWindows1252(record->Label()),
                           record->Skips(), record->Timeouts(), record->Fails(), record->Passes());
        }
    } else {
        const QString none = QStringLiteral("No Tests Executed.");
        report.AddTest(none, none, 0, 0, 0, 0);
    }

    // The old file stays until the new one is written whole.
    if (!platform::WriteFileAtomically(std::filesystem::path(QFile::encodeName(path).toStdString()),
                                       report.WriteToText())) {
        platform::ShowMessageBox("Unable to create file. Report not saved.", windowTitle().toStdString(),
                                 platform::MsgIcon::None, platform::MsgButtons::Ok, this);
        return false;
    }
    platform::OpenWithDesktop(QFileInfo(path).absoluteFilePath());
    reportSaved_ = true;
    return true;
}
