#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "link/InstrumentFrame.h"

using Bytes = std::vector<uint8_t>;

namespace {
struct DequeSource {
    std::deque<uint8_t> q;
    size_t Available() { return q.size(); }
    uint8_t Peek(size_t i) { return q[i]; }
    void Consume(uint8_t* dst, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            if (dst) dst[i] = q.front();
            q.pop_front();
        }
    }
};
}  // namespace

TEST(InstrumentFrame, BuildsTheWorkedExamples) {
    const std::vector<std::pair<Bytes, Bytes>> cases = {
        {{0x71, 0x1C}, {0x04, 0x71, 0x1C, 0x6F}},
        {{0x09}, {0x03, 0x09, 0xF4}},
        {{0x71, 0x22}, {0x04, 0x71, 0x22, 0x69}},
        {{0xE0, 0xA2}, {0x04, 0xE0, 0xA2, 0x7A}},
        {{0x71, 0x0C}, {0x04, 0x71, 0x0C, 0x7F}},
        {{0x71, 0x0B}, {0x04, 0x71, 0x0B, 0x80}},
        {{0x0C}, {0x03, 0x0C, 0xF1}},
        {{0x10}, {0x03, 0x10, 0xED}},
        {{0x71, 0x1C, 0x33, 0x34, 0x31}, {0x07, 0x71, 0x1C, 0x33, 0x34, 0x31, 0xD4}},
        {{}, {0x02, 0xFE}},
    };
    for (const auto& [payload, want] : cases) {
        uint8_t out[frame::kMaxFrame];
        ASSERT_EQ(frame::Build(payload.data(), payload.size(), out), want.size());
        EXPECT_EQ(Bytes(out, out + want.size()), want);
    }
    Bytes big(254, 1);
    uint8_t out[300];
    EXPECT_EQ(frame::Build(big.data(), big.size(), out), 0u);
    EXPECT_EQ(frame::Build(big.data(), 253, out), 255u);
}

// Feeds the bytes, then calls Receive until it gives nothing more; lists the
// frames found and the bytes left over.
struct ScanCase {
    Bytes stream;
    std::vector<Bytes> frames;
    size_t left;
};

TEST(InstrumentFrame, ReceiveResynchronisesByteByByte) {
    const std::vector<ScanCase> cases = {
        {{0x00, 0x00, 0x04, 0x71, 0x1C, 0x6F}, {{0x04, 0x71, 0x1C, 0x6F}}, 0},
        // 05 is checked once five bytes are held, fails and is dropped.
        {{0x05, 0x04, 0x71, 0x1C, 0x6F}, {{0x04, 0x71, 0x1C, 0x6F}}, 0},
        {{0x05, 0x04, 0x71, 0x1C}, {}, 4},
        {{0x04, 0x71, 0x1C}, {}, 3},
        {{0x02, 0xFE, 0x04, 0x71, 0x0C, 0x7F}, {{0x02, 0xFE}, {0x04, 0x71, 0x0C, 0x7F}}, 0},
        {{0x01, 0x04, 0x71, 0x0B, 0x80}, {{0x04, 0x71, 0x0B, 0x80}}, 0},
        {{0x03, 0x0C, 0x00, 0x03, 0x0C, 0xF1}, {}, 5},  // 0C then waits for twelve bytes
    };
    for (const auto& c : cases) {
        DequeSource src{{c.stream.begin(), c.stream.end()}};
        std::vector<Bytes> got;
        for (int guard = 0; guard < 100 && src.Available(); ++guard) {
            uint8_t buf[frame::kMaxFrame];
            const size_t before = src.Available();
            size_t n = frame::Receive(src, buf);
            if (n) got.emplace_back(buf, buf + n);
            if (!n && src.Available() == before) break;
        }
        EXPECT_EQ(got, c.frames);
        EXPECT_EQ(src.Available(), c.left);
    }
}

TEST(InstrumentFrame, APartialFrameIsGivenUpOnlyWhenStalled) {
    DequeSource src{{0x04, 0x71, 0x1C}};
    uint8_t buf[frame::kMaxFrame];
    EXPECT_EQ(frame::Receive(src, buf, false), 0u);
    EXPECT_EQ(src.Available(), 3u);
    src.q.push_back(0x6F);
    EXPECT_EQ(frame::Receive(src, buf, false), 4u);

    DequeSource stalled{{0x09, 0x04, 0x71, 0x1C, 0x6F}};
    EXPECT_EQ(frame::Receive(stalled, buf, true), 0u);
    EXPECT_EQ(stalled.Available(), 4u);
    EXPECT_EQ(frame::Receive(stalled, buf, true), 4u);
}

TEST(InstrumentFrame, UnpackMovesThePayloadAndZeroesBehindIt) {
    uint8_t buf[8] = {0x07, 0x71, 0x1C, 0x33, 0x34, 0x31, 0xD4, 0xAA};
    EXPECT_EQ(frame::Unpack(buf, 7), 5u);
    EXPECT_EQ(Bytes(buf, buf + 8), (Bytes{0x71, 0x1C, 0x33, 0x34, 0x31, 0x00, 0x00, 0xAA}));
    uint8_t empty[2] = {0x02, 0xFE};
    EXPECT_EQ(frame::Unpack(empty, 2), 0u);
    uint8_t one[1] = {0x55};
    EXPECT_EQ(frame::Unpack(one, 1), 0u);
    EXPECT_EQ(one[0], 0);
}
