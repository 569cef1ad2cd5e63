#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class StopSignal;

// A serial device opened raw at 115200 baud, 8 data bits, no parity, one stop
// bit, no flow control of any kind, exclusively (TIOCEXCL), non-blocking.
// Works on pseudo-terminals (modem-control failures there are ignored).
class SerialPort {
public:
    enum class Wait { Readable, Timeout, Stopped, Error };

    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens and configures the device. On failure the port stays closed and
    // *error (when given) receives errno (EACCES / EBUSY for a port in use).
    bool Open(const std::string& devicePath, int* error = nullptr);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Reads what the driver holds now, at most n bytes, never waiting.
    // Returns the count (0 when nothing is there) or -1 when the port failed
    // or went away (hang-up, I/O error).
    long ReadNow(uint8_t* dst, size_t n);

    // Writes all n bytes, allowing about 1 ms per byte plus 150 ms in all.
    // Returns the number written (less than n on time-out or error).
    size_t Write(const uint8_t* src, size_t n);

    // Waits until the port has data, the stop signal is set, an error or
    // hang-up occurs, or timeoutMs passes (-1 waits without limit).
    Wait WaitReadable(int timeoutMs, const StopSignal* stop = nullptr) const;

    // Discards what the driver holds in both directions.
    void Flush();

private:
    int fd_ = -1;
};

// Write time-out rule shared by every port: 1 ms per byte plus 150 ms.
constexpr int WriteTimeoutMs(size_t bytes) { return static_cast<int>(bytes) + 150; }

}  // namespace platform
