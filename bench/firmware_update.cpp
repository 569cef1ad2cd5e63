// Wall time of a pallumo update of a 64 KiB image against the simulated
// instrument paced at 115200 baud (both directions), beside the time its
// bytes need on a real line at 11,520 bytes/s, and their ratio.
//   firmware_update [path/to/pallumo]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "link/FirmwareUpdate.h"
#include "link/IntelHexDecoder.h"
#include "sim/InstrumentSim.h"
#include "sim/LoaderSim.h"
#include "support/HexRecord.h"

extern char** environ;

namespace {

constexpr uint32_t kImageBytes = 64 * 1024;
constexpr uint32_t kImageAddress = 0x10000;
constexpr double kLineBytesPerSecond = 11520.0;  // 115200 baud, 10 bits per byte

std::string Record(uint8_t type, uint16_t address, const std::vector<uint8_t>& data) {
    return test_hex::Record(type, address, data);
}

std::string Image() {
    std::string text = Record(2, 0, {static_cast<uint8_t>(kImageAddress >> 12), 0});
    for (uint32_t pos = 0; pos < kImageBytes; pos += 16) {
        std::vector<uint8_t> d(16);
        for (uint32_t i = 0; i < 16; ++i) d[i] = static_cast<uint8_t>((pos + i) * 29 + 3);
        text += Record(0, static_cast<uint16_t>(pos), d);
    }
    return text + ":00000001FF\n";
}

// Bytes both directions carry in one update: every frame, raw block and
// one-byte answer (a 3-byte frame each).
uint64_t WireBytes(const IntelHexDecoder& loader, const IntelHexDecoder& firmware) {
    const uint64_t answer = 3;
    uint64_t bytes = (3 + answer) + (4 + answer);  // Debug On, Reset
    for (const auto& s : loader.Segments())
        for (uint32_t off = 0; off < s.size(); off += firmware_update::kRamChunkBytes)
            bytes += 5 + std::min<uint32_t>(firmware_update::kRamChunkBytes, s.size() - off) + answer;
    bytes += (5 + answer) + (5 + answer);  // RunCode, Erase
    for (const auto& s : firmware.Segments())
        for (uint32_t off = 0; off < s.size(); off += firmware_update::kFlashChunkBytes)
            bytes += 3 + firmware_update::kFlashBlockOverhead +
                     std::min<uint32_t>(firmware_update::kFlashChunkBytes, s.size() - off) + answer;
    return bytes;
}

int Run(const std::string& pallumo, const std::vector<std::string>& args) {
    std::vector<std::string> store = {pallumo};
    store.insert(store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : store) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, pallumo.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1000;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? static_cast<int8_t>(WEXITSTATUS(status)) : -1000;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string pallumo = argc > 1 ? argv[1] : PALLUMO_BINARY;
    const std::string file = "/tmp/firmware_update_bench_" + std::to_string(::getpid()) + ".hex";
    std::ofstream(file, std::ios::binary) << Image();

    sim::InstrumentSim instrument;
    sim::LoaderSim loader;
    instrument.SetExtension(&loader);
    instrument.SetPacedAll(true);
    loader.SetPacedReceive(true);
    if (!instrument.Start()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const int code = Run(pallumo, {"-q", "-d", instrument.SlavePath(), "-f", file});
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    instrument.Stop();
    instrument.SetExtension(nullptr);

    const IntelHexDecoder firmware{HexFile{file}};
    const auto ramLoader = firmware_update::DecodeRamLoader();
    std::remove(file.c_str());
    const bool imageOk = loader.FlashImage().size() == kImageBytes;
    const uint64_t wireBytes = WireBytes(*ramLoader, firmware);
    const double wire = static_cast<double>(wireBytes) / kLineBytesPerSecond;
    const double pauses = (firmware_update::kResetPauseMs + firmware_update::kErasePauseMs) / 1000.0;

    std::printf("firmware update of %u bytes (+ %u loader bytes), exit code %d, flash image %s\n", kImageBytes,
                ramLoader->TotalBytes(), code, imageOk ? "complete" : "INCOMPLETE");
    std::printf("wall time                      %8.3f s\n", wall);
    std::printf("wire time at 11,520 bytes/s    %8.3f s  (%llu bytes both ways)\n", wire,
                static_cast<unsigned long long>(wireBytes));
    std::printf("fixed pauses of the sequence   %8.3f s\n", pauses);
    std::printf("ratio wall / wire              %8.3f\n", wire > 0 ? wall / wire : 0.0);
    std::printf("ratio wall / (wire + pauses)   %8.3f\n", wall / (wire + pauses));
    return code == 0 && imageOk ? 0 : 1;
}
