// The E-EDID transfer between the embedded EDID editor and the instrument.
// The editor's Write EDID and Read EDID buttons reach the window through the
// library's host callback, which returns at once: the transfer starts in a
// turn of the event loop of its own and runs as a chain of completions, one
// E-EDID request per block and one status line per block, each completion
// issuing the next block's request. For the whole transfer the main window's
// own controls, its menus and the editor take no input (it is dropped) and
// the window keeps painting; the windows it owns stay usable, so that a box
// or dialog the operator's own action opens meanwhile (the report save of
// closing) works. A confirmed write holds the window's close back until it
// has ended, so that the instrument never keeps a part of the new image; a
// read does not. A write takes its blocks from the editor when the operator
// confirms it, so an editor changed while the write waits or runs changes
// nothing of what is written. A read hands its blocks to the editor only
// once every announced block has arrived, so after a failure the editor
// keeps its image.
//
// Block n of the image travels as E-DDC segment n / 2 at offset
// (n mod 2) x 128: a segment addresses 256 bytes, two blocks.
#include <QLabel>
#include <QMenuBar>
#include <QString>

#include <string>
#include <vector>

#include "cts/TCTSMainForm.h"
#include "platform/GuiCall.h"
#include "platform/MessageBox.h"
#include "platform/gui/MessageList.h"

namespace {

constexpr int32_t kBlockBytes = 128;
constexpr size_t kExtensionCountByte = 126;  // the base block's count of extension blocks

uint8_t SegmentOf(int32_t n) { return static_cast<uint8_t>(n / 2); }
uint8_t OffsetOf(int32_t n) { return static_cast<uint8_t>((n % 2) * kBlockBytes); }

}  // namespace

TCTSMainForm::EdidState TCTSMainForm::EdidStateOf(LinkResult result) {
    if (result == LINK_OK) return kEdidDone;
    return result == LINK_REFUSED ? kEdidRefused : kEdidFailed;
}

void TCTSMainForm::OnEdidEditorEvent(void* owner, uint32_t code, uint32_t number, const char16_t* text) {
    auto* form = static_cast<TCTSMainForm*>(owner);
    if (!form) return;
    switch (code & 0x700u) {
        case EC_HOST_MESSAGE:
            // Only file errors are shown here; the editor lists the codecs'
            // errors, warnings and information in its own log.
            if (number >= EC_MSG_FILE_ERROR && text) {
                platform::ShowMessageBox(QString::fromUtf16(text).toStdString(), form->windowTitle().toStdString(),
                                         platform::MsgIcon::None, platform::MsgButtons::Ok, form);
            }
            break;
        case EC_HOST_WRITE_EDID:
            form->RequestEdidTransfer(true, number);
            break;
        case EC_HOST_READ_EDID:
            form->RequestEdidTransfer(false, 0);
            break;
        default:
            break;
    }
}

void TCTSMainForm::RequestEdidTransfer(bool write, uint32_t blockCount) {
    // One transfer at a time, its box included. Without a link nothing
    // happens, nor while the connection sequence holds it (the pages are not
    // open yet).
    if (EdidTransferActive() || !link_ || !edid_ || windowRequest_ == WindowRequest::Connection) return;
    edidActive_ = true;
    // Known from here: a transfer ended before it started says which it was.
    edidWriting_ = write;
    // The library called from inside its button handler: the transfer
    // starts once that has returned.
    platform::PostToGuiThread(edidEpoch_.Guard([this, write, blockCount] {
        if (write) WriteEdid(blockCount);
        else BeginEdidTransfer(false, 0);
    }));
}

void TCTSMainForm::AddEdidStatusLine(const QString& line) {
    LB_StatusLines->AddLine(line);
    LB_StatusLines->scrollToBottom();
}

void TCTSMainForm::WriteEdid(uint32_t blockCount) {
    const std::string title = windowTitle().toStdString();
    if (blockCount == 0) {
        edidActive_ = false;
        platform::ShowMessageBox("No EDID data to write.", title, platform::MsgIcon::Error, platform::MsgButtons::Ok,
                                 this);
        return;
    }
    const auto answer = platform::ShowMessageBox(
        "This operation will over-write the E-EDID in the attached SINK device.\r\nThe existing data will be "
        "lost.\r\n\r\nWrite E-EDID?",
        title, platform::MsgIcon::Question, platform::MsgButtons::YesNo, this);
    // The link may have gone while the question was up: that ended the
    // transfer already.
    if (!edidActive_) return;
    if (answer != platform::MsgResult::Yes || !link_) {
        edidActive_ = false;
        return;
    }
    // The image written is the one confirmed: every block is copied now. A
    // block the library cannot give fails the write before anything is sent.
    std::vector<EdidBlock> blocks(blockCount);
    for (uint32_t n = 0; n < blockCount; ++n) {
        if (ECGetBlock(edid_, static_cast<int32_t>(n), blocks[n].data(), kBlockBytes) != kBlockBytes)
            return EndEdidTransfer(kEdidFailed);
    }
    edidBlocks_ = std::move(blocks);
    BeginEdidTransfer(true, blockCount);
}

