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
// 16-bit stereo is taken, so that every sample is played as it was ripped.
//
// Each decoded frame is placed at the sample where it belongs, not where the container's clock
// roughly says: a FLAC frame's header numbers its first sample, a container whose clock counts
// samples gives them exactly, and elsewhere (Matroska's milliseconds) the samples are counted from
// the file's start. So a frame that does not decode leaves a hole of silence and the samples after
// it stay where they belong, and a seek lands on the exact sample. One thread at a time.
class FfmpegDecoder final : public AudioDecoder {
public:
    // What AudioDecoder::open promises, done with FFmpeg.
    static std::unique_ptr<AudioDecoder> open(const std::string &path, const std::string &shownName,
                                              bool checkEnd, std::string &reason,
                                              const std::atomic<bool> *cancelled = nullptr);
    ~FfmpegDecoder() override;
    FfmpegDecoder(const FfmpegDecoder &) = delete;
    FfmpegDecoder &operator=(const FfmpegDecoder &) = delete;

    long long frames() const override { return m_frames; }
    void read(long long frame, int count, uint8_t *out) override;
    long long endFound() const override { return m_endFound; }

private:
    FfmpegDecoder() = default;
    bool openFile(const std::string &path, const std::string &shownName, std::string &reason,
                  const std::atomic<bool> *cancelled);
    bool openCodec(const std::string &shownName, std::string &reason);
    void choosePlacing();
    long long countFrames();
    bool findRealEnd(const std::string &shownName, std::string &reason);
    void seek(long long frame);
    bool seekTo(long long frame);
    bool decodeMore();
    void stampPacket();
    bool append(const AVFrame *frame);
    long long placeOf(const AVFrame *frame) const;
    long long toFrames(int64_t timestamp) const;
    void dropBefore(long long frame);

    AVFormatContext *m_format = nullptr;
    AVCodecContext *m_codec = nullptr;
    AVPacket *m_packet = nullptr;
    AVFrame *m_frame = nullptr;
    int m_stream = -1;
    long long m_frames = 0;
    int64_t m_startTime = 0;
    int m_sampleFormat = -1;         // the format opened with: a frame in another is damage
    long long m_flacBlockSize = -1;  // a FLAC stream's fixed block size, 0 for variable blocks, -1 for other codecs
    bool m_exactClock = false;       // the container's timestamps count single samples
    bool m_countFromStart = false;   // no exact positions: seeks decode from the file's start and count
    long long m_clockTolerance = 0;  // how far the container's rough clock may be off, in samples

    std::vector<int16_t> m_samples; // decoded and not yet read: interleaved left, right
    long long m_samplesStart = 0;   // the frame of m_samples[0]
    bool m_anchored = false;        // m_samplesStart is known (after a seek, once a frame decoded)
    bool m_draining = false;        // the demuxer is at its end; the decoder gives what it holds
    bool m_atEnd = false;
    long long m_endFound = -1;
    long long m_seekTarget = 0;
    long long m_largestFrame = 0;   // the most samples a decoded frame held
    bool m_lastFrameShort = false;  // the last frame decoded held fewer: the stream's real end
};

} // namespace platform

// The decoding module's one entry point, looked up by AudioDecoder::open: the same as
// FfmpegDecoder::open, with the reason written to `reason`. Named for its arguments, so that a
// module of an older build (without `cancelled`) is passed over rather than called wrongly.
extern "C" platform::AudioDecoder *tunewickOpenAudioDecoderCancellable(const std::string &path,
                                                                       const std::string &shownName, bool checkEnd,
                                                                       std::string &reason,
                                                                       const std::atomic<bool> *cancelled);
