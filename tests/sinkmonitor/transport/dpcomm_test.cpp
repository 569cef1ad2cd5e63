// The frame layer: frame assembly from byte streams with gaps and noise,
// sorting into the two queues, debug-text formatting, the posted message,
// and stopping the receiver in every state.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "link/InstrumentFrame.h"
#include "platform/PseudoTerminal.h"
#include "sinkmonitor/transport/dpcomm.h"
#include "support/WaitUntil.h"

namespace {

constexpr int kWaitMs = 5000;  // a condition that does not come fails, never hangs
using ms = std::chrono::milliseconds;
using steady = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

Bytes Frame(const Bytes& payload) {
    uint8_t out[frame::kMaxFrame];
    const size_t n = frame::Build(payload.data(), payload.size(), out);
    return Bytes(out, out + n);
}

Bytes DebugFrame(const std::string& format, const Bytes& after) {
    Bytes p{0x0D};
    p.insert(p.end(), format.begin(), format.end());
    p.push_back(0);
    p.insert(p.end(), after.begin(), after.end());
    return Frame(p);
}

class SinkFrameLayer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Open());
        port = std::make_unique<serialport_t>("Sim", pty.SlavePath());
        ASSERT_TRUE(port->open());
        comm = std::make_unique<dpcomm_t>([this] { ++posts; }, port.get());
        ASSERT_TRUE(comm->start());
    }
    void TearDown() override {
        comm.reset();
        port.reset();
    }
    void Send(const Bytes& b) { pty.Write(b.data(), b.size()); }
    // Every response that arrives within the window, in order.
    std::vector<Bytes> Responses(unsigned firstWaitMs = 2000, unsigned nextWaitMs = 600) {
        std::vector<Bytes> out;
        uint8_t buf[256];
        unsigned wait = firstWaitMs;
        while (comm->wait_response(buf, wait)) {
            out.emplace_back(buf, buf + buf[0]);
            wait = nextWaitMs;
        }
        return out;
    }
    bool WaitDebugTexts(size_t n) {
        return WaitUntil([&] { return comm->debug_texts_waiting() >= n; }, kWaitMs);
    }
    std::string Format(const Bytes& frameBytes) {
        Send(frameBytes);
        EXPECT_TRUE(WaitDebugTexts(1));
        char text[dpcomm_t::kDebugTextBytes];
        std::memset(text, 'X', sizeof text);
        if (!comm->format_debug_text(text)) return "<none>";
        return text;
    }

    platform::PseudoTerminal pty;
    std::unique_ptr<serialport_t> port;
    std::unique_ptr<dpcomm_t> comm;
    std::atomic<int> posts{0};
};

struct Chunk {
    Bytes bytes;
    unsigned pauseAfterMs;
};

struct StreamCase {
    const char* name;
    std::vector<Chunk> chunks;
    std::vector<Bytes> responses;
    size_t debugTexts;
};

const Bytes kVersionReply = {0x04, 0x71, 0x1C, 0x6F};
const Bytes kOther = Frame({0x71, 0x22, 0x01, 0x00});
// A 10-byte response whose data bytes cannot pass for lengths of 3 or more.
const Bytes kTen = Frame({0x71, 0x2A, 1, 1, 1, 1, 1, 1});

std::vector<StreamCase> StreamCases() {
    Bytes badSum = kOther;
    badSum.back() ^= 0x01;
    Bytes tenHead(kTen.begin(), kTen.begin() + 5), tenTail(kTen.begin() + 5, kTen.end());
    return {
        {"one burst", {{kVersionReply, 0}}, {kVersionReply}, 0},
        {"stray zero before a frame", {{{0x00}, 0}, {kVersionReply, 0}}, {kVersionReply}, 0},
        {"wrong checksum, then a good frame", {{badSum, 0}, {kVersionReply, 0}}, {kVersionReply}, 0},
        {"two frames back to back", {{kVersionReply, 0}, {kOther, 0}}, {kVersionReply, kOther}, 0},
        {"frame split by a 300 ms gap is lost, the next one is found",
         {{tenHead, 300}, {tenTail, 500}, {kVersionReply, 0}},
         {kVersionReply},
         0},
        // Read in one piece or two, as the receiver happens to find them.
        {"frame written in two pieces is whole", {{tenHead, 0}, {tenTail, 0}}, {kTen}, 0},
        {"length below three is skipped", {{{0x02, 0xFE}, 0}, {kVersionReply, 0}}, {kVersionReply}, 0},
        {"unknown type 0x0E is dropped", {{Frame({0x0E, 1, 2}), 0}, {kVersionReply, 0}}, {kVersionReply}, 0},
        {"noise, a pause, then a frame",
         {{{0xFF, 0x13, 0x02, 0x00, 0x05}, 300}, {kVersionReply, 0}},
         {kVersionReply},
         0},
        {"debug text and response go to their own queues",
         {{DebugFrame("t=%u", {1, 0}), 0}, {kVersionReply, 0}},
         {kVersionReply},
         1},
    };
}

TEST_F(SinkFrameLayer, ByteStreamsGiveTheFramesTheyHold) {
    for (const auto& c : StreamCases()) {
        SCOPED_TRACE(c.name);
        for (const auto& chunk : c.chunks) {
            Send(chunk.bytes);
            // Fixed: the gap is what the case shows; a load can only lengthen it.
            if (chunk.pauseAfterMs) std::this_thread::sleep_for(ms(chunk.pauseAfterMs));
        }
        EXPECT_EQ(Responses(), c.responses);
        EXPECT_EQ(comm->debug_texts_waiting(), c.debugTexts);
        char text[dpcomm_t::kDebugTextBytes];
        while (comm->format_debug_text(text)) {}
    }
}

