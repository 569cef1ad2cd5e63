#pragma once
// The sink monitor's main window against the in-process simulated sink: the
// sim serves a pseudo-terminal that the port list shows (EXTRA_SERIAL_PORTS),
// the settings live in a folder of the test's own (XDG_CONFIG_HOME), and
// every message box is answered by the interceptor.
#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/MessageBoxInterceptor.h"
#include "platform/gui/Lamp.h"
#include "sim/SinkSim.h"
#include "sinkmonitor/GUIColorSchemeSettings.h"
#include "sinkmonitor/TProgressForm.h"
#include "sinkmonitor/TfrmMain.h"
#include "support/Probe.h"
#include "support/TextFile.h"
#include "support/WaitFor.h"

namespace selvitra_test {

namespace fs = std::filesystem;
using test_support::Probe;

class SelvitraTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.Start());
        config = fs::temp_directory_path() / ("selvitra-test-" + std::to_string(::getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(config);
        fs::create_directories(config);
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        SetPorts(sim.SlavePath());
    }
    void TearDown() override {
        progress.reset();
        window.reset();
        sim.Stop();
        ::unsetenv("EXTRA_SERIAL_PORTS");
        ::unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(config);
    }

    void SetPorts(const std::string& paths) { ::setenv("EXTRA_SERIAL_PORTS", paths.c_str(), 1); }
    fs::path SettingsFile() const { return config / "Merovan" / "Tessaly" / "Selvitra.ini"; }
    // Writes the settings file of the last session.
    void StoreSettings(const std::string& text) {
        fs::create_directories(SettingsFile().parent_path());
        ASSERT_TRUE(test_support::WriteFile(SettingsFile(), text));
    }
    std::string SettingsText() const { return test_support::ReadFile(SettingsFile()); }

    // Opens the window (with its progress window) as the program does.
    TfrmMain& Open(const QStringList& arguments = {}) {
        window = std::make_unique<TfrmMain>(arguments);
        progress = std::make_unique<TProgressForm>(window.get());
        window->SetProgressForm(progress.get());
        return *window;
    }
    // Opens the window connected to the sim: its port is the one stored.
    TfrmMain& OpenConnected(const QStringList& arguments = {}) {
        StoreSettings("[COM]\nPortName=" + sim.SlavePath() + "\n");
        Open(arguments);
        EXPECT_TRUE(window->Connected()) << Boxes();
        return *window;
    }

    template <typename T>
    T* Control(const char* name) {
        return Probe<T>(window.get(), name);
    }
    void Click(const char* name) { QTest::mouseClick(Control<QAbstractButton>(name), Qt::LeftButton); }
    QString Text(const char* name) { return Control<QLabel>(name)->text(); }
    platform::Lamp::State Lamp(const char* name) {
        const QColor c = Control<platform::Lamp>(name)->Color();
        for (auto s : {platform::Lamp::State::Off, platform::Lamp::State::On, platform::Lamp::State::Fault})
            if (platform::Lamp::ColorOf(s) == c) return s;
        ADD_FAILURE() << name << " shows no lamp state";
        return platform::Lamp::State::Off;
    }
    QStringList Messages() { return window->lbTextOut->AllLines().split(u'\n', Qt::SkipEmptyParts); }
    std::string Boxes() const {
        std::string all;
        for (const auto& t : boxes.Texts()) all += "[" + t + "] ";
        return all;
    }
    // The suite's one wait that serves events (support/WaitFor.h).
    static bool WaitFor(const std::function<bool()>& pred, int timeoutMs = test_support::kWaitDeadlineMs) {
        return test_support::WaitFor(pred, timeoutMs);
    }

    platform::MessageBoxInterceptor boxes;
    sim::SinkSim sim;
    fs::path config;
    std::unique_ptr<TfrmMain> window;
    std::unique_ptr<TProgressForm> progress;
};

}  // namespace selvitra_test
