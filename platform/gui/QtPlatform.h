#pragma once

namespace platform {

// Call once on the GUI thread after the QApplication exists: makes that
// thread the GUI thread, lets CallOnGuiThread and PostToGuiThread wake the Qt
// event loop (which then serves them), and shows ShowMessageBox requests as
// QMessageBox.
void InstallQtPlatform();

}  // namespace platform
