#include "platform/MessageEndpoint.h"

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace platform {
namespace {

// Creates dir with mode 0700 when missing; true when it is a folder of this
// user that nobody else can enter. A folder that was already there is taken
// only as it is: its mode is never changed, so one that others may enter is
// refused.
bool EnsurePrivateDir(const std::string& dir) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    if (st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) return false;
    return ::access(dir.c_str(), R_OK | W_OK | X_OK) == 0;
}

// A message name becomes one folder inside the root: it must be a plain
// folder name, so that no name reaches the root itself or anything outside.
bool IsFolderName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

std::string RootDir() {
    const char* rt = std::getenv("XDG_RUNTIME_DIR");
    std::string base;
    if (rt && *rt) {
        base = std::string(rt) + "/dpsuite-messages";
    } else {
        base = "/tmp/dpsuite-messages-" + std::to_string(::geteuid());
    }
    return base;
}

std::string NameDir(const std::string& name) { return RootDir() + "/" + name; }

std::string IdFile(uint32_t id) {
    char b[16];
    std::snprintf(b, sizeof b, "%08X", id);
    return b;
}

bool FillAddr(sockaddr_un& a, const std::string& path) {
    std::memset(&a, 0, sizeof a);
    a.sun_family = AF_UNIX;
    if (path.size() >= sizeof a.sun_path) return false;
    std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// The live endpoints of this process, as the signal clean-up sees them: the
// socket and folder paths in fixed buffers, published by an atomic state so
// that the handler reads only complete entries.
enum SlotState : int { kFree, kFilling, kLive };
struct LiveSlot {
    std::atomic<int> state{kFree};
    pid_t owner = 0;  // a forked child that gets the signal before its exec leaves the parent's endpoints alone
    char socket[sizeof(sockaddr_un::sun_path)] = {};
    char folder[sizeof(sockaddr_un::sun_path)] = {};
};
std::array<LiveSlot, 32> g_live;

// The signals that end a program by default; with endpoints alive their
// default action first removes the endpoints.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Async-signal-safe: unlink, rmdir, getpid, signal and raise only.
void RemoveLiveEndpoints(int sig) {
    const pid_t self = ::getpid();
    for (LiveSlot& slot : g_live) {
        if (slot.state.load(std::memory_order_acquire) != kLive || slot.owner != self) continue;
        ::unlink(slot.socket);
        if (slot.folder[0] != '\0') ::rmdir(slot.folder);
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);  // delivered when the handler returns: the program ends as it would have
}

void InstallSignalCleanUp() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int sig : kEndingSignals) {
            struct sigaction old {};
            if (::sigaction(sig, nullptr, &old) != 0) continue;
            if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;  // ignored or the program's own
            struct sigaction action {};
            action.sa_handler = RemoveLiveEndpoints;
            sigemptyset(&action.sa_mask);
            for (int other : kEndingSignals) sigaddset(&action.sa_mask, other);
            ::sigaction(sig, &action, nullptr);
        }
    });
}

int TakeSlot(const std::string& socket, const std::string& folder) {
    for (size_t i = 0; i < g_live.size(); ++i) {
        int expected = kFree;
        if (!g_live[i].state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) continue;
        LiveSlot& slot = g_live[i];
        slot.owner = ::getpid();
        std::snprintf(slot.socket, sizeof slot.socket, "%s", socket.c_str());
        std::snprintf(slot.folder, sizeof slot.folder, "%s", folder.c_str());
        slot.state.store(kLive, std::memory_order_release);
        return static_cast<int>(i);
    }
    return -1;
}

// The names whose folders this process made for its endpoints, with the
// number of its endpoints alive in each: the last one's end removes the folder.
struct NameUse {
    int live = 0;
    bool createdFolder = false;
};
std::mutex g_namesMutex;
std::map<std::string, NameUse> g_names;

// Counts a new endpoint of `name`; whether this process made the folder.
bool UseName(const std::string& name, bool createdFolder) {
    std::lock_guard<std::mutex> lock(g_namesMutex);
    NameUse& use = g_names[name];
    ++use.live;
    use.createdFolder = use.createdFolder || createdFolder;
    return use.createdFolder;
}

