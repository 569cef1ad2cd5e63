#include "link/FirmwareUpdate.h"

#include <algorithm>
#include <cstdio>

#include "link/Crc16.h"
#include "link/InstrumentFrame.h"
#include "link/RamLoader.h"
#include "platform/Clock.h"
#include "platform/Windows1252Bytes.h"

namespace firmware_update {
namespace {

enum class Reply { Ack, Refused, TimedOut, Stopped };

template <class... Args>
std::string Printf(const char* format, Args... args) {
    char text[512];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

// One run of the sequence: the reply timer and the positions in the images.
class Sequence {
public:
    Sequence(const IntelHexDecoder& loader, const IntelHexDecoder& firmware, Transport& t, const Options& o)
        : loader_(loader), firmware_(firmware), t_(t), options_(o) {}

    Outcome Run() {
        Reply r = Command({kCmdDebugOn}, "Debug On ...");
        if (r != Reply::Ack) return End(r, "Debug On command failed");
        r = Command({kCmdReset, 0x00}, "Reset ...");
        if (r != Reply::Ack) return End(r, "Reset command failed");
        if (!t_.Sleep(kResetPauseMs)) return Outcome::Stopped;

        t_.StepText("Writing RAM loader ...");
        Outcome o = WriteImage(loader_, kRamChunkBytes, &Sequence::RamChunk,
                               "RamWrite failed at RAM Segment %i, Write Offset $%x");
        if (o != Outcome::Ok) return o;

        t_.StepText(Printf("RamWrite: Success; Wrote %i segments", static_cast<int>(loader_.SegmentCount())));
        r = Command({kCmdRunCode, static_cast<uint8_t>(kRamLoaderEntry >> 8), static_cast<uint8_t>(kRamLoaderEntry)},
                    "RunCode ...", true);
        if (r != Reply::Ack) return End(r, "RunCode command failed");
        if (!t_.Sleep(kErasePauseMs)) return Outcome::Stopped;
        r = Command({kCmdErase, 0xFF, 0xFF}, "Erase ...");
        if (r != Reply::Ack) return End(r, "Erase command failed");

        t_.StepText("Writing Flash Segments ...");
        o = WriteImage(firmware_, kFlashChunkBytes, &Sequence::FlashChunk,
                       "FlashWrite failed at Segment %i, Write Offset $%x");
        if (o != Outcome::Ok) return o;

        t_.StepText(Printf("FlashWrite: Success; Wrote %i segments", static_cast<int>(firmware_.SegmentCount())));
        t_.StepText("Firmware update completed succesfully. Reset target.");
        return Outcome::Ok;
    }

private:
    using ChunkWriter = Reply (Sequence::*)(uint32_t address, const uint8_t* data, size_t n);

    Outcome End(Reply r, const std::string& failureText) {
        switch (r) {
            case Reply::Ack:
                return Outcome::Ok;
            case Reply::Refused:
                t_.FailureText(failureText);
                return Outcome::Refused;
            case Reply::TimedOut:
                return Outcome::NoResponse;
            case Reply::Stopped:
                break;
        }
        return Outcome::Stopped;
    }

    // Sends a framed command and waits for its reply; the step text follows
    // the send, except for RunCode, whose text comes first.
    Reply Command(std::initializer_list<uint8_t> payload, const char* text, bool textFirst = false) {
        if (textFirst) t_.StepText(text);
        const std::vector<uint8_t> p(payload);
        uint8_t f[frame::kMaxFrame];
        const size_t n = frame::Build(p.data(), p.size(), f);
        const bool written = Send(f, n);
        if (!textFirst) t_.StepText(text);
        return written ? Await(kStepTimeoutUnits) : Reply::TimedOut;
    }

    // Writes one image segment by segment in chunks of at most `chunkMax`
    // bytes; chunks never cross a segment's end.
    Outcome WriteImage(const IntelHexDecoder& image, size_t chunkMax, ChunkWriter write, const char* failure) {
        std::vector<uint8_t> chunk;
        for (size_t seg = 0; seg < image.SegmentCount(); ++seg) {
            const HexSegment& s = image.Segments()[seg];
            for (uint32_t offset = 0; offset < s.size();) {
                const size_t n = std::min<size_t>(chunkMax, s.size() - offset);
                chunk.assign(s.data.begin() + offset, s.data.begin() + offset + n);
                bytesSent_ += static_cast<uint32_t>(n);
                t_.Progress(bytesSent_);
                const Reply r = (this->*write)(s.startAddress + offset, chunk.data(), n);
                if (r != Reply::Ack)
                    return End(r, Printf(failure, static_cast<int>(seg), static_cast<unsigned>(offset)));
                offset += static_cast<uint32_t>(n);
            }
        }
        return Outcome::Ok;
    }

    // 13, the 16-bit RAM address (high byte first), the data.
    Reply RamChunk(uint32_t address, const uint8_t* data, size_t n) {
        uint8_t payload[3 + kRamChunkBytes];
        payload[0] = kCmdRamWrite;
        payload[1] = static_cast<uint8_t>(address >> 8);
        payload[2] = static_cast<uint8_t>(address);
        std::copy(data, data + n, payload + 3);
        uint8_t f[frame::kMaxFrame];
        const size_t len = frame::Build(payload, 3 + n, f);
        return Send(f, len) ? Await(kStepTimeoutUnits) : Reply::TimedOut;
    }

    // The header frame 03 10 ED, then the raw block; each write restarts
    // the reply timer, so the 5 s run from the block.
    Reply FlashChunk(uint32_t address, const uint8_t* data, size_t n) {
        const uint8_t header[] = {kCmdFlashWrite};
        uint8_t f[3];
        frame::Build(header, 1, f);
        const std::vector<uint8_t> block = FlashBlock(address, data, n);
        const bool headerWritten = Send(f, sizeof f);
        const bool blockWritten = Send(block.data(), block.size());
        return headerWritten && blockWritten ? Await(kFlashTimeoutUnits) : Reply::TimedOut;
    }

    // Writes and starts the reply timer. A failed write ends the step at
    // once only when the options say so; otherwise its reply is awaited (it
    // will time out).
    bool Send(const uint8_t* bytes, size_t n) {
        const bool ok = t_.Write(bytes, n);
        sentAt_ = platform::TickCountMs();
        return ok || !options_.writeFailureEndsStep;
    }

    // Waits until 0C or 0B arrives or more than units x 100 ms have passed
    // since the last write. Other payloads go to the transport.
    Reply Await(uint32_t units) {
        const uint32_t limit = units * 100;
        uint8_t payload[frame::kMaxFrame];
        for (;;) {
            const uint32_t elapsed = ElapsedMs(sentAt_, platform::TickCountMs());
            if (elapsed > limit) return Reply::TimedOut;
            size_t n = 0;
            switch (t_.NextPayload(limit - elapsed + 1, payload, &n)) {
                case Poll::Stop:
                    return Reply::Stopped;
                case Poll::Nothing:
                    continue;
                case Poll::Payload:
                    break;
            }
            if (n == 1 && payload[0] == kAck) return Reply::Ack;
            if (n == 1 && payload[0] == kRefuse) return Reply::Refused;
            if (n > 0) t_.OtherPayload(payload, n);
        }
    }

    const IntelHexDecoder& loader_;
    const IntelHexDecoder& firmware_;
    Transport& t_;
    const Options options_;
    uint32_t bytesSent_ = 0;
    uint32_t sentAt_ = 0;
};

}  // namespace

Outcome Run(const IntelHexDecoder& loader, const IntelHexDecoder& firmware, Transport& transport,
            const Options& options) {
    return Sequence(loader, firmware, transport, options).Run();
}

std::unique_ptr<IntelHexDecoder> DecodeRamLoader() {
    return std::make_unique<IntelHexDecoder>(std::string_view(RamLoaderText(), RamLoaderTextLength()));
}

std::string LoaderDecodedText(const IntelHexDecoder& loader) {
    return Printf("RamWrite [internal], %i Segments, %d Bytes", static_cast<int>(loader.SegmentCount()),
                  static_cast<int>(loader.TotalBytes()));
}

std::string FirmwareDecodedText(const std::string& fileName, const IntelHexDecoder& firmware) {
    return "Loaded '" + platform::Utf8ToWindows1252(fileName) + "'" +
           Printf(", %i Segments, %d Bytes", static_cast<int>(firmware.SegmentCount()),
                  static_cast<int>(firmware.TotalBytes()));
}

std::vector<uint8_t> FlashBlock(uint32_t address, const uint8_t* data, size_t n) {
    std::vector<uint8_t> block;
    block.reserve(n + kFlashBlockOverhead);
    PutBigEndian32(block, address);
    PutBigEndian32(block, static_cast<uint32_t>(n));
    block.insert(block.end(), data, data + n);
    PutBigEndian32(block, Crc16(data, n));
    return block;
}

uint32_t ElapsedMs(uint32_t sent, uint32_t now) { return now >= sent ? now - sent : now + (0xFFFFFFFFu - sent); }

}  // namespace firmware_update
