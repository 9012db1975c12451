#include "desktop/MediaControls.h"

#include "player/PlayerState.h"
#include "platform/Cp932.h"
#include "tests/player/EngineFixture.h"
#include "catalogue/CatalogueEditor.h"
#include "ui/Form1.h"
#include "ui/Modal.h"

#include <QCoreApplication>
#include <QSignalSpy>

namespace {

class MediaControlsTest : public EngineFixture {
protected:
    void loadWithControls(const platform::SimulatedDisc &disc) {
        load(disc);
        controls = new MediaControls(Form1);
        player = controls->findChild<MprisPlayer *>();
        spy = std::make_unique<QSignalSpy>(controls, &MediaControls::propertiesChanged);
    }
    // A tick as the timer delivers it: the poll, then the controls' comparison.
    void pollTick(int count = 1) {
        for (int i = 0; i < count; ++i) {
            drive.advance(250);
            Form1->Timer1->OnTimer();
        }
    }
    // Runs what a bus call left for the event loop.
    static void settle() { QCoreApplication::sendPostedEvents(); }
    QVariantMap lastChange() const { return spy->last().at(1).toMap(); }

    MediaControls *controls = nullptr;
    MprisPlayer *player = nullptr;
    std::unique_ptr<QSignalSpy> spy;
};

// The status while paused (the device then reports stopped) and after the end of the disc, and
// one announcement per real change: none for ticks that change nothing.
TEST_F(MediaControlsTest, StatusFollowsTheTransportAndIsAnnouncedOnlyWhenItChanges) {
    loadWithControls(platform::SimulatedDisc::uniform(2, 3));
    pollTick(4);
    EXPECT_EQ(spy->count(), 0);
    EXPECT_EQ(player->playbackStatus(), "Stopped");
    player->setLoopStatus("None");  // endless play off
    settle();
    ASSERT_EQ(spy->count(), 1);
    EXPECT_EQ(lastChange(), (QVariantMap{{"LoopStatus", "None"}}));

    player->Play();
    settle();
    EXPECT_EQ(player->playbackStatus(), "Playing");
    ASSERT_EQ(spy->count(), 2);
    EXPECT_EQ(lastChange().value("PlaybackStatus"), "Playing");
    EXPECT_FALSE(lastChange().contains("LoopStatus"));
    pollTick(2);
    EXPECT_EQ(spy->count(), 2);

    player->PlayPause();
    settle();
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpStopped);
    EXPECT_EQ(player->playbackStatus(), "Paused");
    EXPECT_TRUE(player->canPlay() && player->canPause());
    player->PlayPause();
    settle();
    EXPECT_EQ(player->playbackStatus(), "Playing");

    pollTick(40);  // both tracks run out; without endless play the player stops at track 1
    EXPECT_EQ(player->playbackStatus(), "Stopped");
    EXPECT_EQ(lastChange().value("PlaybackStatus"), "Stopped");
    EXPECT_EQ(player->metadata().value("xesam:trackNumber"), 1);
    EXPECT_TRUE(errors.empty());
}

// Commands reach the player only through the bar's enabled buttons and the mode switches'
// handlers: with shuffle on Next is off, so Next does nothing and CanGoNext says so.
TEST_F(MediaControlsTest, CommandsAndModesGoThroughTheControlsHandlers) {
    loadWithControls(twelveTrackDisc());
    player->Pause();  // Pause is not on the bar while stopped
    settle();
    EXPECT_EQ(player->playbackStatus(), "Stopped");
    EXPECT_FALSE(player->canPause());

    player->setShuffle(true);
    settle();
    EXPECT_TRUE(ShuffleOn);
    EXPECT_EQ(player->playbackStatus(), "Playing");
    EXPECT_FALSE(player->canGoNext() || player->canGoPrevious());
    const int shuffled = deviceTrack();
    player->Next();
    settle();
    EXPECT_EQ(deviceTrack(), shuffled);

    player->setLoopStatus("Track");
    settle();
    EXPECT_TRUE(RepeatOn);
    EXPECT_FALSE(ShuffleOn);
    EXPECT_EQ(player->loopStatus(), "Track");
    EXPECT_EQ(lastChange().value("CanGoNext"), true);
    player->setLoopStatus("None");
    settle();
    EXPECT_FALSE(RepeatOn || EndlessOn);
    player->setLoopStatus("Playlist");
    settle();
    EXPECT_TRUE(EndlessOn && !RepeatOn);
    EXPECT_EQ(player->loopStatus(), "Playlist");

    player->Stop();
    settle();
    EXPECT_EQ(player->playbackStatus(), "Stopped");
    EXPECT_FALSE(player->canPause());
    EXPECT_TRUE(errors.empty());
}

