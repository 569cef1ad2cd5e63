#include "sinkmonitor/TDPFirmwareUpdate.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>

#include <unistd.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/MessageEndpoint.h"
#include "platform/PortList.h"
#include "platform/gui/FormKit.h"
#include "platform/gui/Modal.h"
#include "sinkmonitor/UpdaterLaunch.h"
#include "sinkmonitor/appresource.h"
#include "sinkmonitor/transport/serialportenum.h"

using platform::Button;
using platform::Named;

namespace {

constexpr int kProgressMax = 100;

// The port drop-down re-reads the present ports each time it opens.
class DropDownComboBox : public QComboBox {
public:
    explicit DropDownComboBox(QWidget* parent) : QComboBox(parent) {}
    std::function<void()> OnDropDown;

    void showPopup() override {
        if (OnDropDown) OnDropDown();
        QComboBox::showPopup();
    }
};

// The dialog's endpoint id: unique among the dialogs of all running
// programs of this user. A process id fits in 22 bits (the kernel's
// highest limit), leaving 10 bits for the dialogs of one process; the
// broadcast id 0xFFFFFFFF is never reached.
uint32_t NewEndpointId() {
    static std::atomic<uint32_t> dialogs{0};
    const uint32_t pid = static_cast<uint32_t>(::getpid()) & 0x3FFFFFu;
    return (pid << 10) | (dialogs.fetch_add(1) & 0x3FFu);
}

// A name that the dialogs give their endpoints: "PALLUMO." and 8 digits.
bool IsUpdaterMessageName(const std::string& name) {
    const QString text = QString::fromStdString(name);
    const QString prefix = QString::fromLatin1(selvitra::kUpdaterMessagePrefix);
    if (!text.startsWith(prefix)) return false;
    bool ok = false;
    const uint32_t id = text.mid(prefix.size()).toUInt(&ok, 16);
    return ok && selvitra::UpdaterMessageName(id) == text;
}

void ShowError(QWidget* owner, const QString& text) {
    platform::ShowMessageBox(text.toStdString(), "Error", platform::MsgIcon::Error, platform::MsgButtons::Ok, owner);
}

}  // namespace

