#include "edid/editor/TECForm.h"

#include <functional>

#include "edid/ECLibrary.h"
#include "edid/core/ECCollection.h"
#include "edid/core/ECFormat.h"
#include "edid/core/ECHelper.h"
#include "edid/editor/ECTreeWidgetView.h"
#include "edid/editor/EditorFileDialogs.h"
#include "edid/editor/EditorTexts.h"
#include "edid/editor/TChangeCollectionDlg.h"
#include "edid/editor/TxtField.h"

#include "platform/MessageBox.h"
#include "platform/gui/FormKit.h"
#include "platform/gui/MessageList.h"

#include <QCursor>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QVBoxLayout>

#include <exception>
#include <string>

using platform::Button;
using platform::Named;
using platform::Panel;
using platform::PlainLabel;

namespace {

const char kCaption[] = "Merovan EDID Codec";
constexpr int kFormWidth = 740;
constexpr int kFormHeight = 611;
constexpr int kTreeIndent = 19;
constexpr int kTreeMinWidth = 100;    // the tree side is never narrower
constexpr int kBottomHeight = 35;     // the bottom panel without the log
constexpr int kBottomMinHeight = 90;  // the bottom panel with the log, at least

// A label for a value's texts. The text never widens the panel; long path
// texts are shortened instead.
QLabel* ValueLabel(QWidget* parent, const char* name) {
    QLabel* label = PlainLabel(parent, name);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setMinimumWidth(1);
    return label;
}

bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

}  // namespace

// Marks a library call that may free entries (and with them tree nodes):
// selection changes during it are not shown until it has ended, and the
// tree does not redraw meanwhile.
class TECForm::LibraryCall {
public:
    explicit LibraryCall(TECForm* form) : form_(form) {
        if (form_->libraryDepth_++ == 0) form_->LV_EDID_tree->setUpdatesEnabled(false);
        form_->InvalidateQuickSetup();
    }
    ~LibraryCall() {
        if (--form_->libraryDepth_ == 0) form_->LV_EDID_tree->setUpdatesEnabled(true);
    }
    LibraryCall(const LibraryCall&) = delete;
    LibraryCall& operator=(const LibraryCall&) = delete;

private:
    TECForm* form_;
};

TECForm::TECForm() {
    setObjectName(QStringLiteral("ECForm"));
    setWindowTitle(QString::fromLatin1(kCaption));
    BuildUi();
    ConnectHandlers();
    resize(kFormWidth, kFormHeight);
}

TECForm::~TECForm() {
    // FormDestroy: the tree is being destroyed; nothing is shown any more.
    destroying_ = true;
    // The child widgets outlive this body; none of their signals may reach
    // the handlers any more.
    for (QObject* child : findChildren<QObject*>()) disconnect(child, nullptr, this, nullptr);
    shown_.reset();
    quickMenu_.Clear();
    delete dialog_;
    dialog_ = nullptr;
}

// ---------------------------------------------------------------- building

void TECForm::BuildUi() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    LB_Heading = PlainLabel(this, "LB_Heading", QStringLiteral("E-EDID Encoder / Decoder"));
    QFont headingFont = LB_Heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.4);
    LB_Heading->setFont(headingFont);
    layout->addWidget(LB_Heading);

    Splitter2 = Named<QSplitter>(this, "Splitter2", Qt::Vertical);
    Splitter2->setChildrenCollapsible(false);
    layout->addWidget(Splitter2, 1);

    Splitter1 = Named<QSplitter>(Splitter2, "Splitter1", Qt::Horizontal);
    Splitter1->setChildrenCollapsible(false);
    LV_EDID_tree = Named<QTreeWidget>(Splitter1, "LV_EDID_tree");
    LV_EDID_tree->setHeaderHidden(true);
    LV_EDID_tree->setIndentation(kTreeIndent);
    LV_EDID_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LV_EDID_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    LV_EDID_tree->setMinimumWidth(kTreeMinWidth);
    // One line of text per node: the view need not measure every caption.
    LV_EDID_tree->setUniformRowHeights(true);
    LV_EDID_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    // The selection stays visible while the tree has no focus.
    QPalette treePalette = LV_EDID_tree->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        treePalette.setColor(QPalette::Inactive, role, treePalette.color(QPalette::Active, role));
    }
    LV_EDID_tree->setPalette(treePalette);

    PNL_Right = Named<QWidget>(Splitter1, "PNL_Right");
    BuildRightSide(PNL_Right);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({260, kFormWidth - 260});

    BuildBottom();
    Splitter2->setStretchFactor(0, 1);
    Splitter2->setStretchFactor(1, 0);

    QuickSetup = Named<QMenu>(this, "QuickSetup");
    quickMenu_.SetMenu(QuickSetup);
}

