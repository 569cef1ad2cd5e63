#include "platform/StopSignal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <cerrno>

namespace platform {

StopSignal::StopSignal() {
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) fds_[0] = fds_[1] = -1;
}

StopSignal::~StopSignal() {
    for (int fd : fds_)
        if (fd >= 0) ::close(fd);
}

void StopSignal::Set() {
    if (IsSet()) return;
    const char c = 1;
    [[maybe_unused]] ssize_t r = ::write(fds_[1], &c, 1);
}

void StopSignal::Reset() {
    char buf[16];
    while (::read(fds_[0], buf, sizeof buf) > 0) {}
}

bool StopSignal::IsSet() const { return Wait(0); }

bool StopSignal::Wait(int timeoutMs) const {
    pollfd p{fds_[0], POLLIN, 0};
    for (;;) {
        int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        return r > 0 && (p.revents & POLLIN);
    }
}

}  // namespace platform
