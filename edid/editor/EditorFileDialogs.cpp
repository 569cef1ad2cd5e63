#include "edid/editor/EditorFileDialogs.h"

#include <QDir>
#include <QFileInfo>

namespace editor_files {
namespace {

Hook& TheHook() {
    static Hook hook;
    return hook;
}

void Common(QFileDialog& dialog, const QString& folder, const QStringList& filters) {
    // The project's own dialog, so that the filters match in any letter case.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
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
    QString name;
    if (TheHook()) {
        name = TheHook()(dialog);
    } else if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        name = dialog.selectedFiles().front();
    }
    if (!name.isEmpty() && !dialog.defaultSuffix().isEmpty() && QFileInfo(name).suffix().isEmpty()) {
        name += QLatin1Char('.') + dialog.defaultSuffix();
    }
    return name;
}

void SetHook(Hook hook) { TheHook() = std::move(hook); }

}  // namespace editor_files
