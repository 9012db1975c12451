// Stored files under faults: settings saves killed at random moments or refused by a full disk,
// settings lines the parser skips, and catalogue files that are empty, binary, huge or unreadable
// when a disc loads. Whatever happens, the file is the old or the new version, nothing the user
// stored is lost, and the program goes on.
#include "tests/support/AppFixture.h"

#include "app/SettingsFile.h"
#include "catalogue/CatalogueEditor.h"
#include "catalogue/CatalogueFile.h"
#include "platform/Errors.h"
#include "player/PlayerState.h"
#include "ui/Form1.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <sys/mount.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QStringList entries(const QString &folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// A settings file as a person might have edited it: comments, a line without "=", a section
// header without "]", a key without a name and bytes of another encoding.
const QByteArray kEditedSettings =
    "; my settings\r\n[Tunewick]\r\nPos(X)=120\r\nremember to check this\r\n[broken\r\n=orphan\r\n"
    "\x83\x65\x83\x58\x83\x67 note\r\n[LCD]\r\nVisible=1\r\n# the end\r\n";

TEST(SettingsFaults, SaveKeepsLinesTheParserSkips) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ROTOR.INI"));
    writeAll(path, kEditedSettings);
    SettingsFile file(path);
    file.WriteNumber("Tunewick", "Pos(Y)", 7);
    file.WriteNumber("Select", "Pos(X)", 3);
    const QByteArray saved = readAll(path);
    for (const QByteArray &line : kEditedSettings.split('\n')) {
        const QByteArray kept = line.trimmed();
        if (kept.isEmpty()) continue;
        EXPECT_TRUE(saved.contains(kept)) << kept.constData() << "\nis gone from\n" << saved.constData();
    }
    EXPECT_FALSE(saved.contains("tunewick-kept")) << saved.constData();
    EXPECT_EQ(file.ReadNumber("Tunewick", "Pos(X)", 0), 120);
    EXPECT_EQ(file.ReadNumber("Tunewick", "Pos(Y)", 0), 7);
    EXPECT_TRUE(file.ReadFlag("LCD", "Visible", false));
    EXPECT_EQ(file.ReadText("Tunewick", "remember to check this", "none"), "none");
}

// A writer killed at any moment leaves the file as it was before one of its saves or after it,
// never a mix; no save removes a file beside it (the user's own, even named as a save's leftover
// would be), and the next save adds none.
TEST(SettingsFaults, KilledWriterLeavesOldOrNewFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ROTOR.INI"));
    const int bytes = 4000;
    writeAll(path, kEditedSettings);
    const QStringList neighbours = {QStringLiteral("ROTOR.INI.backup"), QStringLiteral("ROTOR.INI.x7Rq2z")};
    for (const QString &name : neighbours) writeAll(dir.filePath(name), "mine");
    QByteArray versions[3] = {kEditedSettings};
    for (int i = 1; i <= 2; ++i) {
        const QString copy = dir.filePath(QStringLiteral("copy%1/ROTOR.INI").arg(i));
        writeAll(copy, kEditedSettings);
        SettingsFile(copy).WriteText("Tunewick", "Title", std::string(bytes, i == 1 ? 'A' : 'B'));
        versions[i] = readAll(copy);
    }
    QRandomGenerator random(20240612);
    int leftovers = 0;
    for (int round = 0; round < 200; ++round) {
        QProcess writer;
        writer.start(QStringLiteral(SETTINGS_WRITER), {path, QString::number(bytes)});
        ASSERT_TRUE(writer.waitForStarted());
        QThread::usleep(random.bounded(1000, 20000));
        ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
        writer.waitForFinished();
        const QByteArray content = readAll(path);
        ASSERT_TRUE(content == versions[0] || content == versions[1] || content == versions[2])
            << "round " << round << ": " << content.size() << " bytes";
        for (const QString &name : neighbours)
            ASSERT_EQ(readAll(dir.filePath(name)), "mine") << "round " << round << ": a save removed " << name.toStdString();
        leftovers = std::max(leftovers, static_cast<int>(entries(dir.path()).size() - neighbours.size()) - 1);
    }
    std::printf("files left beside the settings by killed writers (at most, before the next save): %d\n", leftovers);
    const QStringList before = entries(dir.path());
    SettingsFile(path).WriteNumber("Tunewick", "Pos(X)", 1);
    EXPECT_EQ(entries(dir.path()), before) << "a save added or removed a file beside the settings";
}

