#pragma once
// Decoding of the secondary data packets (SDP) the poller hands over: one
// log row per packet with its type, ID, version, size and payload, time
// stamps per burst, and the log's clipboard text.
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>
#include <array>
#include <optional>

#include "sinkmonitor/transport/dpprotocol.h"

namespace selvitra {

// Captions of the SDP log's columns, in order; the first column holds the
// row's time stamp.
inline constexpr std::array<const char*, 6> kSdpColumns = {"Time stamp", "Type", "ID", "Version", "Size", "Data"};

constexpr const char* kSdpLogTitle = "Secondary data packets (SDP)";
constexpr size_t kSdpPayloadBytes = 28;  // the payload bytes a record holds

// The "Type" cell: "0x82 (AVI)" and the like for the six known packet types,
// "0x" and the two digits alone for any other.
QString SdpTypeText(uint8_t type);

// The packet's cells after the time stamp: type, ID, version, size and the
// first `size` payload bytes (at most 28) as upper-case hexadecimal pairs
// separated by single spaces.
QStringList SdpRowCells(const sdprecord_t& record);

// Time stamp state of the SDP log: packets of one burst (status 2, 2, ...)
// share the time stamp of its first packet; a packet with status 1 ends the
// burst and always gets a time stamp of its own.
struct SdpBurst {
    bool newBurst = true;
    QString stamp;
};

// Decodes one hand-over: the new row (time stamp, then its cells), or none
// for a record with status 0 (which only starts a new burst).
std::optional<QStringList> DecodeSdpPacket(const sdprecord_t& record, SdpBurst& burst, const QTime& now);

// The SDP log as the copy button puts it on the clipboard; rows as the log
// holds them (caption, then the row's cells).
QString SdpLogText(const QList<QStringList>& rows);

}  // namespace selvitra
