#pragma once
// The time stamp of a capture row: the local time as hours, minutes and
// seconds, two digits each, joined by colons ("14:05:09").
#include <QString>
#include <QTime>

namespace selvitra {

inline QString CaptureTimeStamp(const QTime& time) { return time.toString(QStringLiteral("hh:mm:ss")); }

}  // namespace selvitra
