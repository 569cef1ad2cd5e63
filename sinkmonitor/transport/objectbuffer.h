#pragma once
// A blocking first-in-first-out queue of object_t for hand-over between
// threads. push hands the element to the queue, pop hands it to the caller,
// who destroys it. The count of waiting elements is the list itself, so it
// always matches the contents, also after a flush.
#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "sinkmonitor/transport/objectlist.h"

class objectbuffer_t {
public:
    objectbuffer_t() = default;
    ~objectbuffer_t();
    objectbuffer_t(const objectbuffer_t&) = delete;
    objectbuffer_t& operator=(const objectbuffer_t&) = delete;

    void push(object_t* element);
    // Waits up to ms for an element; the oldest one, removed from the queue,
    // or nullptr when none came in time.
    object_t* pop(unsigned ms);
    size_t count();
    // Destroys every queued element.
    void flush();

private:
    std::mutex lock_;
    std::condition_variable available_;
    objectlist_t list_;  // not owning: a pop hands the element over
};
