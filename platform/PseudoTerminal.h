#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/SerialPort.h"

namespace platform {

// The master side of a pseudo-terminal, for the simulated instrument and
// sink: a program opens SlavePath() as its serial port. The slave is put in
// raw mode and kept open here, so the line survives the program closing and
// reopening its port; Close() hangs the line up.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool Open();
    void Close();
    bool IsOpen() const { return master_ >= 0; }
    const std::string& SlavePath() const { return slavePath_; }

    long ReadNow(uint8_t* dst, size_t n);
    size_t Write(const uint8_t* src, size_t n);
    SerialPort::Wait WaitReadable(int timeoutMs, const StopSignal* stop = nullptr) const;

private:
    int master_ = -1;
    int slaveKeep_ = -1;
    std::string slavePath_;
};

}  // namespace platform
