// The main window's core: construction, menus, the status area, the
// splitter and its limits, the settings and the window's life cycle.
#include "cts/TCTSMainForm.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <initializer_list>

#include "cts/GeometryOptions.h"
#include "cts/dialogs/TAudioSupportSelector.h"
#include "cts/dialogs/TColorimetryEdit.h"
#include "cts/dialogs/TDPCD_Access.h"
#include "cts/dialogs/TDUTCfg.h"
#include "cts/dialogs/TDutCapsForm.h"
#include "cts/dialogs/TFirmwareUpdate.h"
#include "cts/dialogs/TOperatorInput.h"
#include "cts/dialogs/TOptionsForm.h"
#include "cts/dialogs/TReportOptions.h"
#include "cts/dialogs/TSrcAboutForm.h"
#include "cts/dialogs/TTestAutomation.h"
#include "cts/dialogs/TTimingSelection.h"
#include "platform/MessageBox.h"
#include "platform/Windows1252.h"
#include "platform/gui/FormKit.h"
#include "platform/gui/MessageList.h"
#include "platform/gui/Modal.h"
#include "platform/gui/ScreenPlacement.h"

namespace {

using platform::Named;

constexpr int kDefaultWindowDiv = 460;
constexpr int kMinUpperHeight = 459;
constexpr int kMinLowerHeight = 80;  // the lower container must keep more than this
constexpr int kHiddenStatusHeight = 36;
constexpr int kDesignClientWidth = 1116;
constexpr int kDesignClientHeight = 554;

Qt::KeyboardModifiers QueryModifiers() { return QGuiApplication::queryKeyboardModifiers(); }
TCTSMainForm::ModifierReader g_modifierReader = &QueryModifiers;

}  // namespace

TCTSMainForm::ModifierReader TCTSMainForm::SetModifierReader(ModifierReader reader) {
    ModifierReader previous = g_modifierReader;
    g_modifierReader = reader ? reader : &QueryModifiers;
    return previous;
}

TCTSMainForm::TCTSMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("CTSMainForm"));
    setWindowTitle(QStringLiteral("Merovan Vardeko"));
    // Numbers are read and shown in ASCII digits only, whatever the user's
    // locale: the up-downs (children inherit this) take no other digits.
    setLocale(QLocale::c());
    // Boxes of code that knows no window (the link's) sit on this one.
    platform::SetProgramWindow(this, windowTitle().toStdString());
    setMinimumSize(800, 600);
    BuildUi();
    InstallAppMessageHook();
    resize(kDesignClientWidth, kDesignClientHeight + menuBar()->sizeHint().height());
}

TCTSMainForm::~TCTSMainForm() {
    // FormDestroy: the records, the link (its worker stopped and joined),
    // then the EDID library instance. A completion the link still delivers
    // meanwhile belongs to no run.
    run_.Abandon();
    tests_.clear();
    link_.reset();
    if (edid_) {
        ECDestroy(edid_);
        edid_ = nullptr;
    }
    // The dialogs belong to whoever created them: they outlive the window.
    for (const QPointer<QWidget>& dialog : ownedWindows_)
        if (dialog) dialog->setParent(nullptr, dialog->windowFlags());
    platform::ClearProgramWindow(this);
}

std::vector<std::unique_ptr<QWidget>> TCTSMainForm::CreateDialogs(Dialogs& d) {
    std::vector<std::unique_ptr<QWidget>> owned;
    const auto keep = [&owned](auto* dialog) {
        owned.emplace_back(dialog);
        return dialog;
    };
    d.firmware = keep(new TFirmwareUpdate);
    d.reportOptions = keep(new TReportOptions);
    d.options = keep(new TOptionsForm);
    d.operatorInput = keep(new TOperatorInput);
    d.dpcd = keep(new TDPCD_Access);
    d.about = keep(new TSrcAboutForm);
    d.colorimetry = keep(new TColorimetryEdit);
    d.timing = keep(new TTimingSelection);
    d.automation = keep(new TTestAutomation);
    d.audio = keep(new TAudioSupportSelector);
    d.dutCaps = keep(new TDutCapsForm);
    d.dutCfg = keep(new TDUTCfg);
    return owned;
}

