#pragma once
// The updater's synchronous build of the instrument link: one serial port
// and the firmware-update sequence, run on the calling thread. Shares the
// frame codec, the Intel HEX decoder, the CRC-16 and the sequence itself
// with the compliance-test link.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/FirmwareUpdate.h"
#include "link/MV_Comm.h"  // LinkResult
#include "platform/SerialPort.h"

namespace pallumo {

// Posts an UpdaterNotice (kind, value); empty when no notify message is set.
using NoticeFn = std::function<void(uint32_t kind, uint32_t value)>;

// The notices of a port that could not be opened with this errno value:
// (0, 2) first when access was denied or the port is in use, then (0, 1).
std::vector<uint32_t> PortFailureNotices(int error);

// The serial port with its own receive buffer, read without blocking.
class USerIO {
public:
    // Opens the port (raw 115200 8N1, no flow control): notice (0, 0) when
    // it is ready; on failure (0, 2) first when the port is in use or access
    // is denied, then (0, 1), and throws std::runtime_error
    // "Could not open port ".
    USerIO(const std::string& devicePath, const NoticeFn& notice);
    USerIO(const USerIO&) = delete;
    USerIO& operator=(const USerIO&) = delete;

    // Bytes written (fewer than n on a failure).
    size_t Write(const uint8_t* bytes, size_t n);
    // Moves what the driver holds into the buffer, at most once per tick.
    void Poll();
    // Waits up to ms for data from the driver (a failed port just waits).
    void WaitForData(uint32_t ms);
    // The frame receiver's byte source.
    size_t Available() const { return held_.size() - head_; }
    uint8_t Peek(size_t i) const { return held_[head_ + i]; }
    void Consume(uint8_t* dst, size_t n);
    uint32_t LastStoreTick() const { return lastStoreTick_; }

private:
    platform::SerialPort port_;
    std::vector<uint8_t> held_;
    size_t head_ = 0;
    bool polled_ = false;
    uint32_t lastPollTick_ = 0;
    uint32_t lastStoreTick_ = 0;
};

class MV_Comm : private firmware_update::Transport {
public:
    using CountHook = std::function<void(uint32_t)>;
    using TextHook = std::function<void(const std::string&)>;
    using CompletionHook = std::function<void(LinkResult)>;

    // Opens the port; its failure propagates (std::runtime_error).
    MV_Comm(const std::string& devicePath, NoticeFn notice);
    ~MV_Comm() override;

    // Hooks; an unset hook is skipped.
    CountHook onUpdateStart;  // loader plus firmware bytes
    CountHook onProgress;     // bytes handed to the port, before each chunk is sent
    TextHook onError;         // failure texts and write failures

    // Decodes the embedded RAM loader and the file (notices (1, 0) after
    // each; (1, 2), (1, 3) or (1, 4) before a decoding failure propagates as
    // IntelHexError), runs the whole sequence and calls `completion` with
    // the result before it returns.
    void UpdateFirmware(const std::string& fileName, const CompletionHook& completion);

private:
    bool Write(const uint8_t* bytes, size_t n) override;
    firmware_update::Poll NextPayload(uint32_t waitMs, uint8_t* payload, size_t* n) override;
    void OtherPayload(const uint8_t*, size_t) override {}  // print packets and status replies are dropped
    bool Sleep(uint32_t ms) override;
    void StepText(const std::string&) override {}  // this build has no step texts
    void FailureText(const std::string& text) override;
    void Progress(uint32_t bytesSent) override;

    std::unique_ptr<IntelHexDecoder> Decode(const std::function<std::unique_ptr<IntelHexDecoder>()>& decode);
    void Notice(uint32_t kind, uint32_t value) const {
        if (notice_) notice_(kind, value);
    }

    NoticeFn notice_;
    std::unique_ptr<USerIO> port_;
    int32_t state_ = 1;  // 1 idle
};

}  // namespace pallumo
