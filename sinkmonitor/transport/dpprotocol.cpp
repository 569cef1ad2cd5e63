#include "sinkmonitor/transport/dpprotocol.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iterator>
#include <optional>

#include "platform/GuiCall.h"
#include "platform/MessageBox.h"

namespace {

constexpr unsigned kDefaultTimeoutMs = 2000;
constexpr unsigned kEdidWriteTimeoutMs = 20000;
constexpr unsigned kAuxStepTimeoutMs = 7500;
constexpr size_t kMaxRequest = 1 + 3 + kEdidBlockBytes;
constexpr size_t kResponseDataAt = 3;  // [L][0x71][code][data...][checksum]

uint8_t Lo(uint16_t v) { return static_cast<uint8_t>(v & 0xFF); }
uint8_t Hi(uint16_t v) { return static_cast<uint8_t>(v >> 8); }

// The command table: code, time-out, quiet, response data.
const dpprotocol_t::command_t kCommands[] = {
    {sinkcmd::kGetLinkStatus, kDefaultTimeoutMs, false, true},
    {sinkcmd::kEdidReadBlock, kDefaultTimeoutMs, false, true},
    {sinkcmd::kEdidWriteBlock, kEdidWriteTimeoutMs, false, false},
    {sinkcmd::kDpcdRead, kDefaultTimeoutMs, false, true},
    {sinkcmd::kDpcdWrite, kDefaultTimeoutMs, false, false},
    {sinkcmd::kGetFirmwareVersion, kDefaultTimeoutMs, false, true},
    {sinkcmd::kGetHdcpStatus, kDefaultTimeoutMs, true, true},
    {sinkcmd::kSetSinkCapabilities, kDefaultTimeoutMs, false, false},
    {sinkcmd::kGetMsa, kDefaultTimeoutMs, true, true},
    {sinkcmd::kGetDeviceRole, kDefaultTimeoutMs, true, true},
    {sinkcmd::kHpdPulse, kDefaultTimeoutMs, false, false},
    {sinkcmd::kGetVideoCrc, kDefaultTimeoutMs, false, true},
    {sinkcmd::kGetErrorCounts, kDefaultTimeoutMs, false, true},
    {sinkcmd::kGetAudioStatus, kDefaultTimeoutMs, false, true},
    {sinkcmd::kGetSdp, kDefaultTimeoutMs, true, true},
    {sinkcmd::kSetAuxOutputLevel, kDefaultTimeoutMs, false, false},
    {sinkcmd::kAuxSensitivityStep, kAuxStepTimeoutMs, false, true},
};

// The queries that resynchronise the line, in the order they are chosen:
// plain reads without request bytes that change nothing in the sink.
const uint8_t kResyncQueries[] = {sinkcmd::kGetDeviceRole, sinkcmd::kGetFirmwareVersion, sinkcmd::kGetVideoCrc,
                                  sinkcmd::kGetLinkStatus, sinkcmd::kGetAudioStatus};

const dpprotocol_t::command_t* Row(uint8_t code) {
    for (const auto& c : kCommands)
        if (c.code == code) return &c;
    return nullptr;
}

// An owed code the reply `code` answers: the same code, or an
// acknowledgement of a command without data.
bool SameCode(uint8_t owedCode, uint8_t code) { return owedCode == code; }
bool AckOf(uint8_t owedCode, uint8_t) {
    const dpprotocol_t::command_t* row = Row(owedCode);
    return row && !row->data;
}
}  // namespace

dpprotocol_t::dpprotocol_t(QWidget* owner, dpcomm_t::poster_t poster) : owner_(owner), poster_(std::move(poster)) {}

dpprotocol_t::~dpprotocol_t() {
    if (comm_.load()) close();
}

bool dpprotocol_t::open(serialport_t* port) {
    if (comm_.load() || !port) return false;
    auto* comm = new dpcomm_t(poster_, port);
    if (!comm->start()) {
        delete comm;
        return false;
    }
    mutexrequest_t held(lock_);
    port_ = port;
    // A new line owes no reply of the last one.
    owed_.clear();
    comm_.store(comm);
    return true;
}

