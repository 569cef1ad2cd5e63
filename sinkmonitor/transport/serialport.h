#pragma once
// The byte transport of the sink monitor: one serial port opened raw and
// exclusively, a reader thread that copies every received byte into a
// ringbuffer_t, synchronous writes, and one latched error code instead of
// exceptions. Nothing here knows about frames or commands.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/SerialPort.h"
#include "platform/WorkerThread.h"
#include "sinkmonitor/transport/ringbuffer.h"

class serialport_t {
public:
    // The latched error codes; "transient" ones are cleared by get_error().
    enum error_t : int32_t {
        kErrNone = 0,
        kErrNoBuffer = 1,
        kErrAlreadyClosed = 2,  // transient
        kErrNotClosed = 3,      // transient
        kErrNotRunning = 4,     // transient
        kErrOpenFailed = 5,
        kErrGetState = 6,
        kErrSetState = 7,
        kErrSetTimeouts = 8,
        kErrSetMask = 9,
        kErrNoThread = 10,
        kErrThreadSilent = 11,
        kErrWriteFailed = 12,  // transient
        kErrShortRead = 14,    // transient
        kErrReaderFailed = 15,
        kErrDeviceRemoved = 16,  // reported as 0 by get_error()
    };
    enum state_t : int32_t { kClosed = 1, kOpened = 2, kRunning = 3, kStopping = 4 };

    static constexpr size_t kMaxNameChars = 259;
    static constexpr unsigned kStartTimeoutMs = 2000;
    static constexpr size_t kReadChunk = 256;

    serialport_t(const std::string& friendlyName, const std::string& devicePath);
    ~serialport_t();
    serialport_t(const serialport_t&) = delete;
    serialport_t& operator=(const serialport_t&) = delete;

    bool open();
    bool close();
    bool write(const uint8_t* bytes, size_t length);
    // Takes count bytes from the ring, waiting up to msPerByte for each;
    // *taken (when given) receives the number taken.
    bool read(uint8_t* destination, size_t count, unsigned msPerByte, size_t* taken = nullptr);
    int32_t get_error();
    const std::string& get_name() const { return friendlyName_; }
    const std::string& get_path() const { return devicePath_; }

    // True once the port holds an error that no get_error() clears (the
    // device went away, the open failed, ...): the object stays unusable.
    bool is_broken() const;
    int32_t get_state() const { return state_.load(); }
    ringbuffer_t& ring() { return ring_; }

    static bool is_transient(int32_t code);

private:
    void latch(int32_t code);
    void reader_thread();

    const std::string friendlyName_;
    const std::string devicePath_;
    std::atomic<int32_t> state_{kClosed};
    std::atomic<int32_t> error_{kErrNone};
    ringbuffer_t ring_;

    platform::SerialPort port_;
    std::mutex ioLock_;  // a write never overlaps the release of the descriptor
    platform::WorkerThread reader_;
};
