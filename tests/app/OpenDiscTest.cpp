// Opening rips and images while the player runs: drops on its windows, the drive menu, bad paths,
// a switch as a disc change, and the message a second start hands over.
#include "app/OpenDisc.h"

#include "app/LocalPath.h"
#include "app/SecondStart.h"
#include "catalogue/CatalogueEditor.h"
#include "platform/SourceSwitch.h"
#include "platform/backends/DriveFactory.h"
#include "player/PlayerState.h"
#include "tests/catalogue/CatalogueFixture.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/TrackSelector.h"

#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// Stands for the drive's source switch: records what it is asked to check, and finds it playable.
class RecordingSwitch : public platform::SourceSwitch {
public:
    void check(const std::string &choice, Checked checked) override {
        prepared.push_back(choice);
        checked(true, "");
    }
    bool putIn(const std::string &choice) override {
        m_choice = choice;
        return true;
    }
    std::string choice() const override { return m_choice; }
    std::vector<platform::DriveEntry> drives() const override { return found; }

    std::vector<std::string> prepared;
    std::vector<platform::DriveEntry> found;
    std::string m_choice = "demo";
};

class OpenDisc : public CatalogueFixture {
protected:
    void SetUp() override {
        CatalogueFixture::SetUp();
        platform::setSourceSwitch(recorder);
    }
    void TearDown() override {
        platform::setSourceSwitch(nullptr);
        CatalogueFixture::TearDown();
    }

    QString makeFile(const QString &name, const QByteArray &bytes = "FILE \"a.wav\" WAVE\n") const {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    // Waits for the check of the last disc opened, and for what follows it on the window's thread.
    static void waitForOpen() {
        ASSERT_TRUE(QTest::qWaitFor([] { return !isOpeningDisc(); }, 30000));
        QCoreApplication::processEvents();
    }
    // Waits for the drive to be opened on its new source, which follows the poll's reset.
    void waitForDiscIn() {
        for (int i = 0; i < 100 && !drive.isOpen(); ++i)
            QTest::qWait(5);
    }

    std::shared_ptr<RecordingSwitch> recorder = std::make_shared<RecordingSwitch>();
    QTemporaryDir dir;
};

bool dragAccepted(QWidget *window, const QString &path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QCoreApplication::sendEvent(window, &enter);
    return enter.isAccepted();
}

void drop(QWidget *window, const QString &path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &event);
    QCoreApplication::processEvents();
}

// Every player window takes a sheet, an image or a folder of one sheet and refuses the rest; the
// drive's own switch then names each refused path and why, and keeps what it had.
TEST_F(OpenDisc, WindowsTakeSheetsImagesAndOneSheetFoldersAndBadPathsAreNamed) {
    qputenv("TUNEWICK_AUDIO", "null");
    createApp();
    const QString sheet = makeFile("rip/album.cue");
    makeFile("two/one.cue");
    makeFile("two/two.cue");
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe.cue")).constData(), 0600), 0);
    const struct {
        QString path;
        const char *because; // null: taken
    } paths[] = {{sheet, nullptr},
                 {makeFile("image.NRG"), nullptr},
                 {dir.filePath("rip"), nullptr},
                 {dir.filePath("two"), "キューシートが 2 個"},
                 {makeFile("notes.txt", "just some text\n"), ""},
                 {dir.filePath("missing.cue"), "そのファイルはありません"},
                 {dir.filePath("pipe.cue"), "ファイルでもドライブでもありません"}};
    for (QWidget *window :
         {static_cast<QWidget *>(Form1), static_cast<QWidget *>(LCD_DISPLAY), static_cast<QWidget *>(Form5)})
        for (const auto &p : paths)
            EXPECT_EQ(dragAccepted(window, p.path), !p.because) << p.path.toStdString();

    drop(LCD_DISPLAY, dir.filePath("rip"));
    drop(Form5, dir.filePath("two"));
    EXPECT_EQ(recorder->prepared, std::vector<std::string>{sheet.toStdString()})
        << "the folder opens its one sheet";
    EXPECT_TRUE(errors.empty());

    std::string description;
    std::unique_ptr<platform::CdDrive> real = platform::createDrive("demo", description);
    const QStringList recent = recentImages();
    for (const auto &p : paths) {
        if (!p.because) continue;
        SCOPED_TRACE(p.path.toStdString());
        errors.clear();
        openDisc(p.path);
        waitForOpen();
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0].find(p.path.toStdString()), std::string::npos) << errors[0];
        EXPECT_NE(errors[0].find(p.because), std::string::npos) << errors[0];
        EXPECT_EQ(platform::sourceSwitch()->choice(), "demo");
        EXPECT_EQ(recentImages(), recent);
    }
}

