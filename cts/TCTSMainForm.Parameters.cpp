// The test parameter controls of the side panels: the link layer page's
// set, its mirror on the audio page, the HDCP pages' capabilities and
// authentication start time-out; their normalisation, and "Run Tests"
// building the parameter block from them.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "cts/TCTSMainForm.h"
#include "cts/dialogs/TAudioSupportSelector.h"
#include "cts/dialogs/TDutCapsForm.h"
#include "cts/dialogs/TTestAutomation.h"
#include "cts/dialogs/TTimingSelection.h"
#include "platform/MessageBox.h"
#include "platform/gui/FormKit.h"
#include "platform/gui/Lamp.h"

namespace {

using platform::Named;

QComboBox* Combo(QWidget* parent, const char* name, std::span<const char* const> items) {
    auto* combo = Named<QComboBox>(parent, name);
    for (const char* item : items) combo->addItem(QString::fromLatin1(item));
    combo->setCurrentIndex(0);
    return combo;
}

// An edit with its up-down at the right, under a caption of two lines.
void EditRow(QWidget* parent, QVBoxLayout* layout, const char* caption, const char* unit, QLineEdit*& edit,
             const char* editName, QSpinBox*& updown, const char* updownName, const UpDownRange& range) {
    layout->addWidget(platform::PlainLabel(parent, "", QString::fromLatin1(caption)));
    auto* row = new QHBoxLayout;
    row->addWidget(platform::PlainLabel(parent, "", QString::fromLatin1(unit)));
    edit = Named<QLineEdit>(parent, editName, QString::number(range.start));
    edit->setFixedWidth(70);
    updown = Named<QSpinBox>(parent, updownName);
    updown->setRange(range.min, range.max);
    updown->setSingleStep(range.step);
    updown->setValue(range.start);
    updown->setFixedWidth(20);
    row->addStretch(1);
    row->addWidget(edit);
    row->addWidget(updown);
    layout->addLayout(row);
}

QVBoxLayout* PanelLayout(QFrame* panel) {
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(6, 0, 0, 0);
    return layout;
}

}  // namespace

void TCTSMainForm::BuildSourceSidePanel(QWidget* parent) {
    PNL_DUTCaps_SourceTest = platform::Panel(parent, "PNL_DUTCaps_SourceTest");
    QFrame* p = PNL_DUTCaps_SourceTest;
    QVBoxLayout* layout = PanelLayout(p);
    layout->addWidget(platform::PlainLabel(p, "LBL_SupportTXLanes", QStringLiteral("Max lane count:")));
    CB_SupportTXLanes = Combo(p, "CB_SupportTXLanes", TestParameterBlock::kLaneCountItems);
    layout->addWidget(CB_SupportTXLanes);
    layout->addWidget(platform::PlainLabel(p, "LBL_SupportTXLinkRate", QStringLiteral("Max link rate:")));
    CB_SupportTXLinkRate = Combo(p, "CB_SupportTXLinkRate", TestParameterBlock::kLinkRateItems);
    layout->addWidget(CB_SupportTXLinkRate);
    EditRow(p, layout, "TA reset delay (after HPD=0)", "milliseconds:", ED_AfterHPDLow, "ED_AfterHPDLow", UD_HPDLo,
            "UD_HPDLo", ParameterEdits::kAfterHpdLowRange);
    EditRow(p, layout, "TA req. delay (after HPD=1)", "milliseconds:", ED_AfterHPDHi, "ED_AfterHPDHi", UD_HPDHi,
            "UD_HPDHi", ParameterEdits::kAfterHpdHighRange);
    EditRow(p, layout, "Main Link Disable timeout", "milliseconds:", ED_Tout, "ED_Tout", UD_Tout, "UD_Tout",
            ParameterEdits::kMainLinkDisableTimeoutRange);
    layout->addSpacing(8);
    BTN_DutCaps = platform::Button(p, "BTN_DutCaps", QStringLiteral("DUT Capabilities ..."));
    BTN_TestAutomation = platform::Button(p, "BTN_TestAutomation", QStringLiteral("Test Automation ..."));
    BTN_MostPackedTiming = platform::Button(p, "BTN_MostPackedTiming", QStringLiteral("Most packed timings ..."));
    BTN_EditColorimetry = platform::Button(p, "BTN_EditColorimetry", QStringLiteral("Colorimetry support ..."));
    BTN_VidTimeStampGen = platform::Button(p, "BTN_VidTimeStampGen", QStringLiteral("Video Time Stamp Generation ..."));
    for (QPushButton* b :
         {BTN_DutCaps, BTN_TestAutomation, BTN_MostPackedTiming, BTN_EditColorimetry, BTN_VidTimeStampGen})
        layout->addWidget(b);
    layout->addStretch(1);
}

