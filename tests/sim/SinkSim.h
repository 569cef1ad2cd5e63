#pragma once
// The simulated sink: answers the sink monitor's command set on the master
// side of a pseudo-terminal, from a thread of its own. Its state (link
// status, MSA, SDP queue, audio, CRCs, error counters, DPCD space, E-EDID
// blocks, device role, AUX sensitivity threshold) is set by the test, and
// faults can be injected for the next matching commands.
#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/PseudoTerminal.h"
#include "platform/StopSignal.h"

namespace sim {

enum class SinkFault {
    Nack,        // answer with response code 0x0B
    Silence,     // no answer at all
    LateReply,   // answer after delayMs
    HoldReply,   // answer once the test calls ReleaseHeld() (with a NACK when `nack`)
    ShortReply,  // answer with only keepDataBytes of the response data
    Noise,       // send `noise` on the line before the answer
    CloseLine,   // hang the line up instead of answering
};

struct SinkFaultPlan {
    SinkFault kind = SinkFault::Nack;
    int code = -1;  // the command it applies to; -1: any command
    int times = 1;  // how many matching commands it applies to
    int skip = 0;   // how many matching commands it lets pass first
    unsigned delayMs = 0;
    size_t keepDataBytes = 0;
    std::vector<uint8_t> noise;
    bool nack = false;

    static SinkFaultPlan Of(SinkFault kind, int code) {
        SinkFaultPlan f;
        f.kind = kind;
        f.code = code;
        return f;
    }
    static SinkFaultPlan Late(int code, unsigned delayMs) {
        SinkFaultPlan f = Of(SinkFault::LateReply, code);
        f.delayMs = delayMs;
        return f;
    }
    static SinkFaultPlan Held(int code) { return Of(SinkFault::HoldReply, code); }
    static SinkFaultPlan HeldNack(int code) {
        SinkFaultPlan f = Held(code);
        f.nack = true;
        return f;
    }
    // Holds back the reply to the nth command of `code` from now (1: the next).
    static SinkFaultPlan HeldAt(int code, int nth) {
        SinkFaultPlan f = Held(code);
        f.skip = nth - 1;
        return f;
    }
    static SinkFaultPlan Short(int code, size_t keepDataBytes) {
        SinkFaultPlan f = Of(SinkFault::ShortReply, code);
        f.keepDataBytes = keepDataBytes;
        return f;
    }
    static SinkFaultPlan Noisy(int code, std::vector<uint8_t> bytes) {
        SinkFaultPlan f = Of(SinkFault::Noise, code);
        f.noise = std::move(bytes);
        return f;
    }
};

class SinkSim {
public:
    static constexpr uint8_t kTypeCommand = 0x71;
    static constexpr uint8_t kTypeDebugText = 0x0D;
    static constexpr uint8_t kNack = 0x0B;

    SinkSim();
    ~SinkSim();
    SinkSim(const SinkSim&) = delete;
    SinkSim& operator=(const SinkSim&) = delete;

    // Opens the pseudo-terminal and starts serving it.
    bool Start();
    // Stops serving and closes the line.
    void Stop();
    // Hangs the line up now, like pulling the cable; the sim stops serving.
    void HangUp();
    bool Serving() const { return thread_.joinable() && !ended_.load(); }
    const std::string& SlavePath() const { return pty_.SlavePath(); }

    // The sink's state. Multi-byte numbers go out little-endian.
    void SetLinkStatus(const std::vector<uint8_t>& bytes);  // any length
    void SetMsa(const std::array<uint8_t, 19>& record);
    // Queues one captured packet; the SDP answer reports "more waiting"
    // while further packets are queued.
    void QueueSdp(uint8_t type, uint8_t id, uint8_t version, const std::vector<uint8_t>& payload);
    size_t SdpWaiting();
    void SetAudioStatus(const std::array<uint8_t, 13>& record);
    void SetVideoCrc(uint16_t red, uint16_t green, uint16_t blue);
    void SetErrorCounts(const std::array<uint16_t, 4>& counts);
    std::array<uint16_t, 4> ErrorCounts();
    void SetDpcd(uint16_t address, uint8_t value);
    uint8_t Dpcd(uint16_t address);
    // E-EDID block n is read and written at segment n / 2, offset (n % 2) * 128.
    void SetEdidBlock(size_t index, const std::array<uint8_t, 128>& block);
    bool EdidBlock(size_t index, std::array<uint8_t, 128>& block);
    void SetDeviceRole(uint8_t role);
    void SetAuxThreshold(uint16_t mvpp);  // a test level at or above it passes
    void SetFirmwareVersion(const std::string& threeChars);
    void SetHdcpStatus(uint8_t b0, uint8_t b1);

    // What the sink was told.
    std::array<uint8_t, 3> SinkCapabilities();
    std::vector<uint16_t> HpdPulses();
    uint8_t AuxOutputLevel();
    std::vector<uint16_t> AuxSteps();

