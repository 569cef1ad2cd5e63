#pragma once
// TFirmwareUpdate: shows the firmware version the instrument runs and
// replaces its firmware with an Intel HEX file. The dialog holds no link
// logic: "Check Running Version" and "Upgrade" call the two requests the
// main window sets, and the main window reports the version, the update's
// start, progress and outcome back (SetVersionText, SetBusy, the progress
// bar, ShowResult).
//
// Created once, shown modally. While an update runs (busy) the dialog is
// disabled and cannot be closed. After a successful update only "Ok" is
// offered; the next showing offers "Upgrade" and "Cancel" again. The
// version text and the file name stay from one showing to the next.

#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <cstdint>
#include <functional>
#include <string>

class TFirmwareUpdate : public QDialog {
public:
    // The file name as UTF-8.
    using UpgradeRequestFn = std::function<void(const std::string& fileName)>;
    // Asks the instrument for its version and shows the outcome
    // (SetVersionText), inside the call or later; "Check Running Version"
    // shows "<Please wait>" before it calls it.
    using VersionRequestFn = std::function<void()>;

    // The progress bar's scale: the bar's range stays below 32768 whatever
    // the total, so the byte counts are divided by `divisor`.
    struct ProgressScale {
        uint32_t divisor;
        int maximum;
    };
    static ProgressScale ScaleFor(uint32_t totalBytes);

    explicit TFirmwareUpdate(QWidget* parent = nullptr);

    // Handlers.
    void FormShow();
    void BTN_CheckVerClick();
    void BTN_BrowseHexClick();
    // "Upgrade" enabled exactly when ED_HexFile names a regular file; a name
    // of a FIFO or a device puts its refusal into LBL_Message.
    void ED_HexFileChange();
    void BTN_UpgradeClick();
    void BTN_CancelClick();
    void BTN_CloseClick();
    bool FormCloseQuery() const;  // closing is allowed exactly when not busy

    void SetVersionText(const QString& text);
    // Busy: "Check Running Version", "Upgrade", "Cancel" and the whole
    // dialog disabled. Not busy: enabled again, "Upgrade" only while the
    // file of ED_HexFile exists.
    void SetBusy(bool busy);
    bool Busy() const { return busy_; }
    // Whether the main window takes a request now. While it does not (the
    // version query is out, or another request of the window) "Check Running
    // Version" and "Upgrade" are disabled.
    void SetRequestsAllowed(bool allowed);
    // The outcome box ("Completed succesfully" or "Upgrade Failed..."), then
    // the buttons that follow it: "Ok" alone after success, "Upgrade" and
    // "Cancel" after a failure.
    void ShowResult(bool ok);

    // Progress: Start shows the bar at 0 for `totalBytes`, Set moves it to
    // the bytes sent, Hide hides it.
    void StartProgress(uint32_t totalBytes);
    void SetProgress(uint32_t bytesSent);
    void HideProgress();

    // Set by the main window each time it shows the dialog.
    UpgradeRequestFn UpgradeRequest;
    VersionRequestFn VersionRequest;

    QLabel* Label2;
    QLineEdit* ED_VersionInfo;
    QPushButton* BTN_CheckVer;
    QLabel* Label3;
    QLineEdit* ED_HexFile;
    QPushButton* BTN_BrowseHex;
    QLabel* LBL_Message;  // the message line below the file name
    QProgressBar* PB_UpdateProcess;
    QPushButton* BTN_Upgrade;
    QPushButton* BTN_Cancel;
    QPushButton* BTN_Close;
    QFileDialog* DLG_OpenHex;

    // Every way of ending the dialog (buttons, Esc, the window frame) asks
    // FormCloseQuery first.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool busy_ = false;
    bool requestsAllowed_ = true;
    uint32_t progressDivisor_ = 1;
};
