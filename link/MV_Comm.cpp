#include "link/MV_Comm.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>

#include "link/InstrumentFrame.h"
#include "link/InstrumentText.h"
#include "link/USerIO.h"
#include "platform/Clock.h"
#include "platform/GuiCall.h"
#include "platform/WorkerThread.h"

namespace {

constexpr uint8_t kReplyLead = 0x71;  // 'q': every application request and reply
constexpr uint8_t kAck = 0x0C;
constexpr uint8_t kRefuse = 0x0B;
constexpr uint8_t kPrintPacket = 0x0D;
constexpr uint8_t kStatusCode = 0x22;
constexpr int kStatusPollPasses = 100;  // idle passes between status polls (about 1 s)
constexpr int kStatusReplyLooks = 29;   // looks for the status reply, 10 ms apart
constexpr uint32_t kIdleSleepMs = 10;
constexpr uint32_t kTestStatusRefusalSleepMs = 500;
constexpr int kTestStatusRefusalLimit = 3;
constexpr uint32_t kInitialTestTimeout = 40;  // 4 s, until a start test gives its own
constexpr const char* kWriteFailedText = "Write command failed; No chars sent...";

// Bytes of a request payload after its two leading bytes, taken from the
// request's parameters in this order.
enum class Field : uint8_t { P1, P1High, P1Low, P2, P3, Const80 };

enum class Refusal : uint8_t {
    Standard,       // 71 0B refuses
    AlsoBare0B,     // also the one-byte payload 0B, looked at before print packets
    Probe,          // 0B and 71 0B refuse, E2 A2 answers, both before print packets
    RetryOnRefusal  // 71 0B: wait 500 ms and keep waiting; the third ends the request
};

enum class Action : uint8_t { None, Copy, TestResult, LogSize, StoreTestTimeout };

constexpr uint16_t kFromCount = 0xFFFF;  // length given by the request's count

struct RequestSpec {
    int32_t sendState;
    uint8_t lead, code;  // the payload's first two bytes
    Field fields[3];
    uint8_t fieldCount;
    uint16_t inputLength;          // caller bytes after the fields (zeros when none given)
    uint8_t replyLead, replyCode;  // what the awaited reply starts with
    uint16_t replyLength;          // data bytes the reply must hold after its two leading bytes
    uint8_t timeout100ms;          // 0: the stored test time-out
    uint16_t sendDelayMs;          // slept by the worker before sending
    Refusal refusal;
    Action action;
};

using namespace link_state;
using F = Field;

// The request table: one row per request, read by the one send-and-wait path.
constexpr RequestSpec kRequests[] = {
    {kFirmwareVersion, 0x71, 0x1C, {}, 0, 0, 0x71, 0x1C, 3, 5, 0, Refusal::AlsoBare0B, Action::Copy},
    {kStartTest, 0x71, 0x10, {F::P1}, 1, 20, 0x71, kAck, 0, 40, 0, Refusal::Standard, Action::StoreTestTimeout},
    {kTestResult, 0x71, 0x11, {}, 0, 0, 0x71, 0x11, 84, 0, 0, Refusal::Standard, Action::TestResult},
    {kLogSize, 0x71, 0x12, {}, 0, 0, 0x71, 0x12, 3, 40, 0, Refusal::Standard, Action::LogSize},
    {kReadLog, 0x71, 0x13, {F::P1}, 1, 0, 0x71, 0x13, kFromCount, 40, 0, Refusal::Standard, Action::Copy},
    {kClearLog, 0x71, 0x14, {}, 0, 0, 0x71, kAck, 0, 40, 0, Refusal::Standard, Action::None},
    {kLinkStatus, 0x71, 0x19, {}, 0, 0, 0x71, 0x19, 28, 40, 200, Refusal::Standard, Action::Copy},
    {kEdidRead,
     0x71,
     0x16,
     {F::P1, F::P2, F::P3},
     3,
     0,
     0x71,
     0x16,
     kFromCount,
     40,
     0,
     Refusal::Standard,
     Action::Copy},
    {kEdidWrite, 0x71, 0x17, {F::P1, F::P2, F::Const80}, 3, 128, 0x71, kAck, 0, 60, 0, Refusal::Standard, Action::None},
    {kDpcdRead, 0x71, 0x1A, {F::P1High, F::P1Low}, 2, 0, 0x71, 0x1A, 1, 40, 0, Refusal::Standard, Action::Copy},
    {kDpcdWrite, 0x71, 0x1B, {F::P1High, F::P1Low, F::P2}, 3, 0, 0x71, kAck, 0, 40, 0, Refusal::Standard, Action::None},
    {kOperatorResponse, 0x71, 0x1E, {F::P1}, 1, 0, 0x71, kAck, 0, 40, 0, Refusal::Standard, Action::None},
    {kLegacyProbe, 0xE0, 0xA2, {}, 0, 0, 0xE2, 0xA2, 0, 5, 0, Refusal::Probe, Action::None},
    {kColorimetry, 0x71, 0x21, {F::P1}, 1, kFromCount, 0x71, kAck, 0, 40, 0, Refusal::Standard, Action::None},
    {kTestStatus, 0x71, 0x35, {}, 0, 0, 0x71, 0x35, 1, 20, 0, Refusal::RetryOnRefusal, Action::Copy},
    {kChannelSelect, 0x71, 0x36, {F::P1}, 1, 0, 0x71, kAck, 0, 40, 0, Refusal::Standard, Action::None},
    {kDutConfig, 0x71, 0x3A, {}, 0, 12, 0x71, kAck, 0, 40, 0, Refusal::Standard, Action::None},
};

const RequestSpec* FindRequest(int32_t state) {
    for (const auto& r : kRequests)
        if (state == r.sendState || state == r.sendState + 1) return &r;
    return nullptr;
}

constexpr uint32_t kMaxReadLog = 200;
constexpr uint32_t kMaxEdidRead = 128;
constexpr uint32_t kMaxColorimetry = 128;

// Caller bytes a request sends after its fields (at most kMaxColorimetry
// for a count-given length: the request operations check it first).
size_t InputLength(const RequestSpec& spec, uint32_t count) {
    return spec.inputLength == kFromCount ? count : spec.inputLength;
}

}  // namespace

