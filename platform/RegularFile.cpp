#include "platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace platform {
namespace {

// The error kept for a FIFO, device or socket (no errno is negative).
constexpr int kNotRegular = -1;

// 0 for a regular file, EISDIR for a folder, kNotRegular for every other type.
int TypeError(const struct stat& st) {
    if (S_ISREG(st.st_mode)) return 0;
    return S_ISDIR(st.st_mode) ? EISDIR : kNotRegular;
}

std::string ErrorText(int error) {
    if (error == 0) return {};
    return error == kNotRegular ? std::string(kNotARegularFile) : std::generic_category().message(error);
}

}  // namespace

RegularFile::RegularFile(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error_ = errno;
        return;
    }
    if ((error_ = TypeError(st)) != 0) return;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error_ = errno;
        return;
    }
    if (::fstat(fd, &st) != 0) {
        error_ = errno;
    } else {
        error_ = TypeError(st);
    }
    if (error_ != 0) {
        ::close(fd);
        return;
    }
    // Reads of a regular file never wait; without the flag the descriptor is
    // an ordinary one for whoever takes it over.
    if (const int flags = ::fcntl(fd, F_GETFL); flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    fd_ = fd;
    size_ = static_cast<uint64_t>(st.st_size);
}

RegularFile::~RegularFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool RegularFile::Missing() const { return error_ == ENOENT; }

std::string RegularFile::Error() const { return ErrorText(error_); }

bool RegularFile::ReadAll(std::string& text, size_t limit) {
    text.clear();
    if (fd_ < 0) return false;
    // One byte more than the size: the end shows without growing the buffer;
    // a file that grew after its size was taken is read on up to the limit.
    const size_t most = limit + 1;
    text.resize(static_cast<size_t>(std::min<uint64_t>(size_, limit)) + 1);
    size_t got = 0;
    for (;;) {
        if (got == text.size()) {
            if (got >= most) break;
            const size_t grown = got > most / 2 ? most : std::max<size_t>(2 * got, 4096);
            text.resize(std::min(grown, most));
        }
        const ssize_t n = ::read(fd_, text.data() + got, text.size() - got);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            text.clear();
            return false;
        }
        got += static_cast<size_t>(n);
    }
    text.resize(got);
    return true;
}

int RegularFile::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

std::string RegularFile::WhyNotRegular(const std::filesystem::path& path) {
    struct stat st {};
    // Nothing there (or nothing that can be looked at): the write itself tells.
    if (::stat(path.c_str(), &st) != 0) return {};
    return ErrorText(TypeError(st));
}

}  // namespace platform
