#include "sim/LoaderSim.h"

#include <algorithm>
#include <cstdio>

#include "link/Crc16.h"
#include "platform/Clock.h"

namespace sim {
namespace {

constexpr uint8_t kAck = 0x0C;
constexpr uint8_t kRefuse = 0x0B;
constexpr size_t kBlockHeader = 8;   // address and length, high byte first
constexpr size_t kBlockTrailer = 4;  // 00 00 crc-high crc-low
constexpr uint32_t kMaxBlockData = 500;
constexpr uint32_t kMaxRamData = 250;
constexpr uint32_t kLoaderEntry = 0x0500;
constexpr uint64_t kBaud = 115200;

// Whether a command with this fault takes effect.
bool Keeps(LoaderSim::Fault f) { return f == LoaderSim::Fault::None; }

uint32_t Be32(const uint8_t* b) {
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

std::string Hex(uint32_t v, int digits) {
    char t[16];
    std::snprintf(t, sizeof t, "%0*X", digits, v);
    return t;
}

}  // namespace

void LoaderSim::SetFault(Step step, Fault fault, int occurrence) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_[{step, occurrence}] = fault;
}

void LoaderSim::ClearFaults() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.clear();
}

void LoaderSim::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    counts_.clear();
    log_.clear();
    ram_.clear();
    flash_.clear();
    blocks_.clear();
    debugMode_ = resetDone_ = loaderRunning_ = erased_ = false;
    rawWanted_ = 0;
    commandBytes_ = 0;
    block_.clear();
}

std::map<uint32_t, uint8_t> LoaderSim::RamImage() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ram_;
}

std::map<uint32_t, uint8_t> LoaderSim::FlashImage() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return flash_;
}

std::vector<std::pair<uint32_t, uint32_t>> LoaderSim::FlashBlocks() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return blocks_;
}

int LoaderSim::Count(Step step) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = counts_.find(step);
    return it == counts_.end() ? 0 : it->second;
}

std::vector<std::string> LoaderSim::Log() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

bool LoaderSim::Erased() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return erased_;
}

void LoaderSim::SetPacedReceive(bool paced) {
    std::lock_guard<std::mutex> lock(mutex_);
    pacedReceive_ = paced;
}

LoaderSim::Fault LoaderSim::TakeFault(Step step) {
    const int occurrence = counts_[step]++;
    auto it = faults_.find({step, occurrence});
    return it == faults_.end() ? Fault::None : it->second;
}

LoaderSim::Reply LoaderSim::Done(Fault fault, bool ok) {
    Reply r;
    r.send = true;
    r.fault = fault;
    r.ok = ok && Keeps(fault);
    r.wireBytes = pacedReceive_ ? commandBytes_ : 0;
    commandBytes_ = 0;
    return r;
}

void LoaderSim::Answer(const Reply& r, InstrumentWire& wire) {
    if (!r.send) return;
    if (r.wireBytes) platform::SleepMs(static_cast<uint32_t>(uint64_t{r.wireBytes} * 10 * 1000 / kBaud));
    switch (r.fault) {
        case Fault::Silence:
            return;
        case Fault::CloseLine:
            wire.CloseLine();
            return;
        default:
            break;
    }
    const uint8_t reply = r.ok ? kAck : kRefuse;
    wire.SendPayload(&reply, 1);
}

bool LoaderSim::OnPayload(const uint8_t* p, size_t n, InstrumentWire& wire) {
    bool handled = false;
    Reply r;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        r = Handle(p, n, handled);
    }
    Answer(r, wire);
    return handled;
}

