#include "sim/SinkSim.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "link/InstrumentFrame.h"

namespace sim {
namespace {

using clock = std::chrono::steady_clock;

constexpr size_t kSdpPayloadMax = 28;
constexpr size_t kDpcdSpace = 0x10000;
constexpr unsigned kPollMs = 5;

// Received bytes as a byte source for the one frame receiver.
struct RxBytes {
    std::vector<uint8_t> bytes;
    size_t Available() const { return bytes.size(); }
    uint8_t Peek(size_t i) const { return bytes[i]; }
    void Consume(uint8_t* dst, size_t n) {
        if (dst) std::memcpy(dst, bytes.data(), n);
        bytes.erase(bytes.begin(), bytes.begin() + static_cast<long>(n));
    }
};

void PutLe16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

// Microseconds that n bytes take on the line.
long long WireMicros(size_t n) {
    return static_cast<long long>(n) * SinkSim::kBitsPerByte * 1000000LL / SinkSim::kBaud;
}

// The commands whose reply carries no response data, only an acknowledgement.
bool WithoutData(uint8_t code) { return code == 0x17 || code == 0x1B || code == 0x26 || code == 0x29 || code == 0x31; }

uint16_t Le16(const std::vector<uint8_t>& c, size_t at) { return static_cast<uint16_t>(c[at] | (c[at + 1] << 8)); }

}  // namespace

std::array<uint8_t, 128> SinkSim::DefaultEdidBlock() {
    std::array<uint8_t, 128> b{};
    const uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::memcpy(b.data(), header, sizeof header);
    b[18] = 1;  // EDID version 1
    b[19] = 4;  // revision 4
    b[127] = frame::Checksum(b.data(), 127);
    return b;
}

SinkSim::SinkSim() : dpcd_(kDpcdSpace, 0) {
    // A sink trained at four lanes of 5.4 Gbps with enhanced framing, showing
    // 1920 x 1080 (CTA-861 VIC 16 timing).
    linkStatus_ = {0x77, 0x77, 0, 0, 0, 0, 0, 0, 0, 0, 4, 20, 1, 0, 1, 0, 0};
    const uint16_t msa16[8] = {2200, 192, 1920, 44, 1125, 41, 1080, 5};
    msa_[0] = 0x01;  // video valid
    msa_[1] = 0x20;  // MISC0: 8 bits per colour, RGB
    msa_[2] = 0x00;
    for (size_t i = 0; i < 8; ++i) {
        msa_[3 + 2 * i] = static_cast<uint8_t>(msa16[i] & 0xFF);
        msa_[4 + 2 * i] = static_cast<uint8_t>(msa16[i] >> 8);
    }
    audio_ = {2, 2, 16, 0x80, 0xBB, 0x00, 0x00, 0x04, 0x00, 0x00, 0x02, 0x02, 0x00};  // locked, 2 ch, 48 kHz
    crc_ = {0x1234, 0x5678, 0x9ABC};
    dpcd_[0x000] = 0x12;  // DPCD revision 1.2
    dpcd_[0x001] = 0x14;  // maximum link rate 5.4 Gbps
    dpcd_[0x002] = 0x84;  // four lanes, enhanced framing
    edid_[0] = DefaultEdidBlock();
    version_ = {'1', '0', '7'};
    hdcp_ = {1, 0};
}

SinkSim::~SinkSim() { Stop(); }

bool SinkSim::Start() {
    if (thread_.joinable()) return false;
    if (!pty_.Open()) return false;
    stop_.Reset();
    ended_.store(false);
    hangUp_.store(false);
    {
        std::lock_guard lk(mu_);
        held_.reset();
        release_ = false;
    }
    backlog_.clear();
    thread_ = std::thread(&SinkSim::Run, this);
    return true;
}

void SinkSim::Stop() {
    if (thread_.joinable()) {
        stop_.Set();
        thread_.join();
    }
    pty_.Close();
}

void SinkSim::HangUp() {
    hangUp_.store(true);
    Stop();
}

#define SINKSIM_LOCKED std::lock_guard lk(mu_)

void SinkSim::SetLinkStatus(const std::vector<uint8_t>& bytes) {
    SINKSIM_LOCKED;
    linkStatus_ = bytes;
}
void SinkSim::SetMsa(const std::array<uint8_t, 19>& record) {
    SINKSIM_LOCKED;
    msa_ = record;
}
void SinkSim::SetAudioStatus(const std::array<uint8_t, 13>& record) {
    SINKSIM_LOCKED;
    audio_ = record;
}
void SinkSim::SetVideoCrc(uint16_t r, uint16_t g, uint16_t b) {
    SINKSIM_LOCKED;
    crc_ = {r, g, b};
}
void SinkSim::SetErrorCounts(const std::array<uint16_t, 4>& c) {
    SINKSIM_LOCKED;
    errors_ = c;
}
std::array<uint16_t, 4> SinkSim::ErrorCounts() {
    SINKSIM_LOCKED;
    return errors_;
}
void SinkSim::SetDpcd(uint16_t address, uint8_t value) {
    SINKSIM_LOCKED;
    dpcd_[address] = value;
}
uint8_t SinkSim::Dpcd(uint16_t address) {
    SINKSIM_LOCKED;
    return dpcd_[address];
}
void SinkSim::SetEdidBlock(size_t index, const std::array<uint8_t, 128>& block) {
    SINKSIM_LOCKED;
    edid_[index] = block;
}
void SinkSim::SetDeviceRole(uint8_t role) {
    SINKSIM_LOCKED;
    role_ = role;
}
void SinkSim::SetAuxThreshold(uint16_t mvpp) {
    SINKSIM_LOCKED;
    auxThreshold_ = mvpp;
}
void SinkSim::SetHdcpStatus(uint8_t b0, uint8_t b1) {
    SINKSIM_LOCKED;
    hdcp_ = {b0, b1};
}
std::array<uint8_t, 3> SinkSim::SinkCapabilities() {
    SINKSIM_LOCKED;
    return caps_;
}
std::vector<uint16_t> SinkSim::HpdPulses() {
    SINKSIM_LOCKED;
    return hpdPulses_;
}
uint8_t SinkSim::AuxOutputLevel() {
    SINKSIM_LOCKED;
    return auxLevel_;
}
std::vector<uint16_t> SinkSim::AuxSteps() {
    SINKSIM_LOCKED;
    return auxSteps_;
}
size_t SinkSim::SdpWaiting() {
    SINKSIM_LOCKED;
    return sdp_.size();
}
void SinkSim::InjectFault(const SinkFaultPlan& fault) {
    SINKSIM_LOCKED;
    faults_.push_back(fault);
}
void SinkSim::SetPaced(bool paced) {
    SINKSIM_LOCKED;
    paced_ = paced;
}
void SinkSim::SetAck(Ack ack) {
    SINKSIM_LOCKED;
    ack_ = ack;
}
void SinkSim::SetDebugFlood(unsigned intervalMs) {
    SINKSIM_LOCKED;
    floodMs_ = intervalMs;
}
void SinkSim::ClearFaults() {
    SINKSIM_LOCKED;
    faults_.clear();
}
std::vector<std::vector<uint8_t>> SinkSim::Commands() {
    SINKSIM_LOCKED;
    return commands_;
}
size_t SinkSim::CommandCount() {
    SINKSIM_LOCKED;
    return commands_.size();
}

size_t SinkSim::CommandCount(uint8_t code) {
    SINKSIM_LOCKED;
    size_t n = 0;
    for (const auto& c : commands_) n += (!c.empty() && c[0] == code);
    return n;
}

bool SinkSim::EdidBlock(size_t index, std::array<uint8_t, 128>& block) {
    SINKSIM_LOCKED;
    auto it = edid_.find(index);
    if (it == edid_.end()) return false;
    block = it->second;
    return true;
}

void SinkSim::SetFirmwareVersion(const std::string& threeChars) {
    SINKSIM_LOCKED;
    for (size_t i = 0; i < 3; ++i) version_[i] = i < threeChars.size() ? static_cast<uint8_t>(threeChars[i]) : ' ';
}

void SinkSim::QueueSdp(uint8_t type, uint8_t id, uint8_t version, const std::vector<uint8_t>& payload) {
    SINKSIM_LOCKED;
    std::vector<uint8_t> rec(4 + kSdpPayloadMax, 0);
    rec[0] = type;
    rec[1] = id;
    rec[2] = version;
    const size_t n = std::min(payload.size(), kSdpPayloadMax);
    rec[3] = static_cast<uint8_t>(n);
    if (n) std::memcpy(rec.data() + 4, payload.data(), n);
    sdp_.push_back(rec);
}

void SinkSim::SendDebugText(const std::string& format, uint16_t arg) {
    std::vector<uint8_t> p{kTypeDebugText};
    p.insert(p.end(), format.begin(), format.end());
    p.push_back(0);
    PutLe16(p, arg);
    SendFrame(p);
}

void SinkSim::SendFrame(const std::vector<uint8_t>& payload) {
    uint8_t out[frame::kMaxFrame];
    const size_t n = frame::Build(payload.data(), payload.size(), out);
    SendRaw(std::vector<uint8_t>(out, out + n));
}

void SinkSim::SendRaw(const std::vector<uint8_t>& bytes) {
    SINKSIM_LOCKED;
    outbound_.push_back(bytes);
}

#undef SINKSIM_LOCKED

bool SinkSim::TakeFault(uint8_t code, SinkFaultPlan& out) {
    std::lock_guard lk(mu_);
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (it->code >= 0 && it->code != code) continue;
        if (it->skip > 0) {
            --it->skip;
            continue;
        }
        out = *it;
        if (--it->times <= 0) faults_.erase(it);
        return true;
    }
    return false;
}

