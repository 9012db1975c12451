#pragma once

#include "platform/CdDrive.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace platform {
class SectorSource;
}

namespace save {

// ---------------------------------------------------------------------------------------------
// What is known of the disc once its table of contents is read.
// ---------------------------------------------------------------------------------------------

// The disc as the save reads it: the player's table of contents plus what a cue sheet needs.
// Sector numbers are LBA (0 = MSF 00:02:00), as in platform::TableOfContents. Vectors indexed by
// track i hold track toc.firstTrack + i; they have toc.trackCount() entries.
struct DiscLayout {
    platform::TableOfContents toc;   // track starts (INDEX 01), lead-out, data tracks, pre-emphasis, CD-Text
    std::vector<int> index0;         // INDEX 00 of each track (its gap's first sector), or -1: no gap known
    std::vector<bool> copyPermitted; // the track's digital-copy bit (cue FLAGS DCP)
    std::vector<std::string> isrc;   // each track's ISRC (12 characters) or empty
    std::string catalog;             // the disc's media catalogue number (13 digits) or empty
    QString musicBrainzDiscId;       // the disc ID MusicBrainz gives the disc; empty for a disc without audio
    // Where the sectors come from, for the log.
    QString sourceName;  // e.g. "/dev/sr0", "rip /music/album.cue", "demo disc"
    bool drive = false;  // a CD drive (read twice and compared); false for images, rips and the demo disc
    QString driveVendor; // a drive's vendor and model as it reports them; empty for images
    QString driveModel;
    int readOffset = 0; // samples by which a drive's reads are shifted (0 for images)

    // The gap before `track` in sectors (INDEX 01 minus INDEX 00), 0 when none is known.
    int gapOf(int track) const;
    // The sectors before track 1's INDEX 01 that a drive can read (track 1's pregap from LBA 0).
    int firstPregap() const;
};

// ---------------------------------------------------------------------------------------------
// What the caller asks for.
// ---------------------------------------------------------------------------------------------

// Titles and tags. Every field is optional: an empty string or list means "not known" and the tag
// is left out; a missing track title falls back to the disc's own (sheet TITLE or CD-Text), then
// to "Track NN". Texts in UTF-8 (QString).
struct SaveMetadata {
    QString discTitle;   // ALBUM, and the folder's name; falls back to the disc's own, then "Unknown disc"
    QString albumArtist; // ALBUMARTIST, and the folder above the disc's; no such folder when empty
    QStringList trackTitles;         // [i]: TITLE of track firstTrack + i
    QStringList trackArtists;        // [i]: ARTIST of track firstTrack + i
    QString artist;                  // ARTIST of every track that has none of its own
    QString date;                    // DATE, as the release gives it ("1998", "1998-04-01")
    QString musicBrainzAlbumId;      // MUSICBRAINZ_ALBUMID (the release)
    QStringList musicBrainzTrackIds; // [i]: MUSICBRAINZ_TRACKID of track firstTrack + i
    QString coverPath;               // a cached cover image (JPEG or PNG) to embed and copy beside the files
};

// What happens to a track's samples as they are read: a check (the AccurateRip checksums) sees
// every sample of every track in the one pass.
class TrackSink {
public:
    virtual ~TrackSink() = default;
    // Consecutive samples of the track's file, in order: `frames` stereo frames, interleaved
    // little-endian 16-bit (left, right). Called on one worker thread per track; never blocks long.
    virtual void samples(const int16_t *interleaved, std::size_t frames) = 0;
};

// Which sectors make a track's file, and where the track sits on the disc.
struct TrackSpan {
    int track = 0;            // the track number; 0 for the hidden track before track 1
    int firstSector = 0;      // first sector of the file (INDEX 01 of the track; 0 for the hidden track)
    int sectors = 0;          // sectors in the file: up to the next track's INDEX 01 (its gap included)
    bool firstOnDisc = false; // the disc's first audio track
    bool lastOnDisc = false;  // the disc's last audio track
};

struct TrackResult;

// What a check adds to a track's report.
struct TrackNote {
    QStringList logLines; // lines for the track's entry in the log, as they are
    QString verdict;      // one short phrase for the track's result line, e.g. "accurate (confidence 12)"
};

// A check that follows the save: see DiscSaver::setCheck().
class SaveCheck {
public:
    virtual ~SaveCheck() = default;
    // The disc's layout is read and the save begins. Caller's thread; never blocks (a network
    // request starts here and answers later).
    virtual void discKnown(const DiscLayout &disc) = 0;
    // A sink for one read of one track (made again for each re-read of a drive's track: only the
    // sink of the copy that is written counts). Worker thread; never null.
    virtual std::unique_ptr<TrackSink> sinkFor(const TrackSpan &span) = 0;
    // Every track is read and written (some perhaps with unreadable sectors). `sinks[i]` is the sink
    // of the copy written for `tracks[i]` (null for a track not written: a data track). Calls `done`
    // exactly once on the caller's thread (at once, or later when an answer arrives) with lines for
    // the log's head and one note per track (notes[i] for tracks[i]; fewer notes leave the rest
    // without one); the log is written and finished() emitted after it. Caller's thread; never blocks.
    using Concluded = std::function<void(const QStringList &discLines, const std::vector<TrackNote> &notes)>;
    virtual void conclude(const std::vector<TrackResult> &tracks,
                          std::vector<std::unique_ptr<TrackSink>> sinks, Concluded done) = 0;
    // The save was cancelled or failed before conclude(), or cancelled while `done` was awaited (the
    // log is then written without the notes, and a later `done` is ignored): drop what is under
    // way. Caller's thread.
    virtual void abandon() {}
    // The save is cancelled while `done` is awaited: calls `done` now with what is known (the
    // checksums, no verdict) and returns true, or returns false to have the log written without the
    // check's notes. Caller's thread.
    virtual bool concludeNow() { return false; }
};

struct SaveOptions {
    // What to read, as the player opens it: a cue sheet, a disc image (.toc, .nrg), a folder
    // holding one cue sheet, a device node, "demo", or "" for the system's CD drive.
    QString source;
    // The folder under which <album artist>/<disc title>/ is made (made when missing).
    QString folder;
    bool overwrite = false; // replace files of the same names; otherwise the save ends with FilesExist
    int readOffset = 0;     // a drive's read offset in samples ([Drive] ReadOffset); images ignore it
    SaveMetadata metadata;
    int threads = 0; // encoders at once; 0: one per core
    // Fills in what `metadata` leaves open once the disc's layout is known (the catalogue's titles,
    // found by the disc's length; a kept cover): called once on a worker thread, before the files
    // are planned. Returns lines for the log that the user is also shown (SaveResult::notices),
    // such as tags that could not be had. May be null.
    std::function<QStringList(const DiscLayout &disc, SaveMetadata &metadata)> completeMetadata;

