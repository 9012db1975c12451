#include "tests/platform/backends/FfmpegEncode.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <cstring>
#include <memory>

namespace platform::testing {

namespace {

struct Output {
    AVFormatContext *format = nullptr;
    AVCodecContext *codec = nullptr;
    AVFrame *frame = nullptr;
    AVPacket *packet = nullptr;
    ~Output() {
        if (format && format->pb) avio_closep(&format->pb);
        avformat_free_context(format);
        avcodec_free_context(&codec);
        av_frame_free(&frame);
        av_packet_free(&packet);
    }
};

// Frame `i` of `pcm`'s channel `channel` in the encoder's sample format.
void putSample(AVFrame *frame, const int16_t *pcm, int at, int i, int channel) {
    const int16_t value = pcm[2 * (at + i) + channel];
    switch (frame->format) {
    case AV_SAMPLE_FMT_S16: reinterpret_cast<int16_t *>(frame->data[0])[2 * i + channel] = value; break;
    case AV_SAMPLE_FMT_S16P: reinterpret_cast<int16_t *>(frame->data[channel])[i] = value; break;
    case AV_SAMPLE_FMT_S32P: reinterpret_cast<int32_t *>(frame->data[channel])[i] = value * 65536; break;
    case AV_SAMPLE_FMT_FLT: reinterpret_cast<float *>(frame->data[0])[2 * i + channel] = value / 32768.0f; break;
    case AV_SAMPLE_FMT_FLTP: reinterpret_cast<float *>(frame->data[channel])[i] = value / 32768.0f; break;
    default: break;
    }
}

// 16 bits when the encoder takes them, so that lossless encoders keep the samples as they are.
AVSampleFormat sampleFormat(const AVCodec *codec) {
    if (!codec->sample_fmts) return AV_SAMPLE_FMT_S16;
    for (AVSampleFormat wanted : {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P})
        for (const AVSampleFormat *format = codec->sample_fmts; *format != AV_SAMPLE_FMT_NONE; ++format)
            if (*format == wanted) return wanted;
    return codec->sample_fmts[0];
}

bool drain(Output &out, AVStream *stream) {
    while (avcodec_receive_packet(out.codec, out.packet) == 0) {
        av_packet_rescale_ts(out.packet, out.codec->time_base, stream->time_base);
        out.packet->stream_index = stream->index;
        if (av_interleaved_write_frame(out.format, out.packet) < 0) return false;
    }
    return true;
}

} // namespace

std::string encodeWithFfmpeg(const std::string &pcm, const std::string &path, const char *container,
                             const char *encoder) {
    Output out;
    const AVCodec *codec = avcodec_find_encoder_by_name(encoder);
    if (!codec) return std::string("no encoder ") + encoder;
    if (avformat_alloc_output_context2(&out.format, nullptr, container, path.c_str()) < 0)
        return std::string("no container ") + container;
    AVStream *stream = avformat_new_stream(out.format, nullptr);
    out.codec = avcodec_alloc_context3(codec);
    out.codec->sample_rate = 44100;
    out.codec->time_base = {1, 44100};
    av_channel_layout_default(&out.codec->ch_layout, 2);
    out.codec->sample_fmt = sampleFormat(codec);
    out.codec->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    if (out.format->oformat->flags & AVFMT_GLOBALHEADER) out.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(out.codec, codec, nullptr) < 0) return "cannot open the encoder";
    avcodec_parameters_from_context(stream->codecpar, out.codec);
    stream->time_base = out.codec->time_base;
    if (avio_open(&out.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 || avformat_write_header(out.format, nullptr) < 0)
        return "cannot write the header";
    out.frame = av_frame_alloc();
    out.packet = av_packet_alloc();
    const auto *samples = reinterpret_cast<const int16_t *>(pcm.data());
    const int total = static_cast<int>(pcm.size() / 4);
    const int frameSize = out.codec->frame_size > 0 ? out.codec->frame_size : 4096;
    for (int at = 0; at < total; at += frameSize) {
        const int n = std::min(frameSize, total - at);
        av_frame_unref(out.frame);
        out.frame->format = out.codec->sample_fmt;
        av_channel_layout_copy(&out.frame->ch_layout, &out.codec->ch_layout);
        out.frame->nb_samples = n;
        out.frame->pts = at;
        if (av_frame_get_buffer(out.frame, 0) < 0) return "no memory";
        for (int i = 0; i < n; ++i) putSample(out.frame, samples, at, i, 0), putSample(out.frame, samples, at, i, 1);
        if (avcodec_send_frame(out.codec, out.frame) < 0 || !drain(out, stream)) return "cannot encode";
    }
    if (avcodec_send_frame(out.codec, nullptr) < 0 || !drain(out, stream)) return "cannot flush";
    if (av_write_trailer(out.format) < 0) return "cannot write the trailer";
    return {};
}

} // namespace platform::testing
