// The E-EDID transfer between the embedded EDID editor and the instrument.
// The editor's Write EDID and Read EDID buttons reach the window through the
// library's host callback; the window then moves the image block by block
// with the link's E-EDID requests, one status line per block, and waits for
// each block's completion before the next. The main window is disabled for
// the whole transfer, so nothing can free the link while a block waits.
//
// Block n of the image travels as E-DDC segment n / 2 at offset
// (n mod 2) x 128: a segment addresses 256 bytes, two blocks.
#include <QLabel>
#include <QString>

#include <vector>

#include "cts/TCTSMainForm.h"
#include "platform/GuiCall.h"
#include "platform/MessageBox.h"
#include "platform/gui/MessageList.h"

namespace {

constexpr int32_t kBlockBytes = 128;
constexpr size_t kExtensionCountByte = 126;  // the base block's count of extension blocks

// Transfer states.
constexpr int32_t kWaiting = 0;
constexpr int32_t kDone = 1;
constexpr int32_t kRefused = 2;
constexpr int32_t kFailed = 3;

int32_t StateOf(LinkResult result) {
    if (result == LINK_OK) return kDone;
    return result == LINK_REFUSED ? kRefused : kFailed;
}

uint8_t SegmentOf(int32_t n) { return static_cast<uint8_t>(n / 2); }
uint8_t OffsetOf(int32_t n) { return static_cast<uint8_t>((n % 2) * kBlockBytes); }

}  // namespace

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
            form->WriteEdid(number);
            break;
        case EC_HOST_READ_EDID:
            form->ReadEdid();
            break;
        default:
            break;
    }
}

void TCTSMainForm::AddEdidStatusLine(const QString& line) {
    LB_StatusLines->AddLine(line);
    LB_StatusLines->scrollToBottom();
    // The window serves no events until the transfer ends: paint the line now.
    LB_StatusLines->repaint();
}

int32_t TCTSMainForm::TransferEdidBlock(bool write, int32_t n, const platform::Epoch::Ticket& link) {
    edidState_ = kWaiting;
    const auto done = [this](LinkResult result) { edidState_ = StateOf(result); };
    if (write) {
        link_->WriteEdidBlock(edidBuffer_.data(), SegmentOf(n), OffsetOf(n), done);
    } else {
        link_->ReadEdidBlock(edidBuffer_.data(), SegmentOf(n), kBlockBytes, OffsetOf(n), done);
    }
    // A freed link sends no completion; a new one knows nothing of this block.
    platform::ServeGuiCallsUntil(
        [this, &link] { return edidState_ != kWaiting || !link.Current(); });
    return edidState_ == kWaiting ? kFailed : edidState_;
}

void TCTSMainForm::WriteEdid(uint32_t blockCount) {
    if (!link_ || !edid_) return;
    const std::string title = windowTitle().toStdString();
    if (blockCount == 0) {
        platform::ShowMessageBox("No EDID data to write.", title, platform::MsgIcon::Error, platform::MsgButtons::Ok,
                                 this);
        return;
    }
    const auto answer = platform::ShowMessageBox(
        "This operation will over-write the E-EDID in the attached SINK device.\r\nThe existing data will be "
        "lost.\r\n\r\nWrite E-EDID?",
        title, platform::MsgIcon::Question, platform::MsgButtons::YesNo, this);
    if (answer != platform::MsgResult::Yes || !link_) return;

    setEnabled(false);
    const platform::Epoch::Ticket generation = linkEpoch_.Stamp();
    int32_t state = kDone;
    for (int32_t n = 0; n < static_cast<int32_t>(blockCount); ++n) {
        edidBuffer_.fill(0);
        ECGetBlock(edid_, n, edidBuffer_.data(), kBlockBytes);
        AddEdidStatusLine(QStringLiteral("> Write E-EDID Block #%1").arg(n));
        state = TransferEdidBlock(true, n, generation);
        if (state != kDone) break;
    }
    setEnabled(true);

    if (state == kDone) {
        platform::ShowMessageBox("Completed succesfully", title, platform::MsgIcon::Information,
                                 platform::MsgButtons::Ok, this);
    } else {
        platform::ShowMessageBox(state == kRefused ? "Request refused" : "Write failed", title,
                                 platform::MsgIcon::Error, platform::MsgButtons::Ok, this);
    }
}

void TCTSMainForm::ReadEdid() {
    if (!link_ || !edid_) return;
    setEnabled(false);
    const platform::Epoch::Ticket generation = linkEpoch_.Stamp();

    // The blocks are kept here until every announced block has arrived; the
    // editor keeps its image when any request fails.
    std::vector<std::array<uint8_t, kBlockBytes>> blocks;
    AddEdidStatusLine(QStringLiteral("> Read E-EDID Block #0"));
    int32_t state = TransferEdidBlock(false, 0, generation);
    if (state == kDone) {
        blocks.push_back(edidBuffer_);
        const int32_t extensions = edidBuffer_[kExtensionCountByte];
        AddEdidStatusLine(QStringLiteral("> Read E-EDID Block #0 -%1").arg(extensions));
        for (int32_t i = 1; i <= extensions && state == kDone; ++i) {
            AddEdidStatusLine(QStringLiteral("> Read E-EDID Block #%1").arg(i));
            state = TransferEdidBlock(false, i, generation);
            if (state == kDone) blocks.push_back(edidBuffer_);
        }
    }

    int32_t refusedBlock = -1;
    if (state == kDone) {
        ECClearBlocks(edid_);
        for (size_t i = 0; i < blocks.size(); ++i) {
            if (ECAddBlock(edid_, blocks[i].data(), kBlockBytes) < 0) {
                refusedBlock = static_cast<int32_t>(i);
                break;
            }
        }
    }
    setEnabled(true);

    const std::string title = windowTitle().toStdString();
    if (state == kRefused || state == kFailed) {
        platform::ShowMessageBox(state == kRefused ? "Request refused" : "Read failed", title, platform::MsgIcon::Error,
                                 platform::MsgButtons::Ok, this);
    } else if (refusedBlock >= 0) {
        platform::ShowMessageBox("EDID block #" + std::to_string(refusedBlock) + " was refused by the EDID library.",
                                 title, platform::MsgIcon::Error, platform::MsgButtons::Ok, this);
    }
}
