#include "link/USerIO.h"

#include <cstring>

#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/StopSignal.h"

USerIO::USerIO(const std::string& devicePath, ClockFn clock)
    : devicePath_(devicePath), clock_(clock ? clock : &platform::TickCountMs) {
    std::memset(ring_, 0, sizeof ring_);
    if (!Open())
        platform::ShowMessageBox("Failed to open port", "", platform::MsgIcon::Error, platform::MsgButtons::Ok);
}

USerIO::~USerIO() { Close(); }

bool USerIO::Open() { return port_.Open(devicePath_); }

void USerIO::Close() { port_.Close(); }

uint32_t USerIO::Now() const { return clock_(); }

size_t USerIO::Write(const uint8_t* bytes, size_t n) {
    if (!port_.IsOpen()) return 0;
    return port_.Write(bytes, n);
}

void USerIO::Poll() {
    const uint32_t now = Now();
    if (polled_ && now == lastPollTick_) return;
    polled_ = true;
    lastPollTick_ = now;
    if (!port_.IsOpen()) return;
    uint8_t chunk[512];
    for (;;) {
        const long got = port_.ReadNow(chunk, sizeof chunk);
        if (got <= 0) break;
        for (long i = 0; i < got; ++i) {
            if (count_ == kRingSize) continue;  // full: the byte is dropped
            ring_[head_] = chunk[i];
            head_ = (head_ + 1) & kRingMask;
            ++count_;
        }
        lastStoreTick_ = now;
    }
}

size_t USerIO::Available() {
    Poll();
    return count_;
}

uint8_t USerIO::Peek(size_t i) {
    Poll();
    return PeekHeld(i);
}

size_t USerIO::Read(uint8_t* dst, size_t n) {
    Poll();
    if (n) std::memset(dst, 0, n);
    if (!port_.IsOpen() || count_ < n) return 0;
    Consume(dst, n);
    return n;
}

void USerIO::Consume(uint8_t* dst, size_t n) {
    if (n > count_) n = count_;
    for (size_t i = 0; i < n; ++i) {
        if (dst) dst[i] = ring_[tail_];
        tail_ = (tail_ + 1) & kRingMask;
    }
    count_ -= static_cast<uint32_t>(n);
}

void USerIO::WaitForData(int timeoutMs, const platform::StopSignal* stop) {
    if (port_.IsOpen() && port_.WaitReadable(timeoutMs, stop) != platform::SerialPort::Wait::Error) return;
    // Closed or failed line: nothing can arrive; just let the time pass.
    if (stop) stop->Wait(timeoutMs);
    else platform::SleepMs(static_cast<uint32_t>(timeoutMs));
}
