// The texts of the port drop-downs: a friendly name that two present ports
// share is qualified by each port's device path.
#include <gtest/gtest.h>

#include "platform/PortList.h"

namespace {

using platform::PortDisplayNames;
using platform::SerialPortInfo;
using Names = std::vector<std::string>;

TEST(PortDisplayNames, SharedFriendlyNamesAreQualifiedByTheDevicePath) {
    const struct {
        const char* name;
        std::vector<SerialPortInfo> ports;
        Names shown;
    } cases[] = {
        {"no ports", {}, {}},
        {"unique names unchanged",
         {{"/dev/ttyUSB0", "FT232R USB UART (ttyUSB0)"}, {"/dev/pts/4", "/dev/pts/4"}},
         {"FT232R USB UART (ttyUSB0)", "/dev/pts/4"}},
        {"two of one name",
         {{"/dev/ttyACM0", "Sink"}, {"/dev/ttyACM1", "Sink"}},
         {"Sink (/dev/ttyACM0)", "Sink (/dev/ttyACM1)"}},
        {"only the shared name is qualified, in list order",
         {{"/dev/ttyS0", "ttyS0"}, {"/dev/ttyACM0", "Sink"}, {"/dev/ttyUSB0", "Adapter"}, {"/dev/ttyACM1", "Sink"}},
         {"ttyS0", "Sink (/dev/ttyACM0)", "Adapter", "Sink (/dev/ttyACM1)"}},
        {"three of one name", {{"/a", "X"}, {"/b", "X"}, {"/c", "X"}}, {"X (/a)", "X (/b)", "X (/c)"}},
        {"names differing in letter case are different names", {{"/a", "Sink"}, {"/b", "sink"}}, {"Sink", "sink"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PortDisplayNames(c.ports), c.shown);
    }
}

}  // namespace
