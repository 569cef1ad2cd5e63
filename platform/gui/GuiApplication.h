#pragma once
#include <QApplication>
#include <exception>
#include <functional>
#include <optional>
#include <string>

namespace platform {

// The application object of the suite's programs, with the application's
// exception display: an exception that leaves an event handler (a slot, a
// timer, a paint, a show, a post) is caught where Qt delivered the event,
// shown, and the event loop goes on. A program also shows with it what
// leaves the creation of its windows. It is the last resort: Qt's widget
// code is built without exception support, so the frames of Qt between the
// handler and notify() are left without their cleanups (a few bytes stay
// allocated); the program goes on in a usable state.
class GuiApplication : public QApplication {
public:
    // The text of an exception of the program's own classes; nothing for a
    // type it does not know (the display then says what a std::exception
    // says, and gives any other type an empty message).
    using OwnExceptionText = std::function<std::optional<std::string>(const std::exception_ptr&)>;

    // title: the title of the display's boxes, the program's title.
    GuiApplication(int& argc, char** argv, std::string title);

    void SetOwnExceptionText(OwnExceptionText text) { ownText_ = std::move(text); }

    // The display: an error box with the exception's message, titled with
    // the program's title and owned by the main window (both as the main
    // window named them with SetProgramWindow; before that, or after it has
    // gone, the title given here and no owner). An exception that
    // leaves a handler while such a box is shown goes to stderr instead of
    // a box of its own, so a handler that throws on every paint cannot stack
    // boxes without end.
    void ShowException(const std::exception_ptr& exception);
    // The message the display shows for the exception.
    std::string MessageOf(const std::exception_ptr& exception) const;

    bool notify(QObject* receiver, QEvent* event) override;

private:
    std::string title_;
    OwnExceptionText ownText_;
    bool showing_ = false;
};

}  // namespace platform
