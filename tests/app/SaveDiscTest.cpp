#include "app/SaveDisc.h"

#include "app/OnlineConsent.h"
#include "app/SaveOnline.h"
#include "catalogue/CoverArt.h"
#include "online/DiscId.h"
#include "platform/backends/MemorySource.h"
#include "player/Commands.h"
#include "tests/online/FakeService.h"
#include "tests/player/EngineFixture.h"
#include "ui/Form1.h"
#include "ui/SaveWindow.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cmath>
#include <cstring>

namespace {

constexpr int kSectorBytes = 2352;

// Two tracks of five seconds after ten seconds before track 1, every sector a tone (or silence
// before track 1).
std::shared_ptr<platform::MemorySource> discWithHiddenAudio(bool silentPregap = false) {
    platform::TableOfContents toc;
    toc.firstTrack = 1;
    toc.lastTrack = 2;
    toc.trackStart = {750, 1125};
    toc.dataTrack = {false, false};
    toc.leadOut = 1500;
    toc.text.trackTitles = {"Alpha", "Beta"};
    return std::make_shared<platform::MemorySource>(toc, [silentPregap](int lsn, uint8_t *sector) {
        if (silentPregap && lsn < 750) return void(std::memset(sector, 0, kSectorBytes));
        for (int i = 0; i < kSectorBytes / 2; ++i) {
            const auto sample = static_cast<int16_t>(4000 * std::sin((lsn * 588 + i / 2) * 0.05));
            std::memcpy(sector + 2 * i, &sample, 2);
        }
    });
}

class SaveDiscTest : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        platform::SimulatedDisc loaded = platform::SimulatedDisc::ofSeconds({5, 5});
        loaded.firstStart = 750; // laid out as the discs the saves read
        load(loaded);
        saving = new DiscSaving(Form1);
        ASSERT_TRUE(folder.isValid());
    }
    void TearDown() override {
        delete saving;
        setPlayRefusal({});
        EngineFixture::TearDown();
    }
    TSaveWindow *openWith(std::shared_ptr<platform::MemorySource> source) {
        saving->setSourceOverride(std::move(source));
        saving->openWindow();
        TSaveWindow *window = saving->window();
        window->setFolder(folder.path());
        return window;
    }
    // The saving engine works on threads of its own and reports through the event loop.
    static bool waitFor(const std::function<bool()> &condition) {
        QDeadlineTimer deadline(30000);
        while (!condition() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return condition();
    }
    static QString cell(TSaveWindow *window, int row, int column) {
        return window->LV_TRACKS->topLevelItem(row)->text(column);
    }
    QStringList savedFiles() const {
        QStringList files;
        QDirIterator it(folder.path(), {"*.flac"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        return files;
    }

    DiscSaving *saving = nullptr;
    QTemporaryDir folder;
};

// A pregap before track 1 gets the first row before Start, as audio that may be there; reading
// tells whether it is (a file of its own) or silence (none). Every track's progress and result
// stay on its own row. Without a catalogue file the rows take the titles the disc carries.
TEST_F(SaveDiscTest, HiddenTrackIsListedFromTheStartAndResultsStayOnTheirTracks) {
    int files = 0;
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent pregap" : "hidden audio");
        TSaveWindow *window = openWith(discWithHiddenAudio(silent));
        window->setFolder(folder.filePath(silent ? "silent" : "hidden"));
        ASSERT_EQ(window->LV_TRACKS->topLevelItemCount(), 3);
        EXPECT_EQ(cell(window, 0, 0), "00");
        EXPECT_EQ(cell(window, 0, 3), "音声があるかもしれません");
        window->BT_START->click();
        ASSERT_TRUE(waitFor([&] { return !window->isSaving(); }));

        ASSERT_EQ(window->LV_TRACKS->topLevelItemCount(), 3);
        const QStringList numbers{cell(window, 0, 0), cell(window, 1, 0), cell(window, 2, 0)};
        EXPECT_EQ(numbers, QStringList({"00", "01", "02"}));
        EXPECT_EQ(cell(window, 1, 1), "Alpha");
        EXPECT_EQ(cell(window, 2, 1), "Beta");
        for (int row = 1; row < 3; ++row)
            EXPECT_TRUE(cell(window, row, 3).startsWith("保存しました")) << row;
        EXPECT_EQ(cell(window, 0, 3).left(6), silent ? "無音 (保存" : "保存しました");
        EXPECT_EQ(window->PB_TOTAL->value(), window->PB_TOTAL->maximum());
        EXPECT_TRUE(window->LB_RESULT->text().startsWith("すべてのトラックを保存しました"))
            << window->LB_RESULT->text().toStdString();
        EXPECT_EQ(savedFiles().size(), files += silent ? 2 : 3);
        EXPECT_TRUE(window->BT_START->isEnabled());
    }
}

// Closing the window while it saves cancels the save and keeps the window, which tells how it
// ended; no file is left under a final name, and Start works again.
TEST_F(SaveDiscTest, ClosingWhileSavingCancelsAndTheWindowStays) {
    auto source = discWithHiddenAudio();
    source->hold();
    TSaveWindow *window = openWith(source);
    window->BT_START->click();
    ASSERT_TRUE(waitFor([&] { return source->blockedReads() > 0; }));
    EXPECT_FALSE(window->BT_START->isEnabled());

    window->close();
    EXPECT_TRUE(window->isVisible());
    source->release();
    ASSERT_TRUE(waitFor([&] { return !window->isSaving(); }));

    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->LB_RESULT->text().startsWith("中止しました"))
        << window->LB_RESULT->text().toStdString();
    EXPECT_TRUE(savedFiles().isEmpty()) << savedFiles().join(' ').toStdString();
    EXPECT_TRUE(window->BT_START->isEnabled());
    EXPECT_EQ(window->BT_CANCEL->text(), "閉じる(&C)");
}

