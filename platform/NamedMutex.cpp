#include "platform/NamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/EndingCleanUp.h"
#include "platform/MessageEndpoint.h"

namespace platform {
namespace {

// True while `path` names the file open as `fd`.
bool PathNames(const std::string& path, int fd) {
    struct stat open {
    }, named{};
    return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

}  // namespace

std::unique_ptr<NamedMutex> NamedMutex::TryAcquire(const std::string& name, Outcome& outcome) {
    outcome = Outcome::Failed;
    // Each further try follows another holder's end, or another program's
    // removal of the emptied folder, while this one looked; once the tries
    // are used up the name counts as held elsewhere.
    for (FolderTries tries; tries.Next();) {
        if (!RegisterMessageName(name)) {
            // Other holders ending kept removing the empty folder as it was made.
            if (errno == ENOENT) continue;
            return nullptr;
        }
        const std::string path = MessageNameFolder(name) + "/" + name;
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == ENOENT) continue;  // the folder was removed, empty, after the registration
            return nullptr;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // A holder that ended after this open removed the file: the lock
            // is then on a file nobody else will find, and the name is free.
            if (PathNames(path, fd)) {
                outcome = Outcome::Held;
                const int ticket = RemoveAtEndingSignal(path, MessageNameFolder(name), MessageFolder());
                return std::unique_ptr<NamedMutex>(new NamedMutex(name, path, fd, ticket));
            }
            ::close(fd);
            continue;
        }
        const int lockError = errno;
        // A holder that has removed its file is ending: the name is about to be free.
        const bool holderStays = PathNames(path, fd);
        ::close(fd);
        if (lockError == EWOULDBLOCK && holderStays) {
            outcome = Outcome::HeldElsewhere;
            return nullptr;
        }
        if (lockError != EWOULDBLOCK && lockError != EINTR) return nullptr;
    }
    // Every try met another process taking or ending its hold on the name:
    // the name is in use elsewhere, not broken.
    outcome = Outcome::HeldElsewhere;
    return nullptr;
}

NamedMutex::NamedMutex(std::string name, std::string path, int fd, int ticket)
    : name_(std::move(name)), path_(std::move(path)), fd_(fd), ticket_(ticket) {}

NamedMutex::~NamedMutex() {
    // Out of the signal clean-up first: once the file is gone its path may
    // name the lock file of the next holder.
    ForgetAtEndingSignal(ticket_);
    // Removed while still held: a process that opened it meanwhile finds, once
    // it has the lock, that the path names no file or another one, and tries again.
    if (PathNames(path_, fd_)) ::unlink(path_.c_str());
    ::close(fd_);
    ReleaseMessageName(name_);
}

}  // namespace platform
