#pragma once
// MessageList: a list of message lines, one plain-text item per line, as the
// windows keep their logs. The lines can be copied to the clipboard as one text.

#include <QListWidget>
#include <QString>

namespace platform {

class MessageList : public QListWidget {
public:
    explicit MessageList(QWidget* parent = nullptr);

    // Appends the line as it is; the list shows it as plain text.
    void AddLine(const QString& line);
    // Appends the line and scrolls it into view. It is painted when the
    // event loop turns, once for every line added meanwhile: for a line that
    // arrives in a turn of its own (a flood of them costs one paint a turn,
    // not one each).
    void ShowLine(const QString& line);
    // ShowLine, painted at once: for a line added inside a handler that
    // blocks afterwards (the event loop paints nothing until it returns).
    void ShowLineNow(const QString& line);
    // Paints the visible lines now, changed ones too (a repaint of the list's
    // window alone leaves a changed line unpainted until the event loop turns).
    void PaintNow();
    // Every line, each ended by a line break.
    QString AllLines() const;
    // Puts AllLines() on the clipboard.
    void CopyAllLines() const;
};

}  // namespace platform
