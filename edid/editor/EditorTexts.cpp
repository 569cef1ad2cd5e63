#include "edid/editor/EditorTexts.h"

namespace editor_text {

QStringList SplitLines(const QString& text) {
    QStringList lines;
    QString line;
    bool open = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(line);
            line.clear();
            open = false;
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) ++i;
        } else {
            line.append(c);
            open = true;
        }
    }
    if (open) lines.append(line);
    return lines;
}

std::vector<std::pair<QString, QString>> SplitNameValueRows(const QString& text) {
    std::vector<std::pair<QString, QString>> rows;
    for (const QString& line : SplitLines(text)) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) {
            rows.emplace_back(line, QString());
        } else {
            rows.emplace_back(line.left(eq), line.mid(eq + 1));
        }
    }
    return rows;
}

QString PathLabelText(const QString& path, const std::function<bool(const QString&)>& fits) {
    const QString open = QStringLiteral("Details of \"");
    const QString close = QStringLiteral("\"");
    QString shown = path;
    QString text = open + shown + close;
    while (!fits(text)) {
        const qsizetype slash = shown.indexOf(QLatin1Char('/'));
        if (slash < 0) break;
        shown = QStringLiteral("...") + shown.mid(slash + 1);
        text = open + shown + close;
    }
    return text;
}

QString Caption(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return out;
}

}  // namespace editor_text
