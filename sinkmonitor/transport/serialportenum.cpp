#include "sinkmonitor/transport/serialportenum.h"

#include <cstring>
#include <string>

#include "platform/PortList.h"

namespace {
void CopyText(char (&dst)[SERIAL_PORT_INFO::kTextBytes], const std::string& src) {
    const size_t n = std::min(src.size(), SERIAL_PORT_INFO::kTextBytes - 1);
    std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
}
}  // namespace

serialportenum_t::serialportenum_t() {
    list_.owning = true;
    for (const auto& port : platform::ListSerialPorts()) {
        auto* info = new SERIAL_PORT_INFO;
        // A device without a name of its own is shown by its path.
        CopyText(info->friendly_name, port.friendlyName.empty() ? port.devicePath : port.friendlyName);
        CopyText(info->device_path, port.devicePath);
        list_.append(info);
    }
}
