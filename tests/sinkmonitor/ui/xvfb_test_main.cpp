// main() of the window tests that run on the X11 platform: starts an Xvfb
// server of its own on a display number it picks itself (-displayfd), runs
// the tests inside a QApplication on the xcb platform against it, and ends
// the server. Listing the tests (test discovery) needs no display.
#include <gtest/gtest.h>
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
