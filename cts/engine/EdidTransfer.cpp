#include "cts/engine/EdidTransfer.h"

#include <utility>

EdidTransfer::State EdidTransfer::StateOf(LinkResult result) {
    if (result == LINK_OK) return kDone;
    return result == LINK_REFUSED ? kRefused : kFailed;
}

void EdidTransfer::Write(std::vector<Block> blocks) {
    if (Active()) return;
    phase_ = Phase::Waiting;
    writing_ = true;
    blocks_ = std::move(blocks);
}

void EdidTransfer::Read() {
    if (Active()) return;
    phase_ = Phase::Waiting;
    writing_ = false;
    blocks_.clear();
}

void EdidTransfer::Start(MV_Comm& link) {
    if (phase_ != Phase::Waiting) return;
    if (writing_ && blocks_.empty()) return End(kFailed);
    link_ = &link;
    phase_ = Phase::Running;
    block_ = 0;
    // A write knows its last block; a read learns it from block 0.
    lastBlock_ = writing_ ? static_cast<int32_t>(blocks_.size()) - 1 : 0;
    SendBlock();
}

void EdidTransfer::Fail() {
    if (Active()) End(kFailed);
}

void EdidTransfer::SendBlock() {
    const int32_t n = block_;
    const platform::Epoch::Ticket ticket = epoch_.Stamp();
    if (writing_) {
        view_.StatusLine("> Write E-EDID Block #" + std::to_string(n));
        link_->WriteEdidBlock(blocks_[static_cast<size_t>(n)].data(), SegmentOf(n), OffsetOf(n),
                              MV_Comm::Completion(ticket, [this](LinkResult result) { OnBlockWritten(result); }));
    } else {
        view_.StatusLine("> Read E-EDID Block #" + std::to_string(n));
        link_->ReadEdidBlock(buffer_.data(), SegmentOf(n), kBlockBytes, OffsetOf(n),
                             MV_Comm::Completion(ticket, [this](LinkResult result) { OnBlockRead(result); }));
    }
}

void EdidTransfer::OnBlockWritten(LinkResult result) {
    const State state = StateOf(result);
    if (state != kDone || block_ == lastBlock_) return End(state);
    ++block_;
    SendBlock();
}

void EdidTransfer::OnBlockRead(LinkResult result) {
    const State state = StateOf(result);
    if (state != kDone) return End(state);
    blocks_.push_back(buffer_);
    if (block_ == 0) {
        lastBlock_ = buffer_[kExtensionCountByte];
        view_.StatusLine("> Read E-EDID Block #0 -" + std::to_string(lastBlock_));
    }
    if (block_ == lastBlock_) return End(kDone);
    ++block_;
    SendBlock();
}

void EdidTransfer::End(State state) {
    // Whatever of this transfer is still on its way does nothing now.
    epoch_.Advance();
    link_ = nullptr;
    phase_ = Phase::Idle;
    std::vector<Block> blocks = std::exchange(blocks_, {});
    // Only a read that is done hands its blocks over.
    if (writing_ || state != kDone) blocks.clear();
    view_.Ended(writing_, state, std::move(blocks));
}
