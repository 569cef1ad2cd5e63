#include "cts/dialogs/TFirmwareUpdate.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QShowEvent>
#include <QSizePolicy>
#include <QVBoxLayout>

#include "platform/MessageBox.h"
#include "platform/RegularFile.h"
#include "platform/gui/FileDialog.h"
#include "platform/gui/FormKit.h"

using platform::Button;
using platform::Named;
using platform::PlainLabel;

namespace {

// The bar's range stays below 2^15.
constexpr int kScaleShift = 15;

void KeepPlaceWhenHidden(QWidget* widget) {
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

}  // namespace

TFirmwareUpdate::ProgressScale TFirmwareUpdate::ScaleFor(uint32_t totalBytes) {
    const uint32_t divisor = (totalBytes >> kScaleShift) + 1;
    return {divisor, static_cast<int>(totalBytes / divisor)};
}

TFirmwareUpdate::TFirmwareUpdate(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FirmwareUpdate"));
    setWindowTitle(QStringLiteral("Firmware Upgrade"));
    setModal(true);

    Label2 = PlainLabel(this, "Label2", QStringLiteral("Version Number:"));
    ED_VersionInfo = Named<QLineEdit>(this, "ED_VersionInfo", QStringLiteral("<Not set>"));
    ED_VersionInfo->setReadOnly(true);
    BTN_CheckVer = Button(this, "BTN_CheckVer", QStringLiteral("Check Running Version"));
    BTN_CheckVer->setToolTip(QStringLiteral("Get version information from target device"));
    Label3 = PlainLabel(this, "Label3", QStringLiteral("Upgrade from File:"));
    ED_HexFile = Named<QLineEdit>(this, "ED_HexFile");
    ED_HexFile->setMinimumWidth(ED_HexFile->fontMetrics().averageCharWidth() * 48);
    Label3->setBuddy(ED_HexFile);
    BTN_BrowseHex = Button(this, "BTN_BrowseHex", QStringLiteral("..."));
    BTN_BrowseHex->setToolTip(QStringLiteral("Browse for a HEX file"));
    // The message line: a name is as long as it is, so the line never
    // widens the dialog; its tip shows the whole text.
    LBL_Message = PlainLabel(this, "LBL_Message");
    LBL_Message->setWordWrap(true);
    LBL_Message->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    PB_UpdateProcess = platform::ProgressBar(this, "PB_UpdateProcess");
    PB_UpdateProcess->setTextVisible(false);
    PB_UpdateProcess->setRange(0, 0);
    KeepPlaceWhenHidden(PB_UpdateProcess);
    PB_UpdateProcess->hide();
    BTN_Upgrade = Button(this, "BTN_Upgrade", QStringLiteral("Upgrade"));
    BTN_Upgrade->setToolTip(QStringLiteral("Commit selected HEX file"));
    BTN_Upgrade->setEnabled(false);
    BTN_Cancel = Button(this, "BTN_Cancel", QStringLiteral("Cancel"));
    BTN_Cancel->setToolTip(QStringLiteral("Cancel update procedure."));
    BTN_Close = Button(this, "BTN_Close", QStringLiteral("Ok"));
    BTN_Close->setToolTip(QStringLiteral("Commit selected HEX file"));
    BTN_Close->hide();

    DLG_OpenHex = Named<QFileDialog>(this, "DLG_OpenHex");
    DLG_OpenHex->setWindowTitle(QStringLiteral("Choose new Firmware Intel-HEX file"));
    DLG_OpenHex->setAcceptMode(QFileDialog::AcceptOpen);
    DLG_OpenHex->setFileMode(QFileDialog::ExistingFile);
    platform::UseCaseInsensitiveFilters(*DLG_OpenHex);
    DLG_OpenHex->setNameFilter(QStringLiteral("Intel HEX Files (*.HEX)"));

    auto* grid = new QGridLayout;
    grid->addWidget(Label2, 0, 0);
    grid->addWidget(ED_VersionInfo, 0, 1);
    grid->addWidget(BTN_CheckVer, 0, 2);
    grid->addWidget(Label3, 1, 0, 1, 3);
    grid->addWidget(ED_HexFile, 2, 0, 1, 2);
    grid->addWidget(BTN_BrowseHex, 2, 2, Qt::AlignLeft);
    grid->addWidget(LBL_Message, 3, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(PB_UpdateProcess);
    layout->addLayout(platform::ButtonRow({BTN_Upgrade, BTN_Cancel, BTN_Close}));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(BTN_CheckVer, &QPushButton::clicked, this, [this] { BTN_CheckVerClick(); });
    connect(BTN_BrowseHex, &QPushButton::clicked, this, [this] { BTN_BrowseHexClick(); });
    connect(ED_HexFile, &QLineEdit::textChanged, this, [this] { ED_HexFileChange(); });
    connect(BTN_Upgrade, &QPushButton::clicked, this, [this] { BTN_UpgradeClick(); });
    connect(BTN_Cancel, &QPushButton::clicked, this, [this] { BTN_CancelClick(); });
    connect(BTN_Close, &QPushButton::clicked, this, [this] { BTN_CloseClick(); });
}

void TFirmwareUpdate::FormShow() {
    BTN_Close->hide();
    BTN_Cancel->show();
    BTN_Upgrade->show();
    SetBusy(false);
}

void TFirmwareUpdate::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TFirmwareUpdate::BTN_CheckVerClick() {
    if (!VersionRequest) {
        SetVersionText(QStringLiteral("<Not set>"));
        return;
    }
    // "<Please wait>" goes up before the request is made; the request's
    // outcome replaces it, also one that comes inside the call.
    SetVersionText(QStringLiteral("<Please wait>"));
    VersionRequest();
}

void TFirmwareUpdate::BTN_BrowseHexClick() {
    const QString name = platform::RunFileDialog(*DLG_OpenHex);
    if (!name.isEmpty()) ED_HexFile->setText(name);
}

void TFirmwareUpdate::ED_HexFileChange() {
    const QString name = ED_HexFile->text();
    const QFileInfo info(name);
    // A FIFO or a device (such as /dev/zero) is no firmware file: it is
    // refused aloud, in the words the updater uses for it, and never opened.
    // A folder says nothing: typing a name passes through its folders.
    QString refusal;
    if (!name.isEmpty() && !info.isDir()) {
        const std::string why = platform::RegularFile::WhyNotRegular(QFile::encodeName(name).toStdString());
        if (!why.empty())
            refusal =
                QStringLiteral("Cannot open file \"") + name + QStringLiteral("\". ") + QString::fromStdString(why);
    }
    LBL_Message->setText(refusal);
    LBL_Message->setToolTip(refusal);
    BTN_Upgrade->setEnabled(!busy_ && requestsAllowed_ && !name.isEmpty() && info.isFile());
}

void TFirmwareUpdate::BTN_UpgradeClick() {
    if (UpgradeRequest) UpgradeRequest(ED_HexFile->text().toStdString());
}

void TFirmwareUpdate::BTN_CancelClick() { done(QDialog::Rejected); }

void TFirmwareUpdate::BTN_CloseClick() { done(QDialog::Accepted); }

bool TFirmwareUpdate::FormCloseQuery() const { return !busy_; }

void TFirmwareUpdate::done(int result) {
    if (!FormCloseQuery()) return;
    QDialog::done(result);
}

void TFirmwareUpdate::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TFirmwareUpdate::SetVersionText(const QString& text) { ED_VersionInfo->setText(text); }

void TFirmwareUpdate::SetBusy(bool busy) {
    busy_ = busy;
    BTN_CheckVer->setEnabled(!busy && requestsAllowed_);
    BTN_Cancel->setEnabled(!busy);
    ED_HexFileChange();
    setEnabled(!busy);
}

void TFirmwareUpdate::SetRequestsAllowed(bool allowed) {
    requestsAllowed_ = allowed;
    BTN_CheckVer->setEnabled(!busy_ && requestsAllowed_);
    ED_HexFileChange();
}

void TFirmwareUpdate::ShowResult(bool ok) {
    if (ok) {
        platform::ShowMessageBox("Completed succesfully", windowTitle().toStdString(), platform::MsgIcon::Information,
                                 platform::MsgButtons::Ok, this);
        BTN_Cancel->hide();
        BTN_Upgrade->hide();
        BTN_Close->show();
    } else {
        platform::ShowMessageBox("Upgrade Failed...", windowTitle().toStdString(), platform::MsgIcon::Error,
                                 platform::MsgButtons::Ok, this);
        BTN_Close->hide();
        BTN_Cancel->show();
        BTN_Upgrade->show();
    }
}

void TFirmwareUpdate::StartProgress(uint32_t totalBytes) {
    const ProgressScale scale = ScaleFor(totalBytes);
    progressDivisor_ = scale.divisor;
    PB_UpdateProcess->setRange(0, scale.maximum);
    PB_UpdateProcess->setValue(0);
    PB_UpdateProcess->show();
}

void TFirmwareUpdate::SetProgress(uint32_t bytesSent) {
    PB_UpdateProcess->setValue(static_cast<int>(bytesSent / progressDivisor_));
}

void TFirmwareUpdate::HideProgress() { PB_UpdateProcess->hide(); }