LoaderSim::Reply LoaderSim::Handle(const uint8_t* p, size_t n, bool& handled) {
    handled = false;
    if (n == 0) return {};
    auto command = [&](size_t expected) {
        handled = expected == 0 ? n >= 4 : n == expected;
        if (handled) commandBytes_ += static_cast<uint32_t>(n + 2);
        return handled;
    };
    switch (p[0]) {
        case 0x09: {  // Debug On
            if (!command(1)) return {};
            Note("DebugOn");
            const Fault f = TakeFault(Step::DebugOn);
            if (Keeps(f)) debugMode_ = true;
            return Done(f, true);
        }
        case 0x20: {  // Reset into the boot monitor (only in debug mode)
            if (!command(2)) return {};
            Note("Reset");
            const Fault f = TakeFault(Step::Reset);
            const bool ok = debugMode_;
            if (ok && Keeps(f)) {
                resetDone_ = true;
                loaderRunning_ = erased_ = false;
                ram_.clear();
            }
            return Done(f, ok);
        }
        case 0x13: {  // RAM write: address high, address low, 1 to 250 bytes
            if (!command(0)) return {};
            const uint32_t address = (uint32_t{p[1]} << 8) | p[2];
            const uint32_t count = static_cast<uint32_t>(n - 3);
            Note("RamWrite " + Hex(address, 4) + " " + std::to_string(count));
            const Fault f = TakeFault(Step::RamWrite);
            const bool ok = resetDone_ && count <= kMaxRamData && address + count <= 0x10000;
            if (ok && Keeps(f))
                for (uint32_t i = 0; i < count; ++i) ram_[address + i] = p[3 + i];
            return Done(f, ok);
        }
        case 0x1D: {  // RunCode at a 16-bit address
            if (!command(3)) return {};
            const uint32_t address = (uint32_t{p[1]} << 8) | p[2];
            Note("RunCode " + Hex(address, 4));
            const Fault f = TakeFault(Step::RunCode);
            const bool ok = address == kLoaderEntry && ram_.count(kLoaderEntry) != 0;
            if (ok && Keeps(f)) loaderRunning_ = true;
            return Done(f, ok);
        }
        case 0x19: {  // Erase (FF FF: the whole flash), a loader command
            if (!command(3)) return {};
            Note("Erase");
            const Fault f = TakeFault(Step::Erase);
            const bool ok = loaderRunning_ && p[1] == 0xFF && p[2] == 0xFF;
            if (ok && Keeps(f)) {
                erased_ = true;
                flash_.clear();
                blocks_.clear();
            }
            return Done(f, ok);
        }
        case 0x10: {  // flash-write header: the raw block follows, then the answer
            if (!command(1)) return {};
            blockFault_ = TakeFault(Step::FlashWrite);
            block_.clear();
            rawWanted_ = kBlockHeader;
            return {};
        }
        default:
            return {};
    }
}

size_t LoaderSim::RawBytesWanted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return rawWanted_;
}

void LoaderSim::OnRawBytes(const uint8_t* p, size_t n, InstrumentWire& wire) {
    Reply r;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        r = TakeRaw(p, n);
    }
    Answer(r, wire);
}

LoaderSim::Reply LoaderSim::TakeRaw(const uint8_t* p, size_t n) {
    const size_t take = std::min(n, rawWanted_);
    block_.insert(block_.end(), p, p + take);
    rawWanted_ -= take;
    commandBytes_ += static_cast<uint32_t>(take);
    if (rawWanted_ != 0) return {};
    if (block_.size() == kBlockHeader) {
        const uint32_t length = Be32(block_.data() + 4);
        if (length == 0 || length > kMaxBlockData) {
            // A length the loader cannot take: refuse at once and read
            // frames again (the rest of the block is searched as noise).
            Note("FlashWrite " + Hex(Be32(block_.data()), 8) + " " + std::to_string(length));
            block_.clear();
            return Done(blockFault_, false);
        }
        rawWanted_ = length + kBlockTrailer;
        return {};
    }
    return FinishBlock();
}

LoaderSim::Reply LoaderSim::FinishBlock() {
    const uint32_t address = Be32(block_.data());
    const uint32_t length = Be32(block_.data() + 4);
    const uint8_t* data = block_.data() + kBlockHeader;
    const uint32_t crc = Be32(data + length);
    Note("FlashWrite " + Hex(address, 8) + " " + std::to_string(length));
    const bool ok = erased_ && crc == Crc16(data, length);
    if (ok && Keeps(blockFault_)) {
        for (uint32_t i = 0; i < length; ++i) flash_[address + i] = data[i];
        blocks_.emplace_back(address, length);
    }
    block_.clear();
    return Done(blockFault_, ok);
}

}  // namespace sim
