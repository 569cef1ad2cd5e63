#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/PortList.h"
#include "platform/PseudoTerminal.h"
#include "platform/SerialPort.h"
#include "platform/StopSignal.h"

using platform::SerialPort;

TEST(SerialPort, BytesCrossAPseudoTerminalRawInBothDirections) {
    platform::PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    SerialPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath()));
    // Bytes that a cooked line would translate or swallow.
    const std::vector<uint8_t> out = {0x04, 0x0D, 0x0A, 0x03, 0x11, 0x13, 0x7F, 0x00, 0xFF};
    EXPECT_EQ(port.Write(out.data(), out.size()), out.size());
    std::vector<uint8_t> got;
    for (int i = 0; i < 100 && got.size() < out.size(); ++i) {
        pty.WaitReadable(50);
        uint8_t b[64];
        long n = pty.ReadNow(b, sizeof b);
        if (n > 0) got.insert(got.end(), b, b + n);
    }
    EXPECT_EQ(got, out);
    EXPECT_EQ(pty.Write(out.data(), out.size()), out.size());
    got.clear();
    for (int i = 0; i < 100 && got.size() < out.size(); ++i) {
        port.WaitReadable(50);
        uint8_t b[64];
        long n = port.ReadNow(b, sizeof b);
        if (n > 0) got.insert(got.end(), b, b + n);
    }
    EXPECT_EQ(got, out);
}

// A read that waited for a byte would wait here until the watchdog sends
// one, long after the bound, which only such a wait can miss. How long
// ReadNow takes is a figure of the link_latency benchmark.
TEST(SerialPort, ReadNowNeverWaitsAndReportsNothingAsZero) {
    constexpr uint32_t kWaitedMs = 10000;
    platform::PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    SerialPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath()));
    platform::StopSignal returned;
    std::thread watchdog([&] {
        const uint8_t byte = 0x55;
        if (!returned.Wait(static_cast<int>(kWaitedMs) * 2)) pty.Write(&byte, 1);
    });
    uint8_t b[4];
    const uint32_t t0 = platform::TickCountMs();
    const long got = port.ReadNow(b, sizeof b);
    const uint32_t elapsed = platform::TickCountMs() - t0;
    returned.Set();
    watchdog.join();
    EXPECT_EQ(got, 0);
    EXPECT_LT(elapsed, kWaitedMs);
}

TEST(SerialPort, HangUpIsAnErrorNotEmptiness) {
    platform::PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    SerialPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath()));
    pty.Close();
    EXPECT_EQ(port.WaitReadable(500), SerialPort::Wait::Error);
    uint8_t b[4];
    EXPECT_EQ(port.ReadNow(b, sizeof b), -1);
}

TEST(SerialPort, MissingDeviceFailsAndStaysClosed) {
    SerialPort port;
    int err = 0;
    EXPECT_FALSE(port.Open("/dev/does-not-exist-42", &err));
    EXPECT_NE(err, 0);
    EXPECT_FALSE(port.IsOpen());
    const uint8_t b = 1;
    EXPECT_EQ(port.Write(&b, 1), 0u);
}

TEST(SerialPort, StopSignalEndsAWait) {
    platform::PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    SerialPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath()));
    platform::StopSignal stop;
    EXPECT_EQ(port.WaitReadable(10, &stop), SerialPort::Wait::Timeout);
    stop.Set();
    EXPECT_EQ(port.WaitReadable(-1, &stop), SerialPort::Wait::Stopped);
    stop.Reset();
    EXPECT_FALSE(stop.IsSet());
}

TEST(PortList, ExtraPortsFromTheEnvironmentAreListedWhenTheyExist) {
    platform::PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    const std::string env = pty.SlavePath() + ":/dev/not-there-7:";
    setenv("EXTRA_SERIAL_PORTS", env.c_str(), 1);
    auto ports = platform::ListSerialPorts();
    unsetenv("EXTRA_SERIAL_PORTS");
    int found = 0;
    for (const auto& p : ports) {
        EXPECT_NE(p.devicePath, "/dev/not-there-7");
        if (p.devicePath == pty.SlavePath()) ++found;
    }
    EXPECT_EQ(found, 1);
}
