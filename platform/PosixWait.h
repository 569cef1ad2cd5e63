#pragma once
// Internal to platform/: one poll() helper for ports, pseudo-terminals and
// endpoints.
#include "platform/SerialPort.h"

namespace platform::detail {
SerialPort::Wait WaitFdReadable(int fd, int timeoutMs, const StopSignal* stop);
bool WaitFdWritable(int fd, int timeoutMs);
// Writes all bytes to a non-blocking descriptor within timeoutMs in all.
size_t WriteAllWithin(int fd, const uint8_t* src, size_t n, int timeoutMs);
void MakeRaw(int fd);
}  // namespace platform::detail