void SinkSim::WriteFrame(const std::vector<uint8_t>& payload) {
    uint8_t out[frame::kMaxFrame];
    const size_t n = frame::Build(payload.data(), payload.size(), out);
    Transmit(out, n);
}

void SinkSim::FlushOutbound() {
    std::deque<std::vector<uint8_t>> pending;
    {
        std::lock_guard lk(mu_);
        pending.swap(outbound_);
    }
    for (const auto& b : pending) Transmit(b.data(), b.size());
}

// On a paced line each byte reaches the program when its last bit has been
// sent, after the bytes before it: the bytes go out in small groups, each
// at the time its last byte would have arrived.
void SinkSim::Transmit(const uint8_t* bytes, size_t n) {
    bool paced;
    {
        std::lock_guard lk(mu_);
        paced = paced_;
    }
    if (!paced) {
        pty_.Write(bytes, n);
        return;
    }
    constexpr size_t kGroup = 8;
    for (size_t at = 0; at < n && !stop_.IsSet(); at += kGroup) {
        const size_t count = std::min(kGroup, n - at);
        lineFreeAt_ = std::max(lineFreeAt_, clock::now()) + std::chrono::microseconds(WireMicros(count));
        std::this_thread::sleep_until(lineFreeAt_);
        pty_.Write(bytes + at, count);
    }
}

