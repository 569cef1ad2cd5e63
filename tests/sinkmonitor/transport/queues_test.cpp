// Lists, blocking queues, the receive ring and the command lock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

#include "sinkmonitor/transport/mutex.h"
#include "sinkmonitor/transport/objectbuffer.h"
#include "sinkmonitor/transport/objectlist.h"
#include "sinkmonitor/transport/ringbuffer.h"

namespace {

using ms = std::chrono::milliseconds;
using steady = std::chrono::steady_clock;

// An element that counts its live instances, so leaks and double frees show.
struct Tracked : object_t {
    explicit Tracked(int v) : value(v) { ++alive; }
    ~Tracked() override { --alive; }
    int value;
    static inline std::atomic<int> alive{0};
};

int ValueAt(objectlist_t& l, size_t i) { return static_cast<Tracked*>(l.at(i))->value; }

TEST(SinkObjectList, EmptyListHasNoElements) {
    objectlist_t l;
    EXPECT_EQ(l.count(), 0u);
    EXPECT_EQ(l.at(0), nullptr);
    l.remove_at(0);  // nothing to remove: nothing happens
    EXPECT_EQ(l.count(), 0u);
}

TEST(SinkObjectList, AppendAtAndRemoveKeepOrder) {
    objectlist_t l;
    l.owning = true;
    for (int i = 0; i < 5; ++i) l.append(new Tracked(i));
    EXPECT_EQ(l.count(), 5u);
    EXPECT_EQ(ValueAt(l, 0), 0);
    EXPECT_EQ(ValueAt(l, 4), 4);
    EXPECT_EQ(l.at(5), nullptr);
    l.remove_at(2);  // middle
    l.remove_at(0);  // head
    l.remove_at(2);  // tail (was element 4)
    l.remove_at(7);  // beyond the end: nothing
    ASSERT_EQ(l.count(), 2u);
    EXPECT_EQ(ValueAt(l, 0), 1);
    EXPECT_EQ(ValueAt(l, 1), 3);
    l.append(new Tracked(9));  // appends after the new tail
    EXPECT_EQ(ValueAt(l, 2), 9);
    EXPECT_EQ(Tracked::alive.load(), 3);
    l.clear();
    EXPECT_EQ(l.count(), 0u);
    EXPECT_EQ(Tracked::alive.load(), 0);
}

TEST(SinkObjectList, RemovingFromANonOwningListDetachesTheElement) {
    Tracked a(1), b(2), c(3);
    {
        objectlist_t l;
        l.append(&a);
        l.append(&b);
        l.append(&c);
        l.remove_at(1);
        EXPECT_EQ(b.get_next(), nullptr);  // alive, unlinked
        EXPECT_EQ(ValueAt(l, 1), 3);
    }  // the list's end leaves a and c alive too
    EXPECT_EQ(Tracked::alive.load(), 3);
    EXPECT_EQ(a.get_next(), nullptr);
}

TEST(SinkObjectList, DestroyingAnOwningListFreesItsElements) {
    {
        objectlist_t l;
        l.owning = true;
        for (int i = 0; i < 3; ++i) l.append(new Tracked(i));
    }
    EXPECT_EQ(Tracked::alive.load(), 0);
}

TEST(SinkObjectBuffer, PopsInPushOrderAndCountsMatchContents) {
    objectbuffer_t q;
    for (int i = 0; i < 4; ++i) q.push(new Tracked(i));
    EXPECT_EQ(q.count(), 4u);
    for (int i = 0; i < 4; ++i) {
        object_t* e = q.pop(0);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(static_cast<Tracked*>(e)->value, i);
        EXPECT_EQ(e->get_next(), nullptr);
        delete e;
        EXPECT_EQ(q.count(), 3u - static_cast<size_t>(i));
    }
    EXPECT_EQ(q.pop(0), nullptr);
}

TEST(SinkObjectBuffer, FlushLeavesNoPhantomElements) {
    objectbuffer_t q;
    for (int i = 0; i < 3; ++i) q.push(new Tracked(i));
    q.flush();
    EXPECT_EQ(q.count(), 0u);
    EXPECT_EQ(Tracked::alive.load(), 0);
    // Nothing left to pop, and a later push is the only element.
    EXPECT_EQ(q.pop(50), nullptr);
    q.push(new Tracked(7));
    object_t* e = q.pop(0);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(static_cast<Tracked*>(e)->value, 7);
    delete e;
    EXPECT_EQ(q.pop(0), nullptr);
}

TEST(SinkObjectBuffer, DestroyingAQueueFreesWhatItHolds) {
    {
        objectbuffer_t q;
        for (int i = 0; i < 3; ++i) q.push(new Tracked(i));
    }
    EXPECT_EQ(Tracked::alive.load(), 0);
}

TEST(SinkObjectBuffer, PopWaitsForAPushFromAnotherThread) {
    objectbuffer_t q;
    std::thread producer([&] {
        std::this_thread::sleep_for(ms(100));  // most likely after the pop waits; either order passes
        q.push(new Tracked(42));
    });
    object_t* e = q.pop(10000);
    producer.join();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(static_cast<Tracked*>(e)->value, 42);
    delete e;
}

TEST(SinkObjectBuffer, PopTimesOutOnAnEmptyQueue) {
    objectbuffer_t q;
    const auto t0 = steady::now();
    EXPECT_EQ(q.pop(200), nullptr);
    EXPECT_GE(steady::now() - t0, ms(190));
}

TEST(SinkObjectBuffer, ManyProducersAndConsumersLoseNothing) {
    objectbuffer_t q;
    constexpr int kPerProducer = 500;
    std::atomic<long> sum{0};
    std::atomic<int> taken{0};
    std::vector<std::thread> threads;
    for (int p = 0; p < 3; ++p)
        threads.emplace_back([&, p] {
            for (int i = 0; i < kPerProducer; ++i) q.push(new Tracked(p * kPerProducer + i));
        });
    for (int c = 0; c < 2; ++c)
        threads.emplace_back([&] {
            while (taken.load() < 3 * kPerProducer) {
                if (object_t* e = q.pop(20)) {
                    sum += static_cast<Tracked*>(e)->value;
                    ++taken;
                    delete e;
                }
            }
        });
    for (auto& t : threads) t.join();
    const long n = 3 * kPerProducer;
    EXPECT_EQ(sum.load(), n * (n - 1) / 2);
    EXPECT_EQ(q.count(), 0u);
}

std::vector<uint8_t> Iota(size_t n, uint8_t first = 0) {
    std::vector<uint8_t> v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

TEST(SinkRingBuffer, HoldsAtMost2047BytesAndDropsTheRest) {
    ringbuffer_t r;
    const auto in = Iota(3000);
    EXPECT_EQ(r.put(in.data(), in.size()), 2047u);
    EXPECT_EQ(r.held(), 2047u);
    std::vector<uint8_t> out(3000);
    EXPECT_EQ(r.get(out.data(), 3000, 10), 2047u);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 2047, in.begin()));
    EXPECT_EQ(r.held(), 0u);
}