bool dpprotocol_t::close() {
    if (!comm_.load()) return false;
    // No command is in flight while the frame layer goes away.
    mutexrequest_t held(lock_);
    dpcomm_t* comm = comm_.exchange(nullptr);
    port_ = nullptr;
    if (!comm) return false;
    comm->stop();
    delete comm;
    return true;
}

bool dpprotocol_t::port_lost() const {
    dpcomm_t* comm = comm_.load();
    return comm && comm->port() && comm->port()->is_broken();
}

void dpprotocol_t::set_message_callback(message_callback_t callback) {
    std::lock_guard lk(callbackLock_);
    callback_ = std::move(callback);
}

void dpprotocol_t::log(const std::string& text) {
    message_callback_t cb;
    {
        std::lock_guard lk(callbackLock_);
        cb = callback_;
    }
    if (cb) cb(text);
}

void dpprotocol_t::handle_debug_text() {
    dpcomm_t* comm = comm_.load();
    if (!comm) return;
    char text[dpcomm_t::kDebugTextBytes];
    // Taken (and dropped) also while the debug switch is off.
    if (comm->format_debug_text(text) && debug_.load()) log(text);
}

void dpprotocol_t::report_port_not_set() {
    log(kTextPortNotSet);
    // The box belongs to the GUI thread, also when a worker asked for it.
    platform::CallOnGuiThread([this] {
        platform::ShowMessageBox("Communication port not set.", "Error", platform::MsgIcon::Error,
                                 platform::MsgButtons::Ok, owner_);
    });
}

bool dpprotocol_t::owes(bool (*match)(uint8_t owedCode, uint8_t code), uint8_t code) const {
    return std::any_of(owed_.begin(), owed_.end(), [&](uint8_t owedCode) { return match(owedCode, code); });
}

bool dpprotocol_t::take_late_reply(uint8_t code, const command_t& waiting) {
    bool (*match)(uint8_t, uint8_t) = nullptr;
    if (code != waiting.code && owes(SameCode, code)) {
        match = SameCode;
    } else if (waiting.data && code == sinkcmd::kAck && owes(AckOf, code)) {
        match = AckOf;
    } else {
        return false;
    }
    // The oldest owed reply of that kind: the sink answers in order.
    owed_.erase(std::find_if(owed_.begin(), owed_.end(), [&](uint8_t owedCode) { return match(owedCode, code); }));
    return true;
}

bool dpprotocol_t::needs_resync(const command_t& cmd) const {
    return owes(SameCode, cmd.code) || (!cmd.data && owes(AckOf, sinkcmd::kAck));
}

void dpprotocol_t::settle_waiting_replies(dpcomm_t* comm) {
    // Nothing waits for these: a command of no code of the set.
    static const command_t kNone = {0, 0, true, true};
    uint8_t reply[packet_t::kDataBytes];
    while (comm->wait_response(reply, 0))
        if (reply[0] >= 4) take_late_reply(reply[2], kNone);
}

dpprotocol_t::outcome_t dpprotocol_t::exchange(dpcomm_t* comm, const command_t& cmd, const uint8_t* bytes,
                                               size_t length) {
    using namespace std::chrono;
    if (!comm->send_frame(bytes, length)) return outcome_t::send_failed;
    const auto deadline = steady_clock::now() + milliseconds(cmd.timeoutMs);
    for (;;) {
        // Rounded up: a time-out never ends early.
        const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0 || !comm->wait_response(lastResponse_, static_cast<unsigned>(left))) {
            owed_.push_back(cmd.code);  // its reply may still come
            return outcome_t::timed_out;
        }
        if (lastResponse_[0] < 4) return outcome_t::reply;  // no response code: the reply of a sink of its own kind
        const uint8_t code = lastResponse_[2];
        if (code == sinkcmd::kNack) {
            // While a reply is owed, the NACK may be that one's: this
            // command's own reply may then still come.
            if (!owed_.empty()) owed_.push_back(cmd.code);
            return outcome_t::nack;
        }
        if (!take_late_reply(code, cmd)) return outcome_t::reply;
    }
}

