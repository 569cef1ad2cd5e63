#include "sinkmonitor/pages/VariousPage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "platform/gui/FormKit.h"

namespace selvitra {

using platform::Button;
using platform::Named;
using platform::PlainLabel;

namespace {

constexpr const char* kHexHint = "Hexadecimal values";

// A group of radio buttons, one of them exclusive choice among the others.
QGroupBox* RadioGroup(QWidget* parent, const char* name, const char* caption,
                      std::initializer_list<std::pair<QRadioButton**, std::pair<const char*, const char*>>> buttons,
                      bool horizontal = true) {
    auto* box = Named<QGroupBox>(parent, name, QString::fromLatin1(caption));
    QBoxLayout* layout = horizontal ? static_cast<QBoxLayout*>(new QHBoxLayout(box)) : new QVBoxLayout(box);
    for (const auto& [member, nameAndCaption] : buttons) {
        *member = Named<QRadioButton>(box, nameAndCaption.first, QString::fromLatin1(nameAndCaption.second));
        layout->addWidget(*member);
    }
    layout->addStretch(1);
    return box;
}

}  // namespace

VariousPage::VariousPage(QWidget* parent) : QWidget(parent) {
    setObjectName("tbsVarious");
    auto* page = new QGridLayout(this);

    // DPCD access
    auto* gbDpcd = Named<QGroupBox>(this, "gbDPCDAccess", QStringLiteral("DPCD access"));
    auto* dpcd = new QGridLayout(gbDpcd);
    dpcd->addWidget(PlainLabel(gbDpcd, "lblDPCDAddress", QStringLiteral("Source/target address (hex):")), 0, 0);
    edDPCDAddress = Named<QLineEdit>(gbDpcd, "edDPCDAddress");
    edDPCDAddress->setToolTip(QString::fromLatin1(kHexHint));
    dpcd->addWidget(edDPCDAddress, 0, 1);
    btnDPCDRead = Button(gbDpcd, "btnDPCDRead", QStringLiteral("Read"));
    dpcd->addWidget(btnDPCDRead, 0, 2);
    dpcd->addWidget(PlainLabel(gbDpcd, "lblDPCDData", QStringLiteral("Data (hex):")), 1, 0);
    edDPCDData = Named<QLineEdit>(gbDpcd, "edDPCDData");
    edDPCDData->setToolTip(QString::fromLatin1(kHexHint));
    dpcd->addWidget(edDPCDData, 1, 1);
    btnDPCDWrite = Button(gbDpcd, "btnDPCDWrite", QStringLiteral("Write"));
    dpcd->addWidget(btnDPCDWrite, 1, 2);
    lblDPCDStatus = PlainLabel(gbDpcd, "lblDPCDStatus", QStringLiteral("Previous action: None"));
    dpcd->addWidget(lblDPCDStatus, 2, 0, 1, 3);
    page->addWidget(gbDpcd, 0, 0);

    // Sink capabilities
    auto* gbCaps = Named<QGroupBox>(this, "gbSinkCapabilities", QStringLiteral("Sink capabilities"));
    auto* caps = new QVBoxLayout(gbCaps);
    caps->addWidget(
        RadioGroup(gbCaps, "gbMaxLaneCount", "Maximum lane count",
                   {{&rb1Lane, {"rb1Lane", "1"}}, {&rb2Lanes, {"rb2Lanes", "2"}}, {&rb4Lanes, {"rb4Lanes", "4"}}}));
    caps->addWidget(RadioGroup(
        gbCaps, "gbMaxLinkRate", "Maximum link rate (Gbps)",
        {{&rbReduced, {"rbReduced", "1.62"}}, {&rbHigh, {"rbHigh", "2.70"}}, {&rbHigh2, {"rbHigh2", "5.40"}}}));
    caps->addWidget(RadioGroup(
        gbCaps, "gbFramingMode", "Framing mode",
        {{&rbFramingNormal, {"rbFramingNormal", "Normal"}}, {&rbFramingEnhanced, {"rbFramingEnhanced", "Enhanced"}}}));
    rb1Lane->setChecked(true);
    rbReduced->setChecked(true);
    rbFramingNormal->setChecked(true);
    btnSetSinkCapabilities = Button(gbCaps, "btnSetSinkCapabilities", QStringLiteral("Set"));
    caps->addWidget(btnSetSinkCapabilities, 0, Qt::AlignRight);
    page->addWidget(gbCaps, 1, 0);

    // Hot plug detect (HPD) pulse
    auto* gbHpd = Named<QGroupBox>(this, "gbHPDPulse", QStringLiteral("Hot plug detect (HPD) pulse"));
    auto* hpd = new QHBoxLayout(gbHpd);
    hpd->addWidget(PlainLabel(gbHpd, "lblHPDDuration", QStringLiteral("Duration (ms)")));
    edtHPDDuration = Named<QLineEdit>(gbHpd, "edtHPDDuration", QStringLiteral("1000"));
    hpd->addWidget(edtHPDDuration);
    btnPulseHPD = Button(gbHpd, "btnPulseHPD", QStringLiteral("Pulse HPD"));
    hpd->addWidget(btnPulseHPD);
    page->addWidget(gbHpd, 2, 0);

    // AUX channel output level
    auto* gbAuxLevel = Named<QGroupBox>(this, "gbAUXOutputLevel", QStringLiteral("AUX channel output level"));
    auto* auxLevel = new QVBoxLayout(gbAuxLevel);
    auxLevel->addWidget(RadioGroup(gbAuxLevel, "gbAUXVoltageSwing", "Voltage swing (mVpp)",
                                   {{&rbAUXL200, {"rbAUXL200", "200"}},
                                    {&rbAUXL270, {"rbAUXL270", "270"}},
                                    {&rbAUXL400, {"rbAUXL400", "400"}},
                                    {&rbAUXL600, {"rbAUXL600", "600"}},
                                    {&rbAUXL800, {"rbAUXL800", "800"}},
                                    {&rbAUXL1200, {"rbAUXL1200", "1200"}}}));
    rbAUXL600->setChecked(true);
    btnSetAUXChannelOutputLevel = Button(gbAuxLevel, "btnSetAUXChannelOutputLevel", QStringLiteral("Set"));
    auxLevel->addWidget(btnSetAUXChannelOutputLevel, 0, Qt::AlignRight);
    page->addWidget(gbAuxLevel, 0, 1);

    // AUX Channel Sensitivity Test
    auto* gbAuxTest = Named<QGroupBox>(this, "gbAUXSensitivityTest", QStringLiteral("AUX Channel Sensitivity Test"));
    auto* auxTest = new QGridLayout(gbAuxTest);
    auxTest->addWidget(PlainLabel(gbAuxTest, "lblASTStart", QStringLiteral("Start value (mVpp)")), 0, 0);
    edtASTStart = Named<QLineEdit>(gbAuxTest, "edtASTStart", QStringLiteral("1000"));
    auxTest->addWidget(edtASTStart, 0, 1);
    auxTest->addWidget(PlainLabel(gbAuxTest, "lblASTStop", QStringLiteral("Stop value (mVpp)")), 1, 0);
    edtASTStop = Named<QLineEdit>(gbAuxTest, "edtASTStop", QStringLiteral("50"));
    auxTest->addWidget(edtASTStop, 1, 1);
    auxTest->addWidget(
        RadioGroup(
            gbAuxTest, "gbDecrement", "Decrement (mVpp)",
            {{&rbDecr30, {"rbDecr30", "30"}}, {&rbDecr50, {"rbDecr50", "50"}}, {&rbDecr100, {"rbDecr100", "100"}}}),
        2, 0, 1, 2);
    rbDecr100->setChecked(true);
    lbAUXTest = Named<platform::MessageList>(gbAuxTest, "lbAUXTest");
    auxTest->addWidget(lbAUXTest, 0, 2, 4, 1);
    btnAUXTest = Button(gbAuxTest, "btnAUXTest", QStringLiteral("Test"));
    btnAUXCopy = Button(gbAuxTest, "btnAUXCopy", QStringLiteral("Copy to clipboard"));
    auto* auxButtons = new QHBoxLayout;
    auxButtons->addStretch(1);
    auxButtons->addWidget(btnAUXTest);
    auxButtons->addWidget(btnAUXCopy);
    auxTest->addLayout(auxButtons, 4, 0, 1, 3);
    auxTest->setColumnStretch(2, 1);
    page->addWidget(gbAuxTest, 1, 1, 2, 1);

    page->setRowStretch(3, 1);
    page->setColumnStretch(1, 1);
}

}  // namespace selvitra
