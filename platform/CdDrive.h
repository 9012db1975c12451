#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

constexpr int kFramesPerSecond = 75;  // CD sectors ("frames") per second of audio
constexpr int kSectorBytes = 2352;    // one sector of 16-bit stereo audio at 44.1 kHz

// Titles that a disc carries itself (CD-Text, or the TITLE lines of a rip's cue sheet), in UTF-8.
// Empty strings where the disc gives none.
struct DiscText {
    std::string title;
    std::vector<std::string> trackTitles; // trackTitles[i] is the title of track firstTrack + i

    bool empty() const;
    bool operator==(const DiscText &) const = default;
};

// Table of contents. Sector numbers are logical block addresses (LBA 0 = MSF 00:02:00).
struct TableOfContents {
    int firstTrack = 0;
    int lastTrack = 0;
    std::vector<int> trackStart;  // trackStart[i] is the first sector of track firstTrack + i
    std::vector<bool> dataTrack;  // dataTrack[i] is true when track firstTrack + i holds data
    // preemphasis[i] is true when track firstTrack + i was mastered with pre-emphasis (its control
    // bits say so) and is to be played through the de-emphasis filter. May be shorter: false.
    std::vector<bool> preemphasis;
    int leadOut = 0;              // first sector after the last track
    // An enhanced CD (audio, then a data track in a second session): the first session's lead-out,
    // where its audio ends; the sectors from there to the data track cannot be read. 0 otherwise.
    int firstSessionLeadOut = 0;
    DiscText text;                // read with the table of contents, as a drive reads CD-Text

    int trackCount() const { return lastTrack >= firstTrack && firstTrack > 0 ? lastTrack - firstTrack + 1 : 0; }
    bool hasTrack(int track) const { return track >= firstTrack && track <= lastTrack && trackCount() > 0; }
    int startOf(int track) const { return trackStart.at(static_cast<size_t>(track - firstTrack)); }
    // First sector after `track`: the next track's start, or the lead-out for the last track.
    int endOf(int track) const { return track == lastTrack ? leadOut : startOf(track + 1); }
    bool isData(int track) const { return dataTrack.at(static_cast<size_t>(track - firstTrack)); }
    bool hasPreemphasis(int track) const;
    // Track that holds `sector`: the last track starting at or before it (firstTrack before the first).
    int trackAt(int sector) const;
    // First sector after the run of audio tracks that contains `track` (a data track ends the run,
    // or the first session's lead-out before it).
    int audioEndFrom(int track) const;
    // The highest-numbered audio track; 0 when the disc has none.
    int lastAudioTrack() const;

    bool operator==(const TableOfContents &) const = default;
};

enum class DriveState {
    NoDrive,   // the drive could not be opened or has gone away
    TrayOpen,  // the door is open
    NoDisc,    // the door is closed and no disc is in, or the disc is not readable yet
    Stopped,   // a disc is in and nothing plays
    Playing,   // playing, also while spinning up or seeking after a play command
    Paused,    // play halted by pause; the position is kept
};

// What the drive reports at one moment. Copied out whole, so that one reading is consistent.
struct DriveStatus {
    DriveState state = DriveState::NoDrive;
    int sector = 0;  // the sector being heard (playing) or the position (stopped, paused)
};

// An audio CD drive. Every call returns at once: a backend that talks to real hardware does so on
// its own thread and reports through status(). All calls come from the UI thread.
class CdDrive {
public:
    virtual ~CdDrive() = default;

    // Takes the drive into use. On failure returns false and says in `reason` why the drive cannot
    // be used (no drive, no permission). A missing or unready disc is no failure: status() says NoDisc.
    virtual bool open(std::string &reason) = 0;
    // Stops play and releases the drive. Safe to call when not open.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Why the open drive turned out unusable after open() returned (a rip whose files do not play,
    // found while the drive opened them on its own thread); status() then says NoDrive. Empty
    // otherwise.
    virtual std::string failure() const { return {}; }

    // The present state and position; never blocks.
    virtual DriveStatus status() const = 0;
    // The loaded disc's table of contents; an empty one (trackCount() 0) while no disc is ready.
    virtual TableOfContents toc() const = 0;
    virtual bool canEject() const = 0;

    // Plays from `sector` to the end of the run of audio tracks that holds it; false when the
    // sector is not on an audio track or no disc is ready. Data tracks are never played.
    virtual bool play(int sector) = 0;
    // Stops play and keeps the position. False when no disc is ready.
    virtual bool stop() = 0;
    // Halts play and keeps the position; false unless playing.
    virtual bool pause() = 0;
    // Continues a paused play at its position; false unless paused.
    virtual bool resume() = 0;
    // Moves the position to `sector` and leaves the drive stopped; false when out of the disc.
    virtual bool seek(int sector) = 0;
    // Stops play and opens the door; false when the drive cannot eject.
    virtual bool eject() = 0;
};

}  // namespace platform
