#pragma once
// One received frame, whole from its length byte; the bytes after the frame
// stay zero.
#include <cstddef>
#include <cstdint>

#include "sinkmonitor/transport/object.h"

struct packet_t : object_t {
    static constexpr size_t kDataBytes = 256;
    uint8_t data[kDataBytes] = {};
};
