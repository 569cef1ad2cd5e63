#include "platform/MessageEndpoint.h"

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

bool SendTo(int fd, const std::string& path, const uint32_t msg[2]) {
    sockaddr_un a;
    if (!FillAddr(a, path)) return false;
    return ::sendto(fd, msg, 2 * sizeof(uint32_t), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&a), sizeof a) ==
           static_cast<ssize_t>(2 * sizeof(uint32_t));
}

}  // namespace

std::string MessageNameFolder(const std::string& name) { return NameDir(name); }

bool RegisterMessageName(const std::string& name) {
    return IsFolderName(name) && EnsurePrivateDir(RootDir()) && EnsurePrivateDir(NameDir(name));
}

bool PostEndpointMessage(const std::string& name, uint32_t id, uint32_t wParam, uint32_t lParam) {
    if (!RegisterMessageName(name)) return false;
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
    if (id == kBroadcastId || !RegisterMessageName(name)) return nullptr;
    const std::string path = NameDir(name) + "/" + IdFile(id);
    sockaddr_un a;
    if (!FillAddr(a, path)) return nullptr;
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return nullptr;
    ::unlink(path.c_str());  // a stale socket of an endpoint that ended without closing
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<MessageEndpoint>(new MessageEndpoint(name, id, fd, path));
}

MessageEndpoint::MessageEndpoint(std::string name, uint32_t id, int fd, std::string path)
    : name_(std::move(name)), id_(id), fd_(fd), path_(std::move(path)) {}

MessageEndpoint::~MessageEndpoint() {
    ::close(fd_);
    ::unlink(path_.c_str());
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
