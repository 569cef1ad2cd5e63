// The command set against the simulated sink: every command with its
// decoded reply, and NACK, silence, short, late and noisy replies.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <thread>

#include "platform/MessageBox.h"
#include "platform/MessageBoxInterceptor.h"
#include "sinkmonitor/transport/SinkLink.h"

namespace {

using ms = std::chrono::milliseconds;
using Bytes = std::vector<uint8_t>;
using sim::SinkFault;
using sim::SinkFaultPlan;

constexpr uint8_t kUntouched = 0xA5;

// One command as the tests drive it: `run` calls the operation with a
// destination that holds `dst` (pre-filled by the test) and copies the
// destination back, written or not.
struct Command {
    const char* name;
    uint8_t code;
    bool quiet;
    size_t replyBytes;  // fixed response data; 0: none
    std::function<bool(dpprotocol_t&, Bytes&)> run;
};

template <size_t N, class Op>
std::function<bool(dpprotocol_t&, Bytes&)> Into(Op op) {
    return [op](dpprotocol_t& p, Bytes& dst) {
        std::array<uint8_t, N> a;
        std::memcpy(a.data(), dst.data(), N);
        const bool ok = op(p, a);
        dst.assign(a.begin(), a.end());
        return ok;
    };
}

std::function<bool(dpprotocol_t&, Bytes&)> Byte(std::function<bool(dpprotocol_t&, uint8_t&)> op) {
    return [op](dpprotocol_t& p, Bytes& dst) {
        uint8_t v = dst[0];
        const bool ok = op(p, v);
        dst.assign(1, v);
        return ok;
    };
}

std::function<bool(dpprotocol_t&, Bytes&)> NoData(std::function<bool(dpprotocol_t&)> op) {
    return [op](dpprotocol_t& p, Bytes&) { return op(p); };
}

const std::vector<Command>& Commands() {
    static const std::vector<Command> all = {
        {"get_link_status", 0x15, false, 0,
         Into<17>([](dpprotocol_t& p, linkstatus_t& a) { return p.get_link_status(a); })},
        {"edid_read_block", 0x16, false, 128,
         Into<128>([](dpprotocol_t& p, edidblock_t& a) { return p.edid_read_block(0, 0x00, a); })},
        {"edid_write_block", 0x17, false, 0, NoData([](dpprotocol_t& p) {
             edidblock_t b;
             for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i);
             return p.edid_write_block(0, 0x80, b);
         })},
        {"dpcd_read", 0x1A, false, 1, Byte([](dpprotocol_t& p, uint8_t& v) { return p.dpcd_read(0x0100, v); })},
        {"dpcd_write", 0x1B, false, 0, NoData([](dpprotocol_t& p) { return p.dpcd_write(0x0102, 0x5A); })},
        {"get_firmware_version", 0x1C, false, 3,
         Into<3>([](dpprotocol_t& p, firmwareversion_t& a) { return p.get_firmware_version(a); })},
        {"get_hdcp_status", 0x22, true, 2,
         Into<2>([](dpprotocol_t& p, hdcpstatus_t& a) { return p.get_hdcp_status(a); })},
        {"set_sink_capabilities", 0x26, false, 0,
         NoData([](dpprotocol_t& p) { return p.set_sink_capabilities(2, 10, 0x80); })},
        {"get_msa", 0x27, true, 19, Into<19>([](dpprotocol_t& p, msarecord_t& a) { return p.get_msa(a); })},
        {"get_device_role", 0x28, true, 1, Byte([](dpprotocol_t& p, uint8_t& v) { return p.get_device_role(v); })},
        {"hpd_pulse", 0x29, false, 0, NoData([](dpprotocol_t& p) { return p.hpd_pulse(0x1234); })},
        {"get_video_crc", 0x2A, false, 6, Into<6>([](dpprotocol_t& p, videocrc_t& a) { return p.get_video_crc(a); })},
        {"get_error_counts", 0x2B, false, 8,
         Into<8>([](dpprotocol_t& p, errorcounts_t& a) { return p.get_error_counts(true, a); })},
        {"get_audio_status", 0x2D, false, 13,
         Into<13>([](dpprotocol_t& p, audiostatus_t& a) { return p.get_audio_status(a); })},
        {"get_sdp", 0x2E, true, 33, Into<33>([](dpprotocol_t& p, sdprecord_t& a) { return p.get_sdp(a); })},
        {"set_aux_output_level", 0x31, false, 0, NoData([](dpprotocol_t& p) { return p.set_aux_output_level(0x2A); })},
        {"aux_sensitivity_step", 0x38, false, 1,
         Byte([](dpprotocol_t& p, uint8_t& v) { return p.aux_sensitivity_step(400, v); })},
    };
    return all;
}

