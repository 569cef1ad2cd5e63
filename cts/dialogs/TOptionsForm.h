#pragma once
// TOptionsForm: the options dialog. Chooses the serial port through which the
// instrument is reached, the link time-out and the delay between tests.
//
// The main window's order: SelectDevice(stored device path); set the
// positions of UD_TimeoutLen and UD_TestDelay (seconds); show it modally; on
// Accepted read GetSelectedDevice() and the two positions.
//
// The drop-down shows the present ports by friendly name (a name that two
// ports share is followed by " (" + device path + ")"); the value that
// counts is the device path of the selected entry. Cancel, Esc and the
// window frame put back the device path and positions of the moment the
// dialog was shown.

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <string>

#include "link/SystemSerPorts.h"

class TOptionsForm : public QDialog {
public:
    // `lister` replaces the system's port listing (tests).
    explicit TOptionsForm(QWidget* parent = nullptr, SystemSerPorts::Lister lister = {});

    // Lists the present ports again and selects the entry of `devicePath`
    // (letter case ignored); nothing is selected when it is not present.
    void SelectDevice(const std::string& devicePath);
    // The device path of the selected entry, or the empty text when nothing
    // is selected.
    std::string GetSelectedDevice() const;

    // Handlers.
    void FormShow();
    void CB_ComSelectDropDown();
    void BitBtn2Click();
    void BitBtn1Click();

    QLabel* Label1;
    QComboBox* CB_ComSelect;
    QLabel* LBL_TimeoutLen;
    QLineEdit* ED_TimeoutLen;  // the text part of UD_TimeoutLen
    QSpinBox* UD_TimeoutLen;   // seconds, 1 to 60
    QLabel* LBL_TestDelay;
    QLineEdit* ED_TestDelay;  // the text part of UD_TestDelay
    QSpinBox* UD_TestDelay;   // seconds, 0 to 60
    QPushButton* BitBtn2;     // "Ok"
    QPushButton* BitBtn1;     // "Cancel"

    // Cancel, Esc and the window frame end here.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Fills the drop-down from the enumeration and selects `devicePath`.
    void FillPorts(const std::string& devicePath);

    SystemSerPorts ports_;
    // The device paths of the drop-down's entries, in its order.
    std::vector<std::string> shownPaths_;
    std::string shownDevice_;
    int shownTimeout_ = 0;
    int shownDelay_ = 0;
};
