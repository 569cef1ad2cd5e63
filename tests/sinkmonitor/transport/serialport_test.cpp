// The serial transport on a pseudo-terminal: error codes, the reader thread,
// the ring limit, hang-up, and the port list.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/PseudoTerminal.h"
#include "sinkmonitor/transport/serialport.h"
#include "sinkmonitor/transport/serialportenum.h"
#include "support/WaitUntil.h"

namespace {

constexpr int kWaitMs = 5000;  // a condition that does not come fails, never hangs
using ms = std::chrono::milliseconds;
using steady = std::chrono::steady_clock;

class SinkSerialPort : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.Open()); }
    // Reads from the master until n bytes came or 5 s passed.
    std::vector<uint8_t> ReadMaster(size_t n) {
        std::vector<uint8_t> got;
        const auto end = steady::now() + ms(5000);
        uint8_t buf[256];
        while (got.size() < n && steady::now() < end) {
            if (pty.WaitReadable(50) != platform::SerialPort::Wait::Readable) continue;
            long r = pty.ReadNow(buf, sizeof buf);
            if (r > 0) got.insert(got.end(), buf, buf + r);
        }
        return got;
    }
    platform::PseudoTerminal pty;
};

TEST_F(SinkSerialPort, BytesFlowBothWays) {
    serialport_t port("Sim", pty.SlavePath());
    ASSERT_TRUE(port.open());
    EXPECT_EQ(port.get_state(), serialport_t::kRunning);
    const uint8_t out[] = {0x04, 0x71, 0x1C, 0x6F};
    ASSERT_TRUE(port.write(out, sizeof out));
    EXPECT_EQ(ReadMaster(4), std::vector<uint8_t>(out, out + 4));
    const uint8_t in[] = {1, 2, 3, 4, 5};
    pty.Write(in, sizeof in);
    uint8_t got[5] = {};
    size_t taken = 0;
    ASSERT_TRUE(port.read(got, 5, 2000, &taken));
    EXPECT_EQ(taken, 5u);
    EXPECT_EQ(got[4], 5);
    EXPECT_TRUE(port.close());
    EXPECT_EQ(port.get_state(), serialport_t::kClosed);
    EXPECT_EQ(port.get_error(), 0);
}

TEST_F(SinkSerialPort, OpeningAnOpenPortLatchesThreeOnceAndKeepsItWorking) {
    serialport_t port("Sim", pty.SlavePath());
    ASSERT_TRUE(port.open());
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.get_error(), serialport_t::kErrNotClosed);
    EXPECT_EQ(port.get_error(), 0);  // transient: cleared by reading
    const uint8_t b = 0x55;
    EXPECT_TRUE(port.write(&b, 1));
    EXPECT_EQ(ReadMaster(1), std::vector<uint8_t>{0x55});
}

TEST_F(SinkSerialPort, AMissingDeviceLatchesFiveForGood) {
    serialport_t port("Nothing", "/dev/no-such-serial-device");
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.get_error(), serialport_t::kErrOpenFailed);
    EXPECT_EQ(port.get_error(), serialport_t::kErrOpenFailed);  // not transient
    EXPECT_TRUE(port.is_broken());
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.get_state(), serialport_t::kClosed);
}

TEST_F(SinkSerialPort, ClosingAClosedPortAndWritingOnItAreTransientErrors) {
    serialport_t port("Sim", pty.SlavePath());
    EXPECT_FALSE(port.close());
    EXPECT_EQ(port.get_error(), serialport_t::kErrAlreadyClosed);
    const uint8_t b = 1;
    EXPECT_FALSE(port.write(&b, 1));
    EXPECT_EQ(port.get_error(), serialport_t::kErrNotRunning);
    EXPECT_TRUE(port.open());  // nothing lasting was latched
    EXPECT_TRUE(port.close());
    // No buffer given is a lasting error: the object refuses further use.
    EXPECT_FALSE(port.write(nullptr, 1));
    EXPECT_EQ(port.get_error(), serialport_t::kErrNoBuffer);
    EXPECT_EQ(port.get_error(), serialport_t::kErrNoBuffer);
    EXPECT_FALSE(port.open());
}