const Command& ByName(const std::string& name) {
    for (const auto& c : Commands())
        if (name == c.name) return c;
    throw std::runtime_error("no command " + name);
}

class SinkProtocol : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(link.Connect()); }
    Bytes Run(const Command& c, bool* ok = nullptr) {
        Bytes dst(std::max<size_t>(c.replyBytes, 17), kUntouched);
        const bool r = c.run(link.protocol, dst);
        if (ok) *ok = r;
        return dst;
    }
    SinkLink link;
};

// --- every command and what it decodes -------------------------------------

struct Decoded {
    const char* name;
    Bytes expected;                                      // destination after success (none: no data)
    std::function<void(sim::SinkSim&)> check = nullptr;  // what the sink was told
    Bytes request = {};                                  // the payload the sink received
};

TEST_F(SinkProtocol, EveryCommandGetsItsReply) {
    auto& s = link.sim;
    s.SetDpcd(0x0100, 0x99);
    s.SetDpcd(0x0001, 0x11);  // a byte-swapped address would read this one
    s.SetErrorCounts({1, 2, 3, 0x400});
    s.SetAuxThreshold(300);
    s.QueueSdp(0x82, 0x07, 0x02, {0xDE, 0xAD});
    s.SetFirmwareVersion("2.5");
    s.SetDeviceRole(0);
    Bytes sdp(33, 0);
    sdp[0] = 1, sdp[1] = 0x82, sdp[2] = 0x07, sdp[3] = 0x02, sdp[4] = 2, sdp[5] = 0xDE, sdp[6] = 0xAD;
    const auto edid = sim::SinkSim::DefaultEdidBlock();
    Bytes edidWrite(128);
    for (size_t i = 0; i < 128; ++i) edidWrite[i] = static_cast<uint8_t>(i);
    Bytes edidWriteReq = {0x17, 0x00, 0x80, 0x80};
    edidWriteReq.insert(edidWriteReq.end(), edidWrite.begin(), edidWrite.end());

    const std::vector<Decoded> table = {
        {"get_link_status", {0x77, 0x77, 0, 0, 0, 0, 0, 0, 0, 0, 4, 20, 1, 0, 1, 0, 0}, nullptr, {0x15}},
        {"edid_read_block", Bytes(edid.begin(), edid.end()), nullptr, {0x16, 0x00, 0x00, 0x80}},
        {"edid_write_block",
         {},
         [&](sim::SinkSim& sk) {
             std::array<uint8_t, 128> b{};
             ASSERT_TRUE(sk.EdidBlock(1, b));
             EXPECT_EQ(Bytes(b.begin(), b.end()), edidWrite);
         },
         edidWriteReq},
        {"dpcd_read", {0x99}, nullptr, {0x1A, 0x01, 0x00}},
        {"dpcd_write", {}, [](sim::SinkSim& sk) { EXPECT_EQ(sk.Dpcd(0x0102), 0x5A); }, {0x1B, 0x01, 0x02, 0x5A}},
        {"get_firmware_version", {'2', '.', '5'}, nullptr, {0x1C}},
        {"get_hdcp_status", {1, 0}, nullptr, {0x22}},
        {"set_sink_capabilities",
         {},
         [](sim::SinkSim& sk) {
             EXPECT_EQ(sk.SinkCapabilities(), (std::array<uint8_t, 3>{2, 10, 0x80}));
         },
         {0x26, 2, 10, 0x80}},
        {"get_msa",
         {0x01, 0x20, 0x00, 0x98, 0x08, 0xC0, 0x00, 0x80, 0x07, 0x2C, 0x00, 0x65, 0x04, 0x29, 0x00, 0x38, 0x04, 0x05,
          0x00},
         nullptr,
         {0x27}},
        {"get_device_role", {0}, nullptr, {0x28}},
        {"hpd_pulse",
         {},
         [](sim::SinkSim& sk) { EXPECT_EQ(sk.HpdPulses(), std::vector<uint16_t>{0x1234}); },
         {0x29, 0x34, 0x12}},
        {"get_video_crc", {0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A}, nullptr, {0x2A}},
        {"get_error_counts",
         {1, 0, 2, 0, 3, 0, 0x00, 0x04},
         [](sim::SinkSim& sk) {
             EXPECT_EQ(sk.ErrorCounts(), (std::array<uint16_t, 4>{0, 0, 0, 0}));
         },
         {0x2B, 1}},
        {"get_audio_status", {2, 2, 16, 0x80, 0xBB, 0x00, 0x00, 0x04, 0x00, 0x00, 0x02, 0x02, 0x00}, nullptr, {0x2D}},
        {"get_sdp", sdp, [](sim::SinkSim& sk) { EXPECT_EQ(sk.SdpWaiting(), 0u); }, {0x2E}},
        {"set_aux_output_level", {}, [](sim::SinkSim& sk) { EXPECT_EQ(sk.AuxOutputLevel(), 0x2A); }, {0x31, 0x2A}},
        {"aux_sensitivity_step", {0}, nullptr, {0x38, 0x90, 0x01}},
    };
    ASSERT_EQ(table.size(), Commands().size());
    for (const auto& d : table) {
        SCOPED_TRACE(d.name);
        const Command& c = ByName(d.name);
        bool ok = false;
        Bytes got = Run(c, &ok);
        ASSERT_TRUE(ok);
        if (!d.expected.empty()) {
            got.resize(d.expected.size());
            EXPECT_EQ(got, d.expected);
        }
        if (d.check) d.check(link.sim);
        const auto cmds = link.sim.Commands();
        ASSERT_FALSE(cmds.empty());
        EXPECT_EQ(cmds.back(), d.request);
    }
    EXPECT_TRUE(link.Messages().empty());
}

