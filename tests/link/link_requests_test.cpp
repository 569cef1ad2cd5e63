// Every request of the link against the simulated instrument: what goes out,
// what the reply gives, and the refused, invalid, short and silent cases.
#include <cstring>

#include "link_support.h"

namespace linktest {
namespace {

// Reply buffers, filled with a marker so that "nothing copied" shows.
struct Buffers {
    uint8_t b3[3], b84[84], b28[28], log[200], edid[128], one;
    uint16_t size;
    uint8_t params[20], block[128], colors[128], dut[12];
    Buffers() {
        std::memset(this, 0xCD, sizeof *this);
        for (int i = 0; i < 20; ++i) params[i] = static_cast<uint8_t>(0x40 + i);
        for (int i = 0; i < 128; ++i) block[i] = static_cast<uint8_t>(i * 3);
        for (int i = 0; i < 128; ++i) colors[i] = static_cast<uint8_t>(i + 1);
        for (int i = 0; i < 12; ++i) dut[i] = static_cast<uint8_t>(0xA0 + i);
    }
};

Bytes Cat(Bytes a, const uint8_t* p, size_t n) {
    a.insert(a.end(), p, p + n);
    return a;
}

struct RequestCase {
    const char* name;
    uint8_t code;        // the instrument's request code
    uint32_t timeoutMs;  // from the request to the earliest "no response"
    size_t replyData;    // data bytes of the reply after its two leading bytes
    std::function<void(sim::InstrumentSim&)> prepare;
    std::function<void(MV_Comm&, Buffers&, MV_Comm::Completion)> issue;
    std::function<Bytes(const Buffers&)> sent;
    LinkResult result;
    std::function<void(const Buffers&, sim::InstrumentSim&)> check;
};

const auto kNothing = [](sim::InstrumentSim&) {};
const auto kNoCheck = [](const Buffers&, sim::InstrumentSim&) {};

std::vector<RequestCase> Cases() {
    using B = Buffers;
    using C = MV_Comm::Completion;
    return {
        {"FirmwareVersion", 0x1C, 500, 3, [](sim::InstrumentSim& s) { s.SetFirmwareVersion("4A7"); },
         [](MV_Comm& l, B& b, C c) { l.QueryFirmwareVersion(b.b3, c); },
         [](const B&) {
             return Bytes{0x71, 0x1C};
         },
         LINK_OK, [](const B& b, sim::InstrumentSim&) { EXPECT_EQ(std::string(b.b3, b.b3 + 3), "4A7"); }},
        {"StartTest", 0x10, 4000, 0, kNothing, [](MV_Comm& l, B& b, C c) { l.StartTest(0x2C, 50, b.params, c); },
         [](const B& b) {
             return Cat({0x71, 0x10, 0x2C}, b.params, 20);
         },
         LINK_OK, kNoCheck},
        {"StartTestWithoutParameters", 0x10, 4000, 0, kNothing,
         [](MV_Comm& l, B&, C c) { l.StartTest(7, 50, nullptr, c); },
         [](const B&) {
             Bytes b{0x71, 0x10, 0x07};
             b.resize(23, 0);
             return b;
         },
         LINK_OK, kNoCheck},
        {"TestResult", 0x11, 4000, 84, [](sim::InstrumentSim& s) { s.SetTestResultBytes(Bytes(84, 'A')); },
         [](MV_Comm& l, B& b, C c) { l.QueryTestResult(b.b84, c); },
         [](const B&) {
             return Bytes{0x71, 0x11};
         },
         LINK_OK,
         [](const B& b, sim::InstrumentSim&) {
             EXPECT_EQ(b.b84[82], 'A');
             EXPECT_EQ(b.b84[83], 0);  // the text is terminated whatever the instrument sent
         }},
        {"LogSizeWithOverflow", 0x12, 4000, 3,
         [](sim::InstrumentSim& s) {
             s.SetLog(Bytes(300, 0x55));
             s.SetLogOverflow(true);
         },
         [](MV_Comm& l, B& b, C c) { l.QueryLogSize(&b.size, c); },
         [](const B&) {
             return Bytes{0x71, 0x12};
         },
         LINK_OK_LOG_OVERFLOW, [](const B& b, sim::InstrumentSim&) { EXPECT_EQ(b.size, 300); }},
        {"LogSize", 0x12, 4000, 3,
         [](sim::InstrumentSim& s) {
             s.SetLog(Bytes(5, 1));
             s.SetLogOverflow(false);
         },
         [](MV_Comm& l, B& b, C c) { l.QueryLogSize(&b.size, c); },
         [](const B&) {
             return Bytes{0x71, 0x12};
         },
         LINK_OK, [](const B& b, sim::InstrumentSim&) { EXPECT_EQ(b.size, 5); }},
        {"ReadLog", 0x13, 4000, 200,
         [](sim::InstrumentSim& s) {
             Bytes log(250);
             for (size_t i = 0; i < log.size(); ++i) log[i] = static_cast<uint8_t>(i);
             s.SetLog(log);
         },
         [](MV_Comm& l, B& b, C c) { l.ReadLog(b.log, 200, c); },
         [](const B&) {
             return Bytes{0x71, 0x13, 200};
         },
         LINK_OK,
         [](const B& b, sim::InstrumentSim& s) {
             EXPECT_EQ(b.log[0], 0);
             EXPECT_EQ(b.log[199], 199);
             EXPECT_EQ(s.LogUnread(), 50u);
         }},
        {"ClearLog", 0x14, 4000, 0, [](sim::InstrumentSim& s) { s.SetLog(Bytes(9, 1)); },
         [](MV_Comm& l, B&, C c) { l.ClearLog(c); },
         [](const B&) {
             return Bytes{0x71, 0x14};
         },
         LINK_OK, [](const B&, sim::InstrumentSim& s) { EXPECT_EQ(s.LogUnread(), 0u); }},
        {"LinkStatus", 0x19, 4200, 28,
         [](sim::InstrumentSim& s) {
             Bytes st(28);
             for (size_t i = 0; i < 28; ++i) st[i] = static_cast<uint8_t>(0x90 + i);
             s.SetLinkStatus(st);
         },
         [](MV_Comm& l, B& b, C c) { l.QueryLinkStatus(b.b28, c); },
         [](const B&) {
             return Bytes{0x71, 0x19};
         },
         LINK_OK,
         [](const B& b, sim::InstrumentSim&) {
             EXPECT_EQ(b.b28[0], 0x90);
             EXPECT_EQ(b.b28[27], 0x90 + 27);
         }},
        {"ReadEdidBlock", 0x16, 4000, 16,
         [](sim::InstrumentSim& s) {
             Bytes e(512);
             for (size_t i = 0; i < e.size(); ++i) e[i] = static_cast<uint8_t>(i ^ 0x5A);
             s.SetEdid(e);
         },
         [](MV_Comm& l, B& b, C c) { l.ReadEdidBlock(b.edid, 1, 16, 0x80, c); },
         [](const B&) {
             return Bytes{0x71, 0x16, 1, 0x80, 16};
         },
         LINK_OK,
         [](const B& b, sim::InstrumentSim&) {
             EXPECT_EQ(b.edid[0], static_cast<uint8_t>(384 ^ 0x5A));
             EXPECT_EQ(b.edid[15], static_cast<uint8_t>(399 ^ 0x5A));
             EXPECT_EQ(b.edid[16], 0xCD);  // only the count asked for
         }},
        {"WriteEdidBlock", 0x17, 6000, 0, kNothing,
         [](MV_Comm& l, B& b, C c) { l.WriteEdidBlock(b.block, 0, 0x80, c); },
         [](const B& b) {
             return Cat({0x71, 0x17, 0, 0x80, 0x80}, b.block, 128);
         },
         LINK_OK,
         [](const B& b, sim::InstrumentSim& s) {
             const Bytes e = s.Edid();
             ASSERT_GE(e.size(), 256u);
             EXPECT_EQ(Bytes(e.begin() + 128, e.begin() + 256), Bytes(b.block, b.block + 128));
         }},
        {"ReadDpcd", 0x1A, 4000, 1, [](sim::InstrumentSim& s) { s.SetDpcd(0x0202, 0x77); },
         [](MV_Comm& l, B& b, C c) { l.ReadDpcd(&b.one, 0x0202, c); },
         [](const B&) {
             return Bytes{0x71, 0x1A, 0x02, 0x02};
         },
         LINK_OK, [](const B& b, sim::InstrumentSim&) { EXPECT_EQ(b.one, 0x77); }},
        {"WriteDpcdLow16BitsOfAWiderAddress", 0x1B, 4000, 0, kNothing,
         [](MV_Comm& l, B&, C c) { l.WriteDpcd(0x5E, static_cast<uint16_t>(0x12345), c); },
         [](const B&) {
             return Bytes{0x71, 0x1B, 0x23, 0x45, 0x5E};
         },
         LINK_OK, [](const B&, sim::InstrumentSim& s) { EXPECT_EQ(s.Dpcd(0x2345), 0x5E); }},
        {"OperatorResponse", 0x1E, 4000, 0, kNothing, [](MV_Comm& l, B&, C c) { l.SendOperatorResponse(2, c); },
         [](const B&) {
             return Bytes{0x71, 0x1E, 2};
         },
         LINK_OK, [](const B&, sim::InstrumentSim& s) { EXPECT_EQ(s.LastOperatorResponse(), 2); }},
        {"LegacyProbeAnswered", 0xE0, 500, 0, [](sim::InstrumentSim& s) { s.SetLegacyFirmware(true); },
         [](MV_Comm& l, B&, C c) { l.ProbeLegacyFirmware(c); },
         [](const B&) {
             return Bytes{0xE0, 0xA2};
         },
         LINK_OK, kNoCheck},
        {"Colorimetry", 0x21, 4000, 0, kNothing, [](MV_Comm& l, B& b, C c) { l.SetColorimetry(128, b.colors, c); },
         [](const B& b) {
             return Cat({0x71, 0x21, 128}, b.colors, 128);
         },
         LINK_OK,
         [](const B& b, sim::InstrumentSim& s) { EXPECT_EQ(s.LastColorimetry(), Bytes(b.colors, b.colors + 128)); }},
        {"TestStatus", 0x35, 2000, 1, [](sim::InstrumentSim& s) { s.SetTestStatus(9); },
         [](MV_Comm& l, B& b, C c) { l.QueryTestStatus(&b.one, c); },
         [](const B&) {
             return Bytes{0x71, 0x35};
         },
         LINK_OK, [](const B& b, sim::InstrumentSim&) { EXPECT_EQ(b.one, 9); }},
        {"Channel", 0x36, 4000, 0, kNothing, [](MV_Comm& l, B&, C c) { l.SetChannel(3, c); },
         [](const B&) {
             return Bytes{0x71, 0x36, 3};
         },
         LINK_OK, [](const B&, sim::InstrumentSim& s) { EXPECT_EQ(s.LastChannel(), 3); }},
        {"DutConfig", 0x3A, 4000, 0, kNothing, [](MV_Comm& l, B& b, C c) { l.SetDutConfig(b.dut, c); },
         [](const B& b) {
             return Cat({0x71, 0x3A}, b.dut, 12);
         },
         LINK_OK, [](const B& b, sim::InstrumentSim& s) { EXPECT_EQ(s.LastDutConfig(), Bytes(b.dut, b.dut + 12)); }},
    };
}

using LinkRequests = LinkFixture;

TEST_F(LinkRequests, EveryRequestSendsItsPayloadAndTakesItsReply) {
    for (const auto& c : Cases()) {
        SCOPED_TRACE(c.name);
        Buffers b;
        c.prepare(sim);
        sim.ClearReceived();
        const Outcome out = Run([&](MV_Comm::Completion done) { c.issue(*link, b, done); });
        ASSERT_EQ(out.results, std::vector<LinkResult>{c.result});
        const auto got = sim.Received();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0], c.sent(b));
        c.check(b, sim);
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(LinkRequests, ARefusalEndsEveryRequestButTheTestStatusQuery) {
    for (const auto& c : Cases()) {
        if (c.code == 0x35) continue;  // refusals are waited out there (own tests)
        SCOPED_TRACE(c.name);
        Buffers b;
        c.prepare(sim);
        sim.SetFault(c.code, {sim::Fault::Refuse, 0, 1});
        const Outcome out = Run([&](MV_Comm::Completion done) { c.issue(*link, b, done); });
        EXPECT_EQ(out.results, std::vector<LinkResult>{LINK_REFUSED});
    }
}

TEST_F(LinkRequests, AReplyOfAnotherKindIsInvalid) {
    for (const auto& c : Cases()) {
        SCOPED_TRACE(c.name);
        Buffers b;
        const Buffers untouched;
        c.prepare(sim);
        sim.SetScript(c.code, {{{0x71, 0x99, 1, 2, 3}}});
        const Outcome out = Run([&](MV_Comm::Completion done) { c.issue(*link, b, done); });
        EXPECT_EQ(out.results, std::vector<LinkResult>{LINK_INVALID_RESPONSE});
        EXPECT_EQ(std::memcmp(&b, &untouched, sizeof b), 0) << "nothing is copied";
    }
}

TEST_F(LinkRequests, AReplyShorterThanItsDataIsInvalidAndCopiesNothing) {
    for (const auto& c : Cases()) {
        if (c.replyData == 0) continue;
        SCOPED_TRACE(c.name);
        Buffers b;
        const Buffers untouched;
        c.prepare(sim);
        sim.SetFault(c.code, {sim::Fault::Short, static_cast<uint32_t>(c.replyData - 1), 1});
        const Outcome out = Run([&](MV_Comm::Completion done) { c.issue(*link, b, done); });
        EXPECT_EQ(out.results, std::vector<LinkResult>{LINK_INVALID_RESPONSE});
        EXPECT_EQ(std::memcmp(&b, &untouched, sizeof b), 0);
    }
    // Also without a reply buffer, and a longer reply is cut.
    sim.SetScript(0x1C, {{{0x71, 0x1C, '1', '2'}}});
    EXPECT_EQ(Run([&](MV_Comm::Completion d) { link->QueryFirmwareVersion(nullptr, d); }).results,
              std::vector<LinkResult>{LINK_INVALID_RESPONSE});
    uint8_t v[4] = {0, 0, 0, 0xEE};
    sim.SetScript(0x1C, {{{0x71, 0x1C, '1', '2', '3', '4', '5'}}});
    EXPECT_EQ(Run([&](MV_Comm::Completion d) { link->QueryFirmwareVersion(v, d); }).results,
              std::vector<LinkResult>{LINK_OK});
    EXPECT_EQ(std::string(v, v + 3), "123");
    EXPECT_EQ(v[3], 0xEE);
}

// Every request against a silent instrument, all at once on links of their
// own: each ends with "no response", never before its time-out.
TEST(LinkSilence, EveryRequestEndsWithNoResponseAfterItsTimeout) {
    platform::SetGuiThreadToCurrent();
    platform::MessageBoxInterceptor boxes;
    const auto cases = Cases();
    struct Lane {
        sim::InstrumentSim sim;
        std::unique_ptr<MV_Comm> link;
        Buffers b;
        Outcome out;
    };
    std::vector<std::unique_ptr<Lane>> lanes;
    const auto t0 = Clock::now();
    for (const auto& c : cases) {
        auto lane = std::make_unique<Lane>();
        ASSERT_TRUE(lane->sim.Start());
        lane->sim.SetFault(c.code, {sim::Fault::Silent});
        lane->link = std::make_unique<MV_Comm>(MV_Comm::kModeSerial, 0, lane->sim.SlavePath());
        Lane* l = lane.get();
        c.issue(*l->link, l->b, [l, t0](LinkResult r) {
            l->out.results.push_back(r);
            l->out.elapsedMs = MsSince(t0);
        });
        lanes.push_back(std::move(lane));
    }
    platform::ServeGuiCallsUntil(
        [&] {
            for (auto& l : lanes)
                if (!l->out.Done()) return false;
            return true;
        },
        kGenerousMs);
    ServeFor(20);  // fixed, as it shows an absence: no second result
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(lanes[i]->out.results, std::vector<LinkResult>{LINK_NO_RESPONSE});
        // Never before its time-out. Later is bounded only by the generous
        // wait above, as a loaded machine adds to every wait; how long the
        // firmware version's 0.5 s takes is a figure of the link_latency
        // benchmark.
        EXPECT_GE(lanes[i]->out.elapsedMs, static_cast<long>(cases[i].timeoutMs)) << "timed out early";
    }
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(LinkRequests, CountsOverTheirLimitsFailInsideTheCall) {
    Buffers b;
    struct Limit {
        const char* name;
        std::function<void(MV_Comm::Completion)> over, at;
    } limits[] = {
        {"ReadLog", [&](auto c) { link->ReadLog(b.log, 201, c); }, [&](auto c) { link->ReadLog(b.log, 200, c); }},
        {"ReadEdid", [&](auto c) { link->ReadEdidBlock(b.edid, 0, 129, 0, c); },
         [&](auto c) { link->ReadEdidBlock(b.edid, 0, 128, 0, c); }},
        {"Colorimetry", [&](auto c) { link->SetColorimetry(129, b.colors, c); },
         [&](auto c) { link->SetColorimetry(128, b.colors, c); }},
    };
    for (const auto& l : limits) {
        SCOPED_TRACE(l.name);
        std::vector<LinkResult> inside;
        l.over([&](LinkResult r) { inside.push_back(r); });
        EXPECT_EQ(inside, std::vector<LinkResult>{LINK_INTERNAL_ERROR});
        EXPECT_EQ(Run(l.at).results, std::vector<LinkResult>{LINK_OK});
    }
    EXPECT_EQ(sim.Received().size(), 3u) << "nothing goes out for a count over its limit";
}

TEST_F(LinkRequests, TheFirmwareVersionRequestTakesOnlyABareRefusal) {
    uint8_t v[3] = {};
    sim.SetScript(0x1C, {{{0x0B}}});
    EXPECT_EQ(Run([&](auto d) { link->QueryFirmwareVersion(v, d); }).results, std::vector<LinkResult>{LINK_REFUSED});
    // 0B 01 is an unsolicited packet: dropped, and the wait goes on.
    sim.SetScript(0x1C, {{{0x0B, 0x01}}, {{0x71, 0x1C, '3', '4', '1'}, 50}});
    EXPECT_EQ(Run([&](auto d) { link->QueryFirmwareVersion(v, d); }).results, std::vector<LinkResult>{LINK_OK});
    EXPECT_EQ(std::string(v, v + 3), "341");
}

TEST_F(LinkRequests, TheLegacyProbeIsRefusedByBothRefusalForms) {
    for (const Bytes& refusal : {Bytes{0x0B}, Bytes{0x71, 0x0B}}) {
        sim.SetScript(0xE0, {{refusal}});
        EXPECT_EQ(Run([&](auto d) { link->ProbeLegacyFirmware(d); }).results, std::vector<LinkResult>{LINK_REFUSED});
    }
    sim.SetScript(0xE0, {{{0x0B, 0x05}}, {{0xE2, 0xA2}, 50}});
    EXPECT_EQ(Run([&](auto d) { link->ProbeLegacyFirmware(d); }).results, std::vector<LinkResult>{LINK_OK});
}

// The test's own 4.5 s, longer than the 4 s of a fresh link: a query that
// timed out on the fresh link's time-out would end too early.
TEST_F(LinkRequests, TheStoredTestTimeoutGovernsTheTestResultQuery) {
    EXPECT_EQ(Run([&](auto d) { link->StartTest(1, 45, nullptr, d); }).results, std::vector<LinkResult>{LINK_OK});
    sim.SetFault(0x11, {sim::Fault::Silent});
    const Outcome out = Run([&](auto d) { link->QueryTestResult(nullptr, d); });
    EXPECT_EQ(out.results, std::vector<LinkResult>{LINK_NO_RESPONSE});
    EXPECT_GE(out.elapsedMs, 4500) << "the test's own 4.5 s, not the 4 s of a fresh link";
}

TEST_F(LinkRequests, ADelayedStartIsSentAfterTheDelay) {
    uint8_t params[20] = {};
    const auto t0 = Clock::now();
    link->StartTestDelayed(1, 5, params, 40, [](LinkResult) {});
    ASSERT_TRUE(sim.WaitForReceived(0x10, 1, kGenerousMs));
    EXPECT_GE(MsSince(t0), 1000);
    ServeFor(200);  // serves what the start left behind; no outcome hangs on it
}

}  // namespace
}  // namespace linktest
