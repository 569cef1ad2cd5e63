#pragma once
// TDutCapsForm: what the DisplayPort source under test can do. Eight check
// boxes, all unchecked at start, read and set directly by the main window
// (test parameter block bytes 6 and 7) and the test settings file (Flags).
// There is no Cancel: every change counts at once.

#include <QCheckBox>
#include <QDialog>
#include <QPushButton>

class TDutCapsForm : public QDialog {
public:
    explicit TDutCapsForm(QWidget* parent = nullptr);

    // Handler.
    void BitBtn1Click();

    QCheckBox* CH_VFCWOLT;              // video format change without link training
    QCheckBox* CH_LCRWOLT;              // lane count reduction without link training
    QCheckBox* CH_EDDC;                 // E-DDC
    QCheckBox* CH_DriveLevel;           // drive level 3
    QCheckBox* CH_PreEmphasis;          // pre-emphasis level 3
    QCheckBox* CH_FixedTiming;          // fixed timing
    QCheckBox* CB_SpreadSpectrum;       // SSC
    QCheckBox* CB_SCC_IfMaxDownSpread;  // SSC enabled if MAX_DOWNSPREAD=1
    QPushButton* BitBtn1;               // "Accept"
};
