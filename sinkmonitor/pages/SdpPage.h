#pragma once
// The "SDP" page: the log of captured secondary data packets, its capture
// box and its copy and clear buttons.
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>

namespace selvitra {

class SdpPage : public QWidget {
public:
    explicit SdpPage(QWidget* parent);

    QCheckBox* cbSDPEnable;
    QPushButton* btnSDPCopy;
    QPushButton* btnSDPClear;
    QTreeWidget* lvSDP;
    QMenu* pmSDP;
    QAction* pmiSDPCopy;
    QAction* pmiSDPClear;
};

}  // namespace selvitra
