#pragma once
// The "Various" page: DPCD register access, the sink capabilities, the HPD
// pulse, the AUX channel output level and the AUX channel sensitivity test.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include "platform/gui/MessageList.h"

namespace selvitra {

class VariousPage : public QWidget {
public:
    explicit VariousPage(QWidget* parent);

    // "DPCD access"
    QLineEdit* edDPCDAddress;
    QLineEdit* edDPCDData;
    QLabel* lblDPCDStatus;
    QPushButton* btnDPCDRead;
    QPushButton* btnDPCDWrite;

    // "Sink capabilities"
    QRadioButton* rb1Lane;
    QRadioButton* rb2Lanes;
    QRadioButton* rb4Lanes;
    QRadioButton* rbReduced;
    QRadioButton* rbHigh;
    QRadioButton* rbHigh2;
    QRadioButton* rbFramingNormal;
    QRadioButton* rbFramingEnhanced;
    QPushButton* btnSetSinkCapabilities;

    // "Hot plug detect (HPD) pulse"
    QLineEdit* edtHPDDuration;
    QPushButton* btnPulseHPD;

    // "AUX channel output level"
    QRadioButton* rbAUXL200;
    QRadioButton* rbAUXL270;
    QRadioButton* rbAUXL400;
    QRadioButton* rbAUXL600;
    QRadioButton* rbAUXL800;
    QRadioButton* rbAUXL1200;
    QPushButton* btnSetAUXChannelOutputLevel;

    // "AUX Channel Sensitivity Test"
    QLineEdit* edtASTStart;
    QLineEdit* edtASTStop;
    QRadioButton* rbDecr30;
    QRadioButton* rbDecr50;
    QRadioButton* rbDecr100;
    platform::MessageList* lbAUXTest;
    QPushButton* btnAUXTest;
    QPushButton* btnAUXCopy;
};

}  // namespace selvitra
