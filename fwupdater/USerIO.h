#pragma once
// The updater's serial port: opened raw, read without blocking into a
// receive buffer of its own, which the frame receiver takes its bytes from.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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

}  // namespace pallumo
