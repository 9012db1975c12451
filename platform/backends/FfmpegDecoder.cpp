#include "platform/backends/FfmpegDecoder.h"

#include "platform/Messages.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/common.h>
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
constexpr long long kSectorFrames = 588;
constexpr const char *kAudioContainers = "wav,w64,aiff,flac,ape,wv,tak,tta,ogg,mov,caf,matroska";

void quietLibraries() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

std::string describe(const AVCodecContext *codec) {
    const int bits = codec->bits_per_raw_sample > 0 ? codec->bits_per_raw_sample
                                                     : av_get_bytes_per_sample(codec->sample_fmt) * 8;
    return message(QT_TRANSLATE_NOOP("platform", "%1, %2 Hz, %3 ビット, %4 チャンネル"),
                   {codec->codec ? codec->codec->name : "?", std::to_string(codec->sample_rate), std::to_string(bits),
                    std::to_string(codec->ch_layout.nb_channels)});
}

bool isCdFormat(const AVCodecContext *codec) {
    const bool sixteen = codec->sample_fmt == AV_SAMPLE_FMT_S16 || codec->sample_fmt == AV_SAMPLE_FMT_S16P;
    return sixteen && codec->sample_rate == AudioDecoder::kRate && codec->ch_layout.nb_channels == 2 &&
           (codec->bits_per_raw_sample == 0 || codec->bits_per_raw_sample == 16);
}

std::string notRipFormat(const std::string &shownName, const char *format) {
    return message(QT_TRANSLATE_NOOP("platform", "CD のリッピングに使われる形式ではありません: %1 (%2)"), {shownName, format});
}

bool isAcceptedContainer(const char *names) {
    const std::string accepted = std::string(",") + kAudioContainers + ",";
    std::string list = names;
    for (size_t at = 0; at <= list.size();) {
        size_t end = list.find(',', at);
        if (end == std::string::npos) end = list.size();
        if (accepted.find("," + list.substr(at, end - at) + ",") != std::string::npos) return true;
        at = end + 1;
    }
    return false;
}

// Why a file that no accepted container opens is refused: when FFmpeg recognises its format (an
// MP3, an AAC stream, ...) the reason names it, as a format rips are not kept in.
std::string refusedFile(const std::string &path, const std::string &shownName) {
    std::string reason = message(QT_TRANSLATE_NOOP("platform", "音声ファイルを読めません: %1"), {shownName});
    AVIOContext *io = nullptr;
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int opened = avio_open2(&io, ("file:" + path).c_str(), AVIO_FLAG_READ, nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) return reason;
    const AVInputFormat *format = nullptr;
    const int score = av_probe_input_buffer2(io, &format, path.c_str(), nullptr, 0, 0);
    if (score > AVPROBE_SCORE_RETRY && format && !isAcceptedContainer(format->name))
        reason = notRipFormat(shownName, format->long_name ? format->long_name : format->name);
    avio_closep(&io);
    return reason;
}

uint8_t crc8(const uint8_t *data, int size) {
    uint8_t crc = 0;
    for (int i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint8_t>(crc & 0x80 ? (crc << 1) ^ 0x07 : crc << 1);
    }
    return crc;
}

// The first sample of the FLAC frame that `data` begins with, as its header numbers it (a stream
// of fixed-size blocks numbers its frames, one of variable blocks its samples); -1 when `data`
// does not begin with a header whose checksum holds. Containers' clocks can be coarser than a
// sample (Matroska) or wrong after seeks (Ogg); the frame's own number is exact in all of them.
long long flacFirstSample(const uint8_t *data, int size, long long blockSize) {
    if (!data || size < 6 || data[0] != 0xFF || (data[1] & 0xFE) != 0xF8) return -1;
    const bool variable = data[1] & 1;
    const int blockCode = data[2] >> 4, rateCode = data[2] & 0x0F;
    const uint8_t lead = data[4];
    int more = 0;
    while (more < 8 && (lead << more) & 0x80) ++more; // UTF-8 style: the leading ones give the length
    if (more == 1 || more == 8 || 5 + std::max(0, more - 1) > size) return -1;
    long long value = more == 0 ? lead : lead & (0x7F >> more);
    int at = 5;
    for (int k = 1; k < more; ++k, ++at) {
        if ((data[at] & 0xC0) != 0x80) return -1;
        value = (value << 6) | (data[at] & 0x3F);
    }
    at += blockCode == 6 ? 1 : blockCode == 7 ? 2 : 0;
    at += rateCode == 12 ? 1 : rateCode == 13 || rateCode == 14 ? 2 : 0;
    if (at >= size || crc8(data, at) != data[at]) return -1;
    if (variable) return value;
    return blockSize > 0 ? value * blockSize : -1;
}

