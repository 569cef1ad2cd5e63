// sink-sim: serves the sink monitor's command set on a pseudo-terminal until
// interrupted (SIGINT, SIGTERM, SIGHUP). Prints the device path to open as
// the serial port on its first line; name it in EXTRA_SERIAL_PORTS so that
// the port lists show it. --debug-texts sends a debug text every 2 s.
// --late-reply CODE:MS answers every command of that code (hexadecimal)
// MS milliseconds late, e.g. --late-reply 1A:2300 answers DPCD reads after
// their 2 s time-out; the sink answers the commands that come meanwhile
// after it, in order. --silent CODE never answers the commands of that code
// (the sink goes on answering the others). --ack-0c acknowledges the commands without response
// data with 71 0C instead of their own code.
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sim/SinkSim.h"

namespace {

// A command code in hexadecimal (0x optional), at most 0xFF, up to `end`.
bool ParseCode(const char* text, char** end, unsigned long& code) {
    code = std::strtoul(text, end, 16);
    return *end != text && code <= 0xFF;
}

// "CODE", the code in hexadecimal.
bool ParseSilent(const char* text, sim::SinkFaultPlan& out) {
    char* end = nullptr;
    unsigned long code = 0;
    if (!ParseCode(text, &end, code) || *end != '\0') return false;
    out = sim::SinkFaultPlan::Of(sim::SinkFault::Silence, static_cast<int>(code));
    out.times = INT_MAX;
    return true;
}

// "CODE:MS", the code in hexadecimal (0x optional), at most 0xFF.
bool ParseLateReply(const char* text, sim::SinkFaultPlan& out) {
    char* end = nullptr;
    unsigned long code = 0;
    if (!ParseCode(text, &end, code) || *end != ':') return false;
    const char* msText = end + 1;
    const unsigned long ms = std::strtoul(msText, &end, 10);
    if (end == msText || *end != '\0' || ms > 600000) return false;
    out = sim::SinkFaultPlan::Late(static_cast<int>(code), static_cast<unsigned>(ms));
    out.times = INT_MAX;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool debugTexts = false;
    bool ack0C = false;
    std::vector<sim::SinkFaultPlan> faults;
    for (int i = 1; i < argc; ++i) {
        sim::SinkFaultPlan fault;
        if (std::strcmp(argv[i], "--debug-texts") == 0) {
            debugTexts = true;
        } else if (std::strcmp(argv[i], "--ack-0c") == 0) {
            ack0C = true;
        } else if (std::strcmp(argv[i], "--late-reply") == 0 && i + 1 < argc && ParseLateReply(argv[i + 1], fault)) {
            faults.push_back(fault);
            ++i;
        } else if (std::strcmp(argv[i], "--silent") == 0 && i + 1 < argc && ParseSilent(argv[i + 1], fault)) {
            faults.push_back(fault);
            ++i;
        } else {
            std::fprintf(stderr, "usage: %s [--debug-texts] [--ack-0c] [--late-reply CODE:MS]... [--silent CODE]...\n",
                         argv[0]);
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
    for (const auto& f : faults) sink.InjectFault(f);
    if (ack0C) sink.SetAck(sim::SinkSim::Ack::Ack0C);
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
