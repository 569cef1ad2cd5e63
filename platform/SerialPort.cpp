#include "platform/SerialPort.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>

#include "platform/PosixWait.h"

namespace platform {

SerialPort::~SerialPort() { Close(); }

bool SerialPort::Open(const std::string& devicePath, int* error) {
    Close();
    int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = errno;
        return false;
    }
    if (!::isatty(fd)) {
        if (error) *error = ENOTTY;
        ::close(fd);
        return false;
    }
    // No sharing: a second open of the device by anyone but root fails with EBUSY.
    ::ioctl(fd, TIOCEXCL);
    detail::MakeRaw(fd);
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        if (error) *error = errno;
        ::close(fd);
        return false;
    }
    // DTR and RTS stay as the driver has them; on a pseudo-terminal these
    // modem-control requests fail, which is harmless.
    int bits = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIC, &bits);
    ::tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    return true;
}

void SerialPort::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

long SerialPort::ReadNow(uint8_t* dst, size_t n) {
    if (fd_ < 0) return -1;
    if (n == 0) return 0;
    for (;;) {
        ssize_t r = ::read(fd_, dst, n);
        if (r > 0) return static_cast<long>(r);
        if (r == 0) {
            // termios with VMIN = VTIME = 0 returns 0 for "nothing there";
            // a hang-up also reads 0, so tell them apart with poll().
            auto w = detail::WaitFdReadable(fd_, 0, nullptr);
            return w == SerialPort::Wait::Error ? -1 : 0;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN) return 0;
        return -1;
    }
}

size_t SerialPort::Write(const uint8_t* src, size_t n) {
    if (fd_ < 0 || n == 0) return 0;
    return detail::WriteAllWithin(fd_, src, n, WriteTimeoutMs(n));
}

SerialPort::Wait SerialPort::WaitReadable(int timeoutMs, const StopSignal* stop) const {
    return detail::WaitFdReadable(fd_, timeoutMs, stop);
}

void SerialPort::Flush() {
    if (fd_ >= 0) ::tcflush(fd_, TCIOFLUSH);
}

}  // namespace platform
