#include "edid/editor/ECTreeWidgetView.h"

namespace {
constexpr int kEntryRole = Qt::UserRole + 1;
}  // namespace

ECTreeNode* ECTreeWidgetView::AddNode(ECTreeNode* parent, const QString& caption, ECEntry* entry) {
    if (!tree_) return nullptr;
    QTreeWidgetItem* item = parent ? new QTreeWidgetItem(Item(parent)) : new QTreeWidgetItem(tree_.data());
    item->setText(0, caption);
    item->setData(0, kEntryRole, QVariant::fromValue(reinterpret_cast<quintptr>(entry)));
    return Node(item);
}

void ECTreeWidgetView::SetCaption(ECTreeNode* node, const QString& caption) {
    if (tree_ && node) Item(node)->setText(0, caption);
}

void ECTreeWidgetView::DeleteNode(ECTreeNode* node) {
    // Items die with their tree widget; without it there is nothing to delete.
    if (tree_ && node) delete Item(node);
}

ECEntry* ECTreeWidgetView::EntryOf(const QTreeWidgetItem* item) {
    if (!item) return nullptr;
    return reinterpret_cast<ECEntry*>(item->data(0, kEntryRole).value<quintptr>());
}
