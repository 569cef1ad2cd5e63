#pragma once
// Showing Vardeko's dialogs in tests: open them without blocking, close them
// the ways an operator can, and find their controls.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QDialog>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <string>

#include "support/Probe.h"

namespace dialog_test {

using test_support::Probe;

// The ways a dialog with a Cancel button is closed without accepting.
enum class CloseWay { CancelButton, Escape, WindowFrame };

inline std::string Name(CloseWay way) {
    switch (way) {
        case CloseWay::CancelButton:
            return "CancelButton";
        case CloseWay::Escape:
            return "Escape";
        case CloseWay::WindowFrame:
            return "WindowFrame";
    }
    return "?";
}

// Shows the dialog window-modally without blocking, as exec() would show it.
inline void Open(QDialog& dialog) {
    dialog.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
}

// Closes an open dialog without accepting. The key goes to the control with
// the focus (or the dialog), as a key press of the operator does.
inline void CloseWithout(QDialog& dialog, CloseWay way, const char* cancelButton) {
    switch (way) {
        case CloseWay::CancelButton:
            QTest::mouseClick(Probe<QPushButton>(&dialog, cancelButton), Qt::LeftButton);
            break;
        case CloseWay::Escape: {
            QWidget* target = dialog.focusWidget() ? dialog.focusWidget() : &dialog;
            QTest::keyClick(target, Qt::Key_Escape);
            break;
        }
        case CloseWay::WindowFrame:
            dialog.close();
            break;
    }
}

// Clicks a check box or radio button on its indicator (a box's centre may
// lie beyond its caption, where a click does nothing).
inline void ClickIndicator(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(button->height() / 2, button->height() / 2));
}

// Clicks the check box of a list row (column 0) with the mouse.
inline void ClickCheckBox(QTreeWidget* list, int row) {
    const QModelIndex index = list->model()->index(row, 0);
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.rect = list->visualRect(index);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box = list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
}

// Clicks a list row away from its check box (on its last column).
inline void ClickRow(QTreeWidget* list, int row) {
    const QRect cell = list->visualRect(list->model()->index(row, list->columnCount() - 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
}

// The rows of a list that show a check mark.
inline std::vector<int> CheckedRows(const QTreeWidget* list) {
    std::vector<int> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->checkState(0) == Qt::Checked) rows.push_back(i);
    return rows;
}

}  // namespace dialog_test
