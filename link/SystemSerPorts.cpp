#include "link/SystemSerPorts.h"

#include "platform/IniFile.h"

SystemSerPorts::SystemSerPorts(Lister lister) : lister_(std::move(lister)) {
    if (!lister_) lister_ = &platform::ListSerialPorts;
    Refresh();
}

void SystemSerPorts::Refresh() {
    devicePaths_.clear();
    friendlyNames_.clear();
    for (const auto& port : lister_()) {
        devicePaths_.push_back(port.devicePath);
        // A device without a readable name is shown by its path.
        friendlyNames_.push_back(port.friendlyName.empty() ? port.devicePath : port.friendlyName);
    }
}

std::string SystemSerPorts::GetDevicePath(int i) const {
    if (i < 0 || i >= Count()) return {};
    return devicePaths_[static_cast<size_t>(i)];
}

std::string SystemSerPorts::GetFriendlyNames() const {
    std::string all;
    for (const auto& name : friendlyNames_) all += name + "\r\n";
    return all;
}

int SystemSerPorts::IndexOfDevicePath(const std::string& path) const {
    for (int i = 0; i < Count(); ++i)
        if (platform::EqualNoCase(devicePaths_[static_cast<size_t>(i)], path)) return i;
    return -1;
}
