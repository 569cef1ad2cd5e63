// Selvitra's progress bars write their texts in ASCII digits under a locale
// whose digits are others (Arabic, Egypt, would show "٧٨٪"): the
// firmware-update dialog's bar as an updater's progress notice sets it, and
// the progress window's as its lines advance it.
#include <gtest/gtest.h>

#include <QProgressBar>
#include <QWidget>

#include "platform/MessageBoxInterceptor.h"
#include "sinkmonitor/TDPFirmwareUpdate.h"
#include "sinkmonitor/TProgressForm.h"
#include "support/ArabicDigitsLocale.h"

namespace {

TEST(SelvitraProgressBars, WriteAsciiDigitsWhateverTheLocale) {
    const ArabicDigitsLocale arabic;
    ASSERT_TRUE(ArabicDigitsLocale::InForce());
    platform::MessageBoxInterceptor boxes;  // the dialog's missing updater

    QWidget mainWindow;
    TDPFirmwareUpdate dialog(&mainWindow, QStringLiteral("/no-such-folder/selvitra"));
    dialog.OnUpdaterMessage(2, 0);  // update started: the bar shows
    dialog.OnUpdaterMessage(3, 78);

    TProgressForm progress(&mainWindow);
    progress.Start(QStringLiteral("AUX channel sensitivity test in progress. Please wait..."), 11);
    for (int i = 0; i < 3; ++i) progress.AddLine(QStringLiteral("Testing... OK"));

    const struct {
        const char* bar;
        QProgressBar* control;
        int value;
        const char* text;
    } cases[] = {
        {"firmware update", dialog.pbUpdate, 78, "78%"},
        {"progress window", progress.pbProgress, 3, "27%"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bar);
        EXPECT_EQ(c.control->value(), c.value);
        EXPECT_EQ(c.control->text().toStdString(), c.text);
    }
    EXPECT_TRUE(dialog.pbUpdate->isTextVisible());
    progress.Finish();
    // For review: the dialog as the operator sees it then.
    dialog.grab().save(QStringLiteral(SELVITRA_SCREENSHOT_DIR) + "/firmware-update-progress-arabic.png");
}

}  // namespace
