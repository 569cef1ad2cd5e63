#pragma once
#include "platform/MessageBox.h"

namespace platform {

// Call once on the GUI thread after the QApplication exists: makes that
// thread the GUI thread, lets CallOnGuiThread and PostToGuiThread wake the Qt
// event loop (which then runs each in a turn of its own), and shows
// ShowMessageBox requests as QMessageBox.
void InstallQtPlatform();

// The message-box handler InstallQtPlatform installs: shows the request as a
// QMessageBox in a modal loop of its own (ExecModal) and returns the button
// pressed. A test whose boxes are intercepted shows a real one with it.
MsgResult ShowQtMessageBox(const MessageBoxRequest& request);

}  // namespace platform