// Everything the worker touches lives here, the worker thread included,
// shared by the link object and the worker's body: when the link is
// destroyed from inside one of its own deliveries, the worker still finishes
// that delivery and ends on its own.
struct MV_Comm::Core : LinkWorkerHooks {
    explicit Core(std::string path) : devicePath(std::move(path)) {}

    // ---- port (the worker holds portMu while it touches the port; ResetPort
    // holds it while it takes the port away or puts the new one in)
    std::mutex portMu;
    std::unique_ptr<USerIO> port;
    std::string devicePath;

    // ---- hand-off (written by a request on the GUI thread before `state`)
    std::atomic<int32_t> state{kIdle};
    Completion onComplete;
    uint32_t p1 = 0, p2 = 0, p3 = 0, count = 0;
    uint8_t input[frame::kMaxPayload] = {};  // the request's own copy of the caller's input data
    bool hasInput = false;                   // else zeros are sent
    void* reply = nullptr;  // the caller's buffer: written on the GUI thread only, before the completion
    uint32_t requestTestTimeout = 0;
    uint32_t startDelayMs = 0;
    WorkerSequence sequence;

    // ---- worker only
    uint32_t testTimeout = kInitialTestTimeout;
    int retryCount = 0;
    bool awaiting = false;
    uint32_t sentTick = 0;
    uint32_t replyTimeout100ms = 0;
    int pollCountdown = kStatusPollPasses;
    bool pollPending = false;
    uint8_t status = 0;
    std::string linkMessage;
    uint8_t frameBuf[frame::kMaxFrame + 1] = {};
    // The reply's bytes for the caller's buffer, as they are to land there;
    // read by the GUI thread while the worker waits for the completion.
    uint8_t replyData[frame::kMaxPayload] = {};
    size_t replyBytes = 0;

    // ---- owner's closures: read and called on the GUI thread only; the
    // worker looks only at the atomic copies.
    MessageFn onMessage;
    StatusFn onStatus;
    CountFn onUpdateStart, onProgress;
    std::atomic<bool> messageSet{false}, statusSet{false}, updateStartSet{false}, progressSet{false};
    std::atomic<bool> showPrintPackets{false}, statusPollEnabled{false};

