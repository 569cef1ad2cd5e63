#include "sinkmonitor/UpdaterLaunch.h"

#include <QDir>
#include <QFileInfo>

// The updater's notice kinds and values.
#include "fwupdater/UpdaterNotice.h"

namespace selvitra {

namespace {

namespace notice = pallumo::notice;
// Kind 2 value 1 is never sent by the updater; its text is kept for it.
constexpr uint32_t kUpdateDeviceDetectionFailed = 1;

// Exit codes with a meaning of their own to the launcher.
constexpr int kExitSucceeded = 0;
constexpr int kExitOutOfResources = -10;
constexpr int kExitFailedToInitialize = -11;

QString Hex8(uint32_t value) { return QStringLiteral("%1").arg(value, 8, 16, QChar(u'0')).toUpper(); }

QString PortText(uint32_t value) {
    switch (value) {
        case notice::kPortFailed:
            return "Error: Invalid serial port.";
        case notice::kPortAccessDenied:
            return "Error: Port used by another application. Please close the other application and try again.";
        default:
            return {};
    }
}

QString FileText(uint32_t value) {
    switch (value) {
        case notice::kFileNotFound:
            return "Error: File not found.";
        case notice::kFileCannotOpen:
            return "Error: File cannot be opened.";
        case notice::kFileNoRecords:
            return "Error: File format is invalid. It's not a valid firmware file.";
        case notice::kFileCorrupted:
            return "Error: Corrupted file.";
        default:
            return {};
    }
}

QString UpdateText(uint32_t value) {
    switch (value) {
        case notice::kUpdateStarted:
            return "Update started.";
        case kUpdateDeviceDetectionFailed:
            return "Error: Device detection failed.";
        case notice::kUpdateFailed:
            return "Error: Update failed.";
        case notice::kUpdateSucceeded:
            return "Update was successful. Please reset the device.";
        default:
            return {};
    }
}

}  // namespace

QString UpdaterPath(const QString& programFilePath) {
    return QFileInfo(programFilePath).dir().filePath(kUpdaterFileName);
}

QString UpdaterNotFoundText(const QString& updaterPath) { return updaterPath + " not found."; }

QString UpdaterStartFailedText(int error) {
    return QStringLiteral("%1 couldn't be started (error %2)").arg(kUpdaterFileName).arg(error);
}

QString UpdaterMessageName(uint32_t endpointId) { return kUpdaterMessagePrefix + Hex8(endpointId); }

QStringList UpdaterArguments(uint32_t endpointId, const QString& devicePath, const QString& fileName) {
    return {"-m", UpdaterMessageName(endpointId), Hex8(endpointId), "-d", devicePath, "-f", fileName};
}

UpdaterNoticeView DecodeUpdaterNotice(uint32_t kind, uint32_t value) {
    UpdaterNoticeView view;
    switch (kind) {
        case notice::kPort:
            view.text = PortText(value);
            break;
        case notice::kFile:
            view.text = FileText(value);
            break;
        case notice::kUpdate:
            view.text = UpdateText(value);
            view.showProgressBar = value == notice::kUpdateStarted;
            break;
        case notice::kProgress:
            view.progress = value;
            break;
        default:
            break;
    }
    return view;
}

int UpdaterExitCode(int exitStatus) { return static_cast<int8_t>(exitStatus & 0xFF); }

UpdaterExitView DecodeUpdaterExit(int exitCode) {
    switch (exitCode) {
        case kExitFailedToInitialize:
            return {QStringLiteral("Error: %1 failed to initialize.").arg(kUpdaterFileName)};
        case kExitOutOfResources:
            return {"Error: Internal error. System out of resources."};
        case kExitSucceeded:
            return {{}, true};
        default:
            return {};
    }
}

}  // namespace selvitra