bool dpprotocol_t::transact(const command_t& cmd, const uint8_t* bytes, size_t length) {
    dpcomm_t* comm = comm_.load();
    settle_waiting_replies(comm);
    outcome_t outcome = outcome_t::reply;
    if (needs_resync(cmd)) {
        const uint8_t* query = std::find_if(std::begin(kResyncQueries), std::end(kResyncQueries),
                                            [&](uint8_t code) { return !owes(SameCode, code); });
        if (query == std::end(kResyncQueries)) {
            outcome = outcome_t::timed_out;  // every query that could tell is owed itself
        } else {
            outcome = exchange(comm, *Row(*query), query, 1);
            // Answered in time: every reply before it has come or never will.
            if (outcome == outcome_t::reply) owed_.clear();
        }
    }
    if (outcome == outcome_t::reply) outcome = exchange(comm, cmd, bytes, length);
    const char* failure = nullptr;
    switch (outcome) {
        case outcome_t::reply:
            return true;
        case outcome_t::send_failed:
            failure = kTextSendFailed;
            break;
        case outcome_t::timed_out:
            failure = kTextTimedOut;
            break;
        case outcome_t::nack:
            failure = kTextNack;
            break;
    }
    if (!cmd.quiet) log(failure);
    return false;
}

bool dpprotocol_t::run(const command_t& cmd, const uint8_t* request, size_t requestBytes, uint8_t* dst,
                       size_t replyBytes, const std::atomic<bool>* cancel) {
    if (!comm_.load()) {
        report_port_not_set();
        return false;
    }
    std::optional<mutexrequest_t> held;
    if (cancel) {
        held.emplace(lock_, *cancel);
        if (!held->held()) return false;
    } else {
        held.emplace(lock_);
    }
    if (!comm_.load()) {  // closed while this command waited for the lock
        if (!cmd.quiet) log(kTextPortNotSet);
        return false;
    }
    uint8_t bytes[kMaxRequest];
    bytes[0] = cmd.code;
    if (requestBytes) std::memcpy(bytes + 1, request, requestBytes);
    if (!transact(cmd, bytes, requestBytes + 1)) return false;

    const size_t length = lastResponse_[0];
    const size_t dataBytes = length >= kResponseDataAt + 1 ? length - kResponseDataAt - 1 : 0;
    if (cmd.code == sinkcmd::kGetLinkStatus) {
        // As many status bytes as came, at most the record; the rest 0xFF.
        std::memset(dst, 0xFF, kLinkStatusBytes);
        std::memcpy(dst, lastResponse_ + kResponseDataAt, std::min(dataBytes, kLinkStatusBytes));
        return true;
    }
    if (replyBytes == 0) return true;
    if (dataBytes < replyBytes) {
        // Never show stale bytes of an earlier frame as data.
        if (!cmd.quiet) log(kTextTooShort);
        return false;
    }
    std::memcpy(dst, lastResponse_ + kResponseDataAt, replyBytes);
    return true;
}

bool dpprotocol_t::get_link_status(linkstatus_t& status) {
    linkstatus_t out;
    if (!run(*Row(sinkcmd::kGetLinkStatus), nullptr, 0, out.data(), kLinkStatusBytes)) return false;
    status = out;
    return true;
}

bool dpprotocol_t::edid_read_block(uint8_t segment, uint8_t offset, edidblock_t& block) {
    const uint8_t req[] = {segment, offset, static_cast<uint8_t>(kEdidBlockBytes)};
    return run(*Row(sinkcmd::kEdidReadBlock), req, sizeof req, block.data(), kEdidBlockBytes);
}

