#pragma once
// The one way every window shows a file dialog or hands a file to the
// desktop, so that tests can answer both without a real dialog or program.

#include <QFileDialog>
#include <QString>

#include <functional>

namespace platform {

// Makes a configured dialog the project's own (not the desktop's), whose
// filters match file names without regard to letter case ("*.CFG" also
// lists "x.cfg").
void UseCaseInsensitiveFilters(QFileDialog& dialog);

// Shows the dialog modally; the chosen file name, or empty when cancelled.
// With a hook set, the hook answers instead and nothing is shown.
QString RunFileDialog(QFileDialog& dialog);

// Tests answer the dialogs through a hook: it gets the configured dialog and
// returns the chosen name (empty: cancel). Returns the previous hook.
using FileDialogHook = std::function<QString(QFileDialog& dialog)>;
FileDialogHook SetFileDialogHook(FileDialogHook hook);

// Opens the file with the desktop's default program for its type; false
// when the desktop refused. With a hook set, the hook is called instead.
bool OpenWithDesktop(const QString& path);
using DesktopOpenHook = std::function<bool(const QString& path)>;
DesktopOpenHook SetDesktopOpenHook(DesktopOpenHook hook);

}  // namespace platform
