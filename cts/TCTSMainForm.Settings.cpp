// "Save Settings ..." and "Load Settings ...": the test parameters of the
// side panels and the choices of the parameter dialogs to and from a .CFG
// file. What the file holds and which values the controls can take is
// TestSettingsFile's; this file reads and sets the controls.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QSpinBox>

#include "cts/TCTSMainForm.h"
#include "cts/dialogs/TAudioSupportSelector.h"
#include "cts/dialogs/TColorimetryEdit.h"
#include "cts/dialogs/TDUTCfg.h"
#include "cts/dialogs/TDutCapsForm.h"
#include "cts/dialogs/TTestAutomation.h"
#include "cts/dialogs/TTimingSelection.h"
#include "cts/settings/TestSettingsFile.h"
#include "platform/IniFile.h"
#include "platform/MessageBox.h"
#include "platform/gui/FileDialog.h"

namespace {

using File = TestSettingsFile;

// The DUT capability boxes in the order of their Flags bits 0 to 7.
std::array<QCheckBox*, File::kFlagDutCapsCount> DutCapsBoxes(const TDutCapsForm* d) {
    return {d->CH_VFCWOLT,    d->CH_LCRWOLT,     d->CB_SpreadSpectrum, d->CH_EDDC,
            d->CH_DriveLevel, d->CH_PreEmphasis, d->CH_FixedTiming,    d->CB_SCC_IfMaxDownSpread};
}

// The test automation boxes with their TestAutomation bits.
std::array<std::pair<int32_t, QCheckBox*>, 5> AutomationBoxes(const TTestAutomation* a) {
    return {{{File::kAutomationLinkTraining, a->CH_LinkTraining},
             {File::kAutomationEdidRead, a->CH_EDID},
             {File::kAutomationVideoPattern, a->CH_Pattern},
             {File::kAutomationTiming, a->CH_TEST_TIMING},
             {File::kAutomationAudioPattern, a->CH_TEST_AUDIO}}};
}

// The save dialog SaveSettings and the open dialog OpenSettings. The filter
// lists "x.cfg" and "X.CFG" alike.
void ConfigureDialog(QFileDialog& dialog, bool save) {
    dialog.setObjectName(save ? QStringLiteral("SaveSettings") : QStringLiteral("OpenSettings"));
    dialog.setWindowTitle(save ? QStringLiteral("Save Test settings to") : QStringLiteral("Load Test settings from"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    platform::UseCaseInsensitiveFilters(dialog);
    dialog.setNameFilter(QStringLiteral("Configuration files (*.cfg)"));
    dialog.setDefaultSuffix(QStringLiteral("CFG"));
}

// The chosen name (empty: cancelled); a name to save without an extension
// gets the default one.
QString RunDialog(QFileDialog& dialog) {
    QString name = platform::RunFileDialog(dialog);
    if (!name.isEmpty() && dialog.acceptMode() == QFileDialog::AcceptSave && QFileInfo(name).suffix().isEmpty())
        name += QLatin1Char('.') + dialog.defaultSuffix();
    return name;
}

// File names stay Unicode: the path's bytes are the name's UTF-8.
std::filesystem::path PathOf(const QString& name) { return std::filesystem::path(name.toStdString()); }

}  // namespace

void TCTSMainForm::ConnectSettingsMenu() {
    connect(MENU_SaveSettings, &QAction::triggered, this, [this] { MENU_SaveSettingsClick(); });
    connect(MENU_LoadSettings, &QAction::triggered, this, [this] { MENU_LoadSettingsClick(); });
}

TestSettings TCTSMainForm::CurrentTestSettings() const {
    TestSettings s;
    s.laneCountItem = CB_SupportTXLanes->currentIndex();
    s.linkRateItem = CB_SupportTXLinkRate->currentIndex();
    if (const TTestAutomation* a = dialogs_.automation) {
        s.testAutomation = 0;
        for (auto [bit, box] : AutomationBoxes(a))
            if (box->isChecked()) s.testAutomation |= bit;
        const int event = a->CB_Event->currentIndex();
        s.testAutomation |= (event < 0 ? 3 : event) << File::kAutomationEventShift;
    }
    s.flags = 0;
    if (const TDutCapsForm* d = dialogs_.dutCaps) {
        const auto boxes = DutCapsBoxes(d);
        for (size_t bit = 0; bit < boxes.size(); ++bit)
            if (boxes[bit]->isChecked()) s.flags |= 1 << bit;
    }
    if (Showprintpackets1->isChecked()) s.flags |= File::kFlagShowPrintPackets;
    for (size_t i = 0; i < CH_HDCP.size(); ++i)
        if (CH_HDCP[i]->isChecked()) s.flags |= 1 << (File::kFlagHdcpShift + static_cast<int32_t>(i));
    s.afterHpdLowMs = UD_HPDLo->value();
    s.afterHpdHighMs = UD_HPDHi->value();
    if (const TTimingSelection* t = dialogs_.timing)
        s.mostPackedIndexes = {t->GetLane1Index(), t->GetLane2Index(), t->GetLane4Index()};
    if (dialogs_.audio) s.audioCaps = dialogs_.audio->AudioCaps();
    s.authenticationStartTimeout = ED_AuthenticationStartTO->text().toStdString();
    s.mainLinkDisableTimeoutMs = UD_Tout->value();
    if (dialogs_.dutCfg) s.timingRecord = dialogs_.dutCfg->GetTimingRecord();
    if (const TColorimetryEdit* c = dialogs_.colorimetry) {
        s.colorimetryIds.clear();
        for (int n = 0; n < c->GetFormatCount(); ++n) s.colorimetryIds.push_back(c->GetFormatID(n));
    }
    return s;
}

std::vector<std::string> TCTSMainForm::ApplyTestSettings(const LoadedTestSettings& loaded) {
    std::vector<std::string> refused = loaded.outOfRange;

    if (loaded.laneCountItem) {
        CB_SupportTXLanes->setCurrentIndex(*loaded.laneCountItem);
        CB_SupportTXLanes2->setCurrentIndex(*loaded.laneCountItem);
    }
    if (loaded.linkRateItem) {
        CB_SupportTXLinkRate->setCurrentIndex(*loaded.linkRateItem);
        CB_SupportTXLinkRate2->setCurrentIndex(*loaded.linkRateItem);
    }
    if (TTestAutomation* a = dialogs_.automation) {
        for (auto [bit, box] : AutomationBoxes(a)) box->setChecked(loaded.testAutomation & bit);
        a->CB_Event->setCurrentIndex((loaded.testAutomation >> File::kAutomationEventShift) & 3);
        a->CheckStates();
    }

    if (TDutCapsForm* d = dialogs_.dutCaps) {
        const auto boxes = DutCapsBoxes(d);
        for (size_t bit = 0; bit < boxes.size(); ++bit) boxes[bit]->setChecked(loaded.flags & (1 << bit));
    }
    const bool showPrintPackets = loaded.flags & File::kFlagShowPrintPackets;
    Showprintpackets1->setChecked(showPrintPackets);
    if (link_) link_->SetShowPrintPackets(showPrintPackets);
    for (size_t i = 0; i < CH_HDCP.size(); ++i)
        CH_HDCP[i]->setChecked(loaded.flags & (1 << (File::kFlagHdcpShift + static_cast<int32_t>(i))));

    // The up-downs keep the values in their ranges; the edits show what they took.
    UD_HPDLo->setValue(loaded.afterHpdLowMs);
    UD_HPDHi->setValue(loaded.afterHpdHighMs);
    UD_HPDLo2->setValue(loaded.afterHpdLowMs);
    UD_HPDHi2->setValue(loaded.afterHpdHighMs);
    UD_Tout->setValue(loaded.mainLinkDisableTimeoutMs);
    UD_Tout2->setValue(loaded.mainLinkDisableTimeoutMs);
    for (auto [ed, ud] : {std::pair{ED_AfterHPDLow, UD_HPDLo}, std::pair{ED_AfterHPDLow2, UD_HPDLo2},
                          std::pair{ED_AfterHPDHi, UD_HPDHi}, std::pair{ED_AfterHPDHi2, UD_HPDHi2},
                          std::pair{ED_Tout, UD_Tout}, std::pair{ED_Tout2, UD_Tout2}})
        ed->setText(QString::number(ud->value()));

    // As typing would: the change handler sets the up-down.
    if (loaded.authenticationStartTimeout)
        ED_AuthenticationStartTO->setText(QString::fromStdString(*loaded.authenticationStartTimeout));

    if (TTimingSelection* t = dialogs_.timing) {
        const bool taken[] = {t->SetLane1Index(loaded.mostPackedIndexes[0]),
                              t->SetLane2Index(loaded.mostPackedIndexes[1]),
                              t->SetLane4Index(loaded.mostPackedIndexes[2])};
        for (size_t i = 0; i < File::kMostPackedKeys.size(); ++i)
            if (!taken[i]) refused.push_back(File::kMostPackedKeys[i]);
    }

    if (TAudioSupportSelector* au = dialogs_.audio) {
        AudioCaps::Bytes caps = au->AudioCaps();
        for (size_t i = 0; i < caps.size(); ++i)
            if (loaded.audioCaps[i]) caps[i] = *loaded.audioCaps[i];
        au->SetAudioCaps(caps);
    }

    if (TColorimetryEdit* c = dialogs_.colorimetry) {
        c->ResetFormats();
        for (int32_t id : loaded.colorimetryIds) c->CheckFormatID(id);
    }

    if (TDUTCfg* d = dialogs_.dutCfg) {
        TDUTCfg::TimingRecord record = d->GetTimingRecord();
        for (size_t row = 0; row < loaded.timingCodes.size(); ++row)
            if (loaded.timingCodes[row]) record[2 * row + 1] = *loaded.timingCodes[row];
        const auto taken = d->SetTimingRecord(record);
        for (size_t row = 0; row < taken.size(); ++row)
            if (loaded.timingCodes[row] && !taken[row]) refused.push_back(File::kTimingCodeKeys[row]);
    }
    return refused;
}

void TCTSMainForm::MENU_SaveSettingsClick() {
    QFileDialog dialog(this);
    ConfigureDialog(dialog, true);
    const QString name = RunDialog(dialog);
    if (name.isEmpty()) return;
    // The box names what failed: the file that could not be read, created,
    // written or replaced, and why.
    std::string error;
    if (!File::Save(PathOf(name), CurrentTestSettings(), &error)) {
        platform::ShowMessageBox(std::string(File::kWriteFailedMessage) + "\r\n\r\n" + error,
                                 windowTitle().toStdString(), platform::MsgIcon::Error, platform::MsgButtons::Ok, this);
    }
}

void TCTSMainForm::MENU_LoadSettingsClick() {
    QFileDialog dialog(this);
    ConfigureDialog(dialog, false);
    const QString name = RunDialog(dialog);
    if (name.isEmpty()) return;
    platform::IniFile ini;
    ini.Load(PathOf(name));  // a file that cannot be read, or is no regular file, holds no settings
    const LoadedTestSettings loaded = File::Read(ini);
    const std::string title = windowTitle().toStdString();
    if (loaded.version == LoadedTestSettings::Version::kNone) {
        platform::ShowMessageBox(File::kInvalidFileMessage, title, platform::MsgIcon::Error, platform::MsgButtons::Ok,
                                 this);
        return;
    }
    if (loaded.version == LoadedTestSettings::Version::kOther &&
        platform::ShowMessageBox(File::kVersionQuestion, title, platform::MsgIcon::Question,
                                 platform::MsgButtons::YesNo, this) != platform::MsgResult::Yes) {
        return;
    }
    const std::string warning = File::LoadWarning(ApplyTestSettings(loaded), loaded.notNumbers);
    if (!warning.empty())
        platform::ShowMessageBox(warning, title, platform::MsgIcon::Warning, platform::MsgButtons::Ok, this);
}