void TCTSMainForm::SetDialogs(const Dialogs& dialogs) {
    dialogs_ = dialogs;
    for (QDialog* dialog :
         std::initializer_list<QDialog*>{dialogs_.options, dialogs_.operatorInput, dialogs_.about, dialogs_.colorimetry,
                                         dialogs_.timing, dialogs_.automation, dialogs_.audio, dialogs_.dutCaps,
                                         dialogs_.dutCfg, dialogs_.reportOptions, dialogs_.firmware, dialogs_.dpcd}) {
        if (!dialog) continue;
        // setParent keeps the dialog a window only with its own flags.
        dialog->setParent(this, dialog->windowFlags());
        ownedWindows_.emplace_back(dialog);
    }
    const auto opens = [this](QPushButton* button, QDialog* dialog) {
        connect(button, &QPushButton::clicked, this, [dialog] { platform::ExecModal(*dialog); });
    };
    opens(BTN_DutCaps, dialogs_.dutCaps);
    opens(Button2, dialogs_.dutCaps);
    opens(BTN_TestAutomation, dialogs_.automation);
    opens(Button4, dialogs_.automation);
    opens(BTN_MostPackedTiming, dialogs_.timing);
    opens(Button3, dialogs_.timing);
    opens(BTN_EditColorimetry, dialogs_.colorimetry);
    opens(BTN_VidTimeStampGen, dialogs_.dutCfg);
    opens(Button1, dialogs_.audio);
    connect(MENU_Options, &QAction::triggered, this, [this] { MENU_OptionsClick(); });
    connect(About1, &QAction::triggered, this, [this] { About1Click(); });
    connect(MENU_SaveReport, &QAction::triggered, this, [this] { MENU_SaveReportClick(); });
    connect(MENU_FirmwareUpdate, &QAction::triggered, this, [this] { MENU_FirmwareUpdateClick(); });
    connect(MENU_DPCDAccess, &QAction::triggered, this, [this] { MENU_DPCDAccessClick(); });
}

void TCTSMainForm::BuildUi() {
    BuildMenus();

    auto* central = Named<QWidget>(this, "CTSMainFormClient");
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    SPL_UpperLower = Named<QSplitter>(central, "SPL_UpperLower", Qt::Vertical);
    SPL_UpperLower->setChildrenCollapsible(false);
    layout->addWidget(SPL_UpperLower);

    PNL_UpperContainer = platform::Panel(SPL_UpperLower, "PNL_UpperContainer");
    auto* upper = new QVBoxLayout(PNL_UpperContainer);
    upper->setContentsMargins(0, 0, 0, 0);

    PNL_NotConnected = platform::Panel(PNL_UpperContainer, "PNL_NotConnected");
    PNL_NotConnected->setFrameShape(QFrame::StyledPanel);
    LBL_NotConnectedHeadline = platform::PlainLabel(PNL_NotConnected, "LBL_NotConnectedHeadline");
    LBL_NotConnectedHeadline->setText(QStringLiteral("Initializing ..."));
    LBL_NotConnectedHeadline->setAlignment(Qt::AlignCenter);
    QFont headline = LBL_NotConnectedHeadline->font();
    headline.setBold(true);
    headline.setPointSizeF(headline.pointSizeF() * 1.3);
    LBL_NotConnectedHeadline->setFont(headline);
    LB_NotConnected = platform::PlainLabel(PNL_NotConnected, "LB_NotConnected");
    LB_NotConnected->setAlignment(Qt::AlignCenter);
    BTN_TryConnection = platform::Button(PNL_NotConnected, "BTN_TryConnection", QStringLiteral("Try Connection"));
    BTN_TryConnection->setEnabled(false);
    PNL_NotConnected->installEventFilter(this);
    upper->addWidget(PNL_NotConnected);

    TC_Pages = BuildPagesArea();
    TC_Pages->hide();
    upper->addWidget(TC_Pages);

    BuildStatusArea();
    SPL_UpperLower->addWidget(PNL_UpperContainer);
    SPL_UpperLower->addWidget(PNL_LowerContainer);
    SPL_UpperLower->setStretchFactor(0, 0);
    SPL_UpperLower->setStretchFactor(1, 1);
    setCentralWidget(central);

    connect(BTN_TryConnection, &QPushButton::clicked, this, [this] { BTN_TryConnectionClick(); });
    connect(SPL_UpperLower, &QSplitter::splitterMoved, this, [this](int pos, int) {
        const int accepted = SPL_UpperLowerCanResize(pos);
        if (accepted != pos) SetUpperHeight(accepted >= 0 ? accepted : rememberedUpperHeight_);
        if (accepted >= 0) rememberedUpperHeight_ = UpperHeight();
    });
    SetUpperHeight(kDefaultWindowDiv);
}

