#pragma once
// The entry tree shown in a QTreeWidget: each node is a QTreeWidgetItem
// whose data points back to its entry. The adapter outlives nothing it
// points to: once the tree widget is gone it adds and removes no items.

#include "edid/core/ECViews.h"

#include <QPointer>
#include <QTreeWidget>

class ECTreeWidgetView : public ECTreeView {
public:
    explicit ECTreeWidgetView(QTreeWidget* tree) : tree_(tree) {}

    ECTreeNode* AddNode(ECTreeNode* parent, const QString& caption, ECEntry* entry) override;
    void SetCaption(ECTreeNode* node, const QString& caption) override;
    void DeleteNode(ECTreeNode* node) override;

    static QTreeWidgetItem* Item(ECTreeNode* node) { return reinterpret_cast<QTreeWidgetItem*>(node); }
    static ECTreeNode* Node(QTreeWidgetItem* item) { return reinterpret_cast<ECTreeNode*>(item); }
    // The entry a node shows (null for none).
    static ECEntry* EntryOf(const QTreeWidgetItem* item);

private:
    QPointer<QTreeWidget> tree_;
};
