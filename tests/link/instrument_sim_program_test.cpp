// The standalone simulated instrument: it prints the device path it serves,
// answers there, and ends cleanly on SIGTERM and SIGINT.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <string>

#include "link/USerIO.h"
#include "support/WaitUntil.h"

namespace {

struct Program {
    pid_t pid = -1;
    FILE* out = nullptr;
    ~Program() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (out) std::fclose(out);
    }
};

bool StartSim(Program& p) {
    int fds[2];
    if (::pipe(fds) != 0) return false;
    p.pid = ::fork();
    if (p.pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        ::execl(INSTRUMENT_SIM_PROGRAM, INSTRUMENT_SIM_PROGRAM, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    p.out = ::fdopen(fds[0], "r");
    return p.pid > 0 && p.out;
}

// Waits up to 10 s for the program to end; its exit status, or -1.
int WaitForEnd(Program& p) {
    int status = 0;
    if (!WaitUntil([&] { return ::waitpid(p.pid, &status, WNOHANG) == p.pid; }, 10000)) return -1;
    p.pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InstrumentSimProgram, ServesThePathItPrintsAndEndsCleanlyOnEachSignal) {
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        Program p;
        ASSERT_TRUE(StartSim(p));
        char line[256] = {};
        ASSERT_NE(std::fgets(line, sizeof line, p.out), nullptr);
        std::string path(line);
        while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
        ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;

        USerIO io(path);
        ASSERT_TRUE(io.IsOpen());
        const uint8_t request[] = {0x04, 0x71, 0x1C, 0x6F};
        ASSERT_EQ(io.Write(request, sizeof request), sizeof request);
        WaitUntil([&] { return io.Available() >= 7; }, 5000);
        uint8_t reply[7] = {};
        ASSERT_EQ(io.Read(reply, 7), 7u);
        EXPECT_EQ(reply[0], 0x07);
        EXPECT_EQ(reply[1], 0x71);
        EXPECT_EQ(reply[2], 0x1C);

        ASSERT_EQ(::kill(p.pid, sig), 0);
        EXPECT_EQ(WaitForEnd(p), 0);
    }
}

}  // namespace