// The fixed block size and the length in samples from a FLAC stream's STREAMINFO (its extradata,
// with or without the "fLaC" mark and block header before it); zero where it does not say.
struct StreamInfo {
    long long blockSize = 0;
    long long samples = 0;
};

StreamInfo flacStreamInfo(const AVCodecParameters *parameters) {
    const uint8_t *info = parameters->extradata;
    int size = parameters->extradata_size;
    if (info && size >= 42 && std::memcmp(info, "fLaC", 4) == 0) info += 8, size -= 8;
    StreamInfo result;
    if (!info || size < 34) return result;
    const int minBlock = info[0] << 8 | info[1], maxBlock = info[2] << 8 | info[3];
    if (minBlock == maxBlock) result.blockSize = minBlock;
    result.samples = static_cast<long long>(info[13] & 0x0F) << 32 | static_cast<long long>(info[14]) << 24 |
                     info[15] << 16 | info[16] << 8 | info[17];
    return result;
}

} // namespace

std::unique_ptr<AudioDecoder> FfmpegDecoder::open(const std::string &path, const std::string &shownName,
                                                 bool checkEnd, std::string &reason,
                                                 const std::atomic<bool> *cancelled) {
    quietLibraries();
    std::unique_ptr<FfmpegDecoder> decoder(new FfmpegDecoder);
    if (!decoder->openFile(path, shownName, reason, cancelled)) return nullptr;
    if (checkEnd && decoder->m_frames > 0 && !decoder->findRealEnd(shownName, reason)) return nullptr;
    return decoder;
}

FfmpegDecoder::~FfmpegDecoder() {
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_codec);
    avformat_close_input(&m_format);
}

bool FfmpegDecoder::openFile(const std::string &path, const std::string &shownName, std::string &reason,
                             const std::atomic<bool> *cancelled) {
    m_format = avformat_alloc_context();
    if (!m_format) {
        reason = message(QT_TRANSLATE_NOOP("platform", "音声ファイルを読めません: %1"), {shownName});
        return false;
    }
    // Every read asks whether to go on: a cancelled open meets the end of the file at its next read.
    if (cancelled) {
        m_format->interrupt_callback.callback = [](void *flag) {
            return static_cast<int>(static_cast<const std::atomic<bool> *>(flag)->load());
        };
        m_format->interrupt_callback.opaque = const_cast<std::atomic<bool> *>(cancelled);
    }
    // A local file in an audio container, and nothing else: a file that probes as a playlist or a
    // concatenation must not make the demuxer open other files or the network.
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", kAudioContainers, 0);
    const int opened = avformat_open_input(&m_format, ("file:" + path).c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) {
        reason = refusedFile(path, shownName);
        return false;
    }
    if (avformat_find_stream_info(m_format, nullptr) < 0) {
        reason = message(QT_TRANSLATE_NOOP("platform", "音声ファイルを読めません: %1"), {shownName});
        return false;
    }
    if (!openCodec(shownName, reason)) return false;
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (!m_packet || !m_frame) {
        reason = message(QT_TRANSLATE_NOOP("platform", "音声ファイルを読めません: %1"), {shownName});
        return false;
    }
    const AVStream *stream = m_format->streams[m_stream];
    m_startTime = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    choosePlacing();
    const StreamInfo flac = m_flacBlockSize >= 0 ? flacStreamInfo(stream->codecpar) : StreamInfo{};
    const bool headerKnows = stream->duration != AV_NOPTS_VALUE && stream->duration > 0 && m_exactClock &&
                             m_format->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE;
    m_frames = flac.samples > 0 ? flac.samples : headerKnows ? toFrames(av_sat_add64(stream->duration, m_startTime)) : countFrames();
    if (m_frames <= 0) {
        reason = message(QT_TRANSLATE_NOOP("platform", "音声がありません: %1"), {shownName});
        return false;
    }
    return true;
}

