#pragma once
// Message boxes that really run their modal loop, for tests of what runs
// while a box is open (an interceptor answers at once and runs no loop).
// While alive, every ShowMessageBox shows a real QMessageBox; once it is up,
// the test's step runs inside the box's loop (from a timer, as any input
// would), and then the box is answered by a click on the answer's button.
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/gui/QtPlatform.h"

namespace test_support {

class ModalBoxes {
public:
    // Runs inside a box's loop; gets the box's text.
    using Step = std::function<void(const std::string& text)>;

    explicit ModalBoxes(platform::MsgResult answer = platform::MsgResult::Ok) : answer_(answer) {
        previous_ = platform::SetMessageBoxHandler([this](const platform::MessageBoxRequest& r) { return Show(r); });
    }
    ~ModalBoxes() { platform::SetMessageBoxHandler(previous_); }
    ModalBoxes(const ModalBoxes&) = delete;
    ModalBoxes& operator=(const ModalBoxes&) = delete;

    void WhileOpen(Step step) { step_ = std::move(step); }
    // The texts of the boxes shown, and of those answered, in order.
    const std::vector<std::string>& Texts() const { return texts_; }
    const std::vector<std::string>& Answered() const { return answered_; }

private:
    static QMessageBox::StandardButton ButtonOf(platform::MsgResult r) {
        switch (r) {
            case platform::MsgResult::Cancel:
                return QMessageBox::Cancel;
            case platform::MsgResult::Yes:
                return QMessageBox::Yes;
            case platform::MsgResult::No:
                return QMessageBox::No;
            case platform::MsgResult::Ok:
                break;
        }
        return QMessageBox::Ok;
    }

    platform::MsgResult Show(const platform::MessageBoxRequest& r) {
        texts_.push_back(r.text);
        const QString text = QString::fromStdString(r.text);
        // Looks for the box from the loop it runs (a timer does not fire
        // before exec() has shown it).
        auto* timer = new QTimer;
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, [this, timer, text, r] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || box->text() != text) return;
            timer->stop();
            timer->deleteLater();
            if (step_) step_(r.text);
            answered_.push_back(r.text);
            if (QAbstractButton* button = box->button(ButtonOf(answer_))) {
                button->click();
            } else {
                ADD_FAILURE() << "the box \"" << r.text << "\" has no button for the answer";
                box->reject();
            }
        });
        timer->start();
        return platform::ShowQtMessageBox(r);
    }

    platform::MsgResult answer_;
    Step step_;
    std::vector<std::string> texts_, answered_;
    platform::MessageBoxHandler previous_;
};

}  // namespace test_support
