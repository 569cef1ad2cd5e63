// main() of the window tests that run on the X11 platform: starts an Xvfb
// server of its own on a display number it picks itself (-displayfd), runs
// the tests inside a QApplication on the xcb platform against it, and ends
// the server. Listing the tests (test discovery) needs no display.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/gui/QtPlatform.h"

namespace {

// The server's process and display number; pid 0 when it did not start.
struct Xvfb {
    pid_t pid = 0;
    std::string display;
};

Xvfb StartXvfb() {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t pid = fork();
    if (pid < 0) return {};
    if (pid == 0) {
        close(fds[0]);
        // The server ends with this program, however it ends, and keeps
        // nothing of its output: a server left holding the test's output
        // would hold up whoever reads it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // The server writes its display number and a line feed once it accepts
    // connections; an end of file means it did not start.
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
        waitpid(pid, nullptr, 0);
        return {};
    }
    return {pid, ":" + number};
}

void StopXvfb(const Xvfb& server) {
    kill(server.pid, SIGTERM);
    waitpid(server.pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef __SANITIZE_ADDRESS__
    // libxkbcommon-x11 (keyboard set-up of the xcb platform) hands strndup()
    // a name that is not NUL-terminated within its length; AddressSanitizer's
    // strict string checks take that for an overflow. The options are read
    // when the program starts: start again without them.
    if (!std::getenv("SUITE_X11_ASAN_RESTARTED")) {
        const char* options = std::getenv("ASAN_OPTIONS");
        const std::string relaxed = std::string(options ? options : "") + ":strict_string_checks=0";
        setenv("ASAN_OPTIONS", relaxed.c_str(), 1);
        setenv("SUITE_X11_ASAN_RESTARTED", "1", 1);
        execv("/proc/self/exe", argv);
        return 1;
    }
#endif
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    const Xvfb server = StartXvfb();
    if (server.pid == 0) {
        std::fprintf(stderr, "Xvfb did not start (tools/setup installs it)\n");
        return 1;
    }
    setenv("DISPLAY", server.display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    int result;
    {
        QApplication app(argc, argv);
        platform::InstallQtPlatform();
        result = RUN_ALL_TESTS();
    }
    StopXvfb(server);
    return result;
}