// Takes the link (or waits for it) and sends the first block. A write knows
// its blocks; a read learns its last block from block 0's extension count.
void TCTSMainForm::BeginEdidTransfer(bool write, uint32_t blockCount) {
    switch (TakeLinkOrWait(WindowRequest::EdidTransfer,
                           edidEpoch_.Guard([this, write, blockCount] { BeginEdidTransfer(write, blockCount); }))) {
        case LinkTaken::Now:
            break;
        case LinkTaken::Waiting:
            return;
        case LinkTaken::Refused:
            // The link is kept for longer work (a run's start waits for it):
            // the transfer fails as a busy link does.
            return EndEdidTransfer(kEdidFailed);
    }
    // A write's blocks were copied at its confirmation; a read collects its own.
    if (!write) edidBlocks_.clear();
    edidBlock_ = 0;
    edidLastBlock_ = write ? static_cast<int32_t>(blockCount) - 1 : 0;
    BlockInputForEdidTransfer(true);
    SendEdidBlock();
}

bool TCTSMainForm::EdidWriteHoldsClose() const {
    // A write's blocks are copied at its confirmation and kept until its end.
    return edidActive_ && edidWriting_ && !edidBlocks_.empty();
}

void TCTSMainForm::BlockInputForEdidTransfer(bool block) {
    // Not the main window itself: disabling it would disable every window
    // it owns, the boxes and dialogs of the operator's own actions included.
    centralWidget()->setEnabled(!block);
    menuBar()->setEnabled(!block);
}

void TCTSMainForm::SendEdidBlock() {
    const int32_t n = edidBlock_;
    // Dropped once the transfer has ended: a late reply then neither reaches
    // the buffer nor continues the chain.
    const platform::Epoch::Ticket ticket = edidEpoch_.Stamp();
    if (edidWriting_) {
        AddEdidStatusLine(QStringLiteral("> Write E-EDID Block #%1").arg(n));
        link_->WriteEdidBlock(edidBlocks_[static_cast<size_t>(n)].data(), SegmentOf(n), OffsetOf(n),
                              MV_Comm::Completion(ticket, [this](LinkResult result) { OnEdidBlockWritten(result); }));
    } else {
        AddEdidStatusLine(QStringLiteral("> Read E-EDID Block #%1").arg(n));
        link_->ReadEdidBlock(edidBuffer_.data(), SegmentOf(n), kBlockBytes, OffsetOf(n),
                             MV_Comm::Completion(ticket, [this](LinkResult result) { OnEdidBlockRead(result); }));
    }
}

void TCTSMainForm::OnEdidBlockWritten(LinkResult result) {
    const EdidState state = EdidStateOf(result);
    if (state != kEdidDone || edidBlock_ == edidLastBlock_) return EndEdidTransfer(state);
    ++edidBlock_;
    SendEdidBlock();
}

void TCTSMainForm::OnEdidBlockRead(LinkResult result) {
    const EdidState state = EdidStateOf(result);
    if (state != kEdidDone) return EndEdidTransfer(state);
    edidBlocks_.push_back(edidBuffer_);
    if (edidBlock_ == 0) {
        edidLastBlock_ = edidBuffer_[kExtensionCountByte];
        AddEdidStatusLine(QStringLiteral("> Read E-EDID Block #0 -%1").arg(edidLastBlock_));
    }
    if (edidBlock_ == edidLastBlock_) return EndEdidTransfer(kEdidDone);
    ++edidBlock_;
    SendEdidBlock();
}

void TCTSMainForm::EndEdidTransfer(EdidState state) {
    if (!edidActive_) return;
    // Whatever of this transfer is still on its way does nothing now.
    edidEpoch_.Advance();
    ReleaseLink(WindowRequest::EdidTransfer);
    BlockInputForEdidTransfer(false);

    std::string text;
    platform::MsgIcon icon = platform::MsgIcon::Error;
    if (state == kEdidRefused) {
        text = "Request refused";
    } else if (state == kEdidFailed) {
        text = edidWriting_ ? "Write failed" : "Read failed";
    } else if (edidWriting_) {
        text = "Completed succesfully";
        icon = platform::MsgIcon::Information;
    } else {
        ECClearBlocks(edid_);
        for (size_t i = 0; i < edidBlocks_.size(); ++i) {
            if (ECAddBlock(edid_, edidBlocks_[i].data(), kBlockBytes) < 0) {
                text = "EDID block #" + std::to_string(i) + " was refused by the EDID library.";
                break;
            }
        }
    }
    edidBlocks_.clear();
    edidActive_ = false;
    if (text.empty()) return;
    // The box in a turn of its own: the link's worker is not held by it, and
    // a link being freed is gone before it shows.
    edidReporting_ = true;
    platform::PostToGuiThread(edidEpoch_.Guard([this, text, icon] {
        platform::ShowMessageBox(text, windowTitle().toStdString(), icon, platform::MsgButtons::Ok, this);
        edidReporting_ = false;
    }));
}
