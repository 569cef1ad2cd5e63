#pragma once

namespace platform {

// A level-triggered event that a thread can wait on together with a port
// (it owns a pipe whose read end becomes readable while the signal is set).
class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // Waits until set or until timeoutMs passed (-1: no limit). True when set.
    bool Wait(int timeoutMs) const;
    int WaitFd() const { return fds_[0]; }

private:
    int fds_[2] = {-1, -1};
};

}  // namespace platform