// Counts an endpoint's end; true when it was the last and the folder is this process's to remove.
bool LeaveName(const std::string& name) {
    std::lock_guard<std::mutex> lock(g_namesMutex);
    const auto it = g_names.find(name);
    if (it == g_names.end() || --it->second.live > 0) return false;
    const bool created = it->second.createdFolder;
    g_names.erase(it);
    return created;
}

void FreeSlot(int index) {
    if (index < 0) return;
    g_live[static_cast<size_t>(index)].state.store(kFilling, std::memory_order_release);
    g_live[static_cast<size_t>(index)].state.store(kFree, std::memory_order_release);
}

bool SendTo(int fd, const std::string& path, const uint32_t msg[2]) {
    sockaddr_un a;
    if (!FillAddr(a, path)) return false;
    return ::sendto(fd, msg, 2 * sizeof(uint32_t), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&a), sizeof a) ==
           static_cast<ssize_t>(2 * sizeof(uint32_t));
}

}  // namespace

std::string MessageNameFolder(const std::string& name) { return NameDir(name); }

bool RegisterMessageName(const std::string& name, bool* created) {
    if (created) *created = false;
    if (!IsFolderName(name) || !EnsurePrivateDir(RootDir())) return false;
    const std::string dir = NameDir(name);
    struct stat st {};
    const bool existed = ::lstat(dir.c_str(), &st) == 0;
    if (!EnsurePrivateDir(dir)) return false;
    if (created) *created = !existed;
    return true;
}

void ReleaseMessageName(const std::string& name) {
    if (IsFolderName(name)) ::rmdir(NameDir(name).c_str());  // fails, and keeps the folder, while it holds anything
}

bool PostEndpointMessage(const std::string& name, uint32_t id, uint32_t wParam, uint32_t lParam) {
    if (!IsFolderName(name)) return false;
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const uint32_t msg[2] = {wParam, lParam};
    const std::string dir = NameDir(name);
    bool any = false;
    if (id != kBroadcastId) {
        any = SendTo(fd, dir + "/" + IdFile(id), msg);
    } else if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            if (e->d_name[0] == '.') continue;
            any = SendTo(fd, dir + "/" + e->d_name, msg) || any;
        }
        ::closedir(d);
    }
    ::close(fd);
    return any;
}

std::unique_ptr<MessageEndpoint> MessageEndpoint::Create(const std::string& name, uint32_t id) {
    if (id == kBroadcastId || !IsFolderName(name)) return nullptr;
    const std::string path = NameDir(name) + "/" + IdFile(id);
    sockaddr_un a;
    if (!FillAddr(a, path)) return nullptr;
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return nullptr;
    InstallSignalCleanUp();
    // The last endpoint of another program may remove the name's folder
    // between the registration and the bind: register again then.
    bool bound = false;
    bool createdFolder = false;
    for (int attempt = 0; attempt < 3 && !bound; ++attempt) {
        if (!RegisterMessageName(name, &createdFolder)) break;
        ::unlink(path.c_str());  // a stale socket of an endpoint that ended without closing
        bound = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        if (!bound && errno != ENOENT) break;
    }
    if (!bound) {
        ::close(fd);
        return nullptr;
    }
    const bool ownFolder = UseName(name, createdFolder);
    const int slot = TakeSlot(path, ownFolder ? NameDir(name) : std::string());
    return std::unique_ptr<MessageEndpoint>(new MessageEndpoint(name, id, fd, path, slot));
}

MessageEndpoint::MessageEndpoint(std::string name, uint32_t id, int fd, std::string path, int slot)
    : name_(std::move(name)), id_(id), fd_(fd), path_(std::move(path)), slot_(slot) {}

MessageEndpoint::~MessageEndpoint() {
    FreeSlot(slot_);
    ::close(fd_);
    ::unlink(path_.c_str());
    if (LeaveName(name_)) ReleaseMessageName(name_);
}

std::optional<EndpointMessage> MessageEndpoint::Receive(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    for (;;) {
        int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return std::nullopt;
        uint32_t msg[2];
        ssize_t n = ::recv(fd_, msg, sizeof msg, MSG_DONTWAIT);
        if (n == static_cast<ssize_t>(sizeof msg)) return EndpointMessage{msg[0], msg[1]};
        if (n < 0 && errno != EAGAIN && errno != EINTR) return std::nullopt;
        // a malformed datagram: ignore it and look again
    }
}

}  // namespace platform
