#include "generator/ClipEncoder.h"

#include <cmath>
#include <memory>
#include <stdexcept>

#include "generator/TestPattern.h"
#include "generator/ToneSource.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

namespace brevio::generator {

namespace {

struct CodecContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct OutputDeleter {
    void operator()(AVFormatContext* f) const {
        if (f->pb) avio_closep(&f->pb);
        avformat_free_context(f);
    }
};
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using Frame = std::unique_ptr<AVFrame, FrameDeleter>;
using Packet = std::unique_ptr<AVPacket, PacketDeleter>;
using Output = std::unique_ptr<AVFormatContext, OutputDeleter>;

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

void Check(int code, const std::string& what) {
    if (code < 0) throw std::runtime_error(what + ": " + AvError(code));
}

constexpr int kPcmFrameSamples = 1024;

// One encoder feeding one stream of the output.
struct Encoder {
    CodecContext context;
    AVStream* stream = nullptr;
    Frame frame;
    int64_t next = 0;  // pts of the next frame, in the encoder's time base
    bool done = false;
};

CodecContext OpenVideoEncoder(const SyntheticOptions& o, int frames, bool globalHeader) {
    const AVCodec* codec =
        o.mjpeg ? avcodec_find_encoder(AV_CODEC_ID_MJPEG) : avcodec_find_encoder_by_name("libx264");
    if (!codec) throw std::runtime_error(o.mjpeg ? "no Motion JPEG encoder" : "no libx264 encoder");
    CodecContext c(avcodec_alloc_context3(codec));
    if (!c) throw std::bad_alloc();
    c->width = o.width;
    c->height = o.height;
    c->time_base = AVRational{kFrameRateDen, kFrameRateNum};
    c->framerate = AVRational{kFrameRateNum, kFrameRateDen};
    c->sample_aspect_ratio = AVRational{1, 1};
    if (globalHeader) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (o.mjpeg) {
        c->pix_fmt = AV_PIX_FMT_YUVJ420P;
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = FF_QP2LAMBDA * o.jpegQuality;
    } else {
        c->pix_fmt = AV_PIX_FMT_YUV420P;
        c->gop_size = frames;  // one key frame, at the start: the clip is one closed GOP
        c->max_b_frames = o.bframes ? 2 : 0;
        c->thread_count = 1;
        av_opt_set(c->priv_data, "preset", "veryfast", 0);
        av_opt_set(c->priv_data, "x264-params", "open-gop=0:scenecut=0", 0);
    }
    Check(avcodec_open2(c.get(), codec, nullptr), "cannot open the video encoder");
    return c;
}

CodecContext OpenAudioEncoder(const SyntheticOptions& o, bool globalHeader) {
    const bool aac = o.audio == AudioCodec::Aac;
    const AVCodec* codec = avcodec_find_encoder(aac ? AV_CODEC_ID_AAC : AV_CODEC_ID_PCM_S16LE);
    if (!codec) throw std::runtime_error(aac ? "no AAC encoder" : "no PCM encoder");
    CodecContext c(avcodec_alloc_context3(codec));
    if (!c) throw std::bad_alloc();
    c->sample_rate = o.sampleRate;
    av_channel_layout_default(&c->ch_layout, o.channels);
    c->sample_fmt = aac ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_S16;
    c->time_base = AVRational{1, o.sampleRate};
    if (aac) c->bit_rate = 128000;
    if (globalHeader) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Check(avcodec_open2(c.get(), codec, nullptr), "cannot open the audio encoder");
    return c;
}

// Sends every packet the encoder has ready to the muxer.
void Drain(Encoder& e, AVFormatContext* out, AVPacket* packet) {
    for (;;) {
        int rc = avcodec_receive_packet(e.context.get(), packet);
        if (rc == AVERROR(EAGAIN)) return;
        if (rc == AVERROR_EOF) {
            e.done = true;
            return;
        }
        Check(rc, "encoding failed");
        // Some encoders (Motion JPEG) leave the duration open; the muxer would then give the
        // clip's last frame no duration.
        if (packet->duration == 0 && e.context->codec_type == AVMEDIA_TYPE_VIDEO)
            packet->duration = 1;
        av_packet_rescale_ts(packet, e.context->time_base, e.stream->time_base);
        packet->stream_index = e.stream->index;
        Check(av_interleaved_write_frame(out, packet), "cannot write a packet");
    }
}

}  // namespace

int FramesPerUnit(const SyntheticOptions& options) {
    const double frames = options.unitSeconds * kFrameRateNum / kFrameRateDen;
    return std::max(1, int(std::lround(frames)));
}

long long AudioSamplesPerUnit(const SyntheticOptions& options) {
    return (long long)FramesPerUnit(options) * kFrameRateDen * options.sampleRate / kFrameRateNum;
}

std::string CheckOptions(const SyntheticOptions& o) {
    if (o.units < 1 || o.units > 100000) return "the number of units must be 1 to 100000";
    if (o.width < 16 || o.height < 16 || o.width > 8192 || o.height > 8192 || o.width % 2 ||
        o.height % 2)
        return "the frame size must be even, 16 to 8192 pixels";
    if (!(o.unitSeconds > 0.0) || o.unitSeconds > 3600.0)
        return "the unit length must be above 0 and at most 3600 seconds";
    if (o.sampleRate < 8000 || o.sampleRate > 192000) return "sample rate out of range";
    if (o.channels < 1 || o.channels > 8) return "1 to 8 channels";
    if (o.jpegQuality < 1 || o.jpegQuality > 31) return "JPEG quality must be 1 to 31";
    return "";
}

void EncodeClip(const SyntheticOptions& o, int unitIndex, const std::filesystem::path& path) {
    // The encoders' statistics are not for the user; errors still show.
    if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_ERROR);
    if (auto problem = CheckOptions(o); !problem.empty()) throw std::invalid_argument(problem);
    const int frames = FramesPerUnit(o);
    const long long samples = AudioSamplesPerUnit(o);

