#pragma once
// The frame layer over one open serialport_t: sends command frames of type
// 0x71 and, on a receiver thread of its own, reads frames without pause and
// sorts them into a response queue (0x71) and a debug-text queue (0x0D).
// While debug texts wait, the owner's poster is called once per receive
// cycle (about every 100 ms on a silent line); it must only post, never
// block.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/WorkerThread.h"
#include "sinkmonitor/transport/objectbuffer.h"
#include "sinkmonitor/transport/packet.h"
#include "sinkmonitor/transport/serialport.h"

class dpcomm_t {
public:
    using poster_t = std::function<void()>;

    static constexpr uint8_t kTypeCommand = 0x71;  // commands and responses
    static constexpr uint8_t kTypeDebugText = 0x0D;
    static constexpr size_t kMaxPayload = 252;
    static constexpr unsigned kMsPerByte = 100;
    static constexpr unsigned kStartTimeoutMs = 2000;
    static constexpr size_t kDebugTextBytes = 200;  // 199 characters and the zero

    dpcomm_t(poster_t poster, serialport_t* port);
    ~dpcomm_t();
    dpcomm_t(const dpcomm_t&) = delete;
    dpcomm_t& operator=(const dpcomm_t&) = delete;

    bool start();
    void stop();
    bool running() const { return receiver_.Started(); }

    // Builds [n + 3][0x71][payload][checksum] and writes it.
    bool send_frame(const uint8_t* payload, size_t n);
    // The whole next response frame (its L bytes) into destination (256 bytes).
    bool wait_response(uint8_t* destination, unsigned ms);
    // Formats the oldest debug text into destination (kDebugTextBytes).
    bool format_debug_text(char* destination);
    size_t debug_texts_waiting();

    serialport_t* port() const { return port_; }

    static uint8_t checksum(const uint8_t* bytes, size_t n);

private:
    bool receive_frame(packet_t* packet);
    void receive_packet();
    void receiver_thread();
    void drop_first_held();

    const poster_t poster_;
    serialport_t* const port_;

    platform::WorkerThread receiver_;

    // Receiver thread only.
    uint8_t buffer_[packet_t::kDataBytes] = {};
    size_t held_ = 0;

    // Created by start, freed by stop; the pointers change only while no
    // receiver thread runs and no command is in flight (the protocol's
    // command lock).
    std::unique_ptr<objectbuffer_t> responses_;
    std::unique_ptr<objectbuffer_t> debugTexts_;
};