    // --- for tests and callers that hold a source of their own ---
    // Read this source instead of opening `source` (whose text is then only its name in the log);
    // `readTwice` compares two reads of each track as for a drive.
    std::shared_ptr<platform::SectorSource> sectorSource;
    bool readTwice = false;
};

// ---------------------------------------------------------------------------------------------
// What comes back.
// ---------------------------------------------------------------------------------------------

enum class Outcome {
    Ok,                // every track read and written whole
    UnreadableSectors, // the rest is written, but some sectors never read the same (named in the log)
    FilesExist,        // files of the same names exist and overwrite was not allowed; nothing written
    Cancelled,         // cancel() was called
    DiskFull,          // the target file system is full
    Unwritable,        // the folder cannot be made or written to
    DiscRemoved,       // the disc went out of the drive (or the drive away) while it was read
    SourceCutShort,    // a rip's or image's file ended or vanished before its last sector
    AnotherSave,       // another save runs (in this or another process of the user)
    NoDisc,            // the source cannot be opened, has no disc or no audio track
};

enum class TrackState {
    Written,    // read and written whole
    Unreadable, // written, with sectors that never read the same (see badSectors)
    Failed,     // not written (the save stopped, or its file could not be written)
    Skipped,    // a data track, not saved
};

struct TrackResult {
    TrackSpan span;
    TrackState state = TrackState::Failed;
    QString file;                   // the file's final path; empty when not written
    uint32_t crc = 0;               // CRC32 of the copy's samples (as in the file)
    uint32_t testCrc = 0;           // CRC32 of the second read of a drive's track; 0 for images
    int rereads = 0;                // reads beyond the two of a drive
    std::vector<int> badSectors;    // sectors that never read the same twice (LBA)
    std::vector<int> rereadSectors; // sectors that read differently at first and the same in the end (LBA)
    TrackNote note;                 // from the check, when there is one
};

// What became of the pregap before track 1, which may hold hidden audio.
enum class HiddenAudio {
    None,    // no such pregap, or the save stopped before it was read
    Saved,   // it held audio, saved as the hidden track
    Silent,  // digital silence: no file, PREGAP in the cue sheet
    Skipped, // a drive could not read it in time
};

struct SaveResult {
    Outcome outcome = Outcome::NoDisc;
    QString message;                 // one line naming the cause, for the user (translated); empty when Ok
    QStringList existing;            // FilesExist: the files that exist (full paths)
    QString albumFolder;             // where the files went
    QString logFile;                 // the log's path; empty when none was written
    QString cueFile;                 // the cue sheet's path; empty when none was written
    std::vector<TrackResult> tracks; // the hidden track first when there is one, then each track
    HiddenAudio hidden = HiddenAudio::None; // what became of the pregap before track 1
    QStringList notices; // what completeMetadata said, also in the log; the save is not failed by it
    bool ok() const { return outcome == Outcome::Ok; }
};

struct SaveProgress {
    int track = 0;         // the track being read (0: the hidden track)
    qint64 trackDone = 0;  // its frames read so far (stereo samples)
    qint64 trackTotal = 0; // its frames
    qint64 done = 0;       // frames of the whole save read so far (re-reads not counted)
    qint64 total = 0;      // frames of the whole save
    int secondsLeft = -1;  // estimate; -1 while unknown
};

// ---------------------------------------------------------------------------------------------
// The engine.
// ---------------------------------------------------------------------------------------------

// Saves a disc as FLAC files with a cue sheet and a log, in one pass over its sectors: reading,
// checksums and encoding together, tracks encoded in parallel, memory bounded. Knows no window.
//
// Lives on the thread that makes it (the caller's thread, which must run a Qt event loop); the
// work runs on threads of its own. Every signal is emitted on the caller's thread. No method
// blocks for longer than a few milliseconds. One save per DiscSaver at a time; a second DiscSaver
// (or another process of the user) saving meanwhile ends with Outcome::AnotherSave.
class DiscSaver : public QObject {
    Q_OBJECT
public:
    explicit DiscSaver(QObject *parent = nullptr);
    // Cancels a save under way and waits for its threads (a drive's read in progress can take a
    // few seconds to give up).
    ~DiscSaver() override;

