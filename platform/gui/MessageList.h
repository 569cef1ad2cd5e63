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
    // Every line, each ended by a line break.
    QString AllLines() const;
    // Puts AllLines() on the clipboard.
    void CopyAllLines() const;
};

}  // namespace platform
