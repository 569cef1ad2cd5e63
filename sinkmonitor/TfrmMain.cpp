#include "sinkmonitor/TfrmMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLayout>
#include <QStyle>
#include <QTabBar>
#include <QVBoxLayout>

#include "platform/GuiCall.h"
#include "platform/MessageBox.h"
#include "platform/RegistryIniFile.h"
#include "platform/gui/FormKit.h"
#include "platform/gui/ScreenPlacement.h"
#include "sinkmonitor/GUIColorSchemeSettings.h"
#include "sinkmonitor/appresource.h"

using platform::Button;
using platform::Named;

namespace {

constexpr int kMinWidth = 812;
constexpr int kMinHeight = 520;
constexpr int kDesignedWidth = 960;
constexpr int kDesignedHeight = 720;
constexpr int kStatusPanelWidth = 200;
constexpr int kMsaColumnWidths[selvitra::kMsaColumns.size()] = {70, 50, 60, 50, 100, 50, 50, 50, 60,
                                                                50, 50, 50, 50, 50,  50, 50, 50};
constexpr int kSdpColumnWidths[selvitra::kSdpColumns.size()] = {70, 70, 50, 50, 50, 50};

std::string ColumnKey(int column) { return "Clmn" + std::to_string(column + 1); }

// Key codes up to 27 are control keys (backspace, paste, escape ...); keys
// that make no character (arrows, delete) are not filtered either.
bool IsControlKey(const QKeyEvent* key) {
    const QString text = key->text();
    return text.isEmpty() || text.at(0).unicode() <= 27 || text.at(0).unicode() == 127;
}

}  // namespace

TfrmMain::TfrmMain(const QStringList& arguments) : colors_(GetGUIColorScheme()) {
    BuildUi();
    ConnectHandlers();
    // The DPCD fields start empty, so they show the colours of a value that
    // does not match.
    SetEditColors(tbsVarious->edDPCDAddress, false);
    SetEditColors(tbsVarious->edDPCDData, false);
    FormCreate(arguments);
}

TfrmMain::~TfrmMain() {
    epoch_.Advance();
    FormDestroy();
    platform::ClearProgramWindow(this);
}

void TfrmMain::BuildUi() {
    setObjectName("frmMain");
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kDesignedWidth, kDesignedHeight);

    splSplitter = Named<QSplitter>(this, "splSplitter", Qt::Vertical);
    setCentralWidget(splSplitter);
    pgMain = Named<QTabWidget>(splSplitter, "pgMain");
    tbsMain = new selvitra::MainPage(pgMain);
    tbsEDID = new selvitra::EdidPage(pgMain);
    tbsSDP = new selvitra::SdpPage(pgMain);
    tbsAudio = new selvitra::AudioPage(pgMain);
    tbsVarious = new selvitra::VariousPage(pgMain);
    pgMain->addTab(tbsMain, QStringLiteral("Main"));
    pgMain->addTab(tbsEDID, QStringLiteral("EDID"));
    pgMain->addTab(tbsSDP, QStringLiteral("SDP"));
    pgMain->addTab(tbsAudio, QStringLiteral("Audio"));
    pgMain->addTab(tbsVarious, QStringLiteral("Various"));
    splSplitter->addWidget(pgMain);
    BuildMessages(splSplitter);
    splSplitter->setStretchFactor(0, 1);
    splSplitter->setChildrenCollapsible(false);

    sbStatus = Named<QStatusBar>(this, "sbStatus");
    setStatusBar(sbStatus);
    for (int i = 0; i < 2; ++i) {
        sbStatusPanels[i] = platform::PlainLabel(sbStatus, i == 0 ? "sbStatusPanel0" : "sbStatusPanel1");
        sbStatusPanels[i]->setFixedWidth(kStatusPanelWidth);
        sbStatus->addWidget(sbStatusPanels[i]);
    }

    for (int c = 0; c < static_cast<int>(selvitra::kMsaColumns.size()); ++c)
        tbsMain->lvMSA->setColumnWidth(c, kMsaColumnWidths[c]);
    for (int c = 0; c < static_cast<int>(selvitra::kSdpColumns.size()); ++c)
        tbsSDP->lvSDP->setColumnWidth(c, kSdpColumnWidths[c]);
}

