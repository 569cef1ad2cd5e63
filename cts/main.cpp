// Vardeko, the compliance-test application: one instance per user.
//
// The first instance holds an flock on the lock file CTS_GUI_MEROVAN080509 in
// the folder of the message name of the same name. A second instance finds
// the lock held, broadcasts the message and exits 0 without an endpoint of
// its own; the first instance, once its main window exists, serves an
// endpoint of that name and restores and raises its window on the message.
#include <QApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "cts/TCTSMainForm.h"
#include "link/E_GenericError.h"
#include "platform/MessageEndpoint.h"
#include "platform/gui/QtPlatform.h"

namespace {

// The title of the boxes of the application's exception display.
constexpr const char* kProgramTitle = "Merovan Vardeko";  // the main window's caption

// The message of the system's own exception class.
std::optional<std::string> GenericErrorText(const std::exception_ptr& exception) {
    try {
        std::rethrow_exception(exception);
    } catch (const E_GenericError& e) {
        return e.Message;
    } catch (...) {
        return std::nullopt;
    }
}

enum class Instance { First, Second };

// Takes the single-instance lock without waiting. Only a lock held by
// another process makes this a second instance; any other failure counts
// as a first instance. The descriptor stays open (the lock held) for the
// program's life.
Instance TakeInstanceLock(int& fd) {
    fd = -1;
    const std::string name = TCTSMainForm::kInstanceName;
    if (!platform::RegisterMessageName(name)) return Instance::First;
    const std::string path = platform::MessageNameFolder(name) + "/" + name;
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return Instance::First;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return Instance::First;
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    fd = -1;
    return held ? Instance::Second : Instance::First;
}

}  // namespace

int main(int argc, char** argv) {
    int lockFd = -1;
    if (TakeInstanceLock(lockFd) == Instance::Second) {
        platform::PostEndpointMessage(TCTSMainForm::kInstanceName, platform::kBroadcastId, 0, 0);
        return 0;
    }

    // An exception that leaves a handler is shown and the program goes on;
    // one that leaves the creation of the windows is shown and ends it.
    platform::GuiApplication app(argc, argv, kProgramTitle);
    platform::InstallQtPlatform();
    app.SetOwnExceptionText(GenericErrorText);

    int exitCode = 0;
    std::exception_ptr failed;
    try {
        TCTSMainForm mainForm;
        mainForm.FormCreate(QCoreApplication::arguments());
        TCTSMainForm::Dialogs dialogs;
        const auto ownedDialogs = TCTSMainForm::CreateDialogs(dialogs);
        mainForm.SetDialogs(dialogs);

        // The endpoint that the single-instance message reaches.
        std::unique_ptr<platform::MessageEndpoint> endpoint =
            platform::MessageEndpoint::Create(TCTSMainForm::kInstanceName, static_cast<uint32_t>(::getpid()));
        std::unique_ptr<QSocketNotifier> notifier;
        if (endpoint) {
            notifier = std::make_unique<QSocketNotifier>(endpoint->Fd(), QSocketNotifier::Read);
            QObject::connect(notifier.get(), &QSocketNotifier::activated, &mainForm, [&] {
                while (endpoint->Receive(0)) mainForm.OnInstanceMessage();
            });
        }

        mainForm.show();
        exitCode = app.exec();
        notifier.reset();
    } catch (...) {
        failed = std::current_exception();
    }
    if (failed) {
        app.ShowException(failed);
        exitCode = 0;
    }
    if (lockFd >= 0) ::close(lockFd);
    return exitCode == 0 ? 0 : exitCode;
}
