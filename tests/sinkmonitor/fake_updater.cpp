// A stand-in for pallumo in the launcher's tests, for the outcomes the real
// updater cannot be made to give here. Driven by environment variables:
//   FAKE_UPDATER_RECORD   a file that gets the arguments (one per line), then
//                         "fd N -> target" for every open descriptor
//   FAKE_UPDATER_GATE     a file to wait for before going on (up to 60 s)
//   FAKE_UPDATER_NOTICES  "kind,value;kind,value;..." posted to the -m endpoint
//   FAKE_UPDATER_EXIT     the exit code (the status is its low 8 bits)
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/MessageEndpoint.h"

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

void Record(const std::string& path, int argc, char** argv) {
    // Descriptors first, before the record file itself is opened.
    std::vector<std::string> fds;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        const int own = ::dirfd(dir);
        while (dirent* e = ::readdir(dir)) {
            if (e->d_name[0] == '.' || std::atoi(e->d_name) == own) continue;
            char target[4096] = {};
            const std::string link = std::string("/proc/self/fd/") + e->d_name;
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            fds.push_back(std::string("fd ") + e->d_name + " -> " + (n > 0 ? std::string(target, n) : "?"));
        }
        ::closedir(dir);
    }
    std::ofstream out(path);
    for (int i = 1; i < argc; ++i) out << argv[i] << '\n';
    for (const auto& fd : fds) out << fd << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    if (const std::string record = Env("FAKE_UPDATER_RECORD"); !record.empty()) Record(record, argc, argv);

    if (const std::string gate = Env("FAKE_UPDATER_GATE"); !gate.empty()) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (::access(gate.c_str(), F_OK) != 0 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    // -m name id, as the launcher passes them first.
    if (argc >= 4 && std::string(argv[1]) == "-m") {
        const std::string name = argv[2];
        const uint32_t id = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 16));
        std::stringstream notices(Env("FAKE_UPDATER_NOTICES"));
        std::string item;
        while (std::getline(notices, item, ';')) {
            unsigned kind = 0, value = 0;
            if (std::sscanf(item.c_str(), "%u,%u", &kind, &value) != 2) continue;
            if (!platform::PostEndpointMessage(name, id, kind, value))
                std::fprintf(stderr, "notice (%u, %u) not taken\n", kind, value);
        }
    }
    return std::atoi(Env("FAKE_UPDATER_EXIT").c_str());
}
