// Serves the simulated instrument on a pseudo-terminal until SIGINT or
// SIGTERM; prints the device path to give a program as its serial port.
#include <csignal>
#include <cstdio>
#include <pthread.h>

#include "sim/InstrumentSim.h"
#include "sim/LoaderSim.h"

int main() {
    // Block the ending signals before any thread exists, so that only
    // sigwait below receives them.
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);

    sim::InstrumentSim instrument;
    sim::LoaderSim loader;  // answers the firmware update
    instrument.SetExtension(&loader);
    if (!instrument.Start()) {
        std::fprintf(stderr, "instrument-sim: no pseudo-terminal available\n");
        return 1;
    }
    std::printf("%s\n", instrument.SlavePath().c_str());
    std::fflush(stdout);

    int sig = 0;
    sigwait(&ending, &sig);
    instrument.Stop();
    instrument.SetExtension(nullptr);
    return 0;
}