void TCTSMainForm::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("MENU_File"));
    MENU_SaveReport = file->addAction(QStringLiteral("Save Report ..."));
    MENU_SaveReport->setObjectName(QStringLiteral("MENU_SaveReport"));
    MENU_SaveSettings = file->addAction(QStringLiteral("Save Settings ..."));
    MENU_SaveSettings->setObjectName(QStringLiteral("MENU_SaveSettings"));
    MENU_LoadSettings = file->addAction(QStringLiteral("Load Settings ..."));
    MENU_LoadSettings->setObjectName(QStringLiteral("MENU_LoadSettings"));
    file->addSeparator();
    MENU_Exit = file->addAction(QStringLiteral("Exit"));
    MENU_Exit->setObjectName(QStringLiteral("MENU_Exit"));

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("MENU_Tools"));
    MENU_Options = tools->addAction(QStringLiteral("Options ..."));
    MENU_Options->setObjectName(QStringLiteral("MENU_Options"));
    MENU_FirmwareUpdate = tools->addAction(QStringLiteral("Firmware Update ..."));
    MENU_FirmwareUpdate->setObjectName(QStringLiteral("MENU_FirmwareUpdate"));
    MENU_DPCDAccess = tools->addAction(QStringLiteral("DPCD Access ..."));
    MENU_DPCDAccess->setObjectName(QStringLiteral("MENU_DPCDAccess"));
    MENU_DPCDAccess->setEnabled(false);
    DisconnectCOM1 = tools->addAction(QStringLiteral("Disconnect COM"));
    DisconnectCOM1->setObjectName(QStringLiteral("DisconnectCOM1"));

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("MENU_Help"));
    About1 = help->addAction(QStringLiteral("About"));
    About1->setObjectName(QStringLiteral("About1"));

    connect(MENU_Exit, &QAction::triggered, this, [this] { MENU_ExitClick(); });
    connect(DisconnectCOM1, &QAction::triggered, this, [this] { DisconnectCOM1Click(); });
    ConnectSettingsMenu();
}

