#include "catalogue/CatalogueFile.h"
#include "platform/Errors.h"
#include "platform/TitleEncoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/mount.h>
#include <unistd.h>

using catalogue::joinLines;
using catalogue::readFile;
using catalogue::splitLines;
using catalogue::writeFile;
using Lines = std::vector<std::string>;

namespace {

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &data) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

QStringList folderEntries(const QString &folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// The names in `folder`, joined by blanks, for readable failures.
std::string entries(const QString &folder) {
    return folderEntries(folder).join(QLatin1Char(' ')).toStdString();
}

std::string bytes(const char *data, std::size_t size) {
    return std::string(data, size);
}

}  // namespace

// Which encoding a file gets and what a file gives back. Titles in memory are code page 932 bytes,
// or UTF-8 behind the mark when code page 932 cannot hold them (platform/TitleEncoding.h).
TEST(CatalogueEncodingTest, CodePage932UnlessATitleDoesNotFit) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string sjisDisc = "\x98\x61\x89\xB9\x87\x40";  // 和音① (① an NEC special character)
    const std::string sjisTrack = "\x8F\x98\x8B\xC8";            // 序曲
    const std::string oddBytes = "\xA0\xFD\x80";                  // bytes that decode to no character
    struct Case {
        const char *name;
        Lines titles;
        std::string content;
    } cases[] = {
        {"Japanese and odd bytes stay code page 932, byte for byte", {sjisDisc, sjisTrack, oddBytes, ""},
         sjisDisc + "\r\n" + sjisTrack + "\r\n" + oddBytes + "\r\n\r\n"},
        {"é and Hangul turn the whole file UTF-8", {titles::encode(QStringLiteral("Beyoncé")), sjisTrack, "ABC",
                                                     titles::encode(QStringLiteral("한국어"))},
         bom + "Beyoncé\r\n序曲\r\nABC\r\n한국어\r\n"},
        {"a UTF-8 title that fits goes back to code page 932", {titles::encode(QStringLiteral("和音①")) , bom + "x"},
         sjisDisc + "\r\nx\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(catalogue::contentOfTitles(c.titles), c.content);
    }
    const Lines read = catalogue::titlesOfContent(bom + "Beyoncé\r\n序曲\r\nABC\r\n\r\n\xFF\xFE\r\n\x1A");
    ASSERT_EQ(read.size(), 5u);
    EXPECT_EQ(titles::decode(read[0]), QStringLiteral("Beyoncé"));
    EXPECT_EQ(titles::decode(read[1]), QStringLiteral("序曲"));
    EXPECT_EQ(read[2], "ABC");
    EXPECT_EQ(read[3], "");
    EXPECT_EQ(read[4], bom + "\xFF\xFE") << "broken UTF-8 is kept as it is";
    EXPECT_EQ(catalogue::contentOfTitles(read), bom + "Beyoncé\r\n序曲\r\nABC\r\n\r\n\xFF\xFE\r\n");
    EXPECT_EQ(catalogue::titlesOfContent(sjisDisc + "\r\n"), Lines{sjisDisc});
}

