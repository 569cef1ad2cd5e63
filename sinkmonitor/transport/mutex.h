#pragma once
// The command lock: recursive for the thread that holds it, waits without
// limit. lock_unless() is for a worker that must be able to give up while
// it is being stopped (it never takes the lock once `cancel` is set).
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

class mutex_t {
public:
    void lock() { m_.lock(); }
    void unlock() { m_.unlock(); }
    // Takes it only when no other thread holds it.
    bool try_lock() { return m_.try_lock(); }
    bool lock_unless(const std::atomic<bool>& cancel) {
        while (!cancel.load(std::memory_order_acquire)) {
            if (m_.try_lock()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

private:
    std::recursive_mutex m_;
};

// Holds a mutex_t for its lifetime (one command transaction). With a cancel
// flag it may end up not holding it: see held().
class mutexrequest_t {
public:
    explicit mutexrequest_t(mutex_t& m) : m_(m), held_(true) { m_.lock(); }
    mutexrequest_t(mutex_t& m, const std::atomic<bool>& cancel) : m_(m), held_(m.lock_unless(cancel)) {}
    ~mutexrequest_t() {
        if (held_) m_.unlock();
    }
    mutexrequest_t(const mutexrequest_t&) = delete;
    mutexrequest_t& operator=(const mutexrequest_t&) = delete;
    bool held() const { return held_; }

private:
    mutex_t& m_;
    bool held_;
};