void TECForm::BuildRightSide(QWidget* right) {
    auto* layout = new QVBoxLayout(right);
    layout->setContentsMargins(4, 0, 0, 0);

    PNL_RW_Access = Panel(right, "PNL_RW_Access");
    auto* rw = new QVBoxLayout(PNL_RW_Access);
    rw->setContentsMargins(0, 0, 0, 0);
    LB_ValueName = ValueLabel(PNL_RW_Access, "LB_ValueName");
    LB_CurrentVal = ValueLabel(PNL_RW_Access, "LB_CurrentVal");
    rw->addWidget(LB_ValueName);
    rw->addWidget(LB_CurrentVal);

    PNL_Editors = Panel(PNL_RW_Access, "PNL_Editors");
    auto* editors = new QVBoxLayout(PNL_Editors);
    editors->setContentsMargins(0, 0, 0, 0);
    LB_NewValueDetails = ValueLabel(PNL_Editors, "LB_NewValueDetails");
    PNL_NumericValue = Panel(PNL_Editors, "PNL_NumericValue");
    auto* numeric = new QHBoxLayout(PNL_NumericValue);
    numeric->setContentsMargins(0, 0, 0, 0);
    ED_Numeric = Named<QLineEdit>(PNL_NumericValue, "ED_Numeric", QStringLiteral("0"));
    numeric->addWidget(ED_Numeric);
    CB_Selection = Named<QComboBox>(PNL_Editors, "CB_Selection");
    CH_Bit = Named<QCheckBox>(PNL_Editors, "CH_Bit");
    ED_General = Named<QLineEdit>(PNL_Editors, "ED_General");
    for (QWidget* w :
         {static_cast<QWidget*>(LB_NewValueDetails), static_cast<QWidget*>(PNL_NumericValue),
          static_cast<QWidget*>(CB_Selection), static_cast<QWidget*>(CH_Bit), static_cast<QWidget*>(ED_General)}) {
        editors->addWidget(w);
    }
    rw->addWidget(PNL_Editors);

    PNL_SetPanel = Panel(PNL_RW_Access, "PNL_SetPanel");
    auto* set = new QHBoxLayout(PNL_SetPanel);
    set->setContentsMargins(0, 0, 0, 0);
    BTN_SetValue = Button(PNL_SetPanel, "BTN_SetValue", QStringLiteral("Set"));
    BTN_QuickSetup = Button(PNL_SetPanel, "BTN_QuickSetup", QStringLiteral("Quick Config"));
    set->addWidget(BTN_SetValue);
    set->addWidget(BTN_QuickSetup);
    set->addStretch(1);
    rw->addWidget(PNL_SetPanel);
    layout->addWidget(PNL_RW_Access);

    PNL_R_Access = Panel(right, "PNL_R_Access");
    auto* r = new QVBoxLayout(PNL_R_Access);
    r->setContentsMargins(0, 0, 0, 0);
    LB_ValueDetails = ValueLabel(PNL_R_Access, "LB_ValueDetails");
    VLE_ValueList = Named<QTableWidget>(PNL_R_Access, "VLE_ValueList", 0, 2);
    VLE_ValueList->setHorizontalHeaderLabels({QStringLiteral("Key"), QStringLiteral("Value")});
    VLE_ValueList->verticalHeader()->hide();
    VLE_ValueList->horizontalHeader()->setStretchLastSection(true);
    VLE_ValueList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    VLE_ValueList->setSelectionBehavior(QAbstractItemView::SelectRows);
    r->addWidget(LB_ValueDetails);
    r->addWidget(VLE_ValueList, 1);
    layout->addWidget(PNL_R_Access, 1);

    PNL_Hex = Panel(right, "PNL_Hex");
    auto* hex = new QVBoxLayout(PNL_Hex);
    hex->setContentsMargins(0, 0, 0, 0);
    SB_Container = Named<QScrollArea>(PNL_Hex, "SB_Container");
    SB_Container->setWidgetResizable(false);
    SB_Container->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    hexView_ = new TxtField;
    hexView_->SetFontName(QStringLiteral("Courier New"));
    SB_Container->setWidget(hexView_);
    hex->addWidget(SB_Container);
    layout->addWidget(PNL_Hex, 1);
    layout->addStretch(0);

    PNL_RW_Access->hide();
    PNL_Hex->hide();
    HideEditors();

    dialog_ = new TChangeCollectionDlg(this);
    dialog_->BeforeApply = [this] { BeginTreeUpdate(); };
    dialog_->AfterApply = [this] { EndTreeUpdate(); };
}