void TCTSMainForm::BuildStatusArea() {
    PNL_LowerContainer = platform::Panel(SPL_UpperLower, "PNL_LowerContainer");
    auto* layout = new QVBoxLayout(PNL_LowerContainer);
    layout->setContentsMargins(4, 4, 4, 4);
    // While the status area is hidden the container keeps only its top row.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    PNL_LowerContainer->setMinimumHeight(1);
    auto* row = new QHBoxLayout;
    LB_Status = platform::PlainLabel(PNL_LowerContainer, "LB_Status", QStringLiteral("Status:"));
    BTN_ShowHideStatus = Named<QToolButton>(PNL_LowerContainer, "BTN_ShowHideStatus");
    BTN_ShowHideStatus->setCheckable(true);
    BTN_ShowHideStatus->setText(QStringLiteral("Hide Status"));
    BTN_ClearStatus = platform::Button(PNL_LowerContainer, "BTN_ClearStatus", QStringLiteral("Clear Status"));
    row->addWidget(LB_Status);
    row->addStretch(1);
    row->addWidget(BTN_ShowHideStatus);
    row->addWidget(BTN_ClearStatus);
    layout->addLayout(row);

    LB_StatusLines = Named<platform::MessageList>(PNL_LowerContainer, "LB_StatusLines");
    LB_StatusLines->setSelectionMode(QAbstractItemView::ExtendedSelection);
    QFont courier(QStringLiteral("Courier New"));
    courier.setStyleHint(QFont::Monospace);
    courier.setPixelSize(11);
    LB_StatusLines->setFont(courier);
    LB_StatusLines->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(LB_StatusLines, 1);

    PopupMenu1 = Named<QMenu>(LB_StatusLines, "PopupMenu1");
    Copy1 = PopupMenu1->addAction(QStringLiteral("Copy"));
    Copy1->setObjectName(QStringLiteral("Copy1"));
    Copy1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    Copy1->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    LB_StatusLines->addAction(Copy1);
    Showprintpackets1 = PopupMenu1->addAction(QStringLiteral("Show print packets"));
    Showprintpackets1->setObjectName(QStringLiteral("Showprintpackets1"));
    Showprintpackets1->setCheckable(true);
    Showprintpackets1->setVisible(false);

    connect(BTN_ShowHideStatus, &QToolButton::clicked, this, [this] { BTN_ShowHideStatusClick(); });
    connect(BTN_ClearStatus, &QPushButton::clicked, this, [this] { BTN_ClearStatusClick(); });
    connect(Copy1, &QAction::triggered, this, [this] { CopyStatusLines(); });
    // The item toggles only through its handler (it has no effect without a link).
    connect(Showprintpackets1, &QAction::triggered, this, [this](bool checked) {
        Showprintpackets1->setChecked(!checked);
        Showprintpackets1Click();
    });
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { PopupMenu1Popup(); });
    connect(LB_StatusLines, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(LB_StatusLines->viewport()->mapToGlobal(pos)); });
}

// ---- status area

void TCTSMainForm::OnPrintPacket(const std::string& text) {
    LB_StatusLines->AddLine(platform::FromWindows1252(text));
    LB_StatusLines->scrollToBottom();
}

void TCTSMainForm::BTN_ClearStatusClick() { LB_StatusLines->clear(); }

void TCTSMainForm::CopyStatusLines() {
    QString text;
    for (int i = 0; i < LB_StatusLines->count(); ++i) {
        if (LB_StatusLines->item(i)->isSelected()) text += LB_StatusLines->item(i)->text() + QStringLiteral("\r\n");
    }
    QGuiApplication::clipboard()->setText(text);
}

void TCTSMainForm::PopupMenu1Popup() {
    // Qt does not tell the left modifier keys from the right ones: either
    // Shift and either Ctrl count.
    const Qt::KeyboardModifiers held = g_modifierReader();
    const bool both = held.testFlag(Qt::ShiftModifier) && held.testFlag(Qt::ControlModifier);
    Showprintpackets1->setVisible(both || Showprintpackets1->isChecked());
}

void TCTSMainForm::Showprintpackets1Click() {
    if (!link_) return;
    Showprintpackets1->setChecked(!Showprintpackets1->isChecked());
    link_->SetShowPrintPackets(Showprintpackets1->isChecked());
}

void TCTSMainForm::BTN_ShowHideStatusClick() {
    QWidget* handle = SPL_UpperLower->handle(1);
    if (BTN_ShowHideStatus->isChecked()) {
        BTN_ShowHideStatus->setText(QStringLiteral("Show Status"));
        handle->setEnabled(false);
        rememberedUpperHeight_ = UpperHeight();
    } else {
        BTN_ShowHideStatus->setText(QStringLiteral("Hide Status"));
        SetUpperHeight(rememberedUpperHeight_);
        handle->setEnabled(true);
    }
    FormResize();
}

int TCTSMainForm::UpperHeight() const { return PNL_UpperContainer->height(); }

void TCTSMainForm::SetUpperHeight(int height) {
    const int total = SPL_UpperLower->height() - SPL_UpperLower->handleWidth();
    // Before the window is laid out the splitter has no height yet: keep the
    // wanted height as the sizes' proportion base.
    const int lower = total > height ? total - height : kMinLowerHeight + 1;
    PNL_UpperContainer->resize(PNL_UpperContainer->width(), height);
    SPL_UpperLower->setSizes({height, lower});
}

