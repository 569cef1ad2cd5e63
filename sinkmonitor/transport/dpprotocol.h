#pragma once
// The sink monitor's command set. One command at a time runs under the
// command lock, so the GUI thread and the poller never interleave on the
// wire: build the command frame, send it, wait for its response within the
// command's time-out, check it and copy its data out. Failures are message
// texts ("Error: ...") through the owner's callback, except for quiet
// commands. Nothing here throws.
//
// Late replies. The sink answers one command at a time, in order, and
// repeats the command code in the response code of a reply with data; it
// acknowledges a command without data with 0x0C or with the command's own
// code. A command that timed out is owed its reply. While a command waits,
// a reply whose code is that of an owed command, and not the waiting
// command's own, is that late reply: it is dropped (no longer owed) and the
// wait goes on within the command's time-out. A command with response data
// also drops 0x0C while a command without data is owed. Any other reply is
// the waiting command's. A NACK while a command is owed may answer either:
// the waiting command fails with the NACK text and is owed a reply too.
// Replies that wait in the queue before a command is sent are settled by
// the same rules and dropped.
//
// Resynchronisation. Where codes cannot tell (the command's own code is
// owed, or it has no response data while a command without data is owed),
// the command is preceded by one harmless query whose code is not owed: the
// device role (0x28), else the firmware version (0x1C), else the video CRC
// (0x2A), else the link status (0x15), else the audio status (0x2D); none
// changes anything in the sink. Its wait follows the rules above; once it
// is answered in time every earlier reply has come or never will (the sink
// answers in order), so nothing is owed any more and the command goes out.
// A resynchronisation not answered in time, or answered with a NACK, fails
// the command with that text, unsent, and its query is owed in turn; when
// every such query is owed, the command fails with the time-out text at
// once. Every other command goes out at once.
//
// What still cannot be told apart: a sink that does not repeat the command
// code in its replies. A late reply of such a sink is taken by the command
// that waits when it comes, as its own, and a resynchronisation takes the
// first reply that carries no owed code.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "sinkmonitor/transport/dpcomm.h"
#include "sinkmonitor/transport/mutex.h"
#include "sinkmonitor/transport/serialport.h"

class QWidget;

// Command codes of the sink's command set.
namespace sinkcmd {
constexpr uint8_t kGetLinkStatus = 0x15;
constexpr uint8_t kEdidReadBlock = 0x16;
constexpr uint8_t kEdidWriteBlock = 0x17;
constexpr uint8_t kDpcdRead = 0x1A;
constexpr uint8_t kDpcdWrite = 0x1B;
constexpr uint8_t kGetFirmwareVersion = 0x1C;
constexpr uint8_t kGetHdcpStatus = 0x22;
constexpr uint8_t kSetSinkCapabilities = 0x26;
constexpr uint8_t kGetMsa = 0x27;
constexpr uint8_t kGetDeviceRole = 0x28;
constexpr uint8_t kHpdPulse = 0x29;
constexpr uint8_t kGetVideoCrc = 0x2A;
constexpr uint8_t kGetErrorCounts = 0x2B;
constexpr uint8_t kGetAudioStatus = 0x2D;
constexpr uint8_t kGetSdp = 0x2E;
constexpr uint8_t kSetAuxOutputLevel = 0x31;
constexpr uint8_t kAuxSensitivityStep = 0x38;
constexpr uint8_t kNack = 0x0B;  // response code: corrupted or unknown packet
constexpr uint8_t kAck = 0x0C;   // response code: a command without data was carried out
}  // namespace sinkcmd

// Records of the responses (little-endian numbers).
constexpr size_t kLinkStatusBytes = 17;
constexpr size_t kEdidBlockBytes = 128;
constexpr size_t kVersionChars = 3;
constexpr size_t kHdcpStatusBytes = 2;
constexpr size_t kMsaRecordBytes = 19;
constexpr size_t kVideoCrcBytes = 6;
constexpr size_t kErrorCountBytes = 8;
constexpr size_t kAudioStatusBytes = 13;
constexpr size_t kSdpRecordBytes = 33;

using linkstatus_t = std::array<uint8_t, kLinkStatusBytes>;
using edidblock_t = std::array<uint8_t, kEdidBlockBytes>;
using firmwareversion_t = std::array<uint8_t, kVersionChars>;
using hdcpstatus_t = std::array<uint8_t, kHdcpStatusBytes>;
using msarecord_t = std::array<uint8_t, kMsaRecordBytes>;
using videocrc_t = std::array<uint8_t, kVideoCrcBytes>;
using errorcounts_t = std::array<uint8_t, kErrorCountBytes>;
using audiostatus_t = std::array<uint8_t, kAudioStatusBytes>;
using sdprecord_t = std::array<uint8_t, kSdpRecordBytes>;

