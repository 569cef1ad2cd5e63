// Selvitra, the sink monitor: creates its windows (the main window, the
// progress window, the firmware-update dialog) and runs the event loop.
#include <QApplication>
#include <exception>

#include "platform/MessageBox.h"
#include "platform/gui/QtPlatform.h"
#include "sinkmonitor/TDPFirmwareUpdate.h"
#include "sinkmonitor/TProgressForm.h"
#include "sinkmonitor/TfrmMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    platform::InstallQtPlatform();
    try {
        TfrmMain frmMain(app.arguments());
        TProgressForm progressForm(&frmMain);
        frmMain.SetProgressForm(&progressForm);
        // The updater, pallumo, lies in this program's folder.
        TDPFirmwareUpdate frmFirmwareUpdate(&frmMain, QCoreApplication::applicationFilePath());
        frmMain.SetFirmwareUpdateRunner([&](const QString& portName) { frmFirmwareUpdate.Execute(portName); });
        frmMain.show();
        app.exec();
    } catch (const std::exception& e) {
        platform::ShowMessageBox(e.what(), "Selvitra", platform::MsgIcon::Error);
    }
    return 0;
}
