#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

constexpr int kSampleRate = 44100;
constexpr int kFrameBytes = 4; // one stereo frame of two signed 16-bit little-endian samples
constexpr int kFramesPerSector = 588;

// Where the extraction drive sends its sound: S16LE stereo at 44100 Hz. The drive's worker thread
// is the only caller of every method; an output is handed from one worker to the next, never shared.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // Queues `frames` frames; blocks until all are queued (at most about one period when the
    // buffer is full). False when the device failed and cannot recover; nothing more will play.
    virtual bool write(const uint8_t *data, int frames) = 0;
    // Frames queued that have not been heard yet; never blocks.
    virtual long delayFrames() = 0;
    // Frames that write() would take now without blocking.
    virtual long availableFrames() = 0;
    // Starts sound even when less than a buffer is queued: no more audio follows for now.
    virtual void flush() = 0;
    // Discards everything queued without playing it and returns how many frames that was.
    virtual long drop() = 0;
    // Frames per write that keep the worker's wake-ups few: about half the buffer.
    virtual int periodFrames() const = 0;
    // One line for the user, e.g. "ALSA default".
    virtual std::string name() const = 0;
};

// The output that TUNEWICK_AUDIO names: empty for the default ALSA device, "null", or "wav:PATH".
// When that output cannot be opened, returns the null output and says why in `note`.
std::shared_ptr<AudioOutput> createOutput(const std::string &choice, std::string &note);

} // namespace platform
