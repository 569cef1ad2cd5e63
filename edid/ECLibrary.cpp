// The library handle interface: plain functions over an ECPrimary handle.
// A null handle makes every function do nothing and return its failure value.

#include "edid/ECLibrary.h"

#include "edid/ECPrimary.h"

extern "C" {

#if EDID_SINK_BUILD
ECHandle ECCreate(void) { return ECPrimary::Create(-1); }
#else
ECHandle ECCreate(int32_t mode) { return ECPrimary::Create(mode); }
#endif

void ECDestroy(ECHandle handle) { delete handle; }

void ECSetHostCallback(ECHandle handle, void* owner, ECHostCallback callback) {
    if (handle) handle->SetHostCallback(owner, callback);
}

bool ECSetOptions(ECHandle handle, uint32_t options) {
    if (!handle || !handle->Editor()) return false;
    return handle->Editor()->SetOptions(options);
}

bool ECEmbed(ECHandle handle, void* hostWindow) {
    if (!handle || !handle->Editor()) return false;
    return handle->Editor()->Embed(hostWindow);
}

#if EDID_HAS_FIT_TO_PARENT
void ECFitToParent(ECHandle handle) {
    if (handle && handle->Editor()) handle->Editor()->FitToParent();
}
#endif

bool ECClearBlocks(ECHandle handle) { return handle ? handle->ClearBlocks() : false; }

int32_t ECAddBlock(ECHandle handle, const uint8_t* bytes, int32_t length) {
    return handle ? handle->AddBlock(bytes, length) : -1;
}

int32_t ECGetBlock(ECHandle handle, int32_t index, uint8_t* buffer, int32_t size) {
    return handle ? handle->GetBlock(index, buffer, size) : 0;
}

bool ECGetVersion(int32_t* major, int32_t* minor, int32_t* release) {
    if (major) *major = edid_build::kVersionMajor;
    if (minor) *minor = edid_build::kVersionMinor;
    if (release) *release = edid_build::kVersionRelease;
    return true;
}

}  // extern "C"
