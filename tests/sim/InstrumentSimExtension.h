#pragma once
// The hook through which a further part of the simulated instrument (for
// example its RAM loader and flash-write side) takes over the line.
#include <cstddef>
#include <cstdint>

namespace sim {

class InstrumentWire {  // what an extension may do on the line
public:
    virtual ~InstrumentWire() = default;
    virtual void SendPayload(const uint8_t* p, size_t n) = 0;  // framed reply
    virtual void SendRaw(const uint8_t* p, size_t n) = 0;      // unframed bytes
    virtual void CloseLine() = 0;                              // hang the line up
};

class InstrumentSimExtension {
public:
    virtual ~InstrumentSimExtension() = default;
    // Every received payload is offered here first; true = handled (the base does nothing more).
    virtual bool OnPayload(const uint8_t* p, size_t n, InstrumentWire& wire) = 0;
    // While this is > 0, that many next received bytes are raw (not frames) and go to OnRawBytes.
    virtual size_t RawBytesWanted() const = 0;
    virtual void OnRawBytes(const uint8_t* p, size_t n, InstrumentWire& wire) = 0;
};

}  // namespace sim
