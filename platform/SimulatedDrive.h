#pragma once

#include "platform/CdDrive.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A scripted disc: audio (or data) tracks of given lengths, laid out from sector `firstStart`.
struct SimulatedDisc {
    std::vector<int> trackFrames;  // length of each track in frames (1/75 s)
    std::vector<bool> dataTrack;   // empty, or one flag per track
    std::vector<bool> preemphasis; // empty, or one flag per track
    // Sectors between the audio and a data track that follows it in a second session (the first
    // session's lead-out, the next lead-in and pregap: 11400 on an enhanced CD); 0 for one session.
    int sessionGap = 0;
    int firstStart = 0;
    DiscText text;                 // titles the disc carries (CD-Text)

    // Tracks of whole seconds each.
    static SimulatedDisc ofSeconds(const std::vector<int> &seconds);
    // Tracks of `count` times `seconds` seconds plus `frames` frames.
    static SimulatedDisc uniform(int count, int seconds, int frames = 0);
    TableOfContents toc() const;
};

// A drive on a virtual clock, for tests: no threads, no hardware. The test advances the clock,
// opens and closes the door, inserts and pulls discs, and injects faults; every call is logged.
class SimulatedDrive : public CdDrive {
public:
    enum class Op { Open, Play, Stop, Pause, Resume, Seek, Eject };

    SimulatedDrive();
    // Uses `nowMs` as the clock instead of the virtual one (for running the simulation live).
    explicit SimulatedDrive(std::function<long long()> nowMs);

    // --- the script ---
    void advance(int ms);                          // moves the virtual clock on
    long long now() const;
    void insert(const SimulatedDisc &disc);        // puts a disc in and closes the door
    void pullDisc();                               // the disc vanishes at once, also while playing
    void openDoor();
    void closeDoor();
    void setReadyDelay(int ms) { m_readyDelayMs = ms; }  // a closed door with a disc reads NoDisc this long
    void setCanEject(bool can) { m_canEject = can; }
    void failOpen(const std::string &reason) { m_openFailure = reason; }
    // The open drive turns out unusable, as a rip whose files do not play: NoDrive with `reason`.
    void failLater(const std::string &reason) { m_lateFailure = reason; }
    void failNext(Op op) { m_failures.push_back(op); }
    // From now on, play stands still for `ms` (a drive stuck in retries or spinning up).
    void stall(int ms);
    const std::vector<std::string> &log() const { return m_log; }
    void clearLog() { m_log.clear(); }
    bool doorOpen() const { return m_doorOpen; }

    // --- CdDrive ---
    bool open(std::string &reason) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    std::string failure() const override { return m_open ? m_lateFailure : std::string(); }
    DriveStatus status() const override;
    TableOfContents toc() const override;
    bool canEject() const override { return m_canEject; }
    bool play(int sector) override;
    bool stop() override;
    bool pause() override;
    bool resume() override;
    bool seek(int sector) override;
    bool eject() override;

private:
    bool ready() const;
    bool takeFailure(Op op);
    void settle() const;  // turns a play that has run to its end into a stop
    int playingSector() const;
    void record(std::string entry) { m_log.push_back(std::move(entry)); }

    std::function<long long()> m_clock;
    long long m_virtualNow = 0;
    std::optional<SimulatedDisc> m_disc;
    bool m_open = false;
    bool m_doorOpen = false;
    bool m_canEject = true;
    int m_readyDelayMs = 0;
    long long m_closedAt = 0;
    std::string m_openFailure;
    std::string m_lateFailure;
    std::vector<Op> m_failures;
    std::vector<std::string> m_log;

    mutable DriveState m_state = DriveState::Stopped;
    mutable int m_position = 0;  // position while not playing
    int m_playFrom = 0;
    int m_playEnd = 0;
    long long m_playStartedAt = 0;
    long long m_stallUntil = 0;
};

}  // namespace platform
