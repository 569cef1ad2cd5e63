#pragma once
// A simulated instrument on the master side of a pseudo-terminal: it answers
// the compliance-test command set (requests 71 xx and the obsolete-firmware
// probe E0 A2), sends print packets and status replies on demand, keeps a
// test log with a read pointer, records every payload it receives, and
// injects faults per request code. It serves on its own thread; every public
// operation may be called from any thread.
//
// A request code is the byte after 0x71, or the first byte of a payload
// that does not start with 0x71 (the probe: 0xE0).
//
// Test runs can be scripted per test ID (TestScript.h): while a scripted run
// is on, its steps answer the test-result and test-status queries, fill the
// test log and set its overflow flag; the start of a test without a script
// ends it, and the answers set with SetTestResult and SetTestStatus apply
// again.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/PseudoTerminal.h"
#include "platform/StopSignal.h"
#include "sim/InstrumentSimExtension.h"
#include "sim/TestScript.h"

namespace sim {

enum class Fault {
    None,
    Refuse,       // answer 71 0B instead
    Silent,       // answer nothing
    Delay,        // answer after `value` ms
    Short,        // answer with only `value` bytes of the reply's data
    BadChecksum,  // answer with the frame's checksum byte inverted
    Noise,        // send `value` noise bytes (never a valid frame) before the answer
    CloseLine,    // hang the line up instead of answering
    Paced,        // send the answer at the pace of 115200 baud (10 bits per byte)
    Hold,         // keep the answer back until ReleaseHeld(), or `value` ms at most (0: no limit)
};

struct FaultSpec {
    Fault fault = Fault::None;
    uint32_t value = 0;
    int times = -1;  // how many requests it applies to; -1: until cleared
};

// One step of a scripted answer: after `delayMs`, a framed payload, or raw
// bytes when `raw` is set.
struct ScriptStep {
    Bytes bytes;
    uint32_t delayMs = 0;
    bool raw = false;
};

// The bytes that Fault::Noise sends, repeated as needed: none of their
// positions starts a frame that passes the checksum.
extern const Bytes kNoiseBytes;

class InstrumentSim {
public:
    static constexpr uint8_t kProbeCode = 0xE0;
    static constexpr size_t kTestResultBytes = 84;
    static constexpr size_t kLinkStatusBytes = 28;

    InstrumentSim();
    ~InstrumentSim();
    InstrumentSim(const InstrumentSim&) = delete;
    InstrumentSim& operator=(const InstrumentSim&) = delete;

    // Opens the pseudo-terminal and starts serving. False when no pty.
    bool Start();
    // Stops serving and hangs the line up.
    void Stop();
    // What a program opens as its serial port.
    std::string SlavePath() const;

    // ---- the instrument's answers
    void SetFirmwareVersion(const std::string& threeChars);
    void SetLegacyFirmware(bool answersProbe);  // answer E0 A2 with E2 A2 (default: stays silent)
    void SetTestResult(int8_t result, int8_t step, int8_t substep, const std::string& text);
    void SetTestResultBytes(const Bytes& bytes84);
    void SetTestStatus(uint8_t value);
    void SetLinkStatus(const Bytes& bytes28);
    void SetStatusByte(uint8_t value);  // the byte of the status reply 71 22 s
    void SetEdid(const Bytes& bytes);   // the sink's E-EDID, 256 bytes per segment
    Bytes Edid() const;
    void SetDpcd(uint32_t address, uint8_t value);
    uint8_t Dpcd(uint32_t address) const;
    // The test log: bytes appended by test runs; a read pointer moves with
    // ReadLog. A read of n bytes is answered with n bytes, zeros past the end;
    // the pointer moves when the read is answered, also when a fault then
    // loses the reply. The log-size reply gives the unread bytes (at most 65535).
    void AppendLog(const Bytes& bytes);
    void SetLog(const Bytes& bytes);  // replaces the log; read pointer back to its start
    void SetLogOverflow(bool overflow);
    size_t LogUnread() const;
    // Replaces the answer to the next requests of `code` (`times`, -1: always)
    // with these steps.
    void SetScript(uint8_t code, std::vector<ScriptStep> steps, int times = 1);
    void ClearScripts();

    // ---- scripted test runs (TestScript.h)
    // The script of a test ID; its start count begins at 0. The start-test
    // request counts every start that reaches the instrument, also one whose
    // reply a fault loses or refuses (the instrument has started the test).
    void SetTestScript(uint8_t testId, TestScript script);
    void SetTestScripts(const std::map<uint8_t, TestScript>& scripts);
    void ClearTestScripts();               // every script and start count; ends a scripted run
    int TestStarts(uint8_t testId) const;  // starts of a scripted test ID so far
    // A result held back by a step (TestStep::holdMs) is sent as it is, without
    // the result query's fault, when its time has come. The count is of those
    // not yet written to the line in full (0: every held result has gone out).
    size_t HeldResultCount() const;

