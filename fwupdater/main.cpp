// Pallumo: writes an Intel HEX firmware file into the instrument through a
// serial port and ends with an exit code (the shell sees it modulo 256).
#include <csignal>
#include <iterator>
#include <string>
#include <vector>

#include "PallumoVersion.h"
#include "fwupdater/ConsoleEnvironment.h"
#include "fwupdater/Updater.h"

namespace {
// Interrupt, termination, hang-up and quit signals are ignored for the whole
// run: an update stopped halfway leaves the instrument without firmware.
const int kIgnoredSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
}  // namespace

int main(int argc, char** argv) {
    using Handler = void (*)(int);
    Handler previous[std::size(kIgnoredSignals)];
    for (size_t i = 0; i < std::size(kIgnoredSignals); ++i) previous[i] = std::signal(kIgnoredSignals[i], SIG_IGN);
    // Standard output may be a pipe whose reader has gone (`pallumo ... |
    // head`): a console write then just fails, and the update goes on. It
    // stays ignored up to the exit, whose flush of standard output may meet
    // the same closed pipe after the update has finished.
    std::signal(SIGPIPE, SIG_IGN);

    int code = 0;
    {
        // The environment ends (removing a message folder it made) while the signals are still ignored.
        pallumo::ConsoleEnvironment env;
        pallumo::Updater updater(env, {PALLUMO_VERSION_MAJOR, PALLUMO_VERSION_MINOR, PALLUMO_VERSION_PATCH});
        code = updater.Run(std::vector<std::string>(argv + 1, argv + argc));
    }

    for (size_t i = 0; i < std::size(kIgnoredSignals); ++i)
        if (previous[i] != SIG_ERR) std::signal(kIgnoredSignals[i], previous[i]);
    return code;
}
