#include "sinkmonitor/pages/MsaDecode.h"

#include "sinkmonitor/pages/CaptureLog.h"
#include "sinkmonitor/pages/CaptureTime.h"

namespace selvitra {

namespace {

// Record layout: byte 0 status, 1 MISC0, 2 MISC1, then 16-bit little-endian
// fields; the sync widths carry the polarity in bit 15 (1 negative).
constexpr size_t kStatus = 0, kMisc0 = 1, kMisc1 = 2;
constexpr size_t kHTotal = 3, kHStart = 5, kHActive = 7, kHSync = 9;
constexpr size_t kVTotal = 11, kVStart = 13, kVActive = 15, kVSync = 17;
constexpr uint8_t kStatusVideoValid = 0x01, kStatusUnstable = 0x02;

unsigned Word(const msarecord_t& r, size_t at) { return r[at] | (r[at + 1] << 8); }
QString Number(unsigned n) { return QString::number(n); }
QString Polarity(const msarecord_t& r, size_t syncAt) { return (r[syncAt + 1] & 0x80) ? "Neg" : "Pos"; }
QString SyncWidth(const msarecord_t& r, size_t syncAt) { return Number(Word(r, syncAt) & 0x7FFF); }

// MISC0 bits 2-1: the pixel encoding.
QString Format(uint8_t misc0) {
    switch ((misc0 >> 1) & 0x03) {
        case 0:
            return "RGB";
        case 1:
            return "YCbCr422";
        default:
            return "YCbCr444";
    }
}

// MISC0 bits 7-5: the bit depth per colour component; codes 5 to 7 are
// reserved and show 0.
unsigned BitsPerComponent(uint8_t misc0) {
    static constexpr unsigned kBpc[8] = {6, 8, 10, 12, 16, 0, 0, 0};
    return kBpc[misc0 >> 5];
}

}  // namespace

QStringList MsaRowCells(const msarecord_t& r) {
    const uint8_t misc0 = r[kMisc0];
    return {
        (misc0 & 0x01) ? "Sync" : "Async",
        Format(misc0),
        (misc0 & 0x08) ? "CEA" : "VESA",
        (misc0 & 0x10) ? "ITU-R BT709-5" : "ITU-R BT601-5",
        Number(BitsPerComponent(misc0)),
        (r[kMisc1] & 0x01) ? "Int" : "Prog",
        Number(Word(r, kHStart)),
        Number(Word(r, kHTotal)),
        Number(Word(r, kHActive)),
        Polarity(r, kHSync),
        SyncWidth(r, kHSync),
        Number(Word(r, kVStart)),
        Number(Word(r, kVTotal)),
        Number(Word(r, kVActive)),
        Polarity(r, kVSync),
        SyncWidth(r, kVSync),
    };
}

MsaView DecodeMsaStatus(const msarecord_t& record, msarecord_t& lastShown, const QTime& now) {
    MsaView view;
    if (record == lastShown) return view;
    lastShown = record;
    view.changed = true;
    const uint8_t status = record[kStatus];
    view.unstable = (status & kStatusUnstable) ? LampState::Fault : LampState::Off;
    if (status & kStatusUnstable) return view;
    view.videoValid = (status & kStatusVideoValid) ? LampState::On : LampState::Off;
    QStringList row{CaptureTimeStamp(now)};
    if (status == 0) row << kTextVideoInvalid;
    else row << MsaRowCells(record);
    view.row = row;
    return view;
}

QString MsaLogText(const QList<QStringList>& rows) {
    QStringList columns;
    for (const char* caption : kMsaColumns) columns << caption;
    return CaptureLogText(kMsaLogTitle, columns, rows);
}

}  // namespace selvitra
