#pragma once
// The base of everything the transport keeps in a list or a queue: an
// element with one link to the next element.

class object_t {
public:
    object_t() = default;
    virtual ~object_t() = default;
    object_t(const object_t&) = delete;
    object_t& operator=(const object_t&) = delete;

    virtual object_t* get_next() const { return next_; }
    virtual void set_next(object_t* next) { next_ = next; }

private:
    object_t* next_ = nullptr;
};
