#pragma once
// A second descriptor of the port's side of a pseudo-terminal line, opened
// before the port under test (which then refuses further opens): it reads
// nothing, it only tells how many bytes the line holds that the port has not
// read yet. Tests use it to see that a port has (or has not) drained the line
// without sleeping a fixed time.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>

class LineProbe {
public:
    explicit LineProbe(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~LineProbe() {
        if (fd_ >= 0) ::close(fd_);
    }
    LineProbe(const LineProbe&) = delete;
    LineProbe& operator=(const LineProbe&) = delete;
    bool IsOpen() const { return fd_ >= 0; }
    int Pending() const {
        int n = -1;
        return ::ioctl(fd_, FIONREAD, &n) == 0 ? n : -1;
    }

private:
    int fd_;
};
