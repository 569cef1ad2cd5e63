// Two vardeko processes of one user: the second finds the first, hands over
// with the broadcast and exits 0 without an endpoint of its own; the first,
// ended by Ctrl+C, leaves no endpoint behind, and a new start is a first
// instance again.
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>

#include "support/WaitFor.h"

namespace {

constexpr const char* kName = "CTS_GUI_MEROVAN080509";

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(runtime_.isValid());
        ASSERT_TRUE(config_.isValid());
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("XDG_RUNTIME_DIR", runtime_.path());
        env_.insert("XDG_CONFIG_HOME", config_.path());
        env_.insert("QT_QPA_PLATFORM", "offscreen");
    }

    void TearDown() override {
        for (QProcess* p : {&first_, &second_}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }

    void Start(QProcess& p) {
        p.setProcessEnvironment(env_);
        p.setProgram(QStringLiteral(VARDEKO_PROGRAM));
        p.start();
        ASSERT_TRUE(p.waitForStarted(5000));
    }

    // The endpoints of the single-instance name (8 hexadecimal digits each;
    // the lock file beside them is named after the name).
    QStringList Endpoints() const {
        QDir dir(runtime_.path() + "/dpsuite-messages/" + kName);
        QStringList out;
        for (const QString& f : dir.entryList(QDir::System | QDir::Files | QDir::Hidden))
            if (f != QLatin1String(kName)) out << f;
        return out;
    }

    QTemporaryDir runtime_, config_;
    QProcessEnvironment env_;
    QProcess first_, second_;
};

TEST_F(SingleInstance, SecondStartHandsOverAndExitsZero) {
    Start(first_);
    ASSERT_TRUE(test_support::WaitFor([&] { return Endpoints().size() == 1; }, 10000))
        << Endpoints().join(",").toStdString();
    const QStringList endpoint = Endpoints();

    Start(second_);
    ASSERT_TRUE(second_.waitForFinished(10000));
    EXPECT_EQ(second_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second_.exitCode(), 0);
    EXPECT_EQ(Endpoints(), endpoint);  // no endpoint of its own
    EXPECT_EQ(first_.state(), QProcess::Running);

    // Ctrl+C ends the first and takes its endpoint with it; with the first
    // gone the lock is free: the next start stays up.
    ASSERT_EQ(::kill(static_cast<pid_t>(first_.processId()), SIGINT), 0);
    ASSERT_TRUE(first_.waitForFinished(10000));
    EXPECT_EQ(first_.exitStatus(), QProcess::CrashExit) << "ended by the signal";
    EXPECT_TRUE(Endpoints().isEmpty()) << Endpoints().join(",").toStdString();
    Start(second_);
    ASSERT_TRUE(test_support::WaitFor(
        [&] {
            for (const QString& e : Endpoints())
                if (!endpoint.contains(e)) return true;
            return false;
        },
        10000))
        << Endpoints().join(",").toStdString();
    EXPECT_EQ(second_.state(), QProcess::Running);
}

}  // namespace
