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

// The texts a port drop-down shows, one per port in list order: the friendly
// name, or, where another port of the list has the same friendly name, the
// friendly name + " (" + the port's device path + ")", so that ports of
// one name can be told apart.
std::vector<std::string> PortDisplayNames(const std::vector<SerialPortInfo>& ports);

}  // namespace platform
