#include "desktop/MediaControls.h"

#include "catalogue/CatalogueEditor.h"
#include "catalogue/CoverArt.h"
#include "player/PlayerState.h"
#include "player/TimeFormat.h"
#include "platform/TitleEncoding.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/Keyboard.h"
#include "ui/LcdDisplay.h"
#include "ui/Modal.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace {

const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.cd_tunewick32");
const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

constexpr qint64 kMicrosecondsPerFrame = 1'000'000 / 75;  // 13333, truncated like the device's frames

bool has(TButtonSet set, TMPBtnType button) { return (set & buttonSet({button})) != 0; }

QDBusObjectPath trackIdOf(int track) {
    return QDBusObjectPath(track > 0 ? QStringLiteral("/io/github/cdtunewick32/track/%1").arg(track) : kNoTrack);
}

// The buttons that a click on the transport bar can reach: none while the bar is switched off.
TButtonSet reachableButtons() {
    TMediaPlayer *bar = Form1->MediaPlayer1;
    return bar->isEnabled() ? bar->EnabledButtons() : 0;
}

// The player is on: before power-on and once quitting has begun the controls do nothing.
bool playerOn() { return Form1 && Form1->PA_POWER->Tag == 1; }

// A click on `button` of the transport bar, with everything a mouse click runs, when the bar takes it.
void clickBar(TMPBtnType button) {
    if (!playerOn() || !has(reachableButtons(), button)) return;
    runGuarded([button] { Form1->MediaPlayer1->click(button); });
}

void putIfChanged(QVariantMap &changed, const char *name, const QVariant &now, const QVariant &before) {
    if (now != before) changed.insert(QString::fromLatin1(name), now);
}

}  // namespace

PlayState playStateOf(int deviceMode, int transportState) {
    if (deviceMode == mpPlaying) return PlayState::Playing;
    if (transportState == 2 || deviceMode == mpPaused) return PlayState::Paused;
    return PlayState::Stopped;
}

LoopMode loopModeOf(bool repeatOn, bool endlessOn) {
    if (repeatOn) return LoopMode::Track;
    return endlessOn ? LoopMode::Playlist : LoopMode::None;
}

QString playStateName(PlayState state) {
    switch (state) {
    case PlayState::Playing: return QStringLiteral("Playing");
    case PlayState::Paused: return QStringLiteral("Paused");
    case PlayState::Stopped: break;
    }
    return QStringLiteral("Stopped");
}

QString loopModeName(LoopMode mode) {
    switch (mode) {
    case LoopMode::Track: return QStringLiteral("Track");
    case LoopMode::Playlist: return QStringLiteral("Playlist");
    case LoopMode::None: break;
    }
    return QStringLiteral("None");
}

std::optional<LoopMode> loopModeFromName(const QString &name) {
    for (LoopMode mode : {LoopMode::None, LoopMode::Track, LoopMode::Playlist})
        if (name == loopModeName(mode)) return mode;
    return std::nullopt;
}

qint64 msfMicroseconds(uint32_t v) {
    return (msf::minutes(v) * 60LL + msf::seconds(v)) * 1'000'000 + msf::frames(v) * kMicrosecondsPerFrame;
}

qint64 tmsfMicroseconds(uint32_t v) {
    return (tmsf::minutes(v) * 60LL + tmsf::seconds(v)) * 1'000'000 + tmsf::frames(v) * kMicrosecondsPerFrame;
}

QString busSafeText(const QString &text) {
    QString safe = text;
    for (qsizetype i = 0; i < safe.size(); ++i) {
        const QChar c = safe.at(i);
        if (c.isHighSurrogate() && i + 1 < safe.size() && safe.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate()) safe[i] = QChar::ReplacementCharacter;
    }
    return safe;
}

MediaSnapshot readMediaSnapshot() {
    MediaSnapshot s;
    TMediaPlayer *bar = Form1->MediaPlayer1;
    const TButtonSet buttons = reachableButtons();
    s.state = playStateOf(bar->Mode(), bar->Tag);
    s.loop = loopModeOf(RepeatOn, EndlessOn);
    s.shuffle = ShuffleOn;
    s.canGoNext = has(buttons, btNext);
    s.canGoPrevious = has(buttons, btPrev);
    // Whether Play or PlayPause, and Pause or PlayPause, can act on the current track: they must
    // not flip with each press, or the desktop's applets grey out Pause while the disc plays.
    s.canPlay = has(buttons, btPlay) || has(buttons, btPause);
    s.canPause = has(buttons, btPause) || has(buttons, btStop);
    const bool loaded = Form1->SG_TRACK->Tag == 1 && CurrentTrack >= 1 && CurrentTrack <= TrackCount;
    if (!loaded) return s;
    s.canSeek = bar->isEnabled();
    s.track = CurrentTrack;
    s.discFile = DiscFilePath;
    s.discTitle = DiscTitle;
    s.trackTitle = CD_Database->SG1->cellText(1, CurrentTrack);
    s.artUrl = coverArtUrl();
    return s;
}

