#include "platform/gui/MessageList.h"

#include <QClipboard>
#include <QGuiApplication>

namespace platform {

MessageList::MessageList(QWidget* parent) : QListWidget(parent) {
    // One line per item: the view need not measure every line.
    setUniformItemSizes(true);
}

void MessageList::AddLine(const QString& line) { addItem(line); }

void MessageList::ShowLine(const QString& line) {
    addItem(line);
    scrollToBottom();
}

void MessageList::ShowLineNow(const QString& line) {
    ShowLine(line);
    PaintNow();
}

void MessageList::PaintNow() { viewport()->repaint(); }

QString MessageList::AllLines() const {
    QString text;
    for (int i = 0; i < count(); ++i) text += item(i)->text() + u'\n';
    return text;
}

void MessageList::CopyAllLines() const { QGuiApplication::clipboard()->setText(AllLines()); }

}  // namespace platform
