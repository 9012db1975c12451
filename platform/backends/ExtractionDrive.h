#pragma once

#include "platform/CdDrive.h"
#include "platform/backends/AudioOutput.h"
#include "platform/backends/SectorSource.h"

#include <functional>
#include <memory>
#include <thread>

namespace platform {

struct ExtractionChannel;

// The digital-audio-extraction drive: reads audio sectors from a source and plays them through an
// output. One worker thread owns the source, the reader, a ring of about two seconds and the output;
// the UI thread only copies the snapshot the worker publishes and queues commands, so no call waits
// on the source or the output.
//
// Position heard = next frame handed to the output minus the output's delay. From a play command
// until the play ends the drive reports Playing, holding at the start sector until sound comes out.
// Stop, pause and seek drop the ring and the output's queue; pause and stop keep the exact frame that
// was heard last, so resuming neither repeats nor loses a sample.
// Frames of tracks flagged for pre-emphasis go through the de-emphasis filter on their way to the
// output, while it is switched on (setDeemphasisEnabled); other frames pass bit for bit.
//
// A source without a door of its own (disc image, demo disc) gets one in software: eject() opens
// it, the drive reports TrayOpen, and the door closes again by itself after Options::doorMs or at
// the next play(), which then plays the disc as it was.
// Called on a drive's worker thread right after the output has taken the first frames of a play
// (play or resume), for measuring the delay from a press to its sound. Null (the default) calls
// nothing. Set it before any drive opens.
void setPlayStartObserver(void (*observer)());
// Called on a drive's worker thread when it first reports a disc ready after none was (at open, or
// when a door closes on a disc): the program's poll looks at the disc at once, and the delay from
// a disc to its titles on screen is measured from here.
void setDiscReadyObserver(void (*observer)());

class ExtractionDrive : public CdDrive {
public:
    // Makes the source for one open(): on the UI thread, quick checks only. Null with a reason for
    // the user when the drive cannot be used. What takes longer (measuring a rip's files) belongs in
    // the source's poll(), which runs on the worker while the drive shows no disc yet.
    using SourceMaker = std::function<std::shared_ptr<SectorSource>(std::string &reason)>;

    struct Options {
        int doorMs = 4000;     // how long a software door stays open
        int pollMs = 1000;     // how often the worker looks at the door and the disc
        int ringSectors = 150; // read-ahead: two seconds (no less than two)
        int closeWaitMs = 100; // how long close() waits for a worker stuck in a read
    };

    ExtractionDrive(SourceMaker makeSource, std::shared_ptr<AudioOutput> output, Options options);
    ExtractionDrive(SourceMaker makeSource, std::shared_ptr<AudioOutput> output);
    ~ExtractionDrive() override;
    ExtractionDrive(const ExtractionDrive &) = delete;
    ExtractionDrive &operator=(const ExtractionDrive &) = delete;

    bool open(std::string &reason) override;
    // Returns within Options::closeWaitMs; a worker still blocked in a read then finishes alone.
    void close() override;
    bool isOpen() const override { return m_channel != nullptr; }
    std::string failure() const override;
    // Also wakes a worker that sleeps with no drive plugged in when the device folder has changed.
    DriveStatus status() const override;
    TableOfContents toc() const override;
    bool canEject() const override { return isOpen(); }
    bool play(int sector) override;
    bool stop() override;
    bool pause() override;
    bool resume() override;
    bool seek(int sector) override;
    bool eject() override;

private:
    void wakeWorkerOnNews() const;

    SourceMaker m_makeSource;
    std::shared_ptr<AudioOutput> m_output;
    Options m_options;
    std::shared_ptr<ExtractionChannel> m_channel; // while open
    std::shared_ptr<SectorSource> m_source;       // while open, to cancel a long look at close
    bool m_softDoor = false;                      // the source has no door: the drive emulates one
    std::thread m_worker;
    std::shared_ptr<ExtractionChannel> m_lingering; // a closed worker still blocked in a read
    std::thread m_lingeringWorker;
};

} // namespace platform
