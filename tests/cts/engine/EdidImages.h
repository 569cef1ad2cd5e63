#pragma once
// E-EDID images for the transfer's tests, the addresses of the E-EDID
// requests the simulated instrument received, and a fault on one request of
// a code: shared by the tests of the transfer without a window and those of
// the main window's E-EDID page.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "sim/InstrumentSim.h"
#include "support/EdidFixtures.h"

namespace edid_images {

using edid_fixtures::Block;
using Address = std::pair<int, int>;  // segment, offset

constexpr uint8_t kRead = 0x16;
constexpr uint8_t kWrite = 0x17;

// A base block announcing `extensions` blocks, and CEA-861 blocks that
// differ from each other.
inline Block BaseAnnouncing(int extensions) {
    Block b = edid_fixtures::DigitalBase14();
    b[126] = static_cast<uint8_t>(extensions);
    edid_fixtures::FixChecksum(b);
    return b;
}
inline Block Extension(int i) {
    // A video data block with one VIC, i (1 to 127), so that every block is its own.
    return edid_fixtures::MakeCea({{0x41, static_cast<uint8_t>(1 + (i - 1) % 127)}}, {}, 0x00);
}
inline std::vector<Block> Image(int extensions) {
    std::vector<Block> blocks{BaseAnnouncing(extensions)};
    for (int i = 1; i <= extensions; ++i) blocks.push_back(Extension(i));
    return blocks;
}
inline sim::Bytes Bytes(const std::vector<Block>& blocks) {
    sim::Bytes bytes;
    for (const Block& b : blocks) bytes.insert(bytes.end(), b.begin(), b.end());
    // The simulator's image holds whole segments.
    if (bytes.size() % 256) bytes.resize(bytes.size() + 128, 0);
    return bytes;
}

// The segment and offset of every E-EDID request of a code the simulator received.
inline std::vector<Address> Addresses(const sim::InstrumentSim& sim, uint8_t code) {
    std::vector<Address> out;
    for (const sim::Bytes& p : sim.Received())
        if (p.size() >= 4 && p[0] == 0x71 && p[1] == code) out.emplace_back(p[2], p[3]);
    return out;
}
// The byte after segment and offset (the count) of every request of a code.
inline std::vector<int> FifthBytes(const sim::InstrumentSim& sim, uint8_t code) {
    std::vector<int> out;
    for (const sim::Bytes& p : sim.Received())
        if (p.size() >= 5 && p[0] == 0x71 && p[1] == code) out.push_back(p[4]);
    return out;
}
// Blocks 0 to blocks - 1 in order: segment 0 offset 0, segment 0 offset 128,
// segment 1 offset 0, ...
inline std::vector<Address> ReadAddresses(int blocks) {
    std::vector<Address> out;
    for (int n = 0; n < blocks; ++n) out.emplace_back(n / 2, (n % 2) * 128);
    return out;
}

// Turns one request of a code, counted from when it is armed, into a fault of
// the simulator: when that request arrives the fault is set for it alone, so
// the requests before and after it are answered normally.
class FaultOnRequest : public sim::InstrumentSimExtension {
public:
    FaultOnRequest(sim::InstrumentSim& sim, uint8_t code, int nth, sim::Fault fault)
        : sim_(sim), code_(code), nth_(nth), fault_(fault) {}
    bool OnPayload(const uint8_t* p, size_t n, sim::InstrumentWire&) override {
        if (sim::InstrumentSim::RequestCode(p, n) == code_ && ++seen_ == nth_)
            sim_.SetFault(code_, sim::FaultSpec{fault_, 0, 1});
        return false;
    }
    size_t RawBytesWanted() const override { return 0; }
    void OnRawBytes(const uint8_t*, size_t, sim::InstrumentWire&) override {}

private:
    sim::InstrumentSim& sim_;
    uint8_t code_;
    int nth_;
    sim::Fault fault_;
    int seen_ = 0;  // the simulator's thread only
};

}  // namespace edid_images