void TCTSMainForm::BuildAudioSidePanel(QWidget* parent) {
    PNL_AudioDutCaps = platform::Panel(parent, "PNL_AudioDutCaps");
    QFrame* p = PNL_AudioDutCaps;
    QVBoxLayout* layout = PanelLayout(p);
    layout->addWidget(platform::PlainLabel(p, "LBL_SupportTXLanes2", QStringLiteral("Max lane count:")));
    CB_SupportTXLanes2 = Combo(p, "CB_SupportTXLanes2", TestParameterBlock::kLaneCountItems);
    layout->addWidget(CB_SupportTXLanes2);
    layout->addWidget(platform::PlainLabel(p, "LBL_SupportTXLinkRate2", QStringLiteral("Max link rate:")));
    CB_SupportTXLinkRate2 = Combo(p, "CB_SupportTXLinkRate2", TestParameterBlock::kLinkRateItems);
    layout->addWidget(CB_SupportTXLinkRate2);
    EditRow(p, layout, "TA reset delay (after HPD=0)", "milliseconds:", ED_AfterHPDLow2, "ED_AfterHPDLow2", UD_HPDLo2,
            "UD_HPDLo2", ParameterEdits::kAfterHpdLowRange);
    EditRow(p, layout, "TA req. delay (after HPD=1)", "milliseconds:", ED_AfterHPDHi2, "ED_AfterHPDHi2", UD_HPDHi2,
            "UD_HPDHi2", ParameterEdits::kAfterHpdHighRange);
    EditRow(p, layout, "Main Link Disable timeout", "milliseconds:", ED_Tout2, "ED_Tout2", UD_Tout2, "UD_Tout2",
            ParameterEdits::kMainLinkDisableTimeoutRange);
    layout->addSpacing(8);
    Button2 = platform::Button(p, "Button2", QStringLiteral("DUT Capabilities ..."));
    Button4 = platform::Button(p, "Button4", QStringLiteral("Test Automation ..."));
    Button3 = platform::Button(p, "Button3", QStringLiteral("Most packed timings ..."));
    Button1 = platform::Button(p, "Button1", QStringLiteral("Audio support ..."));
    for (QPushButton* b : {Button2, Button4, Button3, Button1}) layout->addWidget(b);
    layout->addStretch(1);
}

void TCTSMainForm::BuildHdcpSidePanel(QWidget* parent) {
    PNL_DUTCaps_HDCPTest = platform::Panel(parent, "PNL_DUTCaps_HDCPTest");
    QFrame* p = PNL_DUTCaps_HDCPTest;
    QVBoxLayout* layout = PanelLayout(p);
    GB_HDCPCaps = Named<QGroupBox>(p, "GB_HDCPCaps", QStringLiteral(" DUT capabilities "));
    auto* box = new QVBoxLayout(GB_HDCPCaps);
    static constexpr std::array<const char*, 4> kCaptions = {"CP_IRQ used for R0' read", "CP_IRQ used for READY read",
                                                             "Output when DEVICE_COUNT=0",
                                                             "Encryption enable bootstrapping"};
    for (size_t i = 0; i < CH_HDCP.size(); ++i) {
        const QByteArray name = "CH_HDCP_" + QByteArray::number(static_cast<int>(i));
        CH_HDCP[i] = Named<QCheckBox>(GB_HDCPCaps, name.constData(), QString::fromLatin1(kCaptions[i]));
        box->addWidget(CH_HDCP[i]);
    }
    box->addWidget(
        platform::PlainLabel(GB_HDCPCaps, "LBL_AuthenticationStartTO", QStringLiteral("Authentication start timeout")));
    auto* row = new QHBoxLayout;
    row->addWidget(platform::PlainLabel(GB_HDCPCaps, "LBL_AuthenticationStartTOUnit", QStringLiteral("seconds:")));
    ED_AuthenticationStartTO =
        Named<QLineEdit>(GB_HDCPCaps, "ED_AuthenticationStartTO",
                         AuthenticationStartTimeout::Text(AuthenticationStartTimeout::kStartTenths));
    ED_AuthenticationStartTO->setToolTip(QStringLiteral("Step 0.1s, Min 1s, Max 64s"));
    ED_AuthenticationStartTO->setFixedWidth(70);
    UD_AuthenticationStartTO = Named<QSpinBox>(GB_HDCPCaps, "UD_AuthenticationStartTO");
    UD_AuthenticationStartTO->setRange(AuthenticationStartTimeout::kMinTenths, AuthenticationStartTimeout::kMaxTenths);
    UD_AuthenticationStartTO->setValue(AuthenticationStartTimeout::kStartTenths);
    UD_AuthenticationStartTO->setFixedWidth(20);
    row->addStretch(1);
    row->addWidget(ED_AuthenticationStartTO);
    row->addWidget(UD_AuthenticationStartTO);
    box->addLayout(row);
    layout->addWidget(GB_HDCPCaps);

    auto* lampRow = new QHBoxLayout;
    LBL_HDCPStatus = platform::PlainLabel(p, "LBL_HDCPStatus", QStringLiteral("HDCP status:"));
    HDCP_Led = Named<platform::Lamp>(p, "HDCP_Led");
    ShowHdcpLampIdle();  // until the first status
    lampRow->addWidget(LBL_HDCPStatus);
    lampRow->addWidget(HDCP_Led);
    lampRow->addStretch(1);
    layout->addLayout(lampRow);

    IMG_Connections = Named<QLabel>(p, "IMG_Connections");
    IMG_Connections->setFixedSize(192, 200);
    layout->addWidget(IMG_Connections);
    layout->addStretch(1);
}

