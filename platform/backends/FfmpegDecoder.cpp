#include "platform/backends/FfmpegDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <bit>
#include <cstring>
#include <mutex>

namespace platform {

static_assert(std::endian::native == std::endian::little, "samples are handed on as they lie in memory");

namespace {

constexpr long long kFollowFrames = AudioDecoder::kRate;       // reading this far ahead decodes on
constexpr long long kLongestHole = 10LL * AudioDecoder::kRate; // a longer hole is not filled in memory
constexpr int kPacketsWithoutSound = 20000;                    // then the file counts as ended
constexpr const char *kAudioContainers = "wav,w64,aiff,flac,ape,wv,tak,tta,ogg,mov,caf,matroska";

void quietLibraries() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

std::string describe(const AVCodecContext *codec) {
    const int bits = codec->bits_per_raw_sample > 0 ? codec->bits_per_raw_sample
                                                     : av_get_bytes_per_sample(codec->sample_fmt) * 8;
    return std::string(codec->codec ? codec->codec->name : "?") + ", " + std::to_string(codec->sample_rate) +
           " Hz, " + std::to_string(bits) + " ビット, " + std::to_string(codec->ch_layout.nb_channels) + " チャンネル";
}

bool isCdFormat(const AVCodecContext *codec) {
    const bool sixteen = codec->sample_fmt == AV_SAMPLE_FMT_S16 || codec->sample_fmt == AV_SAMPLE_FMT_S16P;
    return sixteen && codec->sample_rate == AudioDecoder::kRate && codec->ch_layout.nb_channels == 2 &&
           (codec->bits_per_raw_sample == 0 || codec->bits_per_raw_sample == 16);
}

} // namespace

std::unique_ptr<AudioDecoder> FfmpegDecoder::open(const std::string &path, const std::string &shownName,
                                                 bool checkEnd, std::string &reason) {
    quietLibraries();
    std::unique_ptr<FfmpegDecoder> decoder(new FfmpegDecoder);
    if (!decoder->openFile(path, shownName, reason)) return nullptr;
    if (checkEnd && decoder->m_frames > 0) {
        const long long from = std::max(0LL, decoder->m_frames - kRate);
        std::vector<uint8_t> tail(static_cast<size_t>(decoder->m_frames - from) * 4);
        decoder->read(from, static_cast<int>(decoder->m_frames - from), tail.data());
        // A file whose last sector is short is normal; more than that missing is not.
        constexpr long long kSectorFrames = 588;
        if (decoder->m_endFound >= 0 && decoder->m_endFound < decoder->m_frames - kSectorFrames) {
            reason = "音声ファイルが途中で切れています: " + shownName;
            return nullptr;
        }
    }
    return decoder;
}

FfmpegDecoder::~FfmpegDecoder() {
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_codec);
    avformat_close_input(&m_format);
}

bool FfmpegDecoder::openFile(const std::string &path, const std::string &shownName, std::string &reason) {
    const std::string unreadable = "音声ファイルを読めません: " + shownName;
    // A local file in an audio container, and nothing else: a file that probes as a playlist or a
    // concatenation must not make the demuxer open other files or the network.
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", kAudioContainers, 0);
    const int opened = avformat_open_input(&m_format, ("file:" + path).c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0 || avformat_find_stream_info(m_format, nullptr) < 0) {
        reason = unreadable;
        return false;
    }
    const AVCodec *codec = nullptr;
    m_stream = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (m_stream < 0 || !codec) {
        reason = m_stream == AVERROR_DECODER_NOT_FOUND ? "この形式の音声は再生できません: " + shownName
                                                       : "音声がありません: " + shownName;
        return false;
    }
    m_codec = avcodec_alloc_context3(codec);
    const AVStream *stream = m_format->streams[m_stream];
    if (!m_codec || avcodec_parameters_to_context(m_codec, stream->codecpar) < 0) {
        reason = unreadable;
        return false;
    }
    // A frame whose checksum fails is damaged: it becomes silence instead of noise.
    m_codec->err_recognition |= AV_EF_CRCCHECK | AV_EF_EXPLODE;
    if (avcodec_open2(m_codec, codec, nullptr) < 0) {
        reason = unreadable;
        return false;
    }
    if (!isCdFormat(m_codec)) {
        reason = "CD の音声 (44100 Hz, 16 ビット, 2 チャンネル) ではありません: " + shownName + " (" +
                 describe(m_codec) + ")";
        return false;
    }
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (!m_packet || !m_frame) {
        reason = unreadable;
        return false;
    }
    m_startTime = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    const bool headerKnows = stream->duration != AV_NOPTS_VALUE && stream->duration > 0 &&
                             m_format->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE;
    m_frames = headerKnows ? toFrames(stream->duration + m_startTime) : countFrames();
    if (m_frames <= 0) {
        reason = "音声がありません: " + shownName;
        return false;
    }
    return true;
}

// For a file whose header does not say its length: the packets' durations, summed without decoding.
long long FfmpegDecoder::countFrames() {
    long long end = 0;
    while (av_read_frame(m_format, m_packet) >= 0) {
        if (m_packet->stream_index == m_stream && m_packet->pts != AV_NOPTS_VALUE)
            end = std::max(end, toFrames(m_packet->pts + m_packet->duration));
        av_packet_unref(m_packet);
    }
    return end;
}

long long FfmpegDecoder::toFrames(int64_t timestamp) const {
    return av_rescale_q(timestamp - m_startTime, m_format->streams[m_stream]->time_base, AVRational{1, kRate});
}

