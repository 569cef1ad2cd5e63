#pragma once
// The library handle interface: plain functions over an opaque handle.
// All functions and the host callback run on the host's GUI thread.

#include "edid/BuildOptions.h"

#include <cstdint>

class ECPrimary;
using ECHandle = ECPrimary*;

// Host callback: (owner, code, number, NUL-terminated UTF-16 text or null).
using ECHostCallback = void (*)(void* owner, uint32_t code, uint32_t number, const char16_t* text);

// Host callback codes (ECHostEvent).
enum ECHostEvent : uint32_t {
    EC_HOST_MESSAGE = 0x100,     // number: the message kind below
    EC_HOST_WRITE_EDID = 0x200,  // number: the number of blocks
    EC_HOST_READ_EDID = 0x400,   // number: 0
};

// Kinds of EC_HOST_MESSAGE.
enum ECHostMessageKind : uint32_t {
    EC_MSG_FILE_ERROR = 0x80,
    EC_MSG_ERROR = 0x40,
    EC_MSG_WARNING = 0x20,
    EC_MSG_INFORMATION = 0x10,
};

extern "C" {
#if EDID_SINK_BUILD
// Always an instance with the editor window.
ECHandle ECCreate(void);
#else
// mode below 0: with the editor window; 0 or above: headless.
ECHandle ECCreate(int32_t mode);
#endif
void ECDestroy(ECHandle handle);
void ECSetHostCallback(ECHandle handle, void* owner, ECHostCallback callback);
bool ECSetOptions(ECHandle handle, uint32_t options);
bool ECEmbed(ECHandle handle, void* hostWindow);
#if EDID_HAS_FIT_TO_PARENT
void ECFitToParent(ECHandle handle);
#endif
bool ECClearBlocks(ECHandle handle);
int32_t ECAddBlock(ECHandle handle, const uint8_t* bytes, int32_t length);
int32_t ECGetBlock(ECHandle handle, int32_t index, uint8_t* buffer, int32_t size);
bool ECGetVersion(int32_t* major, int32_t* minor, int32_t* release);
}
