// Serves the simulated instrument on a pseudo-terminal until SIGINT or
// SIGTERM; prints the device path to give a program as its serial port.
//
// Options choose how the instrument meets a connecting program:
//   --obsolete-firmware    answer the probe E0 A2 with E2 A2 (else no answer)
//   --version ABC          the three firmware version characters (default 341)
//   --silent-version       no answer to the firmware-version request
//   --refuse-version       refuse the firmware-version request (71 0B)
//   --hdcp-authenticated   status replies say HDCP is authenticated (default)
//   --hdcp-off             status replies say it is not
//   --test-scripts demo    run tests from the demonstration set (DemoTestScripts.h):
//                          passed, failed, skipped and timed-out tests, operator
//                          prompts of every kind, logs with link-training packets;
//                          without it every test passes at once with an empty log
//   --edid FILE            the E-EDID the instrument presents: the file's bytes,
//                          block n at segment n / 2, offset (n mod 2) x 128
//                          (without it the E-EDID reads as zeros)
#include <pthread.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "sim/DemoTestScripts.h"
#include "sim/InstrumentSim.h"
#include "sim/LoaderSim.h"

namespace {

constexpr uint8_t kVersionCode = 0x1C;

int Usage() {
    std::fprintf(stderr,
                 "usage: instrument-sim [--obsolete-firmware] [--version ABC] [--silent-version | --refuse-version]\n"
                 "                      [--hdcp-authenticated | --hdcp-off] [--test-scripts demo] [--edid FILE]\n"
                 "  --test-scripts demo  run tests from the demonstration set: passed, failed, skipped and\n"
                 "                       timed-out tests, operator prompts, logs with link-training packets\n"
                 "  --edid FILE          the E-EDID the instrument presents (whole 128-byte blocks, at most 256)\n");
    return 2;
}

// The E-EDID file: one to 256 whole blocks of 128 bytes.
bool ReadEdidFile(const char* path, sim::Bytes& edid) {
    constexpr size_t kBlock = 128, kMaxBlocks = 256;
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    edid.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad() && !edid.empty() && edid.size() % kBlock == 0 && edid.size() <= kBlock * kMaxBlocks;
}

// Applies the options; false on an unknown option, a version that is not
// three characters, a set of test scripts other than "demo" or an E-EDID
// file that cannot be read or is not whole blocks.
bool Configure(sim::InstrumentSim& instrument, int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--obsolete-firmware") {
            instrument.SetLegacyFirmware(true);
        } else if (arg == "--version" && i + 1 < argc && std::strlen(argv[i + 1]) == 3) {
            instrument.SetFirmwareVersion(argv[++i]);
        } else if (arg == "--silent-version") {
            instrument.SetFault(kVersionCode, {sim::Fault::Silent});
        } else if (arg == "--refuse-version") {
            instrument.SetFault(kVersionCode, {sim::Fault::Refuse});
        } else if (arg == "--hdcp-authenticated") {
            instrument.SetStatusByte(1);
        } else if (arg == "--hdcp-off") {
            instrument.SetStatusByte(0);
        } else if (arg == "--test-scripts" && i + 1 < argc && std::string(argv[i + 1]) == "demo") {
            ++i;
            instrument.SetTestScripts(sim::DemoTestScripts());
        } else if (arg == "--edid" && i + 1 < argc) {
            sim::Bytes edid;
            if (!ReadEdidFile(argv[++i], edid)) return false;
            instrument.SetEdid(edid);
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Block the ending signals before any thread exists, so that only
    // sigwait below receives them.
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);

    sim::InstrumentSim instrument;
    if (!Configure(instrument, argc, argv)) return Usage();
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
