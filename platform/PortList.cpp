#include "platform/PortList.h"

#include <sys/stat.h>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace platform {
namespace fs = std::filesystem;

namespace {

std::string ReadFirstLine(const fs::path& p) {
    std::ifstream in(p);
    std::string line;
    std::getline(in, line);
    return line;
}

// A name a user recognises: the /dev/serial/by-id link that points at the
// device, else the USB product text, else the device path itself.
std::string FriendlyName(const std::string& devName, const fs::path& sysEntry) {
    std::error_code ec;
    const fs::path byId("/dev/serial/by-id");
    if (fs::is_directory(byId, ec)) {
        for (const auto& link : fs::directory_iterator(byId, ec)) {
            auto target = fs::canonical(link.path(), ec);
            if (!ec && target.filename() == devName) return link.path().filename().string() + " (" + devName + ")";
        }
    }
    fs::path dev = fs::canonical(sysEntry / "device", ec);
    for (int up = 0; !ec && up < 4 && !dev.empty(); ++up, dev = dev.parent_path()) {
        std::string product = ReadFirstLine(dev / "product");
        if (!product.empty()) return product + " (" + devName + ")";
    }
    return devName;
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts() {
    std::vector<SerialPortInfo> ports;
    std::error_code ec;
    const fs::path sysTty("/sys/class/tty");
    std::vector<std::string> names;
    if (fs::is_directory(sysTty, ec)) {
        for (const auto& e : fs::directory_iterator(sysTty, ec)) {
            // Only devices with a driver are real ports; ttyS entries of an
            // 8250 driver exist for absent UARTs too, so keep those only when
            // they have a port type other than 0 (unknown).
            if (!fs::exists(e.path() / "device" / "driver", ec)) continue;
            const std::string name = e.path().filename().string();
            if (name.rfind("ttyS", 0) == 0) {
                const std::string type = ReadFirstLine(e.path() / "type");
                if (type.empty() || type == "0") continue;
            }
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    for (const auto& name : names) ports.push_back({"/dev/" + name, FriendlyName(name, sysTty / name)});

    if (const char* extra = std::getenv("EXTRA_SERIAL_PORTS")) {
        std::string list(extra);
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = list.find(':', start);
            if (end == std::string::npos) end = list.size();
            std::string path = list.substr(start, end - start);
            struct stat st {};
            if (!path.empty() && ::stat(path.c_str(), &st) == 0) ports.push_back({path, path});
            start = end + 1;
        }
    }
    return ports;
}

std::vector<std::string> PortDisplayNames(const std::vector<SerialPortInfo>& ports) {
    std::vector<std::string> shown;
    shown.reserve(ports.size());
    for (const auto& port : ports) {
        const auto sameName = [&](const SerialPortInfo& p) { return p.friendlyName == port.friendlyName; };
        if (std::count_if(ports.begin(), ports.end(), sameName) > 1)
            shown.push_back(port.friendlyName + " (" + port.devicePath + ")");
        else shown.push_back(port.friendlyName);
    }
    return shown;
}

}  // namespace platform