TDPFirmwareUpdate::TDPFirmwareUpdate(QWidget* parent, const QString& programFilePath)
    : QDialog(parent), endpointId_(NewEndpointId()) {
    setObjectName(QStringLiteral("DPFirmwareUpdate"));
    setModal(true);
    // The dialog is made when the program starts: what the dialogs of
    // programs killed outright left in the runtime folder goes now.
    platform::RemoveStaleEndpointsOfNames(IsUpdaterMessageName);

    const QString program = programFilePath.isEmpty() ? QCoreApplication::applicationFilePath() : programFilePath;
    programFolder_ = QFileInfo(program).absolutePath();
    updaterPath_ = selvitra::UpdaterPath(program);

    lblSerialPort = platform::PlainLabel(this, "lblSerialPort", QStringLiteral("Serial port"));
    auto* combo = Named<DropDownComboBox>(this, "cbComPort");
    combo->OnDropDown = [this] { cbComPortDropDown(); };
    cbComPort = combo;
    cbComPort->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    lblFWFileNameCaption = platform::PlainLabel(this, "lblFWFileNameCaption", QStringLiteral("Firmware file"));
    lblFirmwareFile = platform::PlainLabel(this, "lblFirmwareFile");
    lblFirmwareFile->setFrameShape(QFrame::StyledPanel);
    lblFirmwareFile->setFrameShadow(QFrame::Sunken);
    lblFirmwareFile->setMinimumWidth(120);
    lblFirmwareFile->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    btnExplore = Button(this, "btnExplore", QStringLiteral("..."));
    btnExplore->setFixedWidth(btnExplore->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    pbUpdate = platform::ProgressBar(this, "pbUpdate");
    pbUpdate->setRange(0, kProgressMax);
    pbUpdate->setValue(0);
    pbUpdate->setVisible(false);
    lbTextOut = Named<platform::MessageList>(this, "lbTextOut");
    btnUpdateFirmware = Button(this, "btnUpdateFirmware", QStringLiteral("&Update..."));
    btnUpdateFirmware->setDefault(true);
    btnClose = Button(this, "btnClose", QStringLiteral("&Close"));

    odSelectFirmwareFile = Named<QFileDialog>(this, "odSelectFirmwareFile");
    odSelectFirmwareFile->setOption(QFileDialog::DontUseNativeDialog, true);
    odSelectFirmwareFile->setAcceptMode(QFileDialog::AcceptOpen);
    odSelectFirmwareFile->setFileMode(QFileDialog::ExistingFile);
    // The extension matches in any letter case; "All files" means every
    // file, with or without an extension.
    odSelectFirmwareFile->setFilter(odSelectFirmwareFile->filter() & ~QDir::CaseSensitive);
    odSelectFirmwareFile->setNameFilters({QStringLiteral("Intel HEX file (*.hex)"), QStringLiteral("All files (*)")});

    auto* grid = new QGridLayout;
    grid->addWidget(lblSerialPort, 0, 0);
    grid->addWidget(cbComPort, 0, 1, 1, 2);
    grid->addWidget(lblFWFileNameCaption, 1, 0);
    grid->addWidget(lblFirmwareFile, 1, 1);
    grid->addWidget(btnExplore, 1, 2);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(pbUpdate);
    layout->addWidget(lbTextOut, 1);
    layout->addLayout(platform::ButtonRow({btnUpdateFirmware, btnClose}));
    resize(600, 320);  // the longest notice text fits in the list

    connect(cbComPort, &QComboBox::activated, this, [this] { cbComPortChange(); });
    connect(btnExplore, &QPushButton::clicked, this, [this] { btnExploreClick(); });
    connect(btnUpdateFirmware, &QPushButton::clicked, this, [this] { btnUpdateFirmwareClick(); });
    connect(btnClose, &QPushButton::clicked, this, [this] { reject(); });

    FormCreate();

    if (!QFileInfo::exists(updaterPath_))
        platform::ShowMessageBox(selvitra::UpdaterNotFoundText(updaterPath_).toStdString(), std::string(),
                                 platform::MsgIcon::None, platform::MsgButtons::Ok, parent);
}

TDPFirmwareUpdate::~TDPFirmwareUpdate() {
    // The updater is not stopped: it ends on its own.
    if (updaterEndNotifier_) updaterEndNotifier_->setEnabled(false);
    if (updaterEndFd_ >= 0) ::close(updaterEndFd_);
    FormDestroy();
}

void TDPFirmwareUpdate::FormCreate() { ports_ = std::make_unique<serialportenum_t>(); }

void TDPFirmwareUpdate::FormDestroy() {
    cbComPort->clear();
    ports_.reset();
}

void TDPFirmwareUpdate::Execute(const QString& portName) {
    Prepare(portName);
    if (!SelectFirmwareFile()) return;
    platform::ExecModal(*this);
}

void TDPFirmwareUpdate::Prepare(const QString& portName) {
    const appresource_t updater(updaterPath_.toStdString());
    setWindowTitle("Pallumo v" + QString::fromStdString(updater.short_version()) + " - Merovan");
    SetFirmwareFile(QString());

    if (!endpoint_) {
        const std::string name = selvitra::UpdaterMessageName(endpointId_).toStdString();
        endpoint_ = platform::MessageEndpoint::Create(name, endpointId_);
        if (endpoint_) {
            endpointNotifier_ = new QSocketNotifier(endpoint_->Fd(), QSocketNotifier::Read, this);
            connect(endpointNotifier_, &QSocketNotifier::activated, this, [this] { ReceiveNotices(); });
        }
    }

    cbComPortDropDown();
    cbComPort->setCurrentIndex(portName.isEmpty() ? -1 : cbComPort->findText(portName, Qt::MatchExactly));
    ResetView();
}

void TDPFirmwareUpdate::cbComPortDropDown() {
    // The port chosen before stays chosen while it is still present.
    const QString chosen = cbComPort->currentIndex() >= 0 ? cbComPort->currentText() : QString();
    cbComPort->clear();
    ports_ = std::make_unique<serialportenum_t>();
    std::vector<platform::SerialPortInfo> infos;
    for (size_t i = 0; i < ports_->count(); ++i)
        infos.push_back({ports_->at(i)->device_path, ports_->at(i)->friendly_name});
    const std::vector<std::string> names = platform::PortDisplayNames(infos);
    for (size_t i = 0; i < names.size(); ++i)
        cbComPort->addItem(QString::fromStdString(names[i]), QVariant::fromValue(static_cast<qulonglong>(i)));
    cbComPort->setCurrentIndex(chosen.isEmpty() ? -1 : cbComPort->findText(chosen, Qt::MatchExactly));
}

void TDPFirmwareUpdate::cbComPortChange() { ResetView(); }

void TDPFirmwareUpdate::btnExploreClick() { SelectFirmwareFile(); }

void TDPFirmwareUpdate::ResetView() {
    pbUpdate->setVisible(false);
    pbUpdate->setValue(0);
    lbTextOut->clear();
    btnUpdateFirmware->setEnabled(cbComPort->currentIndex() >= 0 && !firmwareFile_.isEmpty());
}

bool TDPFirmwareUpdate::SelectFirmwareFile() {
    if (!initialFolderSet_) {
        odSelectFirmwareFile->setDirectory(programFolder_);
        initialFolderSet_ = true;
    }
    ResetView();
    // The file dialog opens centred on this dialog. Asked for before this
    // dialog shows, it would centre on where this one was last (or on the
    // screen's corner): this dialog takes the place it shows at, centred on
    // its owner, first.
    if (!isVisible()) {
        adjustPosition(parentWidget());
        setAttribute(Qt::WA_Moved, false);  // no position of its own: centred again when shown
    }
    QString name;
    if (FileDialogHook) {
        name = FileDialogHook(*odSelectFirmwareFile);
    } else if (platform::ExecModal(*odSelectFirmwareFile) == QDialog::Accepted &&
               !odSelectFirmwareFile->selectedFiles().isEmpty()) {
        name = odSelectFirmwareFile->selectedFiles().front();
    }
    if (name.isEmpty()) return false;
    SetFirmwareFile(name);
    btnUpdateFirmware->setEnabled(cbComPort->currentIndex() >= 0);
    return true;
}

void TDPFirmwareUpdate::btnUpdateFirmwareClick() {
    if (UpdaterRunning()) return;
    const int port = cbComPort->currentIndex();
    if (port < 0) {
        ShowError(this, QStringLiteral("Communication port not selected."));
        return;
    }
    if (firmwareFile_.isEmpty()) {
        ShowError(this, QStringLiteral("Please select the firmware file first."));
        return;
    }
    const size_t element = static_cast<size_t>(cbComPort->itemData(port).toULongLong());
    const QString devicePath = QString::fromUtf8(ports_->at(element)->device_path);
    int error = 0;
    if (!StartUpdater(devicePath, error)) {
        ShowError(this, selvitra::UpdaterStartFailedText(error));
        return;
    }
    SetRunningControls(true);
    WatchUpdater();
}

void TDPFirmwareUpdate::OnUpdaterMessage(uint32_t kind, uint32_t value) {
    const selvitra::UpdaterNoticeView view = selvitra::DecodeUpdaterNotice(kind, value);
    if (!view.text.isEmpty()) AddText(view.text);
    if (view.showProgressBar) pbUpdate->setVisible(true);
    if (view.progress) pbUpdate->setValue(static_cast<int>(std::min<uint32_t>(*view.progress, kProgressMax)));
}

void TDPFirmwareUpdate::AddText(const QString& text) {
    lbTextOut->AddLine(text);
    lbTextOut->scrollToBottom();
    lbTextOut->repaint();
}

void TDPFirmwareUpdate::ReceiveNotices() {
    if (!endpoint_) return;
    while (const auto message = endpoint_->Receive(0)) OnUpdaterMessage(message->wParam, message->lParam);
}

void TDPFirmwareUpdate::SetRunningControls(bool running) {
    for (QWidget* control :
         {static_cast<QWidget*>(btnExplore), static_cast<QWidget*>(btnClose), static_cast<QWidget*>(cbComPort)})
        control->setEnabled(!running);
    // Also after the run: a new file choice or port change enables it again.
    btnUpdateFirmware->setEnabled(false);
}

void TDPFirmwareUpdate::SetFirmwareFile(const QString& fileName) {
    firmwareFile_ = fileName;
    ShowFirmwareFile();
}

// The label shows the file name shortened in its middle when it is wider
// than the label, so that the folder's start and the file's name stay.
void TDPFirmwareUpdate::ShowFirmwareFile() {
    const int room = lblFirmwareFile->contentsRect().width() - 2 * lblFirmwareFile->margin() - 4;
    lblFirmwareFile->setText(room > 0 ? lblFirmwareFile->fontMetrics().elidedText(firmwareFile_, Qt::ElideMiddle, room)
                                      : firmwareFile_);
}

void TDPFirmwareUpdate::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    ShowFirmwareFile();
}

void TDPFirmwareUpdate::closeEvent(QCloseEvent* event) {
    if (UpdaterRunning()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TDPFirmwareUpdate::reject() {
    if (UpdaterRunning()) return;
    QDialog::reject();
}
