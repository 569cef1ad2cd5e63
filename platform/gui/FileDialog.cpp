#include "platform/gui/FileDialog.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

#include <utility>

#include "platform/gui/Modal.h"

namespace platform {
namespace {

FileDialogHook& TheFileDialogHook() {
    static FileDialogHook hook;
    return hook;
}

DesktopOpenHook& TheDesktopOpenHook() {
    static DesktopOpenHook hook;
    return hook;
}

}  // namespace

void UseCaseInsensitiveFilters(QFileDialog& dialog) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
}

QString RunFileDialog(QFileDialog& dialog) {
    if (TheFileDialogHook()) return TheFileDialogHook()(dialog);
    if (ExecModal(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        return dialog.selectedFiles().front();
    return QString();
}

FileDialogHook SetFileDialogHook(FileDialogHook hook) { return std::exchange(TheFileDialogHook(), std::move(hook)); }

bool OpenWithDesktop(const QString& path) {
    if (TheDesktopOpenHook()) return TheDesktopOpenHook()(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

DesktopOpenHook SetDesktopOpenHook(DesktopOpenHook hook) {
    return std::exchange(TheDesktopOpenHook(), std::move(hook));
}

}  // namespace platform