void TfrmMain::BuildMessages(QWidget* parent) {
    pnlMessages = platform::Panel(parent, "pnlMessages");
    auto* outer = new QVBoxLayout(pnlMessages);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* group = Named<QGroupBox>(pnlMessages, "gbMessages", QStringLiteral("Messages"));
    outer->addWidget(group);
    auto* layout = new QHBoxLayout(group);
    lbTextOut = Named<platform::MessageList>(group, "lbTextOut");
    lbTextOut->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(lbTextOut, 1);
    auto* buttons = new QVBoxLayout;
    btnMessageClear = Button(group, "btnMessageClear", QStringLiteral("Clear"));
    btnMessageCopy = Button(group, "btnMessageCopy", QStringLiteral("Copy"));
    buttons->addWidget(btnMessageClear);
    buttons->addWidget(btnMessageCopy);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    pmTextOut = Named<QMenu>(this, "pmTextOut");
    pmTextOut->addAction(QStringLiteral("&Copy"), this, [this] { btnMessageCopyClick(); });
    pmTextOut->addAction(QStringLiteral("&Clear"), this, [this] { btnMessageClearClick(); });
    pnlMessages->setMinimumHeight(90);
}

void TfrmMain::ConnectHandlers() {
    // A handler that may talk to the sink; a port found lost on the way is
    // torn down after it.
    auto command = [this](QAbstractButton* button, void (TfrmMain::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, [this, handler] {
            (this->*handler)();
            CheckPortLost();
        });
    };
    auto* main = tbsMain;
    main->cbComPort->onDropDown = [this] { cbComPortDropDown(); };
    connect(main->cbComPort, &QComboBox::activated, this, [this] {
        cbComPortChange();
        CheckPortLost();
    });
    connect(pgMain, &QTabWidget::currentChanged, this, [this] { pgMainChange(); });
    command(main->btnUpdateLinkStatus, &TfrmMain::btnUpdateLinkStatusClick);
    command(main->btnClearLinkErrors, &TfrmMain::btnClearLinkErrorsClick);
    command(main->btnUpdateVideoCRC, &TfrmMain::btnUpdateVideoCRCClick);
    command(main->btnRefreshVersion, &TfrmMain::btnRefreshVersionClick);
    command(main->btnUpdateFirmware, &TfrmMain::btnUpdateFirmwareClick);
    connect(main->cbMSAEnable, &QCheckBox::toggled, this, [this] { cbMSAEnableClick(); });
    connect(main->btnMSAClear, &QPushButton::clicked, this, [this] { btnMSAClearClick(); });
    connect(main->btnMSACopy, &QPushButton::clicked, this, [this] { btnMSACopyClick(); });
    connect(main->pmiMSAClear, &QAction::triggered, this, [this] { btnMSAClearClick(); });
    connect(main->pmiMSACopy, &QAction::triggered, this, [this] { btnMSACopyClick(); });
    connect(main->pmiDelete, &QAction::triggered, this, [this] { pmiDeleteClick(); });
    connect(main->lvMSA, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) { pmMSAPopup(at); });

    auto* sdp = tbsSDP;
    connect(sdp->cbSDPEnable, &QCheckBox::toggled, this, [this] { cbSDPEnableClick(); });
    connect(sdp->btnSDPClear, &QPushButton::clicked, this, [this] { btnSDPClearClick(); });
    connect(sdp->btnSDPCopy, &QPushButton::clicked, this, [this] { btnSDPCopyClick(); });
    connect(sdp->pmiSDPClear, &QAction::triggered, this, [this] { btnSDPClearClick(); });
    connect(sdp->pmiSDPCopy, &QAction::triggered, this, [this] { btnSDPCopyClick(); });
    connect(sdp->lvSDP, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { tbsSDP->pmSDP->popup(tbsSDP->lvSDP->viewport()->mapToGlobal(at)); });

    command(tbsAudio->btnUpdateAudioStatus, &TfrmMain::btnUpdateAudioStatusClick);

    auto* various = tbsVarious;
    command(various->btnSetSinkCapabilities, &TfrmMain::btnSetSinkCapabilitiesClick);
    command(various->btnPulseHPD, &TfrmMain::btnPulseHPDClick);
    command(various->btnSetAUXChannelOutputLevel, &TfrmMain::btnSetAUXChannelOutputLevelClick);
    command(various->btnAUXTest, &TfrmMain::btnAUXTestClick);
    command(various->btnDPCDRead, &TfrmMain::btnDPCDReadClick);
    command(various->btnDPCDWrite, &TfrmMain::btnDPCDWriteClick);
    connect(various->btnAUXCopy, &QPushButton::clicked, this, [this] { btnAUXCopyClick(); });
    connect(various->edDPCDAddress, &QLineEdit::textChanged, this, [this] { CheckRanges(); });
    connect(various->edDPCDData, &QLineEdit::textChanged, this, [this] { CheckRanges(); });
    for (QLineEdit* edit : {various->edDPCDAddress, various->edDPCDData, various->edtHPDDuration, various->edtASTStart,
                            various->edtASTStop})
        edit->installEventFilter(this);

    connect(btnMessageClear, &QPushButton::clicked, this, [this] { btnMessageClearClick(); });
    connect(btnMessageCopy, &QPushButton::clicked, this, [this] { btnMessageCopyClick(); });
    connect(lbTextOut, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmTextOut->popup(lbTextOut->viewport()->mapToGlobal(at)); });
}

