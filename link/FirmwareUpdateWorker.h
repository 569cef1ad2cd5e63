#pragma once
// The firmware-update sequence as a sequence of the compliance-test link's
// worker (MV_Comm::RunWorkerSequence). The link's texts get their "> ".
#include <memory>

#include "link/FirmwareUpdate.h"
#include "link/MV_Comm.h"

namespace firmware_update {

// The sequence over both images, which it owns and frees when it ends (the
// cleanup of the update). Its result: LINK_OK, LINK_REFUSED or
// LINK_NO_RESPONSE (also when the link is being destroyed; that result is
// not delivered).
MV_Comm::WorkerSequence OnLinkWorker(std::unique_ptr<IntelHexDecoder> loader,
                                     std::unique_ptr<IntelHexDecoder> firmware);

// The sequence's transport over the worker's hooks (exposed for tests).
class WorkerTransport : public Transport {
public:
    explicit WorkerTransport(LinkWorkerHooks& hooks) : hooks_(hooks) {}
    bool Write(const uint8_t* bytes, size_t n) override;
    Poll NextPayload(uint32_t waitMs, uint8_t* payload, size_t* n) override;
    void OtherPayload(const uint8_t* payload, size_t n) override { hooks_.HandleAsyncPacket(payload, n); }
    bool Sleep(uint32_t ms) override { return hooks_.Sleep(ms); }
    void StepText(const std::string& text) override { hooks_.Message("> " + text); }
    void FailureText(const std::string& text) override { hooks_.Message("> " + text); }
    void Progress(uint32_t bytesSent) override { hooks_.Progress(bytesSent); }

private:
    LinkWorkerHooks& hooks_;
    uint32_t lastSend_ = 0;
};

}  // namespace firmware_update
