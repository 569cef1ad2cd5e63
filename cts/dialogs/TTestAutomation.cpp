#include "cts/dialogs/TTestAutomation.h"

#include <QShowEvent>
#include <QVBoxLayout>

#include "platform/gui/FormKit.h"

using platform::Button;
using platform::Named;

TTestAutomation::TTestAutomation(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TestAutomation"));
    setWindowTitle(QStringLiteral("Test automation"));
    setModal(true);

    GroupBox1 = Named<QGroupBox>(this, "GroupBox1", QStringLiteral(" Test Automation support "));
    CH_LinkTraining = Named<QCheckBox>(GroupBox1, "CH_LinkTraining", QStringLiteral("TEST_LINK_TRAINING"));
    CH_EDID = Named<QCheckBox>(GroupBox1, "CH_EDID", QStringLiteral("TEST_EDID_READ"));
    CH_Pattern = Named<QCheckBox>(GroupBox1, "CH_Pattern", QStringLiteral("TEST_VIDEO_PATTERN"));
    CH_TEST_TIMING = Named<QCheckBox>(GroupBox1, "CH_TEST_TIMING", QStringLiteral("TEST_TIMING"));
    CH_TEST_AUDIO = Named<QCheckBox>(GroupBox1, "CH_TEST_AUDIO", QStringLiteral("TEST_AUDIO_PATTERN"));
    auto* boxes = new QVBoxLayout(GroupBox1);
    for (QCheckBox* box : {CH_LinkTraining, CH_EDID, CH_Pattern, CH_TEST_TIMING, CH_TEST_AUDIO}) {
        box->setChecked(true);
        boxes->addWidget(box);
    }

    LB_Event = platform::PlainLabel(this, "LB_Event", QStringLiteral("Event indicating DUT ready:"));
    CB_Event = Named<QComboBox>(this, "CB_Event");
    CB_Event->addItems({QStringLiteral("None"), QStringLiteral("EDID read"), QStringLiteral("Link Training end"),
                        QStringLiteral("Active Video")});
    CB_Event->setCurrentIndex(3);
    LB_Event->setBuddy(CB_Event);

    BTN_Accept = Button(this, "BTN_Accept", QStringLiteral("Accept"));
    BTN_Cancel = Button(this, "BTN_Cancel", QStringLiteral("Cancel"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(LB_Event);
    layout->addWidget(CB_Event);
    layout->addLayout(platform::ButtonRow({BTN_Accept, BTN_Cancel}));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (QCheckBox* box : {CH_LinkTraining, CH_Pattern, CH_EDID, CH_TEST_AUDIO})
        connect(box, &QCheckBox::toggled, this, [this] { CheckStates(); });
    connect(BTN_Accept, &QPushButton::clicked, this, [this] { BTN_AcceptClick(); });
    connect(BTN_Cancel, &QPushButton::clicked, this, [this] { BTN_CancelClick(); });
    FormShow();
}

bool TTestAutomation::IsEventEnabled() const {
    return CH_EDID->isChecked() || CH_Pattern->isChecked() || CH_LinkTraining->isChecked();
}

void TTestAutomation::CheckStates() {
    const bool enabled = IsEventEnabled();
    CB_Event->setEnabled(enabled);
    LB_Event->setEnabled(enabled);
}

void TTestAutomation::FormShow() {
    shownBoxes_ = {CH_LinkTraining->isChecked(), CH_EDID->isChecked(), CH_Pattern->isChecked(),
                   CH_TEST_TIMING->isChecked(), CH_TEST_AUDIO->isChecked()};
    shownEvent_ = CB_Event->currentIndex();
    CheckStates();
}

void TTestAutomation::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TTestAutomation::BTN_AcceptClick() { accept(); }

void TTestAutomation::BTN_CancelClick() { reject(); }

void TTestAutomation::reject() {
    const std::array<QCheckBox*, 5> boxes = {CH_LinkTraining, CH_EDID, CH_Pattern, CH_TEST_TIMING, CH_TEST_AUDIO};
    for (size_t i = 0; i < boxes.size(); ++i) boxes[i]->setChecked(shownBoxes_[i]);
    CB_Event->setCurrentIndex(shownEvent_);
    CheckStates();
    QDialog::reject();
}
