#include "sinkmonitor/transport/objectlist.h"

objectlist_t::objectlist_t() : previous_(&head_), current_(&head_) {}

objectlist_t::~objectlist_t() { clear(); }

size_t objectlist_t::count() {
    size_t n = 0;
    previous_ = current_ = &head_;
    while (object_t* next = current_->get_next()) {
        previous_ = current_;
        current_ = next;
        ++n;
    }
    return n;
}

// Steps i + 1 times from the sentinel; current_ is then element i and
// previous_ the element before it.
bool objectlist_t::seek(size_t i) {
    previous_ = &head_;
    current_ = head_.get_next();
    for (size_t k = 0; current_ && k < i; ++k) {
        previous_ = current_;
        current_ = current_->get_next();
    }
    return current_ != nullptr;
}

void objectlist_t::seek_tail() {
    previous_ = current_ = &head_;
    while (object_t* next = current_->get_next()) {
        previous_ = current_;
        current_ = next;
    }
}

object_t* objectlist_t::at(size_t i) { return seek(i) ? current_ : nullptr; }

void objectlist_t::append(object_t* element) {
    if (!element) return;
    seek_tail();
    current_->set_next(element);
}

void objectlist_t::release(object_t* element) {
    if (owning) {
        delete element;
    } else {
        element->set_next(nullptr);
    }
}

void objectlist_t::remove_at(size_t i) {
    if (!seek(i)) return;
    object_t* removed = current_;
    previous_->set_next(removed->get_next());
    current_ = previous_;
    release(removed);
}

void objectlist_t::clear() {
    while (object_t* first = head_.get_next()) {
        head_.set_next(first->get_next());
        release(first);
    }
    previous_ = current_ = &head_;
}
