#include "cts/dialogs/TColorimetryEdit.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "link/E_GenericError.h"
#include "platform/gui/FormKit.h"

using platform::Button;
using platform::Named;

namespace {

struct ColorFormat {
    const char* format;
    const char* bitDepth;
    const char* dynamicRange;
    const char* colorCoeff;
    uint8_t id;  // MSA MISC0
    bool mandatory;
};

constexpr std::array<ColorFormat, TColorimetryEdit::kRowCount> kFormats = {{
    {"RGB", "6", "VESA", "-", 0x00, true},
    {"RGB", "8", "VESA", "-", 0x20, true},
    {"RGB", "10", "VESA", "-", 0x40, false},
    {"RGB", "8", "CEA", "-", 0x28, false},
    {"RGB", "10", "CEA", "-", 0x48, false},
    {"YCbCr422", "8", "CEA", "ITU.601", 0x2A, false},
    {"YCbCr422", "10", "CEA", "ITU.601", 0x4A, false},
    {"YCbCr422", "8", "CEA", "ITU.709", 0x3A, false},
    {"YCbCr422", "10", "CEA", "ITU.709", 0x5A, false},
    {"YCbCr444", "8", "CEA", "ITU.601", 0x2C, false},
    {"YCbCr444", "10", "CEA", "ITU.601", 0x4C, false},
    {"YCbCr444", "8", "CEA", "ITU.709", 0x3C, false},
    {"YCbCr444", "10", "CEA", "ITU.709", 0x5C, false},
}};

TColorimetryEdit::RowFlags Defaults() {
    TColorimetryEdit::RowFlags flags{};
    for (size_t i = 0; i < kFormats.size(); ++i) flags[i] = kFormats[i].mandatory;
    return flags;
}

}  // namespace

TColorimetryEdit::TColorimetryEdit(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ColorimetryEdit"));
    setWindowTitle(QStringLiteral("Colorimetry"));
    setModal(true);

    LV_Cols = Named<QTreeWidget>(this, "LV_Cols");
    LV_Cols->setRootIsDecorated(false);
    LV_Cols->setSelectionBehavior(QAbstractItemView::SelectRows);
    LV_Cols->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LV_Cols->setHeaderLabels({QStringLiteral("Format"), QStringLiteral("Bit Depth"), QStringLiteral("Dynamic Range"),
                              QStringLiteral("Color Coeff.")});
    for (const ColorFormat& f : kFormats) {
        auto* item =
            new QTreeWidgetItem(LV_Cols, {QString::fromLatin1(f.format), QString::fromLatin1(f.bitDepth),
                                          QString::fromLatin1(f.dynamicRange), QString::fromLatin1(f.colorCoeff)});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
    }
    for (int c = 0; c < LV_Cols->columnCount(); ++c) LV_Cols->resizeColumnToContents(c);
    LV_Cols->header()->setStretchLastSection(true);
    LV_Cols->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    LV_Cols->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int rowHeight = LV_Cols->sizeHintForRow(0);
    LV_Cols->setMinimumHeight(LV_Cols->header()->sizeHint().height() + rowHeight * kRowCount +
                              2 * LV_Cols->frameWidth() + 4);
    int width = 2 * LV_Cols->frameWidth() + 16;
    for (int c = 0; c < LV_Cols->columnCount(); ++c) width += LV_Cols->columnWidth(c);
    LV_Cols->setMinimumWidth(width);

    BTN_Accept = Button(this, "BTN_Accept", QStringLiteral("Accept"));
    BTN_Cancel = Button(this, "BTN_Cancel", QStringLiteral("Cancel"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LV_Cols, 1);
    layout->addLayout(platform::ButtonRow({BTN_Accept, BTN_Cancel}));

    // However a mandatory row is unchecked (mouse or keyboard), it is checked again.
    connect(LV_Cols, &QTreeWidget::itemChanged, this, [this] { LV_ColsClick(); });
    connect(LV_Cols, &QTreeWidget::itemClicked, this, [this] { LV_ColsClick(); });
    connect(LV_Cols, &QTreeWidget::itemDoubleClicked, this, [this] { LV_ColsClick(); });
    connect(BTN_Accept, &QPushButton::clicked, this, [this] { BTN_AcceptClick(); });
    connect(BTN_Cancel, &QPushButton::clicked, this, [this] { BTN_CancelClick(); });

    ResetFormats();
}

uint8_t TColorimetryEdit::FormatIdOfRow(int row) { return kFormats.at(static_cast<size_t>(row)).id; }

bool TColorimetryEdit::IsMandatoryRow(int row) { return kFormats.at(static_cast<size_t>(row)).mandatory; }

void TColorimetryEdit::ShowChecks(const RowFlags& checks) {
    for (int i = 0; i < kRowCount; ++i)
        LV_Cols->topLevelItem(i)->setCheckState(0, checks[static_cast<size_t>(i)] ? Qt::Checked : Qt::Unchecked);
}

TColorimetryEdit::RowFlags TColorimetryEdit::CheckMarks() const {
    RowFlags checks{};
    for (int i = 0; i < kRowCount; ++i)
        checks[static_cast<size_t>(i)] = LV_Cols->topLevelItem(i)->checkState(0) == Qt::Checked;
    return checks;
}

int TColorimetryEdit::GetFormatCount() const {
    int count = 0;
    for (bool accepted : accepted_) count += accepted ? 1 : 0;
    return count;
}

uint8_t TColorimetryEdit::GetFormatID(int n) const {
    if (n >= 0) {
        for (size_t i = 0; i < accepted_.size(); ++i) {
            if (!accepted_[i]) continue;
            if (n-- == 0) return kFormats[i].id;
        }
    }
    throw E_GenericError("GetFormatID() Out of bounds");
}

void TColorimetryEdit::ResetFormats() {
    accepted_ = Defaults();
    ShowChecks(accepted_);
}

void TColorimetryEdit::CheckFormatID(int id) {
    for (int i = 0; i < kRowCount; ++i) {
        if (kFormats[static_cast<size_t>(i)].id != id) continue;
        accepted_[static_cast<size_t>(i)] = true;
        LV_Cols->topLevelItem(i)->setCheckState(0, Qt::Checked);
    }
}

void TColorimetryEdit::LV_ColsClick() {
    for (int i = 0; i < kRowCount; ++i) {
        QTreeWidgetItem* item = LV_Cols->topLevelItem(i);
        // Items are being added while the list is filled.
        if (item && IsMandatoryRow(i) && item->checkState(0) != Qt::Checked) item->setCheckState(0, Qt::Checked);
    }
}

void TColorimetryEdit::BTN_AcceptClick() {
    LV_ColsClick();
    accepted_ = CheckMarks();
    accept();
}

void TColorimetryEdit::BTN_CancelClick() { reject(); }

void TColorimetryEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        BTN_AcceptClick();
        return;
    }
    QDialog::keyPressEvent(event);  // Esc: reject()
}

void TColorimetryEdit::reject() {
    ShowChecks(accepted_);
    QDialog::reject();
}
