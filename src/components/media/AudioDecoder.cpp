#include "AudioDecoder.h"

#include <algorithm>
#include <cstring>
#include <limits>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include "CodecMap.h"
#include "Ticks.h"

namespace brevio::media {

namespace {
constexpr uint64_t kMaxPcmRead = 64 * 1024;
// Longest block of silence handed out at once: a tenth of a second.
constexpr int kSilenceBlocksPerSecond = 10;
// A block that starts within this share of a second of where the stream stands continues it
// (timestamps round, a resampler holds back a few frames); a larger gap is filled with silence,
// a larger overlap dropped.
constexpr int kSlackPerSecond = 200;

// Ticks of mediaTime (time scale ts) plus frames (at rate), rounded down once.
int64_t TicksOf(int64_t mediaTime, uint32_t ts, int64_t frames, int rate) {
    if (ts == 0 || rate <= 0) return 0;
    const Int128 num = (static_cast<Int128>(mediaTime) * rate + static_cast<Int128>(frames) * ts) *
                       kTicksPerSecond;
    const Int128 den = static_cast<Int128>(ts) * rate;
    Int128 q = num / den;
    if (num % den != 0 && num < 0) --q;
    return static_cast<int64_t>(q);
}
}  // namespace

std::unique_ptr<AudioDecoder> AudioDecoder::Create(std::shared_ptr<const MediaFile> file,
                                                   int outRate, int outChannels,
                                                   std::string* error) {
    auto fail = [error](const char* why) -> std::unique_ptr<AudioDecoder> {
        if (error) *error = why;
        return nullptr;
    };
    if (!file) return fail("no movie");
    const auto* track = file->AudioTrack();
    if (track == nullptr) return fail("the movie has no audio track");
    if (outRate <= 0 || outChannels <= 0 || outChannels > 8) return fail("bad output format");
    if (track->mediaTimeScale > static_cast<uint32_t>(std::numeric_limits<int>::max())) {
        return fail("unsupported time scale");
    }
    std::unique_ptr<AudioDecoder> d(new AudioDecoder());
    d->file_ = std::move(file);
    d->track_ = track;
    d->outRate_ = outRate;
    d->outChannels_ = outChannels;
    d->codecId_ = CodecIdForTrack(*track);
    d->uncompressed_ = IsUncompressedAudio(d->codecId_);
    const AVCodec* codec = avcodec_find_decoder(d->codecId_);
    if (codec == nullptr) return fail("unsupported audio format");
    d->ctx_.reset(avcodec_alloc_context3(codec));
    if (!d->ctx_) return fail("out of memory");
    AVCodecContext* ctx = d->ctx_.get();
    const auto& config = track->codecConfig;
    if (!config.empty()) {
        ctx->extradata =
            static_cast<uint8_t*>(av_mallocz(config.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (ctx->extradata == nullptr) return fail("out of memory");
        std::memcpy(ctx->extradata, config.data(), config.size());
        ctx->extradata_size = static_cast<int>(config.size());
    }
    const int channels = std::max<int>(track->channels, 1);
    av_channel_layout_default(&ctx->ch_layout, channels);
    ctx->sample_rate =
        static_cast<int>(track->sampleRate != 0 ? track->sampleRate : track->mediaTimeScale);
    ctx->pkt_timebase = AVRational{1, static_cast<int>(track->mediaTimeScale)};
    if (d->uncompressed_) {
        ctx->bits_per_coded_sample = track->bitsPerSample;
        ctx->block_align = static_cast<int>(track->bytesPerFrame);
        if (track->bytesPerFrame == 0) return fail("uncompressed audio without a frame size");
    }
    if (avcodec_open2(ctx, codec, nullptr) < 0)
        return fail("the audio decoder could not be opened");
    d->packet_.reset(av_packet_alloc());
    d->frame_.reset(av_frame_alloc());
    if (!d->packet_ || !d->frame_) return fail("out of memory");
    d->ranges_ = d->file_->Presentation(*track);
    d->Seek(0);
    return d;
}

AudioDecoder::~AudioDecoder() = default;

int64_t AudioDecoder::FrameAt(int64_t ticks) const {
    return Rescale(ticks, outRate_, kTicksPerSecond);
}

int64_t AudioDecoder::TicksOfFrame(int64_t frame) const {
    return Rescale(frame, kTicksPerSecond, outRate_);
}

void AudioDecoder::Seek(int64_t ticks) {
    ticks = std::max<int64_t>(ticks, 0);
    haveHeld_ = false;
    cursor_ = FrameAt(ticks);
    range_ = 0;
    while (range_ < ranges_.size() && ranges_[range_].endTicks <= ticks) ++range_;
    if (range_ < ranges_.size()) EnterRange(std::max(ticks, ranges_[range_].startTicks));
}

void AudioDecoder::NextRange() {
    haveHeld_ = false;
    if (++range_ < ranges_.size()) {
        EnterRange(std::max(ranges_[range_].startTicks, TicksOfFrame(cursor_)));
    }
}

void AudioDecoder::EnterRange(int64_t ticks) {
    const PresentedRange& r = ranges_[range_];
    if (r.Empty()) return;
    avcodec_flush_buffers(ctx_.get());
    flushSent_ = false;
    skipBytes_ = 0;
    skipUntil_ = ticks;
    tickOrigin_ = r.startTicks;
    mediaOrigin_ = r.mediaStart;
    const auto& samples = track_->samples;
    const uint32_t ts = track_->mediaTimeScale;
    const int64_t m = r.mediaStart + TicksToMedia(ticks - r.startTicks, ts);
    auto it = std::upper_bound(
        samples.begin(), samples.end(), m,
        [](int64_t t, const brevio::engine::SampleRef& s) { return t < s.decodeTime; });
    size_t idx = it == samples.begin() ? 0 : static_cast<size_t>(it - samples.begin()) - 1;
    if (uncompressed_) {
        const auto& s = samples[idx];
        const uint32_t rate = track_->sampleRate != 0 ? track_->sampleRate : ts;
        const int64_t frames = std::max<int64_t>(0, Rescale(m - s.decodeTime, rate, ts));
        skipBytes_ =
            std::min<uint64_t>(static_cast<uint64_t>(frames) * track_->bytesPerFrame, s.size);
        skipBytes_ -= skipBytes_ % track_->bytesPerFrame;
        pcmMediaStart_ = s.decodeTime - mediaOrigin_;
        pcmFrames_ = static_cast<int64_t>(skipBytes_ / track_->bytesPerFrame);
        skipUntil_ = tickOrigin_ + TicksOf(pcmMediaStart_, ts, pcmFrames_, static_cast<int>(rate));
    } else if (idx > 0) {
        --idx;  // one frame of run-up for the decoder's overlap
    }
    next_ = idx;
}

bool AudioDecoder::SendNext() {
    const auto& samples = track_->samples;
    if (next_ >= samples.size()) return false;
    av_packet_unref(packet_.get());
    const auto& first = samples[next_];
    if (!uncompressed_) {
        ++next_;
        if (first.size == 0 || av_new_packet(packet_.get(), static_cast<int>(first.size)) < 0) {
            return true;
        }
        if (!file_->ReadBytes(first.file, first.offset, first.size, packet_->data)) return true;
        packet_->pts = packet_->dts = first.decodeTime;
        avcodec_send_packet(ctx_.get(), packet_.get());
        return true;
    }
    // Gather neighbouring references that continue each other in the same file.
    const uint64_t start = first.offset + skipBytes_;
    uint64_t end = first.offset + first.size;
    size_t last = next_;
    while (last + 1 < samples.size() && end - start < kMaxPcmRead) {
        const auto& s = samples[last + 1];
        if (s.file != first.file || s.offset != end) break;
        end += s.size;
        ++last;
    }
    const uint64_t frameBytes = track_->bytesPerFrame;
    uint64_t size = std::min<uint64_t>(end - start, std::max<uint64_t>(kMaxPcmRead, frameBytes));
    size -= size % frameBytes;
    // Advance over whole references read; a partly read one continues through skipBytes_.
    uint64_t consumed = 0;
    uint64_t pos = start;
    skipBytes_ = 0;
    while (next_ < samples.size() && consumed < size) {
        const auto& s = samples[next_];
        const uint64_t left = s.offset + s.size - pos;
        if (consumed + left <= size) {
            consumed += left;
            pos += left;
            ++next_;
        } else {
            skipBytes_ = (pos + (size - consumed)) - s.offset;
            consumed = size;
        }
    }
    if (size == 0) {
        ++next_;
        return true;
    }
    if (av_new_packet(packet_.get(), static_cast<int>(size)) < 0) return true;
    if (!file_->ReadBytes(first.file, start, size, packet_->data)) return true;
    packet_->pts = packet_->dts = AV_NOPTS_VALUE;
    avcodec_send_packet(ctx_.get(), packet_.get());
    return true;
}

bool AudioDecoder::Convert(const AVFrame* frame, std::vector<int16_t>& out, int64_t* startTicks) {
    const uint32_t ts = track_->mediaTimeScale;
    // The frame's start as media time plus a count of audio frames, so that ticks round once.
    int64_t media = 0;
    int64_t frames = 0;
    if (uncompressed_) {
        media = pcmMediaStart_;
        frames = pcmFrames_;
        pcmFrames_ += frame->nb_samples;
    } else {
        media = (frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp) -
                mediaOrigin_;
    }
    const int64_t begin = tickOrigin_ + TicksOf(media, ts, frames, frame->sample_rate);
    // Drop the audio frames that end at or before the wanted start.
    int skip = 0;
    if (begin < skipUntil_) {
        while (skip < frame->nb_samples &&
               tickOrigin_ + TicksOf(media, ts, frames + skip + 1, frame->sample_rate) <=
                   skipUntil_) {
            ++skip;
        }
    }
    if (skip >= frame->nb_samples) return false;
    const int inChannels = frame->ch_layout.nb_channels;
    if (!swr_ || swrInRate_ != frame->sample_rate || swrInFormat_ != frame->format ||
        swrInChannels_ != inChannels) {
        SwrContext* s = nullptr;
        AVChannelLayout outLayout;
        AVChannelLayout inLayout;
        av_channel_layout_default(&outLayout, outChannels_);
        if (av_channel_layout_copy(&inLayout, &frame->ch_layout) < 0) {
            av_channel_layout_uninit(&outLayout);
            return false;
        }
        const bool made = swr_alloc_set_opts2(&s, &outLayout, AV_SAMPLE_FMT_S16, outRate_,
                                              &inLayout, static_cast<AVSampleFormat>(frame->format),
                                              frame->sample_rate, 0, nullptr) >= 0 &&
                          swr_init(s) >= 0;
        av_channel_layout_uninit(&outLayout);
        av_channel_layout_uninit(&inLayout);
        if (!made) {
            swr_free(&s);
            return false;
        }
        swr_.reset(s);
        swrInRate_ = frame->sample_rate;
        swrInFormat_ = frame->format;
        swrInChannels_ = inChannels;
    }
    const int inCount = frame->nb_samples - skip;
    const int capacity = swr_get_out_samples(swr_.get(), inCount);
    if (capacity <= 0) return false;
    out.resize(static_cast<size_t>(capacity) * static_cast<size_t>(outChannels_));
    const uint8_t* in[AV_NUM_DATA_POINTERS] = {};
    const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame->format)) != 0;
    const int bytesPerSample = av_get_bytes_per_sample(static_cast<AVSampleFormat>(frame->format));
    const int planes = planar ? inChannels : 1;
    for (int p = 0; p < planes && p < AV_NUM_DATA_POINTERS; ++p) {
        const int step = planar ? bytesPerSample : bytesPerSample * inChannels;
        in[p] = frame->extended_data[p] + static_cast<ptrdiff_t>(skip) * step;
    }
    uint8_t* outData[1] = {reinterpret_cast<uint8_t*>(out.data())};
    const int made = swr_convert(swr_.get(), outData, capacity, in, inCount);
    if (made <= 0) return false;
    out.resize(static_cast<size_t>(made) * static_cast<size_t>(outChannels_));
    *startTicks =
        skip == 0 ? begin : tickOrigin_ + TicksOf(media, ts, frames + skip, frame->sample_rate);
    return true;
}

bool AudioDecoder::Decode(std::vector<int16_t>& out, int64_t* startTicks) {
    for (;;) {
        const int r = avcodec_receive_frame(ctx_.get(), frame_.get());
        if (r == 0) {
            const bool ok = Convert(frame_.get(), out, startTicks);
            av_frame_unref(frame_.get());
            if (ok) return true;
            continue;
        }
        if (r != AVERROR(EAGAIN)) return false;
        if (!SendNext()) {
            if (flushSent_) return false;
            avcodec_send_packet(ctx_.get(), nullptr);
            flushSent_ = true;
        }
    }
}

void AudioDecoder::Silence(std::vector<int16_t>& out, int64_t* startTicks, int64_t frames) {
    frames = std::min<int64_t>(frames, std::max(outRate_ / kSilenceBlocksPerSecond, 1));
    out.assign(static_cast<size_t>(frames) * static_cast<size_t>(outChannels_), 0);
    *startTicks = TicksOfFrame(cursor_);
    cursor_ += frames;
}

bool AudioDecoder::Next(std::vector<int16_t>& out, int64_t* startTicks) {
    const int64_t slack = std::max(outRate_ / kSlackPerSecond, 2);
    const auto channels = static_cast<size_t>(outChannels_);
    while (range_ < ranges_.size()) {
        const PresentedRange& r = ranges_[range_];
        const int64_t endFrame = r.endTicks == PresentedRange::kOpenEnd
                                     ? std::numeric_limits<int64_t>::max()
                                     : FrameAt(r.endTicks);
        if (cursor_ >= endFrame) {
            NextRange();
            continue;
        }
        if (r.Empty()) {
            Silence(out, startTicks, endFrame - cursor_);
            return true;
        }
        if (!haveHeld_) {
            int64_t blockTicks = 0;
            if (!Decode(held_, &blockTicks)) {
                // The media ends before its edit does: the rest of the edit is silent.
                if (r.endTicks == PresentedRange::kOpenEnd) break;
                Silence(out, startTicks, endFrame - cursor_);
                return true;
            }
            heldFrame_ = FrameAt(blockTicks);
            haveHeld_ = true;
        }
        const int64_t gap = std::min(heldFrame_, endFrame) - cursor_;
        if (gap > slack) {
            Silence(out, startTicks, gap);
            return true;
        }
        haveHeld_ = false;
        const auto frames = static_cast<int64_t>(held_.size() / channels);
        const int64_t drop = gap < -slack ? -gap : 0;
        const int64_t count = std::min(frames - drop, endFrame - cursor_);
        if (count <= 0) continue;
        out.assign(
            held_.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(drop) * channels),
            held_.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(drop + count) * channels));
        *startTicks = TicksOfFrame(cursor_);
        cursor_ += count;
        return true;
    }
    range_ = ranges_.size();
    return false;
}

}  // namespace brevio::media