TEST_F(SinkSerialPort, AShortReadLatchesFourteenAndBlocksReadsUntilCleared) {
    serialport_t port("Sim", pty.SlavePath());
    ASSERT_TRUE(port.open());
    uint8_t got[3];
    size_t taken = 99;
    const auto t0 = steady::now();
    EXPECT_FALSE(port.read(got, 3, 100, &taken));
    EXPECT_GE(steady::now() - t0, ms(90));
    EXPECT_EQ(taken, 0u);
    const uint8_t in = 7;
    pty.Write(&in, 1);
    ASSERT_TRUE(WaitUntil([&] { return port.ring().held() == 1; }, kWaitMs));
    EXPECT_FALSE(port.read(got, 1, 100, &taken));  // the byte is there, but latched: fails at once
    // The receiving side's short read never makes a command's write fail.
    const uint8_t cmd = 0x42;
    EXPECT_TRUE(port.write(&cmd, 1));
    EXPECT_EQ(ReadMaster(1), std::vector<uint8_t>{0x42});
    EXPECT_EQ(port.get_error(), serialport_t::kErrShortRead);
    EXPECT_TRUE(port.read(got, 1, 2000, &taken));
    EXPECT_EQ(got[0], 7);
}

// The frame layer's receiver keeps reading while the port is closed for a
// firmware update, latching the short read and clearing it about every
// 100 ms; a transient code left by a failed call says nothing about the port.
TEST_F(SinkSerialPort, ATransientErrorNeverRefusesTheReopen) {
    struct Case {
        const char* name;
        std::function<void(serialport_t&)> latch;
        int32_t code;
    };
    const std::vector<Case> cases = {
        {"the receiver's short read",
         [](serialport_t& p) {
             uint8_t b;
             p.read(&b, 1, 0);
         },
         serialport_t::kErrShortRead},
        {"a write while closed",
         [](serialport_t& p) {
             const uint8_t b = 1;
             p.write(&b, 1);
         },
         serialport_t::kErrNotRunning},
        {"a second close", [](serialport_t& p) { p.close(); }, serialport_t::kErrAlreadyClosed},
    };
    serialport_t port("Sim", pty.SlavePath());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(port.open());
        ASSERT_TRUE(port.close());
        c.latch(port);
        ASSERT_FALSE(port.is_broken());
        ASSERT_TRUE(port.open());
        EXPECT_EQ(port.get_state(), serialport_t::kRunning);
        EXPECT_EQ(port.get_error(), c.code);  // left for its reader
        const uint8_t b = 0x42;
        EXPECT_TRUE(port.write(&b, 1));
        EXPECT_EQ(ReadMaster(1), std::vector<uint8_t>{0x42});
        ASSERT_TRUE(port.close());
    }
    // A lasting error still refuses it.
    EXPECT_FALSE(port.write(nullptr, 1));
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.get_state(), serialport_t::kClosed);
}

TEST_F(SinkSerialPort, AWriteThatCannotDrainGivesUpWithTwelveAndThePortRecovers) {
    serialport_t port("Sim", pty.SlavePath());
    ASSERT_TRUE(port.open());
    // Nobody reads the other side, so the line's buffers fill up and one
    // write finds no room for the rest of its bytes.
    const std::vector<uint8_t> block(1000, 0x5A);
    bool failed = false;
    steady::duration failedAfter{};
    const auto end = steady::now() + ms(60000);
    while (!failed && steady::now() < end) {
        const auto t0 = steady::now();
        if (!port.write(block.data(), block.size())) {
            failed = true;
            failedAfter = steady::now() - t0;
        }
    }
    ASSERT_TRUE(failed);
    // It waited for room (1 ms per byte plus 150 ms) and then gave up.
    EXPECT_GE(failedAfter, ms(1000));
    EXPECT_LT(failedAfter, ms(30000));
    EXPECT_EQ(port.get_error(), serialport_t::kErrWriteFailed);
    EXPECT_EQ(port.get_error(), 0);  // transient
    EXPECT_FALSE(port.is_broken());
    // Once the other side reads again, writing works again.
    uint8_t buf[4096];
    while (pty.WaitReadable(200) == platform::SerialPort::Wait::Readable && pty.ReadNow(buf, sizeof buf) > 0) {}
    const uint8_t b = 0x42;
    EXPECT_TRUE(port.write(&b, 1));
    EXPECT_TRUE(port.close());
}

