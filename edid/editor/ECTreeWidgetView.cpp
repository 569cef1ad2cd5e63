#include "edid/editor/ECTreeWidgetView.h"

#include <QTreeWidgetItemIterator>

#include <utility>

namespace {
constexpr int kEntryRole = Qt::UserRole + 1;
}  // namespace

ECTreeNode* ECTreeWidgetView::AddNode(ECTreeNode* parent, const QString& caption, ECEntry* entry) {
    if (!tree_) return nullptr;
    QTreeWidgetItem* item = parent ? new QTreeWidgetItem(Item(parent)) : new QTreeWidgetItem(tree_.data());
    item->setText(0, caption);
    item->setData(0, kEntryRole, QVariant::fromValue(reinterpret_cast<quintptr>(entry)));
    // A child of a detached item is detached with it and comes back with it.
    if (parent && detached_.items.contains(Item(parent))) detached_.items.insert(item);
    return Node(item);
}

void ECTreeWidgetView::SetCaption(ECTreeNode* node, const QString& caption) {
    if (node && (tree_ || detached_.items.contains(Item(node)))) Item(node)->setText(0, caption);
}

void ECTreeWidgetView::DeleteNode(ECTreeNode* node) {
    if (!node) return;
    QTreeWidgetItem* item = Item(node);
    if (detached_.items.contains(item)) {
        // Out of the widget: no model or view hears of it.
        Forget(item);
        delete item;
        return;
    }
    // Items in the widget die with it; without it there is nothing to delete.
    if (tree_) delete item;
}

void ECTreeWidgetView::Forget(QTreeWidgetItem* item) {
    // A deleted current item hands over as the widget's selection model does
    // when its row goes: to the row above, else the row below, else the
    // parent. The entries delete children before their parent, so these are
    // still alive; the whole teardown thus ends where deleting the nodes one
    // by one in the widget ends.
    if (item == detached_.current) {
        QTreeWidgetItem* parent = item->parent();
        const QList<QTreeWidgetItem*>& top = detached_.topLevel;
        const int count = parent ? parent->childCount() : static_cast<int>(top.size());
        const int row = parent ? parent->indexOfChild(item) : static_cast<int>(top.indexOf(item));
        const auto at = [&](int i) { return parent ? parent->child(i) : top.at(i); };
        detached_.current = row > 0 ? at(row - 1) : row + 1 < count ? at(row + 1) : parent;
    }
    detached_.items.remove(item);
    detached_.expanded.remove(item);
    if (!item->parent()) detached_.topLevel.removeOne(item);
}

void ECTreeWidgetView::BeginUpdate() {
    if (updateDepth_++ > 0 || !tree_) return;
    detached_ = Detached{};
    detached_.current = tree_->currentItem();
    detached_.selected = detached_.current && detached_.current->isSelected();
    for (QTreeWidgetItemIterator it(tree_.data()); *it; ++it) {
        detached_.items.insert(*it);
        // The view keeps the expanded state of collapsed parents' children too.
        if ((*it)->isExpanded()) detached_.expanded.insert(*it);
    }
    // One removal for the whole tree.
    detached_.topLevel = tree_->invisibleRootItem()->takeChildren();
}

void ECTreeWidgetView::EndUpdate() {
    if (updateDepth_ == 0 || --updateDepth_ > 0) return;
    Detached detached = std::exchange(detached_, Detached{});
    if (!tree_) {
        // The widget went during the bracket: the detached items belong to
        // no widget, and their entries will not delete them any more.
        qDeleteAll(detached.topLevel);
        return;
    }
    // Before any top-level item added during the bracket, as they were.
    tree_->insertTopLevelItems(0, detached.topLevel);
    for (QTreeWidgetItem* item : std::as_const(detached.expanded)) item->setExpanded(true);
    if (detached.current) {
        tree_->setCurrentItem(detached.current, 0,
                              detached.selected ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::NoUpdate);
    }
}

ECEntry* ECTreeWidgetView::EntryOf(const QTreeWidgetItem* item) {
    if (!item) return nullptr;
    return reinterpret_cast<ECEntry*>(item->data(0, kEntryRole).value<quintptr>());
}
