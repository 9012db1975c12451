#include "app/SettingsFile.h"
#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

// Each test works on its own file in the private settings folder.
class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_name = QStringLiteral("%1.INI").arg(QString::fromLatin1(info->name()));
        QFile::remove(SettingsFile(m_name).path());
    }
    SettingsFile settings() const { return SettingsFile(m_name); }
    QString m_name;
};

}  // namespace

TEST(SettingsNumberTest, ParsesTheStoredForms) {
    struct Case {
        const char *text;
        int expected;
    };
    const int d = 77;
    const Case cases[] = {
        {"0x64", 100}, {"0X64", 100}, {"$64", 100}, {"  $64", 100}, {"0xffffffff", -1}, {"0xFFFFFFFF", -1},
        {"0x80000000", INT32_MIN}, {"0x7FFFFFFF", INT32_MAX}, {"$FFFFFFFF", -1}, {"0x0", 0},
        {"2", 2}, {"0", 0}, {"-5", -5}, {"+5", 5}, {"   12", 12}, {"007", 7}, {"-0", 0},
        {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
        // Everything else gives the default.
        {"", d}, {"   ", d}, {"0x", d}, {"0X", d}, {"$", d}, {"12px", d}, {"yes", d}, {"-", d}, {"+", d},
        {"2147483648", d}, {"-2147483649", d}, {"99999999999999999999", d}, {"0x123456789", d},
        {"$123456789", d}, {"0x-1", d}, {"$-1", d}, {"-$1", d}, {"0xg", d}, {"12 ", d}, {"1 2", d},
        {" 0x10", d}, {"\t5", d}, {"1.5", d}, {"--1", d},
    };
    for (const Case &c : cases) EXPECT_EQ(parseSettingsNumber(c.text, d), c.expected) << "text: \"" << c.text << '"';
}

TEST_F(SettingsFileTest, MissingFileGivesDefaults) {
    const SettingsFile file = settings();
    EXPECT_FALSE(QFile::exists(file.path()));
    EXPECT_EQ(file.ReadNumber("Tunewick", "Pos(X)", 100), 100);
    EXPECT_TRUE(file.ReadFlag("Tunewick", "LOOP", true));
    EXPECT_FALSE(file.ReadFlag("LCD", "Visible", false));
    EXPECT_EQ(file.ReadText("LCD", "Delay", "250"), "250");
    EXPECT_FALSE(QFile::exists(file.path())) << "reading must not create the file";
}

TEST_F(SettingsFileTest, LivesInTheConfigFolder) {
    const QString expected = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/cd-tunewick32/") + m_name;
    EXPECT_EQ(settings().path(), expected);
}

TEST_F(SettingsFileTest, WriteCreatesFileSectionAndKeyAndReadsBack) {
    SettingsFile file = settings();
    file.WriteNumber("Tunewick", "Pos(X)", -120);
    file.WriteNumber("Tunewick", "Pos(Y)", 2147483647);
    file.WriteFlag("Tunewick", "LOOP", false);
    file.WriteFlag("LCD", "Visible", true);
    file.WriteText("DB", "Name", "\x83\x65\x83\x58\x83\x67");  // Shift-JIS bytes stay as they are
    EXPECT_EQ(file.ReadNumber("Tunewick", "Pos(X)", 0), -120);
    EXPECT_EQ(file.ReadNumber("Tunewick", "Pos(Y)", 0), 2147483647);
    EXPECT_FALSE(file.ReadFlag("Tunewick", "LOOP", true));
    EXPECT_TRUE(file.ReadFlag("LCD", "Visible", false));
    EXPECT_EQ(file.ReadText("DB", "Name", ""), "\x83\x65\x83\x58\x83\x67");
    const QByteArray stored = readAll(file.path());
    EXPECT_TRUE(stored.contains("[Tunewick]\nPos(X)=-120\n")) << stored.constData();
    EXPECT_TRUE(stored.contains("LOOP=0\n"));
    EXPECT_TRUE(stored.contains("[LCD]\nVisible=1\n"));
}

TEST_F(SettingsFileTest, NamesMatchWithoutRegardToCase) {
    writeAll(settings().path(), "[TUNEWICK]\npos(x)=42\n");
    SettingsFile file = settings();
    EXPECT_EQ(file.ReadNumber("Tunewick", "Pos(X)", 100), 42);
    file.WriteNumber("tunewick", "POS(X)", 43);
    EXPECT_EQ(file.ReadNumber("Tunewick", "Pos(X)", 100), 43);
    const QByteArray stored = readAll(file.path());
    EXPECT_EQ(stored.count("pos(x)"), 1) << "the key must be replaced, not added: " << stored.constData();
    EXPECT_FALSE(stored.contains("POS(X)"));
}

TEST_F(SettingsFileTest, WriteKeepsOtherSectionsKeysAndComments) {
    writeAll(settings().path(),
             "; written by hand\n"
             "\n"
             "[Other]\n"
             "; about the colour\n"
             "Colour=blue\n"
             "Blank=\n"
             "[LCD]\n"
             "Delay=100\n"
             "; a note at the end\n");
    SettingsFile file = settings();
    file.WriteNumber("Tunewick", "Delay", 100);
    file.WriteNumber("LCD", "Pos(X)", 50);
    const QByteArray stored = readAll(file.path());
    for (const char *kept : {"; written by hand", "[Other]", "; about the colour", "Colour=blue", "Blank=",
                             "Delay=100", "; a note at the end"})
        EXPECT_TRUE(stored.contains(kept)) << kept << " lost from:\n" << stored.constData();
    EXPECT_LT(stored.indexOf("[Other]"), stored.indexOf("[LCD]")) << "section order changed";
    EXPECT_EQ(file.ReadText("Other", "Colour", ""), "blue");
    EXPECT_EQ(file.ReadText("Other", "Blank", "default"), "");
    EXPECT_EQ(file.ReadNumber("LCD", "Delay", 250), 100);
    EXPECT_EQ(file.ReadNumber("Tunewick", "Delay", 0), 100);
    EXPECT_FALSE(stored.contains("tunewick-tail"));
    // A second write changes nothing else.
    file.WriteNumber("LCD", "Pos(X)", 50);
    EXPECT_EQ(readAll(file.path()), stored);
}

TEST_F(SettingsFileTest, ReadTextGivesAtMost1023Characters) {
    SettingsFile file = settings();
    const std::string longText(5000, 'x');
    file.WriteText("Tunewick", "Long", longText);
    EXPECT_EQ(file.ReadText("Tunewick", "Long", ""), std::string(1023, 'x'));
    EXPECT_EQ(file.ReadText("Tunewick", "Missing", longText).size(), 1023u);
}

TEST_F(SettingsFileTest, TextThatWouldBreakTheFileIsRefused) {
    SettingsFile file = settings();
    file.WriteNumber("Tunewick", "Pos(X)", 1);
    const QByteArray before = readAll(file.path());
    struct Case {
        std::string_view section, key, text;
    };
    const Case cases[] = {
        {"Tunewick", "Pos(X)", "1\n[Evil]\nx=1"}, {"Tunewick", "Pos(X)", "1\r2"}, {"Tune]wick", "k", "1"},
        {"Tunewick", "a=b", "1"}, {"", "k", "1"}, {"Tunewick", "", "1"}, {"Tunewick", ";k", "1"},
        {"Tunewick", std::string_view("k\0x", 3), "1"},
    };
    for (const Case &c : cases) {
        EXPECT_THROW(file.WriteText(c.section, c.key, c.text), EIniFileException) << c.key << '=' << c.text;
        EXPECT_EQ(readAll(file.path()), before);
    }
}

TEST_F(SettingsFileTest, MalformedFilesDoNotCrashAndKeepWhatWasParsed) {
    QByteArray junk;
    for (int i = 0; i < 4096; ++i) junk.append(static_cast<char>((i * 7919 + 13) & 0xFF));
    writeAll(settings().path(), "[Tunewick]\nPos(X)=5\n" + junk + "\n[LCD]\nVisible=1\n");
    SettingsFile file = settings();
    EXPECT_EQ(file.ReadNumber("Tunewick", "Pos(X)", 100), 5);
    EXPECT_TRUE(file.ReadFlag("LCD", "Visible", false)) << "a NUL byte must not hide the rest of the file";
    file.WriteNumber("Select", "Pos(Y)", 100);
    EXPECT_EQ(file.ReadNumber("Tunewick", "Pos(X)", 100), 5);
    EXPECT_TRUE(file.ReadFlag("LCD", "Visible", false));
    EXPECT_EQ(file.ReadNumber("Select", "Pos(Y)", 0), 100);
}

TEST_F(SettingsFileTest, OversizedFileGivesDefaultsAndIsNeverReplaced) {
    const QString path = settings().path();
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Tunewick]\nPos(X)=5\n");
        ASSERT_TRUE(file.resize(100 * 1024 * 1024));  // sparse: 100 MB of NUL bytes
    }
    SettingsFile file = settings();
    EXPECT_EQ(file.ReadNumber("Tunewick", "Pos(X)", 100), 100);
    EXPECT_THROW(file.WriteNumber("Tunewick", "Pos(X)", 1), EIniFileException);
    EXPECT_EQ(QFileInfo(path).size(), 100 * 1024 * 1024);
    QFile::remove(path);
}

