#pragma once

#include "platform/backends/AudioDecoder.h"

#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;

namespace platform {

// One audio file of a rip (FLAC, WAV, AIFF, APE, WavPack, TAK, ... through FFmpeg), decoded a
// little at a time as it is read: memory stays the same whatever the file's length. Only 44.1 kHz
// 16-bit stereo is taken, so that every sample is played as it was ripped. Timestamps keep the
// count exact: a frame that does not decode leaves a hole of silence, and the samples after it
// stay where they belong. One thread at a time.
class FfmpegDecoder final : public AudioDecoder {
public:
    // What AudioDecoder::open promises, done with FFmpeg.
    static std::unique_ptr<AudioDecoder> open(const std::string &path, const std::string &shownName,
                                              bool checkEnd, std::string &reason);
    ~FfmpegDecoder() override;
    FfmpegDecoder(const FfmpegDecoder &) = delete;
    FfmpegDecoder &operator=(const FfmpegDecoder &) = delete;

    long long frames() const override { return m_frames; }
    void read(long long frame, int count, uint8_t *out) override;
    long long endFound() const override { return m_endFound; }

private:
    FfmpegDecoder() = default;
    bool openFile(const std::string &path, const std::string &shownName, std::string &reason);
    long long countFrames();
    void seek(long long frame);
    void seekTo(long long frame);
    bool decodeMore();
    void append(const AVFrame *frame);
    long long toFrames(int64_t timestamp) const;
    void dropBefore(long long frame);

    AVFormatContext *m_format = nullptr;
    AVCodecContext *m_codec = nullptr;
    AVPacket *m_packet = nullptr;
    AVFrame *m_frame = nullptr;
    int m_stream = -1;
    long long m_frames = 0;
    int64_t m_startTime = 0;

    std::vector<int16_t> m_samples; // decoded and not yet read: interleaved left, right
    long long m_samplesStart = 0;   // the frame of m_samples[0]
    bool m_anchored = false;        // m_samplesStart is known (after a seek, once a frame decoded)
    bool m_draining = false;        // the demuxer is at its end; the decoder gives what it holds
    bool m_atEnd = false;
    long long m_endFound = -1;
    long long m_seekTarget = 0;
};

} // namespace platform

// The decoding module's one entry point, looked up by AudioDecoder::open: the same as
// FfmpegDecoder::open, with the reason written to `reason`.
extern "C" platform::AudioDecoder *tunewickOpenAudioDecoder(const std::string &path, const std::string &shownName,
                                                           bool checkEnd, std::string &reason);
