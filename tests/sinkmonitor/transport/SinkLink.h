#pragma once
// A connected transport against the simulated sink: the sim serves a
// pseudo-terminal, the port is open on its slave side and the protocol's
// frame layer runs. Messages of the protocol are collected.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/SinkSim.h"
#include "sinkmonitor/transport/dpprotocol.h"
#include "sinkmonitor/transport/serialport.h"
#include "support/WaitUntil.h"

class SinkLink {
public:
    SinkLink() : protocol(nullptr, [this] { ++posts; }) {
        protocol.set_message_callback([this](const std::string& text) {
            std::lock_guard lk(lock_);
            messages_.push_back(text);
        });
    }
    ~SinkLink() {
        protocol.close();
        if (port) port->close();
        sim.Stop();
    }
    // Starts the sim and connects; false when any step fails.
    bool Connect() {
        if (!sim.Start()) return false;
        port = std::make_unique<serialport_t>("Simulated sink", sim.SlavePath());
        return port->open() && protocol.open(port.get());
    }
    std::vector<std::string> Messages() {
        std::lock_guard lk(lock_);
        return messages_;
    }
    void ClearMessages() {
        std::lock_guard lk(lock_);
        messages_.clear();
    }
    // Waits (up to 15 s, or timeoutMs) until pred() holds.
    static bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 15000) { return WaitUntil(pred, timeoutMs); }

    // The wire as the sink saw it, each entry cut to its direction and
    // command code ("> 1A", "< 1A"): at most `count` entries from `from` on.
    std::vector<std::string> WireOrder(size_t from = 0, size_t count = SIZE_MAX) {
        const auto wire = sim.Wire();
        std::vector<std::string> out;
        for (size_t i = from; i < wire.size() && out.size() < count; ++i) out.push_back(wire[i].substr(0, 4));
        return out;
    }
    // True while another thread runs a command (holds the command lock).
    bool Busy() {
        mutex_t& lock = protocol.command_lock();
        if (!lock.try_lock()) return true;
        lock.unlock();
        return false;
    }

    sim::SinkSim sim;
    std::unique_ptr<serialport_t> port;
    dpprotocol_t protocol;
    std::atomic<int> posts{0};

private:
    std::mutex lock_;
    std::vector<std::string> messages_;
};
