// MV_Comm::UpdateFirmware: the GUI-thread steps before the worker takes over.
#include <memory>

#include "link/FirmwareUpdateWorker.h"
#include "link/IntelHexDecoder.h"
#include "link/MV_Comm.h"
#include "platform/MessageBox.h"

void MV_Comm::UpdateFirmware(std::string fileName, Completion onComplete) {
    if (!Idle()) {
        if (onComplete) onComplete(LINK_BUSY);
        return;
    }
    std::unique_ptr<IntelHexDecoder> loader = firmware_update::DecodeRamLoader();
    MessageHere("> " + firmware_update::LoaderDecodedText(*loader));

    std::unique_ptr<IntelHexDecoder> firmware;
    try {
        firmware = std::make_unique<IntelHexDecoder>(HexFile{fileName});
    } catch (const IntelHexError& e) {
        platform::ShowMessageBox(std::string("Flash HEX File read failed with error message: '") + e.what() + "'.",
                                 "Error", platform::MsgIcon::Error, platform::MsgButtons::Ok);
        loader.reset();
        if (onComplete) onComplete(LINK_RETRIES_EXCEEDED);
        return;
    }
    MessageHere("> " + firmware_update::FirmwareDecodedText(fileName, *firmware));
    UpdateStartHere(loader->TotalBytes() + firmware->TotalBytes());
    RunWorkerSequence(firmware_update::OnLinkWorker(std::move(loader), std::move(firmware)), std::move(onComplete));
}
