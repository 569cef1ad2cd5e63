// The updater process: started without a console (standard input, output
// and error on the null device, no descriptor of this program inherited),
// and its end watched from the event loop through a process descriptor, so
// that the dialog serves its window and the updater's notices while it
// waits, without looking again and again.
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "sinkmonitor/TDPFirmwareUpdate.h"
#include "sinkmonitor/UpdaterLaunch.h"

namespace {

constexpr const char* kNullDevice = "/dev/null";
// Where no process descriptor can be had, the end is looked for this often.
constexpr int kEndPollMs = 50;

}  // namespace

bool TDPFirmwareUpdate::StartUpdater(const QString& devicePath, int& error) {
    std::vector<std::string> args{QFile::encodeName(updaterPath_).toStdString()};
    for (const QString& arg : selvitra::UpdaterArguments(endpointId_, devicePath, firmwareFile_))
        args.push_back(QFile::encodeName(arg).toStdString());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, kNullDevice, O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, kNullDevice, O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, kNullDevice, O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    // The updater starts with no signal blocked and every signal at its
    // default action, whatever this program has set.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    // Returns the error of the program's start itself (a missing or
    // unreadable file, one that is not a program) as its result.
    const int rc = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        error = rc;
        return false;
    }
    updaterPid_ = pid;
    return true;
}

void TDPFirmwareUpdate::WatchUpdater() {
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, updaterPid_, 0));
    if (fd >= 0) {
        // Readable once the process has ended.
        updaterEndFd_ = fd;
        updaterEndNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(updaterEndNotifier_, &QSocketNotifier::activated, this, [this] { OnUpdaterEnded(); });
        return;
    }
    updaterEndTimer_ = new QTimer(this);
    connect(updaterEndTimer_, &QTimer::timeout, this, [this] { OnUpdaterEnded(); });
    updaterEndTimer_->start(kEndPollMs);
}

void TDPFirmwareUpdate::OnUpdaterEnded() {
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(updaterPid_, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) return;  // still running
    // r < 0 (ECHILD): the process is gone but its status was taken elsewhere.
    const bool exited = r == updaterPid_ && WIFEXITED(status);

    updaterPid_ = -1;
    if (updaterEndNotifier_) {
        updaterEndNotifier_->setEnabled(false);
        updaterEndNotifier_->deleteLater();
        updaterEndNotifier_ = nullptr;
    }
    if (updaterEndFd_ >= 0) {
        ::close(updaterEndFd_);
        updaterEndFd_ = -1;
    }
    if (updaterEndTimer_) {
        updaterEndTimer_->stop();
        updaterEndTimer_->deleteLater();
        updaterEndTimer_ = nullptr;
    }

    // Every notice posted before the end is shown before the end itself.
    ReceiveNotices();
    SetRunningControls(false);

    if (!exited) {
        AddText(selvitra::kTextUpdaterEndedAbnormally);
        return;
    }
    const selvitra::UpdaterExitView view = selvitra::DecodeUpdaterExit(selvitra::UpdaterExitCode(WEXITSTATUS(status)));
    if (!view.text.isEmpty()) AddText(view.text);
    if (view.attention)
        platform::ShowMessageBox(selvitra::kTextUpdateSuccessful, selvitra::kTitleUpdateSuccessful,
                                 platform::MsgIcon::Warning, platform::MsgButtons::Ok, this);
}
