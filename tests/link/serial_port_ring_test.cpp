// USerIO's receive ring and all-or-nothing reads over a pseudo-terminal, and
// the port listing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <vector>

#include "link/SystemSerPorts.h"
#include "link/USerIO.h"
#include "platform/MessageBox.h"
#include "platform/MessageBoxInterceptor.h"
#include "platform/PseudoTerminal.h"
#include "support/LineProbe.h"
#include "support/WaitUntil.h"

namespace {

constexpr int kGenerousMs = 5000;  // the pty may be slow under load

// Sends bytes from the instrument's side and polls the port until the ring
// holds `expected` bytes.
bool FeedUntil(platform::PseudoTerminal& pty, USerIO& io, const std::vector<uint8_t>& bytes, size_t expected) {
    if (!bytes.empty() && pty.Write(bytes.data(), bytes.size()) != bytes.size()) return false;
    WaitUntil([&] { return io.Available() >= expected; }, kGenerousMs);
    return io.Available() == expected;
}

std::vector<uint8_t> Pattern(size_t n, uint8_t start) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(start + i);
    return v;
}

class SerialRing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Open());
        probe = std::make_unique<LineProbe>(pty.SlavePath());
        ASSERT_TRUE(probe->IsOpen());
        io = std::make_unique<USerIO>(pty.SlavePath());
        ASSERT_TRUE(io->IsOpen());
        ASSERT_TRUE(boxes.Texts().empty());
    }
    platform::MessageBoxInterceptor boxes;
    platform::PseudoTerminal pty;
    std::unique_ptr<LineProbe> probe;
    std::unique_ptr<USerIO> io;
};

TEST(SerialPortOpen, AMissingDeviceIsReportedOnceAndLeavesAClosedPort) {
    platform::MessageBoxInterceptor boxes;
    USerIO io("/dev/no-such-serial-device");
    ASSERT_EQ(boxes.Texts(), std::vector<std::string>{"Failed to open port"});
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Error);
    EXPECT_EQ(boxes.Boxes()[0].buttons, platform::MsgButtons::Ok);
    EXPECT_FALSE(io.IsOpen());
    const uint8_t b[3] = {1, 2, 3};
    EXPECT_EQ(io.Write(b, 3), 0u);
    EXPECT_EQ(io.Available(), 0u);
    uint8_t dst[2] = {9, 9};
    EXPECT_EQ(io.Read(dst, 2), 0u);
    EXPECT_EQ(dst[0], 0);
    EXPECT_EQ(io.BaudRate(), 115200u);
}

