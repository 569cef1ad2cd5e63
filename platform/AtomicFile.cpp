#include "platform/AtomicFile.h"

#include "platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

namespace platform {
namespace {

// Writes all bytes; false on any failure (EINTR is retried).
bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A new, exclusive file beside `target`; -1 when none can be created.
int CreateTemporaryBeside(const std::filesystem::path& target, std::filesystem::path& tempPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target;
        tempPath.replace_filename("." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                                  std::to_string(counter.fetch_add(1)));
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

void SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // the rename is made; this only hastens it to disk
    ::close(fd);
}

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view text, std::string* error) {
    auto fail = [&](const char* what, const std::filesystem::path& file, int err) {
        if (error) *error = std::string(what) + ' ' + file.string() + ": " + std::generic_category().message(err);
        return false;
    };
    // Only a regular file is replaced: a FIFO or a device of the name is
    // refused (the rename would put a file in its place), and so is a folder.
    // The target is looked at, never opened.
    if (const std::string why = RegularFile::WhyNotRegular(path); !why.empty()) {
        if (error) *error = "Cannot replace " + path.string() + ": " + why;
        return false;
    }
    std::filesystem::path tempPath;
    const int fd = CreateTemporaryBeside(path, tempPath);
    if (fd < 0) return fail("Cannot create", tempPath, errno);
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);  // keep the file's permissions
    int err = 0;
    if (!WriteAll(fd, text.data(), text.size()) || ::fsync(fd) != 0) err = errno != 0 ? errno : EIO;
    if (::close(fd) != 0 && err == 0) err = errno != 0 ? errno : EIO;
    if (err != 0) {
        ::unlink(tempPath.c_str());
        return fail("Cannot write", path, err);
    }
    if (::rename(tempPath.c_str(), path.c_str()) != 0) {
        err = errno;
        ::unlink(tempPath.c_str());
        return fail("Cannot replace", path, err);
    }
    SyncFolder(path.parent_path());
    return true;
}

}  // namespace platform