    // ---- the worker thread (its stop request ends the link's worker)
    platform::WorkerThread worker;
    bool Stopping() const { return worker.StopRequested(); }

    // ---------------------------------------------------------------- worker
    void Run() {
        while (!Stopping()) Pass();
    }

    void Pass();
    void IdlePass();
    void RequestPass(const RequestSpec& spec, int32_t s);
    bool SendRequest(const RequestSpec& spec);
    void Examine(const RequestSpec& spec, const uint8_t* p, size_t n);
    void Deliver(LinkResult result, const RequestSpec* spec, const uint8_t* p, size_t n);
    void Complete(LinkResult result);
    void RunSequence();

    // Frame steps.
    size_t BuildFrame(const uint8_t* payload, size_t n, uint8_t* out) { return frame::Build(payload, n, out); }
    void SendFrameBytes(const uint8_t* bytes, size_t n);
    size_t ReceiveFrame(uint8_t* buf, bool* progressed);
    size_t UnpackFrame(uint8_t* buf, size_t length) { return frame::Unpack(buf, length); }
    size_t ReceivePayloadNow(bool* progressed);
    void WaitForLine(int ms);

    void SetReplyTimeout(uint32_t units) { replyTimeout100ms = units; }
    bool ReplyTimedOut();
    void StopWaiting() { awaiting = false; }

    // Sleeps unless stopped; wakeOnRequest also ends the sleep when a request arrives.
    bool SleepFor(uint32_t ms, bool wakeOnRequest = false);

    // Calls fn on the GUI thread unless the link is being destroyed.
    void OnGui(const std::function<void()>& fn);
    void NotifyMessage(const std::string& text);

    // ---- LinkWorkerHooks (worker sequences)
    bool SendFrame(const uint8_t* payload, size_t n) override;
    bool SendRaw(const uint8_t* bytes, size_t n) override;
    Receive ReceivePayload(uint8_t* out, size_t* n, uint32_t timeoutMs) override;
    bool HandleAsyncPacket(const uint8_t* payload, size_t n) override;
    void Message(const std::string& text) override { NotifyMessage(text); }
    void UpdateStart(uint32_t total) override;
    void Progress(uint32_t sent) override;
    bool Sleep(uint32_t ms) override { return SleepFor(ms); }
};

// ------------------------------------------------------------------ worker

void MV_Comm::Core::Pass() {
    if (retryCount >= kTestStatusRefusalLimit) {
        retryCount = 0;
        Complete(LINK_RETRIES_EXCEEDED);
        return;
    }
    if (ReplyTimedOut()) {
        Complete(LINK_NO_RESPONSE);
        return;
    }
    const int32_t s = state.load(std::memory_order_acquire);
    if (s == kIdle) {
        IdlePass();
        return;
    }
    pollCountdown = kStatusPollPasses;
    if (s == kFirmwareUpdate) {
        RunSequence();
        return;
    }
    const RequestSpec* spec = FindRequest(s);
    if (!spec) {
        Complete(LINK_INTERNAL_ERROR);
        return;
    }
    RequestPass(*spec, s);
}

void MV_Comm::Core::IdlePass() {
    bool progressed = false;
    if (size_t n = ReceivePayloadNow(&progressed)) {
        HandleAsyncPacket(frameBuf, n);
        return;  // no sleep: queued packets are drained quickly
    }
    if (statusPollEnabled.load() && statusSet.load() && --pollCountdown < 0) {
        pollCountdown = kStatusPollPasses;
        static const uint8_t kPoll[] = {kReplyLead, kStatusCode};
        uint8_t f[4];
        const size_t len = BuildFrame(kPoll, sizeof kPoll, f);
        {
            std::lock_guard lk(portMu);
            if (port) port->Write(f, len);  // straight out: no reply timer, no failure text
        }
        pollPending = true;
        for (int i = 0; i < kStatusReplyLooks && pollPending; ++i) {
            if (!SleepFor(kIdleSleepMs)) return;
            if (size_t n = ReceivePayloadNow(&progressed)) HandleAsyncPacket(frameBuf, n);
        }
    }
    SleepFor(kIdleSleepMs, true);
}

