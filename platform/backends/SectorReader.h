#pragma once

#include "platform/backends/SectorSource.h"

namespace platform {

// Reads audio from a source and degrades in named steps on read errors: each failure halves the
// read size and retries at the same place; after kRetries failures in a row it gives up on one
// second there and hands back that second as silence, so the play and its clock go on.
// Drive worker thread only.
class SectorReader {
public:
    static constexpr int kFullRead = 20;                  // sectors per read while reads succeed
    static constexpr int kRetries = 4;                    // failures at one place before skipping it
    static constexpr int kSkipSectors = kFramesPerSecond; // one second

    enum class Step {
        Read,  // `sectors` sectors of audio were read
        Retry, // the read failed; the next call tries again with half the size
        Skip,  // the place could not be read: `sectors` sectors of silence stand in for it
    };
    struct Outcome {
        Step step;
        int sectors;
    };

    explicit SectorReader(SectorSource &source) : m_source(source) {}

    // Reads from `lsn`, never at or past `end`, into `out`, which has room for kSkipSectors sectors.
    // Blocks for as long as the source does.
    Outcome next(int lsn, int end, uint8_t *out);
    // Starts again at full size with no failures counted, e.g. after a seek.
    void reset();
    int readSize() const { return m_size; }

private:
    SectorSource &m_source;
    int m_size = kFullRead;
    int m_failures = 0;
};

} // namespace platform
