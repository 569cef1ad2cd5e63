#pragma once

namespace platform {

// Call once on the GUI thread after the QApplication exists: makes that
// thread the GUI thread, lets workers' CallOnGuiThread wake the Qt event loop,
// and shows ShowMessageBox requests as QMessageBox.
void InstallQtPlatform();

}  // namespace platform
