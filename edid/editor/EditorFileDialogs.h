#pragma once
// The editor's open and save dialogs for E-EDID files (OpenEDID, SaveEDID).
// Filters "description (pattern)" are matched without regard to letter case.

#include <QFileDialog>
#include <QString>

namespace editor_files {

// Sets up the open dialog: the three filters, filter 1 chosen, no default
// extension, starting in folder when it is not empty.
void ConfigureOpenDialog(QFileDialog& dialog, const QString& folder);
// Sets up the save dialog: the two filters, filter 1, default extension
// ".ECD", overwrite prompt, starting in folder when it is not empty.
void ConfigureSaveDialog(QFileDialog& dialog, const QString& folder);
// The default extension (without its dot) for a 1-based save filter index:
// "ECD" for 1, "BIN" for 2, none otherwise.
QString SaveDefaultSuffix(int filterIndex);
// The 1-based index of a filter text in the dialog's filters (0: none).
int FilterIndex(const QFileDialog& dialog, const QString& filter);

// Shows the dialog modally (platform::RunFileDialog, which tests answer
// through its hook); the chosen file name, or empty when cancelled. A name
// without extension gets the dialog's default extension.
QString Run(QFileDialog& dialog);

}  // namespace editor_files
