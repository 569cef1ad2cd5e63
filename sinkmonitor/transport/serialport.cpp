#include "sinkmonitor/transport/serialport.h"

serialport_t::serialport_t(const std::string& friendlyName, const std::string& devicePath)
    : friendlyName_(friendlyName.substr(0, kMaxNameChars)), devicePath_(devicePath.substr(0, kMaxNameChars)) {}

serialport_t::~serialport_t() {
    if (state_.load() != kClosed) close();
    // A reader that ended by itself (device removed) is still to be joined.
    reader_.Join();
}

bool serialport_t::is_transient(int32_t code) {
    return code == kErrAlreadyClosed || code == kErrNotClosed || code == kErrNotRunning || code == kErrWriteFailed ||
           code == kErrShortRead;
}

// A new error replaces the latched one, except that a transient code never
// hides a lasting one that another thread latched meanwhile.
void serialport_t::latch(int32_t code) {
    int32_t cur = error_.load();
    for (;;) {
        if (cur != kErrNone && !is_transient(cur) && is_transient(code)) return;
        if (error_.compare_exchange_weak(cur, code)) return;
    }
}

int32_t serialport_t::get_error() {
    int32_t cur = error_.load();
    for (;;) {
        if (cur == kErrNone) return kErrNone;
        if (!is_transient(cur)) return cur == kErrDeviceRemoved ? kErrNone : cur;
        if (error_.compare_exchange_weak(cur, kErrNone)) return cur;
    }
}

bool serialport_t::is_broken() const {
    const int32_t cur = error_.load();
    return cur != kErrNone && !is_transient(cur);
}

// Only a lasting error refuses an open. A transient code describes a call
// that failed, not the port: the frame layer's receiver latches the short
// read on every silent cycle (about every 100 ms, also while the port is
// closed for a firmware update) and clears it again, and a reopen that
// lands in that moment must not fail because of it.
bool serialport_t::open() {
    if (is_broken()) return false;
    if (state_.load() != kClosed) {
        latch(kErrNotClosed);
        return false;
    }
    reader_.Join();  // a reader that ended by itself earlier
    {
        std::lock_guard lk(ioLock_);
        int err = 0;
        if (!port_.Open(devicePath_, &err)) {
            latch(kErrOpenFailed);
            return false;
        }
    }
    // A reader that does not get going in time is stopped before it touches
    // the port, so it never sees a released descriptor.
    const auto started = reader_.Start([this] { reader_thread(); }, static_cast<int>(kStartTimeoutMs));
    if (started != platform::WorkerThread::StartResult::Running) {
        std::lock_guard lk(ioLock_);
        port_.Close();
        latch(started == platform::WorkerThread::StartResult::TimedOut ? kErrThreadSilent : kErrNoThread);
        return false;
    }
    state_.store(kOpened);
    state_.store(kRunning);
    return true;
}

bool serialport_t::close() {
    if (state_.load() == kClosed) {
        latch(kErrAlreadyClosed);
        return false;
    }
    state_.store(kStopping);
    reader_.Join();
    {
        std::lock_guard lk(ioLock_);
        port_.Close();
    }
    state_.store(kClosed);
    return true;
}

bool serialport_t::write(const uint8_t* bytes, size_t length) {
    // A short read is the receiving side's business: the receiver latches
    // and clears it every silent cycle, and a command sent in that moment
    // must not fail because of it.
    const int32_t latched = error_.load();
    if (latched != kErrNone && latched != kErrShortRead) return false;
    if (!bytes || length == 0) {
        latch(kErrNoBuffer);
        return false;
    }
    if (state_.load() != kRunning) {
        latch(kErrNotRunning);
        return false;
    }
    size_t written;
    {
        std::lock_guard lk(ioLock_);
        // At most 1 ms per byte plus 150 ms, then the write has failed.
        written = port_.IsOpen() ? port_.Write(bytes, length) : 0;
    }
    if (written != length) {
        latch(kErrWriteFailed);
        return false;
    }
    return true;
}

bool serialport_t::read(uint8_t* destination, size_t count, unsigned msPerByte, size_t* taken) {
    if (taken) *taken = 0;
    if (error_.load() != kErrNone) return false;
    if (!destination) {
        latch(kErrNoBuffer);
        return false;
    }
    const size_t got = ring_.get(destination, count, msPerByte);
    if (taken) *taken = got;
    if (got != count) {
        latch(kErrShortRead);
        return false;
    }
    return true;
}

void serialport_t::reader_thread() {
    uint8_t chunk[kReadChunk];
    // The stop request is looked at on every pass, the error path included.
    while (!reader_.StopRequested()) {
        const auto w = port_.WaitReadable(-1, &reader_.Signal());
        if (w == platform::SerialPort::Wait::Stopped) break;
        if (w == platform::SerialPort::Wait::Timeout) continue;
        if (w == platform::SerialPort::Wait::Error) {
            // Hang-up or I/O error: the device is gone.
            latch(kErrDeviceRemoved);
            break;
        }
        const long n = port_.ReadNow(chunk, sizeof chunk);
        if (n < 0) {
            latch(kErrDeviceRemoved);
            break;
        }
        if (n > 0) ring_.put(chunk, static_cast<size_t>(n));
    }
    state_.store(kStopping);
}
