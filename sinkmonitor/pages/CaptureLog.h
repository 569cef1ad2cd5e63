#pragma once
// The clipboard text of a capture log (MSA or SDP): the program's name, the
// log's title and an empty line, then a header of the column captions and one
// line per row, every caption and cell followed by ";". Lines are separated
// by a line feed alone; the text does not end with a line break.
#include <QList>
#include <QString>
#include <QStringList>

namespace selvitra {

// rows: each row's caption (its time stamp) followed by the cells it holds.
QString CaptureLogText(const QString& title, const QStringList& columns, const QList<QStringList>& rows);

}  // namespace selvitra
