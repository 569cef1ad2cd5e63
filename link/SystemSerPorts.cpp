#include "link/SystemSerPorts.h"

#include <cctype>

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
    auto same = [](const std::string& a, const std::string& b) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
                return false;
        return true;
    };
    for (int i = 0; i < Count(); ++i)
        if (same(devicePaths_[static_cast<size_t>(i)], path)) return i;
    return -1;
}
