#include "cts/dialogs/TTimingSelection.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QShowEvent>
#include <QVBoxLayout>

#include <functional>

#include "cts/params/MostPackedTimings.h"
#include "platform/gui/FormKit.h"

using platform::Button;
using platform::Named;
using platform::PlainLabel;

namespace {

using LaneList = MostPackedTimings::LaneList;

// A list that reports every click and double-click, on a row or where no row
// is, after it has handled the click itself (which may toggle a check box).
class TimingList : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;
    std::function<void(int row)> Clicked;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QTreeWidget::mouseReleaseEvent(event);
        Report(event);
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        QTreeWidget::mouseDoubleClickEvent(event);
        Report(event);
    }

private:
    void Report(QMouseEvent* event) {
        QTreeWidgetItem* item = itemAt(event->position().toPoint());
        if (Clicked) Clicked(item ? indexOfTopLevelItem(item) : -1);
    }
};

TimingList* MakeList(QWidget* parent, const char* name, const LaneList& lanes) {
    auto* list = Named<TimingList>(parent, name);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QStringList headers;
    for (const char* column : MostPackedTimings::ColumnCaptions()) headers << QString::fromLatin1(column);
    list->setHeaderLabels(headers);
    for (int32_t row = 0; row < lanes.rowCount; ++row) {
        const MostPackedTiming& t = MostPackedTimings::Table()[static_cast<size_t>(lanes.firstIndex + row)];
        auto* item = new QTreeWidgetItem(list);
        const char* cells[] = {t.standard, t.hRes, t.vRes, t.refreshRate, t.scan, t.blanking, t.bpp, t.packingRatio};
        for (int c = 0; c < 8; ++c) item->setText(c, QString::fromLatin1(cells[c]));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
    }
    for (int c = 0; c < list->columnCount(); ++c) list->resizeColumnToContents(c);
    list->setColumnWidth(0, list->columnWidth(0) + 8);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    int width = 2 * list->frameWidth() + 8;
    for (int c = 0; c < list->columnCount(); ++c) width += list->columnWidth(c);
    list->setMinimumWidth(width);
    list->setFixedHeight(list->header()->sizeHint().height() + list->sizeHintForRow(0) * lanes.rowCount +
                         2 * list->frameWidth() + 4);
    return list;
}

}  // namespace

TTimingSelection::TTimingSelection(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TimingSelection"));
    setWindowTitle(QStringLiteral("Most Packed timing modes selection"));
    setModal(true);

    LBL_Lane1 = PlainLabel(this, "LBL_Lane1", QString::fromLatin1(MostPackedTimings::Lists()[kLane1].label));
    LV_Lane1 = MakeList(this, "LV_Lane1", MostPackedTimings::Lists()[kLane1]);
    LBL_Lane2 = PlainLabel(this, "LBL_Lane2", QString::fromLatin1(MostPackedTimings::Lists()[kLane2].label));
    LV_Lane2 = MakeList(this, "LV_Lane2", MostPackedTimings::Lists()[kLane2]);
    LBL_Lane4 = PlainLabel(this, "LBL_Lane4", QString::fromLatin1(MostPackedTimings::Lists()[kLane4].label));
    LV_Lane4 = MakeList(this, "LV_Lane4", MostPackedTimings::Lists()[kLane4]);
    BTN_Accept = Button(this, "BTN_Accept", QStringLiteral("Accept"));
    BTN_Cancel = Button(this, "BTN_Cancel", QStringLiteral("Cancel"));

    auto* layout = new QVBoxLayout(this);
    for (auto [label, list] : {std::pair{LBL_Lane1, LV_Lane1}, {LBL_Lane2, LV_Lane2}, {LBL_Lane4, LV_Lane4}}) {
        layout->addWidget(label);
        layout->addWidget(list);
    }
    layout->addLayout(platform::ButtonRow({BTN_Accept, BTN_Cancel}));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (Lanes lanes : {kLane1, kLane2, kLane4}) {
        auto* list = static_cast<TimingList*>(ListOf(lanes));
        chosen_[lanes] = MostPackedTimings::Lists()[lanes].startIndex - MostPackedTimings::Lists()[lanes].firstIndex;
        // A click or double-click anywhere in the list, on a row or not.
        list->Clicked = [this, lanes](int row) {
            if (!busy_) SelectRow(lanes, row);
        };
        // A check box toggled or the selection moved (mouse or keyboard).
        connect(list, &QTreeWidget::itemChanged, this, [this, lanes, list](QTreeWidgetItem* item) {
            if (!busy_) SelectRow(lanes, list->indexOfTopLevelItem(item));
        });
        connect(list, &QTreeWidget::currentItemChanged, this, [this, lanes, list](QTreeWidgetItem* item) {
            if (!busy_ && item) SelectRow(lanes, list->indexOfTopLevelItem(item));
        });
    }
    connect(BTN_Accept, &QPushButton::clicked, this, [this] { BTN_AcceptClick(); });
    connect(BTN_Cancel, &QPushButton::clicked, this, [this] { BTN_CancelClick(); });
    FormShow();
}

QTreeWidget* TTimingSelection::ListOf(Lanes list) const {
    switch (list) {
        case kLane1:
            return LV_Lane1;
        case kLane2:
            return LV_Lane2;
        case kLane4:
            return LV_Lane4;
    }
    return nullptr;
}

int32_t TTimingSelection::TableIndex(Lanes list) const {
    return chosen_[list] + MostPackedTimings::Lists()[list].firstIndex;
}

bool TTimingSelection::SetTableIndex(Lanes list, int32_t tableIndex) {
    if (!MostPackedTimings::IsIndexOfList(list, tableIndex)) return false;
    chosen_[list] = tableIndex - MostPackedTimings::Lists()[list].firstIndex;
    return true;
}

bool TTimingSelection::AllChosen() const {
    for (int32_t row : chosen_)
        if (row < 0) return false;
    return true;
}

void TTimingSelection::UpdateAccept() { BTN_Accept->setEnabled(AllChosen()); }

void TTimingSelection::SelectRow(Lanes lanes, int row) {
    QTreeWidget* list = ListOf(lanes);
    if (row < 0 || row >= list->topLevelItemCount()) row = -1;
    busy_ = true;
    chosen_[lanes] = row;
    list->clearSelection();
    QTreeWidgetItem* chosenItem = row >= 0 ? list->topLevelItem(row) : nullptr;
    if (chosenItem) {
        list->setCurrentItem(chosenItem);
        chosenItem->setSelected(true);
    }
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        list->topLevelItem(i)->setCheckState(0, i == row ? Qt::Checked : Qt::Unchecked);
    busy_ = false;
    UpdateAccept();
}

void TTimingSelection::FormShow() {
    remembered_ = chosen_;
    for (Lanes lanes : {kLane1, kLane2, kLane4}) SelectRow(lanes, chosen_[lanes]);
}

void TTimingSelection::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TTimingSelection::BTN_AcceptClick() { accept(); }

void TTimingSelection::BTN_CancelClick() { reject(); }

void TTimingSelection::accept() {
    if (!AllChosen()) return;
    QDialog::accept();
}

void TTimingSelection::reject() {
    for (Lanes lanes : {kLane1, kLane2, kLane4}) SelectRow(lanes, remembered_[lanes]);
    QDialog::reject();
}

void TTimingSelection::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (BTN_Accept->isEnabled()) accept();
        return;
    }
    QDialog::keyPressEvent(event);  // Esc: reject()
}