    AVFormatContext* raw = nullptr;
    Check(avformat_alloc_output_context2(&raw, nullptr, "mov", path.c_str()),
          "cannot create the clip muxer");
    Output out(raw);
    const bool globalHeader = out->oformat->flags & AVFMT_GLOBALHEADER;

    Encoder video;
    video.context = OpenVideoEncoder(o, frames, globalHeader);
    video.stream = avformat_new_stream(out.get(), nullptr);
    if (!video.stream) throw std::bad_alloc();
    Check(avcodec_parameters_from_context(video.stream->codecpar, video.context.get()),
          "video parameters");
    video.stream->time_base = video.context->time_base;
    video.frame.reset(av_frame_alloc());
    video.frame->format = video.context->pix_fmt;
    video.frame->width = o.width;
    video.frame->height = o.height;
    Check(av_frame_get_buffer(video.frame.get(), 0), "video frame");

    Encoder audio;
    std::unique_ptr<ToneSource> tone;
    if (o.audio != AudioCodec::None) {
        audio.context = OpenAudioEncoder(o, globalHeader);
        audio.stream = avformat_new_stream(out.get(), nullptr);
        if (!audio.stream) throw std::bad_alloc();
        Check(avcodec_parameters_from_context(audio.stream->codecpar, audio.context.get()),
              "audio parameters");
        audio.stream->time_base = audio.context->time_base;
        audio.frame.reset(av_frame_alloc());
        audio.frame->format = audio.context->sample_fmt;
        Check(av_channel_layout_copy(&audio.frame->ch_layout, &audio.context->ch_layout),
              "channel layout");
        audio.frame->sample_rate = o.sampleRate;
        audio.frame->nb_samples =
            audio.context->frame_size > 0 ? audio.context->frame_size : kPcmFrameSamples;
        Check(av_frame_get_buffer(audio.frame.get(), 0), "audio frame");
        tone = std::make_unique<ToneSource>(unitIndex, o.sampleRate, o.channels);
    } else {
        audio.done = true;
    }

    Check(avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE), "cannot create " + path.string());
    Check(avformat_write_header(out.get(), nullptr), "cannot write the clip header");

    Packet packet(av_packet_alloc());
    if (!packet) throw std::bad_alloc();
    bool videoFlushed = false, audioFlushed = o.audio == AudioCodec::None;
    // Feed video and sound in time order so that the muxer interleaves them without buffering.
    while (!videoFlushed || !audioFlushed) {
        const double videoTime =
            videoFlushed ? 1e300 : double(video.next) * kFrameRateDen / kFrameRateNum;
        const double audioTime = audioFlushed ? 1e300 : double(audio.next) / o.sampleRate;
        if (videoTime <= audioTime) {
            if (video.next < frames) {
                Check(av_frame_make_writable(video.frame.get()), "video frame");
                PlanarPicture picture{
                    {video.frame->data[0], video.frame->data[1], video.frame->data[2]},
                    {video.frame->linesize[0], video.frame->linesize[1], video.frame->linesize[2]},
                    o.width,
                    o.height};
                DrawTestPattern(picture, unitIndex, int(video.next));
                video.frame->pts = video.next++;
                Check(avcodec_send_frame(video.context.get(), video.frame.get()), "video encoding");
            } else {
                Check(avcodec_send_frame(video.context.get(), nullptr), "video flush");
                videoFlushed = true;
            }
            Drain(video, out.get(), packet.get());
        } else {
            if (audio.next < samples) {
                Check(av_frame_make_writable(audio.frame.get()), "audio frame");
                const int full =
                    audio.context->frame_size > 0 ? audio.context->frame_size : kPcmFrameSamples;
                const int count = int(std::min<long long>(full, samples - audio.next));
                audio.frame->nb_samples = count;
                if (o.audio == AudioCodec::Aac)
                    tone->FillPlanarFloat(
                        reinterpret_cast<float* const*>(audio.frame->extended_data), count);
                else
                    tone->Fill(reinterpret_cast<int16_t*>(audio.frame->data[0]), count);
                audio.frame->pts = audio.next;
                audio.next += count;
                Check(avcodec_send_frame(audio.context.get(), audio.frame.get()), "audio encoding");
            } else {
                Check(avcodec_send_frame(audio.context.get(), nullptr), "audio flush");
                audioFlushed = true;
            }
            Drain(audio, out.get(), packet.get());
        }
    }
    Check(av_write_trailer(out.get()), "cannot finish the clip");
}

}  // namespace brevio::generator