bool dpprotocol_t::edid_write_block(uint8_t segment, uint8_t offset, const edidblock_t& block) {
    uint8_t req[3 + kEdidBlockBytes] = {segment, offset, static_cast<uint8_t>(kEdidBlockBytes)};
    std::memcpy(req + 3, block.data(), kEdidBlockBytes);
    return run(*Row(sinkcmd::kEdidWriteBlock), req, sizeof req, nullptr, 0);
}

bool dpprotocol_t::dpcd_read(uint16_t address, uint8_t& value) {
    const uint8_t req[] = {Hi(address), Lo(address)};  // DPCD address high byte first
    return run(*Row(sinkcmd::kDpcdRead), req, sizeof req, &value, 1);
}

bool dpprotocol_t::dpcd_write(uint16_t address, uint8_t value) {
    const uint8_t req[] = {Hi(address), Lo(address), value};
    return run(*Row(sinkcmd::kDpcdWrite), req, sizeof req, nullptr, 0);
}

bool dpprotocol_t::get_firmware_version(firmwareversion_t& version) {
    return run(*Row(sinkcmd::kGetFirmwareVersion), nullptr, 0, version.data(), kVersionChars);
}

bool dpprotocol_t::get_hdcp_status(hdcpstatus_t& status, const std::atomic<bool>* cancel) {
    return run(*Row(sinkcmd::kGetHdcpStatus), nullptr, 0, status.data(), kHdcpStatusBytes, cancel);
}

bool dpprotocol_t::set_sink_capabilities(uint8_t maxLanes, uint8_t maxRateCode, uint8_t framing) {
    const uint8_t req[] = {maxLanes, maxRateCode, framing};
    return run(*Row(sinkcmd::kSetSinkCapabilities), req, sizeof req, nullptr, 0);
}

bool dpprotocol_t::get_msa(msarecord_t& record, const std::atomic<bool>* cancel) {
    return run(*Row(sinkcmd::kGetMsa), nullptr, 0, record.data(), kMsaRecordBytes, cancel);
}

bool dpprotocol_t::get_device_role(uint8_t& role) { return run(*Row(sinkcmd::kGetDeviceRole), nullptr, 0, &role, 1); }

bool dpprotocol_t::hpd_pulse(uint16_t ms) {
    const uint8_t req[] = {Lo(ms), Hi(ms)};
    return run(*Row(sinkcmd::kHpdPulse), req, sizeof req, nullptr, 0);
}

bool dpprotocol_t::get_video_crc(videocrc_t& crc) {
    return run(*Row(sinkcmd::kGetVideoCrc), nullptr, 0, crc.data(), kVideoCrcBytes);
}

bool dpprotocol_t::get_error_counts(bool reset, errorcounts_t& counts) {
    const uint8_t req[] = {static_cast<uint8_t>(reset ? 1 : 0)};
    return run(*Row(sinkcmd::kGetErrorCounts), req, sizeof req, counts.data(), kErrorCountBytes);
}

bool dpprotocol_t::get_audio_status(audiostatus_t& status) {
    return run(*Row(sinkcmd::kGetAudioStatus), nullptr, 0, status.data(), kAudioStatusBytes);
}

bool dpprotocol_t::get_sdp(sdprecord_t& record, const std::atomic<bool>* cancel) {
    return run(*Row(sinkcmd::kGetSdp), nullptr, 0, record.data(), kSdpRecordBytes, cancel);
}

bool dpprotocol_t::set_aux_output_level(uint8_t levelCode) {
    const uint8_t req[] = {levelCode};
    return run(*Row(sinkcmd::kSetAuxOutputLevel), req, sizeof req, nullptr, 0);
}

bool dpprotocol_t::aux_sensitivity_step(uint16_t mvpp, uint8_t& result) {
    const uint8_t req[] = {Lo(mvpp), Hi(mvpp)};
    return run(*Row(sinkcmd::kAuxSensitivityStep), req, sizeof req, &result, 1);
}
