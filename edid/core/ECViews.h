#pragma once
// The few things the entry model and the codecs need of the editor's widgets,
// as abstract interfaces. The editor window implements them with Qt widgets;
// headless instances have none (null pointers), and tests may supply fakes.
// Codecs never touch a widget: they only pass these pointers on.

#include <QString>

#include <cstdint>
#include <functional>

class ECEntry;

// Opaque node of the editor's tree view.
class ECTreeNode;

// The tree view that shows entries.
class ECTreeView {
public:
    virtual ~ECTreeView() = default;
    // A new node below parent (none: a top-level node), its data pointing to entry.
    virtual ECTreeNode* AddNode(ECTreeNode* parent, const QString& caption, ECEntry* entry) = 0;
    virtual void SetCaption(ECTreeNode* node, const QString& caption) = 0;
    // Removes the node (and any nodes still below it) from the view.
    virtual void DeleteNode(ECTreeNode* node) = 0;
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}
};

// A submenu of the Quick Config popup.
class ECPopupSubmenu {
public:
    virtual ~ECPopupSubmenu() = default;
    // An item with caption and integer tag; onClick receives the tag.
    // newColumn marks the item as the start of a new menu column.
    virtual void AddItem(const QString& caption, int32_t tag, std::function<void(int32_t tag)> onClick,
                         bool newColumn) = 0;
};

// The Quick Config popup menu: can be cleared, keeps one tag, holds submenus.
class ECPopupMenu {
public:
    virtual ~ECPopupMenu() = default;
    virtual const void* Tag() const = 0;
    virtual void SetTag(const void* tag) = 0;
    virtual void Clear() = 0;
    virtual ECPopupSubmenu* AddSubmenu(const QString& caption) = 0;
};

// The editor's log list (one line per row).
class ECLogList {
public:
    virtual ~ECLogList() = default;
    virtual int Count() const = 0;
    virtual void AppendLine(const QString& line) = 0;
    virtual void DeleteFirstLine() = 0;
    virtual void SelectLastLine() = 0;
};

class ECCollection;

// The editor's collection dialog.
class ECCollectionDialog {
public:
    virtual ~ECCollectionDialog() = default;
    virtual void Open(ECCollection* collection) = 0;
};