// A file read, its disc title changed and saved, read again and saved untouched: the edited title
// and every untouched line read back as the same characters, and the second save changes no
// byte. A file is code page 932 only where decoding gives back exactly the characters (iconv
// gives look-alikes: ¥ as \, — as ―, 〜 as ～, − as －, ¢ £ ¬ full-width, ‖ as ∥); bytes that form
// no character survive the turn to UTF-8 and back, or the save is refused and the file kept.
TEST(CatalogueEncodingTest, SavesKeepUntouchedLinesAndLookAlikes) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string oddLine = "AB\x80" "CD \x82\xA0\xA0";  // 0x80 and the last 0xA0 form no character
    struct Case {
        std::string name;
        std::string before;
        QString discTitle;
        std::string after;  // empty: the save is refused
    };
    std::vector<Case> cases = {
        {"an untouched UTF-8 line of look-alikes keeps the file UTF-8", bom + "Beyoncé\r\n¥$ — Vultures 〜 Remix\r\n",
         QStringLiteral("Plain"), bom + "Plain\r\n¥$ — Vultures 〜 Remix\r\n"},
        {"odd bytes stay among the UTF-8", "Old\r\n" + oddLine + "\r\nend\x83\r\n", QStringLiteral("Beyoncé Old"),
         bom + "Beyoncé Old\r\nAB\x80" "CD \xE3\x81\x82\xA0\r\nend\x83\r\n"},
        {"and go back to code page 932 as they were", bom + "Beyoncé Old\r\nAB\x80" "CD \xE3\x81\x82\xA0\r\nend\x83\r\n",
         QStringLiteral("Old"), "Old\r\n" + oddLine + "\r\nend\x83\r\n"},
        {"a title whose code page 932 would begin with the mark stays UTF-8", bom + "Beyoncé\r\nx\r\n",
         QChar(0xDCEF) + QStringLiteral("ｻｿ"), bom + "\xEF\xEF\xBD\xBB\xEF\xBD\xBF\r\nx\r\n"},
        {"odd bytes that would join into 뀀 refuse the save", "Old\r\n\xEB\x80\x80\r\n", QStringLiteral("Beyoncé"), ""},
    };
    for (const QString &lookAlike : QStringLiteral("¥ — 〜 − ¢ £ ¬ ‖").split(QLatin1Char(' ')))
        cases.push_back({"typed " + lookAlike.toStdString(), "Disc\r\n\x8F\x98\x8B\xC8\r\n", lookAlike + QStringLiteral("1"),
                         bom + (lookAlike + QStringLiteral("1\r\n序曲\r\n")).toStdString()});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("1.CDL"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeAll(path, QByteArray::fromStdString(c.before));
        Lines titles = *readFile(path);
        titles[0] = titles::encode(c.discTitle);
        if (c.after.empty()) {
            try {
                writeFile(path, titles);
                ADD_FAILURE() << "saved";
            } catch (const EInOutError &error) {
                EXPECT_NE(std::string(error.what()).find("トラック 1 のタイトル"), std::string::npos) << error.what();
            }
            EXPECT_EQ(readAll(path).toStdString(), c.before);
            continue;
        }
        writeFile(path, titles);
        EXPECT_EQ(readAll(path).toStdString(), c.after);
        const Lines back = *readFile(path);
        ASSERT_EQ(back.size(), titles.size());
        for (std::size_t k = 0; k < titles.size(); ++k) EXPECT_EQ(titles::decode(back[k]), titles::decode(titles[k])) << k;
        writeFile(path, back);
        EXPECT_EQ(readAll(path).toStdString(), c.after);
    }
    // A mark inside a UTF-8 title, first or after a kept byte, is the character U+FEFF.
    const QChar feff(0xFEFF);
    EXPECT_EQ(titles::decode(bom + bom + "x\x80" + bom + "y"),
              QString(feff) + QLatin1Char('x') + QChar(0xDC80) + feff + QLatin1Char('y'));
}

TEST(CatalogueEncodingTest, TitlesInAnyScriptAreWrittenAndReadBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("1234.CDL"));
    const Lines lines = {titles::encode(QStringLiteral("Sigur Rós")), titles::encode(QStringLiteral("Café")),
                         titles::encode(QStringLiteral("아리랑")), titles::encode(QStringLiteral("夜明け"))};
    writeFile(path, lines);
    EXPECT_TRUE(readAll(path).startsWith("\xEF\xBB\xBFSigur R\xC3\xB3s\r\n"));
    const auto back = readFile(path);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), lines.size());
    for (std::size_t k = 0; k < lines.size(); ++k) EXPECT_EQ(titles::decode((*back)[k]), titles::decode(lines[k])) << k;
}