    // Sends on the line from the sim's thread: a debug text frame (type 0x0D,
    // the format, its zero, the argument low byte first), any frame, raw bytes.
    void SendDebugText(const std::string& format, uint16_t arg);
    void SendFrame(const std::vector<uint8_t>& payload);
    void SendRaw(const std::vector<uint8_t>& bytes);

    // Paces the line at 115200 baud (10 bits per byte) in both directions:
    // an answer waits the time its command needs on a real line, and every
    // byte sent takes its time, one after the other (a pseudo-terminal
    // carries them at once).
    void SetPaced(bool paced);
    static constexpr unsigned kBaud = 115200;
    static constexpr unsigned kBitsPerByte = 10;
    // Sends a debug text ("Debug text %u", a running number) every
    // intervalMs ms from the sim's thread; 0 stops it.
    void SetDebugFlood(unsigned intervalMs);

    // How a command without response data (0x17, 0x1B, 0x26, 0x29, 0x31) is
    // acknowledged: with its own code (the default) or with 71 0C.
    enum class Ack { OwnCode, Ack0C };
    void SetAck(Ack ack);
    static constexpr uint8_t kAck = 0x0C;

    void InjectFault(const SinkFaultPlan& fault);
    void ClearFaults();

    // A late or held reply keeps the sink busy as a real one is: it goes on
    // reading the line, but answers the commands that came meanwhile only
    // after that reply, one at a time and in order.
    // True while a reply is held back or late (its command was received).
    bool ReplyHeld();
    // Sends the reply that a HoldReply fault holds back (nothing when none is
    // held).
    void ReleaseHeld();
    // The line as the sink saw it, in order: every command as it arrived
    // ("> " and its payload in hexadecimal, "> 1A 00 01") and every reply as
    // it went out ("< " and the response code and data, "< 1A 14").
    std::vector<std::string> Wire();

    // Every command received, as its payload (code and request bytes).
    std::vector<std::vector<uint8_t>> Commands();
    size_t CommandCount(uint8_t code);
    size_t CommandCount();

    // The E-EDID base block the sim starts with (header, version 1.4, checksum).
    static std::array<uint8_t, 128> DefaultEdidBlock();

private:
    struct Reply {
        bool send = true;
        uint8_t code = 0;
        std::vector<uint8_t> data;
    };
    // A reply that waits: until released, or until `due`.
    struct HeldReply {
        std::vector<uint8_t> payload;
        bool untilReleased = false;
        std::chrono::steady_clock::time_point due{};
    };
    void Run();
    void Receive(const uint8_t* frame, size_t length);
    void Process(const std::vector<uint8_t>& cmd);
    void ServeHeld();
    void SendReply(const std::vector<uint8_t>& payload);
    void Record(char direction, const std::vector<uint8_t>& bytes);
    Reply Answer(const std::vector<uint8_t>& cmd);
    bool TakeFault(uint8_t code, SinkFaultPlan& out);
    void WriteFrame(const std::vector<uint8_t>& payload);
    void FlushOutbound();
    void Transmit(const uint8_t* bytes, size_t n);
    void WaitWireTime(size_t bytes);
    void Flood();

    platform::PseudoTerminal pty_;
    platform::StopSignal stop_;
    std::thread thread_;
    std::atomic<bool> ended_{false};
    std::atomic<bool> hangUp_{false};

    std::mutex mu_;  // everything below
    std::vector<uint8_t> linkStatus_;
    std::array<uint8_t, 19> msa_{};
    std::deque<std::vector<uint8_t>> sdp_;  // 32 bytes each: type, id, version, size, payload
    std::array<uint8_t, 13> audio_{};
    std::array<uint16_t, 3> crc_{};
    std::array<uint16_t, 4> errors_{};
    std::vector<uint8_t> dpcd_;
    std::map<size_t, std::array<uint8_t, 128>> edid_;
    uint8_t role_ = 1;
    uint16_t auxThreshold_ = 200;
    std::array<uint8_t, 3> version_{};
    std::array<uint8_t, 2> hdcp_{};
    std::array<uint8_t, 3> caps_{};
    std::vector<uint16_t> hpdPulses_;
    uint8_t auxLevel_ = 0;
    std::vector<uint16_t> auxSteps_;
    std::deque<SinkFaultPlan> faults_;
    std::vector<std::vector<uint8_t>> commands_;
    std::vector<std::string> wire_;
    std::optional<HeldReply> held_;  // written by the sim's thread
    bool release_ = false;
    std::deque<std::vector<uint8_t>> outbound_;
    bool paced_ = false;
    Ack ack_ = Ack::OwnCode;
    unsigned floodMs_ = 0;

    // Sim thread only.
    std::chrono::steady_clock::time_point lineFreeAt_{};  // the end of the last byte sent
    std::chrono::steady_clock::time_point nextFlood_{};
    uint16_t floodCount_ = 0;
    std::deque<std::vector<uint8_t>> backlog_;  // commands received while a reply waits
};

}  // namespace sim
