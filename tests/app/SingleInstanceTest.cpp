#include "app/SingleInstance.h"

#include "app/SecondStart.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// The helper, as this user or as the unprivileged user 65534.
std::unique_ptr<QProcess> startHelper(const QStringList &arguments, bool asOtherUser = false) {
    auto process = std::make_unique<QProcess>();
    if (asOtherUser)
        process->start(QStringLiteral("setpriv"),
                       QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", FILES_TEST_HELPER} +
                           arguments);
    else
        process->start(QStringLiteral(FILES_TEST_HELPER), arguments);
    process->waitForStarted();
    return process;
}

// Waits for the helpers to end while this thread's event loop runs (the player's receiver lives
// on it); their exit codes.
std::vector<int> exitCodes(const std::vector<std::unique_ptr<QProcess>> &processes) {
    (void)QTest::qWaitFor(
        [&] {
            return std::all_of(processes.begin(), processes.end(),
                               [](const auto &p) { return p->state() == QProcess::NotRunning; });
        },
        30000);
    std::vector<int> codes;
    for (const auto &process : processes)
        codes.push_back(process->state() == QProcess::NotRunning &&
                                process->exitStatus() == QProcess::NormalExit
                            ? process->exitCode()
                            : -1);
    return codes;
}

int handOverFromHelper(const QString &name, const QString &path, bool asOtherUser = false) {
    std::vector<std::unique_ptr<QProcess>> one;
    one.push_back(startHelper({QStringLiteral("hand"), name, path}, asOtherUser));
    return exitCodes(one).front();
}

// A running player's receiver in this process, counting what it is handed.
struct Receiver {
    explicit Receiver(const QString &name, std::function<void()> onEach = {})
        : guard(SingleInstanceGuard::acquire(name)) {
        if (guard)
            receiveSecondStarts(
                guard->takeListeningDescriptor(),
                [this, onEach](const SecondStart &start) {
                    ++received[start.path];
                    if (onEach) onEach();
                },
                &owner);
    }
    std::unique_ptr<SingleInstanceGuard> guard;
    QObject owner;
    std::map<QString, int> received;
};

bool isRoot() {
    return ::getuid() == 0;
}

} // namespace

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
    EXPECT_NE(handOverFromHelper(name, QStringLiteral("/lost.cue")), 0)
        << "a dead holder's socket took a message";
    Receiver next(name);
    ASSERT_NE(next.guard, nullptr) << "the name outlived a killed holder";
    EXPECT_EQ(handOverFromHelper(name, QStringLiteral("/found.cue")), 0);
    EXPECT_EQ(next.received, (std::map<QString, int>{{"/found.cue", 1}}))
        << "the dead holder's socket was not replaced";
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

// Another user can neither hand the player a path (a path it hands reaches nothing; a socket that
// was left open to it by mistake does not listen to it) nor take the player's name first, and a
// second start never tells another user's socket anything.
TEST(HandOverSocket, OnlyTheSameUserIsHeardAndNobodyElseTakesTheName) {
    if (!isRoot()) GTEST_SKIP() << "acting as another user needs root";
    const QString name = uniqueName() + QStringLiteral("u");
    const QByteArray folder = guardFolder();
    ASSERT_EQ(folder, qgetenv("XDG_RUNTIME_DIR"));
    const QByteArray socket = guardSocketPath(folder, name);
    const QByteArray home = folder.left(folder.lastIndexOf('/')); // the test run's private folders
    ::chmod(home.constData(), 0711);

    // Another user's socket at the player's address before the player starts (the folder open to
    // everyone for that moment).
    ::chmod(folder.constData(), 0777);
    std::unique_ptr<QProcess> squatter =
        startHelper({QStringLiteral("squat"), QString::fromLocal8Bit(socket)}, true);
    squatter->waitForReadyRead(5000);
    ASSERT_EQ(squatter->readLine().trimmed(), "ready") << squatter->readAllStandardError().constData();
    ::chmod(folder.constData(), 0700);
    EXPECT_NE(handOverFromHelper(name, QStringLiteral("/mine.cue")), 0)
        << "told another user's socket a path";

    Receiver player(name);
    ASSERT_NE(player.guard, nullptr) << "another user's socket kept the player from starting";
    EXPECT_EQ(handOverFromHelper(name, QStringLiteral("/mine.cue")), 0);

    ::chmod(folder.constData(), 0711);
    ::chmod(socket.constData(), 0666);
    std::vector<std::unique_ptr<QProcess>> others;
    others.push_back(
        startHelper({QStringLiteral("send"), QString::fromLocal8Bit(socket), "open /theirs.cue\n"}, true));
    others.push_back(startHelper({QStringLiteral("hand"), name, QStringLiteral("/theirs-too.cue")}, true));
    EXPECT_EQ(exitCodes(others), (std::vector<int>{1, 1})) << "another user was answered";
    ::chmod(folder.constData(), 0700);
    EXPECT_EQ(player.received, (std::map<QString, int>{{"/mine.cue", 1}}));

    squatter->kill();
    squatter->waitForFinished();
    EXPECT_FALSE(squatter->readAllStandardOutput().contains("got")) << "the squatter was told a path";

    // A runtime folder that others may enter is not used.
    QTemporaryDir open;
    ::chmod(open.path().toLocal8Bit().constData(), 0777);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", open.path().toLocal8Bit());
    EXPECT_EQ(guardFolder(), "/tmp/cd-tunewick32-" + QByteArray::number(::getuid()));
    qputenv("XDG_RUNTIME_DIR", runtime);
    ::chmod(home.constData(), 0700);
}