QVariantMap metadataOf(const MediaSnapshot &s) {
    QVariantMap map;
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(trackIdOf(s.track)));
    if (s.track == 0) return map;
    TMediaPlayer *device = Form1->MediaPlayer1;
    if (device->isDeviceOpen())
        map.insert(QStringLiteral("mpris:length"), msfMicroseconds(device->TrackLength(s.track)));
    map.insert(QStringLiteral("xesam:trackNumber"), s.track);
    if (!s.trackTitle.isEmpty()) map.insert(QStringLiteral("xesam:title"), busSafeText(s.trackTitle));
    // Without a catalogue file the disc title is the display's placeholder, not a title.
    if (!s.discTitle.empty() && QFileInfo::exists(s.discFile))
        map.insert(QStringLiteral("xesam:album"), busSafeText(titles::decode(s.discTitle)));
    if (!s.artUrl.isEmpty()) map.insert(QStringLiteral("mpris:artUrl"), s.artUrl);
    return map;
}

// --- the object on the bus ---

MediaControls::MediaControls(QObject *parent) : QObject(parent) {
    new MprisRoot(this);
    new MprisPlayer(this);
    addModalListener([self = QPointer<MediaControls>(this)] {
        if (self) Q_EMIT self->propertiesChanged(kRootInterface, {{QStringLiteral("CanQuit"), !isModalDialogOpen()}});
    });
    if (Form1) {
        m_shown = readMediaSnapshot();
        followPoll();
    }
}

// The poll's tick is where the player learns of changes, whoever made them: each tick ends with
// one comparison of what the controls show.
void MediaControls::followPoll() {
    TTimer *timer = Form1->Timer1;
    std::function<void()> poll = std::move(timer->OnTimer);
    timer->OnTimer = [poll = std::move(poll), self = QPointer<MediaControls>(this)] {
        if (poll) poll();
        if (self) self->refresh();
    };
}

void MediaControls::refresh() {
    if (!Form1) return;
    const MediaSnapshot now = readMediaSnapshot();
    if (now == m_shown) return;
    const MediaSnapshot &was = m_shown;
    QVariantMap changed;
    putIfChanged(changed, "PlaybackStatus", playStateName(now.state), playStateName(was.state));
    putIfChanged(changed, "LoopStatus", loopModeName(now.loop), loopModeName(was.loop));
    putIfChanged(changed, "Shuffle", now.shuffle, was.shuffle);
    putIfChanged(changed, "CanGoNext", now.canGoNext, was.canGoNext);
    putIfChanged(changed, "CanGoPrevious", now.canGoPrevious, was.canGoPrevious);
    putIfChanged(changed, "CanPlay", now.canPlay, was.canPlay);
    putIfChanged(changed, "CanPause", now.canPause, was.canPause);
    putIfChanged(changed, "CanSeek", now.canSeek, was.canSeek);
    if (!now.sameTrack(was)) changed.insert(QStringLiteral("Metadata"), metadataOf(now));
    m_shown = now;
    Q_EMIT propertiesChanged(kPlayerInterface, changed);
}

void MediaControls::later(std::function<void()> command) {
    QTimer::singleShot(0, this, [this, command = std::move(command)] {
        if (!playerOn()) return;
        forgetPendingTrackDigits();
        command();
        refresh();
    });
}

std::string MediaControls::startOnSessionBus() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return "media controls: off (no session bus)";
    auto *controls = new MediaControls(Form1);
    if (!bus.registerObject(kObjectPath, controls, QDBusConnection::ExportAdaptors) ||
        !bus.registerService(kServiceName)) {
        delete controls;
        return "media controls: off (" + kServiceName.toStdString() + " is taken)";
    }
    QObject::connect(controls, &MediaControls::propertiesChanged, controls,
                     [bus](const QString &interfaceName, const QVariantMap &changed) mutable {
                         QDBusMessage signal = QDBusMessage::createSignal(
                             kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                             QStringLiteral("PropertiesChanged"));
                         signal << interfaceName << changed << QStringList();
                         bus.send(signal);
                     });
    return "media controls: " + kServiceName.toStdString();
}

// --- org.mpris.MediaPlayer2 ---