void TCTSMainForm::ConnectParameterHandlers() {
    // Combo changes and up-down clicks copy to the mirror control.
    const auto mirrorCombo = [this](QComboBox* a, QComboBox* b) {
        connect(a, &QComboBox::currentIndexChanged, this, [b](int i) {
            if (b->currentIndex() != i) b->setCurrentIndex(i);
        });
        connect(b, &QComboBox::currentIndexChanged, this, [a](int i) {
            if (a->currentIndex() != i) a->setCurrentIndex(i);
        });
    };
    mirrorCombo(CB_SupportTXLanes, CB_SupportTXLanes2);
    mirrorCombo(CB_SupportTXLinkRate, CB_SupportTXLinkRate2);

    struct Pair {
        ParameterEdits::Edit edit;
        QLineEdit* ed;
        QSpinBox* ud;
        QLineEdit* ed2;
        QSpinBox* ud2;
    };
    for (const Pair& p : {Pair{ParameterEdits::kAfterHpdLow, ED_AfterHPDLow, UD_HPDLo, ED_AfterHPDLow2, UD_HPDLo2},
                          Pair{ParameterEdits::kAfterHpdHigh, ED_AfterHPDHi, UD_HPDHi, ED_AfterHPDHi2, UD_HPDHi2},
                          Pair{ParameterEdits::kMainLinkDisableTimeout, ED_Tout, UD_Tout, ED_Tout2, UD_Tout2}}) {
        for (auto [ud, ed, mirror, mirrorEd] :
             {std::tuple{p.ud, p.ed, p.ud2, p.ed2}, std::tuple{p.ud2, p.ed2, p.ud, p.ed}}) {
            connect(ud, &QSpinBox::valueChanged, this, [=](int v) {
                ed->setText(QString::number(v));
                if (mirror->value() != v) mirror->setValue(v);
                mirrorEd->setText(QString::number(v));
            });
            const ParameterEdits::Edit edit = p.edit;
            connect(ed, &QLineEdit::editingFinished, this, [this, edit, ed = ed] { NormaliseEdit(edit, ed); });
            ed->installEventFilter(this);
        }
    }

    connect(ED_AuthenticationStartTO, &QLineEdit::textChanged, this, [this] { ED_AuthenticationStartTOChange(); });
    connect(ED_AuthenticationStartTO, &QLineEdit::editingFinished, this, [this] { ED_AuthenticationStartTOExit(); });
    connect(UD_AuthenticationStartTO, &QSpinBox::valueChanged, this,
            [this](int v) { UD_AuthenticationStartTOChangingEx(v); });
}

void TCTSMainForm::NormaliseEdit(ParameterEdits::Edit edit, QLineEdit* source) {
    const int32_t value = ParameterEdits::NormaliseText(edit, source->text());
    QLineEdit* eds[2] = {};
    QSpinBox* uds[2] = {};
    switch (edit) {
        case ParameterEdits::kAfterHpdLow:
            eds[0] = ED_AfterHPDLow, eds[1] = ED_AfterHPDLow2, uds[0] = UD_HPDLo, uds[1] = UD_HPDLo2;
            break;
        case ParameterEdits::kAfterHpdHigh:
            eds[0] = ED_AfterHPDHi, eds[1] = ED_AfterHPDHi2, uds[0] = UD_HPDHi, uds[1] = UD_HPDHi2;
            break;
        case ParameterEdits::kMainLinkDisableTimeout:
            eds[0] = ED_Tout, eds[1] = ED_Tout2, uds[0] = UD_Tout, uds[1] = UD_Tout2;
            break;
    }
    for (int i = 0; i < 2; ++i) {
        const QSignalBlocker block(uds[i]);
        uds[i]->setValue(value);
        eds[i]->setText(QString::number(value));
    }
}

