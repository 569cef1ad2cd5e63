#include "edid/editor/EditorFileDialogs.h"

#include <QDir>
#include <QFileInfo>

#include "platform/gui/FileDialog.h"

namespace editor_files {
namespace {

void Common(QFileDialog& dialog, const QString& folder, const QStringList& filters) {
    platform::UseCaseInsensitiveFilters(dialog);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
    if (!folder.isEmpty()) dialog.setDirectory(folder);
    dialog.setSizeGripEnabled(true);
}

}  // namespace

void ConfigureOpenDialog(QFileDialog& dialog, const QString& folder) {
    dialog.setObjectName(QStringLiteral("OpenEDID"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // "Any file" means every file, with or without an extension.
    Common(dialog, folder,
           {QStringLiteral("Merovan EDID Editor files (*.ECD)"), QStringLiteral("Binary EDID files (*.BIN)"),
            QStringLiteral("Any file (*)")});
    dialog.setDefaultSuffix(QString());
}

void ConfigureSaveDialog(QFileDialog& dialog, const QString& folder) {
    dialog.setObjectName(QStringLiteral("SaveEDID"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    Common(dialog, folder,
           {QStringLiteral("Merovan EDID Editor files (*.ECD)"), QStringLiteral("Binary files (*.BIN)")});
    dialog.setDefaultSuffix(SaveDefaultSuffix(1));
}

QString SaveDefaultSuffix(int filterIndex) {
    switch (filterIndex) {
        case 1:
            return QStringLiteral("ECD");
        case 2:
            return QStringLiteral("BIN");
        default:
            return QString();
    }
}

int FilterIndex(const QFileDialog& dialog, const QString& filter) {
    return static_cast<int>(dialog.nameFilters().indexOf(filter)) + 1;
}

QString Run(QFileDialog& dialog) {
    QString name = platform::RunFileDialog(dialog);
    if (!name.isEmpty() && !dialog.defaultSuffix().isEmpty() && QFileInfo(name).suffix().isEmpty()) {
        name += QLatin1Char('.') + dialog.defaultSuffix();
    }
    return name;
}

}  // namespace editor_files
