#pragma once
// A FIFO in the place of a file, for tests of code that must never open or
// read one so that it blocks. Nothing writes into it; an open for reading
// that waits would wait for ever. So that such a fault fails its test
// instead of hanging it, a watchdog thread, once a generous deadline has
// passed, keeps opening the FIFO for writing without blocking (which works
// only while a reader has it open) and closes it again: that ends the
// reader's wait with an empty read, and Released() then tells the test that
// the code under test was caught in the FIFO. Code that refuses the FIFO
// without opening it leaves Released() false whatever the machine's speed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

namespace test_support {

class TrapFifo {
public:
    static constexpr int kDeadlineMs = 20000;

    explicit TrapFifo(std::filesystem::path path, int deadlineMs = kDeadlineMs) : path_(std::move(path)) {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
        made_ = ::mkfifo(path_.c_str(), 0600) == 0;
        if (made_) watchdog_ = std::thread([this, deadlineMs] { Watch(deadlineMs); });
    }
    ~TrapFifo() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (watchdog_.joinable()) watchdog_.join();
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    TrapFifo(const TrapFifo&) = delete;
    TrapFifo& operator=(const TrapFifo&) = delete;

    bool Made() const { return made_; }
    const std::filesystem::path& Path() const { return path_; }
    // Whether a reader had the FIFO open after the deadline (and was let go).
    bool Released() const { return released_; }
    // Whether the FIFO is still there as a FIFO (not replaced by a file).
    bool StillAFifo() const {
        struct stat st {};
        return ::lstat(path_.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
    }

private:
    void Watch(int deadlineMs) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_for(lock, std::chrono::milliseconds(deadlineMs), [this] { return stop_; })) return;
        while (!wake_.wait_for(lock, std::chrono::milliseconds(10), [this] { return stop_; })) {
            const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                released_ = true;
                ::close(fd);
            }
        }
    }

    std::filesystem::path path_;
    bool made_ = false;
    std::atomic<bool> released_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread watchdog_;
};

}  // namespace test_support