void MV_Comm::Core::RequestPass(const RequestSpec& spec, int32_t s) {
    if (s == spec.sendState) {
        if (!SendRequest(spec)) return;  // stopped while sleeping before the send
        state.store(spec.sendState + 1, std::memory_order_release);
    }
    bool progressed = false;
    const size_t n = ReceivePayloadNow(&progressed);
    if (n == 0) {
        if (!progressed) WaitForLine(1);
        return;
    }
    Examine(spec, frameBuf, n);
}

bool MV_Comm::Core::SendRequest(const RequestSpec& spec) {
    uint32_t delay = spec.sendDelayMs;
    if (spec.sendState == kStartTest) {
        delay += startDelayMs;
        startDelayMs = 0;
    }
    if (delay && !SleepFor(delay)) return false;

    uint8_t payload[frame::kMaxPayload];
    size_t n = 0;
    payload[n++] = spec.lead;
    payload[n++] = spec.code;
    for (uint8_t i = 0; i < spec.fieldCount; ++i) {
        switch (spec.fields[i]) {
            case Field::P1:
                payload[n++] = static_cast<uint8_t>(p1);
                break;
            case Field::P1High:
                payload[n++] = static_cast<uint8_t>(p1 >> 8);
                break;
            case Field::P1Low:
                payload[n++] = static_cast<uint8_t>(p1);
                break;
            case Field::P2:
                payload[n++] = static_cast<uint8_t>(p2);
                break;
            case Field::P3:
                payload[n++] = static_cast<uint8_t>(p3);
                break;
            case Field::Const80:
                payload[n++] = 0x80;
                break;
        }
    }
    const size_t inputLength = InputLength(spec, count);
    if (hasInput) std::memcpy(payload + n, input, inputLength);
    else std::memset(payload + n, 0, inputLength);
    n += inputLength;

    SetReplyTimeout(spec.timeout100ms ? spec.timeout100ms : testTimeout);
    uint8_t f[frame::kMaxFrame];
    SendFrameBytes(f, BuildFrame(payload, n, f));
    retryCount = 0;
    return true;
}

void MV_Comm::Core::Examine(const RequestSpec& spec, const uint8_t* p, size_t n) {
    // Refusal forms that are looked at before the packet is taken as a print
    // packet or status reply: only the exact one-byte 0B (a longer payload
    // starting with 0B is an unsolicited packet), and the probe's own answer.
    if (spec.refusal == Refusal::AlsoBare0B || spec.refusal == Refusal::Probe) {
        if (n == 1 && p[0] == kRefuse) return Deliver(LINK_REFUSED, &spec, p, n);
    }
    if (spec.refusal == Refusal::Probe) {
        if (n >= 2 && p[0] == kReplyLead && p[1] == kRefuse) return Deliver(LINK_REFUSED, &spec, p, n);
        if (n >= 2 && p[0] == spec.replyLead && p[1] == spec.replyCode) return Deliver(LINK_OK, &spec, p, n);
    }
    if (HandleAsyncPacket(p, n)) return;  // not the reply; the reply timer keeps running

    if (n >= 2 && p[1] == kRefuse) {
        if (spec.refusal == Refusal::RetryOnRefusal) {
            SleepFor(kTestStatusRefusalSleepMs);
            ++retryCount;
            return;
        }
        return Deliver(LINK_REFUSED, &spec, p, n);
    }
    if (spec.replyLead == kReplyLead && n >= 2 && p[1] == spec.replyCode) return Deliver(LINK_OK, &spec, p, n);
    Deliver(LINK_INVALID_RESPONSE, &spec, p, n);
}

void MV_Comm::Core::Deliver(LinkResult result, const RequestSpec* spec, const uint8_t* p, size_t n) {
    if (result == LINK_OK && spec) {
        const size_t need = spec->replyLength == kFromCount ? count : spec->replyLength;
        // A reply too short for its data completes as invalid and copies
        // nothing; a longer one is cut.
        if (n < 2 + need) return Complete(LINK_INVALID_RESPONSE);
        const uint8_t* data = p + 2;
        switch (spec->action) {
            case Action::None:
                break;
            case Action::Copy:
                std::memcpy(replyData, data, need);
                replyBytes = need;
                break;
            case Action::TestResult:
                std::memcpy(replyData, data, need);
                replyData[need - 1] = 0;  // the text is always terminated
                replyBytes = need;
                break;
            case Action::LogSize: {
                const auto size = static_cast<uint16_t>(data[0] * 256 + data[1]);
                std::memcpy(replyData, &size, sizeof size);
                replyBytes = sizeof size;
                if (data[2] == 1) result = LINK_OK_LOG_OVERFLOW;
                break;
            }
            case Action::StoreTestTimeout:
                testTimeout = requestTestTimeout;
                break;
        }
    }
    Complete(result);
}

