// The E-EDID transfer between the embedded EDID editor and the instrument.
// The editor's Write EDID and Read EDID buttons reach the window through the
// library's host callback, which returns at once: the transfer starts in a
// turn of the event loop of its own and runs as a chain of completions
// (cts/engine/EdidTransfer), one E-EDID request per block and one status
// line per block. The window asks for the write's confirmation, takes the
// link for the transfer (or waits for it), hands a read's blocks to the
// editor and shows the box. For the whole transfer the main window's own
// controls, its menus and the editor take no input (it is dropped) and the
// window keeps painting; the windows it owns stay usable, so that a box or
// dialog the operator's own action opens meanwhile (the report save of
// closing) works. A confirmed write holds the window's close back until it
// has ended, so that the instrument never keeps a part of the new image; a
// read does not. A write takes its blocks from the editor when the operator
// confirms it, so an editor changed while the write waits or runs changes
// nothing of what is written. A read hands its blocks to the editor only
// once every announced block has arrived, so after a failure the editor
// keeps its image.
#include <QLabel>
#include <QMenuBar>
#include <QString>

#include <string>
#include <utility>
#include <vector>

#include "cts/TCTSMainForm.h"
#include "platform/GuiCall.h"
#include "platform/MessageBox.h"
#include "platform/gui/MessageList.h"

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
    edidRequest_ = EdidRequest::Transfer;
    // A read is one from here (ended before it starts, it fails as a read);
    // a write once the operator has confirmed it.
    if (!write) edidTransfer_.Read();
    // The library called from inside its button handler: the transfer
    // starts once that has returned.
    platform::PostToGuiThread(edidEpoch_.Guard([this, write, blockCount] {
        if (write) WriteEdid(blockCount);
        else BeginEdidTransfer();
    }));
}

void TCTSMainForm::WriteEdid(uint32_t blockCount) {
    const std::string title = windowTitle().toStdString();
    if (blockCount == 0) {
        edidRequest_ = EdidRequest::None;
        platform::ShowMessageBox("No EDID data to write.", title, platform::MsgIcon::Error, platform::MsgButtons::Ok,
                                 this);
        return;
    }
    const auto answer = platform::ShowMessageBox(
        "This operation will over-write the E-EDID in the attached SINK device.\r\nThe existing data will be "
        "lost.\r\n\r\nWrite E-EDID?",
        title, platform::MsgIcon::Question, platform::MsgButtons::YesNo, this);
    // The link may have gone while the question was up: that ended the
    // write already.
    if (edidRequest_ != EdidRequest::Transfer) return;
    if (answer != platform::MsgResult::Yes || !link_) {
        edidRequest_ = EdidRequest::None;
        return;
    }
    // The image written is the one confirmed: every block is copied now. A
    // block the library cannot give fails the write before anything is sent.
    std::vector<EdidTransfer::Block> blocks(blockCount);
    for (uint32_t n = 0; n < blockCount; ++n) {
        if (ECGetBlock(edid_, static_cast<int32_t>(n), blocks[n].data(), EdidTransfer::kBlockBytes) !=
            EdidTransfer::kBlockBytes)
            return EndEdidTransfer(true, EdidTransfer::kFailed, {});
    }
    edidTransfer_.Write(std::move(blocks));
    BeginEdidTransfer();
}

// Takes the link (or waits for it) and starts the transfer.
void TCTSMainForm::BeginEdidTransfer() {
    switch (TakeLinkOrWait(WindowRequest::EdidTransfer, edidEpoch_.Guard([this] { BeginEdidTransfer(); }))) {
        case LinkTaken::Now:
            break;
        case LinkTaken::Waiting:
            return;
        case LinkTaken::Refused:
            // The link is kept for longer work (a run's start waits for it):
            // the transfer fails as a busy link does.
            return edidTransfer_.Fail();
    }
    BlockInputForEdidTransfer(true);
    edidTransfer_.Start(*link_);
}

void TCTSMainForm::FailEdidTransfer() {
    // A transfer waiting for its start or with a block out; before that, a
    // write whose question is up or still to come (a read is the
    // transfer's from the editor's request on).
    if (edidTransfer_.Active()) edidTransfer_.Fail();
    else if (edidRequest_ == EdidRequest::Transfer) EndEdidTransfer(true, EdidTransfer::kFailed, {});
}

bool TCTSMainForm::EdidWriteHoldsClose() const { return edidTransfer_.Writing(); }

void TCTSMainForm::BlockInputForEdidTransfer(bool block) {
    // Not the main window itself: disabling it would disable every window
    // it owns, the boxes and dialogs of the operator's own actions included.
    centralWidget()->setEnabled(!block);
    menuBar()->setEnabled(!block);
}

void TCTSMainForm::EdidView::StatusLine(const std::string& line) {
    form.LB_StatusLines->AddLine(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
    form.LB_StatusLines->scrollToBottom();
}

void TCTSMainForm::EdidView::Ended(bool write, EdidTransfer::State state, std::vector<EdidTransfer::Block> blocks) {
    form.EndEdidTransfer(write, state, std::move(blocks));
}

void TCTSMainForm::EndEdidTransfer(bool write, EdidTransfer::State state, std::vector<EdidTransfer::Block> blocks) {
    if (edidRequest_ != EdidRequest::Transfer) return;
    // The request's posts (its start, a start waiting for the link) do
    // nothing now.
    edidEpoch_.Advance();
    ReleaseLink(WindowRequest::EdidTransfer);
    BlockInputForEdidTransfer(false);

    std::string text;
    platform::MsgIcon icon = platform::MsgIcon::Error;
    if (state == EdidTransfer::kRefused) {
        text = "Request refused";
    } else if (state == EdidTransfer::kFailed) {
        text = write ? "Write failed" : "Read failed";
    } else if (write) {
        text = "Completed succesfully";
        icon = platform::MsgIcon::Information;
    } else {
        ECClearBlocks(edid_);
        for (size_t i = 0; i < blocks.size(); ++i) {
            if (ECAddBlock(edid_, blocks[i].data(), EdidTransfer::kBlockBytes) < 0) {
                text = "EDID block #" + std::to_string(i) + " was refused by the EDID library.";
                break;
            }
        }
    }
    if (text.empty()) {
        edidRequest_ = EdidRequest::None;
        return;
    }
    // The box in a turn of its own: the link's worker is not held by it, and
    // a link being freed is gone before it shows.
    edidRequest_ = EdidRequest::Box;
    platform::PostToGuiThread(edidEpoch_.Guard([this, text, icon] {
        platform::ShowMessageBox(text, windowTitle().toStdString(), icon, platform::MsgButtons::Ok, this);
        edidRequest_ = EdidRequest::None;
    }));
}
