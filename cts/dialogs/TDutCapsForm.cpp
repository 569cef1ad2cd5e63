#include "cts/dialogs/TDutCapsForm.h"

#include <QVBoxLayout>

#include "platform/gui/FormKit.h"

using platform::Button;
using platform::Named;

TDutCapsForm::TDutCapsForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DutCapsForm"));
    setWindowTitle(QStringLiteral("DUT Capabilities"));
    setModal(true);

    CH_VFCWOLT = Named<QCheckBox>(this, "CH_VFCWOLT", QStringLiteral("Video format change without LT"));
    CH_VFCWOLT->setToolTip(QStringLiteral("Video format change without re-training."));
    CH_LCRWOLT = Named<QCheckBox>(this, "CH_LCRWOLT", QStringLiteral("Lane count reduction without LT"));
    CH_LCRWOLT->setToolTip(QStringLiteral("Lane count reduction without re-training."));
    CH_EDDC = Named<QCheckBox>(this, "CH_EDDC", QStringLiteral("E-DDC"));
    CH_DriveLevel = Named<QCheckBox>(this, "CH_DriveLevel", QStringLiteral("Drive level 3 (1.2V)"));
    CH_PreEmphasis = Named<QCheckBox>(this, "CH_PreEmphasis", QStringLiteral("Pre-emphasis level 3 (9.5dB)"));
    CH_FixedTiming = Named<QCheckBox>(this, "CH_FixedTiming", QStringLiteral("Fixed Timing"));
    CB_SpreadSpectrum = Named<QCheckBox>(this, "CB_SpreadSpectrum", QStringLiteral("SSC"));
    CB_SCC_IfMaxDownSpread =
        Named<QCheckBox>(this, "CB_SCC_IfMaxDownSpread", QStringLiteral("SSC enabled if MAX_DOWNSPREAD=1"));
    BitBtn1 = Button(this, "BitBtn1", QStringLiteral("Accept"));

    auto* layout = new QVBoxLayout(this);
    for (QCheckBox* box : {CH_VFCWOLT, CH_LCRWOLT, CH_EDDC, CH_DriveLevel, CH_PreEmphasis, CH_FixedTiming,
                           CB_SpreadSpectrum, CB_SCC_IfMaxDownSpread})
        layout->addWidget(box);
    layout->addLayout(platform::ButtonRow({BitBtn1}));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
}

void TDutCapsForm::BitBtn1Click() { accept(); }
