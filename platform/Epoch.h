#pragma once
#include <cstdint>
#include <memory>
#include <utility>

namespace platform {

// One answer to "has the thing this completion belongs to moved on?". An
// owner (a window, a run, a transfer, a link) keeps an Epoch; a completion,
// timer or posted function is stamped when it is made and runs only while the
// epoch is still the one it was stamped in and its owner still exists. The
// owner calls Advance() when the thing ends (a run ends, a link is freed, a
// window closes); every ticket stamped before is dropped from then on.
//
// GUI thread only: stamps are taken, checked and advanced on one thread.
class Epoch {
public:
    class Ticket {
    public:
        Ticket() = default;  // never current
        // True while the epoch it was stamped in is unchanged and its owner lives.
        bool Current() const {
            auto counter = counter_.lock();
            return counter && *counter == value_;
        }

    private:
        friend class Epoch;
        Ticket(std::weak_ptr<const uint64_t> counter, uint64_t value) : counter_(std::move(counter)), value_(value) {}
        std::weak_ptr<const uint64_t> counter_;
        uint64_t value_ = 0;
    };

    Epoch() = default;
    Epoch(const Epoch&) = delete;
    Epoch& operator=(const Epoch&) = delete;

    Ticket Stamp() const { return Ticket(counter_, *counter_); }
    // Drops every ticket stamped so far.
    void Advance() { ++*counter_; }

    // fn wrapped so that it runs (with whatever arguments it is called with)
    // only while the ticket stamped now is current; otherwise the call does nothing.
    template <class Fn>
    auto Guard(Fn fn) const {
        return [ticket = Stamp(), fn = std::move(fn)](auto&&... args) mutable {
            if (ticket.Current()) fn(std::forward<decltype(args)>(args)...);
        };
    }

private:
    std::shared_ptr<uint64_t> counter_ = std::make_shared<uint64_t>(0);
};

}  // namespace platform