void TECForm::BuildBottom() {
    PNL_Bottom = Panel(Splitter2, "PNL_Bottom");
    auto* bottom = new QVBoxLayout(PNL_Bottom);
    bottom->setContentsMargins(0, 2, 0, 0);
    auto* row = new QHBoxLayout;
    BTN_ShowLog = Button(PNL_Bottom, "BTN_ShowLog", QStringLiteral("Show Log"));
    BTN_ShowLog->setCheckable(true);
    BTN_ShowHex = Button(PNL_Bottom, "BTN_ShowHex", QStringLiteral("Show Hex"));
    BTN_ShowHex->setCheckable(true);
    Bevel1 = Named<QFrame>(PNL_Bottom, "Bevel1");
    Bevel1->setFrameShape(QFrame::VLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    BTN_SaveBlocks = Button(PNL_Bottom, "BTN_SaveBlocks", QStringLiteral("Save"));
    BTN_LoadBlocks = Button(PNL_Bottom, "BTN_LoadBlocks", QStringLiteral("Load"));
    BTN_WriteEDID = Button(PNL_Bottom, "BTN_WriteEDID", QStringLiteral("Write EDID"));
    BTN_ReadEDID = Button(PNL_Bottom, "BTN_ReadEDID", QStringLiteral("Read EDID"));
    BTN_Close = Button(PNL_Bottom, "BTN_Close", QStringLiteral("Close"));
    for (QWidget* w :
         {static_cast<QWidget*>(BTN_ShowLog), static_cast<QWidget*>(BTN_ShowHex), static_cast<QWidget*>(Bevel1),
          static_cast<QWidget*>(BTN_SaveBlocks), static_cast<QWidget*>(BTN_LoadBlocks),
          static_cast<QWidget*>(BTN_WriteEDID), static_cast<QWidget*>(BTN_ReadEDID)}) {
        row->addWidget(w);
    }
    row->addStretch(1);
    row->addWidget(BTN_Close);
    bottom->addLayout(row);
    LB_Log = Named<platform::MessageList>(PNL_Bottom, "LB_Log");
    bottom->addWidget(LB_Log, 1);

    Bevel1->hide();
    BTN_WriteEDID->hide();
    BTN_ReadEDID->hide();
    LB_Log->hide();
    PNL_Bottom->setFixedHeight(kBottomHeight);
    Splitter2->handle(1)->hide();
}

void TECForm::ConnectHandlers() {
    connect(LV_EDID_tree, &QTreeWidget::currentItemChanged, this, [this] { LV_EDID_treeChange(); });
    connect(LV_EDID_tree, &QTreeWidget::itemClicked, this, [this] { LV_EDID_treeClick(); });
    connect(LV_EDID_tree, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (quickSetupOffered_ && !hostBusy_) QuickSetup->popup(LV_EDID_tree->viewport()->mapToGlobal(pos));
    });
    connect(BTN_SetValue, &QPushButton::clicked, this, [this] { BTN_SetValueClick(); });
    connect(BTN_QuickSetup, &QPushButton::clicked, this, [this] { BTN_QuickSetupClick(); });
    connect(QuickSetup, &QMenu::aboutToShow, this, [this] { QuickSetupPopup(); });
    connect(BTN_LoadBlocks, &QPushButton::clicked, this, [this] { BTN_LoadBlocksClick(); });
    connect(BTN_SaveBlocks, &QPushButton::clicked, this, [this] { BTN_SaveBlocksClick(); });
    connect(BTN_WriteEDID, &QPushButton::clicked, this, [this] { BTN_WriteEDIDClick(); });
    connect(BTN_ReadEDID, &QPushButton::clicked, this, [this] { BTN_ReadEDIDClick(); });
    connect(BTN_ShowHex, &QPushButton::clicked, this, [this] { BTN_ShowHexClick(); });
    connect(BTN_ShowLog, &QPushButton::clicked, this, [this] { BTN_ShowLogClick(); });
    connect(BTN_Close, &QPushButton::clicked, this, [this] { BTN_CloseClick(); });
    for (QWidget* w :
         {static_cast<QWidget*>(ED_Numeric), static_cast<QWidget*>(ED_General), static_cast<QWidget*>(CB_Selection)}) {
        w->installEventFilter(this);
    }
}

