// Loading and saving E-EDID files (ECPrimary::LoadFile, ECPrimary::SaveFile).

#include "edid/ECPrimary.h"
#include "edid/ECFiles.h"
#include "edid/core/ECFormat.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <filesystem>
#include <new>
#include <string>

#include "platform/RegularFile.h"

namespace {
const char* const kTooManyBlocksBin = "Too many blocks - E-EDID Can contain a maximum of 255 blocks!";
const char* const kTooManyBlocksText = "More than 255 blocks.";
const char* const kUnknownExtension = "Unknown file extension - Trying as hex-dump";
const char* const kNoResources = "Unable to allocate loader resources";
const char* const kCannotSave = "Unable to create save file";
constexpr int kBlockBytes = 128;

// The file name as the system takes it.
std::filesystem::path LocalPath(const QString& fileName) { return QFile::encodeName(fileName).toStdString(); }
}  // namespace

void ECPrimary::LoadFile(const QString& fileName) {
    using namespace ec_files;
    auto error = [this](const QString& text) { FileMessage(EC_MSG_FILE_ERROR, text, text); };

    auto openFailed = [&] {
        FileMessage(EC_MSG_FILE_ERROR, QStringLiteral("Failed to open file '") + fileName + QStringLiteral("'."),
                    QStringLiteral("Failed to open file"));
    };
    // Only regular files: a FIFO or a device is refused without being opened
    // (it could block the open or never end).
    platform::RegularFile file(LocalPath(fileName));
    if (!file.IsOpen()) {
        openFailed();
        return;
    }
    const QString extension = LowerExtension(fileName);
    const bool binary = extension == QLatin1String(".bin");
    const int64_t limit = binary ? kMaxImageBytes : kMaxTextFileBytes;
    auto tooLarge = [&] { error(ECWiden(binary ? kTooManyBlocksBin : kNoResources)); };
    // Sizes are checked before anything is read into memory, and the reading
    // stops past the limit whatever the size said.
    if (file.Size() > static_cast<uint64_t>(limit)) {
        tooLarge();
        return;
    }
    std::string content;
    try {
        if (!file.ReadAll(content, static_cast<size_t>(limit))) {
            openFailed();
            return;
        }
    } catch (const std::bad_alloc&) {
        error(ECWiden(kNoResources));
        return;
    }
    if (static_cast<int64_t>(content.size()) > limit) {
        tooLarge();
        return;
    }
    const int64_t size = static_cast<int64_t>(content.size());

    HexDump image;
    if (binary) {
        image.bytes.assign(static_cast<size_t>(kMaxImageBytes) + 2, 0);
        std::copy(content.begin(), content.end(), image.bytes.begin());
        image.nibbles = 2 * size;
    } else {
        if (!extension.isEmpty() && extension != QLatin1String(".ecd"))
            FileMessage(EC_MSG_WARNING, ECWiden(kUnknownExtension), ECWiden(kUnknownExtension));
        image = ReadHexDump(content.data(), size);
        if (image.tooLong) error(ECWiden(kTooManyBlocksText));
    }
    const int64_t byteCount = image.nibbles / 2;
    if (image.nibbles % (2 * kBlockBytes) != 0) {
        error(ECFormatW("Error: Loaded %d bytes, but Loadsize must be a multiple of 128 bytes",
                        static_cast<int>(byteCount)));
        return;
    }

    ClearBlocks();
    QString leftOut;
    for (int64_t offset = 0; offset < byteCount; offset += kBlockBytes) {
        const uint8_t* block = image.bytes.data() + offset;
        if (AddBlock(block, kBlockBytes) >= 0) continue;
        bool allZero = true;
        for (int i = 0; i < kBlockBytes && allZero; ++i) allZero = block[i] == 0;
        if (allZero) continue;
        if (!leftOut.isEmpty()) leftOut += QStringLiteral(", ");
        leftOut += ECFormatW("%d (%.2Xh)", static_cast<int>(offset / kBlockBytes), block[0]);
    }
    if (!leftOut.isEmpty()) {
        const QString text = QStringLiteral("Blocks left out (not supported): ") + leftOut;
        FileMessage(EC_MSG_WARNING, text, text);
    }
}

void ECPrimary::SaveFile(const QString& fileName) {
    QByteArray content;
    if (ec_files::LowerExtension(fileName) == QLatin1String(".bin")) {
        for (int32_t i = 0; i < collection_->Count(); ++i) {
            uint8_t block[kBlockBytes];
            if (collection_->GetBlock(i)->GetBytes(block, kBlockBytes) == kBlockBytes)
                content.append(reinterpret_cast<const char*>(block), kBlockBytes);
        }
    } else {
        content = ec_files::WriteEcdText(*collection_);
    }
    // Only a regular file is replaced: a FIFO or a device of the name is
    // refused, never opened. The old file stays until the new one is
    // complete: QSaveFile writes a temporary file beside it and renames it
    // over the old one on commit.
    if (!platform::RegularFile::WhyNotRegular(LocalPath(fileName)).empty()) {
        FileMessage(EC_MSG_FILE_ERROR, ECWiden(kCannotSave), ECWiden(kCannotSave));
        return;
    }
    QSaveFile file(fileName);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok) ok = file.write(content) == content.size();
    // A write that fits the file's buffer reaches the disk only when the buffer
    // is flushed, and commit() would rename a file that the flush left short
    // (a full disk): flush first and fail the save when not everything is written.
    if (ok) ok = file.flush();
    if (ok) {
        ok = file.commit();
    } else {
        file.cancelWriting();
    }
    if (!ok) FileMessage(EC_MSG_FILE_ERROR, ECWiden(kCannotSave), ECWiden(kCannotSave));
}
