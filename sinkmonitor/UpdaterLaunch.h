#pragma once
// The firmware-update launcher's rules, apart from its dialog: where the
// updater program lives, the arguments it is started with, what each of its
// notices shows, and what its exit code means.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace selvitra {

constexpr const char* kUpdaterFileName = "pallumo";
constexpr const char* kUpdaterMessagePrefix = "PALLUMO.";

// Texts of the launcher that depend on nothing but their inputs.
constexpr const char* kTextUpdaterEndedAbnormally = "Error: pallumo ended abnormally.";
constexpr const char* kTextUpdateSuccessful = "Update successful.\nPlease reset the device before continuing.";
constexpr const char* kTitleUpdateSuccessful = "Attention";

// The updater in the folder of the running program.
QString UpdaterPath(const QString& programFilePath);
// The message box shown when the updater is missing: its path + " not found.".
QString UpdaterNotFoundText(const QString& updaterPath);
// The error box text when the updater cannot be started (titled "Error").
QString UpdaterStartFailedText(int error);

// The name of the launcher's message endpoint: "PALLUMO." and the endpoint
// id as 8 upper-case hexadecimal digits.
QString UpdaterMessageName(uint32_t endpointId);
// The updater's arguments, as a list: "-m", the message name, the same 8
// digits, "-d", the device path, "-f", the firmware file name.
QStringList UpdaterArguments(uint32_t endpointId, const QString& devicePath, const QString& fileName);

// What one notice (kind, value) of the updater shows in the dialog.
struct UpdaterNoticeView {
    QString text;                      // a line for the list; empty: none
    bool showProgressBar = false;      // the update started: the progress bar becomes visible
    std::optional<uint32_t> progress;  // the progress bar's new position
};
UpdaterNoticeView DecodeUpdaterNotice(uint32_t kind, uint32_t value);

// The updater's exit code from its exit status: the low 8 bits read as a
// signed number, so 255 is -1, 246 is -10 and 245 is -11.
int UpdaterExitCode(int exitStatus);

// What the dialog shows once the updater has ended with `exitCode`: a line
// for the list (-11, -10), the "Attention" box (0), or nothing (any other
// code: the updater's notices have said what failed).
struct UpdaterExitView {
    QString text;            // a line for the list; empty: none
    bool attention = false;  // the warning box kTextUpdateSuccessful titled kTitleUpdateSuccessful
};
UpdaterExitView DecodeUpdaterExit(int exitCode);

}  // namespace selvitra