TEST(CatalogueLinesTest, SplitsByTheReadingRules) {
    struct Case {
        const char *name;
        std::string content;
        Lines expected;
    };
    const std::string longLine(1024 * 1024, 'x');
    const Case cases[] = {
        {"empty file", "", {}},
        {"CR LF", "Title\r\nOne\r\nTwo\r\n", {"Title", "One", "Two"}},
        {"CR only", "Title\rOne\rTwo\r", {"Title", "One", "Two"}},
        {"LF only is one line", "Title\nOne\nTwo\n", {"Title\nOne\nTwo\n"}},
        {"one LF belongs to the CR", "A\r\n\nB\r\n", {"A", "\nB"}},
        {"empty lines", "\r\n\r\nC\r\n", {"", "", "C"}},
        {"last line without CR", "A\r\nB", {"A", "B"}},
        {"Ctrl-Z ends the file", "A\r\nB\x1A" "C\r\nD\r\n", {"A", "B"}},
        {"Ctrl-Z first", "\x1A" "A\r\n", {}},
        {"Ctrl-Z at a line start", "A\r\n\x1A", {"A"}},
        {"odd bytes kept", bytes("\x82\r\n\x00\xff\x81\x7f\r\n", 8), {"\x82", bytes("\x00\xff\x81\x7f", 4)}},
        {"CR CR", "A\r\r\n", {"A", ""}},
        {"1 MB line", longLine + "\r\nB\r\n", {longLine, "B"}},
    };
    for (const Case &c : cases) EXPECT_EQ(splitLines(c.content), c.expected) << c.name;
}

TEST(CatalogueLinesTest, JoinEndsEveryLineWithCrLf) {
    EXPECT_EQ(joinLines({}), "");
    EXPECT_EQ(joinLines({""}), "\r\n");
    EXPECT_EQ(joinLines({"Title", "", "\x83\x65"}), "Title\r\n\r\n\x83\x65\r\n");
}

TEST(CatalogueNamesTest, NameIsTheWholeLengthValueInDecimal) {
    EXPECT_EQ(catalogue::fileNameForLength(45 + 30 * 256 + 12 * 65536), QStringLiteral("794157.CDL"));
    EXPECT_EQ(catalogue::fileNameForLength(45 + 30 * 256 + 13 * 65536), QStringLiteral("859693.CDL"));
    EXPECT_EQ(catalogue::fileNameForLength(0), QStringLiteral("0.CDL"));
    EXPECT_EQ(catalogue::fileNameForLength(0xFFFFFFFFu), QStringLiteral("4294967295.CDL"));
    EXPECT_EQ(catalogue::catalogueFolder(), qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/cd-tunewick32"));
}

TEST(CatalogueFileTest, MissingFileIsNothingAndAFolderIsAnError) {
    QTemporaryDir dir;
    EXPECT_FALSE(readFile(dir.filePath(QStringLiteral("1.CDL"))).has_value());
    QDir(dir.path()).mkdir(QStringLiteral("2.CDL"));
    try {
        readFile(dir.filePath(QStringLiteral("2.CDL")));
        ADD_FAILURE() << "a folder read as a catalogue file";
    } catch (const EInOutError &error) {
        EXPECT_NE(std::string(error.what()).find("2.CDL"), std::string::npos) << error.what();
    }
}

TEST(CatalogueFileTest, WriteThenReadGivesTheSameBytes) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("new/folder/794157.CDL"));
    QRandomGenerator random(4711);
    for (int round = 0; round < 20; ++round) {
        Lines lines(random.bounded(1, 100));
        for (std::string &line : lines) {
            line.resize(random.bounded(0, 300));
            for (char &c : line) {
                do c = static_cast<char>(random.bounded(256));
                while (c == '\r' || c == '\x1A');
            }
            // A line that ends in LF would swallow nothing; one that starts with LF after a CR would.
            if (!line.empty() && line.front() == '\n') line.front() = 'x';
        }
        writeFile(path, lines);
        EXPECT_EQ(readAll(path).toStdString(), joinLines(lines));
        EXPECT_EQ(readFile(path), lines) << "round " << round;
    }
    EXPECT_EQ(entries(QFileInfo(path).absolutePath()), "794157.CDL");
}

