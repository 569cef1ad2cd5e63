// The command set against the simulated sink: every command with its
// decoded reply, and NACK, silence, short, late and noisy replies.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <thread>
#include <tuple>

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

// --- late replies: told by their code -----------------------------------------

const Command kReadOf0001 = {"dpcd_read_0001", 0x1A, false, 1,
                             Byte([](dpprotocol_t& p, uint8_t& v) { return p.dpcd_read(0x0001, v); })};
const Command kReadOf0002 = {"dpcd_read_0002", 0x1A, false, 1,
                             Byte([](dpprotocol_t& p, uint8_t& v) { return p.dpcd_read(0x0002, v); })};

const Command& CommandNamed(const std::string& name) {
    if (name == kReadOf0001.name) return kReadOf0001;
    if (name == kReadOf0002.name) return kReadOf0002;
    return ByName(name);
}

std::string Hex(uint8_t code) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", code);
    return text;
}

bool WithoutData(uint8_t code) { return code == 0x17 || code == 0x1B || code == 0x26 || code == 0x29 || code == 0x31; }

// The response code the sink answers `code` with.
uint8_t ReplyCode(uint8_t code, sim::SinkSim::Ack ack) {
    return ack == sim::SinkSim::Ack::Ack0C && WithoutData(code) ? sim::SinkSim::kAck : code;
}

constexpr uint8_t kResync = 0x28;  // the device role, the query that resynchronises the line

// A command times out with its reply held back by the sink; the next
// command follows. DPCD 0001 holds 0x14 and 0002 holds 0x84; the link status
// is the one the test sets. The rows of the E-EDID block write wait out its
// 20 s time-out, those of the AUX level its 7.5 s.
struct OwedCase {
    const char* name;
    const char* owed;  // the command whose reply is held back
    const char* next;
    Bytes expected;  // what the next command gets (none: no data)
    bool resync;     // codes cannot tell the late reply from the next command's own
};

const Bytes kLinkStatus = {0x77, 0x17, 0, 1, 2, 3, 3, 2, 1, 0, 4, 20, 1, 0, 1, 0, 0};
const Bytes kEdidBlock0 = [] {
    const auto b = sim::SinkSim::DefaultEdidBlock();
    return Bytes(b.begin(), b.end());
}();

const OwedCase kOwedCases[] = {
    {"DpcdRead_DpcdRead", "dpcd_read_0001", "dpcd_read_0002", {0x84}, true},
    {"AuxLevel_DpcdRead", "aux_sensitivity_step", "dpcd_read_0002", {0x84}, false},
    {"MsaQuery_LinkStatus", "get_msa", "get_link_status", kLinkStatus, false},
    {"EdidRead_ReRead", "edid_read_block", "edid_read_block", kEdidBlock0, true},
    {"EdidWrite_DpcdRead", "edid_write_block", "dpcd_read_0002", {0x84}, false},
    {"EdidWrite_LinkStatus", "edid_write_block", "get_link_status", kLinkStatus, false},
    {"EdidWrite_DpcdWrite", "edid_write_block", "dpcd_write", {}, true},
};

using OwedParam = std::tuple<OwedCase, sim::SinkSim::Ack>;

class SinkProtocolOwedReply : public SinkProtocol, public ::testing::WithParamInterface<OwedParam> {};