// The key filters of the number fields: the DPCD fields take hexadecimal
// digits (as upper case), the others decimal digits; control keys pass.
bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit || IsControlKey(key)) return false;
    const QString text = key->text().toUpper();
    const QChar c = text.at(0);
    const bool hexField = edit == tbsVarious->edDPCDAddress || edit == tbsVarious->edDPCDData;
    const bool digit = c >= u'0' && c <= u'9';
    if (hexField && text.size() == 1 && (digit || (c >= u'A' && c <= u'F'))) {
        edit->insert(text);
        return true;
    }
    if (!hexField && text.size() == 1 && digit) return false;
    return true;  // dropped
}

// The window system's close comes between two levels of an AUX test at the
// earliest (each level is a blocking command). The program ends after it:
// no further level goes out, and the progress window goes too.
void TfrmMain::closeEvent(QCloseEvent* event) {
    if (auxTest_) EndAuxTest(false);
    QMainWindow::closeEvent(event);
}

void TfrmMain::FormCreate(const QStringList& arguments) {
    // 1, 2: caption, empty status bar, the Main page.
    setWindowTitle(QStringLiteral("Selvitra v") + QString::fromStdString(GetAppResource().short_version()) +
                   QStringLiteral(" - Merovan"));
    // A box that names no window sits on this one and bears its caption.
    platform::SetProgramWindow(this, windowTitle().toStdString());
    for (QLabel* panel : sbStatusPanels) panel->clear();
    pgMain->setCurrentWidget(tbsMain);

    // 3: port list and protocol. The frame layer asks for its debug texts to
    // be taken on the GUI thread (the post is stamped here, on that thread).
    portList_ = std::make_unique<serialportenum_t>();
    const auto takeDebugText = epoch_.Guard([this] { protocol_->handle_debug_text(); });
    protocol_ = std::make_unique<dpprotocol_t>(this, [takeDebugText] { platform::PostToGuiThread(takeDebugText); });
    protocol_->set_message_callback([this](const std::string& text) { OnProtocolMessage(text); });

    // 4, 5
    FillPortList();
    protocol_->set_debug(arguments.contains(QStringLiteral("-debug")));

    // 6, 7, 9: the settings; 8: the port of the last session.
    QString portName;
    ReadSettings(&portName);
    if (!portName.isEmpty()) {
        const int index = tbsMain->cbComPort->findText(portName, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index >= 0) {
            tbsMain->cbComPort->setCurrentIndex(index);
            cbComPortChange();
            CheckPortLost();
        }
    }

    // 10: the EDID editor, embedded at the size its panel has now.
    edid_ = ECCreate();
    ECSetOptions(edid_, 3);
    ECSetHostCallback(edid_, this, &TfrmMain::EdidHostCallback);
    LayOutPages();
    ECEmbed(edid_, tbsEDID->pnlEDIDContainer);
    ECClearBlocks(edid_);
}

