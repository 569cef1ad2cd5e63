#pragma once
// The runtime folder of the message endpoints and named mutexes in tests: a
// private temporary folder as $XDG_RUNTIME_DIR for the object's life (the
// programs a test starts inherit it), a listing of what is left in it, and
// the helper program (tests/platform/runtime_folder_helper.cpp) started as a
// process of its own, to be killed or waited for.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/WaitUntil.h"

extern char** environ;

namespace test_support {

class ScopedRuntimeFolder {
public:
    ScopedRuntimeFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "runtime-folder-XXXXXX").string();
        if (::mkdtemp(tmpl.data())) path_ = tmpl;
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) old_ = old;
        ::setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
    }
    ~ScopedRuntimeFolder() {
        if (old_) ::setenv("XDG_RUNTIME_DIR", old_->c_str(), 1);
        else ::unsetenv("XDG_RUNTIME_DIR");
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    ScopedRuntimeFolder(const ScopedRuntimeFolder&) = delete;
    ScopedRuntimeFolder& operator=(const ScopedRuntimeFolder&) = delete;

    bool Valid() const { return !path_.empty(); }
    const std::string& Path() const { return path_; }
    // The folder of the message names.
    std::string Messages() const { return path_ + "/dpsuite-messages"; }
    // Every path left under the message names' folder, relative and sorted
    // ("NAME", "NAME/00000001", ...).
    std::vector<std::string> Left() const {
        std::vector<std::string> left;
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(Messages(), ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            left.push_back(it->path().lexically_relative(Messages()).string());
        std::sort(left.begin(), left.end());
        return left;
    }

private:
    std::string path_;
    std::optional<std::string> old_;
};

// The helper program, started with `args`; -1 when it cannot be started.
inline pid_t StartRuntimeFolderHelper(const std::vector<std::string>& args) {
    std::vector<std::string> store = {RUNTIME_FOLDER_HELPER};
    store.insert(store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : store) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    return ::posix_spawn(&pid, RUNTIME_FOLDER_HELPER, nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

// Waits for the process to end; its exit status, or -1 when it did not end
// in time (it is killed then) or ended by a signal.
inline int WaitForExit(pid_t pid, int timeoutMs) {
    int status = 0;
    if (!WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, timeoutMs)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Sends sig and reaps the process once it has ended; true with its wait
// status in *status. The signal goes again while the process lives on: under
// ThreadSanitizer a signal sent to the process is at times taken by the
// sanitizer's runtime and never handed to the program's handler, and the same
// signal sent again is. A program that ends at the first signal sees only one.
inline bool EndBySignal(pid_t pid, int sig, int* status) {
    for (int sent = 0; sent < 10; ++sent) {
        if (::kill(pid, sig) != 0) return false;
        if (WaitUntil([&] { return ::waitpid(pid, status, WNOHANG) == pid; }, 3000)) return true;
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, status, 0);
    return false;
}

// Ends the process with SIGKILL (nothing of its own runs) and reaps it.
inline void KillOutright(pid_t pid) {
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

}  // namespace test_support