TEST_P(SinkProtocolOwedReply, TheNextCommandGoesOutAtOnceAndGetsItsOwnReply) {
    const auto& [c, ack] = GetParam();
    const Command& owed = CommandNamed(c.owed);
    const Command& next = CommandNamed(c.next);
    link.sim.SetAck(ack);
    link.sim.SetLinkStatus(kLinkStatus);
    link.sim.InjectFault(SinkFaultPlan::Held(owed.code));
    bool ok = true;
    const Bytes dst = Run(owed, &ok);  // times out: its reply is owed
    ExpectFailure(link, owed, dst, ok, dpprotocol_t::kTextTimedOut);
    ASSERT_TRUE(link.sim.ReplyHeld());

    const size_t sent = link.sim.CommandCount();
    bool nextOk = false;
    Bytes got;
    std::thread thread([&] { got = Run(next, &nextOk); });
    // Nothing waits for the late reply: the next transaction reaches the
    // sink while that reply is still held, led by the resynchronising query
    // where codes cannot tell.
    const bool reached = SinkLink::WaitFor([&] { return link.sim.CommandCount() > sent; });
    EXPECT_TRUE(reached);
    EXPECT_TRUE(link.sim.ReplyHeld());
    if (reached) {
        EXPECT_EQ(Hex(link.sim.Commands()[sent][0]), Hex(c.resync ? kResync : next.code));
    }
    link.sim.ReleaseHeld();
    thread.join();

    // The late reply came first and was dropped; the next command got its own.
    EXPECT_TRUE(nextOk);
    if (c.expected.empty()) {
        EXPECT_EQ(link.sim.Dpcd(0x0102), 0x5A);
    } else {
        got.resize(c.expected.size());
        EXPECT_EQ(got, c.expected);
    }
    const std::string o = Hex(owed.code), late = Hex(ReplyCode(owed.code, ack)), n = Hex(next.code),
                      own = Hex(ReplyCode(next.code, ack)), r = Hex(kResync);
    const std::vector<std::string> wire =
        c.resync ? std::vector<std::string>{"> " + o, "> " + r, "< " + late, "< " + r, "> " + n, "< " + own}
                 : std::vector<std::string>{"> " + o, "> " + n, "< " + late, "< " + own};
    EXPECT_EQ(link.WireOrder(), wire);
    if (owed.quiet) {
        EXPECT_TRUE(link.Messages().empty());
    } else {
        EXPECT_EQ(link.Messages(), std::vector<std::string>{dpprotocol_t::kTextTimedOut});
    }

    // Nothing is owed any more: a command of the late reply's code goes out
    // on its own.
    const size_t wireFrom = link.sim.Wire().size();
    Run(owed, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(link.WireOrder(wireFrom), (std::vector<std::string>{"> " + o, "< " + late}));
}

INSTANTIATE_TEST_SUITE_P(OwedAndNext, SinkProtocolOwedReply,
                         ::testing::Combine(::testing::ValuesIn(kOwedCases),
                                            ::testing::Values(sim::SinkSim::Ack::OwnCode, sim::SinkSim::Ack::Ack0C)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == sim::SinkSim::Ack::Ack0C ? "_Ack0C" : "_OwnCode");
                         });

// A NACK that comes while a reply is owed may be that reply: the command
// that waits fails with it and is owed a reply in turn, which is dropped
// when it comes, and the command after it gets its own data.
TEST_F(SinkProtocol, ALateNackFailsTheWaitingCommandWhichIsOwedItsReplyToo) {
    link.sim.SetLinkStatus(kLinkStatus);
    link.sim.InjectFault(SinkFaultPlan::HeldNack(0x1A));
    link.sim.InjectFault(SinkFaultPlan::Held(0x15));
    uint8_t v = kUntouched;
    EXPECT_FALSE(link.protocol.dpcd_read(0x0001, v));  // times out; its NACK is held
    ASSERT_TRUE(link.sim.ReplyHeld());
    linkstatus_t status;
    status.fill(kUntouched);
    bool statusOk = true;
    std::thread thread([&] { statusOk = link.protocol.get_link_status(status); });
    ASSERT_TRUE(SinkLink::WaitFor([&] { return link.sim.CommandCount(0x15) == 1; }));
    link.sim.ReleaseHeld();  // the NACK; the link status reply is held next
    thread.join();
    EXPECT_FALSE(statusOk);
    EXPECT_EQ(status[0], kUntouched);
    ASSERT_TRUE(SinkLink::WaitFor([&] { return link.sim.ReplyHeld(); }));
    // The next read is resynchronised: the link status reply comes first.
    std::thread releaser([&] {
        SinkLink::WaitFor([&] { return link.sim.CommandCount(kResync) == 1; });
        link.sim.ReleaseHeld();
    });
    EXPECT_TRUE(link.protocol.dpcd_read(0x0002, v));
    releaser.join();
    EXPECT_EQ(v, 0x84);
    EXPECT_EQ(link.WireOrder(),
              (std::vector<std::string>{"> 1A", "> 15", "< 0B", "> 28", "< 15", "< 28", "> 1A", "< 1A"}));
    EXPECT_EQ(link.Messages(), (std::vector<std::string>{dpprotocol_t::kTextTimedOut, dpprotocol_t::kTextNack}));
}

