#pragma once
// The HDCP lamp of the Main page from the poller's HDCP status: on while the
// sink reports the link authenticated (byte 0 not 0), off otherwise; a
// failed query arrives as all zeros and so turns it off.
#include "sinkmonitor/pages/LampState.h"
#include "sinkmonitor/transport/dpprotocol.h"

namespace selvitra {

inline LampState HdcpLamp(const hdcpstatus_t& status) { return status[0] != 0 ? LampState::On : LampState::Off; }

}  // namespace selvitra