void MV_Comm::Core::Complete(LinkResult result) {
    // Take the completion and its buffer before the state goes idle: from
    // then on the GUI thread may hand over the next request.
    Completion done = std::move(onComplete);
    onComplete = nullptr;
    void* const buffer = reply;
    reply = nullptr;
    const size_t bytes = replyBytes;
    replyBytes = 0;
    sequence = nullptr;
    StopWaiting();
    state.store(kIdle, std::memory_order_release);
    OnGui([&] {
        Completion c = std::move(done);  // released on the GUI thread
        // The caller's buffer is written here, on the GUI thread, and only
        // while the completion still wants its reply.
        if (c.Dropped()) return;
        if (buffer && bytes) std::memcpy(buffer, replyData, bytes);
        c(result);
    });
}

void MV_Comm::Core::RunSequence() {
    WorkerSequence run = std::move(sequence);
    const LinkResult result = run ? run(*this) : LINK_INTERNAL_ERROR;
    if (Stopping()) return;  // being destroyed: no completion
    Complete(result);
}

void MV_Comm::Core::SendFrameBytes(const uint8_t* bytes, size_t n) {
    SendRaw(bytes, n);  // a short write is reported there; the reply timer starts all the same
    sentTick = platform::TickCountMs();
    awaiting = true;
}

size_t MV_Comm::Core::ReceiveFrame(uint8_t* buf, bool* progressed) {
    std::lock_guard lk(portMu);
    if (!port) return 0;
    port->Poll();
    const size_t before = port->Held();
    if (before == 0) return 0;
    // A partial frame whose bytes stopped coming would block the line: once
    // nothing has been stored for longer than the inter-byte gap, its
    // length byte is given up like one that failed its checksum.
    const bool stalled = platform::TickCountMs() - port->LastStoreTick() > frame::kStalledFrameGapMs;
    USerIORing ring{*port};
    const size_t length = frame::Receive(ring, buf, stalled);
    *progressed = port->Held() != before;
    return length;
}

size_t MV_Comm::Core::ReceivePayloadNow(bool* progressed) {
    const size_t length = ReceiveFrame(frameBuf, progressed);
    if (length == 0) return 0;
    return UnpackFrame(frameBuf, length);
}

void MV_Comm::Core::WaitForLine(int ms) {
    std::lock_guard lk(portMu);
    if (port) port->WaitForData(ms, &worker.Signal());
    else worker.Signal().Wait(ms);
}

bool MV_Comm::Core::ReplyTimedOut() {
    if (!awaiting) return false;
    const uint32_t now = platform::TickCountMs();
    const uint32_t elapsed = now >= sentTick ? now - sentTick : now + (0xFFFFFFFFu - sentTick);
    if (elapsed <= replyTimeout100ms * 100u) return false;
    awaiting = false;
    return true;
}

bool MV_Comm::Core::SleepFor(uint32_t ms, bool wakeOnRequest) {
    const int t = static_cast<int>(ms);
    if (!wakeOnRequest) return !worker.Sleep(t);
    return !worker.Sleep(t, [this] { return state.load(std::memory_order_acquire) != kIdle; });
}

void MV_Comm::Core::OnGui(const std::function<void()>& fn) {
    if (Stopping()) return;
    platform::CallOnGuiThread([&] {
        if (Stopping()) return;  // the link is being destroyed: no closure runs
        fn();
    });
}

void MV_Comm::Core::NotifyMessage(const std::string& text) {
    if (!messageSet.load()) return;
    linkMessage = text;
    const std::string delivered = linkMessage;  // the text built for this delivery
    OnGui([&] {
        if (onMessage) onMessage(delivered);
    });
}