TEST_F(SettingsFileTest, RefusedWriteRaisesAndLeavesTheFileUnchanged) {
    // Permissions do not stop root; a file whose folder is a regular file cannot be written by anyone.
    QTemporaryDir dir;
    writeAll(dir.filePath(QStringLiteral("blocker")), "not a folder");
    SettingsFile blocked(dir.filePath(QStringLiteral("blocker/ROTOR.INI")));
    try {
        blocked.WriteNumber("Tunewick", "Pos(X)", 1);
        ADD_FAILURE() << "the write was reported as done";
    } catch (const EIniFileException &error) {
        EXPECT_STREQ(error.what(), "ROTOR.INI に書き込めません");
    }
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("blocker"))), "not a folder");
}

TEST_F(SettingsFileTest, ReadOnlyFolderRefusesTheWrite) {
    if (::geteuid() == 0) GTEST_SKIP() << "a read-only folder does not stop root";
    QTemporaryDir dir;
    SettingsFile file(dir.filePath(QStringLiteral("ro/ROTOR.INI")));
    file.WriteNumber("Tunewick", "Pos(X)", 1);
    const QByteArray before = readAll(file.path());
    QFile::setPermissions(dir.filePath(QStringLiteral("ro")), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_THROW(file.WriteNumber("Tunewick", "Pos(X)", 2), EIniFileException);
    QFile::setPermissions(dir.filePath(QStringLiteral("ro")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(readAll(file.path()), before);
}

TEST_F(SettingsFileTest, UnreadableFileIsNotOverwritten) {
    // A folder in the file's place can be neither parsed nor replaced.
    QDir().mkpath(settings().path());
    SettingsFile file = settings();
    EXPECT_EQ(file.ReadNumber("Tunewick", "Pos(X)", 100), 100);
    EXPECT_THROW(file.WriteNumber("Tunewick", "Pos(X)", 1), EIniFileException);
    EXPECT_TRUE(QFileInfo(file.path()).isDir());
    QDir().rmdir(file.path());
}

TEST_F(SettingsFileTest, WriteRemovesFilesLeftByAnInterruptedSave) {
    SettingsFile file = settings();
    file.WriteNumber("Tunewick", "Pos(X)", 1);
    const QString leftover = file.path() + QStringLiteral(".aB3xYz");
    const QString kept[] = {file.path() + QStringLiteral(".bak"), file.path() + QStringLiteral(".ab-xyz")};
    writeAll(leftover, "partial");
    for (const QString &name : kept) writeAll(name, "mine");
    file.WriteNumber("Tunewick", "Pos(X)", 2);
    EXPECT_FALSE(QFile::exists(leftover));
    for (const QString &name : kept) {
        EXPECT_TRUE(QFile::exists(name)) << name.toStdString();
        QFile::remove(name);
    }
}
