#include "sinkmonitor/pages/MainPage.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStyle>
#include <QVBoxLayout>

#include "platform/gui/FormKit.h"
#include "sinkmonitor/pages/MsaDecode.h"

namespace selvitra {

using platform::Button;
using platform::Lamp;
using platform::Named;
using platform::PlainLabel;

namespace {

constexpr const char* kNotAvailable = "N/A";

// "shCR" and lane 2 give "shCR2".
QByteArray LaneName(const char* stem, int lane) { return QByteArray(stem) + QByteArray::number(lane); }

}  // namespace

MainPage::MainPage(QWidget* parent) : QWidget(parent) {
    setObjectName("tbsMain");
    auto* page = new QGridLayout(this);

    // Device connection
    auto* gbConnection = Named<QGroupBox>(this, "gbDeviceConnection", QStringLiteral("Device connection"));
    auto* connection = new QHBoxLayout(gbConnection);
    connection->addWidget(PlainLabel(gbConnection, "lblSerialPort", QStringLiteral("Serial port")));
    cbComPort = Named<PortComboBox>(gbConnection, "cbComPort");
    cbComPort->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbComPort->setMinimumContentsLength(18);
    connection->addWidget(cbComPort);
    lblFWVersion = PlainLabel(gbConnection, "lblFWVersion", QStringLiteral("Firmware version: "));
    connection->addWidget(lblFWVersion, 1);
    btnRefreshVersion = Button(gbConnection, "btnRefreshVersion", QString());
    btnRefreshVersion->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    btnRefreshVersion->setToolTip(QStringLiteral("Refresh version number"));
    btnRefreshVersion->hide();
    connection->addWidget(btnRefreshVersion);
    btnUpdateFirmware = Button(gbConnection, "btnUpdateFirmware", QStringLiteral("Update firmware..."));
    connection->addWidget(btnUpdateFirmware);
    page->addWidget(gbConnection, 0, 0, 1, 3);

    // Link status: one column per lane
    auto* gbLink = Named<QGroupBox>(this, "gbLinkStatus", QStringLiteral("Link status"));
    auto* link = new QGridLayout(gbLink);
    for (int lane = 0; lane < 4; ++lane)
        link->addWidget(PlainLabel(gbLink, LaneName("lblLane", lane), QStringLiteral("L%1").arg(lane)), 0, lane + 1,
                        Qt::AlignHCenter);
    struct LampRow {
        const char* caption;
        const char* stem;
        std::array<Lamp*, 4>* lamps;
    };
    const LampRow lampRows[] = {
        {"Clock recovery", "shCR", &shCR}, {"Symbol lock", "shSL", &shSL}, {"Channel equalization", "shCE", &shCE}};
    int row = 1;
    for (const auto& r : lampRows) {
        link->addWidget(PlainLabel(gbLink, QByteArray(r.stem) + "Caption", QString::fromLatin1(r.caption)), row, 0);
        for (int lane = 0; lane < 4; ++lane) {
            (*r.lamps)[lane] = Named<Lamp>(gbLink, LaneName(r.stem, lane));
            link->addWidget((*r.lamps)[lane], row, lane + 1, Qt::AlignHCenter);
        }
        ++row;
    }
    struct LabelRow {
        const char* caption;
        const char* stem;
        std::array<QLabel*, 4>* labels;
        const char* initial;
    };
    const LabelRow labelRows[] = {{"Voltage swing (mVpp)", "lblVS", &lblVS, kNotAvailable},
                                  {"Pre-emphasis (dB)", "lblPRE", &lblPRE, kNotAvailable},
                                  {"Error count", "lblErrCnt", &lblErrCnt, "0000"}};
    for (const auto& r : labelRows) {
        link->addWidget(PlainLabel(gbLink, QByteArray(r.stem) + "Caption", QString::fromLatin1(r.caption)), row, 0);
        for (int lane = 0; lane < 4; ++lane) {
            (*r.labels)[lane] = PlainLabel(gbLink, LaneName(r.stem, lane), QString::fromLatin1(r.initial));
            link->addWidget((*r.labels)[lane], row, lane + 1, Qt::AlignHCenter);
        }
        ++row;
    }
    struct ValueRow {
        const char* caption;
        const char* name;
        QLabel** label;
    };
    const ValueRow valueRows[] = {{"Lane count", "lblLSLaneCount", &lblLSLaneCount},
                                  {"Link rate (Gbps)", "lblLSBitRate", &lblLSBitRate},
                                  {"Framing mode", "lblLSFramingMode", &lblLSFramingMode},
                                  {"Scrambling", "lblLSScrambling", &lblLSScrambling}};
    for (const auto& r : valueRows) {
        link->addWidget(PlainLabel(gbLink, QByteArray(r.name) + "Caption", QString::fromLatin1(r.caption)), row, 0);
        *r.label = PlainLabel(gbLink, r.name, QString::fromLatin1(kNotAvailable));
        link->addWidget(*r.label, row, 1, 1, 4);
        ++row;
    }
    btnUpdateLinkStatus = Button(gbLink, "btnUpdateLinkStatus", QStringLiteral("Update"));
    btnClearLinkErrors = Button(gbLink, "btnClearLinkErrors", QStringLiteral("Clear"));
    auto* linkButtons = new QHBoxLayout;
    linkButtons->addStretch(1);
    linkButtons->addWidget(btnUpdateLinkStatus);
    linkButtons->addWidget(btnClearLinkErrors);
    link->addLayout(linkButtons, row, 0, 1, 5);
    page->addWidget(gbLink, 1, 0, 2, 1);

    // Video CRC
    auto* gbCrc = Named<QGroupBox>(this, "gbVideoCRC", QStringLiteral("Video CRC"));
    auto* crc = new QGridLayout(gbCrc);
    const ValueRow crcRows[] = {{"Red", "lblVCRCRed", &lblVCRCRed},
                                {"Green", "lblVCRCGreen", &lblVCRCGreen},
                                {"Blue", "lblVCRCBlue", &lblVCRCBlue}};
    row = 0;
    for (const auto& r : crcRows) {
        crc->addWidget(PlainLabel(gbCrc, QByteArray(r.name) + "Caption", QString::fromLatin1(r.caption)), row, 0);
        *r.label = PlainLabel(gbCrc, r.name, QString::fromLatin1(kNotAvailable));
        crc->addWidget(*r.label, row, 1);
        ++row;
    }
    btnUpdateVideoCRC = Button(gbCrc, "btnUpdateVideoCRC", QStringLiteral("Update"));
    crc->addWidget(btnUpdateVideoCRC, row, 1, Qt::AlignRight);
    page->addWidget(gbCrc, 1, 1);

    // HDCP status
    auto* gbHdcp = Named<QGroupBox>(this, "gbHDCPStatus", QStringLiteral("HDCP status"));
    auto* hdcp = new QHBoxLayout(gbHdcp);
    shHDCPAuth = Named<Lamp>(gbHdcp, "shHDCPAuth");
    hdcp->addWidget(shHDCPAuth);
    hdcp->addWidget(PlainLabel(gbHdcp, "lblHDCPAuth", QStringLiteral("Authenticated")), 1);
    page->addWidget(gbHdcp, 2, 1, Qt::AlignTop);

    // Main Stream Attributes (MSA)
    auto* gbMsa = Named<QGroupBox>(this, "gbMSA", QStringLiteral("Main Stream Attributes (MSA)"));
    auto* msa = new QVBoxLayout(gbMsa);
    auto* msaTop = new QHBoxLayout;
    shMSAUnstable = Named<Lamp>(gbMsa, "shMSAUnstable");
    msaTop->addWidget(shMSAUnstable);
    msaTop->addWidget(PlainLabel(gbMsa, "lblMSAUnstable", QStringLiteral("Unstable")));
    shVideoValid = Named<Lamp>(gbMsa, "shVideoValid");
    msaTop->addSpacing(12);
    msaTop->addWidget(shVideoValid);
    msaTop->addWidget(PlainLabel(gbMsa, "lblVideoValid", QStringLiteral("Video valid")));
    msaTop->addStretch(1);
    cbMSAEnable = Named<QCheckBox>(gbMsa, "cbMSAEnable", QStringLiteral("Enable"));
    msaTop->addWidget(cbMSAEnable);
    btnMSAClear = Button(gbMsa, "btnMSAClear", QStringLiteral("Clear"));
    btnMSACopy = Button(gbMsa, "btnMSACopy", QStringLiteral("Copy"));
    msaTop->addWidget(btnMSAClear);
    msaTop->addWidget(btnMSACopy);
    msa->addLayout(msaTop);
    lvMSA = Named<QTreeWidget>(gbMsa, "lvMSA");
    lvMSA->setRootIsDecorated(false);
    lvMSA->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvMSA->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvMSA->setContextMenuPolicy(Qt::CustomContextMenu);
    QStringList columns;
    for (const char* c : kMsaColumns) columns << QString::fromLatin1(c);
    lvMSA->setHeaderLabels(columns);
    lvMSA->header()->setStretchLastSection(false);
    msa->addWidget(lvMSA, 1);
    pmMSA = Named<QMenu>(this, "pmMSA");
    pmiDelete = pmMSA->addAction(QStringLiteral("&Delete"));
    pmiDelete->setObjectName("pmiDelete");
    pmiMSACopy = pmMSA->addAction(QStringLiteral("&Copy"));
    pmiMSACopy->setObjectName("pmiMSACopy");
    pmiMSAClear = pmMSA->addAction(QStringLiteral("&Clear"));
    pmiMSAClear->setObjectName("pmiMSAClear");
    page->addWidget(gbMsa, 3, 0, 1, 3);

    page->setRowStretch(3, 1);
    page->setColumnStretch(2, 1);
}

std::vector<Lamp*> MainPage::Lamps() const {
    std::vector<Lamp*> lamps;
    for (const auto* row : {&shCR, &shSL, &shCE}) lamps.insert(lamps.end(), row->begin(), row->end());
    lamps.insert(lamps.end(), {shHDCPAuth, shMSAUnstable, shVideoValid});
    return lamps;
}

}  // namespace selvitra
