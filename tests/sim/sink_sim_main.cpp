// sink-sim: serves the sink monitor's command set on a pseudo-terminal until
// interrupted (SIGINT, SIGTERM, SIGHUP). Prints the device path to open as
// the serial port on its first line; name it in EXTRA_SERIAL_PORTS so that
// the port lists show it. --debug-texts sends a debug text every 2 s.
#include <csignal>
#include <cstdio>
#include <cstring>

#include "sim/SinkSim.h"

int main(int argc, char** argv) {
    bool debugTexts = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--debug-texts") == 0) {
            debugTexts = true;
        } else {
            std::fprintf(stderr, "usage: %s [--debug-texts]\n", argv[0]);
            return 2;
        }
    }
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);  // the sim's thread inherits the mask

    sim::SinkSim sink;
    // A few captured packets: an AVI InfoFrame SDP and an audio InfoFrame SDP.
    sink.QueueSdp(0x82, 0x00, 0x02, {0x00, 0x10, 0xA8, 0x00, 0x10});
    sink.QueueSdp(0x84, 0x00, 0x01, {0x01, 0x00, 0x00, 0x00, 0x00});
    if (!sink.Start()) {
        std::fprintf(stderr, "sink-sim: cannot open a pseudo-terminal\n");
        return 1;
    }
    std::printf("%s\n", sink.SlavePath().c_str());
    std::fflush(stdout);
    // With --debug-texts a debug text goes out every two seconds.
    const timespec period{2, 0};
    for (uint16_t n = 1;; ++n) {
        if (!debugTexts) {
            int sig = 0;
            sigwait(&set, &sig);
            break;
        }
        if (sigtimedwait(&set, nullptr, &period) > 0) break;
        sink.SendDebugText("sink-sim debug text %u", n);
    }
    sink.Stop();
    return 0;
}
