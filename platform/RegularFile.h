#pragma once
// Reading and replacing only regular files. A FIFO blocks an open for reading
// until a writer comes and a read until it writes, a device can block or
// deliver bytes without end, and opening a device can act on it (a serial
// line's modem signals, a tape's rewind). So the type is looked at before the
// open, and a FIFO, device, socket or folder is refused without being opened;
// the open itself does not block (O_NONBLOCK) and the type is looked at again
// on the descriptor, so that a file swapped in between is refused as well.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

namespace platform {

// The reason given for a FIFO, a device or a socket.
inline constexpr const char kNotARegularFile[] = "Not a regular file";

class RegularFile {
public:
    // Opens `path` for reading when it is a regular file (IsOpen), else
    // keeps why not (Error).
    explicit RegularFile(const std::filesystem::path& path);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // Whether nothing of that name is there (the open failed with ENOENT).
    bool Missing() const;
    // Why the open or the last read failed: kNotARegularFile for a FIFO,
    // device or socket, else the system's text of the error ("Is a
    // directory", "Permission denied"). Empty while nothing failed.
    std::string Error() const;
    // The file's size when it was opened.
    uint64_t Size() const { return size_; }
    // Reads from the current position to the end of the file, but no more
    // than `limit` + 1 bytes, so that the caller sees a file that holds more
    // than `limit`; false on a read error (Error says which).
    bool ReadAll(std::string& text, size_t limit = std::numeric_limits<size_t>::max() - 1);
    // Hands the descriptor to the caller, who closes it; the object is then
    // no longer open.
    int Release();

    // Why what is at `path` is no regular file to read or to replace: empty
    // when nothing or a regular file of that name is there (a link counts as
    // what it leads to), else the reason as Error gives it. Nothing is
    // opened.
    static std::string WhyNotRegular(const std::filesystem::path& path);

private:
    int fd_ = -1;
    int error_ = 0;  // errno of the failure, kNotRegular, or 0
    uint64_t size_ = 0;
};

}  // namespace platform