bool MV_Comm::Core::HandleAsyncPacket(const uint8_t* p, size_t n) {
    if (n == 0) return true;
    if (p[0] == kPrintPacket) {
        if (messageSet.load() && showPrintPackets.load())
            NotifyMessage(instrument_text::FormatPacket(p, n, instrument_text::kPrintPacketMax));
        return true;
    }
    if (p[0] == kReplyLead) {
        if (n < 2 || p[1] != kStatusCode) return false;  // the reply to a request
        pollPending = false;
        if (statusSet.load() && statusPollEnabled.load()) {
            status = n >= 3 ? p[2] : 0;
            const bool on = status == 1;
            OnGui([&] {
                if (onStatus) onStatus(on);
            });
        }
        return true;
    }
    return true;  // anything else is dropped
}

// ---- worker sequences

bool MV_Comm::Core::SendFrame(const uint8_t* payload, size_t n) {
    uint8_t f[frame::kMaxFrame];
    const size_t len = BuildFrame(payload, n, f);
    return len != 0 && SendRaw(f, len);
}

bool MV_Comm::Core::SendRaw(const uint8_t* bytes, size_t n) {
    size_t written = 0;
    {
        std::lock_guard lk(portMu);
        if (port) written = port->Write(bytes, n);
    }
    if (written != n) NotifyMessage(kWriteFailedText);
    sentTick = platform::TickCountMs();  // a sequence's waits count from here
    return written == n;
}

LinkWorkerHooks::Receive MV_Comm::Core::ReceivePayload(uint8_t* out, size_t* n, uint32_t timeoutMs) {
    for (;;) {
        if (Stopping()) return Receive::Stopped;
        bool progressed = false;
        if (size_t got = ReceivePayloadNow(&progressed)) {
            std::memcpy(out, frameBuf, got);
            *n = got;
            return Receive::Payload;
        }
        if (platform::TickCountMs() - sentTick > timeoutMs) return Receive::TimedOut;
        if (!progressed) WaitForLine(1);
    }
}

void MV_Comm::Core::UpdateStart(uint32_t total) {
    if (!updateStartSet.load()) return;
    OnGui([&] {
        if (onUpdateStart) onUpdateStart(total);
    });
}

void MV_Comm::Core::Progress(uint32_t sent) {
    if (!progressSet.load()) return;
    OnGui([&] {
        if (onProgress) onProgress(sent);
    });
}

// -------------------------------------------------------------- GUI thread

namespace {
std::atomic<int> g_failingWorkerStarts{0};

// Takes one of the worker starts FailNextWorkerStarts asked to fail.
bool TakeFailingWorkerStart() {
    int failing = g_failingWorkerStarts.load();
    while (failing > 0 && !g_failingWorkerStarts.compare_exchange_weak(failing, failing - 1)) {}
    return failing > 0;
}
}  // namespace

void MV_Comm::FailNextWorkerStarts(int count) { g_failingWorkerStarts = count; }

MV_Comm::MV_Comm(int32_t mode, int32_t /*unused*/, const std::string& devicePath) {
    // The mode is checked and the port made before anything needs undoing.
    if (mode == kModeI2C) throw E_GenericError("I2C communications mode not implemented yet");
    if (mode != kModeSerial) throw E_GenericError("Unrecognized operation mode.");
    try {
        core_ = std::make_shared<Core>(devicePath);
        core_->port = std::make_unique<USerIO>(devicePath);
    } catch (const std::bad_alloc&) {
        throw E_GenericError("Could not create serial communications object");
    }
    platform::BeginTimerResolution();
    if (TakeFailingWorkerStart() ||
        core_->worker.Start([core = core_] { core->Run(); }) != platform::WorkerThread::StartResult::Running) {
        platform::EndTimerResolution();
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again), "link worker thread");
    }
}

MV_Comm::~MV_Comm() {
    // The join serves the worker's GUI-thread calls (they run no closure any
    // more) so that it can always reach its end. Destroyed from inside one of
    // this link's deliveries, the worker waits for that delivery to return:
    // the join lets it finish its pass on its own, and its body frees the
    // shared state.
    core_->worker.Join();
    platform::EndTimerResolution();
}

