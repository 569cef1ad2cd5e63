#include "link/FirmwareUpdateWorker.h"

#include "platform/Clock.h"

namespace firmware_update {

// Frames are built by the sequence; on the line they are bytes like the
// raw block, with the same short-write report and reply clock.
bool WorkerTransport::Write(const uint8_t* bytes, size_t n) {
    const bool ok = hooks_.SendRaw(bytes, n);
    lastSend_ = platform::TickCountMs();
    return ok;
}

// The hooks time a wait from the last send; waitMs counts from now.
Poll WorkerTransport::NextPayload(uint32_t waitMs, uint8_t* payload, size_t* n) {
    const uint32_t sinceSend = ElapsedMs(lastSend_, platform::TickCountMs());
    switch (hooks_.ReceivePayload(payload, n, sinceSend + waitMs)) {
        case LinkWorkerHooks::Receive::Payload:
            return Poll::Payload;
        case LinkWorkerHooks::Receive::TimedOut:
            return Poll::Nothing;
        case LinkWorkerHooks::Receive::Stopped:
            break;
    }
    return Poll::Stop;
}

MV_Comm::WorkerSequence OnLinkWorker(std::unique_ptr<IntelHexDecoder> loader,
                                     std::unique_ptr<IntelHexDecoder> firmware) {
    std::shared_ptr<IntelHexDecoder> l(std::move(loader)), f(std::move(firmware));
    return [l, f](LinkWorkerHooks& hooks) mutable -> LinkResult {
        if (!l || !f) return LINK_INTERNAL_ERROR;  // run once only
        WorkerTransport transport(hooks);
        const Outcome outcome = Run(*l, *f, transport);
        l.reset();  // cleanup: both images are freed when the update ends
        f.reset();
        switch (outcome) {
            case Outcome::Ok:
                return LINK_OK;
            case Outcome::Refused:
                return LINK_REFUSED;
            case Outcome::NoResponse:
            case Outcome::Stopped:
                break;
        }
        return LINK_NO_RESPONSE;
    };
}

}  // namespace firmware_update
