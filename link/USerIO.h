#pragma once
// The instrument's serial port: opened by device path at 115200 baud 8N1 with
// no flow control, never blocking on reads, with its own 8 KB receive ring
// that is topped up from the driver whenever a reader asks for data.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/SerialPort.h"

class USerIO {
public:
    using ClockFn = uint32_t (*)();
    static constexpr uint32_t kRingSize = 8192;
    static constexpr uint32_t kRingMask = kRingSize - 1;
    static constexpr uint32_t kBaudRate = 115200;

    // Opens the port; a port that cannot be opened is reported to the
    // operator ("Failed to open port") and leaves the object closed. Never
    // throws. `clock` is the millisecond clock (tests may give their own).
    explicit USerIO(const std::string& devicePath, ClockFn clock = nullptr);
    virtual ~USerIO();
    USerIO(const USerIO&) = delete;
    USerIO& operator=(const USerIO&) = delete;

    bool Open();
    void Close();
    bool IsOpen() const { return port_.IsOpen(); }
    const std::string& DevicePath() const { return devicePath_; }
    uint32_t BaudRate() const { return kBaudRate; }

    // Bytes the system took, or 0 when the port is closed or the write failed.
    size_t Write(const uint8_t* bytes, size_t n);

    // Poll, then the number of bytes held.
    size_t Available();
    // Poll, then the byte at (tail + i) of the ring, not consumed; beyond the
    // count it is whatever the ring holds there.
    uint8_t Peek(size_t i);
    // Poll; zeroes the n destination bytes; moves exactly n bytes when that
    // many are held (returns n), else consumes nothing and returns 0.
    size_t Read(uint8_t* dst, size_t n);

    // Moves what the driver holds into the ring, at most once per clock tick.
    void Poll();

    // The ring without polling (the frame receiver polls once, then looks):
    size_t Held() const { return count_; }
    uint8_t PeekHeld(size_t i) const { return ring_[(tail_ + i) & kRingMask]; }
    // Takes n held bytes (n at most Held()) into dst, or drops them when dst is null.
    void Consume(uint8_t* dst, size_t n);
    // The clock value when Poll last stored a byte (0 before the first).
    uint32_t LastStoreTick() const { return lastStoreTick_; }

    // Waits up to timeoutMs for the driver to hold data, for the stop signal,
    // or for an error; on a closed or failed port it simply waits.
    void WaitForData(int timeoutMs, const platform::StopSignal* stop);

private:
    uint32_t Now() const;

    platform::SerialPort port_;
    std::string devicePath_;
    ClockFn clock_;
    uint32_t head_ = 0;
    uint32_t tail_ = 0;
    uint32_t count_ = 0;
    uint8_t ring_[kRingSize];
    bool polled_ = false;
    uint32_t lastPollTick_ = 0;
    uint32_t lastStoreTick_ = 0;
};

// USerIO as the frame receiver's byte source, without polling on each look.
struct USerIORing {
    USerIO& io;
    size_t Available() { return io.Held(); }
    uint8_t Peek(size_t i) { return io.PeekHeld(i); }
    void Consume(uint8_t* dst, size_t n) { io.Consume(dst, n); }
};
