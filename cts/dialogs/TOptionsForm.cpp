#include "cts/dialogs/TOptionsForm.h"

#include <QAbstractItemView>
#include <QGridLayout>
#include <QLocale>
#include <QShowEvent>
#include <QVBoxLayout>

#include "platform/PortList.h"
#include "platform/gui/FormKit.h"

using platform::Button;
using platform::Named;
using platform::PlainLabel;

namespace {

// A combo box that reports when its list is about to open, so the port list
// can be built again first.
class PortComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> BeforePopup;

    void showPopup() override {
        if (BeforePopup) BeforePopup();
        QComboBox::showPopup();
    }
};

// The friendly names of the enumeration, one per port in its order.
std::vector<platform::SerialPortInfo> PortsOf(const SystemSerPorts& ports) {
    std::vector<platform::SerialPortInfo> list;
    const std::string names = ports.GetFriendlyNames();
    size_t start = 0;
    for (int i = 0; i < ports.Count(); ++i) {
        const size_t end = names.find("\r\n", start);
        list.push_back({ports.GetDevicePath(i), names.substr(start, end - start)});
        start = end == std::string::npos ? names.size() : end + 2;
    }
    return list;
}

// The text part of a spin box, named as the edit of an edit and up-down pair.
QLineEdit* NameEditOf(QSpinBox* upDown, const char* name) {
    auto* edit = upDown->findChild<QLineEdit*>();
    edit->setObjectName(QLatin1StringView(name));
    return edit;
}

}  // namespace

TOptionsForm::TOptionsForm(QWidget* parent, SystemSerPorts::Lister lister)
    : QDialog(parent), ports_(std::move(lister)) {
    setObjectName(QStringLiteral("OptionsForm"));
    setWindowTitle(QStringLiteral("Options"));
    // Numbers are read and shown in ASCII digits only, whatever the user's
    // locale: the up-downs (children inherit this) take no other digits.
    setLocale(QLocale::c());
    setModal(true);

    Label1 = PlainLabel(this, "Label1", QStringLiteral("Connect using:"));
    auto* combo = Named<PortComboBox>(this, "CB_ComSelect");
    combo->BeforePopup = [this] { CB_ComSelectDropDown(); };
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    combo->setMinimumContentsLength(24);
    CB_ComSelect = combo;

    LBL_TimeoutLen = PlainLabel(this, "LBL_TimeoutLen", QStringLiteral("Time-Out (Secs):"));
    UD_TimeoutLen = Named<QSpinBox>(this, "UD_TimeoutLen");
    UD_TimeoutLen->setRange(1, 60);
    UD_TimeoutLen->setSingleStep(1);
    UD_TimeoutLen->setValue(30);
    ED_TimeoutLen = NameEditOf(UD_TimeoutLen, "ED_TimeoutLen");

    LBL_TestDelay = PlainLabel(this, "LBL_TestDelay", QStringLiteral("Delay between tests (Secs):"));
    UD_TestDelay = Named<QSpinBox>(this, "UD_TestDelay");
    UD_TestDelay->setRange(0, 60);
    UD_TestDelay->setSingleStep(1);
    UD_TestDelay->setValue(1);
    ED_TestDelay = NameEditOf(UD_TestDelay, "ED_TestDelay");
    const QString delayHint = QStringLiteral("Affects test sequences only");
    for (QWidget* w : {static_cast<QWidget*>(LBL_TestDelay), static_cast<QWidget*>(UD_TestDelay)})
        w->setToolTip(delayHint);

    BitBtn2 = Button(this, "BitBtn2", QStringLiteral("Ok"));
    BitBtn1 = Button(this, "BitBtn1", QStringLiteral("Cancel"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(CB_ComSelect);
    auto* grid = new QGridLayout;
    grid->addWidget(LBL_TimeoutLen, 0, 0);
    grid->addWidget(UD_TimeoutLen, 0, 1);
    grid->addWidget(LBL_TestDelay, 1, 0);
    grid->addWidget(UD_TestDelay, 1, 1);
    grid->setColumnStretch(0, 1);
    layout->addLayout(grid);
    layout->addLayout(platform::ButtonRow({BitBtn2, BitBtn1}));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });

    FillPorts({});
    FormShow();
}

void TOptionsForm::FillPorts(const std::string& devicePath) {
    const auto list = PortsOf(ports_);
    const auto shown = platform::PortDisplayNames(list);
    shownPaths_.clear();
    CB_ComSelect->clear();
    for (size_t i = 0; i < list.size(); ++i) {
        shownPaths_.push_back(list[i].devicePath);
        CB_ComSelect->addItem(QString::fromStdString(shown[i]));
    }
    CB_ComSelect->setCurrentIndex(devicePath.empty() ? -1 : ports_.IndexOfDevicePath(devicePath));
}

void TOptionsForm::SelectDevice(const std::string& devicePath) {
    ports_.Refresh();
    FillPorts(devicePath);
}

std::string TOptionsForm::GetSelectedDevice() const {
    const int i = CB_ComSelect->currentIndex();
    if (i < 0 || i >= static_cast<int>(shownPaths_.size())) return {};
    return shownPaths_[static_cast<size_t>(i)];
}

void TOptionsForm::FormShow() {
    shownDevice_ = GetSelectedDevice();
    shownTimeout_ = UD_TimeoutLen->value();
    shownDelay_ = UD_TestDelay->value();
}

void TOptionsForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TOptionsForm::CB_ComSelectDropDown() {
    // The choice survives the refill by its device path; a port unplugged
    // meanwhile leaves nothing selected.
    const std::string selected = GetSelectedDevice();
    ports_.Refresh();
    FillPorts(selected);
}

void TOptionsForm::BitBtn2Click() { accept(); }

void TOptionsForm::BitBtn1Click() { reject(); }

void TOptionsForm::reject() {
    // The port is put back by its device path: the list may have been built
    // again since the dialog was shown.
    CB_ComSelect->setCurrentIndex(shownDevice_.empty() ? -1 : ports_.IndexOfDevicePath(shownDevice_));
    UD_TimeoutLen->setValue(shownTimeout_);
    UD_TestDelay->setValue(shownDelay_);
    QDialog::reject();
}