    // A check that follows the next save (the AccurateRip checksums): it sees every sample and adds
    // lines and a verdict to each track's entry. Call before start(); caller's thread.
    void setCheck(std::shared_ptr<SaveCheck> check);

    // Begins saving. Returns at once; `discKnown` follows when the disc is read, then `progress`,
    // `trackFinished` and finally `finished` exactly once. False (and nothing emitted) only when
    // this saver is busy already.
    bool start(const SaveOptions &options);
    // Stops the save: finished(Cancelled) follows; no incomplete file is left under a final name.
    // Caller's thread; never blocks.
    void cancel();
    bool running() const;

    // The files a save of `disc` with `metadata` into `folder` would write (tracks, cue sheet, log,
    // cover): pure, any thread. The save's own check for existing files uses it.
    static QStringList plannedFiles(const DiscLayout &disc, const SaveMetadata &metadata,
                                    const QString &folder);
    // Those of plannedFiles() that exist now. Any thread; touches the file system.
    static QStringList existingFiles(const DiscLayout &disc, const SaveMetadata &metadata,
                                     const QString &folder);
    // The device node being read by a save in this process, or empty: a drive being saved is not
    // to be played meanwhile. Any thread.
    static QString deviceInUse();

Q_SIGNALS:
    // The disc's layout is read; the files have been checked and the reading begins.
    void discKnown(const save::DiscLayout &disc);
    // About ten times a second while reading.
    void progress(const save::SaveProgress &progress);
    // One track is written (or has failed); its note from the check comes only in finished().
    void trackFinished(const save::TrackResult &result);
    // The end, exactly once for each start() that returned true.
    void finished(const save::SaveResult &result);

private:
    struct Run;
    std::shared_ptr<Run> m_run;
    std::shared_ptr<SaveCheck> m_check;
};

// File names as the save makes them: '/', '\', '"' and control characters replaced, no leading
// dot, trimmed to `maxBytes` bytes of UTF-8 without splitting a character; never empty. Pure.
QString safeFileName(const QString &name, int maxBytes = 255);

// Gives file `from` the name `to` unless something has that name already (false, errno EEXIST);
// false with errno set when it cannot. Also on file systems that refuse the kernel's no-replace
// rename: there through a second name (`linkFile`, link(2) but for tests) and, where even that is
// refused, a look before the rename.
bool renameNoReplace(const char *from, const char *to, int (*linkFile)(const char *, const char *) = ::link);

} // namespace save

Q_DECLARE_METATYPE(save::DiscLayout)
Q_DECLARE_METATYPE(save::SaveProgress)
Q_DECLARE_METATYPE(save::TrackResult)
Q_DECLARE_METATYPE(save::SaveResult)
