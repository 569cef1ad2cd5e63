#pragma once
// The main window against the simulated instrument on a pseudo-terminal:
// settings in a temporary config folder (the registry-backed ini file, its
// port the simulator's), the window built with its dialogs, created with the
// given arguments and shown offscreen.
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "cts/TCTSMainForm.h"
#include "platform/RegistryIniFile.h"
#include "sim/InstrumentSim.h"
#include "support/Probe.h"
#include "support/WaitFor.h"

namespace cts_test {

constexpr int kDeadlineMs = 15000;

class MainFormFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(config_.isValid());
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old) oldConfig_ = old;
        hadConfig_ = old != nullptr;
        setenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit().constData(), 1);
        ASSERT_TRUE(sim_.Start());
        // The options dialog lists the simulator's pseudo-terminal, and the
        // window opens it unless a test says otherwise.
        setenv("EXTRA_SERIAL_PORTS", sim_.SlavePath().c_str(), 1);
        StorePort(sim_.SlavePath());
    }

    void TearDown() override {
        form_.reset();
        ownedDialogs_.clear();
        sim_.Stop();
        unsetenv("EXTRA_SERIAL_PORTS");
        if (hadConfig_) setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
        else unsetenv("XDG_CONFIG_HOME");
    }

    platform::RegistryIniFile Settings() const { return platform::RegistryIniFile(TCTSMainForm::kRegistryKey); }
    void StorePort(const std::string& port) {
        ASSERT_TRUE(Settings().WriteString(TCTSMainForm::kSection, "Vardeko_COM_Device", port));
    }
    void ForgetPort() { ASSERT_TRUE(Settings().DeleteKey(TCTSMainForm::kSection, "Vardeko_COM_Device")); }

    // Builds, creates and shows the window (which starts the connection).
    TCTSMainForm* Open(const QStringList& arguments = {QStringLiteral("vardeko")}) {
        form_ = std::make_unique<TCTSMainForm>();
        form_->FormCreate(arguments);
        if (ownedDialogs_.empty()) ownedDialogs_ = TCTSMainForm::CreateDialogs(dialogs_);
        form_->SetDialogs(dialogs_);
        form_->show();
        return form_.get();
    }

    // Answers the next modal dialog with `result` once it is up; records
    // which dialog it was.
    void AnswerNextDialog(int result, std::function<void(QDialog*)> before = {}) {
        answered_ = nullptr;
        auto* timer = new QTimer;
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, [this, timer, result, before] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            timer->stop();
            timer->deleteLater();
            answered_ = dialog;
            if (before) before(dialog);
            dialog->done(result);
        });
        timer->start();
    }
    QDialog* answered_ = nullptr;

    // The suite's one wait that serves events (support/WaitFor.h).
    static bool WaitFor(const std::function<bool()>& condition, int timeoutMs = test_support::kWaitDeadlineMs) {
        return test_support::WaitFor(condition, timeoutMs);
    }

    bool WaitConnected() {
        return WaitFor([this] { return form_->TC_Pages->isVisible(); });
    }

    // Opens the window on the simulator and waits for the pages.
    TCTSMainForm* OpenConnected() {
        TCTSMainForm* form = Open();
        EXPECT_TRUE(WaitConnected()) << form->LBL_NotConnectedHeadline->text().toStdString() << " / "
                                     << form->LB_NotConnected->text().toStdString();
        return form;
    }

    QTemporaryDir config_;
    sim::InstrumentSim sim_;
    std::unique_ptr<TCTSMainForm> form_;
    TCTSMainForm::Dialogs dialogs_;
    std::vector<std::unique_ptr<QWidget>> ownedDialogs_;

private:
    std::string oldConfig_;
    bool hadConfig_ = false;
};

}  // namespace cts_test
