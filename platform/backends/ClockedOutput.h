#pragma once

#include "platform/backends/AudioOutput.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <vector>

namespace platform {

// An output device simulated in software: a buffer that a clock empties at 44100 frames a second
// times `speed`. What the clock plays out goes to consume(); what drop() discards never does.
// Tests run it faster than real time; the player's null and file outputs run it at speed 1.
class ClockedOutput : public AudioOutput {
public:
    explicit ClockedOutput(double speed = 1.0, int bufferMs = 200);

    bool write(const uint8_t *data, int frames) override;
    long delayFrames() override;
    long availableFrames() override;
    void flush() override {}
    long drop() override;
    // Half the buffer: few wake-ups, and the position published is never older than one period.
    int periodFrames() const override { return m_bufferFrames / 2; }

    // Frames played out so far; any thread.
    long long consumedFrames() const;
    // Times the clock ran past everything queued and more sound followed without a drop() between:
    // the gaps a listener would have heard. The end of a play, or a pause, is none. Any thread.
    long long gaps() const;

protected:
    // Receives the bytes the clock has just played out, in order; called with the lock held.
    virtual void consume(const uint8_t *data, size_t bytes) = 0;

private:
    using Clock = std::chrono::steady_clock;
    void advance();                           // plays out what the clock has reached; lock held
    void playOut(size_t bytes);               // hands the oldest queued bytes to consume(); lock held
    long queuedFrames() const { return static_cast<long>(m_queued / kFrameBytes); }

    const double m_speed;
    const int m_bufferFrames;
    mutable std::mutex m_mutex;
    // The queue is a ring of one buffer's bytes, so that neither a write nor the clock moves or
    // reallocates what is queued: each byte is copied in once and handed to consume() in place.
    std::vector<uint8_t> m_ring;
    size_t m_head = 0;   // oldest queued byte
    size_t m_queued = 0; // bytes queued, not yet played out
    Clock::time_point m_anchor; // when the present run of continuous play began
    long long m_playedSinceAnchor = 0;
    long long m_consumed = 0;
    bool m_ranDry = false; // the clock has passed the end of the queue since the last write or drop
    long long m_gaps = 0;
};

// TUNEWICK_AUDIO=null: plays out in real time (or faster, for tests) into nothing, or into a
// checksum or a copy when asked.
class NullOutput : public ClockedOutput {
public:
    explicit NullOutput(double speed = 1.0, int bufferMs = 200);
    std::string name() const override { return "null"; }

    // Sums every byte played out from now on. Off by default: the player's null output must cost
    // no more than a sound card would, and a byte-wise sum is most of a playing drive's work.
    void keepChecksum(bool keep);
    // FNV-1a 64 of every byte played out while the sum was kept; any thread.
    uint64_t checksum() const;
    // Keeps a copy of every byte played out, for tests that compare the sound itself.
    void keepCopy(bool keep);
    std::vector<uint8_t> copy() const;

protected:
    void consume(const uint8_t *data, size_t bytes) override;

private:
    mutable std::mutex m_sumMutex;
    uint64_t m_checksum = 14695981039346656037ull;
    bool m_keepChecksum = false;
    bool m_keepCopy = false;
    std::vector<uint8_t> m_copy;
};

// TUNEWICK_AUDIO=wav:PATH: writes what would be heard to a WAV file. The header's sizes are
// brought up to date about once a second and when the output is destroyed, so the file stays
// readable also when the program is killed.
class WavOutput : public ClockedOutput {
public:
    // Opens `path` for writing; check ok() and error().
    explicit WavOutput(const std::string &path, double speed = 1.0);
    ~WavOutput() override;
    WavOutput(const WavOutput &) = delete;
    WavOutput &operator=(const WavOutput &) = delete;

    bool ok() const { return m_file != nullptr; }
    const std::string &error() const { return m_error; }
    std::string name() const override { return "wav:" + m_path; }

protected:
    void consume(const uint8_t *data, size_t bytes) override;

private:
    void writeHeader();

    std::string m_path;
    std::string m_error;
    std::FILE *m_file = nullptr;
    uint32_t m_dataBytes = 0;
    uint32_t m_sinceHeader = 0;
};

} // namespace platform
