#include "sinkmonitor/pages/CaptureLog.h"

namespace selvitra {

namespace {
QString Line(const QStringList& cells) {
    QString line;
    for (const QString& cell : cells) line += cell + u';';
    return line;
}
}  // namespace

QString CaptureLogText(const QString& title, const QStringList& columns, const QList<QStringList>& rows) {
    QString text = QStringLiteral("Selvitra\n") + title + QStringLiteral("\n\n") + Line(columns);
    for (const QStringList& row : rows) text += u'\n' + Line(row);
    return text;
}

}  // namespace selvitra