void FfmpegDecoder::read(long long frame, int count, uint8_t *out) {
    const long long bufferedEnd = m_samplesStart + static_cast<long long>(m_samples.size() / 2);
    if (!m_anchored || frame < m_samplesStart || frame > bufferedEnd + kFollowFrames) seek(frame);
    auto *to = reinterpret_cast<int16_t *>(out);
    while (count > 0) {
        const long long end = m_samplesStart + static_cast<long long>(m_samples.size() / 2);
        if (m_anchored && frame < m_samplesStart) {
            // A hole: the decoder could not land before this frame, or the file was damaged here.
            const int n = static_cast<int>(std::min<long long>(count, m_samplesStart - frame));
            std::fill(to, to + 2 * n, int16_t{0});
            to += 2 * n, frame += n, count -= n;
        } else if (m_anchored && frame < end) {
            const int n = static_cast<int>(std::min<long long>(count, end - frame));
            std::copy_n(m_samples.begin() + 2 * (frame - m_samplesStart), 2 * n, to);
            to += 2 * n, frame += n, count -= n;
        } else {
            dropBefore(frame);
            if (m_atEnd || !decodeMore()) {
                std::fill(to, to + 2 * count, int16_t{0});
                return;
            }
        }
    }
    dropBefore(frame);
}

void FfmpegDecoder::dropBefore(long long frame) {
    if (!m_anchored || frame <= m_samplesStart) return;
    const size_t drop = std::min(m_samples.size(), static_cast<size_t>(frame - m_samplesStart) * 2);
    m_samples.erase(m_samples.begin(), m_samples.begin() + static_cast<std::ptrdiff_t>(drop));
    m_samplesStart += static_cast<long long>(drop / 2);
}

// Seeks so that decoding starts at or before `frame`: demuxers land on a frame boundary near the
// target, sometimes after it, so a landing too late is tried again from further back.
void FfmpegDecoder::seek(long long frame) {
    for (long long back : {0LL, 5LL * kRate, frame}) {
        seekTo(std::max(0LL, frame - back));
        if (m_atEnd || !decodeMore()) return;
        if (m_samplesStart <= frame) return;
    }
}

void FfmpegDecoder::seekTo(long long frame) {
    m_samples.clear();
    m_anchored = false;
    m_draining = false;
    m_atEnd = false;
    m_seekTarget = frame;
    const AVStream *stream = m_format->streams[m_stream];
    const int64_t timestamp = av_rescale_q(frame, AVRational{1, kRate}, stream->time_base) + m_startTime;
    if (av_seek_frame(m_format, m_stream, timestamp, AVSEEK_FLAG_BACKWARD) < 0 && frame == 0)
        av_seek_frame(m_format, m_stream, 0, AVSEEK_FLAG_BYTE);
    avcodec_flush_buffers(m_codec);
}

// Decodes until one more frame of sound is in m_samples; false at the end of the file.
bool FfmpegDecoder::decodeMore() {
    for (int packets = 0; packets < kPacketsWithoutSound; ++packets) {
        const int received = avcodec_receive_frame(m_codec, m_frame);
        if (received == 0) {
            append(m_frame);
            av_frame_unref(m_frame);
            return true;
        }
        if (received == AVERROR_EOF) break;
        // Anything but "needs more input" is a damaged frame: its place stays silent.
        if (m_draining) {
            if (received == AVERROR(EAGAIN)) break;
            continue;
        }
        if (av_read_frame(m_format, m_packet) < 0) {
            m_draining = true;
            avcodec_send_packet(m_codec, nullptr);
            continue;
        }
        if (m_packet->stream_index == m_stream) avcodec_send_packet(m_codec, m_packet);
        av_packet_unref(m_packet);
    }
    m_atEnd = true;
    if (m_anchored) m_endFound = m_samplesStart + static_cast<long long>(m_samples.size() / 2);
    else m_endFound = m_seekTarget;
    return false;
}

void FfmpegDecoder::append(const AVFrame *frame) {
    const long long end = m_samplesStart + static_cast<long long>(m_samples.size() / 2);
    const int64_t timestamp = frame->best_effort_timestamp;
    long long at = timestamp == AV_NOPTS_VALUE ? (m_anchored ? end : m_seekTarget) : toFrames(timestamp);
    if (!m_anchored) {
        m_anchored = true;
        m_samplesStart = at;
    } else if (at > end) {
        if (at - end <= kLongestHole) m_samples.resize(m_samples.size() + static_cast<size_t>(at - end) * 2, 0);
        else {
            m_samples.clear();
            m_samplesStart = at;
        }
    }
    const long long now = m_samplesStart + static_cast<long long>(m_samples.size() / 2);
    const int skip = static_cast<int>(std::clamp<long long>(now - at, 0, frame->nb_samples));
    const bool planar = frame->format == AV_SAMPLE_FMT_S16P;
    const auto *left = reinterpret_cast<const int16_t *>(frame->extended_data[0]);
    const auto *right = planar ? reinterpret_cast<const int16_t *>(frame->extended_data[1]) : nullptr;
    m_samples.reserve(m_samples.size() + static_cast<size_t>(frame->nb_samples - skip) * 2);
    for (int i = skip; i < frame->nb_samples; ++i) {
        if (planar) {
            m_samples.push_back(left[i]);
            m_samples.push_back(right[i]);
        } else {
            m_samples.push_back(left[2 * i]);
            m_samples.push_back(left[2 * i + 1]);
        }
    }
}

} // namespace platform

platform::AudioDecoder *tunewickOpenAudioDecoder(const std::string &path, const std::string &shownName, bool checkEnd,
                                                std::string &reason) {
    return platform::FfmpegDecoder::open(path, shownName, checkEnd, reason).release();
}
