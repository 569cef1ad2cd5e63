// Two vardeko processes of one user: the second finds the first, hands over
// with the broadcast and exits 0 without an endpoint of its own; the first,
// ended by Ctrl+C, leaves nothing in the runtime folder, and a new start is a
// first instance again. One killed outright leaves its lock file and socket,
// which the next start takes over and removes.
#include <QDir>
#include <QFile>
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
    QString NameFolder() const { return runtime_.path() + "/dpsuite-messages/" + kName; }

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
    EXPECT_FALSE(QDir(NameFolder()).exists()) << "endpoint, lock file and folder are gone";
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

TEST_F(SingleInstance, AStartAfterAKilledInstanceCleansUp) {
    Start(first_);
    ASSERT_TRUE(test_support::WaitFor([&] { return Endpoints().size() == 1; }, 10000))
        << Endpoints().join(",").toStdString();
    const QStringList killed = Endpoints();
    ASSERT_EQ(::kill(static_cast<pid_t>(first_.processId()), SIGKILL), 0);
    ASSERT_TRUE(first_.waitForFinished(10000));
    EXPECT_EQ(Endpoints(), killed) << "nothing of its own ran";
    EXPECT_TRUE(QFile::exists(NameFolder() + "/" + kName));

    // The next start holds the lock (it stays up), serves its own endpoint
    // and removes the dead one.
    Start(second_);
    const QString own = QStringLiteral("%1").arg(second_.processId(), 8, 16, QChar(u'0')).toUpper();
    ASSERT_TRUE(test_support::WaitFor([&] { return Endpoints() == QStringList{own}; }, 10000))
        << Endpoints().join(",").toStdString();
    EXPECT_EQ(second_.state(), QProcess::Running);
    ASSERT_EQ(::kill(static_cast<pid_t>(second_.processId()), SIGTERM), 0);
    ASSERT_TRUE(second_.waitForFinished(10000));
    EXPECT_FALSE(QDir(NameFolder()).exists());
}

}  // namespace
