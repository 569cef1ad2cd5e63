#pragma once
// The "Main" page of the sink monitor: the device connection, the link status
// with its lane lamps and error counters, the video CRC, the HDCP lamp and
// the main stream attribute (MSA) log. Controls only; the main window runs
// their handlers.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>
#include <array>
#include <vector>

#include "platform/gui/Lamp.h"
#include "sinkmonitor/PortComboBox.h"

namespace selvitra {

class MainPage : public QWidget {
public:
    explicit MainPage(QWidget* parent);

    // Every lamp of the page, for the teardown that turns them grey.
    std::vector<platform::Lamp*> Lamps() const;

    // "Device connection"
    PortComboBox* cbComPort;
    QLabel* lblFWVersion;
    QPushButton* btnUpdateFirmware;
    QPushButton* btnRefreshVersion;

    // "Link status"
    std::array<platform::Lamp*, 4> shCR, shSL, shCE;
    std::array<QLabel*, 4> lblVS, lblPRE, lblErrCnt;
    QLabel* lblLSLaneCount;
    QLabel* lblLSBitRate;
    QLabel* lblLSFramingMode;
    QLabel* lblLSScrambling;
    QPushButton* btnUpdateLinkStatus;
    QPushButton* btnClearLinkErrors;

    // "Video CRC"
    QLabel* lblVCRCRed;
    QLabel* lblVCRCGreen;
    QLabel* lblVCRCBlue;
    QPushButton* btnUpdateVideoCRC;

    // "HDCP status"
    platform::Lamp* shHDCPAuth;

    // "Main Stream Attributes (MSA)"
    platform::Lamp* shMSAUnstable;
    platform::Lamp* shVideoValid;
    QTreeWidget* lvMSA;
    QMenu* pmMSA;
    QAction* pmiDelete;
    QAction* pmiMSACopy;
    QAction* pmiMSAClear;
    QCheckBox* cbMSAEnable;
    QPushButton* btnMSAClear;
    QPushButton* btnMSACopy;
};

}  // namespace selvitra