// 20 second starts at the same moment (a file manager opening 20 files): each is taken by the
// player, or, when the player does not answer, ends with a non-zero status; none reports success for
// a path that never arrived.
TEST(HandOverSocket, TwentyStartsAtOnceAreEachTakenOrSaid) {
    const QString name = uniqueName() + QStringLiteral("t");
    // Paths as a file manager may hand them: blanks, Japanese, percent signs, a line break.
    const auto pathOf = [](int i) { return QStringLiteral("/music/a b/ア&%2F\n%1.cue").arg(i); };
    const auto startTwenty = [&] {
        std::vector<std::unique_ptr<QProcess>> starts;
        for (int i = 0; i < 20; ++i) starts.push_back(startHelper({QStringLiteral("hand"), name, pathOf(i)}));
        return exitCodes(starts);
    };
    {
        Receiver player(name);
        ASSERT_NE(player.guard, nullptr);
        EXPECT_EQ(startTwenty(), std::vector<int>(20, 0));
        std::map<QString, int> each;
        for (int i = 0; i < 20; ++i) each[pathOf(i)] = 1;
        EXPECT_EQ(player.received, each) << "each path arrives once, whole";
    }
    // A player that holds the name but never answers (hung, or stopped by a debugger).
    Holder silent(name);
    ASSERT_TRUE(silent.held());
    EXPECT_EQ(startTwenty(), std::vector<int>(20, 1)) << "a message that was never taken reported success";
}

// A flood of second starts while the first one's error box is shown: the others wait for the box
// to close and come one at a time, never a box inside a box; what cannot wait is said by its start.
TEST(HandOverSocket, AFloodWhileABoxIsShownNeverNestsBoxes) {
    const QString name = uniqueName() + QStringLiteral("f");
    std::vector<std::unique_ptr<QProcess>> flood;
    std::vector<int> codes;
    int depth = 0;
    int deepest = 0;
    Receiver player(name, [&] {
        deepest = std::max(deepest, ++depth);
        if (flood.empty()) { // the first one's box: its own loop runs while the flood comes
            for (int i = 0; i < 60; ++i)
                flood.push_back(startHelper(
                    {QStringLiteral("hand"), name,
                     i < 40 ? QStringLiteral("/flood%1.cue").arg(i) : QStringLiteral("/same.cue")}));
            codes = exitCodes(flood);
        }
        --depth;
    });
    ASSERT_NE(player.guard, nullptr);
    ASSERT_EQ(handOverFromHelper(name, QStringLiteral("/first.cue")), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !codes.empty() && depth == 0; }, 30000));
    ASSERT_EQ(codes.size(), 60u);

    EXPECT_EQ(deepest, 1) << "a box opened inside another";
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(player.received.count(QStringLiteral("/flood%1.cue").arg(i)), codes[i] == 0 ? 1u : 0u)
            << "start " << i << " ended " << codes[i];
    const bool sameTaken = std::any_of(codes.begin() + 40, codes.end(), [](int code) { return code == 0; });
    EXPECT_EQ(player.received[QStringLiteral("/same.cue")], sameTaken ? 1 : 0)
        << "the same path waiting 20 times";
    EXPECT_LE(player.received.size(), 1u + 34u) << "boxes for the user to click away";
}
