#include "sinkmonitor/transport/objectbuffer.h"

#include <chrono>

objectbuffer_t::~objectbuffer_t() { flush(); }

void objectbuffer_t::push(object_t* element) {
    if (!element) return;
    {
        std::lock_guard lk(lock_);
        element->set_next(nullptr);
        list_.append(element);
    }
    available_.notify_one();
}

object_t* objectbuffer_t::pop(unsigned ms) {
    std::unique_lock lk(lock_);
    // The wait releases the lock, so a waiting pop never blocks a push.
    if (!available_.wait_for(lk, std::chrono::milliseconds(ms), [&] { return !list_.empty(); })) return nullptr;
    object_t* first = list_.at(0);
    list_.remove_at(0);
    return first;
}

size_t objectbuffer_t::count() {
    std::lock_guard lk(lock_);
    return list_.count();
}

void objectbuffer_t::flush() {
    std::lock_guard lk(lock_);
    list_.owning = true;
    list_.clear();
    list_.owning = false;
}
