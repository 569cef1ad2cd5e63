#pragma once
// A singly linked list of object_t behind a sentinel head. With `owning`
// set, removing an element destroys it; otherwise removing only unlinks it.
// Not thread-safe: one thread at a time (objectbuffer_t adds the lock).
#include <cstddef>

#include "sinkmonitor/transport/object.h"

class objectlist_t {
public:
    objectlist_t();
    ~objectlist_t();
    objectlist_t(const objectlist_t&) = delete;
    objectlist_t& operator=(const objectlist_t&) = delete;

    size_t count();
    object_t* at(size_t i);
    void append(object_t* element);
    void remove_at(size_t i);
    void clear();
    bool empty() const { return head_.get_next() == nullptr; }

    bool owning = false;

private:
    bool seek(size_t i);
    void seek_tail();
    void release(object_t* element);

    object_t head_;  // sentinel; its next is the first element
    object_t* previous_ = nullptr;
    object_t* current_ = nullptr;
};
