#include "sinkmonitor/transport/ringbuffer.h"

#include <chrono>

size_t ringbuffer_t::put(const uint8_t* bytes, size_t count) {
    if (!bytes) return 0;
    size_t stored = 0;
    {
        std::lock_guard lk(lock_);
        while (stored < count) {
            const size_t next = (write_ + 1) % kSize;
            if (next == read_) break;  // full: the rest is lost
            bytes_[write_] = bytes[stored++];
            write_ = next;
        }
    }
    if (stored) arrived_.notify_all();
    return stored;
}

size_t ringbuffer_t::get(uint8_t* destination, size_t count, unsigned msPerByte) {
    if (!destination) return 0;
    size_t taken = 0;
    std::unique_lock lk(lock_);
    while (taken < count) {
        // The time-out starts again for every byte.
        if (!arrived_.wait_for(lk, std::chrono::milliseconds(msPerByte), [&] { return write_ != read_; })) break;
        destination[taken++] = bytes_[read_];
        read_ = (read_ + 1) % kSize;
    }
    return taken;
}

void ringbuffer_t::reset() {
    std::lock_guard lk(lock_);
    write_ = read_ = 0;
}

size_t ringbuffer_t::held() {
    std::lock_guard lk(lock_);
    return held_locked();
}
