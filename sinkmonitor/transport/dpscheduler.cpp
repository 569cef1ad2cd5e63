#include "sinkmonitor/transport/dpscheduler.h"

#include "platform/GuiCall.h"

dpscheduler_t::dpscheduler_t(dpprotocol_t* protocol) : protocol_(protocol) {
    // Without a thread there is no poller: nothing is ever handed over.
    thread_.Start([this] { execute(); });
}

// The poller may be waiting in a hand-over to this (the GUI) thread: the
// join serves it.
dpscheduler_t::~dpscheduler_t() { thread_.Join(); }

void dpscheduler_t::set_on_hdcp(closure_t fn) {
    std::lock_guard lk(closureLock_);
    onHdcp_ = std::move(fn);
}
void dpscheduler_t::set_on_msa(closure_t fn) {
    std::lock_guard lk(closureLock_);
    onMsa_ = std::move(fn);
}
void dpscheduler_t::set_on_sdp(closure_t fn) {
    std::lock_guard lk(closureLock_);
    onSdp_ = std::move(fn);
}
void dpscheduler_t::set_on_port_lost(closure_t fn) {
    std::lock_guard lk(closureLock_);
    onPortLost_ = std::move(fn);
}

dpscheduler_t::closure_t dpscheduler_t::closure(closure_t dpscheduler_t::*which) {
    std::lock_guard lk(closureLock_);
    return this->*which;
}

void dpscheduler_t::set_hdcp_polling(bool on) {
    pollHdcp_.store(on);
    if (on) return;
    {
        std::lock_guard lk(resultLock_);
        hdcp_.fill(0);
    }
    if (auto fn = closure(&dpscheduler_t::onHdcp_)) fn(*this);
}

void dpscheduler_t::set_msa_polling(bool on) {
    pollMsa_.store(on);
    if (on) return;
    {
        std::lock_guard lk(resultLock_);
        msa_.fill(0);
    }
    if (auto fn = closure(&dpscheduler_t::onMsa_)) fn(*this);
}

void dpscheduler_t::set_sdp_polling(bool on) {
    pollSdp_.store(on);
    // The record as it stands, in both directions.
    if (auto fn = closure(&dpscheduler_t::onSdp_)) fn(*this);
}

hdcpstatus_t dpscheduler_t::get_hdcp() {
    std::lock_guard lk(resultLock_);
    return hdcp_;
}
msarecord_t dpscheduler_t::get_msa() {
    std::lock_guard lk(resultLock_);
    return msa_;
}
sdprecord_t dpscheduler_t::get_sdp() {
    std::lock_guard lk(resultLock_);
    return sdp_;
}

void dpscheduler_t::hand_over(closure_t dpscheduler_t::*which) {
    closure_t fn = closure(which);
    if (!fn || thread_.StopRequested()) return;
    platform::CallOnGuiThread([&] { fn(*this); });
}

// Sleeps one cycle; false when the poller is to end.
bool dpscheduler_t::sleep_cycle() { return !thread_.Sleep(static_cast<int>(kCycleSleepMs)); }

void dpscheduler_t::poll_hdcp() {
    if (!pollHdcp_.load()) return;
    hdcpstatus_t s{};
    if (!protocol_->get_hdcp_status(s, &thread_.StopFlag())) s.fill(0);
    {
        std::lock_guard lk(resultLock_);
        hdcp_ = s;
    }
    hand_over(&dpscheduler_t::onHdcp_);
}

void dpscheduler_t::poll_msa() {
    if (!pollMsa_.load()) return;
    msarecord_t m{};
    if (!protocol_->get_msa(m, &thread_.StopFlag())) m.fill(0);
    {
        std::lock_guard lk(resultLock_);
        msa_ = m;
    }
    hand_over(&dpscheduler_t::onMsa_);
}

// Drains the captured packets, at most ten queries per cycle, so that a busy
// source cannot starve the other kinds or the GUI thread.
void dpscheduler_t::poll_sdp() {
    if (!pollSdp_.load()) return;
    int n = 0;
    uint8_t status;
    do {
        if (thread_.StopRequested()) return;
        sdprecord_t r;
        if (!protocol_->get_sdp(r, &thread_.StopFlag())) {
            // The draining ends quietly, but a lost port is still the
            // owner's to tear down.
            if (protocol_->port_lost()) hand_over(&dpscheduler_t::onPortLost_);
            return;
        }
        {
            std::lock_guard lk(resultLock_);
            sdp_ = r;
        }
        status = r[0];
        if (status != kSdpNone) hand_over(&dpscheduler_t::onSdp_);
        ++n;
    } while (status == kSdpMore && n < kMaxSdpPerCycle);
    if (n == kMaxSdpPerCycle) {
        {
            std::lock_guard lk(resultLock_);
            sdp_[0] = kSdpNone;
        }
        hand_over(&dpscheduler_t::onSdp_);
    }
}

void dpscheduler_t::execute() {
    while (!thread_.StopRequested() && sleep_cycle()) {
        ++cycles_;
        poll_hdcp();
        poll_msa();
        poll_sdp();
    }
}