// Two replies owed, one that never comes and one that comes late: the late
// one is dropped during the resynchronisation, which also ends the wait for
// the other.
TEST_F(SinkProtocol, AResyncAnsweredInTimeClearsEveryOwedReply) {
    link.sim.InjectFault(SinkFaultPlan::Of(SinkFault::Silence, 0x1A));
    link.sim.InjectFault(SinkFaultPlan::Held(0x38));
    uint8_t v = kUntouched, result = kUntouched;
    EXPECT_FALSE(link.protocol.dpcd_read(0x0001, v));
    EXPECT_FALSE(link.protocol.aux_sensitivity_step(400, result));
    EXPECT_EQ(result, kUntouched);
    std::thread releaser([&] {
        SinkLink::WaitFor([&] { return link.sim.CommandCount(kResync) == 1; });
        link.sim.ReleaseHeld();
    });
    EXPECT_TRUE(link.protocol.dpcd_read(0x0002, v));
    releaser.join();
    EXPECT_EQ(v, 0x84);
    // Nothing is owed now: the next read goes out on its own.
    EXPECT_TRUE(link.protocol.dpcd_read(0x0001, v));
    EXPECT_EQ(v, 0x14);
    EXPECT_EQ(link.WireOrder(),
              (std::vector<std::string>{"> 1A", "> 38", "> 28", "< 38", "< 28", "> 1A", "< 1A", "> 1A", "< 1A"}));
    EXPECT_EQ(link.Messages(), std::vector<std::string>(2, dpprotocol_t::kTextTimedOut));
}

// A resynchronisation that is not answered in time fails the command unsent,
// with the time-out text; its query is owed in turn, so the next one uses
// the firmware version.
TEST_F(SinkProtocol, AResyncNotAnsweredInTimeFailsTheCommandUnsent) {
    link.sim.InjectFault(SinkFaultPlan::Of(SinkFault::Silence, 0x1A));
    link.sim.InjectFault(SinkFaultPlan::Of(SinkFault::Silence, kResync));
    uint8_t v = kUntouched;
    EXPECT_FALSE(link.protocol.dpcd_read(0x0001, v));
    EXPECT_FALSE(link.protocol.dpcd_read(0x0002, v));
    EXPECT_EQ(v, kUntouched);
    EXPECT_TRUE(link.protocol.dpcd_read(0x0002, v));
    EXPECT_EQ(v, 0x84);
    EXPECT_EQ(link.WireOrder(), (std::vector<std::string>{"> 1A", "> 28", "> 1C", "< 1C", "> 1A", "< 1A"}));
    EXPECT_EQ(link.Messages(), std::vector<std::string>(2, dpprotocol_t::kTextTimedOut));
}

TEST_F(SinkProtocol, ABrokenPortFailsTheNextCommandAtOnce) {
    link.sim.InjectFault(SinkFaultPlan::Held(0x1A));
    uint8_t v = kUntouched;
    EXPECT_FALSE(link.protocol.dpcd_read(0x0001, v));
    link.sim.HangUp();
    ASSERT_TRUE(SinkLink::WaitFor([&] { return link.protocol.port_lost(); }));
    EXPECT_FALSE(link.protocol.dpcd_read(0x0002, v));
    EXPECT_EQ(v, kUntouched);
    EXPECT_EQ(link.Messages(), (std::vector<std::string>{dpprotocol_t::kTextTimedOut, dpprotocol_t::kTextSendFailed}));
}

TEST_F(SinkProtocol, ANewConnectionOwesNoLateReplyOfTheLastOne) {
    link.sim.InjectFault(SinkFaultPlan::Of(SinkFault::Silence, 0x1A));
    uint8_t v = kUntouched;
    EXPECT_FALSE(link.protocol.dpcd_read(0x0001, v));
    ASSERT_TRUE(link.protocol.close());
    ASSERT_TRUE(link.protocol.open(link.port.get()));
    // Sent without resynchronising first.
    ASSERT_TRUE(link.protocol.dpcd_read(0x0002, v));
    EXPECT_EQ(v, 0x84);
    EXPECT_EQ(link.WireOrder(), (std::vector<std::string>{"> 1A", "> 1A", "< 1A"}));
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
