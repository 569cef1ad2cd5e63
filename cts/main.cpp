// Vardeko, the compliance-test application: one instance per user.
//
// The first instance holds the named mutex CTS_GUI_MEROVAN080509 (a lock file
// in the folder of the message name of the same name). A second instance
// finds it held, broadcasts the message and exits 0 without an endpoint of
// its own; the first instance removes the endpoints of instances that were
// killed outright and, once its main window exists, serves an endpoint of
// that name and restores and raises its window on the message. Its end
// removes the endpoint, the lock file and the name's folder.
#include <QApplication>
#include <QSocketNotifier>

#include <unistd.h>

#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "cts/TCTSMainForm.h"
#include "link/E_GenericError.h"
#include "platform/MessageEndpoint.h"
#include "platform/NamedMutex.h"
#include "platform/gui/GuiApplication.h"
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

}  // namespace

int main(int argc, char** argv) {
    // Only a lock held by another process makes this a second instance; a
    // lock that cannot be taken at all counts as a first instance. The lock
    // is held for the program's life and outlives the endpoint.
    platform::NamedMutex::Outcome instance = platform::NamedMutex::Outcome::Failed;
    const std::unique_ptr<platform::NamedMutex> instanceLock =
        platform::NamedMutex::TryAcquire(TCTSMainForm::kInstanceName, instance);
    if (instance == platform::NamedMutex::Outcome::HeldElsewhere) {
        platform::PostEndpointMessage(TCTSMainForm::kInstanceName, platform::kBroadcastId, 0, 0);
        return 0;
    }
    platform::RemoveStaleEndpoints(TCTSMainForm::kInstanceName);

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
    return exitCode == 0 ? 0 : exitCode;
}