TEST_F(SerialRing, ReadIsAllOrNothing) {
    ASSERT_TRUE(FeedUntil(pty, *io, {1, 2, 3, 4}, 4));
    uint8_t dst[5] = {9, 9, 9, 9, 9};
    EXPECT_EQ(io->Read(dst, 5), 0u);
    EXPECT_EQ(std::vector<uint8_t>(dst, dst + 5), std::vector<uint8_t>(5, 0));
    EXPECT_EQ(io->Available(), 4u);  // nothing consumed
    ASSERT_TRUE(FeedUntil(pty, *io, {5}, 5));
    EXPECT_EQ(io->Read(dst, 5), 5u);
    EXPECT_EQ(std::vector<uint8_t>(dst, dst + 5), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(io->Available(), 0u);
}

TEST_F(SerialRing, WritesReachTheOtherSide) {
    const uint8_t frame[4] = {0x04, 0x71, 0x1C, 0x6F};
    EXPECT_EQ(io->Write(frame, 4), 4u);
    uint8_t got[8] = {};
    long n = 0;
    WaitUntil(
        [&] {
            const long r = pty.ReadNow(got + n, sizeof got - static_cast<size_t>(n));
            if (r > 0) n += r;
            return n >= 4;
        },
        kGenerousMs);
    EXPECT_EQ(std::vector<uint8_t>(got, got + n), std::vector<uint8_t>(frame, frame + 4));
}

TEST_F(SerialRing, AFullRingDropsFurtherBytesUntilAReaderTakesSome) {
    // Fill the ring in pieces the pty can carry, then one byte too many.
    const auto all = Pattern(USerIO::kRingSize, 0);
    for (size_t off = 0; off < all.size(); off += 1024) {
        std::vector<uint8_t> piece(all.begin() + static_cast<long>(off), all.begin() + static_cast<long>(off + 1024));
        ASSERT_TRUE(FeedUntil(pty, *io, piece, off + 1024));
    }
    const uint8_t extra = 0xEE;
    ASSERT_EQ(pty.Write(&extra, 1), 1u);
    // Once the line holds the byte, the port reads it and the full ring drops it.
    ASSERT_TRUE(WaitUntil([&] { return probe->Pending() == 1; }, kGenerousMs));
    ASSERT_TRUE(WaitUntil(
        [&] {
            EXPECT_EQ(io->Available(), USerIO::kRingSize);
            return probe->Pending() == 0;
        },
        kGenerousMs));

    uint8_t one = 0;
    ASSERT_EQ(io->Read(&one, 1), 1u);
    EXPECT_EQ(one, 0);
    ASSERT_TRUE(FeedUntil(pty, *io, {0xAB}, USerIO::kRingSize));
    std::vector<uint8_t> rest(USerIO::kRingSize);
    ASSERT_EQ(io->Read(rest.data(), rest.size()), rest.size());
    EXPECT_EQ(rest[0], 1);
    EXPECT_EQ(rest[USerIO::kRingSize - 2], static_cast<uint8_t>(USerIO::kRingSize - 1));
    EXPECT_EQ(rest.back(), 0xAB);  // stored after the reader made room; 0xEE was dropped
}

TEST_F(SerialRing, BytesAcrossTheRingsEndComeOutInArrivalOrder) {
    const auto first = Pattern(8000, 0);
    for (size_t off = 0; off < first.size(); off += 1000) {
        std::vector<uint8_t> piece(first.begin() + static_cast<long>(off),
                                   first.begin() + static_cast<long>(off + 1000));
        ASSERT_TRUE(FeedUntil(pty, *io, piece, off + 1000));
    }
    std::vector<uint8_t> sink(8000);
    ASSERT_EQ(io->Read(sink.data(), sink.size()), sink.size());
    const auto across = Pattern(500, 7);  // stored at ring positions 8000 .. 8191, then 0 .. 307
    ASSERT_TRUE(FeedUntil(pty, *io, across, 500));
    EXPECT_EQ(io->Peek(191), across[191]);
    EXPECT_EQ(io->Peek(192), across[192]);
    std::vector<uint8_t> got(500);
    ASSERT_EQ(io->Read(got.data(), got.size()), got.size());
    EXPECT_EQ(got, across);
}

// A clock that stands still until the test moves it.
std::atomic<uint32_t> g_fakeNow{1000};
uint32_t FakeClock() { return g_fakeNow.load(); }

TEST(SerialPortPoll, ThePortIsReadAtMostOncePerClockTick) {
    platform::PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    LineProbe probe(pty.SlavePath());
    ASSERT_TRUE(probe.IsOpen());
    USerIO io(pty.SlavePath(), &FakeClock);
    EXPECT_EQ(io.Available(), 0u);  // polls at tick 1000
    const uint8_t b[2] = {0x11, 0x22};
    ASSERT_EQ(pty.Write(b, 2), 2u);
    ASSERT_TRUE(WaitUntil([&] { return probe.Pending() == 2; }, kGenerousMs));
    EXPECT_EQ(io.Available(), 0u);  // same tick: the port is not read again
    EXPECT_EQ(io.Peek(0), 0u);
    EXPECT_EQ(probe.Pending(), 2);
    ++g_fakeNow;
    EXPECT_EQ(io.Available(), 2u);
    EXPECT_EQ(io.LastStoreTick(), 1001u);
}

TEST(SystemSerPortsList, NamesPathsAndLookupByPath) {
    const std::vector<platform::SerialPortInfo> ports = {
        {"/dev/ttyUSB0", "Bench probe (ttyUSB0)"}, {"/dev/ttyACM3", ""}, {"/dev/ttyUSB0", "Duplicate"}};
    SystemSerPorts list([&] { return ports; });
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.GetFriendlyNames(), "Bench probe (ttyUSB0)\r\n/dev/ttyACM3\r\nDuplicate\r\n");
    EXPECT_EQ(list.GetDevicePath(1), "/dev/ttyACM3");
    EXPECT_EQ(list.GetDevicePath(3), "");
    EXPECT_EQ(list.GetDevicePath(-1), "");
    EXPECT_EQ(list.IndexOfDevicePath("/DEV/TTYusb0"), 0);  // first match, any letter case
    EXPECT_EQ(list.IndexOfDevicePath("/dev/ttyACM"), -1);
}

TEST(SystemSerPortsList, NoPortsGivesEmptyAnswers) {
    SystemSerPorts list([] { return std::vector<platform::SerialPortInfo>{}; });
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.GetFriendlyNames(), "");
    EXPECT_EQ(list.GetDevicePath(0), "");
    EXPECT_EQ(list.IndexOfDevicePath("/dev/ttyS0"), -1);
}

TEST(SystemSerPortsList, RefreshSeesAPseudoTerminalNamedInTheEnvironment) {
    platform::PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    ::setenv("EXTRA_SERIAL_PORTS", pty.SlavePath().c_str(), 1);
    SystemSerPorts list;
    ::unsetenv("EXTRA_SERIAL_PORTS");
    EXPECT_GE(list.IndexOfDevicePath(pty.SlavePath()), 0);
    list.Refresh();
    EXPECT_EQ(list.IndexOfDevicePath(pty.SlavePath()), -1);
}

}  // namespace
