#pragma once
// A connected transport against the simulated sink: the sim serves a
// pseudo-terminal, the port is open on its slave side and the protocol's
// frame layer runs. Messages of the protocol are collected.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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
    sim::SinkSim sim;
    std::unique_ptr<serialport_t> port;
    dpprotocol_t protocol;
    std::atomic<int> posts{0};

private:
    std::mutex lock_;
    std::vector<std::string> messages_;
};
