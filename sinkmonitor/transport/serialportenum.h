#pragma once
// The serial ports present now, for the port drop-downs. The elements live
// as long as the serialportenum_t; callers keep pointers to them.
#include <cstddef>

#include "sinkmonitor/transport/object.h"
#include "sinkmonitor/transport/objectlist.h"

struct SERIAL_PORT_INFO : object_t {
    static constexpr size_t kTextBytes = 260;
    char friendly_name[kTextBytes] = {};
    char device_path[kTextBytes] = {};
};

class serialportenum_t {
public:
    serialportenum_t();
    size_t count() { return list_.count(); }
    const SERIAL_PORT_INFO* at(size_t i) { return static_cast<const SERIAL_PORT_INFO*>(list_.at(i)); }

private:
    objectlist_t list_;
};
