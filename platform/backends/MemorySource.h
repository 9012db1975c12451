#pragma once

#include "platform/backends/SectorSource.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace platform {

// A disc whose sectors a function makes: the demo disc, and tests' discs with injected faults.
// The fault controls may be called from any thread while the drive plays.
class MemorySource : public SectorSource {
public:
    // Fills one sector (kSectorBytes bytes) of audio at `lsn`.
    using Render = std::function<void(int lsn, uint8_t *sector)>;
    struct ReadCall {
        int lsn;
        int count;
        bool ok;
    };

    MemorySource(TableOfContents toc, Render render, std::string name = "disc in memory");

    MediaState poll(TableOfContents &toc) override;
    bool read(int lsn, int count, uint8_t *out) override;
    bool hasDoor() const override { return false; }
    MediaState knownAtStart(TableOfContents &toc) const override;
    std::string name() const override { return m_name; }

    // --- faults ---
    void failSectors(int from, int to); // reads touching [from, to) fail until clearFaults()
    void failNextReads(int count);      // the next `count` reads fail
    void clearFaults();
    void hold();                      // reads block from now on, as a drive stuck in retries
    void release();                   // blocked reads go on
    int blockedReads() const;         // reads waiting in hold() now
    void pullDisc();                  // the disc vanishes; reads fail, poll() says NoDisc
    void insert(TableOfContents toc); // a disc goes in
    std::vector<ReadCall> reads() const;
    int pollCount() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    TableOfContents m_toc;
    Render m_render;
    std::string m_name;
    bool m_present = true;
    bool m_held = false;
    int m_blocked = 0;
    int m_failFrom = 0;
    int m_failTo = 0;
    int m_failNext = 0;
    int m_polls = 0;
    std::vector<ReadCall> m_reads;
};

} // namespace platform
