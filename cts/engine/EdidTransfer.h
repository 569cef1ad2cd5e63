#pragma once
// The E-EDID transfer between an image of 128-byte blocks and the sink behind
// the instrument, one E-EDID request of the link per block. A write sends the
// blocks it was given; a read learns its last block from block 0's count of
// extension blocks and collects every block up to it. Block n of the image
// travels as E-DDC segment n / 2 at offset (n mod 2) x 128: a segment
// addresses 256 bytes, two blocks.
//
// The transfer runs as a chain of completions: each block's completion sends
// the next block's request, with one status line per block. It ends once,
// with its state, at the first block that does not succeed, after the last
// block, or when its owner ends it (the link is refused or freed); what of it
// is still on its way then is dropped (the completions are stamped with the
// transfer's epoch, so a late reply neither reaches the buffer nor continues
// the chain).
//
// Who may use the link, and when, is the owner's business: it hands the link
// over with Start once the link is free for the transfer and frees it once
// the transfer has ended. Everything runs on the GUI thread, the link's
// completions included.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/MV_Comm.h"
#include "platform/Epoch.h"

class EdidTransfer {
public:
    static constexpr int32_t kBlockBytes = 128;
    static constexpr size_t kExtensionCountByte = 126;  // the base block's count of extension blocks
    using Block = std::array<uint8_t, kBlockBytes>;

    // Where block n travels: segment n / 2, offset (n mod 2) x 128.
    static uint8_t SegmentOf(int32_t n) { return static_cast<uint8_t>(n / 2); }
    static uint8_t OffsetOf(int32_t n) { return static_cast<uint8_t>((n % 2) * kBlockBytes); }

    // The transfer's state after a block: 1 done, 2 refused, 3 failed.
    enum State : int32_t { kDone = 1, kRefused = 2, kFailed = 3 };
    // LINK_OK is done, LINK_REFUSED refused, any other result failed.
    static State StateOf(LinkResult result);

    // What the transfer shows. Texts are ASCII.
    class View {
    public:
        virtual ~View() = default;
        // One line for the status list (which then shows its last line).
        virtual void StatusLine(const std::string& line) = 0;
        // The transfer has ended, once. A read that is done hands over every
        // block it announced, block 0 first; otherwise `blocks` is empty.
        virtual void Ended(bool write, State state, std::vector<Block> blocks) = 0;
    };

    explicit EdidTransfer(View& view) : view_(view) {}
    EdidTransfer(const EdidTransfer&) = delete;
    EdidTransfer& operator=(const EdidTransfer&) = delete;

    // A write of these blocks (copied by the caller when the operator
    // confirmed it), or a read; the transfer waits for Start. Ignored while
    // a transfer is on.
    void Write(std::vector<Block> blocks);
    void Read();
    // The link is free for the transfer: block 0's request goes out. The
    // link is used until the transfer has ended. A write without blocks ends
    // at once as failed.
    void Start(MV_Comm& link);
    // Ends the transfer (waiting or with a block out) as failed: the link is
    // refused to it, or is being freed. Not touched again from here on.
    void Fail();

    // From Write or Read to the end.
    bool Active() const { return phase_ != Phase::Idle; }
    // From Start to the end: a block's request is out.
    bool Running() const { return phase_ == Phase::Running; }
    // An active transfer is a write.
    bool Writing() const { return Active() && writing_; }

private:
    enum class Phase { Idle, Waiting, Running };
    void SendBlock();  // the request of block_, with its status line
    void OnBlockWritten(LinkResult result);
    void OnBlockRead(LinkResult result);
    void End(State state);

    View& view_;
    MV_Comm* link_ = nullptr;  // while running
    Phase phase_ = Phase::Idle;
    bool writing_ = false;
    Block buffer_{};             // a read's block on its way from the link
    std::vector<Block> blocks_;  // a write's blocks; the blocks a read has received so far
    int32_t block_ = 0;          // the block whose request is out
    int32_t lastBlock_ = 0;      // a read learns it from block 0's extension count
    platform::Epoch epoch_;      // moves on when the transfer ends: its late completions are dropped
};