TEST_F(OpenDisc, ASwitchIsADiscChangeAndTheOpenEditorSavesForItsOwnDisc) {
    const platform::SimulatedDisc first = platform::SimulatedDisc::ofSeconds({10, 20});
    const platform::SimulatedDisc second = platform::SimulatedDisc::ofSeconds({30, 40, 50});
    const QString sheet = makeFile("second.cue");
    int questions = 0;
    answerModal = [&](QDialog *dialog) {
        if (isQuestion(dialog)) return ++questions, press(dialog, QStringLiteral("はい(&Y)")), 0;
        if (questions == 2) return int(QDialog::Rejected);
        // A second start hands over another rip while the registration editor is open.
        EXPECT_TRUE(openDisc(sheet));
        drive.insert(second);
        CD_Database->show();
        CD_Database->Edit1->QLineEdit::setText(QStringLiteral("First disc"));
        CD_Database->BitBtn2Click(CD_Database->BitBtn2);
        CD_Database->BitBtn1Click(CD_Database->BitBtn1);
        return int(QDialog::Rejected);
    };
    load(first);
    EXPECT_EQ(fileBytes(lengthOf(first)), "First disc\r\n\r\n\r\n");
    EXPECT_EQ(fileBytes(lengthOf(second)), "<none>");

    waitForOpen(); // the rip is checked while the window goes on
    tick();        // the poll finds the first disc gone
    waitForDiscIn();
    tick(); // and the second one in
    EXPECT_EQ(questions, 2) << "the new disc is asked about as a disc put in is";
    EXPECT_EQ(TrackCount, 3);
    EXPECT_EQ(fileBytes(lengthOf(first)), "First disc\r\n\r\n\r\n");
    EXPECT_TRUE(errors.empty());
}

