#pragma once
// The receive ring of a serial port: 2048 entries, so it holds at most 2047
// bytes (full when advancing the write index would reach the read index).
// The port's reader thread puts, the frame layer's receiver thread gets;
// a get waits for every byte with its own time-out. The byte count is the
// distance between the indices, so it always matches what is held.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

class ringbuffer_t {
public:
    static constexpr size_t kSize = 2048;

    // Stores bytes while there is room; returns how many were stored (the
    // rest is dropped).
    size_t put(const uint8_t* bytes, size_t count);
    // Takes up to count bytes, waiting up to msPerByte for each; returns how
    // many were taken.
    size_t get(uint8_t* destination, size_t count, unsigned msPerByte);
    void reset();
    size_t held();

private:
    size_t held_locked() const { return (write_ + kSize - read_) % kSize; }

    std::mutex lock_;
    std::condition_variable arrived_;
    uint8_t bytes_[kSize] = {};
    size_t write_ = 0;
    size_t read_ = 0;
};