// A command's bytes come through the pseudo-terminal at once; on a paced
// line the answer waits for the time they need on the wire.
void SinkSim::WaitWireTime(size_t bytes) {
    bool paced;
    {
        std::lock_guard lk(mu_);
        paced = paced_;
    }
    if (paced) std::this_thread::sleep_for(std::chrono::microseconds(WireMicros(bytes)));
}

// Sends the debug texts that are due: on average one per interval, whatever
// the pace of the sim's loop.
void SinkSim::Flood() {
    unsigned intervalMs;
    {
        std::lock_guard lk(mu_);
        intervalMs = floodMs_;
    }
    if (intervalMs == 0) return;
    const auto now = clock::now();
    // Far behind (the flood was just switched on, or the line was busy):
    // start again from now instead of catching up.
    if (now - nextFlood_ > std::chrono::milliseconds(100)) nextFlood_ = now;
    while (nextFlood_ <= now && !stop_.IsSet()) {
        nextFlood_ += std::chrono::milliseconds(intervalMs);
        std::vector<uint8_t> p{kTypeDebugText};
        const std::string format = "Debug text %u";
        p.insert(p.end(), format.begin(), format.end());
        p.push_back(0);
        PutLe16(p, floodCount_++);
        WriteFrame(p);
    }
}