// Gives every page, shown or not, the geometry it has in the window at its
// current size, so that the EDID editor is embedded at its panel's size.
void TfrmMain::LayOutPages() {
    layout()->activate();
    splSplitter->refresh();
    // The page control lays out its pages only once it is visible: the area
    // below the tab bar, inside the frame.
    const int frame = pgMain->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, pgMain);
    const QSize pageArea(pgMain->width() - 2 * frame,
                         pgMain->height() - pgMain->tabBar()->sizeHint().height() - 2 * frame);
    for (int i = 0; i < pgMain->count(); ++i) {
        pgMain->widget(i)->resize(pageArea);
        if (QLayout* pageLayout = pgMain->widget(i)->layout()) pageLayout->activate();
    }
}

void TfrmMain::ReadSettings(QString* portName) {
    const platform::RegistryIniFile settings(kSettingsKey);
    const int left = settings.ReadInteger("Window", "Left", 0);
    const int top = settings.ReadInteger("Window", "Top", 0);
    const int width = settings.ReadInteger("Window", "Width", -1);
    const int height = settings.ReadInteger("Window", "Height", -1);
    const int state = settings.ReadInteger("Window", "State", -1);
    const int splitter = settings.ReadInteger("Window", "Spltpos", 0);
    *portName = QString::fromStdString(settings.ReadString("COM", "PortName", ""));

    const bool positionStored = left != 0 || top != 0;
    if (positionStored) move(left, top);
    if (width != -1 || height != -1)
        resize(width != -1 ? width : this->width(), height != -1 ? height : this->height());
    // Settings from a screen that is gone would leave the window where it
    // cannot be seen. (Without a stored position the window manager places it.)
    if (positionStored) platform::KeepOnScreen(*this);
    if (state == 1) setWindowState(Qt::WindowMinimized);
    if (state == 2) setWindowState(Qt::WindowMaximized);
    if (splitter != 0) {
        layout()->activate();
        const int total = splSplitter->height() - splSplitter->handleWidth();
        splSplitter->setSizes({splitter, std::max(total - splitter, 1)});
    }
    for (int c = 0; c < static_cast<int>(selvitra::kMsaColumns.size()); ++c)
        tbsMain->lvMSA->setColumnWidth(c, settings.ReadInteger("MSAClmns", ColumnKey(c), kMsaColumnWidths[c]));
    for (int c = 0; c < static_cast<int>(selvitra::kSdpColumns.size()); ++c)
        tbsSDP->lvSDP->setColumnWidth(c, settings.ReadInteger("SDPClmns", ColumnKey(c), kSdpColumnWidths[c]));
}

void TfrmMain::WriteSettings() {
    platform::RegistryIniFile settings(kSettingsKey);
    settings.WriteInteger("Window", "Left", x());
    settings.WriteInteger("Window", "Top", y());
    settings.WriteInteger("Window", "Width", width());
    settings.WriteInteger("Window", "Height", height());
    settings.WriteInteger("Window", "Spltpos", splSplitter->sizes().value(0));
    const QString port = tbsMain->cbComPort->currentText();
    if (!port.isEmpty()) settings.WriteString("COM", "PortName", port.toStdString());
    for (int c = 0; c < static_cast<int>(selvitra::kMsaColumns.size()); ++c)
        settings.WriteInteger("MSAClmns", ColumnKey(c), tbsMain->lvMSA->columnWidth(c));
    for (int c = 0; c < static_cast<int>(selvitra::kSdpColumns.size()); ++c)
        settings.WriteInteger("SDPClmns", ColumnKey(c), tbsSDP->lvSDP->columnWidth(c));
}

void TfrmMain::FormDestroy() {
    // The drop-down's items point into the port list: clear them with it.
    tbsMain->cbComPort->blockSignals(true);
    WriteSettings();
    tbsMain->cbComPort->clear();
    portList_.reset();
    ECDestroy(edid_);
    edid_ = nullptr;
    poller_.reset();
    if (port_) protocol_->close();
    port_.reset();
    protocol_.reset();
}

void TfrmMain::EdidHostCallback(void* owner, uint32_t code, uint32_t number, const char16_t* text) {
    auto* window = static_cast<TfrmMain*>(owner);
    window->OnEdidEditorEvent(code, number, text);
    window->CheckPortLost();
}
