#pragma once
// The entry tree shown in a QTreeWidget: each node is a QTreeWidgetItem
// whose data points back to its entry. The adapter outlives nothing it
// points to: once the tree widget is gone it adds and removes no items.
//
// BeginUpdate / EndUpdate bracket the teardown of many nodes (the blocks of
// a collection). Removing items from a QTreeWidget one by one notifies its
// model and view each time, and each notification walks every expanded and
// selected index: with a large expanded tree the teardown becomes quadratic.
// So the bracket takes all top-level items out of the widget in one step;
// inside it the entries delete their items without the view noticing (they
// still own them, as ever), and EndUpdate puts the items that survived back
// in one step, with their expanded state and the current item (a deleted
// current item hands over as it does when the widget deletes it).

#include "edid/core/ECViews.h"

#include <QList>
#include <QPointer>
#include <QSet>
#include <QTreeWidget>

class ECTreeWidgetView : public ECTreeView {
public:
    explicit ECTreeWidgetView(QTreeWidget* tree) : tree_(tree) {}

    ECTreeNode* AddNode(ECTreeNode* parent, const QString& caption, ECEntry* entry) override;
    void SetCaption(ECTreeNode* node, const QString& caption) override;
    void DeleteNode(ECTreeNode* node) override;
    void BeginUpdate() override;
    void EndUpdate() override;

    static QTreeWidgetItem* Item(ECTreeNode* node) { return reinterpret_cast<QTreeWidgetItem*>(node); }
    static ECTreeNode* Node(QTreeWidgetItem* item) { return reinterpret_cast<ECTreeNode*>(item); }
    // The entry a node shows (null for none).
    static ECEntry* EntryOf(const QTreeWidgetItem* item);

private:
    // The items out of the widget during the bracket, and what the widget
    // showed of them.
    struct Detached {
        QSet<QTreeWidgetItem*> items;      // every detached item still alive
        QList<QTreeWidgetItem*> topLevel;  // the former top-level items still alive, in order
        QSet<QTreeWidgetItem*> expanded;   // alive items that were expanded
        QTreeWidgetItem* current = nullptr;
        bool selected = false;
    };

    void Forget(QTreeWidgetItem* item);

    QPointer<QTreeWidget> tree_;
    int updateDepth_ = 0;
    Detached detached_;
};