// The answer of a healthy sink to one command payload (code, request).
SinkSim::Reply SinkSim::Answer(const std::vector<uint8_t>& c) {
    std::lock_guard lk(mu_);
    Reply r;
    r.code = c[0];
    const size_t req = c.size() - 1;
    auto nack = [&] {
        r.code = kNack;
        r.data.clear();
        return r;
    };
    switch (c[0]) {
        case 0x15:
            r.data = linkStatus_;
            break;
        case 0x16: {
            if (req != 3 || (c[2] != 0x00 && c[2] != 0x80) || c[3] != 128) return nack();
            auto it = edid_.find(c[1] * 2u + c[2] / 0x80u);
            if (it == edid_.end()) return nack();
            r.data.assign(it->second.begin(), it->second.end());
            break;
        }
        case 0x17: {
            if (req != 3 + 128 || (c[2] != 0x00 && c[2] != 0x80) || c[3] != 128) return nack();
            std::array<uint8_t, 128> b;
            std::memcpy(b.data(), c.data() + 4, 128);
            edid_[c[1] * 2u + c[2] / 0x80u] = b;
            break;
        }
        case 0x1A:
            if (req != 2) return nack();
            r.data = {dpcd_[static_cast<size_t>(c[1] << 8 | c[2])]};  // address high byte first
            break;
        case 0x1B:
            if (req != 3) return nack();
            dpcd_[static_cast<size_t>(c[1] << 8 | c[2])] = c[3];
            break;
        case 0x1C:
            r.data.assign(version_.begin(), version_.end());
            break;
        case 0x22:
            r.data.assign(hdcp_.begin(), hdcp_.end());
            break;
        case 0x26:
            if (req != 3) return nack();
            caps_ = {c[1], c[2], c[3]};
            break;
        case 0x27:
            r.data.assign(msa_.begin(), msa_.end());
            break;
        case 0x28:
            r.data = {role_};
            break;
        case 0x29:
            if (req != 2) return nack();
            hpdPulses_.push_back(Le16(c, 1));
            break;
        case 0x2A:
            for (uint16_t v : crc_) PutLe16(r.data, v);
            break;
        case 0x2B:
            if (req != 1) return nack();
            for (uint16_t v : errors_) PutLe16(r.data, v);
            if (c[1] == 1) errors_.fill(0);
            break;
        case 0x2D:
            r.data.assign(audio_.begin(), audio_.end());
            break;
        case 0x2E:
            r.data.assign(33, 0);
            if (!sdp_.empty()) {
                std::memcpy(r.data.data() + 1, sdp_.front().data(), sdp_.front().size());
                sdp_.pop_front();
                r.data[0] = sdp_.empty() ? 1 : 2;  // 2: more packets waiting
            }
            break;
        case 0x31:
            if (req != 1) return nack();
            auxLevel_ = c[1];
            break;
        case 0x38: {
            if (req != 2) return nack();
            const uint16_t level = Le16(c, 1);
            auxSteps_.push_back(level);
            r.data = {static_cast<uint8_t>(level >= auxThreshold_ ? 0 : 1)};
            break;
        }
        default:
            return nack();
    }
    if (ack_ == Ack::Ack0C && WithoutData(c[0])) r.code = kAck;
    return r;
}

void SinkSim::Record(char direction, const std::vector<uint8_t>& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string line(1, direction);
    for (uint8_t b : bytes) {
        line += ' ';
        line += kHex[b >> 4];
        line += kHex[b & 0x0F];
    }
    std::lock_guard lk(mu_);
    wire_.push_back(line);
}

// A command is recorded as it arrives; while a reply waits, it is answered
// after that reply, as a sink that serves one command at a time would.
void SinkSim::Receive(const uint8_t* f, size_t length) {
    if (length < 4 || f[1] != kTypeCommand) return;  // no command code: ignored
    std::vector<uint8_t> cmd(f + 2, f + length - 1);
    {
        std::lock_guard lk(mu_);
        commands_.push_back(cmd);
    }
    Record('>', cmd);
    bool waiting;
    {
        std::lock_guard lk(mu_);
        waiting = held_.has_value();
    }
    if (waiting || !backlog_.empty()) {
        backlog_.push_back(cmd);
        return;
    }
    Process(cmd);
}