bool FfmpegDecoder::openCodec(const std::string &shownName, std::string &reason) {
    const std::string unreadable = message(QT_TRANSLATE_NOOP("platform", "音声ファイルを読めません: %1"), {shownName});
    const AVCodec *codec = nullptr;
    m_stream = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (m_stream < 0 || !codec) {
        reason = m_stream == AVERROR_DECODER_NOT_FOUND
                     ? message(QT_TRANSLATE_NOOP("platform", "この形式の音声は再生できません: %1"), {shownName})
                     : message(QT_TRANSLATE_NOOP("platform", "音声がありません: %1"), {shownName});
        return false;
    }
    const AVStream *stream = m_format->streams[m_stream];
    // An MP3, AAC, Vorbis or Opus stream lost samples when it was made: it is no rip of a CD.
    const AVCodecDescriptor *descriptor = avcodec_descriptor_get(stream->codecpar->codec_id);
    if (descriptor && (descriptor->props & AV_CODEC_PROP_LOSSY) && !(descriptor->props & AV_CODEC_PROP_LOSSLESS)) {
        reason = notRipFormat(shownName, descriptor->long_name ? descriptor->long_name : descriptor->name);
        return false;
    }
    m_codec = avcodec_alloc_context3(codec);
    if (!m_codec || avcodec_parameters_to_context(m_codec, stream->codecpar) < 0) {
        reason = unreadable;
        return false;
    }
    // A frame whose checksum fails is damaged: it becomes silence instead of noise.
    m_codec->err_recognition |= AV_EF_CRCCHECK | AV_EF_EXPLODE;
    // Packets carry sample numbers (stampPacket); the decoder moves them past samples it drops.
    m_codec->pkt_timebase = AVRational{1, kRate};
    if (avcodec_open2(m_codec, codec, nullptr) < 0) {
        reason = unreadable;
        return false;
    }
    if (!isCdFormat(m_codec)) {
        reason = message(QT_TRANSLATE_NOOP("platform", "CD の音声 (44100 Hz, 16 ビット, 2 チャンネル) ではありません: %1 (%2)"),
                         {shownName, describe(m_codec)});
        return false;
    }
    m_sampleFormat = m_codec->sample_fmt;
    return true;
}

// How decoded frames find their place: FLAC frames by their headers; others by the container's
// clock when it counts single samples. The Ogg demuxer's clock is not trusted: after repeated
// seeks it gives a packet a time up to half a second off.
void FfmpegDecoder::choosePlacing() {
    const AVStream *stream = m_format->streams[m_stream];
    const AVRational tick = stream->time_base;
    const bool ogg = std::strcmp(m_format->iformat->name, "ogg") == 0;
    m_exactClock = tick.num > 0 && static_cast<long long>(tick.num) * kRate <= tick.den && !ogg;
    m_clockTolerance = 2 * av_rescale_q_rnd(1, tick, AVRational{1, kRate}, AV_ROUND_UP) + 1;
    if (stream->codecpar->codec_id == AV_CODEC_ID_FLAC) m_flacBlockSize = flacStreamInfo(stream->codecpar).blockSize;
    m_countFromStart = m_flacBlockSize <= 0 && !m_exactClock;
}

// For a file whose header does not say its length: the packets' durations, summed without decoding.
long long FfmpegDecoder::countFrames() {
    long long end = 0;
    while (av_read_frame(m_format, m_packet) >= 0) {
        if (m_packet->stream_index == m_stream && m_packet->pts != AV_NOPTS_VALUE)
            end = std::max(end, toFrames(av_sat_add64(m_packet->pts, m_packet->duration)));
        av_packet_unref(m_packet);
    }
    return end;
}

// Decodes the file's last second: a file cut short is refused now rather than found out while
// playing. The last packet may be padded to a whole packet, which the header counts (ALAC in CAF):
// the length is then the samples decoded. Where positions are counted from the start, the length
// counted is the length.
bool FfmpegDecoder::findRealEnd(const std::string &shownName, std::string &reason) {
    long long at = m_countFromStart ? 0 : std::max(0LL, m_frames - kRate);
    std::vector<uint8_t> tail(static_cast<size_t>(kRate) * 4);
    while (m_endFound < 0 && (at < m_frames || m_countFromStart)) {
        read(at, kRate, tail.data());
        at += kRate;
    }
    if (m_endFound < 0) return true;
    const bool paddedLastPacket = m_endFound < m_frames && m_endFound > m_frames - m_largestFrame && m_lastFrameShort;
    if (m_countFromStart || paddedLastPacket) m_frames = m_endFound;
    if (m_frames <= 0) {
        reason = message(QT_TRANSLATE_NOOP("platform", "音声がありません: %1"), {shownName});
        return false;
    }
    // A file whose last sector is short is normal; more than that missing is not.
    if (m_endFound < m_frames - kSectorFrames) {
        reason = message(QT_TRANSLATE_NOOP("platform", "音声ファイルが途中で切れています: %1"), {shownName});
        return false;
    }
    return true;
}

long long FfmpegDecoder::toFrames(int64_t timestamp) const {
    // Saturating: a damaged file's timestamps may lie anywhere.
    return av_rescale_q(av_sat_sub64(timestamp, m_startTime), m_format->streams[m_stream]->time_base, AVRational{1, kRate});
}