TEST_F(SinkProtocol, AuxStepReportsAFailingLevel) {
    link.sim.SetAuxThreshold(300);
    uint8_t result = 0xEE;
    ASSERT_TRUE(link.protocol.aux_sensitivity_step(200, result));
    EXPECT_NE(result, 0);
    ASSERT_TRUE(link.protocol.aux_sensitivity_step(300, result));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(link.sim.AuxSteps(), (std::vector<uint16_t>{200, 300}));
}

TEST_F(SinkProtocol, LinkStatusTakesWhatCameIntoARecordOfFF) {
    struct Case {
        const char* name;
        size_t sent;
        Bytes expected;
    };
    Bytes twenty(20);
    for (size_t i = 0; i < 20; ++i) twenty[i] = static_cast<uint8_t>(i + 1);
    Bytes fifteen(twenty.begin(), twenty.begin() + 15);
    Bytes fifteenExpected = fifteen;
    fifteenExpected.insert(fifteenExpected.end(), {0xFF, 0xFF});
    const std::vector<Case> cases = {
        {"15 bytes leave bytes 15 and 16 at FF", 15, fifteenExpected},
        {"more than 17 are cut to 17", 20, Bytes(twenty.begin(), twenty.begin() + 17)},
        {"no data gives all FF", 0, Bytes(17, 0xFF)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        link.sim.SetLinkStatus(Bytes(twenty.begin(), twenty.begin() + static_cast<long>(c.sent)));
        linkstatus_t rec;
        rec.fill(0);
        ASSERT_TRUE(link.protocol.get_link_status(rec));
        EXPECT_EQ(Bytes(rec.begin(), rec.end()), c.expected);
    }
}

// --- faults, for every command ----------------------------------------------

class SinkProtocolFaults : public SinkProtocol, public ::testing::WithParamInterface<Command> {};

void ExpectFailure(SinkLink& link, const Command& c, const Bytes& dst, bool ok, const char* text) {
    EXPECT_FALSE(ok);
    for (uint8_t b : dst) ASSERT_EQ(b, kUntouched) << "destination written by a failed command";
    if (c.quiet) {
        EXPECT_TRUE(link.Messages().empty());
    } else {
        EXPECT_EQ(link.Messages(), std::vector<std::string>{text});
    }
}

TEST_P(SinkProtocolFaults, NackFailsWithItsText) {
    const Command& c = GetParam();
    link.sim.InjectFault(SinkFaultPlan::Of(SinkFault::Nack, c.code));
    bool ok = true;
    Bytes dst = Run(c, &ok);
    ExpectFailure(link, c, dst, ok, dpprotocol_t::kTextNack);
    // The next command is answered normally.
    link.ClearMessages();
    Run(c, &ok);
    EXPECT_TRUE(ok);
}

class SinkShortReplies : public SinkProtocolFaults {};

TEST_P(SinkShortReplies, ShortReplyFailsAndShowsNoStaleBytes) {
    const Command& c = GetParam();
    // Fill the last-response buffer with a long reply first, so stale bytes
    // would be at hand.
    linkstatus_t rec;
    ASSERT_TRUE(link.protocol.get_link_status(rec));
    link.sim.InjectFault(SinkFaultPlan::Short(c.code, c.replyBytes - 1));
    bool ok = true;
    Bytes dst = Run(c, &ok);
    ExpectFailure(link, c, dst, ok, dpprotocol_t::kTextTooShort);
}

TEST_P(SinkProtocolFaults, NoiseBeforeTheReplyIsSkipped) {
    const Command& c = GetParam();
    link.sim.InjectFault(SinkFaultPlan::Noisy(c.code, {0x00, 0x01, 0x02, 0x05, 0x71, 0x00}));
    bool ok = false;
    Run(c, &ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(link.Messages().empty());
}

class SinkSilence : public SinkProtocolFaults {};

TEST_P(SinkSilence, SilenceTimesOut) {
    const Command& c = GetParam();
    link.sim.InjectFault(SinkFaultPlan::Of(SinkFault::Silence, c.code));
    bool ok = true;
    Bytes dst = Run(c, &ok);
    ExpectFailure(link, c, dst, ok, dpprotocol_t::kTextTimedOut);
}

std::vector<Command> CommandsWhere(const std::function<bool(const Command&)>& keep) {
    std::vector<Command> out;
    for (const auto& c : Commands())
        if (keep(c)) out.push_back(c);
    return out;
}

std::string CommandName(const ::testing::TestParamInfo<Command>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(AllCommands, SinkProtocolFaults, ::testing::ValuesIn(Commands()), CommandName);
INSTANTIATE_TEST_SUITE_P(WithFixedReply, SinkShortReplies,
                         ::testing::ValuesIn(CommandsWhere([](const Command& c) { return c.replyBytes > 0; })),
                         CommandName);
// The E-EDID write waits 20 s; its long time-out is shown by a late reply that
// it still takes (LongCommandsWaitBeyondTwoSeconds).
INSTANTIATE_TEST_SUITE_P(AllButTheEdidWrite, SinkSilence,
                         ::testing::ValuesIn(CommandsWhere([](const Command& c) { return c.code != 0x17; })),
                         CommandName);

// --- late replies: a reply belongs to a command by its place in the order ---

const Command kReadOf0002 = {"dpcd_read_0002", 0x1A, false, 1,
                             Byte([](dpprotocol_t& p, uint8_t& v) { return p.dpcd_read(0x0002, v); })};

TEST_F(SinkProtocol, TheNextCommandIsSentOnlyOnceALateReplyHasComeAndBeenDropped) {
    link.WaitPatientlyForLateReplies();
    struct Case {
        const char* name;
        const char* next;
        Bytes expected;
        std::vector<std::string> wire;
    };
    // DPCD 0001 holds 0x14, 0002 holds 0x84. The late reply carries the same
    // command code as a read of the next register, or another one.
    const std::vector<Case> cases = {
        {"a read of the next register", "dpcd_read_0002", {0x84}, {"> 1A 00 01", "< 1A 14", "> 1A 00 02", "< 1A 84"}},
        {"another command",
         "get_firmware_version",
         {'1', '0', '7'},
         {"> 1A 00 01", "< 1A 14", "> 1C", "< 1C 31 30 37"}},
        {"a quiet query of the poller", "get_device_role", {1}, {"> 1A 00 01", "< 1A 14", "> 28", "< 28 01"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        link.ClearMessages();
        const size_t wireFrom = link.sim.Wire().size();
        link.sim.InjectFault(SinkFaultPlan::Held(0x1A));
        uint8_t v = kUntouched;
        EXPECT_FALSE(link.protocol.dpcd_read(0x0001, v));  // times out after 2 s; its reply is held
        EXPECT_EQ(v, kUntouched);
        ASSERT_TRUE(link.sim.ReplyHeld());
        bool ok = false;
        Bytes got;
        std::thread next([&] {
            const Command& cmd = std::string(c.next) == "dpcd_read_0002" ? kReadOf0002 : ByName(c.next);
            got = Run(cmd, &ok);
        });
        // The next command holds the lock while it waits for the late reply
        // (or, if it did not wait, while it waits for its own); then the
        // late reply comes.
        ASSERT_TRUE(SinkLink::WaitFor([&] { return link.Busy(); }));
        link.sim.ReleaseHeld();
        next.join();
        EXPECT_TRUE(ok);
        got.resize(c.expected.size());
        EXPECT_EQ(got, c.expected);
        const auto wire = link.sim.Wire();
        EXPECT_EQ(std::vector<std::string>(wire.begin() + static_cast<long>(wireFrom), wire.end()), c.wire);
        EXPECT_EQ(link.Messages(), std::vector<std::string>{dpprotocol_t::kTextTimedOut});
    }
}

TEST_F(SinkProtocol, AReplyThatNeverComesHoldsTheNextCommandBackForTheTimedOutCommandsTimeOut) {
    link.sim.InjectFault(SinkFaultPlan::Of(SinkFault::Silence, 0x1A));
    uint8_t v = kUntouched;
    EXPECT_FALSE(link.protocol.dpcd_read(0x0001, v));
    const auto timedOut = std::chrono::steady_clock::now();
    ASSERT_TRUE(link.protocol.dpcd_read(0x0002, v));
    EXPECT_EQ(v, 0x84);
    // Sent once the line had been quiet after the time-out for as long as
    // the read had waited for its own reply.
    EXPECT_GE(std::chrono::steady_clock::now() - timedOut, ms(2000));
    EXPECT_EQ(link.WireOrder(), (std::vector<std::string>{"> 1A", "> 1A", "< 1A"}));
    EXPECT_EQ(link.Messages(), std::vector<std::string>{dpprotocol_t::kTextTimedOut});
}

// A reply later than its command's time-out by more than a second: the next
// command goes out only once it has come and been dropped, and gets its own
// reply. The rows of the E-EDID block write (20 s time-out) take about 25 s
// each.
struct LateCase {
    const char* name;
    const char* timedOut;  // the command whose reply comes late
    uint8_t code;
    unsigned timeoutMs;
    unsigned lateByMs;  // after the time-out
    const char* next;
    uint8_t nextCode;
    Bytes expected;  // what the next command gets
};
void PrintTo(const LateCase& c, std::ostream* os) { *os << c.name; }

// DPCD 0001 holds 0x14 and 0002 holds 0x84; the link status is the one the
// test sets. A DPCD read answered 3 s after its 2 s time-out is left out:
// the next command waits 2 s for it, and by their order alone a reply that
// comes after that cannot be told from the next command's own.
const Bytes kLinkStatus = {0x77, 0x17, 0, 1, 2, 3, 3, 2, 1, 0, 4, 20, 1, 0, 1, 0, 0};
const LateCase kLateCases[] = {
    {"DpcdRead_By1500", "dpcd_read_0001", 0x1A, 2000, 1500, "dpcd_read_0002", 0x1A, {0x84}},
    {"EdidWrite_By1500", "edid_write_block", 0x17, 20000, 1500, "get_link_status", 0x15, kLinkStatus},
    {"EdidWrite_By3000", "edid_write_block", 0x17, 20000, 3000, "get_link_status", 0x15, kLinkStatus},
    {"AuxStep_By1500", "aux_sensitivity_step", 0x38, 7500, 1500, "dpcd_read_0002", 0x1A, {0x84}},
    {"AuxStep_By3000", "aux_sensitivity_step", 0x38, 7500, 3000, "dpcd_read_0002", 0x1A, {0x84}},
};

std::string Hex(uint8_t code) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", code);
    return text;
}

const Command kReadOf0001 = {"dpcd_read_0001", 0x1A, false, 1,
                             Byte([](dpprotocol_t& p, uint8_t& v) { return p.dpcd_read(0x0001, v); })};

const Command& LateCaseCommand(const std::string& name) {
    if (name == kReadOf0001.name) return kReadOf0001;
    if (name == kReadOf0002.name) return kReadOf0002;
    return ByName(name);
}

class SinkProtocolLateReply : public SinkProtocol, public ::testing::WithParamInterface<LateCase> {};

TEST_P(SinkProtocolLateReply, TheNextCommandGetsItsOwnReply) {
    const LateCase& c = GetParam();
    link.sim.SetLinkStatus(kLinkStatus);
    link.sim.InjectFault(SinkFaultPlan::Late(c.code, c.timeoutMs + c.lateByMs));
    bool ok = true;
    Run(LateCaseCommand(c.timedOut), &ok);
    EXPECT_FALSE(ok);
    Bytes got = Run(LateCaseCommand(c.next), &ok);
    EXPECT_TRUE(ok);
    got.resize(c.expected.size());
    EXPECT_EQ(got, c.expected);
    // The late reply went out before the next command came.
    const std::string late = Hex(c.code), next = Hex(c.nextCode);
    EXPECT_EQ(link.WireOrder(), (std::vector<std::string>{"> " + late, "< " + late, "> " + next, "< " + next}));
    EXPECT_EQ(link.Messages(), std::vector<std::string>{dpprotocol_t::kTextTimedOut});
}

INSTANTIATE_TEST_SUITE_P(ByTimedOutCommand, SinkProtocolLateReply, ::testing::ValuesIn(kLateCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SinkProtocol, AfterTwoTimeOutsInARowTheNextCommandWaitsAsLongAsTheLastOne) {
    // The DPCD read's reply never comes; the AUX level's comes 3 s after its
    // 7.5 s time-out, later than the read's 2 s time-out would wait.
    link.sim.InjectFault(SinkFaultPlan::Of(SinkFault::Silence, 0x1A));
    link.sim.InjectFault(SinkFaultPlan::Late(0x38, 7500 + 3000));
    uint8_t v = kUntouched;
    EXPECT_FALSE(link.protocol.dpcd_read(0x0001, v));
    uint8_t result = kUntouched;
    EXPECT_FALSE(link.protocol.aux_sensitivity_step(400, result));
    EXPECT_EQ(result, kUntouched);
    ASSERT_TRUE(link.protocol.dpcd_read(0x0002, v));
    EXPECT_EQ(v, 0x84);
    EXPECT_EQ(link.WireOrder(), (std::vector<std::string>{"> 1A", "> 38", "< 38", "> 1A", "< 1A"}));
    EXPECT_EQ(link.Messages(), std::vector<std::string>(2, dpprotocol_t::kTextTimedOut));
}

TEST_F(SinkProtocol, ABrokenPortEndsTheWaitForALateReplyAtOnce) {
    link.WaitPatientlyForLateReplies();
    link.sim.InjectFault(SinkFaultPlan::Held(0x1A));
    uint8_t v = kUntouched;
    EXPECT_FALSE(link.protocol.dpcd_read(0x0001, v));
    link.sim.HangUp();
    ASSERT_TRUE(SinkLink::WaitFor([&] { return link.protocol.port_lost(); }));
    // The next command fails without waiting out the patient bound (only a
    // hang takes half of it).
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_FALSE(link.protocol.dpcd_read(0x0002, v));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, ms(SinkLink::kPatientMs / 2));
    EXPECT_EQ(v, kUntouched);
    EXPECT_EQ(link.Messages(), (std::vector<std::string>{dpprotocol_t::kTextTimedOut, dpprotocol_t::kTextSendFailed}));
}

TEST_F(SinkProtocol, ANewConnectionOwesNoLateReplyOfTheLastOne) {
    link.WaitPatientlyForLateReplies();
    link.sim.InjectFault(SinkFaultPlan::Of(SinkFault::Silence, 0x1A));
    uint8_t v = kUntouched;
    EXPECT_FALSE(link.protocol.dpcd_read(0x0001, v));
    ASSERT_TRUE(link.protocol.close());
    ASSERT_TRUE(link.protocol.open(link.port.get()));
    // Sent without waiting out the patient bound (only a hang takes half of
    // it).
    const auto asked = std::chrono::steady_clock::now();
    ASSERT_TRUE(link.protocol.dpcd_read(0x0002, v));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, ms(SinkLink::kPatientMs / 2));
    EXPECT_EQ(v, 0x84);
}

TEST_F(SinkProtocol, LongCommandsWaitBeyondTwoSeconds) {
    link.sim.InjectFault(SinkFaultPlan::Late(0x17, 3000));
    link.sim.InjectFault(SinkFaultPlan::Late(0x38, 3000));
    edidblock_t b{};
    EXPECT_TRUE(link.protocol.edid_write_block(0, 0x00, b));
    uint8_t r = 0xEE;
    EXPECT_TRUE(link.protocol.aux_sensitivity_step(1200, r));
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(link.Messages().empty());
}

TEST_F(SinkProtocol, WithoutAPortEveryCommandShowsTheBoxAndLogs) {
    platform::MessageBoxInterceptor boxes;
    dpprotocol_t unconnected;
    std::vector<std::string> messages;
    unconnected.set_message_callback([&](const std::string& t) { messages.push_back(t); });
    for (const char* name : {"dpcd_read", "get_msa"}) {  // a quiet one too
        SCOPED_TRACE(name);
        Bytes dst(33, kUntouched);
        EXPECT_FALSE(ByName(name).run(unconnected, dst));
        EXPECT_EQ(dst[0], kUntouched);
    }
    EXPECT_EQ(messages, std::vector<std::string>(2, dpprotocol_t::kTextPortNotSet));
    const auto shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "Communication port not set.");
    EXPECT_EQ(shown[0].title, "Error");
    EXPECT_EQ(shown[0].icon, platform::MsgIcon::Error);
    EXPECT_FALSE(unconnected.close());
}

TEST_F(SinkProtocol, OpenTwiceFailsAndCloseEndsTheConnection) {
    EXPECT_FALSE(link.protocol.open(link.port.get()));
    EXPECT_TRUE(link.protocol.close());
    EXPECT_FALSE(link.protocol.close());
    platform::MessageBoxInterceptor boxes;
    uint8_t v;
    EXPECT_FALSE(link.protocol.dpcd_read(0, v));
    EXPECT_EQ(boxes.Texts().size(), 1u);
    ASSERT_TRUE(link.protocol.open(link.port.get()));  // the port is still open
    EXPECT_TRUE(link.protocol.dpcd_read(0, v));
}

TEST_F(SinkProtocol, UnpluggedLineLosesThePortAndCommandsFailAtOnce) {
    EXPECT_FALSE(link.protocol.port_lost());
    link.sim.HangUp();
    ASSERT_TRUE(WaitUntil([&] { return link.protocol.port_lost(); }, 15000));
    uint8_t v = kUntouched;
    EXPECT_FALSE(link.protocol.dpcd_read(0, v));  // the send fails: no reception wait
    EXPECT_EQ(v, kUntouched);
    EXPECT_EQ(link.Messages(), std::vector<std::string>{dpprotocol_t::kTextSendFailed});
    EXPECT_TRUE(link.protocol.close());  // the receiver ends at once
}

TEST_F(SinkProtocol, LineClosedByTheSinkDuringACommand) {
    link.sim.InjectFault(SinkFaultPlan::Of(SinkFault::CloseLine, 0x2D));
    audiostatus_t a;
    a.fill(kUntouched);
    EXPECT_FALSE(link.protocol.get_audio_status(a));
    EXPECT_EQ(a[0], kUntouched);
    ASSERT_TRUE(WaitUntil([&] { return link.protocol.port_lost(); }, 15000));
}

TEST_F(SinkProtocol, DebugTextsAreTakenAlwaysAndLoggedOnlyWithTheSwitch) {
    link.sim.SendDebugText("quiet %u", 1);
    ASSERT_TRUE(WaitUntil([&] { return link.posts.load() > 0; }, 15000));
    link.protocol.handle_debug_text();  // switch off: taken, dropped
    EXPECT_TRUE(link.Messages().empty());
    link.protocol.set_debug(true);
    link.sim.SendDebugText("lane %u locked", 3);
    ASSERT_TRUE(WaitUntil(
        [&] {
            link.protocol.handle_debug_text();
            return !link.Messages().empty();
        },
        15000));
    EXPECT_EQ(link.Messages(), std::vector<std::string>{"lane 3 locked"});
}

TEST_F(SinkProtocol, AGuiCommandWaitsForTheOtherThreadsTransaction) {
    link.sim.InjectFault(SinkFaultPlan::Held(0x2E));
    link.sim.QueueSdp(0x83, 1, 1, {9});
    bool pollerOk = false, guiOk = false;
    sdprecord_t sdp{};
    uint8_t v = 0;
    std::thread poller([&] { pollerOk = link.protocol.get_sdp(sdp); });
    ASSERT_TRUE(SinkLink::WaitFor([&] { return link.sim.ReplyHeld(); }));
    std::atomic<bool> guiStarted{false};
    std::thread gui([&] {
        guiStarted = true;
        guiOk = link.protocol.dpcd_read(0x0000, v);
    });
    // A GUI command that got past the lock would reach the wire now, while
    // the query's reply is held; the sink records what comes meanwhile.
    ASSERT_TRUE(SinkLink::WaitFor([&] { return guiStarted.load(); }));
    // Waits 200 ms, as it shows an absence: a load can only weaken it.
    SinkLink::WaitFor([&] { return link.sim.CommandCount(0x1A) > 0; }, 200);
    link.sim.ReleaseHeld();
    poller.join();
    gui.join();
    EXPECT_TRUE(pollerOk);
    EXPECT_TRUE(guiOk);
    EXPECT_EQ(sdp[1], 0x83);
    EXPECT_EQ(v, 0x12);
    // The whole query, reply included, came before the GUI command.
    EXPECT_EQ(link.WireOrder(), (std::vector<std::string>{"> 2E", "< 2E", "> 1A", "< 1A"}));
}

TEST_F(SinkProtocol, CloseWaitsForACommandInFlight) {
    link.sim.InjectFault(SinkFaultPlan::Of(SinkFault::Silence, 0x27));
    std::atomic<bool> ok{true};
    std::thread other([&] {
        msarecord_t m{};
        ok = link.protocol.get_msa(m);
    });
    ASSERT_TRUE(SinkLink::WaitFor([&] { return link.sim.CommandCount(0x27) == 1; }));
    // The frame layer goes away only after the command's whole wait, which
    // ends as a time-out on a live frame layer.
    EXPECT_TRUE(link.protocol.close());
    other.join();
    EXPECT_FALSE(ok.load());
    EXPECT_TRUE(link.Messages().empty());  // a quiet query
    EXPECT_FALSE(link.protocol.connected());
}

TEST_F(SinkProtocol, TheHolderOfTheCommandLockMayRunCommands) {
    mutexrequest_t held(link.protocol.command_lock());
    uint8_t v = 0;
    EXPECT_TRUE(link.protocol.dpcd_read(0x0002, v));
    EXPECT_EQ(v, 0x84);
}

}  // namespace
