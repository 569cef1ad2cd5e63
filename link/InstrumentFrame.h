#pragma once
// The one frame format of every instrument exchange: a length byte L (the
// whole frame), the payload (L - 2 bytes, at most 253) and a checksum byte
// that makes all L bytes sum to 0 modulo 256. The compliance-test link, the
// firmware updater and the sink monitor all frame through this file.
#include <cstddef>
#include <cstdint>

namespace frame {

constexpr size_t kMaxPayload = 253;
constexpr size_t kMaxFrame = 255;
// A partial frame whose bytes stop coming is given up after this gap.
constexpr uint32_t kStalledFrameGapMs = 100;

// Two's complement of the 8-bit sum of the bytes.
uint8_t Checksum(const uint8_t* bytes, size_t n);

// Writes L, the payload and the checksum into `out` (room for n + 2 bytes).
// Returns the frame length n + 2, or 0 when n exceeds kMaxPayload.
size_t Build(const uint8_t* payload, size_t n, uint8_t* out);

// Moves the payload of the frame in buf (length `length`, as received) to
// the start of buf, zeroes the two bytes after it and returns the payload
// length; a length below 2 zeroes those bytes and returns 0.
size_t Unpack(uint8_t* buf, size_t length);

// One step of the receiver over a byte source with
//   size_t Available();  uint8_t Peek(size_t i);  void Consume(uint8_t* dst, size_t n);
// (dst may be null: drop the bytes). Returns the length of a whole,
// checksum-correct frame now copied into out (room for kMaxFrame), else 0:
// leading zero bytes are skipped; an incomplete frame is left alone unless
// `partialStalled` says its bytes stopped coming, then its length byte is
// dropped; a checksum failure drops the presumed length byte, so the stream
// is searched again byte by byte.
template <class Source>
size_t Receive(Source& src, uint8_t* out, bool partialStalled = false) {
    if (src.Available() == 0) return 0;
    while (src.Peek(0) == 0) {
        src.Consume(nullptr, 1);
        if (src.Available() == 0) return 0;
    }
    const size_t length = src.Peek(0);
    const size_t held = src.Available();
    if (held < length) {
        if (partialStalled) src.Consume(nullptr, 1);
        return 0;
    }
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < length; ++i) sum = static_cast<uint8_t>(sum + src.Peek(i));
    if (static_cast<uint8_t>(-sum) == src.Peek(length - 1)) {
        src.Consume(out, length);
        return length;
    }
    src.Consume(nullptr, 1);
    return 0;
}

}  // namespace frame
