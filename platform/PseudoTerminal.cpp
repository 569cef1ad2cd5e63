#include "platform/PseudoTerminal.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

#include "platform/PosixWait.h"

namespace platform {

PseudoTerminal::~PseudoTerminal() { Close(); }

bool PseudoTerminal::Open() {
    Close();
    int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m < 0) return false;
    if (::grantpt(m) != 0 || ::unlockpt(m) != 0) {
        ::close(m);
        return false;
    }
    char name[128];
    if (::ptsname_r(m, name, sizeof name) != 0) {
        ::close(m);
        return false;
    }
    int s = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (s < 0) {
        ::close(m);
        return false;
    }
    // Raw line discipline: no echo, no line editing, no CR/LF mapping.
    detail::MakeRaw(s);
    master_ = m;
    slaveKeep_ = s;
    slavePath_ = name;
    return true;
}

void PseudoTerminal::Close() {
    if (master_ >= 0) ::close(master_);
    if (slaveKeep_ >= 0) ::close(slaveKeep_);
    master_ = slaveKeep_ = -1;
}

long PseudoTerminal::ReadNow(uint8_t* dst, size_t n) {
    if (master_ < 0) return -1;
    for (;;) {
        ssize_t r = ::read(master_, dst, n);
        if (r >= 0) return static_cast<long>(r);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EIO) return 0;  // EIO: no slave open right now
        return -1;
    }
}

size_t PseudoTerminal::Write(const uint8_t* src, size_t n) {
    if (master_ < 0 || n == 0) return 0;
    return detail::WriteAllWithin(master_, src, n, WriteTimeoutMs(n));
}

SerialPort::Wait PseudoTerminal::WaitReadable(int timeoutMs, const StopSignal* stop) const {
    return detail::WaitFdReadable(master_, timeoutMs, stop);
}

}  // namespace platform