TEST_F(OpenDisc, DriveMenuListsDrivesTheDemoAndRecentImagesAndOpensTheChosenOne) {
    createApp();
    const QString kept = makeFile("kept.cue");
    const QString gone = makeFile("gone & lost.cue");
    for (const QString &path : {gone, kept}) {
        EXPECT_TRUE(openDisc(path));
        waitForOpen();
    }
    QFile::remove(gone);
    QMenu *drives = nullptr;
    for (QAction *action : Form1->PM1->actions())
        if (action->menu()) drives = action->menu();
    ASSERT_NE(drives, nullptr);
    // Ctrl+O opens the dialog from any player window, as the menu item shows.
    QAction *open = Form1->PM1->actions().at(Form1->PM1->actions().indexOf(drives->menuAction()) - 1);
    EXPECT_EQ(open->text(), QStringLiteral("ディスクイメージを開く..."));
    EXPECT_EQ(open->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    for (QWidget *window :
         {static_cast<QWidget *>(Form1), static_cast<QWidget *>(LCD_DISPLAY), static_cast<QWidget *>(Form5)})
        EXPECT_TRUE(window->actions().contains(open));

    auto shown = [&] {
        Q_EMIT drives->aboutToShow();
        QStringList texts;
        for (QAction *action : drives->actions())
            texts << (action->isSeparator() ? QStringLiteral("--")
                                            : action->text() + (action->isEnabled() ? "" : " (off)") +
                                                  (action->isChecked() ? " *" : ""));
        return texts;
    };
    const QString keptEntry = QStringLiteral("kept.cue  (%1) *").arg(dir.path());
    EXPECT_EQ(shown(), (QStringList{"CDドライブがありません (off)", "デモディスク", "--", keptEntry}));
    EXPECT_EQ(recentImages(), QStringList{kept}) << "the gone file left ROTOR.INI too";
    // Entries written by hand: relative to the current folder, or the same file spelt otherwise.
    const QString started = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    {
        QFile settings(settingsPath());
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write("[Recent]\nFile1=" + QFile::encodeName(kept) +
                       "\nFile2=kept.cue\nFile3=" + QFile::encodeName(dir.path()) + "//./kept.cue\n");
    }
    EXPECT_EQ(recentImages(), QStringList{kept}) << "one image listed once";
    QDir::setCurrent(started);

    recorder->found = {{"/dev/sr0", "PIONEER BD-RW BDR-XD07"},
                       {"/dev/null", ""}}; // a node that every machine has
    EXPECT_EQ(shown(), (QStringList{"/dev/sr0  PIONEER BD-RW BDR-XD07", "/dev/null", "デモディスク", "--",
                                    keptEntry}));
    drives->actions().at(1)->trigger();
    waitForOpen();
    EXPECT_EQ(recorder->prepared.back(), "/dev/null");
    EXPECT_EQ(startupChoice(), QString()) << "choosing a drive takes the image out";
    drives->actions().at(2)->trigger();
    EXPECT_EQ(recorder->prepared.back(), "demo");
    EXPECT_TRUE(errors.empty());
}

QByteArray wave(int rate, int seconds) {
    QByteArray header("RIFF");
    auto number = [&](quint32 value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            header.append(char((value >> (8 * i)) & 0xff));
    };
    const quint32 data = quint32(rate) * 4 * quint32(seconds);
    number(36 + data, 4);
    header += "WAVEfmt ";
    number(16, 4), number(1, 2), number(2, 2), number(quint32(rate), 4), number(quint32(rate) * 4, 4);
    number(4, 2), number(16, 2);
    header += "data";
    number(data, 4);
    return header + QByteArray(int(data), '\0');
}

QByteArray sheetOf(const QString &file, const char *type) {
    return QStringLiteral("FILE \"%1\" %2\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n")
        .arg(file, type)
        .toUtf8();
}

// Every way a disc can fail to open, through the program's own switch while a disc plays: what
// does not play is named with why, the disc plays on and nothing is kept for the next start; what
// plays replaces it and is kept only when ROTOR.INI can hold its path whole. A settings folder
// that cannot be written is said once, and the disc still opens.
TEST_F(OpenDisc, OpeningFaultsThroughTheProgramsSwitchLeaveThePlayingDiscAndKeepOnlyWhatOpened) {
    qputenv("TUNEWICK_AUDIO", "null");
    qunsetenv("TUNEWICK_DEVICE");
    std::string description;
    std::unique_ptr<platform::CdDrive> real = platform::createDrive("demo", description);
    const QByteArray silence(30 * 75 * 2352, '\0');
    QByteArray noise(64 * 1024, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 2654435761u) >> 13);
    makeFile("b.flac", noise);
    makeFile("hi-res.wav", wave(48000, 1));
    makeFile("disc/album.bin", silence);
    const QString toc =
        makeFile("disc/album.toc", "CD_DA\n// a sheet of cdrdao\nTRACK AUDIO\nFILE \"album.bin\" 0\n");
    // Under 1,023 characters but over 1,023 bytes, and one that fits.
    QString deep = dir.path(), fits = dir.path() + "/" + QString(60, QChar(0x3042));
    for (int i = 0; i < 5; ++i)
        deep += "/" + QString(80, QChar(0x3042));
    for (const QString &folder : {deep, fits}) {
        makeFile(folder.mid(dir.path().size() + 1) + "/rip.bin", silence);
        makeFile(folder.mid(dir.path().size() + 1) + "/rip.cue", sheetOf("rip.bin", "BINARY"));
    }
    ASSERT_GT(QFile::encodeName(deep).size(), 1023);
    ASSERT_LT(deep.size(), 1023);
    ASSERT_LT(QFile::encodeName(fits).size(), 1023);
    // A name that is not UTF-8, as a file copied from an old disc has it.
    const QByteArray latin1 = QFile::encodeName(dir.path()) + "/caf\xe9";
    ASSERT_EQ(::mkdir(latin1.constData(), 0700), 0);
    std::ofstream(latin1.toStdString() + "/rip.bin", std::ios::binary) << silence.toStdString();
    std::ofstream(latin1.toStdString() + "/caf\xe9.cue") << sheetOf("rip.bin", "BINARY").toStdString();
    const QString cafe = pathFromLocal(latin1 + "/caf\xe9.cue");
    const QString started = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QDir::tempPath()));

    load(platform::SimulatedDisc::ofSeconds({10, 20}));
    Form1->PM_PlayClick(Form1->PM_Play);
    const struct {
        QString path;
        const char *because; // null: opens
        QString kept;        // what the next start opens
    } cases[] = {
        {makeFile("noise.cue", sheetOf("b.flac", "WAVE")), "b.flac", {}},
        {makeFile("hi-res.cue", sheetOf("hi-res.wav", "WAVE")), "44100 Hz", {}},
        {QStringLiteral("/dev/zero"), "CDﾄﾞﾗｲﾌﾞではありません", {}},
        {QStringLiteral("/dev/sr97"), "そのドライブはありません", {}},
        {toc, nullptr, toc},
        {deep + "/rip.cue", nullptr, {}},
        {fits + "/rip.cue", nullptr, fits + "/rip.cue"},
        {cafe, nullptr, cafe},
    };
    QString listed;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        if (!c.kept.isEmpty()) listed = c.kept;
        errors.clear();
        const std::string before = platform::sourceSwitch()->choice();
        openDisc(c.path);
        waitForOpen();
        if (c.because) {
            EXPECT_EQ(errors.size(), 1u);
            const std::string said = errors.empty() ? "" : errors[0];
            EXPECT_NE(said.find(c.because), std::string::npos) << said;
            EXPECT_EQ(platform::sourceSwitch()->choice(), before);
            EXPECT_TRUE(drive.isOpen()) << "the playing disc was taken out";
            EXPECT_EQ(drive.status().state, platform::DriveState::Playing);
        } else {
            EXPECT_TRUE(errors.empty()) << errors.front();
            EXPECT_EQ(platform::sourceSwitch()->choice(), localPath(c.path).toStdString());
        }
        EXPECT_EQ(startupChoice(), c.kept);
        EXPECT_EQ(recentImages().value(0), listed) << "only what opened and fits is listed";
    }

    // The drive menu shows the open long path shortened, as one choice among several.
    openDisc(deep + "/rip.cue");
    waitForOpen();
    QMenu *drives = nullptr;
    for (QAction *action : Form1->PM1->actions())
        if (action->menu()) drives = action->menu();
    ASSERT_NE(drives, nullptr);
    Q_EMIT drives->aboutToShow();
    QAction *current = nullptr;
    for (QAction *action : drives->actions()) {
        EXPECT_LE(action->text().size(), 80) << action->text().toStdString();
        if (action->isChecked()) current = action;
    }
    ASSERT_NE(current, nullptr);
    ASSERT_NE(current->actionGroup(), nullptr);
    EXPECT_TRUE(current->actionGroup()->isExclusive());
    EXPECT_GE(current->actionGroup()->actions().size(), 3);

    // ROTOR.INI a folder: the start with a path and a later open both open, and it is said once.
    ASSERT_TRUE(QFile::remove(settingsPath()));
    ASSERT_TRUE(QDir().mkpath(settingsPath()));
    errors.clear();
    EXPECT_TRUE(openDiscNow(fits + "/rip.cue"));
    EXPECT_FALSE(isOpeningDisc());
    openDisc(toc);
    waitForOpen();
    EXPECT_EQ(platform::sourceSwitch()->choice(), QFile::encodeName(toc).toStdString());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("ROTOR.INI"), std::string::npos) << errors[0];
    platform::setSourceSwitch(nullptr);
    QDir::setCurrent(started);
}

