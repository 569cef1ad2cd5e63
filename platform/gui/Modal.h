#pragma once
// The one way the programs show a box or dialog modally.
class QDialog;

namespace platform {

// Runs the dialog's exec() as a marked modal loop (platform::ModalLoop): in
// it run input, paints, timers, Qt's own events and the workers' blocking
// calls, and no PostToGuiThread post; those run after the handler that
// showed the dialog has returned. Returns what exec() returns.
int ExecModal(QDialog& dialog);

}  // namespace platform