void MV_Comm::SetOnMessage(MessageFn fn) {
    core_->messageSet.store(static_cast<bool>(fn));
    core_->onMessage = std::move(fn);
}
void MV_Comm::SetOnStatus(StatusFn fn) {
    core_->statusSet.store(static_cast<bool>(fn));
    core_->onStatus = std::move(fn);
}
void MV_Comm::SetOnUpdateStart(CountFn fn) {
    core_->updateStartSet.store(static_cast<bool>(fn));
    core_->onUpdateStart = std::move(fn);
}
void MV_Comm::SetOnProgress(CountFn fn) {
    core_->progressSet.store(static_cast<bool>(fn));
    core_->onProgress = std::move(fn);
}
void MV_Comm::SetShowPrintPackets(bool on) { core_->showPrintPackets.store(on); }
void MV_Comm::SetStatusPollEnabled(bool on) { core_->statusPollEnabled.store(on); }
bool MV_Comm::ShowPrintPackets() const { return core_->showPrintPackets.load(); }
bool MV_Comm::StatusPollEnabled() const { return core_->statusPollEnabled.load(); }

void MV_Comm::Submit(int32_t sendState, uint32_t p1, uint32_t p2, uint32_t p3, uint32_t count, const uint8_t* input,
                     void* reply, Completion onComplete) {
    Core& c = *core_;
    if (c.state.load(std::memory_order_acquire) != kIdle) {
        if (onComplete) onComplete(LINK_BUSY);
        return;
    }
    c.onComplete = std::move(onComplete);
    c.p1 = p1;
    c.p2 = p2;
    c.p3 = p3;
    c.count = count;
    // The input is the request's own from here: the caller may change or
    // free its memory as soon as this returns.
    const RequestSpec* spec = FindRequest(sendState);
    c.hasInput = input && spec;
    if (c.hasInput) std::memcpy(c.input, input, InputLength(*spec, count));
    c.reply = reply;
    c.state.store(sendState, std::memory_order_release);  // the hand-off: last
    c.worker.Wake();
}

namespace {
bool Busy(const std::atomic<int32_t>& state) { return state.load(std::memory_order_acquire) != kIdle; }
}  // namespace

void MV_Comm::QueryFirmwareVersion(uint8_t* reply3, Completion onComplete) {
    Submit(kFirmwareVersion, 0, 0, 0, 0, nullptr, reply3, std::move(onComplete));
}

void MV_Comm::StartTest(uint8_t testId, uint32_t testTimeout100ms, const uint8_t* params20, Completion onComplete) {
    if (!Busy(core_->state)) core_->requestTestTimeout = testTimeout100ms;
    Submit(kStartTest, testId, 0, 0, 0, params20, nullptr, std::move(onComplete));
}

void MV_Comm::StartTestDelayed(uint32_t delaySeconds, uint8_t testId, const uint8_t* params20,
                               uint32_t testTimeout100ms, Completion onComplete) {
    if (!Busy(core_->state)) {
        core_->requestTestTimeout = testTimeout100ms;
        core_->startDelayMs = delaySeconds * 1000u;
    }
    Submit(kStartTest, testId, 0, 0, 0, params20, nullptr, std::move(onComplete));
}

void MV_Comm::QueryTestResult(uint8_t* reply84, Completion onComplete) {
    Submit(kTestResult, 0, 0, 0, 0, nullptr, reply84, std::move(onComplete));
}

void MV_Comm::QueryLogSize(uint16_t* size, Completion onComplete) {
    Submit(kLogSize, 0, 0, 0, 0, nullptr, size, std::move(onComplete));
}

void MV_Comm::ReadLog(uint8_t* reply, uint16_t count, Completion onComplete) {
    if (!Busy(core_->state) && count > kMaxReadLog) {
        if (onComplete) onComplete(LINK_INTERNAL_ERROR);
        return;
    }
    Submit(kReadLog, count, 0, 0, count, nullptr, reply, std::move(onComplete));
}

void MV_Comm::ClearLog(Completion onComplete) {
    Submit(kClearLog, 0, 0, 0, 0, nullptr, nullptr, std::move(onComplete));
}

void MV_Comm::QueryLinkStatus(uint8_t* reply28, Completion onComplete) {
    Submit(kLinkStatus, 0, 0, 0, 0, nullptr, reply28, std::move(onComplete));
}