void TCTSMainForm::NormaliseAllEdits() {
    // The edits of the page shown are normalised into both sets, as leaving
    // them would.
    for (auto [edit, ed, ed2] : {std::tuple{ParameterEdits::kAfterHpdLow, ED_AfterHPDLow, ED_AfterHPDLow2},
                                 std::tuple{ParameterEdits::kAfterHpdHigh, ED_AfterHPDHi, ED_AfterHPDHi2},
                                 std::tuple{ParameterEdits::kMainLinkDisableTimeout, ED_Tout, ED_Tout2}}) {
        NormaliseEdit(edit, PNL_AudioDutCaps->isHidden() ? ed : ed2);
    }
    ED_AuthenticationStartTOExit();
}

void TCTSMainForm::ED_AuthenticationStartTOChange() {
    if (authTextGuard_) return;
    const int32_t position = AuthenticationStartTimeout::PositionForText(ED_AuthenticationStartTO->text(),
                                                                         UD_AuthenticationStartTO->value());
    const QSignalBlocker block(UD_AuthenticationStartTO);
    UD_AuthenticationStartTO->setValue(position);
}

void TCTSMainForm::ED_AuthenticationStartTOExit() {
    authTextGuard_ = true;
    ED_AuthenticationStartTO->setText(AuthenticationStartTimeout::Text(UD_AuthenticationStartTO->value()));
    authTextGuard_ = false;
}

void TCTSMainForm::UD_AuthenticationStartTOChangingEx(int position) {
    // The spin box keeps its range 10..640 itself; a position inside it is shown.
    if (!AuthenticationStartTimeout::AcceptsPosition(position)) return;
    authTextGuard_ = true;
    ED_AuthenticationStartTO->setText(AuthenticationStartTimeout::Text(position));
    authTextGuard_ = false;
}

bool TCTSMainForm::EnterMovesFocus(QEvent* event, QWidget* target) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    // A hidden or disabled target leaves the focus where it is.
    if (target->isVisible() && target->isEnabled()) target->setFocus(Qt::TabFocusReason);
    return true;
}

TestParameterInputs TCTSMainForm::ReadInputs() const {
    TestParameterInputs in;
    in.laneCountItem = CB_SupportTXLanes->currentIndex();
    in.linkRateItem = CB_SupportTXLinkRate->currentIndex();
    in.afterHpdLowMs = UD_HPDLo->value();
    in.afterHpdHighMs = UD_HPDHi->value();
    in.mainLinkDisableTimeoutMs = UD_Tout->value();
    in.hdcpPage = !PNL_DUTCaps_HDCPTest->isHidden();
    for (size_t i = 0; i < CH_HDCP.size(); ++i) in.hdcpCaps[i] = CH_HDCP[i]->isChecked();
    in.authenticationStartTenths = UD_AuthenticationStartTO->value();
    in.showPrintPackets = Showprintpackets1->isChecked();
    if (const TTestAutomation* a = dialogs_.automation) {
        in.testLinkTraining = a->CH_LinkTraining->isChecked();
        in.testEdidRead = a->CH_EDID->isChecked();
        in.testVideoPattern = a->CH_Pattern->isChecked();
        in.testTiming = a->CH_TEST_TIMING->isChecked();
        in.testAudioPattern = a->CH_TEST_AUDIO->isChecked();
        in.eventItem = a->CB_Event->currentIndex();
    }
    if (const TDutCapsForm* d = dialogs_.dutCaps) {
        in.videoFormatChangeWithoutLt = d->CH_VFCWOLT->isChecked();
        in.laneCountReductionWithoutLt = d->CH_LCRWOLT->isChecked();
        in.spreadSpectrum = d->CB_SpreadSpectrum->isChecked();
        in.sscIfMaxDownSpread = d->CB_SCC_IfMaxDownSpread->isChecked();
        in.eddc = d->CH_EDDC->isChecked();
        in.driveLevel3 = d->CH_DriveLevel->isChecked();
        in.preEmphasis3 = d->CH_PreEmphasis->isChecked();
        in.fixedTiming = d->CH_FixedTiming->isChecked();
    }
    if (const TTimingSelection* t = dialogs_.timing) {
        in.lane1Index = t->GetLane1Index();
        in.lane2Index = t->GetLane2Index();
        in.lane4Index = t->GetLane4Index();
    }
    if (dialogs_.audio) in.audioCaps = dialogs_.audio->AudioCaps();
    return in;
}

void TCTSMainForm::BTN_RunTestsClick() {
    NormaliseAllEdits();
    const TestParameterInputs inputs = ReadInputs();
    const TestParameterBlock::Build build = TestParameterBlock::FromInputs(inputs);
    if (!build.Ok()) {
        platform::ShowMessageBox(build.message, windowTitle().toStdString(), platform::MsgIcon::Warning,
                                 platform::MsgButtons::Ok, this);
        return;
    }
    lastBuild_ = build;
    StartTestRun(inputs);
}
