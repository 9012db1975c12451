#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

namespace {

// Starts a child that tries to take the guard `name` and keeps it until killed or until its input closes.
class Holder {
public:
    explicit Holder(const QString &name) {
        m_process.start(QStringLiteral(FILES_TEST_HELPER), {QStringLiteral("hold"), name});
        m_process.waitForStarted();
        m_process.waitForReadyRead();
        m_answer = m_process.readLine().trimmed();
    }
    ~Holder() {
        m_process.closeWriteChannel();
        m_process.waitForFinished();
    }
    bool held() const { return m_answer == "held"; }
    QByteArray answer() const { return m_answer; }
    void kill() {
        ::kill(static_cast<pid_t>(m_process.processId()), SIGKILL);
        m_process.waitForFinished();
    }

private:
    QProcess m_process;
    QByteArray m_answer;
};

QString uniqueName() {
    return QStringLiteral("TunewickTest%1").arg(QCoreApplication::applicationPid());
}

}  // namespace

TEST(SingleInstanceTest, SecondProcessCannotTakeTheGuardUntilTheHolderDies) {
    const QString name = uniqueName();
    Holder first(name);
    ASSERT_TRUE(first.held()) << first.answer().constData();
    EXPECT_EQ(SingleInstanceGuard::acquire(name), nullptr);
    {
        Holder second(name);
        EXPECT_EQ(second.answer(), "busy");
    }
    first.kill();
    EXPECT_NE(SingleInstanceGuard::acquire(name), nullptr) << "the name outlived a killed holder";
}

TEST(SingleInstanceTest, ReleasedGuardCanBeTakenAgain) {
    const QString name = uniqueName() + QStringLiteral("b");
    auto guard = SingleInstanceGuard::acquire(name);
    ASSERT_NE(guard, nullptr);
    EXPECT_EQ(SingleInstanceGuard::acquire(name), nullptr);
    EXPECT_EQ(Holder(name).answer(), "busy");
    EXPECT_NE(SingleInstanceGuard::acquire(uniqueName() + QStringLiteral("c")), nullptr) << "names are independent";
    guard.reset();
    EXPECT_EQ(Holder(name).answer(), "held");
}
