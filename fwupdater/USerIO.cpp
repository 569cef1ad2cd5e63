#include "fwupdater/USerIO.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "fwupdater/UpdaterNotice.h"
#include "platform/Clock.h"

namespace pallumo {

std::vector<uint32_t> PortFailureNotices(int error) {
    if (error == EACCES || error == EBUSY || error == EPERM) return {notice::kPortAccessDenied, notice::kPortFailed};
    return {notice::kPortFailed};
}

USerIO::USerIO(const std::string& devicePath, const NoticeFn& notice) {
    int error = 0;
    if (!port_.Open(devicePath, &error)) {
        if (notice)
            for (uint32_t value : PortFailureNotices(error)) notice(notice::kPort, value);
        throw std::runtime_error("Could not open port ");
    }
    if (notice) notice(notice::kPort, notice::kPortOpened);
}

size_t USerIO::Write(const uint8_t* bytes, size_t n) { return port_.Write(bytes, n); }

void USerIO::Poll() {
    const uint32_t now = platform::TickCountMs();
    if (polled_ && now == lastPollTick_) return;
    polled_ = true;
    lastPollTick_ = now;
    if (head_ > 4096 && head_ * 2 > held_.size()) {
        held_.erase(held_.begin(), held_.begin() + static_cast<long>(head_));
        head_ = 0;
    }
    uint8_t chunk[512];
    for (;;) {
        const long got = port_.ReadNow(chunk, sizeof chunk);
        if (got <= 0) break;
        held_.insert(held_.end(), chunk, chunk + got);
        lastStoreTick_ = now;
        if (static_cast<size_t>(got) < sizeof chunk) break;
    }
}

void USerIO::WaitForData(uint32_t ms) {
    if (port_.WaitReadable(static_cast<int>(ms)) == platform::SerialPort::Wait::Error) platform::SleepMs(ms);
}

void USerIO::Consume(uint8_t* dst, size_t n) {
    if (dst) std::copy(held_.begin() + static_cast<long>(head_), held_.begin() + static_cast<long>(head_ + n), dst);
    head_ += n;
}

}  // namespace pallumo