void FfmpegDecoder::read(long long frame, int count, uint8_t *out) {
    const long long bufferedEnd = m_samplesStart + static_cast<long long>(m_samples.size() / 2);
    const bool farAhead = frame > bufferedEnd + kFollowFrames && !m_countFromStart;
    if (!m_anchored || frame < m_samplesStart || farAhead) seek(frame);
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
// target, sometimes after it, and some fail near the end of a file (FLAC's without a seek point
// there), so a landing too late or a failed seek is tried again from further back. Without exact
// positions, decoding starts at the file's start and counts its way to `frame`.
void FfmpegDecoder::seek(long long frame) {
    if (m_countFromStart) {
        seekTo(0);
        return;
    }
    for (long long back : {0LL, 5LL * kRate, frame}) {
        const long long from = std::max(0LL, frame - back);
        if (!seekTo(from) && from > 0) continue;
        if (decodeMore() && m_samplesStart <= frame) return;
        if (from == 0) return;
    }
}

bool FfmpegDecoder::seekTo(long long frame) {
    m_samples.clear();
    m_anchored = false;
    m_draining = false;
    m_atEnd = false;
    m_seekTarget = frame;
    const AVStream *stream = m_format->streams[m_stream];
    const int64_t timestamp = av_sat_add64(av_rescale_q(frame, AVRational{1, kRate}, stream->time_base), m_startTime);
    bool landed = av_seek_frame(m_format, m_stream, timestamp, AVSEEK_FLAG_BACKWARD) >= 0;
    if (!landed && frame == 0) landed = av_seek_frame(m_format, m_stream, 0, AVSEEK_FLAG_BYTE) >= 0;
    avcodec_flush_buffers(m_codec);
    return landed;
}

// Decodes until one more frame of sound is in m_samples; false at the end of the file.
bool FfmpegDecoder::decodeMore() {
    for (int packets = 0; packets < kPacketsWithoutSound; ++packets) {
        const int received = avcodec_receive_frame(m_codec, m_frame);
        if (received == 0) {
            const bool placed = append(m_frame);
            av_frame_unref(m_frame);
            if (placed) return true;
            continue;
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
        if (m_packet->stream_index == m_stream) {
            stampPacket();
            avcodec_send_packet(m_codec, m_packet);
        }
        av_packet_unref(m_packet);
    }
    m_atEnd = true;
    if (m_anchored) m_endFound = m_samplesStart + static_cast<long long>(m_samples.size() / 2);
    else m_endFound = m_seekTarget;
    return false;
}

// Gives the packet, as the decoder passes them on to its frame, the sample where it begins when
// that is known exactly (pts), and the container's rough time for it in samples (dts).
void FfmpegDecoder::stampPacket() {
    long long exact = m_flacBlockSize >= 0 ? flacFirstSample(m_packet->data, m_packet->size, m_flacBlockSize) : -1;
    const bool timed = m_packet->pts != AV_NOPTS_VALUE;
    if (exact < 0 && m_exactClock && timed) exact = toFrames(m_packet->pts);
    m_packet->dts = timed ? toFrames(m_packet->pts) : AV_NOPTS_VALUE;
    m_packet->pts = exact >= 0 ? exact : AV_NOPTS_VALUE;
}

// The sample where a decoded frame begins, or -1 when it cannot be known (then it is not used).
long long FfmpegDecoder::placeOf(const AVFrame *frame) const {
    if (frame->pts != AV_NOPTS_VALUE) return frame->pts;
    if (!m_anchored) return m_countFromStart && m_seekTarget == 0 ? 0 : -1;
    // Counted on from the frame before, unless the rough clock shows a stretch lost to damage.
    const long long end = m_samplesStart + static_cast<long long>(m_samples.size() / 2);
    if (frame->pkt_dts != AV_NOPTS_VALUE && frame->pkt_dts > end + m_clockTolerance) return frame->pkt_dts;
    return end;
}

// Places a decoded frame's samples; false when its place is unknown. A frame whose channel count,
// sample format or rate differs from the stream's as opened is damage: its place stays silent.
bool FfmpegDecoder::append(const AVFrame *frame) {
    const long long at = placeOf(frame);
    if (at < 0 || frame->nb_samples <= 0) return false;
    const long long end = m_samplesStart + static_cast<long long>(m_samples.size() / 2);
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
    m_largestFrame = std::max<long long>(m_largestFrame, frame->nb_samples);
    m_lastFrameShort = frame->nb_samples < m_largestFrame;
    const long long now = m_samplesStart + static_cast<long long>(m_samples.size() / 2);
    const int skip = static_cast<int>(std::clamp<long long>(now - at, 0, frame->nb_samples));
    const bool sound = frame->format == m_sampleFormat && frame->ch_layout.nb_channels == 2 && frame->sample_rate == kRate;
    if (!sound) {
        m_samples.resize(m_samples.size() + static_cast<size_t>(frame->nb_samples - skip) * 2, 0);
        return true;
    }
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
    return true;
}

} // namespace platform

platform::AudioDecoder *tunewickOpenAudioDecoderCancellable(const std::string &path, const std::string &shownName,
                                                            bool checkEnd, std::string &reason,
                                                            const std::atomic<bool> *cancelled) {
    return platform::FfmpegDecoder::open(path, shownName, checkEnd, reason, cancelled).release();
}
