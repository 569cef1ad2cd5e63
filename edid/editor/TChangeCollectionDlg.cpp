#include "edid/editor/TChangeCollectionDlg.h"

#include "edid/core/ECCollection.h"
#include "edid/core/ECFormat.h"
#include "edid/editor/BlockTemplates.h"

#include "platform/MessageBox.h"
#include "platform/gui/FormKit.h"
#include "platform/gui/Modal.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <exception>

using platform::Button;
using platform::Named;

namespace {

constexpr int kMaxBlocks = ECCollection::kMaxBlocks;
// The library's own text for the block limit of an E-EDID.
const char kTooManyBlocks[] = "Too many blocks - E-EDID Can contain a maximum of 255 blocks!";
// E-EDID positions that a block map extension takes.
constexpr int kFirstMapIndex = 1;
constexpr int kSecondMapIndex = 128;

struct BlockType {
    const char* name;
    const block_templates::Block& (*bytes)();
};
const BlockType kBlockTypes[] = {
    {"Base EDID", &block_templates::BaseEdid},
    {"CEA 861-E", &block_templates::Cea861},
};

}  // namespace

TChangeCollectionDlg::TChangeCollectionDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ChangeCollectionDlg"));
    setWindowTitle(QStringLiteral("Change block collection"));
    setModal(true);

    auto* heading = platform::PlainLabel(this, "LB_Heading", QStringLiteral("Current Collection"));
    LBOX_Blocks = Named<QListWidget>(this, "LBOX_Blocks");
    LBOX_Blocks->setSelectionMode(QAbstractItemView::ExtendedSelection);

    BTN_MoveDown = Button(this, "BTN_MoveDown", QStringLiteral("Down"));
    BTN_MoveUp = Button(this, "BTN_MoveUp", QStringLiteral("Up"));
    BTN_Delete = Button(this, "BTN_Delete", QStringLiteral("Del"));
    CB_BlockType = Named<QComboBox>(this, "CB_BlockType");
    for (const BlockType& type : kBlockTypes) CB_BlockType->addItem(QString::fromLatin1(type.name));
    CB_BlockType->setCurrentIndex(-1);
    BTN_Add = Button(this, "BTN_Add", QStringLiteral("Add"));
    CB_UseBME = Named<QCheckBox>(this, "CB_UseBME", QStringLiteral("Use VESA Block Map Extension(s)"));
    BTN_Cancel = Button(this, "BTN_Cancel", QStringLiteral("Cancel"));
    BTN_Apply = Button(this, "BTN_Apply", QStringLiteral("Apply"));
    for (QPushButton* b : {BTN_MoveDown, BTN_MoveUp, BTN_Delete, BTN_Add}) b->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(LBOX_Blocks, 1);
    auto* moveRow = new QHBoxLayout;
    moveRow->addWidget(BTN_MoveDown);
    moveRow->addWidget(BTN_MoveUp);
    moveRow->addWidget(BTN_Delete);
    layout->addLayout(moveRow);
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(CB_BlockType, 1);
    addRow->addWidget(BTN_Add);
    layout->addLayout(addRow);
    layout->addWidget(CB_UseBME);
    layout->addLayout(platform::ButtonRow({BTN_Cancel, BTN_Apply}));

    resize(258, 289);
    // The window, frame included, is never smaller than 266 x 290.
    setMinimumSize(258, 252);

    connect(CB_BlockType, &QComboBox::currentIndexChanged, this, [this] { CB_BlockTypeSelect(); });
    connect(BTN_Add, &QPushButton::clicked, this, [this] { BTN_AddClick(); });
    connect(BTN_Delete, &QPushButton::clicked, this, [this] { BTN_DeleteClick(); });
    connect(LBOX_Blocks, &QListWidget::itemSelectionChanged, this, [this] { LBOX_BlocksClick(); });
    connect(BTN_MoveDown, &QPushButton::clicked, this, [this] { BTN_MoveDownClick(); });
    connect(BTN_MoveUp, &QPushButton::clicked, this, [this] { BTN_MoveUpClick(); });
    connect(BTN_Apply, &QPushButton::clicked, this, [this] { BTN_ApplyClick(); });
    connect(BTN_Cancel, &QPushButton::clicked, this, [this] { BTN_CancelClick(); });
}

void TChangeCollectionDlg::Prepare(ECCollection* collection) {
    collection_ = collection;
    addCounter_ = 0;
    CB_UseBME->setChecked(false);
    items_.clear();
    if (collection_) {
        for (int32_t i = 0; i < collection_->Count(); ++i) {
            ECRootParser* block = collection_->GetBlock(i);
            BlockDescriptor item;
            if (!block || block->GetBytes(item.Bytes.data(), static_cast<int32_t>(item.Bytes.size())) !=
                              static_cast<int32_t>(item.Bytes.size())) {
                continue;
            }
            if (item.Bytes[0] == 0xF0) {
                // Block maps are not listed; Apply inserts them again where they belong.
                CB_UseBME->setChecked(true);
                continue;
            }
            item.Name = ECWiden(block->GetBlockName());
            items_.push_back(item);
        }
    }
    CB_BlockType->setCurrentIndex(-1);
    FillList();
}

int TChangeCollectionDlg::Execute(ECCollection* collection) {
    Prepare(collection);
    return platform::ExecModal(*this);
}

