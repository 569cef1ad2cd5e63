#include "fwupdater/ConsoleEnvironment.h"

#include <cstdio>
#include <filesystem>

#include "platform/Clock.h"
#include "platform/MessageEndpoint.h"

namespace pallumo {

void ConsoleEnvironment::Print(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

void ConsoleEnvironment::Post(const UpdaterSettings& s, uint32_t kind, uint32_t value) {
    const int tries = receiverMissing_ ? 1 : kPostTries;
    for (int i = 0; i < tries; ++i) {
        if (platform::PostEndpointMessage(s.notifyName, s.notifyWindow, kind, value)) {
            receiverMissing_ = false;
            return;
        }
        if (i + 1 < tries) platform::SleepMs(1);
    }
    receiverMissing_ = true;
}

bool ConsoleEnvironment::FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

ConsoleEnvironment::~ConsoleEnvironment() {
    if (!registeredName_.empty()) platform::ReleaseMessageName(registeredName_);
}

bool ConsoleEnvironment::RegisterName(const std::string& name) {
    // What a receiver killed outright left of the name goes first, so that
    // the folder does not outlive this run (an empty one is nobody's).
    platform::RemoveStaleEndpoints(name);
    if (!platform::RegisterMessageName(name)) return false;
    registeredName_ = name;
    return true;
}

}  // namespace pallumo
