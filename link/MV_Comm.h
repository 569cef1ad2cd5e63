#pragma once
// The compliance-test application's link to the instrument: one serial port
// and a worker thread that sends one request at a time, waits for its reply
// and reports the outcome on the GUI thread. While idle the worker shows the
// instrument's print packets and, when asked, polls its status once a second.
//
// Threads: every operation of this class is called on the GUI thread. A
// request hands its parameters to the worker through one state field (the
// state is written last, with release semantics); the worker reports through
// platform::CallOnGuiThread, so every closure runs on the GUI thread while
// the worker waits. The link may be destroyed from inside a closure that its
// worker delivers (a completion, a text, a status), not from inside one that
// an operation on the GUI thread calls directly (ResetPort's texts).
//
// Request memory: the link never points into the caller's memory while a
// request is out. It copies the input data (parameter block, E-EDID block,
// colorimetry list, DUT record) when it accepts the request; the worker
// writes the reply into the link's own storage, and the reply's bytes reach
// the caller's buffer on the GUI thread just before the completion runs. A
// completion that is dropped (its ticket is no longer current, or the link
// is destroyed first) copies nothing, so the caller may free or reuse its
// buffer as soon as it has made the completion's ticket stale.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "link/E_GenericError.h"
#include "platform/Epoch.h"

// Result handed to a request's completion.
enum LinkResult : int32_t {
    LINK_OK = 1,
    LINK_RETRIES_EXCEEDED = 2,
    LINK_INVALID_RESPONSE = 3,
    LINK_INTERNAL_ERROR = 4,
    LINK_BUSY = 5,
    LINK_NO_RESPONSE = 6,
    LINK_REFUSED = 7,
    LINK_OK_LOG_OVERFLOW = 8,
};

// The worker's states. Each request has a send state and its wait state
// (send state + 1). States 24 to 38 and 100 to 106 belong to the firmware
// update; the update runs as one worker sequence in kStateFirmwareUpdate.
namespace link_state {
constexpr int32_t kIdle = 1;
constexpr int32_t kFirmwareVersion = 2;
constexpr int32_t kStartTest = 6;
constexpr int32_t kTestResult = 8;
constexpr int32_t kLogSize = 10;
constexpr int32_t kReadLog = 12;
constexpr int32_t kClearLog = 14;
constexpr int32_t kLinkStatus = 16;
constexpr int32_t kEdidRead = 20;
constexpr int32_t kEdidWrite = 22;
constexpr int32_t kFirmwareUpdate = 24;
constexpr int32_t kDpcdRead = 39;
constexpr int32_t kDpcdWrite = 41;
constexpr int32_t kOperatorResponse = 43;
constexpr int32_t kLegacyProbe = 45;
constexpr int32_t kColorimetry = 52;
constexpr int32_t kTestStatus = 54;
constexpr int32_t kChannelSelect = 56;
constexpr int32_t kDutConfig = 58;
}  // namespace link_state

// What a sequence run on the worker (the firmware update) may do on the
// line. Every call is made on the worker thread, inside the sequence.
class LinkWorkerHooks {
public:
    enum class Receive { Payload, TimedOut, Stopped };

    virtual ~LinkWorkerHooks() = default;
    // Frames the payload (at most 253 bytes) and writes it. A short write
    // delivers "Write command failed; No chars sent..." to onMessage and
    // returns false. Either way the reply clock restarts.
    virtual bool SendFrame(const uint8_t* payload, size_t n) = 0;
    // Writes the bytes unframed; same rules as SendFrame.
    virtual bool SendRaw(const uint8_t* bytes, size_t n) = 0;
    // Waits for the next whole frame and gives its payload (out: room for
    // 253 bytes; *n its length, at least 1). Every payload is returned,
    // print packets and status replies included: hand those that are not the
    // awaited reply to HandleAsyncPacket. TimedOut once more than timeoutMs
    // have passed since the last SendFrame or SendRaw (the reply clock);
    // Stopped when the link is being destroyed (end the sequence then: its
    // result is not delivered).
    virtual Receive ReceivePayload(uint8_t* out, size_t* n, uint32_t timeoutMs) = 0;
    // Shows a print packet or takes a status reply as the idle link does.
    // False for a 0x71 reply (not consumed).
    virtual bool HandleAsyncPacket(const uint8_t* payload, size_t n) = 0;
    // Deliveries to the owner's closures on the GUI thread (each only when set).
    virtual void Message(const std::string& text) = 0;
    virtual void UpdateStart(uint32_t totalBytes) = 0;
    virtual void Progress(uint32_t bytesSent) = 0;
    // Sleeps; false when the link is being destroyed.
    virtual bool Sleep(uint32_t ms) = 0;
};

class MV_Comm {
public:
    // A request's completion: a closure taking the result and, optionally, the
    // ticket of what it belongs to (a run, a transfer, a link of the window).
    // Made from a plain closure it is never dropped. Made with a ticket, it is
    // dropped once the ticket is no longer current when the reply is in: the link
    // then neither copies the reply into the caller's buffer nor calls it.
    // Checked and called on the GUI thread only.
    class Completion {
    public:
        Completion() = default;
        Completion(std::nullptr_t) {}
        template <class Fn,
                  std::enable_if_t<
                      !std::is_same_v<std::decay_t<Fn>, Completion> && std::is_invocable_v<Fn&, LinkResult>, int> = 0>
        Completion(Fn fn) : fn_(std::move(fn)) {}
        Completion(platform::Epoch::Ticket ticket, std::function<void(LinkResult)> fn)
            : fn_(std::move(fn)), ticket_(std::move(ticket)) {}

