#pragma once

#include "platform/CdDrive.h"

#include <cstdint>
#include <string>

namespace platform {

// What the medium holds at one look.
enum class MediaState {
    NoDrive,  // the drive has gone away
    TrayOpen, // the door is open
    NoDisc,   // no disc, a disc not ready yet, or a disc without audio
    Ready,    // a disc with audio tracks
};

// Audio sectors from somewhere: a CD drive or disc image through libcdio, the synthesized demo
// disc, or a disc in memory for tests. Owned and called by one drive worker thread only, except
// where a method says otherwise.
class SectorSource {
public:
    virtual ~SectorSource() = default;

    // Looks at the door and the disc; fills `toc` when Ready. May block for seconds (spin-up).
    virtual MediaState poll(TableOfContents &toc) = 0;
    // Reads `count` audio sectors from `lsn` into `out` (count * kSectorBytes bytes); blocks.
    // False on a read error. Never called past the last audio sector of the disc.
    virtual bool read(int lsn, int count, uint8_t *out) = 0;
    // True when eject() opens a real door; otherwise the drive emulates the door. Any thread.
    virtual bool hasDoor() const = 0;
    // Opens the door; the caller has stopped reading first. False when the drive refused.
    virtual bool eject() { return false; }
    // What is known before the worker's first poll(), e.g. an image's contents read when the
    // drive was opened; NoDisc when nothing is known yet. Any thread.
    virtual MediaState knownAtStart(TableOfContents &toc) const = 0;
    // Does at once what would otherwise wait for the first poll() (a rip's audio files are opened
    // and measured), so that a source is known to play before it replaces the one that plays. May
    // take seconds; on any one thread, before the drive's worker uses the source. False with a
    // reason for the user when the source cannot be played.
    virtual bool check(std::string &) { return true; }
    // Why the source cannot be used, once poll() has found out (a rip whose files turn out not to
    // play when the worker opens them) and said NoDrive; empty otherwise. Worker thread.
    virtual std::string failure() const { return {}; }
    // Asks a poll() that takes long (a rip's files being measured) to give up: the drive is closing
    // and uses the source no more. Any thread.
    virtual void cancel() {}
    // While the source has nothing new to find until this descriptor becomes readable (a watch on
    // the device folder while no drive is plugged in), the descriptor, so that the worker need not
    // look every second; -1 while it needs its regular looks. Worker thread.
    virtual int quietUntilReadable() const { return -1; }
    // One line for the user, e.g. "/dev/sr0" or "disc image album.cue". Any thread.
    virtual std::string name() const = 0;
};

} // namespace platform
