// Selvitra, the sink monitor: creates its windows (the main window, the
// progress window, the firmware-update dialog) and runs the event loop.
#include <exception>

#include "platform/gui/GuiApplication.h"
#include "platform/gui/QtPlatform.h"
#include "sinkmonitor/TDPFirmwareUpdate.h"
#include "sinkmonitor/TProgressForm.h"
#include "sinkmonitor/TfrmMain.h"

namespace {

// The title of the boxes of the application's exception display.
constexpr const char* kProgramTitle = "Selvitra";

}  // namespace

int main(int argc, char** argv) {
    // An exception that leaves a handler is shown and the program goes on;
    // one that leaves the creation of the windows is shown and ends it.
    platform::GuiApplication app(argc, argv, kProgramTitle);
    platform::InstallQtPlatform();
    std::exception_ptr failed;
    try {
        TfrmMain frmMain(app.arguments());
        TProgressForm progressForm(&frmMain);
        frmMain.SetProgressForm(&progressForm);
        // The updater, pallumo, lies in this program's folder.
        TDPFirmwareUpdate frmFirmwareUpdate(&frmMain, QCoreApplication::applicationFilePath());
        frmMain.SetFirmwareUpdateRunner([&](const QString& portName) { frmFirmwareUpdate.Execute(portName); });
        frmMain.show();
        app.exec();
    } catch (...) {
        failed = std::current_exception();
    }
    if (failed) app.ShowException(failed);
    return 0;
}