    // ---- faults
    void SetFault(uint8_t code, FaultSpec spec);
    void ClearFaults();
    void SetPacedAll(bool paced);  // pace every byte sent at 115200 baud
    // The answers Fault::Hold keeps back: how many there are, and sending
    // them (in the order they were held) from the thread that calls. One
    // held with a limit goes out by itself once the limit has passed.
    size_t HeldCount() const;
    void ReleaseHeld();
    // When each answer was held back and when it went out (`to` is the
    // present while it is still held).
    struct HeldSpan {
        std::chrono::steady_clock::time_point from, to;
    };
    std::vector<HeldSpan> HeldSpans() const;

    // ---- on demand (from any thread)
    void SendPrintPacket(const std::string& format, uint16_t arg);
    void SendStatusReply(uint8_t value);
    void SendPayload(const Bytes& payload);
    void SendRawBytes(const Bytes& bytes);
    void CloseLine();

    // ---- records
    std::vector<Bytes> Received() const;                // every payload received, in order
    size_t CountReceived(uint8_t code) const;           // of one request code
    std::vector<Bytes> ReceivedOf(uint8_t code) const;  // the payloads of one request code, in order
    void ClearReceived();
    // Waits until `count` payloads of `code` have been received, or timeoutMs.
    bool WaitForReceived(uint8_t code, size_t count, int timeoutMs) const;
    // What the last start-test, colorimetry, DUT-configuration, operator
    // response and channel requests carried.
    Bytes LastStartTest() const;
    Bytes LastColorimetry() const;
    Bytes LastDutConfig() const;
    int LastOperatorResponse() const;  // -1 before the first
    int LastChannel() const;           // -1 before the first

    // The extension sees every payload first (see InstrumentSimExtension.h).
    // It is called on the simulator's thread only; once SetExtension returns,
    // the previous extension is not called any more (so it may be destroyed).
    void SetExtension(InstrumentSimExtension* extension);

    static uint8_t RequestCode(const uint8_t* p, size_t n);

private:
    class Wire;
    void Serve();
    void OnPayload(const uint8_t* p, size_t n);
    bool Answer(const uint8_t* p, size_t n, Bytes& reply);
    void SendAnswer(uint8_t code, const Bytes& reply);
    void StartTestRun(uint8_t testId);  // with mu_ held
    void ReachStep(size_t index);       // with mu_ held
    uint32_t ResultHoldMs() const;
    void HoldBack(const Bytes& reply, uint32_t ms);
    void SendDueReplies();
    void SendHeldPastLimit();
    void WriteBytes(const Bytes& bytes, bool paced);
    Bytes Frame(const Bytes& payload) const;
    bool SleepMs(uint32_t ms);

    mutable std::mutex mu_;  // every field below (not the pty, not the thread)
    mutable std::condition_variable received_;
    std::string version_ = "341";
    bool legacy_ = false;
    Bytes testResult_;
    uint8_t testStatus_ = 0;
    Bytes linkStatus_;
    uint8_t statusByte_ = 1;
    Bytes edid_;
    std::map<uint32_t, uint8_t> dpcd_;
    Bytes log_;
    size_t logRead_ = 0;
    bool logOverflow_ = false;
    struct Script {
        std::vector<ScriptStep> steps;
        int times = 1;
    };
    std::map<uint8_t, Script> scripts_;
    std::map<uint8_t, TestScript> testScripts_;
    std::map<uint8_t, int> testStarts_;
    bool runActive_ = false;  // a scripted run answers the result and status queries
    TestRun run_;
    size_t runStep_ = 0;
    size_t statusNext_ = 0;  // the next of the step's status answers
    struct DueReply {
        uint32_t dueTick;
        Bytes frame;
    };
    std::vector<DueReply> dueReplies_;  // results held back until their tick
    size_t dueWriting_ = 0;             // taken from dueReplies_, not yet written in full
    struct HeldReply {
        Bytes frame;
        std::chrono::steady_clock::time_point since;
        uint32_t limitMs;  // 0: until released
    };
    std::vector<HeldReply> held_;      // framed answers kept back by Fault::Hold, in arrival order
    std::vector<HeldSpan> heldSpans_;  // of the answers sent after a hold
    std::map<uint8_t, FaultSpec> faults_;
    bool pacedAll_ = false;
    std::vector<Bytes> received_payloads_;
    Bytes lastStartTest_, lastColorimetry_, lastDutConfig_;
    int lastOperatorResponse_ = -1, lastChannel_ = -1;

    std::mutex writeMu_;  // one writer on the line at a time
    platform::PseudoTerminal pty_;
    std::string slavePath_;
    std::recursive_mutex extMu_;  // held while the extension is called or replaced
    InstrumentSimExtension* extension_ = nullptr;
    platform::StopSignal stop_;
    std::atomic<bool> closeRequested_{false};
    std::thread thread_;
};

}  // namespace sim
