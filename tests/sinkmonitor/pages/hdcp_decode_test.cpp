// The HDCP lamp: byte 0 of the status alone says whether the link is
// authenticated.
#include <gtest/gtest.h>

#include "sinkmonitor/pages/HdcpDecode.h"

namespace {

using selvitra::LampState;

TEST(HdcpLamp, OnWhileByteZeroIsNotZero) {
    const std::pair<hdcpstatus_t, LampState> cases[] = {
        {{0x00, 0x00}, LampState::Off}, {{0x01, 0x00}, LampState::On},
        {{0x80, 0x00}, LampState::On},  {{0x00, 0x01}, LampState::Off},  // byte 1 does not count
        {{0xFF, 0xFF}, LampState::On},
    };
    for (const auto& [status, lamp] : cases) EXPECT_EQ(selvitra::HdcpLamp(status), lamp) << int(status[0]);
}

}  // namespace
