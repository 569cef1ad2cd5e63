#include "platform/MessageEndpoint.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/EndingCleanUp.h"

namespace platform {
namespace {

// Creates dir with mode 0700 when missing; true when it is a folder of this
// user that nobody else can enter. A folder that was already there is taken
// only as it is: its mode is never changed, so one that others may enter is
// refused. A name's folder that another program removes, left empty, while
// it is being looked at is made again.
bool EnsurePrivateDir(const std::string& dir) {
    for (FolderTries tries; tries.Next();) {
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
        struct stat st {};
        if (::lstat(dir.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
                errno = EACCES;
                return false;
            }
            if (::access(dir.c_str(), R_OK | W_OK | X_OK) == 0) return true;
        }
        if (errno != ENOENT) return false;
    }
    return false;
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

// An endpoint's file name: its id in 8 upper-case hexadecimal digits.
bool IsEndpointFile(const std::string& entry) {
    return entry.size() == 8 && entry.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

// Opens a folder without following a symbolic link; -1 unless it is a
// folder of this user that nobody else can enter (errno ENOENT when it is
// not there).
int OpenPrivateFolder(int atFd, const std::string& path) {
    const int fd = ::openat(atFd, path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
        ::close(fd);
        errno = EACCES;
        return -1;
    }
    return fd;
}

// The names in the folder `fd`, "." and ".." left out.
std::vector<std::string> FolderEntries(int fd) {
    std::vector<std::string> entries;
    const int listFd = ::dup(fd);
    if (listFd < 0) return entries;
    DIR* d = ::fdopendir(listFd);
    if (!d) {
        ::close(listFd);
        return entries;
    }
    while (const dirent* e = ::readdir(d)) {
        const std::string entry = e->d_name;
        if (entry != "." && entry != "..") entries.push_back(entry);
    }
    ::closedir(d);
    return entries;
}

// A name folder's lock: shared while an endpoint is being bound in it,
// exclusive while stale endpoints are looked for. A socket file appears
// slightly before its socket takes connections, so a look without the lock
// could take a socket being bound for a stale one.
void LockFolder(int fd, int how) {
    while (::flock(fd, how) != 0 && errno == EINTR) {}
}

bool RefusesConnection(const std::string& path) {
    sockaddr_un a;
    if (!FillAddr(a, path)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool refused = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 && errno == ECONNREFUSED;
    ::close(fd);
    return refused;
}

// Removes `entry` of the name folder `dirFd` (at `dir`) when it is a socket
// of this user that nobody serves. The caller holds the folder's lock.
void RemoveIfStale(int dirFd, const std::string& dir, const std::string& entry) {
    struct stat before {};
    if (::fstatat(dirFd, entry.c_str(), &before, AT_SYMLINK_NOFOLLOW) != 0) return;
    if (!S_ISSOCK(before.st_mode) || before.st_uid != ::geteuid()) return;
    if (!RefusesConnection(dir + "/" + entry)) return;
    struct stat after {};
    if (::fstatat(dirFd, entry.c_str(), &after, AT_SYMLINK_NOFOLLOW) != 0 || after.st_ino != before.st_ino ||
        after.st_dev != before.st_dev)
        return;  // not the socket that refused
    ::unlinkat(dirFd, entry.c_str(), 0);
}

// Removes the stale endpoints of the name folder `name` of the root `rootFd`,
// then the folder itself when that left it empty.
void CleanNameFolder(int rootFd, const std::string& name) {
    const int dirFd = OpenPrivateFolder(rootFd, name);
    if (dirFd < 0) return;
    LockFolder(dirFd, LOCK_EX);
    for (const std::string& entry : FolderEntries(dirFd))
        if (IsEndpointFile(entry)) RemoveIfStale(dirFd, NameDir(name), entry);
    ::unlinkat(rootFd, name.c_str(), AT_REMOVEDIR);  // fails, and keeps the folder, while it holds anything
    ::close(dirFd);
}

bool SendTo(int fd, const std::string& path, const uint32_t msg[2]) {
    sockaddr_un a;
    if (!FillAddr(a, path)) return false;
    return ::sendto(fd, msg, 2 * sizeof(uint32_t), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&a), sizeof a) ==
           static_cast<ssize_t>(2 * sizeof(uint32_t));
}

}  // namespace

bool FolderTries::Next() {
    constexpr int kAtOnce = 4;
    constexpr int kTries = 24;
    if (done_ >= kTries) return false;
    if (done_ >= kAtOnce) {
        const int shift = done_ - kAtOnce < 4 ? done_ - kAtOnce : 4;
        timespec wait{0, (1L << shift) * 1000000L};
        while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {}
    }
    ++done_;
    return true;
}

std::string MessageNameFolder(const std::string& name) { return NameDir(name); }

std::string MessageFolder() { return RootDir(); }

bool RegisterMessageName(const std::string& name) {
    if (!IsFolderName(name)) return false;
    for (FolderTries tries; tries.Next();) {
        if (!EnsurePrivateDir(RootDir())) return false;
        if (EnsurePrivateDir(NameDir(name))) return true;
        // ENOENT: the message folder was removed, left empty, after it was looked at.
        if (errno != ENOENT) return false;
    }
    return false;
}

void ReleaseMessageName(const std::string& name) {
    if (!IsFolderName(name)) return;
    // Each fails, and keeps its folder, while it holds anything: another
    // endpoint or lock file of the name, another name's folder.
    ::rmdir(NameDir(name).c_str());
    ::rmdir(RootDir().c_str());
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

void RemoveStaleEndpoints(const std::string& name) {
    if (!IsFolderName(name)) return;
    const int rootFd = OpenPrivateFolder(AT_FDCWD, RootDir());
    if (rootFd < 0) return;
    CleanNameFolder(rootFd, name);
    ::close(rootFd);
}

void RemoveStaleEndpointsOfNames(const std::function<bool(const std::string&)>& isOwnName) {
    const int rootFd = OpenPrivateFolder(AT_FDCWD, RootDir());
    if (rootFd < 0) return;
    for (const std::string& name : FolderEntries(rootFd))
        if (IsFolderName(name) && isOwnName(name)) CleanNameFolder(rootFd, name);
    ::close(rootFd);
}

std::unique_ptr<MessageEndpoint> MessageEndpoint::Create(const std::string& name, uint32_t id) {
    if (id == kBroadcastId || !IsFolderName(name)) return nullptr;
    const std::string dir = NameDir(name);
    const std::string file = IdFile(id);
    const std::string path = dir + "/" + file;
    sockaddr_un a;
    if (!FillAddr(a, path)) return nullptr;
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return nullptr;
    // Another program may remove the name's folder, left empty, between the
    // registration and the bind: register again then.
    bool bound = false;
    for (FolderTries tries; !bound && tries.Next();) {
        if (!RegisterMessageName(name)) break;
        const int dirFd = OpenPrivateFolder(AT_FDCWD, dir);
        if (dirFd < 0) {
            if (errno == ENOENT) continue;
            break;
        }
        LockFolder(dirFd, LOCK_SH);
        RemoveIfStale(dirFd, dir, file);  // of an endpoint of this id whose program was killed outright
        bound = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        const int bindError = errno;
        ::close(dirFd);
        if (!bound && bindError != ENOENT) break;
    }
    if (!bound) {
        ::close(fd);
        return nullptr;
    }
    const int ticket = RemoveAtEndingSignal(path, dir, RootDir());
    return std::unique_ptr<MessageEndpoint>(new MessageEndpoint(name, id, fd, path, ticket));
}

MessageEndpoint::MessageEndpoint(std::string name, uint32_t id, int fd, std::string path, int ticket)
    : name_(std::move(name)), id_(id), fd_(fd), path_(std::move(path)), ticket_(ticket) {}

MessageEndpoint::~MessageEndpoint() {
    ForgetAtEndingSignal(ticket_);
    ::unlink(path_.c_str());
    ::close(fd_);
    ReleaseMessageName(name_);
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
