// A sequence run on the link's worker (the way the firmware update runs):
// frames and raw bytes out, payloads in with a time-out, print packets in
// between, and the owner's closures reached from the worker.
#include <atomic>
#include <mutex>

#include "link_support.h"

namespace linktest {
namespace {

// Answers 09 with 0C (after a print packet), takes 10 as the start of a raw
// block of 8 bytes and answers the block with 0C.
class BlockTaker : public sim::InstrumentSimExtension {
public:
    bool OnPayload(const uint8_t* p, size_t n, sim::InstrumentWire& wire) override {
        if (n == 1 && p[0] == 0x09) {
            const uint8_t print[] = {0x0D, 'R', 'A', 'M', ' ', '%', 'x', 0, 0xAD, 0x0B};
            wire.SendPayload(print, sizeof print);
            wire.SendPayload(&kAck, 1);
            return true;
        }
        if (n == 1 && p[0] == 0x10) {
            wanted_ = 8;
            return true;
        }
        return false;
    }
    size_t RawBytesWanted() const override { return wanted_; }
    void OnRawBytes(const uint8_t* p, size_t n, sim::InstrumentWire& wire) override {
        {
            std::lock_guard lk(mu_);
            raw_.insert(raw_.end(), p, p + n);
        }
        wanted_ -= n;
        if (wanted_ == 0) wire.SendPayload(&kAck, 1);
    }
    Bytes Raw() const {
        std::lock_guard lk(mu_);
        return raw_;
    }

private:
    static constexpr uint8_t kAck = 0x0C;
    size_t wanted_ = 0;  // the simulator's thread only
    mutable std::mutex mu_;
    Bytes raw_;
};

using LinkSequence = LinkFixture;

TEST_F(LinkSequence, AWorkerSequenceHasTheLineToItself) {
    BlockTaker taker;
    sim.SetExtension(&taker);
    link->SetShowPrintPackets(true);
    std::vector<uint32_t> starts, progress;
    link->SetOnUpdateStart([&](uint32_t total) { starts.push_back(total); });
    link->SetOnProgress([&](uint32_t sent) { progress.push_back(sent); });
    std::vector<LinkResult> busy;
    link->SetOnMessage([&](const std::string& text) {
        messages.push_back(text);
        // Another request while the sequence holds the link.
        link->ClearLog([&](LinkResult r) { busy.push_back(r); });
    });

    std::vector<Bytes> replies;
    bool timedOut = false;
    const Outcome out = Run([&](MV_Comm::Completion done) {
        link->RunWorkerSequence(
            [&](LinkWorkerHooks& line) {
                uint8_t buf[256];
                size_t n = 0;
                auto next = [&](uint32_t ms) {
                    for (;;) {
                        const auto r = line.ReceivePayload(buf, &n, ms);
                        if (r != LinkWorkerHooks::Receive::Payload) return r;
                        if (!(n == 1 && (buf[0] == 0x0C || buf[0] == 0x0B)) && line.HandleAsyncPacket(buf, n)) continue;
                        replies.emplace_back(buf, buf + n);
                        return r;
                    }
                };
                line.UpdateStart(8);
                const uint8_t debugOn = 0x09;
                if (!line.SendFrame(&debugOn, 1) || next(2000) != LinkWorkerHooks::Receive::Payload)
                    return LINK_NO_RESPONSE;
                line.Message("> step");
                const uint8_t header = 0x10;
                const uint8_t block[8] = {0, 1, 0, 0, 0, 0, 0, 2};
                line.SendFrame(&header, 1);
                line.SendRaw(block, sizeof block);
                line.Progress(8);
                if (next(5000) != LinkWorkerHooks::Receive::Payload) return LINK_NO_RESPONSE;
                timedOut = line.ReceivePayload(buf, &n, 300) == LinkWorkerHooks::Receive::TimedOut;
                return LINK_OK;
            },
            done);
    });
    EXPECT_EQ(out.results, std::vector<LinkResult>{LINK_OK});
    EXPECT_EQ(replies, (std::vector<Bytes>{{0x0C}, {0x0C}}));
    EXPECT_TRUE(timedOut);
    EXPECT_EQ(messages, (std::vector<std::string>{"RAM bad", "> step"}));
    EXPECT_EQ(busy, (std::vector<LinkResult>{LINK_BUSY, LINK_BUSY}));
    EXPECT_EQ(starts, std::vector<uint32_t>{8});
    EXPECT_EQ(progress, std::vector<uint32_t>{8});
    EXPECT_EQ(taker.Raw(), (Bytes{0, 1, 0, 0, 0, 0, 0, 2}));
    EXPECT_EQ(sim.CountReceived(0x14), 0u);
    sim.SetExtension(nullptr);

    // The link is idle again and serves the next request.
    uint8_t v[3] = {};
    EXPECT_EQ(Run([&](auto d) { link->QueryFirmwareVersion(v, d); }).results, std::vector<LinkResult>{LINK_OK});
}

TEST_F(LinkSequence, ASequenceIsEndedByDestroyingTheLinkWithoutACompletion) {
    std::atomic<bool> started{false};
    int calls = 0;
    link->RunWorkerSequence(
        [&](LinkWorkerHooks& line) {
            started = true;
            uint8_t buf[256];
            size_t n = 0;
            const uint8_t cmd = 0x09;  // nobody answers
            line.SendFrame(&cmd, 1);
            return line.ReceivePayload(buf, &n, 60000) == LinkWorkerHooks::Receive::Stopped ? LINK_OK
                                                                                            : LINK_NO_RESPONSE;
        },
        [&](LinkResult) { ++calls; });
    platform::ServeGuiCallsUntil([&] { return started.load(); }, kGenerousMs);
    const auto t0 = Clock::now();
    link.reset();
    EXPECT_LT(MsSince(t0), kGenerousMs) << "the worker stops without waiting out the sequence's 60 s";
    platform::ServeGuiCalls();  // the worker is gone: whatever it left waits now
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace linktest
