#include "edid/editor/ECQuickSetupMenu.h"

#include "edid/editor/EditorTexts.h"

#include <QAction>

class ECQuickSetupMenu::Submenu : public ECPopupSubmenu {
public:
    explicit Submenu(QMenu* menu) : menu_(menu) {}
    void AddItem(const QString& caption, int32_t tag, std::function<void(int32_t tag)> onClick,
                 bool newColumn) override {
        if (!menu_) return;
        QAction* action = menu_->addAction(editor_text::Caption(caption));
        action->setData(tag);
        // Qt arranges a menu taller than the screen in columns by itself; the
        // mark is kept on the item.
        action->setProperty("newColumn", newColumn);
        QObject::connect(action, &QAction::triggered, action, [onClick, tag] {
            if (onClick) onClick(tag);
        });
    }

private:
    QPointer<QMenu> menu_;
};

ECQuickSetupMenu::ECQuickSetupMenu(QMenu* menu) : menu_(menu) {}

ECQuickSetupMenu::~ECQuickSetupMenu() = default;

void ECQuickSetupMenu::Clear() {
    submenus_.clear();
    if (!menu_) return;
    const QList<QAction*> actions = menu_->actions();
    for (QAction* action : actions) {
        menu_->removeAction(action);
        if (QMenu* sub = action->menu()) {
            sub->deleteLater();  // takes its own items and its menu action along
        } else {
            action->deleteLater();
        }
    }
}

ECPopupSubmenu* ECQuickSetupMenu::AddSubmenu(const QString& caption) {
    QMenu* sub = menu_ ? menu_->addMenu(editor_text::Caption(caption)) : nullptr;
    submenus_.push_back(std::make_unique<Submenu>(sub));
    return submenus_.back().get();
}
