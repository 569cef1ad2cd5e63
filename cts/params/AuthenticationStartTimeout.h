#pragma once
// The HDCP pages' authentication start time-out: the edit
// `ED_AuthenticationStartTO` shows seconds with one decimal, its up-down
// `UD_AuthenticationStartTO` holds tenths of a second (10 to 640).
//
// The text is read in decimal, without binary floating point, so "32.3" is
// 323 tenths and 32300 ms, never 32299. That one reading sets the up-down
// position, and through it the parameter block's bytes 15-16, the extra
// time-out and the run header's "Authentication start timeout (ms): %d".
#include <QString>
#include <cstdint>
#include <optional>

class AuthenticationStartTimeout {
public:
    static constexpr int32_t kMinTenths = 10;
    static constexpr int32_t kMaxTenths = 640;
    static constexpr int32_t kStartTenths = 100;  // "10.0"

    // Leading blanks, digits, then optionally "." and digits: the whole part
    // x 10 + the first decimal digit; later digits are cut. "." whatever the
    // locale. No digit there (an empty text, "abc", "-1"): nullopt. Huge
    // values saturate.
    static std::optional<int32_t> ReadTenths(const QString& text);
    // The up-down position once the edit's text is `text`: the reading kept
    // in 10..640, or `position` unchanged when the text has no digits.
    static int32_t PositionForText(const QString& text, int32_t position);
    // Whether the up-down takes a new position (it refuses one outside 10..640).
    static bool AcceptsPosition(int32_t tenths) { return tenths >= kMinTenths && tenths <= kMaxTenths; }
    // The edit's text for a position: seconds as "%.1f" with ".", e.g. "32.3".
    static QString Text(int32_t tenths);
    static int32_t Milliseconds(int32_t tenths) { return tenths * 100; }
};
