#pragma once
// The poller: a worker thread that queries the HDCP state, the main stream
// attributes and captured secondary data packets every 500 ms, each kind
// switched on and off by the main window, and hands each result to the
// GUI thread synchronously. It never holds the command lock during a
// hand-over, so the closures may run commands. Destroy it on the GUI
// thread: the destructor keeps serving a pending hand-over while it waits
// for the thread to end.
#include <atomic>
#include <functional>
#include <mutex>

#include "platform/WorkerThread.h"
#include "sinkmonitor/transport/dpprotocol.h"

class dpscheduler_t {
public:
    using closure_t = std::function<void(dpscheduler_t&)>;

    static constexpr unsigned kCycleSleepMs = 500;
    static constexpr int kMaxSdpPerCycle = 10;
    static constexpr uint8_t kSdpNone = 0, kSdpLast = 1, kSdpMore = 2;  // SDP status byte

    explicit dpscheduler_t(dpprotocol_t* protocol);
    ~dpscheduler_t();
    dpscheduler_t(const dpscheduler_t&) = delete;
    dpscheduler_t& operator=(const dpscheduler_t&) = delete;

    void set_on_hdcp(closure_t fn);
    void set_on_msa(closure_t fn);
    void set_on_sdp(closure_t fn);
    // Handed over when an SDP query failed on a port that is broken: that
    // query hands no record over, and the owner still has to learn of the
    // loss.
    void set_on_port_lost(closure_t fn);

    void set_hdcp_polling(bool on);
    void set_msa_polling(bool on);
    void set_sdp_polling(bool on);

    hdcpstatus_t get_hdcp();
    msarecord_t get_msa();
    sdprecord_t get_sdp();

    // How many poll cycles have begun (their sleep is over): a test sees
    // from it that the poller went round.
    unsigned cycles() const { return cycles_.load(); }

private:
    void execute();
    void poll_hdcp();
    void poll_msa();
    void poll_sdp();
    void hand_over(closure_t dpscheduler_t::*which);
    closure_t closure(closure_t dpscheduler_t::*which);
    bool sleep_cycle();

    dpprotocol_t* const protocol_;
    std::atomic<bool> pollHdcp_{false};
    std::atomic<bool> pollMsa_{false};
    std::atomic<bool> pollSdp_{false};
    std::atomic<unsigned> cycles_{0};

    std::mutex resultLock_;  // the three results; never held across a wait
    hdcpstatus_t hdcp_{};
    msarecord_t msa_{};
    sdprecord_t sdp_{};

    std::mutex closureLock_;
    closure_t onHdcp_, onMsa_, onSdp_, onPortLost_;

    platform::WorkerThread thread_;
};
