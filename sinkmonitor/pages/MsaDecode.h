#pragma once
// Decoding of the main stream attributes (MSA) the poller hands over: the
// "Unstable" and "Video valid" lamps, the rows of the MSA log and the log's
// clipboard text. A row is added only when the record changes, so a stable
// stream gives one row.
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>
#include <array>
#include <optional>

#include "sinkmonitor/pages/LampState.h"
#include "sinkmonitor/transport/dpprotocol.h"

namespace selvitra {

// Captions of the MSA log's columns, in order; the first column holds the
// row's time stamp.
inline constexpr std::array<const char*, 17> kMsaColumns = {
    "Time stamp", "CLK",    "FORMAT", "RANGE",  "COLORIMETRY", "BPC",  "MODE",   "HSTART", "HTOT",
    "HACT",       "HS POL", "HSYNC",  "VSTART", "VTOT",        "VACT", "VS POL", "VSYNC"};

constexpr const char* kTextVideoInvalid = "Video invalid";
constexpr const char* kMsaLogTitle = "Main stream attributes (MSA)";

// The record's attributes, one text per column after the time stamp.
QStringList MsaRowCells(const msarecord_t& record);

// What one hand-over changes on the page.
struct MsaView {
    bool changed = false;                 // false: the record shown last came again; nothing changes
    LampState unstable = LampState::Off;  // shMSAUnstable, when changed
    std::optional<LampState> videoValid;  // shVideoValid; empty: left as it is
    std::optional<QStringList> row;       // the new row: time stamp, then its cells; empty: no row
};

// Decodes one hand-over against the record shown last, which it updates.
// An unstable stream turns the unstable lamp red and adds no row; a record
// with status 0 (also a failed query) adds the single cell "Video invalid".
MsaView DecodeMsaStatus(const msarecord_t& record, msarecord_t& lastShown, const QTime& now);

// The MSA log as the copy button puts it on the clipboard; rows as the log
// holds them (caption, then the row's cells).
QString MsaLogText(const QList<QStringList>& rows);

}  // namespace selvitra
