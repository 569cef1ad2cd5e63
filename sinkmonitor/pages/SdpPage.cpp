#include "sinkmonitor/pages/SdpPage.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "platform/gui/FormKit.h"
#include "sinkmonitor/pages/SdpDecode.h"

namespace selvitra {

using platform::Button;
using platform::Named;

SdpPage::SdpPage(QWidget* parent) : QWidget(parent) {
    setObjectName("tbsSDP");
    auto* page = new QVBoxLayout(this);
    auto* gbSdp = Named<QGroupBox>(this, "gbSDP", QStringLiteral("Secondary Data Packets (SDP)"));
    page->addWidget(gbSdp);
    auto* sdp = new QVBoxLayout(gbSdp);
    auto* top = new QHBoxLayout;
    cbSDPEnable = Named<QCheckBox>(gbSdp, "cbSDPEnable", QStringLiteral("Enable"));
    top->addWidget(cbSDPEnable);
    top->addStretch(1);
    btnSDPCopy = Button(gbSdp, "btnSDPCopy", QStringLiteral("Copy"));
    btnSDPClear = Button(gbSdp, "btnSDPClear", QStringLiteral("Clear"));
    top->addWidget(btnSDPCopy);
    top->addWidget(btnSDPClear);
    sdp->addLayout(top);

    lvSDP = Named<QTreeWidget>(gbSdp, "lvSDP");
    lvSDP->setRootIsDecorated(false);
    lvSDP->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvSDP->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvSDP->setContextMenuPolicy(Qt::CustomContextMenu);
    QStringList columns;
    for (const char* c : kSdpColumns) columns << QString::fromLatin1(c);
    lvSDP->setHeaderLabels(columns);
    lvSDP->header()->setStretchLastSection(true);  // "Data" fills the rest of the width
    sdp->addWidget(lvSDP, 1);

    pmSDP = Named<QMenu>(this, "pmSDP");
    pmiSDPCopy = pmSDP->addAction(QStringLiteral("&Copy"));
    pmiSDPCopy->setObjectName("pmiSDPCopy");
    pmiSDPClear = pmSDP->addAction(QStringLiteral("&Clear"));
    pmiSDPClear->setObjectName("pmiSDPClear");
}

}  // namespace selvitra
