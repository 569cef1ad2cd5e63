#pragma once
// TTestAutomation: which test automation requests the source under test
// supports, and the event that tells the instrument the source is ready.
// Five check boxes (all checked at start) and the event list (item 3,
// "Active Video", at start), read and set directly by the main window (test
// parameter block byte 5) and the test settings file (TestAutomation).
//
// Accept keeps the changes; Cancel, Esc and the window frame put back the
// five boxes and the event choice of the moment the dialog was shown.

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <array>

class TTestAutomation : public QDialog {
public:
    explicit TTestAutomation(QWidget* parent = nullptr);

    // Whether the event choice counts: TEST_EDID_READ, TEST_VIDEO_PATTERN or
    // TEST_LINK_TRAINING is checked.
    bool IsEventEnabled() const;
    // Enables the event list and its label exactly when IsEventEnabled();
    // call it after setting the boxes directly.
    void CheckStates();

    // Handlers.
    void FormShow();
    void BTN_AcceptClick();
    void BTN_CancelClick();

    QGroupBox* GroupBox1;
    QCheckBox* CH_LinkTraining;  // TEST_LINK_TRAINING
    QCheckBox* CH_EDID;          // TEST_EDID_READ
    QCheckBox* CH_Pattern;       // TEST_VIDEO_PATTERN
    QCheckBox* CH_TEST_TIMING;   // TEST_TIMING
    QCheckBox* CH_TEST_AUDIO;    // TEST_AUDIO_PATTERN
    QLabel* LB_Event;
    QComboBox* CB_Event;  // "None", "EDID read", "Link Training end", "Active Video"
    QPushButton* BTN_Accept;
    QPushButton* BTN_Cancel;

    // Cancel, Esc and the window frame end here.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::array<bool, 5> shownBoxes_{};
    int shownEvent_ = -1;
};
