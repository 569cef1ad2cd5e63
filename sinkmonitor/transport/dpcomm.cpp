#include "sinkmonitor/transport/dpcomm.h"

#include <cstring>
#include <string>

#include "link/InstrumentFrame.h"
#include "link/InstrumentText.h"

namespace {

// The receive buffer as a byte source for the one frame receiver.
struct HeldBytes {
    uint8_t* buf;
    size_t& held;
    size_t Available() const { return held; }
    uint8_t Peek(size_t i) const { return buf[i]; }
    void Consume(uint8_t* dst, size_t n) {
        if (dst) std::memcpy(dst, buf, n);
        std::memmove(buf, buf + n, held - n);
        held -= n;
        std::memset(buf + held, 0, n);
    }
};

constexpr size_t kMinFrame = 3;

}  // namespace

dpcomm_t::dpcomm_t(poster_t poster, serialport_t* port) : poster_(std::move(poster)), port_(port) {}

dpcomm_t::~dpcomm_t() { stop(); }

uint8_t dpcomm_t::checksum(const uint8_t* bytes, size_t n) { return frame::Checksum(bytes, n); }

bool dpcomm_t::start() {
    if (receiver_.Started() || !port_) return false;
    responses_ = std::make_unique<objectbuffer_t>();
    debugTexts_ = std::make_unique<objectbuffer_t>();
    // A receiver that does not get going in time is stopped before it runs.
    if (receiver_.Start([this] { receiver_thread(); }, static_cast<int>(kStartTimeoutMs)) !=
        platform::WorkerThread::StartResult::Running) {
        responses_.reset();
        debugTexts_.reset();
        return false;
    }
    return true;
}

void dpcomm_t::stop() {
    if (!receiver_.Started()) return;
    receiver_.Join();
    responses_.reset();
    debugTexts_.reset();
}

bool dpcomm_t::send_frame(const uint8_t* payload, size_t n) {
    if (!port_ || (n > 0 && !payload) || n > kMaxPayload) return false;
    uint8_t body[kMaxPayload + 1];
    body[0] = kTypeCommand;
    if (n) std::memcpy(body + 1, payload, n);
    uint8_t out[frame::kMaxFrame];
    const size_t length = frame::Build(body, n + 1, out);
    return length != 0 && port_->write(out, length);
}

bool dpcomm_t::wait_response(uint8_t* destination, unsigned ms) {
    if (!responses_ || !destination) return false;
    auto* p = static_cast<packet_t*>(responses_->pop(ms));
    if (!p) return false;
    std::memcpy(destination, p->data, p->data[0]);
    delete p;
    return true;
}

size_t dpcomm_t::debug_texts_waiting() { return debugTexts_ ? debugTexts_->count() : 0; }

bool dpcomm_t::format_debug_text(char* destination) {
    if (!debugTexts_ || !destination) return false;
    auto* p = static_cast<packet_t*>(debugTexts_->pop(0));
    if (!p) return false;
    // The payload is the type byte, the zero-terminated format and the two
    // argument bytes; the checksum is not part of it.
    const size_t length = p->data[0];
    const std::string text = instrument_text::FormatPacket(p->data + 1, length - 2, instrument_text::kDebugTextMax);
    std::memcpy(destination, text.c_str(), text.size() + 1);
    delete p;
    return true;
}

void dpcomm_t::drop_first_held() {
    HeldBytes src{buffer_, held_};
    src.Consume(nullptr, 1);
}

// Collects bytes until the held bytes start with a whole, checksum-correct
// frame of at least 3 bytes. A gap of more than one per-byte time-out inside
// a frame, a length below 3 and a wrong checksum each cost the first held
// byte, and the search goes on at the next one; bytes after a good frame stay
// held for the next call. A cycle on a silent line lasts about one per-byte
// time-out.
bool dpcomm_t::receive_frame(packet_t* packet) {
    int tries = 3;
    HeldBytes src{buffer_, held_};
    for (;;) {
        if (receiver_.StopRequested()) return false;  // a stream of noise never holds up stop
        size_t want = 0;
        if (held_ < kMinFrame) {
            want = kMinFrame - held_;
        } else if (buffer_[0] > held_) {
            want = buffer_[0] - held_;
        }
        size_t got = 0;
        if (want > 0) {
            const bool ok = port_->read(buffer_ + held_, want, kMsPerByte, &got);
            held_ += got;
            if (!ok && port_->get_error() != serialport_t::kErrShortRead) return false;
        }
        if (held_ < kMinFrame) return false;
        if (got != want) {
            --tries;
            if (got > 0) tries = 1;
            if (tries == 0) return false;
            if (tries == 1) {
                drop_first_held();
                continue;
            }
        }
        const size_t length = buffer_[0];
        if (length > held_) continue;
        if (length < kMinFrame) {
            drop_first_held();
            continue;
        }
        if (frame::Receive(src, packet->data) != 0) return true;
        // Checksum failure: Receive has dropped the first byte.
    }
}

void dpcomm_t::receive_packet() {
    auto* p = new packet_t;
    if (!receive_frame(p)) {
        delete p;
        return;
    }
    switch (p->data[1]) {
        case kTypeDebugText:
            debugTexts_->push(p);
            break;
        case kTypeCommand:
            responses_->push(p);
            break;
        default:
            delete p;
            break;
    }
}

void dpcomm_t::receiver_thread() {
    while (!receiver_.StopRequested()) {
        if (port_->is_broken()) {
            // Every read would fail at once: wait for stop instead of spinning.
            receiver_.Sleep(-1);
            break;
        }
        if (debugTexts_->count() > 0 && poster_) poster_();
        receive_packet();
    }
}
