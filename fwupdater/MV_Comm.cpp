#include "fwupdater/MV_Comm.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "fwupdater/UpdaterNotice.h"
#include "link/InstrumentFrame.h"
#include "platform/Clock.h"

namespace pallumo {
namespace {
constexpr uint32_t kIdleDrainMs = 10;
constexpr const char* kWriteErrorText = "RS-Port write error - Check cabling";
}  // namespace

MV_Comm::MV_Comm(const std::string& devicePath, NoticeFn notice) : notice_(std::move(notice)) {
    platform::BeginTimerResolution();
    try {
        try {
            port_ = std::make_unique<USerIO>(devicePath, notice_);
        } catch (const std::bad_alloc&) {
            throw std::runtime_error("Could not create serial communications object");
        }
    } catch (...) {
        platform::EndTimerResolution();
        throw;
    }
}

MV_Comm::~MV_Comm() { platform::EndTimerResolution(); }

std::unique_ptr<IntelHexDecoder> MV_Comm::Decode(const std::function<std::unique_ptr<IntelHexDecoder>()>& decode) {
    try {
        auto image = decode();
        Notice(notice::kFile, notice::kFileParsed);
        return image;
    } catch (const IntelHexError& e) {
        switch (e.kind()) {
            case IntelHexError::Kind::FileOpen:
                Notice(notice::kFile, notice::kFileCannotOpen);
                break;
            case IntelHexError::Kind::NoRecords:
                Notice(notice::kFile, notice::kFileNoRecords);
                break;
            case IntelHexError::Kind::Corrupted:
                Notice(notice::kFile, notice::kFileCorrupted);
                break;
            case IntelHexError::Kind::ReadPastEnd:
                break;
        }
        throw;
    }
}

void MV_Comm::UpdateFirmware(std::string fileName, CompletionHook completion) {
    if (state_ != 1) {
        if (completion) completion(LINK_BUSY);
        return;
    }
    std::unique_ptr<IntelHexDecoder> loader = Decode([] { return firmware_update::DecodeRamLoader(); });
    std::unique_ptr<IntelHexDecoder> firmware =
        Decode([&] { return std::make_unique<IntelHexDecoder>(HexFile{fileName}); });

    if (onUpdateStart) onUpdateStart(loader->TotalBytes() + firmware->TotalBytes());
    state_ = 24;  // the update holds the link
    const firmware_update::Outcome outcome =
        firmware_update::Run(*loader, *firmware, *this, firmware_update::Options{true});
    LinkResult result = LINK_OK;
    switch (outcome) {
        case firmware_update::Outcome::Ok:
            result = LINK_OK;
            break;
        case firmware_update::Outcome::Refused:
            result = LINK_REFUSED;
            break;
        case firmware_update::Outcome::NoResponse:
        case firmware_update::Outcome::Stopped:
            result = LINK_NO_RESPONSE;
            break;
    }
    // Cleanup: free both images, idle again, complete.
    loader.reset();
    firmware.reset();
    state_ = 1;
    if (completion) completion(result);
    // The idle pass: take and drop one frame that may still arrive.
    uint8_t payload[frame::kMaxFrame];
    size_t n = 0;
    NextPayload(kIdleDrainMs, payload, &n);
}

bool MV_Comm::Write(const uint8_t* bytes, size_t n) {
    if (port_->Write(bytes, n) == n) return true;
    if (onError) onError(kWriteErrorText);
    return false;
}

firmware_update::Poll MV_Comm::NextPayload(uint32_t waitMs, uint8_t* payload, size_t* n) {
    const uint32_t start = platform::TickCountMs();
    for (;;) {
        port_->Poll();
        // Take frames from what is held; stop when the bytes held are an
        // incomplete frame (nothing was consumed).
        for (;;) {
            const size_t before = port_->Available();
            if (before == 0) break;
            const bool stalled = platform::TickCountMs() - port_->LastStoreTick() > frame::kStalledFrameGapMs;
            const size_t length = frame::Receive(*port_, payload, stalled);
            if (length > 0) {
                *n = frame::Unpack(payload, length);
                if (*n > 0) return firmware_update::Poll::Payload;
                continue;  // an empty payload counts as no frame
            }
            if (port_->Available() == before) break;
        }
        const uint32_t elapsed = platform::TickCountMs() - start;
        if (elapsed >= waitMs) return firmware_update::Poll::Nothing;
        port_->WaitForData(std::min<uint32_t>(waitMs - elapsed, 10));
    }
}

bool MV_Comm::Sleep(uint32_t ms) {
    platform::SleepMs(ms);
    return true;
}

void MV_Comm::FailureText(const std::string& text) {
    if (onError) onError(text);
}

void MV_Comm::Progress(uint32_t bytesSent) {
    if (onProgress) onProgress(bytesSent);
}

}  // namespace pallumo