// Titles typed in the editor and not saved, when another disc is opened: the user is asked; "keep
// the disc" keeps both, "save" saves them for their own disc and then the new one goes in.
TEST_F(OpenDisc, UnsavedTitlesInTheEditorAreAskedAboutBeforeAnotherDiscGoesIn) {
    qputenv("TUNEWICK_AUDIO", "null");
    std::string description;
    std::unique_ptr<platform::CdDrive> real = platform::createDrive("demo", description);
    makeFile("rip.bin", QByteArray(20 * 75 * 2352, '\0'));
    const QString rip = makeFile("rip.cue", sheetOf("rip.bin", "BINARY"));
    const platform::SimulatedDisc first = platform::SimulatedDisc::ofSeconds({10, 20});
    writeCatalogue(lengthOf(first), {"First", "One", "Two"});
    load(first);
    CD_Database->show();
    CD_Database->FormActivate(CD_Database);
    QStringList asked;
    QString answer;
    answerModal = [&](QDialog *dialog) {
        asked << static_cast<QMessageBox *>(dialog)->text();
        return press(dialog, answer), 0;
    };

    openDisc(rip); // nothing typed yet: no question
    waitForOpen();
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_FALSE(drive.isOpen());
    tick();
    waitForDiscIn();
    tick();
    CD_Database->FormActivate(CD_Database);

    CD_Database->Edit1->QLineEdit::setText(QStringLiteral("Typed"));
    answer = QStringLiteral("このディスクのまま(&K)");
    openDisc(rip);
    waitForOpen();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("保存されていません"))) << asked[0].toStdString();
    EXPECT_TRUE(drive.isOpen()) << "the disc went although the user kept it";
    EXPECT_EQ(CD_Database->Edit1->text(), QStringLiteral("Typed"));

    answer = QStringLiteral("保存(&S)");
    openDisc(rip);
    waitForOpen();
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(fileBytes(lengthOf(first)), "Typed\r\nOne\r\nTwo\r\n");
    EXPECT_FALSE(drive.isOpen()) << "the new disc did not go in";
    EXPECT_TRUE(errors.empty());
    CD_Database->hide();
    platform::setSourceSwitch(nullptr);
}