void SinkSim::Process(const std::vector<uint8_t>& cmd) {
    WaitWireTime(cmd.size() + 3);
    Reply r = Answer(cmd);
    SinkFaultPlan fault;
    std::optional<HeldReply> later;
    if (TakeFault(cmd[0], fault)) {
        switch (fault.kind) {
            case SinkFault::Nack:
                r.code = kNack;
                r.data.clear();
                break;
            case SinkFault::Silence:
                r.send = false;
                break;
            case SinkFault::LateReply:
                later.emplace();
                later->due = clock::now() + std::chrono::milliseconds(fault.delayMs);
                break;
            case SinkFault::HoldReply:
                if (fault.nack) {
                    r.code = kNack;
                    r.data.clear();
                }
                later.emplace();
                later->untilReleased = true;
                break;
            case SinkFault::ShortReply:
                if (r.data.size() > fault.keepDataBytes) r.data.resize(fault.keepDataBytes);
                break;
            case SinkFault::Noise:
                Transmit(fault.noise.data(), fault.noise.size());
                break;
            case SinkFault::CloseLine:
                hangUp_.store(true);
                return;
        }
    }
    if (!r.send) return;
    std::vector<uint8_t> payload{kTypeCommand, r.code};
    payload.insert(payload.end(), r.data.begin(), r.data.end());
    if (later) {
        later->payload = std::move(payload);
        std::lock_guard lk(mu_);
        held_ = std::move(later);
        release_ = false;
        return;
    }
    SendReply(payload);
}

void SinkSim::SendReply(const std::vector<uint8_t>& payload) {
    Record('<', std::vector<uint8_t>(payload.begin() + 1, payload.end()));
    WriteFrame(payload);
}

// Sends a waiting reply once it is due, then answers the commands that came
// meanwhile, until one of them waits in its turn.
void SinkSim::ServeHeld() {
    std::vector<uint8_t> due;
    {
        std::lock_guard lk(mu_);
        if (held_) {
            if (held_->untilReleased ? !release_ : clock::now() < held_->due) return;
            due = std::move(held_->payload);
            held_.reset();
            release_ = false;
        }
    }
    if (!due.empty()) SendReply(due);
    for (;;) {
        {
            std::lock_guard lk(mu_);
            if (held_) return;
        }
        if (backlog_.empty() || hangUp_.load() || stop_.IsSet()) return;
        const std::vector<uint8_t> cmd = std::move(backlog_.front());
        backlog_.pop_front();
        Process(cmd);
    }
}

bool SinkSim::ReplyHeld() {
    std::lock_guard lk(mu_);
    return held_.has_value();
}

void SinkSim::ReleaseHeld() {
    std::lock_guard lk(mu_);
    if (held_ && held_->untilReleased) release_ = true;
}

std::vector<std::string> SinkSim::Wire() {
    std::lock_guard lk(mu_);
    return wire_;
}

void SinkSim::Run() {
    RxBytes rx;
    auto lastByte = clock::now();
    uint8_t buf[512];
    uint8_t frameOut[frame::kMaxFrame];
    while (!stop_.IsSet() && !hangUp_.load()) {
        FlushOutbound();
        Flood();
        ServeHeld();
        const auto w = pty_.WaitReadable(static_cast<int>(kPollMs), &stop_);
        if (w == platform::SerialPort::Wait::Stopped) break;
        if (w == platform::SerialPort::Wait::Readable) {
            const long n = pty_.ReadNow(buf, sizeof buf);
            if (n > 0) {
                rx.bytes.insert(rx.bytes.end(), buf, buf + n);
                lastByte = clock::now();
            }
        } else if (w == platform::SerialPort::Wait::Error) {
            stop_.Wait(static_cast<int>(kPollMs));  // no program on the line right now
        }
        // A partial frame whose bytes stopped coming is searched again byte by byte.
        for (;;) {
            const size_t before = rx.Available();
            if (before == 0) break;
            const bool stalled = clock::now() - lastByte > std::chrono::milliseconds(frame::kStalledFrameGapMs);
            const size_t len = frame::Receive(rx, frameOut, stalled);
            if (len) Receive(frameOut, len);
            if (hangUp_.load() || (len == 0 && rx.Available() == before)) break;
        }
    }
    if (hangUp_.load()) pty_.Close();  // the line goes down under the program
    ended_.store(true);
}

}  // namespace sim