class dpprotocol_t {
public:
    using message_callback_t = std::function<void(const std::string&)>;

    // The texts of this layer.
    static constexpr const char* kTextPortNotSet = "Error: Communication port not set.";
    static constexpr const char* kTextSendFailed = "Error: Failed to send data.";
    static constexpr const char* kTextTimedOut = "Error: Reception timeouted. Device doesn't respond.";
    static constexpr const char* kTextNack = "Error: Device reported a corrupted or unknown packet (NACK).";
    static constexpr const char* kTextTooShort = "Error: Device response too short.";

    // owner: parent of this layer's message box (may be null); poster: called
    // from the frame layer's receiver thread while debug texts wait.
    explicit dpprotocol_t(QWidget* owner = nullptr, dpcomm_t::poster_t poster = {});
    ~dpprotocol_t();
    dpprotocol_t(const dpprotocol_t&) = delete;
    dpprotocol_t& operator=(const dpprotocol_t&) = delete;

    bool open(serialport_t* port);
    bool close();
    bool connected() const { return comm_.load() != nullptr; }
    // True once the connected port holds an error that makes it unusable
    // (the line hung up, the device went away).
    bool port_lost() const;

    void handle_debug_text();
    void log(const std::string& text);
    void set_message_callback(message_callback_t callback);
    void set_debug(bool on) { debug_.store(on); }
    bool debug() const { return debug_.load(); }
    mutex_t& command_lock() { return lock_; }

    // One operation per command; true on success. A destination is written
    // only on success. The poller passes `cancel` to its queries, so that it
    // can give up waiting for the command lock while it is being stopped.
    bool get_link_status(linkstatus_t& status);
    bool edid_read_block(uint8_t segment, uint8_t offset, edidblock_t& block);
    bool edid_write_block(uint8_t segment, uint8_t offset, const edidblock_t& block);
    bool dpcd_read(uint16_t address, uint8_t& value);
    bool dpcd_write(uint16_t address, uint8_t value);
    bool get_firmware_version(firmwareversion_t& version);
    bool get_hdcp_status(hdcpstatus_t& status, const std::atomic<bool>* cancel = nullptr);
    bool set_sink_capabilities(uint8_t maxLanes, uint8_t maxRateCode, uint8_t framing);
    bool get_msa(msarecord_t& record, const std::atomic<bool>* cancel = nullptr);
    bool get_device_role(uint8_t& role);
    bool hpd_pulse(uint16_t ms);
    bool get_video_crc(videocrc_t& crc);
    bool get_error_counts(bool reset, errorcounts_t& counts);
    bool get_audio_status(audiostatus_t& status);
    bool get_sdp(sdprecord_t& record, const std::atomic<bool>* cancel = nullptr);
    bool set_aux_output_level(uint8_t levelCode);
    bool aux_sensitivity_step(uint16_t mvpp, uint8_t& result);

    // One row of the command table; quiet commands write no failure text.
    struct command_t {
        uint8_t code;
        unsigned timeoutMs;
        bool quiet;
        bool data;  // the reply carries response data (else it is an acknowledgement)
    };

private:
    // Runs one command: lock, transact, copy `replyBytes` bytes of response
    // data to dst (replyBytes 0: no data expected).
    bool run(const command_t& cmd, const uint8_t* request, size_t requestBytes, uint8_t* dst, size_t replyBytes,
             const std::atomic<bool>* cancel = nullptr);
    // How one exchange of a command frame ended.
    enum class outcome_t { reply, send_failed, timed_out, nack };
    bool transact(const command_t& cmd, const uint8_t* bytes, size_t length);
    // Sends one frame and waits for its reply (into lastResponse_), dropping
    // late replies on the way.
    outcome_t exchange(dpcomm_t* comm, const command_t& cmd, const uint8_t* bytes, size_t length);
    // Drops the replies that came before a command was sent.
    void settle_waiting_replies(dpcomm_t* comm);
    // True when `code` is a late reply to drop while `waiting` waits (and
    // then no longer owed).
    bool take_late_reply(uint8_t code, const command_t& waiting);
    bool owes(bool (*match)(uint8_t owedCode, uint8_t code), uint8_t code) const;
    bool needs_resync(const command_t& cmd) const;
    void report_port_not_set();

    QWidget* const owner_;
    const dpcomm_t::poster_t poster_;
    mutex_t lock_;
    std::atomic<dpcomm_t*> comm_{nullptr};
    serialport_t* port_ = nullptr;  // the connected port, GUI thread only
    uint8_t lastResponse_[packet_t::kDataBytes] = {};
    // Under the command lock: the codes of the commands that timed out and
    // whose replies may still come, oldest first.
    std::vector<uint8_t> owed_;
    std::atomic<bool> debug_{false};
    std::mutex callbackLock_;
    message_callback_t callback_;
};
