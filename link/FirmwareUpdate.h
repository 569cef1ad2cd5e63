#pragma once
// The firmware-update sequence, shared by the compliance-test link (run on
// its worker thread) and the console updater (run on its only thread):
//   Debug On (09), Reset (20 00), a 600 ms pause, the RAM loader written in
//   frames of at most 250 data bytes (13 addr-high addr-low data), RunCode at
//   the loader's entry (1D 05 00), a 500 ms pause, Erase (19 FF FF), then the
//   firmware as flash blocks of at most 500 bytes: the frame 03 10 ED
//   followed by a raw block (address, length, data, CRC-16; numbers high
//   byte first). Every step waits for the one-byte reply 0C (acknowledge) or
//   0B (refuse). There are no retries: the first refusal or missing reply
//   ends the update.
// The routine blocks until the sequence has ended; all I/O and every report
// goes through the Transport the caller provides.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/IntelHexDecoder.h"

namespace firmware_update {

constexpr size_t kRamChunkBytes = 250;       // RAM frame: 5 + 250 = 255 bytes, the frame maximum
constexpr size_t kFlashChunkBytes = 500;     // data bytes of one raw flash block
constexpr uint32_t kStepTimeoutUnits = 20;   // 2 s, in 100 ms units, for every framed step
constexpr uint32_t kFlashTimeoutUnits = 50;  // 5 s from the raw block
constexpr uint32_t kResetPauseMs = 600;      // after Reset is acknowledged
constexpr uint32_t kErasePauseMs = 500;      // before Erase is sent
constexpr uint8_t kAck = 0x0C;
constexpr uint8_t kRefuse = 0x0B;

// Loader and flash commands (first payload byte).
constexpr uint8_t kCmdDebugOn = 0x09;
constexpr uint8_t kCmdRamWrite = 0x13;
constexpr uint8_t kCmdErase = 0x19;
constexpr uint8_t kCmdRunCode = 0x1D;
constexpr uint8_t kCmdReset = 0x20;
constexpr uint8_t kCmdFlashWrite = 0x10;
constexpr size_t kFlashBlockOverhead = 12;  // 4 address + 4 length + 4 CRC

enum class Outcome {
    Ok,          // every step acknowledged
    Refused,     // a step answered 0B (the failure text was reported)
    NoResponse,  // a step unanswered within its time-out (or its write failed, see Options)
    Stopped,     // the transport asked to stop (its owner is going away); nothing reported
};

enum class Poll { Payload, Nothing, Stop };

// What the sequence needs from its link. Texts are given without the "> "
// that the compliance-test link puts before its status-list texts.
class Transport {
public:
    virtual ~Transport() = default;
    // Writes all n bytes (a whole frame or a raw block); false when fewer
    // were written (the transport reports its own write-failure text).
    virtual bool Write(const uint8_t* bytes, size_t n) = 0;
    // Waits at most waitMs for the next whole frame and unpacks it into
    // payload (room for 253 bytes). Payload: *n holds its length (> 0);
    // Nothing: none arrived; Stop: end the sequence at once.
    virtual Poll NextPayload(uint32_t waitMs, uint8_t* payload, size_t* n) = 0;
    // A payload received while waiting that is neither 0C nor 0B (print
    // packets, status replies); the wait goes on whatever is done with it.
    virtual void OtherPayload(const uint8_t* payload, size_t n) = 0;
    // Sleeps; false: end the sequence at once (Stopped).
    virtual bool Sleep(uint32_t ms) = 0;
    virtual void StepText(const std::string& text) = 0;
    virtual void FailureText(const std::string& text) = 0;
    // Data bytes of both images handed to the port so far; called before
    // each chunk is written.
    virtual void Progress(uint32_t bytesSent) = 0;
};

struct Options {
    // True: a failed write ends its step at once with NoResponse (after the
    // flash block has been written all the same when its header failed).
    // False: the step waits for its reply time-out as usual.
    bool writeFailureEndsStep = false;
};

// Runs the sequence from Debug On to the end; returns when it has ended.
Outcome Run(const IntelHexDecoder& loader, const IntelHexDecoder& firmware, Transport& transport,
            const Options& options = {});

// Decodes the embedded RAM loader (throws IntelHexError, which the build's
// check of the loader rules out).
std::unique_ptr<IntelHexDecoder> DecodeRamLoader();

// "RamWrite [internal], %i Segments, %d Bytes" for the decoded loader.
std::string LoaderDecodedText(const IntelHexDecoder& loader);
// "Loaded '%s', %i Segments, %d Bytes" for the decoded firmware file; the
// text is 8-bit, so the file-system name enters it in Windows-1252.
std::string FirmwareDecodedText(const std::string& fileName, const IntelHexDecoder& firmware);

// The raw flash-write block for `n` data bytes at `address` (n + 12 bytes).
std::vector<uint8_t> FlashBlock(uint32_t address, const uint8_t* data, size_t n);

// Milliseconds from `sent` to `now` on the wrapping 32-bit millisecond clock.
uint32_t ElapsedMs(uint32_t sent, uint32_t now);

}  // namespace firmware_update
