#pragma once
#include <string>
#include <vector>

namespace platform {

struct SerialPortInfo {
    std::string devicePath;    // e.g. /dev/ttyUSB0
    std::string friendlyName;  // what a user recognises, e.g. the USB product text
};

// The serial devices present now: /sys/class/tty entries with a driver, then
// each path listed in EXTRA_SERIAL_PORTS (colon-separated) that exists.
std::vector<SerialPortInfo> ListSerialPorts();

}  // namespace platform