TEST(CatalogueFileTest, WriteKeepsEveryOtherFileBesideIt) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("5000.CDL"));
    writeFile(path, {"old"});
    for (const char *name : {"5000.CDL.backup", "5000.CDL.x7Rq2z"}) writeAll(dir.filePath(QString::fromLatin1(name)), "mine");
    writeFile(path, {"new"});
    EXPECT_EQ(entries(dir.path()), "5000.CDL 5000.CDL.backup 5000.CDL.x7Rq2z");
}

TEST(CatalogueFileTest, WriteIntoAFileInsteadOfAFolderFails) {
    QTemporaryDir dir;
    writeAll(dir.filePath(QStringLiteral("blocker")), "old");
    EXPECT_THROW(writeFile(dir.filePath(QStringLiteral("blocker/1.CDL")), {"x"}), EInOutError);
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("blocker"))), "old");
    EXPECT_EQ(entries(dir.path()), "blocker");
}

TEST(CatalogueFileTest, FailedWriteInReadOnlyFolderKeepsTheOldFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "a read-only folder does not stop root";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("1.CDL"));
    writeFile(path, {"old title", "old track"});
    const QByteArray before = readAll(path);
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_THROW(writeFile(path, {"new"}), EInOutError);
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(readAll(path), before);
    EXPECT_EQ(entries(dir.path()), "1.CDL");
}

TEST(CatalogueFileTest, FullFileSystemKeepsTheOldFile) {
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    if (::geteuid() != 0 || ::mount("tunewick", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    struct Unmount {
        QByteArray point;
        ~Unmount() { ::umount(point.constData()); }
    } unmount{mountPoint};
    const QString path = dir.filePath(QStringLiteral("1.CDL"));
    writeFile(path, {"old title", "old track"});
    const QByteArray before = readAll(path);
    try {
        writeFile(path, Lines(200, std::string(1000, 'n')));
        ADD_FAILURE() << "a write beyond the free space was reported as done";
    } catch (const EInOutError &error) {
        EXPECT_NE(std::string(error.what()).find("1.CDL"), std::string::npos) << error.what();
        EXPECT_EQ(std::string(error.what()).find("Unknown error"), std::string::npos) << "the reason is lost";
    }
    EXPECT_EQ(readAll(path), before);
    EXPECT_EQ(entries(dir.path()), "1.CDL");
}

// A writer killed at any moment leaves either the old or the new file. Files left beside it (only a
// writer killed between linking its new file and the rename leaves one) are counted, not removed:
// the next write adds none.
TEST(CatalogueFileTest, KilledWriterLeavesOldOrNewContent) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("1.CDL"));
    const int lineCount = 50;
    const QByteArray contentA = QByteArray::fromStdString(joinLines(Lines(lineCount, std::string(40, 'A'))));
    const QByteArray contentB = QByteArray::fromStdString(joinLines(Lines(lineCount, std::string(40, 'B'))));
    writeFile(path, Lines(lineCount, std::string(40, 'A')));
    QRandomGenerator random(20240611);
    QStringList leftovers;
    for (int round = 0; round < 200; ++round) {
        QProcess writer;
        writer.start(QStringLiteral(FILES_TEST_HELPER),
                     {QStringLiteral("rewrite"), path, QString::number(lineCount)});
        ASSERT_TRUE(writer.waitForStarted());
        QThread::usleep(random.bounded(1000, 15000));
        ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
        writer.waitForFinished();
        const QByteArray content = readAll(path);
        ASSERT_TRUE(content == contentA || content == contentB) << "round " << round << ": " << content.size() << " bytes";
        for (const QString &name : folderEntries(dir.path()))
            if (name != QStringLiteral("1.CDL") && !leftovers.contains(name)) leftovers.append(name);
    }
    std::printf("files left beside the target by killed writers: %lld\n", static_cast<long long>(leftovers.size()));
    writeFile(path, {"final"});
    leftovers.append(QStringLiteral("1.CDL"));
    const QStringList after = folderEntries(dir.path());
    EXPECT_EQ(QSet<QString>(after.begin(), after.end()), QSet<QString>(leftovers.begin(), leftovers.end()));
    EXPECT_EQ(readAll(path), "final\r\n");
}