// A save that fails says why in the window, and its track rows say they were not saved.
TEST_F(SaveDiscTest, FailuresNameTheirCause) {
    QFile blocker(folder.filePath("not a folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TSaveWindow *window = openWith(discWithHiddenAudio());
    window->setFolder(blocker.fileName());
    window->BT_START->click();
    ASSERT_TRUE(waitFor([&] { return !window->isSaving(); }));
    EXPECT_TRUE(window->LB_RESULT->text().startsWith("保存先フォルダに書き込めません"))
        << window->LB_RESULT->text().toStdString();

    auto source = discWithHiddenAudio();
    source->hold();
    saving->setSourceOverride(source);
    window->setFolder(folder.path());
    window->BT_START->click();
    ASSERT_TRUE(waitFor([&] { return source->blockedReads() > 0; }));
    source->pullDisc();
    source->release();
    ASSERT_TRUE(waitFor([&] { return !window->isSaving(); }));
    EXPECT_TRUE(window->LB_RESULT->text().startsWith("ディスクが取り出されました"))
        << window->LB_RESULT->text().toStdString();
    EXPECT_EQ(cell(window, 0, 3), "保存していません");
    EXPECT_TRUE(savedFiles().isEmpty()) << savedFiles().join(' ').toStdString();
}

// With the user's consent the window's save is checked against AccurateRip and asks for the
// details of the disc's release, as the command line's does; details that do not come are said in
// the window's result, and the save still succeeds.
TEST_F(SaveDiscTest, AllowedServicesAreAskedForTheWindowsSaveAndFailedDetailsAreSaid) {
    FakeService service;
    ASSERT_TRUE(service.listening());
    qputenv("TUNEWICK_ACCURATERIP_URL", service.base().toUtf8());
    qputenv("TUNEWICK_MUSICBRAINZ_URL", service.base().toUtf8());
    setAccurateRipConsent(true);
    setOnlineConsent(true);
    platform::TableOfContents toc;
    discWithHiddenAudio()->knownAtStart(toc);
    QFile releases(coverCacheFolder() + "/releases");
    ASSERT_TRUE(QDir().mkpath(coverCacheFolder()) && releases.open(QIODevice::WriteOnly));
    releases.write(online::discIdOf(*online::musicBrainzToc(toc)).toUtf8() +
                   " 6109ceed-7e21-490b-b5ad-3a66b4e4cfbb\n");
    releases.close();
    service.script({500, "oops", {}});
    TSaveWindow *window = openWith(discWithHiddenAudio());
    window->BT_START->click();
    const bool ended = waitFor([&] { return !window->isSaving(); });
    qunsetenv("TUNEWICK_ACCURATERIP_URL");
    qunsetenv("TUNEWICK_MUSICBRAINZ_URL");
    setOnlineConsent(false);
    releases.remove();
    ASSERT_TRUE(ended);
    ASSERT_EQ(service.requests.size(), 2);
    EXPECT_TRUE(service.requests[0].target.startsWith("/ws/2/release/6109ceed-"))
        << service.requests[0].target.constData();
    EXPECT_TRUE(service.requests[1].target.contains("/dBAR-")) << service.requests[1].target.constData();
    const QString result = window->LB_RESULT->text();
    EXPECT_TRUE(result.startsWith("すべてのトラックを保存しました")) << result.toStdString();
    EXPECT_TRUE(result.contains("タグに入れていません: MusicBrainz の応答を受け取れませんでした (HTTP 500)"))
        << result.toStdString();
}

// A yes to "replace?" replaces what the question named, even when another disc came into the
// player while it was asked: not the other disc's files.
TEST_F(SaveDiscTest, AYesReplacesOnlyTheFilesItWasAskedAbout) {
    TSaveWindow *window = openWith(discWithHiddenAudio());
    window->BT_START->click();
    ASSERT_TRUE(waitFor([&] { return !window->isSaving(); }));
    QStringList first = savedFiles();
    first.sort();
    ASSERT_EQ(first.size(), 3);

    platform::TableOfContents other;
    other.firstTrack = 1;
    other.lastTrack = 1;
    other.trackStart = {0};
    other.dataTrack = {false};
    other.leadOut = 300;
    other.text.trackTitles = {"Gamma"};
    const int asked = modalCount;
    answerModal = [&](QDialog *dialog) {
        saving->setSourceOverride(std::make_shared<platform::MemorySource>(
            other, [](int, uint8_t *sector) { std::memset(sector, 1, kSectorBytes); }));
        auto *box = qobject_cast<QMessageBox *>(dialog);
        for (QAbstractButton *button : box ? box->buttons() : QList<QAbstractButton *>())
            if (box->buttonRole(button) == QMessageBox::YesRole) button->click();
        return int(QDialog::Accepted);
    };
    window->BT_START->click();
    ASSERT_TRUE(waitFor([&] { return !window->isSaving(); }));
    EXPECT_EQ(modalCount, asked + 1);
    QStringList now = savedFiles();
    now.sort();
    EXPECT_EQ(now.join('\n').toStdString(), first.join('\n').toStdString());
    EXPECT_TRUE(window->LB_RESULT->text().startsWith("すべてのトラックを保存しました"))
        << window->LB_RESULT->text().toStdString();
}

// The time left as the window shows it: minutes and seconds, hours from the first hour on.
TEST(SaveTimeText, MinutesAndSecondsThenHours) {
    EXPECT_EQ(saveTimeText(5), "0:05");
    EXPECT_EQ(saveTimeText(65), "1:05");
    EXPECT_EQ(saveTimeText(3599), "59:59");
    EXPECT_EQ(saveTimeText(3723), "1:02:03");
}

// A folder typed as a shell would take it: "~" is the home folder, a relative path starts there.
TEST(SaveFolder, TypedFoldersStartAtHome) {
    const QString home = QDir::homePath();
    EXPECT_EQ(saveFolderOf("~/Music"), home + "/Music");
    EXPECT_EQ(saveFolderOf("~"), home);
    EXPECT_EQ(saveFolderOf("Music/CDs/"), home + "/Music/CDs");
    EXPECT_EQ(saveFolderOf(" /srv/music "), "/srv/music");
    EXPECT_EQ(saveFolderOf("/srv/~music"), "/srv/~music");
    EXPECT_EQ(saveFolderOf("  "), "");
}

// While a save reads the drive that the player plays from, play is refused with the reason; an
// image or a rip, or another drive, plays on.
TEST(PlayRefusal, OnlyTheDriveBeingSavedIsRefused) {
    struct Case {
        QString deviceInUse, playerChoice;
        bool refused;
    };
    const Case cases[] = {
        {"", "", false},
        {"/dev/sr0", "", true},
        {"/dev/sr0", "/dev/sr0", true},
        {"/dev/sr0", "/dev/sr1", false},
        {"/dev/sr0", "/music/album.cue", false},
        {"/dev/sr0", "demo", false},
    };
    for (const Case &c : cases) {
        const QString reason = playRefusalFor(c.deviceInUse, c.playerChoice);
        EXPECT_EQ(!reason.isEmpty(), c.refused)
            << c.deviceInUse.toStdString() << " / " << c.playerChoice.toStdString();
        if (c.refused) {
            EXPECT_TRUE(reason.contains(c.deviceInUse));
        }
    }
}

// A refused play changes nothing on the panel and says why; once the save ends, play works.
TEST_F(SaveDiscTest, RefusedPlaySaysWhyAndLeavesThePanelStopped) {
    std::string reason = "busy reading";
    setPlayRefusal([&] { return reason; });
    const int transportState = Form1->MediaPlayer1->Tag;
    Form1->PM_Play->trigger();
    tick();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("busy reading"), std::string::npos);
    EXPECT_EQ(Form1->MediaPlayer1->Tag, transportState);
    EXPECT_TRUE(Form1->PM_Stop->isChecked());
    EXPECT_NE(drive.status().state, platform::DriveState::Playing);

    reason.clear();
    Form1->PM_Play->trigger();
    tick();
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(drive.status().state, platform::DriveState::Playing);
}

} // namespace