TEST_F(SinkSerialPort, BytesNobodyReadsFillTheRingTo2047) {
    serialport_t port("Sim", pty.SlavePath());
    ASSERT_TRUE(port.open());
    std::vector<uint8_t> first(2047);
    for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<uint8_t>(i * 7);
    ASSERT_EQ(pty.Write(first.data(), first.size()), first.size());
    ASSERT_TRUE(WaitUntil([&] { return port.ring().held() == 2047; }, kWaitMs));
    // The ring is full and nobody reads it. A line holds a few KiB that its
    // reader has not taken, so every one of these writes completes only
    // because the reader goes on taking bytes off the line (and dropping
    // them); one that waited for room in the ring stalls them here.
    const std::vector<uint8_t> surplus(4096, 0xEE);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(pty.Write(surplus.data(), surplus.size()), surplus.size()) << i;
    // Nothing is read yet, so the ring still holds exactly the first bytes;
    // what is still on its way is dropped or lands behind them.
    EXPECT_EQ(port.ring().held(), 2047u);
    std::vector<uint8_t> got(2047);
    size_t taken = 0;
    EXPECT_TRUE(port.read(got.data(), got.size(), 50, &taken));
    EXPECT_EQ(taken, 2047u);
    EXPECT_EQ(got, first);
}

TEST_F(SinkSerialPort, HangUpEndsTheReaderWithSixteenReportedAsZero) {
    serialport_t port("Sim", pty.SlavePath());
    ASSERT_TRUE(port.open());
    pty.Close();  // the cable is pulled
    ASSERT_TRUE(WaitUntil([&] { return port.is_broken(); }, kWaitMs));
    EXPECT_EQ(port.get_error(), 0);
    EXPECT_TRUE(port.is_broken());  // still latched after the read
    EXPECT_EQ(port.get_state(), serialport_t::kStopping);
    uint8_t b = 0;
    size_t taken = 9;
    EXPECT_FALSE(port.read(&b, 1, 1000, &taken));
    EXPECT_EQ(taken, 0u);
    EXPECT_FALSE(port.write(&b, 1));
    EXPECT_TRUE(port.close());
    EXPECT_FALSE(port.open());  // unusable: the owner makes a new one
}

TEST_F(SinkSerialPort, CanBeClosedAndOpenedAgain) {
    serialport_t port("Sim", pty.SlavePath());
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(port.open()) << round;
        const uint8_t b = static_cast<uint8_t>(round);
        pty.Write(&b, 1);
        uint8_t got = 0xFF;
        ASSERT_TRUE(port.read(&got, 1, 2000));
        EXPECT_EQ(got, round);
        ASSERT_TRUE(port.close());
    }
}

TEST_F(SinkSerialPort, CloseEndsAReaderWaitingOnASilentLine) {
    // Many rounds: the stop request reaches the reader in every state.
    for (int round = 0; round < 20; ++round) {
        serialport_t port("Sim", pty.SlavePath());
        ASSERT_TRUE(port.open());
        if (round % 2) {
            const uint8_t b[64] = {};
            pty.Write(b, sizeof b);
        }
        EXPECT_TRUE(port.close());
    }
}

TEST_F(SinkSerialPort, NamesAreCutTo259Characters) {
    const std::string longName(400, 'n');
    serialport_t port(longName, pty.SlavePath());
    EXPECT_EQ(port.get_name().size(), 259u);
    serialport_t unnamed("", pty.SlavePath());
    EXPECT_EQ(unnamed.get_name(), "");
}

TEST_F(SinkSerialPort, PortListIncludesExtraPortsAndGivesNoneBeyondTheEnd) {
    ::setenv("EXTRA_SERIAL_PORTS", pty.SlavePath().c_str(), 1);
    serialportenum_t ports;
    ::unsetenv("EXTRA_SERIAL_PORTS");
    bool found = false;
    for (size_t i = 0; i < ports.count(); ++i) {
        ASSERT_NE(ports.at(i), nullptr);
        EXPECT_NE(ports.at(i)->friendly_name[0], '\0');  // every port has a name to show
        if (pty.SlavePath() == ports.at(i)->device_path) found = true;
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(ports.at(ports.count()), nullptr);
}

}  // namespace