int TCTSMainForm::SPL_UpperLowerCanResize(int newSize) const {
    if (BTN_ShowHideStatus->isChecked()) return -1;
    const int client = SPL_UpperLower->height();
    if (newSize < kMinUpperHeight) newSize = kMinUpperHeight;
    if (client - newSize - SPL_UpperLower->handleWidth() <= kMinLowerHeight) return -1;
    return newSize;
}

void TCTSMainForm::FormResize() {
    const int client = SPL_UpperLower->height();
    const int handle = SPL_UpperLower->handleWidth();
    if (BTN_ShowHideStatus->isChecked()) {
        SetUpperHeight(client - kHiddenStatusHeight - handle);
    } else if (client - UpperHeight() - handle < kMinLowerHeight) {
        SetUpperHeight(client - kMinLowerHeight - handle);
    }
}

void TCTSMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TCTSMainForm::PNL_NotConnectedResize() {
    const int w = PNL_NotConnected->width();
    const int h = PNL_NotConnected->height();
    LBL_NotConnectedHeadline->setGeometry(10, h / 2 - 30, w - 20, 40);
    LB_NotConnected->setGeometry(10, h / 2 + 20, w - 20, 21);
    const QSize button = BTN_TryConnection->sizeHint();
    BTN_TryConnection->setGeometry((w - button.width()) / 2, LB_NotConnected->geometry().bottom() + 1 + 12,
                                   button.width(), button.height());
}

void TCTSMainForm::PNL_EdidResize() {
    if (edid_) ECFitToParent(edid_);
}

// ---- menus

void TCTSMainForm::MENU_ExitClick() { close(); }

void TCTSMainForm::About1Click() { platform::ExecModal(*dialogs_.about); }

// ---- life cycle

void TCTSMainForm::FormCreate(const QStringList& arguments) {
    const QRect now = geometry();
    WindowGeometry stored;
    stored.left = settings_.ReadInteger(kSection, "Vardeko_Left", now.left());
    stored.top = settings_.ReadInteger(kSection, "Vardeko_Top", now.top());
    stored.width = settings_.ReadInteger(kSection, "Vardeko_Width", now.width());
    stored.height = settings_.ReadInteger(kSection, "Vardeko_Height", now.height());
    const WindowGeometry g = ApplyGeometryArguments(arguments, stored);
    setGeometry(g.left, g.top, g.width, g.height);
    // Settings from a screen that is gone, or switches beyond every screen,
    // would leave the window where it cannot be seen.
    platform::KeepOnScreen(*this);
    SetUpperHeight(settings_.ReadInteger(kSection, "Vardeko_WindowDiv", kDefaultWindowDiv));
    rememberedUpperHeight_ = settings_.ReadInteger(kSection, "Vardeko_WindowDiv", kDefaultWindowDiv);
}

void TCTSMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    SetUpperHeight(rememberedUpperHeight_);
    FormShow();
}

void TCTSMainForm::FormShow() {
    // The EDID library instance with its editor window, embedded in the
    // E-EDID page, with the Write EDID and Read EDID buttons.
    edid_ = ECCreate(static_cast<int32_t>(0x80000003u));
    if (edid_) {
        ECSetHostCallback(edid_, this, &TCTSMainForm::OnEdidEditorEvent);
        ECSetOptions(edid_, 3);
        ECEmbed(edid_, PNL_Edid);
    }
    PNL_NotConnectedResize();

    comDevice_ = settings_.ReadString(kSection, "Vardeko_COM_Device", "");
    linkTimeout_ = settings_.ReadInteger(kSection, "Vardeko_Timeout", 30);
    testDelay_ = settings_.ReadInteger(kSection, "Vardeko_TestDelay", 0);
    if (dialogs_.options) {
        dialogs_.options->UD_TimeoutLen->setValue(linkTimeout_);
        dialogs_.options->UD_TestDelay->setValue(testDelay_);
    }

    if (comDevice_.empty()) {
        ShowNotConnected(QStringLiteral("No COM communications port selected."),
                         QStringLiteral("Please, Use \"Tools->Options\" to select a communications port"));
        // The port dialog runs once the window is up; without a port chosen
        // the program ends.
        QTimer::singleShot(0, this, [this] {
            if (!dialogs_.options || platform::ExecModal(*dialogs_.options) != QDialog::Accepted) {
                QCoreApplication::quit();
                close();
                return;
            }
            comDevice_ = dialogs_.options->GetSelectedDevice();
            settings_.WriteString(kSection, "Vardeko_COM_Device", comDevice_);
            OpenLink(comDevice_);
        });
        return;
    }
    if (dialogs_.options) dialogs_.options->SelectDevice(comDevice_);
    OpenLink(comDevice_);
}

