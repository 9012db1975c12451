// Opening rips and images while the player runs: drops on its windows, the drive menu, bad paths,
// a switch as a disc change, and the message a second start hands over.
#include "app/OpenDisc.h"
#include "app/SecondStart.h"
#include "catalogue/CatalogueEditor.h"
#include "platform/SourceSwitch.h"
#include "platform/backends/DriveFactory.h"
#include "player/PlayerState.h"
#include "tests/catalogue/CatalogueFixture.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/TrackSelector.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// Stands for the drive's source switch: records what it is asked to prepare.
class RecordingSwitch : public platform::SourceSwitch {
public:
    bool prepare(const std::string &choice, std::string &) override {
        prepared.push_back(choice);
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
        EXPECT_FALSE(openDisc(p.path));
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

    tick(); // the poll finds the first disc gone
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
    for (const QString &path : {gone, kept})
        EXPECT_TRUE(openDisc(path));
    QFile::remove(gone);
    QMenu *drives = nullptr;
    for (QAction *action : Form1->PM1->actions())
        if (action->menu()) drives = action->menu();
    ASSERT_NE(drives, nullptr);

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

    recorder->found = {{"/dev/sr0", "PIONEER BD-RW BDR-XD07"},
                       {"/dev/null", ""}}; // a node that every machine has
    EXPECT_EQ(shown(), (QStringList{"/dev/sr0  PIONEER BD-RW BDR-XD07", "/dev/null", "デモディスク", "--",
                                    keptEntry}));
    drives->actions().at(1)->trigger();
    EXPECT_EQ(recorder->prepared.back(), "/dev/null");
    EXPECT_EQ(startupChoice(), QString()) << "choosing a drive takes the image out";
    drives->actions().at(2)->trigger();
    EXPECT_EQ(recorder->prepared.back(), "demo");
    EXPECT_TRUE(errors.empty());
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
