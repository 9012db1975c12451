#include "platform/backends/AlsaOutput.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>

namespace platform {

namespace {
constexpr unsigned kLatencyUs = 200000;

// ALSA prints its own complaints to the terminal, several lines for one missing card. They are
// caught instead: while a device is being opened the first one is kept for the program's own
// line; any other is passed on as one line.
thread_local std::string *alsaComplaint = nullptr;

void catchAlsaError(const char *, int, const char *, int, const char *format, ...) {
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (!alsaComplaint)
        std::fprintf(stderr, "ALSA: %s\n", text);
    else if (alsaComplaint->empty())
        *alsaComplaint = text;
}

// Keeps ALSA's first complaint in `complaint` while it lives.
class AlsaComplaintCatcher {
public:
    explicit AlsaComplaintCatcher(std::string &complaint) {
        static const bool installed = snd_lib_error_set_handler(&catchAlsaError) == 0;
        (void)installed;
        alsaComplaint = &complaint;
    }
    ~AlsaComplaintCatcher() { alsaComplaint = nullptr; }
    AlsaComplaintCatcher(const AlsaComplaintCatcher &) = delete;
    AlsaComplaintCatcher &operator=(const AlsaComplaintCatcher &) = delete;
};
}  // namespace

AlsaOutput::AlsaOutput(const char *device) : m_device(device) {
    // Open without waiting for a busy device, then make writes block.
    std::string complaint;
    AlsaComplaintCatcher catcher(complaint);
    int err = snd_pcm_open(&m_pcm, device, SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (err < 0) {
        m_pcm = nullptr;
        m_error = std::string("cannot open ALSA ") + device + ": " + snd_strerror(err);
        if (!complaint.empty()) m_error += " (" + complaint + ")";
        return;
    }
    snd_pcm_nonblock(m_pcm, 0);
    err = snd_pcm_set_params(m_pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 2, kSampleRate, 1,
                             kLatencyUs);
    if (err < 0) {
        m_error = std::string("ALSA ") + device + " refuses 44100 Hz stereo: " + snd_strerror(err);
        if (!complaint.empty()) m_error += " (" + complaint + ")";
        snd_pcm_close(m_pcm);
        m_pcm = nullptr;
        return;
    }
    if (snd_pcm_get_params(m_pcm, &m_bufferFrames, &m_periodFrames) < 0 || m_periodFrames == 0) {
        m_periodFrames = 1024;
        m_bufferFrames = 0;
    }
}

AlsaOutput::~AlsaOutput() {
    if (!m_pcm) return;
    snd_pcm_drop(m_pcm);
    snd_pcm_close(m_pcm);
}

bool AlsaOutput::recover(int error) {
    if (snd_pcm_recover(m_pcm, error, 1) < 0) return false;
    return true;
}

bool AlsaOutput::write(const uint8_t *data, int frames) {
    if (!m_pcm) return false;
    while (frames > 0) {
        snd_pcm_sframes_t written = snd_pcm_writei(m_pcm, data, static_cast<snd_pcm_uframes_t>(frames));
        if (written < 0) {
            if (!recover(static_cast<int>(written))) return false;
            continue;
        }
        data += written * kFrameBytes;
        frames -= static_cast<int>(written);
    }
    return true;
}

long AlsaOutput::delayFrames() {
    if (!m_pcm) return 0;
    snd_pcm_state_t state = snd_pcm_state(m_pcm);
    if (state != SND_PCM_STATE_RUNNING && state != SND_PCM_STATE_PREPARED && state != SND_PCM_STATE_DRAINING)
        return 0;
    snd_pcm_sframes_t delay = 0;
    if (snd_pcm_delay(m_pcm, &delay) < 0 || delay < 0) return 0;
    return static_cast<long>(delay);
}

long AlsaOutput::availableFrames() {
    if (!m_pcm) return 0;
    snd_pcm_sframes_t avail = snd_pcm_avail(m_pcm);
    if (avail < 0) {
        if (!recover(static_cast<int>(avail))) return 0;
        avail = snd_pcm_avail(m_pcm);
    }
    return avail < 0 ? 0 : static_cast<long>(avail);
}

void AlsaOutput::flush() {
    // A play shorter than the buffer never reaches the start threshold; start it by hand.
    if (m_pcm && snd_pcm_state(m_pcm) == SND_PCM_STATE_PREPARED) snd_pcm_start(m_pcm);
}

long AlsaOutput::drop() {
    if (!m_pcm) return 0;
    long queued = delayFrames();
    snd_pcm_drop(m_pcm);
    snd_pcm_prepare(m_pcm);
    return queued;
}

} // namespace platform
