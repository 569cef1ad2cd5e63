#include "sinkmonitor/transport/dpprotocol.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/GuiCall.h"
#include "platform/MessageBox.h"

namespace {

constexpr unsigned kDefaultTimeoutMs = 2000;
constexpr unsigned kEdidWriteTimeoutMs = 20000;
constexpr unsigned kAuxStepTimeoutMs = 7500;
constexpr size_t kMaxRequest = 1 + 3 + kEdidBlockBytes;
constexpr size_t kResponseDataAt = 3;  // [L][0x71][code][data...][checksum]
constexpr unsigned kSettleSliceMs = 100;

uint8_t Lo(uint16_t v) { return static_cast<uint8_t>(v & 0xFF); }
uint8_t Hi(uint16_t v) { return static_cast<uint8_t>(v >> 8); }

// The command table: code, time-out, quiet.
const dpprotocol_t::command_t kCommands[] = {
    {sinkcmd::kGetLinkStatus, kDefaultTimeoutMs, false},
    {sinkcmd::kEdidReadBlock, kDefaultTimeoutMs, false},
    {sinkcmd::kEdidWriteBlock, kEdidWriteTimeoutMs, false},
    {sinkcmd::kDpcdRead, kDefaultTimeoutMs, false},
    {sinkcmd::kDpcdWrite, kDefaultTimeoutMs, false},
    {sinkcmd::kGetFirmwareVersion, kDefaultTimeoutMs, false},
    {sinkcmd::kGetHdcpStatus, kDefaultTimeoutMs, true},
    {sinkcmd::kSetSinkCapabilities, kDefaultTimeoutMs, false},
    {sinkcmd::kGetMsa, kDefaultTimeoutMs, true},
    {sinkcmd::kGetDeviceRole, kDefaultTimeoutMs, true},
    {sinkcmd::kHpdPulse, kDefaultTimeoutMs, false},
    {sinkcmd::kGetVideoCrc, kDefaultTimeoutMs, false},
    {sinkcmd::kGetErrorCounts, kDefaultTimeoutMs, false},
    {sinkcmd::kGetAudioStatus, kDefaultTimeoutMs, false},
    {sinkcmd::kGetSdp, kDefaultTimeoutMs, true},
    {sinkcmd::kSetAuxOutputLevel, kDefaultTimeoutMs, false},
    {sinkcmd::kAuxSensitivityStep, kAuxStepTimeoutMs, false},
};

const dpprotocol_t::command_t* Row(uint8_t code) {
    for (const auto& c : kCommands)
        if (c.code == code) return &c;
    return nullptr;
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
    lateReplyOwed_ = false;
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

// Waits for the reply of a command that timed out, and drops it; see the
// header. False when `cancel` was set meanwhile: nothing may be sent then.
bool dpprotocol_t::settle_late_reply(dpcomm_t* comm, const std::atomic<bool>* cancel) {
    using namespace std::chrono;
    uint8_t late[packet_t::kDataBytes];
    while (lateReplyOwed_) {
        const auto quiet = duration_cast<milliseconds>(steady_clock::now() - timedOutAt_).count();
        const auto bound = static_cast<long long>(std::max(lateReplyWaitMs_, leastLateWaitMs_.load()));
        const unsigned left = quiet >= bound ? 0 : static_cast<unsigned>(bound - quiet);
        // In slices, so that a worker being stopped does not wait it out.
        if (comm->wait_response(late, std::min(left, kSettleSliceMs))) {
            lateReplyOwed_ = false;  // the late reply: dropped
        } else if (left == 0 || (comm->port() && comm->port()->is_broken())) {
            lateReplyOwed_ = false;  // quiet for the bound, or no line: lost
        } else if (cancel && cancel->load()) {
            return false;
        }
    }
    return true;
}

bool dpprotocol_t::transact(const uint8_t* bytes, size_t length, unsigned timeoutMs, bool quiet,
                            const std::atomic<bool>* cancel) {
    dpcomm_t* comm = comm_.load();
    if (!settle_late_reply(comm, cancel)) return false;
    const char* failure = nullptr;
    // Whatever else came unasked is no reply to this command either.
    comm->flush_responses();
    if (!comm->send_frame(bytes, length)) {
        failure = kTextSendFailed;
    } else if (!comm->wait_response(lastResponse_, timeoutMs)) {
        failure = kTextTimedOut;
        // Its reply may still come; the next command waits for it as long
        // as this one did.
        lateReplyOwed_ = true;
        timedOutAt_ = std::chrono::steady_clock::now();
        lateReplyWaitMs_ = timeoutMs;
    } else if (lastResponse_[0] >= 4 && lastResponse_[2] == sinkcmd::kNack) {
        failure = kTextNack;
    }
    if (!failure) return true;
    if (!quiet) log(failure);
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
    if (!transact(bytes, requestBytes + 1, cmd.timeoutMs, cmd.quiet, cancel)) return false;

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
