#pragma once

#include "platform/CdDrive.h"

#include <array>
#include <cstdint>

namespace platform {

// The de-emphasis filter of CD audio: undoes the 50/15 us treble boost that some discs were
// mastered with. A first-order shelf, unity gain at DC, about -10 dB towards the top of the band.
// Works on 16-bit little-endian stereo frames at 44.1 kHz, in place; pure, any thread.
class DeemphasisFilter {
public:
    DeemphasisFilter();

    // Filters `count` frames of `frames` (count * 4 bytes) in place, going on from the frames
    // filtered last.
    void process(uint8_t *frames, long count);
    // Forgets the frames filtered so far: the next frame starts the filter as if the sound had
    // held that frame's value before it, so that a start on a loud sample does not click.
    void reset() { m_fresh = true; }

private:
    struct Channel {
        float input = 0;  // the last input sample
        float output = 0; // the last output sample
    };
    float m_b0 = 1;
    float m_b1 = 0;
    float m_pole = 0;
    std::array<Channel, 2> m_channels{};
    bool m_fresh = true;
};

// The filter as the drive applies it on the way to the output: only on frames of tracks whose
// flag is set, and only while de-emphasis is switched on. Its memory carries across a gapless
// change from one flagged track to the next; it starts clean after a jump (seek, new play, resume)
// and whenever the frames before were not filtered. Tracks without the flag pass bit for bit.
// Owned by one thread (the drive's worker).
class TrackDeemphasis {
public:
    // Filters in place `count` frames that begin at frame `firstFrame` of the disc `toc`
    // (frame = sector * 588 + frame in the sector).
    void apply(const TableOfContents &toc, long long firstFrame, uint8_t *frames, long count, bool enabled);

private:
    DeemphasisFilter m_filter;
    long long m_nextFrame = -1; // the frame after the last one filtered; -1 when that one was not
};

// Whether flagged tracks are de-emphasised: on unless the user switched it off. Any thread; the
// drive looks at it for each block of frames it hands to the output.
void setDeemphasisEnabled(bool enabled);
bool deemphasisEnabled();

} // namespace platform
