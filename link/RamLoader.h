#pragma once
// The RAM loader that the firmware update uploads into the instrument before
// it writes the flash: an Intel HEX text embedded at build time (the build
// checks that it decodes, that all its segments lie below 0x10000 and that
// its first segment starts at the loader's entry point).
#include <cstddef>
#include <cstdint>

// Where the update starts the loader (RunCode) and where its first segment
// must begin.
constexpr uint32_t kRamLoaderEntry = 0x0500;

// The loader text, terminated by a zero byte.
const char* RamLoaderText();
// Its length without the terminating zero byte.
size_t RamLoaderTextLength();
