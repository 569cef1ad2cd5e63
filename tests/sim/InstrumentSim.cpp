#include "sim/InstrumentSim.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "link/InstrumentFrame.h"
#include "platform/Clock.h"

namespace sim {

// 01 can never pass a checksum (L = 1), 00 is skipped, and each small length
// byte here fails its checksum over whatever follows it in this pattern and
// in a reply frame behind it.
const Bytes kNoiseBytes = {0x01, 0x00, 0x03, 0x02, 0x04, 0x01};

namespace {

constexpr uint8_t kLead = 0x71;
constexpr uint8_t kAck = 0x0C;
constexpr uint8_t kRefuse = 0x0B;
constexpr uint8_t kTestResultCode = 0x11;
constexpr size_t kMaxLogSize = 0xFFFF;  // the log-size reply has 16 bits
constexpr int kServeWaitMs = 5;
constexpr auto kByteTimeAt115200 = std::chrono::nanoseconds(1'000'000'000LL * 10 / 115200);

// The receive buffer as a byte source for the frame receiver.
struct BufferSource {
    Bytes& buf;
    size_t Available() { return buf.size(); }
    uint8_t Peek(size_t i) { return i < buf.size() ? buf[i] : 0; }
    void Consume(uint8_t* dst, size_t n) {
        n = std::min(n, buf.size());
        if (dst) std::copy(buf.begin(), buf.begin() + static_cast<long>(n), dst);
        buf.erase(buf.begin(), buf.begin() + static_cast<long>(n));
    }
};

}  // namespace

class InstrumentSim::Wire : public InstrumentWire {
public:
    explicit Wire(InstrumentSim& sim) : sim_(sim) {}
    void SendPayload(const uint8_t* p, size_t n) override { sim_.WriteBytes(sim_.Frame(Bytes(p, p + n)), false); }
    void SendRaw(const uint8_t* p, size_t n) override { sim_.WriteBytes(Bytes(p, p + n), false); }
    void CloseLine() override { sim_.closeRequested_ = true; }

private:
    InstrumentSim& sim_;
};

InstrumentSim::InstrumentSim() {
    SetTestResult(1, 0, 0, "Test passed");
    linkStatus_.resize(kLinkStatusBytes);
    for (size_t i = 0; i < kLinkStatusBytes; ++i) linkStatus_[i] = static_cast<uint8_t>(i);
    edid_.assign(256, 0);
}

InstrumentSim::~InstrumentSim() { Stop(); }

bool InstrumentSim::Start() {
    if (thread_.joinable()) return true;
    if (!pty_.Open()) return false;
    {
        std::lock_guard lk(mu_);
        slavePath_ = pty_.SlavePath();
    }
    stop_.Reset();
    closeRequested_ = false;
    {
        std::lock_guard lk(mu_);
        dueReplies_.clear();
        dueWriting_ = 0;
        held_.clear();
    }
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void InstrumentSim::Stop() {
    if (thread_.joinable()) {
        stop_.Set();
        thread_.join();
    }
    std::lock_guard lk(writeMu_);
    pty_.Close();
}

std::string InstrumentSim::SlavePath() const {
    std::lock_guard lk(mu_);
    return slavePath_;
}

// ------------------------------------------------------------------ settings

void InstrumentSim::SetFirmwareVersion(const std::string& threeChars) {
    std::lock_guard lk(mu_);
    version_ = threeChars;
}
void InstrumentSim::SetLegacyFirmware(bool answersProbe) {
    std::lock_guard lk(mu_);
    legacy_ = answersProbe;
}
void InstrumentSim::SetTestResult(int8_t result, int8_t step, int8_t substep, const std::string& text) {
    SetTestResultBytes(ResultRecord(result, text, step, substep));
}
void InstrumentSim::SetTestResultBytes(const Bytes& bytes84) {
    std::lock_guard lk(mu_);
    testResult_ = bytes84;
    testResult_.resize(kTestResultBytes);
}
void InstrumentSim::SetTestStatus(uint8_t value) {
    std::lock_guard lk(mu_);
    testStatus_ = value;
}
void InstrumentSim::SetLinkStatus(const Bytes& bytes28) {
    std::lock_guard lk(mu_);
    linkStatus_ = bytes28;
    linkStatus_.resize(kLinkStatusBytes);
}
void InstrumentSim::SetStatusByte(uint8_t value) {
    std::lock_guard lk(mu_);
    statusByte_ = value;
}
void InstrumentSim::SetEdid(const Bytes& bytes) {
    std::lock_guard lk(mu_);
    edid_ = bytes;
}
Bytes InstrumentSim::Edid() const {
    std::lock_guard lk(mu_);
    return edid_;
}
void InstrumentSim::SetDpcd(uint32_t address, uint8_t value) {
    std::lock_guard lk(mu_);
    dpcd_[address] = value;
}
uint8_t InstrumentSim::Dpcd(uint32_t address) const {
    std::lock_guard lk(mu_);
    auto it = dpcd_.find(address);
    return it == dpcd_.end() ? 0 : it->second;
}
void InstrumentSim::AppendLog(const Bytes& bytes) {
    std::lock_guard lk(mu_);
    log_.insert(log_.end(), bytes.begin(), bytes.end());
}
void InstrumentSim::SetLog(const Bytes& bytes) {
    std::lock_guard lk(mu_);
    log_ = bytes;
    logRead_ = 0;
}
void InstrumentSim::SetLogOverflow(bool overflow) {
    std::lock_guard lk(mu_);
    logOverflow_ = overflow;
}
size_t InstrumentSim::LogUnread() const {
    std::lock_guard lk(mu_);
    return log_.size() - logRead_;
}
void InstrumentSim::SetScript(uint8_t code, std::vector<ScriptStep> steps, int times) {
    std::lock_guard lk(mu_);
    scripts_[code] = Script{std::move(steps), times};
}
void InstrumentSim::ClearScripts() {
    std::lock_guard lk(mu_);
    scripts_.clear();
}
void InstrumentSim::SetTestScript(uint8_t testId, TestScript script) {
    std::lock_guard lk(mu_);
    testScripts_[testId] = std::move(script);
    testStarts_[testId] = 0;
}
void InstrumentSim::SetTestScripts(const std::map<uint8_t, TestScript>& scripts) {
    for (const auto& [id, script] : scripts) SetTestScript(id, script);
}
void InstrumentSim::ClearTestScripts() {
    std::lock_guard lk(mu_);
    testScripts_.clear();
    testStarts_.clear();
    runActive_ = false;
}
int InstrumentSim::TestStarts(uint8_t testId) const {
    std::lock_guard lk(mu_);
    auto it = testStarts_.find(testId);
    return it == testStarts_.end() ? 0 : it->second;
}
void InstrumentSim::SetFault(uint8_t code, FaultSpec spec) {
    std::lock_guard lk(mu_);
    faults_[code] = spec;
}
void InstrumentSim::ClearFaults() {
    std::lock_guard lk(mu_);
    faults_.clear();
}
void InstrumentSim::SetPacedAll(bool paced) {
    std::lock_guard lk(mu_);
    pacedAll_ = paced;
}
size_t InstrumentSim::HeldCount() const {
    std::lock_guard lk(mu_);
    return held_.size();
}
void InstrumentSim::ReleaseHeld() {
    std::vector<Bytes> frames;
    {
        std::lock_guard lk(mu_);
        const auto now = std::chrono::steady_clock::now();
        for (HeldReply& h : held_) {
            heldSpans_.push_back({h.since, now});
            frames.push_back(std::move(h.frame));
        }
        held_.clear();
    }
    for (const auto& frame : frames) WriteBytes(frame, false);
}
void InstrumentSim::SetExtension(InstrumentSimExtension* extension) {
    std::lock_guard lk(extMu_);
    extension_ = extension;
}

// ------------------------------------------------------------------ records

std::vector<Bytes> InstrumentSim::Received() const {
    std::lock_guard lk(mu_);
    return received_payloads_;
}
size_t InstrumentSim::CountReceived(uint8_t code) const {
    std::lock_guard lk(mu_);
    return static_cast<size_t>(std::count_if(received_payloads_.begin(), received_payloads_.end(),
                                             [&](const Bytes& b) { return RequestCode(b.data(), b.size()) == code; }));
}
std::vector<Bytes> InstrumentSim::ReceivedOf(uint8_t code) const {
    std::lock_guard lk(mu_);
    std::vector<Bytes> of;
    for (const auto& b : received_payloads_)
        if (RequestCode(b.data(), b.size()) == code) of.push_back(b);
    return of;
}
void InstrumentSim::ClearReceived() {
    std::lock_guard lk(mu_);
    received_payloads_.clear();
}
bool InstrumentSim::WaitForReceived(uint8_t code, size_t count, int timeoutMs) const {
    std::unique_lock lk(mu_);
    return received_.wait_for(lk, std::chrono::milliseconds(timeoutMs), [&] {
        return static_cast<size_t>(
                   std::count_if(received_payloads_.begin(), received_payloads_.end(),
                                 [&](const Bytes& b) { return RequestCode(b.data(), b.size()) == code; })) >= count;
    });
}
Bytes InstrumentSim::LastStartTest() const {
    std::lock_guard lk(mu_);
    return lastStartTest_;
}
Bytes InstrumentSim::LastColorimetry() const {
    std::lock_guard lk(mu_);
    return lastColorimetry_;
}
Bytes InstrumentSim::LastDutConfig() const {
    std::lock_guard lk(mu_);
    return lastDutConfig_;
}
int InstrumentSim::LastOperatorResponse() const {
    std::lock_guard lk(mu_);
    return lastOperatorResponse_;
}
int InstrumentSim::LastChannel() const {
    std::lock_guard lk(mu_);
    return lastChannel_;
}

uint8_t InstrumentSim::RequestCode(const uint8_t* p, size_t n) {
    if (n == 0) return 0;
    if (p[0] == kLead) return n >= 2 ? p[1] : 0;
    return p[0];
}

// ------------------------------------------------------------------ sending

Bytes InstrumentSim::Frame(const Bytes& payload) const {
    Bytes f(payload.size() + 2);
    f.resize(frame::Build(payload.data(), payload.size(), f.data()));
    return f;
}

void InstrumentSim::WriteBytes(const Bytes& bytes, bool paced) {
    {
        std::lock_guard lk(mu_);
        paced = paced || pacedAll_;
    }
    std::lock_guard lk(writeMu_);
    if (!paced) {
        pty_.Write(bytes.data(), bytes.size());
        return;
    }
    auto next = std::chrono::steady_clock::now();
    for (uint8_t b : bytes) {
        pty_.Write(&b, 1);
        next += kByteTimeAt115200;
        std::this_thread::sleep_until(next);
    }
}

void InstrumentSim::SendPrintPacket(const std::string& format, uint16_t arg) {
    Bytes p{0x0D};
    p.insert(p.end(), format.begin(), format.end());
    p.push_back(0);
    p.push_back(static_cast<uint8_t>(arg));
    p.push_back(static_cast<uint8_t>(arg >> 8));
    SendPayload(p);
}
void InstrumentSim::SendStatusReply(uint8_t value) { SendPayload({kLead, 0x22, value}); }
void InstrumentSim::SendPayload(const Bytes& payload) { WriteBytes(Frame(payload), false); }
void InstrumentSim::SendRawBytes(const Bytes& bytes) { WriteBytes(bytes, false); }
void InstrumentSim::CloseLine() { closeRequested_ = true; }

bool InstrumentSim::SleepMs(uint32_t ms) { return !stop_.Wait(static_cast<int>(ms)); }

// ------------------------------------------------------------------ serving

void InstrumentSim::Serve() {
    Bytes in;
    uint32_t lastByteTick = platform::TickCountMs();
    Wire wire(*this);
    while (!stop_.IsSet()) {
        if (closeRequested_.exchange(false)) {
            std::lock_guard lk(writeMu_);
            pty_.Close();
        }
        SendDueReplies();
        auto w = pty_.WaitReadable(kServeWaitMs, &stop_);
        if (w == platform::SerialPort::Wait::Stopped) break;
        if (w == platform::SerialPort::Wait::Error) stop_.Wait(kServeWaitMs);  // closed line: idle
        uint8_t chunk[512];
        long got;
        while ((got = pty_.ReadNow(chunk, sizeof chunk)) > 0) {
            in.insert(in.end(), chunk, chunk + got);
            lastByteTick = platform::TickCountMs();
        }
        for (;;) {
            {
                std::lock_guard elk(extMu_);
                if (extension_ && extension_->RawBytesWanted() > 0) {
                    if (in.empty()) break;
                    const size_t take = std::min(extension_->RawBytesWanted(), in.size());
                    Bytes raw(in.begin(), in.begin() + static_cast<long>(take));
                    in.erase(in.begin(), in.begin() + static_cast<long>(take));
                    extension_->OnRawBytes(raw.data(), raw.size(), wire);
                    continue;
                }
            }
            if (in.empty()) break;
            const size_t before = in.size();
            BufferSource src{in};
            uint8_t buf[frame::kMaxFrame + 1] = {};
            const bool stalled = platform::TickCountMs() - lastByteTick > frame::kStalledFrameGapMs;
            const size_t length = frame::Receive(src, buf, stalled);
            if (length) {
                const size_t n = frame::Unpack(buf, length);
                if (n) OnPayload(buf, n);
                continue;
            }
            if (in.size() == before) break;  // an incomplete frame: wait for more
        }
    }
}

void InstrumentSim::OnPayload(const uint8_t* p, size_t n) {
    {
        std::lock_guard lk(mu_);
        received_payloads_.emplace_back(p, p + n);
    }
    received_.notify_all();
    Wire wire(*this);
    {
        std::lock_guard elk(extMu_);
        if (extension_ && extension_->OnPayload(p, n, wire)) return;
    }

    const uint8_t code = RequestCode(p, n);
    std::vector<ScriptStep> script;
    {
        std::lock_guard lk(mu_);
        auto it = scripts_.find(code);
        if (it != scripts_.end()) {
            script = it->second.steps;
            if (it->second.times > 0 && --it->second.times == 0) scripts_.erase(it);
        }
    }
    if (!script.empty()) {
        for (const auto& step : script) {
            if (step.delayMs && !SleepMs(step.delayMs)) return;
            WriteBytes(step.raw ? step.bytes : Frame(step.bytes), false);
        }
        return;
    }
    Bytes reply;
    if (!Answer(p, n, reply)) return;
    if (code == kTestResultCode) {
        const uint32_t hold = ResultHoldMs();
        if (hold == TestStep::kHoldForever) return;
        if (hold > 0) return HoldBack(reply, hold);
    }
    SendAnswer(code, reply);
}

// ------------------------------------------------------------------ scripted test runs

void InstrumentSim::StartTestRun(uint8_t testId) {
    auto it = testScripts_.find(testId);
    runActive_ = false;
    if (it == testScripts_.end() || it->second.empty()) return;
    const TestScript& runs = it->second;
    const size_t n = static_cast<size_t>(testStarts_[testId]++);
    run_ = runs[std::min(n, runs.size() - 1)];
    if (run_.steps.empty()) return;
    runActive_ = true;
    ReachStep(0);
}

void InstrumentSim::ReachStep(size_t index) {
    runStep_ = index;
    TestStep& step = run_.steps[index];
    step.result.resize(kTestResultBytes, 0);
    log_.insert(log_.end(), step.log.begin(), step.log.end());
    if (step.logOverflow) logOverflow_ = true;
    statusNext_ = 0;
}

uint32_t InstrumentSim::ResultHoldMs() const {
    std::lock_guard lk(mu_);
    return runActive_ ? run_.steps[runStep_].holdMs : 0;
}

void InstrumentSim::HoldBack(const Bytes& reply, uint32_t ms) {
    std::lock_guard lk(mu_);
    dueReplies_.push_back({platform::TickCountMs() + ms, Frame(reply)});
}

void InstrumentSim::SendDueReplies() {
    std::vector<Bytes> due;
    {
        std::lock_guard lk(mu_);
        const uint32_t now = platform::TickCountMs();
        auto isDue = [now](const DueReply& d) { return static_cast<int32_t>(now - d.dueTick) >= 0; };
        for (const auto& d : dueReplies_)
            if (isDue(d)) due.push_back(d.frame);
        std::erase_if(dueReplies_, isDue);
        dueWriting_ += due.size();
    }
    for (const auto& frame : due) {
        WriteBytes(frame, false);
        std::lock_guard lk(mu_);
        --dueWriting_;
    }
    SendHeldPastLimit();
}

size_t InstrumentSim::HeldResultCount() const {
    std::lock_guard lk(mu_);
    return dueReplies_.size() + dueWriting_;
}

std::vector<InstrumentSim::HeldSpan> InstrumentSim::HeldSpans() const {
    std::lock_guard lk(mu_);
    std::vector<HeldSpan> spans = heldSpans_;
    for (const HeldReply& h : held_) spans.push_back({h.since, std::chrono::steady_clock::now()});
    return spans;
}

// Held answers whose limit has passed go out, in their order: one whose time
// has come waits for every one before it.
void InstrumentSim::SendHeldPastLimit() {
    std::vector<Bytes> out;
    {
        std::lock_guard lk(mu_);
        const auto now = std::chrono::steady_clock::now();
        while (!held_.empty()) {
            HeldReply& h = held_.front();
            const bool limitReached = h.limitMs && now - h.since >= std::chrono::milliseconds(h.limitMs);
            if (!limitReached) break;
            heldSpans_.push_back({h.since, now});
            out.push_back(std::move(h.frame));
            held_.erase(held_.begin());
        }
    }
    for (const auto& frame : out) WriteBytes(frame, false);
}

void InstrumentSim::SendAnswer(uint8_t code, const Bytes& replyIn) {
    Bytes reply = replyIn;
    FaultSpec fault;
    {
        std::lock_guard lk(mu_);
        auto it = faults_.find(code);
        if (it != faults_.end()) {
            fault = it->second;
            if (fault.times > 0 && --it->second.times == 0) faults_.erase(it);
        }
    }
    bool paced = false;
    switch (fault.fault) {
        case Fault::None:
            break;
        case Fault::Refuse:
            reply = {kLead, kRefuse};
            break;
        case Fault::Silent:
            return;
        case Fault::Delay:
            if (!SleepMs(fault.value)) return;
            break;
        case Fault::Short:
            reply.resize(std::min<size_t>(reply.size(), 2 + fault.value));
            break;
        case Fault::CloseLine:
            closeRequested_ = true;
            return;
        case Fault::Paced:
            paced = true;
            break;
        case Fault::Hold: {
            std::lock_guard lk(mu_);
            held_.push_back({Frame(reply), std::chrono::steady_clock::now(), fault.value});
            return;
        }
        case Fault::Noise: {
            Bytes noise;
            for (uint32_t i = 0; i < fault.value; ++i) noise.push_back(kNoiseBytes[i % kNoiseBytes.size()]);
            WriteBytes(noise, false);
            break;
        }
        case Fault::BadChecksum: {
            Bytes f = Frame(reply);
            f.back() = static_cast<uint8_t>(~f.back());
            WriteBytes(f, false);
            return;
        }
    }
    WriteBytes(Frame(reply), paced);
}

// The compliance-test command set. False: the instrument does not answer.
bool InstrumentSim::Answer(const uint8_t* p, size_t n, Bytes& reply) {
    if (n >= 2 && p[0] == 0xE0 && p[1] == 0xA2) {
        std::lock_guard lk(mu_);
        if (!legacy_) return false;  // a current firmware ignores the probe
        reply = {0xE2, 0xA2};
        return true;
    }
    if (n < 2 || p[0] != kLead) return false;
    const uint8_t code = p[1];
    const Bytes refuse{kLead, kRefuse};
    const Bytes ack{kLead, kAck};
    auto need = [&](size_t len) { return n >= len; };
    std::lock_guard lk(mu_);
    reply = {kLead, code};
    switch (code) {
        case 0x1C:  // firmware version
            for (size_t i = 0; i < 3; ++i)
                reply.push_back(i < version_.size() ? static_cast<uint8_t>(version_[i]) : '0');
            return true;
        case 0x10:  // start test: id, then the 20-byte parameter block
            if (!need(23)) break;
            lastStartTest_.assign(p + 2, p + 23);
            StartTestRun(p[2]);
            reply = ack;
            return true;
        case 0x11: {  // test result record
            const Bytes& record = runActive_ ? run_.steps[runStep_].result : testResult_;
            reply.insert(reply.end(), record.begin(), record.end());
            return true;
        }
        case 0x12: {  // log size: unread bytes, high byte first, and the overflow flag
            const size_t unread = std::min(log_.size() - logRead_, kMaxLogSize);
            reply.push_back(static_cast<uint8_t>(unread >> 8));
            reply.push_back(static_cast<uint8_t>(unread));
            reply.push_back(logOverflow_ ? 1 : 0);
            return true;
        }
        case 0x13: {  // read the next n log bytes
            if (!need(3)) break;
            const size_t count = p[2];
            for (size_t i = 0; i < count; ++i) reply.push_back(logRead_ + i < log_.size() ? log_[logRead_ + i] : 0);
            logRead_ = std::min(log_.size(), logRead_ + count);
            return true;
        }
        case 0x14:  // clear the log
            log_.clear();
            logRead_ = 0;
            logOverflow_ = false;
            reply = ack;
            return true;
        case 0x19:  // link status
            reply.insert(reply.end(), linkStatus_.begin(), linkStatus_.end());
            return true;
        case 0x16: {  // E-EDID read: segment, offset, count
            if (!need(5)) break;
            const size_t base = p[2] * 256u + p[3];
            for (size_t i = 0; i < p[4]; ++i) reply.push_back(base + i < edid_.size() ? edid_[base + i] : 0);
            return true;
        }
        case 0x17: {  // E-EDID write: segment, offset, 80, then 128 bytes
            if (!need(5 + 128)) break;
            const size_t base = p[2] * 256u + p[3];
            if (edid_.size() < base + 128) edid_.resize(base + 128, 0);
            std::copy(p + 5, p + 5 + 128, edid_.begin() + static_cast<long>(base));
            reply = ack;
            return true;
        }
        case 0x1A:  // DPCD read, address high byte first
            if (!need(4)) break;
            reply.push_back(dpcd_[p[2] * 256u + p[3]]);
            return true;
        case 0x1B:  // DPCD write
            if (!need(5)) break;
            dpcd_[p[2] * 256u + p[3]] = p[4];
            reply = ack;
            return true;
        case 0x1E:  // operator response
            if (!need(3)) break;
            lastOperatorResponse_ = p[2];
            if (runActive_ && runStep_ + 1 < run_.steps.size()) ReachStep(runStep_ + 1);
            reply = ack;
            return true;
        case 0x21:  // colorimetry list: count, then the entries
            if (!need(3) || !need(3u + p[2])) break;
            lastColorimetry_.assign(p + 3, p + 3 + p[2]);
            reply = ack;
            return true;
        case 0x22:  // status poll
            reply.push_back(statusByte_);
            return true;
        case 0x35: {  // test status: the scripted step's answers in turn, the last repeating
            const std::vector<uint8_t>* answers = runActive_ ? &run_.steps[runStep_].status : nullptr;
            if (answers && !answers->empty()) {
                reply.push_back((*answers)[std::min(statusNext_++, answers->size() - 1)]);
            } else {
                reply.push_back(testStatus_);
            }
            return true;
        }
        case 0x36:  // channel select
            if (!need(3)) break;
            lastChannel_ = p[2];
            reply = ack;
            return true;
        case 0x3A:  // DUT configuration
            if (!need(14)) break;
            lastDutConfig_.assign(p + 2, p + 14);
            reply = ack;
            return true;
        default:
            break;
    }
    reply = refuse;
    return true;
}

}  // namespace sim
