#pragma once
// The updater's outside world: standard output, the message endpoints of
// the notices, the file system.
#include "fwupdater/UpdaterOptions.h"

namespace pallumo {

class ConsoleEnvironment : public UpdaterEnvironment {
public:
    ConsoleEnvironment() = default;
    // Removes the registered message name's folder when nothing is left in it.
    ~ConsoleEnvironment() override;
    ConsoleEnvironment(const ConsoleEnvironment&) = delete;
    ConsoleEnvironment& operator=(const ConsoleEnvironment&) = delete;

    void Print(const std::string& text) override;
    // A receiver that falls behind has a short queue: a post it did not take
    // is tried again for a while. Once a post found no taker at all, later
    // ones are tried once each until one is taken again.
    void Post(const UpdaterSettings& s, uint32_t kind, uint32_t value) override;
    bool FileExists(const std::string& path) override;
    bool RegisterName(const std::string& name) override;

private:
    static constexpr int kPostTries = 50;  // 1 ms apart
    bool receiverMissing_ = false;
    std::string registeredName_;  // the message name of the notices
};

}  // namespace pallumo
