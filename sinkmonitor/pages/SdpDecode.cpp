#include "sinkmonitor/pages/SdpDecode.h"

#include <algorithm>

#include "sinkmonitor/pages/CaptureLog.h"
#include "sinkmonitor/pages/CaptureTime.h"

namespace selvitra {

namespace {

// Record layout: byte 0 status (0 none, 1 a packet and no more waiting, 2 a
// packet and more waiting), 1 type, 2 ID, 3 version, 4 payload size, then
// the payload.
constexpr size_t kStatus = 0, kType = 1, kId = 2, kVersion = 3, kSize = 4, kPayload = 5;
constexpr uint8_t kStatusNone = 0, kStatusLast = 1, kStatusMore = 2;

QString Hex2(uint8_t value) { return QStringLiteral("%1").arg(value, 2, 16, QChar(u'0')).toUpper(); }

}  // namespace

QString SdpTypeText(uint8_t type) {
    const QString code = QStringLiteral("0x") + Hex2(type);
    switch (type) {
        case 0x04:
            return code + " (EXT)";
        case 0x81:
            return code + " (VSI)";
        case 0x82:
            return code + " (AVI)";
        case 0x83:
            return code + " (SPD)";
        case 0x84:
            return code + " (AIF)";
        case 0x85:
            return code + " (MPG)";
        default:
            return code;
    }
}

QStringList SdpRowCells(const sdprecord_t& r) {
    const size_t shown = std::min<size_t>(r[kSize], kSdpPayloadBytes);
    QStringList payload;
    for (size_t i = 0; i < shown; ++i) payload << Hex2(r[kPayload + i]);
    return {SdpTypeText(r[kType]), QStringLiteral("0x") + Hex2(r[kId]), QStringLiteral("0x") + Hex2(r[kVersion]),
            QString::number(r[kSize]), payload.join(u' ')};
}

std::optional<QStringList> DecodeSdpPacket(const sdprecord_t& record, SdpBurst& burst, const QTime& now) {
    const uint8_t status = record[kStatus];
    if (status == kStatusNone) {
        burst.newBurst = true;
        return std::nullopt;
    }
    if (status == kStatusLast) burst.newBurst = true;
    if (burst.newBurst) {
        burst.stamp = CaptureTimeStamp(now);
        if (status == kStatusMore) burst.newBurst = false;
    }
    return QStringList{burst.stamp} << SdpRowCells(record);
}

QString SdpLogText(const QList<QStringList>& rows) {
    QStringList columns;
    for (const char* caption : kSdpColumns) columns << caption;
    return CaptureLogText(kSdpLogTitle, columns, rows);
}

}  // namespace selvitra
