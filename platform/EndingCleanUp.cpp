#include "platform/EndingCleanUp.h"

#include <signal.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>

namespace platform {
namespace {

// The entries as the signal handler sees them: paths in fixed buffers,
// published by an atomic state so that the handler reads only complete ones.
enum SlotState : int { kFree, kFilling, kLive };
struct Slot {
    std::atomic<int> state{kFree};
    pid_t owner = 0;
    char file[sizeof(sockaddr_un::sun_path)] = {};
    char folder[sizeof(sockaddr_un::sun_path)] = {};
    char outerFolder[sizeof(sockaddr_un::sun_path)] = {};
};
std::array<Slot, 32> g_slots;

// The signals that end a program by default.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Async-signal-safe: unlink, rmdir, getpid, signal and raise only. Every
// file goes before any folder and every folder before any outer folder, so a
// folder that held two entries (an endpoint and a lock file), or an outer
// folder that held two folders, is empty by the time it is removed.
void RemoveEntries(int sig) {
    const int savedErrno = errno;  // the interrupted code's, should the program go on
    const pid_t self = ::getpid();
    auto mine = [self](const Slot& slot) {
        return slot.state.load(std::memory_order_acquire) == kLive && slot.owner == self;
    };
    for (const Slot& slot : g_slots)
        if (mine(slot)) ::unlink(slot.file);
    for (const Slot& slot : g_slots)
        if (mine(slot) && slot.folder[0] != '\0') ::rmdir(slot.folder);  // fails while anything is left in it
    for (const Slot& slot : g_slots)
        if (mine(slot) && slot.outerFolder[0] != '\0') ::rmdir(slot.outerFolder);
    ::signal(sig, SIG_DFL);
    ::raise(sig);  // delivered when the handler returns: the program ends as it would have
    errno = savedErrno;
}

void InstallHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int sig : kEndingSignals) {
            struct sigaction old {};
            if (::sigaction(sig, nullptr, &old) != 0) continue;
            if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;  // ignored or the program's own
            struct sigaction action {};
            action.sa_handler = RemoveEntries;
            sigemptyset(&action.sa_mask);
            for (int other : kEndingSignals) sigaddset(&action.sa_mask, other);
            ::sigaction(sig, &action, nullptr);
        }
    });
}

}  // namespace

int RemoveAtEndingSignal(const std::string& file, const std::string& folder, const std::string& outerFolder) {
    InstallHandlers();
    for (size_t i = 0; i < g_slots.size(); ++i) {
        int expected = kFree;
        if (!g_slots[i].state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) continue;
        Slot& slot = g_slots[i];
        slot.owner = ::getpid();
        std::snprintf(slot.file, sizeof slot.file, "%s", file.c_str());
        std::snprintf(slot.folder, sizeof slot.folder, "%s", folder.c_str());
        std::snprintf(slot.outerFolder, sizeof slot.outerFolder, "%s", outerFolder.c_str());
        slot.state.store(kLive, std::memory_order_release);
        return static_cast<int>(i);
    }
    return -1;
}

void ForgetAtEndingSignal(int ticket) {
    if (ticket < 0 || static_cast<size_t>(ticket) >= g_slots.size()) return;
    g_slots[static_cast<size_t>(ticket)].state.store(kFree, std::memory_order_release);
}

}  // namespace platform