bool TECForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (IsEnter(key)) {
            if (watched == ED_Numeric) {
                ED_NumericKeyPress(key);
                return true;
            }
            if (watched == ED_General) {
                ED_GeneralKeyPress(key);
                return true;
            }
            if (watched == CB_Selection) {
                CB_SelectionKeyPress(key);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- instance operations

void TECForm::SetCollection(ECCollection* collection) {
    collection_ = collection;
    if (!collection_) {
        shown_.reset();
        InvalidateQuickSetup();
        HideEditors();
        hexView_->ClearBlocks();
        return;
    }
    RefreshHex();
}

void TECForm::BindActions(std::function<void(const QString&)> load, std::function<void(const QString&)> save,
                          std::function<void()> write, std::function<void()> read) {
    load_ = std::move(load);
    save_ = std::move(save);
    write_ = std::move(write);
    read_ = std::move(read);
}

void TECForm::BeginTreeUpdate() {
    ++treeUpdateDepth_;
    if (libraryDepth_++ == 0) LV_EDID_tree->setUpdatesEnabled(false);
    InvalidateQuickSetup();
}

void TECForm::EndTreeUpdate() {
    if (treeUpdateDepth_ == 0) return;
    --treeUpdateDepth_;
    if (--libraryDepth_ == 0) LV_EDID_tree->setUpdatesEnabled(true);
    ShowEntry(SelectedEntry());
    RefreshHex();
}

bool TECForm::Embed(QWidget* host) {
    if (!host || state_ == DisplayState::ShownOnOwn) return false;
    state_ = DisplayState::Embedded;
    setParent(host);  // a child widget of the host: no frame of its own
    BTN_Close->hide();
    show();
    setGeometry(0, 0, host->width(), host->height());
    host_ = host;
    return true;
}

#if EDID_HAS_FIT_TO_PARENT
void TECForm::FitToParent() {
    if (state_ == DisplayState::Embedded && host_) setGeometry(0, 0, host_->width(), host_->height());
}
#endif

bool TECForm::SetOptions(uint32_t options) {
    const bool write = options & 0x1u;
    BTN_WriteEDID->setVisible(write);
    Bevel1->setVisible(write);
    BTN_ReadEDID->setVisible(options & 0x2u);
    switch (options & 0x60000000u) {
        case 0x20000000u:
            if (state_ == DisplayState::NotShown) state_ = DisplayState::ShownOnOwn;
            show();
            break;
        case 0x40000000u:
            hide();
            break;
        default:
            break;
    }
    return true;
}

void TECForm::ShowFileMessage(uint32_t kind, const QString& text) {
    const platform::MsgIcon icon = kind == EC_MSG_WARNING ? platform::MsgIcon::Warning : platform::MsgIcon::Error;
    platform::ShowMessageBox(text.toStdString(), kCaption, icon, platform::MsgButtons::Ok, this);
}

void TECForm::OpenCollectionDialog(ECCollection* collection) {
    if (destroying_ || hostBusy_ || !collection || dialog_->isVisible()) return;
    dialog_->Execute(collection);
}

void TECForm::CloseTreeUpdatesAbove(int depth) {
    // A fault inside the library left tree updates open: the tree would never
    // redraw nor show a selection again.
    while (treeUpdateDepth_ > depth) EndTreeUpdate();
}

void TECForm::ShowException(const char* text) {
    platform::ShowMessageBox(text, kCaption, platform::MsgIcon::Error, platform::MsgButtons::Ok, this);
}

void TECForm::InvalidateQuickSetup() {
    // The popup's items are bound to a descriptor that a change may free.
    quickMenu_.Clear();
    quickMenu_.SetTag(nullptr);
    quickSetupOffered_ = false;
    if (QuickSetup->isVisible()) QuickSetup->close();
}

// ---------------------------------------------------------------- showing an entry

ECEntry* TECForm::SelectedEntry() const { return ECTreeWidgetView::EntryOf(LV_EDID_tree->currentItem()); }

ECEntry* TECForm::ShownEntry() const { return shown_ ? shown_->Get() : nullptr; }

void TECForm::HideEditors() {
    for (QWidget* w : {static_cast<QWidget*>(PNL_RW_Access), static_cast<QWidget*>(PNL_NumericValue),
                       static_cast<QWidget*>(PNL_SetPanel), static_cast<QWidget*>(ED_General),
                       static_cast<QWidget*>(CH_Bit), static_cast<QWidget*>(CB_Selection),
                       static_cast<QWidget*>(PNL_R_Access), static_cast<QWidget*>(PNL_Editors)}) {
        w->hide();
    }
}

void TECForm::SetPathLabels(const QString& path) {
    const QFontMetrics fm(LB_ValueName->font());
    // The labels span the right side; their own geometry is stale while
    // their panels are hidden, as they are when an entry is first shown.
    const QMargins margins = PNL_Right->layout()->contentsMargins();
    const int width = PNL_Right->contentsRect().width() - margins.left() - margins.right();
    const QString text =
        editor_text::PathLabelText(path, [&](const QString& t) { return fm.horizontalAdvance(t) <= width; });
    LB_ValueName->setText(text);
    LB_ValueDetails->setText(text);
}

void TECForm::ShowEditingPart(bool readOnly, QWidget* editor) {
    PNL_RW_Access->show();
    PNL_Editors->setVisible(!readOnly);
    if (editor) editor->show();
}

void TECForm::ShowSetPanel(bool readOnly, const QString& caption) {
    BTN_SetValue->setText(caption);
    PNL_SetPanel->setVisible(!readOnly);
}

void TECForm::FillValueList(const QString& text) {
    const auto rows = editor_text::SplitNameValueRows(text);
    VLE_ValueList->setRowCount(static_cast<int>(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i) {
        VLE_ValueList->setItem(static_cast<int>(i), 0, new QTableWidgetItem(rows[i].first));
        VLE_ValueList->setItem(static_cast<int>(i), 1, new QTableWidgetItem(rows[i].second));
    }
}

void TECForm::ShowEntry(ECEntry* entry) {
    if (destroying_ || !collection_) return;
    shown_.reset();
    InvalidateQuickSetup();
    BTN_QuickSetup->hide();
    HideEditors();
    if (!entry) {
        LV_EDID_tree->viewport()->update();
        return;
    }
    shown_ = std::make_unique<ECEntry::Watch>(entry);
    const uint32_t flags = entry->GetFlags();
    const uint32_t type = flags & ECT_TYPE_MASK;
    const bool readOnly = flags & ECT_READ_ONLY;

    if ((flags & ECT_QUICK_CONFIG) && entry->QuickConfig) {
        BTN_QuickSetup->show();
        entry->QuickConfig(&quickMenu_, entry, [this](ECEntry* picked) { QuickConfigPick(picked); });
        quickSetupOffered_ = true;
    }
    SetPathLabels(entry->GetPath());
    const QString& hint = entry->GetRangeHint();
    LB_NewValueDetails->setText(hint.isEmpty() ? QStringLiteral("New Value:")
                                               : QStringLiteral("New Value (") + hint + QStringLiteral("):"));
    ShowValue(entry, type, readOnly);
    // A plain repaint shows the tree's new captions; no events are processed here.
    LV_EDID_tree->viewport()->update();

    if ((flags & ECT_SHOW_DETAILS) && PNL_R_Access->isHidden()) {
        VLE_ValueList->setRowCount(0);
        PNL_R_Access->show();
        FillValueList(entry->GetDetails());
    }
}

void TECForm::ShowValue(ECEntry* entry, uint32_t type, bool readOnly) {
    const ECVariant value = entry->GetValue();
    const QString current = QStringLiteral("Current Value = ");
    switch (type) {
        case ECT_INT:
            ShowEditingPart(readOnly, PNL_NumericValue);
            ShowSetPanel(readOnly, QStringLiteral("Set"));
            ED_Numeric->setText(value.Text);
            LB_CurrentVal->setText(current + entry->GetValueText());
            break;
        case ECT_HEX: {
            ShowEditingPart(readOnly, PNL_NumericValue);
            ShowSetPanel(readOnly, QStringLiteral("Set"));
            const QString text = entry->GetValueText();
            ED_Numeric->setText(text);
            LB_CurrentVal->setText(current + text);
            break;
        }
        case ECT_FLOAT: {
            ShowEditingPart(readOnly, ED_General);
            ShowSetPanel(readOnly, QStringLiteral("Set"));
            const QString text = entry->GetValueText();
            ED_General->setText(text);
            LB_CurrentVal->setText(current + text);
            break;
        }
        case ECT_STRING:
            ShowEditingPart(readOnly, ED_General);
            ShowSetPanel(readOnly, QStringLiteral("Set"));
            ED_General->setText(value.Text);
            LB_CurrentVal->setText(current + entry->GetValueText());
            break;
        case ECT_BOOL:
            ShowEditingPart(readOnly, CH_Bit);
            ShowSetPanel(readOnly, QStringLiteral("Set"));
            CH_Bit->setChecked(value.IsTrue());
            CH_Bit->setText(editor_text::Caption(entry->GetName() + entry->GetFormat()));
            LB_CurrentVal->setText(current + entry->GetValueText());
            break;
        case ECT_LIST:
        case ECT_LIST_TEXT: {
            ShowEditingPart(readOnly, CB_Selection);
            ShowSetPanel(readOnly, QStringLiteral("Set"));
            const QStringList items = editor_text::SplitLines(entry->GetFormat());
            CB_Selection->clear();
            CB_Selection->addItems(items);
            int selected = -1;
            if (!value.Text.isEmpty()) {
                for (int i = 0; i < items.size(); ++i) {
                    if (items.at(i).compare(value.Text, Qt::CaseInsensitive) == 0) {
                        selected = i;
                        break;
                    }
                }
            } else if (value.Integer >= 0 && value.Integer < items.size()) {
                selected = value.Integer;
            }
            CB_Selection->setCurrentIndex(selected);
            LB_CurrentVal->setText(selected < 0 ? QStringLiteral("Current Value = [INVALID] ") + value.Text
                                                : current + entry->GetValueText());
            break;
        }
        case ECT_GROUP:
            PNL_R_Access->show();
            VLE_ValueList->setRowCount(0);
            FillValueList(value.Text);
            break;
        case ECT_ACTION:
            PNL_RW_Access->show();
            ShowSetPanel(readOnly, QStringLiteral("Re-calculate"));
            LB_CurrentVal->setText(current + value.Text);
            break;
        case ECT_BUTTON:
            PNL_RW_Access->show();
            ShowSetPanel(readOnly, QStringLiteral("Set"));
            LB_CurrentVal->setText(current + value.Text);
            break;
        default:
            break;  // ECT_NONE and the unused types show nothing
    }
}

void TECForm::RefreshHex() {
    if (!collection_) return;
    hexView_->Suspend();
    hexView_->ClearBlocks();
    for (int32_t i = 0; i < collection_->Count(); ++i) {
        const ECRootParser* block = collection_->GetBlock(i);
        if (block) hexView_->AddBlock(block->Reference(), block->Bytes(), block->Length());
    }
    hexView_->Resume();
}

// ---------------------------------------------------------------- editing

void TECForm::BTN_SetValueClick() {
    if (destroying_ || !collection_ || hostBusy_) return;
    ECEntry* entry = SelectedEntry();
    if (!entry || (entry->GetFlags() & ECT_READ_ONLY)) return;
    const uint32_t flags = entry->GetFlags();
    ECVariant value;
    switch (flags & ECT_TYPE_MASK) {
        case ECT_INT:
        case ECT_HEX:
            value.SetInt(ECParseNumber(ED_Numeric->text()));
            break;
        case ECT_FLOAT:
            value.SetDouble(ECTextToDouble(ED_General->text()));
            break;
        case ECT_STRING:
            value.SetText(ED_General->text());
            break;
        case ECT_BOOL:
            value.SetBool(CH_Bit->isChecked() ? 1 : 0);
            break;
        case ECT_LIST:
            value.SetInt(CB_Selection->currentIndex());
            break;
        case ECT_LIST_TEXT:
            value.SetText(CB_Selection->currentText());
            break;
        case ECT_ACTION:
        case ECT_BUTTON:
            value.SetInt(0);
            break;
        default:
            return;  // never offered the button
    }
    collection_->SnapshotAll();  // the hex view marks what this write changes
    EditAndShow(entry, [&](ECEntry::Watch& watch) {
        entry->SetValue(value);
        if (watch.Get() && (flags & ECT_RETHINK_ON_SET)) entry->CallRethinkFunction();
    });
}

void TECForm::EditAndShow(ECEntry* entry, const std::function<void(ECEntry::Watch&)>& edit) {
    ECEntry::Watch watch(entry);
    std::string fault;
    {
        LibraryCall call(this);
        try {
            edit(watch);
        } catch (const std::exception& e) {
            fault = e.what();
        }
    }
    if (destroying_ || !collection_) return;
    // The entry may be gone (a rebuild or the collection dialog freed it): the
    // tree then holds the nearest surviving node.
    ShowEntry(watch.Get() ? watch.Get() : SelectedEntry());
    RefreshHex();
    if (!fault.empty()) ShowException(fault.c_str());
}

void TECForm::EnterPressed(QWidget* control) {
    BTN_SetValueClick();
    control->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
}

void TECForm::ED_NumericKeyPress(int key) {
    if (IsEnter(key)) EnterPressed(ED_Numeric);
}

void TECForm::ED_GeneralKeyPress(int key) {
    if (IsEnter(key)) EnterPressed(ED_General);
}

void TECForm::CB_SelectionKeyPress(int key) {
    if (IsEnter(key)) EnterPressed(CB_Selection);
}

void TECForm::BTN_QuickSetupClick() {
    if (!quickSetupOffered_ || hostBusy_) return;
    QuickSetup->popup(QCursor::pos() - QPoint(0, 10));
}

void TECForm::QuickSetupPopup() {
    if (collection_) collection_->SnapshotAll();  // the hex view marks what the preset changes
}

void TECForm::QuickConfigPick(ECEntry* entry) {
    if (destroying_ || !collection_ || !entry || hostBusy_) return;
    EditAndShow(entry, [&](ECEntry::Watch& watch) {
        entry->CallRethinkFunction();
        if (watch.Get()) ECEntry::ReevaluateTree(watch.Get());
    });
}

void TECForm::LV_EDID_treeChange() {
    // While a library call may still free entries, the change is shown when
    // the call has ended.
    if (destroying_ || !collection_ || libraryDepth_ > 0) return;
    try {
        ShowEntry(SelectedEntry());
    } catch (const std::exception& e) {
        ShowException(e.what());
    }
}

void TECForm::LV_EDID_treeClick() { LV_EDID_treeChange(); }

// ---------------------------------------------------------------- files and host requests

void TECForm::BTN_LoadBlocksClick() {
    if (!load_ || hostBusy_) return;
    QFileDialog dialog(this);
    editor_files::ConfigureOpenDialog(dialog, lastLoadFolder_);
    const QString name = editor_files::Run(dialog);
    if (name.isEmpty()) return;
    lastLoadFolder_ = QFileInfo(name).absolutePath();
    const auto load = load_;
    const int openUpdates = treeUpdateDepth_;
    try {
        load(name);
    } catch (const std::exception& e) {
        CloseTreeUpdatesAbove(openUpdates);
        ShowException(e.what());
    }
}

void TECForm::BTN_SaveBlocksClick() {
    if (!save_ || hostBusy_) return;
    QFileDialog dialog(this);
    editor_files::ConfigureSaveDialog(dialog, lastSaveFolder_);
    QFileDialog* d = &dialog;
    connect(&dialog, &QFileDialog::filterSelected, this,
            [this, d](const QString& filter) { SaveEDIDTypeChange(editor_files::FilterIndex(*d, filter)); });
    saveDialog_ = &dialog;
    const QString name = editor_files::Run(dialog);
    saveDialog_ = nullptr;
    if (name.isEmpty()) return;
    lastSaveFolder_ = QFileInfo(name).absolutePath();
    const auto save = save_;
    try {
        save(name);
    } catch (const std::exception& e) {
        ShowException(e.what());
    }
}

void TECForm::SaveEDIDTypeChange(int filterIndex) {
    if (saveDialog_) saveDialog_->setDefaultSuffix(editor_files::SaveDefaultSuffix(filterIndex));
}

void TECForm::SetHostBusy(bool busy) {
    hostBusy_ = busy;
    for (QWidget* w : {static_cast<QWidget*>(BTN_ReadEDID), static_cast<QWidget*>(BTN_WriteEDID),
                       static_cast<QWidget*>(BTN_LoadBlocks), static_cast<QWidget*>(BTN_SaveBlocks),
                       static_cast<QWidget*>(BTN_SetValue), static_cast<QWidget*>(BTN_QuickSetup)}) {
        w->setEnabled(!busy);
    }
    if (busy && QuickSetup->isVisible()) QuickSetup->close();
}

void TECForm::RunHostRequest(const std::function<void()>& request) {
    if (!request || hostBusy_ || destroying_) return;
    // The host runs its transfer from inside the callback and may serve
    // events meanwhile; until it returns the editor takes no further action.
    QPointer<TECForm> self(this);
    const std::function<void()> call = request;
    SetHostBusy(true);
    const int openUpdates = treeUpdateDepth_;
    try {
        call();
    } catch (const std::exception& e) {
        if (self) {
            CloseTreeUpdatesAbove(openUpdates);
            ShowException(e.what());
        }
    }
    if (self) SetHostBusy(false);
}

void TECForm::BTN_WriteEDIDClick() { RunHostRequest(write_); }

void TECForm::BTN_ReadEDIDClick() { RunHostRequest(read_); }

// ---------------------------------------------------------------- panels

void TECForm::BTN_ShowHexClick() {
    PNL_Hex->setVisible(BTN_ShowHex->isChecked());
    RefreshHex();
}

void TECForm::BTN_ShowLogClick() {
    if (BTN_ShowLog->isChecked()) {
        PNL_Bottom->setMinimumHeight(kBottomMinHeight);
        PNL_Bottom->setMaximumHeight(QWIDGETSIZE_MAX);
        LB_Log->show();
        Splitter2->handle(1)->show();
        const int total = Splitter2->height();
        Splitter2->setSizes({total - logPanelHeight_, logPanelHeight_});
    } else {
        logPanelHeight_ = PNL_Bottom->height();
        LB_Log->hide();
        Splitter2->handle(1)->hide();
        PNL_Bottom->setFixedHeight(kBottomHeight);
    }
}

void TECForm::BTN_CloseClick() { hide(); }
