// The firmware update dialog's progress bar writes its text in ASCII digits
// under a locale whose digits are others (Arabic, Egypt): the text screen
// readers are told of the bar, which paints none. The main window's own
// locale (ASCII digits) does not reach a dialog, a window of its own.
#include <gtest/gtest.h>

#include <QLocale>

#include "cts/dialogs/TFirmwareUpdate.h"
#include "support/ArabicDigitsLocale.h"

namespace {

TEST(FirmwareDialogDigits, TheProgressTextIsWrittenInAsciiDigits) {
    const ArabicDigitsLocale arabic;
    ASSERT_TRUE(ArabicDigitsLocale::InForce());
    QWidget mainWindow;
    mainWindow.setLocale(QLocale::c());
    TFirmwareUpdate dialog(&mainWindow);
    dialog.StartProgress(100000);  // a maximum of 25000
    const struct {
        uint32_t bytesSent;
        const char* text;
    } cases[] = {{0, "0%"}, {19500, "19%"}, {100000, "100%"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytesSent);
        dialog.SetProgress(c.bytesSent);
        EXPECT_EQ(dialog.PB_UpdateProcess->text().toStdString(), c.text);
    }
}

}  // namespace