// A seek stays in the current track and keeps playing; a stale track id or a place past the end
// is ignored, and a seek past the end goes to the next track.
TEST_F(MediaControlsTest, SeeksStayWithinTheCurrentTrack) {
    loadWithControls(twelveTrackDisc());
    pressGridTrack(4);
    pollTick();
    const QDBusObjectPath track4 = player->metadata().value("mpris:trackid").value<QDBusObjectPath>();
    player->SetPosition(track4, 100'000'000);
    settle();
    EXPECT_EQ(deviceTrack(), 4);
    EXPECT_NEAR(player->position(), 100'000'000, 20'000);
    EXPECT_EQ(player->playbackStatus(), "Playing");

    player->SetPosition(QDBusObjectPath("/io/github/cdtunewick32/track/3"), 0);
    player->SetPosition(track4, 318'000'000);  // track 4 is 317 s long
    settle();
    EXPECT_NEAR(player->position(), 100'000'000, 20'000);

    player->Seek(300'000'000);
    settle();
    pollTick();
    EXPECT_EQ(deviceTrack(), 5);
    EXPECT_EQ(player->metadata().value("xesam:trackNumber"), 5);
}

// Titles come from the catalogue, decoded from code page 932; a track without one has no title,
// a byte that does not decode cannot break the bus message, and no disc means no track.
TEST_F(MediaControlsTest, MetadataCarriesTheCataloguesTitles) {
    const platform::SimulatedDisc disc = twelveTrackDisc();
    writeCatalogue(discLength(disc), {cp932::fromUtf8("夜の街"), cp932::fromUtf8("第一曲"), "", "bad \x81"});
    loadWithControls(disc);
    QVariantMap first = player->metadata();
    EXPECT_EQ(first.value("xesam:title"), QStringLiteral("第一曲"));
    EXPECT_EQ(first.value("xesam:album"), QStringLiteral("夜の街"));
    EXPECT_EQ(first.value("mpris:length").toLongLong(), 185'000'000);
    EXPECT_EQ(first.value("mpris:trackid").value<QDBusObjectPath>().path(), "/io/github/cdtunewick32/track/1");

    pressGridTrack(2);
    pollTick();
    EXPECT_FALSE(player->metadata().contains("xesam:title"));
    EXPECT_EQ(lastChange().value("Metadata").toMap().value("xesam:trackNumber"), 2);
    pressGridTrack(3);
    pollTick();
    EXPECT_EQ(player->metadata().value("xesam:title"), QStringLiteral("bad \uFFFD"));
    EXPECT_EQ(player->metadata().value("mpris:length").toLongLong(), 201'000'000 + 37 * 13'333);

    Form1->PM_EJECTClick(Form1->PM_EJECT);
    pollTick();
    EXPECT_EQ(player->metadata().keys(), QStringList{"mpris:trackid"});
    EXPECT_FALSE(player->canPlay() || player->canSeek());
}

// While a dialog waits for the user, the desktop's Quit does nothing, also when it was called just
// before the dialog opened, and CanQuit says so; after it closes Quit ends the player. A rate of 0
// pauses; another rate changes nothing.
TEST_F(MediaControlsTest, QuitWaitsForAnOpenDialogAndRateZeroPauses) {
    loadWithControls(platform::SimulatedDisc::uniform(2, 30));
    auto *root = controls->findChild<MprisRoot *>();
    player->Play();
    settle();
    player->setRate(1.0);
    settle();
    EXPECT_EQ(player->playbackStatus(), "Playing");
    player->setRate(0.0);
    settle();
    EXPECT_EQ(player->playbackStatus(), "Paused");

    root->Quit();
    answerModal = [&](QDialog *) {
        settle();  // the dialog's own event loop runs the Quit called before it opened
        EXPECT_FALSE(root->canQuit());
        EXPECT_EQ(lastChange(), (QVariantMap{{"CanQuit", false}}));
        root->Quit();
        settle();
        EXPECT_EQ(Form1->PA_POWER->Tag, 1) << "the player ended under an open dialog";
        return int(QDialog::Rejected);
    };
    execModal(CD_Database);
    EXPECT_EQ(Form1->PA_POWER->Tag, 1);
    EXPECT_TRUE(root->canQuit());
    EXPECT_EQ(spy->last().at(0).toString(), "org.mpris.MediaPlayer2");
    EXPECT_EQ(lastChange(), (QVariantMap{{"CanQuit", true}}));
    root->Quit();
    settle();
    EXPECT_EQ(Form1->PA_POWER->Tag, 0);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
