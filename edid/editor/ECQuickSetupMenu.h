#pragma once
// The Quick Config popup (QuickSetup) as the codecs fill it: a QMenu that
// keeps one tag and holds submenus of preset items.

#include "edid/core/ECViews.h"

#include <QMenu>
#include <QPointer>

#include <memory>
#include <vector>

class ECQuickSetupMenu : public ECPopupMenu {
public:
    explicit ECQuickSetupMenu(QMenu* menu = nullptr);
    ~ECQuickSetupMenu() override;
    ECQuickSetupMenu(const ECQuickSetupMenu&) = delete;
    ECQuickSetupMenu& operator=(const ECQuickSetupMenu&) = delete;
    void SetMenu(QMenu* menu) { menu_ = menu; }

    const void* Tag() const override { return tag_; }
    void SetTag(const void* tag) override { tag_ = tag; }
    // Removes every item. The items are deleted later, from the event loop:
    // Clear may run from inside an item's own click handler.
    void Clear() override;
    ECPopupSubmenu* AddSubmenu(const QString& caption) override;

    QMenu* Menu() const { return menu_; }

private:
    class Submenu;
    QPointer<QMenu> menu_;
    const void* tag_ = nullptr;
    std::vector<std::unique_ptr<Submenu>> submenus_;
};
