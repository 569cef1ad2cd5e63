#include "platform/PosixWait.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>

#include "platform/StopSignal.h"

namespace platform::detail {

SerialPort::Wait WaitFdReadable(int fd, int timeoutMs, const StopSignal* stop) {
    if (fd < 0) return SerialPort::Wait::Error;
    pollfd fds[2] = {{fd, POLLIN, 0}, {stop ? stop->WaitFd() : -1, POLLIN, 0}};
    const nfds_t n = stop ? 2 : 1;
    for (;;) {
        int r = ::poll(fds, n, timeoutMs);
        if (r < 0) {
            if (errno == EINTR) continue;
            return SerialPort::Wait::Error;
        }
        if (r == 0) return SerialPort::Wait::Timeout;
        if (stop && (fds[1].revents & POLLIN)) return SerialPort::Wait::Stopped;
        // A hung-up line also reports POLLIN (reads then give end of file).
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return SerialPort::Wait::Error;
        if (fds[0].revents & POLLIN) return SerialPort::Wait::Readable;
        return SerialPort::Wait::Timeout;
    }
}

bool WaitFdWritable(int fd, int timeoutMs) {
    pollfd p{fd, POLLOUT, 0};
    for (;;) {
        int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        return r > 0 && (p.revents & POLLOUT);
    }
}

size_t WriteAllWithin(int fd, const uint8_t* src, size_t n, int timeoutMs) {
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t done = 0;
    while (done < n) {
        ssize_t w = ::write(fd, src + done, n - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EINTR) break;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        if (left <= 0 || !WaitFdWritable(fd, static_cast<int>(left))) break;
    }
    return done;
}

void MakeRaw(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    t.c_cflag = (t.c_cflag & ~CSIZE) | CS8;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, B115200);
    ::cfsetospeed(&t, B115200);
    ::tcsetattr(fd, TCSANOW, &t);
}

}  // namespace platform::detail