// Any bytes a file name holds come back whole from the path the program keeps; UTF-8 reads as
// its characters, and a byte that is no character stays that byte.
TEST(LocalPath, FileNamesOfAnyBytesComeBackWhole) {
    const QByteArray names[] = {"/music/café.cue",         "/music/caf\xe9.cue",
                                "/x/\xe3\x81\x82\xe3\x81", "/\xc0\xaf../etc",
                                "/\xed\xa0\x80.cue",       "/\xf0\x9f\x8e\xb5 \xf4\x90\x80\x80",
                                "/\xef\xbf\xbd\xff\xfe",   "/\xf0\x9f\x8e"};
    for (const QByteArray &name : names)
        EXPECT_EQ(localPath(pathFromLocal(name)), name) << name.toHex().toStdString();
    EXPECT_EQ(pathFromLocal("/music/café \xf0\x9f\x8e\xb5.cue"),
              QString::fromUtf8("/music/café \xf0\x9f\x8e\xb5.cue"));
    EXPECT_EQ(pathFromLocal("/caf\xe9").size(), 5);
    EXPECT_EQ(pathOfFileUrl(QUrl::fromEncoded("file:///music/caf%E9.cue")),
              pathFromLocal("/music/caf\xe9.cue"));
}

TEST(SecondStartMessage, GoesThroughTheSocketWholeAndStrangeBytesAreNoMessage) {
    const SecondStart starts[] = {
        {}, {QStringLiteral("/music/a b/ア&%.cue"), "token_TIME123"}, {QStringLiteral("/x\ny"), {}}};
    for (const SecondStart &start : starts)
        EXPECT_EQ(decodeSecondStart(encodeSecondStart(start)), start);
    for (const QByteArray &bytes :
         {QByteArray(), QByteArray("show"), QByteArray("open\n"), QByteArray("show\nshow\n"),
          QByteArray("delete /\n"), QByteArray("open /a\nopen /b\n"), QByteArray(70000, 'x') + '\n'})
        EXPECT_FALSE(decodeSecondStart(bytes).has_value()) << bytes.left(20).toStdString();
}

} // namespace