        // A closure is set (it is called unless dropped).
        explicit operator bool() const { return static_cast<bool>(fn_); }
        // Its ticket has gone stale: no reply bytes for it, no call.
        bool Dropped() const { return ticket_ && !ticket_->Current(); }
        // Calls the closure unless it is unset or dropped.
        void operator()(LinkResult result) const {
            if (fn_ && !Dropped()) fn_(result);
        }

    private:
        std::function<void(LinkResult)> fn_;
        std::optional<platform::Epoch::Ticket> ticket_;
    };

    using MessageFn = std::function<void(const std::string&)>;
    using StatusFn = std::function<void(bool)>;
    using CountFn = std::function<void(uint32_t)>;
    // A sequence run on the worker; its result goes to the completion.
    using WorkerSequence = std::function<LinkResult(LinkWorkerHooks&)>;

    static constexpr int32_t kModeSerial = 1;
    static constexpr int32_t kModeI2C = 2;

    // Throws E_GenericError for a mode other than serial, or when the port
    // object cannot be created. A port that cannot be opened is no error
    // here: the operator is told and every request ends LINK_NO_RESPONSE.
    MV_Comm(int32_t mode, int32_t unused, const std::string& devicePath);
    // Stops the worker and waits for it while serving its GUI-thread calls.
    // A request still pending gets no completion; no closure runs any more.
    ~MV_Comm();
    MV_Comm(const MV_Comm&) = delete;
    MV_Comm& operator=(const MV_Comm&) = delete;

    // The owner's standing closures and flags (GUI thread, at any time).
    void SetOnMessage(MessageFn fn);
    void SetOnStatus(StatusFn fn);
    void SetOnUpdateStart(CountFn fn);
    void SetOnProgress(CountFn fn);
    void SetShowPrintPackets(bool on);
    void SetStatusPollEnabled(bool on);
    bool ShowPrintPackets() const;
    bool StatusPollEnabled() const;

    // Requests. Each ends in exactly one call of onComplete on the GUI
    // thread (none when it is dropped or the link is destroyed first):
    // LINK_BUSY inside the call while another request is pending,
    // LINK_INTERNAL_ERROR inside the call for a count over its limit. Input
    // data are copied here; a reply buffer is written only on the GUI thread,
    // just before the completion is called, and never for a dropped one.
    void QueryFirmwareVersion(uint8_t* reply3, Completion onComplete);
    void StartTest(uint8_t testId, uint32_t testTimeout100ms, const uint8_t* params20, Completion onComplete);
    void StartTestDelayed(uint32_t delaySeconds, uint8_t testId, const uint8_t* params20, uint32_t testTimeout100ms,
                          Completion onComplete);
    void QueryTestResult(uint8_t* reply84, Completion onComplete);
    void QueryLogSize(uint16_t* size, Completion onComplete);
    void ReadLog(uint8_t* reply, uint16_t count, Completion onComplete);
    void ClearLog(Completion onComplete);
    void QueryLinkStatus(uint8_t* reply28, Completion onComplete);
    void ReadEdidBlock(uint8_t* reply, uint8_t segment, uint32_t count, uint8_t offset, Completion onComplete);
    void WriteEdidBlock(const uint8_t* block128, uint8_t segment, uint8_t offset, Completion onComplete);
    void ReadDpcd(uint8_t* reply1, uint16_t address, Completion onComplete);
    void WriteDpcd(uint8_t value, uint16_t address, Completion onComplete);
    void SendOperatorResponse(uint8_t value, Completion onComplete);
    void ProbeLegacyFirmware(Completion onComplete);
    void SetColorimetry(uint32_t count, const uint8_t* list, Completion onComplete);
    void QueryTestStatus(uint8_t* reply1, Completion onComplete);
    void SetChannel(uint8_t value, Completion onComplete);
    void SetDutConfig(const uint8_t* record12, Completion onComplete);

    // Replaces the instrument's firmware with the Intel HEX file: decodes the
    // embedded RAM loader and the file here (texts to onMessage, the total to
    // onUpdateStart), then the worker runs the update sequence. A file that
    // does not decode shows a message box and completes with
    // LINK_RETRIES_EXCEEDED inside the call.
    void UpdateFirmware(std::string fileName, Completion onComplete);

    // Closes the port and opens it again for the same device path, with the
    // texts "> Port Reset" and "> Port reset complete" (or "> Port reset
    // FAILED! (Object allocation error)", then false) to onMessage.
    bool ResetPort();
    // Test hook: the next `count` ResetPort calls, of any link object, fail
    // as when the new port object cannot be created (the old port is gone).
    static void FailNextPortResets(int count);
    // Test hook: the next `count` constructions, of any link object, throw
    // the std::system_error of a worker thread that cannot start.
    static void FailNextWorkerStarts(int count);

    // Hook for the firmware update: hands `sequence` to the worker as one
    // request (state link_state::kFirmwareUpdate); the worker runs it with the line
    // to itself (other requests get LINK_BUSY, the status poll pauses) and
    // completes with its result. LINK_BUSY inside the call when not idle.
    void RunWorkerSequence(WorkerSequence sequence, Completion onComplete);

private:
    struct Core;
    friend struct Core;

    // For operations that run on the GUI thread before they hand over to the
    // worker (MV_Comm::UpdateFirmware): whether the link is idle, and the
    // owner's closures called directly (each only when set).
    bool Idle() const;
    void MessageHere(const std::string& text);
    void UpdateStartHere(uint32_t totalBytes);
    void Submit(int32_t sendState, uint32_t p1, uint32_t p2, uint32_t p3, uint32_t count, const uint8_t* input,
                void* reply, Completion onComplete);

    std::shared_ptr<Core> core_;  // also held by the worker's body
};
