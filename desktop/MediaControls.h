#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The desktop's media controls (media keys, sound applets, the lock screen, playerctl) reach the
// player through MPRIS on the session bus. This is a thin adapter: each command runs the handler of
// the control it stands for, and only when that control would react; the player's state changes no
// other way. UI thread only.

enum class PlayState { Stopped, Playing, Paused };
enum class LoopMode { None, Track, Playlist };

// Playing while the device plays; paused while the transport is paused (the device then reports
// stopped and keeps its place); stopped otherwise, also with no disc.
PlayState playStateOf(int deviceMode, int transportState);
// Repeat wins over endless play: it is the narrower loop and the one the user switched on last.
LoopMode loopModeOf(bool repeatOn, bool endlessOn);
QString playStateName(PlayState state);
QString loopModeName(LoopMode mode);
std::optional<LoopMode> loopModeFromName(const QString &name);
// Microseconds of a packed MSF length, and of the time within the track of a packed TMSF position.
qint64 msfMicroseconds(uint32_t msf);
qint64 tmsfMicroseconds(uint32_t tmsf);
// A catalogue byte that code page 932 cannot decode is carried as a lone surrogate, which is no
// valid UTF-8: the bus would refuse the whole message. Such characters become U+FFFD.
QString busSafeText(const QString &text);

// What the controls show, cheap enough to read and compare on every poll tick.
struct MediaSnapshot {
    PlayState state = PlayState::Stopped;
    LoopMode loop = LoopMode::None;
    bool shuffle = false;
    bool canGoNext = false;
    bool canGoPrevious = false;
    bool canPlay = false;
    bool canPause = false;
    bool canSeek = false;
    int track = 0;           // the current track; 0 while no disc is loaded
    QString discFile;        // the loaded disc's catalogue file: tells one disc from another
    std::string discTitle;   // code page 932 bytes
    QString trackTitle;      // the current track's title as the catalogue editor holds it
    QString artUrl;          // the disc's cover, a file:// URL; empty when it has none

    bool operator==(const MediaSnapshot &) const = default;
    bool sameTrack(const MediaSnapshot &o) const {
        return track == o.track && discFile == o.discFile && discTitle == o.discTitle && trackTitle == o.trackTitle &&
               artUrl == o.artUrl;
    }
};

// Reads the snapshot from the player state, the device, the transport bar and the catalogue
// editor. The windows must exist.
MediaSnapshot readMediaSnapshot();
// The MPRIS metadata of the snapshot's track: its id, length, titles (none that the catalogue
// lacks) and number; only the "no track" id while no disc is loaded.
QVariantMap metadataOf(const MediaSnapshot &snapshot);

// The object at /org/mpris/MediaPlayer2 with its two interfaces. A child of the main panel.
class MediaControls : public QObject {
    Q_OBJECT
public:
    explicit MediaControls(QObject *parent);

    // Offers the player on the session bus and follows the status poll's ticks. Returns what the
    // start-up line says about it: the bus name, or why the desktop cannot reach the player.
    static std::string startOnSessionBus();

    // Announces what changed since the last announcement; nothing when nothing changed.
    void refresh();
    // Runs `command` from the event loop, not inside the bus call: a command may show a title
    // marquee that waits for seconds, and the caller must have its answer at once.
    void later(std::function<void()> command);

Q_SIGNALS:
    // Properties of `interfaceName` whose values changed, with their new values.
    void propertiesChanged(const QString &interfaceName, const QVariantMap &changed);

private:
    void followPoll();

    MediaSnapshot m_shown;
};

// org.mpris.MediaPlayer2: who the player is, and Raise and Quit. While a modal dialog of the program
// is open (the catalogue editor, a question) Quit does nothing and CanQuit says so: the dialog
// waits for the user, as it does for the window manager's close.
class MprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)
public:
    explicit MprisRoot(MediaControls *controls);
    bool yes() const { return true; }
    bool no() const { return false; }
    bool canQuit() const;
    QString identity() const { return QStringLiteral("CD-Tunewick32"); }
    QString desktopEntry() const { return QStringLiteral("cd-tunewick32"); }
    QStringList none() const { return {}; }

public Q_SLOTS:
    void Raise();
    void Quit();

private:
    MediaControls *m_controls;
};

// org.mpris.MediaPlayer2.Player: the transport, the play modes and what is playing.
class MprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(double Rate READ one WRITE setRate)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(double Volume READ one WRITE ignoreDouble)
    Q_PROPERTY(bool Shuffle READ shuffle WRITE setShuffle)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    explicit MprisPlayer(MediaControls *controls);

    QString playbackStatus() const { return playStateName(readMediaSnapshot().state); }
    QString loopStatus() const { return loopModeName(readMediaSnapshot().loop); }
    void setLoopStatus(const QString &name);
    bool shuffle() const { return readMediaSnapshot().shuffle; }
    void setShuffle(bool on);
    QVariantMap metadata() const { return metadataOf(readMediaSnapshot()); }
    qlonglong position() const;
    bool canGoNext() const { return readMediaSnapshot().canGoNext; }
    bool canGoPrevious() const { return readMediaSnapshot().canGoPrevious; }
    bool canPlay() const { return readMediaSnapshot().canPlay; }
    bool canPause() const { return readMediaSnapshot().canPause; }
    bool canSeek() const { return readMediaSnapshot().canSeek; }
    bool canControl() const { return true; }
    double one() const { return 1.0; }
    void ignoreDouble(double) {}
    // The player plays at one rate: 0.0 pauses, as the desktop's controls expect; others do nothing.
    void setRate(double rate);

public Q_SLOTS:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong offset);
    void SetPosition(const QDBusObjectPath &trackId, qlonglong position);
    void OpenUri(const QString &uri);

Q_SIGNALS:
    void Seeked(qlonglong position);

private:
    // Moves within the current track to `microseconds` from its start.
    void seekTo(qint64 microseconds);

    MediaControls *m_controls;
};