TEST(SinkRingBuffer, KeepsOrderAcrossTheWrap) {
    ringbuffer_t r;
    std::vector<uint8_t> out(2047);
    // Move the indices close to the end, then write across it.
    const auto first = Iota(2000);
    ASSERT_EQ(r.put(first.data(), first.size()), 2000u);
    ASSERT_EQ(r.get(out.data(), 2000, 10), 2000u);
    const auto second = Iota(1500, 7);
    ASSERT_EQ(r.put(second.data(), second.size()), 1500u);
    EXPECT_EQ(r.held(), 1500u);
    ASSERT_EQ(r.get(out.data(), 1500, 10), 1500u);
    EXPECT_TRUE(std::equal(second.begin(), second.end(), out.begin()));
}

TEST(SinkRingBuffer, ResetEmptiesItWithoutPhantomBytes) {
    ringbuffer_t r;
    const auto in = Iota(100);
    r.put(in.data(), in.size());
    r.reset();
    EXPECT_EQ(r.held(), 0u);
    uint8_t b[4];
    EXPECT_EQ(r.get(b, 1, 30), 0u);  // nothing counted that is not there
    const uint8_t x[] = {0xAA, 0xBB};
    r.put(x, 2);
    EXPECT_EQ(r.get(b, 4, 30), 2u);
    EXPECT_EQ(b[0], 0xAA);
    EXPECT_EQ(b[1], 0xBB);
}

TEST(SinkRingBuffer, TimeOutRestartsForEveryByte) {
    ringbuffer_t r;
    // Four bytes 600 ms apart: a 2000 ms per-byte time-out never runs out
    // (with room for a busy machine), although the whole read takes longer
    // than one time-out.
    std::thread producer([&] {
        for (uint8_t i = 0; i < 4; ++i) {
            std::this_thread::sleep_for(ms(600));  // fixed: the gap between bytes is what is tested
            r.put(&i, 1);
        }
    });
    uint8_t out[4] = {};
    EXPECT_EQ(r.get(out, 4, 2000), 4u);
    producer.join();
    EXPECT_EQ(out[3], 3);
    // A silent line ends the read within about one per-byte time-out.
    const auto t0 = steady::now();
    EXPECT_EQ(r.get(out, 3, 100), 0u);
    EXPECT_GE(steady::now() - t0, ms(90));
}

TEST(SinkCommandLock, IsRecursiveForItsHolderAndExcludesOthers) {
    mutex_t m;
    std::atomic<bool> otherHasIt{false};
    std::thread other;
    {
        mutexrequest_t outer(m);
        {
            mutexrequest_t inner(m);  // same thread: goes on at once
            other = std::thread([&] {
                mutexrequest_t r(m);
                otherHasIt = true;
            });
            std::this_thread::sleep_for(ms(100));  // fixed, as it shows an absence
            EXPECT_FALSE(otherHasIt.load());
        }
        std::this_thread::sleep_for(ms(100));  // fixed, as it shows an absence
        EXPECT_FALSE(otherHasIt.load());       // one lock still held
    }
    other.join();
    EXPECT_TRUE(otherHasIt.load());
}

TEST(SinkCommandLock, ACancelledWaitGivesUpWithoutTheLock) {
    mutex_t m;
    std::atomic<bool> cancel{false};
    std::atomic<int> result{-1};
    mutexrequest_t held(m);
    std::thread waiter([&] {
        mutexrequest_t r(m, cancel);
        result = r.held() ? 1 : 0;
    });
    std::this_thread::sleep_for(ms(50));  // most likely while the waiter waits; either order passes
    cancel = true;
    waiter.join();
    EXPECT_EQ(result.load(), 0);
}

}  // namespace
