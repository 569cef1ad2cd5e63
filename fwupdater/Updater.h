#pragma once
// The firmware updater's program logic: parse the options, print the
// banner or the usage, run the update through the synchronous link and end
// with an exit code. Everything outside the process goes through the
// environment, so the whole program can also run inside a test.
#include <cstdint>
#include <string>
#include <vector>

#include "fwupdater/UpdaterOptions.h"
#include "link/MV_Comm.h"  // LinkResult

namespace pallumo {

struct ProgramVersion {
    int major = 0, minor = 0, patch = 0;
};

class Updater {
public:
    Updater(UpdaterEnvironment& env, ProgramVersion version) : env_(env), version_(version) {}

    // One run over the arguments (without the program name); the exit code.
    int Run(const std::vector<std::string>& args);

    const UpdaterSettings& Settings() const { return s_; }

    // Hooks of the link during the update.
    void OnUpdateStart(uint32_t total);
    void PrintProgress(uint32_t bytesSent);
    void OnUpdateError(const std::string& text);
    void OnUpdateComplete(LinkResult result);

private:
    void RunUpdate();
    void Notice(uint32_t kind, uint32_t value) {
        if (s_.notify) env_.Post(s_, kind, value);
    }
    void Informative(const std::string& text) {
        if (!s_.informativeOff) env_.Print(text);
    }
    void Error(const std::string& text) {
        if (!s_.allOff) env_.Print(text);
    }

    UpdaterEnvironment& env_;
    ProgramVersion version_;
    UpdaterSettings s_;
    uint32_t total_ = 0;
};

}  // namespace pallumo
