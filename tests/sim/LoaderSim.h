#pragma once
// The simulated instrument's firmware-update side: the debug-mode and reset
// commands, the RAM loader upload and start, the flash erase and the raw
// flash-write blocks with their CRC-16. Attached to the simulated instrument
// as its extension; it answers the framed loader commands with 0C or 0B and
// keeps the RAM and flash images it received for tests to compare.
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "sim/InstrumentSimExtension.h"

namespace sim {

class LoaderSim : public InstrumentSimExtension {
public:
    enum class Step { DebugOn, Reset, RamWrite, RunCode, Erase, FlashWrite };
    enum class Fault {
        None,
        Refuse,     // answer 0B, keep nothing
        Silence,    // answer nothing
        BadCrc,     // flash block taken as received with a bad CRC: answered 0B
        CloseLine,  // hang the line up instead of answering
    };

    // Injects `fault` into the `occurrence`-th (from 0) command of `step`.
    void SetFault(Step step, Fault fault, int occurrence = 0);
    void ClearFaults();
    // Paces reception at 115200 baud (10 bits per byte): each answer waits
    // the time the command's bytes need on a real line (a pseudo-terminal
    // delivers them at once).
    void SetPacedReceive(bool paced);
    // Forgets everything received (images, counts, log) and the mode.
    void Reset();

    // Byte by address, as written by the RAM-write frames and flash blocks.
    std::map<uint32_t, uint8_t> RamImage() const;
    std::map<uint32_t, uint8_t> FlashImage() const;
    // (address, length) of every flash block accepted, in order.
    std::vector<std::pair<uint32_t, uint32_t>> FlashBlocks() const;
    int Count(Step step) const;
    // One line per command received, in order: "DebugOn", "Reset",
    // "RamWrite 0500 5", "RunCode 0500", "Erase", "FlashWrite 00010000 500".
    std::vector<std::string> Log() const;
    bool Erased() const;

    bool OnPayload(const uint8_t* p, size_t n, InstrumentWire& wire) override;
    size_t RawBytesWanted() const override;
    void OnRawBytes(const uint8_t* p, size_t n, InstrumentWire& wire) override;

private:
    struct Reply {
        bool send = false;  // false: nothing to answer (yet)
        Fault fault = Fault::None;
        bool ok = false;
        uint32_t wireBytes = 0;  // bytes of the command, for pacing
    };
    Reply Handle(const uint8_t* p, size_t n, bool& handled);  // under the lock
    Reply TakeRaw(const uint8_t* p, size_t n);                // under the lock
    Reply Done(Fault fault, bool ok);
    Fault TakeFault(Step step);                         // counts the command
    void Answer(const Reply& r, InstrumentWire& wire);  // outside the lock
    Reply FinishBlock();
    void Note(const std::string& line) { log_.push_back(line); }

    mutable std::mutex mutex_;
    std::map<std::pair<Step, int>, Fault> faults_;
    std::map<Step, int> counts_;
    std::vector<std::string> log_;
    std::map<uint32_t, uint8_t> ram_;
    std::map<uint32_t, uint8_t> flash_;
    std::vector<std::pair<uint32_t, uint32_t>> blocks_;
    bool debugMode_ = false;
    bool resetDone_ = false;
    bool loaderRunning_ = false;
    bool erased_ = false;
    bool pacedReceive_ = false;
    uint32_t commandBytes_ = 0;
    // Raw flash-block reception after the 10 frame.
    size_t rawWanted_ = 0;
    std::vector<uint8_t> block_;
    Fault blockFault_ = Fault::None;
};

}  // namespace sim