void TChangeCollectionDlg::FillList() {
    LBOX_Blocks->clear();
    for (const BlockDescriptor& item : items_) LBOX_Blocks->addItem(item.Name);
    LBOX_BlocksClick();
}

void TChangeCollectionDlg::CB_BlockTypeSelect() { BTN_Add->setEnabled(CB_BlockType->currentIndex() >= 0); }

void TChangeCollectionDlg::BTN_AddClick() {
    const int type = CB_BlockType->currentIndex();
    if (type < 0 || type >= static_cast<int>(std::size(kBlockTypes))) return;
    if (static_cast<int>(items_.size()) >= kMaxBlocks) {
        ShowLimitError();
        return;
    }
    BlockDescriptor item;
    item.Name = ECFormatW("New [%d] %s", addCounter_++, kBlockTypes[type].name);
    item.Bytes = kBlockTypes[type].bytes();
    items_.push_back(item);
    CB_BlockType->setCurrentIndex(-1);
    FillList();
}

void TChangeCollectionDlg::BTN_DeleteClick() {
    std::vector<int> rows;
    for (int i = 0; i < LBOX_Blocks->count(); ++i) {
        if (LBOX_Blocks->item(i)->isSelected()) rows.push_back(i);
    }
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (*it < static_cast<int>(items_.size())) items_.erase(items_.begin() + *it);
    }
    FillList();
}

void TChangeCollectionDlg::LBOX_BlocksClick() {
    const int selected = static_cast<int>(LBOX_Blocks->selectedItems().size());
    const int count = LBOX_Blocks->count();
    BTN_Delete->setEnabled(selected > 0);
    if (selected == 1 && count > 1) {
        const int row = LBOX_Blocks->row(LBOX_Blocks->selectedItems().front());
        BTN_MoveDown->setEnabled(row < count - 1);
        BTN_MoveUp->setEnabled(row > 0);
    } else {
        BTN_MoveDown->setEnabled(false);
        BTN_MoveUp->setEnabled(false);
    }
}

void TChangeCollectionDlg::MoveCurrent(int step) {
    const int row = LBOX_Blocks->currentRow();
    const int to = row + step;
    if (row < 0 || row >= static_cast<int>(items_.size()) || to < 0 || to >= static_cast<int>(items_.size())) return;
    std::swap(items_[static_cast<size_t>(row)], items_[static_cast<size_t>(to)]);
    FillList();
    LBOX_Blocks->setCurrentRow(to);  // selects the moved item only
    LBOX_BlocksClick();
}

void TChangeCollectionDlg::BTN_MoveDownClick() { MoveCurrent(+1); }
void TChangeCollectionDlg::BTN_MoveUpClick() { MoveCurrent(-1); }

int TChangeCollectionDlg::BlocksToBuild() const {
    const int n = static_cast<int>(items_.size());
    int maps = 0;
    if (CB_UseBME->isChecked()) {
        // A map after the first block when more follow, and another after the
        // block that becomes block 127 when more follow that one.
        if (n > kFirstMapIndex) ++maps;
        if (n + maps > kSecondMapIndex) ++maps;
    }
    return n + maps;
}

void TChangeCollectionDlg::ShowLimitError() {
    platform::ShowMessageBox(kTooManyBlocks, windowTitle().toStdString(), platform::MsgIcon::Error,
                             platform::MsgButtons::Ok, this);
}

void TChangeCollectionDlg::ApplyBlocks() {
    if (!collection_) return;
    const bool useMaps = CB_UseBME->isChecked();
    collection_->Clear();
    const size_t n = items_.size();
    for (size_t i = 0; i < n; ++i) {
        collection_->AddBlock(items_[i].Bytes.data(), static_cast<int32_t>(items_[i].Bytes.size()));
        // Block maps go where they become E-EDID blocks 1 and 128, each only
        // when at least one more listed block follows it.
        const bool more = i + 1 < n;
        const int32_t count = collection_->Count();
        if (useMaps && more && (count == kFirstMapIndex || count == kSecondMapIndex)) {
            collection_->AddBlock(block_templates::BlockMap().data(),
                                  static_cast<int32_t>(block_templates::BlockMap().size()));
        }
    }
    FreeList();
}

void TChangeCollectionDlg::BTN_ApplyClick() {
    if (BlocksToBuild() > kMaxBlocks) {
        ShowLimitError();
        return;
    }
    if (BeforeApply) BeforeApply();
    struct After {
        TChangeCollectionDlg* dlg;
        ~After() {
            if (dlg->AfterApply) dlg->AfterApply();
        }
    } after{this};
    try {
        ApplyBlocks();
    } catch (const std::exception& e) {
        // A structural fault of a codec: shown like every library exception.
        platform::ShowMessageBox(e.what(), windowTitle().toStdString(), platform::MsgIcon::Error,
                                 platform::MsgButtons::Ok, this);
    }
    accept();
}

void TChangeCollectionDlg::FreeList() {
    items_.clear();
    LBOX_Blocks->clear();
}

void TChangeCollectionDlg::BTN_CancelClick() {
    FreeList();
    QDialog::reject();
}

void TChangeCollectionDlg::reject() {
    // Escape and the window's close button end like Cancel.
    FreeList();
    QDialog::reject();
}

void TChangeCollectionDlg::closeEvent(QCloseEvent* event) {
    FreeList();
    event->accept();
    QDialog::closeEvent(event);
}
