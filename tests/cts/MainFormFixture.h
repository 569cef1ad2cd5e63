#pragma once
// The main window against the simulated instrument on a pseudo-terminal:
// settings in a temporary config folder (the registry-backed ini file), the
// window built, created with the given arguments and shown offscreen.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "cts/TCTSMainForm.h"
#include "platform/RegistryIniFile.h"
#include "sim/InstrumentSim.h"
#include "support/Probe.h"

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
    }

    void TearDown() override {
        form_.reset();
        sim_.Stop();
        if (hadConfig_) setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
        else unsetenv("XDG_CONFIG_HOME");
    }

    platform::RegistryIniFile Settings() const { return platform::RegistryIniFile(TCTSMainForm::kRegistryKey); }
    void StorePort(const std::string& port) {
        ASSERT_TRUE(Settings().WriteString(TCTSMainForm::kSection, "Vardeko_COM_Device", port));
    }

    // Builds, creates and shows the window (which starts the connection).
    TCTSMainForm* Open(const QStringList& arguments = {QStringLiteral("vardeko")}) {
        form_ = std::make_unique<TCTSMainForm>();
        form_->FormCreate(arguments);
        form_->show();
        return form_.get();
    }

    static bool WaitFor(const std::function<bool()>& condition, int timeoutMs = kDeadlineMs) {
        return QTest::qWaitFor(condition, timeoutMs);
    }

    bool WaitConnected() {
        return WaitFor([this] { return form_->TC_Pages->isVisible(); });
    }

    // Opens the window on the simulator and waits for the pages.
    TCTSMainForm* OpenConnected() {
        StorePort(sim_.SlavePath());
        TCTSMainForm* form = Open();
        EXPECT_TRUE(WaitConnected()) << form->LBL_NotConnectedHeadline->text().toStdString() << " / "
                                     << form->LB_NotConnected->text().toStdString();
        return form;
    }

    QTemporaryDir config_;
    sim::InstrumentSim sim_;
    std::unique_ptr<TCTSMainForm> form_;

private:
    std::string oldConfig_;
    bool hadConfig_ = false;
};

}  // namespace cts_test