void MV_Comm::ReadEdidBlock(uint8_t* reply, uint8_t segment, uint32_t count, uint8_t offset, Completion onComplete) {
    if (!Busy(core_->state) && count > kMaxEdidRead) {
        if (onComplete) onComplete(LINK_INTERNAL_ERROR);
        return;
    }
    Submit(kEdidRead, segment, offset, count, count, nullptr, reply, std::move(onComplete));
}

void MV_Comm::WriteEdidBlock(const uint8_t* block128, uint8_t segment, uint8_t offset, Completion onComplete) {
    Submit(kEdidWrite, segment, offset, 0, 0, block128, nullptr, std::move(onComplete));
}

void MV_Comm::ReadDpcd(uint8_t* reply1, uint16_t address, Completion onComplete) {
    Submit(kDpcdRead, address, 0, 0, 0, nullptr, reply1, std::move(onComplete));
}

void MV_Comm::WriteDpcd(uint8_t value, uint16_t address, Completion onComplete) {
    Submit(kDpcdWrite, address, value, 0, 0, nullptr, nullptr, std::move(onComplete));
}

void MV_Comm::SendOperatorResponse(uint8_t value, Completion onComplete) {
    Submit(kOperatorResponse, value, 0, 0, 0, nullptr, nullptr, std::move(onComplete));
}

void MV_Comm::ProbeLegacyFirmware(Completion onComplete) {
    Submit(kLegacyProbe, 0, 0, 0, 0, nullptr, nullptr, std::move(onComplete));
}

void MV_Comm::SetColorimetry(uint32_t count, const uint8_t* list, Completion onComplete) {
    if (!Busy(core_->state) && count > kMaxColorimetry) {
        if (onComplete) onComplete(LINK_INTERNAL_ERROR);
        return;
    }
    Submit(kColorimetry, count, 0, 0, count, list, nullptr, std::move(onComplete));
}

void MV_Comm::QueryTestStatus(uint8_t* reply1, Completion onComplete) {
    Submit(kTestStatus, 0, 0, 0, 0, nullptr, reply1, std::move(onComplete));
}

void MV_Comm::SetChannel(uint8_t value, Completion onComplete) {
    Submit(kChannelSelect, value, 0, 0, 0, nullptr, nullptr, std::move(onComplete));
}

void MV_Comm::SetDutConfig(const uint8_t* record12, Completion onComplete) {
    Submit(kDutConfig, 0, 0, 0, 0, record12, nullptr, std::move(onComplete));
}

void MV_Comm::RunWorkerSequence(WorkerSequence sequence, Completion onComplete) {
    if (!Busy(core_->state)) core_->sequence = std::move(sequence);
    Submit(kFirmwareUpdate, 0, 0, 0, 0, nullptr, nullptr, std::move(onComplete));
}

bool MV_Comm::Idle() const { return !Busy(core_->state); }

void MV_Comm::MessageHere(const std::string& text) {
    if (core_->onMessage) core_->onMessage(text);
}

void MV_Comm::UpdateStartHere(uint32_t totalBytes) {
    if (core_->onUpdateStart) core_->onUpdateStart(totalBytes);
}

namespace {
std::atomic<int> g_failingPortResets{0};
}  // namespace

void MV_Comm::FailNextPortResets(int count) { g_failingPortResets = count; }

bool MV_Comm::ResetPort() {
    Core& c = *core_;
    MessageHere("> Port Reset");
    // Take the port away from the worker, close it, and only then open the
    // device again (the port is opened exclusively). Meanwhile the worker
    // sees no port: it reads nothing and its writes fail.
    std::unique_ptr<USerIO> old;
    {
        std::lock_guard lk(c.portMu);
        old = std::move(c.port);
    }
    old.reset();
    std::unique_ptr<USerIO> fresh;
    try {
        int failing = g_failingPortResets.load();
        while (failing > 0 && !g_failingPortResets.compare_exchange_weak(failing, failing - 1)) {}
        if (failing > 0) throw std::bad_alloc();
        fresh = std::make_unique<USerIO>(c.devicePath);
    } catch (const std::bad_alloc&) {
        MessageHere("> Port reset FAILED! (Object allocation error)");
        return false;
    }
    {
        std::lock_guard lk(c.portMu);
        c.port = std::move(fresh);
    }
    MessageHere("> Port reset complete");
    return true;
}
