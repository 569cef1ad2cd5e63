#pragma once
// The serial ports present on this machine, each as a device path with the
// name a user recognises, in the order the system lists them.
#include <functional>
#include <string>
#include <vector>

#include "platform/PortList.h"

class SystemSerPorts {
public:
    using Lister = std::function<std::vector<platform::SerialPortInfo>()>;

    // Lists the ports at once; `lister` replaces the system's listing (tests).
    explicit SystemSerPorts(Lister lister = {});

    // Lists the present ports again.
    void Refresh();

    int Count() const { return static_cast<int>(devicePaths_.size()); }
    // Device path i, or the empty text when i is out of range.
    std::string GetDevicePath(int i) const;
    // All friendly names, each line ended by CR LF, in listing order.
    std::string GetFriendlyNames() const;
    // The first entry whose device path equals `path` regardless of letter case, or -1.
    int IndexOfDevicePath(const std::string& path) const;

private:
    Lister lister_;
    std::vector<std::string> devicePaths_;
    std::vector<std::string> friendlyNames_;
};