// A small save onto a disk with no room left: the data fits the file's buffer, so only flushing it
// fails. The save must be refused and the old file kept; this once replaced the file with an empty
// one and reported success.
TEST(FullDisk, SmallSavesAreRefusedAndTheOldFilesKept) {
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    if (::geteuid() != 0 || ::mount("tunewick", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    struct Unmount {
        QByteArray point;
        ~Unmount() { ::umount(point.constData()); }
    } unmount{mountPoint};
    const QString settingsPath = dir.filePath(QStringLiteral("ROTOR.INI"));
    const QString cataloguePath = dir.filePath(QStringLiteral("1.CDL"));
    writeAll(settingsPath, kEditedSettings);
    catalogue::writeFile(cataloguePath, {"old title", "old track"});
    const QByteArray catalogueBefore = readAll(cataloguePath);
    {
        QFile filler(dir.filePath(QStringLiteral("filler")));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(1024, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    EXPECT_THROW(SettingsFile(settingsPath).WriteText("Tunewick", "Title", "new"), EIniFileException);
    EXPECT_THROW(catalogue::writeFile(cataloguePath, {"new title", "new track"}), EInOutError);
    EXPECT_EQ(readAll(settingsPath), kEditedSettings);
    EXPECT_EQ(readAll(cataloguePath), catalogueBefore);
    EXPECT_EQ(entries(dir.path()),
              (QStringList{QStringLiteral("1.CDL"), QStringLiteral("ROTOR.INI"), QStringLiteral("filler")}));
}

// --- catalogue files that a disc finds when it loads ---

class HostileCatalogue : public AppFixture {
protected:
    // Starts the program with the disc in and the catalogue file at `path` given by `make`.
    QString startWith(const std::function<void(const QString &path)> &make) {
        insert(platform::SimulatedDisc::ofSeconds({100, 200, 300}));
        startApp();
        const QString path =
            QDir(catalogueFolder()).filePath(catalogue::fileNameForLength(Form1->MediaPlayer1->Length()));
        QDir().mkpath(catalogueFolder());
        make(path);
        tick(2);
        return path;
    }
};

TEST_F(HostileCatalogue, EmptyFileLoadsAsNoTitles) {
    const QString path = startWith([](const QString &p) { writeAll(p, {}); });
    EXPECT_EQ(TrackCount, 3);
    EXPECT_EQ(modalCount, 0) << "an existing file must not ask to register the disc";
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(readAll(path), QByteArray());
}

// Every byte value in titles: loading and saving unchanged in the editor writes back the same bytes
// of the title and the three tracks; the lines past the last track are dropped.
TEST_F(HostileCatalogue, BinaryTitlesSurviveASaveFromTheEditor) {
    QByteArray content;
    for (int line = 0; line < 6; ++line) {
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>((b + line * 37) % 256);
            content.append(byte == '\r' ? 'r' : byte == '\x1A' ? 'z' : byte);
        }
        content.append("\r\n");
    }
    const QString path = startWith([&](const QString &p) { writeAll(p, content); });
    EXPECT_EQ(TrackCount, 3);
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(readAll(path), content) << "loading changed the file";
    CD_Database->FormActivate(CD_Database);
    CD_Database->BitBtn2Click(CD_Database);
    EXPECT_EQ(readAll(path), content.left(4 * 258)) << "a save without edits changed the disc's lines";
}

TEST_F(HostileCatalogue, HugeFileLoadsWithoutHarm) {
    const QString path = startWith([](const QString &p) {
        QFile file(p);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Big disc\r\none\r\ntwo\r\nthree\r\n");
        const QByteArray block(1024 * 1024, 'x');
        for (int i = 0; i < 100; ++i) file.write(block);  // 100 MB in one last line
    });
    EXPECT_EQ(TrackCount, 3);
    EXPECT_EQ(CD_Database->SG1->Cells(1, 3), "three");
    EXPECT_LE(errors.size(), 1u);
    EXPECT_GT(QFileInfo(path).size(), 100 * 1024 * 1024);
}

TEST_F(HostileCatalogue, UnreadableFileGivesAClearMessageAndIsNotReplaced) {
    // A folder in the file's place can be read by no one, root included.
    const QString path = startWith([](const QString &p) { QDir().mkpath(p + QStringLiteral("/inside")); });
    ASSERT_FALSE(errors.empty()) << "an unreadable catalogue file was taken as no titles";
    EXPECT_NE(errors.front().find(".CDL"), std::string::npos) << errors.front();
    EXPECT_TRUE(QFileInfo(path).isDir());
    tick(4);
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpStopped);
}

}  // namespace