TEST_F(SinkFrameLayer, SendFrameWritesLengthTypePayloadAndChecksum) {
    const uint8_t payload[] = {0x1A, 0x00, 0x02};
    ASSERT_TRUE(comm->send_frame(payload, sizeof payload));
    Bytes got;
    const auto end = steady::now() + ms(3000);
    uint8_t buf[64];
    while (got.size() < 6 && steady::now() < end) {
        if (pty.WaitReadable(50) != platform::SerialPort::Wait::Readable) continue;
        long n = pty.ReadNow(buf, sizeof buf);
        if (n > 0) got.insert(got.end(), buf, buf + n);
    }
    EXPECT_EQ(got, (Bytes{0x06, 0x71, 0x1A, 0x00, 0x02, 0x6D}));
    EXPECT_FALSE(comm->send_frame(payload, 253));  // would not fit the length byte
}

struct TextCase {
    const char* name;
    Bytes frame;
    std::string text;
};

TEST_F(SinkFrameLayer, DebugTextsAreFormattedSafely) {
    const std::string longText(250, 'a');
    const std::vector<TextCase> cases = {
        {"decimal argument 0x1234", DebugFrame("v=%d", {0x34, 0x12}), "v=4660"},
        {"argument 0x0080", DebugFrame("v=%u!", {0x80, 0x00}), "v=128!"},
        {"no conversion", DebugFrame("ready", {0x34, 0x12}), "ready"},
        {"cut at 199 characters", DebugFrame(longText, {}), std::string(199, 'a')},
        // The checksum byte is not an argument byte: missing bytes count as 0.
        {"no argument bytes", DebugFrame("v=%u", {}), "v=0"},
        {"one argument byte", DebugFrame("v=%u", {0x05}), "v=5"},
        {"a string conversion is printed as it stands", DebugFrame("%s %d", {7, 0}), "%s 7"},
        {"two conversions use the one argument once", DebugFrame("%x %x", {0xAB, 0}), "ab %x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Format(c.frame), c.text);
    }
    char text[dpcomm_t::kDebugTextBytes];
    EXPECT_FALSE(comm->format_debug_text(text));  // none left
}

TEST_F(SinkFrameLayer, WaitingDebugTextsArePostedAgainUntilTaken) {
    Send(DebugFrame("hello", {}));
    ASSERT_TRUE(WaitDebugTexts(1));
    const int before = posts.load();
    EXPECT_TRUE(WaitUntil([&] { return posts.load() >= before + 3; }, kWaitMs));
    EXPECT_EQ(comm->debug_texts_waiting(), 1u);  // posting takes nothing
    char text[dpcomm_t::kDebugTextBytes];
    ASSERT_TRUE(comm->format_debug_text(text));
    EXPECT_STREQ(text, "hello");
    // Once taken, the posts stop. A cycle takes at most one frame and posts
    // before it reads: when a response has come through, the cycle that was
    // under way has posted if it was to; the cycle that takes the next
    // response began after the text was taken.
    uint8_t buf[256];
    Send(kVersionReply);
    ASSERT_TRUE(comm->wait_response(buf, 3000));
    const int after = posts.load();
    Send(kOther);
    ASSERT_TRUE(comm->wait_response(buf, 3000));
    EXPECT_EQ(posts.load(), after);
}

TEST_F(SinkFrameLayer, StopsOnASilentLineInAPartialFrameAndInNoise) {
    comm->stop();
    EXPECT_FALSE(comm->running());
    for (int state = 0; state < 3; ++state) {
        SCOPED_TRACE(state);
        ASSERT_TRUE(comm->start());
        std::atomic<bool> noise{state == 2};
        std::thread noiseMaker([&] {
            const Bytes junk = {0x05, 0x71, 0x01, 0x02, 0x03};  // wrong checksum, again and again
            while (noise.load()) {
                pty.Write(junk.data(), junk.size());
                std::this_thread::sleep_for(ms(1));
            }
        });
        if (state == 1) Send({0x20, 0x71, 0x01});  // the start of a 32-byte frame
        std::this_thread::sleep_for(ms(150));      // the receiver in that state, most likely; stop holds in any
        comm->stop();
        EXPECT_FALSE(comm->running());
        noise = false;
        noiseMaker.join();
        uint8_t buf[256];
        EXPECT_FALSE(comm->wait_response(buf, 0));  // no queues once stopped
    }
}

TEST_F(SinkFrameLayer, AfterHangUpTheReceiverWaitsForStopInsteadOfSpinning) {
    Send(DebugFrame("left behind", {}));
    ASSERT_TRUE(WaitDebugTexts(1));
    pty.Close();
    ASSERT_TRUE(WaitUntil([&] { return port->is_broken(); }, kWaitMs));
    const int before = posts.load();
    std::this_thread::sleep_for(ms(600));  // fixed, as it shows an absence: cycles that began now would post
    // A cycle that had looked at the port before it went down may post once
    // more; a receiver that kept starting cycles would post for the waiting
    // text in every one.
    EXPECT_LE(posts.load(), before + 1);
    comm->stop();
    EXPECT_FALSE(comm->running());
}

}  // namespace
