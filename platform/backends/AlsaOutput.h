#pragma once

#include "platform/backends/AudioOutput.h"

#include <alsa/asoundlib.h>

#include <algorithm>

namespace platform {

// The ALSA device "default" (PipeWire or PulseAudio on a desktop, the hardware elsewhere),
// S16LE stereo 44100 Hz with a buffer of about 200 ms; writes block.
class AlsaOutput : public AudioOutput {
public:
    // Opens the device; check ok() and error().
    explicit AlsaOutput(const char *device = "default");
    ~AlsaOutput() override;
    AlsaOutput(const AlsaOutput &) = delete;
    AlsaOutput &operator=(const AlsaOutput &) = delete;

    bool ok() const { return m_pcm != nullptr; }
    const std::string &error() const { return m_error; }

    bool write(const uint8_t *data, int frames) override;
    long delayFrames() override;
    long availableFrames() override;
    void flush() override;
    long drop() override;
    // Half the buffer rather than ALSA's period (a quarter of it): the worker wakes ten times a
    // second instead of 27, and still finds 100 ms queued when it wakes.
    int periodFrames() const override {
        return static_cast<int>(std::max(m_periodFrames, m_bufferFrames / 2));
    }
    std::string name() const override { return "ALSA " + m_device; }

private:
    bool recover(int error); // after an xrun or a suspend; false when the device is gone

    std::string m_device;
    std::string m_error;
    snd_pcm_t *m_pcm = nullptr;
    snd_pcm_uframes_t m_periodFrames = 1024;
    snd_pcm_uframes_t m_bufferFrames = 0;
};

} // namespace platform
