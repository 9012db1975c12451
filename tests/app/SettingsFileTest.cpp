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

// Each edit changes the value part of one line, or inserts one line, or appends one section, and
// leaves every other byte alone; the value then reads back from the edited text.
TEST(SettingsLineEditorTest, ChangesOneLineAndNothingElse) {
    using namespace std::string_view_literals;
    struct Case {
        std::string_view text, section, key, value, expected;
    };
    const Case cases[] = {
        // Key in the first section, and in the last one of a CR LF file (blanks beside "=" kept).
        {"[Tunewick]\nPos(X)=1\n[LCD]\nPos(X)=2\n", "Tunewick", "Pos(X)", "5",
         "[Tunewick]\nPos(X)=5\n[LCD]\nPos(X)=2\n"},
        {"[Tunewick]\r\nLOOP=1\r\n[LCD]\r\nVisible = 1 \r\n", "LCD", "Visible", "0",
         "[Tunewick]\r\nLOOP=1\r\n[LCD]\r\nVisible = 0 \r\n"},
        // A missing key goes after the section's last key line, before the comments that follow it.
        {"[Tunewick]\r\nA=1\r\n; about the LCD\r\n\r\n[LCD]\r\n", "Tunewick", "LOOP", "0",
         "[Tunewick]\r\nA=1\r\nLOOP=0\r\n; about the LCD\r\n\r\n[LCD]\r\n"},
        {"[DB]\n; no keys yet\n", "DB", "Pos(X)", "10", "[DB]\nPos(X)=10\n; no keys yet\n"},
        // A section written twice: the key is found in the second copy; a new key joins the first.
        {"[Tunewick]\nA=1\n[LCD]\nB=2\n[tunewick]\nLOOP=1\n", "Tunewick", "LOOP", "0",
         "[Tunewick]\nA=1\n[LCD]\nB=2\n[tunewick]\nLOOP=0\n"},
        {"[Tunewick]\nA=1\n[LCD]\nB=2\n[tunewick]\nLOOP=1\n", "Tunewick", "C", "3",
         "[Tunewick]\nA=1\nC=3\n[LCD]\nB=2\n[tunewick]\nLOOP=1\n"},
        // A key written twice: the first one counts.
        {"[LCD]\nDelay=100\nDelay=200\n", "LCD", "Delay", "300", "[LCD]\nDelay=300\nDelay=200\n"},
        // No final line end: none is added, the new line goes after one.
        {"[Tunewick]\nPos(X)=1", "Tunewick", "Pos(Y)", "2", "[Tunewick]\nPos(X)=1\nPos(Y)=2"},
        {"[Tunewick]\r\nPos(X)=1", "LCD", "Visible", "1", "[Tunewick]\r\nPos(X)=1\r\n[LCD]\r\nVisible=1"},
        {"", "Tunewick", "Pos(X)", "-3", "[Tunewick]\nPos(X)=-3\n"},
        // Blanks and another case in the header and the key; an empty value.
        {"  [ tuneWICK ] ; main\npos(x) =   \n", "Tunewick", "Pos(X)", "8", "  [ tuneWICK ] ; main\npos(x) =   8\n"},
        // Mixed line ends: a new line takes the one of the line before it, so that the file's first
        // (a lone CR) cannot join the LF of the empty line after it.
        {"[A]\rk=1\r\n\n[B]\r", "A", "j", "2", "[A]\rk=1\r\nj=2\r\n\n[B]\r"},
        // Lines that are neither header nor key open no section and hold no key.
        {"[Tunewick\n;Pos(X)=1\n=1\nPos(X)\n", "Tunewick", "Pos(X)", "4",
         "[Tunewick\n;Pos(X)=1\n=1\nPos(X)\n[Tunewick]\nPos(X)=4\n"},
        // NUL bytes padding a line count as blanks; a UTF-8 mark before the first header stays.
        {"[LCD]\nDelay=100\0\0\n"sv, "LCD", "Delay", "250", "[LCD]\nDelay=250\0\0\n"sv},
        {"\xEF\xBB\xBF[Tunewick]\nPos(X)=1\n", "tunewick", "pos(x)", "2", "\xEF\xBB\xBF[Tunewick]\nPos(X)=2\n"},
    };
    for (const Case &c : cases) {
        const std::string edited = withIniValue(c.text, c.section, c.key, c.value);
        EXPECT_EQ(edited, c.expected) << "editing:\n" << c.text;
        EXPECT_EQ(iniValue(edited, c.section, c.key), std::optional(c.value)) << edited;
    }
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
    EXPECT_EQ(stored,
              "; written by hand\n"
              "\n"
              "[Other]\n"
              "; about the colour\n"
              "Colour=blue\n"
              "Blank=\n"
              "[LCD]\n"
              "Delay=100\n"
              "Pos(X)=50\n"
              "; a note at the end\n"
              "[Tunewick]\n"
              "Delay=100\n");
    EXPECT_EQ(file.ReadText("Other", "Colour", ""), "blue");
    EXPECT_EQ(file.ReadText("Other", "Blank", "default"), "");
    EXPECT_EQ(file.ReadNumber("LCD", "Delay", 250), 100);
    EXPECT_EQ(file.ReadNumber("Tunewick", "Delay", 0), 100);
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

// A save touches no other file: the user's copies beside the settings stay, also those whose names
// look like the temporary name of an interrupted save.
TEST_F(SettingsFileTest, WriteKeepsEveryOtherFileBesideIt) {
    SettingsFile file = settings();
    file.WriteNumber("Tunewick", "Pos(X)", 1);
    const QString kept[] = {file.path() + QStringLiteral(".backup"), file.path() + QStringLiteral(".2023v2"),
                            file.path() + QStringLiteral(".aB3xYz"), file.path() + QStringLiteral(".bak")};
    for (const QString &name : kept) writeAll(name, "mine");
    file.WriteNumber("Tunewick", "Pos(X)", 2);
    EXPECT_EQ(file.ReadNumber("Tunewick", "Pos(X)", 0), 2);
    for (const QString &name : kept) {
        EXPECT_EQ(readAll(name), "mine") << name.toStdString();
        QFile::remove(name);
    }
}
