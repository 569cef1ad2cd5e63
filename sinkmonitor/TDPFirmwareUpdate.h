#pragma once
// TDPFirmwareUpdate: the firmware-update dialog. The operator picks a serial
// port and an Intel HEX file; the dialog starts the updater program
// (pallumo, beside the running program) as a process of its own, shows the
// notices the updater posts to the dialog's message endpoint as texts and
// progress, and reports the updater's exit. The dialog waits for the updater
// inside its own event loop: the window stays painted and the notices keep
// arriving while the updater runs, but the dialog cannot be closed until it
// has ended. The caller closes its own connection to the port before
// Execute and reopens it afterwards (the updater opens the port itself).

#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QString>

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/gui/MessageList.h"

class QSocketNotifier;
class QTimer;
class serialportenum_t;
namespace platform {
class MessageEndpoint;
}

class TDPFirmwareUpdate : public QDialog {
public:
    // The updater is "pallumo" in the folder of programFilePath: the running
    // program's file when empty. A missing updater is reported at once with a
    // message box; the dialog is made all the same.
    explicit TDPFirmwareUpdate(QWidget* parent = nullptr, const QString& programFilePath = QString());
    ~TDPFirmwareUpdate() override;

    // Runs the dialog once. portName is the port's text as the caller's port
    // drop-down shows it (empty: none); the port of that text is selected
    // when present. The operator chooses the firmware file first; when that
    // is cancelled the dialog is not shown. Returns when the dialog has been
    // closed, which cannot happen while the updater runs.
    void Execute(const QString& portName);

    // Handlers.
    void FormCreate();
    void FormDestroy();
    void cbComPortDropDown();
    void cbComPortChange();
    void btnExploreClick();
    void btnUpdateFirmwareClick();
    void OnUpdaterMessage(uint32_t kind, uint32_t value);
    void AddText(const QString& text);
    void ResetView();
    // False when the operator cancelled the open-file dialog.
    bool SelectFirmwareFile();

    // The first steps of Execute, up to the file choice: caption, file label
    // cleared, message endpoint, port list with portName selected, view reset.
    void Prepare(const QString& portName);

    const QString& UpdaterPath() const { return updaterPath_; }
    // The endpoint the updater's notices arrive at: "PALLUMO." + these 8 digits.
    uint32_t EndpointId() const { return endpointId_; }
    const QString& FirmwareFile() const { return firmwareFile_; }
    // True from a successful start of the updater until its end is handled.
    bool UpdaterRunning() const { return updaterPid_ > 0; }

    // The open-file dialog is shown through this function when it is set
    // (tests answer it without a modal dialog): it gets the configured dialog
    // and returns the chosen file name, empty when cancelled.
    std::function<QString(QFileDialog& dialog)> FileDialogHook;

    QLabel* lblSerialPort;
    QComboBox* cbComPort;
    QLabel* lblFWFileNameCaption;
    QLabel* lblFirmwareFile;
    QPushButton* btnExplore;
    QProgressBar* pbUpdate;
    platform::MessageList* lbTextOut;
    QPushButton* btnUpdateFirmware;
    QPushButton* btnClose;
    QFileDialog* odSelectFirmwareFile;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void reject() override;
    void SetFirmwareFile(const QString& fileName);
    void ShowFirmwareFile();
    void ReceiveNotices();
    bool StartUpdater(const QString& devicePath, int& error);
    void WatchUpdater();
    void OnUpdaterEnded();
    void SetRunningControls(bool running);

    QString programFolder_;
    QString updaterPath_;
    uint32_t endpointId_ = 0;
    std::unique_ptr<platform::MessageEndpoint> endpoint_;
    QSocketNotifier* endpointNotifier_ = nullptr;
    std::unique_ptr<serialportenum_t> ports_;
    QString firmwareFile_;
    bool initialFolderSet_ = false;

    // The running updater: its process id, the descriptor that becomes
    // readable when it ends, and the notifier watching that descriptor.
    pid_t updaterPid_ = -1;
    int updaterEndFd_ = -1;
    QSocketNotifier* updaterEndNotifier_ = nullptr;
    QTimer* updaterEndTimer_ = nullptr;  // looks for the end where no descriptor can be had
};
