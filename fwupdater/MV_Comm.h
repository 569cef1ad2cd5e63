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

#include "fwupdater/USerIO.h"
#include "link/FirmwareUpdate.h"
#include "link/MV_Comm.h"  // LinkResult

namespace pallumo {

// The reduced link: opens the port and runs the firmware-update sequence
// synchronously inside UpdateFirmware.
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
    // the result before it returns. The file name and the completion are
    // the update's own copies: the hooks it calls meanwhile may change or
    // free the caller's.
    void UpdateFirmware(std::string fileName, CompletionHook completion);

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