bool TCTSMainForm::FormCloseQuery() {
    // Refused without a word, as a disabled window refuses it: the status
    // list shows the write's progress, and the window closes once it ended.
    if (EdidWriteHoldsClose()) return false;
    if (run_.Running()) {
        const auto answer = platform::ShowMessageBox(
            "A test process is still running.\r\n\r\nAbort the test process and close?", windowTitle().toStdString(),
            platform::MsgIcon::Question, platform::MsgButtons::YesNo, this);
        if (answer != platform::MsgResult::Yes) return false;
        // The run ends now; a completion that arrives later does nothing.
        EndTestRun();
    }
    if (!reportSaved_) {
        // Yes closes only when the report was written.
        const auto answer = platform::ShowMessageBox(
            "Report not saved.\r\n\r\nWould you like to save the report of the test run before closing program?",
            windowTitle().toStdString(), platform::MsgIcon::Question, platform::MsgButtons::YesNoCancel, this);
        if (answer == platform::MsgResult::Yes) return MENU_SaveReportClick();
        if (answer != platform::MsgResult::No) return false;
    }
    return true;
}

void TCTSMainForm::FormClose() {
    const QRect g = geometry();
    settings_.WriteInteger(kSection, "Vardeko_Left", g.left());
    settings_.WriteInteger(kSection, "Vardeko_Top", g.top());
    settings_.WriteInteger(kSection, "Vardeko_Width", g.width());
    settings_.WriteInteger(kSection, "Vardeko_Height", g.height());
    if (BTN_ShowHideStatus->text() != QStringLiteral("Show Status"))
        settings_.WriteInteger(kSection, "Vardeko_WindowDiv", UpperHeight());
    if (dialogs_.options) {
        linkTimeout_ = dialogs_.options->UD_TimeoutLen->value();
        testDelay_ = dialogs_.options->UD_TestDelay->value();
    }
    settings_.WriteInteger(kSection, "Vardeko_Timeout", linkTimeout_);
    settings_.WriteInteger(kSection, "Vardeko_TestDelay", testDelay_);
}

void TCTSMainForm::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TCTSMainForm::OnInstanceMessage() {
    setWindowState((windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)) | Qt::WindowActive);
    if (!isVisible()) show();
    raise();
    activateWindow();
}

bool TCTSMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == PNL_NotConnected && event->type() == QEvent::Resize) PNL_NotConnectedResize();
    if (watched == PNL_Edid && event->type() == QEvent::Resize) PNL_EdidResize();
    if (event->type() == QEvent::KeyPress) {
        // Enter in a parameter edit moves the focus on.
        if (watched == ED_Tout || watched == ED_Tout2) return EnterMovesFocus(event, ED_AfterHPDLow);
        if (watched == ED_AfterHPDLow || watched == ED_AfterHPDLow2) return EnterMovesFocus(event, ED_AfterHPDHi);
        if (watched == ED_AfterHPDHi || watched == ED_AfterHPDHi2) return EnterMovesFocus(event, ED_IterationCount);
        if (watched == ED_IterationCount) return EnterMovesFocus(event, BTN_RunTests);
    }
    return QMainWindow::eventFilter(watched, event);
}