MprisRoot::MprisRoot(MediaControls *controls) : QDBusAbstractAdaptor(controls), m_controls(controls) {}

void MprisRoot::Raise() {
    if (!playerOn()) return;
    runGuarded([] {
        LCD_DISPLAY->PA_COMClick(LCD_DISPLAY->PA_COM);
        Form1->raise();
    });
}

bool MprisRoot::canQuit() const { return !isModalDialogOpen(); }

// Checked again when the command runs: a dialog may have opened since the call.
void MprisRoot::Quit() {
    if (!canQuit()) return;
    m_controls->later([this] {
        if (canQuit()) runGuarded([] { Form1->PA_POWERClick(Form1->PA_POWER); });
    });
}

// --- org.mpris.MediaPlayer2.Player ---

MprisPlayer::MprisPlayer(MediaControls *controls) : QDBusAbstractAdaptor(controls), m_controls(controls) {}

void MprisPlayer::Next() {
    m_controls->later([] { clickBar(btNext); });
}

void MprisPlayer::Previous() {
    m_controls->later([] { clickBar(btPrev); });
}

void MprisPlayer::Pause() {
    m_controls->later([] { clickBar(btPause); });
}

void MprisPlayer::Play() {
    m_controls->later([] { clickBar(btPlay); });
}

void MprisPlayer::setRate(double rate) {
    if (rate == 0.0) Pause();
}

void MprisPlayer::Stop() {
    m_controls->later([] { clickBar(btStop); });
}

// Pause while it plays, Play while it is paused or stopped: whichever of the two the bar offers.
void MprisPlayer::PlayPause() {
    m_controls->later([] { clickBar(has(reachableButtons(), btPause) ? btPause : btPlay); });
}

// Repeat and endless play switch through their own handlers, which may refuse (no disc listed).
void MprisPlayer::setLoopStatus(const QString &name) {
    std::optional<LoopMode> wanted = loopModeFromName(name);
    if (!wanted) return;
    m_controls->later([mode = *wanted] {
        runGuarded([mode] {
            if (RepeatOn != (mode == LoopMode::Track)) Form1->PA_RepeatClick(Form1->PA_Repeat);
            if (mode != LoopMode::Track && EndlessOn != (mode == LoopMode::Playlist))
                Form1->PM_LOOPClick(Form1->PM_LOOP);
        });
    });
}

void MprisPlayer::setShuffle(bool on) {
    m_controls->later([on] {
        if (ShuffleOn != on) runGuarded([] { Form1->PA_ShffClick(Form1->PA_Shff); });
    });
}

qlonglong MprisPlayer::position() const {
    if (readMediaSnapshot().track == 0) return 0;
    return tmsfMicroseconds(Form1->MediaPlayer1->Position());
}

// Beyond the end of the track acts as Next; before its start goes to its start.
void MprisPlayer::Seek(qlonglong offset) {
    m_controls->later([this, offset] {
        const MediaSnapshot s = readMediaSnapshot();
        if (!s.canSeek) return;
        const qint64 target = std::max<qint64>(0, position() + offset);
        if (target >= msfMicroseconds(Form1->MediaPlayer1->TrackLength(s.track))) return clickBar(btNext);
        seekTo(target);
    });
}

// Ignored for a track that is no longer current and for a place outside the track.
void MprisPlayer::SetPosition(const QDBusObjectPath &trackId, qlonglong microseconds) {
    m_controls->later([this, trackId, microseconds] {
        const MediaSnapshot s = readMediaSnapshot();
        if (!s.canSeek || trackId != trackIdOf(s.track) || microseconds < 0) return;
        if (microseconds >= msfMicroseconds(Form1->MediaPlayer1->TrackLength(s.track))) return;
        seekTo(microseconds);
    });
}

// A playing device moves and plays on, as its own Next does; a stopped or paused one only moves,
// and the next Play starts there. The track stays the current one, so repeat and shuffle go on
// as before: the poll sees the new place on its next tick.
void MprisPlayer::seekTo(qint64 microseconds) {
    const int frames = static_cast<int>(microseconds / kMicrosecondsPerFrame);
    const uint32_t target = tmsf::pack(CurrentTrack, frames / 75 / 60, frames / 75 % 60, frames % 75);
    runGuarded([target] {
        TMediaPlayer *device = Form1->MediaPlayer1;
        if (device->Mode() == mpPlaying) {
            device->SetStartPos(target);
            device->Play();
        } else {
            device->SetPosition(target);
        }
    });
    Q_EMIT Seeked(position());
}

// The player plays discs only: there is nothing to open.
void MprisPlayer::OpenUri(const QString &) {}
