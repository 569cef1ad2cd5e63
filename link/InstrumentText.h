#pragma once
// The one formatter for texts the instrument sends as printf-style formats
// with a single 16-bit argument (print packets, debug texts). The text is
// never handed to printf as it stands: one integer conversion is served, and
// everything else is printed literally.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace instrument_text {

constexpr size_t kPrintPacketMax = 255;  // print packets of the test link
constexpr size_t kDebugTextMax = 199;    // debug texts of the sink monitor

// Formats `format` with `arg`. The format ends at its first zero byte. The
// first conversion d i u x X o c (flags - + space # 0, width and precision up
// to 255, length h hh l ll) takes the argument, zero-extended; %% prints %.
// Any other conversion, a '*' width or precision, a width or precision above
// 255, a conversion the format ends in the middle of, and every conversion
// after the first are printed as they stand. The result is cut at maxChars.
std::string Format(std::string_view format, uint16_t arg, size_t maxChars);

// A 0x0D packet's payload: the format from payload[1] up to its zero byte
// (at most 255 characters), then the argument, least significant byte first.
// Bytes the payload does not hold count as 0.
std::string FormatPacket(const uint8_t* payload, size_t n, size_t maxChars);

}  // namespace instrument_text
