#pragma once
// A folder nobody may write into while the object lives: its mode becomes
// r-x, and a test running as root also gives up, on the calling thread
// only, the capability that lets root write into any folder. Both come back
// when it ends. Writes() tells whether the calling thread can still create
// a file there; tests assert that it cannot before they rely on it.
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>

namespace test_support {

class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(std::filesystem::path folder) : folder_(std::move(folder)) {
        ::chmod(folder_.c_str(), 0555);
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        header_.pid = 0;  // this thread
        if (::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[CAP_TO_INDEX(CAP_DAC_OVERRIDE)].effective &= ~CAP_TO_MASK(CAP_DAC_OVERRIDE);
        restore_ = ::syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~ReadOnlyFolder() {
        if (restore_) ::syscall(SYS_capset, &header_, saved_);
        ::chmod(folder_.c_str(), 0755);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool Writes() const {
        const std::filesystem::path probe = folder_ / ".write-probe";
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        ::close(fd);
        ::unlink(probe.c_str());
        return true;
    }

private:
    std::filesystem::path folder_;
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool restore_ = false;
};

}  // namespace test_support
