#pragma once
// Shared pieces of the updater's end-to-end tests: a simulated instrument
// with its loader side on a pseudo-terminal, firmware files, the expected
// console output and a collector of notices on a message endpoint.
#include <unistd.h>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fwupdater/UpdaterOptions.h"
#include "link/FirmwareUpdate.h"
#include "link/IntelHexDecoder.h"
#include "platform/MessageEndpoint.h"
#include "sim/InstrumentSim.h"
#include "sim/LoaderSim.h"
#include "support/HexRecord.h"
#include "support/TextFile.h"

namespace updater_test {

using Notices = std::vector<std::pair<uint32_t, uint32_t>>;

struct SimulatedInstrument {
    sim::InstrumentSim instrument;
    sim::LoaderSim loader;
    SimulatedInstrument() {
        instrument.SetExtension(&loader);
        started = instrument.Start();
    }
    ~SimulatedInstrument() {
        instrument.Stop();
        instrument.SetExtension(nullptr);
    }
    bool started = false;
};

// Intel HEX text of segments (address, size) with a fixed byte pattern.
inline std::string FirmwareText(const std::vector<std::pair<uint32_t, uint32_t>>& segments) {
    std::string text;
    auto rec = [&](uint8_t type, uint16_t address, const std::vector<uint8_t>& data) {
        text += test_hex::Record(type, address, data, "\r\n");
    };
    for (const auto& [address, size] : segments) {
        uint32_t pos = 0;
        while (pos < size) {
            const uint32_t at = address + pos;
            const uint16_t segment = static_cast<uint16_t>((at >> 4) & 0xF000);
            rec(2, 0, {static_cast<uint8_t>(segment >> 8), 0});
            // records up to the end of this 64 KiB window
            const uint32_t windowEnd = (uint32_t{segment} << 4) + 0x10000;
            while (pos < size && address + pos < windowEnd) {
                const uint32_t n = std::min<uint32_t>(16, size - pos);
                std::vector<uint8_t> d;
                for (uint32_t i = 0; i < n; ++i) d.push_back(static_cast<uint8_t>((address + pos + i) * 13 + 5));
                rec(0, static_cast<uint16_t>(address + pos - (uint32_t{segment} << 4)), d);
                pos += n;
            }
        }
    }
    text += ":00000001FF\r\n";
    return text;
}

// Each test case runs in a process of its own, several at once: the file
// name carries the process id so that no two write the same file.
inline std::string WriteFile(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + std::to_string(::getpid()) + "_" + name;
    test_support::WriteFile(path, text);
    return path;
}

inline std::map<uint32_t, uint8_t> ImageBytes(const IntelHexDecoder& d) {
    std::map<uint32_t, uint8_t> bytes;
    for (const auto& s : d.Segments())
        for (uint32_t i = 0; i < s.size(); ++i) bytes[s.startAddress + i] = s.data[i];
    return bytes;
}

// Bytes sent after each chunk, as the update hands them to the port.
inline std::vector<uint32_t> ChunkProgress(const IntelHexDecoder& loader, const IntelHexDecoder& firmware) {
    std::vector<uint32_t> sent;
    uint32_t total = 0;
    auto walk = [&](const IntelHexDecoder& d, size_t chunk) {
        for (const auto& s : d.Segments())
            for (uint32_t off = 0; off < s.size(); off += static_cast<uint32_t>(chunk)) {
                total += std::min<uint32_t>(static_cast<uint32_t>(chunk), s.size() - off);
                sent.push_back(total);
            }
    };
    walk(loader, firmware_update::kRamChunkBytes);
    walk(firmware, firmware_update::kFlashChunkBytes);
    return sent;
}

// Notices received on an endpoint by a thread of their own.
class NoticeCollector {
public:
    NoticeCollector(const std::string& name, uint32_t id) : endpoint_(platform::MessageEndpoint::Create(name, id)) {
        if (endpoint_) thread_ = std::thread([this] { Serve(); });
    }
    ~NoticeCollector() { Stop(); }
    bool Ok() const { return endpoint_ != nullptr; }
    // Stops receiving after what is queued; returns everything received.
    Notices Stop() {
        if (thread_.joinable()) {
            stop_ = true;
            thread_.join();
        }
        std::lock_guard<std::mutex> lock(mutex_);
        return notices_;
    }

private:
    void Serve() {
        for (;;) {
            const bool stopping = stop_.load();
            auto m = endpoint_->Receive(stopping ? 0 : 20);
            if (m) {
                std::lock_guard<std::mutex> lock(mutex_);
                notices_.emplace_back(m->wParam, m->lParam);
            } else if (stopping) {
                return;
            }
        }
    }
    std::unique_ptr<platform::MessageEndpoint> endpoint_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    Notices notices_;
};

inline std::string UniqueName(const std::string& base) {
    static int counter = 0;
    return base + "." + std::to_string(::getpid()) + "." + std::to_string(++counter);
}

}  // namespace updater_test
